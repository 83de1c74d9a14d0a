// The object tree: headings, the animation queue, gravity and the water rule, model
// loading failures, shadows, the draw rules of characters and gem creation.
#include "ms3dbuilder.h"

#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/character.h"
#include "objects/gem.h"
#include "objects/modelobject.h"
#include "platform/timer.h"
#include "shell/gamecontext.h"
#include "support/contextguard.h"
#include "support/glcontext.h"

#include <GL/gl.h>
#include "support/handtimer.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// A model with a hand-set stopwatch, keyed at 0, 100, 200 and 300 ms.
class TestModel : public Ms3dModel {
public:
    TestModel() { m_clock = useHandTimer(m_timer); }
    void loadKeyed() {
        Ms3dBuilder b;
        b.joints.push_back(Ms3dBuilder::keyedJoint("root", "", {0, 100, 200, 300}));
        b.addQuad(0, 0, 0, 1, 0, -1);
        std::vector<uint8_t> bytes = b.bytes();
        ModelData data;
        std::string error;
        ASSERT_TRUE(parseMs3d(bytes.data(), bytes.size(), "", data, error)) << error;
        adopt(std::move(data), false);
    }
    HandTimer* m_clock;
};

// Answers every box and remembers it.
int g_lights = 0;
int g_volumeDraws = 0;
int g_volumePlaces = 0;
float g_lastLight[4] = {};

class CountingBuilder : public NullShadowBuilder {
public:
    void setLight(float x, float y, float z, float range, bool) override {
        ++g_lights;
        g_lastLight[0] = x;
        g_lastLight[1] = y;
        g_lastLight[2] = z;
        g_lastLight[3] = range;
    }
    void place(float, float, float, float) override { ++g_volumePlaces; }
    void draw(float, float, float, float) override { ++g_volumeDraws; }
};

struct CountingFactory {
    CountingFactory() {
        g_lights = 0;
        g_volumeDraws = 0;
        g_volumePlaces = 0;
        SetShadowBuilderFactory(
            []() -> std::unique_ptr<ShadowBuilder> { return std::make_unique<CountingBuilder>(); });
    }
    ~CountingFactory() { SetShadowBuilderFactory(nullptr); }
};

} // namespace

TEST(Heading, FollowsTheDirectionOnTheGroundOnly) {
    ModelObject object;
    const struct {
        Vector dir;
        float heading;
    } cases[] = {{{1, 0, 0}, 0.0f}, {{0, 0, 1}, -90.0f}, {{0, 0, -1}, 90.0f}, {{-1, 0, 0}, 180.0f}};
    for (const auto& c : cases) {
        object.setDirection(c.dir);
        EXPECT_FLOAT_EQ(object.m_heading, c.heading) << c.dir.x << "," << c.dir.z;
    }
    object.setDirection(Vector(3.0f, 5.0f, 3.0f)); // pitch and length do not change it
    EXPECT_NEAR(object.m_heading, -45.0f, 1e-4f);
    EXPECT_FLOAT_EQ(object.getDirection().y, 5.0f) << "the direction is stored as given";
    object.setDirection(Vector(0.0f, -1.0f, 0.0f));
    EXPECT_NEAR(object.m_heading, -45.0f, 1e-4f) << "straight down keeps the last heading";
}

TEST(AnimationQueueRules, PushIntoAFullQueueIsRefusedAndChangesNothing) {
    AnimationQueue queue;
    EXPECT_EQ(queue.frontId(), 0);
    EXPECT_EQ(queue.backId(), 0);
    for (int i = 1; i <= queue.capacity(); ++i)
        EXPECT_TRUE(queue.push(i, 100.0));
    EXPECT_FALSE(queue.push(8, 100.0));
    EXPECT_EQ(queue.count(), 7);
    EXPECT_EQ(queue.frontId(), 1);
    EXPECT_EQ(queue.backId(), 7);
    queue.clearAllButFirst();
    EXPECT_EQ(queue.count(), 1);
    EXPECT_EQ(queue.backId(), 1);
    EXPECT_TRUE(queue.push(9, 50.0));
    EXPECT_EQ(queue.backId(), 9);
    queue.clear();
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(queue.frontId(), 0);
    EXPECT_TRUE(queue.push(4, 10.0));
    EXPECT_EQ(queue.frontId(), 4);
    EXPECT_EQ(queue.backId(), 4);
}

TEST(AnimationQueueRules, AdvanceBlendsHoldsAndFallsBackToIdle) {
    TestModel model;
    model.loadKeyed();
    AnimationQueue queue;
    queue.push(2, 100.0);
    queue.push(3, 100.0);
    model.m_clock->m_elapsed = 40.0;
    EXPECT_EQ(queue.advance(model), -1) << "still blending";
    EXPECT_EQ(queue.count(), 2);
    model.m_clock->m_elapsed = 100.0;
    EXPECT_EQ(queue.advance(model), 2);
    EXPECT_EQ(model.currentPose(), 2);
    EXPECT_EQ(queue.frontId(), 3);
    model.m_clock->m_elapsed = 100.0;
    EXPECT_EQ(queue.advance(model), 3);
    EXPECT_TRUE(queue.isEmpty());

    // An empty queue falls back to idle over 200 ms.
    model.m_clock->m_elapsed = 100.0;
    EXPECT_EQ(queue.advance(model), 0);
    EXPECT_EQ(model.currentPose(), 3) << "halfway through the blend";
    model.m_clock->m_elapsed = 200.0;
    EXPECT_EQ(queue.advance(model), 0);
    EXPECT_EQ(model.currentPose(), 0);

    // A hold time waits, then answers ANIMATION_HOLD without consuming the entry.
    queue.push(1, 100.0);
    queue.m_holdTime = 50.0;
    model.m_clock->m_elapsed = 20.0;
    EXPECT_EQ(queue.advance(model), -1);
    model.m_clock->m_elapsed = 50.0;
    EXPECT_EQ(queue.advance(model), ANIMATION_HOLD);
    EXPECT_EQ(queue.m_holdTime, 0.0);
    EXPECT_EQ(queue.count(), 1);

    ModelObject object;
    auto owned = std::make_unique<TestModel>();
    owned->loadKeyed();
    TestModel* raw = owned.get();
    object.m_model = std::move(owned);
    object.animationQueue().push(2, 100.0);
    object.advanceAnimation();
    EXPECT_EQ(object.m_currentAnimation, 0) << "-1 (still blending) is not stored";
    raw->m_clock->m_elapsed = 100.0;
    object.advanceAnimation();
    EXPECT_EQ(object.m_currentAnimation, 2);
}

TEST(Gravity, FallsNinetyEightASecondAndStopsOnTheGroundOrTheWater) {
    ContextGuard context;
    ModelObject object;
    HandTimer* timer = useHandTimer(object.m_timer);
    object.setPosition(Vector(10.0f, 300.0f, 10.0f)); // far above any ground
    object.m_velocity.y = 5.0f;
    timer->m_elapsed = 500.0;
    object.applyGravity();
    EXPECT_NEAR(object.m_velocity.y, 5.0f - 49.0f, 1e-4f);

    timer->m_elapsed = 16.0;
    object.setPosition(Vector(10.0f, -5.0f, 10.0f));
    object.m_velocity.y = -30.0f;
    object.applyGravity();
    EXPECT_EQ(object.m_velocity.y, 0.0f);
    object.m_velocity.y = 60.0f; // a jump from below keeps its speed
    object.applyGravity();
    EXPECT_EQ(object.m_velocity.y, 60.0f);

    // Low ground (water) west of x = 500, high ground east of it: water holds at 81.
    QRVDataLayer layer;
    layer.markWater([](int x, int) { return x < 500 ? 0 : 200; });
    g_dataLayer = &layer;
    EXPECT_FLOAT_EQ(ModelObject::groundHeight(100.0f, 100.0f), 81.0f);
    EXPECT_FALSE(layer.isWater(900.0f, 100.0f));
    timer->m_elapsed = 20.0;
    object.setPosition(Vector(100.0f, 80.9f, 100.0f)); // just below the water line
    object.m_velocity.y = -15.0f;
    object.applyGravity();
    EXPECT_EQ(object.m_velocity.y, 0.0f) << "the water holds it up, whatever the terrain";
    object.setPosition(Vector(100.0f, 81.5f, 100.0f));
    object.applyGravity();
    EXPECT_LT(object.m_velocity.y, 0.0f) << "above the water it falls";
}

TEST(ModelLoading, FailedLoadShowsTheBoxAndTheObjectStaysAndDrawsNothing) {
    TestGLContext gl;
    ContextGuard context;
    ModelObject object;
    EXPECT_FALSE(object.loadModel("Data/no_such_model.ms3d"));
    ASSERT_EQ(context.m_boxes.size(), 1u);
    EXPECT_EQ(context.m_boxes[0].text, "Couldn't load the model data\\model.ms3d");
    EXPECT_EQ(context.m_boxes[0].title, "Error");
    EXPECT_FALSE(object.model().isLoaded());
    EXPECT_TRUE(object.m_active);
    // Everything the frame does with it still works on the empty model.
    object.update();
    object.advanceAnimation();
    object.reloadTextures();
    object.setShadowPeriod(3);
    EXPECT_EQ(object.model().posedTriangles().size(), 0u);
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    Character enemy;
    enemy.loadModel("Data/no_such_model.ms3d");
    enemy.m_glow = 1.0f;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    enemy.draw();
    object.draw();
    glFinish();
    size_t lit = 0;
    for (uint8_t v : gl.readPixels())
        lit += v != 0;
    EXPECT_EQ(lit, 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(ShadowSlots, LightsArriveNegatedOnlyForIndicesZeroAndOneAndNotForTheBoss) {
    CountingFactory counting;
    ModelObject object;
    object.setShadowLight(10.0f, 20.0f, -30.0f, 300.0f, true, 0);
    EXPECT_EQ(g_lights, 1);
    EXPECT_FLOAT_EQ(g_lastLight[0], -10.0f);
    EXPECT_FLOAT_EQ(g_lastLight[1], -20.0f);
    EXPECT_FLOAT_EQ(g_lastLight[2], 30.0f);
    EXPECT_FLOAT_EQ(g_lastLight[3], 300.0f);
    object.setShadowLight(1.0f, 2.0f, 3.0f, 300.0f, true, 2);
    object.model().setShadowLight(1.0f, 2.0f, 3.0f, 300.0f, true, 2);
    object.model().setShadowLight(1.0f, 2.0f, 3.0f, 300.0f, true, -1);
    EXPECT_EQ(g_lights, 1) << "the object and its model both keep to volumes 0 and 1";
    object.updateShadowCasters();
    EXPECT_EQ(g_volumePlaces, 2);
    EXPECT_EQ(g_volumeDraws, 0) << "the step only places the volumes";
    object.drawShadowCasters();
    EXPECT_EQ(g_volumeDraws, 2);
    object.m_castsShadow = false;
    object.updateShadowCasters();
    object.drawShadowCasters();
    EXPECT_EQ(g_volumePlaces, 2);
    EXPECT_EQ(g_volumeDraws, 2);

    Boss boss; // casts no stencil shadow at all
    boss.setShadowLight(10.0f, 20.0f, 30.0f, 300.0f, true, 0);
    boss.updateShadowCasters();
    boss.drawShadowCasters();
    EXPECT_EQ(g_lights, 1);
    EXPECT_EQ(g_volumePlaces, 2);
    EXPECT_EQ(g_volumeDraws, 2);
}

TEST(CharacterDrawing, ShadowPeriodFollowsWhatIsNeeded) {
    EXPECT_EQ(Character::shadowPeriodFor(false, false), 0);
    TestGLContext gl;
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    Character enemy;
    const struct {
        bool visible, castsShadow;
        int period;
    } cases[] = {{true, false, 60}, {false, true, 30}, {true, true, 1}};
    for (const auto& c : cases) {
        enemy.m_visible = c.visible;
        enemy.m_castsShadow = c.castsShadow;
        enemy.draw();
        EXPECT_EQ(enemy.model().shadowPeriod(), c.period) << c.visible << c.castsShadow;
    }
    enemy.m_active = false;
    enemy.m_castsShadow = false;
    enemy.draw();
    EXPECT_EQ(enemy.model().shadowPeriod(), 1) << "an inactive character is not drawn";
}

TEST(GemCreation, EveryColourIsAFullMixAndNoneIsBlack) {
    // Every draw gives full or empty channels, never black, and all seven mixes come up.
    std::set<int> mixes;
    for (int32_t draw = 0; draw < 70; ++draw) {
        float rgb[3];
        Gem::colourFor(draw, rgb);
        int mix = 0;
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(rgb[c] == 0.0f || rgb[c] == 1.0f);
            mix |= int(rgb[c]) << c;
        }
        EXPECT_NE(mix, 0) << "draw " << draw << " is black";
        mixes.insert(mix);
    }
    EXPECT_EQ(mixes.size(), 7u);
}
