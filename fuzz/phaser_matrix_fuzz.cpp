// Fuzzes the phaser and matrix records: arbitrary bytes are read as a phaser record and as a
// matrix record, from a package entry and from a file. A phaser that loaded is run over clock
// times taken from the rest of the input and must keep its phase within 0..1; a loaded matrix
// multiplies without undefined behaviour. The sanitizers catch any read
// outside the record.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "anim/phaser.h"
#include "base/binio.h"
#include "fuzz_input.h"
#include "math/3dmath.h"

namespace {

volatile float localSink;

void localRun(FXPhaser* p, const uint8_t* data, size_t size) {
    double t = 0.0;
    p->Restart(t);
    for (size_t i = FXPhaser::kRecordSize; i + 4 <= size && i < 400; i += 4) {
        float step = fxGetF32(data + i);
        if (std::isfinite(step)) t += std::fabs(double(step));
        p->OnRender(nullptr, t);
        if (!(p->phase >= 0.0f && p->phase <= 1.0f)) abort();
        localSink = p->GetOnOff(0.25f, 0.75f);
    }
}

void localMatrix(FXMatrix* m) {
    FXMatrix n, o;
    n.Multiply(m, m);
    o.Multiply(&n, m);
    localSink = o.m[0] + float(o.Compare(m));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FXPackage pkg;
    qmFuzzPackage(&pkg, data, size);
    FXPhaser p;
    if (p.LoadC(&pkg, pkg.GetDataPtr(0))) localRun(&p, data, size);
    FXMatrix m;
    m.LoadC(&pkg, pkg.GetDataPtr(0));
    localMatrix(&m);

    if (FILE* f = qmFuzzStream(data, size)) {
        FXPhaser1 q;
        q.autoRestart = size > 0 && data[0] & 1;
        q.restartInterval = 0.5;
        if (q.Load(f)) localRun(&q, data, size);
        rewind(f);
        FXMatrix fm;
        fm.SetIdentity();
        fm.Load(f);
        localMatrix(&fm);
        fclose(f);
    }
    return 0;
}
