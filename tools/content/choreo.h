// The choreography of the demo content: the sheet's four meeting poses and the motion of each
// animation between them, with the key frames the package stores and the movie frames that
// reach them.
//
// The scene plays: the opening from the flat desktop to pose P; clip 0 from P to S (and back);
// clip 2 from P to Q (and back); clip 1 from R to Q (backwards first, from Q to R, then
// forwards). Every clip starts and ends at rest, so any clip may follow any other at a pose.
#pragma once

#include <vector>

#include "sheet.h"

enum QMCPoseId { kQmcPoseP, kQmcPoseQ, kQmcPoseR, kQmcPoseS, kQmcPoseFlat };

// The canonical poses: every clip that starts or ends at a pose uses exactly these values.
QMCSheetPose qmcPose(QMCPoseId id);

struct QMCClip {
    const char* name;   // folder name of its sources
    int animEntry;      // package entry of the animation
    int movieEntry;     // package entry of its movie (-1: the opening has none of its own)
    QMCPoseId from, to;
    bool linear;        // interpolated on straight lines between keys
    int movieFrames;    // frames of its movie (the opening: 0)
    int keyCount;       // key poses, each reached at a movie frame
    // The animation repeats its last key pose once more, beyond the keys the movie names. A movie
    // played backwards starts on its last frame with the key pair (last, last) at phase 1, which
    // a closed spline reads as the segment from the last key to the next one: with the repeated
    // pose that segment stays on the clip's end pose (without it, it would be the closing segment
    // back to the first key, and the clip would start with a flash of its far end). Straight-line
    // clips stay on the last key anyway.
    bool holdsLastKey;
    int openingMs;      // the opening's duration (it runs on its own clock)
    QMCSheetPose (*motion)(double u);  // the pose inside the clip, 0 < u < 1

    // The movie frame at which key k is reached (first 0, last movieFrames - 1).
    int KeyFrame(int k) const;
    // The clip's progress at key k: 0 at the first key, 1 at the last.
    double KeyProgress(int k) const;
    // The sheet's pose at progress u (exactly the canonical poses at 0 and 1).
    QMCSheetPose PoseAt(double u) const;
};

// The opening (entry 91) and the three clips, index = the scene's clip number + 1.
const std::vector<QMCClip>& qmcClips();
const QMCClip& qmcOpening();
const QMCClip& qmcClip(int k);  // k = 0, 1, 2

constexpr double kQmcMovieFrameSeconds = 0.04;
