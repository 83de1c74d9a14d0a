#include "shell/cutscenes.h"

#include "hud/bitmapfont.h"
#include "models/ms3dmodel.h"
#include "objects/modelobject.h"
#include "objects/particleeffect.h"
#include "objects/poses.h"
#include "platform/cutsceneplayer.h"
#include "platform/gamestate.h"
#include "platform/soundmanager.h"
#include "platform/timer.h"
#include "shell/gamecontext.h"
#include "shell/levelstartup.h"
#include "shell/screens.h"
#include "world/camera.h"
#include "world/worldlight.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

ModelObject* g_actor = nullptr;
ModelObject* g_prop = nullptr;
ModelObject* g_lineEnemy = nullptr;
ModelObject* g_lineInsect = nullptr;
FlareEffect* g_sceneFlare = nullptr;
int32_t g_introStep = -1;
float g_flareRadius = 1.0f;

const PoseStep kHeroIntroScript[] = {
    {ANIMATION_HOLD, 5000},
    {ACTOR_HERO_SIT, 2000},
    {ANIMATION_HOLD, 8000},
    {ACTOR_HERO_STAND, 2000},
    {ACTOR_HERO_LOOK_UP, 1000},
    {ANIMATION_HOLD, 4000},
    {ACTOR_HERO_POINT_LEFT, 1000},
    {ACTOR_HERO_POINT_RIGHT, 1000},
    {ACTOR_HERO_POINT_LEFT, 1000},
    {ACTOR_HERO_POINT_RIGHT, 1000},
    {ACTOR_HERO_LOOK_UP, 1000},
    {ANIMATION_HOLD, 5000},
    {ACTOR_HERO_WIND_UP, 1000},
    {ACTOR_HERO_FOLLOW_THROUGH, 1000},
    {ACTOR_HERO_LOOK_UP, 1000},
    {ANIMATION_HOLD, 20000},
    {ACTOR_HERO_WIND_UP, 1000},
    {ACTOR_HERO_FOLLOW_THROUGH, 1000},
    {ACTOR_HERO_WIND_UP, 1000},
    {ACTOR_HERO_FOLLOW_THROUGH, 1000},
    {ACTOR_HERO_LOOK_UP, 4000},
    {ACTOR_HERO_WIND_UP, 1000},
    {ACTOR_HERO_FOLLOW_THROUGH, 1000},
    {ACTOR_HERO_WIND_UP, 1000},
    {ACTOR_HERO_FOLLOW_THROUGH, 1000},
    {ACTOR_HERO_LOOK_UP, 4000},
    {ANIMATION_HOLD, 2000},
    {ACTOR_HERO_WIND_UP, 1000},
    {ACTOR_HERO_FOLLOW_THROUGH, 1000},
    {ACTOR_HERO_WIND_UP, 1000},
    {ACTOR_HERO_FOLLOW_THROUGH, 1000},
    {ACTOR_HERO_LOOK_UP, 4000},
    {ANIMATION_HOLD, 19000},
    {ACTOR_HERO_CHEER, 1000},
    {ACTOR_HERO_JUMP, 1000},
    {ACTOR_HERO_CHEER, 1000},
    {ACTOR_HERO_JUMP, 1000},
    {ACTOR_HERO_TRIUMPH, 1000},
};
const int kHeroIntroScriptLength = int(sizeof kHeroIntroScript / sizeof kHeroIntroScript[0]);

const PoseStep kDodudaScript[] = {{ANIMATION_HOLD, 15000},          {ACTOR_DODUDA_STAND, 300},
                                  {ACTOR_DODUDA_RAISE_STAFF, 600},  {ANIMATION_HOLD, 4000},
                                  {ACTOR_DODUDA_THRUST_STAFF, 500}, {ANIMATION_HOLD, 3000}};
const int kDodudaScriptLength = int(sizeof kDodudaScript / sizeof kDodudaScript[0]);

const PoseStep kHeroCreditsScript[] = {
    {ANIMATION_HOLD, 1000},        {ACTOR_HERO_SIT, 2000},
    {ANIMATION_HOLD, 1000},        {ACTOR_HERO_STAND, 2000},
    {ACTOR_HERO_CHEER, 1500},      {ACTOR_HERO_JUMP, 1500},
    {ACTOR_HERO_CHEER, 1500},      {ACTOR_HERO_JUMP, 1500},
    {ACTOR_HERO_WIND_UP, 1500},    {ACTOR_HERO_FOLLOW_THROUGH, 1500},
    {ACTOR_HERO_WIND_UP, 1500},    {ACTOR_HERO_FOLLOW_THROUGH, 1500},
    {ACTOR_HERO_POINT_LEFT, 1500}, {ACTOR_HERO_POINT_RIGHT, 1500},
    {ACTOR_HERO_LOOK_UP, 1000},    {ANIMATION_HOLD, 10000},
};
const int kHeroCreditsScriptLength = int(sizeof kHeroCreditsScript / sizeof kHeroCreditsScript[0]);

namespace {

// The scenes keep their own clock, so that every move, turn and fade is per millisecond and
// a scene looks the same and lasts as long at any frame rate.
std::unique_ptr<Timer> s_clock;
// The first scene opens on a still figure in the dark for a long while: for its first
// seconds a line says how to skip it.
std::unique_ptr<BitmapFont> s_skipFont;
constexpr double SKIP_HINT_MS = 10000.0;
double s_sceneMs = 0.0;    // since the current scene began
double s_flareSteps = 0.0; // the flare's steps due, in 60ths of a second
// The script's amounts are per frame at 60 frames a second.
constexpr double FRAME_MS = 1000.0 / 60.0;
// A stall (loading the second scene, a dragged window) is not taken as one long step.
constexpr double LONGEST_FRAME_MS = 250.0;
// A free move covers this share of the elapsed milliseconds / the ease divisor: at that pace
// the first scene's turn circles the hero at the 40 units the camera stands from him, and the
// second scene's circles Doduda.
constexpr float FREE_MOVE_SHARE = 0.2f;

void startSceneClock() {
    s_flareSteps = 0.0;
    if (!s_clock)
        s_clock.reset(CreateTimer());
    if (s_clock)
        s_clock->Reset();
    s_sceneMs = 0.0;
}

// The milliseconds of this frame.
double frameMs() {
    if (!s_clock)
        startSceneClock();
    double ms = s_clock ? s_clock->Elapsed() : FRAME_MS;
    if (s_clock)
        s_clock->Reset();
    return std::clamp(ms, 0.0, LONGEST_FRAME_MS);
}

// The distance a free move covers in `ms` at the camera's ease divisor.
float freeMove(float ms) {
    return ms * FREE_MOVE_SHARE / g_camera->m_easeDivisor;
}

// The camera's right-hand vector on the ground.
Vector cameraSide() {
    const Vector d = g_camera->getDirection();
    Vector side;
    side.cross(Vector(d.x, 0.0f, d.z), Vector(0.0f, 1.0f, 0.0f));
    side.normalize();
    return side;
}

void shiftCamera(const Vector& by) {
    g_camera->setPosition(g_camera->getPosition() + by);
}

// `approach` with a divisor meant per frame at 60 frames a second, over `frames` such frames:
// the same share of the gap is left after the same time at any frame rate. Only view
// directions are eased, so there is no snap at the end: on a direction of length 1,
// approach's 0.7 would jump the view by up to 40 degrees.
Vector easeToward(const Vector& from, const Vector& to, float divisor, float frames) {
    const double share = 1.0 - std::pow(1.0 - 1.0 / double(divisor), double(frames));
    return from + (to - from) * float(share);
}

// The flare's particles move one step per 60th of a second of the scene, not per frame.
void runFlare(double ms, bool drawIt) {
    if (!g_sceneFlare)
        return;
    if (drawIt)
        g_sceneFlare->drawParticles();
    for (s_flareSteps += ms / FRAME_MS; s_flareSteps >= 1.0; s_flareSteps -= 1.0)
        g_sceneFlare->advance();
}

// Doduda's head, where the second scene's camera looks once it is past the figures.
const Vector DODUDA_HEAD(0.0f, 16.0f, 0.0f);

template <typename T> void destroy(T*& p) {
    delete p;
    p = nullptr;
}

void setLight0(float x, float y, float z, float g, float ambient, float blueAmbient) {
    const float diffuse[] = {g, g, g};
    const float dim[] = {ambient, ambient, blueAmbient};
    SetPointLight0(x, y, z, diffuse, dim);
}

// Light 0 at its place with every part (g, g, g).
void glowLight0(float g) {
    glPushMatrix();
    const GLfloat colour[] = {g, g, g, 1.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
    glLightfv(GL_LIGHT0, GL_AMBIENT, colour);
    glLightfv(GL_LIGHT0, GL_SPECULAR, colour);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

ModelObject* makeActor(const char* file) {
    auto* actor = new ModelObject();
    actor->loadModel(file);
    return actor;
}

void script(ModelObject& actor, const PoseStep* steps, int count) {
    actor.m_animationQueue = std::make_unique<AnimationQueue>(40);
    for (int i = 0; i < count; ++i)
        actor.m_animationQueue->push(steps[i].pose, steps[i].ms);
}

// The hero of the first scene and the credits: facing +x, outlined, shadowed every
// frame, starting asleep.
ModelObject* makeHeroActor(const PoseStep* steps, int count) {
    ModelObject* hero = makeActor("Data/tarvo_moviestar.ms3d");
    hero->setDirection(Vector(1.0f, 0.0f, 0.0f));
    hero->setShadowPeriod(1);
    hero->model().setOutline(true);
    hero->model().blendToPose(ACTOR_HERO_ASLEEP, 0.0);
    script(*hero, steps, count);
    return hero;
}

ModelObject* makeTree() {
    ModelObject* tree = makeActor("Data/tree.ms3d");
    tree->setPosition(Vector(-20.0f, 0.0f, 0.0f));
    tree->model().setOutline(true);
    return tree;
}

void drawScene() {
    for (ModelObject* o : {g_actor, g_prop, g_lineEnemy, g_lineInsect})
        if (o)
            o->draw();
}

} // namespace

double ScriptLength(const PoseStep* steps, int count) {
    double ms = 0.0;
    for (int i = 0; i < count; ++i)
        ms += steps[i].ms;
    return ms;
}

int32_t ScriptStepAt(const PoseStep* steps, int count, double ms) {
    int32_t step = -1;
    double end = 0.0;
    for (int i = 0; i < count; ++i) {
        end += steps[i].ms;
        if (end > ms)
            break;
        if (steps[i].pose > -1)
            step = steps[i].pose;
    }
    return step;
}

double NextScriptChange(const PoseStep* steps, int count, double ms) {
    double end = 0.0;
    for (int i = 0; i < count; ++i) {
        end += steps[i].ms;
        if (end > ms && steps[i].pose > -1)
            return end;
    }
    return std::numeric_limits<double>::infinity();
}

double SceneTime() {
    return s_sceneMs;
}

bool SetUpFirstScene() {
    destroy(g_camera);
    g_camera = new Camera();
    g_camera->setDirection(Vector(0.0f, 0.0f, -1.0f));
    g_camera->setPosition(Vector(-40.0f, 10.0f, 40.0f));
    g_camera->setEaseDivisor(20.0f);

    NewWorldLight();
    ReleaseCutscene();
    g_actor = makeHeroActor(kHeroIntroScript, kHeroIntroScriptLength);
    g_prop = makeTree();
    SetSceneShadow(40.0f, 25.0f, 0.0f, 100.0f, g_actor);

    g_sceneFlare = new FlareEffect(30.0f, 30.0f, 30.0f);
    g_sceneFlare->setGravity(-2.0f, -2.0f, -2.0f);
    g_sceneFlare->setAngle(45.0f);
    g_sceneFlare->setFactor(1.0f);
    g_sceneFlare->setTexture("Data/Flare.bmp");
    g_sceneFlare->setRingSize(3.0f);
    g_sceneFlare->setPalette(true);
    g_sceneFlare->layOut(true);

    setLight0(30.0f, 30.0f, 0.0f, g_titleGlow, 0.1f, 0.3f);
    g_introStep = -1;
    startSceneClock();
    s_skipFont = std::make_unique<BitmapFont>("Times New Roman", 20);
    s_skipFont->setColor(0.6f, 0.6f, 0.7f);
    s_skipFont->setPosition(310.0f, 570.0f);

    StartCutsceneSound();
    PlayCutsceneScene(401);
    return true;
}

namespace {

// The first scene's moves over `ms` of its time (a piece of a frame within one script step).
void moveFirstScene(float ms) {
    const float frames = ms / float(FRAME_MS);
    // The camera slides in first; the script and the light wait for it.
    if (g_camera->getPosition().x < 0.0f) {
        shiftCamera(cameraSide() * freeMove(ms));
        return;
    }
    g_titleGlow = std::min(g_titleGlow + 0.1f * frames, 30.0f);
    if (g_introStep >= 2 && g_introStep < 4) {
        // Round to the hero's face.
        g_camera->setEaseDivisor(12.0f);
        if (g_camera->getPosition().z > 0.0f)
            shiftCamera(cameraSide() * freeMove(ms));
        Vector p = g_camera->getPosition();
        p.x = std::min(p.x, 50.0f);
        g_camera->setPosition(p);
        g_camera->turn(0.0f, 0.007f * frames);
    }
    if (g_introStep >= 8)
        g_titleGlow -= 0.4f * frames;
}

// The frame's time in pieces of at most a 60th of a second that end where the script's step
// changes, so that every move is taken in the step it belongs to at any frame rate.
template <typename Move> void runScript(double ms, const PoseStep* steps, int count, Move move) {
    while (ms > 0.0) {
        g_introStep = ScriptStepAt(steps, count, s_sceneMs);
        const double piece =
            std::min({ms, FRAME_MS, NextScriptChange(steps, count, s_sceneMs) - s_sceneMs});
        move(float(piece));
        s_sceneMs += piece;
        ms -= piece;
    }
    g_introStep = ScriptStepAt(steps, count, s_sceneMs);
}

void stepFirstScene(double ms) {
    const bool slidingIn = g_camera->getPosition().x < 0.0f;
    runScript(ms, kHeroIntroScript, kHeroIntroScriptLength, moveFirstScene);
    if (slidingIn)
        return;
    // The poses follow the actor's queue; the scene's steps follow the script's clock, which
    // loses nothing at the end of each pose however long the frames are.
    if (g_actor)
        g_actor->animationQueue().advance(g_actor->model());
    glowLight0(g_titleGlow);
    if (g_introStep == 10) {
        SwitchToSecondScene();
        g_gameState = STATE_INTRO2;
    }
}

} // namespace

void IntroSceneOne() {
    const double ms = frameMs();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
    g_camera->apply();
    drawScene();
    PlaceSceneShadows();
    DrawSceneShadows();
    if (g_camera->getPosition().x >= 0.0f)
        runFlare(ms, true);
    if (SkipHintShown())
        printText(s_skipFont.get(), "Press Enter to skip");
    stepFirstScene(ms);
    glFlush();
}

void SwitchToSecondScene() {
    destroy(g_actor);
    g_actor = makeActor("Data/doduda_moviestar.ms3d");
    script(*g_actor, kDodudaScript, kDodudaScriptLength);
    destroy(g_prop);
    g_prop = makeActor("Data/magic_line.ms3d");
    destroy(g_lineEnemy);
    g_lineEnemy = makeActor("Data/enemy_line.ms3d");
    g_lineEnemy->setPosition(Vector(50.0f, 0.0f, 0.0f));
    g_lineEnemy->setDirection(Vector(-1.0f, 0.0f, 0.0f));
    destroy(g_lineInsect);
    g_lineInsect = makeActor("Data/insect_line.ms3d");
    g_lineInsect->setPosition(Vector(100.0f, 0.0f, 0.0f));
    g_lineInsect->setDirection(Vector(-1.0f, 0.0f, 0.0f));
    SetSceneShadow(0.0f, 80.0f, 0.0f, 100.0f, g_prop, g_lineEnemy, g_lineInsect);
    if (g_sceneFlare) {
        g_sceneFlare->setRingSize(1.0f);
        g_sceneFlare->setGravity(0.0f, 3.0f, 0.0f);
        g_sceneFlare->setAngle(90.0f);
        g_sceneFlare->setPosition(0.0f, 75.0f, 0.0f);
    }
    g_camera->setPosition(Vector(-50.0f, 80.0f, -50.0f));
    g_camera->setDirection(Vector(1.0f, -0.7f, 1.0f));
    setLight0(0.0f, 80.0f, 0.0f, g_titleGlow, g_titleGlow, g_titleGlow);
    g_camera->setEaseDivisor(20.0f);
    g_titleGlow = 0.0f;
    g_introStep = -1;
    startSceneClock(); // loading the models is not part of the scene
    StopCutsceneSlot(CUTSCENE_SLOT_DREAM_MUSIC);
    PlayCutsceneScene(400);
}

namespace {

// The second scene's moves over `ms` of its time (a piece of a frame within one script step).
void moveSecondScene(float ms) {
    const float frames = ms / float(FRAME_MS);
    // Circle the figures, then look at the point above Doduda.
    Vector p = g_camera->getPosition();
    if (p.z < 0.0f) {
        shiftCamera(cameraSide() * -freeMove(ms));
        g_camera->turn(0.0f, -0.002f * frames);
        if (g_camera->getPosition().x > 100.0f) {
            g_camera->turn(0.0f, -0.004f * frames);
            p = g_camera->getPosition();
            p.y -= 0.05f * frames;
            p.x = std::min(p.x, 300.0f);
            g_camera->setPosition(p);
        }
    } else {
        // Past the figures the view comes round to Doduda's head. It turns by a share of the
        // angle between them: easing the direction toward the whole vector to him turned the
        // view in a moment and up past him, into the empty dark above.
        const Vector d = g_camera->getDirection();
        Vector toHead = DODUDA_HEAD - p;
        toHead.normalize();
        g_camera->setDirection(easeToward(d, toHead * d.length(), 30.0f, frames));
    }
    g_titleGlow += 0.5f * frames;
    if (g_introStep == 0 && g_camera->getPosition().x > 20.0f) {
        // The swoop down to Doduda.
        g_camera->setEaseDivisor(2.0f);
        shiftCamera(g_camera->getDirection() * freeMove(ms));
        p = g_camera->getPosition();
        p.x = std::max(p.x, 10.0f);
        p.y = std::min(p.y, 50.0f);
        g_camera->setPosition(p);
    }
    if (g_introStep == 2) {
        // Away over the lines while the flare opens.
        g_camera->setDirection(
            easeToward(g_camera->getDirection(), Vector(-1.0f, 0.0f, 0.0f), 100.0f, frames));
        shiftCamera(g_camera->getDirection() * -freeMove(ms));
        g_titleGlow -= 3.0f * frames;
        if (g_camera->getPosition().x > 50.0f && g_sceneFlare) {
            g_sceneFlare->setRingSize(g_flareRadius);
            g_sceneFlare->setFactor(20.0f);
            g_flareRadius += 20.0f * frames;
        }
    }
}

void stepSecondScene(double ms) {
    runScript(ms, kDodudaScript, kDodudaScriptLength, moveSecondScene);
    glowLight0(g_titleGlow);
    if (g_actor)
        g_actor->animationQueue().advance(g_actor->model());
    // The flight ends past x 900, or at the latest when Doduda's script is over.
    if (g_camera->getPosition().x > 900.0f ||
        s_sceneMs >= ScriptLength(kDodudaScript, kDodudaScriptLength)) {
        g_gameState = STATE_TITLE;
        ReleaseCutscene();
        SetUpTitle();
        g_titleGlow = 0.0f;
    }
}

} // namespace

void IntroSceneTwo() {
    const double ms = frameMs();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
    g_camera->apply();
    drawScene();
    PlaceSceneShadows();
    DrawSceneShadows();
    runFlare(ms, true);
    stepSecondScene(ms);
    glFlush();
}

void AdvanceIntroScene() {
    const double ms = frameMs();
    if (g_gameState == STATE_INTRO1) {
        if (g_camera->getPosition().x >= 0.0f)
            runFlare(ms, false);
        stepFirstScene(ms);
    } else if (g_gameState == STATE_INTRO2) {
        runFlare(ms, false);
        stepSecondScene(ms);
    }
}

bool SetUpCredits() {
    ReleaseLevel();
    SetScreenGLState();
    ReleaseCutscene();
    g_actor = makeHeroActor(kHeroCreditsScript, kHeroCreditsScriptLength);
    g_prop = makeTree();
    NewWorldLight();
    SetSceneShadow(0.0f, 30.0f, 0.0f, 100.0f, g_actor);
    destroy(g_font);
    g_font = new BitmapFont("Times New Roman", 30);
    g_font->setColor(1.0f, 1.0f, 1.0f);
    g_font->setPosition(200.0f, 500.0f);
    PlaySlot(SLOT_DREAM_MUSIC, 2);
    PlaySlot(SLOT_ENDING_VOICE, PLAY_ONCE_COUNT);
    g_startCountdown = 0;
    return true;
}

bool SkipHintShown() {
    return s_skipFont && g_gameState == STATE_INTRO1 && s_sceneMs < SKIP_HINT_MS;
}

void ReleaseCutscene() {
    s_skipFont.reset();
    destroy(g_actor);
    destroy(g_prop);
    destroy(g_lineEnemy);
    destroy(g_lineInsect);
    destroy(g_sceneFlare);
}
