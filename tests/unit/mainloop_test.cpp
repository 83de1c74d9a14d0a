#include "platform/gamestate.h"
#include "platform/qrvinput.h"
#include "shell/levelstartup.h"
#include "shell/mainloop.h"
#include "shell/screens.h"
#include "shell/window.h"
#include "support/glcontext.h"
#include "world/camera.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <utility>

namespace {
int s_drawn = 0, s_swapped = 0, s_commands = 0;
void countDraw() {
    ++s_drawn;
}
void countSwap() {
    ++s_swapped;
}
void countCommands() {
    ++s_commands;
}

class MainLoopRound : public testing::Test {
protected:
    void SetUp() override {
        SDL_InitSubSystem(SDL_INIT_EVENTS);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        for (int i = 0; i < 8; ++i) {
            saved[i] = g_frameHandlers[i];
            g_frameHandlers[i] = i == 2 ? nullptr : countDraw;
        }
        savedSwap = g_swapBuffers;
        savedCommands = g_frameCommands;
        g_swapBuffers = countSwap;
        g_frameCommands = countCommands;
        s_drawn = s_swapped = s_commands = 0;
        g_active = true;
        g_keys[27] = false;
    }
    void TearDown() override {
        for (int i = 0; i < 8; ++i)
            g_frameHandlers[i] = saved[i];
        g_swapBuffers = savedSwap;
        g_frameCommands = savedCommands;
        g_keys[27] = false;
        g_gameState = STATE_INTRO1;
        ReleaseLevel();
    }
    FrameHandler saved[8];
    FrameHandler savedSwap = nullptr, savedCommands = nullptr;
};
} // namespace

static unsigned s_nowMs = 0;

// Escape pressed for one round, then let go for one.
static void tapEscape() {
    g_keys[27] = true;
    RunOneRound();
    g_keys[27] = false;
    RunOneRound();
}

TEST_F(MainLoopRound, EscapeInPlayOrAConversationAsksFirstAndASecondPressLeaves) {
    for (GameState state : {STATE_PLAY, STATE_CONVERSATION, STATE_GAME_OVER}) {
        s_drawn = 0;
        g_gameState = state;
        g_camera = new Camera(); // a level object the release must take
        g_keys[27] = true;
        EXPECT_TRUE(RunOneRound());
        if (state != STATE_GAME_OVER) {
            EXPECT_EQ(g_gameState, state) << "the first Escape only asks";
            EXPECT_TRUE(AskingToLeave());
            EXPECT_EQ(s_drawn, 1) << "the frame with the question";
            for (int round = 0; round < 5; ++round)
                RunOneRound(); // Escape still held: the same press
            g_keys[27] = false;
            RunOneRound();
            EXPECT_EQ(g_gameState, state) << "a held Escape is one press";
            EXPECT_EQ(s_drawn, 1) << "the world waits while asking";
            g_keys[27] = true;
            RunOneRound();
        }
        EXPECT_EQ(g_gameState, STATE_TITLE) << state;
        EXPECT_FALSE(AskingToLeave());
        EXPECT_EQ(g_camera, nullptr) << "the level was not released in state " << state;
        g_keys[27] = false;
        RunOneRound(); // let go on the title
    }
}

TEST_F(MainLoopRound, TheQuestionGoesOnAfterThreeSecondsOrANewKeyPress) {
    const auto savedClock = g_playClockMs;
    g_playClockMs = [] { return s_nowMs; };
    g_gameState = STATE_PLAY;
    s_nowMs = 1000;
    tapEscape();
    s_nowMs += LEAVE_ASK_MS - 1;
    RunOneRound();
    EXPECT_TRUE(AskingToLeave());
    s_nowMs += 1;
    RunOneRound();
    EXPECT_FALSE(AskingToLeave()) << "the time is up";
    const int drawn = s_drawn;
    RunOneRound();
    EXPECT_EQ(s_drawn, drawn + 1) << "play goes on";

    g_keyState[0x11] = 0x80; // W held while Escape asks is not an answer
    tapEscape();
    EXPECT_TRUE(AskingToLeave());
    g_keyState[0x11] = 0;
    g_keyState[0x1E] = 0x80; // A pressed anew is
    RunOneRound();
    EXPECT_FALSE(AskingToLeave());
    g_keyState[0x1E] = 0;
    tapEscape();
    EXPECT_TRUE(AskingToLeave()) << "and the next Escape asks again";
    g_mouseState.rgbButtons[0] = 0x80; // so is a click
    RunOneRound();
    g_mouseState.rgbButtons[0] = 0;
    EXPECT_FALSE(AskingToLeave());
    EXPECT_EQ(g_gameState, STATE_PLAY);
    g_playClockMs = savedClock;
}

TEST_F(MainLoopRound, EscapeElsewhereOrWhileInactiveDoesNothing) {
    for (GameState state : {STATE_TITLE, STATE_INTRO1, STATE_INTRO2, STATE_CREDITS}) {
        g_gameState = state;
        g_keys[27] = true;
        RunOneRound();
        EXPECT_EQ(g_gameState, state);
    }
    g_active = false;
    g_gameState = STATE_PLAY;
    RunOneRound();
    EXPECT_EQ(g_gameState, STATE_PLAY);
}

TEST_F(MainLoopRound, StateTwoDrawsNothingButStillSwapsAndRunsCommands) {
    g_gameState = STATE_NONE;
    RunOneRound();
    EXPECT_EQ(s_drawn, 0);
    EXPECT_EQ(s_swapped, 1);
    EXPECT_EQ(s_commands, 1);
    g_gameState = 42; // an unknown state runs nothing, but the loop goes on
    EXPECT_TRUE(RunOneRound());
    EXPECT_EQ(s_drawn, 0);
    EXPECT_EQ(s_swapped, 2);
}

TEST_F(MainLoopRound, AnEventTakesTheWholeRoundAndQuitEndsTheLoop) {
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_ESCAPE;
    key.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    SDL_PushEvent(&key);
    g_gameState = STATE_TITLE;
    EXPECT_TRUE(RunOneRound());
    EXPECT_TRUE(g_keys[27]);
    EXPECT_EQ(s_drawn, 0);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    bool running = true;
    for (int i = 0; i < 5 && running; ++i)
        running = RunOneRound();
    EXPECT_FALSE(running);
}

TEST_F(MainLoopRound, AStopSignalOrALostWindowEndsTheLoop) {
    InstallStopSignals();
    g_gameState = STATE_PLAY;
    for (int signal : {SIGTERM, SIGINT}) {
        s_drawn = 0;
        ASSERT_EQ(std::raise(signal), 0); // only a flag: the test goes on
        EXPECT_TRUE(StopRequested());
        EXPECT_FALSE(RunOneRound()) << signal;
        EXPECT_EQ(s_drawn, 0) << "nothing more is drawn";
        EXPECT_EQ(RunMainLoop(), 0);
        ClearStopRequest();
        EXPECT_TRUE(RunOneRound());
    }

    g_gameState = STATE_CONVERSATION;
    SetWindowLost(true);
    s_drawn = 0;
    EXPECT_FALSE(RunOneRound());
    EXPECT_EQ(s_drawn, 0);
    SetWindowLost(false);
    EXPECT_TRUE(RunOneRound());
}

TEST(WindowRules, AZeroHeightResizeUsesOne) {
    TestGLContext gl;
    ASSERT_TRUE(gl.ok()) << gl.error();
    ResizeScene(800, 0);
    int w = 0, h = 0;
    LastSceneSize(w, h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 1);
}

// The keys the game reads carry their DirectInput codes; a key without one, or a
// scancode out of range on either side (an unknown device's), gives 0.
TEST(InputRules, TheGamesKeysMapToTheirCodesAndNoOtherScancodeIndexesPastTheTable) {
    const std::pair<SDL_Scancode, int> keys[] = {
        {SDL_SCANCODE_ESCAPE, 0x01},   {SDL_SCANCODE_W, 0x11},          {SDL_SCANCODE_T, 0x14},
        {SDL_SCANCODE_P, 0x19},        {SDL_SCANCODE_RETURN, 0x1C},     {SDL_SCANCODE_LCTRL, 0x1D},
        {SDL_SCANCODE_A, 0x1E},        {SDL_SCANCODE_S, 0x1F},          {SDL_SCANCODE_D, 0x20},
        {SDL_SCANCODE_LSHIFT, 0x2A},   {SDL_SCANCODE_M, 0x32},          {SDL_SCANCODE_SPACE, 0x39},
        {SDL_SCANCODE_UP, 0xC8},       {SDL_SCANCODE_DOWN, 0xD0},       {SDL_SCANCODE_F12, 0x58},
        {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_APPLICATION, 0xDD}};
    for (auto [key, code] : keys)
        EXPECT_EQ(ScancodeToDik(key), code) << key;
    for (int sc : {-3, -1, int(SDL_SCANCODE_F13), int(SDL_SCANCODE_AUDIOPLAY),
                   int(SDL_NUM_SCANCODES) - 1, int(SDL_NUM_SCANCODES), INT32_MIN, INT32_MAX})
        EXPECT_EQ(ScancodeToDik(sc), 0) << "scancode " << sc;
}

TEST(InputRules, MotionAddsUpAndTheCursorStaysOnScreen) {
    QRVInput input;
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.xrel = 11;
    motion.motion.yrel = 6;
    input.FeedEvent(motion); // no devices yet: nothing is read
    input.Poll();
    EXPECT_FLOAT_EQ(input.m_cursorX, 400.0f);

    input.Init();
    for (int i = 0; i < 20; ++i)
        input.FeedEvent(motion);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -1;
    input.FeedEvent(wheel);
    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.button = SDL_BUTTON_RIGHT;
    input.FeedEvent(button);
    input.Poll();
    EXPECT_EQ(input.m_mouseDX, 220);
    EXPECT_EQ(input.m_mouseDY, 120);
    EXPECT_EQ(input.m_mouseWheel, -120);
    EXPECT_EQ(g_mouseState.rgbButtons[1], 0x80);
    EXPECT_FLOAT_EQ(input.m_cursorX, 620.0f);
    EXPECT_FLOAT_EQ(input.m_cursorY, 180.0f); // y grows upwards
    input.Poll();                             // motion is counted once
    EXPECT_EQ(input.m_mouseDX, 0);
    EXPECT_EQ(g_mouseState.rgbButtons[1], 0x80); // a held button stays down

    motion.motion.xrel = 100000;
    motion.motion.yrel = 100000;
    input.FeedEvent(motion);
    input.Poll();
    EXPECT_FLOAT_EQ(input.m_cursorX, 800.0f);
    EXPECT_FLOAT_EQ(input.m_cursorY, 0.0f);

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_W;
    input.FeedEvent(key);
    input.Poll();
    EXPECT_EQ(g_keyState[0x11], 0x80);
    input.Release();
    input.FeedEvent(key);
    g_keyState[0x11] = 0;
    input.Poll(); // without devices nothing is touched
    EXPECT_EQ(g_keyState[0x11], 0);
}

// A newcomer could not quit from the title: the click missed the top of the drawn word, and
// no key reached it. A click anywhere on a word picks it; Enter picks the word the ball is
// on, and "Play Game" when it is on neither.
TEST(TitleChoice, AClickOnAWordOrEnterOnTheBallPicksIt) {
    EXPECT_EQ(TitleItemAt(595.0f, 45.0f), TITLE_QUIT);
    EXPECT_EQ(TitleItemAt(600.0f, 90.0f), TITLE_QUIT) << "the top of the drawn word";
    EXPECT_EQ(TitleItemAt(600.0f, 180.0f), TITLE_PLAY_GAME);
    EXPECT_EQ(TitleItemAt(TITLE_REST_X, TITLE_REST_Y), TITLE_PLAY_GAME);
    EXPECT_EQ(TitleItemAt(400.0f, 300.0f), TITLE_NOTHING);
    EXPECT_EQ(TitleItemAt(600.0f, 115.0f), TITLE_NOTHING) << "between the words";
    EXPECT_EQ(TitleKeyItem(TITLE_QUIT_X, TITLE_QUIT_Y), TITLE_QUIT);
    EXPECT_EQ(TitleKeyItem(TITLE_REST_X, TITLE_REST_Y), TITLE_PLAY_GAME);
    EXPECT_EQ(TitleKeyItem(400.0f, 300.0f), TITLE_PLAY_GAME);
}
