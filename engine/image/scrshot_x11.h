// The pixel conversion of the X11 screen capture, open to tests: an XImage in ZPixmap format
// into an engine pixel block.
#pragma once

#include <X11/Xlib.h>

class FXPixmap;

// Copies img (w x h = the image's size) to dst at column dx, row dy (top row first; dst must be
// large enough) as R, G, B, 255. 32-bit little-endian images with 8-bit masks are copied byte
// by byte (bytes 2, 1, 0); other TrueColor layouts go through the image's colour masks. False,
// with nothing written, for a layout without usable masks or rows shorter than the width.
bool fxCopyXImage(XImage* img, FXPixmap* dst, int dx, int dy);
