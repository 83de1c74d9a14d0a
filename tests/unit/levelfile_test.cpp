#include "ai/qrvwaypointai.h"
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "platform/debugassert.h"
#include "shell/levelbuilder.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <fstream>
#include <regex>
#include <sstream>
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

// The head with one terrain attribute's value replaced.
std::string withTerrain(const std::string& name, const std::string& value) {
    std::string head(kHead);
    const size_t at = head.find(name + "=\"") + name.size() + 2;
    return head.replace(at, head.find('"', at) - at, value) + "</level>";
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
    // Reals are decimal only: no NaN, no infinity, no hexadecimal.
    for (const char* text : {"x", "nan", "NAN(1)", "inf", "-Infinity", ".", "0x10", "-0x1p4"})
        EXPECT_EQ(parseLevelReal(text), 0.0f) << text;
    EXPECT_FLOAT_EQ(parseLevelReal(" \t-2.5e1e3"), -25.0f);
    EXPECT_FLOAT_EQ(parseLevelReal("+.5"), 0.5f);
    EXPECT_FLOAT_EQ(parseLevelReal("7.e+"), 7.0f);
    EXPECT_FLOAT_EQ(parseLevelReal("1,5"), 1.0f);
    // Beyond a float's range saturates, as integers do.
    EXPECT_EQ(parseLevelReal("1e39"), FLT_MAX);
    EXPECT_EQ(parseLevelReal("-1e999"), -FLT_MAX);
    EXPECT_EQ(parseLevelReal("1e-999"), 0.0f);
    const std::string nanHero = level("");
    LevelFile l = readLevelText(
        std::regex_replace(nanHero, std::regex(R"(x="100" z="100")"), R"(x="nan" z="infinity")"));
    EXPECT_EQ(l.playerX, 0.0f);
    EXPECT_EQ(l.playerZ, 0.0f);
}

TEST(LevelFile, ListsAreReadInDocumentOrderAcrossSections) {
    LevelFile l = readLevelText(
        level(npc(R"(<i id="4" text="Map" reply="Here"/>)") + "<enemies>" +
              enemy(R"(aiType="probability" role="leader" flocknum="77" enemyType="melee")") +
              "</enemies><enemies>" +
              enemy(R"(aiType="flock" role="leader" flocknum="2" enemyType="magician")") +
              enemy(R"(aiType="waypoint" attackOdds="150" shown="true" blowDamage="5" )"
                    R"(enemyType="melee")",
                    R"(<path num="2"><p x="1" z="2"/><p x="3" z="4"/></path>)") +
              "</enemies>"));
    ASSERT_EQ(l.enemies.size(), 3u);
    EXPECT_EQ(l.enemies[0].attackOdds, WAYPOINT_ATTACK_ODDS);
    EXPECT_EQ(l.enemies[2].attackOdds, 150);
    EXPECT_FALSE(l.enemies[0].shown);
    EXPECT_TRUE(l.enemies[2].shown);
    EXPECT_EQ(l.enemies[0].blowDamage, ENEMY_BLOW_DAMAGE);
    EXPECT_EQ(l.enemies[2].blowDamage, 5);
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
    const std::pair<const char*, const char*> enemies[] = {
        {R"(aiType="Flock" enemyType="melee")", "unknown \"aiType\" \"Flock\""},
        {R"(aiType="flock" role="leader" flocknum="10" enemyType="melee")",
         "\"flocknum\" 10 is outside 0 to 9"},
        {R"(aiType="probability")", "missing attribute \"enemyType\""},
        {R"(aiType="waypoint" attackOdds="1" enemyType="melee")", "\"attackOdds\" 1 is below 2"},
        {R"(aiType="waypoint" shown="yes" enemyType="melee")", "\"shown\" \"yes\""},
        {R"(aiType="waypoint" blowDamage="0" enemyType="melee")", "\"blowDamage\" 0 is below 1"}};
    for (const auto& [attributes, problem] : enemies)
        EXPECT_NE(errorOf(level("<enemies>" +
                                enemy(attributes, R"(<path num="1"><p x="1" z="2"/></path>)") +
                                "</enemies>"))
                      .find(problem),
                  std::string::npos)
            << attributes;
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
    const std::string head(kHead);
    EXPECT_NE(errorOf(head.substr(0, head.find("<player")) + "</level>").find("no <player>"),
              std::string::npos);
    EXPECT_NE(errorOf("<level/>").find("missing attribute \"name\""), std::string::npos);
    const std::string leader =
        enemy(R"(aiType="flock" role="leader" flocknum="3" enemyType="melee")");
    EXPECT_NE(errorOf(level("<enemies>" + leader + "</enemies><enemies>" + leader + "</enemies>"))
                  .find("flock 3 already has a leader, \"e\""),
              std::string::npos);

    // World sizes are finite and within the largest world.
    EXPECT_NE(errorOf(withTerrain("glWidth", "inf")).find("\"glWidth\" \"inf\" must be positive"),
              std::string::npos);
    EXPECT_NE(errorOf(withTerrain("glDepth", "1e30")).find("beyond the largest world"),
              std::string::npos);
    EXPECT_NE(errorOf(withTerrain("glStart", "-1")).find("\"glStart\" \"-1\" must be 0 or more"),
              std::string::npos);
    EXPECT_EQ(errorOf(withTerrain("glWidth", "65536")), "");
}

TEST(LevelFile, AnOversizedLevelIsRefusedBeforeItsRecordsAreBuilt) {
    // The counts come first: the broken 29th enemy is never read.
    std::string many = "<enemies>";
    for (int i = 0; i < 28; ++i)
        many += enemy(R"(aiType="probability" enemyType="melee")");
    many += enemy(R"(aiType="probability")") + "</enemies>";
    EXPECT_NE(errorOf(level(many)).find("more than 30 moving objects"), std::string::npos);
    std::string statics = "<static-objects>";
    for (int i = 0; i < 51; ++i)
        statics += "<s/>";
    EXPECT_NE(errorOf(level(statics + "</static-objects>")).find("more than 50 static objects"),
              std::string::npos);
    // A file too large is refused unparsed.
    EXPECT_NE(errorOf(level("<!--" + std::string(LEVEL_MAX_FILE_BYTES, ' ') + "-->"))
                  .find("a level at most 4194304"),
              std::string::npos);
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
    // The village: around the villager at (100, 200) and the hero's start at (100, 100).
    EXPECT_TRUE(layer.inVillage(100.0f, 150.0f));
    EXPECT_TRUE(layer.inVillage(100.0f, 200.0f + VILLAGE_MARGIN - 1.0f));
    EXPECT_FALSE(layer.inVillage(100.0f, 200.0f + VILLAGE_MARGIN + 1.0f));
    EXPECT_FLOAT_EQ(layer.m_enemyTable[2]->decision.m_waypointCell.x, 64.0f);
    EXPECT_TRUE(layer.cell(49, 49).contents.count(0)); // the rock's footprint
    EXPECT_TRUE(layer.isWater(10.0f, 600.0f));
    EXPECT_FALSE(layer.isWater(600.0f, 600.0f));
    EXPECT_EQ(layer.cell(10, 10).contents.at(PLAYER_ID), KIND_PLAYER);
    EXPECT_FALSE(layer.isBossActive());
    EXPECT_TRUE(layer.damage(2, 30));
    EXPECT_TRUE(layer.isBossActive());
}

// The reader holds a level to what the object table holds; one made by hand that names more
// is refused before anything is built, records included.
TEST(LevelRecords, ALevelNamingMoreObjectsThanTheTableHoldsBuildsNothing) {
    LevelFile l;
    l.playerLife = 100;
    l.statics.resize(OBJECT_TABLE_SIZE + 1);
    QRVDataLayer layer;
    EXPECT_FALSE(BuildLevel(l, layer, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(layer.playerLife(), 0);
    EXPECT_FALSE(layer.cell(0, 0).occupied);
}

namespace {
// Runs `tarvo-check level` on `xml` against the generated game: its status and output.
std::pair<int, std::string> checkLevel(const std::string& xml) {
    const std::string file = testing::TempDir() + "levelcheck.xml";
    std::ofstream(file) << xml;
    const std::string command =
        std::string(TARVO_CHECK_BIN) + " level " + file + " " + TARVO_GAME_DIR + " 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {-1, "cannot run " + command};
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
} // namespace

// Each case is one change to a small level that passes; the check names what the game could
// not use.
TEST(LevelCheck, ContentTheGameCannotUseIsNamed) {
    if (!std::ifstream(std::string(TARVO_GAME_DIR) + "/Data/hut.ms3d").good())
        GTEST_SKIP() << "no generated game at " << TARVO_GAME_DIR;
    std::ifstream in(std::string(TARVO_SOURCE_DIR) + "/tests/unit/levels/village.xml");
    std::stringstream base;
    base << in.rdbuf();
    const auto passing = checkLevel(base.str());
    ASSERT_EQ(passing.first, 0) << passing.second;
    struct Case {
        const char *from, *to, *named;
    };
    const Case cases[] = {
        {"Data/magician.ms3d", "Data/wizard.ms3d",
         "enemy \"wanderer\": model \"Data/wizard.ms3d\" is missing"},
        {"Data/magician.ms3d", "Data/../../magician.ms3d", "leaves the game folder"},
        {"Data/tarvo.ms3d", "/etc/hostname", "the hero: model \"/etc/hostname\" leaves"},
        {"Data/boss.ms3d", "Data/boss_tex.bmp",
         "the boss: model \"Data/boss_tex.bmp\" does not load"},
        {"Data/sky_top.bmp", "Data/flatland.raw",
         "the sky box: texture \"Data/flatland.raw\" does not"},
        {R"(x="700" z="600")", R"(x="335" z="495")",
         "enemy \"patrol\": starting position (335, 495) stands inside static object 0"},
        {R"(x="448" z="567")", R"(x="320" z="480")",
         "character \"Virav\": path point 1 (320, 480) stands inside"},
        {R"(x="740" z="600")", R"(x="2100" z="600")",
         "enemy \"patrol\": path point 1 (2100, 600) lies outside the world"},
        {R"(x="330" z="555")", R"(x="330" z="-5")", "the hero: starting position (330, -5) lies"},
        {R"(x="330" z="490")", R"(x="5" z="490")", "its footprint 30 by 24 at (5, 490) reaches"},
        {R"(x="1460" z="400")", R"(x="1502" z="402")",
         "enemy \"follower\": starts in grid cell (93, 25), already taken by enemy \"leader\""},
        {R"(glStart="0")", R"(glStart="2048")", "\"glStart\" 2048 lies outside the world"},
        {R"(glWidth="2048")", R"(glWidth="4096")", "reaches beyond the land"},
        {R"(life="40")", R"(life="100000000000000000000")",
         "enemy \"wanderer\": life 2147483647 is outside 1 to 10000"},
        {R"(life="400")", R"(life="0")", "the boss: life 0 is outside"},
        {R"(speed="18")", R"(speed="-3")", "enemy \"wanderer\": speed -3 is outside"},
        {R"(role="leader")", R"(role="follower")", "flock 4: its followers have no leader"},
    };
    for (const Case& c : cases) {
        std::string xml = base.str();
        const size_t at = xml.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        const auto result = checkLevel(xml.replace(at, std::strlen(c.from), c.to));
        EXPECT_EQ(result.first, 1) << c.to;
        EXPECT_NE(result.second.find(c.named), std::string::npos) << c.to << "\n" << result.second;
    }
}
