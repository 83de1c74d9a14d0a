#include "world/collisionworld.h"

#include "level/qrvdatalayer.h"
#include "objects/character.h"
#include "objects/modelobject.h"
#include "objects/player.h"
#include "objects/projectile.h"
#include "platform/debugassert.h"
#include "world/terrain.h"

#include <algorithm>
#include <cmath>

namespace {

// Hero animations of the bat swing, and the enemies' attack animations.
constexpr int32_t HERO_SWING_FIRST = 13;
constexpr int32_t HERO_SWING_LAST = 20;
constexpr int32_t ENEMY_ATTACK_FIRST = 5;
constexpr int32_t ENEMY_ATTACK_LAST = 7;
constexpr int32_t BAT_DAMAGE = 20;
// Steeper than this is a wall; flatter is ground to stand on.
constexpr float WALL_NORMAL_Y = 0.8f;
constexpr float SLOPE_PUSH = 2.5f;
// The highest a slope may begin above the feet and still be climbed.
constexpr float SLOPE_STEP_HEIGHT = 4.0f;
constexpr float PUSH_APART_DIVISOR = 1.5f;
constexpr float PI = 3.14159265358979f;
// The most pieces one move is cut into (a frame of seconds, a paused debugger).
constexpr int32_t MAX_WALK_PIECES = 256;

bool isStrikingBone(int32_t bone) {
    return bone == 8 || bone == 7 || bone == 5 || bone == 4;
}

bool isHero(const ModelObject& object) {
    if (g_hero && &object == static_cast<const ModelObject*>(g_hero))
        return true;
    if (object.m_id != PLAYER_ID)
        return false;
    return !g_dataLayer || g_dataLayer->kindOf(object.m_id) == KIND_PLAYER;
}

// The object's bounding-sphere centre as the test places its shape.
Vector sphereCentre(const ModelObject& object, const CollisionShape& shape, bool rotated) {
    Vector offset = shape.boxCenter();
    if (rotated) {
        Matrix turn = placementTransform(Vector(), object.m_heading);
        offset.transform3(turn);
    }
    return object.m_position + offset;
}

bool spheresTouch(const Vector& a, float ra, const Vector& b, float rb) {
    return (a - b).length() < ra + rb;
}

// The point of the segment p0-p1 nearest to c.
Vector nearestOnSegment(const Vector& c, const Vector& p0, const Vector& p1) {
    const Vector d = p1 - p0;
    const float len2 = d.dot(d);
    float t = 0.0f;
    if (len2 > 0.0f)
        t = std::min(1.0f, std::max(0.0f, (c - p0).dot(d) / len2));
    return p0 + d * t;
}

// Shortest distance from point c to the segment p0-p1.
float distanceToSegment(const Vector& c, const Vector& p0, const Vector& p1) {
    return (c - nearestOnSegment(c, p0, p1)).length();
}

} // namespace

Matrix placementTransform(const Vector& position, float headingDegrees) {
    Matrix m;
    const float angles[3] = {0.0f, headingDegrees * PI / 180.0f, 0.0f};
    m.setRotationRadians(angles);
    const float t[3] = {position.x, position.y, position.z};
    m.setTranslation(t);
    return m;
}

CollisionShape* CollisionEntry::shapeFor(int32_t pose) const {
    if (m_shapeCount <= 0)
        return nullptr;
    if (pose < 0 || pose >= m_shapeCount)
        pose = 0;
    return m_shapes[pose].get();
}

CollisionShape* CollisionEntry::currentShape() const {
    return m_object ? shapeFor(m_object->m_currentAnimation) : nullptr;
}

CollisionWorld::CollisionWorld() = default;

CollisionWorld::~CollisionWorld() = default;

bool CollisionWorld::addObject(SceneObject* object, int32_t kind) {
    ModelObject* model = dynamic_cast<ModelObject*>(object);
    if (!model)
        return false;
    const bool isStatic = kind == COLLISION_STATIC;
    int32_t& count = isStatic ? m_staticCount : m_movingCount;
    const int32_t capacity = isStatic ? LEVEL_MAX_STATIC : LEVEL_MAX_MOVING;
    if (count < 0 || count >= capacity)
        return false;
    CollisionEntry& entry = (isStatic ? m_static : m_moving)[count];

    SkinnedModel& skin = model->model();
    const int32_t poses = std::min(std::max(skin.poseCount(), 1), COLLISION_MAX_POSES);
    const Matrix place = placementTransform(model->m_position, model->m_heading);
    for (int32_t i = 0; i < poses; ++i) {
        skin.blendToPose(i, 0.0);
        entry.m_shapes[i] = std::make_unique<CollisionShape>(true);
        skin.buildCollisionShape(*entry.m_shapes[i]);
        if (isStatic)
            entry.m_shapes[i]->setTransform(place);
    }
    // Objects start in their first animation; leave the model there, not at the last pose.
    skin.blendToPose(0, 0.0);
    entry.m_shapeCount = poses;
    entry.m_object = model;
    ++count;

    const CollisionShape& first = *entry.m_shapes[0];
    model->m_sphereOffset = first.boxCenter();
    model->m_sphereRadius = first.boundingRadius();
    return true;
}

bool CollisionWorld::addProjectile(Projectile* projectile) {
    if (!projectile || m_projectileCount >= COLLISION_MAX_PROJECTILES)
        return false;
    for (int32_t i = 0; i < m_projectileCount; ++i)
        if (m_projectiles[i] == projectile)
            return false; // twice in the table would be removed only once
    m_projectiles[m_projectileCount++] = projectile;
    return true;
}

void CollisionWorld::removeProjectile(Projectile* projectile) {
    for (int32_t i = 0; i < m_projectileCount; ++i) {
        if (m_projectiles[i] != projectile)
            continue;
        for (int32_t j = i; j + 1 < m_projectileCount; ++j)
            m_projectiles[j] = m_projectiles[j + 1];
        m_projectiles[--m_projectileCount] = nullptr;
        return;
    }
}

void CollisionWorld::testObjects() {
    for (int32_t m = 0; m < m_movingCount; ++m) {
        CollisionEntry& mover = m_moving[m];
        ModelObject* a = mover.m_object;
        CollisionShape* aShape = mover.currentShape();
        if (!a || !aShape || !a->m_active)
            continue;
        m_collided = false;

        // Against the scenery the mover is placed by translation only.
        const Vector aCentre = sphereCentre(*a, *aShape, false);
        const float aRadius = aShape->boundingRadius();
        bool translated = false;
        for (int32_t s = 0; s < m_staticCount; ++s) {
            const CollisionEntry& wall = m_static[s];
            CollisionShape* sShape = wall.currentShape();
            if (!wall.m_object || !sShape || !wall.m_object->m_active)
                continue;
            if (!spheresTouch(aCentre, aRadius, sphereCentre(*wall.m_object, *sShape, true),
                              sShape->boundingRadius()))
                continue;
            if (!translated) {
                Matrix t;
                const float p[3] = {a->m_position.x, a->m_position.y, a->m_position.z};
                t.setTranslation(p);
                aShape->setTransform(t);
                translated = true;
            }
            if (sShape->intersects(*aShape))
                respondStatic(*a, wall);
        }
        // Knockback is spent once a frame while nothing holds the mover, unless the mover
        // spends the world's share itself over the time its update covers (the figures).
        mover.m_held = m_collided;
        if (!m_collided && !mover.m_spendsOwnKnockback)
            a->m_knockback.approach(a->m_knockback, Vector(0.0f, 0.0f, 0.0f),
                                    KNOCKBACK_DECAY_DIVISOR);

        const Vector aTurnedCentre = sphereCentre(*a, *aShape, true);
        bool placed = false;
        for (int32_t n = m + 1; n < m_movingCount; ++n) {
            const CollisionEntry& other = m_moving[n];
            ModelObject* b = other.m_object;
            CollisionShape* bShape = other.currentShape();
            if (!b || !bShape || !b->m_active || bShape == aShape)
                continue;
            if (!spheresTouch(aTurnedCentre, aRadius, sphereCentre(*b, *bShape, true),
                              bShape->boundingRadius()))
                continue;
            if (!placed) {
                aShape->setTransform(placementTransform(a->m_position, a->m_heading));
                placed = true;
            }
            bShape->setTransform(placementTransform(b->m_position, b->m_heading));
            if (aShape->intersects(*bShape))
                respondMoving(*a, *b, *aShape);
        }
    }
}

bool CollisionWorld::touchesWall(const ModelObject& mover, Vector& normal) {
    const CollisionEntry* entry = nullptr;
    for (int32_t m = 0; m < m_movingCount && !entry; ++m)
        if (m_moving[m].m_object == &mover)
            entry = &m_moving[m];
    CollisionShape* shape = entry ? entry->currentShape() : nullptr;
    if (!shape || !mover.m_active)
        return false;
    const Vector centre = sphereCentre(mover, *shape, false);
    Matrix t;
    const float p[3] = {mover.m_position.x, mover.m_position.y, mover.m_position.z};
    t.setTranslation(p);
    shape->setTransform(t);
    for (int32_t s = 0; s < m_staticCount; ++s) {
        const CollisionEntry& wall = m_static[s];
        CollisionShape* sShape = wall.currentShape();
        if (!wall.m_object || !sShape || !wall.m_object->m_active)
            continue;
        if (!spheresTouch(centre, shape->boundingRadius(),
                          sphereCentre(*wall.m_object, *sShape, true), sShape->boundingRadius()))
            continue;
        if (!sShape->intersects(*shape))
            continue;
        Vector n = sShape->hitTriangle(0).normal();
        n.transform3(sShape->transform());
        n.normalize();
        if (std::fabs(n.y) <= WALL_NORMAL_Y) { // not ground, nor a ceiling over him
            normal = n;
            return true;
        }
    }
    return false;
}

bool CollisionWorld::spendsKnockback(const ModelObject& mover) {
    for (int32_t m = 0; m < m_movingCount; ++m) {
        if (m_moving[m].m_object != &mover)
            continue;
        m_moving[m].m_spendsOwnKnockback = true;
        return !m_moving[m].m_held;
    }
    return false;
}

void walkAgainstWalls(ModelObject& mover, const Vector& step) {
    const float flat = std::sqrt(step.x * step.x + step.z * step.z);
    const int32_t pieces =
        flat > MAX_WALK_STEP
            ? int32_t(std::min(std::ceil(flat / MAX_WALK_STEP), float(MAX_WALK_PIECES)))
            : 1;
    const Vector piece = step / float(pieces);
    Vector& position = mover.m_position;
    for (int32_t i = 0; i < pieces; ++i) {
        position = position + piece;
        keepOnLand(position.x, position.z);
        if (i + 1 == pieces || !g_collisionWorld)
            continue; // the frame's own collision test meets the last piece
        // Along the land, as it will stand at the end, not buried in a slope on the way.
        position.y = std::max(position.y, ModelObject::groundHeight(position.x, position.z));
        Vector normal;
        if (g_collisionWorld->touchesWall(mover, normal)) {
            mover.m_knockback = normal;
            break;
        }
    }
}

void CollisionWorld::respondStatic(ModelObject& mover, const CollisionEntry& wall) {
    const CollisionShape* shape = wall.currentShape();
    // The contact triangle is in the scenery's own frame: turn its normal into the world.
    Vector n = shape->hitTriangle(0).normal();
    n.transform3(shape->transform());
    n.normalize();
    // A slope lifts only what meets it at the feet. Met higher up (a head under a roof's
    // eaves) it would lift the hero onto the roof: it holds him off like a wall instead.
    const CollisionTriangle& touched = shape->hitTriangle(0);
    float lowest = 0.0f;
    for (int i = 0; i < 3; ++i) {
        Vector corner = touched.m_corners[i];
        corner.transform(shape->transform());
        lowest = i == 0 ? corner.y : std::min(lowest, corner.y);
    }
    if (n.y <= WALL_NORMAL_Y) {
        mover.m_knockback.set(n);
    } else if (lowest <= mover.m_position.y + SLOPE_STEP_HEIGHT) {
        mover.m_knockback.set(n * SLOPE_PUSH);
    } else {
        Vector away(n.x, 0.0f, n.z);
        if (!away.isZero()) {
            away.normalize();
            mover.m_knockback.set(away);
        }
    }
    m_collided = true;
}

void CollisionWorld::respondMoving(ModelObject& a, ModelObject& b, const CollisionShape& contact) {
    const int32_t aBone = contact.hitTriangle(0).m_boneId;
    const int32_t bBone = contact.hitTriangle(1).m_boneId;
    if (isHero(a) && a.m_currentAnimation >= HERO_SWING_FIRST &&
        a.m_currentAnimation <= HERO_SWING_LAST && aBone == HERO_WEAPON_BONE) {
        b.onHit(bBone, 0, BAT_DAMAGE, a.m_direction);
        return;
    }
    if (isStrikingBone(bBone) && b.m_currentAnimation >= ENEMY_ATTACK_FIRST &&
        b.m_currentAnimation <= ENEMY_ATTACK_LAST) {
        if (Player* hero = isHero(a) ? dynamic_cast<Player*>(&a) : nullptr)
            hero->noteStriker(b.m_position);
        const auto* striker = dynamic_cast<const Character*>(&b);
        a.onHit(aBone, 0, striker ? striker->m_blowDamage : ENEMY_BLOW_DAMAGE, b.m_direction);
        m_collided = true;
        return;
    }
    Vector away = a.m_position - b.m_position;
    away.normalize();
    a.m_knockback.set(away / PUSH_APART_DIVISOR);
    a.m_velocity.set(0.0f, 0.0f, 0.0f);
}

bool CollisionWorld::sceneryOnSegment(const Vector& from, const Vector& to) {
    const Vector step = to - from;
    const float length = step.length();
    if (!(length > 0.0f))
        return false;
    for (int32_t s = 0; s < m_staticCount; ++s) {
        const CollisionEntry& wall = m_static[s];
        CollisionShape* shape = wall.currentShape();
        if (!wall.m_object || !shape || !wall.m_object->m_active)
            continue;
        const Vector centre = sphereCentre(*wall.m_object, *shape, true);
        if (distanceToSegment(centre, from, to) > shape->boundingRadius())
            continue;
        if (shape->intersectsSegment(from, step, false, 0.0f, length))
            return true;
    }
    return false;
}

float CollisionWorld::sceneryReach(const Vector& from, const Vector& to) {
    const Vector step = to - from;
    const float length = step.length();
    if (!(length > 0.0f) || !std::isfinite(length))
        return 0.0f;
    float reach = length;
    for (int32_t s = 0; s < m_staticCount; ++s) {
        const CollisionEntry& wall = m_static[s];
        CollisionShape* shape = wall.currentShape();
        if (!wall.m_object || !shape || !wall.m_object->m_active)
            continue;
        // A sphere about the object's position that holds the shape at any heading: no
        // turn to work out for the many the line passes far from.
        const Vector end = from + step * (reach / length);
        const float radius = shape->boxCenter().length() + shape->boundingRadius();
        if (distanceToSegment(wall.m_object->m_position, from, end) > radius)
            continue;
        if (shape->intersectsSegment(from, step, true, 0.0f, reach))
            reach = std::min(reach, std::max(shape->hitDistance(), 0.0f));
    }
    return reach;
}

void CollisionWorld::testProjectiles() {
    for (int32_t p = 0; p < m_projectileCount; ++p) {
        Projectile* shot = m_projectiles[p];
        // A stopped projectile waits in the table until the list removes it; it must not
        // strike again meanwhile. One that stopped itself has flown a last step that no test
        // has seen yet: that step still strikes, once.
        if (!shot || !(shot->m_flying || shot->m_lastStepPending))
            continue;
        shot->m_lastStepPending = false;
        const Vector from = shot->m_previousPosition;
        const Vector to = shot->m_position;
        const Vector step = to - from;
        const float stepLength = step.length();

        if (sceneryOnSegment(from, to)) {
            shot->stop();
            continue;
        }
        for (int32_t m = 0; m < m_movingCount; ++m) {
            const CollisionEntry& body = m_moving[m];
            ModelObject* target = body.m_object;
            CollisionShape* shape = body.currentShape();
            if (!target || !shape || !target->m_active)
                continue;
            if (shot->m_owner == target)
                continue;
            const Vector centre = sphereCentre(*target, *shape, true);
            if (distanceToSegment(centre, from, to) > shape->boundingRadius())
                continue;
            shape->setTransform(placementTransform(target->m_position, target->m_heading));
            // Where the shot meets the body: the struck triangle, which may lie beyond the
            // step, or, when none is found, the body's middle, which the step passes near.
            int32_t attackType = 0;
            Vector meets = centre;
            Vector last = nearestOnSegment(centre, from, to);
            if (shape->intersectsSegment(from, step, false, 0.0f, 2.0f * stepLength)) {
                attackType = shape->hitTriangle(0).m_boneId;
                const Vector along = step / stepLength;
                meets = from + along * shape->hitDistance();
                last = from + along * std::min(shape->hitDistance(), stepLength);
            }
            // Scenery between the step and that point would stop the shot first (a body
            // behind a hut wall whose sphere reaches out in front of it).
            if (sceneryOnSegment(last, meets))
                continue;
            hitWithProjectile(*shot, *target, attackType);
            shot->stop();
            break;
        }
    }
}

void CollisionWorld::hitWithProjectile(Projectile& projectile, ModelObject& target,
                                       int32_t attackType) {
    int32_t weaponKind = 1;
    Vector direction = projectile.m_direction;
    if (projectile.m_kind == 2) {
        weaponKind = 2;
        direction = direction * 3.0f;
    } else if (projectile.m_kind == 3) {
        weaponKind = 3;
    }
    target.onHit(attackType, weaponKind, projectile.m_damage, direction);
}
