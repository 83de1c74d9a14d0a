// CollisionShape: one posed mesh as a list of triangles with a two-way tree of boxes over
// them, tested exactly against another shape (triangle against triangle) or against a
// segment (a projectile's path). Shapes live in their own (model) frame; a world transform
// places them for a test.
//
// Costs: addTriangle is an append; finish builds the tree once (n log n in the triangle
// count) and is the expensive step, done at level start. setTransform is a matrix copy (plus
// a yaw inverse). intersects descends both trees with a pair stack and runs the exact
// triangle test only on leaf pairs; intersectsSegment walks one tree. Neither allocates once
// its scratch stack has grown to the shape's needs.
// Not guaranteed: intersects answers "do the surfaces touch now", never "how deep" or "when";
// one shape entirely inside another (no surfaces crossing) is not a contact, and a mover that
// passes through a thin shape between two tests is never seen. Degenerate (zero-area)
// triangles never touch anything. The box test is conservative (face axes only), so only
// the triangle test decides.
#pragma once

#include "models/matrix.h"
#include "models/vector.h"

#include <cstdint>
#include <memory>
#include <vector>

class CollisionTriangle;

// One node of a shape's box tree: a box (minimum, maximum, centre in the shape's frame) that
// either has children or holds triangles directly.
class CollisionNode {
public:
    virtual ~CollisionNode() = default;
    virtual bool isLeaf() const = 0;
    virtual int32_t childCount() const = 0;
    // Left (0) or right (1) child; null when absent or out of range.
    virtual const CollisionNode* child(int32_t i) const = 0;
    virtual int32_t triangleCount() const = 0;
    // The i-th triangle the node holds itself; null out of range.
    virtual const CollisionTriangle* triangle(int32_t i) const = 0;

    Vector m_min;
    Vector m_max;
    Vector m_center;
    // The box as middle and half extents, kept beside the corners for the pair test.
    float m_boxMiddle[3] = {0.0f, 0.0f, 0.0f};
    float m_boxHalf[3] = {0.0f, 0.0f, 0.0f};

protected:
    void updateBoxCache();
};

// A triangle of the shape, and a leaf of the tree at the same time.
class CollisionTriangle : public CollisionNode {
    friend class CollisionShape;

public:
    CollisionTriangle() = default;
    CollisionTriangle(const Vector& a, const Vector& b, const Vector& c, int32_t boneId);

    bool isLeaf() const override { return true; }
    int32_t childCount() const override { return 0; }
    const CollisionNode* child(int32_t) const override { return nullptr; }
    int32_t triangleCount() const override { return 1; }
    const CollisionTriangle* triangle(int32_t i) const override { return i == 0 ? this : nullptr; }

    // Unit normal from the winding (zero for a degenerate triangle).
    Vector normal() const;

    Vector m_corners[3];
    int32_t m_boneId = -1; // the joint that moves the third corner, -1 unskinned
};

// An inner node of the tree. Children are owned by the shape, not by the node.
class BoxNode : public CollisionNode {
    friend class CollisionShape;

public:
    bool isLeaf() const override { return false; }
    int32_t childCount() const override;
    const CollisionNode* child(int32_t i) const override;
    int32_t triangleCount() const override { return static_cast<int32_t>(m_list.size()); }
    const CollisionTriangle* triangle(int32_t i) const override;

    const CollisionNode* m_left = nullptr;
    const CollisionNode* m_right = nullptr;
    std::vector<const CollisionTriangle*> m_list; // triangles held directly
    int32_t m_depth = 0;
};

// Möller's interval-overlap triangle-triangle test, coplanar case included. Touching
// (a shared point or edge) counts as contact; a degenerate triangle never intersects.
bool trianglesIntersect(const Vector& v0, const Vector& v1, const Vector& v2, const Vector& u0,
                        const Vector& u1, const Vector& u2);

class CollisionShape {
public:
    explicit CollisionShape(bool yawOnly = true);
    virtual ~CollisionShape();
    CollisionShape(const CollisionShape&) = delete;
    CollisionShape& operator=(const CollisionShape&) = delete;

    // Appends a triangle; ignored once the shape is finished.
    void addTriangle(const Vector& a, const Vector& b, const Vector& c, int32_t boneId);
    // Builds the box tree over the triangles; later calls do nothing.
    void finish();
    // Places the shape in the world (and keeps the yaw-and-position inverse when yaw-only).
    void setTransform(const Matrix& transform);

    // Shape-shape contact with `other` placed by its own transform. On contact records this
    // shape's triangle and the other's (both in this shape's frame) and returns true. False
    // for an unfinished shape on either side.
    bool intersects(const CollisionShape& other);
    // Segment from `start` (world) along `direction` (need not be unit; its length is
    // ignored) for `length` world units, after moving the start by `offset` along it. A
    // negative length runs backwards. First-hit mode (nearest false) stops at the first
    // triangle met in the tree; nearest mode keeps the closest. Records the triangle hit.
    bool intersectsSegment(const Vector& start, const Vector& direction, bool nearest, float offset,
                           float length);

    // Box of the whole shape in its own frame (zero when empty); the bounding sphere is its
    // centre with half the diagonal as radius.
    Vector boxMin() const;
    Vector boxMax() const;
    Vector boxCenter() const;
    float boundingRadius() const;

    int32_t triangleCount() const { return static_cast<int32_t>(m_triangles.size()); }
    const CollisionTriangle& triangleAt(int32_t i) const { return m_triangles[i]; }
    const CollisionNode* root() const { return m_root; }
    int32_t boxNodeCount() const { return static_cast<int32_t>(m_boxes.size()); }
    bool finished() const { return m_finished; }
    bool yawOnly() const { return m_yawOnly; }
    const Matrix& transform() const { return m_transform; }
    // The last contact: [0] this shape's triangle, [1] the other's (segment tests fill [0]).
    const CollisionTriangle& hitTriangle(int i) const { return m_hitTriangles[i == 1 ? 1 : 0]; }
    bool hit() const { return m_hit; }
    // Distance along the segment of the last segment contact.
    float hitDistance() const { return m_hitDistance; }

    std::vector<CollisionTriangle> m_triangles;
    const CollisionNode* m_root = nullptr;
    Matrix m_transform;
    Matrix m_inverseYaw;
    bool m_hit = false;
    CollisionTriangle m_hitTriangles[2];
    bool m_finished = false;
    bool m_yawOnly = true;

private:
    // The matrix that maps world points into this shape's frame.
    Matrix worldToShape() const;

    std::vector<std::unique_ptr<BoxNode>> m_boxes; // every box of the tree, root first
    float m_hitDistance = 0.0f;
    struct NodePair {
        const CollisionNode* a;
        const CollisionNode* b;
    };
    std::vector<NodePair> m_pairStack;
    std::vector<const CollisionNode*> m_nodeStack;
};
