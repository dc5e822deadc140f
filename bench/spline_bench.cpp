// Spline evaluation as a frame animation does it: one segment chosen per key-frame change, then
// thousands of splines evaluated at the same parameter through a shared table of powers.
#include <benchmark/benchmark.h>

#include <memory>

#include "anim/bezier.h"
#include "anim/bezierspline.h"
#include "base/other.h"

namespace {

void BM_SplineGetH(benchmark::State& state) {
    int count = int(state.range(0));
    std::unique_ptr<FXBezierSpline[]> splines(new FXBezierSpline[size_t(count)]);
    fxSrand(7);
    for (int i = 0; i < count; i++) {
        FXBezierSpline& s = splines[i];
        for (int k = 0; k < 6; k++)
            for (int c = 0; c < 3; c++) s.keys.Push(float(fxGetRandom()) * 2 - 1);
        s.Precompute();
        s.SetActPoints(2, 3);
    }
    FXBezierPhaseH h;
    float out[3];
    float t = 0;
    for (auto _ : state) {
        h.Prepare(t);
        for (int i = 0; i < count; i++) {
            splines[i].GetH(out, &h);
            benchmark::DoNotOptimize(out);
        }
        t = t < 1 ? t + 0.01f : 0;
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SplineGetH)->Arg(1000)->Arg(20000);

void BM_SplineGetAll(benchmark::State& state) {
    FXBezierSpline path;
    path.closed = true;
    fxSrand(11);
    for (int k = 0; k < 20; k++) {
        path.keys.Push(float(fxGetRandom()) * 1.4f - 0.7f);
        path.keys.Push(float(fxGetRandom()) * 1.4f - 0.7f);
        path.keys.Push(0);
    }
    path.Precompute();
    path.PrecomputePhasesLenght();
    float out[3];
    float phase = 0;
    for (auto _ : state) {
        path.GetAll(out, phase);
        benchmark::DoNotOptimize(out);
        phase += 0.0005f;
        if (phase > 1) phase = 0;
    }
}
BENCHMARK(BM_SplineGetAll);

}  // namespace
