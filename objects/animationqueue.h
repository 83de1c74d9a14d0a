// AnimationQueue: a bounded FIFO of animation requests (pose id, blend time) that a
// model object plays one after the other through its model's pose blending.
// push, frontId, backId, count and clear are O(1) or O(n) on a list of at most a
// handful of entries; advance does one blend step on the model each call.
// The queue does not check that an id exists in the model; the model refuses
// ids outside its pose table.
#pragma once

#include <cstdint>
#include <memory>

class SkinnedModel;

// Keep playing the current animation: queued to hold a pose.
constexpr int32_t ANIMATION_HOLD = -9;

class AnimationQueue {
public:
    explicit AnimationQueue(int32_t capacity = 7);
    ~AnimationQueue();
    AnimationQueue(const AnimationQueue&) = delete;
    AnimationQueue& operator=(const AnimationQueue&) = delete;

    // Appends a request; refused (false, queue unchanged) when full.
    bool push(int32_t id, double durationMs);
    int32_t frontId() const; // 0 when empty
    int32_t backId() const;  // 0 when empty
    double frontDuration() const;
    int32_t count() const { return m_count; }
    int32_t capacity() const { return m_capacity; }
    bool isEmpty() const { return m_count == 0; }
    // Keeps only the entry being played.
    void clearAllButFirst();
    void clear();

    // The per-frame step. Returns the id of the request the model has just finished
    // (the caller's new current animation), -9 when a hold ran out, or -1 while the
    // model is still blending. An empty queue blends to REST_POSE over 200 ms.
    int32_t advance(SkinnedModel& model);

    // While positive, advance holds the current pose this long instead of playing.
    double m_holdTime = 0.0;

private:
    struct Entry {
        int32_t m_id;
        double m_duration;
        std::unique_ptr<Entry> m_next;
    };
    void popFront();

    int32_t m_capacity;
    int32_t m_count = 0;
    std::unique_ptr<Entry> m_head;
    Entry* m_tail = nullptr;
};
