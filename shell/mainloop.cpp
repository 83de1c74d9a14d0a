#include "shell/mainloop.h"

#include "objects/boss.h"
#include "objects/gem.h"
#include "objects/player.h"
#include "objects/sceneobject.h"
#include "platform/qrvinput.h"
#include "shell/framerate.h"
#include "shell/gamecontext.h"
#include "shell/window.h"
#include "world/camera.h"
#include "world/skybox.h"
#include "world/terrain.h"

#include <SDL.h>
#include <GL/gl.h>

namespace {
int s_quitCode = 0;

void swapWindow() {
    if (SDL_Window* w = GetWindowHandle())
        SDL_GL_SwapWindow(w);
}

void postQuit(int code) {
    s_quitCode = code;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

void setFrontMaterial() {
    const GLfloat ambient[] = {0.4f, 0.4f, 0.4f, 1.0f};
    const GLfloat diffuse[] = {0.2f, 0.6f, 0.9f, 1.0f};
    const GLfloat specular[] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT, GL_SHININESS, 0.0f);
}

template <typename T> void destroy(T*& p) {
    delete p;
    p = nullptr;
}
} // namespace

FrameHandler g_frameHandlers[8] = {ClearedFrame, PlayFrame, nullptr,      ClearedFrame,
                                   ClearedFrame, PlayFrame, ClearedFrame, ClearedFrame};
FrameHandler g_swapBuffers = swapWindow;
FrameHandler g_frameCommands = FrameCommands;
FrameHandler g_titleSetup = nullptr;

void ClearedFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void PlayFrame() {
    if (g_startCountdown > 0)
        g_startCountdown -= 1;
    if (g_startCountdown == 0 && g_camera)
        g_camera->setEaseDivisor(5.0f);
    if (g_frameRate)
        g_frameRate->countFrame();
    ClearedFrame();
    glLoadIdentity();
    glFlush();
}

void FrameCommands() {
    g_input.Poll();
    static bool enterLatch = false;
    const bool enter = (g_keyState[0x1C] & 0x80) != 0;
    if (enter && !enterLatch && (g_gameState == STATE_INTRO1 || g_gameState == STATE_INTRO2)) {
        g_gameState = STATE_TITLE;
        if (g_titleSetup)
            g_titleSetup();
    }
    enterLatch = enter;
}

bool InitScene() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    setFrontMaterial();
    destroy(g_camera);
    g_camera = new Camera();
    // The light, the first scene's actors and the cutscene sound arrive with their screens.
    return true;
}

void ReleaseLevel() {
    for (int i = 0; i < g_gemCount && i < GEM_TABLE_SIZE; ++i)
        destroy(g_gems[i]);
    g_gemCount = 0;
    for (SceneObject*& object : g_objectTable)
        destroy(object);
    destroy(g_boss);
    destroy(g_hero);
    // g_font: bitmap fonts arrive with the text.
    destroy(g_terrain);
    destroy(g_skyBox);
    // g_projectiles and g_collisionWorld arrive with combat.
    destroy(g_camera);
    // g_fountain arrives with the particle effects.
    destroy(g_frameRate);
}

bool StartGame(int level) {
    if (level == 1) {
        // Level start-up builds the world here once the level loader is complete.
        g_startCountdown = 100;
        g_gameState = STATE_PLAY;
    }
    return true;
}

void CloseGame() {
    // The sound manager shuts down here once it exists.
    ReleaseLevel();
    postQuit(0);
}

int QuitCode() {
    return s_quitCode;
}

bool RunOneRound() {
    SDL_Event event;
    if (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
            return false;
        GameWindowProc(event);
        return true;
    }
    if (g_active && g_keys[27] &&
        (g_gameState == STATE_PLAY || g_gameState == STATE_CONVERSATION ||
         g_gameState == STATE_GAME_OVER)) {
        ReleaseLevel();
        if (g_titleSetup)
            g_titleSetup();
        g_gameState = STATE_TITLE;
        return true;
    }
    if (g_gameState >= 0 && g_gameState < 8 && g_frameHandlers[g_gameState])
        g_frameHandlers[g_gameState]();
    if (g_swapBuffers)
        g_swapBuffers();
    if (g_frameCommands)
        g_frameCommands();
    return true;
}

int RunMainLoop() {
    while (RunOneRound()) {
    }
    return s_quitCode;
}

int GameMain() {
    // A failed creation is a failure: report it as such to the shell.
    if (!CreateGameWindow("Project Tarvo", 800, 600, 32, g_fullscreen))
        return 1;
    g_input.Init();
    int code = RunMainLoop();
    KillGameWindow();
    return code;
}
