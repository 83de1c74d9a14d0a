#include "models/bmpdecoder.h"

#include <algorithm>
#include <new>

const char* const BMP_UNKNOWN_FORMAT = "Unknown DIB file format.";
const char* const BMP_CONVERSION_ERROR = "Image file conversion error.";
const char* const BMP_OUT_OF_MEMORY = "Out of memory.";
const char* const BMP_OPEN_FAILED_FORMAT = "Failed to open DIB file %s.\n";

namespace {

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

constexpr size_t FILE_HEADER_SIZE = 14;
constexpr uint32_t CORE_HEADER_SIZE = 12;
constexpr uint32_t INFO_HEADER_SIZE = 40;

// Little-endian reads that refuse to step past the end instead of reading it.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool has(size_t pos, size_t count) const { return pos <= m_size && count <= m_size - pos; }
    bool u8(size_t pos, uint32_t& v) const {
        if (!has(pos, 1))
            return false;
        v = m_data[pos];
        return true;
    }
    bool u16(size_t pos, uint32_t& v) const {
        if (!has(pos, 2))
            return false;
        v = uint32_t(m_data[pos]) | uint32_t(m_data[pos + 1]) << 8;
        return true;
    }
    bool u32(size_t pos, uint32_t& v) const {
        if (!has(pos, 4))
            return false;
        v = uint32_t(m_data[pos]) | uint32_t(m_data[pos + 1]) << 8 |
            uint32_t(m_data[pos + 2]) << 16 | uint32_t(m_data[pos + 3]) << 24;
        return true;
    }
    const uint8_t* at(size_t pos) const { return m_data + pos; }
    size_t size() const { return m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
};

struct Rgb {
    uint8_t r, g, b;
};

// One colour channel of a bit-field pixel: where it sits and how to widen it to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    bool set(uint32_t m) {
        mask = m;
        shift = 0;
        bits = 0;
        if (m == 0)
            return true; // a channel that is absent reads as 0
        while (((m >> shift) & 1u) == 0)
            ++shift;
        uint64_t v = uint64_t(m) >> shift;
        if ((v & (v + 1)) != 0)
            return false; // the bits of a channel must be contiguous
        while (v) {
            ++bits;
            v >>= 1;
        }
        return true;
    }
    uint8_t extract(uint32_t pixel) const {
        if (bits == 0)
            return 0;
        uint32_t c = (pixel & mask) >> shift;
        if (bits >= 8)
            return uint8_t(c >> (bits - 8));
        uint32_t max = (1u << bits) - 1;
        return uint8_t((c * 255 + max / 2) / max);
    }
};

struct Layout {
    int32_t width = 0;
    int32_t height = 0;
    bool topDown = false;
    uint32_t bitCount = 0;
    uint32_t compression = BI_RGB;
    Channel red, green, blue;
    std::vector<Rgb> palette;
    size_t pixelOffset = 0;
};

bool fail(std::string& error, const char* text) {
    error = text;
    return false;
}

bool readLayout(const ByteReader& in, Layout& lay, std::string& error) {
    size_t base = 0;
    uint32_t offBits = 0;
    bool fileHeader = false;
    if (in.size() >= 2 && in.at(0)[0] == 'B' && in.at(0)[1] == 'M') {
        if (!in.u32(10, offBits))
            return fail(error, BMP_CONVERSION_ERROR);
        base = FILE_HEADER_SIZE;
        fileHeader = true;
    }
    uint32_t headerSize = 0;
    if (!in.u32(base, headerSize))
        return fail(error, BMP_UNKNOWN_FORMAT);
    if (headerSize != CORE_HEADER_SIZE && headerSize != INFO_HEADER_SIZE)
        return fail(error, BMP_UNKNOWN_FORMAT);
    if (!in.has(base, headerSize))
        return fail(error, BMP_CONVERSION_ERROR);

    uint32_t clrUsed = 0;
    size_t entrySize = 3;
    if (headerSize == CORE_HEADER_SIZE) {
        uint32_t w = 0, h = 0;
        in.u16(base + 4, w);
        in.u16(base + 6, h);
        in.u16(base + 10, lay.bitCount);
        lay.width = int32_t(w);
        lay.height = int32_t(h);
    } else {
        uint32_t w = 0, h = 0;
        in.u32(base + 4, w);
        in.u32(base + 8, h);
        in.u16(base + 14, lay.bitCount);
        in.u32(base + 16, lay.compression);
        in.u32(base + 32, clrUsed);
        lay.width = int32_t(w);
        int32_t sh = int32_t(h);
        if (sh == INT32_MIN)
            return fail(error, BMP_CONVERSION_ERROR);
        lay.topDown = sh < 0;
        lay.height = sh < 0 ? -sh : sh;
        entrySize = 4;
    }
    if (lay.width <= 0 || lay.height <= 0)
        return fail(error, BMP_CONVERSION_ERROR);

    const uint32_t bpp = lay.bitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return fail(error, BMP_CONVERSION_ERROR);
    switch (lay.compression) {
    case BI_RGB:
        break;
    case BI_RLE8:
        if (bpp != 8 || lay.topDown)
            return fail(error, BMP_CONVERSION_ERROR);
        break;
    case BI_RLE4:
        if (bpp != 4 || lay.topDown)
            return fail(error, BMP_CONVERSION_ERROR);
        break;
    case BI_BITFIELDS:
        if (bpp != 16 && bpp != 32)
            return fail(error, BMP_CONVERSION_ERROR);
        break;
    default:
        return fail(error, BMP_CONVERSION_ERROR);
    }
    if (int64_t(lay.width) * lay.height > MAX_BMP_PIXELS)
        return fail(error, BMP_OUT_OF_MEMORY);

    size_t tableStart = base + headerSize;
    uint32_t masks[3] = {0, 0, 0};
    if (lay.compression == BI_BITFIELDS) {
        if (!in.u32(tableStart, masks[0]) || !in.u32(tableStart + 4, masks[1]) ||
            !in.u32(tableStart + 8, masks[2]))
            return fail(error, BMP_CONVERSION_ERROR);
        tableStart += 12;
    } else if (bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bpp == 32) {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }
    if (!lay.red.set(masks[0]) || !lay.green.set(masks[1]) || !lay.blue.set(masks[2]))
        return fail(error, BMP_CONVERSION_ERROR);

    size_t entries = 0;
    if (bpp <= 8) {
        size_t full = size_t(1) << bpp;
        entries = (clrUsed != 0 && clrUsed < full) ? clrUsed : full;
        // Some writers give a short table and say so only through the pixel offset.
        if (fileHeader && offBits > tableStart)
            entries = std::min(entries, (offBits - tableStart) / entrySize);
        if (!in.has(tableStart, entries * entrySize))
            return fail(error, BMP_CONVERSION_ERROR);
        lay.palette.resize(entries);
        for (size_t i = 0; i < entries; ++i) {
            const uint8_t* e = in.at(tableStart + i * entrySize);
            lay.palette[i] = Rgb{e[2], e[1], e[0]};
        }
    }
    // Deeper images may still carry a table (a hint for palette displays) that we skip.
    const size_t skipped = bpp > 8 ? size_t(clrUsed) * entrySize : entries * entrySize;
    lay.pixelOffset = (fileHeader && offBits != 0) ? offBits : tableStart + skipped;
    if (lay.pixelOffset > in.size())
        return fail(error, BMP_CONVERSION_ERROR);
    return true;
}

void putIndex(const Layout& lay, uint8_t* out, uint32_t index) {
    static const Rgb black{0, 0, 0};
    const Rgb& c = index < lay.palette.size() ? lay.palette[index] : black;
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
}

// Whether the rows of an uncompressed image are all there; the last may lack its padding.
bool rowsPresent(const ByteReader& in, const Layout& lay) {
    const size_t width = size_t(lay.width);
    const size_t bpp = lay.bitCount;
    const size_t rowBytes = (width * bpp + 7) / 8;
    const size_t stride = ((width * bpp + 31) / 32) * 4;
    return in.has(lay.pixelOffset, (size_t(lay.height) - 1) * stride + rowBytes);
}

void decodeRows(const ByteReader& in, const Layout& lay, uint8_t* pixels) {
    const size_t width = size_t(lay.width);
    const size_t height = size_t(lay.height);
    const uint32_t bpp = lay.bitCount;
    const size_t stride = ((width * bpp + 31) / 32) * 4;
    for (size_t r = 0; r < height; ++r) {
        const uint8_t* src = in.at(lay.pixelOffset + r * stride);
        size_t outRow = lay.topDown ? height - 1 - r : r;
        uint8_t* dst = pixels + outRow * width * 3;
        for (size_t x = 0; x < width; ++x, dst += 3) {
            switch (bpp) {
            case 1:
                putIndex(lay, dst, (src[x >> 3] >> (7 - (x & 7))) & 1u);
                break;
            case 4:
                putIndex(lay, dst, (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
                break;
            case 8:
                putIndex(lay, dst, src[x]);
                break;
            case 16:
            case 32: {
                const uint8_t* p = src + x * (bpp / 8);
                uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
                if (bpp == 32)
                    v |= uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
                dst[0] = lay.red.extract(v);
                dst[1] = lay.green.extract(v);
                dst[2] = lay.blue.extract(v);
                break;
            }
            default: { // 24
                const uint8_t* p = src + x * 3;
                dst[0] = p[2];
                dst[1] = p[1];
                dst[2] = p[0];
                break;
            }
            }
        }
    }
}

// Run-length streams always run bottom-up. Pixels that the stream skips stay black; pixels that
// fall outside the image are dropped. A command cut off by the end of the data is an error; a
// stream that simply ends without its end-of-bitmap mark keeps what it drew.
bool decodeRle(const ByteReader& in, const Layout& lay, uint8_t* pixels, std::string& error) {
    const bool four = lay.compression == BI_RLE4;
    const int64_t width = lay.width;
    const int64_t height = lay.height;
    int64_t x = 0, y = 0;
    size_t pos = lay.pixelOffset;
    auto put = [&](uint32_t index) {
        if (x < width && y < height)
            putIndex(lay, pixels + size_t(y * width + x) * 3, index);
        ++x;
    };
    while (y < height && in.has(pos, 1)) {
        uint32_t count = 0, value = 0;
        if (!in.u8(pos, count) || !in.u8(pos + 1, value))
            return fail(error, BMP_CONVERSION_ERROR);
        pos += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i)
                put(four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            uint32_t dx = 0, dy = 0;
            if (!in.u8(pos, dx) || !in.u8(pos + 1, dy))
                return fail(error, BMP_CONVERSION_ERROR);
            pos += 2;
            x += dx;
            y += dy;
        } else { // absolute run of value pixels, padded to a 16-bit boundary
            size_t bytes = four ? (value + 1) / 2 : value;
            if (!in.has(pos, bytes))
                return fail(error, BMP_CONVERSION_ERROR);
            const uint8_t* src = in.at(pos);
            for (uint32_t i = 0; i < value; ++i)
                put(four ? ((i & 1) ? src[i >> 1] & 0x0F : src[i >> 1] >> 4) : src[i]);
            pos += bytes + (bytes & 1);
        }
    }
    return true;
}

} // namespace

bool decodeBmp(const uint8_t* data, size_t size, ImageRecord& image, std::string& error) {
    image = ImageRecord{};
    if (!data)
        size = 0;
    ByteReader in(data, size);
    Layout lay;
    if (!readLayout(in, lay, error))
        return false;

    const bool rle = lay.compression == BI_RLE8 || lay.compression == BI_RLE4;
    // Check before allocating, so that a short file cannot make us allocate for its claim.
    if (!rle && !rowsPresent(in, lay))
        return fail(error, BMP_CONVERSION_ERROR);
    std::vector<uint8_t> pixels;
    try {
        pixels.assign(size_t(lay.width) * size_t(lay.height) * 3, 0);
    } catch (const std::bad_alloc&) {
        return fail(error, BMP_OUT_OF_MEMORY);
    }
    if (rle) {
        if (!decodeRle(in, lay, pixels.data(), error))
            return false;
    } else {
        decodeRows(in, lay, pixels.data());
    }
    image.width = lay.width;
    image.height = lay.height;
    image.pixels = std::move(pixels);
    error.clear();
    return true;
}
