#include "platform/demofile.h"

#include <cstring>

const char* const DemoCheckpoint::FIELD_NAMES[FIELD_COUNT] = {
    "hero x",    "hero y",    "hero z",   "hero direction x",  "hero direction z",
    "hero life", "hero gems", "red ammo", "blue ammo",         "enemies alive",
    "boss life", "boss x",    "boss z",   "gems on the ground"};

namespace {
constexpr char MAGIC[8] = {'T', 'A', 'R', 'V', 'O', 'D', 'E', 'M'};
constexpr uint8_t RECORD_FRAME = 'F', RECORD_END = 'E';

class Writer {
public:
    std::vector<uint8_t> bytes;
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) { unsignedLE(v, 2); }
    void u32(uint32_t v) { unsignedLE(v, 4); }
    void u64(uint64_t v) { unsignedLE(v, 8); }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void i64(int64_t v) { u64(uint64_t(v)); }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        u64(bits);
    }
    void raw(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }

private:
    void unsignedLE(uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
    }
};

// Every read is checked against the end; the first one past it fails the reader for good.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool ok() const { return m_ok; }
    size_t left() const { return m_size - m_at; }
    bool take(void* out, size_t n) {
        if (n == 0)
            return m_ok; // an empty field may come with no buffer at all: memcpy wants one
        if (!m_ok || n > left()) {
            m_ok = false;
            std::memset(out, 0, n);
            return false;
        }
        std::memcpy(out, m_data + m_at, n);
        m_at += n;
        return true;
    }
    uint8_t u8() { return uint8_t(unsignedLE(1)); }
    uint16_t u16() { return uint16_t(unsignedLE(2)); }
    uint32_t u32() { return uint32_t(unsignedLE(4)); }
    uint64_t u64() { return unsignedLE(8); }
    int32_t i32() { return int32_t(u32()); }
    int64_t i64() { return int64_t(u64()); }
    double f64() {
        const uint64_t bits = u64();
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }

private:
    uint64_t unsignedLE(int n) {
        uint8_t b[8] = {};
        take(b, size_t(n));
        uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | b[i];
        return v;
    }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_ok = true;
};

void writeCheckpoint(Writer& w, const DemoCheckpoint& c) {
    w.i32(c.state);
    w.u64(c.hash);
    for (double f : c.fields)
        w.f64(f);
}

void readCheckpoint(Reader& r, DemoCheckpoint& c) {
    c.state = r.i32();
    c.hash = r.u64();
    for (double& f : c.fields)
        f = r.f64();
}

std::vector<uint8_t> record(uint8_t kind, const Writer& payload) {
    Writer w;
    w.u8(kind);
    w.u32(uint32_t(payload.bytes.size()));
    w.raw(payload.bytes.data(), payload.bytes.size());
    return w.bytes;
}

bool readFrame(Reader& r, DemoFrame& f) {
    f.clockNs = r.i64();
    f.flags = r.u8();
    const uint8_t events = r.u8();
    for (uint8_t i = 0; i < events && r.ok(); ++i) {
        DemoEvent e;
        e.kind = r.u8();
        if (e.kind == DemoEvent::RESIZED) {
            e.width = r.i32();
            e.height = r.i32();
        } else if (e.kind < DemoEvent::FOCUS_GAINED || e.kind > DemoEvent::CLOSE) {
            return false;
        }
        f.events.push_back(e);
    }
    const uint8_t seeds = r.u8();
    for (uint8_t i = 0; i < seeds && r.ok(); ++i)
        f.seeds.push_back(r.u32());
    if (f.flags & DemoFrame::HAS_INPUT) {
        const uint8_t keys = r.u8();
        for (uint8_t i = 0; i < keys && r.ok(); ++i) {
            const uint8_t code = r.u8();
            f.input.keys.emplace_back(code, r.u8());
        }
        f.input.dx = r.i32();
        f.input.dy = r.i32();
        f.input.wheel = r.i32();
        r.take(f.input.buttons, 4);
    }
    if (f.flags & DemoFrame::HAS_CHECKPOINT)
        readCheckpoint(r, f.checkpoint);
    return r.ok() && r.left() == 0;
}
} // namespace

bool DemoInput::operator==(const DemoInput& o) const {
    return keys == o.keys && dx == o.dx && dy == o.dy && wheel == o.wheel &&
           std::memcmp(buttons, o.buttons, 4) == 0;
}

uint64_t DemoHash(uint64_t hash, const void* data, size_t size) {
    const auto* b = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= b[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::vector<uint8_t> EncodeDemoHeader(const DemoHeader& h) {
    Writer w;
    w.raw(MAGIC, sizeof(MAGIC));
    w.u16(h.formatVersion);
    w.u16(0);
    const size_t length = h.gameVersion.size() < 255 ? h.gameVersion.size() : 255;
    w.u8(uint8_t(length));
    w.raw(h.gameVersion.data(), length);
    w.u64(h.contentHash);
    w.u32(h.randomState);
    return w.bytes;
}

std::vector<uint8_t> EncodeDemoFrame(const DemoFrame& f) {
    Writer w;
    w.i64(f.clockNs);
    w.u8(f.flags);
    // At most 255 of each per frame; a frame never has nearly so many.
    const size_t events = f.events.size() < 255 ? f.events.size() : 255;
    w.u8(uint8_t(events));
    for (size_t i = 0; i < events; ++i) {
        w.u8(f.events[i].kind);
        if (f.events[i].kind == DemoEvent::RESIZED) {
            w.i32(f.events[i].width);
            w.i32(f.events[i].height);
        }
    }
    const size_t seeds = f.seeds.size() < 255 ? f.seeds.size() : 255;
    w.u8(uint8_t(seeds));
    for (size_t i = 0; i < seeds; ++i)
        w.u32(f.seeds[i]);
    if (f.flags & DemoFrame::HAS_INPUT) {
        const size_t keys = f.input.keys.size() < 255 ? f.input.keys.size() : 255;
        w.u8(uint8_t(keys));
        for (size_t i = 0; i < keys; ++i) {
            w.u8(f.input.keys[i].first);
            w.u8(f.input.keys[i].second);
        }
        w.i32(f.input.dx);
        w.i32(f.input.dy);
        w.i32(f.input.wheel);
        w.raw(f.input.buttons, 4);
    }
    if (f.flags & DemoFrame::HAS_CHECKPOINT)
        writeCheckpoint(w, f.checkpoint);
    return record(RECORD_FRAME, w);
}

std::vector<uint8_t> EncodeDemoEnd(const DemoCheckpoint& last) {
    Writer w;
    writeCheckpoint(w, last);
    return record(RECORD_END, w);
}

bool ReadDemo(const uint8_t* data, size_t size, Demo& demo, std::string& error) {
    demo = Demo();
    Reader r(data, size);
    char magic[sizeof(MAGIC)];
    if (!r.take(magic, sizeof(magic)) || std::memcmp(magic, MAGIC, sizeof(MAGIC)) != 0) {
        error = "not a Tarvo demo";
        return false;
    }
    demo.header.formatVersion = r.u16();
    r.u16();
    if (r.ok() && demo.header.formatVersion != DEMO_FORMAT_VERSION) {
        error = "demo format " + std::to_string(demo.header.formatVersion) +
                (demo.header.formatVersion > DEMO_FORMAT_VERSION ? " is newer than" : " is not") +
                " this game's format " + std::to_string(DEMO_FORMAT_VERSION);
        return false;
    }
    const uint8_t length = r.u8();
    demo.header.gameVersion.resize(length);
    r.take(&demo.header.gameVersion[0], length);
    demo.header.contentHash = r.u64();
    demo.header.randomState = r.u32();
    if (!r.ok()) {
        error = "the demo's header is cut short";
        return false;
    }
    while (r.left() > 0) {
        const uint8_t kind = r.u8();
        const uint32_t length = r.u32();
        if (!r.ok() || length > r.left()) {
            error = "the demo is cut short in frame " + std::to_string(demo.frames.size());
            return false;
        }
        std::vector<uint8_t> payload(length);
        r.take(payload.data(), length);
        Reader p(payload.data(), payload.size());
        if (kind == RECORD_FRAME && !demo.ended) {
            DemoFrame frame;
            if (!readFrame(p, frame)) {
                error = "frame " + std::to_string(demo.frames.size()) + " of the demo is broken";
                return false;
            }
            demo.frames.push_back(std::move(frame));
        } else if (kind == RECORD_END && !demo.ended) {
            readCheckpoint(p, demo.last);
            if (!p.ok() || p.left() != 0) {
                error = "the demo's end record is broken";
                return false;
            }
            demo.ended = true;
        } else {
            error = "unknown record in the demo after frame " + std::to_string(demo.frames.size());
            return false;
        }
    }
    if (demo.frames.empty()) {
        error = "the demo holds no frames";
        return false;
    }
    return true;
}
