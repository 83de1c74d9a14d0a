// The HUD and the conversation box, drawn on a real context with the game's own images.
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "models/vector.h"
#include "objects/gem.h"
#include "objects/npc.h"
#include "objects/player.h"
#include "platform/gamestate.h"
#include "platform/qrvinput.h"
#include "shell/framecommands.h"
#include "shell/gamecontext.h"
#include "shell/mainloop.h"
#include "shell/screens.h"
#include "support/contextguard.h"
#include "support/glcontext.h"
#include "support/handtimer.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

class Screen : public ContextTest {
protected:
    void SetUp() override {
        m_gl = std::make_unique<TestGLContext>();
        if (!m_gl->ok())
            GTEST_SKIP() << m_gl->error();
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        m_oldDir = here;
        if (chdir(TARVO_GAME_DIR) != 0 || access("Data/lifeBar.bmp", R_OK) != 0)
            GTEST_SKIP() << "no generated HUD images in " << TARVO_GAME_DIR;
        ASSERT_TRUE(hud.loadTextures());
        for (GLuint name : {hud.m_paletteMask, hud.m_redPalette, hud.m_greenPalette,
                            hud.m_bluePalette, hud.m_crossHairMask, hud.m_lifeBarMask,
                            hud.m_lifeBar, hud.m_crossHair, hud.m_map, hud.m_gemMask, hud.m_gem})
            ASSERT_NE(name, 0u);
    }
    void TearDown() override {
        if (!m_oldDir.empty()) {
            EXPECT_EQ(chdir(m_oldDir.c_str()), 0);
        }
    }
    // A plain grey frame with the scene's usual state, as the play frame leaves it.
    void clearFrame() {
        glViewport(0, 0, 800, 600);
        glClearColor(0.3f, 0.3f, 0.3f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    std::vector<uint8_t> drawHud(Hud& hud, const HudValues& values) {
        clearFrame();
        hud.drawValues(values);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return m_gl->readPixels();
    }
    static Rgb at(const std::vector<uint8_t>& p, int x, int y) {
        size_t i = (size_t(y) * 800 + size_t(x)) * 3;
        return {p[i], p[i + 1], p[i + 2]};
    }
    static bool same(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
    // Pixels inside a rectangle (the whole frame by default) for which `pred` holds.
    template <class Pred>
    static int count(Pred pred, int x0 = 0, int y0 = 0, int x1 = 800, int y1 = 600, int step = 1) {
        int n = 0;
        for (int y = y0; y < y1; y += step)
            for (int x = x0; x < x1; x += step)
                n += pred(x, y);
        return n;
    }
    // Pixels that differ between two frames inside a rectangle.
    static int differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int x0 = 0,
                         int y0 = 0, int x1 = 800, int y1 = 600) {
        return count([&](int x, int y) { return !same(at(a, x, y), at(b, x, y)); }, x0, y0, x1, y1);
    }
    std::unique_ptr<TestGLContext> m_gl;
    Hud hud;
    std::string m_oldDir;
};

TEST_F(Screen, TheLifeFillEndsAtFourEightyThreeForFullLife) {
    HudValues v;
    v.life = 0;
    std::vector<uint8_t> empty = drawHud(hud, v);
    v.life = 100;
    std::vector<uint8_t> full = drawHud(hud, v);
    m_gl->saveArtifact("hud_full_life");
    for (int x = 41; x < 59; x += 4) {
        EXPECT_FALSE(same(at(full, x, 483), at(empty, x, 483))) << "x " << x;
        EXPECT_FALSE(same(at(full, x, 569), at(empty, x, 569))) << "x " << x;
        EXPECT_TRUE(same(at(full, x, 482), at(empty, x, 482))) << "x " << x;
        EXPECT_TRUE(same(at(full, x, 570), at(empty, x, 570))) << "x " << x;
    }
    EXPECT_EQ(differing(full, empty), differing(full, empty, 40, 483, 59, 570))
        << "nothing but the fill changes with the life";
    Rgb fill = at(full, 50, 520);
    EXPECT_GT(fill.r, fill.g + 60) << "the fill is red";

    v.life = 50;
    std::vector<uint8_t> half = drawHud(hud, v);
    EXPECT_TRUE(same(at(half, 50, 520), at(empty, 50, 520)));
    EXPECT_FALSE(same(at(half, 50, 530), at(empty, 50, 530)));
    v.life = 250; // a record above 100 still stays inside the frame
    std::vector<uint8_t> over = drawHud(hud, v);
    EXPECT_EQ(differing(over, full), 0);
}

TEST_F(Screen, PaletteAndCountsDrawInTheirRectanglesEvenWithoutAMask) {
    HudValues v;
    v.weapon = 0;
    v.redAmmo = 1;
    v.blueAmmo = 2;
    v.gems = 10;
    std::vector<uint8_t> green = drawHud(hud, v);
    m_gl->saveArtifact("hud_green_gun");
    v.redAmmo = 99;
    v.blueAmmo = 98;
    std::vector<uint8_t> greenOther = drawHud(hud, v);
    EXPECT_EQ(differing(green, greenOther), 0)
        << "the green gun shows \"--\" whatever the ammunition";
    v.weapon = 1;
    std::vector<uint8_t> red99 = drawHud(hud, v);
    v.redAmmo = 1;
    std::vector<uint8_t> red1 = drawHud(hud, v);
    m_gl->saveArtifact("hud_red_gun");
    // The ammunition text starts at (717, 533) on its baseline.
    EXPECT_GT(differing(red99, red1, 717, 505, 780, 540), 10);
    EXPECT_EQ(differing(red99, red1), differing(red99, red1, 717, 505, 780, 540));
    // The palettes differ only inside x 670 to 780, y 470 to 580.
    const int paletteChange = differing(green, red1, 670, 470, 780, 580);
    EXPECT_GT(paletteChange, 2000);
    EXPECT_EQ(differing(green, red1), paletteChange);

    v.gems = 25;
    std::vector<uint8_t> moreGems = drawHud(hud, v);
    const int countChange = differing(red1, moreGems, 710, 40, 800, 70);
    EXPECT_GT(countChange, 10) << "the gem count is printed at (710, 65)";
    EXPECT_EQ(differing(red1, moreGems), countChange);

    Rgb grey = at(moreGems, 400, 300);
    EXPECT_TRUE(same(at(moreGems, 300, 200), grey)) << "no crosshair unless aiming";

    // A missing mask leaves the other elements drawn.
    hud.m_paletteMask = 0;
    std::vector<uint8_t> noMask = drawHud(hud, v);
    EXPECT_EQ(differing(moreGems, noMask), differing(moreGems, noMask, 670, 470, 780, 580));
}

// In play the map is small in the top-left corner, (10, 10) to (210, 210), 2/3 of its size
// over the conversation box.
TEST_F(Screen, TheMapShowsEnemiesAsRedDotsAndTheHeroAsAnArrowHisWay) {
    HudValues v;
    v.map = true;
    v.enemyXZ = {1024.0f, 1024.0f, 2048.0f, 2048.0f};
    const std::vector<uint8_t> noHero = drawHud(hud, v);
    v.mapHero = {true, 512.0f, 1536.0f, 1.0f, 0.0f}; // at (60, 160) on the map, facing east
    std::vector<uint8_t> p = drawHud(hud, v);
    m_gl->saveArtifact("hud_map");
    auto yellow = [](const std::vector<uint8_t>& q, int x, int y) {
        const Rgb c = at(q, x, y);
        return c.r > 200 && c.g > 180 && c.b < 80;
    };
    auto yellowInP = [&](int x, int y) { return yellow(p, x, y); };
    EXPECT_GT(count(yellowInP, 54, 154, 66, 166), 20) << "the arrow where the hero stands";
    EXPECT_GT(count(yellowInP, 73, 160, 110, 185), 20) << "labelled";
    EXPECT_EQ(differing(noHero, p), differing(noHero, p, 45, 145, 115, 185));
    v.mapHero.facingX = -1.0f;
    const std::vector<uint8_t> west = drawHud(hud, v);
    EXPECT_TRUE(yellow(p, 66, 160) && !yellow(p, 52, 160)) << "the tip points east";
    EXPECT_TRUE(yellow(west, 54, 160) && !yellow(west, 68, 160)) << "and west";
    for (Rgb dot : {at(p, 111, 111), at(p, 211, 211)}) {
        EXPECT_GE(dot.r, 250);
        EXPECT_LE(dot.g, 5);
        EXPECT_LE(dot.b, 5);
    }
    Rgb grey = at(p, 600, 300);
    const int mapped =
        count([&](int x, int y) { return !same(at(p, x, y), grey); }, 10, 10, 210, 210, 3);
    EXPECT_GT(mapped, 4000) << "the land map covers (10, 10) to (210, 210)";
}

TEST_F(Screen, TheMapAskedForInATalkShowsOverTheBoxThenStaysUpToBeRead) {
    QRVDataLayer layer;
    auto enemy = std::make_unique<EnemyData>();
    enemy->id = 1;
    enemy->x = 1024.0f;
    enemy->z = 100.0f; // a dot in the map's top strip, where the box reaches
    layer.addEnemy(std::move(enemy));
    auto record = std::make_unique<NpcData>();
    record->id = 4;
    record->menu.count = 1;
    record->menu.items[0] = {"Show me a map", "Here.", 4};
    layer.addNpc(std::move(record));
    g_dataLayer = &layer;
    Player hero;
    g_hero = &hero;
    Npc virav;
    virav.m_id = 4;
    g_hud = &hud;
    HandTimer* clock = useHandTimer(hud.m_mapTimer);
    const GLfloat boxLight[] = {20.0f, 20.0f, 20.0f, 1.0f}; // as the level's light sets it
    glLightfv(GL_LIGHT5, GL_AMBIENT, boxLight);
    glLightfv(GL_LIGHT5, GL_DIFFUSE, boxLight);

    HudValues v;
    v.map = true;
    v.enemyXZ = {1024.0f, 100.0f};
    v.mapHero = Hud::heroOnMap();
    const std::vector<uint8_t> alone = drawHud(hud, v);
    // The same map large, as it shows over the box.
    v.map = false;
    const std::vector<uint8_t> noMap = drawHud(hud, v);
    clearFrame();
    hud.drawValues(v);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 800.0, 600.0, 0.0, 0.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    hud.drawMap(v.enemyXZ, v.mapHero, Hud::MAP_OVER_BOX);
    const std::vector<uint8_t> large = m_gl->readPixels();
    auto frame = [&] {
        clearFrame();
        hud.draw();
        if (g_gameState == STATE_CONVERSATION)
            ConversationOverlay();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return m_gl->readPixels();
    };

    // Virav's answer is on screen: the map item was chosen.
    g_talkPartner = &virav;
    g_gameState = STATE_CONVERSATION;
    g_talkStep = 2;
    g_showMapRequested = true;
    const std::vector<uint8_t> reply = frame();
    m_gl->saveArtifact("map_over_reply");
    EXPECT_EQ(differing(large, reply, 200, 250, 500, 550), 0) << "the whole map, over the box";
    EXPECT_GT(differing(alone, reply, 0, 0, 700, 250), 100000) << "the box around it";

    // Enter ends the talk; the map stays up while the player reads it.
    ResetFrameCommandLatches();
    g_talkStep = 2;
    g_keyState[0x1C] = 0x80;
    FrameCommands();
    g_keyState[0x1C] = 0;
    ASSERT_EQ(g_gameState, STATE_PLAY);
    clock->m_elapsed = Hud::MAP_READING_MS - 1.0;
    const std::vector<uint8_t> reading = frame();
    m_gl->saveArtifact("map_in_corner");
    EXPECT_EQ(differing(alone, reading, 10, 10, 210, 210), 0) << "still up, in the corner";
    EXPECT_EQ(differing(noMap, reading, 200, 250, 500, 550), 0) << "and off the hero";
    clock->m_elapsed = Hud::MAP_READING_MS;
    EXPECT_GT(differing(alone, frame(), 10, 10, 210, 210), 20000) << "put away";
    EXPECT_FALSE(hud.m_showMap);

    // A new talk puts away a map that is still up: the box would cover it. So does M.
    g_showMapRequested = true;
    hud.conversationEnded();
    EXPECT_TRUE(hud.m_showMap);
    hud.conversationStarted();
    EXPECT_FALSE(hud.m_showMap);
    g_showMapRequested = true;
    hud.conversationEnded();
    g_keyState[0x32] = 0x80;
    FrameCommands();
    g_keyState[0x32] = 0;
    EXPECT_FALSE(hud.m_showMap) << "M puts the map away";
    EXPECT_GT(differing(alone, frame(), 10, 10, 210, 210), 20000);
}

TEST_F(Screen, FadingReplacesTheFillAndTextsButKeepsTheImages) {
    HudValues v;
    v.life = 0;
    v.weapon = 1;
    v.redAmmo = 0;
    std::vector<uint8_t> noFill = drawHud(hud, v);
    v.life = 100;
    v.redAmmo = 42;
    hud.m_fading = true;
    hud.m_fadeAlpha = 0.0f;
    std::vector<uint8_t> faded = drawHud(hud, v);
    EXPECT_NEAR(hud.m_fadeAlpha, 0.02f, 1e-6f);
    EXPECT_TRUE(same(at(faded, 50, 520), at(noFill, 50, 520))) << "no life fill while fading";
    hud.m_fadeAlpha = 0.0f;
    v.redAmmo = 7;
    v.gems = 77;
    v.paused = true;
    v.talkTo = "Virav";
    std::vector<uint8_t> fadedOther = drawHud(hud, v);
    EXPECT_EQ(differing(faded, fadedOther), 0)
        << "neither the gem count, the ammunition, the pause nor a name is printed";
    EXPECT_GT(differing(noFill, faded, 700, 40, 800, 70), 0) << "the count was there before";

    hud.m_fadeAlpha = 1.0f;
    std::vector<uint8_t> white = drawHud(hud, v);
    m_gl->saveArtifact("hud_faded");
    for (Rgb c : {at(white, 10, 10), at(white, 400, 300), at(white, 700, 500)})
        EXPECT_EQ(c.r + c.g + c.b, 3 * 255);
    hud.m_fadeAlpha = 0.0f;
    for (int frame = 0; frame < 48; ++frame)
        hud.drawFade();
    EXPECT_LT(hud.m_fadeAlpha, 1.0f) << "a full fade takes about fifty frames";
    for (int frame = 0; frame < 3; ++frame)
        hud.drawFade();
    EXPECT_GE(hud.m_fadeAlpha, 1.0f);
}

// A paused game says so in the middle of the screen; a villager in reach of the talk key
// is named at the bottom, where nothing else of the HUD is.
TEST_F(Screen, PausedAndTheVillagerInReachAreWrittenOnTheFrame) {
    HudValues v;
    const std::vector<uint8_t> plain = drawHud(hud, v);
    v.paused = true;
    const std::vector<uint8_t> paused = drawHud(hud, v);
    m_gl->saveArtifact("hud_paused");
    EXPECT_GT(differing(plain, paused, 300, 210, 500, 280), 200);
    EXPECT_EQ(differing(plain, paused), differing(plain, paused, 300, 210, 500, 280));
    v.paused = false;
    v.talkTo = "Rarozare";
    const std::vector<uint8_t> named = drawHud(hud, v);
    m_gl->saveArtifact("hud_talk_prompt");
    EXPECT_GT(differing(plain, named, 150, 560, 650, 600), 200);
    EXPECT_EQ(differing(plain, named), differing(plain, named, 150, 560, 650, 600));
    v.talkTo = "Virav";
    EXPECT_GT(differing(named, drawHud(hud, v)), 0) << "the name is the villager's";
}

// The newcomer read the old mark, a faint gradient, as "a pink bar". The mark is bold red on
// its edge for the first half second and still shows a second later; every hit reddens the
// whole border a little; the middle of the screen stays clear.
TEST_F(Screen, AHitIsMarkedBoldlyOnItsEdgeForHalfASecondThenFades) {
    HudValues v;
    const std::vector<uint8_t> plain = drawHud(hud, v);
    const Rgb red{255, int(Hud::HIT_RED[1] * 255.0f + 0.5f), int(Hud::HIT_RED[2] * 255.0f + 0.5f)};
    auto near = [](const Rgb& a, const Rgb& b) {
        return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
    };
    struct Side {
        HitEdge edge;
        int bandX, bandY, headX, headY, farX, farY; // the band, the arrowhead, the far edge
    };
    const Side sides[] = {{HIT_EDGE_TOP, 400, 8, 400, 50, 400, 597},
                          {HIT_EDGE_BOTTOM, 400, 591, 400, 550, 400, 2},
                          {HIT_EDGE_LEFT, 8, 300, 50, 300, 797, 300},
                          {HIT_EDGE_RIGHT, 791, 300, 750, 300, 2, 300}};
    for (const Side& side : sides) {
        v.hitEdge = side.edge;
        for (double ms : {0.0, 500.0}) {
            v.hitMark = float(1.0 - ms / HIT_MARK_MS);
            const std::vector<uint8_t> p = drawHud(hud, v);
            EXPECT_TRUE(near(at(p, side.bandX, side.bandY), red)) << side.edge << " at " << ms;
            EXPECT_TRUE(near(at(p, side.headX, side.headY), red)) << side.edge << " at " << ms;
            const Rgb far = at(p, side.farX, side.farY);
            EXPECT_GT(far.r, at(plain, side.farX, side.farY).r + 40) << "the border reddens";
            EXPECT_FALSE(near(far, red));
            EXPECT_TRUE(same(at(p, 400, 300), at(plain, 400, 300)));
        }
        v.hitMark = float(1.0 - 1200.0 / HIT_MARK_MS);
        const Rgb faded = at(drawHud(hud, v), side.bandX, side.bandY);
        EXPECT_FALSE(near(faded, red)) << side.edge;
        EXPECT_GT(faded.r, at(plain, side.bandX, side.bandY).r + 20) << "still seen at 1.2 s";
    }
    m_gl->saveArtifact("hud_hit_mark");
    v.hitMark = 0.0f;
    EXPECT_EQ(differing(plain, drawHud(hud, v)), 0) << "gone once its time is over";
}

// A gem picked up says how many it was worth under the count, for a while, adding up the
// gems picked up while it shows.
TEST_F(Screen, AGemPickedUpShowsHowManyItWasWorthUnderTheCount) {
    Player hero;
    g_hero = &hero;
    g_hud = &hud;
    HandTimer* clock = useHandTimer(hud.m_gemNoticeTimer);
    auto frame = [&] {
        clearFrame();
        hud.draw();
        return m_gl->readPixels();
    };
    const std::vector<uint8_t> before = frame();
    ASSERT_TRUE(dropGem(hero.getPosition()));
    const int32_t worth = g_gems[0]->m_value;
    PickUpGems();
    EXPECT_EQ(hud.m_gemNotice, worth);
    const std::vector<uint8_t> shown = frame();
    m_gl->saveArtifact("hud_gem_notice");
    const int notice = differing(before, shown, 630, 105, 800, 145);
    EXPECT_GT(notice, 200);
    EXPECT_EQ(differing(before, shown, 0, 0, 800, 600),
              notice + differing(before, shown, 705, 35, 800, 75))
        << "only the count and the notice under it change";
    clock->m_elapsed = Hud::GEM_NOTICE_MS / 2.0;
    ASSERT_TRUE(dropGem(hero.getPosition()));
    const int32_t second = g_gems[0]->m_value;
    PickUpGems();
    EXPECT_EQ(hud.m_gemNotice, worth + second) << "a second pick-up adds to the notice";
    clock->m_elapsed = Hud::GEM_NOTICE_MS;
    EXPECT_EQ(differing(before, frame(), 630, 105, 800, 145), 0) << "gone after its time";
    PickUpGems(); // nothing near: no notice
    EXPECT_EQ(hud.m_gemNotice, 0);
    releaseGems();
}

TEST_F(Screen, TheConversationBoxShowsChatMenuAndReply) {
    QRVDataLayer layer;
    auto record = std::make_unique<NpcData>();
    record->id = 4;
    record->name = "Rarozare";
    record->normalChat = "Tarvo! Thank the river you came. Doduda's creatures crept down from "
                         "the hills last night.";
    record->menu.title = "Choose";
    record->menu.count = 2;
    record->menu.items[0] = {"Herb bread", "Eat.", 1};
    record->menu.items[1] = {"Red shells", "Aim.", 3};
    record->menu.selected = -1;
    record->menu.negativeReply = "Ten gems, Tarvo.";
    NpcMenu* menu = &record->menu;
    std::string* name = &record->name;
    layer.addNpc(std::move(record));
    g_dataLayer = &layer;
    Npc npc;
    npc.m_id = 4;

    clearFrame();
    std::vector<uint8_t> before = m_gl->readPixels();
    npc.drawChat();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    std::vector<uint8_t> chat = m_gl->readPixels();
    m_gl->saveArtifact("dialogue_chat");
    EXPECT_TRUE(m_context.m_boxes.empty());
    EXPECT_GT(differing(before, chat, 0, 0, 700, 300), 100000) << "the paper covers the box";
    EXPECT_EQ(differing(before, chat, 0, 300, 800, 600), 0);
    EXPECT_EQ(differing(before, chat, 700, 0, 800, 300), 0);
    auto dark = [&](int x, int y) {
        Rgb c = at(chat, x, y);
        return c.r + c.g + c.b < 90;
    };
    EXPECT_GT(count(dark, 140, 125, 600, 150), 200) << "black chat text from (140, 145)";
    EXPECT_GT(count(dark, 140, 150, 600, 172), 100) << "a long line wraps onto a second line";
    auto named = [&](const std::vector<uint8_t>& p) {
        return count(
            [&](int x, int y) {
                const Rgb c = at(p, x, y);
                return c.r > c.g + 40 && c.r < 160 && c.b < 60;
            },
            125, 55, 330, 88);
    };
    EXPECT_GT(named(chat), 150) << "the speaker's name heads the box";

    clearFrame();
    npc.drawMenu();
    std::vector<uint8_t> shown = m_gl->readPixels();
    m_gl->saveArtifact("dialogue_menu");
    EXPECT_EQ(menu->selected, 0) << "a refused selection shows as the first item";
    auto red = [&](int x, int y) {
        Rgb c = at(shown, x, y);
        return c.r > 150 && c.g < 70 && c.b < 70;
    };
    EXPECT_GT(count(red, 153, 122, 400, 142), 20) << "the selected item is red";
    EXPECT_EQ(count(red, 153, 145, 400, 165), 0) << "the other item is not";

    menu->selected = -1;
    clearFrame();
    npc.drawReply();
    std::vector<uint8_t> refused = m_gl->readPixels();
    menu->selected = 1;
    clearFrame();
    npc.drawReply();
    std::vector<uint8_t> reply = m_gl->readPixels();
    m_gl->saveArtifact("dialogue_reply");
    EXPECT_GT(differing(refused, reply, 130, 125, 500, 150), 20)
        << "the negative reply differs from the item's";
    EXPECT_GT(named(shown), 150);
    EXPECT_GT(named(reply), 150);
    *name = "Virav";
    clearFrame();
    npc.drawReply();
    EXPECT_GT(differing(reply, m_gl->readPixels(), 125, 55, 330, 88), 50) << "his own name";
}

} // namespace

// A hit's mark goes on the screen edge on the hit's side as the camera sees it, whatever
// way the camera looks and however far down.
TEST(HudParts, AHitIsMarkedOnTheEdgeOfTheSideItCameFrom) {
    const Vector east(1.0f, 0.0f, 0.0f), west(-1.0f, 0.0f, 0.0f);
    const Vector north(0.0f, 0.0f, -1.0f), south(0.0f, 0.0f, 1.0f);
    EXPECT_EQ(HitEdgeFor(east, east), HIT_EDGE_TOP);
    EXPECT_EQ(HitEdgeFor(east, west), HIT_EDGE_BOTTOM);
    EXPECT_EQ(HitEdgeFor(east, south), HIT_EDGE_RIGHT);
    EXPECT_EQ(HitEdgeFor(east, north), HIT_EDGE_LEFT);
    const Vector northDown(0.0f, -3.0f, -0.5f); // looking north, steeply down
    EXPECT_EQ(HitEdgeFor(northDown, east), HIT_EDGE_RIGHT);
    EXPECT_EQ(HitEdgeFor(northDown, west), HIT_EDGE_LEFT);
    EXPECT_EQ(HitEdgeFor(northDown, south), HIT_EDGE_BOTTOM);
    EXPECT_EQ(HitEdgeFor(north, Vector(0.9f, 0.0f, -1.0f)), HIT_EDGE_TOP);  // mostly ahead
    EXPECT_EQ(HitEdgeFor(north, Vector(-1.0f, 0.0f, 0.9f)), HIT_EDGE_LEFT); // mostly left
    EXPECT_EQ(HitEdgeFor(Vector(0.0f, -1.0f, 0.0f), east), HIT_EDGE_NONE);
    EXPECT_EQ(HitEdgeFor(east, Vector(0.0f, 0.0f, 0.0f)), HIT_EDGE_NONE);
}

// A newcomer who never asked for the map got lost: far from the village the HUD points home
// as the camera sees it, and says nothing near it.
TEST(HudParts, FarFromTheVillageAPointerOnTheRimShowsTheWayHome) {
    const Vector east(1.0f, 0.0f, 0.0f), northDown(0.0f, -3.0f, -0.5f);
    const float vx = 400.0f, vz = 560.0f;
    EXPECT_FALSE(VillagePointerFor(east, vx + 269.0f, vz, vx, vz, 270.0f).shown) << "near it";
    const VillagePointer behind = VillagePointerFor(east, vx + 280.0f, vz, vx, vz, 270.0f);
    ASSERT_TRUE(behind.shown);
    EXPECT_NEAR(std::fabs(behind.bearing), 3.14159f, 1e-4f);
    EXPECT_NEAR(VillagePointerFor(east, vx - 600.0f, vz, vx, vz, 270.0f).bearing, 0.0f, 1e-4f);
    // Looking north (steeply down), a village to the east is on the right, west on the left.
    EXPECT_NEAR(VillagePointerFor(northDown, vx - 600.0f, vz, vx, vz, 270.0f).bearing, 1.5708f,
                1e-4f);
    EXPECT_NEAR(VillagePointerFor(northDown, vx + 600.0f, vz, vx, vz, 270.0f).bearing, -1.5708f,
                1e-4f);
    EXPECT_FALSE(VillagePointerFor(Vector(0.0f, -1.0f, 0.0f), 0.0f, 0.0f, vx, vz, 270.0f).shown);

    // On the rim's oval: ahead at the top middle, and never over the gem count (610 to 720,
    // 20 to 100), the life bar (0 to 100, 450 to 600) or the gun's palette (670 to 780, 470
    // to 580), arrow included.
    float x, y;
    VillagePointerPlace(0.0f, x, y);
    EXPECT_FLOAT_EQ(x, 400.0f);
    EXPECT_LT(y, 100.0f);
    auto clear = [](float px, float py, float l, float t, float r, float b) {
        return px + 16.0f < l || px - 16.0f > r || py + 16.0f < t || py - 16.0f > b;
    };
    for (float b = -3.2f; b < 3.2f; b += 0.05f) {
        VillagePointerPlace(b, x, y);
        EXPECT_TRUE(clear(x, y, 610.0f, 20.0f, 720.0f, 100.0f)) << b;
        EXPECT_TRUE(clear(x, y, 0.0f, 450.0f, 100.0f, 600.0f)) << b;
        EXPECT_TRUE(clear(x, y, 670.0f, 470.0f, 780.0f, 580.0f)) << b;
    }
}

TEST_F(Screen, TheCrosshairOverItsChangingPartAloneDrawsTheWholeQuadsPicture) {
    // A frame of many colours, so that a mask's multiply by one or an image's added zero
    // anywhere would have something to change.
    auto drawOverGradient = [&](const HudValues& v) {
        clearFrame();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glBegin(GL_QUADS);
        glColor3f(0.9f, 0.1f, 0.3f);
        glVertex2f(-1.0f, -1.0f);
        glColor3f(0.2f, 0.8f, 0.1f);
        glVertex2f(1.0f, -1.0f);
        glColor3f(0.1f, 0.3f, 0.9f);
        glVertex2f(1.0f, 1.0f);
        glColor3f(0.6f, 0.6f, 0.5f);
        glVertex2f(-1.0f, 1.0f);
        glEnd();
        hud.drawValues(v);
        return m_gl->readPixels();
    };
    const float* b = hud.m_crossHairBounds;
    EXPECT_LT((b[2] - b[0]) * (b[3] - b[1]), 0.25f)
        << "the crosshair is a small part of the screen";
    HudValues v;
    v.crossHair = true;
    const std::vector<uint8_t> part = drawOverGradient(v);
    m_gl->saveArtifact("hud_crosshair_part");
    const float whole[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    std::copy(whole, whole + 4, hud.m_crossHairBounds);
    const std::vector<uint8_t> all = drawOverGradient(v);
    v.crossHair = false;
    const std::vector<uint8_t> none = drawOverGradient(v);
    EXPECT_GT(differing(all, none), 500) << "the crosshair shows";
    EXPECT_EQ(differing(part, all), 0);
}
