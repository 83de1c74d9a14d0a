// The height field (wrap, clamp, short files) and the terrain drawn on a real GL context, on
// a synthetic land of our own (the picture tests draw the generated level's land and sky).
#include "models/texture.h"
#include "shell/gamecontext.h"
#include "support/bmpwriter.h"
#include "support/contextguard.h"
#include "support/glcontext.h"
#include "world/terrain.h"

#include <gtest/gtest.h>

#include <GL/glu.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace fs = std::filesystem;

namespace {

fs::path tempDir() {
    fs::path dir = fs::temp_directory_path() / "tarvo_terrain_test";
    fs::create_directories(dir);
    return dir;
}

std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = (tempDir() / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// Makes g_terrain point at a terrain for the test's lifetime.
struct GlobalTerrain {
    explicit GlobalTerrain(Terrain* t) { g_terrain = t; }
    ~GlobalTerrain() { g_terrain = nullptr; }
};

std::vector<uint8_t> rampHeights(size_t count) {
    std::vector<uint8_t> h(count);
    for (size_t i = 0; i < count; ++i)
        h[i] = uint8_t((i % 2048) * 7 + (i / 2048) * 13 + 1);
    return h;
}

} // namespace

// ---- Heights -------------------------------------------------------------------------------

TEST(TerrainHeights, CoordinatesWrapAtTheFarEdgeClampAtZeroAndTruncateTowardZero) {
    Terrain t;
    ASSERT_EQ(t.loadHeights(writeFile("ramp.raw", rampHeights(Terrain::HEIGHT_BYTES))),
              Terrain::HEIGHT_BYTES);
    auto sample = [&](int x, int z) { return int(uint8_t(x * 7 + z * 13 + 1)); };
    EXPECT_EQ(t.height(10, 3), sample(10, 3));
    EXPECT_EQ(t.height(2048, 0), t.height(0, 0));
    EXPECT_EQ(t.height(2050, 3), sample(2, 3));
    EXPECT_EQ(t.height(-1, 7), t.height(0, 7));
    EXPECT_EQ(t.height(-5, -5), sample(0, 0));
    EXPECT_EQ(t.height(5, -2049), t.height(5, 0));
    EXPECT_EQ(t.height(2047, 2047), sample(2047, 2047));
    EXPECT_EQ(t.height(4096 + 17, 2048 * 3 + 9), sample(17, 9));
    EXPECT_EQ(t.height(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()),
              sample(0, std::numeric_limits<int32_t>::max() % 2048));

    // heightAt truncates toward zero and survives wild input.
    EXPECT_EQ(heightAt(10.9f, 3.2f), 0.0f) << "no terrain, no height";
    GlobalTerrain global(&t);
    EXPECT_EQ(heightAt(10.9f, 3.2f), float(t.height(10, 3)));
    EXPECT_EQ(heightAt(-0.5f, 0.0f), float(t.height(0, 0)));
    EXPECT_EQ(heightAt(-0.99f, -1.5f), float(t.height(0, 0)));
    EXPECT_EQ(heightAt(2048.5f, 1.0f), float(t.height(0, 1)));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float v : {nan, inf, -inf, 1e30f, -1e30f}) {
        float h = heightAt(v, v);
        EXPECT_GE(h, 0.0f);
        EXPECT_LE(h, 255.0f);
    }
}

TEST(TerrainHeights, AShortFileFillsOnlyItsOwnLengthAndAMissingOneLeavesTheLandFlat) {
    Terrain t;
    std::vector<uint8_t> shortFile(5000, 200);
    EXPECT_EQ(t.loadHeights(writeFile("short.raw", shortFile)), 5000u);
    EXPECT_EQ(t.height(4999 % 2048, 4999 / 2048), 200);
    EXPECT_EQ(t.height(5000 % 2048, 5000 / 2048), 0);
    EXPECT_EQ(t.height(2047, 2047), 0);

    Terrain flat;
    EXPECT_EQ(flat.loadHeights((tempDir() / "none.raw").string()), 0u);
    for (int z = 0; z < 2048; z += 97)
        for (int x = 0; x < 2048; x += 89)
            ASSERT_EQ(flat.height(x, z), 0);

    // A longer file is read up to the map's size only.
    Terrain big;
    std::vector<uint8_t> longer(Terrain::HEIGHT_BYTES + 100, 9);
    EXPECT_EQ(big.loadHeights(writeFile("long.raw", longer)), Terrain::HEIGHT_BYTES);
    EXPECT_EQ(big.height(2047, 2047), 9);
}

// ---- Drawing -------------------------------------------------------------------------------

namespace {

// Mean colour and the standard deviation of the brightness over rows [y0, y1), top first.
struct RegionStats {
    double mean[3] = {0, 0, 0}; // red, green, blue
    double deviation = 0;
    int clearPixels = 0; // pixels still showing the clear colour (magenta)
};

RegionStats stats(const std::vector<uint8_t>& px, int width, int y0, int y1) {
    RegionStats s;
    double sum = 0, sum2 = 0;
    const double n = double(y1 - y0) * width;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &px[(size_t(y) * width + x) * 3];
            for (int c = 0; c < 3; ++c)
                s.mean[c] += p[c] / n;
            double l = (p[0] + p[1] + p[2]) / 3.0;
            sum += l;
            sum2 += l * l;
            s.clearPixels += p[0] == 255 && p[1] == 0 && p[2] == 255;
        }
    s.deviation = std::sqrt(std::max(0.0, sum2 / n - (sum / n) * (sum / n)));
    return s;
}

void setCamera(const TestGLContext& gl, double ex, double ey, double ez, double cx, double cy,
               double cz) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(gl.width()) / double(gl.height()), 0.1, 4500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(ex, ey, ez, cx, cy, cz, 0, 1, 0);
}

void clearToMagenta() {
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

class TerrainDrawing : public ContextTest {
protected:
    void SetUp() override {
        if (!m_gl.ok())
            GTEST_SKIP() << "no GL context: " << m_gl.error();
    }
    TestGLContext m_gl;
};

// Rolling hills between 20 and 120, a green colour map and a grey checker detail map.
void makeSyntheticLand(std::string& heights, std::string& colour, std::string& detail) {
    std::vector<uint8_t> h(Terrain::HEIGHT_BYTES);
    for (int z = 0; z < 2048; ++z)
        for (int x = 0; x < 2048; ++x)
            h[size_t(x) + size_t(z) * 2048] =
                uint8_t(70 + 50 * std::sin(x / 150.0) * std::cos(z / 170.0));
    heights = writeFile("hills.raw", h);
    // Bmp24 takes 0xRRGGBB of (x, y counted from the bottom).
    colour = writeFile("green.bmp", Bmp24(64, 64, [](int x, int y) {
                           return uint32_t(0x30 + x / 2) << 16 | uint32_t(0x90 + y) << 8 | 0x30;
                       }));
    detail = writeFile("checker.bmp", Bmp24(32, 32, [](int x, int y) {
                           return ((x / 4 + y / 4) & 1) ? 0x606060u : 0xA0A0A0u;
                       }));
}

} // namespace

TEST_F(TerrainDrawing, SyntheticLandDrawsTexturedGroundWithDetailOrWithoutIt) {
    std::string heights, colour, detail;
    makeSyntheticLand(heights, colour, detail);
    Terrain t;
    t.load(heights, colour, detail);
    ASSERT_TRUE(multitextureAvailable()) << "Mesa offers ARB multitexture";
    EXPECT_NE(t.m_colorTexture, 0u);
    EXPECT_NE(t.m_detailTexture, 0u);
    t.buildDisplayList();
    ASSERT_NE(t.m_displayList, 0u);

    clearToMagenta();
    setCamera(m_gl, 1024, 200, 1900, 1024, 150, 1000);
    t.draw();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    std::vector<uint8_t> px = m_gl.readPixels();
    m_gl.saveArtifact("terrain_synthetic");

    RegionStats sky = stats(px, m_gl.width(), 0, 40);
    RegionStats ground = stats(px, m_gl.width(), 400, 600);
    EXPECT_GT(sky.clearPixels, 40 * 800 * 9 / 10) << "nothing but sky drawn above the horizon";
    EXPECT_EQ(ground.clearPixels, 0) << "no holes in the ground";
    EXPECT_GT(ground.mean[1], ground.mean[0]) << "the green colour map shows";
    EXPECT_GT(ground.mean[1], 60.0) << "the detail map's scale of 2 keeps the ground bright";
    EXPECT_GT(ground.deviation, 6.0) << "the checker detail map shows";

    // Looking out over the border, level, from above the land's highest: mountains fill the
    // view below the horizon, never the clear colour under a cut edge.
    for (const auto& [ex, ez, cx, cz] : {std::array<double, 4>{1024, 1990, 1024, 3000},
                                         {60, 1024, -1000, 1024},
                                         {100, 100, -900, -900}}) {
        clearToMagenta();
        setCamera(m_gl, ex, 140, ez, cx, 140, cz);
        t.draw();
        EXPECT_EQ(stats(m_gl.readPixels(), m_gl.width(), 300, 600).clearPixels, 0)
            << "looking out from (" << ex << ", " << ez << ")";
    }

    // The detail map repeats 16 times: the list leaves unit 1's texture matrix scaled.
    g_glActiveTextureARB(GL_TEXTURE1_ARB);
    GLfloat m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    g_glActiveTextureARB(GL_TEXTURE0_ARB);
    EXPECT_FLOAT_EQ(m[0], 16.0f);
    EXPECT_FLOAT_EQ(m[5], 16.0f);
    EXPECT_FLOAT_EQ(m[10], 1.0f);
    GLboolean tex = glIsEnabled(GL_TEXTURE_2D);
    EXPECT_FALSE(tex) << "unit 0 left with texturing off";

    // A driver without the extension leaves both pointers null: the colour map alone shows.
    ActiveTextureProc active = g_glActiveTextureARB;
    MultiTexCoord2fProc coord = g_glMultiTexCoord2fARB;
    g_glActiveTextureARB = nullptr;
    g_glMultiTexCoord2fARB = nullptr;
    t.buildDisplayList();
    g_glActiveTextureARB = active;
    g_glMultiTexCoord2fARB = coord;
    clearToMagenta();
    setCamera(m_gl, 1024, 200, 1900, 1024, 150, 1000);
    t.draw();
    ground = stats(m_gl.readPixels(), m_gl.width(), 400, 600);
    EXPECT_EQ(ground.clearPixels, 0);
    EXPECT_GT(ground.mean[1], ground.mean[0]);
    EXPECT_GT(ground.mean[1], 100.0);
}
