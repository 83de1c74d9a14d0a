// Collision: the exact triangle and segment tests, the box tree against brute force, the
// world's tables and registration, and the responses the play frame relies on.
#include "ms3dbuilder.h"
#include "support/handtimer.h"

#include "level/qrvdatalayer.h"
#include "models/ms3dmodel.h"
#include "objects/modelobject.h"
#include "objects/projectile.h"
#include "platform/random.h"
#include "world/collisionshape.h"
#include "world/collisionworld.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

Vector V(float x, float y, float z) {
    return Vector(x, y, z);
}

TEST(TriangleTest, PairsTouchExactlyWhenTheirSurfacesShareAPoint) {
    const float nan = std::nanf("");
    struct Case {
        const char* name;
        Vector t[6];
        bool touch;
    } cases[] = {
        // clang-format off
        {"crossing", {V(0, 0, 0), V(4, 0, 0), V(0, 4, 0), V(1, 1, -1), V(1, 1, 1), V(1, 3, 0)}, true},
        {"shared edge", {V(0, 0, 0), V(2, 0, 0), V(0, 2, 0), V(0, 0, 0), V(2, 0, 0), V(0, 0, 2)}, true},
        {"corner on face", {V(0, 0, 0), V(4, 0, 0), V(0, 4, 0), V(1, 1, 0), V(1, 1, 3), V(2, 1, 3)}, true},
        {"parallel", {V(0, 0, 0), V(2, 0, 0), V(0, 2, 0), V(0, 0, 1), V(2, 0, 1), V(0, 2, 1)}, false},
        {"beside", {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(5, 5, -1), V(5, 5, 1), V(5, 6, 0)}, false},
        {"line misses", {V(0, 0, 0), V(2, 0, 0), V(0, 2, 0), V(1.5f, 1.5f, -1), V(1.5f, 1.5f, 1), V(3, 3, 0)}, false},
        // Coplanar, in each coordinate plane (each drops another axis).
        {"coplanar xy", {V(0, 0, 0), V(4, 0, 0), V(0, 4, 0), V(1, 1, 0), V(5, 1, 0), V(1, 5, 0)}, true},
        {"coplanar xz", {V(0, 0, 0), V(4, 0, 0), V(0, 0, 4), V(1, 0, 1), V(5, 0, 1), V(1, 0, 5)}, true},
        {"coplanar yz", {V(0, 0, 0), V(0, 4, 0), V(0, 0, 4), V(0, 1, 1), V(0, 5, 1), V(0, 1, 5)}, true},
        {"coplanar inside", {V(0, 0, 0), V(10, 0, 0), V(0, 10, 0), V(1, 1, 0), V(2, 1, 0), V(1, 2, 0)}, true},
        {"coplanar apart", {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(3, 3, 0), V(4, 3, 0), V(3, 4, 0)}, false},
        {"coplanar past edge", {V(0, 0, 0), V(2, 0, 0), V(0, 2, 0), V(1.1f, 1.1f, 0), V(3, 1.1f, 0), V(1.1f, 3, 0)}, false},
        // Degenerate: a segment through the face, a point on it, NaN corners.
        {"segment", {V(1, 1, -1), V(1, 1, 0), V(1, 1, 1), V(0, 0, 0), V(4, 0, 0), V(0, 4, 0)}, false},
        {"point", {V(1, 1, 0), V(1, 1, 0), V(1, 1, 0), V(0, 0, 0), V(4, 0, 0), V(0, 4, 0)}, false},
        {"nan", {V(nan, 0, 0), V(4, 0, 0), V(0, 4, 0), V(0, 0, 0), V(4, 0, 0), V(0, 4, 0)}, false},
        // clang-format on
    };
    for (const Case& c : cases) {
        const Vector* t = c.t;
        EXPECT_EQ(trianglesIntersect(t[0], t[1], t[2], t[3], t[4], t[5]), c.touch) << c.name;
        EXPECT_EQ(trianglesIntersect(t[3], t[4], t[5], t[0], t[1], t[2]), c.touch) << c.name;
    }
}

// A closed box of 12 outward-wound triangles from y 0 to 2h, |x|, |z| <= h.
std::vector<std::vector<Vector>> boxTriangles(float h) {
    const Vector p[8] = {V(-h, 0, -h), V(h, 0, -h), V(h, 2 * h, -h), V(-h, 2 * h, -h),
                         V(-h, 0, h),  V(h, 0, h),  V(h, 2 * h, h),  V(-h, 2 * h, h)};
    const int f[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                          {3, 7, 6}, {3, 6, 2}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};
    std::vector<std::vector<Vector>> out;
    for (const auto& t : f)
        out.push_back({p[t[0]], p[t[1]], p[t[2]]});
    return out;
}

void addBox(CollisionShape& s, float h, const Vector& at = Vector(), int32_t bone = -1) {
    for (const auto& t : boxTriangles(h))
        s.addTriangle(t[0] + at, t[1] + at, t[2] + at, bone);
}

float randomIn(float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(gameRand()) / 32767.0f;
}

// A soup of small random triangles in a cube; the bone id numbers them.
void addRandomMesh(CollisionShape& s, int count, float size, float spread) {
    for (int i = 0; i < count; ++i) {
        Vector c(randomIn(0, size), randomIn(0, size), randomIn(0, size)), k[3];
        for (Vector& corner : k)
            corner = c + V(randomIn(-1, 1), randomIn(-1, 1), randomIn(-1, 1)) * spread;
        s.addTriangle(k[0], k[1], k[2], i);
    }
}

// Every triangle below a node, with repeats; false when one lies outside its box.
bool collect(const CollisionNode* n, std::vector<const CollisionTriangle*>& out) {
    if (!n)
        return true;
    bool inside = true;
    const size_t first = out.size();
    for (int i = 0; i < 2; ++i)
        inside = collect(n->child(i), out) && inside;
    for (int i = 0; i < n->triangleCount(); ++i)
        out.push_back(n->triangle(i));
    for (size_t i = first; i < out.size(); ++i)
        for (int a = 0; a < 3; ++a)
            inside = inside && out[i]->m_min[a] >= n->m_min[a] - 1e-4f &&
                     out[i]->m_max[a] <= n->m_max[a] + 1e-4f;
    return inside;
}

TEST(CollisionShapeTest, TreeReachesEveryTriangleOnceInsideItsBoxes) {
    gameSrand(7);
    CollisionShape s;
    EXPECT_FALSE(s.intersects(s)); // unfinished
    addRandomMesh(s, 300, 50.0f, 2.0f);
    s.finish();
    s.addTriangle(V(0, 0, 0), V(9, 0, 0), V(0, 9, 0), 3); // ignored once finished
    EXPECT_EQ(s.triangleCount(), 300);
    std::vector<const CollisionTriangle*> seen;
    EXPECT_TRUE(collect(s.root(), seen));
    std::vector<int> counts(300, 0);
    for (const CollisionTriangle* t : seen)
        ++counts[static_cast<size_t>(t->m_boneId)];
    EXPECT_EQ(counts, std::vector<int>(300, 1));
    EXPECT_EQ(s.root()->child(2), nullptr);
    EXPECT_EQ(s.root()->triangle(0), nullptr); // a split node keeps no list
    EXPECT_EQ(s.triangleAt(0).triangle(0), &s.triangleAt(0));
    EXPECT_EQ(s.triangleAt(0).triangle(1), nullptr);
    // An empty shape is harmless on either side.
    CollisionShape empty;
    empty.finish();
    EXPECT_FALSE(empty.intersects(s));
    EXPECT_FALSE(s.intersects(empty));
    EXPECT_FALSE(empty.intersectsSegment(V(0, 0, 0), V(1, 0, 0), true, 0, 10));
    EXPECT_EQ(empty.boundingRadius(), 0.0f);
}

TEST(CollisionShapeTest, UnsplittableTrianglesStayInOneFlatBox) {
    // One centre for all: every split sends them to one side, so the root keeps them.
    CollisionShape s;
    for (int i = 0; i < 5; ++i) {
        const float r = 1.0f + i;
        s.addTriangle(V(-r, 0, -r), V(r, 0, -r), V(0, 0, 2 * r), i);
    }
    s.finish();
    EXPECT_EQ(s.boxNodeCount(), 1);
    EXPECT_EQ(s.root()->triangleCount(), 5);
    EXPECT_NEAR(s.boxMin().y, -0.001f, 1e-6f); // flat on y: thickened to 0.002
    EXPECT_NEAR(s.boxMax().y, 0.001f, 1e-6f);
    CollisionShape other; // only the largest reaches x 4.5 (z from -5 to -3.5 there)
    other.addTriangle(V(4.5f, -1, -4.5f), V(4.5f, -1, -4), V(4.5f, 1, -4.25f), 0);
    other.finish();
    EXPECT_TRUE(s.intersects(other));
    EXPECT_EQ(s.hitTriangle(0).m_boneId, 4);
}

TEST(CollisionShapeTest, TreeQueryEqualsBruteForceOnARandomMesh) {
    gameSrand(11);
    CollisionShape a, b;
    addRandomMesh(a, 400, 40.0f, 1.5f);
    addRandomMesh(b, 60, 8.0f, 1.5f);
    a.finish();
    b.finish();
    int contacts = 0;
    const int trials = 120;
    for (int trial = 0; trial < trials; ++trial) {
        Matrix placeA =
            placementTransform(V(randomIn(-5, 5), 0, randomIn(-5, 5)), randomIn(0, 360));
        Matrix placeB = placementTransform(V(randomIn(-5, 40), randomIn(-5, 40), randomIn(-5, 40)),
                                           randomIn(0, 360));
        a.setTransform(placeA);
        b.setTransform(placeB);
        bool brute = false;
        for (int i = 0; i < a.triangleCount() && !brute; ++i)
            for (int j = 0; j < b.triangleCount() && !brute; ++j) {
                Vector p[6];
                for (int k = 0; k < 3; ++k) {
                    (p[k] = a.triangleAt(i).m_corners[k]).transform(placeA);
                    (p[k + 3] = b.triangleAt(j).m_corners[k]).transform(placeB);
                }
                brute = trianglesIntersect(p[0], p[1], p[2], p[3], p[4], p[5]);
            }
        ASSERT_EQ(a.intersects(b), brute) << "trial " << trial;
        if (!brute)
            continue;
        ++contacts;
        // The recorded pair (both in a's frame) really touches.
        const CollisionTriangle &ta = a.hitTriangle(0), &tb = a.hitTriangle(1);
        EXPECT_TRUE(trianglesIntersect(ta.m_corners[0], ta.m_corners[1], ta.m_corners[2],
                                       tb.m_corners[0], tb.m_corners[1], tb.m_corners[2]));
    }
    // Both outcomes occur, or the comparison proves little.
    EXPECT_GT(contacts, 10);
    EXPECT_LT(contacts, trials - 10);
}

TEST(CollisionShapeTest, TransformsPlaceTheShapes) {
    CollisionShape a, b, small, tilted(false);
    addBox(a, 1.0f, Vector(), 1);
    addBox(b, 1.0f, Vector(), 2);
    addBox(small, 0.2f, V(0, 0.5f, 0));
    addBox(tilted, 1.0f, V(0, -1, 0));
    for (CollisionShape* s : {&a, &b, &small, &tilted})
        s->finish();
    // Turned by 45 degrees, a corner reaches sqrt(2) from the centre.
    b.setTransform(placementTransform(V(2.3f, 0, 0), 45));
    EXPECT_TRUE(a.intersects(b));
    EXPECT_EQ(a.hitTriangle(0).m_boneId, 1);
    EXPECT_EQ(a.hitTriangle(1).m_boneId, 2);
    b.setTransform(placementTransform(V(2.5f, 0, 0), 45));
    EXPECT_FALSE(a.intersects(b));
    b.setTransform(placementTransform(V(2.3f, 0, 0), 0));
    EXPECT_FALSE(a.intersects(b));
    // Wholly inside is no contact: no surfaces cross.
    small.setTransform(placementTransform(V(0, 0, 0), 30));
    EXPECT_FALSE(a.intersects(small));
    // A shape that is not yaw-only is inverted in full: rolled 45 degrees about z, the cube
    // reaches sqrt(2) along x, where a yaw-only inverse would stop at 1.
    Matrix roll;
    const float angles[3] = {0.0f, 0.0f, 0.785398f};
    roll.setRotationRadians(angles);
    tilted.setTransform(roll);
    small.setTransform(placementTransform(V(1.35f, -0.7f, 0), 0));
    EXPECT_TRUE(tilted.intersects(small));
    EXPECT_TRUE(tilted.intersectsSegment(V(5, 0, 0), V(-1, 0, 0), true, 0, 10));
    EXPECT_NEAR(tilted.hitDistance(), 5.0f - std::sqrt(2.0f), 1e-3f);
}

TEST(SegmentTest, SegmentThroughBesideAndAlongTrianglesFindsTheNearest) {
    CollisionShape s;
    s.addTriangle(V(0, 0, 0), V(4, 0, 0), V(0, 4, 0), 6);
    s.finish();
    EXPECT_TRUE(s.intersectsSegment(V(1, 1, -2), V(0, 0, 1), false, 0, 5));
    EXPECT_EQ(s.hitTriangle(0).m_boneId, 6);
    EXPECT_NEAR(s.hitDistance(), 2.0f, 1e-5f);
    // The direction's length does not matter: the length is in world units.
    EXPECT_TRUE(s.intersectsSegment(V(1, 1, -2), V(0, 0, 7), false, 0, 2.5f));
    EXPECT_FALSE(s.intersectsSegment(V(1, 1, -2), V(0, 0, 1), false, 0, 1.5f)); // short
    EXPECT_FALSE(s.intersectsSegment(V(3, 3, -2), V(0, 0, 1), false, 0, 5));    // beside
    EXPECT_FALSE(s.intersectsSegment(V(-1, 1, 0), V(1, 0, 0), false, 0, 10));   // in plane
    EXPECT_FALSE(s.intersectsSegment(V(1, 1, 0), V(0, 0, 0), false, 0, 5));     // no direction
    EXPECT_FALSE(s.intersectsSegment(V(std::nanf(""), 1, 0), V(0, 0, 1), false, 0, 5));
    // An offset past the triangle leaves it behind; a negative length runs backwards.
    EXPECT_FALSE(s.intersectsSegment(V(1, 1, -2), V(0, 0, 1), false, 3.0f, 5));
    EXPECT_TRUE(s.intersectsSegment(V(1, 1, 2), V(0, 0, 1), false, 0, -3));
    // Placed at x 100 and turned 90 degrees, its +x lies along world -z.
    s.setTransform(placementTransform(V(100, 0, 0), 90));
    EXPECT_FALSE(s.intersectsSegment(V(1, 1, -2), V(0, 0, 1), false, 0, 5));
    EXPECT_TRUE(s.intersectsSegment(V(98, 1, -1), V(1, 0, 0), false, 0, 5));

    // Nearest mode keeps the closest of a stack.
    CollisionShape stack;
    for (int i = 0; i < 8; ++i) // added far to near
        stack.addTriangle(V(-1, -1, 10.0f - i), V(1, -1, 10.0f - i), V(0, 1, 10.0f - i), 100 + i);
    stack.finish();
    ASSERT_TRUE(stack.intersectsSegment(V(0, 0, 0), V(0, 0, 1), true, 0, 20));
    EXPECT_EQ(stack.hitTriangle(0).m_boneId, 107);
    EXPECT_NEAR(stack.hitDistance(), 3.0f, 1e-5f);
    ASSERT_TRUE(stack.intersectsSegment(V(0, 0, 0), V(0, 0, 1), false, 0, 3.5f));
    EXPECT_EQ(stack.hitTriangle(0).m_boneId, 107);
}

// A model object whose model is a box; with poses, the box slides along x by the pose
// number. Records the hits it receives.
class BoxObject : public ModelObject {
public:
    struct Hit {
        int32_t attackType, weaponKind, damage;
        Vector direction;
    };
    explicit BoxObject(float half = 1.0f, int32_t bone = -1, int poses = 0) {
        Ms3dBuilder b;
        b.addBox(0, half, 0, half, int8_t(bone), -1);
        std::vector<float> millis; // the bone's translation x is k at 100 k ms
        for (int k = 0; k < poses; ++k)
            millis.push_back(100.0f * float(k));
        for (int j = 0; j <= bone; ++j)
            b.joints.push_back(Ms3dBuilder::keyedJoint("j" + std::to_string(j), j ? "j0" : "",
                                                       j == bone ? millis : std::vector<float>()));
        std::vector<uint8_t> bytes = b.bytes();
        ModelData data;
        std::string error;
        EXPECT_TRUE(parseMs3d(bytes.data(), bytes.size(), "", data, error)) << error;
        model().adopt(std::move(data), false);
    }
    void onHit(int32_t attackType, int32_t weaponKind, int32_t damage,
               const Vector& direction) override {
        m_hits.push_back({attackType, weaponKind, damage, direction});
    }
    std::vector<Hit> m_hits;
};

TEST(CollisionWorldTest, TablesRefuseWhenFullAndKeepTheirOrder) {
    CollisionWorld world;
    std::vector<std::unique_ptr<BoxObject>> objects;
    for (int kind : {COLLISION_STATIC, COLLISION_MOVING}) {
        const int capacity = kind == COLLISION_STATIC ? LEVEL_MAX_STATIC : LEVEL_MAX_MOVING;
        for (int i = 0; i <= capacity; ++i) {
            objects.push_back(std::make_unique<BoxObject>());
            EXPECT_EQ(world.addObject(objects.back().get(), kind), i < capacity);
        }
    }
    EXPECT_EQ(world.staticCount(), LEVEL_MAX_STATIC);
    EXPECT_EQ(world.movingCount(), LEVEL_MAX_MOVING);
    EXPECT_FALSE(world.addObject(nullptr, COLLISION_MOVING));
    EXPECT_EQ(world.movingEntry(LEVEL_MAX_MOVING - 1).m_object,
              objects[LEVEL_MAX_STATIC + LEVEL_MAX_MOVING].get());

    // Projectiles too; removing one closes the gap.
    std::vector<std::unique_ptr<HeroShot>> shots;
    for (int i = 0; i <= COLLISION_MAX_PROJECTILES; ++i) {
        shots.push_back(std::make_unique<HeroShot>());
        EXPECT_EQ(world.addProjectile(shots.back().get()), i < COLLISION_MAX_PROJECTILES);
    }
    world.removeProjectile(shots[3].get());
    EXPECT_EQ(world.m_projectiles[3], shots[4].get());
    EXPECT_EQ(world.m_projectiles[COLLISION_MAX_PROJECTILES - 1], nullptr);
    for (HeroShot* absent : {shots[3].get(), shots[20].get(), static_cast<HeroShot*>(nullptr)})
        world.removeProjectile(absent);
    EXPECT_EQ(world.projectileCount(), COLLISION_MAX_PROJECTILES - 1);
    EXPECT_FALSE(world.addProjectile(shots[0].get())); // already held
    EXPECT_FALSE(world.addProjectile(nullptr));
}

TEST(CollisionWorldTest, EveryPoseGetsAShapeAndAtLeastOne) {
    CollisionWorld world;
    BoxObject still, posed(1.0f, 0, 4);
    ASSERT_EQ(still.model().poseCount(), 0);
    ASSERT_EQ(posed.model().poseCount(), 4);
    ASSERT_TRUE(world.addObject(&still, COLLISION_MOVING));
    ASSERT_TRUE(world.addObject(&posed, COLLISION_MOVING));
    EXPECT_EQ(world.movingEntry(0).m_shapeCount, 1);
    const CollisionEntry& e = world.movingEntry(1);
    ASSERT_EQ(e.m_shapeCount, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(e.m_shapes[i]->finished());
        EXPECT_NEAR(e.m_shapes[i]->boxCenter().x, static_cast<float>(i), 1e-4f);
    }
    // The model is back at its first pose; unknown poses fall back to shape 0.
    EXPECT_EQ(posed.model().currentPose(), 0);
    EXPECT_EQ(e.shapeFor(-9), e.m_shapes[0].get());
    EXPECT_EQ(e.shapeFor(4), e.m_shapes[0].get());
    posed.m_currentAnimation = 3;
    EXPECT_EQ(e.currentShape(), e.m_shapes[3].get());
    EXPECT_NEAR(posed.m_sphereOffset.y, 1.0f, 1e-4f); // from shape 0
    EXPECT_NEAR(posed.m_sphereRadius, std::sqrt(12.0f) / 2.0f, 1e-4f);
}

TEST(CollisionWorldTest, SceneryPushesAlongItsWorldNormalAndTheKnockbackDecaysOnceFree) {
    CollisionWorld world;
    BoxObject wall(5.0f), turned(5.0f), mover(1.0f);
    turned.m_position = V(0, 0, 100);
    turned.m_heading = 90.0f; // its +x face looks along world -z
    ASSERT_TRUE(world.addObject(&wall, COLLISION_STATIC));
    ASSERT_TRUE(world.addObject(&turned, COLLISION_STATIC));
    ASSERT_TRUE(world.addObject(&mover, COLLISION_MOVING));
    mover.m_position = V(5.9f, 2.0f, 0);      // 0.1 into the wall's +x face
    for (int frame = 0; frame < 3; ++frame) { // resting against it: the same push each frame
        world.testObjects();
        EXPECT_TRUE(world.m_collided);
        EXPECT_NEAR(mover.m_knockback.x, 1.0f, 1e-4f) << "frame " << frame;
    }
    mover.m_position = V(0, 9.9f, 0); // standing on the top face: up by 2.5
    world.testObjects();
    EXPECT_NEAR(mover.m_knockback.y, 2.5f, 1e-4f);
    mover.m_position = V(0, 2.0f, 94.1f);
    world.testObjects();
    EXPECT_NEAR(mover.m_knockback.z, -1.0f, 1e-4f);

    // Once free the knockback decays.
    mover.m_position = V(5.9f, 2.0f, 0);
    world.testObjects();
    const CollisionShape& wallShape = *world.staticEntry(0).m_shapes[0];
    ASSERT_TRUE(wallShape.hit());
    // Beyond the spheres the shape test does not run: the old contact stays recorded.
    mover.m_position = V(60, 2.0f, 0);
    mover.m_knockback = V(2.0f, 0, 0);
    world.testObjects();
    EXPECT_TRUE(wallShape.hit());
    EXPECT_NEAR(mover.m_knockback.x, 1.8f, 1e-5f); // a tenth per frame
    world.testObjects();
    EXPECT_NEAR(mover.m_knockback.x, 1.62f, 1e-5f);
    for (int frame = 0; frame < 100 && !mover.m_knockback.isZero(); ++frame)
        world.testObjects();
    EXPECT_TRUE(mover.m_knockback.isZero()); // snapped once below 0.7

    // A mover that spends the world's share itself is left alone, and told when it may.
    mover.m_knockback = V(2.0f, 0, 0);
    EXPECT_TRUE(world.spendsKnockback(mover));
    world.testObjects();
    EXPECT_FLOAT_EQ(mover.m_knockback.x, 2.0f);
    mover.m_position = V(5.9f, 2.0f, 0);
    world.testObjects();
    EXPECT_FALSE(world.spendsKnockback(mover)) << "held by the wall";
    EXPECT_FALSE(world.spendsKnockback(wall)) << "not a mover";
}

// A head under a roof's eaves must not lift the hero onto the roof: a surface to stand on
// lifts only what meets it near the feet.
TEST(CollisionWorldTest, OnlyTheFeetClimbOntoWhatTheyMeet) {
    CollisionWorld world;
    BoxObject ledge(5.0f), tall(3.0f); // the ledge's top at y 10; the mover 6 tall
    ASSERT_TRUE(world.addObject(&ledge, COLLISION_STATIC));
    ASSERT_TRUE(world.addObject(&tall, COLLISION_MOVING));
    tall.m_position = V(0, 6.5f, 0); // the top met 3.5 above the feet: a step up
    world.testObjects();
    ASSERT_TRUE(world.m_collided);
    EXPECT_NEAR(tall.m_knockback.y, 2.5f, 1e-4f);
    tall.m_knockback = V(0, 0, 0);
    tall.m_position = V(0, 5.0f, 0); // met 5 above the feet: his head, not a step
    world.testObjects();
    ASSERT_TRUE(world.m_collided);
    EXPECT_LE(tall.m_knockback.y, 0.0f) << "lifted by what his head touched";
}

TEST(CollisionWorldTest, BodiesArePushedApartAndWeaponsDealHits) {
    QRVDataLayer layer;
    QRVDataLayer* saved = g_dataLayer;
    g_dataLayer = &layer;
    CollisionWorld world;
    BoxObject hero(1.0f, HERO_WEAPON_BONE), enemy(1.0f, 7);
    hero.m_id = PLAYER_ID;
    hero.m_direction = V(0, 0, 1);
    hero.m_velocity = V(3, 4, 5);
    enemy.m_id = 3;
    enemy.m_direction = V(-1, 0, 0);
    enemy.m_position = V(1.5f, 0, 0);
    ASSERT_TRUE(world.addObject(&hero, COLLISION_MOVING));
    ASSERT_TRUE(world.addObject(&enemy, COLLISION_MOVING));

    world.testObjects(); // neither attacking: the first is pushed away from the second
    EXPECT_NEAR(hero.m_knockback.x, -1.0f / 1.5f, 1e-5f);
    EXPECT_TRUE(hero.m_velocity.isZero());

    hero.m_currentAnimation = 15; // bat swing: the enemy takes 20 on its struck part
    world.testObjects();
    ASSERT_EQ(enemy.m_hits.size(), 1u);
    EXPECT_EQ(enemy.m_hits[0].attackType, 7);
    EXPECT_EQ(enemy.m_hits[0].weaponKind, 0);
    EXPECT_EQ(enemy.m_hits[0].damage, 20);
    EXPECT_FLOAT_EQ(enemy.m_hits[0].direction.z, 1.0f);

    hero.m_currentAnimation = 0; // the enemy attacking with its hand: the hero takes 10
    enemy.m_currentAnimation = 6;
    world.testObjects();
    ASSERT_EQ(hero.m_hits.size(), 1u);
    EXPECT_EQ(hero.m_hits[0].attackType, HERO_WEAPON_BONE);
    EXPECT_EQ(hero.m_hits[0].damage, 10);
    EXPECT_FLOAT_EQ(hero.m_hits[0].direction.x, -1.0f);

    enemy.m_active = false; // a dead enemy no longer blocks or strikes
    hero.m_velocity = V(1, 0, 0);
    world.testObjects();
    EXPECT_FALSE(hero.m_velocity.isZero());
    EXPECT_EQ(hero.m_hits.size(), 1u);
    g_dataLayer = saved;
}

// A shot that has flown from `from` to `to` in its last step.
std::unique_ptr<HeroShot> shot(CollisionWorld& world, const Vector& from, const Vector& to,
                               int32_t kind = PROJECTILE_BLUE, SceneObject* owner = nullptr) {
    auto p = std::make_unique<HeroShot>(from, to - from, 100.0f, 1000.0f);
    p->m_position = to;
    p->m_kind = kind;
    p->m_damage = 7;
    p->m_owner = owner;
    p->launch();
    world.addProjectile(p.get());
    return p;
}

TEST(CollisionProjectileTest, SceneryStopsAShotWhosePathMeetsItsSurface) {
    CollisionWorld world;
    BoxObject wall(5.0f);
    ASSERT_TRUE(world.addObject(&wall, COLLISION_STATIC));
    auto over = shot(world, V(-10, 12, 0), V(-4, 12, 0));
    auto through = shot(world, V(-10, 1, 0), V(-4, 1, 0));
    world.testProjectiles();
    EXPECT_TRUE(over->m_flying);
    EXPECT_FALSE(through->m_flying);
    EXPECT_TRUE(wall.m_hits.empty()); // scenery takes no hits
}

TEST(CollisionProjectileTest, BodiesTakeTheHitWithTheStruckPartAndTheGunsKind) {
    CollisionWorld world;
    BoxObject shooter, target(1.0f, 6);
    shooter.m_position = V(-50, 0, 0);
    ASSERT_TRUE(world.addObject(&shooter, COLLISION_MOVING));
    ASSERT_TRUE(world.addObject(&target, COLLISION_MOVING));
    const int32_t kinds[4][3] = {{PROJECTILE_RED, 2, 3},
                                 {PROJECTILE_BLUE, 3, 1},
                                 {PROJECTILE_GREEN, 1, 1},
                                 {PROJECTILE_HOSTILE, 1, 1}};
    for (const auto& k : kinds) {
        target.m_hits.clear();
        // The step ends short of the surface; twice its length finds the part.
        auto p = shot(world, V(-2.0f, 1, 0), V(-1.2f, 1, 0), k[0], &shooter);
        world.testProjectiles();
        world.removeProjectile(p.get());
        ASSERT_EQ(target.m_hits.size(), 1u) << "kind " << k[0];
        EXPECT_EQ(target.m_hits[0].attackType, 6);
        EXPECT_EQ(target.m_hits[0].weaponKind, k[1]);
        EXPECT_EQ(target.m_hits[0].damage, 7);
        EXPECT_NEAR(target.m_hits[0].direction.x, static_cast<float>(k[2]), 1e-5f);
        EXPECT_FALSE(p->m_flying);
    }
    EXPECT_TRUE(shooter.m_hits.empty());
}

TEST(CollisionProjectileTest, HitsCountOncePerShotAndNeedNoStruckTriangle) {
    CollisionWorld world;
    BoxObject body(2.0f, 5);
    ASSERT_TRUE(world.addObject(&body, COLLISION_MOVING));
    // Not moved since the last step: no segment, but inside the sphere: attack type 0.
    auto still = shot(world, V(0, 2, 0), V(0, 2, 0), PROJECTILE_GREEN);
    world.testProjectiles();
    world.testProjectiles(); // stopped, waiting for the list: no second hit
    ASSERT_EQ(body.m_hits.size(), 1u);
    EXPECT_EQ(body.m_hits[0].attackType, 0);
    world.removeProjectile(still.get());
    // A fast shot whose step starts and ends far outside the sphere still hits.
    auto fast = shot(world, V(-40, 1, 0), V(40, 1, 0));
    world.testProjectiles();
    ASSERT_EQ(body.m_hits.size(), 2u);
    EXPECT_EQ(body.m_hits[1].attackType, 5);
    world.removeProjectile(fast.get());
    auto own = shot(world, V(-40, 1, 0), V(40, 1, 0), PROJECTILE_BLUE, &body);
    world.testProjectiles(); // its own shots pass it
    EXPECT_TRUE(own->m_flying);
    world.removeProjectile(own.get());
    body.m_active = false; // inactive bodies are not hit
    auto late = shot(world, V(-40, 1, 0), V(40, 1, 0));
    world.testProjectiles();
    EXPECT_TRUE(late->m_flying);
}

// A shot that stops itself in its update (its life spent, or the land above it) has still
// flown its last step: the world tests that step once before the list removes the shot.
TEST(CollisionProjectileTest, AShotsLastStepStillHitsWhenItsLifeEndsOrItGoesUnderground) {
    CollisionWorld world;
    BoxObject body(2.0f, 5); // x and z within 2, y 0 to 4
    ASSERT_TRUE(world.addObject(&body, COLLISION_MOVING));
    struct Case {
        const char* name;
        Vector from, direction;
        float lifetimeMs;
    } cases[] = {
        {"life spent", V(-10, 1, 0), V(1, 0, 0), 15.0f},             // 20 units in its last 20 ms
        {"into the ground", V(-10, 3, 0), V(1, -0.25f, 0), 1000.0f}, // ends at y -2
    };
    for (const Case& c : cases) {
        body.m_hits.clear();
        HeroShot flying(c.from, c.direction, 1000.0f, c.lifetimeMs);
        HandTimer* clock = useHandTimer(flying.m_timer);
        flying.m_kind = PROJECTILE_GREEN;
        flying.launch();
        ASSERT_TRUE(world.addProjectile(&flying));
        clock->m_elapsed = 20.0;
        flying.update();
        ASSERT_FALSE(flying.m_flying) << c.name;
        world.testProjectiles();
        EXPECT_EQ(body.m_hits.size(), 1u) << c.name;
        world.testProjectiles(); // tested once: no second hit while it waits for the list
        EXPECT_EQ(body.m_hits.size(), 1u) << c.name;
        world.removeProjectile(&flying);
    }
}

// A crate between a step's end and a large body behind it: the step ends inside the body's
// sphere, and twice its length reaches the body, but the crate would stop the shot first.
TEST(CollisionProjectileTest, SceneryOnTheWayShieldsABodyBehindIt) {
    CollisionWorld world;
    BoxObject crate(1.0f), giant(10.0f, 5); // the crate x -1 to 1, 2 high; the giant's face x 1.5
    giant.m_position = V(11.5f, 0, 0);
    ASSERT_TRUE(world.addObject(&crate, COLLISION_STATIC));
    ASSERT_TRUE(world.addObject(&giant, COLLISION_MOVING));
    auto straight = shot(world, V(-10, 1.5f, 0), V(-1.2f, 1.5f, 0)); // at the crate
    world.testProjectiles();
    EXPECT_TRUE(straight->m_flying) << "the crate meets it on its next step";
    world.removeProjectile(straight.get());
    auto along = shot(world, V(-1.2f, 1.5f, -10), V(-1.2f, 1.5f, 0)); // past the crate's face
    world.testProjectiles();
    EXPECT_TRUE(along->m_flying);
    world.removeProjectile(along.get());
    EXPECT_TRUE(giant.m_hits.empty());

    crate.m_active = false; // nothing between: the same step hits
    auto open = shot(world, V(-10, 1.5f, 0), V(-1.2f, 1.5f, 0));
    world.testProjectiles();
    EXPECT_FALSE(open->m_flying);
    EXPECT_EQ(giant.m_hits.size(), 1u);
}

} // namespace
