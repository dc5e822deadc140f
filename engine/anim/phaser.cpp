// The phaser's step: period ends (one per call, with a resynchronisation when the clock has run
// more than two periods ahead), the phase with its easing and reversal, and the record.
#include "anim/phaser.h"

#include <cstdint>

#include "base/binio.h"
#include "base/package.h"

namespace {

// x to the twelfth power by repeated single-precision products.
float localPow12(float x) {
    float r = x;
    for (int i = 1; i < 12; i++) r *= x;
    return r;
}

float localSmoothstep(float p) { return 2.0f * p * (1.0f - p) * p + p * p; }

}  // namespace

void FXPhaser::Restart(double time) {
    periodStart = time;
    phase = 0.0f;
    running = true;
    wrapped = false;
    reversed = false;
}

void FXPhaser::OnRender(PEnv*, double time) {
    if (running && !(period > 0.0)) {
        // No usable period: stand still at the start instead of dividing by it.
        phase = 0.0f;
        return;
    }
    if (running && time - periodStart >= period) {
        if (cubicStart) {
            cubicStart = false;
            period = nextPeriod;
        }
        if (!reversed) {
            if (!loop) {
                running = false;
                phase = 1.0f;
            } else if (pingPong) {
                reversed = true;
            }
        } else {
            if (!loop) {
                running = false;
                phase = 0.0f;
            } else if (pingPong) {
                reversed = false;
            }
        }
        wrapped = true;
        float e = float(time - periodStart);
        if (e > 2.0 * period)
            periodStart = time;
        else
            periodStart += period;
    }
    if (!running) return;
    if (!(period > 0.0)) {
        // cubicStart handed over an unusable period.
        phase = 0.0f;
        return;
    }

    float p = float((time - periodStart) / period);
    if (p < 0.0f) p = 0.0f;
    if (p > 1.0f) p = 1.0f;

    if (smooth) {
        p = localSmoothstep(p);
    } else if (halfSmooth) {
        p = (p + localSmoothstep(p)) * 0.5f;
    } else if (cubicStart) {
        p = p * p * p;
    } else if (snapStart) {
        const float k = localPow12(0.92f);
        if (p < k) p = k - localPow12(0.92f - p);
    }
    if (reversed) p = 1.0f - p;
    phase = p;
}

float FXPhaser::GetOnOff(float from, float to) const {
    if (phase <= from) return 1.0f;
    if (phase >= to) return 0.0f;
    return (to - phase) / (to - from);
}

bool FXPhaser::LoadC(FXPackage*, FXPackageData* d) {
    if (!d || d->remaining < kRecordSize) return false;
    phase = d->ReadFloat();
    period = d->ReadDouble();
    running = d->ReadBool();
    reversed = d->ReadBool();
    loop = d->ReadBool();
    pingPong = d->ReadBool();
    smooth = d->ReadBool();
    halfSmooth = d->ReadBool();
    return true;
}

bool FXPhaser::Load(FILE* f) {
    uint8_t b[kRecordSize];
    if (!f || fread(b, 1, kRecordSize, f) != size_t(kRecordSize)) return false;
    phase = fxGetF32(b);
    period = fxGetF64(b + 4);
    running = b[12] == 1;
    reversed = b[13] == 1;
    loop = b[14] == 1;
    pingPong = b[15] == 1;
    smooth = b[16] == 1;
    halfSmooth = b[17] == 1;
    return true;
}

bool FXPhaser::Save(FILE* f) const {
    uint8_t b[kRecordSize];
    fxPutF32(b, phase);
    fxPutF64(b + 4, period);
    b[12] = running ? 1 : 0;
    b[13] = reversed ? 1 : 0;
    b[14] = loop ? 1 : 0;
    b[15] = pingPong ? 1 : 0;
    b[16] = smooth ? 1 : 0;
    b[17] = halfSmooth ? 1 : 0;
    return f && fwrite(b, 1, kRecordSize, f) == size_t(kRecordSize);
}

void FXPhaser1::Restart(double time) {
    FXPhaser::Restart(time);
    loop = true;
}

void FXPhaser1::OnRender(PEnv* env, double time) {
    if (autoRestart) {
        if (running && reversed) {
            // The backward sweep in progress is the last one: stop at phase 0.
            loop = false;
        } else if (!running && time - periodStart >= restartInterval) {
            Restart(time);
        }
    }
    FXPhaser::OnRender(env, time);
}
