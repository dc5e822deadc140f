// The saver's own state, kept between its procedures (main.cpp): the scene of the live window and
// what the ending rules need. The program entry chooses the scene's options before the host runs;
// tests read the state and draw the scene's frames themselves.
#pragma once

#include "saver/scene.h"

struct QmSaverState {
    unsigned char escapeHit = 0;        // a key message arrived
    unsigned char started = 0;          // the scene is built
    double startTime = 0.0;             // fxGetTime() right after the scene was built, seconds
};

// The options of the scenes built from now on (window thread). The data folder comes from the
// configuration and the preview flag from the host when each scene is built; whatever these
// options hold for them is replaced.
void qmSetSceneOptions(const QmSceneOptions& options);
const QmSaverState& qmSaverState();
// The scene of the live saver window; null when there is none.
QmScene* qmCurrentScene();
