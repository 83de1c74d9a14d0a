#include "objects/character.h"

#include "platform/timer.h"

#include <GL/gl.h>
#include <algorithm>

Character::Character() {
    m_speed = 20.0f;
    setShadowPeriod(1);
}

Character::~Character() = default;

int32_t Character::shadowPeriodFor(bool visible, bool castsShadow) {
    if (visible && castsShadow)
        return 1;
    if (visible)
        return 60;
    if (castsShadow)
        return 30;
    return 0;
}

void Character::drawTinted(float red, float green, float blue, float alpha) {
    int32_t period = shadowPeriodFor(m_visible, m_castsShadow);
    if (!m_active || period == 0)
        return;
    setShadowPeriod(period);
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    if (!m_visible) {
        // Shadow only: the volumes are fed, nothing reaches the screen.
        bool hide = m_model->hideSkinned();
        m_model->setHideSkinned(true);
        m_model->updateShadows();
        m_model->setHideSkinned(hide);
    } else {
        glColor4f(red, green, blue, alpha);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_LIGHTING);
        m_model->drawModel();
    }
    glPopAttrib();
    glPopMatrix();
}

void Character::draw() {
    drawTinted(m_tint[0], m_tint[1], m_tint[2], m_glow);
    // The effect above the character (drawn, then advanced: mode 1 while alive, mode 2
    // with 50 extra particles while dying) joins here once the effects exist.
}

double Character::moveAndFall() {
    if (m_paused || !m_active) {
        m_timer->Reset();
        return -1.0;
    }
    applyGravity();
    double dt = m_timer->Elapsed();
    if (m_invulnerableMs >= 0.0)
        m_invulnerableMs -= dt;
    m_timer->Reset();
    m_velocity.x = 0.0f;
    m_velocity.z = 0.0f;
    m_position.y += float(m_velocity.y * dt / 1000.0);
    m_position.y = std::max(m_position.y, groundHeight(m_position.x, m_position.z));
    m_position = m_position + m_knockback;
    m_knockback.approach(m_knockback, Vector(0.0f, 0.0f, 0.0f), 20.0f);
    return dt;
}

void Character::update() {
    if (moveAndFall() < 0.0)
        return;
    if (m_keyframeAnimated)
        m_model->updateAnimation();
    advanceAnimation();
}

void Character::onHit(int32_t, int32_t, int32_t, const Vector&) {}
