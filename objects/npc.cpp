#include "objects/npc.h"

#include "objects/character.h"
#include "platform/timer.h"

#include <GL/gl.h>
#include <algorithm>

Npc::Npc() {
    setShadowPeriod(1);
}

Npc::~Npc() = default;

void Npc::draw() {
    int32_t period = Character::shadowPeriodFor(m_visible, m_castsShadow);
    if (!m_active || period == 0)
        return;
    setShadowPeriod(period);
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    if (m_visible) {
        m_model->drawModel();
    } else {
        bool hide = m_model->hideSkinned();
        m_model->setHideSkinned(true);
        m_model->updateShadows();
        m_model->setHideSkinned(hide);
    }
    glPopAttrib();
    glPopMatrix();
}

void Npc::update() {
    if (m_paused || !m_active) {
        m_timer->Reset();
        return;
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
    if (m_keyframeAnimated)
        m_model->updateAnimation();
    advanceAnimation();
}
