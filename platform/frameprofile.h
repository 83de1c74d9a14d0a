// Game-work accounting for the play-frame benchmark: the game's own CPU time per frame
// (collision, AI, animation, shadow silhouettes, particles), kept apart from the time
// spent inside the GL driver. A section costs two clock reads when accounting is on and
// one branch when it is off, so the sections stay in the shipped game.
//
// The benchmark's profile mode also splits the frame into its drawing passes. A Pass scope
// charges the time until it ends to its pass; entering and leaving one waits for the GL
// (glFinish), so each pass pays for its own rasterising. Passes nest: the inner one
// pauses the outer one. Game work counts as a pass of its own while passes are timed.
// Off, a Pass scope is one branch.
#pragma once

#include <chrono>
#include <cstdint>

namespace frameprofile {

enum Pass : int {
    PASS_OTHER, // whatever no scope claims: clearing, the camera, light set-up
    PASS_TERRAIN,
    PASS_SKY,
    PASS_MODELS,
    PASS_OUTLINES,
    PASS_SHADOW_VOLUMES,
    PASS_SHADOW_DARKENING,
    PASS_PARTICLES,
    PASS_GEMS,
    PASS_WATER,
    PASS_HUD,
    PASS_GAME_WORK,
    PASS_SWAP,
    PASS_COUNT
};

extern bool g_enabled;
// Nanoseconds of game work since the last reset.
extern int64_t g_gameNs;

// Pass timing; only meaningful with g_enabled on too.
extern bool g_passesEnabled;
// Nanoseconds per pass since the last resetPasses.
extern int64_t g_passNs[PASS_COUNT];
const char* passName(int pass);

inline void reset() {
    g_gameNs = 0;
}

// Starts a frame's pass accounting: every pass at zero, the clock running for PASS_OTHER.
void resetPasses();
// Waits for the GL, charges the time since the last switch to the current pass and makes
// `pass` current. Returns the pass that was current. Game work switches without waiting:
// it issues no drawing, and the software rasteriser works only when the GL is flushed.
Pass switchPass(Pass pass, bool finish = true);

// Charges its scope to one drawing pass while passes are timed.
class PassScope {
public:
    explicit PassScope(Pass pass) {
        if (g_passesEnabled) {
            m_active = true;
            m_previous = switchPass(pass);
        }
    }
    ~PassScope() { end(); }
    // Ends the pass before the scope does.
    void end() {
        if (m_active) {
            m_active = false;
            switchPass(m_previous);
        }
    }
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;

private:
    bool m_active = false;
    Pass m_previous = PASS_OTHER;
};

// Counts the time of its scope as game work; nested sections count once.
class GameWork {
public:
    GameWork() {
        if (g_enabled && s_depth++ == 0) {
            if (g_passesEnabled) {
                m_passed = true;
                m_previous = switchPass(PASS_GAME_WORK, false);
            }
            m_start = std::chrono::steady_clock::now();
        }
    }
    ~GameWork() {
        if (g_enabled && --s_depth == 0) {
            g_gameNs += std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - m_start)
                            .count();
            if (m_passed)
                switchPass(m_previous, false);
        }
    }
    GameWork(const GameWork&) = delete;
    GameWork& operator=(const GameWork&) = delete;

private:
    static thread_local int s_depth;
    std::chrono::steady_clock::time_point m_start;
    bool m_passed = false;
    Pass m_previous = PASS_OTHER;
};

} // namespace frameprofile
