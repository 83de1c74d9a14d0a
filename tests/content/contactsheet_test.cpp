// Every generated model drawn by the game's own renderer in each of its poses, one sheet a
// model (8 by 6 tiles of 100 pixels), kept as test artefacts for people to look at. Each
// pose must put the figure inside its tile: a pose that collapses, flies off or swallows
// the whole view is a broken model.
#include "models/ms3dmodel.h"
#include "support/glcontext.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTile = 100;
constexpr int kColumns = 8;

struct Bounds {
    Vector lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
};

Bounds posedBounds(const Ms3dModel& model) {
    Bounds b;
    for (size_t i = 0; i < model.m_vertices.size(); ++i) {
        const Vector v = model.posedVertex(static_cast<int32_t>(i));
        b.lo = Vector(std::min(b.lo.x, v.x), std::min(b.lo.y, v.y), std::min(b.lo.z, v.z));
        b.hi = Vector(std::max(b.hi.x, v.x), std::max(b.hi.y, v.y), std::max(b.hi.z, v.z));
    }
    return b;
}

// Pixels of the tile that differ from the clear colour.
int litPixels(const std::vector<uint8_t>& rgb, int width, int tx, int ty) {
    int lit = 0;
    for (int y = ty * kTile + 1; y < (ty + 1) * kTile - 1; ++y)
        for (int x = tx * kTile + 1; x < (tx + 1) * kTile - 1; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            lit += std::abs(p[0] - 64) + std::abs(p[1] - 64) + std::abs(p[2] - 71) > 9;
        }
    return lit;
}

TEST(ContactSheet, EveryModelShowsItselfInEveryPose) {
    TestGLContext gl;
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    const fs::path data = fs::path(TARVO_GAME_DIR) / "Data";
    if (!fs::exists(data / "tarvo.ms3d"))
        GTEST_SKIP() << "no generated models in " << data;
    ASSERT_EQ(chdir(TARVO_GAME_DIR), 0);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(data))
        if (entry.path().extension() == ".ms3d")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 20u);

    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Ms3dModel model;
        ASSERT_TRUE(model.loadModel(("Data/" + name).c_str()));
        const int poses = std::max(1, static_cast<int>(model.poseCount()));
        ASSERT_LE(poses, kColumns * 6);
        model.blendToPose(0, 0.0);
        const Bounds b = posedBounds(model);
        const Vector centre((b.lo.x + b.hi.x) / 2, (b.lo.y + b.hi.y) / 2, (b.lo.z + b.hi.z) / 2);
        const float extent = std::max({b.hi.x - b.lo.x, b.hi.y - b.lo.y, b.hi.z - b.lo.z, 0.1f});

        glViewport(0, 0, gl.width(), gl.height());
        glClearColor(0.25f, 0.25f, 0.28f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const float ambient[4] = {0.5f, 0.5f, 0.5f, 1}, diffuse[4] = {0.9f, 0.9f, 0.85f, 1};
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        // A model rests in its bind pose until asked for another one, and asking for the
        // pose it stands in moves nothing: step away first, so tile 0 shows pose 0 itself.
        if (poses > 1)
            model.blendToPose(1, 0.0);
        for (int pose = 0; pose < poses; ++pose) {
            const int tx = pose % kColumns, ty = pose / kColumns;
            glViewport(tx * kTile, gl.height() - (ty + 1) * kTile, kTile, kTile);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            gluPerspective(40.0, 1.0, extent * 0.05, extent * 10.0);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            const float position[4] = {extent, extent * 2, extent * 2, 0};
            glLightfv(GL_LIGHT0, GL_POSITION, position);
            // Three-quarter view from the front-right; models face +x.
            const float d = extent * 1.5f;
            gluLookAt(centre.x + d * 0.8f, centre.y + d * 0.35f, centre.z + d * 0.6f, centre.x,
                      centre.y, centre.z, 0, 1, 0);
            EXPECT_TRUE(model.blendToPose(pose, 0.0)) << "pose " << pose;
            model.setOutline(true);
            model.drawModel();
        }
        glFinish();
        const std::vector<uint8_t> rgb = gl.readPixels();
        for (int pose = 0; pose < poses; ++pose) {
            const int lit = litPixels(rgb, gl.width(), pose % kColumns, pose / kColumns);
            EXPECT_GT(lit, kTile * kTile / 40) << "pose " << pose << " is (nearly) invisible";
            EXPECT_LT(lit, kTile * kTile * 95 / 100) << "pose " << pose << " fills the whole view";
        }
        gl.saveArtifact("contact_" + fs::path(name).stem().string());
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

} // namespace
