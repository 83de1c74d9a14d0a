// The day and night cycle on an injected clock, the placement of the shadow lights,
// the volume builder's silhouette and storage, and real stencil shadows on Mesa.
#include "level/qrvdatalayer.h"
#include "models/ms3dmodel.h"
#include "objects/modelobject.h"
#include "objects/player.h"
#include "platform/win32timer.h"
#include "support/bmpwriter.h"
#include "support/glcontext.h"
#include "unit/ms3dbuilder.h"
#include "world/shadowvolume.h"
#include "world/terrain.h"
#include "world/worldlight.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// A unit-free cube: 8 shared corners (index bit 0 = +x, bit 1 = +y, bit 2 = +z), faces
// wound counter-clockwise from outside, as the game's closed models are.
const int CUBE_FACES[6][4] = {{4, 5, 7, 6}, {1, 0, 2, 3}, {5, 1, 3, 7},
                              {0, 4, 6, 2}, {6, 7, 3, 2}, {0, 1, 5, 4}};

void cubeCorner(int index, float cx, float cy, float cz, float s, float* out) {
    out[0] = cx + ((index & 1) ? s : -s);
    out[1] = cy + ((index & 2) ? s : -s);
    out[2] = cz + ((index & 4) ? s : -s);
}

std::vector<ShadowTriangle> cubeTriangles(float cx, float cy, float cz, float s,
                                          int32_t indexBase = 0) {
    std::vector<ShadowTriangle> out;
    for (const auto& f : CUBE_FACES) {
        const int halves[2][3] = {{f[0], f[1], f[2]}, {f[0], f[2], f[3]}};
        for (const auto& tri : halves) {
            ShadowTriangle t{};
            for (int k = 0; k < 3; ++k) {
                cubeCorner(tri[k], cx, cy, cz, s, t.m_corners[k]);
                t.m_vertexIndices[k] = indexBase + tri[k];
            }
            out.push_back(t);
        }
    }
    return out;
}

// Light at world position `light`, volume at the origin: the volume stores it negated.
void build(ShadowVolume& v, const std::vector<ShadowTriangle>& tris, float lx, float ly, float lz,
           float range, int32_t announced = -1) {
    v.beginFrame(announced < 0 ? int32_t(tris.size()) : announced);
    v.setLight(-lx, -ly, -lz, range, true);
    v.clear();
    for (const ShadowTriangle& t : tris)
        v.addTriangle(t);
    v.finish();
}

ShadowVolume* volumeOf(ModelObject& object, int index) {
    return dynamic_cast<ShadowVolume*>(&object.model().shadowVolume(index));
}

int64_t s_nowNs = 0;
void setClockMs(double ms) {
    s_nowNs = int64_t(ms * 1000000.0);
}

void clearObjectTable() {
    for (auto& slot : g_objectTable)
        slot = nullptr;
}

// Every WorldLight test runs with a GL context (the light sets GL state) and a fake
// clock, and leaves the object table empty.
class WorldLightTest : public ::testing::Test {
protected:
    // Before any model of a fixture is made, as the game's start-up does.
    WorldLightTest() { SetDefaultShadowBuilderFactory(CreateShadowVolume); }
    void SetUp() override {
        m_gl = std::make_unique<TestGLContext>();
        s_nowNs = 0;
        Win32Timer::SetTickSourceForTests([] { return s_nowNs; });
        g_hero = nullptr;
        clearObjectTable();
        m_light = std::make_unique<WorldLight>();
        m_light->m_timer->Reset(); // from the day's very start, not the first morning
    }
    void TearDown() override {
        m_light.reset();
        clearObjectTable();
        Win32Timer::SetTickSourceForTests(nullptr);
    }
    bool lightEnabled(GLenum light) { return m_gl->ok() && glIsEnabled(light); }

    std::unique_ptr<TestGLContext> m_gl;
    std::unique_ptr<WorldLight> m_light;
};

} // namespace

// ---- the volume builder ----

TEST(ShadowVolumeBuild, TheSilhouetteIsAClosedLoopAroundTheLitFaces) {
    const struct {
        float lx, ly;
        int lightFacing, edges;
    } cases[] = {{0, 100, 2, 4}, {100, 100, 4, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lx);
        ShadowVolume v;
        build(v, cubeTriangles(0, 0, 0, 1), c.lx, c.ly, 0, 300);
        EXPECT_EQ(v.lightFacingCount(), c.lightFacing);
        EXPECT_EQ(v.backFacingCount(), 12 - c.lightFacing);
        ASSERT_EQ(v.edgeCount(), c.edges);
        // Each corner of a closed loop starts exactly one edge and ends exactly one.
        for (int i = 0; i < v.edgeCount(); ++i) {
            int starts = 0;
            for (int j = 0; j < v.edgeCount(); ++j)
                starts += std::equal(v.edge(i).m_points[1], v.edge(i).m_points[1] + 3,
                                     v.edge(j).m_points[0]);
            EXPECT_EQ(starts, 1) << "edge " << i;
            if (c.lx == 0) { // straight overhead: the outline of the top face
                EXPECT_FLOAT_EQ(v.edge(i).m_points[0][1], 1.0f);
            }
        }
        v.beginFrame(12);
        EXPECT_EQ(v.edgeCount(), c.edges) << "models call beginFrame on frames that do not rebuild";
        build(v, cubeTriangles(0, 0, 0, 1), c.lx, c.ly, 0, 50);
        EXPECT_EQ(v.lightFacingCount() + v.backFacingCount(), 0) << "out of range adds nothing";
        EXPECT_EQ(v.edgeCount(), 0);
    }
}

TEST(ShadowVolumeBuild, DisablingKeepsTheLightAndExtrusionNeverFallsBelowOnce) {
    ShadowVolume v;
    v.setLight(1, 2, 3, 300, true);
    v.setLight(9, 9, 9, 9, false);
    EXPECT_FALSE(v.enabled());
    EXPECT_FLOAT_EQ(v.light()[0], 1.0f);
    EXPECT_FLOAT_EQ(v.light()[3], 300.0f);

    v.setLight(100, 0, 0, 300, true);
    EXPECT_FLOAT_EQ(v.extrusionFactor(), 2.0f);
    v.setLight(0, -100, 0, 150, true);
    EXPECT_FLOAT_EQ(v.extrusionFactor(), 1.0f);
    v.setLight(0, 0, 0, 150, true);
    EXPECT_FLOAT_EQ(v.extrusionFactor(), 1.0f) << "a light at the origin must not divide by 0";
}

TEST(ShadowVolumeBuild, StorageFollowsTheModelWhateverItsSizeAndIndices) {
    // More than 2000 back-facing triangles and vertex indices far above 2000: a floor of
    // 3000 triangles facing away from the light, plus a cube with high indices.
    std::vector<ShadowTriangle> tris;
    for (int i = 0; i < 3000; ++i) {
        float x = float(i % 60), z = float(i / 60);
        ShadowTriangle t{{{x, -5, z}, {x + 1, -5, z}, {x, -5, z + 1}}, {}}; // faces down
        for (int k = 0; k < 3; ++k)
            t.m_vertexIndices[k] = 100000 + i * 3 + k;
        tris.push_back(t);
    }
    for (const ShadowTriangle& t : cubeTriangles(0, 0, 0, 1, 70000))
        tris.push_back(t);
    ShadowVolume v;
    build(v, tris, 0, 100, 0, 400);
    EXPECT_EQ(v.capacity(), 3012);
    EXPECT_EQ(v.backFacingCount(), 3010);
    EXPECT_EQ(v.edgeCount(), 4);

    // A feed beyond the announced count is cut at the storage, never written past it;
    // negative indices are just other buckets.
    tris.insert(tris.end(), tris.begin(), tris.begin() + 500);
    tris[0].m_vertexIndices[0] = -7;
    build(v, tris, 0, 100, 0, 400, 3012);
    EXPECT_EQ(v.capacity(), 3012);
    EXPECT_LE(v.backFacingCount(), 3012);
    EXPECT_EQ(v.edgeCount(), 4);
}

// ---- the day and night cycle ----

TEST_F(WorldLightTest, TheSunStandsAtX1000WithColour7p5AtNoon) {
    setClockMs(90000);
    m_light->update();
    EXPECT_NEAR(m_light->m_sunPosition.x, 1000.0f, 0.01f);
    EXPECT_NEAR(m_light->m_color[0], 7.5f, 1e-4f);
    EXPECT_TRUE(m_light->m_isDay);
    if (m_gl->ok()) {
        EXPECT_TRUE(lightEnabled(GL_LIGHT1));
        GLfloat diffuse[4], ambient[4];
        glGetLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
        glGetLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
        EXPECT_NEAR(diffuse[0], 7.5f, 1e-4f);
        EXPECT_NEAR(ambient[1], 22.5f, 1e-3f);
    }
    setClockMs(45000);
    m_light->update();
    EXPECT_NEAR(m_light->m_sunPosition.x, -250.0f, 0.01f);
    EXPECT_NEAR(m_light->m_color[1], 3.75f, 1e-4f);
    setClockMs(135000);
    m_light->update();
    EXPECT_NEAR(m_light->m_color[2], 3.85f, 1e-4f) << "the afternoon falls from 7.6";
}

TEST_F(WorldLightTest, ANewLightOpensInTheMorningAndLaterDaysAtDawn) {
    // The sun's colour starts every day at 0: a game that began there opened on a black sky.
    WorldLight fresh;
    fresh.update();
    const float morning = float(15.0 * WorldLight::FIRST_MORNING_MS / fresh.m_dayLength);
    EXPECT_GE(morning, 1.5f) << "bright enough that the sky shows its own colours";
    EXPECT_NEAR(fresh.m_color[0], morning, 1e-4f);
    fresh.m_timer->Reset();
    fresh.update();
    EXPECT_FLOAT_EQ(fresh.m_color[0], 0.0f) << "a reset day counts from dawn";
}

TEST_F(WorldLightTest, DayTurnsToNightAfter180sAndBackAfter100s) {
    setClockMs(180000);
    m_light->update();
    EXPECT_TRUE(m_light->m_isDay) << "exactly the day's length is still day";
    setClockMs(180001);
    m_light->update();
    EXPECT_FALSE(m_light->m_isDay);
    EXPECT_FLOAT_EQ(m_light->m_color[0], 3.0f);
    EXPECT_DOUBLE_EQ(m_light->m_timer->Elapsed(), 0.0) << "the change resets the timer";
    EXPECT_FALSE(lightEnabled(GL_LIGHT1));

    setClockMs(180001 + 50000);
    m_light->update();
    EXPECT_FALSE(m_light->m_isDay);
    EXPECT_TRUE(!m_gl->ok() || lightEnabled(GL_LIGHT3)) << "the fire burns at night";
    setClockMs(180001 + 100001);
    m_light->update();
    EXPECT_TRUE(m_light->m_isDay);
    EXPECT_DOUBLE_EQ(m_light->m_timer->Elapsed(), 0.0);
    EXPECT_FLOAT_EQ(m_light->m_sunPosition.x, -1000.0f);
    EXPECT_FLOAT_EQ(m_light->m_sunPosition.z, 300.0f);
    EXPECT_FALSE(lightEnabled(GL_LIGHT2));
    EXPECT_FALSE(lightEnabled(GL_LIGHT3));
    // The next day frame starts the sun over again from the east.
    m_light->update();
    EXPECT_FLOAT_EQ(m_light->m_sunPosition.x, -1500.0f);
}

// A newcomer found the night too dark to play: away from the hero's light and the fire the
// land went black from dusk on. The moon's ambient fills in wherever the sun's falls short of
// it, and is off in full day.
TEST_F(WorldLightTest, TheMoonKeepsTheLandLitFromDuskThroughTheNight) {
    if (!m_gl->ok())
        GTEST_SKIP() << m_gl->error();
    auto ambient = [&](GLenum light, int i) {
        GLfloat a[4];
        glGetLightfv(light, GL_AMBIENT, a);
        return lightEnabled(light) ? a[i] : 0.0f;
    };
    for (double ms : {0.0, 2000.0, 90000.0, 179900.0, 180001.0, 230001.0}) {
        setClockMs(ms);
        m_light->update();
        for (int i = 0; i < 3; ++i)
            EXPECT_GE(ambient(GL_LIGHT1, i) + ambient(GL_LIGHT4, i), WorldLight::MOON[i] - 1e-4f)
                << ms << " ms";
        if (ms == 90000.0) {
            EXPECT_FALSE(lightEnabled(GL_LIGHT4)) << "no moon at noon";
        }
    }
    EXPECT_FALSE(m_light->m_isDay);
    EXPECT_FLOAT_EQ(ambient(GL_LIGHT4, 2), WorldLight::MOON[2]);
}

// ---- handing the lights to the objects ----

TEST_F(WorldLightTest, ObjectsGetTheLightInTheirOwnFrameAndFarOnesNone) {
    ModelObject near, far, turned, asleep;
    near.setPosition(Vector(10, 0, 0));
    far.setPosition(Vector(1000, 0, 0));
    turned.m_heading = 90.0f;
    asleep.m_active = false;
    volumeOf(asleep, 0)->setLight(1, 2, 3, 4, true);
    g_objectTable[0] = &near;
    g_objectTable[1] = &far;
    g_objectTable[7] = &turned;
    g_objectTable[249] = &asleep;
    m_light->placeShadowLight(0, 0, 0, 300, 0);

    ASSERT_NE(volumeOf(near, 0), nullptr);
    EXPECT_TRUE(volumeOf(near, 0)->enabled());
    EXPECT_FLOAT_EQ(volumeOf(near, 0)->light()[0], 10.0f) << "stored negated";
    EXPECT_FLOAT_EQ(volumeOf(near, 0)->light()[3], 300.0f);
    EXPECT_FALSE(volumeOf(far, 0)->enabled()) << "beyond the range the volume is off";
    EXPECT_FALSE(volumeOf(near, 1)->enabled()) << "only the named index changes";
    EXPECT_TRUE(volumeOf(asleep, 0)->enabled()) << "inactive objects are left alone";
    EXPECT_FLOAT_EQ(volumeOf(asleep, 0)->light()[0], 1.0f);

    // Turned 90 degrees, world +x is the object's +z.
    m_light->placeShadowLight(10, 0, 0, 300, 1);
    EXPECT_NEAR(volumeOf(turned, 1)->light()[0], 0.0f, 1e-4f);
    EXPECT_NEAR(volumeOf(turned, 1)->light()[2], -10.0f, 1e-4f);

    m_light->setShadowEnabled(false, 1, false);
    EXPECT_TRUE(volumeOf(turned, 1)->enabled()) << "without `all` only the hero changes";
    m_light->setShadowEnabled(false, 1, true);
    EXPECT_FALSE(volumeOf(turned, 1)->enabled());
    m_light->setShadowEnabled(true, 7, true); // no such volume: nothing happens
    EXPECT_FALSE(volumeOf(turned, 1)->enabled());
}

TEST_F(WorldLightTest, DayUsesOneShadowLightAndNightTheFireAsTheSecond) {
    ModelObject object;
    object.setPosition(Vector(340, 0, 530));
    g_objectTable[3] = &object;
    volumeOf(object, 1)->setLight(0, 0, 0, 100, true);
    m_light->update();
    EXPECT_TRUE(volumeOf(object, 0)->enabled()) << "the sun reaches 4000 units";
    EXPECT_FALSE(volumeOf(object, 1)->enabled()) << "no second shadow by day";

    m_light->setFire(1.0f, 0.1f, 0.0f, 340, 20, 530);
    m_light->m_fixed = true;
    m_light->setFire(0, 0, 1, 0, 0, 0);
    EXPECT_FLOAT_EQ(m_light->m_firePosition[1], 20.0f) << "a fixed light stays put";
    m_light->m_isDay = false;
    m_light->update();
    ASSERT_TRUE(volumeOf(object, 1)->enabled());
    EXPECT_FLOAT_EQ(volumeOf(object, 1)->light()[1], -20.0f);
    EXPECT_FLOAT_EQ(volumeOf(object, 1)->light()[3], 200.0f);
}

TEST_F(WorldLightTest, TheNightSpotlightLeadsTheHeroWhoCastsNoShadowFromIt) {
    Player hero;
    hero.setPosition(Vector(340, 0, 520));
    hero.setDirection(Vector(1, 0, 0));
    g_hero = &hero;
    m_light->m_isDay = false;
    setClockMs(1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    m_light->update();
    g_hero = nullptr;
    EXPECT_FALSE(volumeOf(hero, 0)->enabled()) << "no shadow from its own spotlight";
    EXPECT_TRUE(volumeOf(hero, 1)->enabled()) << "the fire is 10 units away";
    if (!m_gl->ok())
        return;
    EXPECT_TRUE(lightEnabled(GL_LIGHT2));
    GLfloat position[4], direction[3], diffuse[4];
    glGetLightfv(GL_LIGHT2, GL_POSITION, position);
    glGetLightfv(GL_LIGHT2, GL_SPOT_DIRECTION, direction);
    glGetLightfv(GL_LIGHT2, GL_DIFFUSE, diffuse);
    EXPECT_FLOAT_EQ(position[0], 345.0f);
    EXPECT_FLOAT_EQ(position[1], 15.0f);
    EXPECT_FLOAT_EQ(position[2], 520.0f);
    EXPECT_NEAR(direction[1], -0.3f, 1e-5f);
    EXPECT_FLOAT_EQ(diffuse[0], 10.0f) << "the night colour 1 times 10 before any day passed";
}

// ---- real stencil shadows ----

namespace {

// A cube of half-size 5 around (0, 15, 0) with shared corners, in one group.
std::string writeCubeModel() {
    Ms3dBuilder b;
    for (int i = 0; i < 8; ++i) {
        b.vertices.push_back({{}, -1});
        cubeCorner(i, 0, 15, 0, 5, b.vertices.back().position);
    }
    b.groups.push_back({{}, -1});
    for (const ShadowTriangle& t : cubeTriangles(0, 15, 0, 5)) {
        b.groups[0].triangles.push_back(uint16_t(b.triangles.size()));
        b.triangles.push_back({});
        std::copy(t.m_vertexIndices, t.m_vertexIndices + 3, b.triangles.back().vertices);
    }
    std::string dir = std::string(TARVO_ARTIFACT_DIR) + "/light";
    std::filesystem::create_directories(dir);
    return WriteBytes(dir + "/cube.ms3d", b.bytes());
}

const float LIGHT[3] = {-60.0f, 80.0f, 0.0f};
const float EYE[3] = {0, 70, 90};
const float AT[3] = {10, 0, 0};

struct Frame {
    std::vector<uint8_t> pixels;
    int brightness(int x, int y) const { // window coordinates, origin bottom left
        size_t i = (size_t(599 - y) * 800 + size_t(x)) * 3;
        return pixels[i] + pixels[i + 1] + pixels[i + 2];
    }
};

// Pixels on every `step`th row and column where `counts(a, b)` holds for their brightness.
template <class Counts> int countPixels(const Frame& a, const Frame& b, int step, Counts counts) {
    int n = 0;
    for (int y = 0; y < 600; y += step)
        for (int x = 0; x < 800; x += step)
            n += counts(a.brightness(x, y), b.brightness(x, y));
    return n;
}
bool darker(int lit, int shaded) {
    return shaded + 60 < lit;
}

} // namespace

class ShadowDrawing : public WorldLightTest {
protected:
    void SetUp() override {
        WorldLightTest::SetUp();
        if (!m_gl->ok())
            GTEST_SKIP() << m_gl->error();
        ASSERT_TRUE(m_cube.loadModel(writeCubeModel().c_str()));
        m_cube.setShadowPeriod(1);
    }

    // One frame: grey ground, the cube, and with `shadows` the stencil pass.
    Frame draw(const float* eye, const float* at, bool shadows, const std::string& artifact) {
        glViewport(0, 0, 800, 600);
        glClearColor(0.1f, 0.2f, 0.5f, 1.0f);
        glClearStencil(0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_CULL_FACE);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 800.0 / 600.0, 1.0, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(eye[0], eye[1], eye[2], at[0], at[1], at[2], 0, 1, 0);
        glDisable(GL_LIGHTING);
        glColor3f(0.8f, 0.8f, 0.8f);
        glBegin(GL_QUADS);
        for (int c : {0, 1, 3, 2})
            glVertex3f((c & 1) ? 100 : -100, 0, (c & 2) ? -100 : 100);
        glEnd();
        // The play form goes through the object table, the scene form through the
        // remembered casters; both must give the same shadow.
        if (m_sceneForm) {
            m_light->setSceneShadow(LIGHT[0], LIGHT[1], LIGHT[2], 400.0f, &m_cube);
        } else {
            g_objectTable[0] = &m_cube;
            m_light->placeShadowLight(LIGHT[0], LIGHT[1], LIGHT[2], 400.0f, 0);
        }
        glColor3f(0.9f, 0.5f, 0.2f);
        m_cube.draw();
        if (shadows && m_sceneForm)
            m_light->drawSceneShadows();
        else if (shadows)
            m_light->drawShadows();
        glFinish();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        m_gl->saveArtifact(artifact);
        return Frame{m_gl->readPixels()};
    }

    // Window position of a world point in the last frame's matrices.
    void project(float x, float y, float z, int* wx, int* wy) {
        GLdouble mv[16], pr[16], ox, oy, oz;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(x, y, z, mv, pr, vp, &ox, &oy, &oz);
        *wx = int(ox);
        *wy = int(oy);
    }

    ModelObject m_cube;
    bool m_sceneForm = false;
};

TEST_F(ShadowDrawing, ACubeCastsItsShadowOnTheGroundAndNowhereElse) {
    Frame lit = draw(EYE, AT, false, "light_no_shadow");
    Frame shaded = draw(EYE, AT, true, "light_cube_shadow");
    int shadow = countPixels(lit, shaded, 1, darker);
    EXPECT_GT(shadow, 1500) << "a shadow falls";
    EXPECT_LT(shadow, 800 * 600 / 5) << "the screen is not darkened as a whole";
    // The darkening covers only the volume's area on the screen, which holds every shaded pixel.
    const ShadowArea area = CurrentShadowArea();
    ASSERT_TRUE(area.m_any);
    EXPECT_FALSE(area.m_whole);
    EXPECT_LT((area.m_x1 - area.m_x0) * (area.m_y1 - area.m_y0), 800 * 600 * 3 / 4);
    int outside = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            outside += darker(lit.brightness(x, y), shaded.brightness(x, y)) &&
                       !(x >= area.m_x0 && x < area.m_x1 && y >= area.m_y0 && y < area.m_y1);
    EXPECT_EQ(outside, 0) << "a shaded pixel outside the area";

    // Straight down the light's ray through the cube's centre: ground (13.8, 0, 0).
    int sx, sy;
    project(13.8f, 0, 0, &sx, &sy);
    EXPECT_LT(shaded.brightness(sx, sy), lit.brightness(sx, sy) * 3 / 4);
    // The lit side of the ground and the sky keep their colour.
    project(-40, 0, 20, &sx, &sy);
    EXPECT_EQ(shaded.brightness(sx, sy), lit.brightness(sx, sy));
    EXPECT_EQ(shaded.brightness(5, 595), lit.brightness(5, 595));

    // Over a landscape the volume ends just under the ground; the shadow must not change.
    Terrain flat;
    g_terrain = &flat;
    Frame overLand = draw(EYE, AT, true, "light_cube_shadow_land");
    g_terrain = nullptr;
    EXPECT_LT(countPixels(overLand, shaded, 1, std::not_equal_to<>()), shadow / 50)
        << "a shortened volume shades the same ground";

    // A cube behind the eye casts nothing on screen: its volume is not drawn at all.
    const float away[3] = {0.0f, 20.0f, -200.0f};
    const float ahead[3] = {0.0f, 20.0f, -400.0f};
    draw(away, ahead, true, "light_area_behind");
    EXPECT_FALSE(CurrentShadowArea().m_any);
}

TEST_F(ShadowDrawing, TheCapsKeepTheShadowWhenTheCameraIsInsideTheVolume) {
    // On the light's ray just under the cube, looking down at the shadowed ground.
    const float eye[3] = {6.0f, 8.5f, 0.5f};
    const float at[3] = {13.8f, 0.0f, 0.0f};
    m_sceneForm = true;
    Frame lit = draw(eye, at, false, "light_inside_no_shadow");
    Frame shaded = draw(eye, at, true, "light_inside_shadow");
    EXPECT_LT(shaded.brightness(400, 300), lit.brightness(400, 300) * 3 / 4)
        << "the ground straight ahead lies in the shadow";
    EXPECT_GT(countPixels(lit, shaded, 4, darker), 200 * 150 / 10);
    EXPECT_TRUE(CurrentShadowArea().m_whole)
        << "with the eye inside, the whole screen may be shaded";
}

TEST_F(ShadowDrawing, TheGamesOwnModelsCastShadowsEvenPastTheOldTableSizes) {
    // The hero, and a cutscene line of more than 2000 triangles.
    if (chdir(TARVO_GAME_DIR) != 0 || !std::ifstream("Data/enemy_line.ms3d").good())
        GTEST_SKIP() << "the game's models are not built";
    for (const char* file : {"Data/tarvo.ms3d", "Data/enemy_line.ms3d"}) {
        SCOPED_TRACE(file);
        ModelObject model;
        ASSERT_TRUE(model.loadModel(file));
        model.setShadowPeriod(1);
        model.model().blendToPose(0, 0.0);
        std::swap(m_cube.m_model, model.m_model);
        Frame lit = draw(EYE, AT, false, "light_model_no_shadow");
        Frame shaded = draw(EYE, AT, true, std::string("light_") + (file + 5));
        std::swap(m_cube.m_model, model.m_model);
        auto* volume = volumeOf(model, 0);
        ASSERT_NE(volume, nullptr);
        EXPECT_GT(volume->edgeCount(), 20);
        EXPECT_GE(volume->capacity(), model.model().m_triangleCount);
        int shadow = countPixels(lit, shaded, 2, darker);
        EXPECT_GT(shadow, 100);
        EXPECT_LT(shadow, 400 * 300 / 3);
    }
}

TEST_F(WorldLightTest, EachRayOfAVolumeEndsJustUnderTheLandItGoesInto) {
    if (!m_gl->ok())
        GTEST_SKIP() << m_gl->error();
    Terrain land;
    for (int32_t z = 0; z < 1024; ++z)
        for (int32_t x = 0; x < 1024; ++x)
            land.setHeight(x, z, 50);
    g_terrain = &land;
    // A cube 10 to 20 above its place, placed 10 above land at 50, turned a quarter.
    const float place[3] = {500.0f, 60.0f, 500.0f};
    auto buildAt = [&](ShadowVolume& v, float lx, float ly, float lz) {
        build(v, cubeTriangles(0, 15, 0, 5), lx, ly, lz, 4000.0f);
        v.setFloor(ShadowFloorAt);
        v.draw(place[0], place[1], place[2], 90.0f);
    };
    auto lowest = [](const ShadowVolume& v) {
        float y = 1e9f;
        for (size_t i = 1; i < v.geometry().size(); i += 3)
            y = std::min(y, v.geometry()[i]);
        return y;
    };
    // Light from high above: every ray ends 4 under the land (46), not on the floor,
    // 10 under the lowest land around (40).
    ShadowVolume high;
    buildAt(high, 30, 900, -20);
    EXPECT_NEAR(lowest(high) + place[1], 46.0f, 0.01f);

    // A hollow in the land under the shadow: the rays there go down into it, and every
    // far end lies under the land where it ends, none below the floor.
    for (int32_t z = 480; z < 560; ++z)
        for (int32_t x = 500; x < 600; ++x)
            land.setHeight(x, z, 35);
    ShadowVolume hollow;
    buildAt(hollow, 0, 900, -300); // the rays run along the model's +z, the world's +x
    const float floor = ShadowFloorAt(place[0], place[2]);
    int ends = 0, deep = 0;
    const std::vector<float>& g = hollow.geometry();
    for (size_t i = 0; i < g.size(); i += 3) {
        if (g[i + 1] >= 0.0f)
            continue; // a corner of the cube itself
        ++ends;
        // A quarter turn: the model's x runs along the world's -z, its z along x.
        const float wx = place[0] + g[i + 2], wy = place[1] + g[i + 1], wz = place[2] - g[i];
        EXPECT_LE(wy, ShadowGroundAt(wx, wz) + 0.01f) << wx << ", " << wz;
        EXPECT_GE(wy, floor - 0.01f);
        deep += wy < 40.0f;
    }
    EXPECT_GT(ends, 0);
    EXPECT_GT(deep, 0) << "some rays reach the hollow";

    // Light skimming the land: the rays keep ending on the floor.
    ShadowVolume low;
    buildAt(low, -900, 200, 0);
    EXPECT_NEAR(lowest(low) + place[1], floor, 0.01f);
    g_terrain = nullptr;
}

TEST_F(WorldLightTest, AVolumeLeavesOutItsFarCapOnlyWhereTheLandReallyClosesIt) {
    // The hero on the hill's slope at (584, 1496) of the game's own land. One second into the
    // day the sun is low: flat rays run past the floor's search radius over falling ground,
    // and ends on the floor float above the land there.
    if (!m_gl->ok())
        GTEST_SKIP() << m_gl->error();
    if (chdir(TARVO_GAME_DIR) != 0 || !std::ifstream("Data/flatland.raw").good())
        GTEST_SKIP() << "the game's land is not built";
    Terrain land;
    ASSERT_EQ(land.loadHeights("Data/flatland.raw"), Terrain::HEIGHT_BYTES);
    g_terrain = &land;
    ModelObject caster;
    ASSERT_TRUE(caster.loadModel("Data/tarvo.ms3d"));
    caster.setShadowPeriod(1);
    caster.model().blendToPose(0, 0.0);
    caster.setPosition(Vector(584.0f, heightAt(584.0f, 1496.0f), 1496.0f));
    g_objectTable[0] = &caster;
    struct Volume {
        int floating = 0; // far-cap corners above the land under them
        bool capLeftOut = false;
    };
    auto castAt = [&](double dayMs) {
        setClockMs(dayMs);
        m_light->update();
        caster.draw();
        caster.updateShadowCasters();
        Volume result;
        const ShadowVolume* v = volumeOf(caster, 0);
        const std::vector<float>& g = v->geometry();
        const size_t farCap = size_t(v->edgeCount()) * 6 + size_t(v->lightFacingCount()) * 3;
        EXPECT_GT(g.size() / 3, farCap) << "a far cap was built";
        result.capLeftOut = v->eyeCountVertices() == farCap;
        EXPECT_TRUE(result.capLeftOut || v->eyeCountVertices() == g.size() / 3);
        const Vector at = caster.getPosition();
        for (size_t i = farCap * 3; i < g.size(); i += 3)
            result.floating +=
                at.y + g[i + 1] > ShadowGroundAt(at.x + g[i], at.z + g[i + 2]) + 0.01f;
        return result;
    };
    const Volume low = castAt(1000.0);
    EXPECT_GT(low.floating, 0) << "the case: ends that float above the falling land";
    EXPECT_FALSE(low.capLeftOut) << "the open bottom would shade the land seen through it";
    // A high sun's rays end in the land right under the hero: no far cap is needed.
    const Volume noon = castAt(90000.0);
    EXPECT_EQ(noon.floating, 0);
    EXPECT_TRUE(noon.capLeftOut);
    g_terrain = nullptr;
}

// ---- Where the volumes reach the screen ----

namespace {

// gluPerspective(90, 4:3, 1, 1000) and the identity model-view, column-major.
void perspective90(float* projection) {
    const float n = 1.0f, f = 1000.0f;
    std::fill(projection, projection + 16, 0.0f);
    projection[0] = 1.0f / (800.0f / 600.0f);
    projection[5] = 1.0f;
    projection[10] = (f + n) / (n - f);
    projection[11] = -1.0f;
    projection[14] = 2.0f * f * n / (n - f);
}

} // namespace

TEST(ShadowArea, ABoxProjectsToItsRectangleOrTheWholeScreenOrNothing) {
    float projection[16];
    perspective90(projection);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const int viewport[4] = {0, 0, 800, 600};
    int rect[4];
    // Straight ahead, 9 to 11 units away, 2 units across: its near face spans 33 pixels
    // each way from the middle, plus the pixel of margin.
    const float lo[3] = {-1, -1, -11}, hi[3] = {1, 1, -9};
    ASSERT_EQ(projectBox(lo, hi, identity, projection, viewport, rect), BoxOnScreen::Rect);
    EXPECT_NEAR(rect[0], 400 - 35, 2);
    EXPECT_NEAR(rect[2], 400 + 35, 2);
    EXPECT_NEAR(rect[1], 300 - 35, 2);
    EXPECT_NEAR(rect[3], 300 + 35, 2);
    // Moved by the model-view: 20 units right is off the screen; partly off is clipped.
    float moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 20, 0, 0, 1};
    EXPECT_EQ(projectBox(lo, hi, moved, projection, viewport, rect), BoxOnScreen::Hidden);
    moved[12] = 13.0f;
    ASSERT_EQ(projectBox(lo, hi, moved, projection, viewport, rect), BoxOnScreen::Rect);
    EXPECT_EQ(rect[2], 800);
    EXPECT_GT(rect[0], 400);
    // Reaching behind the eye it has no rectangle: the whole screen; wholly behind, nothing.
    const float through[3] = {1, 1, 5};
    EXPECT_EQ(projectBox(lo, through, identity, projection, viewport, rect),
              BoxOnScreen::Unbounded);
    const float behindLo[3] = {-1, -1, 2}, behindHi[3] = {1, 1, 4};
    EXPECT_EQ(projectBox(behindLo, behindHi, identity, projection, viewport, rect),
              BoxOnScreen::Hidden);

    // The frame's area is the union; one unbounded volume makes it the whole screen.
    ShadowArea area;
    EXPECT_FALSE(area.m_any);
    area.addRect(10, 20, 30, 40);
    area.addRect(5, 30, 25, 60);
    area.addRect(50, 50, 50, 70); // empty: ignored
    EXPECT_TRUE(area.m_any);
    EXPECT_EQ(std::vector<int>({area.m_x0, area.m_y0, area.m_x1, area.m_y1}),
              std::vector<int>({5, 20, 30, 60}));
    area.addWhole();
    area.addRect(0, 0, 800, 600);
    EXPECT_TRUE(area.m_whole);
}

TEST(ShadowCounting, OnlyABoxThatMayHoldTheNearPlanesWindowIsCountedBehindTheScene) {
    // Near plane at 1: its window spans x -4/3 to 4/3, y -1 to 1 at z = -1.
    float projection[16];
    perspective90(projection);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    auto mayReach = [&](std::initializer_list<float> lo, std::initializer_list<float> hi,
                        const float* modelView) {
        return boxMayReachNearPlane(lo.begin(), hi.begin(), modelView, projection);
    };
    // Around the eye, and a volume from a light behind the eye running past it.
    EXPECT_TRUE(mayReach({-1, -1, -1}, {1, 1, 1}, identity));
    EXPECT_TRUE(mayReach({-0.1f, -0.1f, -50}, {0.1f, 0.1f, 30}, identity));
    // Wholly in front, wholly behind, or beside the window at its depth: from the eye.
    EXPECT_FALSE(mayReach({-5, -5, -30}, {5, 5, -2}, identity));
    EXPECT_FALSE(mayReach({-5, -5, 2}, {5, 5, 30}, identity));
    EXPECT_FALSE(mayReach({2, -5, -30}, {9, 5, 30}, identity));
    EXPECT_FALSE(mayReach({-9, 1.5f, -30}, {9, 8, 30}, identity));
    // On the boundary: touching the window's plane, or its edge, counts as reaching it.
    EXPECT_TRUE(mayReach({-5, -5, -30}, {5, 5, -1}, identity));
    EXPECT_TRUE(mayReach({4.0f / 3.0f, -5, -30}, {9, 5, 30}, identity));
    // The model-view places the box: moved 10 ahead it is in front; turned half about
    // +y and moved 10 back, it lies behind, unless it stood 10 to 12 behind the origin.
    const float ahead[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1};
    const float turned[16] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 10, 1};
    EXPECT_FALSE(mayReach({-1, -1, -1}, {1, 1, 1}, ahead));
    EXPECT_FALSE(mayReach({-1, -1, -1}, {1, 1, 1}, turned));
    EXPECT_TRUE(mayReach({-1, -1, 10}, {1, 1, 12}, turned));
    // A projection that is not a plain perspective, or a box of no place: behind the scene.
    float ortho[16] = {0.1f, 0, 0, 0, 0, 0.1f, 0, 0, 0, 0, -0.01f, 0, 0, 0, 0, 1};
    EXPECT_TRUE(boxMayReachNearPlane(std::initializer_list<float>{-5, -5, -30}.begin(),
                                     std::initializer_list<float>{5, 5, -2}.begin(), identity,
                                     ortho));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(mayReach({nan, -5, -30}, {5, 5, -2}, identity));
}
