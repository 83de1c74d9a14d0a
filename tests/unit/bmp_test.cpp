// The BMP decoder and the file loaders in front of it, on bitmaps built here in memory.
#include "models/bmpdecoder.h"
#include "models/texture.h"
#include "support/bmpwriter.h"
#include "support/contextguard.h"
#include "support/glcontext.h"

#include <gtest/gtest.h>

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

// Pads each row to the 4-byte stride of the format.
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
    std::vector<uint32_t> palette; // 0x00RRGGBB
    uint32_t clrUsed = 0;
    std::vector<uint32_t> masks; // written after the header when not empty
    uint32_t headerSize = 40;
    bool fileHeader = true;
};

Info info(int32_t w, int32_t h, uint16_t bits = 24, uint32_t compression = 0,
          std::vector<uint32_t> palette = {}, uint32_t clrUsed = 0,
          std::vector<uint32_t> masks = {}) {
    return Info{w, h, bits, compression, std::move(palette), clrUsed, std::move(masks)};
}

void putPalette(Bytes& h, const std::vector<uint32_t>& palette, bool fourBytes) {
    for (uint32_t c : palette) {
        h.insert(h.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        if (fourBytes)
            h.push_back(0);
    }
}

Bytes wrap(const Bytes& header, const Bytes& pixels, bool fileHeader = true) {
    Bytes out;
    if (fileHeader) {
        out = {'B', 'M'};
        put32(out, uint32_t(14 + header.size() + pixels.size()));
        put32(out, 0);
        put32(out, uint32_t(14 + header.size()));
    }
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// A file with the 14-byte file header (unless asked otherwise) and a 40-byte info header.
Bytes makeBmp(const Info& info, const Bytes& pixels) {
    Bytes h;
    for (uint32_t v : {info.headerSize, uint32_t(info.width), uint32_t(info.height),
                       uint32_t(1 | info.bitCount << 16), info.compression, uint32_t(pixels.size()),
                       2835u, 2835u, info.clrUsed, 0u})
        put32(h, v);
    h.resize(std::max<size_t>(h.size(), info.headerSize), 0);
    for (uint32_t m : info.masks)
        put32(h, m);
    putPalette(h, info.palette, true);
    return wrap(h, pixels, info.fileHeader);
}

// The old 12-byte header with 3-byte palette entries.
Bytes makeCoreBmp(uint16_t width, uint16_t height, uint16_t bitCount,
                  const std::vector<uint32_t>& palette, const Bytes& pixels) {
    Bytes h;
    put32(h, 12);
    for (uint16_t v : {width, height, uint16_t(1), bitCount})
        put16(h, v);
    putPalette(h, palette, false);
    return wrap(h, pixels);
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

// Decodes and compares the image, bottom row first, with `want`.
void expectImage(const Bytes& file, int w, const std::vector<uint32_t>& want) {
    Decoded d = decode(file);
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(d.image.width, w);
    ASSERT_EQ(d.image.pixels.size(), want.size() * 3);
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(at(d.image, int(i % w), int(i / w)), want[i]) << "pixel " << i;
}

void expectRefused(const Bytes& file, const char* error, const std::string& why = "") {
    Decoded d = decode(file);
    EXPECT_FALSE(d.ok) << why;
    EXPECT_EQ(d.error, error) << why;
    EXPECT_TRUE(d.image.pixels.empty()) << why;
}

} // namespace

// ---- Uncompressed depths -------------------------------------------------------------------

TEST(BmpDecoder, TwentyFourBitRowsLoseTheirPaddingAndComeOutBottomFirst) {
    // Blue-green-red per pixel; width 3 leaves 3 bytes of padding per row.
    expectImage(
        makeBmp(info(3, 2), padded({{1, 2, 3, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23},
                                    {0x31, 0x32, 0x33, 0x41, 0x42, 0x43, 0x51, 0x52, 0x53}})),
        3, {0x030201, 0x131211, 0x232221, 0x333231, 0x434241, 0x535251});
    // Top-down: the top row (blue) is stored first.
    expectImage(makeBmp(info(1, -2), padded({{0xFF, 0, 0}, {0, 0, 0xFF}})), 1,
                {0xFF0000, 0x0000FF});

    // The last row may lack its padding, but not its pixels.
    Bytes px = padded({{1, 2, 3}});
    px.insert(px.end(), {4, 5, 6});
    expectImage(makeBmp(info(1, 2), px), 1, {0x030201, 0x060504});
    px.pop_back();
    expectRefused(makeBmp(info(1, 2), px), BMP_CONVERSION_ERROR);
}

TEST(BmpDecoder, PalettedDepthsReadTheirIndicesHighBitsFirst) {
    // 1 bit, 10 wide: the second byte holds the last two pixels.
    const uint32_t W = 0xFFFFFF;
    expectImage(makeBmp(info(10, 1, 1, 0, {0, W}), padded({{0b10100000, 0b01000000}})), 10,
                {W, 0, W, 0, 0, 0, 0, 0, 0, W});
    // 4 bits, odd width.
    expectImage(
        makeBmp(info(3, 1, 4, 0, {0x102030, 0x405060, 0x708090}, 3), padded({{0x21, 0x00}})), 3,
        {0x708090, 0x405060, 0x102030});
    // 8 bits: an index past the short table reads black.
    expectImage(makeBmp(info(3, 1, 8, 0, {0xAA0000, 0x00BB00}, 2), padded({{1, 0, 200}})), 3,
                {0x00BB00, 0xAA0000, 0});

    // The old-style header uses three-byte palette entries.
    std::vector<uint32_t> palette(256, 0);
    palette[7] = 0x123456;
    palette[255] = 0xFEDCBA;
    expectImage(makeCoreBmp(2, 1, 8, palette, padded({{7, 255}})), 2, {0x123456, 0xFEDCBA});
    expectImage(makeCoreBmp(1, 2, 24, {}, padded({{1, 2, 3}, {4, 5, 6}})), 1, {0x030201, 0x060504});
}

TEST(BmpDecoder, SixteenAndThirtyTwoBitsPlainAndWithMasks) {
    auto row16 = [](std::initializer_list<uint32_t> words) {
        Bytes row;
        for (uint32_t w : words)
            put16(row, w);
        return padded({row});
    };
    // Full red, full green, blue 16 of 31 in 5-5-5.
    expectImage(makeBmp(info(3, 1, 16), row16({0x7C00, 0x03E0, 0x0010})), 3,
                {0xFF0000, 0x00FF00, (16 * 255 + 15) / 31});
    // 5-6-5 bit fields; green 32 of 63.
    expectImage(makeBmp(info(3, 1, 16, 3, {}, 0, {0xF800, 0x07E0, 0x001F}),
                        row16({0xF800, 0x07E0, 0x0400})),
                3, {0xFF0000, 0x00FF00, uint32_t((32 * 255 + 31) / 63) << 8});

    expectImage(makeBmp(info(1, 1, 32), {0x30, 0x20, 0x10, 0x99}), 1, {0x102030});
    // Red in the low byte, blue in the high one, and a 10-bit green.
    Bytes px;
    put32(px, 0x80000000u | (0x3FFu << 8) | 0x40u);
    expectImage(makeBmp(info(1, 1, 32, 3, {}, 0, {0x000000FF, 0x0003FF00, 0xFF000000}), px), 1,
                {0x40FF80});
}

TEST(BmpDecoder, PackedDibsAndPaletteBoundsAreChecked) {
    // Without a file header the pixels follow the table of clrUsed colours.
    Info dib = info(2, 1, 8, 0, {0x0000FF, 0xFF0000}, 2);
    dib.fileHeader = false;
    expectImage(makeBmp(dib, padded({{1, 0}})), 2, {0xFF0000, 0x0000FF});
    // The table sits before the pixels even at 24 bits, where it is only a hint.
    Info deep = info(1, 1, 24, 0, {0x111111, 0x222222}, 2);
    deep.fileHeader = false;
    expectImage(makeBmp(deep, padded({{0x30, 0x20, 0x10}})), 1, {0x102030});

    // The pixel offset says only two colours sit between header and pixels: that is enough.
    Info pal = info(2, 1, 8, 0, {0x0000FF, 0x00FF00});
    Bytes b = makeBmp(pal, padded({{1, 0}}));
    expectImage(b, 2, {0x00FF00, 0x0000FF});
    b[10] = b[11] = 0xFF; // a pixel offset beyond the file
    expectRefused(b, BMP_CONVERSION_ERROR);
    // Without a file header the full table of 256 entries must be there.
    pal.fileHeader = false;
    expectRefused(makeBmp(pal, padded({{1, 0}})), BMP_CONVERSION_ERROR);
}

// ---- Run-length encodings ------------------------------------------------------------------

TEST(BmpDecoder, RleRunsAbsoluteRunsDeltasLineEndsAndClipping) {
    const uint32_t A = 0x111111, B = 0x222222, C = 0x333333;
    Bytes rle = {
        3, 1,             // row 0: three of colour 1
        0, 3, 2, 3, 2, 0, // absolute: 2 3 2, padded to an even byte count
        0, 0,             // end of line
        0, 2, 4, 1,       // delta: 4 right, 1 up -> row 2, x 4
        2, 3,             // two of colour 3 at (4,2), (5,2)
        0, 1,             // end of bitmap
        9, 1,             // never read
    };
    // The skipped row and the cells jumped over stay black.
    expectImage(makeBmp(info(6, 3, 8, 1, {0, A, B, C}, 4), rle), 6,
                {A, A, A, B, C, B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, C, C});

    // RLE4 alternates nibbles and clips at the row end.
    const uint32_t R = 0xFF0000, G = 0x00FF00;
    rle = {
        5, 0x12,             // 1 2 1 2 (1): the fifth pixel falls off the row
        0, 0,                // end of line
        0, 3,    0x21, 0x20, // absolute 2 1 2: two data bytes, already even
        0, 1,
    };
    expectImage(makeBmp(info(4, 2, 4, 2, {0, R, G}, 3), rle), 4, {R, G, R, G, G, R, G, 0});
}

TEST(BmpDecoder, CutOffRleCommandsAreConversionErrors) {
    Info i = info(4, 1, 8, 1, std::vector<uint32_t>(256, 0x808080));
    for (Bytes rle : {Bytes{4}, Bytes{0, 2, 1}, Bytes{0, 5, 1, 2}})
        expectRefused(makeBmp(i, rle), BMP_CONVERSION_ERROR);
    // A stream that ends after whole commands keeps what it drew.
    expectImage(makeBmp(i, {2, 0}), 4, {0x808080, 0x808080, 0, 0});
}

// ---- Refusals ------------------------------------------------------------------------------

TEST(BmpDecoder, OnlyTwelveAndFortyByteHeadersAreKnown) {
    for (uint32_t size : {0u, 16u, 52u, 56u, 64u, 108u, 124u}) {
        Info i;
        i.headerSize = std::max(size, 40u);
        Bytes b = makeBmp(i, padded({{1, 2, 3}}));
        b[14] = uint8_t(size); // the size field alone says what the header is
        expectRefused(b, BMP_UNKNOWN_FORMAT, std::to_string(size));
    }
    EXPECT_EQ(decode({}).error, BMP_UNKNOWN_FORMAT);
    EXPECT_EQ(decode({'B', 'M'}).error, BMP_CONVERSION_ERROR);
}

TEST(BmpDecoder, UnsupportedLayoutsAndHugeImagesAreRefused) {
    const struct {
        Info info;
        const char* why;
    } cases[] = {
        {info(1, 1, 2), "2 bits"},
        {info(1, 1, 0), "0 bits"},
        {info(1, 1, 64), "64 bits"},
        {info(1, 1, 24, 4), "JPEG"},
        {info(1, 1, 24, 1), "RLE8 at 24 bits"},
        {info(1, -1, 8, 1), "top-down RLE"},
        {info(0, 1), "no width"},
        {info(-3, 1), "negative width"},
        {info(1, 0), "no height"},
        {info(1, INT32_MIN), "height that has no positive value"},
        {info(1, 1, 16, 3, {}, 0, {0xF00F, 0x00F0, 0x0F00}), "red mask in two pieces"},
    };
    for (const auto& c : cases)
        expectRefused(makeBmp(c.info, Bytes(64, 0)), BMP_CONVERSION_ERROR, c.why);
    // A tiny RLE file must not make the decoder allocate ten billion pixels.
    expectRefused(makeBmp(info(100000, 100000, 8, 1, std::vector<uint32_t>(256, 0)), {0, 1}),
                  BMP_OUT_OF_MEMORY);
}

TEST(BmpDecoder, EveryTruncationAndByteFlipEndsInAnImageOrAMessage) {
    const std::set<std::string> messages = {BMP_UNKNOWN_FORMAT, BMP_CONVERSION_ERROR,
                                            BMP_OUT_OF_MEMORY};
    auto check = [&](const Bytes& b, const std::string& what) {
        Decoded d = decode(b);
        if (d.ok)
            EXPECT_EQ(d.image.pixels.size(), size_t(d.image.width) * d.image.height * 3) << what;
        else
            EXPECT_TRUE(messages.count(d.error)) << what << ": " << d.error;
    };
    const Bytes files[] = {
        makeBmp(info(5, 3), Bytes(48, 0x7F)),
        makeBmp(info(7, 2, 4, 2, std::vector<uint32_t>(16, 0x445566)),
                {0, 5, 0x12, 0x34, 0x50, 0, 0, 2, 1, 1, 3, 0x77, 0, 1}),
        makeCoreBmp(3, 3, 1, {0, 0xFFFFFF}, Bytes(12, 0xA5)),
    };
    for (const Bytes& full : files) {
        ASSERT_TRUE(decode(full).ok);
        for (size_t pos = 0; pos < full.size(); ++pos) {
            check(Bytes(full.begin(), full.begin() + long(pos)), "length " + std::to_string(pos));
            for (uint8_t v : {0x00, 0xFF, 0x80}) {
                Bytes bad = full;
                bad[pos] = v;
                check(bad, "byte " + std::to_string(pos));
            }
        }
    }
}

// ---- Loading from files --------------------------------------------------------------------

namespace {

std::string writeTemp(const std::string& name, const Bytes& bytes) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "tarvo_bmp_test";
    std::filesystem::create_directories(dir);
    return WriteBytes((dir / name).string(), bytes);
}

} // namespace

TEST(TextureLoading, MissingFilesAreSilentExceptThroughLoadImageBadOnesAlwaysSpeak) {
    ContextGuard context;
    std::vector<ShownBox>& boxes = context.m_boxes;
    EXPECT_EQ(loadTexture("no/such/file.bmp"), 0u);
    GLuint target = 77;
    EXPECT_FALSE(loadMipmappedTexture(&target, "no/such/file.bmp"));
    EXPECT_FALSE(loadMipmappedTexture(&target, ""));
    EXPECT_FALSE(loadMipmappedTexture(nullptr, "no/such/file.bmp"));
    EXPECT_EQ(target, 77u);
    EXPECT_TRUE(boxes.empty());

    EXPECT_FALSE(loadImage("Data/missing.bmp"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Failed to open DIB file Data/missing.bmp.\n");
    EXPECT_EQ(boxes[0].title, "Error");

    // A file that does not decode shows the decoder's message on every path.
    boxes.clear();
    Info v5;
    v5.headerSize = 124;
    std::string path = writeTemp("v5.bmp", makeBmp(v5, padded({{1, 2, 3}})));
    EXPECT_EQ(loadTexture(path), 0u);
    EXPECT_FALSE(loadMipmappedTexture(&target, path));
    EXPECT_EQ(target, 77u);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Unknown DIB file format.");
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_EQ(boxes[1], boxes[0]);

    std::optional<ImageRecord> good =
        loadImage(writeTemp("good.bmp", makeBmp(Info{}, padded({{9, 8, 7}}))));
    ASSERT_TRUE(good);
    EXPECT_EQ(at(*good, 0, 0), 0x070809u);
    EXPECT_EQ(boxes.size(), 2u);
}

TEST(TextureLoading, TheSameFileSharesOneTextureUntilItChangesOrTheContextDoes) {
    TestGLContext gl(64, 64);
    ASSERT_TRUE(gl.ok()) << gl.error();
    const std::string path = writeTemp("shared.bmp", makeBmp(Info{}, padded({{9, 8, 7}})));
    // Every enemy and every new game loads its images again: they must not pile up.
    const GLuint first = loadTexture(path);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(loadTexture(path), first);
    GLuint mip = 0, mipAgain = 0;
    ASSERT_TRUE(loadMipmappedTexture(&mip, path));
    ASSERT_TRUE(loadMipmappedTexture(&mipAgain, path));
    EXPECT_EQ(mipAgain, mip);
    EXPECT_NE(mip, first) << "another loader, another texture";
    const GLuint clamped = loadImageTexture(path);
    EXPECT_EQ(loadImageTexture(path), clamped);
    EXPECT_NE(clamped, first);
    GLint bound = 0;
    glBindTexture(GL_TEXTURE_2D, 0);
    loadTexture(path);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), first) << "a shared texture is left bound, as a fresh load is";

    // A rewritten file is a new image.
    writeTemp("shared.bmp", makeBmp(info(1, 2), padded({{1, 2, 3}, {4, 5, 6}})));
    EXPECT_NE(loadTexture(path), first);

    // A deleted name is not handed out again.
    const GLuint current = loadTexture(path);
    glDeleteTextures(1, &current);
    EXPECT_TRUE(glIsTexture(loadTexture(path)));
}
