// The sprite movies: a small flock of dandelion seeds and motes of light that drift on the air the
// sheet stirs. At each of the sheet's poses the flock rests in one arrangement; each clip's movie
// carries it from the arrangement of the clip's first pose to that of its last, so the first and
// last frames of movies that meet at a pose are the same picture and a clip change never jumps.
// Drifting seeds look as natural played backwards as forwards.
//
// Frames are drawn mirrored left to right, because the scene mirrors the movie pass.
#pragma once

#include "choreo.h"
#include "paint.h"

constexpr int kQmcMovieWidth = 1280;
constexpr int kQmcMovieHeight = 720;

// Draws movie frame `frame` of the clip onto a cleared canvas of the movie's size.
void qmcPaintMovieFrame(QMCCanvas* canvas, const QMCClip& clip, int frame);
// The same for a flock arrangement at progress u of the clip (0 and 1: the poses' arrangements).
void qmcPaintFlock(cairo_t* cr, int width, int height, const QMCClip& clip, double u, bool mirrored);
