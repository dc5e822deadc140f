// Fuzzes the timing graph reader: arbitrary bytes are read as a graph record from a package entry
// and from a file. A graph that loads is sampled into tables (straight and smooth, with a column
// count and scale taken from the input's last bytes), read back at every frame, edited by key
// inserts, moves and deletes, and written and read again: the same keys must return. The
// sanitizers catch any read outside the record and undefined arithmetic on damaged values.
#include <cstdlib>

#include "anim/beziergraph.h"
#include "fuzz_input.h"

namespace {

volatile float localSink;

void localExercise(FXBezierGraph* g, const uint8_t* data, size_t size) {
    int count = size >= 2 ? 1 + (data[size - 1] | (data[size - 2] & 0x0f) << 8) : 64;
    int scale = size >= 3 ? int(data[size - 3]) * 97 - 1000 : 1000;
    for (int smooth = 0; smooth < 2; smooth++) {
        smooth ? g->ComputeSplineBezier(count, scale) : g->ComputeSplineLinear(count, scale);
        if (g->GetSplineResX() != count) abort();
        for (int f = -1; f <= g->resX && f < 4096; f++) localSink = g->GetFromSpline1(f);
        for (int c = -1; c <= count; c++) localSink = float(g->GetFromSpline(c));
    }
    for (size_t i = 0; i + 1 < size && i < 16; i += 2) {
        int x = int(int8_t(data[i])) * 3, y = int(int8_t(data[i + 1])) * 3;
        switch (data[i] % 4) {
            case 0: g->InsertFramePos(x); break;
            case 1: g->MoveFramePos(x, y); break;
            case 2: g->DeleteFrame(g->FindNearest(x)); break;
            default: g->SetSplineLn(x, y, y, x); break;
        }
        if (g->keyX.top != g->keyY.top) abort();
    }
}

void localRoundTrip(const FXBezierGraph& g) {
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    if (!f) return;
    bool saved = g.Save(f);
    fclose(f);
    if (FILE* r = saved ? fmemopen(buf, len, "rb") : nullptr) {
        FXBezierGraph back;
        if (!back.Load(r) || back.GetKeyCount() != g.GetKeyCount()) abort();
        fclose(r);
    }
    free(buf);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FXPackage pkg;
    qmFuzzPackage(&pkg, data, size);
    {
        FXBezierGraph g;
        if (g.LoadC(&pkg, pkg.GetDataPtr(0))) {
            localRoundTrip(g);
            localExercise(&g, data, size);
        } else if (g.GetKeyCount() != 0) {
            abort();  // a refused record leaves the graph empty
        }
    }
    if (FILE* f = qmFuzzStream(data, size)) {
        FXBezierGraph g;
        if (g.Load(f)) localExercise(&g, data, size);
        fclose(f);
    }
    return 0;
}
