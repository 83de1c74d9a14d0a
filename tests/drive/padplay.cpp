// tarvo-padplay: plays the real game with a gamepad alone, through SDL's own controller
// interface (what each button and stick does is checked on hand-made events in
// tests/unit/gamepad_test.cpp): a virtual pad (SDL's virtual joystick with the game
// controller layout) is plugged in once the window is up, skips the intro with the south
// button, steers the title's glowing ball onto "Play Game" with the left stick and clicks
// it, then walks, is pulled out while walking (the hero must stop) and plugged in again,
// and walks once more.
//
//   tarvo-padplay [ARTIFACT_DIR] [LIMIT_SECONDS]
// Run it in the game's working directory. Exit status 0 when every step did what it should.
#include "tests/drive/gamedriver.h"

#include "objects/player.h"
#include "platform/gamestate.h"
#include "platform/qrvinput.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

enum Stage { PLUG, INTRO, TITLE, SETTLE, WALK, PULL, REPLUG, DONE };

struct Pilot {
    Stage stage = PLUG;
    double since = 0.0; // when the stage began
    SDL_Joystick* pad = nullptr;
    int index = -1;
    int failures = 0;
    Vector mark;
    int pressedButton = -1; // released at releaseAt, as a player's short press
    double releaseAt = 0.0;
    bool flag = false;
    bool told = false;
};

void check(Pilot& p, bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok)
        ++p.failures;
}

void next(Pilot& p, GameDriver& d, Stage s) {
    p.stage = s;
    p.since = d.seconds();
    p.flag = false;
}

int16_t deflection(double u) {
    return int16_t(std::clamp(u, -1.0, 1.0) * 32767.0);
}

void stick(Pilot& p, int xAxis, double x, double y) {
    SDL_JoystickSetVirtualAxis(p.pad, xAxis, deflection(x));
    SDL_JoystickSetVirtualAxis(p.pad, xAxis + 1, deflection(y));
}

void tap(Pilot& p, GameDriver& d, int button) {
    SDL_JoystickSetVirtualButton(p.pad, button, 1);
    p.pressedButton = button;
    p.releaseAt = d.seconds() + 0.15;
}

bool plugIn(Pilot& p) {
    p.index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                        SDL_CONTROLLER_BUTTON_MAX, 0);
    p.pad = p.index >= 0 ? SDL_JoystickOpen(p.index) : nullptr;
    if (p.pad) // a virtual trigger's axis runs over the whole range: its bottom is at rest
        SDL_JoystickSetVirtualAxis(p.pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    return p.pad != nullptr;
}

void pullOut(Pilot& p) {
    if (p.pad)
        SDL_JoystickClose(p.pad);
    if (p.index >= 0)
        SDL_JoystickDetachVirtual(p.index);
    p.pad = nullptr;
    p.index = -1;
}

float flatDistance(const Vector& a, const Vector& b) {
    return std::hypot(a.x - b.x, a.z - b.z);
}

bool step(GameDriver& d, Pilot& p) {
    const double now = d.seconds();
    const double in = now - p.since;
    if (p.pressedButton >= 0 && p.pad && now >= p.releaseAt) {
        SDL_JoystickSetVirtualButton(p.pad, p.pressedButton, 0);
        p.pressedButton = -1;
    }
    const bool pressing = p.pressedButton >= 0;
    switch (p.stage) {
    case PLUG:
        check(p, plugIn(p), "a virtual pad is plugged in while the game runs");
        next(p, d, INTRO);
        break;
    case INTRO:
        if (g_gameState == STATE_TITLE) {
            check(p, true, "the south button skipped the intro");
            next(p, d, TITLE);
        } else if (in > 3.0 && in < 3.1) {
            d.screenshot("pad-intro");
        } else if (in > 3.5 && !pressing) {
            check(p, g_input.gamepads().padCount() == 1, "the game took the pad up");
            tap(p, d, SDL_CONTROLLER_BUTTON_A);
            p.since = now - 2.0; // again in a second and a half if need be
        }
        break;
    case TITLE: {
        if (g_gameState == STATE_PLAY) {
            check(p, true, "the south button clicked \"Play Game\"");
            next(p, d, SETTLE);
            break;
        }
        if (in < 1.5 || p.flag || pressing)
            break;
        // Onto the middle of "Play Game" (x 440 to 800, y 140 to 220 from the bottom).
        const double dx = 620.0 - g_input.m_cursorX, dy = 180.0 - g_input.m_cursorY;
        const double sx = std::fabs(dx) > 12.0 ? (dx > 0 ? 0.7 : -0.7) : 0.0;
        const double sy = std::fabs(dy) > 12.0 ? (dy > 0 ? -0.7 : 0.7) : 0.0; // up is -y
        stick(p, SDL_CONTROLLER_AXIS_LEFTX, sx, sy);
        if (sx == 0.0 && sy == 0.0) {
            d.screenshot("pad-title");
            p.flag = true;
            std::printf("the ball is at (%.0f, %.0f)\n", g_input.m_cursorX, g_input.m_cursorY);
            tap(p, d, SDL_CONTROLLER_BUTTON_A);
        }
        if (in > 15.0) {
            check(p, false, "the left stick brought the ball onto \"Play Game\"");
            return false;
        }
        break;
    }
    case SETTLE:
        if (in > 3.0 && g_hero) {
            p.mark = g_hero->getPosition();
            next(p, d, WALK);
        }
        break;
    case WALK:
        stick(p, SDL_CONTROLLER_AXIS_LEFTX, 0.0, -1.0);
        if (in > 2.0) {
            stick(p, SDL_CONTROLLER_AXIS_LEFTX, 0.0, 0.0);
            const float walked = flatDistance(g_hero->getPosition(), p.mark);
            std::printf("two seconds on the left stick: the hero walked %.1f\n", walked);
            check(p, walked > 30.0f, "the left stick walks");
            d.screenshot("pad-walked");
            next(p, d, PULL);
        }
        break;
    case PULL:
        // Walking back, then the pad is pulled out under the held stick.
        stick(p, SDL_CONTROLLER_AXIS_LEFTX, 0.0, 1.0);
        if (in > 1.0 && !p.flag) {
            pullOut(p);
            p.flag = true;
            p.since = now;
        } else if (p.flag && in > 0.3 && !p.told) {
            p.told = true;
            check(p, g_hero->m_forwardInput == 0.0f && g_hero->m_sideInput == 0.0f,
                  "a pulled pad lets go of the stick: the hero is told to stop");
        } else if (p.flag && in > 0.3) {
            // The hero slows down frame by frame and then stands.
            const bool resting = g_hero->m_velocity.x == 0.0f && g_hero->m_velocity.z == 0.0f;
            if (!resting && in < 10.0)
                break;
            std::printf("%.1f seconds after the pad was pulled out the hero %s\n", in,
                        resting ? "stands" : "still moves");
            check(p, resting, "the hero comes to rest");
            check(p, g_input.gamepads().padCount() == 0, "the game let the pulled pad go");
            check(p, plugIn(p), "the pad is plugged in again");
            next(p, d, REPLUG);
        }
        break;
    case REPLUG:
        if (in > 0.5 && !p.flag) {
            p.mark = g_hero->getPosition();
            p.flag = true;
        }
        if (p.flag)
            stick(p, SDL_CONTROLLER_AXIS_LEFTX, -1.0, 0.0);
        if (in > 1.5) {
            stick(p, SDL_CONTROLLER_AXIS_LEFTX, 0.0, 0.0);
            const float walked = flatDistance(g_hero->getPosition(), p.mark);
            std::printf("a second on the left stick of the pad plugged in again: walked %.1f\n",
                        walked);
            check(p, walked > 10.0f, "plugged in again, the pad plays again");
            next(p, d, DONE);
        }
        break;
    case DONE:
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::string artifacts = argc > 1 ? argv[1] : ".";
    const double limit = argc > 2 ? std::atof(argv[2]) : 180.0;
    // No window manager hands out focus under Xvfb, and SDL drops pad presses for a
    // window without it.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::printf("no game controller interface: %s\n", SDL_GetError());
        return 1;
    }
    Pilot pilot;
    GameDriver driver(artifacts);
    const int code = driver.run([&](GameDriver& d) { return step(d, pilot); }, limit);
    const bool finished = pilot.stage == DONE;
    if (code == 124)
        std::printf("time limit of %.0f s reached\n", limit);
    std::printf("pad play after %.0f s: %d failed, %s\n", driver.seconds(), pilot.failures,
                finished ? "all the way through" : "did not get through");
    return finished && pilot.failures == 0 ? 0 : 1;
}
