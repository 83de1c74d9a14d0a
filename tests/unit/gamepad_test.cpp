// The gamepad feeds the keyboard-and-mouse input layer: the keys, buttons and motion
// the frame commands read, by game state, from hand-made controller events. A virtual
// pad through SDL's own interface plays the real game in tests/drive/padplay.cpp.
#include "platform/gamepad.h"
#include "platform/gamestate.h"
#include "platform/qrvinput.h"
#include "shell/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <utility>

namespace {

constexpr int32_t PAD = 7;
constexpr uint8_t KEY_M = 0x32, KEY_W = 0x11, KEY_T = 0x14, KEY_P = 0x19, KEY_ENTER = 0x1C,
                  KEY_A = 0x1E;
constexpr uint8_t KEY_S = 0x1F, KEY_D = 0x20, KEY_LSHIFT = 0x2A, KEY_SPACE = 0x39;
constexpr uint8_t KEY_UP = 0xC8, KEY_DOWN = 0xD0;

SDL_Event axis(int a, int16_t value, int32_t pad = PAD) {
    SDL_Event e{};
    e.type = SDL_CONTROLLERAXISMOTION;
    e.caxis.which = pad;
    e.caxis.axis = uint8_t(a);
    e.caxis.value = value;
    return e;
}

SDL_Event press(int b, bool down, int32_t pad = PAD) {
    SDL_Event e{};
    e.type = down ? SDL_CONTROLLERBUTTONDOWN : SDL_CONTROLLERBUTTONUP;
    e.cbutton.which = pad;
    e.cbutton.button = uint8_t(b);
    e.cbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
    return e;
}

bool down(uint8_t key) {
    return (g_keyState[key] & 0x80) != 0;
}
bool held(int b) {
    return (g_mouseState.rgbButtons[b] & 0x80) != 0;
}

class PadInput : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedState = g_gameState;
        g_gameState = STATE_PLAY;
        g_escapeTapped = false;
        m_input.Init();
        m_input.gamepads().attachRaw(PAD);
    }
    void TearDown() override {
        g_gameState = m_savedState;
        g_escapeTapped = false;
    }
    void feed(const SDL_Event& e) { m_input.FeedEvent(e); }
    void tap(int b) {
        feed(press(b, true));
        feed(press(b, false));
    }
    void poll(double seconds = 1.0 / 60.0) { m_input.PollAfter(seconds); }

    QRVInput m_input;
    GameState m_savedState = STATE_TITLE;
};

} // namespace

TEST_F(PadInput, TheLeftStickWalksAndTheRightStickTurnsAtAMouseLikeRate) {
    feed(axis(SDL_CONTROLLER_AXIS_LEFTY, -32768)); // pushed away: forwards
    poll();
    EXPECT_TRUE(down(KEY_W));
    EXPECT_FALSE(down(KEY_S) || down(KEY_A) || down(KEY_D));
    EXPECT_EQ(m_input.m_mouseDX, 0); // walking does not turn
    feed(axis(SDL_CONTROLLER_AXIS_LEFTY, 20000));
    feed(axis(SDL_CONTROLLER_AXIS_LEFTX, -20000));
    poll();
    EXPECT_TRUE(down(KEY_S) && down(KEY_A));
    EXPECT_FALSE(down(KEY_W) || down(KEY_D));
    feed(axis(SDL_CONTROLLER_AXIS_LEFTX, 32767));
    feed(axis(SDL_CONTROLLER_AXIS_LEFTY, 5000)); // a resting stick's drift
    poll();
    EXPECT_TRUE(down(KEY_D));
    EXPECT_FALSE(down(KEY_S) || down(KEY_W) || down(KEY_A));

    // Full right for a tenth of a second: 160 counts, 0.4 radians of yaw.
    feed(axis(SDL_CONTROLLER_AXIS_RIGHTX, 32767));
    poll(0.1);
    EXPECT_EQ(m_input.m_mouseDX, 160);
    EXPECT_EQ(m_input.m_mouseDY, 0);
    // Full down pitches the way the mouse pulled towards the player does, more slowly.
    feed(axis(SDL_CONTROLLER_AXIS_RIGHTX, 0));
    feed(axis(SDL_CONTROLLER_AXIS_RIGHTY, 32767));
    poll(0.1);
    EXPECT_EQ(m_input.m_mouseDX, 0);
    EXPECT_EQ(m_input.m_mouseDY, 90);
    // A stall (a level loading) is not a spin.
    poll(5.0);
    EXPECT_EQ(m_input.m_mouseDY, 90);

    // Inside the dead zone nothing turns, however long.
    feed(axis(SDL_CONTROLLER_AXIS_RIGHTY, 0));
    feed(axis(SDL_CONTROLLER_AXIS_RIGHTX, -7000));
    int32_t total = 0;
    for (int i = 0; i < 60; ++i) {
        poll();
        total += m_input.m_mouseDX;
    }
    EXPECT_EQ(total, 0);
    // Just past it, fractions of a count add up over the frames instead of vanishing.
    feed(axis(SDL_CONTROLLER_AXIS_RIGHTX, -12000));
    for (int i = 0; i < 60; ++i) {
        poll();
        total += m_input.m_mouseDX;
        EXPECT_LE(m_input.m_mouseDX, 0);
    }
    EXPECT_LT(total, -10);
    EXPECT_GT(total, -100);
}

TEST_F(PadInput, ButtonsHoldTheKeysAndButtonsOfTheirActions) {
    const int buttons[] = {SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_B,
                           SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_Y,
                           SDL_CONTROLLER_BUTTON_RIGHTSHOULDER};
    for (int b : buttons)
        feed(press(b, true));
    poll();
    EXPECT_TRUE(down(KEY_T));      // talk
    EXPECT_TRUE(down(KEY_M));      // the map away
    EXPECT_TRUE(down(KEY_LSHIFT)); // roll
    EXPECT_TRUE(down(KEY_P));      // pause
    EXPECT_TRUE(held(1));          // the bat
    EXPECT_FALSE(held(0));
    poll();
    EXPECT_TRUE(down(KEY_T) && held(1)); // held buttons stay down
    for (int b : buttons)
        feed(press(b, false));
    poll();
    EXPECT_FALSE(down(KEY_T) || down(KEY_LSHIFT) || down(KEY_P) || down(KEY_M) || held(1));

    // A tap between two polls still counts, once.
    tap(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    poll();
    EXPECT_TRUE(down(KEY_DOWN));
    EXPECT_FALSE(down(KEY_UP));
    poll();
    EXPECT_FALSE(down(KEY_DOWN));
    tap(SDL_CONTROLLER_BUTTON_DPAD_UP);
    poll();
    EXPECT_TRUE(down(KEY_UP));

    // Guns: the left shoulder and right on the d-pad turn the wheel towards the player
    // (the next gun), left on the d-pad away; a press is one notch.
    tap(SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
    poll();
    EXPECT_EQ(m_input.m_mouseWheel, -120);
    poll();
    EXPECT_EQ(m_input.m_mouseWheel, 0);
    tap(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    tap(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    tap(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    poll();
    EXPECT_EQ(m_input.m_mouseWheel, 120);

    // Back is Escape for the main loop.
    EXPECT_FALSE(g_escapeTapped);
    tap(SDL_CONTROLLER_BUTTON_BACK);
    EXPECT_TRUE(g_escapeTapped);
}

TEST_F(PadInput, TheTriggerAimsWhileHeldAndLetsGoOnce) {
    // A finger resting on it does not aim; easing off a little does not let go (which would
    // fire), nor does wobbling back; letting go fires.
    const std::pair<int16_t, bool> pulls[] = {
        {12000, false}, {22000, true}, {13000, true}, {17000, true}, {3000, false}};
    for (auto [value, aiming] : pulls) {
        feed(axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, value));
        poll();
        EXPECT_EQ(held(0), aiming) << value;
    }
    // A pull and release between two polls is still one shot.
    feed(axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767));
    feed(axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0));
    poll();
    EXPECT_TRUE(held(0));
    poll();
    EXPECT_FALSE(held(0));
    // The left trigger does nothing.
    feed(axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767));
    poll();
    EXPECT_FALSE(held(0) || held(1));
}

TEST_F(PadInput, TheSouthButtonJumpsGoesOnOrClicksByState) {
    struct Case {
        GameState state;
        uint8_t key; // key it presses, or 0
        bool click;  // or the left button
    } cases[] = {{STATE_PLAY, KEY_SPACE, false},         {STATE_NONE, KEY_SPACE, false},
                 {STATE_CONVERSATION, KEY_ENTER, false}, {STATE_INTRO1, KEY_ENTER, false},
                 {STATE_INTRO2, KEY_ENTER, false},       {STATE_GAME_OVER, KEY_ENTER, false},
                 {STATE_CREDITS, KEY_ENTER, false},      {STATE_TITLE, 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        g_gameState = c.state;
        feed(press(SDL_CONTROLLER_BUTTON_A, true));
        poll();
        EXPECT_EQ(down(KEY_SPACE), c.key == KEY_SPACE);
        EXPECT_EQ(down(KEY_ENTER), c.key == KEY_ENTER);
        EXPECT_EQ(held(0), c.click);
        poll();
        EXPECT_EQ(down(KEY_SPACE) || down(KEY_ENTER) || held(0), true); // held, it holds
        feed(press(SDL_CONTROLLER_BUTTON_A, false));
        poll();
        EXPECT_FALSE(down(KEY_SPACE) || down(KEY_ENTER) || held(0));
    }

    // The press that ends a conversation does not jump when play resumes; the next does.
    g_gameState = STATE_CONVERSATION;
    feed(press(SDL_CONTROLLER_BUTTON_A, true));
    poll();
    EXPECT_TRUE(down(KEY_ENTER));
    g_gameState = STATE_PLAY; // what the frame commands did with it
    for (int i = 0; i < 3; ++i) {
        poll();
        EXPECT_FALSE(down(KEY_SPACE) || down(KEY_ENTER));
    }
    feed(press(SDL_CONTROLLER_BUTTON_A, false));
    feed(press(SDL_CONTROLLER_BUTTON_A, true));
    poll();
    EXPECT_TRUE(down(KEY_SPACE));
    // Nor does the click that starts the game aim (and so fire on release).
    feed(press(SDL_CONTROLLER_BUTTON_A, false));
    poll();
    g_gameState = STATE_TITLE;
    feed(press(SDL_CONTROLLER_BUTTON_A, true));
    poll();
    EXPECT_TRUE(held(0));
    g_gameState = STATE_PLAY;
    poll();
    EXPECT_FALSE(held(0) || down(KEY_SPACE));
    feed(press(SDL_CONTROLLER_BUTTON_A, false));
    poll();
    EXPECT_FALSE(held(0));
}

TEST_F(PadInput, OnTheTitleTheLeftStickMovesTheCursor) {
    g_gameState = STATE_TITLE;
    const float x = m_input.m_cursorX, y = m_input.m_cursorY;
    feed(axis(SDL_CONTROLLER_AXIS_LEFTX, 32767));
    feed(axis(SDL_CONTROLLER_AXIS_LEFTY, -32768)); // up the screen
    poll(0.1);
    EXPECT_GT(m_input.m_cursorX, x + 40.0f);
    EXPECT_GT(m_input.m_cursorY, y + 40.0f);
    for (int i = 0; i < 100; ++i)
        poll(0.1);
    EXPECT_FLOAT_EQ(m_input.m_cursorX, 800.0f); // and stays on the screen
    EXPECT_FLOAT_EQ(m_input.m_cursorY, 600.0f);
    // In play the same stick walks and leaves the view alone.
    g_gameState = STATE_PLAY;
    poll(0.1);
    EXPECT_EQ(m_input.m_mouseDX, 0);
    EXPECT_EQ(m_input.m_mouseDY, 0);
}

TEST_F(PadInput, APulledPadLetsGoOfAllItHeld) {
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_T;
    feed(key); // the keyboard holds T as well
    feed(axis(SDL_CONTROLLER_AXIS_LEFTY, -32768));
    feed(axis(SDL_CONTROLLER_AXIS_RIGHTX, 32767));
    feed(axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767));
    feed(press(SDL_CONTROLLER_BUTTON_X, true));
    feed(press(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, true));
    poll();
    EXPECT_TRUE(down(KEY_W) && down(KEY_T) && held(0) && held(1));
    SDL_Event gone{};
    gone.type = SDL_CONTROLLERDEVICEREMOVED;
    gone.cdevice.which = PAD;
    feed(gone);
    poll();
    EXPECT_EQ(m_input.gamepads().padCount(), 0);
    EXPECT_FALSE(down(KEY_W) || held(0) || held(1));
    EXPECT_EQ(m_input.m_mouseDX, 0);
    EXPECT_TRUE(down(KEY_T)); // the keyboard's key is the keyboard's
    // Events of a pad that is gone change nothing.
    feed(press(SDL_CONTROLLER_BUTTON_B, true));
    poll();
    EXPECT_FALSE(down(KEY_LSHIFT));
    // Two pads add up; one leaving keeps the other's keys.
    m_input.gamepads().attachRaw(1);
    m_input.gamepads().attachRaw(2);
    feed(press(SDL_CONTROLLER_BUTTON_B, true, 1));
    feed(axis(SDL_CONTROLLER_AXIS_LEFTX, -32768, 2));
    poll();
    EXPECT_TRUE(down(KEY_LSHIFT) && down(KEY_A));
    m_input.gamepads().detachRaw(2);
    poll();
    EXPECT_TRUE(down(KEY_LSHIFT));
    EXPECT_FALSE(down(KEY_A));
}

TEST_F(PadInput, NothingIsReadWhileTheWindowHasNoInput) {
    m_input.Release();
    feed(press(SDL_CONTROLLER_BUTTON_X, true));
    g_keyState[KEY_T] = 0;
    poll();
    EXPECT_FALSE(down(KEY_T));
    // Presses made while away do not arrive all at once on return.
    tap(SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
    m_input.Release();
    m_input.Init();
    poll();
    EXPECT_EQ(m_input.m_mouseWheel, 0);
}
