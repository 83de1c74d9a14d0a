#include "objects/player.h"

#include "platform/timer.h"

#include <GL/gl.h>

Player::Player() {
    setShadowPeriod(1);
}

Player::~Player() = default;

void Player::draw() {
    update();
    if (!m_active)
        return;
    glPushMatrix();
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    m_model->drawModel();
    glPopMatrix();
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
    double dt = m_timer->Elapsed();
    if (m_invulnerableMs >= 0.0)
        m_invulnerableMs -= dt;
    --m_greenHeat;
    if (m_knockback.y < 0.0f)
        m_knockback.y = 0.0f;
    if (m_knockback.isZero()) {
        m_position = m_position + m_velocity * float(dt / 1000.0);
    } else {
        m_position = m_position + m_knockback * float(dt / 100.0);
        if (m_knockback.y > 2.0f && m_velocity.y < 0.0f)
            m_velocity.y = 0.0f;
        m_velocity = m_velocity + m_knockback;
        Vector along = m_velocity;
        along.normalize();
        if (m_knockback.dot(along) >= 0.0f)
            m_position = m_position + m_velocity * float(dt / 1000.0);
    }
    m_knockback.approach(m_knockback, Vector(0.0f, 0.0f, 0.0f), 20.0f);
    m_timer->Reset();
    float ground = groundHeight(m_position.x, m_position.z);
    if (m_position.y <= ground)
        m_position.y = ground;
    if (m_keyframeAnimated)
        m_model->updateAnimation();
    advanceAnimation();
}

void Player::onHit(int32_t, int32_t, int32_t, const Vector&) {}
