#include "platform/qrvinput.h"

#include "platform/demo.h"
#include "platform/gamestate.h"

#include <SDL.h>
#include <cstring>

uint8_t g_keyState[256] = {};
MouseState g_mouseState;
QRVInput g_input;

namespace {
// The DirectInput code of each key the game knows, in DirectInput order (the rows of a
// PC keyboard); every other scancode has none.
struct KeyCode {
    SDL_Scancode scancode;
    uint8_t dik;
};
constexpr KeyCode KEY_CODES[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},
    {SDL_SCANCODE_1, 0x02},
    {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05},
    {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},
    {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},
    {SDL_SCANCODE_0, 0x0B},
    {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},
    {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10},
    {SDL_SCANCODE_W, 0x11},
    {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},
    {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},
    {SDL_SCANCODE_I, 0x17},
    {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C},
    {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},
    {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},
    {SDL_SCANCODE_H, 0x23},
    {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},
    {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29},
    {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},
    {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_C, 0x2E},
    {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30},
    {SDL_SCANCODE_N, 0x31},
    {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39},
    {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C},
    {SDL_SCANCODE_F3, 0x3D},
    {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},
    {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
    {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E},
    {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57},
    {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_KP_ENTER, 0x9C},
    {SDL_SCANCODE_RCTRL, 0x9D},
    {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7},
    {SDL_SCANCODE_RALT, 0xB8},
    {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_HOME, 0xC7},
    {SDL_SCANCODE_UP, 0xC8},
    {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_LEFT, 0xCB},
    {SDL_SCANCODE_RIGHT, 0xCD},
    {SDL_SCANCODE_END, 0xCF},
    {SDL_SCANCODE_DOWN, 0xD0},
    {SDL_SCANCODE_PAGEDOWN, 0xD1},
    {SDL_SCANCODE_INSERT, 0xD2},
    {SDL_SCANCODE_DELETE, 0xD3},
    {SDL_SCANCODE_LGUI, 0xDB},
    {SDL_SCANCODE_RGUI, 0xDC},
    {SDL_SCANCODE_APPLICATION, 0xDD},
};

// The same, indexed by scancode (0: no code), built once.
struct ScancodeTable {
    uint8_t dik[SDL_NUM_SCANCODES] = {};
    constexpr ScancodeTable() {
        for (const KeyCode& key : KEY_CODES)
            dik[key.scancode] = key.dik;
    }
};
constexpr ScancodeTable SCANCODE_TABLE;
} // namespace

uint8_t ScancodeToDik(int sc) {
    if (sc < 0 || sc >= SDL_NUM_SCANCODES)
        return 0;
    return SCANCODE_TABLE.dik[sc];
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
    const uint64_t now = uint64_t(GameClockNs() / 1000000);
    const double seconds = m_lastPollTicks ? (now - m_lastPollTicks) * 0.001 : 0.0;
    m_lastPollTicks = now ? now : 1;
    if (g_demo.mode() == DemoSession::REPLAY) {
        // Live input plays no part: the poll gives what the recording's poll gave.
        DemoInput input;
        if (!g_demo.replayInput(input))
            return;
        std::memset(g_keyState, 0, sizeof(g_keyState));
        for (const auto& key : input.keys)
            g_keyState[key.first] = key.second;
        g_mouseState.lX = input.dx;
        g_mouseState.lY = input.dy;
        g_mouseState.lZ = input.wheel;
        std::memcpy(g_mouseState.rgbButtons, input.buttons, sizeof(input.buttons));
        moveCursor();
        return;
    }
    PollAfter(seconds);
    if (g_demo.mode() == DemoSession::RECORD) {
        DemoInput input;
        for (size_t k = 0; k < sizeof(g_keyState); ++k)
            if (g_keyState[k])
                input.keys.emplace_back(uint8_t(k), g_keyState[k]);
        input.dx = g_mouseState.lX;
        input.dy = g_mouseState.lY;
        input.wheel = g_mouseState.lZ;
        std::memcpy(input.buttons, g_mouseState.rgbButtons, sizeof(input.buttons));
        g_demo.recordInput(input);
    }
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
    moveCursor();
}

void QRVInput::moveCursor() {
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
