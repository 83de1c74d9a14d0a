#include "models/mesh.h"

#include <cmath>
#include <stdexcept>

namespace content::models {

namespace {
constexpr float kPi = 3.14159265358979f;

// A frame whose y axis is d and whose x axis leans towards world +x (the models' front).
Mat3 frameAlong(const Vec3& d) {
    Vec3 ref(1, 0, 0);
    if (std::fabs(dot(ref, d)) > 0.95f)
        ref = Vec3(0, -1, 0);
    const Vec3 e1 = normalize(ref - d * dot(ref, d));
    const Vec3 e3 = cross(e1, d);
    Mat3 m;
    m.m[0][0] = e1.x;
    m.m[1][0] = e1.y;
    m.m[2][0] = e1.z;
    m.m[0][1] = d.x;
    m.m[1][1] = d.y;
    m.m[2][1] = d.z;
    m.m[0][2] = e3.x;
    m.m[1][2] = e3.y;
    m.m[2][2] = e3.z;
    return m;
}
} // namespace

int MeshBuilder::addMaterial(const Ms3dMaterial& material, const std::string& groupName) {
    m_file.materials.push_back(material);
    Ms3dGroup g;
    g.name = groupName;
    g.material = static_cast<int8_t>(m_file.materials.size() - 1);
    m_file.groups.push_back(g);
    m_group = static_cast<int>(m_file.groups.size() - 1);
    return m_group;
}

int MeshBuilder::vertex(const Vec3& p, int bone) {
    if (m_file.vertices.size() >= 65535)
        throw std::runtime_error("model has too many vertices");
    Ms3dVertex v;
    v.position = p;
    v.bone = static_cast<int8_t>(bone);
    m_file.vertices.push_back(v);
    return static_cast<int>(m_file.vertices.size() - 1);
}

void MeshBuilder::triangle(const int idx[3], const Vec3 normals[3], const float s[3],
                           const float t[3], const Vec3& centre) {
    if (m_file.groups.empty())
        throw std::runtime_error("primitive added before any material");
    const Vec3& a = m_file.vertices[idx[0]].position;
    const Vec3& b = m_file.vertices[idx[1]].position;
    const Vec3& c = m_file.vertices[idx[2]].position;
    const Vec3 n = cross(b - a, c - a);
    const Vec3 mid = (a + b + c) * (1.0f / 3.0f);
    int order[3] = {0, 1, 2};
    if (dot(n, mid - centre) < 0) {
        order[1] = 2;
        order[2] = 1;
    }
    Ms3dTriangle tri;
    for (int k = 0; k < 3; ++k) {
        tri.vertex[k] = static_cast<uint16_t>(idx[order[k]]);
        tri.normal[k] = normals[order[k]];
        tri.s[k] = s[order[k]];
        tri.t[k] = t[order[k]];
    }
    tri.group = static_cast<uint8_t>(m_group);
    m_file.groups[m_group].triangles.push_back(static_cast<uint16_t>(m_file.triangles.size()));
    m_file.triangles.push_back(tri);
}

void MeshBuilder::box(const Xf& xf, const Vec3& half, const UvRect& uv, int bone,
                      const UvRect* front) {
    int corner[8];
    Vec3 local[8];
    for (int i = 0; i < 8; ++i) {
        local[i] = Vec3((i & 1) ? half.x : -half.x, (i & 2) ? half.y : -half.y,
                        (i & 4) ? half.z : -half.z);
        corner[i] = vertex(xf.apply(local[i]), bone);
    }
    struct Face {
        Vec3 n, up;
        int c[4];
    };
    const Face faces[6] = {
        {{1, 0, 0}, {0, 1, 0}, {1, 3, 7, 5}}, {{-1, 0, 0}, {0, 1, 0}, {0, 2, 6, 4}},
        {{0, 1, 0}, {1, 0, 0}, {2, 3, 7, 6}}, {{0, -1, 0}, {1, 0, 0}, {0, 1, 5, 4}},
        {{0, 0, 1}, {0, 1, 0}, {4, 5, 7, 6}}, {{0, 0, -1}, {0, 1, 0}, {0, 1, 3, 2}},
    };
    const float hs[3] = {half.x, half.y, half.z};
    for (int f = 0; f < 6; ++f) {
        const Face& face = faces[f];
        const UvRect& r = (f == 0 && front) ? *front : uv;
        const Vec3 tangent = cross(face.up, face.n);
        auto extent = [&](const Vec3& axis) {
            return std::fabs(axis.x) * hs[0] + std::fabs(axis.y) * hs[1] +
                   std::fabs(axis.z) * hs[2];
        };
        const float et = extent(tangent), eu = extent(face.up);
        const Vec3 n = normalize(xf.rotation * face.n);
        float s[4], t[4];
        for (int k = 0; k < 4; ++k) {
            const Vec3& p = local[face.c[k]];
            s[k] = r.u(0.5f + dot(p, tangent) / (2 * et));
            t[k] = r.v(0.5f - dot(p, face.up) / (2 * eu));
        }
        const Vec3 ns[3] = {n, n, n};
        const int i0[3] = {corner[face.c[0]], corner[face.c[1]], corner[face.c[2]]};
        const float s0[3] = {s[0], s[1], s[2]}, t0[3] = {t[0], t[1], t[2]};
        triangle(i0, ns, s0, t0, xf.origin);
        const int i1[3] = {corner[face.c[0]], corner[face.c[2]], corner[face.c[3]]};
        const float s1[3] = {s[0], s[2], s[3]}, t1[3] = {t[0], t[2], t[3]};
        triangle(i1, ns, s1, t1, xf.origin);
    }
}

void MeshBuilder::frustum(const Xf& xf, float r0, float r1, float h, int segments, const UvRect& uv,
                          int bone, float squash) {
    const Vec3 centre = xf.apply(Vec3(0, h * 0.5f, 0));
    auto ring = [&](float r, float y, std::vector<int>& out) {
        if (r <= 0.0f) {
            out.assign(1, vertex(xf.apply(Vec3(0, y, 0)), bone));
            return;
        }
        for (int k = 0; k < segments; ++k) {
            const float phi = 2 * kPi * k / segments - kPi;
            out.push_back(
                vertex(xf.apply(Vec3(r * std::cos(phi), y, -r * squash * std::sin(phi))), bone));
        }
    };
    std::vector<int> lo, hi;
    ring(r0, 0.0f, lo);
    ring(r1, h, hi);
    const float slope = (r0 - r1) / (h != 0 ? h : 1.0f);
    auto sideNormal = [&](float phi) {
        return normalize(xf.rotation *
                         Vec3(std::cos(phi), slope, -std::sin(phi) / (squash > 0 ? squash : 1)));
    };
    for (int k = 0; k < segments; ++k) {
        const int k1 = (k + 1) % segments;
        const float phi0 = 2 * kPi * k / segments - kPi, phi1 = 2 * kPi * (k + 1) / segments - kPi;
        const float u0 = uv.u(static_cast<float>(k) / segments),
                    u1 = uv.u(static_cast<float>(k + 1) / segments);
        const Vec3 n0 = sideNormal(phi0), n1 = sideNormal(phi1);
        const int a = lo.size() > 1 ? lo[k] : lo[0], b = lo.size() > 1 ? lo[k1] : lo[0];
        const int c = hi.size() > 1 ? hi[k] : hi[0], d = hi.size() > 1 ? hi[k1] : hi[0];
        if (lo.size() > 1) {
            const int i[3] = {a, b, d};
            const Vec3 n[3] = {n0, n1, n1};
            const float s[3] = {u0, u1, u1}, t[3] = {uv.v0, uv.v0, uv.v1};
            if (hi.size() > 1) {
                triangle(i, n, s, t, centre);
            } else {
                const int j[3] = {a, b, c};
                const float sj[3] = {u0, u1, (u0 + u1) * 0.5f};
                triangle(j, n, sj, t, centre);
            }
        }
        if (hi.size() > 1) {
            const int i[3] = {a, d, c};
            const Vec3 n[3] = {n0, n1, n0};
            const float s[3] = {lo.size() > 1 ? u0 : (u0 + u1) * 0.5f, u1, u0},
                        t[3] = {uv.v0, uv.v1, uv.v1};
            triangle(i, n, s, t, centre);
        }
    }
    // Flat caps, mapped as discs onto the rectangle.
    auto cap = [&](const std::vector<int>& ringIdx, float y, float sign) {
        if (ringIdx.size() < 3)
            return;
        const int mid = vertex(xf.apply(Vec3(0, y, 0)), bone);
        const Vec3 n = normalize(xf.rotation * Vec3(0, sign, 0));
        for (int k = 0; k < segments; ++k) {
            const int k1 = (k + 1) % segments;
            const float phi0 = 2 * kPi * k / segments, phi1 = 2 * kPi * (k + 1) / segments;
            const int i[3] = {mid, ringIdx[k], ringIdx[k1]};
            const Vec3 ns[3] = {n, n, n};
            const float s[3] = {uv.u(0.5f), uv.u(0.5f + 0.45f * std::cos(phi0)),
                                uv.u(0.5f + 0.45f * std::cos(phi1))};
            const float t[3] = {uv.v(0.5f), uv.v(0.5f + 0.45f * std::sin(phi0)),
                                uv.v(0.5f + 0.45f * std::sin(phi1))};
            triangle(i, ns, s, t, centre);
        }
    };
    cap(lo, 0.0f, -1.0f);
    cap(hi, h, 1.0f);
}

void MeshBuilder::segment(const Vec3& a, const Vec3& b, float ra, float rb, int segments,
                          const UvRect& uv, int bone, float squash) {
    const Vec3 d = b - a;
    Xf xf;
    xf.rotation = frameAlong(normalize(d));
    xf.origin = a;
    frustum(xf, ra, rb, length(d), segments, uv, bone, squash);
}

void MeshBuilder::ellipsoid(const Xf& xf, const Vec3& radii, int segments, int rings,
                            const UvRect& uv, int bone,
                            const std::function<float(const Vec3&)>& bump) {
    auto dir = [&](int ring, int k) {
        const float theta = kPi * ring / rings;
        const float phi = 2 * kPi * k / segments - kPi;
        return Vec3(std::sin(theta) * std::cos(phi), std::cos(theta),
                    -std::sin(theta) * std::sin(phi));
    };
    auto place = [&](const Vec3& d) {
        const float f = bump ? bump(d) : 1.0f;
        return Vec3(d.x * radii.x * f, d.y * radii.y * f, d.z * radii.z * f);
    };
    auto normalAt = [&](const Vec3& d) {
        return normalize(xf.rotation * Vec3(d.x / radii.x, d.y / radii.y, d.z / radii.z));
    };
    const int top = vertex(xf.apply(place(Vec3(0, 1, 0))), bone);
    std::vector<std::vector<int>> ringIdx(rings + 1);
    for (int r = 1; r < rings; ++r)
        for (int k = 0; k < segments; ++k)
            ringIdx[r].push_back(vertex(xf.apply(place(dir(r, k))), bone));
    const int bottom = vertex(xf.apply(place(Vec3(0, -1, 0))), bone);
    auto at = [&](int r, int k) {
        if (r == 0)
            return top;
        if (r == rings)
            return bottom;
        return ringIdx[r][k % segments];
    };
    for (int r = 0; r < rings; ++r) {
        for (int k = 0; k < segments; ++k) {
            const float u0 = uv.u(static_cast<float>(k) / segments),
                        u1 = uv.u(static_cast<float>(k + 1) / segments);
            const float v0 = uv.v(static_cast<float>(r) / rings),
                        v1 = uv.v(static_cast<float>(r + 1) / rings);
            const Vec3 d00 = dir(r, k), d01 = dir(r, k + 1), d10 = dir(r + 1, k),
                       d11 = dir(r + 1, k + 1);
            if (r > 0) {
                const int i[3] = {at(r, k), at(r, k + 1), at(r + 1, k + 1)};
                const Vec3 n[3] = {normalAt(d00), normalAt(d01), normalAt(d11)};
                const float s[3] = {u0, u1, u1}, t[3] = {v0, v0, v1};
                if (r + 1 < rings) {
                    triangle(i, n, s, t, xf.origin);
                } else {
                    const int j[3] = {at(r, k), at(r, k + 1), bottom};
                    const float sj[3] = {u0, u1, (u0 + u1) * 0.5f};
                    triangle(j, n, sj, t, xf.origin);
                }
            }
            if (r + 1 < rings) {
                const int i[3] = {at(r, k), at(r + 1, k + 1), at(r + 1, k)};
                const Vec3 n[3] = {normalAt(d00), normalAt(d11), normalAt(d10)};
                const float s[3] = {r == 0 ? (u0 + u1) * 0.5f : u0, u1, u0}, t[3] = {v0, v1, v1};
                triangle(i, n, s, t, xf.origin);
            }
        }
    }
}

void MeshBuilder::polyhedron(const Xf& xf, const std::vector<Vec3>& points,
                             const std::vector<std::vector<int>>& faces, const UvRect& uv,
                             int bone) {
    std::vector<int> idx;
    Vec3 centre;
    for (const Vec3& p : points) {
        idx.push_back(vertex(xf.apply(p), bone));
        centre += xf.apply(p);
    }
    centre = centre * (1.0f / static_cast<float>(points.size()));
    for (const auto& face : faces) {
        Vec3 fc;
        for (int c : face)
            fc += xf.apply(points[c]);
        fc = fc * (1.0f / static_cast<float>(face.size()));
        const Vec3 n = normalize(fc - centre);
        // Planar projection onto the face: two axes perpendicular to its normal.
        const Vec3 up = std::fabs(n.y) > 0.9f ? Vec3(1, 0, 0) : Vec3(0, 1, 0);
        const Vec3 tu = normalize(cross(up, n)), tv = cross(n, tu);
        float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f};
        for (int c : face) {
            const Vec3 p = xf.apply(points[c]);
            const float a = dot(p, tu), b = dot(p, tv);
            lo[0] = std::fmin(lo[0], a);
            hi[0] = std::fmax(hi[0], a);
            lo[1] = std::fmin(lo[1], b);
            hi[1] = std::fmax(hi[1], b);
        }
        auto st = [&](int c, float& s, float& t) {
            const Vec3 p = xf.apply(points[c]);
            s = uv.u((dot(p, tu) - lo[0]) / std::fmax(hi[0] - lo[0], 1e-6f));
            t = uv.v(1.0f - (dot(p, tv) - lo[1]) / std::fmax(hi[1] - lo[1], 1e-6f));
        };
        for (size_t k = 1; k + 1 < face.size(); ++k) {
            const int i[3] = {idx[face[0]], idx[face[k]], idx[face[k + 1]]};
            const Vec3 ns[3] = {n, n, n};
            float s[3], t[3];
            st(face[0], s[0], t[0]);
            st(face[k], s[1], t[1]);
            st(face[k + 1], s[2], t[2]);
            triangle(i, ns, s, t, centre);
        }
    }
}

void appendBaked(const Ms3dFile& src, const std::vector<Xf>& motion, const Xf& place, Ms3dFile& dst,
                 int group) {
    const size_t base = dst.vertices.size();
    if (base + src.vertices.size() > 65535)
        throw std::runtime_error("baked model has too many vertices");
    for (const auto& v : src.vertices) {
        Ms3dVertex out;
        Vec3 p = v.position;
        if (v.bone >= 0 && static_cast<size_t>(v.bone) < motion.size())
            p = motion[v.bone].apply(p);
        out.position = place.apply(p);
        out.bone = -1;
        dst.vertices.push_back(out);
    }
    for (const auto& t : src.triangles) {
        Ms3dTriangle out = t;
        for (int k = 0; k < 3; ++k) {
            const int bone = src.vertices[t.vertex[k]].bone;
            Vec3 n = t.normal[k];
            if (bone >= 0 && static_cast<size_t>(bone) < motion.size())
                n = motion[bone].rotation * n;
            out.normal[k] = normalize(place.rotation * n);
            out.vertex[k] = static_cast<uint16_t>(base + t.vertex[k]);
        }
        out.group = static_cast<uint8_t>(group);
        dst.groups[group].triangles.push_back(static_cast<uint16_t>(dst.triangles.size()));
        dst.triangles.push_back(out);
    }
}

} // namespace content::models
