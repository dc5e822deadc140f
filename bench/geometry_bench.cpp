// Decoding a compact mesh (corner stream over a vector map) and encoding it: the work a model or
// frame animation does per mesh when it loads, for grids of growing size.
#include <benchmark/benchmark.h>

#include "geometry/data.h"
#include "bench_content.h"
#include "geometry/mesh.h"

namespace {


void BM_FromVMap(benchmark::State& state) {
    int cols = int(state.range(0));
    FXMesh source;
    qmBenchGrid(&source, cols);
    FXVectorMap map;
    FXNumPool pool(800000);
    source.ToVMap(&map, &pool, nullptr, 0, nullptr);
    FXMesh decoded;
    decoded.CopyMeshI(&source);
    for (auto _ : state) {
        decoded.vertexCount = source.vertexCount;
        decoded.indexCount = source.indexCount;
        benchmark::DoNotOptimize(decoded.FromVMap(&map, &pool));
    }
    state.SetItemsProcessed(state.iterations() * source.indexCount);
    state.counters["corners"] = source.indexCount;
}
BENCHMARK(BM_FromVMap)->Arg(8)->Arg(32)->Arg(96);

void BM_ToVMap(benchmark::State& state) {
    int cols = int(state.range(0));
    FXMesh source;
    qmBenchGrid(&source, cols);
    for (auto _ : state) {
        FXVectorMap map;
        FXNumPool pool(800000);
        source.ToVMap(&map, &pool, nullptr, 0, nullptr);
        benchmark::DoNotOptimize(pool.size);
    }
    state.SetItemsProcessed(state.iterations() * source.indexCount);
}
BENCHMARK(BM_ToVMap)->Arg(8)->Arg(32);

}  // namespace
