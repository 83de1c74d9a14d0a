// Characters and their dialogue, gems, and the boss's AI.
#include "ai/qrvbossai.h"
#include "ai/aidecision.h"
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/character.h"
#include "objects/gem.h"
#include "objects/npc.h"
#include "objects/player.h"
#include "objects/poses.h"
#include "platform/random.h"
#include "platform/timer.h"
#include "world/camera.h"
#include "shell/framecommands.h"
#include "shell/gamecontext.h"

#include "platform/gamestate.h"
#include "support/contextguard.h"
#include "support/handtimer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

// A level with a hero, a data layer and an empty object table; undone afterwards.
class World : public ContextTest {
protected:
    void SetUp() override {
        m_layer = std::make_unique<QRVDataLayer>();
        m_hero = std::make_unique<Player>();
        g_dataLayer = m_layer.get();
        g_hero = m_hero.get();
        m_layer->m_player.life = 50;
    }
    void TearDown() override { releaseGems(); }
    // A character record with a three-item trade menu, at slot `id`.
    NpcData* addTrader(int32_t id) {
        auto record = std::make_unique<NpcData>();
        record->id = id;
        record->menu.count = 3;
        record->menu.items[0] = {"Life (10 gems)", "Drink it.", 1};
        record->menu.items[1] = {"Red shells (10 gems)", "Aim true.", 3};
        record->menu.items[2] = {"Blue charges (10 gems)", "Cold.", 2};
        record->menu.negativeReply = "Bring ten gems.";
        NpcData* raw = record.get();
        m_layer->addNpc(std::move(record));
        return raw;
    }
    std::unique_ptr<QRVDataLayer> m_layer;
    std::unique_ptr<Player> m_hero;
};

// ---- conversation -------------------------------------------------------------------

TEST_F(World, ARefusedTradeChangesNothingAndSaysWhy) {
    NpcData* record = addTrader(0);
    Npc trader;
    trader.m_id = 0;
    g_talkPartner = &trader;
    m_hero->m_gems = 9;
    m_hero->m_redAmmo = 4;
    record->menu.selected = 1;
    ChooseMenuItem(record->menu);
    EXPECT_EQ(record->menu.selected, -1);
    EXPECT_EQ(m_hero->m_gems, 9);
    EXPECT_EQ(m_hero->m_redAmmo, 4);
    EXPECT_EQ(m_layer->playerLife(), 50);
    EXPECT_EQ(Npc::replyText(&record->menu), "Bring ten gems.");

    record->menu.selected = -4; // below -1 counts as the first item
    EXPECT_EQ(Npc::replyText(&record->menu), "Drink it.");

    // A newcomer bought bread at full life and lost ten gems: what the hero has no room for
    // is not sold, and the reply says why. Room for part of it still sells.
    m_hero->m_gems = 30;
    m_layer->m_player.life = 100;
    m_hero->m_redAmmo = 99;
    for (int32_t item : {0, 1}) {
        record->menu.selected = item;
        ChooseMenuItem(record->menu);
        EXPECT_EQ(record->menu.selected, -1);
        EXPECT_EQ(m_hero->m_gems, 30);
        EXPECT_EQ(Npc::replyText(&record->menu), item == 0 ? FULL_LIFE_REPLY : FULL_GUN_REPLY);
    }
    m_layer->m_player.life = 95;
    record->menu.selected = 0;
    ChooseMenuItem(record->menu);
    EXPECT_EQ(m_hero->m_gems, 20);
    EXPECT_EQ(m_layer->playerLife(), 100);
    m_hero->m_gems = 0; // short of gems again: the negative reply, not the full one
    record->menu.selected = 2;
    ChooseMenuItem(record->menu);
    EXPECT_EQ(Npc::replyText(&record->menu), "Bring ten gems.");
    // The map costs nothing: shown to a hero without gems.
    record->menu.items[2] = {"The map", "Look.", 4};
    record->menu.selected = 2;
    ChooseMenuItem(record->menu);
    EXPECT_TRUE(g_showMapRequested);
    EXPECT_EQ(record->menu.selected, 2);
    g_showMapRequested = false;
}

// The talk key picks the character the hero looks at among those in reach: a player facing
// the map-teller once got the trader beside him, who came first in the table.
TEST_F(World, TheTalkPartnerIsTheOneInReachTheHeroFaces) {
    addTrader(3);
    addTrader(7);
    Npc far, beside, ahead;
    Player notACharacter;
    const Vector hero(0.0f, 0.0f, 0.0f), east(1.0f, 0.0f, 0.0f);
    far.setPosition(Vector(NPC_TALK_DISTANCE + 10.0f, 0.0f, 0.0f));
    beside.setPosition(Vector(0.0f, 0.0f, 12.0f)); // nearer, but off to the side
    ahead.setPosition(Vector(15.0f, 0.0f, 0.0f));
    notACharacter.setPosition(Vector(1.0f, 0.0f, 0.0f));
    g_objectTable[1] = &notACharacter; // not a character in the data layer
    g_objectTable[3] = &beside;
    g_objectTable[7] = &ahead;
    EXPECT_EQ(PickTalkPartner(hero, east), &ahead);
    EXPECT_EQ(PickTalkPartner(hero, Vector(0.0f, 0.0f, 1.0f)), &beside) << "turned to him";
    EXPECT_EQ(PickTalkPartner(hero, Vector(0.6f, -0.8f, 0.0f)), &ahead) << "looking down at him";

    beside.setPosition(Vector(0.0f, 0.0f, 3.0f)); // right at his side: nearness wins
    EXPECT_EQ(PickTalkPartner(hero, east), &beside);

    g_objectTable[3] = &far; // out of reach
    EXPECT_EQ(PickTalkPartner(hero, east), &ahead);
    ahead.setPosition(Vector(NPC_TALK_DISTANCE, 0.0f, 0.0f));
    EXPECT_EQ(PickTalkPartner(hero, east), nullptr) << "exactly the reach is not closer";
}

// A villager waits for a hero who comes within reach of the talk key: he stays in reach and
// does not walk into him; once the hero leaves he goes on with his round, unless paused.
TEST_F(World, AVillagerStopsForTheHeroAndTurnsToHimThenWalksOnUnlessPaused) {
    NpcData* record = addTrader(0);
    record->decision.m_target = Vector(100.0f, 0.0f, 0.0f);
    Npc walker;
    walker.m_id = 0;
    walker.m_speed = 10.0f;
    useSteadyTimer(walker.m_timer, 100.0);
    m_hero->setPosition(Vector(5.0f, 0.0f, 15.0f)); // in reach, beside his way
    for (int i = 0; i < 60; ++i)
        walker.update();
    EXPECT_FLOAT_EQ(walker.getPosition().x, 0.0f);
    EXPECT_GT(walker.getDirection().z, 0.9f) << "he faces the hero";
    EXPECT_FALSE(walker.animationQueue().frontId() == VILLAGER_WALK_RIGHT ||
                 walker.animationQueue().frontId() == VILLAGER_WALK_LEFT)
        << "no walking on the spot";

    // He waits as long as the talk key reaches him, by its own measure.
    const float edge = std::sqrt(NPC_TALK_DISTANCE * NPC_TALK_DISTANCE - 25.0f);
    m_hero->setPosition(Vector(5.0f, 0.0f, edge - 0.5f)); // just in reach
    walker.update();
    EXPECT_FLOAT_EQ(walker.getPosition().x, 0.0f) << "he walked out of reach";
    m_hero->setPosition(Vector(5.0f, 0.0f, edge + 0.5f));
    walker.update();
    EXPECT_NEAR(walker.getPosition().x, 1.0f, 1e-4f) << "the hero left: 10 a second again";
    EXPECT_NEAR(walker.getPosition().z, 0.0f, 1e-4f);
    EXPECT_EQ(walker.m_decision, &record->decision);
    EXPECT_GE(walker.animationQueue().count(), 2) << "the walk steps are queued";

    walker.m_paused = true;
    walker.update();
    EXPECT_NEAR(walker.getPosition().x, 1.0f, 1e-4f) << "a paused character stands";

    Npc stranger; // no record: stands where it is
    useSteadyTimer(stranger.m_timer, 100.0);
    stranger.update();
    EXPECT_FLOAT_EQ(stranger.getPosition().x, 0.0f);
}

TEST_F(World, AVillagersKnockbackIsSpentAsAnEnemys) {
    Npc villager;
    Character enemy;
    enemy.m_id = -1; // no record: it stands
    for (double ms : {100.0, 7.0}) {
        for (ModelObject* body :
             {static_cast<ModelObject*>(&villager), static_cast<ModelObject*>(&enemy)}) {
            useSteadyTimer(body->m_timer, ms);
            body->setPosition(Vector(0.0f, 0.0f, 0.0f));
            body->m_knockback = Vector(2.0f, 0.0f, 0.0f);
        }
        for (int frame = 0; frame < 10; ++frame) {
            villager.update();
            enemy.update();
            EXPECT_FLOAT_EQ(villager.getPosition().x, enemy.getPosition().x) << ms << " ms";
            EXPECT_FLOAT_EQ(villager.m_knockback.x, enemy.m_knockback.x) << ms << " ms";
        }
        EXPECT_GT(villager.getPosition().x, 0.0f);
    }
}

// ---- gems ---------------------------------------------------------------------------

TEST_F(World, TwoGemsInReachAreCollectedOnTwoFrames) {
    m_hero->m_gems = 10;
    m_hero->setPosition(Vector(100.0f, 0.0f, 100.0f));
    ASSERT_TRUE(dropGem(Vector(200.0f, 0.0f, 100.0f))); // out of reach
    ASSERT_TRUE(dropGem(Vector(105.0f, 0.0f, 100.0f)));
    ASSERT_TRUE(dropGem(Vector(100.0f, 0.0f, 103.0f)));
    ASSERT_EQ(g_gemCount, 3);
    Gem* far = g_gems[0];
    Gem* second = g_gems[2];
    const int32_t firstValue = g_gems[1]->m_value;
    const int32_t secondValue = second->m_value;

    EXPECT_TRUE(collectGems());
    EXPECT_EQ(g_gemCount, 2) << "one gem a frame";
    EXPECT_EQ(m_hero->m_gems, 10 + firstValue);
    EXPECT_EQ(g_gems[0], far);
    EXPECT_EQ(g_gems[1], second) << "later gems move one place forward";
    EXPECT_EQ(g_gems[2], nullptr);

    EXPECT_TRUE(collectGems());
    EXPECT_EQ(g_gemCount, 1);
    EXPECT_EQ(m_hero->m_gems, 10 + firstValue + secondValue);
    EXPECT_FALSE(collectGems()) << "the far gem stays";
    EXPECT_EQ(g_gems[0], far);

    m_hero->setPosition(
        Vector(200.0f - GEM_PICKUP_DISTANCE, 0.0f, 100.0f)); // at the reach: not yet
    EXPECT_FALSE(collectGems());
}

TEST_F(World, GemsAreWorthFiveToFourteenAndAFullListRefusesTheDrop) {
    for (int i = 0; i < GEM_TABLE_SIZE; ++i) {
        ASSERT_TRUE(dropGem(Vector(float(i), 0.0f, 0.0f)));
        EXPECT_GE(g_gems[i]->m_value, 5);
        EXPECT_LE(g_gems[i]->m_value, 14);
    }
    EXPECT_FALSE(dropGem(Vector(0.0f, 0.0f, 0.0f)));
    EXPECT_EQ(g_gemCount, GEM_TABLE_SIZE);
    releaseGems();
    EXPECT_EQ(g_gemCount, 0);
    EXPECT_EQ(g_gems[0], nullptr);
    g_hero = nullptr;
    EXPECT_FALSE(collectGems()) << "no hero, nothing collected";
}

// ---- boss AI ------------------------------------------------------------------------

TEST_F(World, TheBossHuntsTheHeroAndAttacksOnlyWithinTwoHundred) {
    BossData& boss = m_layer->m_boss;
    QRVBossAI ai;
    m_layer->m_player.x = 300.0f;
    m_layer->m_player.z = 300.0f;
    m_layer->movePlayer(300.0f, 300.0f);
    m_layer->moveBoss(50.0f, 300.0f); // 250 away
    boss.decision.m_waypointCell = m_layer->worldToCellF(boss.x, boss.z);
    const float startCell = boss.decision.m_waypointCell.x;
    gameSrand(7);
    int attacks = 0, jumps = 0;
    for (int i = 0; i < 2000; ++i) {
        ai.step(m_layer.get(), &boss);
        attacks += boss.decision.m_action == ACTION_ATTACK;
        jumps += boss.decision.m_action == ACTION_JUMP;
        EXPECT_FLOAT_EQ(boss.decision.m_target.x, 300.0f);
        EXPECT_FLOAT_EQ(boss.decision.m_target.y, 0.0f);
    }
    EXPECT_EQ(attacks, 0) << "250 away is out of range";
    EXPECT_LT(jumps, 15);
    EXPECT_GT(boss.decision.m_waypointCell.x, startCell) << "it steps toward the hero";

    m_layer->moveBoss(250.0f, 300.0f); // 50 away
    for (int i = 0; i < 2000; ++i) {
        ai.step(m_layer.get(), &boss);
        attacks += boss.decision.m_action == ACTION_ATTACK;
    }
    EXPECT_GT(attacks, 40) << "about one frame in twenty attacks";
    EXPECT_LT(attacks, 160);
    ai.step(nullptr, &boss); // harmless
    ai.step(m_layer.get(), nullptr);
}

} // namespace
