// Decoding a compact mesh (corner stream over a vector map) and encoding it: the work a model or
// frame animation does per mesh when it loads, for grids of growing size.
#include <benchmark/benchmark.h>

#include "geometry/data.h"
#include "geometry/mesh.h"

namespace {

// A cols x cols grid of quads with distinct positions, shared normal, per-vertex texture coordinates.
void localGrid(FXMesh* m, int cols) {
    int side = cols + 1;
    m->Realloc(side * side, cols * cols * 6);
    for (int i = 0; i < side; i++)
        for (int j = 0; j < side; j++) {
            tagFXVertex& v = m->vertices[i * side + j];
            v = tagFXVertex{};
            v.pos[0] = float(j) / cols * 2 - 1, v.pos[1] = 1 - float(i) / cols * 2;
            v.normal[2] = -1;
            v.uv[0] = float(j) / cols, v.uv[1] = float(i) / cols;
        }
    int k = 0;
    for (int i = 0; i < cols; i++)
        for (int j = 0; j < cols; j++) {
            int tl = i * side + j, bl = tl + side;
            const int quad[6] = {tl, bl, tl + 1, bl, bl + 1, tl + 1};
            for (int q : quad) m->indices[k++] = q;
        }
}

void BM_FromVMap(benchmark::State& state) {
    int cols = int(state.range(0));
    FXMesh source;
    localGrid(&source, cols);
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
    localGrid(&source, cols);
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
