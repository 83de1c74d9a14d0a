// Small file helpers shared by the generator's parts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content {

// Creates every missing directory of `path`'s parent, then writes the bytes; throws on failure.
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text);

// An RGB image, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // width * height * 3
    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}
    uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = at(x, y);
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
};

// A 24-bit bottom-up BMP with a 40-byte info header.
std::vector<uint8_t> encodeBmp(const Image& image);
void writeBmp(const std::string& path, const Image& image);

// Progress for people watching a terminal; silent when standard error is not one.
// A stage counts its steps ("models 3/20: Data/hero.ms3d"); a bare progress line belongs
// to the current stage without a count.
void progress(const std::string& what);
void beginStage(const std::string& name, int steps);
// What the run wrote so far: files and bytes (for the closing summary).
int64_t filesWritten();
int64_t bytesWritten();

// A PNG (8-bit RGBA, stored deflate blocks: large but needs no compression library).
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba; // width * height * 4, rows top to bottom
    RgbaImage(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0) {}
    uint8_t* at(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};
std::vector<uint8_t> encodePng(const RgbaImage& image);

} // namespace content
