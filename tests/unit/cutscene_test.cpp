// The two intro scenes played through on a hand-set clock at 15, 30, 60 and 144 frames a
// second, with the game's models on a real (small) GL context: who is in view, when the
// title comes, and whether the camera flies the same path at every frame rate.
#include "models/shadowfeed.h"
#include "objects/modelobject.h"
#include "platform/gamestate.h"
#include "platform/win32timer.h"
#include "shell/cutscenes.h"
#include "shell/gamecontext.h"
#include "shell/mainloop.h"
#include "shell/screens.h"
#include "shell/window.h"
#include "support/glcontext.h"
#include "world/camera.h"
#include "world/shadowvolume.h"
#include "world/viewfrustum.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int64_t s_nowNs = 1'000'000'000;

struct CameraSample {
    double ms; // scene time
    Vector eye;
    Vector direction;
};

struct IntroRun {
    double secondSceneAt = -1.0; // ms from launch
    double titleAt = -1.0;
    std::vector<CameraSample> first, second;
    int framesChecked = 0;
    int unseenFrames = 0;
    std::string firstUnseen; // the scene and its time when nobody was first out of view
};

// Whether a sphere of `radius` at `lift` above the object's feet lies in the view.
bool inView(ModelObject* object, float lift, float radius, const ViewFrustum& view) {
    if (!object)
        return false;
    const Vector offset = object->m_sphereOffset;
    const float r = object->m_sphereRadius;
    object->m_sphereOffset = Vector(0.0f, lift, 0.0f);
    object->m_sphereRadius = radius;
    view.testVisible(*object);
    object->m_sphereOffset = offset;
    object->m_sphereRadius = r;
    return object->m_visible;
}

class IntroScenes : public testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("ALSOFT_DRIVERS", "null", 0); // no sound card needed
        s_haveModels = chdir(TARVO_GAME_DIR) == 0 &&
                       std::ifstream("Data/tarvo_moviestar.ms3d").good() &&
                       std::ifstream("Data/doduda_moviestar.ms3d").good();
        if (!s_haveModels)
            return;
        Win32Timer::SetTickSourceForTests([] { return s_nowNs; });
        // A small window: the scenes' logic does not depend on the size, the drawing cost does.
        s_gl = new TestGLContext(160, 120);
        if (!s_gl->ok())
            return;
        ResizeScene(160, 120);
        for (double fps : {15.0, 30.0, 60.0, 144.0})
            s_runs[int(fps)] = play(fps);
    }
    static void TearDownTestSuite() {
        // As the game ends: the title's music stream and the scenes' sound are shut down
        // before the process exits, or OpenAL's own exit races the music's feeder thread.
        ShutDownGame();
        delete s_gl;
        s_gl = nullptr;
        Win32Timer::SetTickSourceForTests({});
    }
    void SetUp() override {
        if (!s_haveModels)
            GTEST_SKIP() << "the game's models are not built in " << TARVO_GAME_DIR;
        ASSERT_TRUE(s_gl && s_gl->ok()) << (s_gl ? s_gl->error() : std::string());
    }

    // Launch to title, left alone, one frame every 1/fps s of the hand-set clock.
    static IntroRun play(double fps) {
        IntroRun run;
        g_gameState = STATE_INTRO1;
        g_titleGlow = 1.0f;
        g_flareRadius = 1.0f;
        InitScene();
        const int64_t frameNs = int64_t(1e9 / fps);
        double launchMs = 0.0;
        const double limitMs = 200000.0;
        for (int frame = 0; launchMs < limitMs; ++frame) {
            s_nowNs += frameNs;
            launchMs += double(frameNs) / 1e6;
            const GameState state = g_gameState;
            // Every 20th frame is drawn by the scene's own frame handler; the others only move
            // (drawing every frame of four runs would take minutes).
            const bool drawn = frame % 20 == 0;
            ViewFrustum view;
            if (drawn) {
                g_frameHandlers[state]();
            } else {
                glLoadIdentity();
                g_camera->apply();
            }
            view.extractPlanes(); // the view this frame is drawn from
            if (!drawn)
                AdvanceIntroScene();
            if (g_gameState == STATE_TITLE) {
                run.titleAt = launchMs;
                break;
            }
            if (g_gameState != state) { // the second scene was built during this frame
                run.secondSceneAt = launchMs;
                continue;
            }
            bool seen;
            if (state == STATE_INTRO1) {
                // The hero (12 units tall) or the tree (27) behind him, but for the fade
                // to black at the end.
                seen = g_titleGlow <= 0.0f || inView(g_actor, 6.0f, 2.0f, view) ||
                       inView(g_prop, 14.0f, 3.0f, view);
                run.first.push_back(
                    {SceneTime(), g_camera->getPosition(), g_camera->getDirection()});
            } else {
                seen = inView(g_actor, 8.0f, 2.0f, view); // Doduda, 16 units tall
                run.second.push_back(
                    {SceneTime(), g_camera->getPosition(), g_camera->getDirection()});
            }
            ++run.framesChecked;
            if (!seen && run.unseenFrames++ == 0)
                run.firstUnseen = std::string(state == STATE_INTRO1 ? "first" : "second") +
                                  " scene at " + std::to_string(int(SceneTime())) + " ms";
        }
        ReleaseCutscene();
        ReleaseTitle();
        return run;
    }

    static const IntroRun& run(int fps) { return s_runs[fps]; }

    static inline bool s_haveModels = false;
    static inline TestGLContext* s_gl = nullptr;
    static inline std::map<int, IntroRun> s_runs;
};

// The camera state of `path` at scene time `ms` (the last sample not after it).
const CameraSample& at(const std::vector<CameraSample>& path, double ms) {
    size_t i = 0;
    while (i + 1 < path.size() && path[i + 1].ms <= ms)
        ++i;
    return path[i];
}

float angleBetween(Vector a, Vector b) {
    a.normalize();
    b.normalize();
    return std::acos(std::clamp(a.x * b.x + a.y * b.y + a.z * b.z, -1.0f, 1.0f));
}

} // namespace

// One test, so that the four runs are played once per test process.
TEST_F(IntroScenes, AtAnyFrameRateTheyKeepTheirFiguresInViewFlyOnePathAndEndAtTheTitle) {
    // The scenes' start-up handed every model made since a stencil shadow volume.
    EXPECT_NE(dynamic_cast<ShadowVolume*>(CreateShadowBuilder().get()), nullptr)
        << "the scenes cast no shadows";
    // The title comes within the scripts' time and a few seconds.
    const double first = ScriptLength(kHeroIntroScript, kHeroIntroScriptLength);
    const double second = ScriptLength(kDodudaScript, kDodudaScriptLength);
    for (int fps : {15, 30, 60, 144}) {
        SCOPED_TRACE(std::to_string(fps) + " frames a second");
        const IntroRun& r = run(fps);
        ASSERT_GT(r.titleAt, 0.0) << "no title after 200 s";
        EXPECT_GT(r.secondSceneAt, first - 1.0);
        EXPECT_LT(r.secondSceneAt, first + 3000.0);
        EXPECT_GT(r.titleAt, r.secondSceneAt + 15000.0) << "the second scene was cut short";
        EXPECT_LT(r.titleAt, first + second + 3000.0);
        // The hero (or the tree behind him) and Doduda are in view but for the fade to black.
        EXPECT_GT(r.framesChecked, 100);
        EXPECT_EQ(r.unseenFrames, 0) << "nobody in view from the " << r.firstUnseen;
    }

    // The camera is where it was at the same time of the scene, at 15 and at 144 frames.
    const IntroRun& slow = run(15);
    const IntroRun& fast = run(144);
    for (auto [slowPath, fastPath] :
         {std::pair(&slow.first, &fast.first), std::pair(&slow.second, &fast.second)}) {
        ASSERT_GT(slowPath->size(), 10u);
        ASSERT_GT(fastPath->size(), 10u);
        // Within 3 units, or 5% of the distance from the figures during the fast flights.
        float worstShare = 0.0f, worstGap = 0.0f, worstTurn = 0.0f;
        double worstAt = 0.0;
        for (const CameraSample& s : *slowPath) {
            const CameraSample& f = at(*fastPath, s.ms);
            const float gap = (s.eye - f.eye).length();
            const float share = gap / std::max(3.0f, 0.05f * f.eye.length());
            if (share > worstShare) {
                worstShare = share;
                worstGap = gap;
                worstAt = s.ms;
            }
            worstTurn = std::max(worstTurn, angleBetween(s.direction, f.direction));
        }
        EXPECT_LE(worstShare, 1.0f)
            << worstGap << " units apart at " << worstAt << " ms into the scene";
        EXPECT_LT(worstTurn, 0.1f) << "radians";
    }
}

TEST(PoseScripts, StepsComeAtTheirScriptedTimesAndHoldsReportNothing) {
    const int n = kDodudaScriptLength; // hold 15 s, 0, 1, hold 4 s, 2, hold 3 s
    EXPECT_DOUBLE_EQ(ScriptLength(kDodudaScript, n), 23400.0);
    EXPECT_EQ(ScriptStepAt(kDodudaScript, n, 0.0), -1);
    EXPECT_EQ(ScriptStepAt(kDodudaScript, n, 15299.0), -1);
    EXPECT_EQ(ScriptStepAt(kDodudaScript, n, 15300.0), 0);
    EXPECT_EQ(ScriptStepAt(kDodudaScript, n, 19000.0), 1);
    EXPECT_EQ(ScriptStepAt(kDodudaScript, n, 20400.0), 2);
    EXPECT_EQ(ScriptStepAt(kDodudaScript, n, 1e9), 2);
    EXPECT_DOUBLE_EQ(NextScriptChange(kDodudaScript, n, 0.0), 15300.0);
    EXPECT_DOUBLE_EQ(NextScriptChange(kDodudaScript, n, 15300.0), 15900.0);
    EXPECT_TRUE(std::isinf(NextScriptChange(kDodudaScript, n, 20400.0)));
    EXPECT_EQ(ScriptStepAt(kHeroIntroScript, kHeroIntroScriptLength,
                           ScriptLength(kHeroIntroScript, kHeroIntroScriptLength)),
              10);
    EXPECT_EQ(ScriptStepAt(nullptr, 0, 5.0), -1);
}
