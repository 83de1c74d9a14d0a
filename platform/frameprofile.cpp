#include "platform/frameprofile.h"

#include <GL/gl.h>

namespace frameprofile {
bool g_enabled = false;
int64_t g_gameNs = 0;
thread_local int GameWork::s_depth = 0;

bool g_passesEnabled = false;
int64_t g_passNs[PASS_COUNT] = {};

namespace {
Pass s_current = PASS_OTHER;
std::chrono::steady_clock::time_point s_since;
} // namespace

const char* passName(int pass) {
    static const char* const names[PASS_COUNT] = {"other",
                                                  "terrain",
                                                  "sky",
                                                  "models",
                                                  "outlines",
                                                  "shadow volumes",
                                                  "shadow darkening",
                                                  "particles",
                                                  "gems",
                                                  "water",
                                                  "HUD",
                                                  "game work",
                                                  "swap"};
    return pass >= 0 && pass < PASS_COUNT ? names[pass] : "?";
}

void resetPasses() {
    glFinish();
    for (int64_t& ns : g_passNs)
        ns = 0;
    s_current = PASS_OTHER;
    s_since = std::chrono::steady_clock::now();
}

Pass switchPass(Pass pass, bool finish) {
    const Pass previous = s_current;
    if (pass == previous)
        return previous;
    if (finish)
        glFinish();
    const auto now = std::chrono::steady_clock::now();
    g_passNs[previous] +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - s_since).count();
    s_since = now;
    s_current = pass;
    return previous;
}

} // namespace frameprofile
