#include "platform/win32timer.h"

#include "platform/debugassert.h"
#include "platform/demo.h"


namespace {
std::function<int64_t()> s_tickSource;

int64_t currentTicks() {
    if (s_tickSource)
        return s_tickSource();
    return GameClockNs();
}

uint32_t currentMs() {
    return static_cast<uint32_t>(currentTicks() / 1000000);
}
} // namespace

void Win32Timer::SetTickSourceForTests(std::function<int64_t()> source) {
    s_tickSource = std::move(source);
}

Win32Timer::Win32Timer()
    : m_frequency(1000000000), m_msPerTick(0.0f), m_startMs(0), m_startTicks(0),
      m_usePerformanceCounter(true), m_pauseCount(0), m_pausedElapsed(0.0) {
    // The steady clock always exists; the millisecond fallback is kept for symmetry.
    m_startTicks = currentTicks();
    m_msPerTick = static_cast<float>(1.0 / static_cast<double>(m_frequency) * 1000.0);
}

void Win32Timer::Reset() {
    if (m_usePerformanceCounter)
        m_startTicks = currentTicks();
    else
        m_startMs = currentMs();
    m_pausedElapsed = Elapsed();
}

double Win32Timer::Elapsed() {
    if (m_pauseCount >= 1)
        return m_pausedElapsed;
    if (!m_usePerformanceCounter)
        return static_cast<double>(currentMs() - m_startMs);
    return static_cast<double>(currentTicks() - m_startTicks) * m_msPerTick;
}

void Win32Timer::Pause() {
    if (m_pauseCount == 0)
        m_pausedElapsed = Elapsed();
    ++m_pauseCount;
}

void Win32Timer::Resume() {
    QRV_ASSERT(m_pauseCount > 0);
    if (m_pauseCount <= 0)
        return;
    --m_pauseCount;
    if (m_pauseCount > 0)
        return;
    if (m_usePerformanceCounter)
        m_startTicks = currentTicks() - static_cast<int64_t>(m_pausedElapsed / m_msPerTick);
    else
        m_startMs = currentMs() - static_cast<uint32_t>(m_pausedElapsed);
}
