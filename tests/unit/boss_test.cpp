// The boss: its descent, landing and charge, the camera that watches it, its attack, red hits
// that knock it down, and the fade to the credits when it dies, also when struck down in the air.
#include "ai/aidecision.h"
#include "ai/qrvbossai.h"
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/character.h"
#include "objects/gem.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/poses.h"
#include "shell/gamecontext.h"
#include "world/camera.h"

#include "support/contextguard.h"
#include "support/handtimer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

// The game's time, moved on by the test a frame at a time. Every clock made from it measures
// the time since its last reset, as the game's clocks do.
class GameClockTimer : public Timer {
public:
    explicit GameClockTimer(const double& now) : m_now(now), m_start(now) {}
    void Reset() override { m_start = m_now; }
    double Elapsed() override { return m_now - m_start; }
    void Pause() override {}
    void Resume() override {}

private:
    const double& m_now;
    double m_start;
};

// A boss model whose blends take their time on the game's clock.
class ClockedModel : public Ms3dModel {
public:
    explicit ClockedModel(const double& now) { m_timer = std::make_unique<GameClockTimer>(now); }
};

// A level with a hero, a data layer, a camera on the hero and an awake boss whose every frame
// lasts 100 ms; undone afterwards.
class BossFight : public ContextTest {
protected:
    void SetUp() override {
        m_layer = std::make_unique<QRVDataLayer>();
        m_hero = std::make_unique<Player>();
        g_dataLayer = m_layer.get();
        g_hero = m_hero.get();
        m_layer->m_player.life = 50;
        m_camera = std::make_unique<Camera>();
        m_camera->setTarget(m_hero.get());
        g_camera = m_camera.get();
        m_boss.m_active = true;
        m_clock = useSteadyTimer(m_boss.m_timer, 100.0);
    }
    void TearDown() override { releaseGems(); }
    std::unique_ptr<QRVDataLayer> m_layer;
    std::unique_ptr<Player> m_hero;
    std::unique_ptr<Camera> m_camera;
    Boss m_boss;
    SteadyTimer* m_clock = nullptr;
};

TEST_F(BossFight, TheDescentStepsFiveMillisecondsAFrameWhateverTheFrameTime) {
    m_boss.setPosition(Vector(10.0f, 50.0f, 10.0f));
    m_boss.m_velocity = Vector(0.0f, -10.0f, 0.0f);
    m_clock->m_elapsed = 100.0;
    m_boss.update();
    // Gravity takes 9.8 off the speed in 100 ms; the step is still 5 ms of it.
    EXPECT_NEAR(m_boss.m_velocity.y, -19.8f, 1e-4f);
    EXPECT_NEAR(m_boss.getPosition().y, 50.0f - 19.8f * 0.005f, 1e-4f);
    EXPECT_EQ(m_boss.m_phase, BOSS_DESCENT);

    Boss slow;
    useSteadyTimer(slow.m_timer, 0.0);
    slow.update();
    EXPECT_EQ(slow.m_phase, BOSS_DESCENT) << "an inactive boss never appears";
    slow.m_active = true;
    slow.setPosition(Vector(10.0f, 50.0f, 10.0f));
    slow.m_velocity = Vector(0.0f, -19.8f, 0.0f);
    slow.update();
    EXPECT_NEAR(slow.getPosition().y, m_boss.getPosition().y, 1e-4f);
}

TEST_F(BossFight, WakingAfterAWholeGameAsleepStartsTheDescentSlowly) {
    Boss boss;
    HandTimer* raw = useHandTimer(boss.m_timer);
    boss.setPosition(Vector(10.0f, 1000.0f, 10.0f));
    raw->m_elapsed = 300000.0; // five minutes of play before the last enemy fell
    boss.wake();
    EXPECT_TRUE(boss.m_active);
    // It wakes and updates in one frame, which takes no time on a demo's clock: still in the
    // air and not yet falling, it has not landed.
    boss.update();
    EXPECT_EQ(boss.m_phase, BOSS_DESCENT) << "no charge a thousand units up";
    raw->m_elapsed = 20.0;
    boss.update();
    EXPECT_NEAR(boss.m_velocity.y, -98.0f * 0.02f, 1e-3f) << "one frame of gravity, not 300 s";
    EXPECT_GT(boss.getPosition().y, 999.9f);
    EXPECT_EQ(boss.m_phase, BOSS_DESCENT);

    raw->m_elapsed = 5000.0;
    boss.wake(); // already awake: the clock runs on
    EXPECT_DOUBLE_EQ(raw->m_elapsed, 5000.0);
}

TEST_F(BossFight, LandingStartsTheChargeWhichTakesAboutThreeSeconds) {
    m_boss.setPosition(Vector(10.0f, -1.0f, 10.0f)); // below the ground (height 0)
    m_boss.m_velocity = Vector(0.0f, -5.0f, 0.0f);
    m_boss.update();
    ASSERT_EQ(m_boss.m_phase, BOSS_CHARGE);
    EXPECT_EQ(m_boss.animationQueue().frontId(), 0);
    EXPECT_FLOAT_EQ(m_boss.m_charge, 0.0f);

    int frames = 0;
    while (m_boss.m_phase == BOSS_CHARGE && frames < 100) {
        m_boss.update();
        ++frames;
        if (frames == 10) {
            Vector eye = m_camera->getPosition() - m_boss.getPosition();
            EXPECT_FLOAT_EQ(eye.x, 30.0f);
            EXPECT_FLOAT_EQ(eye.y, 40.0f);
            EXPECT_NEAR(m_boss.m_flare->m_ringSize, 3.0f, 1e-4f);
        }
    }
    // 1 / 0.0003 = 3333 ms: the 34th frame of 100 ms completes it.
    EXPECT_EQ(frames, 34);
    EXPECT_EQ(m_boss.m_phase, BOSS_FIGHT);
    EXPECT_FLOAT_EQ(m_boss.m_charge, 1.0f) << "the charge, also the alpha, stops at 1";
    EXPECT_TRUE(m_camera->isFollowing()) << "the camera goes back to the hero";
    EXPECT_FLOAT_EQ(m_boss.m_flare->m_gravity.y, 1.0f);
    EXPECT_TRUE(m_hero->getPosition().isZero()) << "a hero near the boss stays where he is";
}

TEST_F(BossFight, TheDescentIsWatchedFromNearTheBossAndAFarHeroIsBroughtToTheFight) {
    // The last creature fell in a far corner, the camera behind the hero there.
    m_hero->setPosition(Vector(210.0f, 0.0f, 2000.0f));
    m_camera->setPosition(Vector(170.0f, 15.0f, 2000.0f));
    m_boss.setPosition(Vector(1650.0f, 1000.0f, 1550.0f));
    for (int frame = 0; frame < 30; ++frame)
        m_boss.update();
    const Vector eye = m_camera->getPosition(), toBoss = m_boss.getPosition() - eye;
    EXPECT_LT(toBoss.length(), 800.0f) << "the camera flew to the boss";
    Vector look = m_camera->getDirection();
    look.normalize();
    const Vector sight = toBoss / toBoss.length();
    EXPECT_GT(look.dot(sight), std::cos(0.3f)) << "it is in view (the view's half height: 0.39)";
    EXPECT_GT(sight.y, look.y) << "coming down through the upper half";
    EXPECT_GT(look.y, std::sin(0.3927f)) << "from high up, no view below the horizon";
    EXPECT_LT(eye.x, 1650.0f) << "from the hero's side";

    m_boss.setPosition(Vector(1650.0f, -1.0f, 1550.0f));
    for (int frame = 0; frame < 40 && m_boss.m_phase != BOSS_FIGHT; ++frame)
        m_boss.update();
    ASSERT_EQ(m_boss.m_phase, BOSS_FIGHT);
    Vector toFight = m_boss.getPosition() - m_hero->getPosition();
    toFight.y = 0.0f;
    EXPECT_NEAR(toFight.length(), BOSS_SUMMON_DISTANCE, 1.0f) << "the hero stands at the fight";
    EXPECT_GT(m_hero->getDirection().dot(toFight / toFight.length()), 0.999f) << "facing the boss";
    EXPECT_NEAR(m_hero->getDirection().length(), 1.0f, 1e-4f) << "the camera stands 40 behind";
    Vector behind = m_hero->getPosition() - m_camera->getPosition();
    behind.y = 0.0f;
    EXPECT_NEAR(behind.length(), m_camera->m_distance, 1.0f) << "and cuts to behind him";
}

TEST_F(BossFight, TheBossQueuesItsNextStepBehindAnAttackWhereAnEnemyDoesNot) {
    m_boss.m_phase = BOSS_FIGHT;
    m_boss.m_charge = 1.0f;
    m_clock->m_elapsed = 10.0; // level enough for a walk step
    AIDecision& decision = m_layer->m_boss.decision;
    decision.m_action = ACTION_ATTACK;
    m_boss.update();
    ASSERT_EQ(m_boss.m_currentAnimation, BOSS_POSE_RAISE) << "an attack queues the cast";
    EXPECT_EQ(m_boss.animationQueue().backId(), BOSS_POSE_THRUST);
    decision.m_action = ACTION_WALK;
    m_boss.update();
    EXPECT_EQ(m_boss.animationQueue().backId(), BOSS_POSE_WALK_LEFT);

    Character enemy;
    useSteadyTimer(enemy.m_timer, 10.0);
    AIDecision own;
    own.m_action = ACTION_ATTACK;
    enemy.m_decision = &own;
    enemy.update();
    ASSERT_EQ(enemy.m_currentAnimation, ENEMY_ATTACK_WIND_UP);
    own.m_action = ACTION_WALK;
    enemy.update();
    EXPECT_EQ(enemy.animationQueue().backId(), ENEMY_ATTACK_FINISH) << "nothing behind the attack";
}

// A short fight on the game's clock, 20 frames a second, the boss hunting by its own AI: the
// boss, the model's blends and the animations all run as in play.
class ClockedBossFight : public BossFight {
protected:
    void SetUp() override {
        BossFight::SetUp();
        m_boss.m_timer = std::make_unique<GameClockTimer>(m_now);
        m_boss.m_model = std::make_unique<ClockedModel>(m_now);
        m_layer->m_boss.life = 400;
        m_layer->m_boss.ai = std::make_unique<QRVBossAI>();
        m_hero->setPosition(Vector(400.0f, 0.0f, 400.0f)); // beyond the bolts' range
        m_layer->movePlayer(400.0f, 400.0f);
        m_boss.setPosition(Vector(100.0f, 0.0f, 100.0f));
        g_hud = &m_hud;
        g_gameState = STATE_PLAY;
    }
    // One play frame of 50 ms for the boss, as the play loop runs it.
    void frame() {
        m_now += 50.0;
        m_layer->moveBoss(m_boss.m_position.x, m_boss.m_position.z);
        m_layer->updateBossAI();
        m_boss.update();
    }
    void redHit(int32_t damage) { m_boss.onHit(0, WEAPON_RED, damage, Vector(3.0f, 0.0f, 0.0f)); }
    double m_now = 0.0;
    Hud m_hud;
};

TEST_F(ClockedBossFight, RedHitsKnockTheBossDownAndItGetsUpOnlyALethalHitEndsTheGame) {
    m_boss.m_phase = BOSS_FIGHT;
    m_boss.m_charge = 1.0f;
    for (int hit = 1; hit <= 3; ++hit) {
        m_boss.m_currentAnimation = BOSS_POSE_WALK_RIGHT; // between two reactions
        m_boss.m_invulnerableMs = 0.0;
        redHit(10);
        ASSERT_EQ(m_layer->bossLife(), 400 - 10 * hit);
        ASSERT_FALSE(m_boss.m_dying);
        bool knelt = false, lay = false;
        int pushed = 0;                // frames that end with some of the push left
        for (int i = 0; i < 80; ++i) { // four seconds
            frame();
            pushed += !m_boss.m_knockback.isZero();
            knelt |= m_boss.m_currentAnimation == BOSS_POSE_KNEEL;
            lay |= m_boss.m_currentAnimation == BOSS_POSE_LYING;
            ASSERT_EQ(m_boss.m_phase, BOSS_FIGHT) << "hit " << hit << ", frame " << i;
        }
        EXPECT_TRUE(knelt && lay) << "hit " << hit << ": the red shot knocks it down";
        // As long as at 60 frames a second (counted in frames, it lasted 2.1 s of these).
        EXPECT_NEAR((pushed + 1) * 50.0, 700.0, 75.0) << "hit " << hit;
        // Up again in a pose it moves in (on flat ground gravity keeps adding to a standing
        // figure's falling speed, so the fall pose is among them).
        EXPECT_LE(m_boss.m_currentAnimation, BOSS_POSE_FALL) << "hit " << hit << ": it got up";
        EXPECT_TRUE(m_boss.m_active);
        EXPECT_EQ(g_gameState, STATE_PLAY);
    }
    // Only the hit that exhausts its life ends the fight: the fade, then the credits.
    m_layer->m_boss.life = 10;
    m_boss.m_invulnerableMs = 0.0;
    redHit(10);
    ASSERT_TRUE(m_boss.m_dying);
    for (int i = 0; i < 80 && m_boss.m_phase != BOSS_DEAD; ++i)
        frame();
    EXPECT_EQ(m_boss.m_phase, BOSS_DEAD);
    EXPECT_FLOAT_EQ(m_boss.m_glow, 0.0f);
    EXPECT_TRUE(m_hud.m_fading);
    m_hud.m_fadeAlpha = 0.99f;
    frame();
    EXPECT_EQ(g_gameState, STATE_PLAY) << "the fade has not ended";
    EXPECT_TRUE(m_boss.m_active);
    m_hud.m_fadeAlpha = 1.0f;
    frame();
    EXPECT_EQ(g_gameState, STATE_CREDITS);
    EXPECT_FALSE(m_boss.m_active);
}

TEST_F(ClockedBossFight, ABossKilledInItsDescentDiesOnceItHasLanded) {
    m_boss.setPosition(Vector(100.0f, 30.0f, 100.0f));
    m_boss.m_velocity = Vector(0.0f, -100.0f, 0.0f);
    frame();
    ASSERT_EQ(m_boss.m_phase, BOSS_DESCENT);
    m_layer->m_boss.life = 10;
    redHit(10);
    ASSERT_TRUE(m_boss.m_dying);
    bool fought = false;
    for (int i = 0; i < 400 && m_boss.m_phase != BOSS_DEAD; ++i) {
        frame();
        fought |= m_boss.m_phase == BOSS_FIGHT;
    }
    EXPECT_EQ(m_boss.m_phase, BOSS_DEAD) << "landing must not wipe the death";
    EXPECT_FALSE(fought);
    m_hud.m_fadeAlpha = 1.0f;
    frame();
    EXPECT_EQ(g_gameState, STATE_CREDITS);
}

} // namespace
