// The generated sky: the five face images agree wherever two faces meet on the sky box
// (read as the game reads them and laid out as the sky box maps them), and a view across
// a seam, drawn by the game's sky box with the scene's lights on, shows no line or step.
#include "models/bmpdecoder.h"
#include "support/glcontext.h"
#include "world/skybox.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// How the sky box lays each texture on its cube (unit cube, texture s and t): the corner at
// (s, t) = (0, 0) and the directions in which s and t grow, from the box's corner table.
struct FaceLayout {
    const char* file;
    std::array<float, 3> o, ds, dt;
};
const FaceLayout kFaces[5] = {
    {"Data/sky_back.bmp", {-1, -1, -1}, {2, 0, 0}, {0, 2, 0}},
    {"Data/sky_top.bmp", {1, 1, 1}, {-2, 0, 0}, {0, 0, -2}},
    {"Data/sky_front.bmp", {1, -1, 1}, {-2, 0, 0}, {0, 2, 0}},
    {"Data/sky_right.bmp", {1, -1, -1}, {0, 0, 2}, {0, 2, 0}},
    {"Data/sky_left.bmp", {-1, -1, 1}, {0, 0, -2}, {0, 2, 0}},
};

struct Face {
    ImageRecord image; // rows bottom first: row r is t = r / (height - 1)
    FaceLayout layout;
    // Whether the cube point p lies on this face, and its texture coordinates there.
    bool find(const std::array<float, 3>& p, float& s, float& t) const {
        float ss = 0, tt = 0, off = 0;
        for (int i = 0; i < 3; ++i) {
            const float d = p[i] - layout.o[i];
            if (layout.ds[i] != 0)
                ss = d / layout.ds[i];
            else if (layout.dt[i] != 0)
                tt = d / layout.dt[i];
            else
                off = std::fabs(d);
        }
        if (off > 1e-4f || ss < -1e-4f || ss > 1.0001f || tt < -1e-4f || tt > 1.0001f)
            return false;
        s = std::clamp(ss, 0.0f, 1.0f);
        t = std::clamp(tt, 0.0f, 1.0f);
        return true;
    }
    const uint8_t* texel(float s, float t) const {
        const int x = int(std::lround(s * float(image.width - 1)));
        const int y = int(std::lround(t * float(image.height - 1)));
        return &image.pixels[(size_t(y) * image.width + x) * 3];
    }
};

class GeneratedSky : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(fs::path(TARVO_GAME_DIR) / "Data/sky_top.bmp"))
            GTEST_SKIP() << "no generated sky in " << TARVO_GAME_DIR;
        ASSERT_EQ(chdir(TARVO_GAME_DIR), 0);
        for (const FaceLayout& layout : kFaces) {
            std::ifstream in(layout.file, std::ios::binary);
            std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
            Face face;
            face.layout = layout;
            std::string error;
            ASSERT_TRUE(decodeBmp(bytes.data(), bytes.size(), face.image, error))
                << layout.file << ": " << error;
            m_faces.push_back(std::move(face));
        }
    }
    std::vector<Face> m_faces;
};

int difference(const uint8_t* a, const uint8_t* b) {
    int worst = 0;
    for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(int(a[c]) - int(b[c])));
    return worst;
}

} // namespace

TEST_F(GeneratedSky, NeighbouringFacesHoldTheSameColoursAlongEverySharedEdge) {
    int edgesChecked = 0;
    for (const Face& a : m_faces) {
        // Walk the four borders of face a; every point on another face's border is a seam.
        for (int border = 0; border < 4; ++border) {
            bool seam = false;
            for (int k = 1; k < 64; ++k) { // corners belong to three faces: skip them
                const float u = float(k) / 64.0f;
                const float s = border < 2 ? float(border) : u;
                const float t = border < 2 ? u : float(border - 2);
                std::array<float, 3> p;
                for (int i = 0; i < 3; ++i)
                    p[i] = a.layout.o[i] + a.layout.ds[i] * s + a.layout.dt[i] * t;
                for (const Face& b : m_faces) {
                    float bs, bt;
                    if (&b == &a || !b.find(p, bs, bt))
                        continue;
                    seam = true;
                    EXPECT_LE(difference(a.texel(s, t), b.texel(bs, bt)), 3)
                        << a.layout.file << " and " << b.layout.file << " at " << p[0] << ", "
                        << p[1] << ", " << p[2];
                }
            }
            edgesChecked += seam;
        }
    }
    // Four sides meet each other (eight borders) and the top (four on each).
    EXPECT_EQ(edgesChecked, 16);
}

TEST_F(GeneratedSky, AViewAcrossASeamShowsNoLineOrStepUnderTheScenesLights) {
    TestGLContext gl;
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    SkyBox box;
    box.loadTextures("Data/sky_front.bmp", "Data/sky_back.bmp", "Data/sky_left.bmp",
                     "Data/sky_right.bmp", "Data/sky_top.bmp");
    box.buildDisplayList(1000, 0, 1000);
    // The play frame leaves lighting on with the sun as a point light when the sky is drawn.
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT1);
    const float sun[4] = {-1500, 1000, 700, 1}, dawn[4] = {0.7f, 0.7f, 0.7f, 1};
    glLightfv(GL_LIGHT1, GL_POSITION, sun);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, dawn); // an early sun, not yet at full strength
    glNormal3f(0, 1, 0);
    glColor3f(0.3f, 0.6f, 0.2f);
    glEnable(GL_DEPTH_TEST);
    struct View {
        const char* name;
        double dx, dy, dz;
    } views[] = {
        {"the back-right corner", 1, 0.15, -1},   // the vertical seam x1, z0
        {"the front-left corner", -1, 0.3, 1},    // the vertical seam x0, z1
        {"the top over the right side", 1, 1, 0}, // the seam of the top and x1
    };
    for (const View& v : views) {
        SCOPED_TRACE(v.name);
        glViewport(0, 0, gl.width(), gl.height());
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, double(gl.width()) / gl.height(), 1.0, 4500.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // From where the hero stands, not from the box's centre.
        gluLookAt(400, 150, 600, 400 + v.dx, 150 + v.dy, 600 + v.dz, 0, 1, 0);
        box.draw();
        const std::vector<uint8_t> px = gl.readPixels();
        // Along rows and columns the sky changes smoothly: pixels a few apart differ by no
        // more than the clouds' own gradient, which a line or a shade step across a seam
        // exceeds (filtering spreads a seam's line over a few pixels, so neighbours alone
        // would not show it).
        constexpr int kGap = 5;
        const size_t row = size_t(gl.width()) * 3;
        int worst = 0;
        for (int y = 2; y < gl.height() - 2; y += 3)
            for (int x = 2; x < gl.width() - 2 - kGap; ++x) {
                const uint8_t* p = &px[size_t(y) * row + size_t(x) * 3];
                worst = std::max(worst, difference(p, p + 3 * kGap));
            }
        for (int x = 2; x < gl.width() - 2; x += 3)
            for (int y = 2; y < gl.height() - 2 - kGap; ++y) {
                const uint8_t* p = &px[size_t(y) * row + size_t(x) * 3];
                worst = std::max(worst, difference(p, p + row * kGap));
            }
        EXPECT_LE(worst, 8);
        gl.saveArtifact(std::string("sky_seam_") + char('a' + (&v - views)));
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
