// tarvo-demoscenes: short scenes of play for the committed demos, played through the input
// layer by the driven game (record them with TARVO_DEMO=FILE; tests/demos/record.sh does).
//
//   tarvo-demoscenes village|fight|death [LIMIT_SECONDS]
// village: the hero walks to the nearest villager with something for sale that he has room
// for, talks and buys the first such thing.
// fight:   the hero shoots the nearest enemy until it falls, then picks up a gem.
// death:   the hero walks into the enemies until "Game Over", then Enter to the title.
// Each skips the intro, clicks "Play Game", and ends a second after its goal. Exit status 0
// when the goal was reached. Run it in the game's working directory.
#include "tests/drive/gamedriver.h"

#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/gem.h"
#include "objects/npc.h"
#include "objects/player.h"
#include "objects/sceneobject.h"
#include "platform/gamestate.h"
#include "shell/framecommands.h"
#include "shell/gamecontext.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

namespace {
struct Scene {
    std::string name;
    int lastState = -1;
    double stateSince = 0.0;
    int released = 0;   // a key or button pressed last frame, let go this one
    bool mouse = false; // `released` is a mouse button
    int titleStage = 0;
    int startGems = -1, startEnemies = -1;
    bool killed = false;
    double doneAt = -1.0; // when the goal was reached
    bool aiming = false;
    double aimSince = 0.0;
};

void tap(GameDriver& d, Scene& s, int scancode) {
    d.key(scancode, true);
    s.released = scancode;
    s.mouse = false;
}

// Turns the hero towards `target` (and tips the view to `pitch`), as a mouse would.
float steer(GameDriver& d, const Vector& target, float pitch) {
    const Vector hero = g_hero->getPosition(), facing = g_hero->getDirection();
    Vector flat(facing.x, 0.0f, facing.z), to = target - hero;
    to.y = 0.0f;
    if (!flat.isZero())
        flat.normalize();
    const float distance = to.length();
    if (distance > 0.001f)
        to.normalize();
    const float yaw = std::atan2(flat.z * to.x - flat.x * to.z, flat.x * to.x + flat.z * to.z);
    const float current = std::asin(std::clamp(facing.y, -1.0f, 1.0f));
    d.motion(std::clamp(int(std::lround(-yaw * 400.0f)), -300, 300),
             std::clamp(int(std::lround((pitch - current) * 400.0f)), -100, 100));
    return distance;
}

// Whether the hero has room for a menu item (the villagers sell nothing he has no room for);
// false for what is not for sale.
bool roomFor(int id) {
    if (id == 1)
        return g_dataLayer->playerLife() < 100;
    if (id == 2)
        return g_hero->m_blueAmmo < 99;
    return id == 3 && g_hero->m_redAmmo < 99;
}

// The first item of a menu that the hero can buy; -1 when none.
int firstForSale(const NpcMenu& menu) {
    for (int i = 0; i < menu.count && i < 5; ++i)
        if (roomFor(menu.items[i].id))
            return i;
    return -1;
}

// The nearest object of the kind on the ground plane, skipping those the filter turns down.
SceneObject* nearest(int kind, const std::function<bool(int, const Vector&)>& wanted = nullptr) {
    SceneObject* best = nullptr;
    float bestDistance = 1e9f;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        SceneObject* o = g_objectTable[i];
        if (!o || !g_dataLayer || g_dataLayer->kindOf(i) != kind)
            continue;
        if (wanted && !wanted(i, o->getPosition()))
            continue;
        Vector v = o->getPosition() - g_hero->getPosition();
        v.y = 0.0f;
        if (v.length() < bestDistance) {
            bestDistance = v.length();
            best = o;
        }
    }
    return best;
}

SceneObject* nearestGem() {
    SceneObject* best = nullptr;
    float bestDistance = 1e9f;
    for (int i = 0; i < g_gemCount && i < GEM_TABLE_SIZE; ++i)
        if (g_gems[i]) {
            Vector v = g_gems[i]->getPosition() - g_hero->getPosition();
            v.y = 0.0f;
            if (v.length() < bestDistance) {
                bestDistance = v.length();
                best = g_gems[i];
            }
        }
    return best;
}

void village(GameDriver& d, Scene& s) {
    // The nearest villager with something to sell the hero.
    SceneObject* npc = nearest(KIND_NPC, [](int i, const Vector&) {
        return g_dataLayer->npcMenu(i) && firstForSale(*g_dataLayer->npcMenu(i)) >= 0;
    });
    if (!npc || s.doneAt >= 0.0)
        return;
    const float distance = steer(d, npc->getPosition(), 0.0f);
    d.key(SDL_SCANCODE_W, distance > 14.0f);
    if (distance < 18.0f && !s.released)
        tap(d, s, SDL_SCANCODE_T);
}

void fight(GameDriver& d, Scene& s, double now) {
    if (s.startEnemies < 0)
        s.startEnemies = LivingEnemies();
    if (!s.killed && LivingEnemies() < s.startEnemies) {
        s.killed = true;
        s.startGems = g_hero->m_gems;
        d.button(1, false);
        s.aiming = false;
        std::printf("fight: an enemy fell after %.1f s\n", now);
    }
    if (s.killed) {
        if (g_hero->m_gems > s.startGems && s.doneAt < 0.0) {
            std::printf("fight: a gem picked up (%d gems)\n", g_hero->m_gems);
            s.doneAt = now;
        }
        SceneObject* gem = nearestGem();
        d.key(SDL_SCANCODE_W, gem && s.doneAt < 0.0 && steer(d, gem->getPosition(), 0.0f) > 1.0f);
        return;
    }
    SceneObject* enemy = nearest(KIND_ENEMY);
    if (!enemy)
        return;
    Vector to = enemy->getPosition() - g_hero->getPosition();
    const float height = to.y;
    to.y = 0.0f;
    const float distance = steer(d, enemy->getPosition(), std::atan2(height - 4.0f, to.length()));
    d.key(SDL_SCANCODE_W, distance > 120.0f);
    d.key(SDL_SCANCODE_S, distance < 40.0f);
    // Hold to aim for a moment, release to fire, when the enemy is in range.
    if (!s.aiming && distance < 200.0f) {
        d.button(1, true);
        s.aiming = true;
        s.aimSince = now;
    } else if (s.aiming && now - s.aimSince > 0.4) {
        d.button(1, false);
        s.aiming = false;
    }
}

void death(GameDriver& d) {
    // The first brutes near the village are gentle by design: a quick death needs the
    // creatures beyond the roamers' ring.
    SceneObject* best = nearest(KIND_ENEMY, [](int, const Vector& at) {
        return !g_dataLayer->inVillage(at.x, at.z, 600.0f);
    });
    if (best)
        d.key(SDL_SCANCODE_W, steer(d, best->getPosition(), 0.0f) > 15.0f);
}

bool step(GameDriver& d, Scene& s) {
    if (s.released) {
        if (s.mouse)
            d.button(s.released, false);
        else
            d.key(s.released, false);
        s.released = 0;
    }
    const double now = d.seconds();
    if (g_gameState != s.lastState) {
        d.releaseAll();
        s.aiming = false;
        if (s.lastState == STATE_CONVERSATION && s.name == "village") {
            std::printf("village: the talk ended with %d gems (%d before)\n", g_hero->m_gems,
                        s.startGems);
            if (g_hero->m_gems < s.startGems)
                s.doneAt = now;
        }
        if (s.lastState == STATE_GAME_OVER && g_gameState == STATE_TITLE && s.name == "death")
            s.doneAt = now;
        s.lastState = g_gameState;
        s.stateSince = now;
    }
    if (s.doneAt >= 0.0 && now - s.doneAt > 1.0)
        return false;
    const double in = now - s.stateSince;
    switch (g_gameState) {
    case STATE_INTRO1:
    case STATE_INTRO2:
        if (in > 0.5 && !s.released)
            tap(d, s, SDL_SCANCODE_RETURN);
        break;
    case STATE_TITLE:
        // Into the corner, then onto "Play Game", then click.
        if (in > 1.0 && s.titleStage == 0) {
            d.motion(-1000, -1000);
            s.titleStage = 1;
        } else if (in > 1.3 && s.titleStage == 1) {
            d.motion(600, 420);
            s.titleStage = 2;
        } else if (in > 1.6 && s.titleStage == 2) {
            d.button(1, true);
            s.released = 1;
            s.mouse = true;
            s.titleStage = 3;
        }
        break;
    case STATE_PLAY:
        // The camera swoops in first.
        if (!g_hero || in < 3.0)
            break;
        if (s.startGems < 0)
            s.startGems = g_hero->m_gems;
        if (s.name == "village")
            village(d, s);
        else if (s.name == "fight")
            fight(d, s, now);
        else
            death(d);
        break;
    case STATE_CONVERSATION:
        // Through the greeting, choose the first thing for sale that the hero has room for (Up
        // and Down), buy it, leave.
        if (s.released || in < 0.8 + ConversationStep() * 0.8)
            break;
        if (ConversationStep() == 1 && g_talkPartner && g_dataLayer)
            if (NpcMenu* menu = g_dataLayer->npcMenu(g_talkPartner->m_id)) {
                const int wanted = firstForSale(*menu);
                if (wanted >= 0 && menu->selected >= 0 && menu->selected != wanted) {
                    if (int(in * 4) % 2 == 0)
                        tap(d, s, menu->selected < wanted ? SDL_SCANCODE_DOWN : SDL_SCANCODE_UP);
                    break;
                }
            }
        tap(d, s, SDL_SCANCODE_RETURN);
        break;
    case STATE_GAME_OVER:
        if (in > 2.0 && !s.released)
            tap(d, s, SDL_SCANCODE_RETURN);
        break;
    default:
        break;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "village") != 0 && std::strcmp(argv[1], "fight") != 0 &&
                     std::strcmp(argv[1], "death") != 0)) {
        std::fprintf(stderr, "usage: tarvo-demoscenes village|fight|death [LIMIT_SECONDS]\n");
        return 2;
    }
    Scene scene;
    scene.name = argv[1];
    GameDriver driver((std::filesystem::temp_directory_path() / "tarvo-demoscenes").string());
    const double limit = argc > 2 ? std::atof(argv[2]) : 120.0;
    driver.run([&](GameDriver& d) { return step(d, scene); }, limit);
    const bool reached = scene.doneAt >= 0.0;
    std::printf("%s after %.0f s: %s\n", argv[1], driver.seconds(),
                reached ? "goal reached" : "goal NOT reached");
    return reached ? 0 : 1;
}
