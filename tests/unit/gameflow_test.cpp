// The paths between the game's states, played through the state functions on a real
// context with the generated level: leaving a conversation with Escape, winning twice in a
// row, leaving the credits before their first frame, and a new game after each; and the
// music each state plays, heard through OpenAL's wave writer.
#include "hud/bitmapfont.h"
#include "hud/hud.h"
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/gem.h"
#include "objects/npc.h"
#include "objects/player.h"
#include "platform/gamestate.h"
#include "platform/qrvinput.h"
#include "shell/cutscenes.h"
#include "shell/framecommands.h"
#include "shell/gamecontext.h"
#include "shell/levelstartup.h"
#include "shell/mainloop.h"
#include "shell/screens.h"
#include "platform/soundmanager.h"
#include "shell/window.h"
#include "support/glcontext.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// OpenAL reads its configuration once, so it is pointed at the wave writer before any test:
// the games here play their real sounds, into a file nobody hears.
struct WaveOutput {
    std::filesystem::path dir;
    WaveOutput() {
        char pattern[] = "/tmp/tarvo-flow-XXXXXX";
        if (!mkdtemp(pattern))
            return;
        dir = pattern;
        std::ofstream(dir / "alsoft.conf")
            << "drivers=wave\n[wave]\nfile=" << (dir / "mix.wav").string() << "\n";
        setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);
    }
    ~WaveOutput() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};
WaveOutput g_wave;

constexpr uint8_t KEY_T = 0x14, KEY_ENTER = 0x1C, KEY_SPACE = 0x39, KEY_DOWN = 0xD0;
constexpr uint8_t KEY_W = 0x11, KEY_S = 0x1F, KEY_UP = 0xC8;

void noFrame() {}

class GameFlow : public testing::Test {
protected:
    void SetUp() override {
        char cwd[PATH_MAX];
        m_oldDir = getcwd(cwd, sizeof cwd) ? cwd : ".";
        if (chdir(TARVO_GAME_DIR) != 0 || !std::ifstream("data/flatlandriver.xml").good())
            GTEST_SKIP() << "no generated level in " << TARVO_GAME_DIR;
        ASSERT_TRUE(m_gl.ok()) << m_gl.error();
        for (int i = 0; i < 8; ++i) {
            m_saved[i] = g_frameHandlers[i];
            g_frameHandlers[i] = noFrame;
        }
        m_savedSwap = g_swapBuffers;
        m_savedCommands = g_frameCommands;
        g_swapBuffers = noFrame;
        g_frameCommands = noFrame;
        g_active = true;
        // Silent unless a test asks for the sound: loading every sound costs a second a title.
        SoundDevice::SetDeviceName("no such audio device");
        SetUpTitle();
        g_gameState = STATE_TITLE;
    }
    void TearDown() override {
        for (int i = 0; i < 8; ++i)
            g_frameHandlers[i] = m_saved[i];
        g_swapBuffers = m_savedSwap;
        g_frameCommands = m_savedCommands;
        g_keys[27] = false;
        releaseKeys();
        ShutDownSound();
        ReleaseLevel();
        ReleaseCutscene();
        ReleaseTitle();
        SoundDevice::SetDeviceName("");
        g_gameState = STATE_INTRO1;
        if (!m_oldDir.empty()) {
            EXPECT_EQ(chdir(m_oldDir.c_str()), 0);
        }
    }

    // Play Game on the title; the keys are then set by hand, not read from SDL.
    void newGame() {
        ASSERT_EQ(g_gameState, STATE_TITLE);
        StartGame(1);
        ASSERT_EQ(g_gameState, STATE_PLAY);
        ASSERT_NE(g_hero, nullptr);
        g_input.Release();
        releaseKeys();
    }
    static void releaseKeys() {
        for (uint8_t& k : g_keyState)
            k = 0;
    }
    // One frame of the frame commands with `key` held.
    static void tap(uint8_t key) {
        g_keyState[key] = 0x80;
        FrameCommands();
        g_keyState[key] = 0;
    }
    // The key held for one frame and let go on the next (edge keys act once per press).
    static void press(uint8_t key) {
        tap(key);
        FrameCommands();
    }
    // A gem lying in the level, as an enemy drops one.
    static Gem* dropGem() {
        auto* gem = new Gem();
        g_gems[g_gemCount++] = gem;
        return gem;
    }
    static Npc* firstCharacter() {
        for (int i = 0; i < OBJECT_TABLE_SIZE; ++i)
            if (g_objectTable[i] && g_dataLayer->kindOf(i) == KIND_NPC)
                return static_cast<Npc*>(g_objectTable[i]);
        return nullptr;
    }
    // Escape in play, conversation or game over, pressed again and again (play asks first):
    // rounds until the title is up.
    static void escape() {
        for (int i = 0; i < 50 && g_gameState != STATE_TITLE; ++i) {
            g_active = true; // the test's hidden window may report lost focus
            g_keys[27] = i % 2 == 0;
            RunOneRound();
        }
        g_keys[27] = false;
    }
    // The boss falls: the state the credits start from, then their first frame.
    static void win() {
        g_gameState = STATE_CREDITS;
        CreditsFrame();
    }

    TestGLContext m_gl;
    std::string m_oldDir;
    FrameHandler m_saved[8] = {};
    FrameHandler m_savedSwap = nullptr, m_savedCommands = nullptr;
};

} // namespace

TEST_F(GameFlow, EscapeFromAConversationOrWalkingAwayLeavesNoPartner) {
    newGame();
    Npc* npc = firstCharacter();
    ASSERT_NE(npc, nullptr);
    g_hero->setPosition(npc->getPosition() + Vector(5.0f, 0.0f, 0.0f));
    tap(KEY_T);
    ASSERT_EQ(g_gameState, STATE_CONVERSATION);
    ASSERT_EQ(g_talkPartner, npc);
    escape();
    ASSERT_EQ(g_gameState, STATE_TITLE);
    EXPECT_EQ(g_talkPartner, nullptr) << "the partner was destroyed with the level";

    // T far from everyone in the next game talks to nobody, not even to someone talked to
    // earlier and now far away.
    newGame();
    g_talkPartner = firstCharacter();
    g_hero->setPosition(Vector(5.0f, 0.0f, 5.0f));
    FindTalkPartner();
    EXPECT_EQ(g_talkPartner, nullptr);
    tap(KEY_T);
    EXPECT_EQ(g_gameState, STATE_PLAY);
    EXPECT_EQ(g_talkPartner, nullptr);
}

// Enter, pressed to go on, never spends gems: every menu of the level opens on an answer
// that costs nothing, also after something else was bought there. And every answer the
// menus offer has a voice.
TEST_F(GameFlow, GoingOnWithEnterBuysNothingAndEveryAnswerIsSpoken) {
    newGame();
    int villagers = 0;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        if (!g_objectTable[i] || g_dataLayer->kindOf(i) != KIND_NPC)
            continue;
        ++villagers;
        const std::string name = g_dataLayer->npcName(i);
        SCOPED_TRACE(name);
        const NpcMenu& menu = *g_dataLayer->npcMenu(i);
        bool sells = false;
        for (int k = 0; k < menu.count; ++k) {
            int32_t checked[4], count = 0;
            EXPECT_NE(AnswerVoice(name.c_str(), k, checked, count), 0) << "answer " << k;
            sells |= menu.items[k].id >= 1 && menu.items[k].id <= 3;
        }
        if (sells) {
            int32_t checked[4], count = 0;
            EXPECT_NE(AnswerVoice(name.c_str(), -1, checked, count), 0) << "the refusal";
        }
        for (int talk = 0; talk < 2; ++talk) {
            g_hero->setPosition(g_objectTable[i]->getPosition() + Vector(-5.0f, 0.0f, 0.0f));
            g_hero->m_gems = 20;
            const int32_t life = g_dataLayer->playerLife();
            press(KEY_T);
            ASSERT_EQ(g_talkPartner, g_objectTable[i]);
            press(KEY_ENTER);
            if (talk == 0)
                press(KEY_DOWN); // something else chosen the first time
            press(KEY_ENTER);
            press(KEY_ENTER);
            ASSERT_EQ(g_gameState, STATE_PLAY);
            if (talk == 1) {
                EXPECT_EQ(g_hero->m_gems, 20) << "the second talk spent gems";
                EXPECT_EQ(g_dataLayer->playerLife(), life);
            }
        }
    }
    EXPECT_EQ(villagers, 3);
}

// The HUD names the villager the talk key picks: the one the hero faces, not the one
// that comes first in the level.
TEST_F(GameFlow, TheTalkKeyPicksTheVillagerTheHudNames) {
    newGame();
    Npc* first = firstCharacter();
    Npc* last = nullptr;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i)
        if (g_objectTable[i] && g_dataLayer->kindOf(i) == KIND_NPC)
            last = static_cast<Npc*>(g_objectTable[i]);
    ASSERT_TRUE(first && last && first != last);
    const Vector hero = first->getPosition() + Vector(-8.0f, 0.0f, 0.0f);
    g_hero->setPosition(hero);
    g_hero->setDirection(Vector(0.0f, 0.0f, 1.0f));
    last->setPosition(hero + Vector(0.0f, 0.0f, 15.0f)); // ahead; the first is beside him
    const std::string named = Hud::talkName();
    EXPECT_EQ(named, g_dataLayer->npcName(last->m_id));
    tap(KEY_T);
    ASSERT_EQ(g_gameState, STATE_CONVERSATION);
    EXPECT_EQ(g_talkPartner, last);
}

TEST_F(GameFlow, ASecondWinSetsUpTheCreditsLikeTheFirst) {
    for (int game = 1; game <= 2; ++game) {
        SCOPED_TRACE(game);
        newGame();
        EXPECT_EQ(g_gemCount, 0) << "no gem of the old game";
        EXPECT_EQ(g_actor, nullptr) << "no actor of the old credits";
        dropGem();
        dropGem();
        g_startCountdown = 40; // the play countdown, about to become the line index
        win();
        // The credits set-up ran: the level is released, the actors and font are there.
        EXPECT_EQ(g_hero, nullptr);
        EXPECT_EQ(g_gemCount, 0);
        EXPECT_EQ(g_gems[0], nullptr);
        EXPECT_NE(g_actor, nullptr);
        EXPECT_NE(g_prop, nullptr);
        EXPECT_NE(g_font, nullptr);
        EXPECT_EQ(g_startCountdown, 0) << "the lines start at CREDITS";
        for (int frame = 0; frame < 5; ++frame)
            CreditsFrame();
        EXPECT_LE(g_startCountdown, 1) << "the lines follow the actor's script";
        tap(KEY_ENTER);
        ASSERT_EQ(g_gameState, STATE_TITLE);
        EXPECT_EQ(g_actor, nullptr) << "the credits' actors go with the credits";
        EXPECT_EQ(g_prop, nullptr);
    }
}

TEST_F(GameFlow, EnterOnTheFrameTheBossFellStillReleasesTheLevel) {
    newGame();
    dropGem();
    Npc* npc = firstCharacter();
    ASSERT_NE(npc, nullptr);
    g_talkPartner = npc;
    g_gameState = STATE_CREDITS; // the play frame of this round ended the fight
    tap(KEY_ENTER);              // before any credits frame
    ASSERT_EQ(g_gameState, STATE_TITLE);
    EXPECT_EQ(g_hero, nullptr);
    EXPECT_EQ(g_gemCount, 0);
    EXPECT_EQ(g_talkPartner, nullptr);
    newGame();
    EXPECT_EQ(g_gemCount, 0);
    win();
    EXPECT_NE(g_actor, nullptr);
    EXPECT_EQ(g_hero, nullptr);
}

// Play turns the hero with the mouse that moves the title's ball: a newcomer's title came back
// with the ball resting on "Quit". Each title opens with it on "Play Game", and motion from
// play not yet read goes with the level.
TEST_F(GameFlow, ANewGameAfterGameOverOrEscapeStartsCleanWithTheBallOnPlayGame) {
    auto playTheMouse = [] {
        g_input.m_cursorX = 595.0f; // on "Quit"
        g_input.m_cursorY = 45.0f;
        SDL_Event motion{};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.xrel = -300;
        motion.motion.yrel = 100;
        g_input.FeedEvent(motion);
    };
    auto ballOnPlayGame = [] {
        g_input.Init();
        g_input.PollAfter(0.0);
        g_input.Release();
        return g_input.m_cursorX == TITLE_REST_X && g_input.m_cursorY == TITLE_REST_Y &&
               OnPlayGame(TITLE_REST_X, TITLE_REST_Y);
    };
    EXPECT_TRUE(ballOnPlayGame()) << "the first title";
    newGame();
    dropGem();
    playTheMouse();
    g_gameState = STATE_GAME_OVER;
    tap(KEY_ENTER);
    ASSERT_EQ(g_gameState, STATE_TITLE);
    EXPECT_EQ(g_gemCount, 0);
    EXPECT_TRUE(ballOnPlayGame()) << "after game over";
    // Enter or Space starts the game as the click does, but not the Enter that left game over.
    g_keyState[KEY_ENTER] = 0x80;
    FrameCommands();
    EXPECT_EQ(g_gameState, STATE_TITLE) << "the Enter that left game over started a game";
    g_keyState[KEY_ENTER] = 0;
    FrameCommands();
    tap(KEY_SPACE);
    ASSERT_EQ(g_gameState, STATE_PLAY) << "Space on the title";
    g_input.Release();
    releaseKeys();
    EXPECT_EQ(g_gemCount, 0);
    dropGem();
    playTheMouse();
    g_gameState = STATE_GAME_OVER;
    escape();
    ASSERT_EQ(g_gameState, STATE_TITLE);
    EXPECT_EQ(g_gemCount, 0);
    EXPECT_EQ(g_hero, nullptr);
    EXPECT_TRUE(ballOnPlayGame()) << "after Escape";
    newGame();
    EXPECT_EQ(g_gemCount, 0);
    EXPECT_EQ(g_talkPartner, nullptr);
}

// A newcomer could not quit from the title: the keys always started a game. Up and Down
// (or W and S) move the ball between the words; Enter picks the one it is on.
TEST_F(GameFlow, TheKeysChooseBetweenPlayGameAndQuit) {
    g_input.Release(); // the keys are set by hand
    FrameCommands();   // the title is up: its keys count from now
    press(KEY_DOWN);
    EXPECT_EQ(TitleItemAt(g_input.m_cursorX, g_input.m_cursorY), TITLE_QUIT);
    press(KEY_UP);
    EXPECT_EQ(TitleItemAt(g_input.m_cursorX, g_input.m_cursorY), TITLE_PLAY_GAME);
    press(KEY_S);
    ASSERT_NE(g_titleModel, nullptr);
    tap(KEY_ENTER);
    EXPECT_EQ(g_titleModel, nullptr) << "Enter on Quit quits";
    EXPECT_EQ(g_gameState, STATE_TITLE);
    SDL_FlushEvent(SDL_QUIT); // the quit it posted ends no other test

    SetUpTitle();
    FrameCommands();
    press(KEY_S);
    press(KEY_W);
    tap(KEY_SPACE);
    EXPECT_EQ(g_gameState, STATE_PLAY) << "Space on Play Game";
}

TEST_F(GameFlow, EachStatePlaysItsMusic) {
    // The title tune, the level's music, game over, the ending voice and the dream music.
    auto music = [] {
        std::vector<int> on;
        for (int slot : {14, 15, 16, 17, 20, 21})
            if (SlotPlaying(slot))
                on.push_back(slot);
        return on;
    };
    using Slots = std::vector<int>;
    SoundDevice::SetDeviceName(""); // the wave writer
    SetUpTitle();
    if (!g_sound || !g_sound->sound(14) || !g_sound->sound(14)->isLoaded())
        GTEST_SKIP() << "no sound device";
    EXPECT_EQ(music(), Slots{17}) << "the title";

    // "Play Game" clicked, as the title's mouse does.
    auto playGame = [] {
        g_input.Release();
        g_input.m_cursorX = 500.0f;
        g_input.m_cursorY = 180.0f;
        g_mouseState.rgbButtons[0] = 0x80;
        FrameCommands();
        g_mouseState.rgbButtons[0] = 0;
        g_input.Release(); // the level start took the devices: the test's keys are by hand
        releaseKeys();
    };
    playGame();
    ASSERT_EQ(g_gameState, STATE_PLAY);
    EXPECT_EQ(music(), Slots{14}) << "play";

    g_dataLayer->setPlayerLife(1);
    g_hero->m_invulnerableMs = -1.0; // past the start's grace
    g_hero->m_currentAnimation = 0;
    g_hero->onHit(0, 0, 50, Vector(1.0f, 0.0f, 0.0f));
    ASSERT_EQ(g_gameState, STATE_GAME_OVER);
    EXPECT_EQ(music(), Slots{16}) << "game over";
    tap(KEY_ENTER);
    ASSERT_EQ(g_gameState, STATE_TITLE);
    EXPECT_EQ(music(), Slots{17}) << "back to the title";

    playGame();
    escape();
    ASSERT_EQ(g_gameState, STATE_TITLE);
    EXPECT_EQ(music(), Slots{17}) << "Escape from play";

    playGame();
    // The boss's landing stops it, and its own music ends with its fall.
    StopSlot(SLOT_NORMAL_MUSIC);
    win();
    EXPECT_EQ(music(), (Slots{20, 21})) << "the credits";
    tap(KEY_ENTER);
    EXPECT_EQ(music(), Slots{17}) << "the title after the credits";
}
