// tarvo-playthrough: plays the real game from the first intro to the credits through
// the input layer alone, as a (very patient) player would: it watches the screen state
// and the hero's surroundings, then turns with the mouse, walks with W, shoots, swings
// the bat and jumps out of corners.
//
//   tarvo-playthrough [finish|soak] [ARTIFACT_DIR] [LIMIT_SECONDS] [skip]
//                     [corner=0..3] [hunt=short]
// "finish" (the default) also screenshots the boss 1 s and 3 s into its descent, charge and
// fight, and fails when one of them does not show it; "corner=N" and "hunt=short": see Climax.
// "soak" plays
// random input for LIMIT_SECONDS and checks that the resident memory at the end is within 10% of
// what it was after the first minute.
// ("skip" leaves each intro scene after its screenshot.)
// Run it in the game's working directory. Exit status 0 when the goal was reached.
#include "tests/drive/gamedriver.h"

#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/gem.h"
#include "objects/npc.h"
#include "objects/player.h"
#include "objects/sceneobject.h"
#include "platform/gamestate.h"
#include "shell/framecommands.h"
#include "shell/gamecontext.h"
#include "world/camera.h"
#include "world/terrain.h"

#include <GL/gl.h>
#include <SDL.h>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

struct Pilot {
    bool soak = false;
    uint32_t seed = 12345;
    long rssAfterMinute = 0;
    int result = 1;
    GameState lastState = -1;
    double stateSince = 0.0;
    double lastLog = -10.0;
    // Taps: a key or button pressed on one frame is released on the next.
    int tapKey = 0;
    int tapButton = 0;
    // Getting unstuck.
    Vector lastPosition;
    double lastProgressAt = 0.0;
    double strafeUntil = 0.0;
    int strafeKey = SDL_SCANCODE_D;
    double lastShotAt = 0.0;
    double lastSwingAt = 0.0;
    int kills = 0;
    int lastEnemies = -1;
    bool bossSeen = false;
    bool titleSeenAgain = false;
    int titleVisits = 0;
    bool creditsShot = false;
    int titleStage = 0;
    long rssLast = 0;
    bool skipIntro = false;
    // A target that took no damage for a long while is left alone for a time.
    SceneObject* target = nullptr;
    double targetSince = 0.0;
    int targetLife = 0;
    float targetDistance = 0.0f;
    std::map<SceneObject*, double> ignoredUntil;
    bool healing = false;
    int heals = 0;
    int healsAtTalk = 0;
    int shopItem = 1;
    SceneObject* trackedTarget = nullptr;
    Vector trackedPosition;
    Vector trackedVelocity;
    double trackedAt = 0.0;
    int shots = 0;
    struct Climax* climax = nullptr;
};

void tapKey(GameDriver& d, Pilot& p, int scancode) {
    d.key(scancode, true);
    p.tapKey = scancode;
}

void clickButton(GameDriver& d, Pilot& p, int sdlButton) {
    d.button(sdlButton, true);
    p.tapButton = sdlButton;
}

float flatDistance(const SceneObject* o, const Vector& hero) {
    Vector v = o->getPosition() - hero;
    v.y = 0.0f;
    return v.length();
}

// The nearest living enemy that `wanted` accepts and its ground distance (1e9 when none is).
template <typename Wanted>
SceneObject* nearestEnemy(const Vector& hero, float& distance, Wanted wanted) {
    SceneObject* best = nullptr;
    distance = 1e9f;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        SceneObject* o = g_objectTable[i];
        if (!o || !g_dataLayer || g_dataLayer->kindOf(i) != KIND_ENEMY || !wanted(o))
            continue;
        const float d = flatDistance(o, hero);
        if (d < distance) {
            distance = d;
            best = o;
        }
    }
    return best;
}

bool anyEnemy(SceneObject*) {
    return true;
}

// The nearest living enemy not given up on, or the boss once it is awake.
SceneObject* pickTarget(const Vector& hero, const Pilot& p, double now) {
    if (g_boss && g_dataLayer && g_dataLayer->isBossActive() && g_boss->m_phase != BOSS_DEAD)
        return g_boss;
    float distance;
    return nearestEnemy(hero, distance, [&](SceneObject* o) {
        auto ignored = p.ignoredUntil.find(o);
        return ignored == p.ignoredUntil.end() || ignored->second <= now;
    });
}

void logLine(GameDriver& d, Pilot& p, const char* what);

int lifeOf(SceneObject* o) {
    if (!o || !g_dataLayer)
        return 0;
    if (o == g_boss)
        return int(g_boss->m_phase) * 1000 + g_dataLayer->bossLife();
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i)
        if (g_objectTable[i] == o)
            return g_dataLayer->kindOf(i) == KIND_ENEMY ? g_dataLayer->lifeOf(i) : 0;
    return 0;
}

// In a conversation: bread from Rarozare when healing, otherwise straight through.
void converse(GameDriver& d, Pilot& p, double in) {
    if (p.tapKey || in < 0.6)
        return;
    const int wantedId = p.healing ? p.shopItem : -1;
    if (ConversationStep() == 1 && wantedId > 0 && g_talkPartner && g_dataLayer) {
        if (NpcMenu* menu = g_dataLayer->npcMenu(g_talkPartner->m_id)) {
            int wanted = -1;
            for (int i = 0; i < menu->count && i < 5; ++i)
                if (menu->items[i].id == wantedId)
                    wanted = i;
            if (wanted >= 0 && menu->selected >= 0 && menu->selected != wanted) {
                if (int(in * 4) % 2 == 0)
                    tapKey(d, p, menu->selected < wanted ? SDL_SCANCODE_DOWN : SDL_SCANCODE_UP);
                return;
            }
        }
    }
    if (int(in * 2) % 2 == 1) {
        if (ConversationStep() == 2 && p.healing && p.heals == p.healsAtTalk) {
            ++p.heals;
            logLine(d, p, p.shopItem == 1 ? "bread bought" : "shells bought");
        }
        tapKey(d, p, SDL_SCANCODE_RETURN);
    }
}

// The nearest dropped gem within `reach` on the ground plane, unless it is ignored.
SceneObject* nearestGem(const Vector& hero, float reach, const Pilot& p, double now) {
    SceneObject* best = nullptr;
    const int count = std::min<int>(g_gemCount, GEM_TABLE_SIZE);
    for (int i = 0; i < count; ++i) {
        Gem* gem = g_gems[i];
        auto ignored = p.ignoredUntil.find(gem);
        if (!gem || (ignored != p.ignoredUntil.end() && ignored->second > now))
            continue;
        if (flatDistance(gem, hero) < reach) {
            reach = flatDistance(gem, hero);
            best = gem;
        }
    }
    return best;
}

// Whether a shot from the muzzle (10 above the feet) to `to` clears the land.
bool clearShot(const Vector& from, const Vector& to) {
    for (int i = 1; i < 16; ++i) {
        const float t = float(i) / 16.0f;
        const Vector at = from + (to - from) * t;
        if (heightAt(at.x, at.z) > at.y - 1.0f)
            return false;
    }
    return true;
}

// What to buy: bread below 90 life, red shells when low on them; 0: nothing.
int wantedPurchase() {
    if (!g_hero || !g_dataLayer || g_hero->m_gems < 10)
        return 0;
    if (g_dataLayer->playerLife() < 90)
        return 1;
    if (g_hero->m_redAmmo < 20)
        return 3;
    return 0;
}

// The villager whose menu sells `item` (Rarozare bakes, Verozi has the shells); Rarozare
// when nobody does.
SceneObject* shopFor(int item) {
    for (int i = 0; i < OBJECT_TABLE_SIZE && g_dataLayer; ++i) {
        if (!g_objectTable[i] || g_dataLayer->kindOf(i) != KIND_NPC)
            continue;
        if (const NpcMenu* menu = g_dataLayer->npcMenu(i))
            for (int k = 0; k < menu->count && k < 5; ++k)
                if (menu->items[k].id == item)
                    return g_objectTable[i];
    }
    return NpcNamed("Rarozare");
}

void fight(GameDriver& d, Pilot& p) {
    if (!g_hero || !g_dataLayer)
        return;
    const double now = d.seconds();
    const Vector hero = g_hero->getPosition();
    const Vector facing = g_hero->getDirection();
    float threatDistance = 1e9f;
    nearestEnemy(hero, threatDistance, anyEnemy);
    SceneObject* target = pickTarget(hero, p, now);
    if (!target && !p.ignoredUntil.empty()) {
        // Every enemy left was given up on for a while: try them all again.
        p.ignoredUntil.clear();
        target = pickTarget(hero, p, now);
    }
    if (!target) {
        d.key(SDL_SCANCODE_W, false);
        d.key(SDL_SCANCODE_S, false);
        return;
    }
    const bool bossTarget = target == g_boss;
    // Shopping: low on life with gems to pay, go back to the village and buy until full
    // (then shells); an enemy that followed is dealt with first.
    const int purchase = wantedPurchase();
    SceneObject* baker = bossTarget ? nullptr : shopFor(purchase != 0 ? purchase : 1);
    // Rich, out of shells and near the village: stock up too.
    const bool stockUp = baker && g_hero->m_gems >= 40 && g_hero->m_redAmmo == 0 &&
                         flatDistance(baker, hero) < 600.0f;
    if (baker && !p.healing && (g_dataLayer->playerLife() < 60 || stockUp) &&
        wantedPurchase() != 0) {
        p.healing = true;
        logLine(d, p, "going to shop");
    }
    if (p.healing && (!baker || wantedPurchase() == 0))
        p.healing = false;
    bool collecting = false;
    // Low on life, run even from a close enemy: the hero outpaces them all.
    if (p.healing && (threatDistance > 60.0f || g_dataLayer->playerLife() < 40)) {
        target = baker;
    } else if (!bossTarget && threatDistance > 90.0f) {
        // Nobody close: pick up what the fallen left.
        if (SceneObject* gem = nearestGem(hero, 250.0f, p, now)) {
            target = gem;
            collecting = true;
        }
    }
    const bool shopping = p.healing && target == baker;
    if (target != p.target) {
        p.target = target;
        p.targetSince = now;
        p.targetLife = lifeOf(target);
        p.targetDistance = flatDistance(target, hero);
    } else if (lifeOf(target) != p.targetLife ||
               flatDistance(target, hero) < p.targetDistance - 20.0f) {
        // Progress: it was hurt, or the hero came 20 nearer.
        p.targetLife = lifeOf(target);
        p.targetDistance = flatDistance(target, hero);
        p.targetSince = now;
    } else if (!shopping && now - p.targetSince > (collecting ? 10.0 : 25.0)) {
        logLine(d, p, "no progress on this target: trying another");
        d.screenshot("stuck-" + std::to_string(int(now)));
        p.ignoredUntil[target] = now + 30.0;
        p.target = nullptr;
    }
    Vector flatFacing(facing.x, 0.0f, facing.z);
    if (!flatFacing.isZero())
        flatFacing.normalize();
    // The mouse's x turns the hero by -dx/400 radians about +y; its y raises by dy/400.
    auto yawTo = [&flatFacing](Vector v) {
        v.y = 0.0f;
        if (v.length() > 0.001f)
            v.normalize();
        return std::atan2(flatFacing.z * v.x - flatFacing.x * v.z,
                          flatFacing.x * v.x + flatFacing.z * v.z);
    };
    const float current = std::asin(facing.y < -1.0f ? -1.0f : (facing.y > 1.0f ? 1.0f : facing.y));
    auto look = [&d, current](float yaw, float pitch) {
        int dx = int(std::lround(-yaw * 400.0f));
        int dy = int(std::lround((pitch - current) * 400.0f));
        d.motion(std::clamp(dx, -300, 300), std::clamp(dy, -100, 100));
    };

    // Lead a walking target by the shot's flight time (red flies at 800, green at 500).
    if (target != p.trackedTarget) {
        p.trackedTarget = target;
        p.trackedVelocity = Vector();
    } else if (now > p.trackedAt) {
        const Vector v = (target->getPosition() - p.trackedPosition) / float(now - p.trackedAt);
        p.trackedVelocity = p.trackedVelocity * 0.8f + v * 0.2f;
    }
    p.trackedPosition = target->getPosition();
    p.trackedAt = now;
    Vector ahead = target->getPosition();
    {
        Vector flat = ahead - hero;
        flat.y = 0.0f;
        const float speed = g_hero->m_weapon == 1 ? 800.0f : 500.0f;
        if (!shopping && !collecting)
            ahead = ahead + Vector(p.trackedVelocity.x, 0.0f, p.trackedVelocity.z) *
                                (flat.length() / speed);
    }
    Vector to = ahead - hero;
    const float height = to.y;
    to.y = 0.0f;
    const float distance = to.length();
    const float yawError = yawTo(to);
    // Aim from the muzzle, 10 above the feet, at the body's middle (the boss is 2.6 times
    // a brute).
    const float middle = bossTarget ? 15.0f : 6.0f;
    float pitch = shopping || collecting ? 0.0f : std::atan2(height + middle - 10.0f, distance);
    look(yawError, pitch);

    if (shopping || collecting) {
        d.key(SDL_SCANCODE_S, false);
        d.key(SDL_SCANCODE_W, distance > (shopping ? 12.0f : 2.0f));
        if (shopping && distance < 18.0f && !p.tapKey)
            tapKey(d, p, SDL_SCANCODE_T);
        return;
    }

    // Keep out of reach: brutes strike from close by, the boss casts from within 200.
    // The hero walks at 40, they at 24 or less, so backing off while shooting gains ground.
    const Vector muzzle(hero.x, hero.y + 10.0f, hero.z);
    const Vector aimPoint = ahead + Vector(0.0f, middle, 0.0f);
    const bool clear = clearShot(muzzle, aimPoint);
    const float tooClose = bossTarget ? 215.0f : 45.0f;
    const float farEnough = bossTarget ? 330.0f : (clear ? 110.0f : 30.0f);
    // Backing away from the boss up the slopes that rise to the border, the follow camera
    // rises behind the hero and looks down past the boss: he holds his ground there, and
    // comes down toward the ring.
    const bool aboveRing = bossTarget && hero.y > target->getPosition().y + 25.0f;
    const bool retreat =
        threatDistance < 45.0f || (bossTarget && distance < tooClose && !aboveRing);
    const bool walk = !retreat && (distance > farEnough || (aboveRing && distance > tooClose));
    const bool strafing = now < p.strafeUntil;
    d.key(SDL_SCANCODE_W, walk && !strafing);
    d.key(SDL_SCANCODE_S, retreat);
    // In bolt range, weave from side to side: a bolt flies at where the hero was.
    const bool weave = !strafing && distance < (bossTarget ? 400.0f : 160.0f);
    const int weaveKey = int(now / 1.2) % 2 ? SDL_SCANCODE_A : SDL_SCANCODE_D;
    for (int key : {SDL_SCANCODE_A, SDL_SCANCODE_D})
        d.key(key, (strafing && p.strafeKey == key) || (weave && weaveKey == key));
    if ((walk || retreat) && !strafing) {
        Vector moved = hero - p.lastPosition;
        moved.y = 0.0f;
        if (moved.length() > 4.0f) {
            p.lastPosition = hero;
            p.lastProgressAt = now;
        } else if (now - p.lastProgressAt > 1.5) {
            // Blocked by scenery, a slope or the water: side-step and hop.
            p.strafeKey = (p.strafeKey == SDL_SCANCODE_D) ? SDL_SCANCODE_A : SDL_SCANCODE_D;
            p.strafeUntil = now + 1.0;
            p.lastProgressAt = now;
            tapKey(d, p, SDL_SCANCODE_SPACE);
        }
    } else {
        p.lastPosition = hero;
        p.lastProgressAt = now;
    }

    const bool aimed = std::fabs(yawError) < 0.08f;
    if (aimed && distance < 22.0f && now - p.lastSwingAt > 0.7) {
        clickButton(d, p, SDL_BUTTON_RIGHT);
        p.lastSwingAt = now;
    } else if (aimed && clear && distance < (bossTarget ? 480.0f : 250.0f) &&
               now - p.lastShotAt > 0.25) {
        // Red while it lasts (and in range), then the green gun, which only needs to cool.
        const bool redUsable = g_hero->m_redAmmo > 0;
        if (g_hero->m_weapon == 0 && redUsable)
            d.wheel(-1);
        else if (g_hero->m_weapon != 0 && !(g_hero->m_weapon == 1 && redUsable))
            d.wheel(g_hero->m_weapon == 1 ? 1 : -1);
        else if (g_hero->m_weapon != 0 || g_hero->m_greenHeat <= 100) {
            clickButton(d, p, SDL_BUTTON_LEFT);
            p.lastShotAt = now;
            ++p.shots;
        }
    }
}

void logLine(GameDriver& d, Pilot& p, const char* what) {
    const Vector h = g_hero ? g_hero->getPosition() : Vector();
    std::printf("%7.1f s  frame %6lld  state %d  %s  hero (%.0f, %.0f, %.0f) life %d  enemies %d  "
                "gems %d  boss %s\n",
                d.seconds(), static_cast<long long>(d.frames()), int(g_gameState), what, h.x, h.y,
                h.z, g_dataLayer ? g_dataLayer->playerLife() : -1,
                g_dataLayer ? LivingEnemies() : -1, g_hero ? g_hero->m_gems : -1,
                g_boss && g_dataLayer && g_dataLayer->isBossActive() ? "awake" : "asleep");
    std::fflush(stdout);
    if (p.target && g_hero) {
        Vector v = p.target->getPosition() - h;
        std::printf(
            "           target (%.0f, %.0f, %.0f) at %.0f, life %d; weapon %d heat %d red %d "
            "shots %d\n",
            p.target->getPosition().x, p.target->getPosition().y, p.target->getPosition().z,
            v.length(), lifeOf(p.target), g_hero->m_weapon, g_hero->m_greenHeat, g_hero->m_redAmmo,
            p.shots);
    }
}

long residentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

uint32_t nextRandom(Pilot& p) {
    p.seed = p.seed * 1664525u + 1013904223u;
    return p.seed >> 8;
}

// A restless player: random keys, buttons, wheel and motion in play; through every
// screen back into play.
void randomPlay(GameDriver& d, Pilot& p) {
    static const int keys[] = {SDL_SCANCODE_W,    SDL_SCANCODE_A,      SDL_SCANCODE_S,
                               SDL_SCANCODE_D,    SDL_SCANCODE_SPACE,  SDL_SCANCODE_LSHIFT,
                               SDL_SCANCODE_T,    SDL_SCANCODE_RETURN, SDL_SCANCODE_UP,
                               SDL_SCANCODE_DOWN, SDL_SCANCODE_P};
    const uint32_t r = nextRandom(p);
    const int k = keys[r % (sizeof keys / sizeof keys[0])];
    // P pauses; let it go at once so that play goes on.
    d.key(k, k != SDL_SCANCODE_P && (r >> 5) % 3 != 0);
    if (k == SDL_SCANCODE_P)
        tapKey(d, p, k);
    d.motion(int(nextRandom(p) % 61) - 30, int(nextRandom(p) % 21) - 10);
    const uint32_t b = nextRandom(p) % 40;
    if (b == 0)
        clickButton(d, p, SDL_BUTTON_LEFT);
    else if (b == 1)
        clickButton(d, p, SDL_BUTTON_RIGHT);
    else if (b == 2)
        d.wheel(nextRandom(p) % 2 ? 1 : -1);
}

// The climax, watched wherever it happens. "corner=N" carries the last creature and the hero
// into corner N of the land (0 at the lowest x and z, 1 high x, 2 high z, 3 both) before the
// last fight, as a player who finished the hunt there; "hunt=short" strikes down all
// creatures but one at the start (the hero gets the shells a hunt would have bought), for a
// quick look at the ending. Screenshots 1 s and 3 s into the descent, the charge and the
// fight: the boss must be in the view each time, near enough and with no land before it.
struct Climax {
    int corner = -1;
    bool shortHunt = false;
    bool hunted = false;
    bool carried = false;
    double carriedAt = 0.0;
    bool lastKillShot = false;
    int phase = -1;
    double phaseSince = 0.0;
    int phaseShots = 0;
    int unseen = 0; // screenshots that did not show the boss
};

// Where the boss's middle is on the screen (pixels of 800 by 600 from the top left) and how
// tall a figure 30 high stands there; false when it is behind the eye or the land hides it.
bool bossOnScreen(float& sx, float& sy, float& tall) {
    const Vector eye = g_camera->getPosition();
    Vector ahead = g_camera->isFollowing() ? g_camera->getLookAt() - eye : g_camera->getDirection();
    ahead.normalize();
    Vector right, up;
    right.cross(ahead, Vector(0.0f, 1.0f, 0.0f));
    right.normalize();
    up.cross(right, ahead);
    const Vector v = g_boss->getPosition() + Vector(0.0f, 15.0f, 0.0f) - eye;
    const float depth = v.dot(ahead), half = std::tan(22.5f * 3.14159265f / 180.0f);
    sx = 400.0f + 400.0f * v.dot(right) / (depth * half * 800.0f / 600.0f);
    sy = 300.0f - 300.0f * v.dot(up) / (depth * half);
    tall = 30.0f / (depth * half) * 300.0f;
    for (int i = 1; i < 64; ++i) {
        const Vector at = eye + v * (float(i) / 64.0f);
        if (heightAt(at.x, at.z) > at.y)
            return false;
    }
    return depth > 1.0f;
}

void watchClimax(GameDriver& d, Pilot& p, double now) {
    Climax& c = *p.climax;
    if (!g_dataLayer || !g_hero)
        return;
    if (c.shortHunt && !c.hunted) {
        c.hunted = true;
        int left = LivingEnemies();
        for (int i = 0; i < OBJECT_TABLE_SIZE && left > 1; ++i)
            if (auto* enemy = dynamic_cast<Character*>(g_objectTable[i]);
                enemy && g_dataLayer->kindOf(i) == KIND_ENEMY) {
                enemy->onHit(0, WEAPON_BAT, 100000, Vector(1.0f, 0.0f, 0.0f));
                --left;
            }
        g_hero->m_redAmmo = 60;
        logLine(d, p, "short hunt: all but one creature struck down");
    }
    if (c.corner >= 0 && !c.carried && LivingEnemies() == 1) {
        c.carried = true;
        float distance = 0.0f;
        if (SceneObject* last = nearestEnemy(g_hero->getPosition(), distance, anyEnemy)) {
            // High on the slopes that rise to the border, where the view looks out of the land.
            const float low = 40.0f, high = 2048.0f - 40.0f;
            const Vector spot((c.corner & 1) ? high : low, 0.0f, (c.corner & 2) ? high : low);
            Vector inward = Vector(1024.0f, 0.0f, 1024.0f) - spot;
            inward.normalize();
            const Vector hero = spot + inward * 90.0f;
            last->setPosition(Vector(spot.x, heightAt(spot.x, spot.z), spot.z));
            g_hero->setPosition(Vector(hero.x, heightAt(hero.x, hero.z), hero.z));
            g_hero->setDirection(inward * -1.0f);
            g_dataLayer->movePlayer(hero.x, hero.z);
            logLine(d, p, "the last creature and the hero carried into the corner");
            c.carriedAt = now;
        }
    }
    if (c.carried && c.carriedAt > 0.0 && now - c.carriedAt > 1.0) {
        c.carriedAt = 0.0;
        d.screenshot("corner"); // the hero looking out over the land's corner
    }
    if (c.carried && !c.lastKillShot && LivingEnemies() == 0) {
        c.lastKillShot = true;
        d.screenshot("last-kill");
    }
    if (!g_dataLayer->isBossActive() || !g_boss || !g_camera)
        return;
    static const char* const phases[] = {"boss-descent", "boss-charge", "boss-fight", "boss-dead"};
    if (g_boss->m_phase != c.phase) {
        c.phase = std::clamp<int>(g_boss->m_phase, 0, 3);
        c.phaseSince = now;
        c.phaseShots = 0;
        logLine(d, p, phases[c.phase]);
    }
    if (c.phase > BOSS_FIGHT || c.phaseShots >= 2 ||
        now - c.phaseSince < (c.phaseShots ? 3.0 : 1.0))
        return;
    const std::string name = std::string(phases[c.phase]) + (++c.phaseShots == 1 ? "-1s" : "-3s");
    d.screenshot(name);
    float sx = 0.0f, sy = 0.0f, tall = 0.0f;
    // The descending boss is its blue cloud: a figure 30 high shows at 20 pixels or more.
    const bool seen = bossOnScreen(sx, sy, tall) && sx > 20.0f && sx < 780.0f && sy > 20.0f &&
                      sy < 580.0f && tall >= 20.0f;
    c.unseen += seen ? 0 : 1;
    const Vector b = g_boss->getPosition(), e = g_camera->getPosition();
    std::printf("%s: boss (%.0f, %.0f, %.0f) at (%.0f, %.0f) on the screen, %.0f px tall, eye "
                "(%.0f, %.0f, %.0f), hero %.0f from it: %s\n",
                name.c_str(), b.x, b.y, b.z, sx, sy, tall, e.x, e.y, e.z,
                flatDistance(g_boss, g_hero->getPosition()), seen ? "in view" : "NOT in view");
}

bool step(GameDriver& d, Pilot& p) {
    if (p.tapKey) {
        d.key(p.tapKey, false);
        p.tapKey = 0;
    }
    if (p.tapButton) {
        d.button(p.tapButton, false);
        p.tapButton = 0;
    }
    const double now = d.seconds();
    if (g_gameState != p.lastState) {
        d.releaseAll();
        p.lastState = g_gameState;
        p.stateSince = now;
        logLine(d, p, "enter");
        if (g_gameState == STATE_TITLE) {
            ++p.titleVisits;
            p.titleStage = 0;
        }
        if (g_gameState == STATE_CONVERSATION) {
            p.healsAtTalk = p.heals;
            p.shopItem = wantedPurchase();
        }
    }
    const double in = now - p.stateSince;
    switch (g_gameState) {
    case STATE_INTRO1: {
        // The first scene runs two minutes; a quick run takes its shot sooner and skips the
        // scene right after it.
        const double shotAt = p.skipIntro ? 1.0 : 4.0;
        if (in > shotAt && in < shotAt + 0.2)
            d.screenshot("intro1");
        if ((p.skipIntro && in > shotAt + 0.5) || in > 180.0)
            tapKey(d, p, SDL_SCANCODE_RETURN);
        break;
    }
    case STATE_INTRO2:
        if (in > 5.0 && in < 5.2)
            d.screenshot("intro2");
        if ((p.skipIntro && in > 8.0) || in > 60.0)
            tapKey(d, p, SDL_SCANCODE_RETURN);
        break;
    case STATE_TITLE:
        if (in > 2.0 && in < 2.2)
            d.screenshot(p.titleVisits > 1 ? "title-again" : "title");
        // Into the corner first (the cursor is wherever play left it), then onto "Play Game".
        if (p.titleVisits == 1 || p.soak) {
            if (in > 3.0 && p.titleStage == 0) {
                d.motion(-1000, -1000);
                p.titleStage = 1;
            } else if (in > 3.3 && p.titleStage == 1) {
                d.motion(600, 420);
                p.titleStage = 2;
            } else if (in > 3.6 && p.titleStage == 2) {
                clickButton(d, p, SDL_BUTTON_LEFT);
                p.titleStage = 3;
            }
        }
        break;
    case STATE_PLAY:
        if (in > 4.0 && in < 4.2)
            d.screenshot("play");
        if (g_dataLayer) {
            const int enemies = LivingEnemies();
            if (p.lastEnemies >= 0 && enemies < p.lastEnemies) {
                p.kills += p.lastEnemies - enemies;
                logLine(d, p, "kill");
                if (p.kills == 1)
                    d.screenshot("first-kill");
            }
            p.lastEnemies = enemies;
            if (p.climax && in > 2.0)
                watchClimax(d, p, now);
        }
        if (p.soak && in > 2.0)
            randomPlay(d, p);
        else if (in > 2.0)
            fight(d, p);
        break;
    case STATE_CONVERSATION:
        converse(d, p, in);
        break;
    case STATE_GAME_OVER:
        if (in > 1.0 && in < 1.2)
            d.screenshot("gameover");
        if (p.soak) {
            if (in > 2.0)
                tapKey(d, p, SDL_SCANCODE_RETURN);
        } else if (in > 1.5) {
            logLine(d, p, "the hero died");
            return false;
        }
        break;
    case STATE_CREDITS:
        if (in > 2.0 && in < 2.2)
            d.screenshot("credits");
        if (g_startCountdown >= 13 && !p.creditsShot) {
            p.creditsShot = true;
            p.stateSince = now - 100.0; // marks the end: see below
        }
        if (p.creditsShot && in > 101.0) {
            d.screenshot("congratulations");
            if (in > 101.3) {
                logLine(d, p, "credits rolled");
                p.result = 0;
                return false;
            }
        }
        if (in > 240.0 && !p.creditsShot) {
            logLine(d, p, "the credits did not end");
            return false;
        }
        break;
    default:
        break;
    }
    if (p.soak && p.rssAfterMinute == 0 && now > 60.0) {
        p.rssAfterMinute = residentKb();
        std::printf("resident memory after the first minute: %ld kB\n", p.rssAfterMinute);
    }
    if (now - p.lastLog > 10.0) {
        p.lastLog = now;
        p.rssLast = residentKb();
        logLine(d, p, "...");
        if (p.soak) {
            const struct mallinfo2 m = mallinfo2();
            int textures = 0;
            for (GLuint name = 1; name < 20000; ++name)
                textures += glIsTexture(name) ? 1 : 0;
            std::printf(
                "           resident %ld kB, heap in use %zu kB, mapped %zu kB, %d textures\n",
                p.rssLast, m.uordblks / 1024, m.hblkhd / 1024, textures);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Pilot pilot;
    pilot.soak = argc > 1 && std::strcmp(argv[1], "soak") == 0;
    const std::string artifacts = argc > 2 ? argv[2] : ".";
    const double limit = argc > 3 ? std::atof(argv[3]) : 1200.0;
    pilot.skipIntro = argc > 4 && std::strcmp(argv[4], "skip") == 0;
    Climax climax;
    for (int i = 2; i < argc; ++i) {
        if (std::strncmp(argv[i], "corner=", 7) == 0)
            climax.corner = std::atoi(argv[i] + 7) & 3;
        climax.shortHunt = climax.shortHunt || std::strcmp(argv[i], "hunt=short") == 0;
    }
    if (!pilot.soak)
        pilot.climax = &climax;
    GameDriver driver(artifacts);
    const int code = driver.run([&](GameDriver& d) { return step(d, pilot); }, limit);
    if (pilot.soak) {
        const long end = pilot.rssLast;
        std::printf("soak: %.0f s of random play, resident memory %ld kB after a minute, %ld kB "
                    "at the end\n",
                    driver.seconds(), pilot.rssAfterMinute, end);
        const bool grew = pilot.rssAfterMinute > 0 && end > pilot.rssAfterMinute * 11 / 10;
        if (code != 124 && code != 0)
            std::printf("soak: the game ended with status %d\n", code);
        std::printf("soak: %s\n", grew ? "memory grew by more than 10%" : "memory held");
        return grew || (code != 124 && code != 0) ? 1 : 0;
    }
    if (code == 124)
        std::printf("time limit of %.0f s reached\n", limit);
    if (pilot.climax && climax.unseen > 0) {
        std::printf("%d of the boss's screenshots did not show it\n", climax.unseen);
        pilot.result = 1;
    }
    std::printf("%s after %.0f s: %s\n", argc > 1 ? argv[1] : "finish", driver.seconds(),
                pilot.result == 0 ? "goal reached" : "goal NOT reached");
    return pilot.result;
}
