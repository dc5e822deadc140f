// Building the saver's scene in a test: on a window of the test display, without its render loop,
// on the controllable clock, the desktop photograph taken from a picture file in the data folder.
// Header only: it needs the saver's library, which only the saver's test programs link.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/other.h"
#include "base/trace.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "saver/host.h"
#include "saver/back_buffer.h"
#include "saver/scene.h"
#include "support/test_support.h"

struct QmSceneWindow {
    void* window = nullptr;
    std::unique_ptr<PHost> host;
    std::unique_ptr<QmScene> scene;
    bool wholeFrames = false;  // the scene option of the next Open

    // data holds qmsave.dat and desktop.png; frames go to sink; content: shared with other
    // scenes (null: the scene's own). A fatal assertion leaves window null.
    void Open(const std::string& data, bool previewMode, unsigned seed, int w, int h, PFrameSink* sink,
              QmContent* content = nullptr) {
        fxUseManualClock(50.0);
        fxSrand(seed);
        host = qmCreateHost();
        ASSERT_TRUE(host->Open());
        QmRect area;
        area.width = w, area.height = h;
        window = host->MakeWindow(kStyleRecord, nullptr, area);
        ASSERT_NE(window, nullptr);
        host->ShowWindow(window);
        QmSceneOptions o;
        o.dataDir = data;
        o.preview = previewMode;
        o.desktopFile = data + "/desktop.png";
        o.frameSink = sink;
        o.content = content;
        o.wholeFrames = wholeFrames;
        scene.reset(new QmScene(o));
        scene->Init(window, false);
    }
    void Close() {
        scene.reset();
        if (window) {
            host->DestroyWindow(window);
            window = nullptr;
        }
        host.reset();
        fxUnloadDevil();
        fxCloseTraces();
        fxUseSystemClock();
    }
    QmScene* operator->() const { return scene.get(); }
    // One frame at clock time t, drawn by env (the scene's device when null) with the context current.
    void Frame(double t, PEnv* env = nullptr) {
        fxSetManualClock(t);
        scene->gr.SetAct(true);
        scene->OnRender(env ? env : &scene->gr, t);
        scene->gr.SetAct(false);
    }
};

// The desktop the scene's tests photograph: red on the left half, blue on the right (the content
// shows it mirrored). Written as data/desktop.png through the bound image library.
inline bool qmWriteHalvesDesktop(const std::string& data, int w, int h) {
    FXCanvas desk;
    desk.pixmap.Realloc(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char* p = desk.pixmap.PixelBytes(x, y);
            p[0] = x < w / 2 ? 255 : 0, p[1] = 0, p[2] = x < w / 2 ? 0 : 255, p[3] = 255;
        }
    return desk.SaveToPict((data + "/desktop.png").c_str());
}
