// Cost of the follow camera's step, which keeps the eye above the land: the height reads
// around the eye and along the line of sight, over rolling hills.
#include "objects/sceneobject.h"
#include "world/camera.h"
#include "world/terrain.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

class Followed : public SceneObject {
public:
    void draw() override {}
};

} // namespace

static void BM_FollowCameraStepOverHills(benchmark::State& state) {
    auto land = std::make_unique<Terrain>();
    for (int x = 0; x < 512; ++x)
        for (int z = 0; z < 512; ++z)
            land->setHeight(x, z,
                            uint8_t(100.0f + 60.0f * std::sin(x / 40.0f) * std::cos(z / 30.0f)));
    Terrain* saved = g_terrain;
    g_terrain = land.get();
    Camera camera;
    Followed hero;
    camera.setTarget(&hero);
    int frame = 0;
    for (auto _ : state) {
        // The hero walks a circle looking up, so the eye is raised and pulled in often.
        const float a = float(frame++) * 0.01f;
        const float x = 256.0f + 100.0f * std::cos(a), z = 256.0f + 100.0f * std::sin(a);
        hero.setPosition(Vector(x, float(land->height(int(x), int(z))), z));
        hero.setDirection(Vector(-std::sin(a) * 0.6f, 0.8f, std::cos(a) * 0.6f));
        benchmark::DoNotOptimize(camera.step());
    }
    g_terrain = saved;
}
BENCHMARK(BM_FollowCameraStepOverHills);
