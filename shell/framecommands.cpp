#include "shell/framecommands.h"

#include "hud/hud.h"
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/npc.h"
#include "objects/player.h"
#include "platform/cutsceneplayer.h"
#include "platform/gamestate.h"
#include "platform/qrvinput.h"
#include "platform/soundmanager.h"
#include "shell/cutscenes.h"
#include "shell/gamecontext.h"
#include "shell/levelstartup.h"
#include "shell/mainloop.h"
#include "shell/screens.h"
#include "shell/window.h"

#include <algorithm>
#include <cstring>
#include <string>

int32_t g_talkStep = 0;

namespace {

bool s_enterLatch = false;
bool s_pauseLatch = false;
bool s_leftButtonHeld = false;
bool s_rightLatch = false;
bool s_dodgeLatch = false;
bool s_upLatch = false;
bool s_downLatch = false;
bool s_mapLatch = false;

constexpr uint8_t KEY_W = 0x11, KEY_T = 0x14, KEY_P = 0x19, KEY_ENTER = 0x1C, KEY_LCONTROL = 0x1D;
constexpr uint8_t KEY_A = 0x1E, KEY_S = 0x1F, KEY_D = 0x20, KEY_LSHIFT = 0x2A, KEY_SPACE = 0x39;
constexpr uint8_t KEY_M = 0x32, KEY_UP = 0xC8, KEY_DOWN = 0xD0;

bool down(uint8_t key) {
    return (g_keyState[key] & 0x80) != 0;
}
bool button(int i) {
    return (g_mouseState.rgbButtons[i] & 0x80) != 0;
}

bool voicePlaying(int32_t voice) {
    return SlotPlaying(SoundManager::voiceSlot(voice));
}
void stopVoice(int32_t voice) {
    StopSlot(SoundManager::voiceSlot(voice));
}
void playVoice(int32_t voice) {
    PlayVoice(voice);
}
// Every villager's voices: a conversation that begins or ends silences whoever still speaks,
// so that two lines are never heard on top of each other.
void stopVoices() {
    for (int32_t first : {100, 200, 300})
        for (int32_t voice = first; SoundManager::voiceSlot(voice) != 0; ++voice)
            stopVoice(voice);
}

void pauseAll(bool paused) {
    if (g_hero)
        g_hero->m_paused = paused;
    if (g_boss)
        g_boss->m_paused = paused;
    for (SceneObject* o : g_objectTable)
        if (o)
            o->m_paused = paused;
}

// The greeting voice of each character; 0 for a name without voices.
int32_t firstVoice(const std::string& name) {
    if (name == "Rarozare")
        return 100;
    if (name == "Virav")
        return 300;
    if (name == "Verozi")
        return 200;
    return 0;
}

std::string partnerName() {
    if (!g_talkPartner || !g_dataLayer)
        return std::string();
    return g_dataLayer->npcName(g_talkPartner->m_id);
}

void introCommands() {
    if (!down(KEY_ENTER)) {
        s_enterLatch = false;
        return;
    }
    if (s_enterLatch)
        return;
    s_enterLatch = true;
    g_gameState = STATE_TITLE;
    StopCutsceneSounds();
    g_titleGlow = 0.0f;
    ReleaseCutscene();
    SetUpTitle();
}

// Enter or Space on the title counts once it has been up there: the Enter that closed the
// intro, the game over or the credits must not start a game as well.
bool s_titleKeysArmed = false;

void titleCommands() {
    // Up and Down (W and S) move the ball between the two words, for a player without a
    // mouse; Enter or Space picks the word it is on.
    const int step = (down(KEY_UP) || down(KEY_W)) ? -1 : (down(KEY_DOWN) || down(KEY_S)) ? 1 : 0;
    if (step != 0) {
        float x = g_input.m_cursorX, y = g_input.m_cursorY;
        TitleStep(step, x, y);
        g_input.placeCursor(x, y);
    }
    const bool keyDown = down(KEY_ENTER) || down(KEY_SPACE);
    const bool keyPick = keyDown && s_titleKeysArmed;
    if (!keyDown)
        s_titleKeysArmed = true;
    if (!button(0) && !keyPick)
        return;
    const float x = g_input.m_cursorX, y = g_input.m_cursorY;
    const TitleItem item = keyPick ? TitleKeyItem(x, y) : TitleItemAt(x, y);
    if (item == TITLE_PLAY_GAME) {
        StartGame(1);
        StopSlot(SLOT_TITLE);
        PlaySlot(SLOT_NORMAL_MUSIC, 30);
    } else if (item == TITLE_QUIT) {
        ShutDownSound();
        ReleaseTitle();
        PostQuit(0);
    }
}

void conversationCommands() {
    if (down(KEY_ENTER)) {
        if (s_enterLatch)
            return;
        const std::string name = partnerName();
        if (g_talkStep == 0) {
            if (const int32_t first = firstVoice(name)) {
                if (voicePlaying(first))
                    stopVoice(first);
                playVoice(first + 1);
            }
            g_talkStep = 1;
        } else if (g_talkStep == 1) {
            int32_t outcome = -1;
            if (g_dataLayer && g_talkPartner)
                if (NpcMenu* menu = g_dataLayer->npcMenu(g_talkPartner->m_id)) {
                    ChooseMenuItem(*menu);
                    // "Not enough gems" is not the answer to a full hero: no voice then.
                    outcome = menu->fullReply ? -2 : menu->selected;
                }
            int32_t checked[4];
            int32_t count = 0;
            const int32_t voice = AnswerVoice(name.c_str(), outcome, checked, count);
            if (voice != 0) {
                for (int32_t i = 0; i < count; ++i)
                    if (voicePlaying(checked[i])) {
                        stopVoice(checked[i]);
                        break;
                    }
                playVoice(voice);
            }
            g_talkStep = 2;
        } else {
            g_gameState = STATE_PLAY;
            pauseAll(false);
            g_talkPartner = nullptr;
            stopVoices();
            if (g_hud)
                g_hud->conversationEnded(); // a map shown stays up a while to be read
        }
        s_enterLatch = true;
        return;
    }
    s_enterLatch = false;
    if (g_talkStep != 1 || !g_talkPartner || !g_dataLayer)
        return;
    if (down(KEY_UP)) {
        if (!s_upLatch)
            g_dataLayer->menuUp(g_talkPartner->m_id);
        s_upLatch = true;
    } else {
        s_upLatch = false;
    }
    if (down(KEY_DOWN)) {
        if (!s_downLatch)
            g_dataLayer->menuDown(g_talkPartner->m_id);
        s_downLatch = true;
    } else {
        s_downLatch = false;
    }
}

void playCommands() {
    if (!g_hero)
        return;
    g_hero->turn(-g_input.m_mouseDY / 400.0f, -g_input.m_mouseDX / 400.0f);

    if (down(KEY_P)) {
        if (!s_pauseLatch)
            pauseAll(!g_hero->m_paused);
        s_pauseLatch = true;
    } else {
        s_pauseLatch = false;
    }

    if (button(0)) {
        g_hero->aim();
        s_leftButtonHeld = true;
    } else if (s_leftButtonHeld) {
        g_hero->shoot();
        s_leftButtonHeld = false;
    }

    if (button(1)) {
        if (!s_rightLatch) {
            g_hero->swingBat();
            PlayCue(CUE_BAT_SWING, g_hero->getPosition());
        }
        s_rightLatch = true;
    } else {
        s_rightLatch = false;
    }

    const int32_t w = g_hero->m_weapon;
    if (g_input.m_mouseWheel < 0)
        g_hero->selectWeapon((w + 1) % 3);
    else if (g_input.m_mouseWheel > 0)
        g_hero->selectWeapon(w - 1 < 0 ? 2 : w - 1);

    float forward = 0.0f, side = 0.0f;
    if (down(KEY_A))
        side -= 1.0f;
    if (down(KEY_W))
        forward += 1.0f;
    if (down(KEY_S))
        forward -= 1.0f;
    if (down(KEY_D))
        side += 1.0f;
    if (down(KEY_SPACE))
        g_hero->jump();
    g_hero->move(forward, side);

    Vector position = g_hero->getPosition();
    ClampToWorld(position, PLAYER_ID);
    if (g_dataLayer)
        g_dataLayer->movePlayer(position.x, position.z);

    if (down(KEY_LCONTROL) || down(KEY_LSHIFT)) {
        if (!s_dodgeLatch)
            g_hero->dodge();
        s_dodgeLatch = true;
    } else {
        s_dodgeLatch = false;
    }

    if (down(KEY_M)) {
        if (!s_mapLatch && g_hud)
            g_hud->putMapAway();
        s_mapLatch = true;
    } else {
        s_mapLatch = false;
    }

    if (down(KEY_T)) {
        FindTalkPartner();
        if (g_talkPartner) {
            g_gameState = STATE_CONVERSATION;
            pauseAll(true);
            g_talkStep = 0;
            stopVoices();
            if (g_hud)
                g_hud->conversationStarted();
            // Every talk opens its menu on the first answer, which costs nothing: an
            // answer picked last time must not be bought again by the Enter that goes on.
            if (NpcMenu* menu = g_dataLayer->npcMenu(g_talkPartner->m_id))
                menu->selected = 0;
            if (const int32_t first = firstVoice(partnerName()))
                playVoice(first);
        }
    }
}

} // namespace

int32_t ConversationStep() {
    return g_talkStep;
}

void ResetFrameCommandLatches() {
    s_enterLatch = s_pauseLatch = s_leftButtonHeld = s_rightLatch = false;
    s_dodgeLatch = s_upLatch = s_downLatch = s_mapLatch = false;
    g_talkStep = 0;
}

int32_t AnswerVoice(const char* partner, int32_t outcome, int32_t checked[4], int32_t& count) {
    struct Answer {
        const char* name;
        int32_t outcome;
        int32_t voice;
        int32_t checked[4];
        int32_t count;
    };
    static const Answer answers[] = {
        {"Rarozare", -1, 102, {101, 103, 104}, 3},    {"Rarozare", 0, 103, {101, 102, 104}, 3},
        {"Rarozare", 1, 104, {101, 102, 103}, 3},     {"Virav", 0, 302, {301, 303, 304}, 3},
        {"Virav", 1, 303, {301, 302, 304}, 3},        {"Virav", 2, 304, {301, 302, 303}, 3},
        {"Verozi", -1, 204, {201, 202, 203, 205}, 4}, {"Verozi", 0, 202, {201, 203, 204, 205}, 4},
        {"Verozi", 1, 203, {201, 202, 204, 205}, 4},  {"Verozi", 2, 205, {201, 202, 203, 204}, 4},
    };
    count = 0;
    if (!partner)
        return 0;
    for (const Answer& a : answers)
        if (a.outcome == outcome && std::strcmp(a.name, partner) == 0) {
            for (int32_t i = 0; i < a.count; ++i)
                checked[i] = a.checked[i];
            count = a.count;
            return a.voice;
        }
    return 0;
}

void ChooseMenuItem(NpcMenu& menu) {
    if (!g_hero || !g_talkPartner || !g_dataLayer)
        return;
    if (menu.selected < 0 || menu.selected >= menu.count)
        return;
    const int32_t id = menu.items[menu.selected].id;
    menu.fullReply = nullptr;
    auto react = [] {
        g_talkPartner->animationQueue().clear();
        g_talkPartner->animationQueue().push(3, 1000.0);
    };
    if (id >= 1 && id <= 3) {
        // Bread at full life was lost gems: what would all be thrown away is not sold.
        const bool full = id == 1   ? g_dataLayer->playerLife() >= 100
                          : id == 2 ? g_hero->m_blueAmmo >= 99
                                    : g_hero->m_redAmmo >= 99;
        if (full) {
            menu.selected = -1;
            menu.fullReply = id == 1 ? FULL_LIFE_REPLY : FULL_GUN_REPLY;
            return;
        }
        if (g_hero->m_gems < 10) {
            menu.selected = -1;
            return;
        }
        g_hero->m_gems -= 10;
        if (id == 1)
            PlayCue(CUE_TRADE_GEM, g_hero->getPosition());
        react();
        if (id == 1)
            g_dataLayer->setPlayerLife(std::min(g_dataLayer->playerLife() + 40, 100));
        else if (id == 2)
            g_hero->m_blueAmmo = std::min(g_hero->m_blueAmmo + 10, 99);
        else
            g_hero->m_redAmmo = std::min(g_hero->m_redAmmo + 10, 99);
    } else if (id == 4) {
        g_showMapRequested = true;
    }
}

void FindTalkPartner() {
    // Only someone standing near now counts: a partner from before may have walked off,
    // or belong to a level that is gone.
    g_talkPartner = nullptr;
    if (!g_hero || !g_dataLayer)
        return;
    g_talkPartner = PickTalkPartner(g_hero->getPosition(), g_hero->getDirection());
}

void ClampToWorld(Vector& position, int32_t identifier) {
    if (!g_dataLayer)
        return;
    const float maxX = g_dataLayer->m_worldWidth, maxZ = g_dataLayer->m_worldDepth;
    const float minimum = g_dataLayer->m_worldStart;
    const Vector before = position;
    if (position.x > maxX && position.z > maxZ) {
        position.x = maxX - 1.0f;
        position.z = maxZ - 1.0f;
    } else if (position.z > maxZ) {
        position.z = maxZ - 1.0f;
    } else if (position.x > maxX) {
        position.x = maxX - 1.0f;
    }
    if (position.x < minimum && position.z < minimum) {
        position.x = minimum;
        position.z = minimum;
    } else if (position.z < minimum) {
        position.z = minimum;
    } else if (position.x < minimum) {
        position.x = minimum;
    }
    if (position.x == before.x && position.z == before.z)
        return;
    ModelObject* object = nullptr;
    if (identifier == PLAYER_ID)
        object = g_hero;
    else if (identifier == BOSS_ID)
        object = g_boss;
    else if (identifier >= 0 && identifier < OBJECT_TABLE_SIZE)
        object = dynamic_cast<ModelObject*>(g_objectTable[identifier]);
    if (object) {
        object->setPosition(position);
        object->update();
    }
}

void FrameCommands() {
    g_input.Poll();
    if (AskingToLeave())
        return; // the game holds still until the question is answered
    if (g_gameState != STATE_TITLE)
        s_titleKeysArmed = false;
    switch (g_gameState) {
    case STATE_INTRO1:
    case STATE_INTRO2:
        introCommands();
        break;
    case STATE_TITLE:
        titleCommands();
        break;
    case STATE_GAME_OVER:
        if (down(KEY_ENTER)) {
            g_gameState = STATE_TITLE;
            ReleaseLevel();
            SetUpTitle();
        }
        break;
    case STATE_CREDITS:
        if (down(KEY_ENTER)) {
            g_gameState = STATE_TITLE;
            // The credits set-up releases the level on their first frame; an Enter on the
            // very frame the boss fell comes before it.
            ReleaseLevel();
            SetUpTitle();
        }
        break;
    case STATE_CONVERSATION:
        conversationCommands();
        break;
    case STATE_PLAY:
    case STATE_NONE:
        playCommands();
        break;
    default:
        break;
    }
}
