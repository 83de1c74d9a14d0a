// The hero's guns, being hit, and being kept inside the world.
#include "level/qrvdatalayer.h"
#include "objects/player.h"
#include "shell/framecommands.h"
#include "shell/gamecontext.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

namespace {

// A hero with its data-layer entry; no projectile list, so shots that fly are deleted.
class Hero : public ::testing::Test {
protected:
    void SetUp() override {
        m_layer = std::make_unique<QRVDataLayer>();
        m_hero = std::make_unique<Player>();
        g_dataLayer = m_layer.get();
        g_hero = m_hero.get();
        m_layer->m_player.life = 100;
        // Ready to be hit: past the start's grace and not reacting.
        m_hero->m_invulnerableMs = -1.0;
        m_hero->m_currentAnimation = 0;
        m_savedState = g_gameState;
    }
    void TearDown() override {
        g_hero = nullptr;
        g_dataLayer = nullptr;
        g_gameState = m_savedState;
    }
    void hit(int32_t attackType, int32_t damage) {
        m_hero->onHit(attackType, 0, damage, Vector(1.0f, 0.0f, 0.0f));
    }
    void readyAgain() {
        m_hero->m_invulnerableMs = -1.0;
        m_hero->m_currentAnimation = 0;
    }
    std::unique_ptr<QRVDataLayer> m_layer;
    std::unique_ptr<Player> m_hero;
    int32_t m_savedState = 0;
};

TEST_F(Hero, TheGreenGunTakesFiveQuickShotsAndRefusesTheSixthUntilItCools) {
    m_hero->selectWeapon(0);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(m_hero->shoot()) << "shot " << i + 1;
    EXPECT_FALSE(m_hero->shoot());
    EXPECT_FALSE(m_hero->shoot()) << "a refused shot must not heat the gun further";
    EXPECT_EQ(m_hero->m_greenHeat, 125);
    m_hero->m_greenHeat = 100; // cooled for 25 frames
    EXPECT_TRUE(m_hero->shoot());

    // A long rest cools the gun to zero, not below: the next burst is again five shots.
    for (int i = 0; i < 1000; ++i)
        m_hero->update();
    EXPECT_EQ(m_hero->m_greenHeat, 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(m_hero->shoot()) << "shot " << i + 1 << " after the rest";
    EXPECT_FALSE(m_hero->shoot());
}

TEST_F(Hero, ALongFrameCarriesTheHeroAtMostTwoUnitsAcrossTheGroundButFallsAtFullSpeed) {
    m_hero->setPosition(Vector(100.0f, 50.0f, 100.0f));
    m_hero->update(); // starts the frame clock
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    m_hero->m_velocity = Vector(30.0f, -100.0f, 30.0f);
    m_hero->update();
    const Vector p = m_hero->getPosition();
    const float across = std::hypot(p.x - 100.0f, p.z - 100.0f);
    EXPECT_NEAR(across, MAX_WALK_STEP, 0.01f) << "50 a second for 120 ms would be 6";
    EXPECT_NEAR(p.x - 100.0f, p.z - 100.0f, 0.01f) << "the direction is kept";
    EXPECT_LT(p.y, 50.0f - 11.0f) << "the fall is not slowed";
}

TEST_F(Hero, TheAimStopsTippingPastTheLimitsButAlwaysComesBack) {
    // Level: the mouse's pitch (minus its y movement / 400) tips down when positive.
    m_hero->setDirection(Vector(1.0f, 0.0f, 0.0f));
    m_hero->turn(0.2f, 0.0f);
    EXPECT_LT(m_hero->getDirection().y, -0.19f);
    m_hero->turn(-0.4f, 0.0f);
    EXPECT_GT(m_hero->getDirection().y, 0.19f);

    // Past the upper limit: no further up, but down again (this used to stick).
    Vector high(0.6f, 0.8f, 0.0f);
    m_hero->setDirection(high);
    m_hero->turn(-0.1f, 0.0f);
    EXPECT_FLOAT_EQ(m_hero->getDirection().y, 0.8f);
    m_hero->turn(0.1f, 0.0f);
    EXPECT_LT(m_hero->getDirection().y, 0.75f);

    // And the same below the lower limit.
    m_hero->setDirection(Vector(0.6f, -0.8f, 0.0f));
    m_hero->turn(0.1f, 0.0f);
    EXPECT_FLOAT_EQ(m_hero->getDirection().y, -0.8f);
    m_hero->turn(-0.1f, 0.0f);
    EXPECT_GT(m_hero->getDirection().y, -0.75f);
}

TEST_F(Hero, TheEleventhRedShotFindsTheGunEmptyAndTheCountStaysAtZero) {
    m_hero->selectWeapon(1);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(m_hero->shoot()) << "shot " << i + 1;
    EXPECT_FALSE(m_hero->shoot());
    EXPECT_EQ(m_hero->m_redAmmo, 0);
    EXPECT_FALSE(m_hero->shoot());
    EXPECT_EQ(m_hero->m_redAmmo, 0);
    // The blue gun keeps its own count.
    m_hero->selectWeapon(2);
    EXPECT_TRUE(m_hero->shoot());
    EXPECT_EQ(m_hero->m_blueAmmo, 9);
}

TEST_F(Hero, DamageScalesByAttackTypeAndASecondHitWithinTheGraceIsIgnored) {
    hit(2, 7); // 7 * 1.2 = 8.4, truncated
    EXPECT_EQ(m_layer->m_player.life, 92);
    EXPECT_EQ(m_hero->m_invulnerableMs, 600.0);
    m_hero->m_currentAnimation = 0; // even with the reaction over, the grace holds
    hit(2, 7);
    EXPECT_EQ(m_layer->m_player.life, 92);
    readyAgain();
    hit(3, 7); // 7 * 0.8 = 5.6
    EXPECT_EQ(m_layer->m_player.life, 87);
    readyAgain();
    hit(10, 7); // full damage
    EXPECT_EQ(m_layer->m_player.life, 80);
    readyAgain();
    m_hero->m_currentAnimation = 21; // already reacting
    hit(1, 50);
    EXPECT_EQ(m_layer->m_player.life, 80);
}

TEST_F(Hero, LosingTheLastLifeEndsInGameOver) {
    m_layer->m_player.life = 5;
    g_gameState = STATE_PLAY;
    hit(1, 9);
    EXPECT_EQ(m_layer->m_player.life, 0);
    EXPECT_EQ(g_gameState, STATE_GAME_OVER);
    readyAgain();
    hit(1, 9); // the dying hero takes no more hits
    EXPECT_EQ(m_layer->m_player.life, 0);
}

TEST_F(Hero, ClampToWorldBringsAPositionBackFromBeyondBothMaxima) {
    m_layer->m_worldStart = 0.0f;
    m_layer->m_worldWidth = 1000.0f;
    m_layer->m_worldDepth = 800.0f;
    Vector p(1200.0f, 5.0f, 900.0f);
    ClampToWorld(p, PLAYER_ID);
    EXPECT_FLOAT_EQ(p.x, 999.0f);
    EXPECT_FLOAT_EQ(p.z, 799.0f);
    EXPECT_FLOAT_EQ(m_hero->getPosition().x, 999.0f);
    EXPECT_FLOAT_EQ(m_hero->getPosition().z, 799.0f);
    Vector below(-3.0f, 0.0f, -4.0f);
    ClampToWorld(below, PLAYER_ID);
    EXPECT_FLOAT_EQ(below.x, 0.0f);
    EXPECT_FLOAT_EQ(below.z, 0.0f);
    Vector inside(10.0f, 0.0f, 20.0f);
    m_hero->setPosition(Vector(1.0f, 2.0f, 3.0f));
    ClampToWorld(inside, PLAYER_ID);
    EXPECT_FLOAT_EQ(m_hero->getPosition().x, 1.0f) << "an inside position moves nobody";
}

} // namespace
