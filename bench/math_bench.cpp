// Costs of the geometry every frame leans on: skinning transforms and keyframe blends.
#include "models/matrix.h"
#include "models/quaternion.h"
#include "models/vector.h"

#include <benchmark/benchmark.h>

static void BM_JointTransformChain(benchmark::State& state) {
    Matrix joints[30];
    for (int i = 0; i < 30; ++i) {
        const float angles[3] = {0.01f * i, 0.02f * i, 0.03f * i};
        const float move[3] = {0.0f, 1.0f, 0.5f};
        joints[i].setRotationRadians(angles);
        joints[i].setTranslation(move);
    }
    for (auto _ : state) {
        Matrix absolute;
        for (const Matrix& j : joints)
            absolute.postMultiply(j);
        benchmark::DoNotOptimize(absolute);
    }
    state.SetItemsProcessed(state.iterations() * 30);
}
BENCHMARK(BM_JointTransformChain);

static void BM_VertexSkinning2000(benchmark::State& state) {
    Matrix m;
    const float angles[3] = {0.3f, 0.2f, 0.1f};
    m.setRotationRadians(angles);
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < 2000; ++i) {
            Vector v(static_cast<float>(i), 1.0f, 2.0f);
            v.transform(m);
            sum += v.x;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_VertexSkinning2000);

static void BM_KeyframeSlerp(benchmark::State& state) {
    const float a1[3] = {0.1f, 0.2f, 0.3f}, a2[3] = {1.0f, -0.5f, 0.7f};
    Quaternion q1(a1), q2(a2);
    float t = 0.0f;
    for (auto _ : state) {
        Quaternion q(q1, q2, t);
        Matrix m;
        m.setRotationQuaternion(q);
        benchmark::DoNotOptimize(m);
        t = t > 1.0f ? 0.0f : t + 0.01f;
    }
}
BENCHMARK(BM_KeyframeSlerp);

BENCHMARK_MAIN();
