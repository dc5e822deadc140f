// The photograph of one Wayland output, taken through the compositor's screencopy into shared
// memory, and the pixel conversion behind it (open to tests). The picture comes out as the X11
// capture gives it: the output as the user sees it (its transform applied), top row first, 4
// bytes per pixel R, G, B, 255, one picture pixel per output pixel (at a scale above 1 the
// picture is larger than the surface drawn over it; the scene maps it onto the whole surface).
#pragma once

#include <cstddef>
#include <cstdint>

class FXScrShot;
class FXPixmap;
class FXWaylandDisplay;
struct FXWaylandOutput;

// Photographs output into shot's picture, before the saver's surfaces are shown. False when the
// compositor has no screencopy (one trace line per connection says so), refuses, offers no format
// read here, or the connection breaks; the picture is then left as it was.
bool fxScrShotWaylandOutput(FXScrShot* shot, FXWaylandDisplay* wl, const FXWaylandOutput& output);

// Byte offsets of red, green and blue within a 32-bit pixel of a wl_shm format (ARGB8888,
// XRGB8888 and their byte orders ABGR, XBGR, BGRA, BGRX, RGBA, RGBX); false for other formats.
bool fxShmFormatOffsets(uint32_t format, int* r, int* g, int* b);
// Converts a w x h buffer of size bytes (rows of stride bytes; the bottom row first when
// yInvert) in format into dst, reallocated to the size as shown, with the output transform
// (wl_output_transform 0..7) applied. False, with dst untouched, when the format is not read here
// or the rows do not fit in size.
bool fxCopyShmPixels(const unsigned char* src, size_t size, uint32_t format, int w, int h, int stride,
                     bool yInvert, int transform, FXPixmap* dst);
