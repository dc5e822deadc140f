// A rectangle of the screen in its pixels (x to the right, y down from the top-left corner): a
// monitor, or the area a window covers.
#pragma once

struct QmRect {
    int x = 0, y = 0, width = 0, height = 0;

    bool operator==(const QmRect& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
    bool operator!=(const QmRect& o) const { return !(*this == o); }
};
