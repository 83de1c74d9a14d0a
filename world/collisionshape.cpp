#include "world/collisionshape.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Exact tests run in double: the corners are floats, but the products of the plane and
// interval tests lose too much in float for touching contacts to come out right.
struct D3 {
    double v[3];
    double operator[](int i) const { return v[i]; }
};

D3 toD3(const Vector& a) {
    return D3{{a.x, a.y, a.z}};
}
D3 sub(const D3& a, const D3& b) {
    return D3{{a[0] - b[0], a[1] - b[1], a[2] - b[2]}};
}
D3 crossD(const D3& a, const D3& b) {
    return D3{{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}};
}
double dotD(const D3& a, const D3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
double lengthD(const D3& a) {
    return std::sqrt(dotD(a, a));
}

// Distances closer than this to a plane count as on it (world units).
constexpr double PLANE_EPSILON = 1e-5;

// A triangle's unit normal, or false when it has (next to) no area.
bool unitNormal(const D3& a, const D3& b, const D3& c, D3& n) {
    const D3 e1 = sub(b, a), e2 = sub(c, a);
    n = crossD(e1, e2);
    const double len = lengthD(n);
    const double scale = dotD(e1, e1) + dotD(e2, e2);
    if (!(len > 1e-9 * scale) || !std::isfinite(len))
        return false;
    n = D3{{n[0] / len, n[1] / len, n[2] / len}};
    return true;
}

// Projected edge a0-a1 against the three edges of triangle u (in the i0/i1 plane).
bool edgeAgainstEdges(const D3& a0, const D3& a1, const D3* u, int i0, int i1) {
    const double ax = a1[i0] - a0[i0], ay = a1[i1] - a0[i1];
    for (int k = 0; k < 3; ++k) {
        const D3& b0 = u[k];
        const D3& b1 = u[(k + 1) % 3];
        const double bx = b0[i0] - b1[i0], by = b0[i1] - b1[i1];
        const double cx = a0[i0] - b0[i0], cy = a0[i1] - b0[i1];
        const double f = ay * bx - ax * by;
        const double d = by * cx - bx * cy;
        if ((f > 0 && d >= 0 && d <= f) || (f < 0 && d <= 0 && d >= f)) {
            const double e = ax * cy - ay * cx;
            if (f > 0) {
                if (e >= 0 && e <= f)
                    return true;
            } else if (e <= 0 && e >= f) {
                return true;
            }
        }
    }
    return false;
}

// Point p strictly inside projected triangle u.
bool pointInTriangle(const D3& p, const D3* u, int i0, int i1) {
    double d[3];
    for (int k = 0; k < 3; ++k) {
        const D3& a = u[k];
        const D3& b = u[(k + 1) % 3];
        const double ea = b[i1] - a[i1];
        const double eb = -(b[i0] - a[i0]);
        const double ec = -ea * a[i0] - eb * a[i1];
        d[k] = ea * p[i0] + eb * p[i1] + ec;
    }
    return d[0] * d[1] > 0.0 && d[0] * d[2] > 0.0;
}

bool coplanarIntersect(const D3& n, const D3* v, const D3* u) {
    // Project onto the coordinate plane that drops the normal's largest component.
    const double ax = std::fabs(n[0]), ay = std::fabs(n[1]), az = std::fabs(n[2]);
    int i0, i1;
    if (ax > ay) {
        if (ax > az) {
            i0 = 1;
            i1 = 2;
        } else {
            i0 = 0;
            i1 = 1;
        }
    } else if (az > ay) {
        i0 = 0;
        i1 = 1;
    } else {
        i0 = 0;
        i1 = 2;
    }
    for (int k = 0; k < 3; ++k)
        if (edgeAgainstEdges(v[k], v[(k + 1) % 3], u, i0, i1))
            return true;
    return pointInTriangle(v[0], u, i0, i1) || pointInTriangle(u[0], v, i0, i1);
}

// The interval where a triangle's projections p (onto the line of the two planes) cross
// the other plane, from the corners' signed distances d. False when the triangle lies in
// the plane (coplanar case).
bool planeInterval(const double p[3], const double d[3], double& lo, double& hi) {
    auto cut = [&](int a, int b, int c) {
        // Corner a alone on its side of the plane.
        lo = p[a] + (p[b] - p[a]) * d[a] / (d[a] - d[b]);
        hi = p[a] + (p[c] - p[a]) * d[a] / (d[a] - d[c]);
    };
    if (d[0] * d[1] > 0.0)
        cut(2, 0, 1);
    else if (d[0] * d[2] > 0.0)
        cut(1, 0, 2);
    else if (d[1] * d[2] > 0.0 || d[0] != 0.0)
        cut(0, 1, 2);
    else if (d[1] != 0.0)
        cut(1, 0, 2);
    else if (d[2] != 0.0)
        cut(2, 0, 1);
    else
        return false;
    if (lo > hi)
        std::swap(lo, hi);
    return true;
}

// Distances of three corners from the plane (n, point q); near-zero snapped to zero.
// True when all lie strictly on one side.
bool sideDistances(const D3& n, const D3& q, const D3* c, double d[3]) {
    const double off = -dotD(n, q);
    for (int k = 0; k < 3; ++k) {
        d[k] = dotD(n, c[k]) + off;
        if (std::fabs(d[k]) < PLANE_EPSILON)
            d[k] = 0.0;
    }
    return d[0] * d[1] > 0.0 && d[0] * d[2] > 0.0;
}

// The relative transform of a shape pair, prepared once per test: b's frame in a's, and the
// absolute values of its rotation for the box extents.
struct PairFrame {
    float rot[3][3];
    float absRot[3][3];
    float move[3];
    explicit PairFrame(const Matrix& r) {
        const float* m = r.getMatrix();
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                rot[i][j] = m[j * 4 + i];
                absRot[i][j] = std::fabs(rot[i][j]) + 1e-6f; // near-parallel axes stay safe
            }
            move[i] = m[12 + i];
        }
    }
};

bool boxesOverlap(const CollisionNode& a, const CollisionNode& b, const PairFrame& f) {
    // b's box, placed by f, against a's axis-aligned box: the six face axes.
    const float* ha = a.m_boxHalf;
    const float* hb = b.m_boxHalf;
    const float* cb = b.m_boxMiddle;
    float t[3];
    for (int i = 0; i < 3; ++i)
        t[i] = f.rot[i][0] * cb[0] + f.rot[i][1] * cb[1] + f.rot[i][2] * cb[2] + f.move[i] -
               a.m_boxMiddle[i];
    constexpr float slack = 1e-4f;
    for (int i = 0; i < 3; ++i) {
        const float rb = f.absRot[i][0] * hb[0] + f.absRot[i][1] * hb[1] + f.absRot[i][2] * hb[2];
        if (std::fabs(t[i]) > ha[i] + rb + slack)
            return false;
    }
    for (int j = 0; j < 3; ++j) {
        const float ra = f.absRot[0][j] * ha[0] + f.absRot[1][j] * ha[1] + f.absRot[2][j] * ha[2];
        const float tj = t[0] * f.rot[0][j] + t[1] * f.rot[1][j] + t[2] * f.rot[2][j];
        if (std::fabs(tj) > ra + hb[j] + slack)
            return false;
    }
    return true;
}

float boxVolume(const CollisionNode& n) {
    return n.m_boxHalf[0] * n.m_boxHalf[1] * n.m_boxHalf[2];
}

// Slab test of the segment s + d t, t in [0, length], against a box.
bool segmentMeetsBox(const Vector& s, const Vector& d, float length, const CollisionNode& box) {
    constexpr double slack = 1e-4;
    double lo = 0.0, hi = length;
    for (int i = 0; i < 3; ++i) {
        const double mn = box.m_min[i] - slack, mx = box.m_max[i] + slack;
        if (std::fabs(d[i]) < 1e-12) {
            if (s[i] < mn || s[i] > mx)
                return false;
            continue;
        }
        double t1 = (mn - s[i]) / d[i], t2 = (mx - s[i]) / d[i];
        if (t1 > t2)
            std::swap(t1, t2);
        lo = std::max(lo, t1);
        hi = std::min(hi, t2);
        if (lo > hi)
            return false;
    }
    return true;
}

// Möller-Trumbore: the distance along unit d at which the ray meets the triangle.
bool rayHitsTriangle(const Vector& s, const Vector& d, const CollisionTriangle& tri, double& t) {
    const D3 v0 = toD3(tri.m_corners[0]);
    const D3 e1 = sub(toD3(tri.m_corners[1]), v0);
    const D3 e2 = sub(toD3(tri.m_corners[2]), v0);
    const D3 dir = toD3(d);
    const D3 p = crossD(dir, e2);
    const double det = dotD(e1, p);
    if (std::fabs(det) <= 1e-12 * (lengthD(e1) * lengthD(e2)) || det == 0.0)
        return false;
    const double inv = 1.0 / det;
    const D3 tv = sub(toD3(s), v0);
    constexpr double slack = 1e-7;
    const double u = dotD(tv, p) * inv;
    if (u < -slack || u > 1.0 + slack)
        return false;
    const D3 q = crossD(tv, e1);
    const double v = dotD(dir, q) * inv;
    if (v < -slack || u + v > 1.0 + slack)
        return false;
    t = dotD(e2, q) * inv;
    return true;
}

// Inverse of an affine transform (rotation part may be any invertible 3x3).
Matrix affineInverse(const Matrix& a) {
    const float* m = a.getMatrix();
    const double a00 = m[0], a01 = m[4], a02 = m[8];
    const double a10 = m[1], a11 = m[5], a12 = m[9];
    const double a20 = m[2], a21 = m[6], a22 = m[10];
    const double c00 = a11 * a22 - a12 * a21, c01 = a02 * a21 - a01 * a22,
                 c02 = a01 * a12 - a02 * a11;
    const double c10 = a12 * a20 - a10 * a22, c11 = a00 * a22 - a02 * a20,
                 c12 = a02 * a10 - a00 * a12;
    const double c20 = a10 * a21 - a11 * a20, c21 = a01 * a20 - a00 * a21,
                 c22 = a00 * a11 - a01 * a10;
    const double det = a00 * c00 + a01 * c10 + a02 * c20;
    Matrix r;
    if (det == 0.0 || !std::isfinite(det))
        return r; // a collapsed transform: keep the shape where it is rather than NaNs
    const double inv = 1.0 / det;
    const double ri[3][3] = {{c00 * inv, c01 * inv, c02 * inv},
                             {c10 * inv, c11 * inv, c12 * inv},
                             {c20 * inv, c21 * inv, c22 * inv}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            r(i, j) = static_cast<float>(ri[i][j]);
        r(i, 3) = static_cast<float>(-(ri[i][0] * m[12] + ri[i][1] * m[13] + ri[i][2] * m[14]));
    }
    return r;
}

} // namespace

bool trianglesIntersect(const Vector& v0, const Vector& v1, const Vector& v2, const Vector& u0,
                        const Vector& u1, const Vector& u2) {
    const D3 v[3] = {toD3(v0), toD3(v1), toD3(v2)};
    const D3 u[3] = {toD3(u0), toD3(u1), toD3(u2)};
    D3 n1, n2;
    if (!unitNormal(v[0], v[1], v[2], n1) || !unitNormal(u[0], u[1], u[2], n2))
        return false;
    double du[3], dv[3];
    if (sideDistances(n1, v[0], u, du))
        return false; // u entirely on one side of v's plane
    if (sideDistances(n2, u[0], v, dv))
        return false;
    // Project both onto the largest axis of the line where the two planes meet.
    const D3 line = crossD(n1, n2);
    int index = 0;
    double best = std::fabs(line[0]);
    for (int i = 1; i < 3; ++i)
        if (std::fabs(line[i]) > best) {
            best = std::fabs(line[i]);
            index = i;
        }
    const double vp[3] = {v[0][index], v[1][index], v[2][index]};
    const double up[3] = {u[0][index], u[1][index], u[2][index]};
    double lo1, hi1, lo2, hi2;
    if (!planeInterval(vp, dv, lo1, hi1))
        return coplanarIntersect(n1, v, u);
    if (!planeInterval(up, du, lo2, hi2))
        return coplanarIntersect(n1, v, u);
    return !(hi1 < lo2 || hi2 < lo1);
}

CollisionTriangle::CollisionTriangle(const Vector& a, const Vector& b, const Vector& c,
                                     int32_t boneId)
    : m_boneId(boneId) {
    m_corners[0] = a;
    m_corners[1] = b;
    m_corners[2] = c;
    for (int i = 0; i < 3; ++i) {
        m_min[i] = std::min({a[i], b[i], c[i]});
        m_max[i] = std::max({a[i], b[i], c[i]});
        m_center[i] = (a[i] + b[i] + c[i]) / 3.0f;
    }
    updateBoxCache();
}

void CollisionNode::updateBoxCache() {
    for (int i = 0; i < 3; ++i) {
        m_boxMiddle[i] = 0.5f * (m_min[i] + m_max[i]);
        m_boxHalf[i] = 0.5f * (m_max[i] - m_min[i]);
    }
}

Vector CollisionTriangle::normal() const {
    Vector n;
    n.cross(m_corners[1] - m_corners[0], m_corners[2] - m_corners[0]);
    n.normalize();
    return n;
}

int32_t BoxNode::childCount() const {
    return (m_left ? 1 : 0) + (m_right ? 1 : 0);
}

const CollisionNode* BoxNode::child(int32_t i) const {
    if (i == 0)
        return m_left;
    if (i == 1)
        return m_right;
    return nullptr;
}

const CollisionTriangle* BoxNode::triangle(int32_t i) const {
    if (i < 0 || i >= triangleCount())
        return nullptr;
    return m_list[static_cast<size_t>(i)];
}

CollisionShape::CollisionShape(bool yawOnly) : m_yawOnly(yawOnly) {}

CollisionShape::~CollisionShape() = default;

void CollisionShape::addTriangle(const Vector& a, const Vector& b, const Vector& c,
                                 int32_t boneId) {
    if (m_finished)
        return;
    m_triangles.emplace_back(a, b, c, boneId);
}

void CollisionShape::finish() {
    if (m_finished)
        return;
    m_finished = true; // from here on the triangle storage never moves
    auto root = std::make_unique<BoxNode>();
    root->m_list.reserve(m_triangles.size());
    for (const CollisionTriangle& t : m_triangles)
        root->m_list.push_back(&t);
    m_root = root.get();
    std::vector<BoxNode*> work{root.get()};
    m_boxes.push_back(std::move(root));

    // Built from an explicit work list so that an unlucky mesh cannot exhaust the stack.
    while (!work.empty()) {
        BoxNode* node = work.back();
        work.pop_back();
        if (node->m_list.empty())
            continue;
        float mn[3] = {9e9f, 9e9f, 9e9f}, mx[3] = {-9e9f, -9e9f, -9e9f};
        double centre[3] = {0.0, 0.0, 0.0};
        for (const CollisionTriangle* t : node->m_list) {
            for (int i = 0; i < 3; ++i) {
                mn[i] = std::min(mn[i], t->m_min[i]);
                mx[i] = std::max(mx[i], t->m_max[i]);
                centre[i] += t->m_center[i];
            }
        }
        const double count = static_cast<double>(node->m_list.size());
        for (int i = 0; i < 3; ++i) {
            float size = mx[i] - mn[i];
            if (size == 0.0f) {
                // A flat box still has to be met by the box tests.
                size = 0.002f;
                mn[i] -= 0.001f;
            }
            node->m_min[i] = mn[i];
            node->m_max[i] = mn[i] + size;
            node->m_center[i] = static_cast<float>(centre[i] / count);
        }
        node->updateBoxCache();
        double spread[3] = {0.0, 0.0, 0.0};
        for (const CollisionTriangle* t : node->m_list)
            for (int i = 0; i < 3; ++i)
                spread[i] += std::fabs(t->m_center[i] - node->m_center[i]);
        int axis = 0;
        if (spread[1] > spread[0] && spread[1] > spread[2])
            axis = 1;
        else if (spread[2] > spread[0] && spread[2] > spread[1])
            axis = 2;
        const float divide = node->m_center[axis];
        std::vector<const CollisionTriangle*> below, above;
        for (const CollisionTriangle* t : node->m_list)
            (t->m_center[axis] >= divide ? above : below).push_back(t);
        if (below.empty() || above.empty())
            continue; // no split possible: the node tests its triangles directly
        node->m_list.clear();
        node->m_list.shrink_to_fit();
        auto makeChild = [&](std::vector<const CollisionTriangle*>& list) -> const CollisionNode* {
            if (list.size() == 1)
                return list[0];
            auto box = std::make_unique<BoxNode>();
            box->m_depth = node->m_depth + 1;
            box->m_list = std::move(list);
            BoxNode* raw = box.get();
            m_boxes.push_back(std::move(box));
            work.push_back(raw);
            return raw;
        };
        node->m_left = makeChild(below);
        node->m_right = makeChild(above);
    }
}

void CollisionShape::setTransform(const Matrix& transform) {
    m_transform = transform;
    if (m_yawOnly)
        m_inverseYaw = transform.getInverseYawTransform();
}

Matrix CollisionShape::worldToShape() const {
    return m_yawOnly ? m_inverseYaw : affineInverse(m_transform);
}

bool CollisionShape::intersects(const CollisionShape& other) {
    m_hit = false;
    if (!m_finished || !other.m_finished || !m_root || !other.m_root)
        return false;
    Matrix relative = worldToShape();
    relative.postMultiply(other.m_transform);
    const PairFrame frame(relative);

    const size_t wanted =
        std::max<size_t>(64, std::max(m_triangles.size(), other.m_triangles.size()) / 16);
    if (m_pairStack.capacity() < wanted)
        m_pairStack.reserve(wanted);
    m_pairStack.clear();
    m_pairStack.push_back({m_root, other.m_root});

    while (!m_pairStack.empty()) {
        const NodePair pair = m_pairStack.back();
        m_pairStack.pop_back();
        const CollisionNode* a = pair.a;
        const CollisionNode* b = pair.b;
        const int32_t aTris = a->triangleCount(), bTris = b->triangleCount();
        const int32_t aKids = a->childCount(), bKids = b->childCount();
        if ((aTris == 0 && aKids == 0) || (bTris == 0 && bKids == 0))
            continue; // an empty shape's root
        if (!boxesOverlap(*a, *b, frame))
            continue;
        if (aTris == 0 || bTris == 0) {
            bool descendB;
            if (aKids == 0)
                descendB = true;
            else if (bKids == 0)
                descendB = false;
            else
                descendB = !(boxVolume(*a) > boxVolume(*b));
            const CollisionNode* parent = descendB ? b : a;
            for (int32_t i = 0; i < 2; ++i) {
                const CollisionNode* c = parent->child(i);
                if (c)
                    m_pairStack.push_back(descendB ? NodePair{a, c} : NodePair{c, b});
            }
            continue;
        }
        for (int32_t j = 0; j < bTris; ++j) {
            const CollisionTriangle* tb = b->triangle(j);
            Vector corners[3] = {tb->m_corners[0], tb->m_corners[1], tb->m_corners[2]};
            for (Vector& c : corners) {
                c.transform(relative);
                c.w = 1.0f;
            }
            for (int32_t i = 0; i < aTris; ++i) {
                const CollisionTriangle* ta = a->triangle(i);
                if (trianglesIntersect(ta->m_corners[0], ta->m_corners[1], ta->m_corners[2],
                                       corners[0], corners[1], corners[2])) {
                    m_hitTriangles[0] = *ta;
                    m_hitTriangles[1] =
                        CollisionTriangle(corners[0], corners[1], corners[2], tb->m_boneId);
                    m_hit = true;
                    m_pairStack.clear();
                    return true;
                }
            }
        }
    }
    return false;
}

bool CollisionShape::intersectsSegment(const Vector& start, const Vector& direction, bool nearest,
                                       float offset, float length) {
    m_hit = false;
    if (!m_finished || !m_root)
        return false;
    const Matrix toShape = worldToShape();
    Vector s = start;
    s.transform(toShape);
    s.w = 1.0f;
    Vector d = direction;
    d.transform3(toShape);
    const float dirLength = d.length();
    if (!(dirLength > 0.0f) || !std::isfinite(dirLength) || !std::isfinite(length) ||
        !std::isfinite(offset) || !std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.z))
        return false;
    d = d / dirLength;
    if (offset != 0.0f) {
        s = s + d * offset;
        length -= offset;
    }
    if (length < 0.0f) {
        d = d * -1.0f;
        length = -length;
    }

    const CollisionTriangle* best = nullptr;
    double bestDistance = 9e9;
    m_nodeStack.clear();
    m_nodeStack.push_back(m_root);
    while (!m_nodeStack.empty()) {
        const CollisionNode* node = m_nodeStack.back();
        m_nodeStack.pop_back();
        // In nearest mode boxes beyond the best hit so far cannot hold a closer one.
        const float reach = best ? static_cast<float>(bestDistance) : length;
        if (!segmentMeetsBox(s, d, reach, *node))
            continue;
        for (int32_t i = 0; i < 2; ++i) {
            const CollisionNode* c = node->child(i);
            if (c)
                m_nodeStack.push_back(c);
        }
        const int32_t tris = node->triangleCount();
        for (int32_t i = 0; i < tris; ++i) {
            const CollisionTriangle* tri = node->triangle(i);
            double t = 0.0;
            if (!rayHitsTriangle(s, d, *tri, t) || t < -1e-6 || t > length + 1e-6)
                continue;
            if (!nearest) {
                m_hitTriangles[0] = *tri;
                m_hitDistance = static_cast<float>(t);
                m_hit = true;
                return true;
            }
            if (t < bestDistance) {
                bestDistance = t;
                best = tri;
            }
        }
    }
    if (!best)
        return false;
    m_hitTriangles[0] = *best;
    m_hitDistance = static_cast<float>(bestDistance);
    m_hit = true;
    return true;
}

Vector CollisionShape::boxMin() const {
    return m_root ? m_root->m_min : Vector();
}

Vector CollisionShape::boxMax() const {
    return m_root ? m_root->m_max : Vector();
}

Vector CollisionShape::boxCenter() const {
    if (!m_root || m_triangles.empty())
        return Vector();
    return (m_root->m_min + m_root->m_max) * 0.5f;
}

float CollisionShape::boundingRadius() const {
    if (!m_root || m_triangles.empty())
        return 0.0f;
    return (m_root->m_max - m_root->m_min).length() * 0.5f;
}
