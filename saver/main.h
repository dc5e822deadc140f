// The saver's procedures: the window procedure that builds a scene when a saver window is created
// and takes it down when the window goes (one scene per window: one per monitor in full screen),
// the ending rules for keys and close requests, the (absent) settings dialog. The program entry
// resolves the scenes' options once and hands them over; tests read the state and draw the
// scenes' frames themselves.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "saver/scene.h"
#include "saver/scrnsave.h"

// The saver's own state, kept between its procedures.
struct QmSaverState {
    unsigned char escapeHit = 0;  // a key message arrived
    unsigned char started = 0;    // a scene is built
    double startTime = 0.0;       // fxGetTime() right after the last scene was built, seconds
};

class QmSaver final : public PSaverProcs {
public:
    // options: what every scene of the run is built from; the preview flag and the desktop
    // source come from the host when each scene is built.
    explicit QmSaver(const QmSceneOptions& options);
    ~QmSaver();

    intptr_t ScreenSaverProc(QmScreenSaver& host, void* hwnd, unsigned msg, uintptr_t wParam,
                             intptr_t lParam) override;
    int ScreenSaverConfigureDialog(void* dialog, unsigned msg, uintptr_t wParam, intptr_t lParam) override;
    int RegisterDialogClasses(void* instance) override;

    const QmSaverState& State() const { return state_; }
    // The scene of window hwnd (the first window's when hwnd is null); null when there is none.
    QmScene* Scene(void* hwnd = nullptr) const;
    size_t SceneCount() const { return scenes_.size(); }

private:
    const QmSceneOptions options_;
    QmSaverState state_;
    QmContent content_;  // shared by every scene; outlives them
    std::vector<std::pair<void*, std::unique_ptr<QmScene>>> scenes_;

    bool BuildScene(QmScreenSaver& host, void* hwnd);
    void DestroyScene(void* hwnd);
};

// Where the configuration lives and what it holds, for people (the configuration switch on a
// platform without a settings dialog).
void ScreenSaverDescribeConfig();
// Adds the saver to the system's screen-saver settings and says what happened; the exit status.
// Needs no window and no display.
int ScreenSaverRegister();
