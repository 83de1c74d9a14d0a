// Projectiles: the hero's coloured shots and the hostile bolts of magicians and the boss.
//
// A projectile flies in a straight line at constant speed from launch until its lifetime runs
// out, the ground rises above it, or the collision world stops it (a hit). It owns its trail,
// a particle effect advanced on the projectile's own flight clock. Each update is a handful of
// arithmetic operations, one terrain query and one trail update (1000 slots).
//
// Ownership: whoever builds a projectile owns it until ProjectileList::add accepts it; a
// refused projectile (20 already in flight) stays the caller's to delete. A stopped projectile
// is not deleted here: the list removes it on its next update, and a shot that stopped itself
// is still tested once on its last step before that. The owner pointer is plain and
// only compared by collision (an owner must outlive its shots or be cleared).
#pragma once

#include "models/vector.h"

#include <cstdint>
#include <memory>

class ParticleEffect;
class SceneObject;
class Timer;

// Weapon kinds carried as m_kind.
constexpr int32_t PROJECTILE_HOSTILE = 0;
constexpr int32_t PROJECTILE_GREEN = 1;
constexpr int32_t PROJECTILE_RED = 2;
constexpr int32_t PROJECTILE_BLUE = 3;

class Projectile {
public:
    virtual ~Projectile();
    // Per frame, only while flying: moves by direction * speed * elapsed, spends lifetime,
    // advances and moves the trail, stops below ground or when the lifetime is spent.
    virtual void update();
    // Draws the trail (in world coordinates).
    virtual void draw();

    Projectile(const Projectile&) = delete;
    Projectile& operator=(const Projectile&) = delete;

    // Sets m_flying and restarts the flight timer.
    void launch();
    // Clears m_flying and stops the flight timer.
    void stop();
    bool isFlying() const { return m_flying; }

    void setColor(float r, float g, float b);
    ParticleEffect& effect() { return *m_effect; }
    Timer& timer() { return *m_timer; }

    Vector m_position;
    Vector m_previousPosition;
    int32_t m_damage = 0;
    int32_t m_kind = PROJECTILE_HOSTILE;
    SceneObject* m_owner = nullptr;
    bool m_flying = false;
    // Stopped by its own flight (life spent, land above it) after a step the collision
    // world has not yet tested: the world tests that last step once, then clears this.
    bool m_lastStepPending = false;
    Vector m_direction{0.0f, 0.0f, 0.0f}; // unit length (zero stays zero)
    float m_speed = 0.0f;                 // world units per second
    float m_lifetimeMs = 10.0f;           // remaining flight time
    std::unique_ptr<Timer> m_timer;
    float m_color[3] = {1.0f, 0.0f, 0.0f};
    std::unique_ptr<ParticleEffect> m_effect;
    double m_trailClock = 0.0; // seconds of flight, the trail's time base

protected:
    // At rest at the origin, lifetime 10 ms; the trail is textured with `trailTexture`.
    explicit Projectile(const char* trailTexture);
    // Starts at `position` (also the previous position) flying along `direction`.
    Projectile(const char* trailTexture, const Vector& position, const Vector& direction,
               float speed, float lifetimeMs);

private:
    bool m_timerRunning = false;
};

// The hero's shot; the shooter sets colour, kind, damage and the trail per gun.
class HeroShot : public Projectile {
public:
    HeroShot();
    HeroShot(const Vector& position, const Vector& direction, float speed, float lifetimeMs);
};

// The hostile bolt: trail from the bolt's colour (red) to (1, 0.55, 0.1), sizes 6 to 3,
// particle speed 4, gravity (0, 50, 0).
class Bolt : public Projectile {
public:
    Bolt();
    Bolt(const Vector& position, const Vector& direction, float speed, float lifetimeMs);

private:
    void setUpTrail();
};
