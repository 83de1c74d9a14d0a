// ViewFrustum: the six clipping planes of the current view (g_frustum), taken from the
// OpenGL projection and model-view matrices once a frame after the camera, and the two
// per-object tests that decide whether an object is drawn (m_visible) and whether it
// is near enough to the hero to cast a shadow (m_castsShadow).
//
// Costs: extractPlanes reads two matrices back from GL; each test is a few dot
// products. The view test is conservative: a sphere crossing a corner outside two
// planes still counts as visible.
#pragma once

#include <cstdint>

class ModelObject;
class SceneObject;

constexpr float SHADOW_RANGE = 400.0f;
// How far ahead of the hero the shadow range is centred.
constexpr float SHADOW_RANGE_AHEAD = 275.0f;

class ViewFrustum {
public:
    enum Plane { PLANE_RIGHT = 0, PLANE_LEFT, PLANE_BOTTOM, PLANE_TOP, PLANE_FAR, PLANE_NEAR };

    ViewFrustum() = default;
    virtual ~ViewFrustum() = default;

    // Reads the current projection and model-view matrices (a GL context must be current).
    void extractPlanes();
    // The planes of projection * model-view, both column-major, normalised.
    void setFromMatrices(const float projection[16], const float modelview[16]);

    // m_visible = the object's sphere is not wholly outside any plane. The sphere's centre
    // is the object's position plus m_sphereOffset turned by its heading.
    void testVisible(ModelObject& object) const;
    // m_castsShadow = the object lies within the shadow range of the point 275 ahead of
    // the hero (g_hero). Without a hero every object keeps casting.
    void testShadowRange(ModelObject& object) const;
    void testShadowRange(ModelObject& object, const SceneObject& hero) const;

    float m_planes[6][4] = {};
    float m_shadowRange = SHADOW_RANGE;
};

// The play frame's view frustum (shell/gamecontext.cpp); null outside a level.
extern ViewFrustum* g_frustum;
