// Game-work accounting for the play-frame benchmark: the game's own CPU time per frame
// (collision, AI, animation, shadow silhouettes, particles), kept apart from the time
// spent inside the GL driver. A section costs two clock reads when accounting is on and
// one branch when it is off, so the sections stay in the shipped game.
#pragma once

#include <chrono>
#include <cstdint>

namespace frameprofile {

extern bool g_enabled;
// Nanoseconds of game work since the last reset.
extern int64_t g_gameNs;

inline void reset() {
    g_gameNs = 0;
}

// Counts the time of its scope as game work; nested sections count once.
class GameWork {
public:
    GameWork() {
        if (g_enabled && s_depth++ == 0)
            m_start = std::chrono::steady_clock::now();
    }
    ~GameWork() {
        if (g_enabled && --s_depth == 0)
            g_gameNs += std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - m_start)
                            .count();
    }
    GameWork(const GameWork&) = delete;
    GameWork& operator=(const GameWork&) = delete;

private:
    static thread_local int s_depth;
    std::chrono::steady_clock::time_point m_start;
};

} // namespace frameprofile
