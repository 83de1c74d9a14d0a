// Costs of the per-frame collision tests: a hero-sized body against a piece of scenery, and a
// projectile's step against a body.
#include "platform/random.h"
#include "world/collisionshape.h"
#include "world/collisionworld.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr float PI_F = 3.14159265f;

// A closed, lathed surface (a capsule-like body or a rock) of about 2 * rings * sides
// triangles around the y axis.
void addLathe(CollisionShape& shape, int rings, int sides, float radius, float height,
              float bumpiness) {
    auto point = [&](int ring, int side) {
        const float v = static_cast<float>(ring) / rings;
        const float a = 2.0f * PI_F * side / sides;
        float r = radius * std::sin(v * PI_F);
        r *= 1.0f + bumpiness * std::sin(3.0f * a + 5.0f * v);
        return Vector(r * std::cos(a), height * v, r * std::sin(a));
    };
    for (int ring = 0; ring < rings; ++ring)
        for (int side = 0; side < sides; ++side) {
            const Vector p00 = point(ring, side), p01 = point(ring, side + 1);
            const Vector p10 = point(ring + 1, side), p11 = point(ring + 1, side + 1);
            const int32_t bone = 2 + (ring * 12) / rings;
            shape.addTriangle(p00, p10, p11, bone);
            shape.addTriangle(p00, p11, p01, bone);
        }
}

struct Scene {
    CollisionShape hero;
    CollisionShape rock;
    Scene() {
        addLathe(hero, 24, 20, 2.0f, 10.0f, 0.1f);  // ~960 triangles, hero-sized
        addLathe(rock, 40, 50, 25.0f, 30.0f, 0.3f); // ~4000 triangles of scenery
        hero.finish();
        rock.finish();
        rock.setTransform(placementTransform(Vector(0, 0, 0), 30.0f));
    }
};

} // namespace

// Places the hero beside the rock: scanning in from outside along x, the first position
// where the surfaces touch (`touch`), or 0.5 further out (`!touch`).
void placeHero(Scene& scene, bool touch) {
    for (float x = 60.0f; x > 0.0f; x -= 0.05f) {
        Matrix place;
        const float t[3] = {x, 10.0f, 0.0f};
        place.setTranslation(t);
        scene.hero.setTransform(place);
        if (scene.rock.intersects(scene.hero)) {
            if (!touch) {
                const float out[3] = {x + 0.5f, 10.0f, 0.0f};
                place.setTranslation(out);
                scene.hero.setTransform(place);
            }
            return;
        }
    }
}

// A body resting against the scenery: the test finds contact.
static void BM_HeroAgainstSceneryTouching(benchmark::State& state) {
    Scene scene;
    placeHero(scene, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.rock.intersects(scene.hero));
    state.SetLabel(scene.rock.intersects(scene.hero) ? "contact" : "no contact");
}
BENCHMARK(BM_HeroAgainstSceneryTouching);

// A body just clear of the scenery's surface, well inside its bounding sphere.
static void BM_HeroAgainstSceneryNear(benchmark::State& state) {
    Scene scene;
    placeHero(scene, false);
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.rock.intersects(scene.hero));
    state.SetLabel(scene.rock.intersects(scene.hero) ? "contact" : "no contact");
}
BENCHMARK(BM_HeroAgainstSceneryNear);

// A body wholly inside the scenery (no surfaces cross): the most boxes overlap, no contact.
static void BM_HeroInsideScenery(benchmark::State& state) {
    Scene scene;
    Matrix place;
    const float t[3] = {0.0f, 10.0f, 0.0f};
    place.setTranslation(t);
    scene.hero.setTransform(place);
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.rock.intersects(scene.hero));
    state.SetLabel(scene.rock.intersects(scene.hero) ? "contact" : "no contact");
}
BENCHMARK(BM_HeroInsideScenery);

// A projectile's step through a body, in first-hit and nearest mode.
static void BM_ProjectileSegmentAgainstBody(benchmark::State& state) {
    Scene scene;
    scene.hero.setTransform(placementTransform(Vector(100, 0, 100), 45.0f));
    const Vector from(95, 5, 100), step(10, 0, 0);
    const bool nearest = state.range(0) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            scene.hero.intersectsSegment(from, step, nearest, 0.0f, step.length()));
}
BENCHMARK(BM_ProjectileSegmentAgainstBody)->Arg(0)->Arg(1);

// Building a body's tree, which level start does once per pose.
static void BM_BuildHeroTree(benchmark::State& state) {
    for (auto _ : state) {
        CollisionShape hero;
        addLathe(hero, 24, 20, 2.0f, 10.0f, 0.1f);
        hero.finish();
        benchmark::DoNotOptimize(hero.root());
    }
}
BENCHMARK(BM_BuildHeroTree);
