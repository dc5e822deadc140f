// The frame animation's hot loop: one interpolation update (UpdateIPos: a position and a normal
// evaluated per vertex) on a synthetic animation of 100 000 vertices in eight key frames, reported
// per vertex; and the cost of choosing a new key pair, also per vertex.
#include <benchmark/benchmark.h>

#include "anim/anim.h"
#include "base/other.h"
#include "bench_content.h"
#include "geometry/mesh.h"
#include "geometry/model.h"

namespace {

const int kVertices = 100000;
const int kFrames = 8;

void localBuild(FXAnim* a, bool linear) { qmBenchAnimation(a, kVertices, kFrames, linear); }

void BM_AnimUpdateIPos(benchmark::State& state) {
    FXAnim a;
    localBuild(&a, state.range(0) != 0);
    a.SetActFrames(2, 3);
    double t = 0.0;
    for (auto _ : state) {
        a.UpdateIPos(t);
        benchmark::DoNotOptimize(a.imodel.EnumMeshes(9)->vertices[9999].pos[0]);
        t = t < 0.19 ? t + 0.001 : 0.0;
    }
    state.counters["per_vertex"] =
        benchmark::Counter(kVertices, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AnimUpdateIPos)->ArgName("linear")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_AnimSetActFrames(benchmark::State& state) {
    FXAnim a;
    localBuild(&a, false);
    int k = 0;
    for (auto _ : state) {
        a.SetActFrames(k, (k + 1) % kFrames);
        k = (k + 1) % kFrames;
    }
    state.counters["per_vertex"] =
        benchmark::Counter(kVertices, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AnimSetActFrames)->Unit(benchmark::kMicrosecond);

}  // namespace
