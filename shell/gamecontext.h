// The global game context: the level-wide objects and values through which the
// subsystems find each other. Pointers are null until created; the level release
// (ReleaseLevel) destroys the level's objects in a fixed order and nulls them.
#pragma once

#include <cstdint>

class QRVInput;
class SoundManager;
class CutscenePlayer;
class Player;
class Boss;
class SceneObject;
class QRVDataLayer;
class Terrain;
class SkyBox;
class Water;
class Camera;
class WorldLight;
class CollisionWorld;
class ProjectileList;
class ViewFrustum;
class FrameRate;
class BitmapFont;
class Hud;
class FireEffect;
class Gem;
class Npc;

// What each frame runs.
enum GameStateValue : int32_t {
    STATE_TITLE = 0,
    STATE_PLAY = 1,
    STATE_NONE = 2,
    STATE_INTRO1 = 3,
    STATE_INTRO2 = 4,
    STATE_CONVERSATION = 5,
    STATE_GAME_OVER = 6,
    STATE_CREDITS = 7,
};
using GameState = int32_t;

constexpr int OBJECT_TABLE_SIZE = 250;
constexpr int GEM_TABLE_SIZE = 250;

extern GameState g_gameState;
extern QRVInput g_input;
extern SoundManager* g_sound;
extern CutscenePlayer* g_cutsceneSound;
extern Player* g_hero;
extern Boss* g_boss;
extern SceneObject* g_objectTable[OBJECT_TABLE_SIZE];
extern QRVDataLayer* g_dataLayer;
extern Terrain* g_terrain;
extern SkyBox* g_skyBox;
extern Water* g_water;
extern Camera* g_camera;
extern WorldLight* g_light;
extern CollisionWorld* g_collisionWorld;
extern ProjectileList* g_projectiles;
extern ViewFrustum* g_frustum;
extern FrameRate* g_frameRate;
extern BitmapFont* g_font;
extern Hud* g_hud;
extern FireEffect* g_fountain;
extern Gem* g_gems[GEM_TABLE_SIZE];
extern int32_t g_gemCount;
extern int32_t g_startCountdown;
extern float g_titleGlow;
extern Npc* g_talkPartner;
