// tarvo-playframe: the play frame measured on the real game loop and window. It loads
// the level (timing the start-up), lets the camera swoop in, then plays a fixed input
// script (walk, turn, shoot) through the input layer and times every frame: the whole
// frame to the finished swap, and the game's own CPU work inside it. For scale it also
// times two floors of this machine in the same run: an empty frame (clear and swap) and
// the bare terrain from the camera the play frames ended with.
//
// Then, on the same loaded level with its whole cast, two Google benchmarks: one frame's
// collision tests (every object, every projectile) and one frame's AI steps.
//
// It also prints the CPU time each frame takes, on the main thread and over the whole
// process: a software renderer rasterises on its own threads, so the frame can never be
// faster than all the threads' work spread over every core.
//
// With --passes it plays the same script but times each drawing pass of every frame on its
// own (the GL finished between passes) and prints their medians instead. Waiting between
// passes makes the profiled frame slower than the real one; the shares are what it is for.
//
//   tarvo-playframe [--passes] [FRAMES] [benchmark options]   (in the game's working directory)
#include "ai/qrvflockai.h"
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "platform/frameprofile.h"
#include "platform/gamestate.h"
#include "platform/qrvinput.h"
#include "shell/framecommands.h"
#include "shell/levelstartup.h"
#include "shell/mainloop.h"
#include "platform/soundmanager.h"
#include "shell/window.h"
#include "world/camera.h"
#include "world/collisionworld.h"
#include "world/skybox.h"
#include "world/terrain.h"
#include "world/water.h"
#include "world/worldlight.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU milliseconds used so far by this thread or this whole process.
double cpuMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// One frame's wall time and CPU time, measured from start() to stop().
struct FrameClock {
    Clock::time_point m_start;
    double m_thread = 0.0, m_process = 0.0;
    std::vector<double> m_wallMs, m_threadMs, m_processMs;

    void start() {
        m_start = Clock::now();
        m_thread = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        m_process = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    }
    void stop() {
        m_wallMs.push_back(msSince(m_start));
        m_threadMs.push_back(cpuMs(CLOCK_THREAD_CPUTIME_ID) - m_thread);
        m_processMs.push_back(cpuMs(CLOCK_PROCESS_CPUTIME_ID) - m_process);
    }
    void clear() {
        m_wallMs.clear();
        m_threadMs.clear();
        m_processMs.clear();
    }
};

double median(std::vector<double> v) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

void finishedSwap() {
    SDL_GL_SwapWindow(GetWindowHandle());
    glFinish();
}

void push(SDL_Event e) {
    SDL_PushEvent(&e);
}

void keyEvent(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    push(e);
}

void buttonEvent(uint8_t button, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    push(e);
}

void motionEvent(int dx, int dy) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    push(e);
}

// The fixed script, by frame number: walk all the time, sweep the view left and right,
// jump now and then, fire every half second's worth of frames.
int64_t s_frame = 0;
void scriptedCommands() {
    FrameCommands();
    const int64_t f = s_frame;
    if (f == 0)
        keyEvent(SDL_SCANCODE_W, true);
    motionEvent((f / 150) % 2 ? -4 : 4, 0);
    if (f % 30 == 0)
        buttonEvent(SDL_BUTTON_LEFT, true);
    if (f % 30 == 1)
        buttonEvent(SDL_BUTTON_LEFT, false);
    if (f % 97 == 0)
        keyEvent(SDL_SCANCODE_SPACE, true);
    if (f % 97 == 1)
        keyEvent(SDL_SCANCODE_SPACE, false);
}

FrameClock s_play;
bool s_timing = false;
std::vector<double> s_gameMs;
// Per pass, its milliseconds in each timed frame (with --passes).
std::vector<double> s_passMs[frameprofile::PASS_COUNT];
FrameHandler s_playFrame = nullptr;

void timedPlayFrame() {
    if (frameprofile::g_passesEnabled)
        frameprofile::resetPasses();
    s_play.start();
    frameprofile::reset();
    s_playFrame();
}

void timedSwap() {
    const bool passes = frameprofile::g_passesEnabled;
    if (passes)
        frameprofile::switchPass(frameprofile::PASS_SWAP);
    finishedSwap();
    if (passes)
        frameprofile::switchPass(frameprofile::PASS_OTHER);
    if (s_timing) {
        s_play.stop();
        s_gameMs.push_back(frameprofile::g_gameNs / 1e6);
        for (int p = 0; passes && p < frameprofile::PASS_COUNT; ++p)
            s_passMs[p].push_back(frameprofile::g_passNs[p] / 1e6);
    }
    ++s_frame;
}

// The scripted play on the timed frame: the camera's swoop first (100 frames), then up to
// `frames` measured frames; returns how many were measured.
int playScripted(int frames) {
    s_playFrame = g_frameHandlers[STATE_PLAY];
    g_frameHandlers[STATE_PLAY] = timedPlayFrame;
    g_frameCommands = scriptedCommands;
    g_swapBuffers = timedSwap;
    while (s_frame < 100 && RunOneRound()) {
    }
    s_timing = true;
    while (int(s_play.m_wallMs.size()) < frames && g_gameState == STATE_PLAY && RunOneRound()) {
    }
    s_timing = false;
    return int(s_play.m_wallMs.size());
}

// The scripted play with every pass timed on its own; prints the table.
int profilePasses(int frames) {
    frameprofile::g_enabled = true;
    frameprofile::g_passesEnabled = true;
    const int played = playScripted(frames);
    frameprofile::g_passesEnabled = false;

    double medians[frameprofile::PASS_COUNT], sum = 0.0;
    for (int p = 0; p < frameprofile::PASS_COUNT; ++p) {
        medians[p] = median(s_passMs[p]);
        sum += medians[p];
    }
    std::printf("play frame by pass, %d frames at 800x600, the GL finished between passes\n",
                played);
    std::printf("  %-18s %9s %9s %7s\n", "pass", "median ms", "mean ms", "share");
    for (int p = 0; p < frameprofile::PASS_COUNT; ++p) {
        double mean = 0.0;
        for (double ms : s_passMs[p])
            mean += ms;
        mean = s_passMs[p].empty() ? 0.0 : mean / double(s_passMs[p].size());
        std::printf("  %-18s %9.2f %9.2f %6.1f%%\n", frameprofile::passName(p), medians[p], mean,
                    sum > 0 ? 100.0 * medians[p] / sum : 0.0);
    }
    std::printf("  %-18s %9.2f\n", "sum of medians", sum);
    std::printf("  %-18s %9.2f   (profiled; the real frame is faster)\n", "whole frame",
                median(s_play.m_wallMs));
    std::fflush(stdout);
    ShutDownSound();
    ReleaseLevel();
    KillGameWindow();
    return played == frames ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool passes = argc > 1 && std::strcmp(argv[1], "--passes") == 0;
    if (passes) {
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    const bool counted = argc > 1 && argv[1][0] != '-';
    const int frames = counted ? std::max(50, std::atoi(argv[1])) : 600;
    if (!CreateGameWindow("Project Tarvo", 800, 600, 32, g_fullscreen)) {
        std::fprintf(stderr, "tarvo-playframe: no window\n");
        return 1;
    }
    g_input.Init();
    g_active = true;
    InitScene();

    std::vector<double> emptyMs;
    for (int i = 0; i < 300; ++i) {
        const auto start = Clock::now();
        ClearedFrame();
        finishedSwap();
        emptyMs.push_back(msSince(start));
    }

    // Level start-up, three times (the first pays for cold file caches).
    std::vector<double> startMs;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            ReleaseLevel();
        const auto start = Clock::now();
        StartGame(1);
        glFinish();
        startMs.push_back(msSince(start));
    }
    if (g_gameState != STATE_PLAY || !g_terrain || !g_camera) {
        std::fprintf(stderr, "tarvo-playframe: the level did not start\n");
        return 1;
    }
    if (passes)
        return profilePasses(counted ? frames : 300);

    frameprofile::g_enabled = true;
    const int played = playScripted(frames);
    const FrameClock play = s_play;
    const std::vector<double> playGameMs = s_gameMs;

    // What each layer costs: the same play, 200 frames each with one layer left out.
    struct Layer {
        const char* name;
        void** pointer;
        double ms = 0.0;
    };
    Layer layers[] = {{"shadows", reinterpret_cast<void**>(&g_light)},
                      {"water", reinterpret_cast<void**>(&g_water)},
                      {"sky box", reinterpret_cast<void**>(&g_skyBox)},
                      {"HUD", reinterpret_cast<void**>(&g_hud)}};
    for (Layer& layer : layers) {
        void* kept = *layer.pointer;
        *layer.pointer = nullptr;
        s_play.clear();
        s_timing = true;
        while (s_play.m_wallMs.size() < 200 && g_gameState == STATE_PLAY && RunOneRound()) {
        }
        s_timing = false;
        *layer.pointer = kept;
        layer.ms = median(s_play.m_wallMs);
    }

    FrameClock terrainFrames;
    for (int i = 0; i < 300; ++i) {
        terrainFrames.start();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glLoadIdentity();
        g_camera->apply();
        g_terrain->draw();
        finishedSwap();
        terrainFrames.stop();
    }

    const double frame = median(play.m_wallMs), game = median(playGameMs);
    const double empty = median(emptyMs), terrain = median(terrainFrames.m_wallMs);
    const double start = median(startMs);
    std::printf("play frame benchmark, %d frames at 800x600 (medians)\n", played);
    std::printf("  whole play frame      %8.2f ms  (%.0f frames a second)\n", frame,
                frame > 0 ? 1000.0 / frame : 0.0);
    std::printf("  game CPU work         %8.2f ms\n", game);
    std::printf("  level start-up        %8.1f ms  (runs: %.0f, %.0f, %.0f)\n", start, startMs[0],
                startMs[1], startMs[2]);
    std::printf("  empty frame           %8.2f ms\n", empty);
    std::printf("  bare terrain frame    %8.2f ms\n", terrain);
    std::printf("  play / empty          %8.2f\n", empty > 0 ? frame / empty : 0.0);
    std::printf("  play / terrain        %8.2f\n", terrain > 0 ? frame / terrain : 0.0);
    for (const Layer& layer : layers)
        std::printf("  without %-13s %8.2f ms\n", layer.name, layer.ms);
    // Every thread's CPU time spread over every core is the least the frame can take.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("  CPU a frame on %u cores   main thread   all threads   all / cores\n", cores);
    const struct {
        const char* name;
        const FrameClock& clock;
    } cpuRows[] = {{"play frame", play}, {"bare terrain", terrainFrames}};
    for (const auto& row : cpuRows) {
        const double all = median(row.clock.m_processMs);
        std::printf("    %-22s %8.2f ms   %8.2f ms   %8.2f ms\n", row.name,
                    median(row.clock.m_threadMs), all, all / double(cores));
    }
    const double terrainCpu = median(terrainFrames.m_processMs);
    std::printf("  play / terrain in CPU %8.2f\n",
                terrainCpu > 0 ? median(play.m_processMs) / terrainCpu : 0.0);
    std::fflush(stdout);

    // The frame's logic on its own, with the cast where the play left it.
    benchmark::RegisterBenchmark("BM_LevelCollisionFrame", [](benchmark::State& state) {
        for (auto _ : state) {
            g_collisionWorld->testObjects();
            g_collisionWorld->testProjectiles();
        }
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_LevelAIFrame", [](benchmark::State& state) {
        for (auto _ : state) {
            g_dataLayer->updateEnemyAI();
            if (g_dataLayer->m_flockAI)
                g_dataLayer->m_flockAI->update(g_dataLayer);
            g_dataLayer->updateNpcAI();
        }
    })->Unit(benchmark::kMicrosecond);
    if (g_collisionWorld && g_dataLayer) {
        int benchArgc = counted ? argc - 1 : argc;
        std::vector<char*> benchArgv(argv + (counted ? 1 : 0), argv + argc);
        benchArgv[0] = argv[0];
        benchmark::Initialize(&benchArgc, benchArgv.data());
        benchmark::RunSpecifiedBenchmarks();
    }
    ShutDownSound();
    ReleaseLevel();
    KillGameWindow();
    return played == frames ? 0 : 1;
}
