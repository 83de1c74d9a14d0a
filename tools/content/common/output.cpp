#include "common/output.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace content {

namespace {
int64_t g_files = 0;
int64_t g_bytes = 0;
std::string g_stage;
int g_stageSteps = 0;
int g_stageDone = 0;
} // namespace

int64_t filesWritten() {
    return g_files;
}
int64_t bytesWritten() {
    return g_bytes;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    ++g_files;
    g_bytes += static_cast<int64_t>(bytes.size());
}

void writeText(const std::string& path, const std::string& text) {
    writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

namespace {
void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
} // namespace

std::vector<uint8_t> encodeBmp(const Image& image) {
    const uint32_t rowBytes = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
    const uint32_t dataSize = rowBytes * static_cast<uint32_t>(image.height);
    std::vector<uint8_t> b;
    b.reserve(54 + dataSize);
    b.push_back('B');
    b.push_back('M');
    put32(b, 54 + dataSize);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, static_cast<uint32_t>(image.width));
    put32(b, static_cast<uint32_t>(image.height));
    put16(b, 1);
    put16(b, 24);
    put32(b, 0);
    put32(b, dataSize);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            b.push_back(p[2]);
            b.push_back(p[1]);
            b.push_back(p[0]);
        }
        for (uint32_t pad = static_cast<uint32_t>(image.width) * 3; pad < rowBytes; ++pad)
            b.push_back(0);
    }
    return b;
}

void writeBmp(const std::string& path, const Image& image) {
    writeFile(path, encodeBmp(image));
}

static bool onTerminal() {
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    return terminal;
}

void beginStage(const std::string& name, int steps) {
    g_stage = name;
    g_stageSteps = steps;
    g_stageDone = 0;
}

void progress(const std::string& what) {
    if (!onTerminal())
        return;
    if (g_stageSteps > 0 && g_stageDone < g_stageSteps) {
        ++g_stageDone;
        std::fprintf(stderr, "tarvo-content: %s %d/%d: %s\n", g_stage.c_str(), g_stageDone,
                     g_stageSteps, what.c_str());
    } else if (!g_stage.empty()) {
        std::fprintf(stderr, "tarvo-content: %s: %s\n", g_stage.c_str(), what.c_str());
    } else {
        std::fprintf(stderr, "tarvo-content: %s\n", what.c_str());
    }
}

namespace {
uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        made = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putBig32(std::vector<uint8_t>& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<uint8_t>(v >> shift));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
    putBig32(out, static_cast<uint32_t>(body.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    putBig32(out, crc32(typed.data(), typed.size()));
}
} // namespace

std::vector<uint8_t> encodePng(const RgbaImage& image) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBig32(header, static_cast<uint32_t>(image.width));
    putBig32(header, static_cast<uint32_t>(image.height));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, no interlace
    chunk(out, "IHDR", header);

    // Raw scanlines, each with filter byte 0, then a zlib stream of stored blocks.
    std::vector<uint8_t> raw;
    const size_t row = static_cast<size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), image.rgba.begin() + y * row, image.rgba.begin() + (y + 1) * row);
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(n & 0xFF);
        z.push_back(n >> 8);
        z.push_back(~n & 0xFF);
        z.push_back((~n >> 8) & 0xFF);
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
        if (last)
            break;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(z, (b << 16) | a);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    return out;
}

} // namespace content
