// tarvo-explore: random walks over the game's states, looking for the faults that live
// between them. Each walk starts the real game (the driven loop of tarvo-playthrough) in
// a process of its own and plays it through the input layer: it skips or watches the
// intros, clicks the title menu, walks, jumps, shoots, talks and trades, pauses, dies,
// wins, leaves with Escape, quits, closes the window (or has it destroyed under it) and
// sends the game SIGTERM or SIGINT, in an order drawn from the walk's seed. Only to get
// somewhere quickly does it set state up directly: it may put the hero beside a villager,
// give or take gems, strike enemies and the boss as a hit would, or bring the hero's life
// to its last point.
//
// After every frame the walk checks the game's invariants (the state is one of the
// seven that are entered, every pointer of the global game context points at a live
// object of its state, the object table and the gem list are consistent, a finished
// conversation leads back to play). A broken invariant, a sanitizer report, a crash or
// a hang (no frame for 10 s) fails the run with the walk's seed and its last 50 steps.
//
//   tarvo-explore [--seed N] [--minutes M] [--steps S] [--keep-going] [--sanitizers-only]
// Without --seed it draws walks until M minutes (default 2) have passed; with it, it
// replays that one walk. Walks end after S steps (default 400), on Quit or a closed window.
// --keep-going draws further walks after a faulty one; --sanitizers-only leaves the
// invariants unchecked (to see what a fault does next). Run it in the game's working
// directory, on an X display.
#include "tests/drive/gamedriver.h"

#include "hud/bitmapfont.h"
#include "hud/hud.h"
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/character.h"
#include "objects/gem.h"
#include "objects/modelobject.h"
#include "objects/npc.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/projectilelist.h"
#include "platform/cutsceneplayer.h"
#include "platform/gamestate.h"
#include "platform/soundmanager.h"
#include "shell/cutscenes.h"
#include "shell/framecommands.h"
#include "shell/framerate.h"
#include "shell/screens.h"
#include "world/camera.h"
#include "world/collisionworld.h"
#include "world/skybox.h"
#include "world/terrain.h"
#include "world/viewfrustum.h"
#include "world/water.h"
#include "world/worldlight.h"

#include <SDL.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVO_EXPLORE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TARVO_EXPLORE_ASAN 1
#endif
#ifdef TARVO_EXPLORE_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace {

constexpr double kHangSeconds = 10.0;
constexpr size_t kStepsShown = 50;

// splitmix64: small, and the same on every machine.
struct Random {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return n > 0 ? int(next() % uint64_t(n)) : 0; }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
};

// Whether an object the game points at is still alive: under AddressSanitizer freed
// memory stays poisoned for a long while, so a dangling pointer is seen at once.
bool s_checkInvariants = true;

bool alive(const void* p) {
#ifdef TARVO_EXPLORE_ASAN
    return p == nullptr || !s_checkInvariants || !__asan_address_is_poisoned(p);
#else
    (void)p;
    return true;
#endif
}

// ---------------------------------------------------------------------------------------
// The walk (the child process).

// Messages to the watching parent, one line each: "F" a frame, "S text" a step,
// "X text" a broken invariant, "D summary" the walk's end.
int s_report = -1;

void report(const char* kind, const std::string& text) {
    if (s_report < 0)
        return;
    std::string line = std::string(kind) + (text.empty() ? "" : " " + text) + "\n";
    // Lines are short: each write reaches the pipe whole.
    if (line.size() > 500)
        line = line.substr(0, 499) + "\n";
    ssize_t ignored = write(s_report, line.data(), line.size());
    (void)ignored;
}

std::string format(const char* fmt, ...) {
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

// The first of the level's own objects still there (the camera also serves the scenes),
// null when there is none.
const char* levelLeftOver() {
    const std::pair<const char*, const void*> level[] = {{"g_hero", g_hero},
                                                         {"g_boss", g_boss},
                                                         {"g_terrain", g_terrain},
                                                         {"g_skyBox", g_skyBox},
                                                         {"g_collisionWorld", g_collisionWorld},
                                                         {"g_projectiles", g_projectiles},
                                                         {"g_fountain", g_fountain},
                                                         {"g_frameRate", g_frameRate}};
    for (const auto& [name, object] : level)
        if (object)
            return name;
    return nullptr;
}

// What a game of the walk heads for; only the weights of the steps differ.
enum Plan { PLAN_WANDER, PLAN_WIN, PLAN_DIE, PLAN_COUNT };

struct Walk {
    Random random;
    Plan plan = PLAN_WANDER;
    int maxSteps = 400;
    double deadline = 1e9; // seconds of the walk
    // The current step: one input (or set-up) per frame, then the next step.
    std::deque<std::function<void(GameDriver&)>> ops;
    int steps = 0;
    GameState lastState = STATE_INTRO1;
    int framesInState = 0;
    bool escapeSent = false;
    bool ending = false; // Quit or a closed window: the game must end by itself
    int framesEnding = 0;
    std::map<std::string, int> edges; // "1>5" -> times
    int games = 0, conversations = 0, gameOvers = 0, wins = 0, trades = 0;
    bool patient = false; // watches the intros to their end
    int heldKey = 0;

    void wait(int frames) {
        for (int i = 0; i < frames; ++i)
            ops.push_back([](GameDriver&) {});
    }
    void tap(int scancode, int holdFrames = 1) {
        ops.push_back([scancode](GameDriver& d) { d.key(scancode, true); });
        wait(holdFrames - 1);
        ops.push_back([scancode](GameDriver& d) { d.key(scancode, false); });
    }
    void click(int button) {
        ops.push_back([button](GameDriver& d) { d.button(button, true); });
        ops.push_back([button](GameDriver& d) { d.button(button, false); });
    }
    // The cursor, from the top-left corner, to (x, y) in the menu's coordinates (origin
    // bottom left), then a click.
    void clickMenu(float x, float y) {
        ops.push_back([](GameDriver& d) { d.motion(-2000, -2000); });
        ops.push_back([x, y](GameDriver& d) { d.motion(int(x), int(600.0f - y)); });
        click(SDL_BUTTON_LEFT);
    }
    void step(const std::string& what) {
        ++steps;
        report("S", format("%4d  frame %6d  state %d  %s", steps, framesTotal, int(g_gameState),
                           what.c_str()));
    }
    // A step of doing nothing for a drawn number of frames; `what` names it around "%d".
    void idle(int lo, int hi, const char* what = "wait %d frames") {
        const int hold = random.between(lo, hi);
        step(format(what, hold));
        wait(hold);
    }
    int framesTotal = 0;
};

std::vector<int> npcSlots() {
    std::vector<int> slots;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i)
        if (g_objectTable[i] && g_dataLayer && g_dataLayer->kindOf(i) == KIND_NPC)
            slots.push_back(i);
    return slots;
}

std::vector<Character*> livingEnemyObjects() {
    std::vector<Character*> enemies;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i)
        if (g_objectTable[i] && g_dataLayer && g_dataLayer->kindOf(i) == KIND_ENEMY)
            if (auto* c = dynamic_cast<Character*>(g_objectTable[i]))
                enemies.push_back(c);
    return enemies;
}

// ---- invariants, after every frame

std::string checkInvariants(Walk& w) {
    const GameState s = g_gameState;
    if (s < 0 || s > 7)
        return format("the state is %d, not one of the eight", int(s));
    if (s == STATE_NONE)
        return "the state is 2, which nothing enters";

    struct Named {
        const char* name;
        const void* p;
    };
    const Named globals[] = {
        {"g_sound", g_sound},
        {"g_cutsceneSound", g_cutsceneSound},
        {"g_hero", g_hero},
        {"g_boss", g_boss},
        {"g_dataLayer", g_dataLayer},
        {"g_terrain", g_terrain},
        {"g_skyBox", g_skyBox},
        {"g_water", g_water},
        {"g_camera", g_camera},
        {"g_light", g_light},
        {"g_collisionWorld", g_collisionWorld},
        {"g_projectiles", g_projectiles},
        {"g_frustum", g_frustum},
        {"g_frameRate", g_frameRate},
        {"g_font", g_font},
        {"g_hud", g_hud},
        {"g_fountain", g_fountain},
        {"g_talkPartner", g_talkPartner},
        {"g_titleModel", g_titleModel},
        {"g_titleBackdrop", g_titleBackdrop},
        {"g_titleFlare", g_titleFlare},
        {"g_actor", g_actor},
        {"g_prop", g_prop},
        {"g_lineEnemy", g_lineEnemy},
        {"g_lineInsect", g_lineInsect},
        {"g_sceneFlare", g_sceneFlare},
    };
    for (const Named& g : globals)
        if (!alive(g.p))
            return format("%s points at a destroyed object", g.name);

    // The object table: live objects, each once, each in the slot of its identifier.
    std::set<const SceneObject*> seen;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        SceneObject* o = g_objectTable[i];
        if (!o)
            continue;
        if (!alive(o))
            return format("g_objectTable[%d] points at a destroyed object", i);
        if (!seen.insert(o).second)
            return format("g_objectTable[%d] holds an object of an earlier slot", i);
        const auto* m = dynamic_cast<const ModelObject*>(o);
        if (m && m->m_id != i)
            return format("g_objectTable[%d] holds the object with identifier %d", i, m->m_id);
        if (!g_dataLayer)
            return format("g_objectTable[%d] is filled without a data layer", i);
    }
    // The gem list: count within the table, the first count entries live and distinct,
    // the rest empty.
    if (g_gemCount < 0 || g_gemCount > GEM_TABLE_SIZE)
        return format("g_gemCount is %d", int(g_gemCount));
    std::set<const Gem*> gems;
    for (int i = 0; i < GEM_TABLE_SIZE; ++i) {
        const Gem* gem = g_gems[i];
        if (i >= g_gemCount) {
            if (gem)
                return format("g_gems[%d] is set beyond the count %d", i, int(g_gemCount));
            continue;
        }
        if (!gem)
            return format("g_gems[%d] is empty within the count %d", i, int(g_gemCount));
        if (!alive(gem))
            return format("g_gems[%d] points at a destroyed gem", i);
        if (!gems.insert(gem).second)
            return format("g_gems[%d] repeats an earlier gem", i);
    }
    // The talk partner is one of the level's characters.
    if (g_talkPartner) {
        bool found = false;
        for (int slot : npcSlots())
            found = found || g_objectTable[slot] == static_cast<SceneObject*>(g_talkPartner);
        if (!found)
            return "g_talkPartner is not one of the level's characters";
    }

    const char* level = levelLeftOver();
    switch (s) {
    case STATE_PLAY:
    case STATE_CONVERSATION:
    case STATE_GAME_OVER:
        if (!g_hero || !g_boss || !g_dataLayer || !g_terrain || !g_camera || !g_collisionWorld ||
            !g_projectiles)
            return format("state %d without a whole level (hero %p, boss %p, terrain %p, "
                          "camera %p)",
                          int(s), (void*)g_hero, (void*)g_boss, (void*)g_terrain, (void*)g_camera);
        if (g_actor || g_prop)
            return format("state %d with a scene actor left over", int(s));
        if (s == STATE_CONVERSATION) {
            if (!g_talkPartner)
                return "a conversation without a partner";
            if (g_talkStep < 0 || g_talkStep > 2)
                return format("conversation step %d", int(g_talkStep));
        }
        break;
    case STATE_TITLE:
        if (level)
            return format("the title with the level still there (%s)", level);
        for (int i = 0; i < OBJECT_TABLE_SIZE; ++i)
            if (g_objectTable[i])
                return format("the title with g_objectTable[%d] still set", i);
        if (g_gemCount != 0)
            return format("the title with %d gems in the list", int(g_gemCount));
        if (g_actor || g_prop)
            return "the title with a scene actor left over (g_actor/g_prop)";
        // Quit destroys the title's models before the quit message is taken.
        if (!g_titleModel && !w.ending)
            return "the title without its model";
        break;
    case STATE_INTRO1:
    case STATE_INTRO2:
        if (level)
            return format("an intro scene with a level (%s)", level);
        break;
    case STATE_CREDITS:
        // The first credits frame releases the level and builds the scene.
        if (w.framesInState >= 2) {
            if (level)
                return format("the credits with the level still there (%s)", level);
            if (!g_actor)
                return "the credits without their scene";
        }
        break;
    default:
        break;
    }

    if (w.lastState != s) {
        static const std::set<std::string> allowed = {"3>4", "3>0", "4>0", "0>1", "1>5", "5>1",
                                                      "1>6", "1>7", "6>0", "7>0", "1>0", "5>0"};
        const std::string edge = format("%d>%d", int(w.lastState), int(s));
        if (!allowed.count(edge))
            return "the state went " + edge + ", which no transition does";
        if ((w.lastState == STATE_CONVERSATION || w.lastState == STATE_PLAY) && s == STATE_TITLE &&
            !w.escapeSent)
            return "play or a conversation ended on the title without Escape";
        if (w.lastState == STATE_CONVERSATION && s == STATE_PLAY) {
            if (g_talkPartner)
                return "a finished conversation left its partner set";
            if (g_hero && g_hero->m_paused)
                return "a finished conversation left the hero paused";
        }
    }
    return std::string();
}

// ---- choosing the next step

// Some level set-ups, done directly: the walk would take minutes to get there by play.
void beside(Walk& w, int slot) {
    SceneObject* npc = g_objectTable[slot];
    if (!npc || !g_hero || !g_dataLayer)
        return;
    const Vector at = npc->getPosition() + Vector(6.0f, 0.0f, 6.0f);
    g_hero->setPosition(at);
    g_dataLayer->movePlayer(at.x, at.z);
    (void)w;
}

// What a step in play does, weighted by the game's plan.
enum PlayAction {
    A_TALK,
    A_STRIKE,
    A_DIE,
    A_ESCAPE,
    A_T,
    A_P,
    A_WHEEL,
    A_SHOOT,
    A_BAT,
    A_JUMP,
    A_DODGE,
    A_WAIT,
    A_WALK,
    A_COUNT
};

int pickAction(Walk& w) {
    static const int weights[PLAN_COUNT][A_COUNT] = {
        // talk strike die escape  T  P wheel shoot bat jump dodge wait walk
        {18, 8, 4, 4, 6, 4, 8, 8, 4, 4, 4, 4, 24},   // wander
        {10, 20, 0, 1, 4, 3, 6, 6, 3, 3, 3, 12, 15}, // win: on to the boss
        {10, 4, 15, 2, 5, 3, 6, 6, 3, 3, 3, 4, 20},  // die
    };
    const int* weight = weights[w.plan];
    int total = 0;
    for (int i = 0; i < A_COUNT; ++i)
        total += weight[i];
    int roll = w.random.below(total);
    for (int i = 0; i < A_COUNT; ++i) {
        if (roll < weight[i])
            return i;
        roll -= weight[i];
    }
    return A_WALK;
}

// In play or a conversation the first Escape only asks; the second leaves. Sometimes only
// one, so that the question's going on is walked as well.
void escapeOnceOrTwice(Walk& w, Random& r) {
    w.escapeSent = true;
    if (r.below(3) == 0) {
        w.step("Escape once (asks, then goes on)");
        w.tap(SDL_SCANCODE_ESCAPE);
        return;
    }
    w.step("Escape twice");
    w.tap(SDL_SCANCODE_ESCAPE);
    w.wait(r.between(0, 10));
    w.tap(SDL_SCANCODE_ESCAPE);
}

void choosePlay(Walk& w) {
    Random& r = w.random;
    const bool bossFight =
        g_boss && g_dataLayer && g_dataLayer->isBossActive() && g_boss->m_phase == BOSS_FIGHT;
    if (g_hero && g_hero->m_paused && r.chance(60)) {
        w.step("P (resume)");
        w.tap(SDL_SCANCODE_P);
        return;
    }
    if (bossFight && r.chance(35)) {
        w.step("set-up: a heavy blow to the boss");
        w.ops.push_back([](GameDriver&) {
            if (g_boss && g_hero)
                g_boss->onHit(0, WEAPON_BAT, 100000, Vector(1.0f, 0.0f, 0.0f));
        });
        w.wait(r.between(5, 30));
        return;
    }
    const int action = pickAction(w);
    if (action == A_TALK) {
        const std::vector<int> npcs = npcSlots();
        if (npcs.empty())
            return;
        const int slot = npcs[size_t(r.below(int(npcs.size())))];
        const int gems = r.chance(50) ? 0 : r.between(10, 80);
        w.step(format("set-up: the hero beside %s with %d gems, then T",
                      g_dataLayer->npcName(slot).c_str(), gems));
        w.ops.push_back([slot, gems, &w](GameDriver&) {
            if (!g_hero || !g_objectTable[slot])
                return;
            g_hero->m_gems = gems;
            beside(w, slot);
        });
        w.tap(SDL_SCANCODE_T, 2);
        w.wait(r.between(1, 10));
    } else if (action == A_STRIKE) {
        w.step("set-up: strike every enemy as a heavy blow would");
        w.ops.push_back([](GameDriver&) {
            for (Character* c : livingEnemyObjects())
                c->onHit(0, WEAPON_BAT, 100000, Vector(1.0f, 0.0f, 0.0f));
        });
        w.wait(r.between(5, 40));
    } else if (action == A_DIE) {
        w.step("set-up: the hero at his last point of life, then a blow");
        w.ops.push_back([](GameDriver&) {
            if (g_dataLayer && g_hero) {
                g_dataLayer->setPlayerLife(1);
                g_hero->onHit(0, 0, 10, Vector(1.0f, 0.0f, 0.0f));
            }
        });
        w.wait(r.between(3, 30));
    } else if (action == A_ESCAPE) {
        escapeOnceOrTwice(w, r);
        w.wait(r.between(0, 5));
    } else if (action == A_T) {
        w.step("T");
        w.tap(SDL_SCANCODE_T, r.between(1, 4));
    } else if (action == A_P) {
        w.step("P");
        w.tap(SDL_SCANCODE_P);
        w.wait(r.between(0, 20));
    } else if (action == A_WHEEL) {
        const int notches = r.chance(50) ? 1 : -1;
        w.step(format("wheel %+d", notches));
        w.ops.push_back([notches](GameDriver& d) { d.wheel(notches); });
    } else if (action == A_SHOOT) {
        const int hold = r.between(1, 25);
        w.step(format("aim and shoot (%d frames)", hold));
        w.ops.push_back([](GameDriver& d) { d.button(SDL_BUTTON_LEFT, true); });
        w.wait(hold);
        w.ops.push_back([](GameDriver& d) { d.button(SDL_BUTTON_LEFT, false); });
    } else if (action == A_BAT) {
        w.step("swing the bat");
        w.click(SDL_BUTTON_RIGHT);
    } else if (action == A_JUMP) {
        w.step("jump");
        w.tap(SDL_SCANCODE_SPACE, r.between(1, 5));
    } else if (action == A_DODGE) {
        const int key = r.chance(50) ? SDL_SCANCODE_LSHIFT : SDL_SCANCODE_LCTRL;
        w.step("dodge");
        w.tap(key);
    } else if (action == A_WAIT) {
        w.idle(20, 200);
    } else {
        static const int keys[] = {SDL_SCANCODE_W, SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D};
        const int key = keys[r.below(4)];
        const int hold = r.between(3, 40);
        const int dx = r.between(-60, 60), dy = r.between(-10, 10);
        w.step(format("walk %s for %d frames, turning (%d, %d)",
                      SDL_GetScancodeName(SDL_Scancode(key)), hold, dx, dy));
        w.ops.push_back([key, dx, dy](GameDriver& d) {
            d.key(key, true);
            d.motion(dx, dy);
        });
        w.wait(hold);
        w.ops.push_back([key](GameDriver& d) { d.key(key, false); });
    }
}

void chooseConversation(Walk& w) {
    Random& r = w.random;
    const int roll = r.below(100);
    if (roll < 45) {
        w.step(format("Enter (conversation step %d)", int(g_talkStep)));
        w.tap(SDL_SCANCODE_RETURN);
        w.wait(r.between(0, 8));
    } else if (roll < 60) {
        w.step("Up");
        w.tap(SDL_SCANCODE_UP);
    } else if (roll < 75) {
        w.step("Down");
        w.tap(SDL_SCANCODE_DOWN);
    } else if (roll < 82) {
        w.step("T");
        w.tap(SDL_SCANCODE_T, r.between(1, 3));
    } else if (roll < 88) {
        escapeOnceOrTwice(w, r);
    } else {
        w.idle(5, 60);
    }
}

void chooseTitle(Walk& w) {
    Random& r = w.random;
    const int roll = r.below(100);
    // Quitting ends the walk: rarely before it has seen a second game and a second win.
    const int quit = w.games >= 2 && (w.wins >= 2 || w.games >= 5) ? 10 : 1;
    if (roll < quit) {
        w.step("click Quit");
        w.clickMenu(595.0f, 45.0f);
        w.ending = true;
    } else if (roll < 75) {
        w.step("click Play Game");
        w.clickMenu(600.0f, 180.0f);
        w.wait(1);
    } else if (roll < 85) {
        const int dx = r.between(-200, 200), dy = r.between(-200, 200);
        w.step(format("move the cursor (%d, %d) and click", dx, dy));
        w.ops.push_back([dx, dy](GameDriver& d) { d.motion(dx, dy); });
        w.click(SDL_BUTTON_LEFT);
    } else if (roll < 90) {
        w.step("Escape (ignored on the title)");
        w.tap(SDL_SCANCODE_ESCAPE);
    } else {
        w.idle(5, 60);
    }
}

void chooseNext(Walk& w) {
    Random& r = w.random;
    // Closing the window ends a walk wherever it is (but a patient walk sees the intros).
    const bool watching = w.patient && (g_gameState == STATE_INTRO1 || g_gameState == STATE_INTRO2);
    if (!watching && r.below(1000) < 6) {
        w.step("close the window (the window manager's close request)");
        w.ops.push_back([](GameDriver& d) { d.requestClose(); });
        w.ending = true;
        return;
    }
    if (!watching && r.below(1000) < 2) {
        w.step("destroy the window from outside");
        w.ops.push_back([](GameDriver& d) { d.destroyWindow(); });
        w.ending = true;
        return;
    }
    if (!watching && r.below(1000) < 2) {
        const int signal = r.chance(50) ? SIGTERM : SIGINT;
        w.step(signal == SIGTERM ? "SIGTERM (the session ends)"
                                 : "SIGINT (Ctrl+C in the terminal)");
        w.ops.push_back([signal](GameDriver&) { kill(getpid(), signal); });
        w.ending = true;
        return;
    }
    switch (g_gameState) {
    case STATE_INTRO1:
    case STATE_INTRO2:
        if (!w.patient && r.chance(60)) {
            w.step("Enter (skip the intro)");
            w.tap(SDL_SCANCODE_RETURN, r.between(1, 3));
        } else {
            w.idle(10, 60, "watch the intro for %d frames");
        }
        break;
    case STATE_TITLE:
        chooseTitle(w);
        break;
    case STATE_PLAY:
        choosePlay(w);
        break;
    case STATE_CONVERSATION:
        chooseConversation(w);
        break;
    case STATE_GAME_OVER: {
        const int roll = r.below(100);
        if (roll < 50) {
            w.step("Enter (leave game over)");
            w.tap(SDL_SCANCODE_RETURN, r.between(1, 3));
        } else if (roll < 75) {
            w.step("Escape");
            w.escapeSent = true;
            w.tap(SDL_SCANCODE_ESCAPE);
        } else {
            w.idle(5, 40);
        }
        break;
    }
    case STATE_CREDITS: {
        const int roll = r.below(100);
        if (roll < 25) {
            w.step("Enter (leave the credits)");
            w.tap(SDL_SCANCODE_RETURN, r.between(1, 3));
        } else if (roll < 35) {
            w.step("Escape (ignored in the credits)");
            w.tap(SDL_SCANCODE_ESCAPE);
        } else {
            w.idle(10, 80, "watch the credits for %d frames");
        }
        break;
    }
    default:
        w.step("wait");
        w.wait(10);
        break;
    }
}

// Every shared library loaded now stays loaded to the end, so that the leak check at
// exit can still name the system libraries whose caches it suppresses.
void keepLibrariesLoaded() {
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps)
        return;
    char line[1024];
    std::set<std::string> done;
    while (std::fgets(line, sizeof line, maps)) {
        const char* path = std::strchr(line, '/');
        if (!path || !std::strstr(path, ".so"))
            continue;
        std::string p(path);
        while (!p.empty() && (p.back() == '\n' || p.back() == ' '))
            p.pop_back();
        if (done.insert(p).second)
            dlopen(p.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    std::fclose(maps);
}

std::string summaryOf(const Walk& w, const GameDriver& d, int code) {
    std::string summary = format("%d steps, %d frames, %.0f s, %d games, %d conversations, %d "
                                 "game overs, %d wins; exit %d; edges",
                                 w.steps, w.framesTotal, d.seconds(), w.games, w.conversations,
                                 w.gameOvers, w.wins, code);
    for (const auto& e : w.edges)
        summary += format(" %s:%d", e.first.c_str(), e.second);
    return summary;
}

bool frame(GameDriver& d, Walk& w) {
    ++w.framesTotal;
    report("F", "");
    const GameState s = g_gameState;
    w.framesInState = (s == w.lastState) ? w.framesInState + 1 : 1;
    const std::string broken = s_checkInvariants ? checkInvariants(w) : std::string();
    if (s != w.lastState) {
        ++w.edges[format("%d>%d", int(w.lastState), int(s))];
        if (s == STATE_PLAY && w.lastState == STATE_TITLE) {
            ++w.games;
            const int roll = w.random.below(100);
            w.plan = roll < 45 ? PLAN_WIN : (roll < 65 ? PLAN_DIE : PLAN_WANDER);
            static const char* const names[] = {"wander", "win", "die"};
            w.step(format("a new game: the plan is to %s", names[w.plan]));
        }
        if (s == STATE_CONVERSATION)
            ++w.conversations;
        if (s == STATE_GAME_OVER)
            ++w.gameOvers;
        if (s == STATE_CREDITS)
            ++w.wins;
        w.lastState = s;
        w.escapeSent = false;
        // A new screen: let go of what was held (as a player would).
        d.releaseAll();
    }
    if (!broken.empty()) {
        report("X", broken);
        // Closing a broken game would only add the consequences to the report.
        report("D", summaryOf(w, d, 3));
        _exit(3);
    }
    if (w.ending) {
        // After Quit or a close the game must end on its own within a few frames.
        if (w.ops.empty() && ++w.framesEnding > 300) {
            report("X", "the game did not end 300 frames after Quit or a close");
            report("D", summaryOf(w, d, 3));
            _exit(3);
        }
    }
    if (w.ops.empty() && !w.ending) {
        if (w.steps >= w.maxSteps || d.seconds() > w.deadline) {
            w.step("end of the walk: the game is closed");
            keepLibrariesLoaded();
            return false;
        }
        chooseNext(w);
    }
    if (!w.ops.empty()) {
        auto op = std::move(w.ops.front());
        w.ops.pop_front();
        op(d);
        if (w.ending && w.ops.empty())
            keepLibrariesLoaded();
    }
    return true;
}

// One seed in twenty watches the two intro scenes to their ends (some three minutes).
bool isPatient(uint64_t seed) {
    return seed % 20 == 0;
}

int runWalk(uint64_t seed, int maxSteps, double seconds) {
    Walk w;
    w.random.state = seed;
    w.maxSteps = maxSteps;
    w.deadline = seconds;
    w.patient = isPatient(seed);
    report("S", format("   0  walk with seed %llu%s", (unsigned long long)seed,
                       w.patient ? ", watching the intros" : ""));
    GameDriver driver(".");
    const int code = driver.run([&w](GameDriver& d) { return frame(d, w); }, seconds + 120.0);
    report("D", summaryOf(w, driver, code));
    if (code == 124) {
        report("X", "the walk ran out of time");
        return 3;
    }
    if (code != 0) {
        report("X", format("the game ended with status %d", code));
        return 3;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// The watcher (the parent process).

struct Totals {
    int walks = 0, steps = 0, frames = 0, games = 0, conversations = 0, gameOvers = 0, wins = 0;
    std::map<std::string, int> edges;
};

void addSummary(Totals& t, const std::string& summary) {
    int steps = 0, frames = 0, games = 0, talks = 0, overs = 0, wins = 0;
    double seconds = 0;
    if (std::sscanf(summary.c_str(),
                    "%d steps, %d frames, %lf s, %d games, %d conversations, %d game overs, %d "
                    "wins",
                    &steps, &frames, &seconds, &games, &talks, &overs, &wins) == 7) {
        t.steps += steps;
        t.frames += frames;
        t.games += games;
        t.conversations += talks;
        t.gameOvers += overs;
        t.wins += wins;
    }
    const size_t at = summary.find("edges");
    if (at == std::string::npos)
        return;
    const char* p = summary.c_str() + at + 5;
    char edge[16];
    int n = 0, used = 0;
    while (std::sscanf(p, " %15[^:]:%d%n", edge, &n, &used) == 2) {
        t.edges[edge] += n;
        p += used;
    }
}

// Runs one walk in a child process and watches it. Returns true when it went clean.
bool watchWalk(const char* self, uint64_t seed, int maxSteps, double seconds, Totals& totals) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("tarvo-explore: pipe");
        return false;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("tarvo-explore: fork");
        return false;
    }
    // Every walk is recorded; a faulty one keeps its demo beside its seed. Demos go beside
    // the content folder, never into it: the content checks compare that folder byte for byte.
    std::error_code ignored;
    const std::filesystem::path demoDir =
        std::filesystem::absolute("..", ignored) / "artifacts" / "explore";
    std::filesystem::create_directories(demoDir, ignored);
    const std::string demo =
        (demoDir / format("explore-%llu.demo", (unsigned long long)seed)).string();
    if (child == 0) {
        close(fds[0]);
        setenv("TARVO_DEMO", demo.c_str(), 1);
        const std::string seedText = std::to_string(seed), steps = std::to_string(maxSteps),
                          fd = std::to_string(fds[1]), secs = std::to_string(seconds);
        execl(self, self, "--walk", seedText.c_str(), "--steps", steps.c_str(), "--seconds",
              secs.c_str(), "--report", fd.c_str(),
              s_checkInvariants ? (char*)nullptr : "--sanitizers-only", (char*)nullptr);
        std::perror("tarvo-explore: exec");
        _exit(127);
    }
    close(fds[1]);
    std::printf("walk %d: seed %llu (replay: tarvo-explore --seed %llu)\n", totals.walks + 1,
                (unsigned long long)seed, (unsigned long long)seed);
    std::fflush(stdout);
    std::deque<std::string> last;
    std::string pending, summary, broken;
    bool hung = false;
    auto lastSign = std::chrono::steady_clock::now();
    bool open = true;
    while (open) {
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, 500);
        if (ready > 0) {
            char buffer[4096];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                open = false;
                break;
            }
            lastSign = std::chrono::steady_clock::now();
            pending.append(buffer, size_t(n));
            size_t nl;
            while ((nl = pending.find('\n')) != std::string::npos) {
                const std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (line.empty() || line == "F")
                    continue;
                const std::string text = line.size() > 2 ? line.substr(2) : std::string();
                if (line[0] == 'S') {
                    last.push_back(text);
                    if (last.size() > kStepsShown)
                        last.pop_front();
                } else if (line[0] == 'X') {
                    broken = text;
                } else if (line[0] == 'D') {
                    summary = text;
                }
            }
        }
        const double quiet =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - lastSign).count();
        if (quiet > kHangSeconds) {
            hung = true;
            break;
        }
    }
    int status = 0;
    if (hung) {
        // A hung game may ignore SIGTERM: that is part of what is reported.
        kill(child, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 30 && !ended; ++i) {
            usleep(100000);
            ended = waitpid(child, &status, WNOHANG) == child;
        }
        if (!ended) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            broken =
                format("no frame for %.0f s (a hang), and SIGTERM did not end it", kHangSeconds);
        } else {
            broken = format("no frame for %.0f s (a hang)", kHangSeconds);
        }
    } else {
        waitpid(child, &status, 0);
    }
    close(fds[0]);
    ++totals.walks;
    if (!summary.empty())
        addSummary(totals, summary);
    bool clean = !hung && broken.empty() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (clean) {
        unlink(demo.c_str());
        std::printf("walk %d: clean: %s\n", totals.walks, summary.c_str());
        std::fflush(stdout);
        return true;
    }
    std::string why = broken;
    if (why.empty()) {
        if (WIFSIGNALED(status))
            why = format("the game died of signal %d (%s); a sanitizer report, if any, is above",
                         WTERMSIG(status), strsignal(WTERMSIG(status)));
        else if (WIFEXITED(status))
            why = format("the game exited with status %d; a sanitizer report, if any, is above",
                         WEXITSTATUS(status));
    }
    std::printf("\ntarvo-explore: FAULT in walk %d, seed %llu: %s\n", totals.walks,
                (unsigned long long)seed, why.c_str());
    std::printf("the last %zu steps:\n", last.size());
    for (const std::string& s : last)
        std::printf("  %s\n", s.c_str());
    std::printf("replay: tarvo-explore --seed %llu\n", (unsigned long long)seed);
    // Up to the first state the walk set directly (a cheat the demo cannot hold), the demo
    // replays the walk frame for frame.
    std::printf("demo of the walk: tarvo --replay %s\n\n", demo.c_str());
    std::fflush(stdout);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    uint64_t seed = 0;
    bool haveSeed = false;
    double minutes = 2.0;
    int maxSteps = 400;
    bool keepGoing = false;
    bool walk = false;
    double walkSeconds = 600.0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if ((a == "--seed" || a == "--walk") && next) {
            seed = std::strtoull(next, nullptr, 10);
            haveSeed = true;
            walk = walk || a == "--walk";
            ++i;
        } else if (a == "--minutes" && next) {
            minutes = std::atof(next);
            ++i;
        } else if (a == "--steps" && next) {
            maxSteps = std::atoi(next);
            ++i;
        } else if (a == "--seconds" && next) {
            walkSeconds = std::atof(next);
            ++i;
        } else if (a == "--report" && next) {
            s_report = std::atoi(next);
            ++i;
        } else if (a == "--keep-going") {
            keepGoing = true;
        } else if (a == "--sanitizers-only") {
            s_checkInvariants = false;
        } else {
            std::fprintf(stderr, "usage: tarvo-explore [--seed N] [--minutes M] [--steps S] "
                                 "[--keep-going] [--sanitizers-only]\n");
            return 2;
        }
    }
    if (walk) {
        // The walk must not outlive a watcher that is gone.
        signal(SIGPIPE, SIG_DFL);
        return runWalk(seed, maxSteps, walkSeconds);
    }

    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        std::perror("tarvo-explore: /proc/self/exe");
        return 1;
    }
    self[n] = '\0';
    Totals totals;
    int faults = 0;
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    if (haveSeed) {
        faults += watchWalk(self, seed, maxSteps, 1e6, totals) ? 0 : 1;
    } else {
        Random master{uint64_t(std::chrono::system_clock::now().time_since_epoch().count()) ^
                      uint64_t(getpid())};
        while (elapsed() < minutes * 60.0 - 20.0) {
            uint64_t walkSeed = master.next() % 1000000000ull;
            // In a long run every sixth walk watches the intros; a short one has no time.
            if (minutes >= 10.0 && totals.walks % 6 == 5)
                walkSeed -= walkSeed % 20;
            else if (isPatient(walkSeed))
                ++walkSeed;
            // A walk may use what is left of the time (a walk in progress ends itself).
            const double left = std::max(20.0, minutes * 60.0 - elapsed());
            if (!watchWalk(self, walkSeed, maxSteps, left, totals)) {
                ++faults;
                if (!keepGoing)
                    break;
            }
        }
    }
    std::printf("tarvo-explore: %d walks, %d steps, %d frames in %.1f minutes: %d games, %d "
                "conversations, %d game overs, %d wins; %d faulty walks\n",
                totals.walks, totals.steps, totals.frames, elapsed() / 60.0, totals.games,
                totals.conversations, totals.gameOvers, totals.wins, faults);
    std::printf("transitions seen:");
    for (const auto& e : totals.edges)
        std::printf(" %s x%d", e.first.c_str(), e.second);
    std::printf("\n");
    return faults ? 1 : 0;
}
