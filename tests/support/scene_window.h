// Building the saver's scene in a test: on a window of the test display, without its render loop,
// on the controllable clock, the desktop photograph taken from a picture file in the data folder.
// Header only: it needs the saver's library, which only the saver's test programs link.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/other.h"
#include "base/trace.h"
#include "saver/host.h"
#include "saver/launch.h"
#include "saver/main.h"
#include "saver/scene.h"
#include "saver/scrnsave.h"
#include "support/test_support.h"

struct QmSceneWindow {
    void* window = nullptr;

    // data holds qmsave.dat and desktop.png; frames go to sink. A fatal assertion leaves window
    // null.
    void Open(const std::string& data, bool previewMode, unsigned seed, int w, int h, PFrameSink* sink) {
        qmResetHost();
        qmLaunch = QmLaunch();
        qmLaunch.mode = kModeRecord;  // the photograph comes from the picture file
        qmLaunch.desktopFile = data + "/desktop.png";
        snprintf(ruvaPath, sizeof ruvaPath, "%s", data.c_str());
        fxUseManualClock(50.0);
        fxSrand(seed);
        ASSERT_TRUE(hostOpen());
        window = hostCreateWindow(kStyleRecord, nullptr, w, h);
        ASSERT_NE(window, nullptr);
        hostShowWindow(window);
        InitSceneSteps(window, previewMode, false);
        gr.frameSink = sink;
    }
    void Close() {
        if (window) {
            gr.frameSink = nullptr;
            DestroyScene();
            hostDestroyWindow(window);
            window = nullptr;
        }
        fxCloseTraces();
        fxUseSystemClock();
    }
};
