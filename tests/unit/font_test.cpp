// Bitmap fonts on a real GL context: where text lands, its colour, cutting and fallbacks.
#include "hud/bitmapfont.h"
#include "support/glcontext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Box {
    int left = 800, top = 600, right = -1, bottom = -1, lit = 0;
    bool empty() const { return lit == 0; }
};

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_gl.ok()) << m_gl.error();
        glViewport(0, 0, 800, 600);
        clear();
    }
    void clear() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // The box of lit pixels in top-left screen coordinates.
    Box litBox() {
        m_pixels = m_gl.readPixels();
        Box b;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const uint8_t* p = &m_pixels[(size_t(y) * 800 + x) * 3];
                if (p[0] + p[1] + p[2] > 60) {
                    ++b.lit;
                    b.left = std::min(b.left, x);
                    b.right = std::max(b.right, x);
                    b.top = std::min(b.top, y);
                    b.bottom = std::max(b.bottom, y);
                }
            }
        return b;
    }
    TestGLContext m_gl;
    std::vector<uint8_t> m_pixels;
};

} // namespace

TEST_F(FontTest, FacesResolveToTheLiberationFamilies) {
    EXPECT_NE(resolveFontFile("Arial").find("LiberationSans-Bold"), std::string::npos)
        << resolveFontFile("Arial");
    EXPECT_NE(resolveFontFile("Times New Roman").find("LiberationSerif-Bold"), std::string::npos)
        << resolveFontFile("Times New Roman");
    EXPECT_FALSE(resolveFontFile("Script").empty());
}

TEST_F(FontTest, TextStandsOnItsBaselineAtThePositionInItsColour) {
    BitmapFont font("Arial", 28);
    font.setPosition(450.0f, 400.0f);
    font.setColor(1.0f, 0.0f, 0.0f);
    printText(&font, "Play %s", "Game");
    Box b = litBox();
    m_gl.saveArtifact("font_play_game");
    ASSERT_FALSE(b.empty());
    EXPECT_GE(b.left, 450);
    EXPECT_LE(b.left, 454);
    EXPECT_GE(b.top, 400 - 28);
    EXPECT_LE(b.top, 385);
    EXPECT_GT(b.right, 560); // nine characters of a 28-pixel face
    EXPECT_LT(b.right, 650);
    // The "P" stands on the baseline; only the descender of the "y" goes below it.
    int pBottom = -1;
    for (int y = b.top; y <= b.bottom; ++y)
        for (int x = b.left; x < b.left + 12; ++x)
            if (m_pixels[(size_t(y) * 800 + x) * 3] > 60)
                pBottom = y;
    EXPECT_GE(pBottom, 397);
    EXPECT_LE(pBottom, 400);
    EXPECT_GT(b.bottom, 402);
    for (int y = b.top; y <= b.bottom; ++y)
        for (int x = b.left; x <= b.right; ++x) {
            const uint8_t* p = &m_pixels[(size_t(y) * 800 + x) * 3];
            if (p[0] + p[1] + p[2] > 60) {
                ASSERT_EQ(p[0], 255);
                ASSERT_EQ(p[1], 0);
                ASSERT_EQ(p[2], 0);
            }
        }
}

TEST_F(FontTest, LongTextIsCutAt255Characters) {
    BitmapFont font("Arial", 8);
    font.setColor(1, 1, 1);
    font.setPosition(0.0f, 300.0f);
    const std::string spaces254(254, ' ');
    printText(&font, "%sX", spaces254.c_str()); // 255 characters: the X is drawn
    Box shown = litBox();
    ASSERT_FALSE(shown.empty());
    EXPECT_GT(shown.left, 300);

    clear();
    const std::string spaces(255, ' ');
    printText(&font, "%sXXXX", spaces.c_str()); // the X's fall beyond the cut
    EXPECT_TRUE(litBox().empty());

    const std::string huge(5000, 'W');
    printText(&font, "%s", huge.c_str()); // no overflow, whatever the length
}

TEST_F(FontTest, PrintingLeavesTheStateAsItWas) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    glEnable(GL_TEXTURE_2D);
    glDepthFunc(GL_LEQUAL);
    glListBase(7);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    BitmapFont font("Arial", 20);
    printText(&font, "state");
    GLint mode = 0, depthFunc = 0, listBase = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetIntegerv(GL_LIST_BASE, &listBase);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_EQ(listBase, 7);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat m[16], proj[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    EXPECT_FLOAT_EQ(m[12], 1.0f);
    EXPECT_FLOAT_EQ(m[14], 3.0f);
    EXPECT_FLOAT_EQ(proj[0], 1.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(FontTest, MissingFacesAndBadInputDoNotCrash) {
    BitmapFont unknown("No Such Face Anywhere", 24);
    unknown.setPosition(20.0f, 50.0f);
    printText(&unknown, "fallback");
    EXPECT_FALSE(litBox().empty()); // fontconfig offers some other face

    clear();
    BitmapFont zero("Arial", 0);
    printText(&zero, "nothing");
    BitmapFont font("Arial", 20);
    printText(&font, nullptr);
    printText(nullptr, "no font");
    EXPECT_TRUE(litBox().empty());

    printText(&font, "\x01\x80\xff tab\t"); // bytes without lists are dropped
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(FontTest, FontsComeAndGoEveryFrame) {
    for (int i = 0; i < 50; ++i) {
        BitmapFont font("Arial", 28);
        font.setPosition(10.0f, 40.0f);
        printText(&font, "%d", i);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_FALSE(litBox().empty());
}
