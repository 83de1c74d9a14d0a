// Player: the hero, Tarvo. A model object steered by the frame commands, whose life
// lives in its data-layer entry, not here. Its draw runs its own update first, so the
// play frame only ever calls draw for the hero.
//
// Every animation request of the commands and the update goes through one gate
// (queueAnimations), which decides by the animation being played whether the request
// replaces it, follows it or is ignored: a roll cannot be cut short, a swing can be
// reversed into a second swing, walking alternates its steps. All commands are cheap;
// shoot allocates one projectile that the world's projectile list then owns.
#pragma once

#include "objects/modelobject.h"

#include <cstdint>
#include <memory>

class ParticleEffect;
class BitmapFont;

// The most the hero moves across the ground in one frame: full walking speed down to
// 20 frames a second.
constexpr float MAX_WALK_STEP = 2.0f;

class Player : public ModelObject {
public:
    Player();
    ~Player() override;

    // Runs update, then draws the model at the position and heading and the effect.
    void draw() override;
    void update() override;
    // A blow or shot: reaction, damage through the data layer, knockback, the flash;
    // death switches the game to game over.
    void onHit(int32_t attackType, int32_t weaponKind, int32_t damage,
               const Vector& direction) override;

    // Commands, each at most once a frame.
    void move(float forward, float side);
    void jump();
    void turn(float pitch, float yaw);
    void dodge();
    void aim();
    void swingBat();
    // Fires the selected gun; false when it was empty (nothing flies).
    bool shoot();
    void selectWeapon(int32_t n) { m_weapon = n; }

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
    float m_forwardInput = 0.0f;
    float m_sideInput = 0.0f;
    double m_invulnerableMs = 1000.0;

private:
    bool onWaterCell() const;
    // This frame's move by the velocity, at most MAX_WALK_STEP across the ground.
    Vector walkStep(double dt) const;
    void request(std::initializer_list<int32_t> ids, std::initializer_list<double> durations);
};
