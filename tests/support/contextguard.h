// The global game context kept safe around a test: ContextGuard saves every global of the game
// context when it is made and puts them back when it goes, and meanwhile answers each message box
// with Ok and keeps it for the test to read. So a test may set the level's globals or load files
// that are not there without leaking into the next test or waiting on a modal box. Level objects
// the test made (gems, for instance) are still the test's to free.
#pragma once

#include "hud/bitmapfont.h"
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/gem.h"
#include "objects/npc.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/projectilelist.h"
#include "platform/cutsceneplayer.h"
#include "platform/gamestate.h"
#include "platform/messagebox.h"
#include "platform/soundmanager.h"
#include "shell/framerate.h"
#include "shell/gamecontext.h"
#include "world/camera.h"
#include "world/collisionworld.h"
#include "world/skybox.h"
#include "world/terrain.h"
#include "world/viewfrustum.h"
#include "world/water.h"
#include "world/worldlight.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ShownBox {
    std::string text, title;
    bool operator==(const ShownBox& o) const { return text == o.text && title == o.title; }
};

class ContextGuard {
public:
    ContextGuard();
    ~ContextGuard();
    ContextGuard(const ContextGuard&) = delete;
    ContextGuard& operator=(const ContextGuard&) = delete;

    // The boxes shown since the guard was made, oldest first (the test may clear them).
    std::vector<ShownBox> m_boxes;

private:
    GameState m_gameState;
    SoundManager* m_sound;
    CutscenePlayer* m_cutsceneSound;
    Player* m_hero;
    Boss* m_boss;
    SceneObject* m_objectTable[OBJECT_TABLE_SIZE];
    QRVDataLayer* m_dataLayer;
    Terrain* m_terrain;
    SkyBox* m_skyBox;
    Water* m_water;
    Camera* m_camera;
    WorldLight* m_light;
    CollisionWorld* m_collisionWorld;
    ProjectileList* m_projectiles;
    ViewFrustum* m_frustum;
    FrameRate* m_frameRate;
    BitmapFont* m_font;
    Hud* m_hud;
    FireEffect* m_fountain;
    Gem* m_gems[GEM_TABLE_SIZE];
    int32_t m_gemCount;
    int32_t m_startCountdown;
    float m_titleGlow;
    Npc* m_talkPartner;
    ContextGuard* m_outer; // a guard made earlier and still alive gets the boxes back
};

// A fixture whose every test runs inside a ContextGuard.
class ContextTest : public testing::Test {
protected:
    ContextGuard m_context;
};
