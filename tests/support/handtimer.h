// Clocks the test sets by hand, for objects that measure their frames with a Timer.
#pragma once

#include "platform/timer.h"

#include <memory>

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

// Puts a stopwatch into `slot` (an object's clock) and returns it for the test to set.
inline HandTimer* useHandTimer(std::unique_ptr<Timer>& slot) {
    auto timer = std::make_unique<HandTimer>();
    HandTimer* raw = timer.get();
    slot = std::move(timer);
    return raw;
}

// Puts a clock on which every frame lasts `stepMs` into `slot` and returns it.
inline SteadyTimer* useSteadyTimer(std::unique_ptr<Timer>& slot, double stepMs) {
    auto timer = std::make_unique<SteadyTimer>();
    timer->m_elapsed = stepMs;
    SteadyTimer* raw = timer.get();
    slot = std::move(timer);
    return raw;
}
