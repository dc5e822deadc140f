// What a scene asks of the host that shows its window: the desktop photograph (the screen under
// the window, or a launcher's own photograph of it), asked before the window is shown, and the
// window as the device draws into it where the host's handle alone does not say (a Wayland
// surface).
#pragma once

#include "device/native_window.h"

class FXScrShot;

class PDesktopSource {
public:
    // Takes the picture of the desktop that window will cover; false when there is none (shot is
    // then left empty and the scene runs without a photograph).
    virtual bool TakePhotograph(FXScrShot* shot, void* window) = 0;
    // The window the device draws into, typed; unset (the default) when the platform's own handle
    // is enough (X11, Windows: the device makes its context on the handle itself).
    virtual FXNativeWindow DrawingWindow(void* window) {
        (void)window;
        return FXNativeWindow();
    }

protected:
    ~PDesktopSource() = default;
};
