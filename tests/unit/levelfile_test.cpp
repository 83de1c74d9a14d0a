#include "level/levelfile.h"
#include "platform/debugassert.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

const char* kHead =
    R"(<terrain name="t" heightmap="h.bmp" texture="c.bmp" detail="d.bmp" glStart="0" glWidth="1000" glDepth="900">
<skybox front="f" back="b" left="l" right="r" top="t"/>
<player model="p.ms3d" life="10"><starting-position x="1" z="2"/></player>
<boss active="0" model="b.ms3d" life="50"><starting-position x="3" z="4"/></boss>
)";

std::string level(const std::string& body) {
    return std::string(kHead) + body + "</terrain>";
}

LevelFile parse(const std::string& xml) {
    return ReadLevelFileFromMemory(xml.data(), xml.size());
}

std::string errorOf(const std::string& xml) {
    try {
        parse(xml);
    } catch (const LevelFileError& e) {
        return e.what();
    }
    return "";
}

std::string enemy(const std::string& attrs, const std::string& children = "") {
    return "<enemy name=\"e\" active=\"1\" visible=\"1\" model=\"m\" speed=\"3\" life=\"5\" " +
           attrs + "><starting-position x=\"5\" z=\"6\"/>" + children + "</enemy>";
}

std::string npc(const std::string& menuItems, const std::string& pathXml) {
    return R"(<npc model="n" name="Anna" speed="2" active="1"><starting-position x="7" z="8"/>)"
           R"(<normal-chat text="hi"/><scared-chat text="eek"/><menu title="T" negative-reply="no">)" +
           menuItems + "</menu>" + pathXml + "</npc>";
}

const char* kOnePoint = R"(<path num="1"><p x="1" z="1"/></path>)";

} // namespace

TEST(LevelFile, ReadsSectionsAndHandsOutIdsInGroupOrder) {
    // Enemies come first in the document, and two enemies lists are read as one.
    std::string body =
        "<enemies>" + enemy(R"(aiType="probability" enemyType="melee")") +
        "</enemies><static-objects><s model=\"s\"><starting-position x=\"1e2\" z=\"-2.5\"/>"
        "<size width=\"10.9\" depth=\"-3.7\"/><heading x=\"0\" z=\"1\"/></s></static-objects>"
        "<npcs>" +
        npc("", kOnePoint) + "</npcs><enemies>" +
        enemy(R"(aiType="flock" role="leader" flocknum="9" enemyType="magician")") + "</enemies>";
    LevelFile l = parse(level(body));
    EXPECT_EQ(l.heightMap, "h.bmp");
    EXPECT_FLOAT_EQ(l.glDepth, 900.0f);
    EXPECT_EQ(l.skyTop, "t");
    EXPECT_EQ(l.playerLife, 10);
    EXPECT_FALSE(l.bossActive);
    ASSERT_EQ(l.statics.size(), 1u);
    ASSERT_EQ(l.npcs.size(), 1u);
    ASSERT_EQ(l.enemies.size(), 2u);
    EXPECT_EQ(l.statics[0].id, 0);
    EXPECT_EQ(l.npcs[0].id, 1);
    EXPECT_EQ(l.enemies[0].id, 2);
    EXPECT_EQ(l.enemies[1].id, 3);
    EXPECT_FLOAT_EQ(l.statics[0].position.x, 100.0f);
    EXPECT_EQ(l.statics[0].width, 10);
    EXPECT_EQ(l.statics[0].depth, -3); // toward zero
    EXPECT_TRUE(l.enemies[1].leader);
    EXPECT_EQ(l.enemies[1].flockNum, 9);
    EXPECT_EQ(l.enemies[1].enemyType, 1);
    EXPECT_TRUE(l.npcs[0].menu.empty());
    EXPECT_TRUE(l.warnings.empty());
}

TEST(LevelFile, ValueRules) {
    EXPECT_EQ(ParseLevelInt("12.9"), 12);
    EXPECT_EQ(ParseLevelInt("  -7x"), -7);
    EXPECT_EQ(ParseLevelInt("abc"), 0);
    EXPECT_EQ(ParseLevelInt("99999999999"), 2147483647);
    EXPECT_FLOAT_EQ(ParseLevelReal("1e2"), 100.0f);
    EXPECT_FLOAT_EQ(ParseLevelReal("x"), 0.0f);

    std::string body =
        "<enemies>" + enemy(R"(speed2="1" aiType="probability" enemyType="melee")") + "</enemies>";
    // speed must be read as an integer even when written as a real
    std::string xml = level(
        "<enemies>" +
        std::string(
            R"(<enemy name="e" active="0" visible="2" model="m" speed="12.9" life="5" aiType="probability" enemyType="melee"><starting-position x="0" z="0"/></enemy>)") +
        "</enemies>");
    int before = DebugAssertCount();
    LevelFile l = parse(xml);
    EXPECT_EQ(l.enemies[0].speed, 12);
    EXPECT_FALSE(l.enemies[0].active);
    EXPECT_FALSE(l.enemies[0].visible); // 2 is no flag: asserted, stored false
    EXPECT_EQ(DebugAssertCount(), before + 1);
    EXPECT_STREQ(DebugAssertLastExpression(), "i == 1 || i == 0");
}

TEST(LevelFile, OnlyFlockReadsRoleAndOnlyWaypointReadsPath) {
    // A broken role/flocknum/path on the wrong ai type is never looked at.
    std::string body = "<enemies>" +
                       enemy(R"(aiType="probability" role="chief" flocknum="42" enemyType="melee")",
                             R"(<path num="0"/>)") +
                       enemy(R"(aiType="waypoint" flocknum="77" enemyType="melee")",
                             R"(<path num="2"><p x="1" z="2"/><p x="3" z="4"/></path>)") +
                       "</enemies>";
    LevelFile l = parse(level(body));
    EXPECT_TRUE(l.enemies[0].path.empty());
    EXPECT_EQ(l.enemies[0].flockNum, 0);
    ASSERT_EQ(l.enemies[1].path.size(), 2u);
    EXPECT_FLOAT_EQ(l.enemies[1].path[1].z, 4.0f);
}

TEST(LevelFile, BrokenDocumentsNameTheElementAndFail) {
    EXPECT_NE(errorOf("<terrain").find("Failed load xml data from file.\n"), std::string::npos);
    EXPECT_NE(errorOf(level("<enemies>" + enemy(R"(aiType="probability")") + "</enemies>"))
                  .find("enemies/enemy[1]> lacks the attribute \"enemyType\""),
              std::string::npos);
    EXPECT_NE(errorOf(level("<static-objects><s model=\"s\"><starting-position x=\"1\" z=\"2\"/>"
                            "<heading x=\"0\" z=\"1\"/></s></static-objects>"))
                  .find("lacks the child <size>"),
              std::string::npos);
    EXPECT_NE(
        errorOf(level("<enemies>" + enemy(R"(aiType="Flock" enemyType="melee")") + "</enemies>"))
            .find("unknown aiType \"Flock\""),
        std::string::npos);
    EXPECT_NE(errorOf(level("<enemies>" +
                            enemy(R"(aiType="flock" role="boss" flocknum="1" enemyType="melee")") +
                            "</enemies>"))
                  .find("unknown role"),
              std::string::npos);
    EXPECT_NE(
        errorOf(level("<enemies>" +
                      enemy(R"(aiType="flock" role="leader" flocknum="10" enemyType="melee")") +
                      "</enemies>"))
            .find("flocknum=\"10\""),
        std::string::npos);
    EXPECT_NE(
        errorOf(level("<enemies>" +
                      enemy(R"(aiType="flock" role="leader" flocknum="-1" enemyType="melee")") +
                      "</enemies>"))
            .find("flocks are numbered 0 to 9"),
        std::string::npos);
    std::string item = R"(<i id="1" text="a" reply="b"/>)";
    std::string six;
    for (int i = 0; i < 6; ++i)
        six += item;
    EXPECT_NE(errorOf(level("<npcs>" + npc(six, kOnePoint) + "</npcs>")).find("has 6 items"),
              std::string::npos);
    EXPECT_EQ(parse(level("<npcs>" + npc(six.substr(item.size()), kOnePoint) + "</npcs>"))
                  .npcs[0]
                  .menu.size(),
              5u);
    EXPECT_NE(errorOf(level("<npcs>" + npc("", R"(<path num="0"/>)") + "</npcs>"))
                  .find("at least one point"),
              std::string::npos);
    EXPECT_NE(
        errorOf(level("<npcs>" + npc("", R"(<path num="2"><p x="1" z="1"/></path>)") + "</npcs>"))
            .find("num=\"2\" but 1 points"),
        std::string::npos);
    EXPECT_NE(errorOf(std::string(kHead).substr(0, std::string(kHead).find("<boss")) + "</terrain>")
                  .find("no <boss>"),
              std::string::npos);
}

TEST(LevelFile, ObjectLimits) {
    std::string statics = "<static-objects>";
    for (int i = 0; i < 251; ++i)
        statics +=
            R"(<s model="s"><starting-position x="1" z="2"/><size width="1" depth="1"/><heading x="0" z="1"/></s>)";
    EXPECT_NE(errorOf(level(statics + "</static-objects>")).find("at most 250 objects"),
              std::string::npos);

    std::string fiftyOne = "<static-objects>";
    for (int i = 0; i < 51; ++i)
        fiftyOne +=
            R"(<s model="s"><starting-position x="1" z="2"/><size width="1" depth="1"/><heading x="0" z="1"/></s>)";
    EXPECT_NE(errorOf(level(fiftyOne + "</static-objects>")).find("51 static objects"),
              std::string::npos);

    std::string enemies = "<enemies>";
    for (int i = 0; i < 29; ++i)
        enemies += enemy(R"(aiType="probability" enemyType="melee")");
    EXPECT_NE(errorOf(level(enemies + "</enemies>")).find("31 moving objects"), std::string::npos);
}

TEST(LevelFile, MissingSkyIsSkippedAndTopLevelFailureExitsThroughHandler) {
    std::string xml = level("");
    xml.erase(xml.find("<skybox"), xml.find("<player") - xml.find("<skybox"));
    LevelFile l = parse(xml);
    EXPECT_FALSE(l.hasSkyBox);
    ASSERT_EQ(l.warnings.size(), 1u);
    EXPECT_EQ(l.warnings[0].rfind("Invalid node fetched.\n", 0), 0u);

    std::string seen;
    SetLevelFatalHandler([&](const std::string& m) { seen = m; });
    LoadLevelFileOrExit("/nonexistent/level.xml");
    SetLevelFatalHandler(nullptr);
    EXPECT_EQ(seen.rfind("Failed load xml data from file.\n", 0), 0u);
}

TEST(LevelFile, GeneratedLevel) {
    std::string path = std::string(TARVO_GAME_DIR) + "/data/flatlandriver.xml";
    if (!std::ifstream(path))
        GTEST_SKIP() << "no generated level at " << path;
    LevelFile l = ReadLevelFile(path);
    int next = 0;
    for (const auto& s : l.statics)
        EXPECT_EQ(s.id, next++);
    for (const auto& n : l.npcs)
        EXPECT_EQ(n.id, next++);
    for (const auto& e : l.enemies)
        EXPECT_EQ(e.id, next++);
    EXPECT_GT(l.statics.size() + l.npcs.size() + l.enemies.size(), 0u);
}
