// The sky box's faces, the water's tide and plane, masked screen images and textures drawn
// on a real GL context.
#include "models/texture.h"
#include "support/contextguard.h"
#include "support/bmpwriter.h"
#include "support/glcontext.h"
#include "world/skybox.h"
#include "world/water.h"

#include <gtest/gtest.h>

#include <GL/glu.h>

#include <filesystem>
#include <fstream>
#include <utility>

namespace fs = std::filesystem;

namespace {

// A 24-bit BMP from a colour function of (x, y counted from the bottom), as 0xRRGGBB.
template <class F> std::string writeBmp(const std::string& name, int w, int h, F colour) {
    fs::path dir = fs::temp_directory_path() / "tarvo_sky_test";
    fs::create_directories(dir);
    return WriteBytes((dir / name).string(), Bmp24(w, h, colour));
}

std::string solid(const std::string& name, uint32_t colour) {
    return writeBmp(name, 8, 8, [colour](int, int) { return colour; });
}

uint32_t pixel(const std::vector<uint8_t>& px, int width, int x, int yFromTop) {
    const uint8_t* p = &px[(size_t(yFromTop) * width + x) * 3];
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

bool near(uint32_t a, uint32_t b, int tolerance = 6) {
    for (int shift : {0, 8, 16}) {
        int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}

class GLTest : public ContextTest {
protected:
    void SetUp() override {
        if (!m_gl.ok())
            GTEST_SKIP() << "no GL context: " << m_gl.error();
    }
    void perspective() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, double(m_gl.width()) / m_gl.height(), 0.1, 4500.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void ortho() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 800, 600, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    TestGLContext m_gl;
};

} // namespace

// ---- Sky box -------------------------------------------------------------------------------

class SkyBoxDrawing : public GLTest {};

TEST_F(SkyBoxDrawing, AFaceShowsTheRightWayUpButThereIsNoFloor) {
    SkyBox box;
    // The back face is red in its top half and blue in the bottom half, red-tinted on its right.
    std::string back = writeBmp("back.bmp", 16, 16, [](int x, int y) {
        return y >= 8 ? (x >= 8 ? 0xFF4000u : 0xFF0000u) : 0x0000FFu;
    });
    box.loadTextures(solid("front.bmp", 0x00FF00), back, solid("left.bmp", 0xFFFF00),
                     solid("right.bmp", 0x00FFFF), solid("top.bmp", 0xFFFFFF));
    ASSERT_NE(box.m_front, 0u);
    ASSERT_NE(box.m_back, 0u);
    ASSERT_NE(box.m_top, 0u);
    box.buildDisplayList(1000, 0, 1000);
    ASSERT_NE(box.m_displayList, 0u);

    // Which face shows where is checked on the game's own sky across its seams
    // (tests/content/skyfaces_test.cpp); here, which way up a face is drawn.
    // Looking toward -z: the image's top row at the top, its right side on the right.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    perspective();
    gluLookAt(1000, 0, 1000, 1000, 0, 0, 0, 1, 0);
    box.draw();
    std::vector<uint8_t> px = m_gl.readPixels();
    m_gl.saveArtifact("skybox_back");
    EXPECT_TRUE(near(pixel(px, 800, 200, 100), 0xFF0000));
    EXPECT_TRUE(near(pixel(px, 800, 600, 100), 0xFF4000));
    EXPECT_TRUE(near(pixel(px, 800, 400, 500), 0x0000FF));

    // Straight down there is nothing, and the box restores the state it changes.
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    perspective();
    gluLookAt(1000, 0, 1000, 1000, -1, 1000, 0, 0, 1);
    box.draw();
    EXPECT_EQ(pixel(m_gl.readPixels(), 800, 400, 300), 0xFF00FFu) << "nothing below the centre";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// ---- Water ---------------------------------------------------------------------------------

TEST(WaterTide, FallsFromNinetyToEightyThreeInSeventyFramesThenSwingsInOneForty) {
    Water w("");
    EXPECT_EQ(w.m_texture, 0u) << "a missing image leaves the water untextured";
    EXPECT_FLOAT_EQ(w.m_level, 90.0f);
    for (int i = 0; i < 69; ++i)
        w.step();
    EXPECT_TRUE(w.m_falling) << "still falling one frame before the turn";
    w.step();
    EXPECT_FLOAT_EQ(w.m_level, 83.0f);
    EXPECT_TRUE(w.m_rising);
    EXPECT_FALSE(w.m_falling);
    for (int i = 0; i < 140; ++i)
        w.step();
    EXPECT_FLOAT_EQ(w.m_level, 97.0f);
    EXPECT_TRUE(w.m_falling);
    EXPECT_FALSE(w.m_rising);
    float lowest = 100, highest = 0;
    for (int i = 0; i < 1000; ++i) {
        w.step();
        lowest = std::min(lowest, w.m_level);
        highest = std::max(highest, w.m_level);
    }
    EXPECT_FLOAT_EQ(lowest, 83.0f);
    EXPECT_FLOAT_EQ(highest, 97.0f);
}

class WaterDrawing : public GLTest {};

TEST_F(WaterDrawing, ThePlaneAddsHalfItsPictureWhateverTheLastModelLeftAndKeepsTheState) {
    Water w(solid("water.bmp", 0xFFFFFF));
    ASSERT_NE(w.m_texture, 0u);
    glClearColor(0.2f, 0.2f, 0.2f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // Enough light that the lit plane is fully bright.
    GLfloat ambient[] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    // What a model leaves behind: its material (opaque, dim ambient) and a normal facing down.
    const GLfloat modelAmbient[] = {0.4f, 0.4f, 0.4f, 1.0f},
                  modelDiffuse[] = {0.85f, 0.85f, 0.85f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, modelAmbient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, modelDiffuse);
    glNormal3f(0, -1, 0);
    perspective();
    gluLookAt(1024, 300, 1024, 1024, 0, 1023, 0, 1, 0);
    w.draw();
    EXPECT_FLOAT_EQ(w.m_level, 90.0f) << "drawing leaves the tide where it was";
    std::vector<uint8_t> px = m_gl.readPixels();
    const uint32_t centre = pixel(px, 800, 400, 300);
    EXPECT_TRUE(near(centre, 0xB3B3B3))
        << "0.2 grey plus half of white, not " << std::hex << centre;
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    GLfloat left[4];
    glGetMaterialfv(GL_FRONT, GL_AMBIENT, left);
    EXPECT_FLOAT_EQ(left[0], 0.4f) << "the model's material is back";
}

// ---- Textures and masked images ------------------------------------------------------------

class TextureDrawing : public GLTest {};

TEST_F(TextureDrawing, APlainTextureKeepsItsRowsAndColours) {
    // Width 2: rows of 6 bytes would skew with the default unpack alignment of 4.
    GLuint tex = loadTexture(writeBmp("tiny.bmp", 2, 2, [](int x, int y) {
        return y == 1 ? (x ? 0x00FF00u : 0xFF0000u) : (x ? 0xFFFFFFu : 0x0000FFu);
    }));
    ASSERT_NE(tex, 0u);
    glClear(GL_COLOR_BUFFER_BIT);
    ortho();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS); // top of the screen gets t = 1, the image's top row
    for (auto [s, t] : {std::pair{0, 1}, std::pair{0, 0}, std::pair{1, 0}, std::pair{1, 1}}) {
        glTexCoord2f(float(s), float(t));
        glVertex2f(800.0f * s, 600.0f * (1 - t));
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    std::vector<uint8_t> px = m_gl.readPixels();
    EXPECT_EQ(pixel(px, 800, 100, 100), 0xFF0000u);
    EXPECT_EQ(pixel(px, 800, 700, 100), 0x00FF00u);
    EXPECT_EQ(pixel(px, 800, 100, 500), 0x0000FFu);
    EXPECT_EQ(pixel(px, 800, 700, 500), 0xFFFFFFu);
}

TEST_F(TextureDrawing, AWhiteMaskAndABlackImageLeaveTheSceneUnchanged) {
    GLuint white = loadImageTexture(solid("white.bmp", 0xFFFFFF));
    GLuint black = loadImageTexture(solid("black.bmp", 0x000000));
    GLuint art = loadImageTexture(
        writeBmp("art.bmp", 8, 8, [](int x, int) { return x < 4 ? 0xC08040u : 0x000000u; }));
    GLuint mask = loadImageTexture(
        writeBmp("mask.bmp", 8, 8, [](int x, int) { return x < 4 ? 0x000000u : 0xFFFFFFu; }));
    ASSERT_TRUE(white && black && art && mask);

    auto scene = [&]() {
        glClearColor(0.1f, 0.3f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        ortho();
        glBegin(GL_TRIANGLES);
        for (int corner = 0; corner < 3; ++corner) {
            glColor3f(corner == 0, corner == 1, corner == 2);
            glVertex2f(corner == 2 ? 400.0f : 800.0f * corner, corner == 2 ? 600.0f : 0.0f);
        }
        glEnd();
    };
    scene();
    std::vector<uint8_t> before = m_gl.readPixels();
    drawMaskedImage(white, black, 0, 0, 800, 600);
    std::vector<uint8_t> after = m_gl.readPixels();
    EXPECT_TRUE(before == after) << "a white mask and a black image change nothing";
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    // The element covers where its mask is black and lets the scene through elsewhere.
    scene();
    before = m_gl.readPixels();
    drawMaskedImage(mask, art, 0, 0, 800, 600);
    after = m_gl.readPixels();
    m_gl.saveArtifact("masked_image");
    EXPECT_TRUE(near(pixel(after, 800, 100, 300), 0xC08040, 2));
    EXPECT_EQ(pixel(after, 800, 700, 500), pixel(before, 800, 700, 500));
    // Screen images clamp at their edges: the covered left half does not bleed into the right.
    EXPECT_EQ(pixel(after, 800, 797, 20), pixel(before, 800, 797, 20));
    EXPECT_TRUE(near(pixel(after, 800, 2, 300), 0xC08040, 2));
}
