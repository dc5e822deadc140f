// FXScrShot photographs the screen into a picture, so the scene can show the user's desktop as a
// texture. The picture's pixel block holds the screen top row first, 4 bytes per pixel R, G, B,
// A with alpha 255; whatever the block holds beyond the photographed area is opaque black.
// Taken on the window thread before the saver's window is shown.
#pragma once

#include "image/canvas.h"

class FXScrShot {
public:
    FXCanvas picture;
    int count = 0;  // successful captures

    FXScrShot() = default;
    FXScrShot(const FXScrShot&) = delete;
    FXScrShot& operator=(const FXScrShot&) = delete;
    ~FXScrShot();

    // The whole primary screen. False (with a trace line where a step fails) leaves the picture
    // as it was.
    bool Update();
    // The area of w x h pixels at (x, y) of the primary screen (the area a window will cover).
    // Parts of the area outside the screen come out opaque black.
    bool UpdateArea(int x, int y, int w, int h);
    // The area of w x h pixels at (x, y) of another picture of the screen that the platform
    // handed over (X11: a Pixmap id, such as a launcher's photograph of the desktop). Parts
    // outside that picture come out opaque black. False when it cannot be read.
    bool UpdateDrawable(void* drawable, int x, int y, int w, int h);
};
