// The demo file: a recorded play, frame by frame, with everything the game read from outside
// (clock, input, window events, seeds) and checkpoints of the state it reached.
//
// Layout, little-endian throughout:
//   header  "TARVODEM", u16 format version, u16 0, u8 length + game version text,
//           u64 content hash, u32 random generator state at the start
//   records u8 kind ('F' frame, 'E' end), u32 payload length, payload
// A frame's payload: i64 clock (ns), u8 flags, u8 event count + events, u8 seed count + u32
// seeds, then the input and the checkpoint when the flags say so. The end record holds the
// last checkpoint. Records are appended as the game runs, so a recording cut short by a
// crash keeps every frame before it; only a record cut in the middle is an error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t DEMO_FORMAT_VERSION = 1;

// A window event that changes what the game does.
struct DemoEvent {
    enum Kind : uint8_t { FOCUS_GAINED = 1, FOCUS_LOST = 2, RESIZED = 3, CLOSE = 4 };
    uint8_t kind = FOCUS_GAINED;
    int32_t width = 0, height = 0; // RESIZED only
};

// What one poll of the input gave the game: the key bytes that were not 0 (by DirectInput
// code), the mouse's motion, wheel and buttons.
struct DemoInput {
    std::vector<std::pair<uint8_t, uint8_t>> keys;
    int32_t dx = 0, dy = 0, wheel = 0;
    uint8_t buttons[4] = {0, 0, 0, 0};
    bool operator==(const DemoInput& o) const;
};

// The state that matters, hashed, plus a few values in plain numbers for the report.
struct DemoCheckpoint {
    static constexpr int FIELD_COUNT = 14;
    static const char* const FIELD_NAMES[FIELD_COUNT];
    int32_t state = 0;
    uint64_t hash = 0;
    double fields[FIELD_COUNT] = {};
};

struct DemoFrame {
    // EVENTS_ONLY: the events that came after the last frame (a close request); nothing runs.
    enum Flag : uint8_t {
        ESCAPE = 1,
        HAS_INPUT = 2,
        HAS_CHECKPOINT = 4,
        ACTIVE = 8,
        EVENTS_ONLY = 16
    };
    int64_t clockNs = 0;
    uint8_t flags = 0;
    std::vector<DemoEvent> events;
    std::vector<uint32_t> seeds;
    DemoInput input;
    DemoCheckpoint checkpoint;
};

struct DemoHeader {
    uint16_t formatVersion = DEMO_FORMAT_VERSION;
    std::string gameVersion;
    uint64_t contentHash = 0;
    uint32_t randomState = 1;
};

struct Demo {
    DemoHeader header;
    std::vector<DemoFrame> frames; // the first holds what start-up read
    bool ended = false;            // the end record was found
    DemoCheckpoint last;           // its checkpoint
};

std::vector<uint8_t> EncodeDemoHeader(const DemoHeader& header);
std::vector<uint8_t> EncodeDemoFrame(const DemoFrame& frame);
std::vector<uint8_t> EncodeDemoEnd(const DemoCheckpoint& last);

// Reads a whole demo. False with one line in `error` for anything that is not a complete
// demo of this format: too short, foreign, a newer format, a record cut short or out of
// bounds. The game version and content hash are the caller's to compare.
bool ReadDemo(const uint8_t* data, size_t size, Demo& demo, std::string& error);

// FNV-1a, 64 bits: the checkpoints' and the content's hash.
uint64_t DemoHash(uint64_t hash, const void* data, size_t size);
constexpr uint64_t DEMO_HASH_START = 1469598103934665603ull;
