// A quick look at the content without the saver: an animation frame rasterised with Cairo as the
// scene roughly shows it after the opening (triangles painted far to near, each coloured from
// the picture bound to its material and shaded by the light from the viewer), with the flock of
// seeds over it. Used to judge poses while writing them.
#pragma once

#include "choreo.h"
#include "paint.h"

struct QMCPreviewPictures {
    const QMCCanvas* photo;   // the desktop
    const QMCCanvas* meadow;  // entry 751
    const QMCCanvas* paper;   // the sheet's back
};

// Paints the sheet and the flock of the clip at progress u over the whole canvas.
void qmcPreviewClip(QMCCanvas* out, const QMCClip& clip, double u, const QMCPreviewPictures& pics);
