// The one source of everything the game reads from outside that can change play: the clock
// (every timer, the frame clock, the particles' wall clock, the input's clock), the seeds
// taken from the wall clock, the polled input and the window's events. Without a demo they
// come from the system as they always did. While recording they are written to a demo file
// frame by frame; while replaying they come from one, and the state reached is compared
// with the recorded checkpoints.
//
// While a demo is recorded or replayed the clock is read once per frame, when the frame
// begins, and every reading within the frame gives that value: one number per frame is all
// a demo needs to make every timer run exactly as it did.
#pragma once

#include "platform/demofile.h"

#include <cstdint>
#include <cstdio>
#include <string>

// Nanoseconds since the game started.
int64_t GameClockNs();
// A seed from the wall clock (seconds since 1970 without a demo).
unsigned GameClockSeed();

class DemoSession {
public:
    enum Mode { OFF, RECORD, REPLAY };

    ~DemoSession();
    Mode mode() const { return m_mode; }

    // Opens FILE and writes the header; false with a line in `error` when it cannot.
    bool startRecording(const std::string& path, const DemoHeader& header, std::string& error);
    // Plays `demo` back from here on: its start-up frame feeds the window's creation.
    void startReplay(Demo demo);
    // The start-up is done (the window is up): the main loop begins.
    void startLoop();

    // Recording: a window event the game handled before the next frame.
    void noteEvent(const DemoEvent& event);
    // Recording: a frame begins (the clock is read here) with the Escape state it reads.
    void beginRecordedFrame(bool escape, bool active);
    // Replaying: the next frame, or null at the end of the recording (or after a divergence).
    // Its events are the caller's to apply; then beginReplayedFrame latches its clock.
    const DemoFrame* nextReplayedFrame();
    void beginReplayedFrame();
    // Both: the frame is over. Records or compares a checkpoint when one is due.
    void endFrame();
    // Recording: the input a poll gave. Replaying: gives the recorded poll; false (and a
    // divergence) when the recording has none for this frame.
    void recordInput(const DemoInput& input);
    bool replayInput(DemoInput& input);

    // The end of the game: writes the last checkpoint and closes the file (recording), or
    // compares it (replaying). Returns the replay's exit status: 0 when every checkpoint
    // matched and every frame was played, 1 otherwise; 0 when recording.
    int finish(bool stoppedByEscape);

    bool diverged() const { return m_diverged; }
    // The replayed demo's start-up frame; frame numbers count from it.
    const DemoFrame& firstFrame() const { return m_demo.frames[0]; }
    unsigned clockSeed();
    int64_t clockNs();

    // Fills a checkpoint from the game's objects; set by the game's shell.
    void (*takeCheckpoint)(DemoCheckpoint&) = nullptr;

private:
    void diverge(const std::string& what);
    void compare(const DemoCheckpoint& recorded, const char* where);
    bool writeBytes(const std::vector<uint8_t>& bytes);
    int64_t steadyNs() const;

    Mode m_mode = OFF;
    std::FILE* m_file = nullptr;
    int64_t m_latchedNs = 0;
    DemoFrame m_next;
    bool m_inFrame = false;
    bool m_diverged = false;
    int64_t m_lastCheckpointNs = 0;
    int32_t m_lastCheckpointState = -1;
    // Replaying.
    Demo m_demo;
    size_t m_frame = 0;
    size_t m_seedAt = 0;
    int m_checkpoints = 0; // compared so far
    bool m_inputTaken = false;
};

extern DemoSession g_demo;
