// Win32Timer: the one concrete stopwatch, on the monotonic high-resolution clock
// (the "performance counter"), with a millisecond-clock fallback. Tests may install
// a fake clock to step time without waiting.
#pragma once

#include "platform/timer.h"

#include <cstdint>
#include <functional>

class Win32Timer : public Timer {
public:
    Win32Timer();
    ~Win32Timer() override = default;

    void Reset() override;
    double Elapsed() override;
    void Pause() override;
    void Resume() override;

    // Replaces the tick source of every timer (ticks in nanoseconds); empty restores the clock.
    static void SetTickSourceForTests(std::function<int64_t()> source);

private:
    int64_t m_frequency;
    float m_msPerTick;
    uint32_t m_startMs;
    int64_t m_startTicks;
    bool m_usePerformanceCounter;
    int32_t m_pauseCount;
    double m_pausedElapsed;
};
