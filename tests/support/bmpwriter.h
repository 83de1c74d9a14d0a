// Builds small 24-bit BMP files for the texture tests, so each test states only its
// picture: a colour function of (x, y counted from the bottom) as 0xRRGGBB.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

template <class F> std::vector<uint8_t> Bmp24(int w, int h, F colour) {
    std::vector<uint8_t> b = {'B', 'M'};
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](uint32_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    const int stride = (w * 3 + 3) & ~3;
    put32(uint32_t(54 + stride * h));
    put32(0);
    put32(54);
    put32(40);
    put32(uint32_t(w));
    put32(uint32_t(h));
    put16(1);
    put16(24);
    for (int i = 0; i < 6; ++i)
        put32(0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t c = colour(x, y);
            b.push_back(uint8_t(c));
            b.push_back(uint8_t(c >> 8));
            b.push_back(uint8_t(c >> 16));
        }
        for (int p = w * 3; p < stride; ++p)
            b.push_back(0);
    }
    return b;
}

// Writes bytes to path; returns the path.
inline std::string WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}
