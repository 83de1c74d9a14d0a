// The particle effects' drawing: every live particle's quad in one vertex-array draw, the
// fire's half-resolution layer and the shared particle textures. The effects' simulation
// (births, steps, the flare's ring) stays in objects/particleeffect.cpp, which makes no GL call.
#include "objects/particleeffect.h"

#include "models/texture.h"
#include "platform/frameprofile.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

// Particles drawn untextured when their image failed to load, rather than with whatever
// texture the last pass left bound.
void useTexture(GLuint texture) {
    if (texture != 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

// Every projectile builds a trail and textures it; uploading the same BMP for every shot
// would cost a file read each time and leak a texture name per shot, so names are shared.
std::map<std::string, GLuint>& textureCache() {
    static std::map<std::string, GLuint> cache;
    return cache;
}

// A file that failed is not tried again, so a broken trail image shows its box once, not on
// every shot.
GLuint cachedTexture(const std::string& path) {
    auto& cache = textureCache();
    auto it = cache.find(path);
    if (it != cache.end()) {
        if (it->second == 0)
            return 0;
        // A cached name from an earlier context is no texture in this one.
        if (glIsTexture(it->second))
            return it->second;
    }
    GLuint name = loadTexture(path);
    // Without a current GL context nothing loads, whatever the file; only a file that failed
    // in a context is given up on.
    if (name != 0 || glGetString(GL_VERSION) != nullptr)
        cache[path] = name;
    return name;
}

// Every live particle of one drawing, gathered into arrays and sent as one draw: a
// begin/end pair and a matrix change per particle cost the driver far more than the quad.
// One buffer serves every effect (drawing is single-threaded); it grows once.
struct QuadBatch {
    std::vector<float> m_positions; // three floats per vertex
    std::vector<float> m_texCoords; // two
    std::vector<float> m_colors;    // four
    void clear() {
        m_positions.clear();
        m_texCoords.clear();
        m_colors.clear();
    }
    // The two triangles of the strip c0, c1, c2, c3, with the strip's texture corners.
    void add(const float (&corners)[4][3], const float (&color)[4]) {
        static const int strip[6] = {0, 1, 2, 2, 1, 3};
        static const float tex[4][2] = {{1.0f, 1.0f}, {0.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}};
        for (int i : strip) {
            m_positions.insert(m_positions.end(), corners[i], corners[i] + 3);
            m_texCoords.insert(m_texCoords.end(), tex[i], tex[i] + 2);
            m_colors.insert(m_colors.end(), color, color + 4);
        }
    }
    void draw() const {
        if (m_positions.empty())
            return;
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glDisableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, m_positions.data());
        glTexCoordPointer(2, GL_FLOAT, 0, m_texCoords.data());
        glColorPointer(4, GL_FLOAT, 0, m_colors.data());
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(m_positions.size() / 3));
        glPopClientAttrib();
    }
};

QuadBatch& quadBatch() {
    static QuadBatch batch;
    if (batch.m_positions.capacity() == 0) {
        batch.m_positions.reserve(size_t(PARTICLE_COUNT) * 6 * 3);
        batch.m_texCoords.reserve(size_t(PARTICLE_COUNT) * 6 * 2);
        batch.m_colors.reserve(size_t(PARTICLE_COUNT) * 6 * 4);
    }
    return batch;
}

} // namespace

void ParticleEffect::setTexture(const std::string& path) {
    m_texture = cachedTexture(path);
}

void ParticleEffect::drawParticles(bool depthAlways) {
    // Gathered first: an effect with nothing alive (the puff over every idle character)
    // then costs no attribute push and pop, which the driver pays for in full.
    QuadBatch& batch = quadBatch();
    batch.clear();
    float corners[4][3];
    for (const Particle& p : m_particles) {
        if (p.m_age < 0.0f)
            continue;
        particleQuadCorners(p.m_position, static_cast<float>(p.m_spin), Vector(0.0f, 0.0f, 0.0f),
                            p.m_size * 0.5f, corners);
        const float color[4] = {p.m_color[0], p.m_color[1], p.m_color[2], p.m_alpha};
        batch.add(corners, color);
    }
    if (batch.m_positions.empty())
        return;
    frameprofile::PassScope pass(frameprofile::PASS_PARTICLES);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(m_emitter.x + m_offset.x, m_emitter.y + m_offset.y, m_emitter.z + m_offset.z);
    if (depthAlways) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_ALWAYS);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    useTexture(m_texture);
    batch.draw();
    glPopMatrix();
    glPopAttrib();
}

void SparkEffect::draw() {
    drawParticles(false);
}

FireEffect::~FireEffect() {
    if (m_layerTexture != 0 && glIsTexture(m_layerTexture))
        glDeleteTextures(1, &m_layerTexture);
}

void FireEffect::prepareLayer() {
    m_layerReady = false;
    GLfloat modelView[16], projection[16];
    GLint viewport[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] < 2 || viewport[3] < 2)
        return;
    const EffectOnScreen screen = onScreen(modelView, projection, viewport);
    if (!screen.m_visible || !(screen.m_smallestRadius >= LAYER_MIN_RADIUS) ||
        !layerPays(screen, viewport))
        return;
    const int width = (viewport[2] + 1) / 2, height = (viewport[3] + 1) / 2;
    int size[2] = {1, 1};
    while (size[0] < width)
        size[0] *= 2;
    while (size[1] < height)
        size[1] *= 2;
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (size[0] > largest || size[1] > largest)
        return;

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    // A texture name from an earlier context is no texture in this one.
    if (m_layerTexture == 0 || !glIsTexture(m_layerTexture) || size[0] != m_layerTextureSize[0] ||
        size[1] != m_layerTextureSize[1]) {
        if (m_layerTexture == 0 || !glIsTexture(m_layerTexture))
            glGenTextures(1, &m_layerTexture);
        glBindTexture(GL_TEXTURE_2D, m_layerTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, size[0], size[1], 0, GL_RGB, GL_UNSIGNED_BYTE,
                     nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        m_layerTextureSize[0] = size[0];
        m_layerTextureSize[1] = size[1];
    }
    glViewport(viewport[0], viewport[1], width, height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(viewport[0], viewport[1], width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // The same flames, blended the same way; without the depth test, as GL_ALWAYS draws them.
    drawParticles(false);
    glBindTexture(GL_TEXTURE_2D, m_layerTexture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, viewport[0], viewport[1], width, height);
    // The top row and right column of the screen fall between the layer's last texels and
    // the ones beyond; those repeat the edge, as clamping would.
    if (height < size[1])
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, height, viewport[0], viewport[1] + height - 1,
                            width, 1);
    if (width < size[0])
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, width, 0, viewport[0] + width - 1, viewport[1], 1,
                            height);
    m_layerScale[0] = float(width) / float(viewport[2]) / float(size[0]);
    m_layerScale[1] = float(height) / float(viewport[3]) / float(size[1]);
    glPopAttrib();
    std::copy(viewport, viewport + 4, m_layerViewport);
    std::copy(screen.m_rect, screen.m_rect + 4, m_layerRect);
    m_layerReady = true;
}

void FireEffect::drawLayer() {
    frameprofile::PassScope pass(frameprofile::PASS_PARTICLES);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    const int* vp = m_layerViewport;
    glOrtho(vp[0], vp[0] + vp[2], vp[1], vp[1] + vp[3], -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    // The layer already holds each flame's colour times its alpha, summed.
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m_layerTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // Window pixel x of the full screen lies at about x / 2 in the half-resolution layer.
    const float sx = m_layerScale[0], sy = m_layerScale[1];
    const float x0 = float(m_layerRect[0]), y0 = float(m_layerRect[1]);
    const float x1 = float(m_layerRect[2]), y1 = float(m_layerRect[3]);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f((x0 - vp[0]) * sx, (y0 - vp[1]) * sy);
    glVertex2f(x0, y0);
    glTexCoord2f((x1 - vp[0]) * sx, (y0 - vp[1]) * sy);
    glVertex2f(x1, y0);
    glTexCoord2f((x0 - vp[0]) * sx, (y1 - vp[1]) * sy);
    glVertex2f(x0, y1);
    glTexCoord2f((x1 - vp[0]) * sx, (y1 - vp[1]) * sy);
    glVertex2f(x1, y1);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}

void FireEffect::draw() {
    if (m_layerReady) {
        m_layerReady = false;
        drawLayer();
        return;
    }
    drawParticles(true);
}

void FlareEffect::draw() {
    drawParticles();
    advance();
}

void FlareEffect::drawParticles() {
    frameprofile::PassScope pass(frameprofile::PASS_PARTICLES);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(m_emitter.x + m_offset.x, m_emitter.y + m_offset.y, m_emitter.z + m_offset.z);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_LIGHTING);
    useTexture(m_texture);
    QuadBatch& batch = quadBatch();
    batch.clear();
    float corners[4][3];
    const Vector centre(0.0f, 0.0f, 0.0f);
    for (size_t k = 0; k < m_flare.size(); ++k) {
        const FlareParticle& p = m_flare[k];
        // The turns add up from particle to particle into the flare's swirl: particle k
        // stands turned by k + 1 steps.
        const float turn = static_cast<float>(std::fmod(double(m_angle) * double(k + 1), 360.0));
        particleQuadCorners(centre, turn, p.m_position, m_factor, corners);
        const float color[4] = {p.m_color[0], p.m_color[1], p.m_color[2], p.m_life};
        batch.add(corners, color);
    }
    batch.draw();
    glPopMatrix();
    glPopAttrib();
}
