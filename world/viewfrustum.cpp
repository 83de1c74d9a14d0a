#include "world/viewfrustum.h"

#include "objects/modelobject.h"
#include "objects/player.h"

#include <GL/gl.h>
#include <cmath>

void ViewFrustum::extractPlanes() {
    float projection[16];
    float modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    setFromMatrices(projection, modelview);
}

void ViewFrustum::setFromMatrices(const float projection[16], const float modelview[16]) {
    // M = projection * model-view, column-major: element (r, c) at m[c * 4 + r].
    float m[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += projection[k * 4 + r] * modelview[c * 4 + k];
            m[c * 4 + r] = sum;
        }
    }
    auto row = [&](int r, int c) { return m[c * 4 + r]; };
    for (int c = 0; c < 4; ++c) {
        m_planes[PLANE_RIGHT][c] = row(3, c) - row(0, c);
        m_planes[PLANE_LEFT][c] = row(3, c) + row(0, c);
        m_planes[PLANE_BOTTOM][c] = row(3, c) + row(1, c);
        m_planes[PLANE_TOP][c] = row(3, c) - row(1, c);
        m_planes[PLANE_FAR][c] = row(3, c) - row(2, c);
        m_planes[PLANE_NEAR][c] = row(3, c) + row(2, c);
    }
    for (float* plane : m_planes) {
        float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
        if (length > 0.0f) {
            for (int c = 0; c < 4; ++c)
                plane[c] /= length;
        }
    }
}

void ViewFrustum::testVisible(ModelObject& object) const {
    // The offset is the centre of the model's own box: it turns with the model, as
    // glRotatef(heading, 0, 1, 0) turns it when the model is drawn.
    const double radians = double(object.m_heading) * 3.14159265358979323846 / 180.0;
    const float c = float(std::cos(radians)), s = float(std::sin(radians));
    const Vector& offset = object.m_sphereOffset;
    const Vector centre = object.getPosition() + Vector(c * offset.x + s * offset.z, offset.y,
                                                        -s * offset.x + c * offset.z);
    float r = object.m_sphereRadius;
    for (const float* plane : m_planes) {
        if (plane[0] * centre.x + plane[1] * centre.y + plane[2] * centre.z + plane[3] <= -r) {
            object.m_visible = false;
            return;
        }
    }
    object.m_visible = true;
}

void ViewFrustum::testShadowRange(ModelObject& object, const SceneObject& hero) const {
    Vector ahead = hero.getPosition() + hero.getDirection() * SHADOW_RANGE_AHEAD;
    object.m_castsShadow = (object.getPosition() - ahead).length() <= m_shadowRange;
}

void ViewFrustum::testShadowRange(ModelObject& object) const {
    if (!g_hero) {
        object.m_castsShadow = true;
        return;
    }
    testShadowRange(object, *g_hero);
}
