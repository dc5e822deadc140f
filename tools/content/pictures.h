// The package's pictures, each painted by one function onto a Cairo context of the given size.
#pragma once

#include "paint.h"

// The meadow behind the sheet (entry 751), any size; the seed picks the grass and flowers.
void qmcPaintMeadow(cairo_t* cr, int width, int height, uint64_t seed);
// The still picture of the preview pane (entry 1).
void qmcPaintPreview(cairo_t* cr, int width, int height);
// The notice shown when the graphics device lacks multitexturing (entry 0).
void qmcPaintErrorNotice(cairo_t* cr, int width, int height);
// The name under the logo medallion (entry 5), white on transparent.
void qmcPaintLabel(cairo_t* cr, int width, int height);
// The paper of the sheet's back.
void qmcPaintPaper(cairo_t* cr, int width, int height);
// The demo cube's inner skin, a sphere map of sky and meadow (entry 749), square.
void qmcPaintCubeInner(cairo_t* cr, int size);
// The demo cube's outer skin, a leafy frame around a clear window (entry 750), square.
void qmcPaintCubeOuter(cairo_t* cr, int size);
// The medallion's texture: front face in the left half, back face in the right half.
void qmcPaintMedallion(cairo_t* cr, int width, int height);
// A made-up desktop to stand in for the photograph when judging the content.
void qmcPaintSampleDesktop(cairo_t* cr, int width, int height);
