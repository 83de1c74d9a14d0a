#include "world/skybox.h"

#include "models/texture.h"

SkyBox::SkyBox() = default;

SkyBox::~SkyBox() = default;

void SkyBox::loadTextures(const std::string& front, const std::string& back,
                          const std::string& left, const std::string& right,
                          const std::string& top) {
    loadMipmappedTexture(&m_front, front);
    loadMipmappedTexture(&m_back, back);
    loadMipmappedTexture(&m_left, left);
    loadMipmappedTexture(&m_right, right);
    loadMipmappedTexture(&m_top, top);
}

namespace {

void bindFace(GLuint texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void corner(float s, float t, float x, float y, float z) {
    glTexCoord2f(s, t);
    glVertex3f(x, y, z);
}

} // namespace

void SkyBox::buildDisplayList(float cx, float cy, float cz) {
    if (m_displayList != 0)
        glDeleteLists(m_displayList, 1);
    const float x0 = cx - m_width / 2, y0 = cy - m_height / 2, z0 = cz - m_depth / 2;
    const float x1 = x0 + m_width, y1 = y0 + m_height, z1 = z0 + m_depth;

    m_displayList = glGenLists(1);
    glNewList(m_displayList, GL_COMPILE);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);

    bindFace(m_back);
    glBegin(GL_QUADS);
    corner(1, 0, x1, y0, z0);
    corner(1, 1, x1, y1, z0);
    corner(0, 1, x0, y1, z0);
    corner(0, 0, x0, y0, z0);
    glEnd();

    bindFace(m_top);
    glBegin(GL_QUADS);
    corner(0, 1, x1, y1, z0);
    corner(0, 0, x1, y1, z1);
    corner(1, 0, x0, y1, z1);
    corner(1, 1, x0, y1, z0);
    glEnd();

    bindFace(m_front);
    glBegin(GL_QUADS);
    corner(1, 0, x0, y0, z1);
    corner(1, 1, x0, y1, z1);
    corner(0, 1, x1, y1, z1);
    corner(0, 0, x1, y0, z1);
    glEnd();

    bindFace(m_right);
    glBegin(GL_QUADS);
    corner(0, 0, x1, y0, z0);
    corner(1, 0, x1, y0, z1);
    corner(1, 1, x1, y1, z1);
    corner(0, 1, x1, y1, z0);
    glEnd();

    bindFace(m_left);
    glBegin(GL_QUADS);
    corner(1, 1, x0, y1, z0);
    corner(0, 1, x0, y1, z1);
    corner(0, 0, x0, y0, z1);
    corner(1, 0, x0, y0, z0);
    glEnd();

    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
    glPopAttrib();
    glEndList();
}

void SkyBox::draw() const {
    glCallList(m_displayList);
    glFlush();
}
