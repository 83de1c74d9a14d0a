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

void Water::draw() const {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glBindTexture(GL_TEXTURE_2D, m_texture);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    // Lit, the plane takes its colour and alpha from the material, not from glColor: it
    // used the last model's material (alpha 1) and the last normal drawn, so it added its
    // whole picture and shone white over the banks. The colour is its material here, and it
    // faces up.
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, none);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glColor4f(1, 1, 1, 0.5f);
    glNormal3f(0, 1, 0);
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
