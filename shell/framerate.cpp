#include "shell/framerate.h"

#include "platform/timer.h"

FrameRate::FrameRate() : m_timer(CreateTimer()) {
    m_timer->Pause();
    m_timer->Reset();
}

FrameRate::~FrameRate() = default;

void FrameRate::countFrame() {
    m_frames += 1;
    const double elapsed = m_timer->Elapsed();
    if (elapsed / 1000.0 >= 1.0) {
        m_fps = static_cast<float>(m_frames / (elapsed / 1000.0));
        m_timer->Reset();
        m_frames = 0;
    }
}
