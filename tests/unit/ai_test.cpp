// AI behaviours: the random table, grid stepping and distances, waypoint patrols and hunts, the
// chance-driven enemy, flocks with their leaders and followers, and path walking.
#include "ai/qrvai.h"
#include "ai/qrvflockai.h"
#include "ai/qrvpathai.h"
#include "ai/qrvprobabilityai.h"
#include "ai/qrvwaypointai.h"
#include "level/qrvdatalayer.h"
#include "platform/debugassert.h"
#include "platform/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

namespace {

class AiWorld : public testing::Test {
protected:
    void SetUp() override {
        layer.m_worldWidth = 1280.0f; // 10 units a cell
        layer.m_worldDepth = 1280.0f;
        DebugAssertReset();
    }
    EnemyData& enemy(int id, float x, float z, int life = 100, QRVAI* ai = nullptr) {
        auto e = std::make_unique<EnemyData>();
        e->id = id;
        e->x = x;
        e->z = z;
        e->life = life;
        layer.worldToCell(x, z, e->aiX, e->aiZ);
        e->decision.m_waypointCell = Vector(float(e->aiX), 0.0f, float(e->aiZ));
        e->decision.m_waypoint = Vector(x, 0.0f, z);
        e->ai.reset(ai ? ai : new QRVAI());
        EnemyData& ref = *e;
        layer.m_enemyTable[id] = std::move(e);
        return ref;
    }
    void hero(float x, float z) {
        layer.m_player.x = x;
        layer.m_player.z = z;
        layer.worldToCell(x, z, layer.m_player.aiX, layer.m_player.aiZ);
    }
    void moveTo(EnemyData& e, float x, float z) {
        e.x = x;
        e.z = z;
        layer.worldToCell(x, z, e.aiX, e.aiZ);
    }
    // Flock 0: a leader at (500, 500), its follower 10 beside it, the hero within charging
    // reach at (600, 600); the flocks are then stepped until the charge begins (1 in 100 a
    // frame), at most 5000 frames. Returns the follower.
    EnemyData& chargingFlock(QRVFlockAI& flocks) {
        gameSrand(5);
        EnemyData& leader = enemy(1, 500.0f, 500.0f);
        EnemyData& f = enemy(2, 510.0f, 500.0f);
        flocks.join(0, FLOCK_ROLE_LEADER, &leader);
        flocks.join(0, FLOCK_ROLE_FOLLOWER, &f);
        hero(600.0f, 600.0f);
        for (int frames = 0; frames < 5000 && !flocks.flock(0)->m_charging; ++frames)
            flocks.update(&layer);
        return f;
    }
    QRVDataLayer layer;
};

} // namespace

TEST(RandomTable, WrapsAfterTheLastEntryAndRestartsOnAStrayIndex) {
    QRVAI ai;
    ai.setRandomIndex(1023);
    for (int expected : {1023, 0, 1})
        EXPECT_EQ(ai.nextRandom(), ai.randomTableEntry(expected)) << expected;
    for (int stray : {-7, 5000}) { // restarts the table instead of reading outside it
        ai.setRandomIndex(stray);
        EXPECT_EQ(ai.nextRandom(), ai.randomTableEntry(0)) << stray;
    }
}

TEST_F(AiWorld, GridSteppingWaitsForTheObjectAndStopsAtTheEdge) {
    AIDecision d;
    d.m_waypointCell = Vector(10.0f, 0.0f, 3.0f);
    EXPECT_TRUE(stepToward(layer, d, 10, 3, 4, 3));
    EXPECT_FLOAT_EQ(d.m_waypointCell.x, 9.0f);
    EXPECT_FLOAT_EQ(d.m_waypointCell.z, 3.0f) << "equal axes are left alone";
    EXPECT_FLOAT_EQ(d.m_waypoint.x, 90.0f);
    EXPECT_FALSE(stepToward(layer, d, 10, 3, 4, 3)) << "waits until the object enters the cell";
    EXPECT_TRUE(stepToward(layer, d, 9, 3, 4, 3));
    EXPECT_FLOAT_EQ(d.m_waypointCell.x, 8.0f);

    // A retreat's cell stays on the grid: cell 128's corner is the world's far edge, which a
    // walk to it would cross.
    d.m_waypointCell = Vector(127.0f, 0.0f, 0.0f);
    EXPECT_FALSE(stepAway(layer, d, 127, 0, 5, 0));
    EXPECT_FLOAT_EQ(d.m_waypointCell.x, 127.0f);
    d.m_waypointCell = Vector(0.0f, 0.0f, 0.0f);
    EXPECT_FALSE(stepAway(layer, d, 0, 0, 5, 0));
    EXPECT_FLOAT_EQ(d.m_waypointCell.x, 0.0f);
}

TEST_F(AiWorld, ArrivalStepsAndPathPointsSetTheNextCell) {
    AIDecision d;
    d.m_waypointCell = Vector(20, 0, 20);
    EXPECT_FALSE(stepOnArrival(layer, d, 21, 20, 0, 20));
    EXPECT_TRUE(stepOnArrival(layer, d, 20, 20, 0, 20));
    EXPECT_FLOAT_EQ(d.m_waypointCell.x, 19.0f);

    aimAtPathPoint(layer, d, Vector(640, 3, 100));
    EXPECT_FLOAT_EQ(d.m_waypointCell.x, 64.0f);
    EXPECT_FLOAT_EQ(d.m_target.y, 3.0f);
    EXPECT_EQ(d.m_action, ACTION_WALK);
}

TEST_F(AiWorld, WaypointEnemyPatrolsItsPathAndNoticesTheHeroWithin150) {
    auto* ai = new QRVWaypointAI();
    EnemyData& e = enemy(1, 100.0f, 100.0f, 100, ai);
    ai->setPath({Vector(100.0f, 0.0f, 100.0f), Vector(300.0f, 0.0f, 100.0f)});
    aimAtPathPoint(layer, e.decision, ai->m_path[0]);
    hero(1000.0f, 1000.0f);
    ai->update(&layer, &e);
    EXPECT_EQ(ai->m_pathIndex, 1) << "within 10 of point 0: on to point 1";
    EXPECT_FLOAT_EQ(e.decision.m_waypoint.x, 300.0f);
    moveTo(e, 289.0f, 100.0f);
    ai->update(&layer, &e);
    EXPECT_EQ(ai->m_pathIndex, 1) << "11 away is not there yet";
    moveTo(e, 290.0f, 100.0f);
    ai->update(&layer, &e);
    EXPECT_EQ(ai->m_pathIndex, 0) << "the path is closed";
    EXPECT_FALSE(ai->m_alerted);

    // It notices the hero within a sum distance of 150.
    moveTo(e, 100.0f, 100.0f);
    hero(200.0f, 151.0f);
    ai->update(&layer, &e);
    EXPECT_FALSE(ai->m_alerted);
    hero(200.0f, 150.0f);
    ai->update(&layer, &e);
    EXPECT_TRUE(ai->m_alerted);
}

TEST_F(AiWorld, AProvokedWaypointEnemyHuntsThenReturns) {
    gameSrand(11);
    auto* ai = new QRVWaypointAI();
    EnemyData& e = enemy(1, 100.0f, 100.0f, 100, ai);
    ai->setPath({Vector(500.0f, 0.0f, 500.0f)});
    aimAtPathPoint(layer, e.decision, ai->m_path[0]);
    hero(1000.0f, 1000.0f); // far away: only the hit alerts it
    ai->provoke();
    EXPECT_TRUE(ai->isProvoked());
    EXPECT_GE(ai->m_alertTimer, 200);
    EXPECT_LE(ai->m_alertTimer, 740);
    EXPECT_EQ((ai->m_alertTimer - 200) % 60, 0);

    int frames = 0;
    bool targetedHero = false;
    while (ai->m_alerted && frames < 2000) {
        ai->update(&layer, &e);
        targetedHero |= e.decision.m_target.x == 1000.0f;
        ++frames;
    }
    EXPECT_TRUE(targetedHero);
    EXPECT_GE(frames, 200);
    EXPECT_LE(frames, 1000) << "740 frames plus the jump frames, which do not count";
    EXPECT_FALSE(ai->m_alerted);
    EXPECT_FLOAT_EQ(e.decision.m_waypoint.x, 500.0f) << "back to the point it was heading for";
    EXPECT_FLOAT_EQ(e.decision.m_target.z, 500.0f);
    EXPECT_EQ(e.decision.m_action, ACTION_WALK);
}

TEST_F(AiWorld, PathsWithoutPointsOrWithAWrongCountAreSafe) {
    auto* ai = new QRVWaypointAI();
    EnemyData& e = enemy(1, 100.0f, 100.0f, 100, ai);
    hero(1000.0f, 1000.0f);
    ai->update(&layer, &e); // no path at all: nothing read, nothing changed
    EXPECT_FLOAT_EQ(e.decision.m_waypoint.x, 100.0f);
    ai->provoke();
    ai->m_alertTimer = 1;
    // The hunt ends with no path point to return to (a chance jump frame counts no time).
    for (int frame = 0; frame < 20 && ai->m_alerted; ++frame)
        ai->update(&layer, &e);
    EXPECT_FALSE(ai->m_alerted);

    DebugAssertReset();
    QRVPathAI walker;
    walker.setPath({Vector(1.0f, 0.0f, 1.0f)}, 3);
    EXPECT_EQ(DebugAssertCount(), 1) << "a count beyond the points is reported";
    EXPECT_EQ(walker.usablePathCount(), 1);
    walker.m_pathIndex = 40;
    EXPECT_EQ(nextPathIndex(walker.m_pathIndex, 1), 0);
    EXPECT_EQ(nextPathIndex(2, 0), 0);
}

TEST_F(AiWorld, CharactersWalkTheirPathPointByPoint) {
    NpcData npc;
    npc.x = 105.0f;
    npc.z = 95.0f;
    QRVPathAI ai;
    ai.setPath(
        {Vector(100.0f, 0.0f, 100.0f), Vector(200.0f, 0.0f, 100.0f), Vector(200.0f, 0.0f, 200.0f)});
    aimAtPathPoint(layer, npc.decision, ai.m_path[0]);
    ai.update(&layer, &npc);
    EXPECT_EQ(ai.m_pathIndex, 1) << "exactly 5 away counts as there";
    EXPECT_FLOAT_EQ(npc.decision.m_target.x, 200.0f);
    EXPECT_FLOAT_EQ(npc.decision.m_waypointCell.x, 20.0f);
    npc.x = 194.0f;
    npc.z = 100.0f;
    ai.update(&layer, &npc);
    EXPECT_EQ(ai.m_pathIndex, 1) << "6 away is not";
    npc.x = 200.0f;
    ai.update(&layer, &npc);
    npc.z = 200.0f;
    ai.update(&layer, &npc);
    EXPECT_EQ(ai.m_pathIndex, 0) << "after the last point comes the first";

    QRVPathAI single;
    single.setPath({Vector(50.0f, 0.0f, 50.0f)});
    npc.x = npc.z = 50.0f;
    aimAtPathPoint(layer, npc.decision, single.m_path[0]);
    for (int i = 0; i < 3; ++i)
        single.update(&layer, &npc);
    EXPECT_EQ(single.m_pathIndex, 0);
    EXPECT_FLOAT_EQ(npc.decision.m_waypoint.x, 50.0f);
}

TEST_F(AiWorld, TheTableFollowsDistanceAndLifeAndAHealthyNearbyEnemyAlwaysApproaches) {
    EXPECT_EQ(QRVProbabilityAI::tableFor(40, 70), TABLE_HURT);
    EXPECT_EQ(QRVProbabilityAI::tableFor(40, 71), TABLE_NEAR);
    EXPECT_EQ(QRVProbabilityAI::tableFor(100, 71), TABLE_MIDDLE);
    EXPECT_EQ(QRVProbabilityAI::tableFor(150, 71), TABLE_FAR);
    EXPECT_EQ(QRVProbabilityAI::tableFor(151, 71), TABLE_DISTANT);
    // Indices outside the tables stand instead of reading past them.
    EXPECT_EQ(QRVProbabilityAI::tableEntry(7, 0), BEHAVIOUR_STAND);
    EXPECT_EQ(QRVProbabilityAI::tableEntry(TABLE_NEAR, BEHAVIOUR_TABLE_SIZE), BEHAVIOUR_STAND);

    gameSrand(7);
    auto* ai = new QRVProbabilityAI();
    EnemyData& e = enemy(1, 500.0f, 500.0f, 71, ai);
    hero(520.0f, 520.0f); // sum distance 40
    std::set<int> timers;
    for (int i = 0; i < 2000; ++i) {
        const int before = ai->m_decisionTimer;
        ai->update(&layer, &e);
        ASSERT_EQ(ai->m_behaviour, BEHAVIOUR_APPROACH);
        if (before <= 0)
            timers.insert(ai->m_decisionTimer);
    }
    for (int t : timers) {
        EXPECT_GE(t, 120);
        EXPECT_LE(t, 240);
        EXPECT_EQ(t % 30, 0);
    }
}

TEST_F(AiWorld, AHurtProbabilityEnemyMostlyRetreatsAndStopsAtTheGridEdge) {
    gameSrand(3);
    auto* ai = new QRVProbabilityAI();
    EnemyData& e = enemy(1, 5.0f, 5.0f, 70, ai);
    hero(60.0f, 60.0f);
    int retreats = 0;
    for (int i = 0; i < 200; ++i) {
        ai->m_decisionTimer = 0; // draw every frame
        ai->update(&layer, &e);
        retreats += ai->m_behaviour == BEHAVIOUR_RETREAT;
    }
    EXPECT_GT(retreats, 160);
    EXPECT_LT(retreats, 200) << "one entry in twenty still approaches";

    ai->m_behaviour = BEHAVIOUR_RETREAT;
    ai->m_decisionTimer = 100;
    for (int i = 0; i < 5; ++i)
        ai->update(&layer, &e);
    EXPECT_FLOAT_EQ(e.decision.m_waypointCell.x, 0.0f);
    EXPECT_FLOAT_EQ(e.decision.m_waypointCell.z, 0.0f);
    EXPECT_FLOAT_EQ(e.decision.m_target.x, 60.0f) << "it keeps facing the hero";

    ai->m_behaviour = BEHAVIOUR_STAND;
    ai->update(&layer, &e);
    EXPECT_EQ(e.decision.m_action, ACTION_STAND);
}

TEST_F(AiWorld, FlockJoinRefusesBadNumbersAndTheLaterLeaderLeads) {
    QRVFlockAI flocks;
    EnemyData& a = enemy(1, 100.0f, 100.0f);
    EnemyData& b = enemy(2, 120.0f, 100.0f);
    EXPECT_FALSE(flocks.join(10, FLOCK_ROLE_LEADER, &a));
    EXPECT_FALSE(flocks.join(-1, FLOCK_ROLE_LEADER, &a));
    EXPECT_FALSE(flocks.join(0, 7, &a));
    EXPECT_FALSE(flocks.join(0, FLOCK_ROLE_LEADER, nullptr));
    EXPECT_EQ(DebugAssertCount(), 4);
    EXPECT_EQ(flocks.flock(0), nullptr);
    EXPECT_EQ(flocks.flock(12), nullptr);

    ASSERT_TRUE(flocks.join(3, FLOCK_ROLE_LEADER, &a));
    ASSERT_TRUE(flocks.join(3, FLOCK_ROLE_LEADER, &b));
    ASSERT_NE(flocks.flock(3), nullptr);
    EXPECT_EQ(flocks.flock(3)->m_number, 3);
    EXPECT_EQ(flocks.flock(3)->m_leader->m_id, 2);

    hero(900.0f, 900.0f);
    a.decision.m_target = Vector(-1.0f, 0.0f, -1.0f);
    flocks.update(&layer);
    EXPECT_FLOAT_EQ(a.decision.m_target.x, -1.0f) << "the replaced leader gets no decisions";
    EXPECT_FLOAT_EQ(b.decision.m_target.x, 900.0f);
}

TEST_F(AiWorld, FollowersAreLeashedAxisByAxis) {
    QRVFlockAI flocks;
    EnemyData& leader = enemy(1, 500.0f, 500.0f);
    EnemyData& f = enemy(2, 540.0f, 580.0f); // 40 on x, 80 on z
    flocks.join(0, FLOCK_ROLE_LEADER, &leader);
    flocks.join(0, FLOCK_ROLE_FOLLOWER, &f);
    hero(1200.0f, 1200.0f); // far: no charge
    flocks.update(&layer);
    EXPECT_FLOAT_EQ(f.decision.m_waypointCell.x, 54.0f) << "40 is inside the leash";
    EXPECT_FLOAT_EQ(f.decision.m_waypointCell.z, 57.0f) << "80 pulls it one cell back";
    EXPECT_FLOAT_EQ(f.decision.m_waypoint.z, 570.0f);
    EXPECT_FLOAT_EQ(f.decision.m_target.x, 1200.0f);
}

TEST_F(AiWorld, FollowersInOneCellDoNotPushEachOther) {
    QRVFlockAI flocks;
    EnemyData& leader = enemy(1, 500.0f, 500.0f);
    flocks.join(0, FLOCK_ROLE_LEADER, &leader);
    EnemyData* f[3];
    for (int i = 0; i < 3; ++i) {
        f[i] = &enemy(2 + i, 505.0f, 505.0f);
        flocks.join(0, FLOCK_ROLE_FOLLOWER, f[i]);
    }
    hero(1200.0f, 1200.0f);
    flocks.update(&layer);
    for (EnemyData* e : f) {
        EXPECT_FLOAT_EQ(e->decision.m_waypointCell.x, 50.0f);
        EXPECT_FLOAT_EQ(e->decision.m_waypointCell.z, 50.0f);
    }

    // Two followers in neighbouring cells push each other apart.
    moveTo(*f[1], 525.0f, 505.0f);
    f[1]->decision.m_waypointCell = Vector(52.0f, 0.0f, 50.0f);
    f[0]->decision.m_waypointCell = Vector(50.0f, 0.0f, 50.0f);
    f[2]->decision.m_waypointCell = Vector(50.0f, 0.0f, 50.0f);
    // A push moves the cell one beyond the follower's own, however many push and however
    // many frames pass before it gets there.
    for (int frame = 0; frame < 100; ++frame)
        flocks.update(&layer);
    EXPECT_FLOAT_EQ(f[1]->decision.m_waypointCell.x, 53.0f) << "pushed by both others";
    EXPECT_FLOAT_EQ(f[0]->decision.m_waypointCell.x, 49.0f);
    EXPECT_FLOAT_EQ(f[0]->decision.m_waypoint.x, 490.0f);
    // Never past the leash: 60 from the leader is beyond it, so no push goes there.
    moveTo(*f[1], 545.0f, 505.0f);
    f[1]->decision.m_waypointCell = Vector(54.0f, 0.0f, 50.0f);
    for (int frame = 0; frame < 100; ++frame)
        flocks.update(&layer);
    EXPECT_FLOAT_EQ(f[1]->decision.m_waypointCell.x, 54.0f);
}

TEST_F(AiWorld, EveryFollowerOfACloseChargingGroupCanAttack) {
    QRVFlockAI flocks;
    chargingFlock(flocks);
    ASSERT_TRUE(flocks.flock(0)->m_charging);
    EnemyData* f[3] = {layer.m_enemyTable[2].get(), &enemy(3, 520.0f, 510.0f),
                       &enemy(4, 500.0f, 520.0f)};
    flocks.join(0, FLOCK_ROLE_FOLLOWER, f[1]);
    flocks.join(0, FLOCK_ROLE_FOLLOWER, f[2]);
    int attacks[3] = {0, 0, 0};
    for (int frame = 0; frame < 3000; ++frame) {
        flocks.update(&layer);
        for (int i = 0; i < 3; ++i)
            attacks[i] += f[i]->decision.m_action == ACTION_ATTACK;
    }
    ASSERT_TRUE(flocks.flock(0)->m_charging);
    for (int i = 0; i < 3; ++i) // 1 in 150 a frame: about 20 each
        EXPECT_GT(attacks[i], 5) << "follower " << i;
}

TEST_F(AiWorld, AFarHeroStopsTheChargeAndChargersRunAtTheHero) {
    QRVFlockAI flocks;
    EnemyData& f = chargingFlock(flocks);
    ASSERT_TRUE(flocks.flock(0)->m_charging) << "1 in 100 a frame within 200";
    EXPECT_EQ(layer.m_enemyTable[1]->decision.m_action, ACTION_ATTACK);
    flocks.update(&layer);
    EXPECT_FLOAT_EQ(f.decision.m_waypointCell.x, 60.0f) << "the hero's cell, not the world's edge";
    EXPECT_FLOAT_EQ(f.decision.m_waypointCell.z, 60.0f);
    EXPECT_FLOAT_EQ(f.decision.m_waypoint.x, 600.0f);

    hero(900.0f, 500.0f); // 400 away from the leader
    flocks.update(&layer);
    EXPECT_FALSE(flocks.flock(0)->m_charging);
}

TEST_F(AiWorld, FollowersOfAFallenLeaderHuntAlone) {
    gameSrand(9);
    QRVFlockAI flocks;
    EnemyData& leader = enemy(1, 500.0f, 500.0f);
    EnemyData& f = enemy(2, 500.0f, 600.0f);
    flocks.join(0, FLOCK_ROLE_LEADER, &leader);
    flocks.join(0, FLOCK_ROLE_FOLLOWER, &f);
    hero(560.0f, 640.0f);
    flocks.update(&layer);
    // The leader is killed: its record is destroyed, as the damage rule does.
    layer.m_enemyTable.erase(1);
    int jumps = 0, attacks = 0;
    for (int i = 0; i < 3000; ++i) {
        flocks.update(&layer);
        jumps += f.decision.m_action == ACTION_JUMP;
        attacks += f.decision.m_action == ACTION_ATTACK;
    }
    EXPECT_GT(attacks, 0) << "within 200 it attacks on its own";
    EXPECT_LT(jumps, 30);
    // 100 from the fallen leader on z: the leash still pulls toward its last cell. (The hero
    // more than 200 from where the leader fell, so that no charge sends it to the hero.)
    hero(500.0f, 760.0f);
    moveTo(f, 500.0f, 600.0f);
    f.decision.m_waypointCell = Vector(50.0f, 0.0f, 60.0f);
    flocks.update(&layer);
    EXPECT_LE(f.decision.m_waypointCell.z, 60.0f);
    EXPECT_EQ(DebugAssertCount(), 0);
}

TEST_F(AiWorld, AFallenLeadersChargeEndsWhenTheHeroLeavesWhereItFell) {
    QRVFlockAI flocks;
    EnemyData& f = chargingFlock(flocks);
    ASSERT_TRUE(flocks.flock(0)->m_charging);
    // Killed mid-charge: the record goes, the leader stays in its flock.
    layer.m_enemyTable.erase(1);
    flocks.update(&layer);
    ASSERT_NE(flocks.flock(0)->m_leader, nullptr);
    hero(1000.0f, 600.0f); // 500 from where the leader fell
    flocks.update(&layer);
    EXPECT_FALSE(flocks.flock(0)->m_charging);
    // Its follower hunts alone now instead of running at the hero's cell from anywhere.
    f.decision.m_waypointCell = Vector(51.0f, 0.0f, 50.0f);
    for (int i = 0; i < 200; ++i) {
        flocks.update(&layer);
        EXPECT_FALSE(flocks.flock(0)->m_charging) << "frame " << i;
    }
    EXPECT_NE(f.decision.m_waypointCell.x, 100.0f);

    // Back near the fallen leader, the flock may charge again, as a live leader's would.
    hero(600.0f, 600.0f);
    for (int frames = 0; frames < 5000 && !flocks.flock(0)->m_charging; ++frames)
        flocks.update(&layer);
    EXPECT_TRUE(flocks.flock(0)->m_charging);
    EXPECT_EQ(DebugAssertCount(), 0);
}

TEST_F(AiWorld, HuntersKeepOutOfTheVillageAndItsFireAndRoamersKeepFartherOut) {
    gameSrand(3);
    layer.m_villageX = 300.0f;
    layer.m_villageZ = 300.0f;
    layer.m_villageRadius = 100.0f;
    auto* patrol = new QRVWaypointAI();
    EnemyData& brute = enemy(1, 460.0f, 300.0f, 100, patrol);
    patrol->setPath({Vector(500.0f, 0.0f, 300.0f)});
    auto* casting = new QRVWaypointAI();
    EnemyData& magician = enemy(2, 460.0f, 330.0f, 100, casting);
    magician.enemyType = 1;
    casting->setPath({Vector(500.0f, 0.0f, 330.0f)});
    enemy(3, 1100.0f, 340.0f, 100, new QRVProbabilityAI());
    EnemyData& leader = enemy(4, 1100.0f, 260.0f);
    QRVFlockAI flocks;
    flocks.join(0, FLOCK_ROLE_LEADER, &leader);
    // The hero starts beside the patrols and walks to the village's middle; they are faster.
    float heroX = 440.0f;
    bool struckInside = false, castNear = false;
    float nearest[5] = {1e9f, 1e9f, 1e9f, 1e9f, 1e9f};
    for (int frame = 0; frame < 600; ++frame) {
        heroX = std::max(300.0f, heroX - 0.5f);
        hero(heroX, 300.0f);
        layer.updateEnemyAI();
        flocks.update(&layer);
        for (auto& [id, e] : layer.m_enemyTable) {
            const AIDecision& d = e->decision;
            struckInside |= d.m_action == ACTION_ATTACK && layer.inVillage(heroX, 300.0f);
            castNear |= id == 2 && d.m_action == ACTION_ATTACK &&
                        layer.inVillage(heroX, 300.0f, VILLAGE_FIRE_MARGIN);
            Vector step(d.m_waypoint.x - e->x, 0.0f, d.m_waypoint.z - e->z);
            if (step.length() > 1.0f)
                step = step * (1.0f / step.length());
            moveTo(*e, e->x + step.x, e->z + step.z);
            nearest[id] = std::min(nearest[id], std::hypot(e->x - 300.0f, e->z - 300.0f));
        }
    }
    EXPECT_GE(nearest[1], 99.0f) << "no hunter set foot in the village";
    EXPECT_LE(nearest[1], 110.0f) << "they did come to its edge";
    for (int roamer : {3, 4})
        EXPECT_GE(nearest[roamer], 100.0f + VILLAGE_ROAM_MARGIN - 1.0f) << "enemy " << roamer;
    EXPECT_FALSE(struckInside) << "no blow at a hero in the village";
    EXPECT_FALSE(castNear) << "no fire at a hero near it";
    EXPECT_FALSE(patrol->m_alerted) << "the patrol gave up the hunt";
    EXPECT_FLOAT_EQ(brute.decision.m_waypoint.x, 500.0f) << "and walks back to its round";
}

TEST_F(AiWorld, AHunterStrikesAsOftenEachSecondAtAnyFrameRate) {
    auto* patrol = new QRVWaypointAI();
    EnemyData& brute = enemy(1, 500.0f, 500.0f, 100, patrol);
    patrol->setPath({Vector(500.0f, 0.0f, 500.0f)});
    hero(520.0f, 500.0f);
    // One in 20 a frame at 60 frames a second: 1800 in ten minutes, give or take.
    gameSrand(11);
    for (double frameMs : {1000.0 / 60.0, 1000.0 / 15.0}) {
        int strikes = 0;
        for (double ms = 0.0; ms < 600000.0; ms += frameMs) {
            patrol->provoke(); // keeps the hunt going
            layer.updateEnemyAI(frameMs);
            strikes += brute.decision.m_action == ACTION_ATTACK;
        }
        EXPECT_NEAR(strikes, 1800, 150) << frameMs << " ms a frame";
    }
}
