// Skeletal animation: binding, the pose table, pose blending, time-based playback, the
// shadow feed and the posed triangles for collision; and real drawing of the
// generated hero, enemy and boss under a GL context.
#include "ms3dbuilder.h"

#include "models/ms3dmodel.h"
#include "platform/random.h"
#include "platform/timer.h"
#include "support/bmpwriter.h"
#include "support/glcontext.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include "support/handtimer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <unistd.h>

namespace {

// A model whose stopwatch the test sets.
class TestModel : public Ms3dModel {
public:
    TestModel() { m_clock = useHandTimer(m_timer); }
    bool load(const Ms3dBuilder& builder) {
        std::vector<uint8_t> bytes = builder.bytes();
        ModelData data;
        std::string error;
        if (!parseMs3d(bytes.data(), bytes.size(), "", data, error)) {
            ADD_FAILURE() << error;
            return false;
        }
        adopt(std::move(data), false);
        return true;
    }
    // The translation x of a joint's posed transform: the key index in the test models.
    float jointX(int j) const { return m_joints[j].m_final.m[12]; }
    int32_t translationCursor(int j) const { return m_joints[j].m_currentTranslationKey; }
    bool blendAt(double millis, int32_t pose, double duration) {
        m_clock->m_elapsed = millis;
        return blendToPose(pose, duration);
    }
    float playAt(double millis) {
        m_clock->m_elapsed = millis;
        updateAnimation();
        return jointX(0);
    }
    HandTimer* m_clock;
};

// Joints keyed at the same times for both tracks; a quad on each joint.
Ms3dBuilder keyedModel(const std::vector<float>& millis) {
    Ms3dBuilder b;
    for (int j = 0; j < 2; ++j) {
        b.joints.push_back(
            Ms3dBuilder::keyedJoint("j" + std::to_string(j), j == 0 ? "" : "j0", millis));
        b.addQuad(0, float(j), 0, 1, int8_t(j), -1);
    }
    b.totalFrames = millis.empty() ? 0 : int32_t(millis.back());
    return b;
}

// Counts what the model feeds its shadow builders.
struct FeedLog {
    int begins = 0, clears = 0, triangles = 0, finishes = 0;
};
FeedLog g_feed;

class LoggingBuilder : public ShadowBuilder {
public:
    void beginFrame(int32_t) override { ++g_feed.begins; }
    void clear() override { ++g_feed.clears; }
    void addTriangle(const ShadowTriangle&) override { ++g_feed.triangles; }
    void finish() override { ++g_feed.finishes; }
    void setLight(float, float, float, float, bool) override {}
    void draw(float, float, float, float) override {}
};

struct LoggingFactory {
    LoggingFactory() {
        g_feed = FeedLog();
        SetShadowBuilderFactory(
            []() -> std::unique_ptr<ShadowBuilder> { return std::make_unique<LoggingBuilder>(); });
    }
    ~LoggingFactory() { SetShadowBuilderFactory(nullptr); }
};

struct FakeShape {
    std::vector<PosedTriangle> triangles;
    bool finished = false;
    void addTriangle(const Vector& a, const Vector& b, const Vector& c, int32_t bone) {
        triangles.push_back({{a, b, c}, bone});
    }
    void finish() { finished = true; }
};

} // namespace

TEST(PoseTable, EveryKeyTimeOfTheModelIsAPose) {
    TestModel model;
    ASSERT_TRUE(model.load(keyedModel({0, 100, 200, 300})));
    EXPECT_EQ(model.poseCount(), 4);
    for (int j = 0; j < 2; ++j)
        for (int p = 0; p < 4; ++p)
            EXPECT_EQ(model.poseKey(j, p), p) << "joint " << j << " pose " << p;
    EXPECT_EQ(model.poseKey(0, 4), 3) << "later columns stay on the last key";

    // Joints keyed at different times share one list: poses at 0, 100, 150, 200.
    Ms3dBuilder b = keyedModel({0, 100, 200});
    b.joints[1] = Ms3dBuilder::keyedJoint("j1", "j0", {0, 150});
    TestModel mixed;
    ASSERT_TRUE(mixed.load(b));
    EXPECT_EQ(mixed.poseCount(), 4);
    EXPECT_EQ(mixed.poseKey(0, 2), 1) << "joint 0 at 150 ms holds its 100 ms key";
    EXPECT_EQ(mixed.poseKey(1, 2), 1);
    EXPECT_EQ(mixed.poseKey(1, 1), 0);

    TestModel unkeyed;
    ASSERT_TRUE(unkeyed.load(keyedModel({})));
    EXPECT_EQ(unkeyed.poseCount(), 0);
}

TEST(BlendToPose, ArrivesAtOnceOrOverTheDurationOrWaitsThenRestartsTheTimer) {
    TestModel model;
    ASSERT_TRUE(model.load(keyedModel({0, 100, 200, 300})));
    EXPECT_TRUE(model.blendAt(3.0, 0, 500.0)) << "the current pose answers at once";
    EXPECT_EQ(model.m_clock->m_elapsed, 0.0);

    EXPECT_FALSE(model.blendToPose(2, 400.0));
    EXPECT_FALSE(model.blendAt(100.0, 2, 400.0));
    EXPECT_FLOAT_EQ(model.jointX(0), 0.5f) << "a quarter of the way from key 0 to key 2";
    EXPECT_EQ(model.currentPose(), 0);
    EXPECT_TRUE(model.blendAt(450.0, 2, 400.0));
    EXPECT_FLOAT_EQ(model.jointX(0), 2.0f);
    EXPECT_EQ(model.currentPose(), 2);
    EXPECT_EQ(model.m_clock->m_elapsed, 0.0) << "reaching the pose restarts the timer";

    EXPECT_TRUE(model.blendToPose(3, 0.0)) << "duration zero arrives at once";
    EXPECT_EQ(model.currentPose(), 3);
    EXPECT_FLOAT_EQ(model.jointX(0), 3.0f);
    // The child adds its own key translation to its parent's.
    EXPECT_FLOAT_EQ(model.jointX(1), 6.0f);
    EXPECT_EQ(model.translationCursor(0), 3);

    // Waiting holds until the duration has run out and never touches the skeleton or the pose.
    EXPECT_FALSE(model.blendAt(499.0, POSE_WAIT, 500.0));
    EXPECT_TRUE(model.blendAt(500.0, POSE_WAIT, 500.0));
    EXPECT_FLOAT_EQ(model.jointX(0), 3.0f);
    EXPECT_EQ(model.currentPose(), 3);
    EXPECT_EQ(model.m_clock->m_elapsed, 0.0);

    // Poses outside the table are refused without holding the queue.
    EXPECT_TRUE(model.blendToPose(30, 0.0));
    EXPECT_TRUE(model.blendToPose(-3, 0.0));
    EXPECT_EQ(model.currentPose(), 3);
}

TEST(BlendToPose, JointsWithFewerKeysHoldTheirLastOne) {
    // Joint 1 has only two keys, so from pose 1 on its target stays key 1.
    Ms3dBuilder b = keyedModel({0, 100, 200, 300});
    b.joints[1] = Ms3dBuilder::keyedJoint("j1", "j0", {0, 100});
    TestModel model;
    ASSERT_TRUE(model.load(b));
    ASSERT_TRUE(model.blendToPose(1, 0.0));
    EXPECT_FALSE(model.blendAt(50.0, 2, 100.0));
    // Joint 0 is halfway from 1 to 2; joint 1 keeps its key-1 offset of 1 on top.
    EXPECT_FLOAT_EQ(model.jointX(0), 1.5f);
    EXPECT_FLOAT_EQ(model.jointX(1), 2.5f);

    // A model without keys stays in its bind pose.
    b = keyedModel({});
    b.joints[1].translation[0] = 3.0f;
    TestModel unkeyed;
    ASSERT_TRUE(unkeyed.load(b));
    EXPECT_FALSE(unkeyed.blendAt(10.0, 1, 100.0));
    EXPECT_TRUE(unkeyed.blendAt(100.0, 1, 100.0));
    EXPECT_FLOAT_EQ(unkeyed.jointX(1), 3.0f);
}

TEST(TimePlayback, InterpolatesLoopsAndHolds) {
    TestModel model;
    ASSERT_TRUE(model.load(keyedModel({0, 100, 200, 300})));
    EXPECT_DOUBLE_EQ(model.totalTime(), 300.0);
    EXPECT_FLOAT_EQ(model.playAt(150.0), 1.5f);
    EXPECT_FLOAT_EQ(model.playAt(250.0), 2.5f);
    EXPECT_FLOAT_EQ(model.playAt(301.0), 0.0f) << "past the end a loop starts over";
    EXPECT_EQ(model.translationCursor(0), 0);
    model.setLoop(false);
    EXPECT_FLOAT_EQ(model.playAt(5000.0), 3.0f) << "without looping the last frame holds";
}

TEST(Skinning, BindingKeepsTheModelWhereItWasBuilt) {
    Ms3dBuilder b = keyedModel({});
    b.joints[0].translation[1] = 2.0f;
    b.joints[0].rotation[1] = 0.7f;
    b.joints[1].translation[0] = 1.0f;
    b.joints[1].rotation[2] = -0.4f;
    TestModel model;
    ASSERT_TRUE(model.load(b));
    ASSERT_EQ(model.m_vertexCount, 8);
    for (int v = 0; v < 8; ++v) {
        Vector p = model.posedVertex(v);
        float built[3] = {v % 4 == 1 || v % 4 == 2 ? 1.0f : 0.0f,
                          float(v / 4) + (v % 4 >= 2 ? 1.0f : 0.0f), 0.0f};
        EXPECT_NEAR(p.x, built[0], 1e-5f) << v;
        EXPECT_NEAR(p.y, built[1], 1e-5f) << v;
        EXPECT_NEAR(p.z, built[2], 1e-5f) << v;
    }
}

TEST(ModelConstruction, ReseedsTheRandomGeneratorWithThree) {
    gameSrand(3);
    int first = gameRand();
    gameSrand(99);
    gameRand();
    Ms3dModel model;
    EXPECT_EQ(gameRand(), first);
}

TEST(ShadowFeed, PeriodTwoFeedsEverySecondDraw) {
    TestGLContext gl;
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    LoggingFactory logging;
    TestModel model;
    ASSERT_TRUE(model.load(keyedModel({0, 100})));
    EXPECT_EQ(model.shadowPeriod(), 2);
    for (int i = 0; i < 4; ++i)
        model.drawModel();
    // Two builders: every draw tells both the count; every second draw feeds both.
    EXPECT_EQ(g_feed.begins, 8);
    EXPECT_EQ(g_feed.clears, 4);
    EXPECT_EQ(g_feed.finishes, 4);
    EXPECT_EQ(g_feed.triangles, 2 * 2 * 4);
    model.setShadowPeriod(1);
    g_feed = FeedLog();
    model.drawModel();
    model.feedShadows();
    EXPECT_EQ(g_feed.clears, 4);
    EXPECT_EQ(g_feed.triangles, 2 * 2 * 4);
}

TEST(CollisionFeed, PosedTrianglesCarryTheThirdCornersBone) {
    Ms3dBuilder b = keyedModel({0, 100});
    b.vertices[2].bone = 1; // third corner of the first triangle
    TestModel model;
    ASSERT_TRUE(model.load(b));
    ASSERT_TRUE(model.blendToPose(1, 0.0));
    FakeShape shape;
    model.buildCollisionShape(shape);
    ASSERT_EQ(shape.triangles.size(), 4u);
    EXPECT_TRUE(shape.finished);
    EXPECT_EQ(shape.triangles[0].m_boneId, 1);
    EXPECT_EQ(shape.triangles[1].m_boneId, 0);
    EXPECT_EQ(shape.triangles[2].m_boneId, 1);
    // At pose 1 joint 0 stands 1 along x: its first corner moved from (0, 0, 0).
    EXPECT_NEAR(shape.triangles[1].m_corners[0].x, 1.0f, 1e-5f);
}

// ---- Drawing under a real GL context ----

namespace {

struct Picture {
    int lit = 0;     // pixels that differ from the background
    int black = 0;   // near-black pixels (the outline)
    int colours = 0; // distinct colours among the lit pixels (texture detail)
};

Picture look(const std::vector<uint8_t>& rgb) {
    Picture p;
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        uint8_t r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
        if (r == 51 && g == 102 && b == 153) // the background
            continue;
        ++p.lit;
        if (r < 20 && g < 20 && b < 20)
            ++p.black;
        colours.insert(uint32_t(r >> 3) << 10 | uint32_t(g >> 3) << 5 | uint32_t(b >> 3));
    }
    p.colours = int(colours.size());
    return p;
}

class ModelDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        m_gl = std::make_unique<TestGLContext>();
        if (!m_gl->ok())
            GTEST_SKIP() << m_gl->error();
    }

    bool inGameFolder() {
        return chdir(TARVO_GAME_DIR) == 0 && std::ifstream("Data/tarvo.ms3d").good();
    }

    // Draws the model at a pose in front of a fixed camera and reads the picture back.
    Picture draw(Ms3dModel& model, int32_t pose, bool outline, const std::string& artifact) {
        glViewport(0, 0, 800, 600);
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const float ambient[4] = {0.6f, 0.6f, 0.6f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1},
                    position[4] = {30, 60, 80, 1};
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 800.0 / 600.0, 1.0, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        // Models stand on their origin, about 15 to 25 units tall, facing +x.
        gluLookAt(45, 14, 45, 0, 10, 0, 0, 1, 0);
        EXPECT_TRUE(model.blendToPose(pose, 0.0)) << "pose " << pose;
        model.setOutline(outline);
        model.drawModel();
        glFinish();
        Picture p = look(m_gl->readPixels());
        m_gl->saveArtifact(artifact);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return p;
    }

    std::unique_ptr<TestGLContext> m_gl;
};

} // namespace

TEST_F(ModelDrawing, ABuiltBoxLoadsItsTextureBesideItAndDrawsItsOutline) {
    std::string dir = std::string(TARVO_ARTIFACT_DIR) + "/boxmodel";
    std::filesystem::create_directories(dir);
    // 8 by 8 checks in red and yellow.
    WriteBytes(dir + "/checker.bmp", Bmp24(64, 64, [](int x, int y) {
                   return (x / 8 + y / 8) % 2 ? 0xE6DC00u : 0xE60000u;
               }));
    Ms3dBuilder b;
    b.materials.push_back(Ms3dBuilder::plainMaterial(".\\checker.bmp"));
    b.materials[0].ambient[0] = b.materials[0].ambient[1] = b.materials[0].ambient[2] = 1.0f;
    b.joints.push_back(Ms3dBuilder::keyedJoint("root", "", {0, 100}));
    b.joints[0].translationKeys[1].parameter[0] = 0.0f;
    b.joints[0].rotationKeys[1].parameter[1] = 0.6f; // pose 1 turns the box
    b.addBox(0, 10, 0, 6, 0, 0);
    const std::string path = WriteBytes(dir + "/box.ms3d", b.bytes());

    Ms3dModel box;
    ASSERT_TRUE(box.loadModel(path.c_str()));
    EXPECT_EQ(box.m_materials[0].m_textureFile, dir + "/checker.bmp");
    EXPECT_NE(box.m_materials[0].m_texture, 0u) << "the texture beside the model uploads";
    Picture plain = draw(box, 0, false, "model_box");
    EXPECT_GT(plain.lit, 3000);
    EXPECT_EQ(plain.black, 0);
    EXPECT_GT(plain.colours, 4) << "the checks show";
    Picture outlined = draw(box, 1, true, "model_box_outlined");
    EXPECT_GT(outlined.black, 200) << "the outline pass draws black edges";

    // The outline puts back whatever it changed: the scene after a model goes on as before.
    glLineWidth(1.5f);
    glDepthFunc(GL_LESS);
    glEnable(GL_LIGHTING);
    glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
    draw(box, 1, true, "model_box_outlined_again");
    GLfloat width = 0.0f, colour[4] = {0, 0, 0, 0};
    GLint depthFunc = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(width, 1.5f);
    EXPECT_EQ(depthFunc, GL_LESS);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FLOAT_EQ(colour[0], 0.2f);
    EXPECT_FLOAT_EQ(colour[3], 0.8f);
}

TEST_F(ModelDrawing, HiddenSkinnedGeometryDrawsNothingButStillFeedsTheShadows) {
    if (!inGameFolder())
        GTEST_SKIP() << "no generated models in " << TARVO_GAME_DIR;
    LoggingFactory logging;
    Ms3dModel enemy;
    ASSERT_TRUE(enemy.loadModel("Data/enemy.ms3d"));
    enemy.setHideSkinned(true);
    enemy.setShadowPeriod(1);
    EXPECT_LT(draw(enemy, 0, true, "model_enemy_hidden").lit, 50);
    EXPECT_EQ(g_feed.triangles, 2 * enemy.m_triangleCount);
}

// ---- Array drawing and the outline ----

TEST_F(ModelDrawing, ArraysAndTheirOutlineDrawWhatTheCornerByCornerWayDrew) {
    if (!inGameFolder())
        GTEST_SKIP() << "no generated models in " << TARVO_GAME_DIR;
    // Blended, as painted enemies are drawn: the outline is every back face at half alpha,
    // where lines that overlap build up a deeper black and inner lines show. The arrays are
    // kept while the model holds a pose; each new pose must refill them.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (const char* file : {"Data/tarvo.ms3d", "Data/enemy.ms3d"}) {
        Ms3dModel model;
        ASSERT_TRUE(model.loadModel(file)) << file;
        for (int32_t pose : {0, 6, 6, 0}) {
            SkinnedModel::s_plainDrawing = true;
            draw(model, pose, true, "model_plain");
            std::vector<uint8_t> plain = m_gl->readPixels();
            SkinnedModel::s_plainDrawing = false;
            draw(model, pose, true, "model_arrays");
            std::vector<uint8_t> arrays = m_gl->readPixels();
            int differing = 0, outline = 0;
            for (size_t i = 0; i + 2 < plain.size(); i += 3) {
                outline += plain[i] + plain[i + 1] + plain[i + 2] < 180;
                for (int c = 0; c < 3; ++c)
                    if (std::abs(int(plain[i + c]) - int(arrays[i + c])) > 8) {
                        ++differing;
                        break;
                    }
            }
            EXPECT_GT(outline, 200) << file << " pose " << pose;
            // The same lines in another order: only rounding may move a pixel.
            EXPECT_LT(differing, 20) << file << " pose " << pose;
        }
    }
    glDisable(GL_BLEND);
    SkinnedModel::s_plainDrawing = false;
}

TEST_F(ModelDrawing, AModelLoadedAgainIntoTheSameObjectDrawsFromItsOwnArrays) {
    if (!inGameFolder())
        GTEST_SKIP() << "no generated models in " << TARVO_GAME_DIR;
    Ms3dModel fresh;
    ASSERT_TRUE(fresh.loadModel("Data/enemy.ms3d"));
    draw(fresh, 0, true, "model_fresh");
    const std::vector<uint8_t> expected = m_gl->readPixels();

    // The arrays built for the hero must not serve the enemy loaded over him.
    Ms3dModel reused;
    ASSERT_TRUE(reused.loadModel("Data/tarvo.ms3d"));
    draw(reused, 0, true, "model_before_reload");
    ASSERT_TRUE(reused.loadModel("Data/enemy.ms3d"));
    draw(reused, 0, true, "model_reloaded");
    const std::vector<uint8_t> actual = m_gl->readPixels();
    ASSERT_EQ(actual.size(), expected.size());
    int differing = 0;
    for (size_t i = 0; i < actual.size(); ++i)
        differing += actual[i] != expected[i];
    EXPECT_EQ(differing, 0);
}
