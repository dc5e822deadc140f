// A minimal PNG writer for test pictures (8-bit RGBA, stored deflate blocks: no compression
// library needed), so a person can look at what a rendering test saw.
#pragma once

#include <string>

// rgba: h rows of w pixels, 4 bytes each, rows stride bytes apart. bottomUp: row 0 is the bottom
// of the picture (as glReadPixels delivers it). False when the file cannot be written.
bool qmWritePngRGBA(const std::string& path, int w, int h, const unsigned char* rgba, int stride,
                    bool bottomUp);
