// Cost of the follow camera's step, which keeps the hero in view: the height reads around the
// eye and along the line of sight over rolling hills, and the same among a level's worth of
// huts (the scenery the line of sight may meet).
#include "objects/modelobject.h"
#include "world/camera.h"
#include "world/collisionworld.h"
#include "world/terrain.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

class Followed : public SceneObject {
public:
    void draw() override {}
};

// A closed box hut, half as wide as `half`, of 12 triangles.
void addBox(CollisionShape& shape, float half) {
    const Vector c[8] = {{-half, 0, -half},      {half, 0, -half},         {half, 0, half},
                         {-half, 0, half},       {-half, 2 * half, -half}, {half, 2 * half, -half},
                         {half, 2 * half, half}, {-half, 2 * half, half}};
    const int faces[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    for (const auto& f : faces) {
        shape.addTriangle(c[f[0]], c[f[1]], c[f[2]], -1);
        shape.addTriangle(c[f[0]], c[f[2]], c[f[3]], -1);
    }
    shape.finish();
}

void followAround(benchmark::State& state, Terrain& land) {
    Terrain* saved = g_terrain;
    g_terrain = &land;
    Camera camera;
    Followed hero;
    camera.setTarget(&hero);
    int frame = 0;
    for (auto _ : state) {
        // The hero walks a circle looking up, so the eye is raised and pulled in often.
        const float a = float(frame++) * 0.01f;
        const float x = 256.0f + 100.0f * std::cos(a), z = 256.0f + 100.0f * std::sin(a);
        hero.setPosition(Vector(x, float(land.height(int(x), int(z))), z));
        hero.setDirection(Vector(-std::sin(a) * 0.6f, 0.8f, std::cos(a) * 0.6f));
        benchmark::DoNotOptimize(camera.step());
    }
    g_terrain = saved;
}

std::unique_ptr<Terrain> hills() {
    auto land = std::make_unique<Terrain>();
    for (int x = 0; x < 512; ++x)
        for (int z = 0; z < 512; ++z)
            land->setHeight(x, z,
                            uint8_t(100.0f + 60.0f * std::sin(x / 40.0f) * std::cos(z / 30.0f)));
    return land;
}

} // namespace

static void BM_FollowCameraStepOverHills(benchmark::State& state) {
    auto land = hills();
    followAround(state, *land);
}
BENCHMARK(BM_FollowCameraStepOverHills);

// A full table of scenery: huts along the hero's circle and scattered over the rest.
static void BM_FollowCameraStepAmongHuts(benchmark::State& state) {
    auto land = hills();
    auto world = std::make_unique<CollisionWorld>();
    std::unique_ptr<ModelObject> huts[LEVEL_MAX_STATIC];
    for (int32_t i = 0; i < LEVEL_MAX_STATIC; ++i) {
        huts[i] = std::make_unique<ModelObject>();
        const float a = float(i) * 0.37f;
        const float r = i % 2 ? 115.0f : 60.0f + float(i) * 3.0f;
        const float x = 256.0f + r * std::cos(a), z = 256.0f + r * std::sin(a);
        huts[i]->setPosition(Vector(x, float(land->height(int(x), int(z))) - 2.0f, z));
        CollisionEntry& entry = world->m_static[i];
        entry.m_object = huts[i].get();
        entry.m_shapes[0] = std::make_unique<CollisionShape>();
        addBox(*entry.m_shapes[0], 8.0f);
        entry.m_shapes[0]->setTransform(placementTransform(huts[i]->m_position, 0.0f));
        entry.m_shapeCount = 1;
    }
    world->m_staticCount = LEVEL_MAX_STATIC;
    CollisionWorld* saved = g_collisionWorld;
    g_collisionWorld = world.get();
    followAround(state, *land);
    g_collisionWorld = saved;
}
BENCHMARK(BM_FollowCameraStepAmongHuts);
