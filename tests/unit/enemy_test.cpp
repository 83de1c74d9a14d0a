// Enemies: the hit rules (invulnerability, body parts, gun colours, freezing), the
// paint that makes them visible, death with its single gem, carrying out the AI's
// decision, the push of a blow, the magician's bolt, and creatures moved by their AI frame
// after frame.
#include "ms3dbuilder.h"

#include "ai/aidecision.h"
#include "ai/qrvflockai.h"
#include "ai/qrvprobabilityai.h"
#include "level/qrvdatalayer.h"
#include "objects/character.h"
#include "objects/gem.h"
#include "objects/magician.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/projectile.h"
#include "objects/projectilelist.h"
#include "platform/random.h"
#include "platform/timer.h"
#include "shell/gamecontext.h"
#include "support/contextguard.h"
#include "support/handtimer.h"
#include "world/collisionworld.h"
#include "world/terrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// A model whose blends always finish at once, so each queue step is taken.
class InstantModel : public Ms3dModel {
public:
    InstantModel() { useSteadyTimer(m_timer, 1.0e6); }
};

// A cube standing on its base, `half` wide each way, on joint 0, so all of its geometry is
// bone-bound.
void giveBoxModel(SkinnedModel& model, float half = 5.0f) {
    Ms3dBuilder b;
    b.joints.push_back(Ms3dBuilder::keyedJoint("body", "", {0, 100}));
    b.addBox(0.0f, half, 0.0f, half, 0, -1);
    std::vector<uint8_t> bytes = b.bytes();
    ModelData data;
    std::string error;
    ASSERT_TRUE(parseMs3d(bytes.data(), bytes.size(), "", data, error)) << error;
    model.adopt(std::move(data), false);
}

int liveTimers() {
    int n = 0;
    for (TimerLink* l = s_timerList; l; l = l->next)
        ++n;
    return n;
}

template <typename T> struct Enemy {
    T object;
    SteadyTimer* clock = nullptr;
    explicit Enemy(int id = 0) {
        object.m_id = id;
        clock = useSteadyTimer(object.m_timer, 0.0);
        object.m_model = std::make_unique<InstantModel>();
    }
    // One frame that lasted `ms`.
    void frame(double ms) {
        clock->m_elapsed = ms;
        object.update();
    }
};

class Enemies : public ContextTest {
protected:
    void SetUp() override {
        layer.m_worldWidth = 1280.0f;
        layer.m_worldDepth = 1280.0f;
        g_dataLayer = &layer;
        addRecord(5, 100);
    }
    void TearDown() override {
        for (int i = 0; i < g_gemCount; ++i)
            delete g_gems[i];
    }
    void addRecord(int id, int life) {
        auto e = std::make_unique<EnemyData>();
        e->id = id;
        e->life = life;
        e->x = 50.0f * static_cast<float>(id); // each in a cell of its own
        layer.worldToCell(e->x, e->z, e->aiX, e->aiZ);
        e->ai = std::make_unique<QRVAI>();
        layer.addEnemy(std::move(e));
        layer.m_enemyCount += 1;
    }
    int lifeOf(int id) { return layer.m_enemyTable.count(id) ? layer.m_enemyTable[id]->life : -1; }

    QRVDataLayer layer;
};

const Vector kNoPush(0.0f, 0.0f, 0.0f);

// The land the walkers are kept on, for one test.
struct TerrainInPlay {
    explicit TerrainInPlay(Terrain* t) { g_terrain = t; }
    ~TerrainInPlay() { g_terrain = nullptr; }
};

} // namespace

TEST_F(Enemies, HitRulesBodyPartsInvulnerabilityAndReactions) {
    Enemy<Character> e(5);
    Character& c = e.object;
    c.onHit(2, WEAPON_BAT, 20, Vector(1.0f, 0.0f, 0.0f)); // the head: 24
    EXPECT_EQ(lifeOf(5), 76);
    EXPECT_EQ(c.animationQueue().frontId(), 9);
    EXPECT_FLOAT_EQ(c.m_knockback.x, 2.0f);
    e.frame(499.0);
    c.m_currentAnimation = 0;
    c.onHit(4, WEAPON_BAT, 20, kNoPush);
    EXPECT_EQ(lifeOf(5), 76) << "a second hit within 500 ms is ignored";
    e.frame(2.0);
    c.m_currentAnimation = 0;
    c.onHit(4, WEAPON_BAT, 20, kNoPush); // a limb: 16
    EXPECT_EQ(lifeOf(5), 60);
    EXPECT_EQ(c.animationQueue().frontId(), 10);
    c.m_invulnerableMs = 0.0;
    c.m_currentAnimation = 0;
    c.onHit(0, WEAPON_GREEN, 7, kNoPush); // a shot with no part: full damage
    EXPECT_EQ(lifeOf(5), 53);
    EXPECT_EQ(c.animationQueue().frontId(), 8);

    // A reacting enemy ignores hits unless frozen.
    c.m_invulnerableMs = 0.0;
    c.m_currentAnimation = 9;
    c.onHit(3, WEAPON_BAT, 10, kNoPush);
    EXPECT_EQ(lifeOf(5), 53);
    c.m_frozen = true;
    c.onHit(3, WEAPON_BAT, 10, kNoPush);
    EXPECT_EQ(lifeOf(5), 45);

    for (auto [anim, reaction] : {std::pair{8, 11}, {11, 12}, {14, 13}, {15, 8}, {-3, 8}})
        EXPECT_EQ(Character::reactionFor(anim), reaction) << anim;
}

TEST_F(Enemies, GunsPaintTheirColourAndShowTheGeometry) {
    Enemy<Character> e(5);
    Character& c = e.object;
    e.frame(1.0);
    EXPECT_FALSE(c.geometryShown()) << "unpainted enemies show only shadow and puff";

    c.onHit(0, WEAPON_RED, 1, kNoPush);
    EXPECT_TRUE(c.geometryShown());
    EXPECT_FLOAT_EQ(c.m_tint[0], 0.3f);
    EXPECT_FLOAT_EQ(c.m_glow, 0.3f);
    EXPECT_EQ(c.animationQueue().count(), 4) << "reaction, 14, 15 and a hold";
    EXPECT_EQ(c.animationQueue().backId(), ANIMATION_HOLD);
    EXPECT_FALSE(c.m_frozen);
    c.m_invulnerableMs = 0.0;
    c.onHit(0, WEAPON_GREEN, 1, kNoPush);
    EXPECT_FLOAT_EQ(c.m_tint[1], 0.3f);
    c.m_invulnerableMs = 0.0;
    c.onHit(0, WEAPON_BLUE, 1, kNoPush);
    EXPECT_FLOAT_EQ(c.m_tint[2], 0.4f);
    EXPECT_FLOAT_EQ(c.m_glow, 0.4f); // the strongest channel
    EXPECT_TRUE(c.m_frozen);

    for (int i = 0; i < 10; ++i) {
        c.m_invulnerableMs = 0.0;
        c.onHit(0, WEAPON_RED, 1, kNoPush);
    }
    EXPECT_FLOAT_EQ(c.m_tint[0], 2.0f) << "paint is capped";
    EXPECT_FLOAT_EQ(c.m_glow, 2.0f);
}

TEST_F(Enemies, PaintFadesAndAGreenHitShowsTheBodyForAbout300Updates) {
    Enemy<Character> faded;
    faded.object.m_tint[0] = 0.9f;
    faded.object.m_glow = 0.9f;
    faded.frame(1.0);
    EXPECT_TRUE(faded.object.model().outline());
    for (int i = 0; i < 100; ++i)
        faded.frame(1.0);
    EXPECT_NEAR(faded.object.m_tint[0], 0.8f, 0.002f);
    EXPECT_FALSE(faded.object.model().outline()) << "the outline goes at 0.8";

    Enemy<Character> e(5);
    Character& c = e.object;
    c.onHit(0, WEAPON_GREEN, 1, kNoPush);
    int shown = 0;
    for (int i = 0; i < 400; ++i) {
        e.frame(1.0);
        shown += c.geometryShown() ? 1 : 0;
    }
    EXPECT_GE(shown, 295);
    EXPECT_LE(shown, 305);
    EXPECT_FALSE(c.geometryShown());
    EXPECT_EQ(c.m_glow, 0.0f);
    c.m_shown = true; // a newcomer's first creatures are seen with the paint gone
    e.frame(1.0);
    EXPECT_TRUE(c.geometryShown());
}

// One gun hit shows the body in the gun's full colour and nearly solid (it was a faint dark
// film, lost against the grass), see-through only as the paint wears off; a dying creature
// shows its body, painted or not, as it falls.
// Whether a paint drawn unlit stands out against lit ground: plainly lighter or darker, or
// a strong colour of another hue (a grey ground, such as snow, has none).
bool standsOut(const float paint[3], const float ground[3]) {
    auto luma = [](const float* c) { return 0.299f * c[0] + 0.587f * c[1] + 0.114f * c[2]; };
    auto chroma = [](const float* c) {
        return std::max({c[0], c[1], c[2]}) - std::min({c[0], c[1], c[2]});
    };
    auto hue = [&](const float* c) {
        const float top = std::max({c[0], c[1], c[2]}), span = chroma(c);
        float h = top == c[0]   ? (c[1] - c[2]) / span
                  : top == c[1] ? 2.0f + (c[2] - c[0]) / span
                                : 4.0f + (c[0] - c[1]) / span;
        return std::fmod(h * 60.0f + 360.0f, 360.0f);
    };
    if (std::fabs(luma(paint) - luma(ground)) >= 0.25f)
        return true;
    if (chroma(paint) < 0.5f)
        return false;
    if (chroma(ground) < 0.1f)
        return true;
    const float gap = std::fabs(hue(paint) - hue(ground));
    return std::min(gap, 360.0f - gap) >= 50.0f;
}

TEST_F(Enemies, PaintShowsPlainlyAndADeathShowsTheBody) {
    // Each gun's paint, one hit's worth, is its own colour (the strongest channel its gun's),
    // nearly opaque, and stands out against the grass, the lush meadow, the forest and snow.
    // The green gun's pure green was lost in the grass.
    const float grounds[4][3] = {{88.0f / 255, 140.0f / 255, 58.0f / 255},
                                 {110.0f / 255, 160.0f / 255, 64.0f / 255},
                                 {48.0f / 255, 92.0f / 255, 40.0f / 255},
                                 {224.0f / 255, 224.0f / 255, 218.0f / 255}};
    float rgba[4];
    for (int gun = 0; gun < 3; ++gun) {
        float tint[3] = {0.0f, 0.0f, 0.0f};
        tint[gun] = 0.3f;
        Character::paintColour(tint, 0.3f, false, rgba);
        EXPECT_FLOAT_EQ(rgba[gun], 1.0f) << "gun " << gun;
        for (int c = 0; c < 3; ++c) {
            if (c != gun) {
                EXPECT_LE(rgba[c], 0.6f) << "gun " << gun << " channel " << c;
            }
        }
        EXPECT_GE(rgba[3], 0.85f);
        for (const float* ground : grounds)
            EXPECT_TRUE(standsOut(rgba, ground)) << "gun " << gun << " against (" << ground[0]
                                                 << ", " << ground[1] << ", " << ground[2] << ")";
    }
    // Two paints mix; a fading coat turns see-through.
    const float fading[3] = {0.1f, 0.1f, 0.0f};
    Character::paintColour(fading, 0.1f, false, rgba);
    EXPECT_FLOAT_EQ(rgba[0], 1.0f);
    EXPECT_GT(rgba[1], 0.6f);
    EXPECT_LT(rgba[3], 0.5f);
    const float none[3] = {0.0f, 0.0f, 0.0f};
    Character::paintColour(none, 0.0f, false, rgba);
    EXPECT_EQ(rgba[3], 0.0f);
    Character::paintColour(none, 0.0f, true, rgba);
    EXPECT_EQ(rgba[0] + rgba[1] + rgba[2] + rgba[3], 4.0f) << "unpainted: its own colours";

    Enemy<Character> e(5);
    e.frame(1.0);
    ASSERT_FALSE(e.object.geometryShown());
    e.object.onHit(2, WEAPON_BAT, 200, kNoPush); // a bat kill: never painted
    ASSERT_TRUE(e.object.m_dying);
    EXPECT_TRUE(e.object.geometryShown());
}

// The mountains beyond the land's border are only drawn: an enemy walking for a point out
// there and a step in pieces (the hero's walk, a blow's push) stop at the border, steady from
// frame to frame, and slide along it.
TEST_F(Enemies, WalkersStopAtTheLandsBorderAndSlideAlongIt) {
    Terrain land;
    const TerrainInPlay scope(&land);
    const float edge = float(Terrain::MAP_SIZE) - LAND_WALK_MARGIN;
    Enemy<Character> e(5);
    Character& c = e.object;
    c.m_position = Vector(edge - 6.0f, 0.0f, 1000.0f);
    AIDecision& d = layer.m_enemyTable[5]->decision;
    d.m_action = ACTION_WALK;
    d.m_waypoint = d.m_target = Vector(2300.0f, 0.0f, 1150.0f);
    float lastZ = c.m_position.z;
    for (int i = 0; i < 20; ++i) {
        e.frame(100.0);
        ASSERT_LE(c.m_position.x, edge) << "frame " << i;
        EXPECT_GE(c.m_position.z, lastZ) << "frame " << i;
        lastZ = c.m_position.z;
    }
    EXPECT_FLOAT_EQ(c.m_position.x, edge);
    EXPECT_GT(c.m_position.z, 1010.0f) << "stuck instead of sliding along the border";

    c.m_position = Vector(30.0f, 0.0f, 40.0f);
    walkAgainstWalls(c, Vector(-100.0f, 0.0f, -5.0f));
    EXPECT_FLOAT_EQ(c.m_position.x, LAND_WALK_MARGIN);
    EXPECT_NEAR(c.m_position.z, 35.0f, 1e-3f);
    walkAgainstWalls(c, Vector(-100.0f, 0.0f, -100.0f));
    EXPECT_FLOAT_EQ(c.m_position.x, LAND_WALK_MARGIN);
    EXPECT_FLOAT_EQ(c.m_position.z, LAND_WALK_MARGIN);
}

// Water is drawn over what wades in it: creatures stop on the shore and slide along it, a
// creature already in the water walks out.
TEST_F(Enemies, CreaturesKeepOutOfTheWater) {
    Terrain land;
    const TerrainInPlay scope(&land);
    for (int z = 0; z < 1280; ++z)
        for (int x = 0; x < 1280; ++x)
            land.setHeight(x, z, x >= 500 && x < 600 ? 60 : 110); // a river from 500 to 600
    Enemy<Character> e(5);
    Character& c = e.object;
    AIDecision& d = layer.m_enemyTable[5]->decision;
    d.m_action = ACTION_WALK;
    c.m_position = Vector(480.0f, 110.0f, 1000.0f);
    d.m_waypoint = d.m_target = Vector(700.0f, 0.0f, 900.0f);
    for (int i = 0; i < 40; ++i) {
        e.frame(100.0);
        ASSERT_LT(c.m_position.x, 500.0f) << "frame " << i;
    }
    EXPECT_LT(c.m_position.z, 990.0f) << "stuck instead of sliding along the shore";

    c.m_position = Vector(550.0f, 81.0f, 1000.0f); // pushed in by a blow
    for (int i = 0; i < 40; ++i)
        e.frame(100.0);
    EXPECT_GE(c.m_position.x, 600.0f) << "held in the water";
}

TEST_F(Enemies, TheBlueGunFreezesForFiveSeconds) {
    Enemy<Character> e(5);
    Character& c = e.object;
    AIDecision walk;
    walk.m_action = ACTION_WALK;
    walk.m_waypoint = Vector(500.0f, 0.0f, 0.0f);
    walk.m_target = walk.m_waypoint;
    g_dataLayer = nullptr; // hand the decision in directly
    c.m_decision = &walk;
    c.onHit(0, WEAPON_BLUE, 1, kNoPush);
    ASSERT_TRUE(c.m_frozen);
    const float heading = c.m_heading;
    for (int i = 0; i < 49; ++i)
        e.frame(100.0);
    EXPECT_TRUE(c.m_frozen);
    EXPECT_EQ(c.m_frozenMs, 100);
    EXPECT_FLOAT_EQ(c.m_position.x, 0.0f) << "a frozen enemy does not walk";
    EXPECT_FLOAT_EQ(c.m_heading, heading) << "nor turn";
    e.frame(100.0);
    e.frame(100.0);
    EXPECT_FALSE(c.m_frozen);
    EXPECT_EQ(c.m_frozenMs, CHARACTER_FROZEN_MS);
}

TEST_F(Enemies, DeathHappensOnceAndItsGemLiesInSightOutOfReachUntilWalkedOnto) {
    addRecord(6, 10);
    Enemy<Character> e(6);
    Character& c = e.object;
    Player hero;
    g_hero = &hero;
    // Struck down in mid-jump by a bat blow from 5 away.
    c.setPosition(Vector(40.0f, 16.0f, 60.0f));
    hero.setPosition(Vector(35.0f, 0.0f, 60.0f));
    const int enemiesBefore = layer.m_enemyCount;
    c.onHit(3, WEAPON_BAT, 20, kNoPush);
    EXPECT_TRUE(c.m_dying);
    EXPECT_EQ(layer.m_enemyTable.count(6), 0u);
    EXPECT_EQ(layer.m_enemyCount, enemiesBefore - 1);
    EXPECT_EQ(g_gemCount, 0) << "no gem before the body lies";

    c.m_invulnerableMs = 0.0;
    c.m_currentAnimation = 0;
    c.onHit(3, WEAPON_RED, 50, kNoPush);
    EXPECT_EQ(layer.m_enemyCount, enemiesBefore - 1) << "a dying enemy takes no more hits";

    // The death plays out: 14, 15, then the enemy switches off and its one gem appears.
    for (int i = 0; i < 5 && c.m_active; ++i)
        e.frame(10.0);
    EXPECT_FALSE(c.m_active);
    EXPECT_TRUE(c.m_effect->m_noEmit);
    e.frame(10.0); // an inactive enemy is left alone
    EXPECT_FALSE(c.m_active);
    ASSERT_EQ(g_gemCount, 1);
    const Vector gem = g_gems[0]->getPosition();
    EXPECT_FLOAT_EQ(gem.x, 35.0f + GEM_CLEAR_OF_HERO) << "beyond the body, out of reach";
    EXPECT_FLOAT_EQ(gem.z, 60.0f);
    EXPECT_FLOAT_EQ(gem.y, 0.0f) << "on the ground, not in the air";
    EXPECT_FALSE(collectGems()) << "the hero standing where he struck does not take it";
    hero.setPosition(gem);
    EXPECT_TRUE(collectGems()) << "walking onto it does";
    g_hero = nullptr;

    // Far from the hero, the gem lies where the body fell.
    EXPECT_FLOAT_EQ(gemRestingPlace(Vector(40.0f, 0.0f, 60.0f), Vector(40.0f, 0.0f, 90.0f)).z,
                    60.0f);
}

TEST_F(Enemies, TheDecisionIsCarriedOut) {
    Enemy<Character> e(5);
    Character& c = e.object;
    AIDecision& d = layer.m_enemyTable[5]->decision;

    d.m_action = ACTION_WALK;
    d.m_waypoint = Vector(100.0f, 0.0f, 0.0f);
    d.m_target = Vector(100.0f, 0.0f, 0.0f);
    e.frame(1000.0);
    EXPECT_NEAR(c.m_position.x, 20.0f, 0.01f) << "20 units a second";
    EXPECT_NEAR(c.m_position.z, 0.0f, 0.01f);

    c.m_currentAnimation = 0;
    c.animationQueue().clear();
    d.m_action = ACTION_STAND;
    e.frame(1000.0);
    EXPECT_NEAR(c.m_position.x, 20.0f, 0.01f);
    EXPECT_EQ(c.m_currentAnimation, 0);

    d.m_action = ACTION_JUMP;
    e.frame(1.0);
    EXPECT_FLOAT_EQ(c.m_velocity.y, 70.0f);

    c.m_position.y = 0.0f;
    c.m_velocity.y = 0.0f;
    c.m_currentAnimation = 0;
    d.m_action = ACTION_ATTACK;
    e.frame(1.0);
    EXPECT_EQ(c.m_currentAnimation, 5) << "the first attack pose was taken";
    EXPECT_EQ(c.animationQueue().frontId(), 6);
    EXPECT_EQ(c.animationQueue().backId(), 7);

    // A decision taken before the pose has caught up with a hit does not wipe the reaction:
    // a red shot still knocks the enemy down when the AI says jump in the same moment.
    c.m_currentAnimation = ENEMY_WALK_RIGHT;
    c.animationQueue().clear();
    c.m_invulnerableMs = 0.0;
    layer.m_enemyTable[5]->life = 100;
    c.onHit(0, WEAPON_RED, 10, Vector(1.0f, 0.0f, 0.0f));
    d.m_action = ACTION_JUMP;
    bool knelt = false;
    for (int i = 0; i < 20 && !knelt; ++i) {
        e.frame(50.0);
        knelt = c.m_currentAnimation == ENEMY_KNEEL;
        ASSERT_NE(c.m_velocity.y, 70.0f) << "frame " << i << ": it jumped out of the hit";
    }
    EXPECT_TRUE(knelt) << "the knock-down was wiped";

    // A record gone from the table leaves the character with no decision, not a stale one.
    layer.removeEnemy(5);
    c.m_currentAnimation = 0;
    e.frame(1.0);
    EXPECT_EQ(c.m_decision, nullptr);
}

// How far one blow along +x slides an enemy that stands, and how long its knockback lasts (to
// the end of the frame that spends the last of it), at a steady `fps`; `inWorld`, alone in a
// collision world, whose test runs before each update as in the play frame.
struct Slide {
    float distance = 0.0f;
    double ms = 0.0;
};
Slide slide(double fps, float blow, bool inWorld) {
    CollisionWorld world;
    g_collisionWorld = inWorld ? &world : nullptr;
    Enemy<Character> e(-1); // no record, so no decision: it stands
    Character& c = e.object;
    giveBoxModel(c.model(), 2.0f);
    EXPECT_TRUE(world.addObject(&c, COLLISION_MOVING));
    const double ms = 1000.0 / fps;
    auto frame = [&] {
        if (inWorld)
            world.testObjects();
        e.frame(ms);
    };
    for (int i = 0; i < int(fps / 5.0); ++i)
        frame();
    const float start = c.m_position.x;
    c.onHit(0, WEAPON_BAT, 0, Vector(blow, 0.0f, 0.0f));
    Slide s;
    while (!c.m_knockback.isZero() && s.ms < 10000.0) {
        frame();
        s.ms += ms;
    }
    for (int i = 0; i < int(fps); ++i)
        frame(); // it stays where the push ended
    s.distance = c.m_position.x - start;
    g_collisionWorld = nullptr;
    return s;
}

// Counted in frames, a red shot's blow slid an enemy in the world 33 units for 233 ms at 60
// frames a second, for 1400 ms at 10 and 97 ms at 144; outside it, 106 units for 700 ms at 60
// and 4200 ms at 10. The durations below are measured to the end of a frame.
TEST_F(Enemies, OneBlowPushesAsFarForAsLongAtTenToAHundredFortyFourFramesASecond) {
    for (bool inWorld : {false, true}) {
        for (float blow : {1.0f, 3.0f}) { // the bat's, a red shot's
            const Slide usual = slide(60.0, blow, inWorld);
            const float before =
                inWorld ? (blow > 1.0f ? 33.09f : 8.27f) : (blow > 1.0f ? 106.08f : 26.38f);
            EXPECT_NEAR(usual.distance, before, 0.03f * before) << "about as before";
            for (double fps : {10.0, 144.0}) {
                const Slide s = slide(fps, blow, inWorld);
                EXPECT_NEAR(s.distance, usual.distance, 0.05f * usual.distance)
                    << blow << " at " << fps << " fps, in the world " << inWorld;
                EXPECT_NEAR(s.ms, usual.ms, 0.05 * usual.ms + 1000.0 / fps)
                    << blow << " at " << fps << " fps, in the world " << inWorld;
            }
        }
    }
}

// A red shot's blow towards a hut at 10 frames a second is walked in wall-checked pieces (it
// drove the enemy 3.4 units into the wall in one frame; spent by time, about 20).
TEST_F(Enemies, AtTenFramesASecondABlowDoesNotDriveAnEnemyIntoAHut) {
    CollisionWorld world;
    g_collisionWorld = &world;
    ModelObject hut; // a closed hut 24 wide, its near wall at x = 588
    giveBoxModel(hut.model(), 12.0f);
    hut.setPosition(Vector(600.0f, -4.0f, 500.0f));
    ASSERT_TRUE(world.addObject(&hut, COLLISION_STATIC));
    Enemy<Character> e(-1);
    Character& c = e.object;
    giveBoxModel(c.model(), 2.0f);
    ASSERT_TRUE(world.addObject(&c, COLLISION_MOVING));
    c.setPosition(Vector(584.0f, 0.0f, 500.0f)); // 2 short of the wall
    auto frame = [&] {
        world.testObjects();
        e.frame(100.0);
    };
    for (int i = 0; i < 5; ++i)
        frame();
    c.onHit(0, WEAPON_BAT, 0, Vector(3.0f, 0.0f, 0.0f));
    float deepest = 0.0f;
    for (int i = 0; i < 20; ++i) {
        frame();
        deepest = std::max(deepest, c.getPosition().x + 2.0f - 588.0f);
    }
    EXPECT_LE(deepest, MAX_WALK_STEP + 0.5f);
    EXPECT_LT(c.getPosition().x, 584.0f) << "the wall pushed it back out";
}

TEST_F(Enemies, AMagicianCastsOneBoltAtTheEndOfItsAttackAndNoneIntoAFullList) {
    ProjectileList list;
    g_projectiles = &list;
    Enemy<Magician> e(5);
    Magician& m = e.object;
    layer.m_player.x = 100.0f;
    AIDecision& d = layer.m_enemyTable[5]->decision;
    d.m_action = ACTION_ATTACK;
    d.m_target = Vector(100.0f, 0.0f, 0.0f);
    e.frame(1.0);
    EXPECT_EQ(m.animationQueue().frontId(), 6);
    d.m_action = ACTION_WALK;
    for (int i = 0; i < 4; ++i)
        e.frame(1.0);
    EXPECT_EQ(m.m_boltsCast, 1);
    ASSERT_EQ(list.count(), 1);
    Projectile& bolt = *list.head()->m_projectile;
    EXPECT_EQ(bolt.m_kind, PROJECTILE_HOSTILE);
    EXPECT_EQ(bolt.m_damage, MAGICIAN_BOLT_DAMAGE);
    EXPECT_EQ(bolt.m_owner, &m);
    EXPECT_TRUE(bolt.isFlying());
    EXPECT_FLOAT_EQ(bolt.m_position.y, 30.0f);
    EXPECT_GT(bolt.m_direction.x, 0.9f);

    while (list.count() < PROJECTILE_LIST_CAPACITY)
        ASSERT_TRUE(list.add(new Bolt()));
    const int timers = liveTimers();
    EXPECT_FALSE(m.castBolt());
    EXPECT_EQ(list.count(), PROJECTILE_LIST_CAPACITY);
    EXPECT_EQ(liveTimers(), timers) << "the refused bolt (and its timer) is gone";
    g_projectiles = nullptr;
    EXPECT_FALSE(m.castBolt()) << "no list, no bolt";
}

namespace {

// Creatures in play on a world of the level's size (16 units a cell): each frame the AI steps
// on the positions of the frame before, then every creature's record takes its position and
// the creature carries out its decision, as the play frame does.
class Skirmish : public ContextTest {
protected:
    void SetUp() override {
        layer.m_worldWidth = 2048.0f;
        layer.m_worldDepth = 2048.0f;
        layer.m_flockAI = std::make_unique<QRVFlockAI>();
        g_dataLayer = &layer;
        gameSrand(17);
    }
    EnemyData& add(int id, float x, float z, int speed, std::unique_ptr<QRVAI> ai) {
        auto e = std::make_unique<EnemyData>();
        e->id = id;
        e->life = 100;
        e->x = x;
        e->z = z;
        layer.worldToCell(x, z, e->aiX, e->aiZ);
        e->decision.m_waypointCell = layer.worldToCellF(x, z);
        e->decision.m_waypoint = Vector(x, 0.0f, z);
        e->decision.m_target = Vector(x, 0.0f, z);
        e->ai = std::move(ai);
        EnemyData& record = *e;
        layer.addEnemy(std::move(e));
        auto creature = std::make_unique<Enemy<Character>>(id);
        creature->object.setPosition(Vector(x, 0.0f, z));
        creature->object.m_speed = float(speed);
        creatures.push_back(std::move(creature));
        return record;
    }
    void hero(float x, float z) { layer.movePlayer(x, z); }
    // Takes every creature and its record off the field.
    void clearField() {
        for (auto& c : creatures)
            layer.removeEnemy(c->object.m_id);
        creatures.clear();
    }
    Character& creature(size_t i) { return creatures[i]->object; }
    // One play frame lasting `ms`.
    void frame(double ms) {
        layer.updateEnemyAI();
        layer.m_flockAI->update(&layer);
        for (auto& c : creatures) {
            const Vector p = c->object.getPosition();
            layer.moveObject(c->object.m_id, KIND_ENEMY, p.x, p.z);
            c->frame(ms);
        }
    }
    static float flatDistance(const Vector& a, const Vector& b) {
        return std::hypot(a.x - b.x, a.z - b.z);
    }

    QRVDataLayer layer;
    std::vector<std::unique_ptr<Enemy<Character>>> creatures;
};

// Four hunters come at the hero from four sides. Each ends near him on its own side, within a
// blow's reach, and stands there: no shared corner, no shuffling to and fro.
TEST_F(Skirmish, HuntersCloseInOnTheHeroFromTheirOwnSidesAndStandThere) {
    for (double ms : {1000.0 / 60.0, 1000.0 / 144.0}) {
        SCOPED_TRACE(ms);
        clearField();
        const Vector heroAt(1015.5f, 0.0f, 1012.3f);
        hero(heroAt.x, heroAt.z);
        const float from[4][2] = {{-150, 0}, {150, 0}, {0, -150}, {0, 150}};
        for (int i = 0; i < 4; ++i) {
            auto ai = std::make_unique<QRVProbabilityAI>();
            ai->m_behaviour = BEHAVIOUR_APPROACH; // approaching all the time
            ai->m_decisionTimer = 1 << 30;
            add(i, heroAt.x + from[i][0], heroAt.z + from[i][1], 24, std::move(ai));
        }
        std::vector<Vector> last(4), step(4);
        std::vector<int> reversals(4, 0);
        const int frames = int(20000.0 / ms); // 20 s
        for (int f = 0; f < frames; ++f) {
            for (size_t i = 0; i < 4; ++i)
                last[i] = creature(i).getPosition();
            frame(ms);
            for (size_t i = 0; i < 4; ++i) {
                Vector moved = creature(i).getPosition() - last[i];
                moved.y = 0.0f;
                if (moved.length() < 1e-4f)
                    continue;
                if (moved.dot(step[i]) < 0.0f)
                    ++reversals[i];
                step[i] = moved;
            }
        }
        for (size_t i = 0; i < 4; ++i) {
            const Vector at = creature(i).getPosition();
            EXPECT_LE(flatDistance(at, heroAt), HUNT_STANDOFF + 1.0f) << "hunter " << i;
            EXPECT_GE(flatDistance(at, heroAt), HUNT_STANDOFF - 1.0f) << "hunter " << i;
            EXPECT_LE(reversals[i], 4) << "hunter " << i << " shuffles";
            for (size_t j = 0; j < i; ++j)
                EXPECT_GT(flatDistance(at, creature(j).getPosition()), 3.0f)
                    << "hunters " << j << " and " << i << " share a spot";
        }
    }
}

} // namespace
