#include "objects/player.h"

#include "hud/bitmapfont.h"
#include "level/qrvdatalayer.h"
#include "objects/particleeffect.h"
#include "objects/projectile.h"
#include "objects/projectilelist.h"
#include "platform/timer.h"
#include "platform/soundmanager.h"
#include "world/camera.h"

#include "platform/gamestate.h"
#include "world/collisionworld.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

bool isWalk(int32_t id) {
    return id == HERO_WALK_RIGHT || id == HERO_WALK_LEFT;
}
bool isSwing(int32_t id) {
    return id >= HERO_SWEEP_RIGHT && id <= HERO_CHOP_LOW;
}

constexpr float JUMP_SPEED = 60.0f;
constexpr float HOP_SPEED = 20.0f;
constexpr float DODGE_SPEED_FACTOR = 3.0f;
constexpr double ROLL_MS = 450.0; // the three roll steps of 150 ms
constexpr double HOP_MS = 370.0;  // the two hop steps
// The velocity's ease: the gap shrinks by 1/divisor every sixtieth of a second.
constexpr float WALK_EASE = 5.0f;
constexpr float STOP_EASE = 20.0f;
constexpr double EASE_FRAME_MS = 1000.0 / 60.0;
constexpr float VELOCITY_SNAP = 0.7f;
// Walking downhill he keeps to the ground when it drops by at most this much per unit
// walked (plus a unit for the steps of the height field), instead of falling each frame.
constexpr float DOWNHILL_STICK = 1.5f;
// The green gun sheds one heat this often: a frame at about 60 frames a second, rounded so
// that the 25 heat of one shot cool in a whole 400 ms, a time that every frame rate from 10
// up meets on a frame.
constexpr double GREEN_COOL_MS = 16.0;

// The horizontal unit vector of the walking input for a facing; zero without input.
Vector walkDirection(const Vector& facing, float forward, float side) {
    Vector f(facing.x, 0.0f, facing.z);
    Vector s;
    s.cross(f, Vector(0.0f, 1.0f, 0.0f));
    Vector w = f * forward + s * side;
    if (!w.isZero())
        w.normalize();
    return w;
}

} // namespace

Player::Player() {
    setShadowPeriod(1);
    m_effect = std::make_unique<SparkEffect>();
    m_effect->setTexture("Data/p2.bmp");
    m_effect->setOffset(0.0f, 5.0f, 0.0f);
}

Player::~Player() = default;

bool Player::onWaterCell() const {
    return g_dataLayer && g_dataLayer->isWater(m_position.x, m_position.z);
}

void Player::request(std::initializer_list<int32_t> ids, std::initializer_list<double> durations) {
    std::vector<int32_t> i(ids);
    std::vector<double> d(durations);
    queueAnimations(i.data(), d.data(), static_cast<int32_t>(i.size()));
}

void Player::queueAnimations(const int32_t* ids, const double* durations, int32_t count) {
    if (m_dying)
        return;
    AnimationQueue& q = *m_animationQueue;
    const int32_t front = q.frontId();
    const bool wet = onWaterCell();
    auto replace = [&] {
        q.clear();
        for (int32_t k = 0; k < count; ++k)
            q.push(ids[k], durations[k]);
        m_currentAnimation = ids[0];
    };
    auto cutAndAppend = [&] {
        q.clearAllButFirst();
        for (int32_t k = 0; k < count; ++k)
            q.push(ids[k], durations[k]);
        m_currentAnimation = ids[0];
    };
    // The next walking step after the last queued one.
    auto nextStep = [&] {
        const int32_t back = q.backId();
        if (wet)
            return back == HERO_WADE_RIGHT ? HERO_WADE_LEFT : HERO_WADE_RIGHT;
        return back == HERO_WALK_RIGHT ? HERO_WALK_LEFT : HERO_WALK_RIGHT;
    };
    const bool walkRequest = count > 0 && isWalk(ids[0]);

    if (isWalk(front)) {
        if (count == 0)
            q.clearAllButFirst();
        else if (walkRequest) {
            if (q.count() < 2)
                q.push(nextStep(), 300.0);
        } else
            replace();
        return;
    }
    if (front == HERO_RISE) {
        if (count == 0)
            q.clearAllButFirst();
        else if (isSwing(ids[0]))
            replace();
        return;
    }
    if (front == HERO_ROLL_THIRD || front == HERO_ROLL_TWO_THIRDS || front == HERO_HOP_AIR ||
        front == HERO_HOP_LAND)
        return;
    if (front == HERO_WADE_RIGHT || front == HERO_WADE_LEFT) {
        if (count == 0) {
            q.clearAllButFirst();
            return;
        }
        if (walkRequest) {
            if (q.count() < 2)
                q.push(nextStep(), 300.0);
            return;
        }
    } else if (isSwing(front)) {
        if (count == 0 || !isSwing(ids[0]) || q.count() > 2)
            return;
        switch (q.backId()) {
        case HERO_SWEEP_RIGHT:
            q.push(HERO_CHOP_LOW, 200.0);
            q.push(HERO_SWING_FRONT, 70.0);
            q.push(HERO_CHOP_RAISED, 70.0);
            q.push(HERO_CHOP_OVERHEAD, 70.0);
            break;
        case HERO_SWEEP_LEFT:
            q.push(HERO_CHOP_OVERHEAD, 200.0);
            q.push(HERO_CHOP_RAISED, 70.0);
            q.push(HERO_SWING_FRONT, 70.0);
            q.push(HERO_CHOP_LOW, 70.0);
            break;
        case HERO_CHOP_OVERHEAD:
            q.push(HERO_SWEEP_RIGHT, 200.0);
            for (int32_t id :
                 {HERO_SWEEP_FRONT_RIGHT, HERO_SWING_FRONT, HERO_SWEEP_FRONT_LEFT, HERO_SWEEP_LEFT})
                q.push(id, 60.0);
            break;
        case HERO_CHOP_LOW:
            q.push(HERO_SWEEP_LEFT, 200.0);
            for (int32_t id : {HERO_SWEEP_FRONT_LEFT, HERO_SWING_FRONT, HERO_SWEEP_FRONT_RIGHT,
                               HERO_SWEEP_RIGHT})
                q.push(id, 60.0);
            break;
        default:
            break;
        }
        return;
    }
    if (count == 0) {
        q.clearAllButFirst();
        return;
    }
    cutAndAppend();
}

void Player::move(float forward, float side) {
    m_forwardInput = forward;
    m_sideInput = side;
    if (forward == 0.0f && side == 0.0f) {
        m_targetVelocity.set(0.0f, 0.0f, 0.0f);
        m_easeDivisor = STOP_EASE;
        queueAnimations(nullptr, nullptr, 0);
        return;
    }
    const Vector w = walkDirection(m_direction, forward, side);
    m_targetVelocity.set(w.x * m_walkSpeed, 0.0f, w.z * m_walkSpeed);
    m_easeDivisor = WALK_EASE;
    if (std::fabs(m_velocity.y) <= 2.0f)
        request({HERO_WALK_RIGHT}, {300.0});
}

void Player::jump() {
    if (!m_onGround)
        return;
    m_velocity.y = JUMP_SPEED;
    m_onGround = false;
}

void Player::turn(float pitch, float yaw) {
    if (pitch == 0.0f && yaw == 0.0f)
        return;
    const Vector before = m_direction;
    Vector d = m_direction;
    d.rotateAxis(yaw, Vector(0.0f, 1.0f, 0.0f));
    d.normalize();
    // About (0, 1, 0) x facing a positive pitch tips the facing down. The limits stop it
    // tipping further out, never back: a facing past 0.7 can always come down again.
    const bool tooHigh = d.y > 0.7f && pitch < 0.0f;
    const bool tooLow = d.y < -0.7f && pitch > 0.0f;
    Vector axis;
    axis.cross(Vector(0.0f, 1.0f, 0.0f), Vector(before.x, 0.0f, before.z));
    if (!tooHigh && !tooLow && !axis.isZero()) {
        axis.normalize();
        const Vector yawed = d;
        d.rotateAxis(pitch, axis);
        // One long mouse move could tip it far past the limits, even over the top, where
        // the view behind him would swing round over his head: stop it at the limit.
        const Vector flat(yawed.x, 0.0f, yawed.z);
        const bool over = flat.dot(Vector(d.x, 0.0f, d.z)) <= 0.0f;
        const bool beyond = std::fabs(d.y) > MAX_FACING_Y && std::fabs(d.y) > std::fabs(yawed.y);
        if ((over || beyond) && !flat.isZero()) {
            const float y = pitch < 0.0f ? MAX_FACING_Y : -MAX_FACING_Y;
            Vector level = flat;
            level.normalize();
            const float across = std::sqrt(1.0f - y * y);
            d.set(level.x * across, y, level.z * across);
        }
    }
    setDirection(d);
}

void Player::dodge() {
    if (m_currentAnimation >= HERO_ROLL_THIRD && m_currentAnimation <= HERO_HOP_LAND)
        return;
    if (m_dodgeMs > 0.0 || !m_onGround)
        return;
    // Along the walking input, or the way he is still going once the keys are let go.
    Vector along = walkDirection(m_direction, m_forwardInput, m_sideInput);
    if (along.isZero())
        along.set(m_velocity.x, 0.0f, m_velocity.z);
    if (along.isZero())
        return; // standing still: nowhere to dodge to
    along.normalize();
    // A set speed rather than a multiple of the current one: a dodge straight from a
    // standstill is as long as one at full walk.
    const float speed = DODGE_SPEED_FACTOR * m_walkSpeed;
    m_velocity.x = along.x * speed;
    m_velocity.z = along.z * speed;
    if (m_forwardInput > 0.0f) {
        request({HERO_ROLL_THIRD, HERO_ROLL_TWO_THIRDS, HERO_ROLL_CROUCH}, {150.0, 150.0, 150.0});
        m_dodgeMs = ROLL_MS;
    } else if (m_forwardInput < 0.0f) {
        request({HERO_ROLL_TWO_THIRDS, HERO_ROLL_THIRD, HERO_ROLL_CROUCH}, {150.0, 150.0, 150.0});
        m_dodgeMs = ROLL_MS;
    } else {
        m_velocity.y = HOP_SPEED;
        m_onGround = false;
        if (m_sideInput >= 0.0f)
            request({HERO_HOP_AIR, HERO_HOP_LAND}, {200.0, 170.0});
        else
            request({HERO_HOP_LAND, HERO_HOP_AIR}, {200.0, 170.0});
        m_dodgeMs = HOP_MS;
    }
}

void Player::aim() {
    if (m_velocity.length() < 6.0f)
        request({HERO_AIM}, {100.0});
    m_aiming = true;
}

void Player::swingBat() {
    const float y = m_direction.y;
    if (y >= -0.3f && y <= 0.3f) {
        if (m_sideInput >= 0.0f)
            request({HERO_SWEEP_LEFT, HERO_SWEEP_FRONT_LEFT, HERO_SWING_FRONT,
                     HERO_SWEEP_FRONT_RIGHT, HERO_SWEEP_RIGHT},
                    {60.0, 60.0, 60.0, 60.0, 60.0});
        else
            request({HERO_SWEEP_RIGHT, HERO_SWEEP_FRONT_RIGHT, HERO_SWING_FRONT,
                     HERO_SWEEP_FRONT_LEFT, HERO_SWEEP_LEFT},
                    {60.0, 60.0, 60.0, 60.0, 60.0});
    } else if (y < -0.3f) {
        request({HERO_CHOP_OVERHEAD, HERO_CHOP_RAISED, HERO_SWING_FRONT, HERO_CHOP_LOW},
                {70.0, 70.0, 70.0, 70.0});
    } else {
        request({HERO_CHOP_LOW, HERO_SWING_FRONT, HERO_CHOP_RAISED, HERO_CHOP_OVERHEAD},
                {70.0, 70.0, 70.0, 70.0});
    }
}

bool Player::shoot() {
    m_aiming = false;
    Vector start(m_position.x, m_position.y + 10.0f, m_position.z);
    auto shot = std::make_unique<HeroShot>(start, m_direction, 500.0f, 1000.0f);
    ParticleEffect& trail = shot->effect();
    trail.setSizes(5.0f, 2.0f);
    trail.setLifetime(0.5f);
    trail.setSpeed(10.0f);
    bool empty = false;
    int32_t cue = CUE_GREEN_SHOT;
    switch (m_weapon) {
    case 0:
        // Judged on the heat before this shot, so five quick shots go and the sixth waits.
        empty = m_greenHeat > 100;
        if (!empty)
            m_greenHeat += 25;
        shot->setColor(0.0f, 1.0f, 0.0f);
        trail.setColors(0.0f, 1.0f, 0.0f, 0.7f, 1.0f, 0.8f);
        shot->m_kind = PROJECTILE_GREEN;
        shot->m_damage = 5;
        shot->m_speed = 500.0f;
        cue = CUE_GREEN_SHOT;
        break;
    case 1:
        empty = --m_redAmmo < 0;
        if (empty)
            m_redAmmo = 0;
        shot->setColor(1.0f, 0.0f, 0.0f);
        trail.setColors(1.0f, 0.0f, 0.0f, 0.8f, 0.6f, 0.4f);
        shot->m_kind = PROJECTILE_RED;
        shot->m_damage = 10;
        shot->m_speed = 800.0f;
        cue = CUE_RED_SHOT;
        break;
    default:
        empty = --m_blueAmmo < 0;
        if (empty)
            m_blueAmmo = 0;
        trail.setColors(0.0f, 0.0f, 1.0f, 0.0f, 0.8f, 1.0f);
        trail.setSpeed(30.0f);
        shot->m_kind = PROJECTILE_BLUE;
        shot->m_damage = 2;
        shot->m_speed = 300.0f;
        cue = CUE_BLUE_SHOT;
        break;
    }
    if (empty) {
        PlaySlot(SLOT_GUN_EMPTY, PLAY_ONCE_COUNT); // flat: the click is heard, not placed
        return false;
    }
    shot->m_owner = this;
    PlayCue(cue, m_position);
    shot->launch();
    Projectile* flying = shot.release();
    // A full list refuses the shot; then nobody owns it and it goes at once.
    if (!g_projectiles || !g_projectiles->add(flying))
        delete flying;
    return true;
}

void Player::draw() {
    if (!m_active)
        return;
    glPushMatrix();
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    m_model->drawModel();
    glPopMatrix();
    if (m_effect)
        m_effect->draw();
}

void Player::stepEffect() {
    if (m_active && m_effect)
        m_effect->update(effectTimeSeconds(), 1, 0.0f);
}

Vector Player::travel(double dt, bool snap) {
    Vector moved(0.0f, 0.0f, 0.0f);
    if (!(dt > 0.0))
        return moved;
    double left = dt;
    if (m_dodgeMs > 0.0) {
        const double held = std::min(left, m_dodgeMs);
        moved.x += float(m_velocity.x * held / 1000.0);
        moved.z += float(m_velocity.z * held / 1000.0);
        m_dodgeMs -= held;
        left -= held;
    }
    if (left <= 0.0)
        return moved;
    // v(t) = target + gap * e^(-kt), the gap shrinking by 1/divisor per sixtieth of a
    // second; the ground covered is its integral, so cutting the time into frames of any
    // length gives the same walk.
    const double divisor = std::max(1.5, double(m_easeDivisor));
    const double k = std::log(divisor / (divisor - 1.0)) / EASE_FRAME_MS;
    const double decay = std::exp(-k * left);
    const double spent = (1.0 - decay) / k; // integral of e^(-kt) over the time left
    const double gapX = double(m_velocity.x) - m_targetVelocity.x;
    const double gapZ = double(m_velocity.z) - m_targetVelocity.z;
    moved.x += float((m_targetVelocity.x * left + gapX * spent) / 1000.0);
    moved.z += float((m_targetVelocity.z * left + gapZ * spent) / 1000.0);
    m_velocity.x = float(m_targetVelocity.x + gapX * decay);
    m_velocity.z = float(m_targetVelocity.z + gapZ * decay);
    if (snap && std::hypot(gapX * decay, gapZ * decay) < VELOCITY_SNAP) {
        m_velocity.x = m_targetVelocity.x;
        m_velocity.z = m_targetVelocity.z;
    }
    return moved;
}

Vector Player::pushed(double dt, float riseBefore, bool worldShare) {
    Vector moved(0.0f, 0.0f, 0.0f);
    if (!(dt > 0.0))
        return moved;
    // Gravity has lowered the vertical speed for the whole frame; it is spread over the
    // pieces again, as the knockback lifts him in between.
    const float fall = m_velocity.y - riseBefore;
    m_velocity.y = riseBefore;
    double rate = knockbackDecayRate(KNOCKBACK_OWN_DIVISOR);
    if (worldShare)
        rate += knockbackDecayRate(KNOCKBACK_DECAY_DIVISOR);
    spendKnockback(m_knockback, dt, rate, [&](const KnockbackPiece& p) {
        // It moves him by a tenth of itself every millisecond and lends its own size to his
        // velocity every frame; the ease of travel takes that speed back over time.
        moved = moved + p.push * float(p.spentMs / 100.0);
        if (p.push.y > 2.0f && m_velocity.y < 0.0f)
            m_velocity.y = 0.0f;
        m_velocity = m_velocity + p.push * float(p.spentMs / KNOCKBACK_FRAME_MS);
        Vector along = m_velocity;
        if (!along.isZero())
            along.normalize();
        const float rise = m_velocity.y;
        m_velocity.y += float(fall * p.ms / dt);
        // While the push lends speed the ease does not snap it away: a piece lends less
        // than the snap.
        Vector step = travel(p.ms, m_knockback.isZero());
        step.y = float((rise + m_velocity.y) * 0.5 * p.ms / 1000.0);
        // Walking against the push he is held where he stands.
        if (p.push.dot(along) >= 0.0f)
            moved = moved + step;
    });
    return moved;
}

void Player::update() {
    stepBody();
    if (m_active && m_effect)
        m_effect->setPosition(m_position.x, m_position.y, m_position.z);
}

void Player::stepBody() {
    if (m_dying) {
        advanceAnimation();
        m_animationQueue->push(ANIMATION_HOLD, 10000.0);
        return;
    }
    if (m_paused) {
        m_timer->Reset();
        return;
    }
    const float riseBefore = m_velocity.y;
    applyGravity();
    const double dt = m_timer->Elapsed();
    if (m_invulnerableMs >= 0.0)
        m_invulnerableMs -= dt;
    m_hitMarkMs = std::max(0.0, m_hitMarkMs - dt);
    // The gun cools by the time passed, not by the frames drawn. A cold gun stays at zero:
    // heat banked below it would let any burst through.
    if (m_greenHeat > 0 && dt > 0.0) {
        m_coolingMs += dt;
        const double shed =
            std::min(std::floor(m_coolingMs / GREEN_COOL_MS + 1e-6), double(m_greenHeat));
        m_greenHeat -= int32_t(shed);
        m_coolingMs -= shed * GREEN_COOL_MS;
    }
    if (m_greenHeat <= 0) {
        m_greenHeat = 0;
        m_coolingMs = 0.0;
    }
    if (m_knockback.y < 0.0f)
        m_knockback.y = 0.0f;
    const Vector start = m_position;
    const bool wasOnGround = m_onGround;
    // Under constant gravity the mean of the two vertical speeds gives the exact rise, so
    // a jump reaches the same height at any frame rate.
    auto fullStep = [&] {
        Vector step = travel(dt);
        step.y = float((riseBefore + m_velocity.y) * 0.5 * dt / 1000.0);
        return step;
    };
    // Asked every frame, so that the world leaves its share of the decay to the hero.
    const bool worldShare = g_collisionWorld && g_collisionWorld->spendsKnockback(*this);
    if (m_knockback.isZero())
        walkAgainstWalls(*this, fullStep());
    else
        walkAgainstWalls(*this, pushed(dt, riseBefore, worldShare));
    m_timer->Reset();
    const float ground = groundHeight(m_position.x, m_position.z);
    const float walked = std::hypot(m_position.x - start.x, m_position.z - start.z);
    if (m_position.y <= ground) {
        m_position.y = ground;
        if (m_velocity.y < 0.0f)
            m_velocity.y = 0.0f; // landed: the ground holds him
        m_onGround = m_velocity.y <= 0.0f;
    } else if (wasOnGround && m_velocity.y <= 0.0f &&
               m_position.y - ground <= 1.0f + DOWNHILL_STICK * walked) {
        m_position.y = ground;
        m_velocity.y = 0.0f;
    } else {
        m_onGround = false;
    }

    const float vy = m_velocity.y;
    if (vy > 10.0f && vy < 20.0f) {
        if (m_forwardInput > 0.0f)
            request({HERO_ROLL_THIRD, HERO_ROLL_TWO_THIRDS}, {150.0, 150.0});
        else if (m_forwardInput < 0.0f)
            request({HERO_ROLL_TWO_THIRDS, HERO_ROLL_THIRD}, {150.0, 150.0});
        else if (m_sideInput < 0.0f)
            request({HERO_HOP_LAND, HERO_HOP_AIR}, {170.0, 170.0});
        else if (m_sideInput > 0.0f)
            request({HERO_HOP_AIR, HERO_HOP_LAND}, {170.0, 170.0});
    } else if (vy > 20.0f) {
        request({HERO_RISE}, {150.0});
    } else if (vy < -20.0f) {
        request({HERO_FALL}, {150.0});
    }
    if (m_keyframeAnimated)
        m_model->updateAnimation();
    advanceAnimation();
}

void Player::onHit(int32_t attackType, int32_t, int32_t damage, const Vector& direction) {
    const bool fromStriker = m_hasStriker;
    m_hasStriker = false; // a striker noted for an ignored blow must not mark a later shot
    if (m_currentAnimation >= HERO_HIT_BODY || m_invulnerableMs > 0.0 || m_dying)
        return;
    // The side the hit came from: the striker's place, else against the way it flew.
    Vector from = fromStriker ? m_striker - m_position : direction * -1.0f;
    from.y = 0.0f;
    if (from.length() > 1e-4f)
        from.normalize();
    else
        from.set(0.0f, 0.0f, 0.0f);
    m_hitFrom = from;
    m_hitMarkMs = HIT_MARK_MS;
    m_animationQueue->clear();
    double scaled = damage;
    if (attackType == 2) {
        m_animationQueue->push(HERO_HIT_HEAD, 200.0);
        scaled = damage * 1.2;
    } else if (attackType >= 3 && attackType <= 5) {
        m_animationQueue->push(HERO_HIT_ARM, 200.0);
        scaled = damage * 0.8;
    } else if (attackType >= 6 && attackType <= 8) {
        m_animationQueue->push(HERO_HIT_LEG, 200.0);
        scaled = damage * 0.8;
    } else if (attackType >= 9 && attackType <= 14) {
        m_animationQueue->push(HERO_STAGGER, 200.0);
        m_animationQueue->push(HERO_DOWN, 200.0);
    } else {
        m_animationQueue->push(HERO_HIT_BODY, 200.0);
    }
    const int32_t taken = static_cast<int32_t>(scaled); // truncated toward zero
    const bool dead = g_dataLayer && g_dataLayer->damagePlayer(taken);
    m_dying = dead;
    m_currentAnimation = HERO_HIT_BODY;
    m_knockback = direction * 3.0f;
    if (m_effect) {
        m_effect->setColors(0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f);
        m_effect->setSizes(6.0f, 12.0f);
        m_effect->setPosition(m_position.x, m_position.y, m_position.z);
        m_effect->update(effectTimeSeconds(), 0, 8.0f);
    }
    PlayCue(CUE_HERO_HIT, m_position);
    m_animationQueue->push(HERO_IDLE, 100.0);
    if (dead) {
        g_gameState = STATE_GAME_OVER;
        m_animationQueue->clear();
        m_animationQueue->push(HERO_STAGGER, 1500.0);
        m_animationQueue->push(HERO_DOWN, 1500.0);
        m_animationQueue->push(ANIMATION_HOLD, 100000.0);
        if (g_camera) {
            g_camera->setEaseDivisor(100.0f);
            g_camera->setDistance(80.0f);
        }
        setDirection(Vector(-0.1f, -1.0f, -0.1f));
        StopSlot(SLOT_NORMAL_MUSIC);
        StopSlot(SLOT_ATTACK_MUSIC);
        PlaySlot(SLOT_GAME_OVER, PLAY_ONCE_COUNT);
    }
    m_invulnerableMs = 600.0;
}
