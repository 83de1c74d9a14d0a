#include "shell/mainloop.h"

#include "hud/bitmapfont.h"
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "models/shadowfeed.h"
#include "objects/boss.h"
#include "objects/gem.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/projectilelist.h"
#include "objects/sceneobject.h"
#include "platform/cutsceneplayer.h"
#include "platform/demo.h"
#include "platform/frameprofile.h"
#include "platform/qrvinput.h"
#include "platform/soundmanager.h"
#include "shell/cutscenes.h"
#include "shell/demoplay.h"
#include "shell/framecommands.h"
#include "shell/framerate.h"
#include "shell/gamecontext.h"
#include "shell/levelstartup.h"
#include "shell/screens.h"
#include "shell/window.h"
#include "world/camera.h"
#include "world/collisionworld.h"
#include "world/shadowvolume.h"
#include "world/skybox.h"
#include "world/terrain.h"

#include "level/levelfile.h"
#include "objects/npc.h"
#include "platform/gamestate.h"
#include "world/viewfrustum.h"
#include "world/water.h"
#include "world/worldlight.h"

#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <SDL.h>
#include <GL/gl.h>

namespace {
volatile std::sig_atomic_t s_stopSignal = 0;

void onStopSignal(int signal) {
    if (s_stopSignal != 0) {
        // A second one: the loop is not listening, so end the way the signal ends a program.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    s_stopSignal = signal;
}

void swapWindow() {
    if (SDL_Window* w = GetWindowHandle())
        SDL_GL_SwapWindow(w);
}

// Play: the frame, then at most one gem picked up (not while talking).
void playStateFrame() {
    PlayFrame();
    frameprofile::GameWork work;
    PickUpGems();
}

// The play frame with the conversation box over it.
void conversationFrame() {
    PlayFrame();
    ConversationOverlay();
}

double secondsSinceStart() {
    return g_playClockMs() * 0.001;
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

FrameHandler g_frameHandlers[8] = {TitleFrame,    playStateFrame,    nullptr,       IntroSceneOne,
                                   IntroSceneTwo, conversationFrame, GameOverFrame, CreditsFrame};
FrameHandler g_swapBuffers = swapWindow;
FrameHandler g_frameCommands = FrameCommands;
FrameHandler g_titleSetup = [] { SetUpTitle(); };
unsigned (*g_playClockMs)() = [] { return unsigned(GameClockNs() / 1000000); };

void PickUpGems() {
    const int32_t before = g_hero ? g_hero->m_gems : 0;
    if (collectGems() && g_hero && g_hud)
        g_hud->gemsCollected(g_hero->m_gems - before);
}

void ClearedFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void PlayFrame() {
    if (g_startCountdown > 0)
        g_startCountdown -= 1;
    if (g_startCountdown == 0 && g_camera)
        g_camera->setEaseDivisor(5.0f);
    if (g_collisionWorld) {
        frameprofile::GameWork work;
        g_collisionWorld->testObjects();
        g_collisionWorld->testProjectiles();
    }
    if (g_frameRate)
        g_frameRate->countFrame();
    glLoadIdentity();
    if (g_camera)
        g_camera->apply();
    // The fire's half-resolution layer uses a corner of the back buffer, which the clear
    // then wipes.
    if (g_fountain) {
        frameprofile::PassScope pass(frameprofile::PASS_PARTICLES);
        g_fountain->prepareLayer();
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    UpdateWorldLight();
    if (g_terrain) {
        frameprofile::PassScope pass(frameprofile::PASS_TERRAIN);
        g_terrain->draw();
    }
    if (g_skyBox) {
        frameprofile::PassScope pass(frameprofile::PASS_SKY);
        g_skyBox->draw();
    }
    if (g_frustum)
        g_frustum->extractPlanes();
    if (g_dataLayer) {
        frameprofile::GameWork work;
        g_dataLayer->updateEnemyAI(g_dataLayer->aiFrameMs(GameClockNs()));
        if (g_dataLayer->m_flockAI)
            g_dataLayer->m_flockAI->update(g_dataLayer);
        g_dataLayer->updateNpcAI();
    }
    frameprofile::PassScope modelsPass(frameprofile::PASS_MODELS);
    if (g_hero) {
        {
            frameprofile::GameWork work;
            g_hero->update();
        }
        g_hero->draw();
        {
            frameprofile::GameWork work;
            g_hero->stepEffect();
        }
        UpdateSoundListener(g_hero->getPosition(), g_hero->getDirection());
    }
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        SceneObject* object = g_objectTable[i];
        if (!object)
            continue;
        auto* model = dynamic_cast<ModelObject*>(object);
        {
            frameprofile::GameWork work;
            if (g_dataLayer) {
                const int32_t kind = g_dataLayer->kindOf(i);
                if (kind == KIND_ENEMY || kind == KIND_NPC) {
                    Vector p = object->getPosition();
                    ClampToWorld(p, i);
                    g_dataLayer->moveObject(i, kind, p.x, p.z);
                }
            }
            if (model && g_frustum) {
                g_frustum->testVisible(*model);
                if (g_hero)
                    g_frustum->testShadowRange(*model, *g_hero);
                else
                    g_frustum->testShadowRange(*model);
            }
            if (model)
                model->update();
        }
        object->draw();
    }
    if (g_boss && g_dataLayer && g_dataLayer->isBossActive()) {
        {
            frameprofile::GameWork work;
            g_boss->wake();
            g_dataLayer->moveBoss(g_boss->m_position.x, g_boss->m_position.z);
            g_dataLayer->updateBossAI();
            Vector p = g_boss->getPosition();
            ClampToWorld(p, BOSS_ID);
            g_boss->update();
        }
        g_boss->draw();
    }
    modelsPass.end();
    if (g_projectiles) {
        {
            frameprofile::GameWork work;
            g_projectiles->update();
        }
        g_projectiles->draw();
    }
    for (int i = 0; i < g_gemCount && i < GEM_TABLE_SIZE; ++i)
        if (g_gems[i]) {
            frameprofile::PassScope pass(frameprofile::PASS_GEMS);
            g_gems[i]->draw();
        }
    if (g_terrain) {
        // The fire light bobs above the fountain.
        const float y = float(g_terrain->height(340, 530)) + 10.0f +
                        2.0f * std::sin(float(g_playClockMs()) * 0.004f);
        PlaceFireLight(340.0f, y, 530.0f);
    }
    {
        frameprofile::PassScope pass(frameprofile::PASS_SHADOW_VOLUMES);
        PlaceWorldShadows();
        DrawWorldShadows();
    }
    if (g_water) {
        {
            frameprofile::GameWork work;
            g_water->step();
        }
        frameprofile::PassScope pass(frameprofile::PASS_WATER);
        g_water->draw();
    }
    // The fire after the shadows and the water: its quads write depth (GL_ALWAYS), and the
    // stencil counting and the water tested against that lost squares around the flames.
    // It only adds light, so nothing drawn before it is changed by coming first.
    if (g_fountain) {
        g_fountain->draw();
        frameprofile::GameWork work;
        g_fountain->update(secondsSinceStart(), 2, 5.0f);
    }
    SetOverlayLight(true);
    if (g_hud) {
        frameprofile::PassScope pass(frameprofile::PASS_HUD);
        g_hud->draw();
    }
    SetOverlayLight(false);
    frameprofile::GameWork work;
    UpdateSound();
    glFlush();
}

bool InitScene() {
    // Every model made from now on casts stencil shadows.
    SetDefaultShadowBuilderFactory(CreateShadowVolume);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    setFrontMaterial();
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    return SetUpFirstScene();
}

namespace {
// A window event that changes play, as a demo keeps it; false for every other event.
bool demoEventOf(const SDL_Event& e, DemoEvent& out) {
    if (e.type != SDL_WINDOWEVENT)
        return false;
    switch (e.window.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_RESTORED:
        out.kind = DemoEvent::FOCUS_GAINED;
        return true;
    case SDL_WINDOWEVENT_FOCUS_LOST:
    case SDL_WINDOWEVENT_MINIMIZED:
        out.kind = DemoEvent::FOCUS_LOST;
        return true;
    case SDL_WINDOWEVENT_CLOSE:
        out.kind = DemoEvent::CLOSE;
        return true;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        out.kind = DemoEvent::RESIZED;
        out.width = e.window.data1;
        out.height = e.window.data2;
        return true;
    default:
        return false;
    }
}

void applyDemoEvent(const DemoEvent& d) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = d.kind == DemoEvent::FOCUS_GAINED ? SDL_WINDOWEVENT_FOCUS_GAINED
                     : d.kind == DemoEvent::FOCUS_LOST ? SDL_WINDOWEVENT_FOCUS_LOST
                     : d.kind == DemoEvent::CLOSE      ? SDL_WINDOWEVENT_CLOSE
                                                       : SDL_WINDOWEVENT_SIZE_CHANGED;
    e.window.data1 = d.width;
    e.window.data2 = d.height;
    GameWindowProc(e);
}

// Escape in play first asks; while it does, the play clock when it asked.
bool s_askingToLeave = false;
unsigned s_leaveAskedMs = 0;
bool s_escapeWasDown = false;
// Keys and buttons down while asking: only a new press answers "go on".
bool s_heldWhileAsking[256 + 4] = {};

void leaveToTitle() {
    s_askingToLeave = false;
    ShutDownSound();
    ReleaseLevel();
    if (g_titleSetup)
        g_titleSetup();
    g_gameState = STATE_TITLE;
}

// True when a key or button that was up is now down (Escape's own key aside).
bool noteHeldInput(bool firstLook) {
    constexpr int DIK_ESCAPE = 0x01;
    bool pressed = false;
    for (int i = 0; i < 256 + 4; ++i) {
        const bool down =
            i < 256 ? (g_keyState[i] & 0x80) != 0 : (g_mouseState.rgbButtons[i - 256] & 0x80) != 0;
        if (down && !s_heldWhileAsking[i] && !firstLook && i != DIK_ESCAPE)
            pressed = true;
        s_heldWhileAsking[i] = down;
    }
    return pressed;
}

void drawLeavePrompt() {
    if (!g_font)
        return;
    const char* text = LEAVE_PROMPT;
    const float savedX = g_font->m_x, savedY = g_font->m_y;
    const float red = g_font->m_red, green = g_font->m_green, blue = g_font->m_blue;
    const float x = 400.0f - g_font->textWidth(text) * 0.5f;
    // A dark shadow keeps it readable over the sky and the snow.
    g_font->setColor(0.0f, 0.0f, 0.0f);
    g_font->setPosition(x + 2.0f, 302.0f);
    printText(g_font, "%s", text);
    g_font->setColor(1.0f, 1.0f, 1.0f);
    g_font->setPosition(x, 300.0f);
    printText(g_font, "%s", text);
    g_font->setColor(red, green, blue);
    g_font->setPosition(savedX, savedY);
}

// The frame itself, once the events before it are handled.
void runFrame(bool escape) {
    const bool escapePressed = escape && !s_escapeWasDown;
    s_escapeWasDown = escape;
    const bool inGame = g_gameState == STATE_PLAY || g_gameState == STATE_CONVERSATION;
    if (!g_active || !inGame)
        s_askingToLeave = false;
    if (g_active && escape && g_gameState == STATE_GAME_OVER) {
        leaveToTitle(); // the game is lost already: nothing to ask
        return;
    }
    if (s_askingToLeave) {
        // The world waits while the player decides: nothing moves or hits the hero, and
        // the picture with the question stays on the screen (no frame is drawn or swapped).
        // The frame commands still read the input (and only that, while asking).
        if (escapePressed) {
            leaveToTitle();
            return;
        }
        if (g_frameCommands)
            g_frameCommands();
        if (noteHeldInput(false) || g_playClockMs() - s_leaveAskedMs >= LEAVE_ASK_MS)
            s_askingToLeave = false; // play goes on from the next round
        else if (g_demo.mode() != DemoSession::REPLAY)
            SDL_Delay(5);
        return;
    }
    if (g_active && escapePressed && inGame) {
        s_askingToLeave = true;
        s_leaveAskedMs = g_playClockMs();
        if (g_gameState >= 0 && g_gameState < 8 && g_frameHandlers[g_gameState])
            g_frameHandlers[g_gameState]();
        drawLeavePrompt();
        if (g_swapBuffers)
            g_swapBuffers();
        if (g_frameCommands)
            g_frameCommands();
        noteHeldInput(true);
        return;
    }
    if (g_gameState >= 0 && g_gameState < 8 && g_frameHandlers[g_gameState])
        g_frameHandlers[g_gameState]();
    if (g_swapBuffers)
        g_swapBuffers();
    if (g_frameCommands)
        g_frameCommands();
}

bool s_replayStopped = false;

// A replayed round: live events are drained and ignored, except Escape, which stops the
// replay, and the end of the game; then the recording's next frame runs.
bool replayRound() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
            return false;
        if (event.type == SDL_KEYDOWN && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) {
            s_replayStopped = true;
            return false;
        }
        if (event.type == SDL_SYSWMEVENT)
            GameWindowProc(event); // the window destroyed under the game
    }
    const DemoFrame* frame = g_demo.nextReplayedFrame();
    if (!frame)
        return false;
    for (const DemoEvent& e : frame->events)
        applyDemoEvent(e);
    if (frame->flags & DemoFrame::EVENTS_ONLY)
        return true;
    g_active = (frame->flags & DemoFrame::ACTIVE) != 0;
    g_escapeTapped = false;
    g_demo.beginReplayedFrame();
    const auto start = std::chrono::steady_clock::now();
    frameprofile::reset();
    runFrame((frame->flags & DemoFrame::ESCAPE) != 0);
    if (g_replayFrameTimes) {
        // Until the next frame begins: the swap's wait is part of the frame.
        glFinish();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        NoteReplayedFrame(int64_t(frame - &g_demo.firstFrame()), frame->clockNs, ms,
                          double(frameprofile::g_gameNs) * 1e-6, int(frame->seeds.size()),
                          int(frame->events.size()));
    }
    g_demo.endFrame();
    return !g_demo.diverged();
}
} // namespace

bool RunOneRound() {
    // A stop signal or a window that is gone ends the game before anything else is drawn.
    if (s_stopSignal != 0 || WindowLost())
        return false;
    if (g_demo.mode() == DemoSession::REPLAY)
        return replayRound();
    SDL_Event event;
    if (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
            return false;
        DemoEvent demoEvent;
        if (demoEventOf(event, demoEvent))
            g_demo.noteEvent(demoEvent);
        GameWindowProc(event);
        return true;
    }
    const bool escape = g_keys[27] || g_escapeTapped;
    g_escapeTapped = false;
    g_demo.beginRecordedFrame(escape, g_active);
    runFrame(escape);
    g_demo.endFrame();
    return true;
}

bool ReplayStoppedByEscape() {
    return s_replayStopped;
}

bool AskingToLeave() {
    return s_askingToLeave;
}

int RunMainLoop() {
    while (RunOneRound()) {
    }
    return QuitCode();
}

void InstallStopSignals() {
    // SDL would turn the signals into a quit event of its own; ours only set the flag.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() {
    return s_stopSignal != 0;
}

void ClearStopRequest() {
    s_stopSignal = 0;
}

void ShutDownGame() {
    ShutDownSound();
    ShutDownCutsceneSound();
    ReleaseLevel();
    ReleaseCutscene();
    ReleaseTitle();
}

void EndWithoutDisplay() {
    // Nothing of the window can be used any more, but the sound can still be closed.
    ShutDownSound();
    ShutDownCutsceneSound();
    std::fflush(nullptr);
    std::_Exit(0);
}

int GameMain() {
    InstallStopSignals();
    // A failed creation is a failure: report it as such to the shell.
    if (!CreateGameWindow("Project Tarvo", 800, 600, 32, g_fullscreen))
        return 1;
    g_input.Init();
    g_demo.startLoop();
    int code = RunMainLoop();
    const int demoStatus = g_demo.finish(ReplayStoppedByEscape());
    if (g_replayFrameTimes)
        PrintReplayFrameTimes();
    // However the loop ended (Quit, a close request, a signal, a lost window), the sound is
    // shut down and the game's objects are released while the context still exists.
    ShutDownGame();
    KillGameWindow();
    return demoStatus != 0 ? demoStatus : code;
}
