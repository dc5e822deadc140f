// Plain text on a half-transparent dark plate, drawn over everything: the -fps readout and the
// notice that says why the saver has nothing to show. The plate's picture is made once per text
// (into buffers that are reused) and drawn as one textured quad each frame.
#pragma once

#include <string>
#include <vector>

#include "elements/desk.h"
#include "elements/scrpos01.h"
#include "image/canvas.h"
#include "image/material.h"
#include "render/render.h"

class QmTextPlate {
public:
    QmTextPlate() = default;
    QmTextPlate(const QmTextPlate&) = delete;
    QmTextPlate& operator=(const QmTextPlate&) = delete;
    ~QmTextPlate() { Destroy(); }

    // Renders the lines (white, glyphs pixelHeight high) onto a new plate and uploads it; the
    // context must be current. False (and nothing drawn) when the text cannot be rendered.
    bool Make(PEnv* env, const std::vector<std::string>& lines, int pixelHeight);
    bool Ready() const { return ready_; }
    int Width() const { return canvas_.GetWidth(); }
    int Height() const { return canvas_.GetHeight(); }
    // Draws the plate w x h pixels large with its top-left corner at (x, y) of the window.
    void Draw(PEnv* env, double t, float x, float y, float w, float h);
    void Destroy();

private:
    FXDesk desk_;  // 1 x 1, placed by pos_
    FXMaterial material_;
    FXCanvas canvas_;
    FXCanvas ink_;  // one line of text, reused line by line
    FXScrPos01 pos_;
    bool ready_ = false;
};

// Breaks text into lines of at most width characters, at spaces or after a '/' where it can and
// inside a word only when a word alone is longer than a line. Spaces at a break are dropped.
std::vector<std::string> qmWrapText(const std::string& text, size_t width);
