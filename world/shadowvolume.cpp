#include "world/shadowvolume.h"

#include "world/terrain.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// The spare edge room per triangle: a back-facing triangle contributes at most three.
constexpr int32_t EDGES_PER_TRIANGLE = 3;
// Matches per back-facing triangle after which its search stops.
constexpr int32_t MAX_MATCHES = 3;

// Moves v away from the light by k times the light-to-vertex vector, but no deeper than
// `floor` (in the model's frame): past it the volume lies under the land and shades nothing.
// True when the point ended on the floor, in the land.
bool extrude(const float* v, const float* light, float k, float floor, float* out) {
    const float down = light[1] + v[1];
    bool onFloor = false;
    if (down < 0.0f && v[1] > floor) {
        const float toFloor = (floor - v[1]) / down;
        onFloor = toFloor <= k;
        k = std::min(k, toFloor);
    }
    for (int i = 0; i < 3; ++i)
        out[i] = v[i] + (light[i] + v[i]) * k;
    return onFloor;
}

// Which way the stencil pass is counting while the volumes draw (Idle: outside the pass;
// a volume then draws all of itself and leaves the stencil state alone).
ShadowCount s_count = ShadowCount::Idle;

} // namespace

namespace {
ShadowArea s_shadowArea;
} // namespace

void ShadowArea::addRect(int x0, int y0, int x1, int y1) {
    if (x0 >= x1 || y0 >= y1)
        return;
    if (!m_any || m_whole) {
        if (!m_any) {
            m_x0 = x0;
            m_y0 = y0;
            m_x1 = x1;
            m_y1 = y1;
        }
        m_any = true;
        return;
    }
    m_x0 = std::min(m_x0, x0);
    m_y0 = std::min(m_y0, y0);
    m_x1 = std::max(m_x1, x1);
    m_y1 = std::max(m_y1, y1);
}

void ResetShadowArea() {
    s_shadowArea = ShadowArea();
}

const ShadowArea& CurrentShadowArea() {
    return s_shadowArea;
}

BoxOnScreen projectBox(const float boxMin[3], const float boxMax[3], const float* mv,
                       const float* projection, const int* viewport, int rect[4]) {
    // Clip w below this counts as at or behind the eye, where projecting is meaningless.
    constexpr float MIN_W = 1e-4f;
    float lo[2] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
    float hi[2] = {-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};
    int behind = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const float p[3] = {(corner & 1) ? boxMax[0] : boxMin[0],
                            (corner & 2) ? boxMax[1] : boxMin[1],
                            (corner & 4) ? boxMax[2] : boxMin[2]};
        float eye[4];
        for (int r = 0; r < 4; ++r)
            eye[r] = mv[r] * p[0] + mv[4 + r] * p[1] + mv[8 + r] * p[2] + mv[12 + r];
        float clip[4];
        for (int r = 0; r < 4; ++r)
            clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] +
                      projection[8 + r] * eye[2] + projection[12 + r] * eye[3];
        if (!(clip[3] > MIN_W)) {
            ++behind;
            continue;
        }
        for (int a = 0; a < 2; ++a) {
            const float ndc = clip[a] / clip[3];
            const float window = float(viewport[a]) + (ndc * 0.5f + 0.5f) * float(viewport[2 + a]);
            lo[a] = std::min(lo[a], window);
            hi[a] = std::max(hi[a], window);
        }
    }
    if (behind == 8)
        return BoxOnScreen::Hidden; // wholly behind the eye
    if (behind > 0)
        return BoxOnScreen::Unbounded;
    // A pixel of margin for the rasteriser's rounding at the edges.
    const float x0 = std::max(lo[0] - 1.0f, float(viewport[0]));
    const float y0 = std::max(lo[1] - 1.0f, float(viewport[1]));
    const float x1 = std::min(hi[0] + 2.0f, float(viewport[0] + viewport[2]));
    const float y1 = std::min(hi[1] + 2.0f, float(viewport[1] + viewport[3]));
    if (!(x0 < x1 && y0 < y1))
        return BoxOnScreen::Hidden;
    rect[0] = int(std::floor(x0));
    rect[1] = int(std::floor(y0));
    rect[2] = int(std::ceil(x1));
    rect[3] = int(std::ceil(y1));
    return BoxOnScreen::Rect;
}

bool boxMayReachNearPlane(const float boxMin[3], const float boxMax[3], const float* mv,
                          const float* projection) {
    // Only a plain perspective (glFrustum, gluPerspective) is understood; anything else
    // may put the near plane anywhere.
    const float* p = projection;
    if (p[11] != -1.0f || p[3] != 0.0f || p[7] != 0.0f || p[15] != 0.0f || p[1] != 0.0f ||
        p[2] != 0.0f || p[4] != 0.0f || p[6] != 0.0f || p[12] != 0.0f || p[13] != 0.0f ||
        !(p[0] != 0.0f) || !(p[5] != 0.0f) || !(p[10] != 1.0f))
        return true;
    const float n = p[14] / (p[10] - 1.0f);
    if (!(n > 0.0f))
        return true;
    // The near plane's window in the eye's frame: z = -n, x in [l, r], y in [b, t].
    const float l = n * (p[8] - 1.0f) / p[0], r = n * (p[8] + 1.0f) / p[0];
    const float b = n * (p[9] - 1.0f) / p[5], t = n * (p[9] + 1.0f) / p[5];
    // The box in the eye's frame, as the box around its eight corners.
    float lo[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                   std::numeric_limits<float>::max()};
    float hi[3] = {-lo[0], -lo[1], -lo[2]};
    for (int corner = 0; corner < 8; ++corner) {
        const float c[3] = {(corner & 1) ? boxMax[0] : boxMin[0],
                            (corner & 2) ? boxMax[1] : boxMin[1],
                            (corner & 4) ? boxMax[2] : boxMin[2]};
        for (int a = 0; a < 3; ++a) {
            const float e = mv[a] * c[0] + mv[4 + a] * c[1] + mv[8 + a] * c[2] + mv[12 + a];
            if (std::isnan(e))
                return true; // a box of no place may be anywhere
            lo[a] = std::min(lo[a], e);
            hi[a] = std::max(hi[a], e);
        }
    }
    // A margin against rounding: a hundredth of the near distance, and more for a box
    // far out, whose coordinates carry larger errors.
    const float m = 0.01f * n + 1e-4f * (std::fabs(hi[2]) + std::fabs(lo[2]));
    return lo[2] <= -n + m && hi[2] >= -n - m && lo[0] <= r + m && hi[0] >= l - m &&
           lo[1] <= t + m && hi[1] >= b - m;
}

void SetShadowCount(ShadowCount count) {
    s_count = count;
}

std::unique_ptr<ShadowBuilder> CreateShadowVolume() {
    return std::make_unique<ShadowVolume>();
}

ShadowVolume::ShadowVolume() = default;
ShadowVolume::~ShadowVolume() = default;

void ShadowVolume::beginFrame(int32_t triangleCount) {
    if (triangleCount <= capacity())
        return;
    size_t n = size_t(triangleCount);
    m_backFacing.resize(n);
    m_lightFacing.resize(n);
    m_edges.resize(n * EDGES_PER_TRIANGLE);
    // Room for twice the back-facing corners, a power of two.
    size_t ends = 1;
    while (ends < n * 6)
        ends *= 2;
    m_farEnds.assign(ends, FarEnd());
    m_farStamp = 0;
    for (int c = 0; c < 3; ++c) {
        // As many buckets as corners: the lists stay short whatever the index range.
        m_bucketHeads[c].assign(n * 3, -1);
        m_nextInBucket[c].assign(n, -1);
    }
    m_backCount = m_lightCount = m_edgeCount = 0;
    m_geometryStale = true;
}

void ShadowVolume::clear() {
    m_geometryStale = true;
    m_backCount = 0;
    m_lightCount = 0;
    m_edgeCount = 0;
    for (int c = 0; c < 3; ++c)
        std::fill(m_bucketHeads[c].begin(), m_bucketHeads[c].end(), -1);
}

size_t ShadowVolume::bucketOf(int32_t vertexIndex) const {
    return size_t(uint32_t(vertexIndex)) % m_bucketHeads[0].size();
}

bool ShadowVolume::lightInRange() const {
    float d2 = m_light[0] * m_light[0] + m_light[1] * m_light[1] + m_light[2] * m_light[2];
    return d2 <= m_light[3] * m_light[3] && m_light[3] >= 0.0f;
}

void ShadowVolume::addTriangle(const ShadowTriangle& t) {
    if (!lightInRange() || capacity() == 0)
        return;
    const float* p0 = t.m_corners[0];
    const float* p1 = t.m_corners[1];
    const float* p2 = t.m_corners[2];
    float e0[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    float e1[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
    float n[3] = {e0[1] * e1[2] - e0[2] * e1[1], e0[2] * e1[0] - e0[0] * e1[2],
                  e0[0] * e1[1] - e0[1] * e1[0]};
    // The direction from the light to the triangle is p0 + L' (L' is the light negated);
    // measuring from the corner rather than the model's origin keeps near lights right.
    float toTriangle[3] = {p0[0] + m_light[0], p0[1] + m_light[1], p0[2] + m_light[2]};
    float facing = n[0] * toTriangle[0] + n[1] * toTriangle[1] + n[2] * toTriangle[2];
    if (facing <= 0.0f) {
        if (m_lightCount >= capacity())
            return;
        int32_t slot = m_lightCount++;
        m_lightFacing[size_t(slot)] = t;
        for (int c = 0; c < 3; ++c) {
            size_t bucket = bucketOf(t.m_vertexIndices[c]);
            m_nextInBucket[c][size_t(slot)] = m_bucketHeads[c][bucket];
            m_bucketHeads[c][bucket] = slot;
        }
    } else {
        if (m_backCount >= capacity())
            return;
        m_backFacing[size_t(m_backCount++)] = t;
    }
}

void ShadowVolume::finish() {
    m_geometryStale = true;
    m_edgeCount = 0;
    if (capacity() == 0)
        return;
    const int32_t edgeRoom = int32_t(m_edges.size());
    for (int32_t b = 0; b < m_backCount; ++b) {
        const ShadowTriangle& back = m_backFacing[size_t(b)];
        int32_t matches = 0;
        for (int e = 0; e < 3 && matches < MAX_MATCHES; ++e) {
            int32_t ia = back.m_vertexIndices[e];
            int32_t ib = back.m_vertexIndices[(e + 1) % 3];
            if (ia == ib)
                continue;
            // A light-facing neighbour holds ia at some corner c; look it up there
            // and check that it also holds ib. Each neighbour is found once.
            size_t bucket = bucketOf(ia);
            for (int c = 0; c < 3 && matches < MAX_MATCHES; ++c) {
                for (int32_t f = m_bucketHeads[c][bucket]; f != -1 && matches < MAX_MATCHES;
                     f = m_nextInBucket[c][size_t(f)]) {
                    const int32_t* fi = m_lightFacing[size_t(f)].m_vertexIndices;
                    if (fi[c] != ia)
                        continue;
                    if (fi[(c + 1) % 3] != ib && fi[(c + 2) % 3] != ib)
                        continue;
                    ++matches;
                    if (m_edgeCount >= edgeRoom)
                        continue;
                    // Stored as the edge runs in the light-facing neighbour (ib to ia),
                    // so the extruded side winds outward like the caps.
                    ShadowEdge& edge = m_edges[size_t(m_edgeCount++)];
                    std::copy(back.m_corners[(e + 1) % 3], back.m_corners[(e + 1) % 3] + 3,
                              edge.m_points[0]);
                    std::copy(back.m_corners[e], back.m_corners[e] + 3, edge.m_points[1]);
                    edge.m_indices[0] = ib;
                    edge.m_indices[1] = ia;
                }
            }
        }
    }
}

void ShadowVolume::setLight(float x, float y, float z, float range, bool enabled) {
    if (enabled) {
        if (x != m_light[0] || y != m_light[1] || z != m_light[2] || range != m_light[3])
            m_geometryStale = true;
        m_light[0] = x;
        m_light[1] = y;
        m_light[2] = z;
        m_light[3] = range;
    }
    m_enabled = enabled;
}

void ShadowVolume::setEnabled(bool enabled) {
    m_enabled = enabled;
}

void ShadowVolume::setFloor(ShadowFloorFn floorAt) {
    if (floorAt != m_floorAt)
        m_geometryStale = true;
    m_floorAt = floorAt;
}

float ShadowVolume::extrusionFactor() const {
    float dist =
        std::sqrt(m_light[0] * m_light[0] + m_light[1] * m_light[1] + m_light[2] * m_light[2]);
    if (!(dist > 0.0f))
        return 1.0f;
    return std::max((m_light[3] - dist) / dist, 1.0f);
}

size_t ShadowVolume::farEndSlot(int32_t vertexIndex) const {
    const size_t mask = m_farEnds.size() - 1;
    size_t slot = size_t(uint32_t(vertexIndex) * 2654435761u) & mask;
    // The table has room for twice the corners, so a free slot or the index is found.
    while (m_farEnds[slot].m_stamp == m_farStamp && m_farEnds[slot].m_index != vertexIndex)
        slot = (slot + 1) & mask;
    return slot;
}

float ShadowVolume::groundUnder(const float* p) const {
    return ShadowGroundAt(m_placedAt[0] + m_turn[0] * p[0] + m_turn[1] * p[2],
                          m_placedAt[2] - m_turn[1] * p[0] + m_turn[0] * p[2]) -
           m_placedAt[1];
}

bool ShadowVolume::farEnd(const float* v, int32_t vertexIndex, float k, float floor, float* out) {
    FarEnd* cached = nullptr;
    if (!m_farEnds.empty()) {
        cached = &m_farEnds[farEndSlot(vertexIndex)];
        if (cached->m_stamp == m_farStamp) {
            std::copy(cached->m_point, cached->m_point + 3, out);
            return cached->m_inLand;
        }
    }
    bool inLand = extrude(v, m_light, k, floor, out);
    bool confirmed = false; // found under the land by following the ray
    const float d[3] = {v[0] + m_light[0], v[1] + m_light[1], v[2] + m_light[2]};
    // Only a ray that falls at least one in two: a flatter one skims the land, and two
    // neighbours would end far apart, their side cutting through the land between them.
    if (m_floorAt && d[1] < 0.0f && -2.0f * d[1] >= std::sqrt(d[0] * d[0] + d[2] * d[2])) {
        // Follow the ray down to where it goes into the land: at each step, down to the
        // height of the land under the last point, until the point lies under it. A ray
        // that does not get there in a few steps keeps the end on the floor.
        const float tEnd = (out[1] - v[1]) / d[1];
        float t = 0.0f;
        for (int step = 0; step < 4; ++step) {
            const float p[3] = {v[0] + d[0] * t, v[1] + d[1] * t, v[2] + d[2] * t};
            const float ground = groundUnder(p);
            if (p[1] <= ground) {
                std::copy(p, p + 3, out);
                inLand = confirmed = true;
                break;
            }
            t = (ground - v[1]) / d[1];
            if (!(t < tEnd))
                break;
        }
    }
    // The floor lies under the land only near the caster: a flat ray that reached it far out,
    // over land falling away, ends in the air. Only an end under the land where it lies
    // hides the volume's open bottom from the eye.
    if (inLand && !confirmed)
        inLand = out[1] <= groundUnder(out);
    if (cached) {
        cached->m_index = vertexIndex;
        cached->m_stamp = m_farStamp;
        std::copy(out, out + 3, cached->m_point);
        cached->m_inLand = inLand;
    }
    return inLand;
}

void ShadowVolume::buildGeometry(float floor) {
    const float k = extrusionFactor();
    if (++m_farStamp == 0) { // the stamps went round: forget every old one
        for (FarEnd& end : m_farEnds)
            end.m_stamp = 0;
        m_farStamp = 1;
    }
    m_geometry.resize(size_t(m_edgeCount) * 18 + size_t(m_lightCount + m_backCount) * 9);
    float* out = m_geometry.data();
    auto put = [&out](const float* v) {
        out[0] = v[0];
        out[1] = v[1];
        out[2] = v[2];
        out += 3;
    };
    float far0[3];
    float far1[3];
    // Each silhouette edge's side as the two triangles of the strip a, a', b, b'.
    for (int32_t i = 0; i < m_edgeCount; ++i) {
        const ShadowEdge& edge = m_edges[size_t(i)];
        farEnd(edge.m_points[0], edge.m_indices[0], k, floor, far0);
        farEnd(edge.m_points[1], edge.m_indices[1], k, floor, far1);
        put(edge.m_points[0]);
        put(far0);
        put(edge.m_points[1]);
        put(edge.m_points[1]);
        put(far0);
        put(far1);
    }
    for (int32_t i = 0; i < m_lightCount; ++i) {
        for (const float* corner : m_lightFacing[size_t(i)].m_corners)
            put(corner);
    }
    // The far cap last, so that counting from the eye can leave it out as one piece.
    const size_t beforeFarCap = size_t(out - m_geometry.data()) / 3;
    bool farCapInLand = true;
    for (int32_t i = 0; i < m_backCount; ++i) {
        const ShadowTriangle& back = m_backFacing[size_t(i)];
        for (int c = 0; c < 3; ++c) {
            farCapInLand =
                farEnd(back.m_corners[c], back.m_vertexIndices[c], k, floor, far0) && farCapInLand;
            put(far0);
        }
    }
    m_eyeCountVertices = farCapInLand ? beforeFarCap : m_geometry.size() / 3;
    for (int a = 0; a < 3; ++a) {
        m_boundsMin[a] = std::numeric_limits<float>::max();
        m_boundsMax[a] = -std::numeric_limits<float>::max();
    }
    for (size_t i = 0; i < m_geometry.size(); i += 3) {
        for (int a = 0; a < 3; ++a) {
            m_boundsMin[a] = std::min(m_boundsMin[a], m_geometry[i + size_t(a)]);
            m_boundsMax[a] = std::max(m_boundsMax[a], m_geometry[i + size_t(a)]);
        }
    }
    m_geometryStale = false;
}

void ShadowVolume::place(float x, float y, float z, float heading) {
    if (!m_enabled)
        return;
    // The stencil pass draws every volume twice a frame: it is built once, as one array.
    // Its sides stop just under the lowest land around the caster instead of running the
    // light's whole range underground, where a software rasteriser still fills them.
    if (m_geometryStale || x != m_placedAt[0] || y != m_placedAt[1] || z != m_placedAt[2] ||
        heading != m_placedHeading) {
        m_placedAt[0] = x;
        m_placedAt[1] = y;
        m_placedAt[2] = z;
        m_placedHeading = heading;
        // As glRotatef turns the model's frame into the world's.
        const double radians = double(heading) * 3.14159265358979323846 / 180.0;
        m_turn[0] = float(std::cos(radians));
        m_turn[1] = float(std::sin(radians));
        const float floor = m_floorAt ? m_floorAt(x, z) : -std::numeric_limits<float>::infinity();
        buildGeometry(floor - y);
    }
}

void ShadowVolume::draw(float x, float y, float z, float heading) {
    if (!m_enabled)
        return;
    place(x, y, z, heading);
    if (m_geometry.empty())
        return;
    glPushMatrix();
    glPushAttrib(GL_CURRENT_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glTranslatef(x, y, z);
    glRotatef(heading, 0.0f, 1.0f, 0.0f);
    // Only where the volume reaches the screen can the stencil be marked.
    float modelView[16];
    float projection[16];
    int viewport[4];
    int rect[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    switch (projectBox(m_boundsMin, m_boundsMax, modelView, projection, viewport, rect)) {
    case BoxOnScreen::Hidden:
        glPopClientAttrib();
        glPopAttrib();
        glPopMatrix();
        return;
    case BoxOnScreen::Rect:
        s_shadowArea.addRect(rect[0], rect[1], rect[2], rect[3]);
        break;
    case BoxOnScreen::Unbounded:
        s_shadowArea.addWhole();
        break;
    }
    size_t vertices = m_geometry.size() / 3;
    if (s_count != ShadowCount::Idle) {
        // Counted from the eye (faces in front of the scene), the volume needs no far cap
        // when that lies in the land, and fills far fewer pixels than counted from behind
        // the scene with both caps; that only holds while the eye is outside the volume.
        const bool fromEye = !boxMayReachNearPlane(m_boundsMin, m_boundsMax, modelView, projection);
        const bool up = s_count == ShadowCount::Up;
        if (fromEye) {
            vertices = m_eyeCountVertices;
            glFrontFace(up ? GL_CCW : GL_CW);
            glStencilOp(GL_KEEP, GL_KEEP, up ? GL_INCR : GL_DECR);
        } else {
            glFrontFace(up ? GL_CW : GL_CCW);
            glStencilOp(GL_KEEP, up ? GL_INCR : GL_DECR, GL_KEEP);
        }
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m_geometry.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(vertices));
    glPopClientAttrib();
    glPopAttrib();
    glPopMatrix();
}
