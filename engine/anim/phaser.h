// FXPhaser turns the frame clock into a phase that sweeps from 0 to 1 once per period: once and
// stop, looping, or back and forth (ping-pong), optionally shaped by one easing curve. Owners set
// period, loop, pingPong and the easing flags, call Restart(now) when the motion begins, OnRender
// once per frame and then read phase. FXPhaser1 adds an automatic restart after a rest.
//
// Record (18 bytes, little-endian, package and file alike): phase (float32), period (float64),
// then one byte each for running, reversed, loop, pingPong, smooth, halfSmooth (true only when 1).
#pragma once

#include <cstdio>

class PEnv;
class FXPackage;
class FXPackageData;

class FXPhaser {
public:
    enum { kRecordSize = 18 };

    float phase = 0.0f;
    bool running = true;
    bool reversed = false;
    bool loop = true;
    bool pingPong = false;
    bool wrapped = false;  // set whenever a period completes; cleared by Restart
    double periodStart = 0.0;
    double period = 1.0;
    bool smooth = false;      // easing: smoothstep
    bool halfSmooth = false;  // easing: mean of linear and smoothstep
    bool cubicStart = false;  // easing p^3 for the first period, which then becomes nextPeriod
    bool snapStart = false;   // easing: steep start joining the identity near 0.3677
    double nextPeriod = 0.0;

    // Advances to time (seconds) and updates phase. env is not used. A period of zero or below
    // keeps a running phaser at phase 0.
    virtual void OnRender(PEnv* env, double time);

    void Restart(double time);
    // 1 up to from, a linear fade to 0 across (from, to), 0 from to on.
    float GetOnOff(float from, float to) const;

    // The record from a package cursor; false (nothing changed) when fewer than 18 bytes remain.
    bool LoadC(FXPackage* p, FXPackageData* d);
    // False (nothing changed) on a short read.
    bool Load(FILE* f);
    bool Save(FILE* f) const;
};

class FXPhaser1 : public FXPhaser {
public:
    bool autoRestart = false;
    double restartInterval = 0.0;  // from the start of the last period to the automatic restart

    void OnRender(PEnv* env, double time) override;
    // Restarts and loops again.
    void Restart(double time);
};
