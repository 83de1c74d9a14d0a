#include "shell/demoplay.h"

#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/gem.h"
#include "objects/player.h"
#include "objects/sceneobject.h"
#include "platform/demo.h"
#include "platform/gamestate.h"
#include "platform/random.h"
#include "shell/gamecontext.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#ifndef TARVO_VERSION
#define TARVO_VERSION "0.0"
#endif
const char* const GAME_VERSION = TARVO_VERSION;

namespace {
uint64_t hashFloat(uint64_t h, float v) {
    return DemoHash(h, &v, sizeof(v));
}
uint64_t hashInt(uint64_t h, int32_t v) {
    return DemoHash(h, &v, sizeof(v));
}
uint64_t hashVector(uint64_t h, const Vector& v) {
    return hashFloat(hashFloat(hashFloat(h, v.x), v.y), v.z);
}
} // namespace

void TakeGameCheckpoint(DemoCheckpoint& c) {
    c = DemoCheckpoint();
    c.state = g_gameState;
    uint64_t h = hashInt(DEMO_HASH_START, g_gameState);
    if (g_hero) {
        const Vector p = g_hero->getPosition(), d = g_hero->getDirection();
        const int32_t life = g_dataLayer ? g_dataLayer->playerLife() : 0;
        h = hashInt(hashVector(hashVector(h, p), d), life);
        h = hashInt(hashInt(hashInt(h, g_hero->m_gems), g_hero->m_redAmmo), g_hero->m_blueAmmo);
        const double plain[] = {p.x,
                                p.y,
                                p.z,
                                d.x,
                                d.z,
                                double(life),
                                double(g_hero->m_gems),
                                double(g_hero->m_redAmmo),
                                double(g_hero->m_blueAmmo)};
        std::copy(std::begin(plain), std::end(plain), c.fields);
    }
    int enemies = 0;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        SceneObject* o = g_objectTable[i];
        if (!o || !g_dataLayer)
            continue;
        const int32_t kind = g_dataLayer->kindOf(i);
        if (kind != KIND_ENEMY && kind != KIND_NPC)
            continue;
        enemies += kind == KIND_ENEMY ? 1 : 0;
        // Villagers have no life record; asking for one would trip the table's assertion.
        const int32_t life = kind == KIND_ENEMY ? g_dataLayer->lifeOf(i) : 0;
        h = hashInt(hashVector(hashInt(h, i), o->getPosition()), life);
    }
    c.fields[9] = enemies;
    if (g_boss && g_dataLayer) {
        const Vector p = g_boss->getPosition();
        h = hashInt(hashInt(hashVector(h, p), g_dataLayer->bossLife()),
                    g_dataLayer->isBossActive());
        c.fields[10] = g_dataLayer->bossLife();
        c.fields[11] = p.x;
        c.fields[12] = p.z;
    }
    int gems = 0;
    for (int i = 0; i < g_gemCount && i < GEM_TABLE_SIZE; ++i)
        if (g_gems[i]) {
            h = hashInt(hashVector(h, g_gems[i]->getPosition()), g_gems[i]->m_value);
            ++gems;
        }
    c.fields[13] = gems;
    c.hash = h;
}

uint64_t GameContentHash() {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code error;
    for (const char* folder : {"data", "Data"})
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string ext = it->path().extension().string();
            if (ext == ".xml" || ext == ".ms3d" || ext == ".raw")
                files.push_back(it->path());
        }
    std::sort(files.begin(), files.end());
    uint64_t h = DEMO_HASH_START;
    std::vector<char> buffer(1 << 16);
    for (const fs::path& file : files) {
        const std::string name = file.generic_string();
        h = DemoHash(h, name.data(), name.size() + 1);
        std::ifstream in(file, std::ios::binary);
        while (in) {
            in.read(buffer.data(), std::streamsize(buffer.size()));
            h = DemoHash(h, buffer.data(), size_t(in.gcount()));
        }
    }
    return h;
}

bool StartDemoRecording(const std::string& path, std::string& error) {
    DemoHeader header;
    header.gameVersion = GAME_VERSION;
    header.contentHash = GameContentHash();
    header.randomState = gameRandState();
    if (!g_demo.startRecording(path, header, error))
        return false;
    g_demo.takeCheckpoint = TakeGameCheckpoint;
    return true;
}

bool CheckDemoForReplay(const Demo& demo, uint64_t contentHash, std::string& error) {
    if (demo.header.gameVersion != GAME_VERSION) {
        error = "the demo was recorded by version " + demo.header.gameVersion +
                " of the game, this is " + GAME_VERSION;
        return false;
    }
    if (demo.header.contentHash != contentHash) {
        error = "the demo was recorded against other game content (the level or models have "
                "changed since); record it anew";
        return false;
    }
    return true;
}

bool StartDemoReplay(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the demo " + path;
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    Demo demo;
    if (!ReadDemo(bytes.data(), bytes.size(), demo, error) ||
        !CheckDemoForReplay(demo, GameContentHash(), error)) {
        error = path + ": " + error;
        return false;
    }
    gameSrand(demo.header.randomState);
    g_demo.startReplay(std::move(demo));
    g_demo.takeCheckpoint = TakeGameCheckpoint;
    return true;
}

bool g_replayFrameTimes = false;

namespace {
struct FrameTime {
    int64_t frame;
    double ms, gameWorkMs;
    int seeds, events;
    int32_t state;
};
std::vector<FrameTime> s_frameTimes;
int64_t s_levelStartNs = -1;
int32_t s_lastState = -1;
} // namespace

void NoteReplayedFrame(int64_t frame, int64_t clockNs, double ms, double gameWorkMs, int seeds,
                       int events) {
    // The level starts when play follows the title; its first second (the swoop, the first
    // uploads) is left out.
    const bool playing = g_gameState == STATE_PLAY || g_gameState == STATE_CONVERSATION;
    if (playing && s_lastState == STATE_TITLE)
        s_levelStartNs = clockNs;
    s_lastState = g_gameState;
    if (playing && s_levelStartNs >= 0 && clockNs - s_levelStartNs >= 1000000000)
        s_frameTimes.push_back({frame, ms, gameWorkMs, seeds, events, g_gameState});
}

void PrintReplayFrameTimes() {
    if (s_frameTimes.empty()) {
        std::printf("frame times: no frame of play after the level's first second\n");
        return;
    }
    std::vector<FrameTime> byTime = s_frameTimes;
    std::sort(byTime.begin(), byTime.end(),
              [](const FrameTime& a, const FrameTime& b) { return a.ms < b.ms; });
    const auto at = [&](double q) { return byTime[size_t(q * double(byTime.size() - 1))].ms; };
    const double median = at(0.5), p99 = at(0.99), worst = byTime.back().ms;
    size_t over50 = 0;
    for (const FrameTime& f : byTime)
        over50 += f.ms > 50.0 ? 1 : 0;
    std::printf("frame times of %zu frames of play: median %.1f ms, p99 %.1f ms (%.2f x the "
                "median), worst %.1f ms, %zu over 50 ms\n",
                byTime.size(), median, p99, p99 / median, worst, over50);
    std::printf("goal: p99 at most 1.5 x the median (%s), no frame over 50 ms (%s)\n",
                p99 <= 1.5 * median ? "met" : "missed", over50 == 0 ? "met" : "missed");
    // The worst frames and what set them apart: game work (collision, AI, animation) beyond
    // the usual, new objects (each gem and AI draws a seed; a new gem loads its model),
    // window events, or else the drawing.
    double usualWork = 0.0;
    for (const FrameTime& f : s_frameTimes)
        usualWork += f.gameWorkMs;
    usualWork /= double(s_frameTimes.size());
    const size_t shown = std::min<size_t>(5, byTime.size());
    for (size_t i = 0; i < shown; ++i) {
        const FrameTime& f = byTime[byTime.size() - 1 - i];
        std::string cause;
        if (f.seeds > 0)
            cause += "new objects made (a dropped gem loads its model); ";
        if (f.events > 0)
            cause += "window events; ";
        if (f.gameWorkMs > usualWork + 0.5 * (f.ms - median))
            cause += "game work " + std::to_string(int(f.gameWorkMs + 0.5)) + " ms; ";
        if (f.state == STATE_CONVERSATION)
            cause += "in a conversation; ";
        if (cause.empty())
            cause = "drawing (no game-side cause seen); ";
        cause.resize(cause.size() - 2);
        std::printf("  frame %lld: %.1f ms: %s\n", static_cast<long long>(f.frame), f.ms,
                    cause.c_str());
    }
}
