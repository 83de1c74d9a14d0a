#include "land/heightfield.h"

#include <algorithm>
#include <cmath>

namespace land {

namespace {
float hash(int x, int z, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(z) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFF) / static_cast<float>(0xFFFFFF);
}
float smooth(float t) {
    return t * t * (3.0f - 2.0f * t);
}
float smoothstep(float a, float b, float v) {
    float t = std::clamp((v - a) / (b - a), 0.0f, 1.0f);
    return smooth(t);
}
} // namespace

float noise2(float x, float z, uint32_t seed) {
    const int ix = static_cast<int>(std::floor(x)), iz = static_cast<int>(std::floor(z));
    const float fx = smooth(x - ix), fz = smooth(z - iz);
    const float a = hash(ix, iz, seed), b = hash(ix + 1, iz, seed);
    const float c = hash(ix, iz + 1, seed), d = hash(ix + 1, iz + 1, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fz;
}

float riverX(float z) {
    return 1100.0f + 260.0f * std::sin(z / 2048.0f * 6.2831853f * 1.1f + 0.4f) +
           70.0f * std::sin(z * 0.0061f + 1.3f);
}

std::vector<uint8_t> buildHeights(const Landmarks& m) {
    std::vector<uint8_t> out(static_cast<size_t>(SIZE) * SIZE);
    for (int z = 0; z < SIZE; ++z) {
        const float rx = riverX(static_cast<float>(z));
        for (int x = 0; x < SIZE; ++x) {
            const float fx = static_cast<float>(x), fz = static_cast<float>(z);
            // Rolling meadows and hills.
            float hills = 0.0f, amp = 1.0f, freq = 1.0f / 256.0f, norm = 0.0f;
            for (int o = 0; o < 5; ++o) {
                hills += amp * noise2(fx * freq, fz * freq, 11u + o);
                norm += amp;
                amp *= 0.5f;
                freq *= 2.0f;
            }
            hills /= norm;
            float h = 104.0f + 46.0f * (hills - 0.35f);
            // The valley: banks rise from the river bed over a wide band.
            const float d = std::fabs(fx - rx);
            const float halfWidth = 34.0f + 10.0f * noise2(fz / 90.0f, 3.0f, 5u);
            const float bank = smoothstep(halfWidth, halfWidth + 140.0f, d);
            float bed = 58.0f;
            // The ford: a shallow, wide crossing.
            const float ford = 1.0f - smoothstep(20.0f, 70.0f, std::fabs(fz - m.fordZ));
            bed += ford * 15.0f;
            h = bed + (h - bed) * bank;
            // The hill top.
            const float hill = std::hypot(fx - m.hillX, fz - m.hillZ);
            h += 85.0f * std::exp(-(hill * hill) / (2.0f * 150.0f * 150.0f));
            // Flat places for the village and the arena.
            const float village = std::hypot(fx - m.villageX, fz - m.villageZ);
            const float vMix = 1.0f - smoothstep(150.0f, 240.0f, village);
            h = h + (112.0f - h) * vMix;
            const float arena = std::hypot(fx - m.arenaX, fz - m.arenaZ);
            const float aMix = 1.0f - smoothstep(120.0f, 190.0f, arena);
            // No bank round the arena: from anywhere round it the boss stands in full view.
            h = h + (118.0f - h) * aMix;
            // The rim: the land rises steeply near the edges of the world.
            const float edge = std::min(std::min(fx, fz), std::min(SIZE - 1 - fx, SIZE - 1 - fz));
            const float rim = 1.0f - smoothstep(40.0f, 180.0f, edge);
            h += rim * (120.0f + 30.0f * noise2(fx / 60.0f, fz / 60.0f, 9u));
            out[static_cast<size_t>(x) + static_cast<size_t>(z) * SIZE] =
                static_cast<uint8_t>(std::clamp(h, 0.0f, 255.0f));
        }
    }
    return out;
}

} // namespace land
