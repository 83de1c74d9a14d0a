#include "platform/qrvinput.h"

#include "shell/gamecontext.h"
#include "shell/window.h"

#include <SDL.h>
#include <cstring>

uint8_t g_keyState[256] = {};
MouseState g_mouseState;
QRVInput g_input;

uint8_t ScancodeToDik(int sc) {
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F10)
        return static_cast<uint8_t>(0x3B + (sc - SDL_SCANCODE_F1));
    switch (sc) {
    case SDL_SCANCODE_ESCAPE:
        return 0x01;
    case SDL_SCANCODE_1:
        return 0x02;
    case SDL_SCANCODE_2:
        return 0x03;
    case SDL_SCANCODE_3:
        return 0x04;
    case SDL_SCANCODE_4:
        return 0x05;
    case SDL_SCANCODE_5:
        return 0x06;
    case SDL_SCANCODE_6:
        return 0x07;
    case SDL_SCANCODE_7:
        return 0x08;
    case SDL_SCANCODE_8:
        return 0x09;
    case SDL_SCANCODE_9:
        return 0x0A;
    case SDL_SCANCODE_0:
        return 0x0B;
    case SDL_SCANCODE_MINUS:
        return 0x0C;
    case SDL_SCANCODE_EQUALS:
        return 0x0D;
    case SDL_SCANCODE_BACKSPACE:
        return 0x0E;
    case SDL_SCANCODE_TAB:
        return 0x0F;
    case SDL_SCANCODE_Q:
        return 0x10;
    case SDL_SCANCODE_W:
        return 0x11;
    case SDL_SCANCODE_E:
        return 0x12;
    case SDL_SCANCODE_R:
        return 0x13;
    case SDL_SCANCODE_T:
        return 0x14;
    case SDL_SCANCODE_Y:
        return 0x15;
    case SDL_SCANCODE_U:
        return 0x16;
    case SDL_SCANCODE_I:
        return 0x17;
    case SDL_SCANCODE_O:
        return 0x18;
    case SDL_SCANCODE_P:
        return 0x19;
    case SDL_SCANCODE_LEFTBRACKET:
        return 0x1A;
    case SDL_SCANCODE_RIGHTBRACKET:
        return 0x1B;
    case SDL_SCANCODE_RETURN:
        return 0x1C;
    case SDL_SCANCODE_LCTRL:
        return 0x1D;
    case SDL_SCANCODE_A:
        return 0x1E;
    case SDL_SCANCODE_S:
        return 0x1F;
    case SDL_SCANCODE_D:
        return 0x20;
    case SDL_SCANCODE_F:
        return 0x21;
    case SDL_SCANCODE_G:
        return 0x22;
    case SDL_SCANCODE_H:
        return 0x23;
    case SDL_SCANCODE_J:
        return 0x24;
    case SDL_SCANCODE_K:
        return 0x25;
    case SDL_SCANCODE_L:
        return 0x26;
    case SDL_SCANCODE_SEMICOLON:
        return 0x27;
    case SDL_SCANCODE_APOSTROPHE:
        return 0x28;
    case SDL_SCANCODE_GRAVE:
        return 0x29;
    case SDL_SCANCODE_LSHIFT:
        return 0x2A;
    case SDL_SCANCODE_BACKSLASH:
        return 0x2B;
    case SDL_SCANCODE_Z:
        return 0x2C;
    case SDL_SCANCODE_X:
        return 0x2D;
    case SDL_SCANCODE_C:
        return 0x2E;
    case SDL_SCANCODE_V:
        return 0x2F;
    case SDL_SCANCODE_B:
        return 0x30;
    case SDL_SCANCODE_N:
        return 0x31;
    case SDL_SCANCODE_M:
        return 0x32;
    case SDL_SCANCODE_COMMA:
        return 0x33;
    case SDL_SCANCODE_PERIOD:
        return 0x34;
    case SDL_SCANCODE_SLASH:
        return 0x35;
    case SDL_SCANCODE_RSHIFT:
        return 0x36;
    case SDL_SCANCODE_KP_MULTIPLY:
        return 0x37;
    case SDL_SCANCODE_LALT:
        return 0x38;
    case SDL_SCANCODE_SPACE:
        return 0x39;
    case SDL_SCANCODE_CAPSLOCK:
        return 0x3A;
    case SDL_SCANCODE_NUMLOCKCLEAR:
        return 0x45;
    case SDL_SCANCODE_SCROLLLOCK:
        return 0x46;
    case SDL_SCANCODE_KP_7:
        return 0x47;
    case SDL_SCANCODE_KP_8:
        return 0x48;
    case SDL_SCANCODE_KP_9:
        return 0x49;
    case SDL_SCANCODE_KP_MINUS:
        return 0x4A;
    case SDL_SCANCODE_KP_4:
        return 0x4B;
    case SDL_SCANCODE_KP_5:
        return 0x4C;
    case SDL_SCANCODE_KP_6:
        return 0x4D;
    case SDL_SCANCODE_KP_PLUS:
        return 0x4E;
    case SDL_SCANCODE_KP_1:
        return 0x4F;
    case SDL_SCANCODE_KP_2:
        return 0x50;
    case SDL_SCANCODE_KP_3:
        return 0x51;
    case SDL_SCANCODE_KP_0:
        return 0x52;
    case SDL_SCANCODE_KP_PERIOD:
        return 0x53;
    case SDL_SCANCODE_NONUSBACKSLASH:
        return 0x56;
    case SDL_SCANCODE_F11:
        return 0x57;
    case SDL_SCANCODE_F12:
        return 0x58;
    case SDL_SCANCODE_KP_ENTER:
        return 0x9C;
    case SDL_SCANCODE_RCTRL:
        return 0x9D;
    case SDL_SCANCODE_KP_DIVIDE:
        return 0xB5;
    case SDL_SCANCODE_PRINTSCREEN:
        return 0xB7;
    case SDL_SCANCODE_RALT:
        return 0xB8;
    case SDL_SCANCODE_PAUSE:
        return 0xC5;
    case SDL_SCANCODE_HOME:
        return 0xC7;
    case SDL_SCANCODE_UP:
        return 0xC8;
    case SDL_SCANCODE_PAGEUP:
        return 0xC9;
    case SDL_SCANCODE_LEFT:
        return 0xCB;
    case SDL_SCANCODE_RIGHT:
        return 0xCD;
    case SDL_SCANCODE_END:
        return 0xCF;
    case SDL_SCANCODE_DOWN:
        return 0xD0;
    case SDL_SCANCODE_PAGEDOWN:
        return 0xD1;
    case SDL_SCANCODE_INSERT:
        return 0xD2;
    case SDL_SCANCODE_DELETE:
        return 0xD3;
    case SDL_SCANCODE_LGUI:
        return 0xDB;
    case SDL_SCANCODE_RGUI:
        return 0xDC;
    case SDL_SCANCODE_APPLICATION:
        return 0xDD;
    default:
        return 0;
    }
}

QRVInput::QRVInput() {
    std::memset(g_keyState, 0, sizeof(g_keyState));
}

bool QRVInput::Init() {
    // SDL's keyboard and mouse always exist once video is up; the window owns them.
    m_keyboard = true;
    m_mouse = true;
    m_pendingDX = m_pendingDY = m_pendingWheel = 0;
    m_lastPollTicks = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_SetRelativeMouseMode(SDL_TRUE);
        // Without pads the game plays on; connected ones arrive as device-added events.
        m_pads.start();
    }
    m_pads.resync();
    return true;
}

void QRVInput::Release() {
    m_keyboard = false;
    m_mouse = false;
    std::memset(m_keys, 0, sizeof(m_keys));
    std::memset(m_buttons, 0, sizeof(m_buttons));
    std::memset(m_tapped, 0, sizeof(m_tapped));
    std::memset(m_clicked, 0, sizeof(m_clicked));
    m_pads.forget();
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_SetRelativeMouseMode(SDL_FALSE);
}

void QRVInput::FeedEvent(const SDL_Event& e) {
    // Back is Escape, which the main loop reads from the window's flag.
    if (m_pads.feedEvent(e))
        g_escapeTapped = true;
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        uint8_t dik = ScancodeToDik(e.key.keysym.scancode);
        if (dik) {
            m_keys[dik] = e.type == SDL_KEYDOWN ? 0x80 : 0;
            // A tap that goes down and up between two polls still counts once.
            if (e.type == SDL_KEYDOWN)
                m_tapped[dik] = 0x80;
        }
        break;
    }
    case SDL_MOUSEMOTION:
        m_pendingDX += e.motion.xrel;
        m_pendingDY += e.motion.yrel;
        break;
    case SDL_MOUSEWHEEL:
        // DirectInput counts 120 per notch.
        m_pendingWheel += e.wheel.y * 120;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int index = -1;
        if (e.button.button == SDL_BUTTON_LEFT)
            index = 0;
        else if (e.button.button == SDL_BUTTON_RIGHT)
            index = 1;
        else if (e.button.button == SDL_BUTTON_MIDDLE)
            index = 2;
        else if (e.button.button == SDL_BUTTON_X1)
            index = 3;
        if (index >= 0) {
            m_buttons[index] = e.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
            if (e.type == SDL_MOUSEBUTTONDOWN)
                m_clicked[index] = 0x80;
        }
        break;
    }
    default:
        break;
    }
}

void QRVInput::Poll() {
    if (!m_keyboard || !m_mouse)
        return;
    const uint64_t now = SDL_GetTicks64();
    const double seconds = m_lastPollTicks ? (now - m_lastPollTicks) * 0.001 : 0.0;
    m_lastPollTicks = now ? now : 1;
    PollAfter(seconds);
}

void QRVInput::PollAfter(double seconds) {
    if (!m_keyboard || !m_mouse)
        return;
    const Gamepad::Output pad = m_pads.poll(g_gameState, seconds);
    for (size_t k = 0; k < sizeof(g_keyState); ++k)
        g_keyState[k] = m_keys[k] | m_tapped[k] | pad.keys[k];
    std::memset(m_tapped, 0, sizeof(m_tapped));
    g_mouseState.lX = m_pendingDX + pad.dx;
    g_mouseState.lY = m_pendingDY + pad.dy;
    g_mouseState.lZ = m_pendingWheel + pad.wheel;
    for (size_t b = 0; b < sizeof(m_buttons); ++b)
        g_mouseState.rgbButtons[b] = m_buttons[b] | m_clicked[b] | pad.buttons[b];
    std::memset(m_clicked, 0, sizeof(m_clicked));
    m_pendingDX = m_pendingDY = m_pendingWheel = 0;

    m_mouseWheel = g_mouseState.lZ;
    m_mouseDX = g_mouseState.lX;
    m_mouseDY = g_mouseState.lY;
    m_cursorX += static_cast<float>(m_mouseDX);
    if (m_cursorX < 0.0f)
        m_cursorX = 0.0f;
    if (m_cursorX > 800.0f)
        m_cursorX = 800.0f;
    m_cursorY -= static_cast<float>(m_mouseDY);
    if (m_cursorY < 0.0f)
        m_cursorY = 0.0f;
    if (m_cursorY > 600.0f)
        m_cursorY = 600.0f;
}
