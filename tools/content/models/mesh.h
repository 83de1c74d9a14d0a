// Builds closed, outward-wound primitives (boxes, tapered cylinders, cones, ellipsoids, convex
// polyhedra) into an MS3D file, each skinned rigidly to one joint and textured from one rectangle
// of the model's atlas. Corners of a primitive share their vertices, so every primitive is a
// closed surface whose edges each join exactly two triangles (what shadow volumes and collision
// need). Winding is fixed per triangle against the primitive's centre, which is exact for convex
// primitives and for the mildly bumped ones used for rocks; nothing checks concave input.
#pragma once

#include "models/ms3dwriter.h"

#include <functional>
#include <vector>

namespace content::models {

// An atlas rectangle in texture space, v measured from the image's top row.
struct UvRect {
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    float u(float f) const { return u0 + (u1 - u0) * f; }
    float v(float f) const { return v0 + (v1 - v0) * f; }
};

class MeshBuilder {
public:
    explicit MeshBuilder(Ms3dFile& file) : m_file(file) {}

    // Adds a material with its own group; later primitives go into that group.
    int addMaterial(const Ms3dMaterial& material, const std::string& groupName);
    void useGroup(int group) { m_group = group; }

    // Box of half sizes `half` around xf.origin; the +x face may use its own rectangle.
    void box(const Xf& xf, const Vec3& half, const UvRect& uv, int bone,
             const UvRect* front = nullptr);
    // Tapered cylinder along local +y from 0 (radius r0) to h (radius r1); a radius of 0 makes a
    // cone tip. `squash` scales the local z radius. u runs around with +x at its middle.
    void frustum(const Xf& xf, float r0, float r1, float h, int segments, const UvRect& uv,
                 int bone, float squash = 1.0f);
    // The same between two points: from a (radius ra) to b (radius rb).
    void segment(const Vec3& a, const Vec3& b, float ra, float rb, int segments, const UvRect& uv,
                 int bone, float squash = 1.0f);
    // Ellipsoid; `bump` (optional) scales the radius by direction for rough shapes.
    void ellipsoid(const Xf& xf, const Vec3& radii, int segments, int rings, const UvRect& uv,
                   int bone, const std::function<float(const Vec3&)>& bump = nullptr);
    // Convex polyhedron from corner points and faces (corner index lists, any winding); flat
    // shaded, each face mapped onto the rectangle by a planar projection.
    void polyhedron(const Xf& xf, const std::vector<Vec3>& points,
                    const std::vector<std::vector<int>>& faces, const UvRect& uv, int bone);

    int vertexCount() const { return static_cast<int>(m_file.vertices.size()); }

private:
    int vertex(const Vec3& p, int bone);
    // Appends one triangle, swapping its winding if its normal points towards `centre`.
    void triangle(const int idx[3], const Vec3 normals[3], const float s[3], const float t[3],
                  const Vec3& centre);

    Ms3dFile& m_file;
    int m_group = 0;
};

// Every vertex of `src` posed by its joint's rigid motion, then placed by `place`, appended to
// `dst` unskinned (its triangles join dst's group `group`). motion[j] maps joint j's bind-pose
// points to their posed places.
void appendBaked(const Ms3dFile& src, const std::vector<Xf>& motion, const Xf& place, Ms3dFile& dst,
                 int group);

} // namespace content::models
