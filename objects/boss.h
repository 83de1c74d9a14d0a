// Boss: the last opponent, a Character created inactive. Once the data layer says the
// boss takes part, the play frame activates it; it then descends at a fixed 5 ms step
// per frame (whatever the frame time) with the camera flown to watch it wherever the hero
// is, charges its blue flare for 1 / 0.0003 ms of game time with the camera on it, fights
// like a magician with stronger bolts (a hero far off is brought to the fight), and its
// death fades the screen to white and leads to the credits.
//
// Costs: update is constant time plus the model's blend step and, in the fight, at
// most one projectile a cast. The flare and the effect are made at construction (their
// textures load in loadEffectTextures, which needs a GL context).
//
// Not guaranteed: the boss keeps no position of its own inside the world; the play
// frame clamps it. It casts no stencil shadow (both shadow slots do nothing).
#pragma once

#include "objects/character.h"

#include <cstdint>
#include <memory>

class FlareEffect;

enum BossPhase : int32_t {
    BOSS_DESCENT = 0,
    BOSS_CHARGE = 1,
    BOSS_FIGHT = 2,
    BOSS_DEAD = 3,
};

// Where the boss is watched from, so that its arrival is seen wherever the hero stands: the
// descent's camera flies (the gap shrinking e-fold every BOSS_WATCH_EASE_MS) to a point
// BOSS_WATCH_DISTANCE out from the landing spot on the hero's side, on a bearing clear of
// scenery, BOSS_WATCH_BELOW under the boss, and sinks with it down to BOSS_WATCH_ABOVE_GROUND.
// From there it looks up at the boss more steeply than the view's half height (22.5 degrees)
// while it is high, so the view never reaches below the horizon from high up, where the
// mountains round the land would no longer hide the sky box's lower half. A hero farther than BOSS_SUMMON_REACH from the boss when the fight
// starts is brought to BOSS_SUMMON_DISTANCE from it on that bearing, facing it.
constexpr float BOSS_WATCH_DISTANCE = 180.0f;
constexpr float BOSS_WATCH_BELOW = 150.0f;
constexpr float BOSS_WATCH_ABOVE_GROUND = 45.0f;
constexpr float BOSS_WATCH_EASE_MS = 250.0f;
constexpr float BOSS_SUMMON_REACH = 450.0f;
constexpr float BOSS_SUMMON_DISTANCE = 230.0f;

// Charge gained per millisecond of the charge phase.
constexpr float BOSS_CHARGE_RATE = 0.0003f;
// The descent's fixed step in milliseconds, per frame.
constexpr float BOSS_DESCENT_STEP_MS = 5.0f;

class Boss : public Character {
public:
    Boss();
    ~Boss() override;

    // As a Character, coloured (1, 1, 1, m_charge); the model only from the charge on;
    // then the flare and the effect.
    void draw() override;
    // One frame of the current phase (see the phase names above).
    void update() override;
    // Becomes active; when it was not, its clock starts now: the frame never updates a
    // sleeping boss, and a whole game of sleep taken as one frame of gravity would drop
    // it from the sky in an instant.
    void wake();
    void updateShadowCasters() override {}
    void drawShadowCasters() override {}
    void setShadowLight(float, float, float, float, bool, int32_t) override {}

    // Loads the flare's and the effect's textures (needs a GL context); once.
    void loadEffectTextures();

    int32_t m_phase = BOSS_DESCENT;
    std::unique_ptr<FlareEffect> m_flare; // "Data/Flare.bmp", blue, ring 1.0, vertical
    float m_charge = 0.0f;                // 0 to 1; also the drawing alpha
    bool m_texturesLoaded = false;        // the first draw loads them when nobody did before
    Vector m_watchBearing;                // from the landing spot toward the watcher; zero: unset

private:
    void updateDescent(double dt);
    void updateCharge(double dt);
    void updateDead();
    void updateFight(double dt);
    void castBolt();
    // The bearing from the boss toward the hero, turned to the nearest one whose line to
    // the boss no scenery stands on; chosen once, at the start of the descent.
    const Vector& watchBearing();
    // Where the descent's eye heads for: over the arena, sinking with the boss.
    Vector descentEye() const;
    // A hero far from the fight is brought to its edge, facing the boss.
    void summonHero();
};

// The level's boss (shell/gamecontext.cpp); null outside a level.
extern Boss* g_boss;
