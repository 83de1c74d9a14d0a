#include "platform/demo.h"

#include "platform/gamestate.h"

#include <chrono>
#include <cmath>
#include <ctime>

DemoSession g_demo;

namespace {
// Checkpoints come this often in recorded clock time, and whenever the game state changes.
constexpr int64_t CHECKPOINT_EVERY_NS = 2000000000;

int64_t processStartNs() {
    static const int64_t start = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count();
    return start;
}
} // namespace

int64_t GameClockNs() {
    return g_demo.clockNs();
}

unsigned GameClockSeed() {
    return g_demo.clockSeed();
}

DemoSession::~DemoSession() {
    if (m_file)
        std::fclose(m_file);
}

int64_t DemoSession::steadyNs() const {
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    return now - processStartNs();
}

int64_t DemoSession::clockNs() {
    return m_mode == OFF ? steadyNs() : m_latchedNs;
}

unsigned DemoSession::clockSeed() {
    if (m_mode == REPLAY) {
        const DemoFrame& f = m_demo.frames[m_frame < m_demo.frames.size() ? m_frame : 0];
        if (m_seedAt < f.seeds.size())
            return f.seeds[m_seedAt++];
        diverge("the game took a seed from the clock that the recording does not have");
        return 0;
    }
    const unsigned seed = unsigned(std::time(nullptr));
    if (m_mode == RECORD)
        m_next.seeds.push_back(seed);
    return seed;
}

bool DemoSession::startRecording(const std::string& path, const DemoHeader& header,
                                 std::string& error) {
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        error = "cannot write the demo " + path;
        return false;
    }
    m_mode = RECORD;
    if (!writeBytes(EncodeDemoHeader(header))) {
        error = "cannot write the demo " + path;
        return false;
    }
    processStartNs();
    m_latchedNs = steadyNs();
    m_next = DemoFrame();
    m_next.clockNs = m_latchedNs;
    m_lastCheckpointNs = m_latchedNs;
    return true;
}

void DemoSession::startReplay(Demo demo) {
    m_demo = std::move(demo);
    m_mode = REPLAY;
    m_frame = 0;
    m_seedAt = 0;
    m_latchedNs = m_demo.frames[0].clockNs;
}

void DemoSession::startLoop() {
    if (m_mode == RECORD) {
        // The start-up frame: its clock and the seeds the window's creation took.
        writeBytes(EncodeDemoFrame(m_next));
        m_next = DemoFrame();
    } else if (m_mode == REPLAY && m_seedAt != m_demo.frames[0].seeds.size()) {
        diverge("the game's start-up took fewer seeds than the recording's");
    }
}

bool DemoSession::writeBytes(const std::vector<uint8_t>& bytes) {
    if (!m_file)
        return false;
    // Flushed at once: a crash or a kill keeps every frame written before it.
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size() &&
                    std::fflush(m_file) == 0;
    if (!ok) {
        std::fprintf(stderr, "tarvo: the demo could not be written on; recording stops\n");
        std::fclose(m_file);
        m_file = nullptr;
    }
    return ok;
}

void DemoSession::noteEvent(const DemoEvent& event) {
    if (m_mode == RECORD)
        m_next.events.push_back(event);
}

void DemoSession::beginRecordedFrame(bool escape, bool active) {
    if (m_mode != RECORD)
        return;
    m_latchedNs = steadyNs();
    m_next.clockNs = m_latchedNs;
    m_next.flags = uint8_t((escape ? DemoFrame::ESCAPE : 0) | (active ? DemoFrame::ACTIVE : 0));
    m_inFrame = true;
}

const DemoFrame* DemoSession::nextReplayedFrame() {
    if (m_mode != REPLAY || m_diverged || m_frame + 1 >= m_demo.frames.size())
        return nullptr;
    ++m_frame;
    m_seedAt = 0;
    m_inputTaken = false;
    return &m_demo.frames[m_frame];
}

void DemoSession::beginReplayedFrame() {
    if (m_mode != REPLAY)
        return;
    m_latchedNs = m_demo.frames[m_frame].clockNs;
    m_inFrame = true;
}

void DemoSession::recordInput(const DemoInput& input) {
    if (m_mode != RECORD)
        return;
    m_next.flags |= DemoFrame::HAS_INPUT;
    m_next.input = input;
}

bool DemoSession::replayInput(DemoInput& input) {
    const DemoFrame& f = m_demo.frames[m_frame];
    if (m_inputTaken || !(f.flags & DemoFrame::HAS_INPUT)) {
        diverge("the game read the input where the recording did not");
        return false;
    }
    m_inputTaken = true;
    input = f.input;
    return true;
}

void DemoSession::endFrame() {
    if (!m_inFrame)
        return;
    m_inFrame = false;
    if (m_mode == RECORD) {
        if (takeCheckpoint && (m_latchedNs - m_lastCheckpointNs >= CHECKPOINT_EVERY_NS ||
                               g_gameState != m_lastCheckpointState)) {
            takeCheckpoint(m_next.checkpoint);
            m_next.flags |= DemoFrame::HAS_CHECKPOINT;
            m_lastCheckpointNs = m_latchedNs;
            m_lastCheckpointState = g_gameState;
        }
        writeBytes(EncodeDemoFrame(m_next));
        m_next = DemoFrame();
        return;
    }
    if (m_mode != REPLAY || m_diverged)
        return;
    const DemoFrame& f = m_demo.frames[m_frame];
    if ((f.flags & DemoFrame::HAS_INPUT) && !m_inputTaken)
        diverge("the recording read the input in this frame, the replay did not");
    else if (m_seedAt != f.seeds.size())
        diverge("the recording took more seeds from the clock in this frame");
    else if (f.flags & DemoFrame::HAS_CHECKPOINT) {
        ++m_checkpoints;
        char where[96];
        std::snprintf(where, sizeof(where), "checkpoint %d (%.1f s into the recording)",
                      m_checkpoints, double(f.clockNs - m_demo.frames[0].clockNs) * 1e-9);
        compare(f.checkpoint, where);
    }
}

void DemoSession::compare(const DemoCheckpoint& recorded, const char* where) {
    if (!takeCheckpoint)
        return;
    DemoCheckpoint now;
    takeCheckpoint(now);
    if (now.state == recorded.state && now.hash == recorded.hash)
        return;
    std::string what = std::string(where) + " differs:";
    if (now.state != recorded.state)
        what += " game state " + std::to_string(recorded.state) + " recorded, " +
                std::to_string(now.state) + " replayed;";
    bool named = false;
    for (int i = 0; i < DemoCheckpoint::FIELD_COUNT; ++i) {
        const double a = recorded.fields[i], b = now.fields[i];
        if (a == b || (std::isnan(a) && std::isnan(b)))
            continue;
        char line[160];
        std::snprintf(line, sizeof(line), " %s %.9g recorded, %.9g replayed;",
                      DemoCheckpoint::FIELD_NAMES[i], a, b);
        what += line;
        named = true;
    }
    if (!named && now.state == recorded.state)
        what += " the hash of the creatures, villagers, boss and gems;";
    what.pop_back();
    diverge(what);
}

void DemoSession::diverge(const std::string& what) {
    if (m_diverged)
        return;
    m_diverged = true;
    std::fprintf(stderr, "tarvo: the replay diverged at frame %zu of %zu: %s\n", m_frame,
                 m_demo.frames.size(), what.c_str());
}

int DemoSession::finish(bool stoppedByEscape) {
    const Mode mode = m_mode;
    m_mode = OFF;
    if (mode == RECORD) {
        // Events after the last frame (a close request) go into a frame that only holds them.
        if (!m_next.events.empty() || !m_next.seeds.empty()) {
            m_next.clockNs = m_latchedNs;
            m_next.flags = DemoFrame::EVENTS_ONLY;
            writeBytes(EncodeDemoFrame(m_next));
        }
        DemoCheckpoint last;
        if (takeCheckpoint)
            takeCheckpoint(last);
        writeBytes(EncodeDemoEnd(last));
        if (m_file)
            std::fclose(m_file);
        m_file = nullptr;
        return 0;
    }
    if (mode != REPLAY)
        return 0;
    m_mode = REPLAY; // for the report
    int status = m_diverged ? 1 : 0;
    if (!m_diverged && stoppedByEscape) {
        std::fprintf(stderr, "tarvo: the replay was stopped at frame %zu of %zu\n", m_frame,
                     m_demo.frames.size());
        status = 1;
    } else if (!m_diverged && m_frame + 1 < m_demo.frames.size()) {
        std::fprintf(stderr, "tarvo: the game ended at frame %zu of the recording's %zu\n", m_frame,
                     m_demo.frames.size());
        status = 1;
    } else if (!m_diverged && m_demo.ended) {
        compare(m_demo.last, "the last checkpoint");
        status = m_diverged ? 1 : 0;
    } else if (!m_diverged) {
        std::fprintf(stderr, "tarvo: the demo ends without its end record (the recording was "
                             "cut short); every frame it holds matched\n");
    }
    if (!m_diverged && status == 0)
        std::fprintf(stderr, "tarvo: the replay matched the recording (%zu frames)\n",
                     m_demo.frames.size());
    m_mode = OFF;
    return status;
}
