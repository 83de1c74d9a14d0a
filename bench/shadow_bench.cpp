// Cost of rebuilding one shadow volume (classify every triangle, find the silhouette)
// for the hero's model, as a model does on each frame its shadow period allows.
#include "models/ms3dmodel.h"
#include "models/shadowfeed.h"
#include "world/shadowvolume.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <unistd.h>
#include <vector>

namespace {

std::vector<ShadowTriangle>* s_capture = nullptr;

// Records what the model feeds, so the benchmark replays exactly the hero's triangles.
// Only the model's first builder records: both get the same triangles.
int s_builders = 0;
class Recorder : public NullShadowBuilder {
public:
    void addTriangle(const ShadowTriangle& t) override {
        if (s_capture && m_first)
            s_capture->push_back(t);
    }
    bool m_first = s_builders++ == 0;
};

// A closed lathed body of about the hero's size, when the game's files are not built.
std::vector<ShadowTriangle> lathe(int rings, int sides) {
    std::vector<ShadowTriangle> out;
    auto index = [&](int ring, int side) { return ring * sides + (side % sides); };
    auto point = [&](int ring, int side, float* p) {
        float v = float(ring) / float(rings);
        float a = 6.2831853f * float(side) / float(sides);
        float r = 3.0f * std::sin(v * 3.1415927f);
        p[0] = r * std::cos(a);
        p[1] = 20.0f * v;
        p[2] = -r * std::sin(a);
    };
    for (int ring = 0; ring < rings; ++ring)
        for (int side = 0; side < sides; ++side) {
            const int q[4][2] = {
                {ring, side}, {ring, side + 1}, {ring + 1, side + 1}, {ring + 1, side}};
            const int tri[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (const auto& t : tri) {
                ShadowTriangle s{};
                for (int k = 0; k < 3; ++k) {
                    point(q[t[k]][0], q[t[k]][1], s.m_corners[k]);
                    s.m_vertexIndices[k] = index(q[t[k]][0], q[t[k]][1]);
                }
                out.push_back(s);
            }
        }
    return out;
}

const std::vector<ShadowTriangle>& heroTriangles() {
    static std::vector<ShadowTriangle> triangles = [] {
        std::vector<ShadowTriangle> captured;
        if (chdir(TARVO_GAME_DIR) == 0) {
            SetShadowBuilderFactory(
                []() -> std::unique_ptr<ShadowBuilder> { return std::make_unique<Recorder>(); });
            {
                Ms3dModel hero;
                if (hero.loadModel("Data/tarvo.ms3d")) {
                    hero.setShadowPeriod(1);
                    s_capture = &captured;
                    hero.feedShadows();
                    s_capture = nullptr;
                }
            }
            SetShadowBuilderFactory(nullptr);
        }
        return captured.empty() ? lathe(20, 19) : captured;
    }();
    return triangles;
}

void BM_BuildHeroShadowVolume(benchmark::State& state) {
    const std::vector<ShadowTriangle>& tris = heroTriangles();
    ShadowVolume volume;
    volume.beginFrame(int32_t(tris.size()));
    volume.setLight(-60.0f, -80.0f, -20.0f, 400.0f, true);
    for (auto _ : state) {
        volume.clear();
        for (const ShadowTriangle& t : tris)
            volume.addTriangle(t);
        volume.finish();
        benchmark::DoNotOptimize(volume.edgeCount());
    }
    state.counters["triangles"] = double(tris.size());
    state.counters["edges"] = double(volume.edgeCount());
}
BENCHMARK(BM_BuildHeroShadowVolume);

} // namespace
