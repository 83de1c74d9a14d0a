#include "objects/player.h"

#include "hud/bitmapfont.h"
#include "level/qrvdatalayer.h"
#include "objects/particleeffect.h"
#include "objects/projectile.h"
#include "objects/projectilelist.h"
#include "platform/frameprofile.h"
#include "platform/timer.h"
#include "shell/gamecontext.h"
#include "shell/services.h"
#include "world/camera.h"

#include <GL/gl.h>
#include <cmath>
#include <vector>

namespace {

constexpr int32_t ANIM_WALK1 = 1, ANIM_WALK2 = 2, ANIM_WADE1 = 3, ANIM_WADE2 = 4;
constexpr int32_t ANIM_RISE = 5, ANIM_FALL = 6, ANIM_AIM = 10;

bool isWalk(int32_t id) {
    return id == ANIM_WALK1 || id == ANIM_WALK2;
}
bool isSwing(int32_t id) {
    return id >= 13 && id <= 20;
}

// Sound slots and cues the hero uses.
constexpr int32_t SLOT_NORMAL = 14, SLOT_ATTACK = 15, SLOT_GAME_OVER = 16;
constexpr int32_t CUE_RED_SHOT = 0, CUE_GREEN_SHOT = 1, CUE_BLUE_SHOT = 2;
constexpr int32_t SLOT_GUN_EMPTY = 9; // flat: the click is heard, not placed
constexpr int32_t CUE_HERO_HIT = 6;

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
            return back == ANIM_WADE1 ? ANIM_WADE2 : ANIM_WADE1;
        return back == ANIM_WALK1 ? ANIM_WALK2 : ANIM_WALK1;
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
    if (front == ANIM_RISE) {
        if (count == 0)
            q.clearAllButFirst();
        else if (isSwing(ids[0]))
            replace();
        return;
    }
    if (front == 8 || front == 9 || front == 11 || front == 12)
        return;
    if (front == ANIM_WADE1 || front == ANIM_WADE2) {
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
        case 13:
            q.push(20, 200.0);
            q.push(15, 70.0);
            q.push(19, 70.0);
            q.push(18, 70.0);
            break;
        case 17:
            q.push(18, 200.0);
            q.push(19, 70.0);
            q.push(15, 70.0);
            q.push(20, 70.0);
            break;
        case 18:
            q.push(13, 200.0);
            for (int32_t id : {14, 15, 16, 17})
                q.push(id, 60.0);
            break;
        case 20:
            q.push(17, 200.0);
            for (int32_t id : {16, 15, 14, 13})
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
    const float vy = m_velocity.y;
    if (forward == 0.0f && side == 0.0f) {
        m_velocity.approach(m_velocity, Vector(0.0f, vy, 0.0f), 20.0f);
        queueAnimations(nullptr, nullptr, 0);
        return;
    }
    Vector f(m_direction.x, 0.0f, m_direction.z);
    Vector s;
    s.cross(f, Vector(0.0f, 1.0f, 0.0f));
    Vector w = f * forward + s * side;
    if (!w.isZero())
        w.normalize();
    m_velocity.approach(m_velocity, Vector(w.x * m_walkSpeed, vy, w.z * m_walkSpeed), 5.0f);
    if (std::fabs(m_velocity.y) <= 2.0f)
        request({ANIM_WALK1}, {300.0});
}

void Player::jump() {
    if (m_velocity.y == 0.0f)
        m_velocity.y = 60.0f;
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
    if (!tooHigh && !tooLow) {
        Vector axis;
        axis.cross(Vector(0.0f, 1.0f, 0.0f), Vector(before.x, 0.0f, before.z));
        if (!axis.isZero()) {
            axis.normalize();
            d.rotateAxis(pitch, axis);
        }
    }
    setDirection(d);
}

void Player::dodge() {
    if (m_currentAnimation >= 8 && m_currentAnimation <= 12)
        return;
    if (m_velocity.isZero())
        return;
    if (!(m_velocity.y > -2.0f && m_velocity.y < 2.0f))
        return;
    m_velocity.x *= 3.0f;
    m_velocity.z *= 3.0f;
    if (m_forwardInput > 0.0f)
        request({8, 9, 7}, {150.0, 150.0, 150.0});
    else if (m_forwardInput < 0.0f)
        request({9, 8, 7}, {150.0, 150.0, 150.0});
    else {
        m_velocity.y = 20.0f;
        if (m_sideInput >= 0.0f)
            request({11, 12}, {200.0, 170.0});
        else
            request({12, 11}, {200.0, 170.0});
    }
}

void Player::aim() {
    if (m_velocity.length() < 6.0f)
        request({ANIM_AIM}, {100.0});
    m_aiming = true;
}

void Player::swingBat() {
    const float y = m_direction.y;
    if (y >= -0.3f && y <= 0.3f) {
        if (m_sideInput >= 0.0f)
            request({17, 16, 15, 14, 13}, {60.0, 60.0, 60.0, 60.0, 60.0});
        else
            request({13, 14, 15, 16, 17}, {60.0, 60.0, 60.0, 60.0, 60.0});
    } else if (y < -0.3f) {
        request({18, 19, 15, 20}, {70.0, 70.0, 70.0, 70.0});
    } else {
        request({20, 15, 19, 18}, {70.0, 70.0, 70.0, 70.0});
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
        PlaySlot(SLOT_GUN_EMPTY, PLAY_ONCE_COUNT);
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
    {
        frameprofile::GameWork work;
        update();
    }
    if (!m_active)
        return;
    glPushMatrix();
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    m_model->drawModel();
    glPopMatrix();
    if (m_effect) {
        m_effect->setPosition(m_position.x, m_position.y, m_position.z);
        m_effect->draw();
        m_effect->update(effectTimeSeconds(), 1, 0.0f);
    }
}

Vector Player::walkStep(double dt) const {
    Vector step = m_velocity * float(dt / 1000.0);
    // Walls are met once a frame: a long frame (a loaded machine) would carry the hero
    // that much deeper into a wall before the push back, deep enough to touch the roof
    // and be lifted onto it. Falling and jumping keep their full speed.
    const float flat = std::sqrt(step.x * step.x + step.z * step.z);
    if (flat > MAX_WALK_STEP) {
        step.x *= MAX_WALK_STEP / flat;
        step.z *= MAX_WALK_STEP / flat;
    }
    return step;
}

void Player::update() {
    if (m_dying) {
        advanceAnimation();
        m_animationQueue->push(ANIMATION_HOLD, 10000.0);
        return;
    }
    if (m_paused) {
        m_timer->Reset();
        return;
    }
    applyGravity();
    const double dt = m_timer->Elapsed();
    if (m_invulnerableMs >= 0.0)
        m_invulnerableMs -= dt;
    // A cold gun stays at zero: heat banked below it would let any burst through.
    if (m_greenHeat > 0)
        --m_greenHeat;
    if (m_knockback.y < 0.0f)
        m_knockback.y = 0.0f;
    if (m_knockback.isZero()) {
        m_position = m_position + walkStep(dt);
    } else {
        m_position = m_position + m_knockback * float(dt / 100.0);
        if (m_knockback.y > 2.0f && m_velocity.y < 0.0f)
            m_velocity.y = 0.0f;
        m_velocity = m_velocity + m_knockback;
        Vector along = m_velocity;
        if (!along.isZero())
            along.normalize();
        if (m_knockback.dot(along) >= 0.0f)
            m_position = m_position + walkStep(dt);
    }
    m_knockback.approach(m_knockback, Vector(0.0f, 0.0f, 0.0f), 20.0f);
    m_timer->Reset();
    const float ground = groundHeight(m_position.x, m_position.z);
    if (m_position.y <= ground)
        m_position.y = ground;

    const float vy = m_velocity.y;
    if (vy > 10.0f && vy < 20.0f) {
        if (m_forwardInput > 0.0f)
            request({8, 9}, {150.0, 150.0});
        else if (m_forwardInput < 0.0f)
            request({9, 8}, {150.0, 150.0});
        else if (m_sideInput < 0.0f)
            request({12, 11}, {170.0, 170.0});
        else if (m_sideInput > 0.0f)
            request({11, 12}, {170.0, 170.0});
    } else if (vy > 20.0f) {
        request({ANIM_RISE}, {150.0});
    } else if (vy < -20.0f) {
        request({ANIM_FALL}, {150.0});
    }
    if (m_keyframeAnimated)
        m_model->updateAnimation();
    advanceAnimation();
}

void Player::onHit(int32_t attackType, int32_t, int32_t damage, const Vector& direction) {
    if (m_currentAnimation >= 21 || m_invulnerableMs > 0.0 || m_dying)
        return;
    m_animationQueue->clear();
    double scaled = damage;
    if (attackType == 2) {
        m_animationQueue->push(22, 200.0);
        scaled = damage * 1.2;
    } else if (attackType >= 3 && attackType <= 5) {
        m_animationQueue->push(24, 200.0);
        scaled = damage * 0.8;
    } else if (attackType >= 6 && attackType <= 8) {
        m_animationQueue->push(23, 200.0);
        scaled = damage * 0.8;
    } else if (attackType >= 9 && attackType <= 14) {
        m_animationQueue->push(25, 200.0);
        m_animationQueue->push(26, 200.0);
    } else {
        m_animationQueue->push(21, 200.0);
    }
    const int32_t taken = static_cast<int32_t>(scaled); // truncated toward zero
    const bool dead = g_dataLayer && g_dataLayer->damagePlayer(taken);
    m_dying = dead;
    m_currentAnimation = 21;
    m_knockback = direction * 3.0f;
    if (m_effect) {
        m_effect->setColors(0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f);
        m_effect->setSizes(6.0f, 12.0f);
        m_effect->setPosition(m_position.x, m_position.y, m_position.z);
        m_effect->update(effectTimeSeconds(), 0, 8.0f);
    }
    PlayCue(CUE_HERO_HIT, m_position);
    m_animationQueue->push(0, 100.0);
    if (dead) {
        g_gameState = STATE_GAME_OVER;
        m_animationQueue->clear();
        m_animationQueue->push(25, 1500.0);
        m_animationQueue->push(26, 1500.0);
        m_animationQueue->push(ANIMATION_HOLD, 100000.0);
        if (g_camera) {
            g_camera->setEaseDivisor(100.0f);
            g_camera->setDistance(80.0f);
        }
        setDirection(Vector(-0.1f, -1.0f, -0.1f));
        StopSlot(SLOT_NORMAL);
        StopSlot(SLOT_ATTACK);
        PlaySlot(SLOT_GAME_OVER, PLAY_ONCE_COUNT);
    }
    m_invulnerableMs = 600.0;
}
