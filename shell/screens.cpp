#include "shell/screens.h"

#include "hud/bitmapfont.h"
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "objects/modelobject.h"
#include "objects/npc.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "platform/cutsceneplayer.h"
#include "platform/frameprofile.h"
#include "platform/qrvinput.h"
#include "platform/soundmanager.h"
#include "shell/cutscenes.h"
#include "shell/framecommands.h"
#include "shell/gamecontext.h"
#include "world/camera.h"
#include "world/worldlight.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>

ModelObject* g_titleModel = nullptr;
ModelObject* g_titleBackdrop = nullptr;
FlareEffect* g_titleFlare = nullptr;
GLUquadric* g_cursorBall = nullptr;

namespace {

template <typename T> void destroy(T*& p) {
    delete p;
    p = nullptr;
}

bool heroPosition(Vector& at) {
    if (!g_hero)
        return false;
    at = g_hero->getPosition();
    return true;
}

// Draws one game random number whenever the data layer has any enemy.
bool randomEnemyPosition(Vector& at) {
    EnemyData* enemy = g_dataLayer ? g_dataLayer->randomEnemy() : nullptr;
    if (!enemy)
        return false;
    at = Vector(enemy->x, 0.0f, enemy->z);
    return true;
}

// The faces of the title words; the set-up's font is replaced on the first title frame.
bool s_titleFontReady = false;
// The smaller line under the menu that says how to start; made with the title's words.
BitmapFont* s_titleHint = nullptr;
constexpr const char* TITLE_HINT = "Click a word, or choose with Up and Down and press Enter";

void cursor(float& cx, float& cy) {
    cx = g_input.m_cursorX;
    cy = g_input.m_cursorY;
}

} // namespace

void SetSceneGLState() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glClearStencil(0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    const GLfloat ambient[] = {0.4f, 0.4f, 0.4f, 1.0f};
    const GLfloat diffuse[] = {0.2f, 0.6f, 0.9f, 1.0f};
    const GLfloat specular[] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT, GL_SHININESS, 0.0f);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
}

void SetScreenGLState() {
    SetSceneGLState();
    // The level's sun, moon, fire and overlay lights outlive it; a screen lights itself.
    for (GLenum light = GL_LIGHT1; light <= GL_LIGHT7; ++light)
        glDisable(light);
    glDisable(GL_BLEND);
    glDisable(GL_STENCIL_TEST);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void SetPointLight0(float x, float y, float z, const float diffuse[3], const float ambient[3]) {
    glPushMatrix();
    const GLfloat position[] = {x, y, z, 1.0f};
    const GLfloat direct[] = {diffuse[0], diffuse[1], diffuse[2], 1.0f};
    const GLfloat around[] = {ambient[0], ambient[1], ambient[2], 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, direct);
    glLightfv(GL_LIGHT0, GL_AMBIENT, around);
    glLightfv(GL_LIGHT0, GL_SPECULAR, around);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0.0002f);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

bool OnPlayGame(float cx, float cy) {
    return cx > 440.0f && cx < 800.0f && cy > 140.0f && cy < 220.0f;
}

bool OnQuit(float cx, float cy) {
    return cx > 510.0f && cx < 670.0f && cy > 20.0f && cy < 95.0f;
}

TitleItem TitleItemAt(float cx, float cy) {
    if (OnPlayGame(cx, cy))
        return TITLE_PLAY_GAME;
    return OnQuit(cx, cy) ? TITLE_QUIT : TITLE_NOTHING;
}

TitleItem TitleKeyItem(float cx, float cy) {
    return OnQuit(cx, cy) ? TITLE_QUIT : TITLE_PLAY_GAME;
}

void TitleStep(int step, float& cx, float& cy) {
    if (step < 0) {
        cx = TITLE_REST_X;
        cy = TITLE_REST_Y;
    } else if (step > 0) {
        cx = TITLE_QUIT_X;
        cy = TITLE_QUIT_Y;
    }
}

const char* CreditsLine(int32_t index) {
    static const char* const lines[] = {
        "CREDITS",
        "Programmers:",
        "Aino Lehtinen",
        "Mikko Saarinen",
        "Ilkka Varis",
        // The voices the recordings are spoken with (tools/content/sound/voices.cpp). Tarvo
        // says no line; Vovover is the voice of the dream and of the ending.
        "Voice acting:",
        "Rarozare - espeak-ng, voice en+f3",
        "Doduda - espeak-ng, voice en+m1",
        "Tarvo - grunts by the Tarvo synthesiser",
        "Verozi - espeak-ng, voice en+m3",
        "Virav - espeak-ng, voice en+m7",
        "Vovover - espeak-ng, voice en+f5**",
        "Musical Composer - the Tarvo sequencer",
    };
    if (index < 0)
        index = 0;
    if (index < int32_t(sizeof lines / sizeof lines[0]))
        return lines[index];
    return "Congratulations!!!";
}

void InstallSoundHooks() {
    SetSoundHooks(heroPosition, randomEnemyPosition);
}

bool SetUpTitle() {
    SetScreenGLState();
    ReleaseTitle();
    // The intro's or the credits' actors go with their screen: the next credits are set up
    // only when no actor is left over.
    ReleaseCutscene();
    g_titleModel = new ModelObject();
    g_titleModel->loadModel("Data/TitleObject.ms3d");
    g_titleModel->setDirection(Vector(0.0f, 0.0f, 1.0f));
    g_titleModel->setPosition(Vector(-10.0f, -10.0f, -60.0f));
    g_titleBackdrop = new ModelObject();
    g_titleBackdrop->loadModel("Data/dodudabg.ms3d");
    g_titleBackdrop->setPosition(Vector(-40.0f, -10.0f, -140.0f));

    NewWorldLight();

    const float glow[] = {g_titleGlow, g_titleGlow, g_titleGlow};
    const float dark[] = {0.0f, 0.0f, 0.0f};
    SetPointLight0(0.0f, 0.0f, 0.0f, glow, dark);

    // Play turned the hero with the same mouse; none of that motion moves the ball.
    g_input.placeCursor(TITLE_REST_X, TITLE_REST_Y);
    g_cursorBall = gluNewQuadric();
    gluQuadricNormals(g_cursorBall, GLU_SMOOTH);
    gluQuadricTexture(g_cursorBall, GL_TRUE);

    destroy(g_font);
    g_font = new BitmapFont("Script", 20);
    g_font->setColor(0.0f, 0.0f, 1.0f);
    s_titleFontReady = false;

    ShutDownCutsceneSound();
    InstallSoundHooks();
    StartSoundManager();
    PlaySlot(SLOT_TITLE, PLAY_ONCE_COUNT);

    g_titleFlare = new FlareEffect(0.0f, 0.0f, 0.0f);
    g_titleFlare->setTexture("Data/flare.bmp");
    g_titleFlare->setRingSize(5.0f);
    g_titleFlare->setPosition(0.0f, 0.0f, 0.0f);
    g_titleFlare->setFactor(1.0f);
    g_titleFlare->layOut(false);
    return true;
}

void ReleaseTitle() {
    destroy(s_titleHint);
    destroy(g_titleModel);
    destroy(g_titleBackdrop);
    destroy(g_titleFlare);
    if (g_cursorBall) {
        gluDeleteQuadric(g_cursorBall);
        g_cursorBall = nullptr;
    }
}

void TitleFrame() {
    float cx, cy;
    cursor(cx, cy);
    const float lx = (cx - 400.0f) / 30.0f, ly = (cy - 300.0f) / 30.0f;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();

    glColor3f(0.4f, 0.0f, 0.4f);
    glBegin(GL_QUADS);
    glVertex3f(-100.0f, -100.0f, -150.0f);
    glVertex3f(100.0f, -100.0f, -150.0f);
    glVertex3f(100.0f, 100.0f, -150.0f);
    glVertex3f(-100.0f, 100.0f, -150.0f);
    glEnd();

    const float g = g_titleGlow;
    const float diffuse[] = {std::min(g, 3.0f), std::min(g, 2.0f), std::min(g, 2.0f)};
    const float ambient[] = {std::min(g, 0.2f), std::min(g, 0.2f), std::min(g, 0.3f)};
    SetPointLight0(lx, ly, -5.0f, diffuse, ambient);
    g_titleGlow += 0.02f;

    glColor3f(1.0f, 1.0f, 1.0f);
    SetSceneShadow(lx, ly, -5.0f, 800.0f, g_titleModel);
    if (g_titleModel)
        g_titleModel->draw();
    if (g_titleBackdrop)
        g_titleBackdrop->draw();
    PlaceSceneShadows();
    DrawSceneShadows();

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDepthMask(GL_FALSE);
    glTranslatef((cx - 400.0f) / 10.0f, (cy - 300.0f) / 10.0f, -90.0f);
    glEnable(GL_LIGHTING);
    glDepthMask(GL_TRUE);

    // The menu words; the face is made once instead of every frame (the same picture).
    if (!s_titleFontReady) {
        destroy(g_font);
        g_font = new BitmapFont("Times New Roman", 40);
        destroy(s_titleHint);
        s_titleHint = new BitmapFont("Times New Roman", 22);
        s_titleFontReady = true;
    }
    if (s_titleHint) {
        s_titleHint->setColor(0.6f, 0.65f, 0.75f);
        s_titleHint->setPosition(400.0f - 0.5f * s_titleHint->textWidth(TITLE_HINT), 575.0f);
        printText(s_titleHint, "%s", TITLE_HINT);
    }
    if (g_font) {
        g_font->setColor(0.3f, 0.4f, 0.5f);
        g_font->setPosition(450.0f, 400.0f);
        printText(g_font, "Play Game");
        g_font->setPosition(500.0f, 500.0f);
        printText(g_font, "Quit");
    }

    glDepthMask(GL_FALSE);
    glTranslatef((cx - 400.0f) / 10.0f, (cy - 300.0f) / 10.0f, -90.0f);
    if (g_cursorBall)
        gluSphere(g_cursorBall, 1.0, 16, 8);
    if (g_titleFlare)
        g_titleFlare->draw();
    glEnable(GL_LIGHTING);
    glDepthMask(GL_TRUE);
    glFlush();
}

void ConversationOverlay() {
    if (!g_talkPartner)
        return;
    switch (ConversationStep()) {
    case 0:
        g_talkPartner->drawChat();
        if (g_hero)
            g_talkPartner->setDirection(g_hero->getPosition() - g_talkPartner->getPosition());
        break;
    case 1:
        g_talkPartner->drawMenu();
        break;
    case 2:
        g_talkPartner->drawReply();
        break;
    default:
        break;
    }
    // A map asked for in this talk goes over the box, not under it.
    if (g_hud)
        g_hud->drawMapOverBox();
}

void GameOverFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
    if (g_camera)
        g_camera->apply();
    if (g_hero) {
        {
            frameprofile::GameWork work;
            g_hero->update();
        }
        g_hero->draw();
        g_hero->stepEffect();
    }
    if (g_font) {
        g_font->setPosition(250.0f, 500.0f);
        printText(g_font, "Game Over");
        // Nothing else moves here: say how to go on.
        g_font->setPosition(250.0f, 545.0f);
        printText(g_font, "Press Enter");
    }
    glFlush();
}

void CreditsFrame() {
    if (!g_actor)
        SetUpCredits();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(30.0, 10.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    if (g_actor)
        g_actor->draw();
    if (g_prop)
        g_prop->draw();
    PlaceSceneShadows();
    DrawSceneShadows();
    if (g_font)
        printText(g_font, "%s", CreditsLine(g_startCountdown));
    if (g_actor && g_actor->animationQueue().advance(g_actor->model()) >= 0)
        ++g_startCountdown;
    glFlush();
}
