// Clocks the test sets by hand, for objects that measure their frames with a Timer.
#pragma once

#include "platform/timer.h"

// A stopwatch: Elapsed is whatever the test wrote since the last Reset.
class HandTimer : public Timer {
public:
    void Reset() override { m_elapsed = 0.0; }
    double Elapsed() override { return m_elapsed; }
    void Pause() override {}
    void Resume() override {}
    double m_elapsed = 0.0;
};

// A clock whose every frame lasts the same: Reset keeps the value, so each measurement reads
// `m_elapsed` however often the object restarts its clock.
class SteadyTimer : public HandTimer {
public:
    void Reset() override {}
};
