#include "world/water.h"

#include "models/texture.h"

#include <cmath>

Water::Water(const std::string& textureFile) {
    if (!textureFile.empty())
        loadMipmappedTexture(&m_texture, textureFile);
}

Water::~Water() = default;

void Water::step() {
    // Stepping a float by 0.1 drifts (after 70 steps from 90 it lies just above 83 and the
    // turn comes a frame late); the level is kept on whole tenths instead.
    double tenths = std::round(double(m_level) * 10.0) + (m_falling ? -1.0 : 1.0);
    m_level = float(tenths / 10.0);
    if (m_level >= 97.0f) {
        m_falling = true;
        m_rising = false;
    } else if (m_level <= 83.0f) {
        m_rising = true;
        m_falling = false;
    }
}

void Water::draw() {
    step();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glBindTexture(GL_TEXTURE_2D, m_texture);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1, 1, 1, 0.5f);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(0, m_level, 0);
    glTexCoord2f(0, 1);
    glVertex3f(0, m_level, 2048);
    glTexCoord2f(1, 1);
    glVertex3f(2048, m_level, 2048);
    glTexCoord2f(1, 0);
    glVertex3f(2048, m_level, 0);
    glEnd();
    glPopMatrix();
    glPopAttrib();
}
