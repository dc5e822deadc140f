// Where a scene's desktop photograph comes from: the host that shows the scene's window (the
// screen under the window, or a launcher's own photograph of it), asked before the window is
// shown.
#pragma once

class FXScrShot;

class PDesktopSource {
public:
    // Takes the picture of the desktop that window will cover; false when there is none (shot is
    // then left empty and the scene runs without a photograph).
    virtual bool TakePhotograph(FXScrShot* shot, void* window) = 0;

protected:
    ~PDesktopSource() = default;
};
