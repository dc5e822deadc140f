// Contact sheets of recordings: small copies of frames in a grid, each labelled with its time,
// and the frames of several monitors put together in their places on the screen.
#pragma once

#include <string>
#include <vector>

#include "image/canvas.h"
#include "saver/rect.h"

// A box-filtered copy of src, width pixels across (at least 1), into dst.
void qmShrinkPicture(const FXCanvas& src, int width, FXCanvas* dst);
// Copies src onto dst with its top-left corner at (x, y), clipped to dst; with blend, src's alpha
// mixes it over what is there.
void qmPastePicture(const FXCanvas& src, FXCanvas* dst, int x, int y, bool blend);

struct QmSheetCell {
    const FXCanvas* picture = nullptr;  // null: an empty cell
    std::string label;
};
// Writes the cells in rows of at most columns, each picture with its label below, on a dark
// ground (the image library bound). False when there is nothing to show or it cannot be written.
bool qmWriteContactSheet(const std::vector<QmSheetCell>& cells, int columns, const std::string& path);

// The frames of several monitors at one moment, each shrunk by the same factor and put where its
// monitor lies in the layout (the area no monitor covers stays dark), width pixels across.
bool qmComposeLayout(const std::vector<const FXCanvas*>& frames, const std::vector<QmRect>& monitors, int width,
                     FXCanvas* out);
