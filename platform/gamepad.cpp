#include "platform/gamepad.h"

#include "platform/gamestate.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>

namespace {

// DirectInput key codes the pads press.
constexpr uint8_t KEY_W = 0x11, KEY_T = 0x14, KEY_P = 0x19, KEY_ENTER = 0x1C, KEY_A = 0x1E;
constexpr uint8_t KEY_S = 0x1F, KEY_D = 0x20, KEY_LSHIFT = 0x2A, KEY_SPACE = 0x39;
constexpr uint8_t KEY_M = 0x32, KEY_UP = 0xC8, KEY_DOWN = 0xD0;

constexpr int32_t NOTCH = 120; // one wheel notch, DirectInput's count

constexpr uint32_t bit(int button) {
    return 1u << button;
}
// Not a button: the right trigger pulled since the last poll.
constexpr uint32_t TRIGGER_PULL = 1u << 31;
static_assert(SDL_CONTROLLER_BUTTON_MAX < 31, "buttons and the trigger pull share one word");

double unit(int16_t v) {
    const double u = v / 32767.0;
    return u < -1.0 ? -1.0 : (u > 1.0 ? 1.0 : u);
}

// A stick's deflection past the dead zone, rescaled to 0..1 and squared so that small
// deflections give fine control, in the stick's own direction.
void shape(int16_t ax, int16_t ay, double& x, double& y) {
    const double ux = unit(ax), uy = unit(ay);
    const double mag = std::sqrt(ux * ux + uy * uy);
    x = y = 0.0;
    if (mag <= Gamepad::DEAD_ZONE)
        return;
    double s = ((mag < 1.0 ? mag : 1.0) - Gamepad::DEAD_ZONE) / (1.0 - Gamepad::DEAD_ZONE);
    s *= s;
    x = ux / mag * s;
    y = uy / mag * s;
}

bool triggerHeld(bool was, int16_t v) {
    return was ? unit(v) > Gamepad::TRIGGER_OFF : unit(v) > Gamepad::TRIGGER_ON;
}

} // namespace

bool Gamepad::start() {
    if (m_started)
        return true;
    if (m_failed)
        return false;
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "No gamepads: %s\n", SDL_GetError());
        m_failed = true;
        return false;
    }
    m_started = true;
    return true;
}

Gamepad::Pad* Gamepad::find(int32_t id) {
    for (Pad& p : m_pads)
        if (p.used && p.id == id)
            return &p;
    return nullptr;
}

Gamepad::Pad* Gamepad::attach(int32_t id) {
    if (Pad* p = find(id))
        return p;
    for (Pad& p : m_pads)
        if (!p.used) {
            p = Pad();
            p.used = true;
            p.id = id;
            return &p;
        }
    return nullptr;
}

void Gamepad::detach(int32_t id) {
    if (Pad* p = find(id)) {
        if (p->controller)
            SDL_GameControllerClose(p->controller);
        *p = Pad(); // everything it held is let go
    }
}

void Gamepad::attachRaw(int32_t id) {
    attach(id);
}

void Gamepad::detachRaw(int32_t id) {
    detach(id);
}

int Gamepad::padCount() const {
    int n = 0;
    for (const Pad& p : m_pads)
        n += p.used ? 1 : 0;
    return n;
}

bool Gamepad::feedEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED: {
        SDL_GameController* c = SDL_GameControllerOpen(e.cdevice.which);
        if (!c) {
            std::fprintf(stderr, "A gamepad could not be opened: %s\n", SDL_GetError());
            return false;
        }
        const int32_t id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c));
        Pad* known = find(id);
        Pad* p = known ? nullptr : attach(id);
        if (!p) {
            // Already ours (SDL counts opens), or no room for another.
            SDL_GameControllerClose(c);
            return false;
        }
        p->controller = c;
        return false;
    }
    case SDL_CONTROLLERDEVICEREMOVED:
        detach(e.cdevice.which);
        return false;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        Pad* p = find(e.cbutton.which);
        const int b = e.cbutton.button;
        if (!p || b < 0 || b >= SDL_CONTROLLER_BUTTON_MAX)
            return false;
        if (e.type == SDL_CONTROLLERBUTTONUP) {
            p->held &= ~bit(b);
            return false;
        }
        p->held |= bit(b);
        p->pressed |= bit(b);
        if (b == SDL_CONTROLLER_BUTTON_LEFTSHOULDER || b == SDL_CONTROLLER_BUTTON_DPAD_RIGHT)
            m_pendingWheel -= NOTCH; // the next gun, as the wheel turned towards the player
        else if (b == SDL_CONTROLLER_BUTTON_DPAD_LEFT)
            m_pendingWheel += NOTCH;
        return b == SDL_CONTROLLER_BUTTON_BACK;
    }
    case SDL_CONTROLLERAXISMOTION: {
        Pad* p = find(e.caxis.which);
        const int a = e.caxis.axis;
        if (!p || a < 0 || a >= 6)
            return false;
        p->axes[a] = e.caxis.value;
        if (a == SDL_CONTROLLER_AXIS_TRIGGERRIGHT) {
            const bool held = triggerHeld(p->trigger, e.caxis.value);
            // A pull let go again before the poll still fires once.
            if (held && !p->trigger)
                p->pressed |= TRIGGER_PULL;
            p->trigger = held;
        }
        return false;
    }
    default:
        return false;
    }
}

Gamepad::Output Gamepad::poll(int32_t state, double seconds) {
    Output out;
    if (!(seconds > 0.0))
        seconds = 0.0;
    if (seconds > MAX_STEP)
        seconds = MAX_STEP;
    const bool title = state == STATE_TITLE;
    // The unused state 2 plays as play does.
    const bool play = state == STATE_PLAY || state == STATE_NONE;
    double mx = 0.0, my = 0.0;
    bool moving = false;
    for (Pad& p : m_pads) {
        if (!p.used)
            continue;
        const uint32_t down = p.held | p.pressed;
        auto press = [&](int button, uint8_t key) {
            if (down & bit(button))
                out.keys[key] = 0x80;
        };
        press(SDL_CONTROLLER_BUTTON_B, KEY_LSHIFT);
        press(SDL_CONTROLLER_BUTTON_X, KEY_T);
        press(SDL_CONTROLLER_BUTTON_START, KEY_P);
        press(SDL_CONTROLLER_BUTTON_Y, KEY_M);
        press(SDL_CONTROLLER_BUTTON_DPAD_UP, KEY_UP);
        press(SDL_CONTROLLER_BUTTON_DPAD_DOWN, KEY_DOWN);
        if (down & bit(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER))
            out.buttons[1] = 0x80;
        if (p.trigger || (p.pressed & TRIGGER_PULL))
            out.buttons[0] = 0x80;

        const uint32_t south = bit(SDL_CONTROLLER_BUTTON_A);
        if (p.pressed & south) {
            p.southState = state;
            p.southLive = true;
        } else if (!(p.held & south)) {
            p.southLive = false;
        }
        if (p.southLive && p.southState != state)
            p.southLive = false; // the state changed under the press: it has done its work
        if (p.southLive) {
            if (title)
                out.buttons[0] = 0x80;
            else if (play)
                out.keys[KEY_SPACE] = 0x80;
            else
                out.keys[KEY_ENTER] = 0x80;
        }
        p.pressed = 0;

        const double lx = unit(p.axes[SDL_CONTROLLER_AXIS_LEFTX]);
        const double ly = unit(p.axes[SDL_CONTROLLER_AXIS_LEFTY]);
        if (lx < -WALK_THRESHOLD)
            out.keys[KEY_A] = 0x80;
        if (lx > WALK_THRESHOLD)
            out.keys[KEY_D] = 0x80;
        if (ly < -WALK_THRESHOLD)
            out.keys[KEY_W] = 0x80; // up is negative, as the mouse's away
        if (ly > WALK_THRESHOLD)
            out.keys[KEY_S] = 0x80;

        double x = 0.0, y = 0.0;
        shape(p.axes[SDL_CONTROLLER_AXIS_RIGHTX], p.axes[SDL_CONTROLLER_AXIS_RIGHTY], x, y);
        mx += x * TURN_RATE * seconds;
        my += y * PITCH_RATE * seconds;
        moving = moving || x != 0.0 || y != 0.0;
        if (title) {
            shape(p.axes[SDL_CONTROLLER_AXIS_LEFTX], p.axes[SDL_CONTROLLER_AXIS_LEFTY], x, y);
            mx += x * CURSOR_RATE * seconds;
            my += y * CURSOR_RATE * seconds;
            moving = moving || x != 0.0 || y != 0.0;
        }
    }
    if (!moving) {
        m_restX = m_restY = 0.0; // a let-go stick leaves no stray count behind
    } else {
        m_restX += mx;
        m_restY += my;
        out.dx = static_cast<int32_t>(m_restX);
        out.dy = static_cast<int32_t>(m_restY);
        m_restX -= out.dx;
        m_restY -= out.dy;
    }
    out.wheel = m_pendingWheel;
    m_pendingWheel = 0;
    return out;
}

void Gamepad::forget() {
    for (Pad& p : m_pads)
        p.pressed = 0;
    m_pendingWheel = 0;
    m_restX = m_restY = 0.0;
}

void Gamepad::resync() {
    for (Pad& p : m_pads) {
        if (!p.used || !p.controller)
            continue;
        p.held = 0;
        for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
            if (SDL_GameControllerGetButton(p.controller, SDL_GameControllerButton(b)))
                p.held |= bit(b);
        for (int a = 0; a < 6; ++a)
            p.axes[a] = SDL_GameControllerGetAxis(p.controller, SDL_GameControllerAxis(a));
        p.trigger = triggerHeld(false, p.axes[SDL_CONTROLLER_AXIS_TRIGGERRIGHT]);
    }
}
