// The desktop icon: a faceted green gem over the river valley at dusk, in a round badge.
#include "common/output.h"
#include "generators.h"

#include <algorithm>
#include <cmath>

namespace {

struct Rgba {
    float r, g, b, a;
};

Rgba over(Rgba top, Rgba under) {
    const float a = top.a + under.a * (1.0f - top.a);
    if (a <= 0.0f)
        return {0, 0, 0, 0};
    auto mix = [&](float t, float u) { return (t * top.a + u * under.a * (1.0f - top.a)) / a; };
    return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

// Inside the convex polygon (either winding)?
bool inside(const float (*pts)[2], int n, float x, float y) {
    bool positive = false, negative = false;
    for (int i = 0; i < n; ++i) {
        const float* p = pts[i];
        const float* q = pts[(i + 1) % n];
        const float cross = (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0]);
        positive |= cross > 0.0f;
        negative |= cross < 0.0f;
    }
    return !(positive && negative);
}

// One sample of the icon at (x, y) in 0..1.
Rgba sample(float x, float y) {
    const float dx = x - 0.5f, dy = y - 0.5f;
    const float r = std::sqrt(dx * dx + dy * dy);
    if (r > 0.48f)
        return {0, 0, 0, 0};
    // Dusk sky: deep blue above, warm near the horizon.
    const float t = std::clamp(y / 0.62f, 0.0f, 1.0f);
    Rgba c{0.10f + 0.75f * t * t, 0.14f + 0.42f * t * t, 0.34f + 0.05f * t, 1.0f};
    // Two hill ridges and the river between them.
    const float ridge1 = 0.60f + 0.05f * std::sin(x * 9.0f) + 0.03f * std::sin(x * 23.0f);
    const float ridge2 = 0.70f + 0.04f * std::sin(x * 7.0f + 2.0f);
    if (y > ridge1)
        c = {0.16f, 0.36f, 0.20f, 1.0f};
    if (y > ridge2)
        c = {0.22f, 0.50f, 0.22f, 1.0f};
    const float river = 0.5f + 0.12f * std::sin(y * 11.0f);
    if (y > 0.76f && std::fabs(x - river) < 0.03f + (y - 0.76f) * 0.5f)
        c = {0.30f, 0.55f, 0.80f, 1.0f};
    // The gem: a kite of four facets with a light edge.
    static const float gem[][2] = {{0.5f, 0.14f}, {0.30f, 0.40f}, {0.5f, 0.80f}, {0.70f, 0.40f}};
    static const float topLeft[][2] = {{0.5f, 0.14f}, {0.30f, 0.40f}, {0.5f, 0.44f}};
    static const float topRight[][2] = {{0.5f, 0.14f}, {0.5f, 0.44f}, {0.70f, 0.40f}};
    static const float lowLeft[][2] = {{0.30f, 0.40f}, {0.5f, 0.80f}, {0.5f, 0.44f}};
    if (inside(gem, 4, x, y)) {
        Rgba g{0.05f, 0.55f, 0.25f, 1.0f};
        if (inside(topLeft, 3, x, y))
            g = {0.55f, 0.95f, 0.65f, 1.0f};
        else if (inside(topRight, 3, x, y))
            g = {0.25f, 0.80f, 0.45f, 1.0f};
        else if (inside(lowLeft, 3, x, y))
            g = {0.10f, 0.65f, 0.35f, 1.0f};
        c = g;
    }
    // A soft glow around the gem.
    const float gx = x - 0.5f, gy = y - 0.45f;
    const float glow = std::exp(-(gx * gx + gy * gy) * 40.0f) * 0.35f;
    c = over({1.0f, 0.95f, 0.7f, glow}, c);
    // A dark rim.
    if (r > 0.45f)
        c = {0.08f, 0.07f, 0.10f, 1.0f};
    return c;
}

} // namespace

void generateIcon(const std::string& path, int size) {
    content::RgbaImage image(size, size);
    constexpr int kSamples = 4; // per axis, for smooth edges
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Rgba s = sample((x + (sx + 0.5f) / kSamples) / size,
                                          (y + (sy + 0.5f) / kSamples) / size);
                    r += s.r * s.a;
                    g += s.g * s.a;
                    b += s.b * s.a;
                    a += s.a;
                }
            uint8_t* p = image.at(x, y);
            const float n = kSamples * kSamples;
            p[0] =
                static_cast<uint8_t>(std::clamp(a > 0 ? r / a : 0.0f, 0.0f, 1.0f) * 255.0f + 0.5f);
            p[1] =
                static_cast<uint8_t>(std::clamp(a > 0 ? g / a : 0.0f, 0.0f, 1.0f) * 255.0f + 0.5f);
            p[2] =
                static_cast<uint8_t>(std::clamp(a > 0 ? b / a : 0.0f, 0.0f, 1.0f) * 255.0f + 0.5f);
            p[3] = static_cast<uint8_t>(std::clamp(a / n, 0.0f, 1.0f) * 255.0f + 0.5f);
        }
    content::writeFile(path, content::encodePng(image));
}
