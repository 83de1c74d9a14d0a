#include "shell/levelstartup.h"

#include "hud/bitmapfont.h"
#include "hud/hud.h"
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/gem.h"
#include "objects/npc.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/projectilelist.h"
#include "platform/gamestate.h"
#include "platform/cutsceneplayer.h"
#include "platform/qrvinput.h"
#include "platform/soundmanager.h"
#include "platform/timer.h"
#include "shell/cutscenes.h"
#include "shell/framerate.h"
#include "shell/gamecontext.h"
#include "shell/levelbuilder.h"
#include "shell/screens.h"
#include "shell/window.h"
#include "world/camera.h"
#include "world/collisionworld.h"
#include "world/skybox.h"
#include "world/terrain.h"
#include "world/viewfrustum.h"
#include "world/water.h"
#include "world/worldlight.h"

#include <GL/gl.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

template <typename T> void destroy(T*& p) {
    delete p;
    p = nullptr;
}

template <typename T> void replace(T*& p, T* with) {
    delete p;
    p = with;
}

void worldGLState() {
    SetSceneGLState();
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
}

} // namespace

bool StartLevel() {
    worldGLState();
    // A new game starts empty: nothing of a game that was not released may carry over
    // (its objects, gems or talk partner).
    ReleaseLevel();
    replace(g_hero, new Player());
    replace(g_boss, new Boss());
    replace(g_skyBox, new SkyBox());
    replace(g_terrain, new Terrain());
    // A second game starts from a fresh data layer, HUD, water and frustum test.
    replace(g_dataLayer, new QRVDataLayer());
    LoadLevel("data/flatlandriver.xml", *g_dataLayer, g_terrain, g_skyBox, g_hero, g_boss,
              g_objectTable);
    replace(g_collisionWorld, new CollisionWorld());
    replace(g_projectiles, new ProjectileList());
    g_input.Init();
    replace(g_camera, new Camera());
    g_camera->setTarget(g_hero);
    g_camera->setEaseDivisor(30.0f);
    g_collisionWorld->addObject(g_hero, COLLISION_MOVING);
    replace(g_font, new BitmapFont("Arial", 30));
    g_font->setColor(1.0f, 1.0f, 1.0f);
    replace(g_frameRate, new FrameRate());
    g_frameRate->timer().Resume();
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        SceneObject* object = g_objectTable[i];
        if (!object)
            continue;
        if (auto* model = dynamic_cast<ModelObject*>(object))
            model->update();
        g_collisionWorld->addObject(
            object, g_dataLayer->kindOf(i) == KIND_STATIC ? COLLISION_STATIC : COLLISION_MOVING);
    }
    g_collisionWorld->addObject(g_boss, COLLISION_MOVING);
    replace(g_water, new Water());
    NewWorldLight();
    auto* fountain = new FireEffect();
    fountain->setTexture("Data/p2.bmp");
    // On the land: the flames' lowest reach sits on the ground there. Drawn over everything
    // (depth always), flames reaching below it looked like a ball floating over the grass.
    fountain->setPosition(340.0f, float(g_terrain->height(340, 530)) + fountain->reachBelow(),
                          530.0f);
    replace(g_fountain, fountain);
    replace(g_hud, new Hud());
    g_hud->loadTextures();
    replace(g_frustum, new ViewFrustum());
    g_frustum->m_shadowRange = 400.0f;
    return true;
}

void ReleaseLevel() {
    // Nothing may point into the level once it is gone: the talk partner is one of its
    // characters, and the light remembers the hero.
    g_talkPartner = nullptr;
    ForgetWorldLightHero();
    for (Gem*& gem : g_gems)
        destroy(gem);
    g_gemCount = 0;
    for (SceneObject*& object : g_objectTable)
        destroy(object);
    destroy(g_boss);
    destroy(g_hero);
    destroy(g_font);
    destroy(g_terrain);
    destroy(g_skyBox);
    destroy(g_projectiles);
    destroy(g_collisionWorld);
    destroy(g_camera);
    destroy(g_fountain);
    destroy(g_frameRate);
#ifdef __GLIBC__
    // A level is a few hundred megabytes of small blocks; hand the freed pages back now,
    // or the next game is built beside them and the process keeps both.
    malloc_trim(0);
#endif
}

bool StartGame(int level) {
    DeleteWorldLight();
    destroy(g_titleModel);
    destroy(g_titleBackdrop);
    destroy(g_font);
    // Whatever screen came before, the new game starts without its actors.
    ReleaseCutscene();
    if (level == 1) {
        StartLevel();
        g_startCountdown = 100;
        g_gameState = STATE_PLAY;
    }
    return true;
}

void CloseGame() {
    ShutDownSound();
    ReleaseLevel();
    PostQuit(0);
}
