#include "ai/qrvai.h"
#include "ai/qrvwaypointai.h"
#include "level/qrvdatalayer.h"
#include "platform/debugassert.h"

#include <gtest/gtest.h>

#include <cmath>

#include <memory>

namespace {
std::unique_ptr<EnemyData> enemy(int id, float x, float z, int life, QRVAI* ai = nullptr) {
    auto e = std::make_unique<EnemyData>();
    e->id = id;
    e->x = x;
    e->z = z;
    e->life = life;
    e->ai.reset(ai ? ai : new QRVAI());
    return e;
}

class DataLayer : public testing::Test {
protected:
    void SetUp() override {
        layer.m_worldWidth = 1280.0f;
        layer.m_worldDepth = 1280.0f;
    }
    void place(std::unique_ptr<EnemyData> e) {
        layer.worldToCell(e->x, e->z, e->aiX, e->aiZ);
        layer.addEnemy(std::move(e));
        layer.m_enemyCount += 1;
    }
    QRVDataLayer layer;
};
} // namespace

TEST_F(DataLayer, CellsAtTheEdgesOfTheWorld) {
    int i, j;
    layer.worldToCell(1280.0f, 1280.0f, i, j);
    EXPECT_EQ(i, 127);
    EXPECT_EQ(j, 127);
    layer.worldToCell(9.99f, 10.0f, i, j);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(j, 1);
    // Below the world start stays inside the grid instead of indexing before it.
    layer.worldToCell(-50.0f, -0.1f, i, j);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(j, 0);
    // Positions far beyond any int (a fuzzed level file) and NaN: clamped, no overflow.
    layer.worldToCell(1e30f, -1e30f, i, j);
    EXPECT_EQ(i, 127);
    EXPECT_EQ(j, 0);
    layer.worldToCell(std::nanf(""), 1e30f, i, j);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(j, 127);
    layer.markFootprint(3, 1e30f, std::nanf(""), 2000000000, 10);
    EXPECT_FLOAT_EQ(layer.worldToCellF(1280.0f, 5.0f).x, 127.0f);
    EXPECT_FLOAT_EQ(layer.cellToWorld(128, 64).x, 1280.0f);
    EXPECT_FLOAT_EQ(layer.cellToWorld(128, 64).z, 640.0f);
}

TEST_F(DataLayer, WaterStaysWhenAnEnemyLeavesItsCell) {
    layer.markWater([](int x, int) { return x < 100 ? 60 : 120; });
    EXPECT_TRUE(layer.isWater(5.0f, 700.0f));
    EXPECT_FALSE(layer.isWater(500.0f, 700.0f));
    DebugAssertReset();
    testing::internal::CaptureStderr();
    place(enemy(20, 5.0f, 700.0f, 10)); // onto water: reported, placed anyway
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(DebugAssertLastExpression(), "!(m_array[object->aiX][object->aiZ].occupied)");
    layer.moveObject(20, KIND_ENEMY, 500.0f, 700.0f);
    EXPECT_TRUE(layer.cell(0, 70).occupied);
    EXPECT_TRUE(layer.isWater(5.0f, 700.0f));
    // An occupied dry cell is not water and asking adds nothing to it.
    EXPECT_FALSE(layer.isWater(500.0f, 700.0f));
    EXPECT_EQ(layer.cell(50, 70).contents.size(), 1u);
}

TEST_F(DataLayer, FootprintsTruncateAndExcludeTheirUpperBounds) {
    layer.markFootprint(3, 100.0f, 100.0f, 30, 20); // x 85..115 -> cells 8..10, z 90..110 -> 9..10
    int marked = 0;
    for (int i = 0; i < 128; ++i)
        for (int j = 0; j < 128; ++j)
            marked += layer.cell(i, j).occupied ? 1 : 0;
    EXPECT_EQ(marked, 3 * 2);
    EXPECT_TRUE(layer.cell(8, 9).occupied);
    EXPECT_FALSE(layer.cell(11, 9).occupied);
    layer.markFootprint(4, 300.0f, 300.0f, 4, 4); // narrower than a cell: nothing
    EXPECT_FALSE(layer.cell(30, 30).occupied);
    layer.markFootprint(5, 1275.0f, 2.0f, 40, 40); // reaching outside the grid
    EXPECT_TRUE(layer.cell(127, 0).occupied);
}

TEST_F(DataLayer, TheLastKillWakesTheBossAndKindsFollowTheTables) {
    layer.m_boss.active = false; // as a level file with "active" 0 leaves it
    place(enemy(7, 100.0f, 100.0f, 10));
    place(enemy(8, 200.0f, 100.0f, 10, new QRVWaypointAI()));
    EXPECT_EQ(layer.kindOf(7), KIND_ENEMY);
    EXPECT_EQ(layer.kindOf(PLAYER_ID), KIND_PLAYER);
    EXPECT_EQ(layer.kindOf(BOSS_ID), KIND_STATIC);
    EXPECT_FALSE(layer.damage(8, 3)); // a hit provokes a waypoint enemy
    EXPECT_TRUE(static_cast<QRVWaypointAI&>(*layer.m_enemyTable[8]->ai).isProvoked());
    EXPECT_FALSE(layer.damage(7, 9));
    EXPECT_EQ(layer.lifeOf(7), 1);
    EXPECT_TRUE(layer.damage(7, 1));
    EXPECT_EQ(layer.kindOf(7), KIND_STATIC);
    EXPECT_FALSE(layer.cell(10, 10).occupied);
    EXPECT_FALSE(layer.isBossActive());
    EXPECT_EQ(layer.randomEnemy()->id, 8); // the one survivor
    EXPECT_TRUE(layer.damage(8, 50));
    EXPECT_TRUE(layer.isBossActive());
    EXPECT_EQ(layer.randomEnemy(), nullptr);
    // A dead enemy hit again is reported, not a use of a freed record.
    DebugAssertReset();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(layer.damage(8, 5));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(DebugAssertCount(), 1);

    layer.m_boss.life = 30;
    EXPECT_FALSE(layer.damage(BOSS_ID, 29));
    EXPECT_TRUE(layer.damage(BOSS_ID, 5));
    EXPECT_EQ(layer.m_boss.life, 0);
}

TEST_F(DataLayer, MenusWrapAndAMissingCharacterIsReported) {
    auto npc = std::make_unique<NpcData>();
    npc->id = 12;
    npc->normalChat = "Hello";
    npc->menu.count = 3;
    layer.addNpc(std::move(npc));
    EXPECT_EQ(layer.kindOf(12), KIND_NPC);
    EXPECT_EQ(layer.chatText(12), "Hello");
    layer.menuUp(12);
    EXPECT_EQ(layer.npcMenu(12)->selected, -1);
    layer.npcMenu(12)->selected = 2;
    layer.menuDown(12);
    EXPECT_EQ(layer.npcMenu(12)->selected, 0);
    DebugAssertReset();
    testing::internal::CaptureStderr();
    EXPECT_EQ(layer.npcMenu(99), nullptr);
    layer.menuDown(99);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(DebugAssertLastExpression(), "npcIterator != m_npcTable.end()");
}

TEST_F(DataLayer, MovingThePlayerKeepsOneEntry) {
    layer.movePlayer(100.0f, 100.0f);
    layer.movePlayer(300.0f, 100.0f);
    EXPECT_FALSE(layer.cell(10, 10).occupied);
    EXPECT_EQ(layer.cell(30, 10).contents.at(PLAYER_ID), KIND_PLAYER);
    DebugAssertReset();
    testing::internal::CaptureStderr();
    layer.moveObject(PLAYER_ID, KIND_PLAYER, 0.0f, 0.0f);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(DebugAssertLastExpression(), "objectID != PLAYER_ID");
}
