// The BMP decoder and the file loaders in front of it, on bitmaps built here in memory.
#include "models/bmpdecoder.h"
#include "models/texture.h"
#include "platform/messagebox.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// Pads each row of `rowBytes` to the 4-byte stride of the format.
Bytes padded(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& r : rows) {
        out.insert(out.end(), r.begin(), r.end());
        while (out.size() % 4)
            out.push_back(0xEE); // padding must never show up as a pixel
    }
    return out;
}

struct Info {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> palette; // 0x00RRGGBB
    std::vector<uint32_t> masks;   // written after the header when not empty
    uint32_t headerSize = 40;
    bool fileHeader = true;
};

// A file with the 14-byte file header (unless asked otherwise) and a 40-byte info header.
Bytes makeBmp(const Info& info, const Bytes& pixels) {
    Bytes h;
    put32(h, info.headerSize);
    put32(h, uint32_t(info.width));
    put32(h, uint32_t(info.height));
    put16(h, 1);
    put16(h, info.bitCount);
    put32(h, info.compression);
    put32(h, uint32_t(pixels.size()));
    put32(h, 2835);
    put32(h, 2835);
    put32(h, info.clrUsed);
    put32(h, 0);
    while (h.size() < info.headerSize)
        h.push_back(0);
    for (uint32_t m : info.masks)
        put32(h, m);
    for (uint32_t c : info.palette) {
        h.push_back(uint8_t(c));
        h.push_back(uint8_t(c >> 8));
        h.push_back(uint8_t(c >> 16));
        h.push_back(0);
    }
    Bytes out;
    if (info.fileHeader) {
        out = {'B', 'M'};
        put32(out, uint32_t(14 + h.size() + pixels.size()));
        put32(out, 0);
        put32(out, uint32_t(14 + h.size()));
    }
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// The old 12-byte header with 3-byte palette entries.
Bytes makeCoreBmp(uint16_t width, uint16_t height, uint16_t bitCount,
                  const std::vector<uint32_t>& palette, const Bytes& pixels) {
    Bytes h;
    put32(h, 12);
    put16(h, width);
    put16(h, height);
    put16(h, 1);
    put16(h, bitCount);
    for (uint32_t c : palette) {
        h.push_back(uint8_t(c));
        h.push_back(uint8_t(c >> 8));
        h.push_back(uint8_t(c >> 16));
    }
    Bytes out = {'B', 'M'};
    put32(out, uint32_t(14 + h.size() + pixels.size()));
    put32(out, 0);
    put32(out, uint32_t(14 + h.size()));
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

struct Decoded {
    bool ok = false;
    ImageRecord image;
    std::string error;
};

Decoded decode(const Bytes& b) {
    Decoded d;
    d.ok = decodeBmp(b.data(), b.size(), d.image, d.error);
    return d;
}

// The pixel at column x, row y counted from the bottom, as 0x00RRGGBB.
uint32_t at(const ImageRecord& img, int x, int y) {
    const uint8_t* p = &img.pixels[(size_t(y) * img.width + x) * 3];
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

const std::set<std::string> kMessages = {BMP_UNKNOWN_FORMAT, BMP_CONVERSION_ERROR,
                                         BMP_OUT_OF_MEMORY};

} // namespace

// ---- Uncompressed depths -------------------------------------------------------------------

TEST(BmpDecoder, TwentyFourBitRowsLoseTheirPaddingAndTurnToRgb) {
    Info info;
    info.width = 3;
    info.height = 2;
    // Bottom row first, blue-green-red per pixel; width 3 leaves 3 bytes of padding per row.
    Bytes px = padded({{0x01, 0x02, 0x03, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23},
                       {0x31, 0x32, 0x33, 0x41, 0x42, 0x43, 0x51, 0x52, 0x53}});
    Decoded d = decode(makeBmp(info, px));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.image.width, 3);
    EXPECT_EQ(d.image.height, 2);
    ASSERT_EQ(d.image.pixels.size(), 18u);
    EXPECT_EQ(at(d.image, 0, 0), 0x030201u);
    EXPECT_EQ(at(d.image, 2, 0), 0x232221u);
    EXPECT_EQ(at(d.image, 0, 1), 0x333231u);
    EXPECT_EQ(at(d.image, 2, 1), 0x535251u);
}

TEST(BmpDecoder, TopDownRowsComeOutBottomRowFirst) {
    Info info;
    info.width = 1;
    info.height = -2;
    Bytes px = padded({{0xFF, 0, 0}, {0, 0, 0xFF}}); // top row blue, bottom row red
    Decoded d = decode(makeBmp(info, px));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.image.height, 2);
    EXPECT_EQ(at(d.image, 0, 0), 0xFF0000u);
    EXPECT_EQ(at(d.image, 0, 1), 0x0000FFu);
}

TEST(BmpDecoder, PalettedDepthsReadTheirIndicesHighBitsFirst) {
    {
        Info info; // 1 bit, 10 wide: the second byte holds the last two pixels
        info.width = 10;
        info.height = 1;
        info.bitCount = 1;
        info.palette = {0x000000, 0xFFFFFF};
        Decoded d = decode(makeBmp(info, padded({{0b10100000, 0b01000000}})));
        ASSERT_TRUE(d.ok) << d.error;
        const uint32_t want[10] = {0xFFFFFF, 0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0xFFFFFF};
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(at(d.image, x, 0), want[x]) << "x " << x;
    }
    {
        Info info; // 4 bits, odd width
        info.width = 3;
        info.height = 1;
        info.bitCount = 4;
        info.clrUsed = 3;
        info.palette = {0x102030, 0x405060, 0x708090};
        Decoded d = decode(makeBmp(info, padded({{0x21, 0x00}})));
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(at(d.image, 0, 0), 0x708090u);
        EXPECT_EQ(at(d.image, 1, 0), 0x405060u);
        EXPECT_EQ(at(d.image, 2, 0), 0x102030u);
    }
    {
        Info info; // 256 colours, an index past the short table reads black
        info.width = 3;
        info.height = 1;
        info.bitCount = 8;
        info.clrUsed = 2;
        info.palette = {0xAA0000, 0x00BB00};
        Decoded d = decode(makeBmp(info, padded({{1, 0, 200}})));
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(at(d.image, 0, 0), 0x00BB00u);
        EXPECT_EQ(at(d.image, 1, 0), 0xAA0000u);
        EXPECT_EQ(at(d.image, 2, 0), 0x000000u);
    }
}

TEST(BmpDecoder, OldStyleHeaderUsesThreeBytePaletteEntries) {
    std::vector<uint32_t> palette(256, 0);
    palette[7] = 0x123456;
    palette[255] = 0xFEDCBA;
    Decoded d = decode(makeCoreBmp(2, 1, 8, palette, padded({{7, 255}})));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0x123456u);
    EXPECT_EQ(at(d.image, 1, 0), 0xFEDCBAu);

    Decoded d24 = decode(makeCoreBmp(1, 2, 24, {}, padded({{1, 2, 3}, {4, 5, 6}})));
    ASSERT_TRUE(d24.ok) << d24.error;
    EXPECT_EQ(at(d24.image, 0, 1), 0x060504u);
}

TEST(BmpDecoder, SixteenBitIsFiveFiveFiveUnlessMasksSayOtherwise) {
    Info info;
    info.width = 3;
    info.height = 1;
    info.bitCount = 16;
    Bytes row;
    put16(row, 0x7C00); // full red in 5-5-5
    put16(row, 0x03E0); // full green
    put16(row, 0x0010); // blue 16 of 31
    Decoded d = decode(makeBmp(info, padded({row})));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0xFF0000u);
    EXPECT_EQ(at(d.image, 1, 0), 0x00FF00u);
    EXPECT_EQ(at(d.image, 2, 0), uint32_t((16 * 255 + 15) / 31));

    info.compression = 3; // 5-6-5 bit fields
    info.masks = {0xF800, 0x07E0, 0x001F};
    Bytes row565;
    put16(row565, 0xF800);
    put16(row565, 0x07E0);
    put16(row565, 0x0400); // green 32 of 63
    d = decode(makeBmp(info, padded({row565})));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0xFF0000u);
    EXPECT_EQ(at(d.image, 1, 0), 0x00FF00u);
    EXPECT_EQ(at(d.image, 2, 0), uint32_t((32 * 255 + 31) / 63) << 8);
}

TEST(BmpDecoder, ThirtyTwoBitPlainAndWithMasks) {
    Info info;
    info.width = 1;
    info.height = 1;
    info.bitCount = 32;
    Decoded d = decode(makeBmp(info, {0x30, 0x20, 0x10, 0x99}));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0x102030u);

    // Red in the low byte, blue in the third, and a 10-bit green.
    info.compression = 3;
    info.masks = {0x000000FF, 0x0003FF00, 0xFF000000};
    Bytes px;
    put32(px, 0x80000000u | (0x3FFu << 8) | 0x40u);
    d = decode(makeBmp(info, px));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0x40FF80u);
}

TEST(BmpDecoder, FileWithoutFileHeaderIsAPackedDib) {
    Info info;
    info.fileHeader = false;
    info.width = 2;
    info.height = 1;
    info.bitCount = 8;
    info.clrUsed = 2;
    info.palette = {0x0000FF, 0xFF0000};
    Decoded d = decode(makeBmp(info, padded({{1, 0}})));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0xFF0000u);
    EXPECT_EQ(at(d.image, 1, 0), 0x0000FFu);
}

TEST(BmpDecoder, APackedDibSkipsTheHintTableOfADeepImage) {
    Info info;
    info.fileHeader = false;
    info.clrUsed = 2;
    info.palette = {0x111111, 0x222222}; // not used at 24 bits, but it sits before the pixels
    Decoded d = decode(makeBmp(info, padded({{0x30, 0x20, 0x10}})));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0x102030u);
}

TEST(BmpDecoder, TheLastRowMayLackItsPaddingButNoPixels) {
    Info info;
    info.width = 1;
    info.height = 2;
    Bytes px = padded({{1, 2, 3}});
    px.insert(px.end(), {4, 5, 6}); // top row without its padding byte
    Decoded d = decode(makeBmp(info, px));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 1), 0x060504u);

    px.pop_back();
    d = decode(makeBmp(info, px));
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.error, BMP_CONVERSION_ERROR);
}

// ---- Run-length encodings ------------------------------------------------------------------

TEST(BmpDecoder, Rle8RunsAbsoluteRunsDeltasAndLineEnds) {
    Info info;
    info.width = 6;
    info.height = 3;
    info.bitCount = 8;
    info.compression = 1;
    info.clrUsed = 4;
    info.palette = {0x000000, 0x111111, 0x222222, 0x333333};
    Bytes rle = {
        3, 1,             // row 0: three of colour 1
        0, 3, 2, 3, 2, 0, // absolute: 2 3 2, padded to an even byte count
        0, 0,             // end of line
        0, 2, 4, 1,       // delta: 4 right, 1 up -> row 2, x 4
        2, 3,             // two of colour 3 at (4,2), (5,2)
        0, 1,             // end of bitmap
        9, 1,             // never read
    };
    Decoded d = decode(makeBmp(info, rle));
    ASSERT_TRUE(d.ok) << d.error;
    const uint32_t row0[6] = {0x111111, 0x111111, 0x111111, 0x222222, 0x333333, 0x222222};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(at(d.image, x, 0), row0[x]) << "x " << x;
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(at(d.image, x, 1), 0u) << "skipped row stays black, x " << x;
    EXPECT_EQ(at(d.image, 3, 2), 0u);
    EXPECT_EQ(at(d.image, 4, 2), 0x333333u);
    EXPECT_EQ(at(d.image, 5, 2), 0x333333u);
}

TEST(BmpDecoder, Rle4AlternatesNibblesAndClipsAtTheRowEnd) {
    Info info;
    info.width = 4;
    info.height = 2;
    info.bitCount = 4;
    info.compression = 2;
    info.clrUsed = 3;
    info.palette = {0x000000, 0xFF0000, 0x00FF00};
    Bytes rle = {
        5, 0x12,             // 1 2 1 2 (1): the fifth pixel falls off the row
        0, 0,                // end of line
        0, 3,    0x21, 0x20, // absolute 2 1 2: two data bytes, already even
        0, 1,
    };
    Decoded d = decode(makeBmp(info, rle));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0xFF0000u);
    EXPECT_EQ(at(d.image, 1, 0), 0x00FF00u);
    EXPECT_EQ(at(d.image, 2, 0), 0xFF0000u);
    EXPECT_EQ(at(d.image, 3, 0), 0x00FF00u);
    EXPECT_EQ(at(d.image, 0, 1), 0x00FF00u);
    EXPECT_EQ(at(d.image, 1, 1), 0xFF0000u);
    EXPECT_EQ(at(d.image, 2, 1), 0x00FF00u);
    EXPECT_EQ(at(d.image, 3, 1), 0u);
}

TEST(BmpDecoder, CutOffRleCommandsAreConversionErrors) {
    Info info;
    info.width = 4;
    info.height = 1;
    info.bitCount = 8;
    info.compression = 1;
    info.palette = std::vector<uint32_t>(256, 0x808080);
    for (Bytes rle : {Bytes{4}, Bytes{0, 2, 1}, Bytes{0, 5, 1, 2}}) {
        Decoded d = decode(makeBmp(info, rle));
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.error, BMP_CONVERSION_ERROR);
    }
    // A stream that ends after whole commands keeps what it drew.
    Decoded d = decode(makeBmp(info, {2, 0}));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 1, 0), 0x808080u);
    EXPECT_EQ(at(d.image, 2, 0), 0u);
}

// ---- Refusals ------------------------------------------------------------------------------

TEST(BmpDecoder, OnlyTwelveAndFortyByteHeadersAreKnown) {
    for (uint32_t size : {0u, 16u, 52u, 56u, 64u, 108u, 124u}) {
        Info info;
        info.headerSize = size < 40 ? 40 : size;
        Bytes b = makeBmp(info, padded({{1, 2, 3}}));
        b[14] = uint8_t(size); // the size field alone says what the header is
        Decoded d = decode(b);
        EXPECT_FALSE(d.ok) << size;
        EXPECT_EQ(d.error, BMP_UNKNOWN_FORMAT) << size;
    }
    Decoded empty = decode({});
    EXPECT_EQ(empty.error, BMP_UNKNOWN_FORMAT);
    EXPECT_EQ(decode({'B', 'M'}).error, BMP_CONVERSION_ERROR);
}

TEST(BmpDecoder, UnsupportedLayoutsAreConversionErrors) {
    auto refuse = [](Info info, const char* why) {
        Decoded d = decode(makeBmp(info, Bytes(64, 0)));
        EXPECT_FALSE(d.ok) << why;
        EXPECT_EQ(d.error, BMP_CONVERSION_ERROR) << why;
        EXPECT_TRUE(d.image.pixels.empty()) << why;
    };
    Info i;
    i.bitCount = 2;
    refuse(i, "2 bits");
    i.bitCount = 0;
    refuse(i, "0 bits");
    i.bitCount = 64;
    refuse(i, "64 bits");
    i = Info{};
    i.compression = 4;
    refuse(i, "JPEG");
    i.compression = 1;
    refuse(i, "RLE8 at 24 bits");
    i = Info{};
    i.bitCount = 8;
    i.compression = 1;
    i.height = -1;
    refuse(i, "top-down RLE");
    i = Info{};
    i.width = 0;
    refuse(i, "no width");
    i.width = -3;
    refuse(i, "negative width");
    i = Info{};
    i.height = 0;
    refuse(i, "no height");
    i = Info{};
    i.height = INT32_MIN;
    refuse(i, "height that has no positive value");
    i = Info{};
    i.bitCount = 16;
    i.compression = 3;
    i.masks = {0xF00F, 0x00F0, 0x0F00};
    refuse(i, "red mask in two pieces");
}

TEST(BmpDecoder, HugeImagesAreRefusedBeforeAllocating) {
    Info info;
    info.width = 100000;
    info.height = 100000;
    info.bitCount = 8;
    info.compression = 1;
    info.palette = std::vector<uint32_t>(256, 0);
    Decoded d = decode(makeBmp(info, {0, 1}));
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.error, BMP_OUT_OF_MEMORY);
}

TEST(BmpDecoder, PaletteAndPixelOffsetAreBoundsChecked) {
    Info info;
    info.width = 2;
    info.height = 1;
    info.bitCount = 8;
    info.palette = {0x0000FF, 0x00FF00};
    Bytes b = makeBmp(info, padded({{1, 0}}));
    // The pixel offset says only two colours sit between header and pixels: that is enough.
    Decoded d = decode(b);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(at(d.image, 0, 0), 0x00FF00u);

    // A pixel offset beyond the file.
    Bytes far = b;
    far[10] = 0xFF;
    far[11] = 0xFF;
    EXPECT_EQ(decode(far).error, BMP_CONVERSION_ERROR);

    // Without a file header the full table of 256 entries must be there.
    info.fileHeader = false;
    EXPECT_EQ(decode(makeBmp(info, padded({{1, 0}}))).error, BMP_CONVERSION_ERROR);
}

TEST(BmpDecoder, EveryTruncationAndByteFlipEndsInAnImageOrAMessage) {
    std::vector<Bytes> files;
    Info i24;
    i24.width = 5;
    i24.height = 3;
    files.push_back(makeBmp(i24, Bytes(48, 0x7F)));
    Info i4;
    i4.width = 7;
    i4.height = 2;
    i4.bitCount = 4;
    i4.compression = 2;
    i4.palette = std::vector<uint32_t>(16, 0x445566);
    files.push_back(makeBmp(i4, {0, 5, 0x12, 0x34, 0x50, 0, 0, 2, 1, 1, 3, 0x77, 0, 1}));
    files.push_back(makeCoreBmp(3, 3, 1, {0, 0xFFFFFF}, Bytes(12, 0xA5)));
    for (const Bytes& full : files) {
        ASSERT_TRUE(decode(full).ok);
        for (size_t len = 0; len < full.size(); ++len) {
            Bytes cut(full.begin(), full.begin() + long(len));
            Decoded d = decode(cut);
            if (d.ok)
                EXPECT_EQ(d.image.pixels.size(), size_t(d.image.width) * d.image.height * 3);
            else
                EXPECT_TRUE(kMessages.count(d.error)) << "length " << len << ": " << d.error;
        }
        for (size_t pos = 0; pos < full.size(); ++pos) {
            for (uint8_t v : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x80)}) {
                Bytes bad = full;
                bad[pos] = v;
                Decoded d = decode(bad);
                if (d.ok)
                    EXPECT_EQ(d.image.pixels.size(), size_t(d.image.width) * d.image.height * 3);
                else
                    EXPECT_TRUE(kMessages.count(d.error)) << "byte " << pos;
            }
        }
    }
}

// ---- Loading from files --------------------------------------------------------------------

namespace {

struct Boxes {
    std::vector<std::pair<std::string, std::string>> seen; // text, title
    Boxes() {
        SetMessageBoxResponder(
            [this](const std::string& text, const std::string& title, MessageBoxButtons) {
                seen.emplace_back(text, title);
                return MessageBoxAnswer::Ok;
            });
    }
    ~Boxes() { SetMessageBoxResponder(nullptr); }
};

std::string writeTemp(const std::string& name, const Bytes& bytes) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "tarvo_bmp_test";
    std::filesystem::create_directories(dir);
    std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

} // namespace

TEST(TextureLoading, AMissingFileIsSilentOnTheModelAndMipmapPaths) {
    Boxes boxes;
    EXPECT_EQ(loadTexture("no/such/file.bmp"), 0u);
    GLuint target = 77;
    EXPECT_FALSE(loadMipmappedTexture(&target, "no/such/file.bmp"));
    EXPECT_FALSE(loadMipmappedTexture(&target, ""));
    EXPECT_FALSE(loadMipmappedTexture(nullptr, "no/such/file.bmp"));
    EXPECT_EQ(target, 77u);
    EXPECT_TRUE(boxes.seen.empty());
}

TEST(TextureLoading, LoadImageNamesTheFileItCannotOpen) {
    Boxes boxes;
    EXPECT_FALSE(loadImage("Data/missing.bmp"));
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].first, "Failed to open DIB file Data/missing.bmp.\n");
    EXPECT_EQ(boxes.seen[0].second, "Error");
}

TEST(TextureLoading, AFileThatDoesNotDecodeShowsTheDecodersMessage) {
    Boxes boxes;
    Info info;
    info.headerSize = 124;
    std::string path = writeTemp("v5.bmp", makeBmp(info, padded({{1, 2, 3}})));
    EXPECT_EQ(loadTexture(path), 0u);
    GLuint target = 5;
    EXPECT_FALSE(loadMipmappedTexture(&target, path));
    EXPECT_EQ(target, 5u);
    ASSERT_EQ(boxes.seen.size(), 2u);
    EXPECT_EQ(boxes.seen[0].first, "Unknown DIB file format.");
    EXPECT_EQ(boxes.seen[0].second, "Error");

    std::optional<ImageRecord> good =
        loadImage(writeTemp("good.bmp", makeBmp(Info{}, padded({{9, 8, 7}}))));
    ASSERT_TRUE(good);
    EXPECT_EQ(at(*good, 0, 0), 0x070809u);
    EXPECT_EQ(boxes.seen.size(), 2u);
}
