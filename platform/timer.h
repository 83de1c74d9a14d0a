// Timer: a millisecond stopwatch. Every live timer is in one process-wide list, so
// PauseAllTimers/ResumeAllTimers reach all of them (nested pauses count). Main
// thread only; nothing is locked.
#pragma once

class Timer {
public:
    Timer();
    virtual ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    virtual void Reset() = 0;
    virtual double Elapsed() = 0; // ms since the last reset, paused time not counted
    virtual void Pause() = 0;
    virtual void Resume() = 0;
};

struct TimerLink {
    Timer* timer;
    TimerLink* next;
};

// Head of the list of live timers (tests walk it).
extern TimerLink* s_timerList;

Timer* CreateTimer();
void PauseAllTimers();
void ResumeAllTimers();
