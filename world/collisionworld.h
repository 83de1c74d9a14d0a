// CollisionWorld: the level's collision structure. Every object is entered once, at level
// start, with one triangle-exact shape per pose of its model; each play frame then tests
// every moving object against every static object and every later moving object (bodies are
// pushed apart, weapon parts during an attack deal hits), and every live projectile against
// all objects (static objects stop it, moving objects take the hit).
//
// Costs: addObject is expensive (it poses the model at every pose and builds a box tree for
// each); do it at level start only. The per-frame steps are a bounding-sphere test per pair,
// then the shape test for the few pairs that pass. Nothing allocates per frame.
// Inactive objects and stopped projectiles take no part, except that a projectile that
// stopped itself (life spent, land above it) still strikes with the step it stopped on.
// Bounding spheres are centred on each shape's box (position plus its centre offset), and a
// projectile's whole last step is checked against them, so a fast shot cannot skip a body
// between two frames; scenery between that step and a body shields the body.
// Not guaranteed: responses are set, not resolved - a contact writes a knockback that the
// object spends in its own update, so an object that starts inside solid (no surfaces
// crossing) goes unnoticed, and a mover that steps through a thin shape between two frames
// tunnels. The world keeps plain pointers: the objects and projectiles must outlive their
// entries (level release destroys the world with the objects; the projectile list removes a
// projectile before deleting it).
#pragma once

#include "level/levelfile.h"
#include "models/vector.h"
#include "world/collisionshape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

class SceneObject;
class ModelObject;
class Projectile;

// The static and moving tables hold as many as a level may have (LEVEL_MAX_STATIC,
// LEVEL_MAX_MOVING).
constexpr int32_t COLLISION_MAX_PROJECTILES = 20;
constexpr int32_t COLLISION_MAX_POSES = 30;
// Registration categories.
constexpr int32_t COLLISION_MOVING = 1;
constexpr int32_t COLLISION_STATIC = 2;
// The hero's bat: the joint whose triangles deal blows during a swing.
constexpr int32_t HERO_WEAPON_BONE = 8;

// Knockback rules are counted in frames (the world takes a tenth of a free mover's knockback
// a frame, a figure a twentieth of its own; it snaps to zero once shorter than
// KNOCKBACK_SNAP). Whoever spends it by time takes a frame as a sixtieth of a second.
constexpr double KNOCKBACK_FRAME_MS = 1000.0 / 60.0;
constexpr float KNOCKBACK_DECAY_DIVISOR = 10.0f;
constexpr float KNOCKBACK_OWN_DIVISOR = 20.0f;
constexpr float KNOCKBACK_SNAP = 0.7f;
// A knockback is spent in pieces of time this short, so that its push, the speed it lends
// and its decay add up the same at any frame rate.
constexpr double KNOCKBACK_PIECE_MS = 2.0;
// The most pieces one frame is cut into (a frame of seconds, a paused debugger).
constexpr int32_t KNOCKBACK_MAX_PIECES = 1024;
// Walls are met between frames, so a long move (a slow frame, a roll, a hard blow) is walked in
// steps of at most this across the ground, each checked against the scenery's walls: a mover
// stops at most this deep in a wall, whatever the frame rate.
constexpr float MAX_WALK_STEP = 2.0f;

// The continuous rate (per millisecond) at which a share of 1/divisor a frame is spent.
inline double knockbackDecayRate(float divisor) {
    return std::log(double(divisor) / (double(divisor) - 1.0)) / KNOCKBACK_FRAME_MS;
}

// One piece of time of a knockback being spent (see spendKnockback).
struct KnockbackPiece {
    Vector push;          // the knockback the piece began with
    double ms = 0.0;      // the piece's length
    double spentMs = 0.0; // the time it counts for at that size (its integral, in ms)
    double frames = 0.0;  // how many of the once-a-frame pushes of old it stands for
};

// Spends `knockback` over dt ms in pieces of at most KNOCKBACK_PIECE_MS, decaying at `rate` per
// ms and snapping to zero once shorter than KNOCKBACK_SNAP, and hands each piece to `piece`
// after its decay. A piece's `frames` serve a mover that took its whole knockback once a
// frame: any sixtieth of a second adds up to one, so at 60 frames a second each frame still
// pushes by the knockback it began with. One shorter than the snap (bodies pushed apart) lasts
// the whole dt undiminished and then ends: the world sets it again each frame the two touch.
template <typename Piece>
void spendKnockback(Vector& knockback, double dt, double rate, Piece&& piece) {
    if (!(dt > 0.0) || knockback.isZero())
        return;
    const bool brief = knockback.length() < KNOCKBACK_SNAP;
    const int32_t pieces = int32_t(
        std::min(std::max(std::ceil(dt / KNOCKBACK_PIECE_MS), 1.0), double(KNOCKBACK_MAX_PIECES)));
    KnockbackPiece p;
    p.ms = dt / pieces;
    const double keep = brief ? 1.0 : std::exp(-rate * p.ms);
    p.spentMs = brief ? p.ms : (1.0 - keep) / rate;
    p.frames = brief ? p.ms / KNOCKBACK_FRAME_MS
                     : (1.0 - keep) / (1.0 - std::exp(-rate * KNOCKBACK_FRAME_MS));
    for (int32_t i = 0; i < pieces; ++i) {
        p.push = knockback;
        if (brief && i + 1 == pieces) {
            knockback.set(0.0f, 0.0f, 0.0f);
        } else if (!brief) {
            knockback = knockback * float(keep);
            if (knockback.length() < KNOCKBACK_SNAP)
                knockback.set(0.0f, 0.0f, 0.0f);
        }
        piece(p);
    }
}

// One registered object with a shape per pose.
struct CollisionEntry {
    ModelObject* m_object = nullptr;
    std::unique_ptr<CollisionShape> m_shapes[COLLISION_MAX_POSES];
    int32_t m_shapeCount = 0;
    // Held by scenery in the last object test (its knockback was not spent).
    bool m_held = false;
    // The mover spends the world's share of its knockback decay itself (it asked for it).
    bool m_spendsOwnKnockback = false;

    // The shape of a pose; shape 0 for a negative or unknown pose. Null for an empty entry.
    CollisionShape* shapeFor(int32_t pose) const;
    // The shape of the object's current animation.
    CollisionShape* currentShape() const;
};

class CollisionWorld {
public:
    CollisionWorld();
    virtual ~CollisionWorld();
    CollisionWorld(const CollisionWorld&) = delete;
    CollisionWorld& operator=(const CollisionWorld&) = delete;

    // Enters a model object: kind 2 static (placed once, here), anything else moving. Poses
    // the model at each pose of its table (at least one) into a shape, leaves it at pose 0
    // and sets the object's bounding sphere from shape 0. False (nothing written) when the
    // object is null, not a model object, or its table is full.
    bool addObject(SceneObject* object, int32_t kind);
    // Appends a projectile; false when null, already present or 20 are held.
    bool addProjectile(Projectile* projectile);
    // Takes a projectile out, keeping the order of the others; nothing when absent.
    void removeProjectile(Projectile* projectile);

    // Per frame: moving against static, then moving against later moving, with responses.
    // A mover no scenery holds has its knockback spent by the world's share, a tenth a
    // frame, unless it spends that share itself over its own time (see spendsKnockback).
    void testObjects();
    // Per frame: each flying projectile (and one that stopped itself after its last step)
    // against static, then against moving objects. Scenery on a step stops the shot;
    // scenery between the step and a body shields the body.
    void testProjectiles();
    // Whether a registered moving object, where it stands now, touches a wall of the
    // scenery (a surface too steep to stand on, not facing down); its outward world
    // normal goes to `normal`. Writes no response: for a mover that checks a long step
    // piece by piece (walkAgainstWalls).
    bool touchesWall(const ModelObject& mover, Vector& normal);
    // For a mover that spends its knockback over its own update's time (asked every update:
    // the hero, enemies, villagers, the fighting boss): whether the world's share of the
    // decay applies now, that is, it is registered and no scenery held it in the last test.
    // From its first ask on, the world leaves that share of the mover's decay to the mover,
    // so that a long frame's push is not cut short before the mover has walked it. Others
    // keep the world's decay once a frame.
    bool spendsKnockback(const ModelObject& mover);
    // How far the line from `from` to `to` runs before it meets active scenery: its whole
    // length when nothing stands on it (the follow camera's line of sight, every frame). A
    // bounding-sphere test per piece of scenery, the triangle test only for those it passes.
    float sceneryReach(const Vector& from, const Vector& to);

    int32_t staticCount() const { return m_staticCount; }
    int32_t movingCount() const { return m_movingCount; }
    int32_t projectileCount() const { return m_projectileCount; }
    const CollisionEntry& staticEntry(int32_t i) const { return m_static[i]; }
    const CollisionEntry& movingEntry(int32_t i) const { return m_moving[i]; }

    CollisionEntry m_static[LEVEL_MAX_STATIC];
    int32_t m_staticCount = 0;
    CollisionEntry m_moving[LEVEL_MAX_MOVING];
    int32_t m_movingCount = 0;
    Projectile* m_projectiles[COLLISION_MAX_PROJECTILES] = {};
    int32_t m_projectileCount = 0;
    bool m_collided = false;

private:
    void respondStatic(ModelObject& mover, const CollisionEntry& wall);
    void respondMoving(ModelObject& a, ModelObject& b, const CollisionShape& contact);
    void hitWithProjectile(Projectile& projectile, ModelObject& target, int32_t attackType);
    // Whether active scenery meets the segment from `from` to `to` (false for no length).
    bool sceneryOnSegment(const Vector& from, const Vector& to);
};

// Moves `mover` by `step` in pieces of at most MAX_WALK_STEP across the ground; between pieces
// a wall of the level's scenery (g_collisionWorld) stops it and sets its knockback to the
// wall's outward normal, which takes it back out. The frame's own test meets the last piece.
void walkAgainstWalls(ModelObject& mover, const Vector& step);

// The transform that places an object: translation by its position, then rotation by its
// heading (degrees) about +y, as drawing does.
Matrix placementTransform(const Vector& position, float headingDegrees);

// The level's collision world (shell/gamecontext.cpp); null outside a level.
extern CollisionWorld* g_collisionWorld;
