// Enemies: the hit rules (invulnerability, body parts, gun colours, freezing), the
// paint that makes them visible, death with its single gem, carrying out the AI's
// decision, and the magician's bolt.
#include "ms3dbuilder.h"

#include "ai/aidecision.h"
#include "level/qrvdatalayer.h"
#include "objects/character.h"
#include "objects/gem.h"
#include "objects/magician.h"
#include "objects/particleeffect.h"
#include "objects/projectile.h"
#include "objects/projectilelist.h"
#include "platform/timer.h"
#include "shell/gamecontext.h"
#include "support/contextguard.h"
#include "support/glcontext.h"
#include "support/handtimer.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A model whose blends always finish at once, so each queue step is taken.
class InstantModel : public Ms3dModel {
public:
    InstantModel() { useSteadyTimer(m_timer, 1.0e6); }
};

// A cube on joint 0, so all of its geometry is bone-bound.
void giveBoxModel(SkinnedModel& model) {
    Ms3dBuilder b;
    b.joints.push_back(Ms3dBuilder::keyedJoint("body", "", {0, 100}));
    b.addBox(0.0f, 5.0f, 0.0f, 5.0f, 0, -1);
    std::vector<uint8_t> bytes = b.bytes();
    ModelData data;
    std::string error;
    ASSERT_TRUE(parseMs3d(bytes.data(), bytes.size(), "", data, error)) << error;
    model.adopt(std::move(data), false);
}

// Lit pixels after drawing the character alone on black.
size_t litPixels(TestGLContext& gl, Character& c) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-20.0, 20.0, -10.0, 30.0, -100.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    c.m_effect->resetAll(); // only the body, not the puff
    c.draw();
    glFinish();
    size_t lit = 0;
    for (uint8_t v : gl.readPixels())
        lit += v != 0;
    return lit;
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

TEST_F(Enemies, DeathHappensOnceAndDropsOneGem) {
    addRecord(6, 10);
    Enemy<Character> e(6);
    Character& c = e.object;
    // Struck down in mid-jump: the gem still lands where the hero can pick it up.
    c.setPosition(Vector(40.0f, 16.0f, 60.0f));
    const int enemiesBefore = layer.m_enemyCount;
    c.onHit(3, WEAPON_BAT, 20, kNoPush);
    EXPECT_TRUE(c.m_dying);
    EXPECT_EQ(layer.m_enemyTable.count(6), 0u);
    EXPECT_EQ(layer.m_enemyCount, enemiesBefore - 1);
    ASSERT_EQ(g_gemCount, 1);
    EXPECT_FLOAT_EQ(g_gems[0]->getPosition().x, 40.0f);
    EXPECT_FLOAT_EQ(g_gems[0]->getPosition().y, 0.0f) << "on the ground, not in the air";

    c.m_invulnerableMs = 0.0;
    c.m_currentAnimation = 0;
    c.onHit(3, WEAPON_RED, 50, kNoPush);
    EXPECT_EQ(g_gemCount, 1) << "a dying enemy takes no more hits";
    EXPECT_EQ(layer.m_enemyCount, enemiesBefore - 1);

    // The death plays out: 14, 15, then the enemy switches off.
    for (int i = 0; i < 5 && c.m_active; ++i)
        e.frame(10.0);
    EXPECT_FALSE(c.m_active);
    EXPECT_TRUE(c.m_effect->m_noEmit);
    e.frame(10.0); // an inactive enemy is left alone
    EXPECT_FALSE(c.m_active);
}

TEST_F(Enemies, TheDecisionIsCarriedOutAndKnockbackEases) {
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

    // A record gone from the table leaves the character with no decision, not a stale one.
    layer.removeEnemy(5);
    c.m_currentAnimation = 0;
    e.frame(1.0);
    EXPECT_EQ(c.m_decision, nullptr);

    // Knockback eases off by a twentieth a frame and snaps to zero when small.
    const float x = c.m_position.x;
    c.m_knockback = Vector(1.0f, 0.0f, 0.0f);
    e.frame(0.0);
    EXPECT_FLOAT_EQ(c.m_position.x, x + 1.0f);
    EXPECT_FLOAT_EQ(c.m_knockback.x, 0.95f);
    for (int i = 0; i < 10; ++i)
        e.frame(0.0);
    EXPECT_FLOAT_EQ(c.m_knockback.x, 0.0f);
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

TEST_F(Enemies, AnUnpaintedEnemyShowsNoBodyUntilAGunHitsIt) {
    TestGLContext gl;
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    Enemy<Character> e(5);
    Character& c = e.object;
    giveBoxModel(c.model());
    c.m_effectTextureLoaded = true; // no texture files here
    e.frame(1.0);
    EXPECT_EQ(litPixels(gl, c), 0u);
    c.onHit(0, WEAPON_GREEN, 1, kNoPush);
    e.frame(1.0);
    const size_t painted = litPixels(gl, c);
    gl.saveArtifact("enemy_painted");
    EXPECT_GT(painted, 1000u) << "the painted body is on screen";
}
