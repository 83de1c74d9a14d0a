// The people's everyday poses, read through the game's own model code: standing and walking
// keep the arms down by the sides (never held out like a T), a walk swings arms and legs,
// and the shadow a posed model casts is built from the pose it is drawn in.
#include "models/ms3dmodel.h"
#include "objects/poses.h"
#include "world/shadowvolume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The combat numbering every person shares: the torso is joint 1, the hands 4 (right) and
// 5 (left), the lower legs and feet 7 (right) and 8 (left; the hero's bat instead).
constexpr int kTorso = 1, kRightHand = 4, kLeftHand = 5, kRightFoot = 7;

class GeneratedPoses : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(fs::path(TARVO_GAME_DIR) / "Data/tarvo.ms3d"))
            GTEST_SKIP() << "no generated models in " << TARVO_GAME_DIR;
        ASSERT_EQ(chdir(TARVO_GAME_DIR), 0);
    }
};

struct Span {
    float lo = 1e9f, hi = -1e9f;
    void add(float v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
};

// The mean posed position of the vertices one joint carries.
Vector jointCentre(const Ms3dModel& m, int joint) {
    Vector sum(0, 0, 0);
    int n = 0;
    for (int32_t i = 0; i < m.m_vertexCount; ++i)
        if (m.m_vertices[size_t(i)].m_boneId == joint) {
            sum = sum + m.posedVertex(i);
            ++n;
        }
    return n ? sum / float(n) : sum;
}

float height(const Ms3dModel& m) {
    Span y;
    for (int32_t i = 0; i < m.m_vertexCount; ++i)
        y.add(m.posedVertex(i).y);
    return y.hi - y.lo;
}

// Poses the model at once (through another pose, since asking for the current one moves
// nothing).
void pose(Ms3dModel& m, int p) {
    if (m.currentPose() == p)
        m.blendToPose(p == 0 ? 1 : 0, 0.0);
    ASSERT_TRUE(m.blendToPose(p, 0.0));
}

} // namespace

TEST_F(GeneratedPoses, StandingAndWalkingKeepTheArmsDownAndTheWalkSwingsArmsAndLegs) {
    struct Person {
        const char* file;
        bool batInRightHand;
    };
    for (const Person& person :
         {Person{"Data/tarvo.ms3d", true}, Person{"Data/enemy.ms3d", false},
          Person{"Data/magician.ms3d", false}, Person{"Data/rarozare.ms3d", false},
          Person{"Data/virav.ms3d", false}, Person{"Data/verozi.ms3d", false}}) {
        SCOPED_TRACE(person.file);
        Ms3dModel m;
        ASSERT_TRUE(m.loadModel(person.file));
        const float tall = height(m);
        Span torso; // the body's half width, arms aside
        for (int32_t i = 0; i < m.m_vertexCount; ++i)
            if (m.m_vertices[size_t(i)].m_boneId == kTorso)
                torso.add(std::fabs(m.posedVertex(i).z));
        // Standing (0) and both walk steps (1, 2): hands below the chest and close to the
        // body's sides. Arms held out sideways put them at shoulder height, far out.
        for (int p : {0, 1, 2}) {
            pose(m, p);
            for (int hand : {kRightHand, kLeftHand}) {
                if (hand == kRightHand && person.batInRightHand)
                    continue; // the hero carries his bat on the shoulder
                const Vector c = jointCentre(m, hand);
                EXPECT_LT(c.y, tall * 0.62f) << "pose " << p << " hand " << hand << " raised";
                EXPECT_LT(std::fabs(c.z), torso.hi + tall * 0.12f)
                    << "pose " << p << " hand " << hand << " held out sideways";
            }
        }
        // Walking: from one step to the other the left hand swings fore and aft and the
        // right foot moves the other way.
        pose(m, 1);
        const Vector hand1 = jointCentre(m, kLeftHand), foot1 = jointCentre(m, kRightFoot);
        pose(m, 2);
        const Vector hand2 = jointCentre(m, kLeftHand), foot2 = jointCentre(m, kRightFoot);
        EXPECT_GT(std::fabs(hand1.x - hand2.x), tall * 0.08f) << "the arms do not swing";
        EXPECT_GT(std::fabs(foot1.x - foot2.x), tall * 0.1f) << "the legs do not stride";
        EXPECT_GT((hand1.x - hand2.x) * (foot1.x - foot2.x), 0.0f)
            << "the left arm swings with the left leg instead of against it";
    }
}

TEST_F(GeneratedPoses, EachKindsPoseNamesMatchItsModels) {
    // The game asks for poses by name; each name must be the pose the model holds there.
    struct Kind {
        const char* file;
        int32_t count; // the kind's number of poses
        int32_t lying; // a pose in which the figure lies on the ground (-1: none)
    };
    for (const Kind& kind :
         {Kind{"Data/tarvo.ms3d", HERO_POSE_COUNT, HERO_DOWN},
          Kind{"Data/enemy.ms3d", ENEMY_POSE_COUNT, ENEMY_LYING},
          Kind{"Data/magician.ms3d", ENEMY_POSE_COUNT, ENEMY_LYING},
          Kind{"Data/boss.ms3d", BOSS_POSE_COUNT, BOSS_POSE_LYING},
          Kind{"Data/rarozare.ms3d", VILLAGER_POSE_COUNT, -1},
          Kind{"Data/verozi.ms3d", VILLAGER_POSE_COUNT, -1},
          Kind{"Data/virav.ms3d", VILLAGER_POSE_COUNT, -1},
          Kind{"Data/tarvo_moviestar.ms3d", ACTOR_HERO_POSE_COUNT, ACTOR_HERO_ASLEEP},
          Kind{"Data/doduda_moviestar.ms3d", ACTOR_DODUDA_POSE_COUNT, -1}}) {
        SCOPED_TRACE(kind.file);
        Ms3dModel m;
        ASSERT_TRUE(m.loadModel(kind.file));
        EXPECT_EQ(m.poseCount(), kind.count);
        pose(m, 0);
        const float standing = jointCentre(m, kTorso).y;
        if (kind.lying >= 0) {
            pose(m, kind.lying);
            EXPECT_LT(jointCentre(m, kTorso).y, standing * 0.5f)
                << "pose " << kind.lying << " is not lying";
        }
    }
    // The hero's roll turns him over and his wading sinks him a little.
    Ms3dModel hero;
    ASSERT_TRUE(hero.loadModel("Data/tarvo.ms3d"));
    pose(hero, HERO_WALK_RIGHT);
    const float walking = jointCentre(hero, kTorso).y;
    pose(hero, HERO_WADE_RIGHT);
    EXPECT_LT(jointCentre(hero, kTorso).y, walking);
    pose(hero, HERO_ROLL_TWO_THIRDS);
    EXPECT_LT(jointCentre(hero, kTorso).y, walking * 0.7f);
}

TEST_F(GeneratedPoses, TheShadowIsBuiltFromThePoseTheModelIsDrawnIn) {
    // The hero under the noon sun: the outline the volume extrudes must span exactly what
    // the posed body spans, pose after pose (from straight above, a body's outermost points
    // always lie on its outline); a shadow made from the bind pose, an earlier pose or the
    // unskinned mesh would keep its old span.
    SetDefaultShadowBuilderFactory(CreateShadowVolume); // as the game's start-up does
    SetShadowBuilderFactory(nullptr);
    Ms3dModel m;
    ASSERT_TRUE(m.loadModel("Data/tarvo.ms3d"));
    m.setShadowPeriod(1);
    m.setShadowLight(0.0f, -1000.0f, 0.0f, 4000.0f, true, 0); // the light negated
    auto& volume = dynamic_cast<ShadowVolume&>(m.shadowVolume(0));
    Span previousZ;
    for (int p : {0, 6, 13, 17, 1, 26}) {
        SCOPED_TRACE("pose " + std::to_string(p));
        pose(m, p);
        m.feedShadows();
        ASSERT_GT(volume.edgeCount(), 0);
        Span edgeX, edgeZ, bodyX, bodyZ;
        for (int32_t i = 0; i < volume.edgeCount(); ++i)
            for (const float* point : volume.edge(i).m_points) {
                edgeX.add(point[0]);
                edgeZ.add(point[2]);
            }
        for (int32_t i = 0; i < m.m_vertexCount; ++i) {
            const Vector v = m.posedVertex(i);
            bodyX.add(v.x);
            bodyZ.add(v.z);
        }
        EXPECT_NEAR(edgeZ.lo, bodyZ.lo, 0.01f);
        EXPECT_NEAR(edgeZ.hi, bodyZ.hi, 0.01f);
        EXPECT_NEAR(edgeX.lo, bodyX.lo, 0.01f);
        EXPECT_NEAR(edgeX.hi, bodyX.hi, 0.01f);
        EXPECT_TRUE(edgeZ.lo != previousZ.lo || edgeZ.hi != previousZ.hi)
            << "the shadow kept the previous pose's outline";
        previousZ = edgeZ;
    }
}
