#include "platform/timer.h"

#include "platform/debugassert.h"
#include "platform/win32timer.h"

#include <new>

TimerLink* s_timerList = nullptr;

Timer::Timer() {
    s_timerList = new TimerLink{this, s_timerList};
}

Timer::~Timer() {
    TimerLink* pLink = s_timerList;
    TimerLink* prev = nullptr;
    while (pLink && pLink->timer != this) {
        prev = pLink;
        pLink = pLink->next;
    }
    QRV_ASSERT(pLink != NULL);
    if (!pLink)
        return;
    if (prev)
        prev->next = pLink->next;
    else
        s_timerList = pLink->next;
    delete pLink;
}

Timer* CreateTimer() {
    return new (std::nothrow) Win32Timer();
}

void PauseAllTimers() {
    for (TimerLink* l = s_timerList; l; l = l->next)
        l->timer->Pause();
}

void ResumeAllTimers() {
    for (TimerLink* l = s_timerList; l; l = l->next)
        l->timer->Resume();
}
