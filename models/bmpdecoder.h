// The BMP decoder: turns the bytes of a Windows bitmap file into an RGB image.
//
// It understands the two info headers the game's content uses (the 12-byte old style and the
// 40-byte Windows 3 header), 1, 4, 8, 16, 24 and 32 bits per pixel, RLE4 and RLE8, bit-field
// masks for 16 and 32 bits, bottom-up and top-down rows, and files with or without the 14-byte
// "BM" file header. It is a pure function of its input: no files, no OpenGL, no message boxes,
// so it can be tested and fuzzed directly. Every read is bounds-checked; a broken file gives a
// false result and the message the game shows for it.
//
// Cost: one pass over the pixels plus one allocation of width * height * 3 bytes. Images above
// MAX_BMP_PIXELS are refused with "Out of memory." before anything is allocated (a tiny RLE file
// can otherwise claim gigabytes). The decoder does not guarantee power-of-two sizes; the plain
// texture upload needs them, the mipmapped one does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A decoded image: red, green, blue per pixel, rows bottom first (the BMP's own order and the
// order glTexImage2D expects), no row padding.
struct ImageRecord {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels; // width * height * 3 bytes
};

// The largest image the decoder accepts, in pixels (8192 by 4096).
constexpr int64_t MAX_BMP_PIXELS = int64_t(1) << 25;

// The failure texts, shared by the decoder and the file loader.
extern const char* const BMP_UNKNOWN_FORMAT;     // "Unknown DIB file format."
extern const char* const BMP_CONVERSION_ERROR;   // "Image file conversion error."
extern const char* const BMP_OUT_OF_MEMORY;      // "Out of memory."
extern const char* const BMP_OPEN_FAILED_FORMAT; // "Failed to open DIB file %s.\n"

// Decodes size bytes at data into image. On failure returns false, sets error to the message
// to show and leaves image empty.
bool decodeBmp(const uint8_t* data, size_t size, ImageRecord& image, std::string& error);
