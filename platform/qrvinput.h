// QRVInput: keyboard and mouse for the frame commands. The keyboard is read as a
// 256-byte state in the DirectInput layout (index = DirectInput key code, bit 0x80
// down); the mouse as relative motion, wheel and four buttons summed over the
// events since the last poll. Polling is cheap (a table walk of 256 entries).
// Without devices (after Release or a failed Init) Poll touches nothing. Gamepads
// (see Gamepad) add their keys, buttons and motion to the same poll.
#pragma once

#include "platform/gamepad.h"

#include <cstdint>

union SDL_Event;

struct MouseState {
    int32_t lX = 0, lY = 0, lZ = 0;
    uint8_t rgbButtons[4] = {0, 0, 0, 0};
};

extern uint8_t g_keyState[256];
extern MouseState g_mouseState;
// Set by an Escape press (the window) or a pad's Back (here), cleared by the main loop
// once it has looked: a quick tap counts. Defined with the window.
extern bool g_escapeTapped;

// The DirectInput key code of an SDL scancode, or 0 when the key has none.
uint8_t ScancodeToDik(int scancode);

class QRVInput {
public:
    QRVInput();
    virtual ~QRVInput() = default;

    bool Init();
    void Release();
    void Poll();
    // Poll with the time since the previous poll given (the pads' sticks turn it into
    // motion); Poll measures it.
    void PollAfter(double seconds);
    // The window's event pump hands every event here so motion and buttons add up.
    void FeedEvent(const SDL_Event& event);

    // Puts the cursor at (x, y) (origin bottom left) and drops the motion not yet polled.
    void placeCursor(float x, float y) {
        m_cursorX = x;
        m_cursorY = y;
        m_pendingDX = m_pendingDY = 0;
    }

    bool hasDevices() const { return m_keyboard && m_mouse; }
    Gamepad& gamepads() { return m_pads; }

    int32_t m_mouseDX = 0;
    int32_t m_mouseDY = 0;
    int32_t m_mouseWheel = 0;
    float m_cursorX = 400.0f;
    float m_cursorY = 300.0f;

private:
    // Motion, wheel and cursor from the mouse state just polled.
    void moveCursor();

    bool m_keyboard = false;
    bool m_mouse = false;
    // Summed since the last poll.
    int32_t m_pendingDX = 0, m_pendingDY = 0, m_pendingWheel = 0;
    uint8_t m_buttons[4] = {0, 0, 0, 0};
    uint8_t m_keys[256] = {};
    // Presses since the last poll, so that a press released before it is not lost.
    uint8_t m_tapped[256] = {};
    uint8_t m_clicked[4] = {0, 0, 0, 0};
    Gamepad m_pads;
    uint64_t m_lastPollTicks = 0; // 0: no poll since Init
};

extern QRVInput g_input;
