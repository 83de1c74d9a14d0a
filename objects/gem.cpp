#include "objects/gem.h"

#include "platform/random.h"

#include <GL/gl.h>
#include <ctime>

const char* Gem::modelFor(int32_t pick) {
    switch (pick) {
    case 1:
        return "Data/gem3.ms3d";
    case 2:
        return "Data/gem2.ms3d";
    default:
        return "Data/gem1.ms3d";
    }
}

Gem::Gem() {
    gameSrand(unsigned(std::time(nullptr)));
    loadModel(modelFor(gameRand() % 3));
    for (float& channel : m_color)
        channel = float(gameRand() % 2);
    m_value = gameRand() % 10 + 5;
    setShadowPeriod(10000);
}

Gem::~Gem() = default;

void Gem::draw() {
    if (!m_active)
        return;
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    m_heading += 0.1f;
    glColor4f(m_color[0], m_color[1], m_color[2], 0.3f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    float scale = float(m_value) / 5.0f;
    glScalef(scale, scale, scale);
    m_model->drawModel();
    glPopAttrib();
    glPopMatrix();
}
