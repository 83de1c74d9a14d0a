#include "ai/qrvwaypointai.h"
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "platform/debugassert.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {
const char* kHead = R"(<level name="t" heightmap="h.raw" texture="c.bmp" detail="d.bmp"
 glStart="0" glWidth="1280" glDepth="1280">
 <skybox front="f" back="b" left="l" right="r" top="t"/>
 <player model="p.ms3d" life="100"><starting-position x="100" z="100"/></player>
 <boss active="0" model="b.ms3d" life="500"><starting-position x="900" z="900"/></boss>
)";

std::string npc(const std::string& items,
                const std::string& path = R"(<path num="1"><p x="5" z="6"/></path>)") {
    return R"(<npcs><npc model="n.ms3d" name="Virav" speed="12.9" active="1">
 <starting-position x="1e2" z="200"/><normal-chat text="Hi"/><scared-chat text="Eek"/>
 <menu title="Well?" negative-reply="No gems">)" +
           items + "</menu>" + path + "</npc></npcs>";
}

std::string enemy(const std::string& attrs, const std::string& inner = "") {
    return "<enemy name=\"e\" active=\"1\" visible=\"1\" model=\"e.ms3d\" speed=\"20\" "
           "life=\"30\" " +
           attrs + "><starting-position x=\"300\" z=\"300\"/>" + inner + "</enemy>";
}

std::string level(const std::string& body) {
    return std::string(kHead) + body + "</level>";
}

std::string errorOf(const std::string& xml) {
    try {
        readLevelText(xml);
    } catch (const LevelFileError& e) {
        return e.what();
    }
    return "";
}
} // namespace

TEST(LevelFile, NumbersFollowTheFormatsRules) {
    EXPECT_EQ(parseLevelInt("  12.9"), 12);
    EXPECT_EQ(parseLevelInt("-7abc"), -7);
    EXPECT_EQ(parseLevelInt("abc"), 0);
    EXPECT_EQ(parseLevelInt("99999999999"), 2147483647);
    EXPECT_FLOAT_EQ(parseLevelReal("1e2"), 100.0f);
    EXPECT_FLOAT_EQ(parseLevelReal("x"), 0.0f);
}

TEST(LevelFile, ListsAreReadInDocumentOrderAcrossSections) {
    LevelFile l = readLevelText(
        level(npc(R"(<i id="4" text="Map" reply="Here"/>)") + "<enemies>" +
              enemy(R"(aiType="probability" role="leader" flocknum="77" enemyType="melee")") +
              "</enemies><enemies>" +
              enemy(R"(aiType="flock" role="leader" flocknum="2" enemyType="magician")") +
              enemy(R"(aiType="waypoint" enemyType="melee")",
                    R"(<path num="2"><p x="1" z="2"/><p x="3" z="4"/></path>)") +
              "</enemies>"));
    ASSERT_EQ(l.enemies.size(), 3u);
    EXPECT_EQ(l.enemies[0].aiType, AiKind::Probability); // role and flocknum ignored
    EXPECT_EQ(l.enemies[1].flockNumber, 2);
    EXPECT_EQ(l.enemies[1].enemyType, 1);
    EXPECT_EQ(l.enemies[2].path.size(), 2u);
    ASSERT_EQ(l.npcs.size(), 1u);
    EXPECT_EQ(l.npcs[0].speed, 12);
    EXPECT_FLOAT_EQ(l.npcs[0].x, 100.0f);
    EXPECT_EQ(l.flockCount(), 1);
    EXPECT_FALSE(l.bossActive);
    EXPECT_FLOAT_EQ(l.worldWidth, 1280.0f);
}

TEST(LevelFile, BrokenDocumentsNameTheElementAndTheProblem) {
    EXPECT_NE(errorOf("<level").find("Failed load xml data from file.\n"), std::string::npos);
    EXPECT_NE(
        errorOf(level("<enemies>" + enemy(R"(aiType="Flock" enemyType="melee")") + "</enemies>"))
            .find("unknown \"aiType\" \"Flock\""),
        std::string::npos);
    EXPECT_NE(
        errorOf(level("<enemies>" +
                      enemy(R"(aiType="flock" role="leader" flocknum="10" enemyType="melee")") +
                      "</enemies>"))
            .find("\"flocknum\" 10 is outside 0 to 9"),
        std::string::npos);
    EXPECT_NE(errorOf(level("<enemies>" + enemy(R"(aiType="probability")") + "</enemies>"))
                  .find("missing attribute \"enemyType\""),
              std::string::npos);
    std::string six;
    for (int i = 0; i < 6; ++i)
        six += R"(<i id="1" text="a" reply="b"/>)";
    EXPECT_NE(errorOf(level(npc(six))).find("at most 5 are allowed"), std::string::npos);
    EXPECT_NE(
        errorOf(level(npc("", R"(<path num="2"><p x="5" z="6"/></path>)"))).find("holds 1 points"),
        std::string::npos);
    EXPECT_NE(errorOf(level(npc("", R"(<path num="0"></path>)"))).find("at least 1"),
              std::string::npos);
    EXPECT_NE(errorOf(level(npc("", ""))).find("missing child <path>"), std::string::npos);
    std::string many = "<enemies>";
    for (int i = 0; i < 29; ++i)
        many += enemy(R"(aiType="probability" enemyType="melee")");
    many += "</enemies>";
    EXPECT_NE(errorOf(level(many)).find("moving objects"), std::string::npos);
    const std::string head(kHead);
    EXPECT_NE(errorOf(head.substr(0, head.find("<player")) + "</level>").find("no <player>"),
              std::string::npos);
    EXPECT_NE(errorOf("<level/>").find("missing attribute \"name\""), std::string::npos);
}

TEST(LevelFile, AFlagOtherThanZeroOrOneIsReportedAndFalse) {
    DebugAssertReset();
    testing::internal::CaptureStderr();
    LevelFile l = readLevelText(
        level("<enemies>" +
              std::string("<enemy name=\"e\" active=\"2\" visible=\"1\" model=\"e\" speed=\"1\" "
                          "life=\"1\" aiType=\"probability\" enemyType=\"melee\">"
                          "<starting-position x=\"1\" z=\"1\"/></enemy>") +
              "</enemies>"));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(DebugAssertLastExpression(), "i == 1 || i == 0");
    EXPECT_FALSE(l.enemies[0].active);
}

TEST(LevelRecords, IdentifiersFollowTheLoadingOrderAndWaterIsMarked) {
    LevelFile l = readLevelText(level(
        R"(<static-objects><s model="rock.ms3d"><starting-position x="500" z="500"/>
           <size width="30.9" depth="20"/><heading x="1" z="0"/></s></static-objects>)" +
        npc(R"(<i id="1" text="Life" reply="There"/>)") + "<enemies>" +
        enemy(R"(aiType="waypoint" enemyType="melee")",
              R"(<path num="1"><p x="640" z="640"/></path>)") +
        "</enemies>"));
    QRVDataLayer layer;
    layer.loadRecords(l, [](int x, int) { return x < 50 ? 70 : 100; });
    EXPECT_EQ(layer.kindOf(0), KIND_STATIC);
    EXPECT_EQ(layer.kindOf(1), KIND_NPC);
    EXPECT_EQ(layer.kindOf(2), KIND_ENEMY);
    EXPECT_EQ(layer.npcName(1), "Virav");
    EXPECT_EQ(layer.npcMenu(1)->count, 1);
    EXPECT_EQ(layer.m_enemyCount, 1);
    EXPECT_EQ(layer.m_enemyTable[2]->ai->type(), 2);
    EXPECT_FLOAT_EQ(layer.m_enemyTable[2]->decision.m_waypointCell.x, 64.0f);
    EXPECT_TRUE(layer.cell(49, 49).contents.count(0)); // the rock's footprint
    EXPECT_TRUE(layer.isWater(10.0f, 600.0f));
    EXPECT_FALSE(layer.isWater(600.0f, 600.0f));
    EXPECT_EQ(layer.cell(10, 10).contents.at(PLAYER_ID), KIND_PLAYER);
    EXPECT_FALSE(layer.isBossActive());
    EXPECT_TRUE(layer.damage(2, 30));
    EXPECT_TRUE(layer.isBossActive());
}

TEST(LevelRecords, TheGeneratedLevelReads) {
    const std::string file = std::string(TARVO_GAME_DIR) + "/data/flatlandriver.xml";
    if (!std::ifstream(file).good())
        GTEST_SKIP() << "no generated level at " << file;
    LevelFile l = readLevelFile(file);
    EXPECT_GE(l.statics.size(), 10u);
    EXPECT_EQ(l.npcs.size(), 3u);
    EXPECT_GE(l.enemies.size(), 15u);
}
