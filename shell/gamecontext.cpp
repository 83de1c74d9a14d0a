#include "shell/gamecontext.h"

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
#include "platform/soundmanager.h"
#include "shell/framerate.h"
#include "world/camera.h"
#include "world/collisionworld.h"
#include "world/skybox.h"
#include "world/terrain.h"
#include "world/viewfrustum.h"
#include "world/water.h"
#include "world/worldlight.h"

// Declared beside their classes. g_input is defined beside QRVInput, which must be
// complete there.
GameState g_gameState = STATE_INTRO1;
SoundManager* g_sound = nullptr;
CutscenePlayer* g_cutsceneSound = nullptr;
Player* g_hero = nullptr;
Boss* g_boss = nullptr;
SceneObject* g_objectTable[OBJECT_TABLE_SIZE] = {};
QRVDataLayer* g_dataLayer = nullptr;
Terrain* g_terrain = nullptr;
SkyBox* g_skyBox = nullptr;
Water* g_water = nullptr;
Camera* g_camera = nullptr;
WorldLight* g_light = nullptr;
CollisionWorld* g_collisionWorld = nullptr;
ProjectileList* g_projectiles = nullptr;
ViewFrustum* g_frustum = nullptr;
FrameRate* g_frameRate = nullptr;
BitmapFont* g_font = nullptr;
Hud* g_hud = nullptr;
FireEffect* g_fountain = nullptr;
Gem* g_gems[GEM_TABLE_SIZE] = {};
int32_t g_gemCount = 0;
int32_t g_startCountdown = 100;
float g_titleGlow = 1.0f;
Npc* g_talkPartner = nullptr;
