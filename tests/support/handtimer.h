// A stopwatch the test sets by hand: Elapsed is whatever the test wrote since the last Reset.
#pragma once

#include "platform/timer.h"

class HandTimer : public Timer {
public:
    void Reset() override { m_elapsed = 0.0; }
    double Elapsed() override { return m_elapsed; }
    void Pause() override {}
    void Resume() override {}
    double m_elapsed = 0.0;
};
