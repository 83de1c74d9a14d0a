// The follow camera's ease, the free camera's moves and pitch limit, and the view
// frustum's planes and its two per-object tests.
#include "objects/modelobject.h"
#include "platform/timer.h"
#include "support/glcontext.h"
#include "world/camera.h"
#include "world/viewfrustum.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include "support/handtimer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

HandTimer* useHandTimer(Camera& camera) {
    auto timer = std::make_unique<HandTimer>();
    HandTimer* raw = timer.get();
    camera.m_timer = std::move(timer);
    return raw;
}

class Target : public SceneObject {
public:
    void draw() override {}
};

void expectNear(const Vector& a, const Vector& b, float tolerance = 1e-3f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

} // namespace

TEST(CameraFollow, EasesByOneOverTheDivisorEachFrame) {
    Camera camera;
    Target hero;
    hero.setPosition(Vector(100.0f, 50.0f, 200.0f));
    hero.setDirection(Vector(1.0f, 0.0f, 0.0f));
    camera.setTarget(&hero);
    EXPECT_TRUE(camera.isFollowing());
    camera.setEaseDivisor(30.0f);
    // Desired eye: behind the hero along its facing, 15.5 above.
    Vector desired(100.0f - 40.0f, 50.0f + 15.5f, 200.0f);
    Vector start = camera.getPosition();
    ASSERT_TRUE(camera.step());
    expectNear(camera.getPosition(), start + (desired - start) / 30.0f);
    camera.setEaseDivisor(5.0f);
    Vector second = camera.getPosition();
    camera.step();
    expectNear(camera.getPosition(), second + (desired - second) / 5.0f);
    // The look-at point eases toward 15 above the hero the same way.
    Vector look = camera.getLookAt();
    camera.step();
    Vector desiredLook(100.0f, 65.0f, 200.0f);
    expectNear(camera.getLookAt(), look + (desiredLook - look) / 5.0f);
}

TEST(CameraFollow, SnapsWithinPointSevenAndStaysButNeedsATarget) {
    Camera camera;
    Target hero;
    hero.setPosition(Vector(0.0f, 0.0f, 0.0f));
    hero.setDirection(Vector(0.0f, 0.0f, 1.0f));
    Vector desired(0.0f, 15.5f, -40.0f);
    camera.setPosition(desired + Vector(0.5f, 0.0f, 0.3f));
    camera.setTarget(&hero);
    camera.step();
    expectNear(camera.getPosition(), desired, 0.0f);
    camera.step();
    expectNear(camera.getPosition(), desired, 0.0f);

    Camera lost;
    lost.setTarget(nullptr);
    EXPECT_FALSE(lost.isFollowing());
    lost.setFollowing(true);
    EXPECT_FALSE(lost.step()) << "following without a target sets nothing";
    expectNear(lost.getPosition(), Vector(1000.0f, 1000.0f, 1000.0f));
}

TEST(CameraFree, MovesByElapsedMillisecondsOverTheDivisor) {
    Camera camera;
    HandTimer* timer = useHandTimer(camera);
    camera.setPosition(Vector(0.0f, 0.0f, 0.0f));
    camera.setDirection(Vector(0.0f, 0.0f, -1.0f));
    timer->m_elapsed = 50.0; // 50 ms / 5 = 10 units
    camera.moveForward();
    expectNear(camera.getPosition(), Vector(0.0f, 0.0f, -10.0f));
    EXPECT_EQ(timer->m_elapsed, 0.0) << "a move restarts the timer";
    timer->m_elapsed = 25.0;
    camera.strafeRight(); // looking down -z, right is +x
    expectNear(camera.getPosition(), Vector(5.0f, 0.0f, -10.0f));
    timer->m_elapsed = 25.0;
    camera.strafeLeft();
    timer->m_elapsed = 50.0;
    camera.moveBackward();
    expectNear(camera.getPosition(), Vector(0.0f, 0.0f, 0.0f));
}

TEST(CameraFree, FreeMovesAndTurnsAreIgnoredWhileFollowing) {
    Camera camera;
    HandTimer* timer = useHandTimer(camera);
    Target hero;
    camera.setTarget(&hero);
    Vector before = camera.getPosition();
    timer->m_elapsed = 100.0;
    camera.moveForward();
    camera.turn(0.3f, 0.3f);
    expectNear(camera.getPosition(), before);
    expectNear(camera.getDirection(), Vector(0.0f, -1.0f, -1.0f));
}

TEST(CameraFree, PitchStopsNearStraightUpAndDown) {
    Camera camera;
    float h = std::sqrt(1.0f - 0.9f * 0.9f);
    camera.setDirection(Vector(h, 0.9f, 0.0f));
    camera.turn(0.1f, 0.0f);
    expectNear(camera.getDirection(), Vector(h, 0.9f, 0.0f), 1e-5f);
    camera.turn(-0.1f, 0.0f);
    EXPECT_LT(camera.getDirection().y, 0.9f - 0.01f) << "pitching down is allowed";

    camera.setDirection(Vector(h, -0.9f, 0.0f));
    camera.turn(-0.1f, 0.0f);
    expectNear(camera.getDirection(), Vector(h, -0.9f, 0.0f), 1e-5f);

    camera.setDirection(Vector(1.0f, 0.0f, 0.0f));
    camera.turn(0.0f, 0.0f);
    expectNear(camera.getDirection(), Vector(1.0f, 0.0f, 0.0f));
    camera.turn(0.0f, float(M_PI / 2)); // yaw a quarter turn about +y: +x to -z
    expectNear(camera.getDirection(), Vector(0.0f, 0.0f, -1.0f));
}

namespace {

// An orthographic view of the box x, y in [-10, 10], z in [-1, -100] (camera at the
// origin looking down -z): each plane's distance is easy to state.
ViewFrustum boxFrustum() {
    float projection[16] = {0};
    // glOrtho(-10, 10, -10, 10, 1, 100)
    projection[0] = 2.0f / 20.0f;
    projection[5] = 2.0f / 20.0f;
    projection[10] = -2.0f / 99.0f;
    projection[14] = -101.0f / 99.0f;
    projection[15] = 1.0f;
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ViewFrustum frustum;
    frustum.setFromMatrices(projection, identity);
    return frustum;
}

bool visibleAt(ViewFrustum& f, ModelObject& object, const Vector& position) {
    object.setPosition(position);
    f.testVisible(object);
    return object.m_visible;
}

} // namespace

TEST(ViewFrustumPlanes, PlanesOfAnOrthographicBox) {
    ViewFrustum f = boxFrustum();
    // Right plane: 10 - x >= 0 inside, normalised.
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_RIGHT][0], -1.0f, 1e-5f);
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_RIGHT][3], 10.0f, 1e-4f);
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_LEFT][0], 1.0f, 1e-5f);
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_BOTTOM][1], 1.0f, 1e-5f);
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_TOP][1], -1.0f, 1e-5f);
    // Near plane z <= -1: -z - 1 >= 0; far z >= -100: z + 100 >= 0.
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_NEAR][2], -1.0f, 1e-5f);
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_NEAR][3], -1.0f, 1e-4f);
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_FAR][2], 1.0f, 1e-5f);
    EXPECT_NEAR(f.m_planes[ViewFrustum::PLANE_FAR][3], 100.0f, 1e-3f);
}

TEST(ViewFrustumPlanes, SphereTouchingAPlaneFromOutsideIsInvisible) {
    ViewFrustum f = boxFrustum();
    // Use planes whose values are exact, so that the boundary is tested exactly.
    float right[4] = {-1.0f, 0.0f, 0.0f, 10.0f};
    std::copy(right, right + 4, f.m_planes[ViewFrustum::PLANE_RIGHT]);
    ModelObject object;
    object.m_sphereRadius = 2.0f;
    EXPECT_FALSE(visibleAt(f, object, Vector(12.0f, 0.0f, -50.0f))) << "distance -2 = -r";
    EXPECT_TRUE(visibleAt(f, object, Vector(11.5f, 0.0f, -50.0f))) << "still reaches inside";
    EXPECT_TRUE(visibleAt(f, object, Vector(0.0f, 0.0f, -50.0f)));
    // The centre offset moves the sphere.
    object.m_sphereOffset = Vector(0.0f, 0.0f, -60.0f);
    EXPECT_FALSE(visibleAt(f, object, Vector(0.0f, 0.0f, -50.0f))) << "beyond the far plane";
    object.m_sphereOffset = Vector(0.0f, 0.0f, 0.0f);
    EXPECT_FALSE(visibleAt(f, object, Vector(0.0f, -13.0f, -50.0f))) << "below the bottom plane";
}

TEST(ViewFrustumShadows, RangeIsMeasuredFromAPointAheadOfTheHero) {
    ViewFrustum f;
    Target hero;
    hero.setPosition(Vector(100.0f, 0.0f, 100.0f));
    hero.setDirection(Vector(1.0f, 0.0f, 0.0f));
    ModelObject object;
    auto castsAt = [&](float x) {
        object.setPosition(Vector(x, 0.0f, 100.0f));
        f.testShadowRange(object, hero);
        return object.m_castsShadow;
    };
    EXPECT_TRUE(castsAt(100.0f + 275.0f + 400.0f));
    EXPECT_FALSE(castsAt(100.0f + 275.0f + 400.1f));
    EXPECT_FALSE(castsAt(100.0f - 130.0f)) << "behind the hero: 275 + 130 from the point ahead";
}

TEST(ViewFrustumPlanes, ExtractPlanesReadsTheGLMatrices) {
    TestGLContext gl;
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 800.0 / 600.0, 1.0, 5000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    Camera camera;
    camera.setPosition(Vector(0.0f, 0.0f, 0.0f));
    camera.setDirection(Vector(0.0f, 0.0f, -1.0f));
    camera.apply();
    ViewFrustum f;
    f.extractPlanes();
    ModelObject object;
    object.m_sphereRadius = 1.0f;
    EXPECT_TRUE(visibleAt(f, object, Vector(0.0f, 0.0f, -100.0f)));
    EXPECT_FALSE(visibleAt(f, object, Vector(0.0f, 0.0f, 100.0f))) << "behind the eye";
    EXPECT_FALSE(visibleAt(f, object, Vector(0.0f, 0.0f, -6000.0f))) << "beyond the far plane";
    EXPECT_FALSE(visibleAt(f, object, Vector(-200.0f, 0.0f, -100.0f))) << "far to the left";
}
