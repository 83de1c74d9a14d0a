// A model's painted texture atlas: a power-of-two RGB image cut into rectangles (shelf packing),
// each painted with a swatch (cloth, wood, skin with a face, metal, foliage ...) and handed out
// as a texture-space rectangle for the mesh builder. The noise is a fixed hash, so the same
// calls always paint the same pixels. Painting costs a few operations per pixel.
#pragma once

#include "common/output.h"
#include "models/mesh.h"

#include <cstdint>

namespace content::models {

struct Rgb {
    float r = 0, g = 0, b = 0; // 0 to 255
    Rgb() = default;
    Rgb(float ar, float ag, float ab) : r(ar), g(ag), b(ab) {}
    Rgb operator*(float s) const { return {r * s, g * s, b * s}; }
    Rgb mix(const Rgb& o, float f) const {
        return {r + (o.r - r) * f, g + (o.g - g) * f, b + (o.b - b) * f};
    }
};

struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
};

class Atlas {
public:
    explicit Atlas(int size) : m_image(size, size) {}

    PixelRect alloc(int w, int h);
    UvRect uv(const PixelRect& r) const;
    const Image& image() const { return m_image; }

    // Swatches; `grain` is the noise strength (0 to 1), the gradient darkens towards the bottom.
    void fill(const PixelRect& r, const Rgb& c, float grain, uint32_t seed, float gradient = 0.2f);
    void stripes(const PixelRect& r, const Rgb& a, const Rgb& b, int period, bool vertical,
                 uint32_t seed);
    void wood(const PixelRect& r, const Rgb& c, uint32_t seed);
    void foliage(const PixelRect& r, const Rgb& c, uint32_t seed);
    void stone(const PixelRect& r, const Rgb& c, uint32_t seed);
    // Skin with eyes and mouth at the middle of u (the front of an ellipsoid head) and hair over
    // the top and back; eyeColour tints the eyes (glowing for villains).
    void face(const PixelRect& r, const Rgb& skin, const Rgb& hair, const Rgb& eyes, float hairLine,
              bool frown, uint32_t seed);
    void disc(const PixelRect& r, float cx, float cy, float radius, const Rgb& c);
    void band(const PixelRect& r, float v0, float v1, const Rgb& c);

    static float noise(int x, int y, uint32_t seed); // -1 to 1

private:
    void put(int x, int y, const Rgb& c);
    Image m_image;
    int m_shelfX = 0, m_shelfY = 0, m_shelfH = 0;
};

} // namespace content::models
