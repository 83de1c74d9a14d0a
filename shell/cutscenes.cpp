#include "shell/cutscenes.h"

#include "models/ms3dmodel.h"
#include "objects/modelobject.h"
#include "objects/particleeffect.h"
#include "shell/gamecontext.h"
#include "shell/services.h"
#include "shell/mainloop.h"
#include "shell/screens.h"
#include "hud/bitmapfont.h"
#include "world/camera.h"

#include <GL/gl.h>
#include <algorithm>

ModelObject* g_actor = nullptr;
ModelObject* g_prop = nullptr;
ModelObject* g_lineEnemy = nullptr;
ModelObject* g_lineInsect = nullptr;
FlareEffect* g_sceneFlare = nullptr;
int32_t g_introStep = -1;
float g_flareRadius = 1.0f;

const PoseStep kHeroIntroScript[] = {
    {-9, 5000},  {7, 2000}, {-9, 8000}, {0, 2000},  {1, 1000}, {-9, 4000}, {2, 1000}, {3, 1000},
    {2, 1000},   {3, 1000}, {1, 1000},  {-9, 5000}, {4, 1000}, {5, 1000},  {1, 1000}, {-9, 20000},
    {4, 1000},   {5, 1000}, {4, 1000},  {5, 1000},  {1, 4000}, {4, 1000},  {5, 1000}, {4, 1000},
    {5, 1000},   {1, 4000}, {-9, 2000}, {4, 1000},  {5, 1000}, {4, 1000},  {5, 1000}, {1, 4000},
    {-9, 19000}, {8, 1000}, {9, 1000},  {8, 1000},  {9, 1000}, {10, 1000},
};
const int kHeroIntroScriptLength = int(sizeof kHeroIntroScript / sizeof kHeroIntroScript[0]);

const PoseStep kDodudaScript[] = {{-9, 15000}, {0, 300}, {1, 600},
                                  {-9, 4000},  {2, 500}, {-9, 3000}};
const int kDodudaScriptLength = int(sizeof kDodudaScript / sizeof kDodudaScript[0]);

const PoseStep kHeroCreditsScript[] = {
    {-9, 1000}, {7, 2000}, {-9, 1000}, {0, 2000}, {8, 1500}, {9, 1500}, {8, 1500}, {9, 1500},
    {4, 1500},  {5, 1500}, {4, 1500},  {5, 1500}, {2, 1500}, {3, 1500}, {1, 1000}, {-9, 10000},
};
const int kHeroCreditsScriptLength = int(sizeof kHeroCreditsScript / sizeof kHeroCreditsScript[0]);

namespace {

template <typename T> void destroy(T*& p) {
    delete p;
    p = nullptr;
}

void setLight0(float x, float y, float z, float g, float ambient, float blueAmbient) {
    glPushMatrix();
    const GLfloat position[] = {x, y, z, 1.0f};
    const GLfloat diffuse[] = {g, g, g, 1.0f};
    const GLfloat dim[] = {ambient, ambient, blueAmbient, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, dim);
    glLightfv(GL_LIGHT0, GL_SPECULAR, dim);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0.0002f);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glPopMatrix();
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
// frame, starting from pose 6.
ModelObject* makeHeroActor(const PoseStep* steps, int count) {
    ModelObject* hero = makeActor("Data/tarvo_moviestar.ms3d");
    hero->setDirection(Vector(1.0f, 0.0f, 0.0f));
    hero->setShadowPeriod(1);
    hero->model().setOutline(true);
    hero->model().blendToPose(6, 0.0);
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

    StartCutsceneSound();
    PlayCutsceneScene(401);
    return true;
}

void IntroSceneOne() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
    g_camera->apply();
    drawScene();
    DrawSceneShadows();
    // The camera slides in first; the script and the light wait for it.
    if (g_camera->getPosition().x < 0.0f) {
        g_camera->strafeRight();
        glFlush();
        return;
    }
    if (g_sceneFlare)
        g_sceneFlare->draw();
    if (g_actor) {
        const int32_t step = g_actor->animationQueue().advance(g_actor->model());
        if (step > -1)
            g_introStep = step;
    }
    glowLight0(g_titleGlow);
    g_titleGlow = std::min(g_titleGlow + 0.1f, 30.0f);
    if (g_introStep >= 2 && g_introStep < 4) {
        g_camera->setEaseDivisor(12.0f);
        if (g_camera->getPosition().z > 0.0f)
            g_camera->strafeRight();
        Vector p = g_camera->getPosition();
        p.x = std::min(p.x, 50.0f);
        g_camera->setPosition(p);
        g_camera->turn(0.0f, 0.007f);
    }
    if (g_introStep >= 8)
        g_titleGlow -= 0.4f;
    if (g_introStep == 10) {
        SwitchToSecondScene();
        g_gameState = STATE_INTRO2;
    }
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
    StopCutsceneSlot(2); // the dream music
    PlayCutsceneScene(400);
}

void IntroSceneTwo() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
    g_camera->apply();
    drawScene();
    DrawSceneShadows();

    Vector p = g_camera->getPosition();
    if (p.z < 0.0f) {
        g_camera->strafeLeft();
        g_camera->turn(0.0f, -0.002f);
        if (g_camera->getPosition().x > 100.0f) {
            g_camera->turn(0.0f, -0.004f);
            p = g_camera->getPosition();
            p.y -= 0.05f;
            p.x = std::min(p.x, 300.0f);
            g_camera->setPosition(p);
        }
    } else {
        const Vector toCentre = Vector(0.0f, 60.0f, 0.0f) - p;
        Vector d;
        d.approach(g_camera->getDirection(), toCentre, 10000.0f);
        g_camera->setDirection(d);
    }
    g_titleGlow += 0.5f;
    if (g_introStep == 0 && g_camera->getPosition().x > 20.0f) {
        g_camera->setEaseDivisor(2.0f);
        g_camera->moveForward();
        p = g_camera->getPosition();
        p.x = std::max(p.x, 10.0f);
        p.y = std::min(p.y, 50.0f);
        g_camera->setPosition(p);
    }
    if (g_introStep == 2) {
        Vector d;
        d.approach(g_camera->getDirection(), Vector(-1.0f, 0.0f, 0.0f), 100.0f);
        g_camera->setDirection(d);
        g_camera->moveBackward();
        g_titleGlow -= 3.0f;
        if (g_camera->getPosition().x > 50.0f && g_sceneFlare) {
            g_sceneFlare->setRingSize(g_flareRadius);
            g_sceneFlare->setFactor(20.0f);
            g_flareRadius += 20.0f;
        }
    }
    glowLight0(g_titleGlow);
    if (g_sceneFlare)
        g_sceneFlare->draw();
    if (g_actor) {
        const int32_t step = g_actor->animationQueue().advance(g_actor->model());
        if (step > -1)
            g_introStep = step;
    }
    if (g_camera->getPosition().x > 900.0f) {
        g_gameState = STATE_TITLE;
        ReleaseCutscene();
        SetUpTitle();
        g_titleGlow = 0.0f;
    }
    glFlush();
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
    PlaySlot(21, 2);               // the dream music
    PlaySlot(20, PLAY_ONCE_COUNT); // the ending voice
    g_startCountdown = 0;
    return true;
}

void ReleaseCutscene() {
    destroy(g_actor);
    destroy(g_prop);
    destroy(g_lineEnemy);
    destroy(g_lineInsect);
    destroy(g_sceneFlare);
}
