// The frames-per-second readout of -fps: the rate of the frames drawn during the last second,
// in small white text on a dark plate at the bottom left of the window, over everything.
#pragma once

#include "render/render.h"
#include "saver/text_plate.h"

class FpsOverlay : public PRender {
public:
    QmTextPlate plate;
    double windowStart = -1.0;  // clock time at which the current one-second count began
    int frames = 0;
    float rate = -1.0f;  // the rate shown (-1: none measured yet)

    FpsOverlay() = default;
    FpsOverlay(const FpsOverlay&) = delete;
    FpsOverlay& operator=(const FpsOverlay&) = delete;
    ~FpsOverlay() { Destroy(); }

    // Counts the frame, renews the text once a second and draws it (render thread, context
    // current). The first second shows nothing.
    void OnRender(PEnv* env, double t) override;
    void Destroy();
    // The text shown for a rate, into buf.
    static void Format(float rate, char* buf, int size);
};
