#include "objects/animationqueue.h"

#include "models/skinnedmodel.h"
#include "objects/poses.h"

AnimationQueue::AnimationQueue(int32_t capacity) : m_capacity(capacity) {}

AnimationQueue::~AnimationQueue() {
    clear();
}

bool AnimationQueue::push(int32_t id, double durationMs) {
    if (m_count >= m_capacity)
        return false;
    auto entry = std::make_unique<Entry>();
    entry->m_id = id;
    entry->m_duration = durationMs;
    Entry* raw = entry.get();
    if (m_tail)
        m_tail->m_next = std::move(entry);
    else
        m_head = std::move(entry);
    m_tail = raw;
    ++m_count;
    return true;
}

int32_t AnimationQueue::frontId() const {
    return m_head ? m_head->m_id : 0;
}

int32_t AnimationQueue::backId() const {
    return m_tail ? m_tail->m_id : 0;
}

double AnimationQueue::frontDuration() const {
    return m_head ? m_head->m_duration : 0.0;
}

void AnimationQueue::popFront() {
    if (!m_head)
        return;
    std::unique_ptr<Entry> next = std::move(m_head->m_next);
    m_head = std::move(next);
    if (!m_head)
        m_tail = nullptr;
    --m_count;
}

void AnimationQueue::clearAllButFirst() {
    if (!m_head)
        return;
    m_head->m_next.reset();
    m_tail = m_head.get();
    m_count = 1;
}

void AnimationQueue::clear() {
    // Iteratively, so that a long list cannot recurse deeply in the destructors.
    while (m_head)
        popFront();
    m_count = 0;
}

int32_t AnimationQueue::advance(SkinnedModel& model) {
    bool taken;
    if (m_holdTime <= 0.0) {
        if (isEmpty()) {
            model.blendToPose(REST_POSE, 200.0);
            return 0;
        }
        taken = model.blendToPose(m_head->m_id, m_head->m_duration);
    } else {
        taken = model.blendToPose(POSE_WAIT, m_holdTime);
    }
    if (!taken)
        return -1;
    if (m_holdTime <= 0.0) {
        int32_t id = m_head->m_id;
        popFront();
        return id;
    }
    m_holdTime = 0.0;
    return POSE_WAIT;
}
