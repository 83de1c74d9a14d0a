#include "models/atlas.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace content::models {

namespace {
uint8_t clampByte(float v) {
    return static_cast<uint8_t>(std::min(255.0f, std::max(0.0f, v)));
}
} // namespace

float Atlas::noise(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFF) / 32767.5f - 1.0f;
}

PixelRect Atlas::alloc(int w, int h) {
    if (m_shelfX + w > m_image.width) {
        m_shelfX = 0;
        m_shelfY += m_shelfH;
        m_shelfH = 0;
    }
    if (m_shelfY + h > m_image.height || w > m_image.width)
        throw std::runtime_error("texture atlas full");
    PixelRect r{m_shelfX, m_shelfY, w, h};
    m_shelfX += w;
    m_shelfH = std::max(m_shelfH, h);
    return r;
}

UvRect Atlas::uv(const PixelRect& r) const {
    const float W = static_cast<float>(m_image.width), H = static_cast<float>(m_image.height);
    return {(r.x + 1.0f) / W, (r.y + 1.0f) / H, (r.x + r.w - 1.0f) / W, (r.y + r.h - 1.0f) / H};
}

void Atlas::put(int x, int y, const Rgb& c) {
    if (x < 0 || y < 0 || x >= m_image.width || y >= m_image.height)
        return;
    m_image.set(x, y, clampByte(c.r), clampByte(c.g), clampByte(c.b));
}

void Atlas::fill(const PixelRect& r, const Rgb& c, float grain, uint32_t seed, float gradient) {
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const float n = noise(x, y, seed) * 0.6f + noise(x / 3, y / 3, seed + 7) * 0.4f;
            const float shade = 1.0f + n * grain * 0.5f - gradient * y / r.h + gradient * 0.5f;
            put(r.x + x, r.y + y, c * shade);
        }
}

void Atlas::stripes(const PixelRect& r, const Rgb& a, const Rgb& b, int period, bool vertical,
                    uint32_t seed) {
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const int k = vertical ? x : y;
            const Rgb& c = ((k / std::max(1, period)) % 2) ? b : a;
            put(r.x + x, r.y + y, c * (1.0f + noise(x, y, seed) * 0.08f));
        }
}

void Atlas::wood(const PixelRect& r, const Rgb& c, uint32_t seed) {
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const float g = std::sin((x + noise(x / 4, y / 8, seed) * 3.0f) * 0.9f) * 0.12f;
            put(r.x + x, r.y + y, c * (1.0f + g + noise(x, y, seed + 3) * 0.05f));
        }
}

void Atlas::foliage(const PixelRect& r, const Rgb& c, uint32_t seed) {
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const float n = noise(x / 2, y / 2, seed);
            const float light = n > 0.45f ? 1.35f : (n < -0.5f ? 0.65f : 1.0f);
            put(r.x + x, r.y + y, c * (light * (1.1f - 0.3f * y / r.h)));
        }
}

void Atlas::stone(const PixelRect& r, const Rgb& c, uint32_t seed) {
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const float n = noise(x / 4, y / 4, seed) * 0.5f + noise(x, y, seed + 1) * 0.25f +
                            noise(x / 8, y / 8, seed + 2) * 0.5f;
            const float crack = std::fabs(noise(x / 6, y / 3, seed + 5)) < 0.04f ? 0.6f : 1.0f;
            put(r.x + x, r.y + y, c * ((1.0f + n * 0.25f) * crack));
        }
}

void Atlas::disc(const PixelRect& r, float cx, float cy, float radius, const Rgb& c) {
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const float dx = (x + 0.5f) / r.w - cx, dy = (y + 0.5f) / r.h - cy;
            if (dx * dx + dy * dy < radius * radius)
                put(r.x + x, r.y + y, c);
        }
}

void Atlas::band(const PixelRect& r, float v0, float v1, const Rgb& c) {
    for (int y = static_cast<int>(v0 * r.h); y < static_cast<int>(v1 * r.h) && y < r.h; ++y)
        for (int x = 0; x < r.w; ++x)
            put(r.x + x, r.y + y, c * (1.0f + noise(x, y, 77) * 0.06f));
}

void Atlas::face(const PixelRect& r, const Rgb& skin, const Rgb& hair, const Rgb& eyes,
                 float hairLine, bool frown, uint32_t seed) {
    fill(r, skin, 0.15f, seed, 0.1f);
    // Hair: over the top down to the hair line at the front, lower at the back (u near 0, 1).
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const float u = (x + 0.5f) / r.w, v = (y + 0.5f) / r.h;
            const float back = std::fabs(u - 0.5f) * 2.0f; // 0 front, 1 back
            const float line = hairLine + back * back * 0.35f;
            if (v < line)
                put(r.x + x, r.y + y,
                    hair * (1.0f + noise(x, y / 3, seed + 9) * 0.15f + 0.1f * std::sin(x * 1.7f)));
        }
    // Eyes (whites with a coloured iris), brows, nose shade and mouth, all around u = 0.5.
    const float ey = 0.52f;
    for (float side : {-1.0f, 1.0f}) {
        disc(r, 0.5f + side * 0.075f, ey, 0.045f, Rgb(245, 245, 240));
        disc(r, 0.5f + side * 0.075f, ey + 0.005f, 0.025f, eyes);
        const float tilt = frown ? side * -0.03f : 0.0f;
        for (int i = -5; i <= 5; ++i) {
            const float bx = 0.5f + side * 0.075f + i * 0.008f;
            const float by =
                ey - 0.085f + tilt * (side * i) * 0.2f + (frown ? side * i * 0.004f : 0);
            disc(r, bx, by, 0.012f, hair * 0.6f);
        }
    }
    disc(r, 0.5f, 0.63f, 0.025f, skin * 0.85f);
    for (int i = -6; i <= 6; ++i) {
        const float curve = (frown ? 1.0f : -1.0f) * (36 - i * i) * 0.0006f;
        disc(r, 0.5f + i * 0.007f, 0.74f - curve, 0.012f, Rgb(120, 40, 40));
    }
}

} // namespace content::models
