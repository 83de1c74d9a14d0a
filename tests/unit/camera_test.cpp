// The follow camera's ease and its eye kept above the land and in front of scenery, the free
// camera's moves and pitch limit, and the view frustum's planes and its two per-object tests.
#include "objects/modelobject.h"
#include "objects/player.h"
#include "platform/timer.h"
#include "support/glcontext.h"
#include "world/camera.h"
#include "world/collisionworld.h"
#include "world/terrain.h"
#include "world/viewfrustum.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include "support/handtimer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

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

namespace {

// The land as the terrain draws it: flat triangles between the grid samples, each cell cut
// along its diagonal from its lowest to its highest corner in x and z.
float drawnHeight(const Terrain& t, float x, float z) {
    const int step = Terrain::GRID_STEP;
    const int x0 = int(std::floor(x / step)) * step, z0 = int(std::floor(z / step)) * step;
    const float fx = (x - x0) / step, fz = (z - z0) / step;
    const float h00 = float(t.height(x0, z0)), h10 = float(t.height(x0 + step, z0));
    const float h01 = float(t.height(x0, z0 + step)), h11 = float(t.height(x0 + step, z0 + step));
    if (fx >= fz)
        return h00 + fx * (h10 - h00) + fz * (h11 - h10);
    return h00 + fz * (h01 - h00) + fx * (h11 - h01);
}

// Rolling hills with a steep ridge, a deep valley and a pit, about as steep as the game's
// own land gets (a rise of 2.5 a unit at most).
void shapeLand(Terrain& t) {
    for (int x = 0; x < 1024; ++x)
        for (int z = 0; z < 1024; ++z) {
            const auto bell = [](float u, float width) {
                return std::exp(-(u * u) / (width * width));
            };
            float h = 70.0f + 40.0f * std::sin(x / 70.0f) * std::cos(z / 55.0f);
            h += 120.0f * bell(x - 400.0f, 40.0f);                        // the ridge
            h -= 60.0f * bell(z - 600.0f, 25.0f);                         // the valley
            h -= 60.0f * bell(std::hypot(x - 700.0f, z - 300.0f), 30.0f); // the pit
            t.setHeight(x, z, uint8_t(std::min(255.0f, std::max(0.0f, h))));
        }
}

struct TerrainInUse {
    explicit TerrainInUse(Terrain* t) : saved(g_terrain) { g_terrain = t; }
    ~TerrainInUse() { g_terrain = saved; }
    Terrain* saved;
};

// How far the hero's facing tips up or down at most.
const float MAX_UP = MAX_FACING_Y;

// Puts the hero at each spot (standing on the land), turns him every way and tips him to
// each pitch; the camera eases on from wherever it was, so its way there is checked too.
// Returns how many frames were checked.
int sweepTheCamera(const Terrain& land, const std::vector<std::pair<float, float>>& spots,
                   int frames) {
    Camera camera;
    Target hero;
    camera.setTarget(&hero);
    camera.setEaseDivisor(5.0f);
    int checked = 0;
    for (const auto& spot : spots) {
        const float x = spot.first, z = spot.second;
        hero.setPosition(Vector(x, heightAt(x, z), z));
        for (int heading = 0; heading < 360; heading += 45)
            for (float up : {-MAX_UP, -0.5f, 0.0f, 0.5f, MAX_UP}) {
                const float a = float(heading) * float(M_PI) / 180.0f;
                const float across = std::sqrt(1.0f - up * up);
                const Vector facing(std::sin(a) * across, up, std::cos(a) * across);
                hero.setDirection(facing);
                const std::string where = "hero at " + std::to_string(x) + ", " +
                                          std::to_string(z) + " heading " +
                                          std::to_string(heading) + " up " + std::to_string(up);
                for (int f = 0; f < frames; ++f, ++checked) {
                    camera.step();
                    const Vector eye = camera.getPosition(), look = camera.getLookAt();
                    // A few units above the land, beside it too (the near plane).
                    for (float dx : {-1.0f, 0.0f, 1.0f})
                        for (float dz : {-1.0f, 0.0f, 1.0f}) {
                            const float ground = drawnHeight(land, eye.x + dx, eye.z + dz);
                            EXPECT_GE(eye.y, ground + 2.0f) << where;
                            if (eye.y < ground + 2.0f)
                                return checked;
                        }
                    // Nothing of the land between the eye and what it looks at, nor
                    // between the eye and the hero's head.
                    const Vector head = hero.getPosition() + Vector(0.0f, 15.0f, 0.0f);
                    for (const Vector& seen : {look, head}) {
                        const Vector span = seen - eye;
                        for (float t = 0.0f; t <= 1.0f; t += 0.01f) {
                            const Vector p = eye + span * t;
                            EXPECT_GT(p.y, drawnHeight(land, p.x, p.z))
                                << where << " frame " << f << " t " << t;
                            if (p.y <= drawnHeight(land, p.x, p.z))
                                return checked;
                        }
                    }
                }
                // Settled: it looks at the hero, from behind him, never straight down.
                const Vector eye = camera.getPosition(), look = camera.getLookAt();
                Vector view = look - eye;
                EXPECT_GT(view.length(), 5.0f) << where;
                view.normalize();
                EXPECT_LT(std::fabs(view.y), 0.95f) << where;
                EXPECT_GT(view.x * facing.x + view.z * facing.z, 0.0f)
                    << "swung round over the hero: " << where;
                EXPECT_NEAR(look.x, x, 0.01f) << where;
                EXPECT_NEAR(look.z, z, 0.01f) << where;
                EXPECT_GE(look.y, hero.getPosition().y + 15.0f - 0.01f) << where;
            }
    }
    return checked;
}

} // namespace

// The eye once went under the land when the hero looked up (the characters floated in
// the sky; at the boss, the view was black) and over his head when he looked down; behind a
// hill it saw the point it eased toward but not the hero's head.
TEST(CameraFollow, TheEyeStaysAboveTheLandAndSeesTheHeroOverHillsAndValleys) {
    auto land = std::make_unique<Terrain>();
    shapeLand(*land);
    // On slopes, on and beside the ridge, in and beside the valley and the pit.
    std::vector<std::pair<float, float>> spots;
    for (float x : {150.0f, 330.0f, 380.0f, 400.0f, 430.0f, 560.0f, 700.0f, 850.0f})
        for (float z : {150.0f, 300.0f, 450.0f, 580.0f, 600.0f, 618.0f, 800.0f})
            spots.emplace_back(x, z);
    TerrainInUse use(land.get());
    EXPECT_EQ(sweepTheCamera(*land, spots, 40), int(spots.size()) * 8 * 5 * 40);
}

namespace {

// On a gentle slope, a closed hut 16 wide and 16 tall whose near wall is 17 behind the hero
// at (150, 150), entered as scenery.
struct HutBehind {
    Terrain land;
    TerrainInUse use{&land};
    CollisionWorld world;
    ModelObject hut;
    CollisionWorld* saved = g_collisionWorld;
    HutBehind() {
        for (int x = 0; x < 300; ++x)
            for (int z = 0; z < 300; ++z)
                land.setHeight(x, z, uint8_t(40 + x / 10));
        hut.setPosition(Vector(150.0f, 50.0f, 125.0f));
        const float h = 8.0f;
        const Vector c[8] = {{-h, 0, -h},     {h, 0, -h},     {h, 0, h},     {-h, 0, h},
                             {-h, 3 * h, -h}, {h, 3 * h, -h}, {h, 3 * h, h}, {-h, 3 * h, h}};
        const int faces[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                 {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
        CollisionEntry& entry = world.m_static[0];
        entry.m_object = &hut;
        entry.m_shapes[0] = std::make_unique<CollisionShape>();
        for (const auto& f : faces) {
            entry.m_shapes[0]->addTriangle(c[f[0]], c[f[1]], c[f[2]], -1);
            entry.m_shapes[0]->addTriangle(c[f[0]], c[f[2]], c[f[3]], -1);
        }
        entry.m_shapes[0]->finish();
        entry.m_shapes[0]->setTransform(placementTransform(hut.m_position, 0.0f));
        entry.m_shapeCount = 1;
        world.m_staticCount = 1;
        g_collisionWorld = &world;
    }
    ~HutBehind() { g_collisionWorld = saved; }
};

} // namespace

// Behind a hut the eye once stood in its roof, the hero lost from view. A hut coming between
// them brings the eye in front of it at once; once gone, the eye eases back out to where it
// always was. With his back to the wall, or his head in it, the eye stays off him, and where
// there is room it rises over the hut rather than stand in it.
TEST(CameraFollow, AHutBehindTheHeroBringsTheEyeInFrontOfItAndItEasesBackOut) {
    HutBehind scene;
    scene.hut.m_active = false;
    Camera camera;
    Target hero;
    hero.setPosition(Vector(150.0f, float(scene.land.height(150, 150)), 150.0f));
    hero.setDirection(Vector(0.0f, 0.0f, 1.0f));
    camera.setTarget(&hero);
    const Vector head = hero.getPosition() + Vector(0.0f, 15.0f, 0.0f);
    const Vector wanted = hero.getPosition() + Vector(0.0f, 15.5f, -40.0f);
    for (int f = 0; f < 200; ++f)
        camera.step();
    expectNear(camera.getPosition(), wanted);
    expectNear(camera.getLookAt(), head);

    scene.hut.m_active = true;
    for (int f = 0; f < 3; ++f) {
        camera.step();
        const Vector eye = camera.getPosition();
        EXPECT_GT(eye.z, 133.0f) << "in front of the near wall, frame " << f;
        EXPECT_LT(eye.z, 138.0f) << "no nearer than it must, frame " << f;
        EXPECT_FLOAT_EQ(scene.world.sceneryReach(eye, head), (head - eye).length())
            << "the head is in view, frame " << f;
    }

    scene.hut.m_active = false;
    const Vector before = camera.getPosition();
    camera.step();
    expectNear(camera.getPosition(), before + (wanted - before) / 5.0f);
    for (int f = 0; f < 100; ++f)
        camera.step();
    expectNear(camera.getPosition(), wanted);

    scene.hut.m_active = true;
    for (float z : {135.0f, 133.1f, 133.0f, 132.0f}) {
        hero.setPosition(Vector(150.0f, 55.0f, z));
        for (int f = 0; f < 60; ++f)
            camera.step();
        const Vector eye = camera.getPosition(), look = camera.getLookAt();
        ASSERT_TRUE(std::isfinite(eye.x) && std::isfinite(eye.y) && std::isfinite(eye.z)) << z;
        EXPECT_GE((eye - look).length(), 5.9f) << "hero at z " << z;
        EXPECT_LT(eye.z, z) << "still behind him, hero at z " << z;
        if (z > 134.0f) {
            EXPECT_FALSE(std::fabs(eye.x - 150.0f) < 8.0f && eye.y < 74.0f && eye.z > 117.0f)
                << "over the hut, not in it: " << eye.x << ", " << eye.y << ", " << eye.z;
        }
    }
}

// In a fight an enemy at the hero's back, between him and the eye, filled the view. The eye
// rises to look over a figure standing on or near the line of sight, by no more than it must,
// the rise growing and fading smoothly as the figure moves, and the follow eases the eye
// there. Figures ahead of the hero, well aside or behind the eye change nothing.
TEST(CameraFollow, TheEyeRisesOverAFigureBetweenItAndTheHero) {
    const Vector head(0.0f, 65.0f, 0.0f), eye(0.0f, 65.5f, -40.0f);
    const Vector feet(0.0f, 50.0f, -30.0f);
    const float top = 69.0f;
    const float rise = Camera::riseOverFigure(eye, head, feet, top);
    EXPECT_GT(rise, 0.0f);
    // The raised line of sight passes just over the figure's top where it stands.
    const float over = head.y + (eye.y + rise - head.y) * 30.0f / 40.0f;
    EXPECT_GT(over, top);
    EXPECT_LT(over, top + 3.0f);
    EXPECT_EQ(Camera::riseOverFigure(eye, head, Vector(0.0f, 50.0f, 10.0f), top), 0.0f)
        << "ahead of the hero";
    EXPECT_EQ(Camera::riseOverFigure(eye, head, Vector(20.0f, 50.0f, -30.0f), top), 0.0f)
        << "well aside";
    EXPECT_EQ(Camera::riseOverFigure(eye, head, Vector(0.0f, 50.0f, -50.0f), top), 0.0f)
        << "behind the eye";
    EXPECT_EQ(Camera::riseOverFigure(eye, head, feet, 60.0f), 0.0f) << "under the sight line";
    EXPECT_FLOAT_EQ(Camera::riseOverFigure(eye, head, Vector(0.0f, 50.0f, -0.5f), top),
                    Camera::FIGURE_RISE_MOST)
        << "at his back";
    // A figure walking across the line, or along it up to the eye and past: no jump.
    float previous = Camera::riseOverFigure(eye, head, Vector(-15.0f, 50.0f, -20.0f), top);
    for (float x = -15.0f; x <= 15.0f; x += 0.05f) {
        const float r = Camera::riseOverFigure(eye, head, Vector(x, 50.0f, -20.0f), top);
        EXPECT_LT(std::fabs(r - previous), 0.2f) << "across at x " << x;
        previous = r;
    }
    previous = Camera::riseOverFigure(eye, head, Vector(0.0f, 50.0f, -3.0f), top);
    for (float z = -3.0f; z >= -50.0f; z -= 0.05f) {
        const float r = Camera::riseOverFigure(eye, head, Vector(0.0f, 50.0f, z), top);
        EXPECT_LT(std::fabs(r - previous), 0.5f) << "along at z " << z;
        previous = r;
    }

    // The follow: a villager steps onto the line behind the hero; the eye eases up over him.
    CollisionWorld world;
    CollisionWorld* saved = g_collisionWorld;
    g_collisionWorld = &world;
    ModelObject villager;
    villager.setPosition(Vector(0.0f, 50.0f, -200.0f));
    villager.m_sphereOffset = Vector(0.0f, 9.0f, 0.0f);
    villager.m_sphereRadius = 10.0f;
    world.m_moving[0].m_object = &villager;
    world.m_movingCount = 1;
    Camera camera;
    Target hero;
    hero.setPosition(Vector(0.0f, 50.0f, 0.0f));
    hero.setDirection(Vector(0.0f, 0.0f, 1.0f));
    camera.setTarget(&hero);
    for (int f = 0; f < 200; ++f)
        camera.step();
    expectNear(camera.getPosition(), eye);
    villager.setPosition(feet);
    Vector last = camera.getPosition();
    for (int f = 0; f < 100; ++f) {
        camera.step();
        EXPECT_LE((camera.getPosition() - last).length(), Camera::FIGURE_RISE_MOST / 5.0f + 0.01f)
            << "frame " << f;
        last = camera.getPosition();
    }
    const Vector seen = camera.getPosition();
    EXPECT_GT(head.y + (seen.y - head.y) * 30.0f / (head.z - seen.z), 69.0f)
        << "the view still runs into the villager";
    EXPECT_LT(seen.y, eye.y + Camera::FIGURE_RISE_MOST + 0.01f);
    g_collisionWorld = saved;
}

// Stepping aside with A or D moves the hero across his facing and the camera after him:
// the view keeps its heading at any frame rate (a player once took the trailing eye for a
// turn).
TEST(CameraFollow, StrafingDoesNotTurnTheView) {
    for (double frameMs : {16.7, 200.0}) {
        SCOPED_TRACE(frameMs);
        Camera camera;
        Player hero;
        useSteadyTimer(hero.m_timer, frameMs);
        hero.setPosition(Vector(500.0f, 0.0f, 500.0f));
        const Vector facing = Vector(0.6f, 0.0f, 0.8f);
        hero.setDirection(facing);
        camera.setTarget(&hero);
        for (int f = 0; f < 200; ++f)
            camera.step();
        for (int f = 0; f < 60; ++f) {
            hero.move(0.0f, f < 40 ? 1.0f : -1.0f);
            hero.update();
            camera.step();
            Vector view = camera.getLookAt() - camera.getPosition();
            view.y = 0.0f;
            view.normalize();
            ASSERT_NEAR(view.x * facing.z - view.z * facing.x, 0.0f, 1e-3f) << "frame " << f;
            ASSERT_GT(view.dot(facing), 0.99f);
        }
        EXPECT_GT((hero.getPosition() - Vector(500.0f, 0.0f, 500.0f)).length(), 5.0f) << "he moved";
        expectNear(hero.getDirection(), facing);
    }
}

TEST(CameraFree, MovesRestartTheTimerAndFollowingLocksMovesAndTurns) {
    Camera camera;
    HandTimer* timer = useHandTimer(camera.m_timer);
    camera.setPosition(Vector(0.0f, 0.0f, 0.0f));
    camera.setDirection(Vector(0.0f, 0.0f, -1.0f));
    timer->m_elapsed = 25.0;
    camera.strafeRight(); // looking down -z, right is +x
    EXPECT_GT(camera.getPosition().x, 0.0f);
    EXPECT_EQ(timer->m_elapsed, 0.0) << "a move restarts the timer";
    timer->m_elapsed = 25.0;
    camera.strafeLeft();
    expectNear(camera.getPosition(), Vector(0.0f, 0.0f, 0.0f));

    Target hero;
    camera.setTarget(&hero);
    timer->m_elapsed = 100.0;
    camera.moveForward();
    camera.turn(0.3f, 0.3f);
    expectNear(camera.getPosition(), Vector(0.0f, 0.0f, 0.0f));
    expectNear(camera.getDirection(), Vector(0.0f, 0.0f, -1.0f));
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
    // The offset lies in the model's frame and turns with it: a model whose bulk lies 12
    // along its own x, turned a quarter, has it straight ahead of the eye.
    object.m_sphereOffset = Vector(12.0f, 0.0f, 0.0f);
    EXPECT_FALSE(visibleAt(f, object, Vector(0.0f, 0.0f, -50.0f))) << "unturned: right of view";
    object.m_heading = 90.0f;
    EXPECT_TRUE(visibleAt(f, object, Vector(0.0f, 0.0f, -50.0f))) << "turned: in front";
    object.m_heading = 180.0f;
    EXPECT_FALSE(visibleAt(f, object, Vector(-10.0f, 0.0f, -50.0f))) << "turned back: left";
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
