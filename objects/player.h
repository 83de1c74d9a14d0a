// Player: the hero, Tarvo. A model object steered by the frame commands, whose life
// lives in its data-layer entry, not here. A frame steps him (update), draws him (draw),
// then steps his effect (stepEffect), so that the effect drawn is the one before its step.
//
// Every animation request of the commands and the update goes through one gate
// (queueAnimations), which decides by the animation being played whether the request
// replaces it, follows it or is ignored: a roll cannot be cut short, a swing can be
// reversed into a second swing, walking alternates its steps. All commands are cheap;
// shoot allocates one projectile that the world's projectile list then owns.
#pragma once

#include "objects/modelobject.h"
#include "objects/poses.h"

#include <algorithm>
#include <cstdint>
#include <memory>

class ParticleEffect;
class BitmapFont;

// The hero's facing never tips further up or down than this (its y): beyond it the view
// would swing over the hero's head.
constexpr float MAX_FACING_Y = 0.8f;
// How long the HUD shows the side a hit came from: solid for its first half second, so that
// a look a moment later still finds it, then fading.
constexpr double HIT_MARK_MS = 1500.0;

class Player : public ModelObject {
public:
    Player();
    ~Player() override;

    // The model at the position and heading, and the effect; moves nothing.
    void draw() override;
    // Moves him on by the time passed and carries the effect along; makes no GL call.
    void update() override;
    // Steps the effect (a spark a frame), after the frame has drawn him.
    void stepEffect();
    // A blow or shot: reaction, damage through the data layer, knockback, the flash;
    // death switches the game to game over.
    void onHit(int32_t attackType, int32_t weaponKind, int32_t damage,
               const Vector& direction) override;

    // Commands, each at most once a frame. The walking input sets where the velocity
    // heads; update eases it there over time (a fifth of the gap per sixtieth of a second
    // while walking, a twentieth while stopping), so a walk covers the same ground at any
    // frame rate.
    void move(float forward, float side);
    // Leaves the ground at 60 a second, when he stands on it.
    void jump();
    void turn(float pitch, float yaw);
    // On the ground and under way: a roll (walking forward or back) or a side hop at three
    // times the walking speed, held for the length of its animation.
    void dodge();
    void aim();
    void swingBat();
    // Fires the selected gun; false when it was empty (nothing flies).
    bool shoot();
    void selectWeapon(int32_t n) { m_weapon = n; }
    // A blow is about to reach him from a striker standing there (collision calls it just
    // before onHit): the hit is then marked as coming from the striker, not along the blow,
    // since a striker's facing lags behind where it stands.
    void noteStriker(const Vector& position) {
        m_striker = position;
        m_hasStriker = true;
    }
    // What is left of the last hit's mark, 1 when just hit, 0 when gone.
    float hitMarkStrength() const { return float(std::max(0.0, m_hitMarkMs) / HIT_MARK_MS); }

    // The animation gate: ids and durations of a request of `count` entries (0: none).
    void queueAnimations(const int32_t* ids, const double* durations, int32_t count);

    float m_walkSpeed = 40.0f;
    bool m_aiming = false;
    std::unique_ptr<ParticleEffect> m_effect; // "Data/p2.bmp", 5.0 above the hero
    std::unique_ptr<BitmapFont> m_font;       // "Arial" 20, made with the GL context
    int32_t m_blueAmmo = 10;
    int32_t m_redAmmo = 10;
    int32_t m_gems = 10;
    int32_t m_weapon = 0; // 0 green, 1 red, 2 blue
    int32_t m_greenHeat = 0;
    // Time towards the gun's next heat shed (the gun cools by time, not by frames).
    double m_coolingMs = 0.0;
    float m_forwardInput = 0.0f;
    float m_sideInput = 0.0f;
    double m_invulnerableMs = 1000.0;
    // Standing on the land (or held up by water): set by update when he meets the ground
    // or keeps to it walking downhill, cleared when he leaves it.
    bool m_onGround = false;
    // What is left of a roll or hop; the horizontal velocity is held until it runs out.
    double m_dodgeMs = 0.0;
    // Where the walking input sends the horizontal velocity, and how fast it gets there.
    Vector m_targetVelocity{0.0f, 0.0f, 0.0f};
    float m_easeDivisor = 20.0f;
    // Where the last hit he took came from: a flat unit vector from him towards its source
    // (zero when unknown), and how long its mark has left on screen.
    Vector m_hitFrom{0.0f, 0.0f, 0.0f};
    double m_hitMarkMs = 0.0;

private:
    Vector m_striker{0.0f, 0.0f, 0.0f};
    bool m_hasStriker = false;

    bool onWaterCell() const;
    // The body's share of update: gravity, walking, the gun's heat, the animation.
    void stepBody();
    // Moves the horizontal velocity on by dt ms (the dodge's hold, then the ease) and
    // returns the ground covered meanwhile, exactly as a continuous motion would.
    // The ease snaps to the target at the end unless `snap` is false.
    Vector travel(double dt, bool snap = true);
    // Spends the knockback over dt ms (its push, the speed it lends, its decay) together with
    // the walking velocity, in short pieces so that any frame rate adds up to the same, and
    // returns the ground covered meanwhile, for walkAgainstWalls to take in wall-checked
    // pieces. With
    // `worldShare` the collision world's share of the decay is spent here too.
    Vector pushed(double dt, float riseBefore, bool worldShare);
    void request(std::initializer_list<int32_t> ids, std::initializer_list<double> durations);
};

// The hero of the level (shell/gamecontext.cpp); null outside a level.
extern Player* g_hero;
