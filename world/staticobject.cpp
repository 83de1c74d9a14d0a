#include "world/staticobject.h"

#include "models/ms3dmodel.h"
#include "world/terrain.h"

#include <GL/gl.h>

StaticObject::StaticObject() {
    setShadowPeriod(40);
    m_visible = true;
    m_castsShadow = true;
}

StaticObject::~StaticObject() = default;

int32_t StaticObject::shadowPeriodFor(bool visible, bool castsShadow) {
    if (visible && castsShadow)
        return 20;
    if (visible)
        return 100;
    if (castsShadow)
        return 40;
    return 200;
}

void StaticObject::draw() {
    setShadowPeriod(shadowPeriodFor(m_visible, m_castsShadow));
    glPushMatrix();
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    if (m_model)
        m_model->drawModel();
    glPopMatrix();
}

void StaticObject::update() {
    float h = heightAt(m_position.x, m_position.z);
    if (m_position.y <= h)
        m_position.y = h;
}
