// FrameRate: counts play frames and turns them into frames per second about once a
// second, on its own stopwatch (paused and reset at creation, resumed by level start-up).
#pragma once

#include <cstdint>
#include <memory>

class Timer;

class FrameRate {
public:
    FrameRate();
    virtual ~FrameRate();
    void countFrame();
    float framesPerSecond() const { return m_fps; }
    Timer& timer() { return *m_timer; }

private:
    int32_t m_frames = 0;
    float m_fps = 0.0f;
    std::unique_ptr<Timer> m_timer;
};

// The play frame's rate counter (shell/gamecontext.cpp); null outside a level.
extern FrameRate* g_frameRate;
