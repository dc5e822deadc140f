// The frame sink that keeps a copy of the picture about to be shown, read from the back buffer
// just before the swap: what record mode writes and what the scene's tests look at.
#pragma once

#include <vector>

#include "saver/scene.h"

class QmBackBuffer : public PFrameSink {
public:
    int width = 0;  // of the last frame read
    int height = 0;
    std::vector<unsigned char> px;  // its pixels, 4 bytes each, bottom row first (as read)
    int shown = 0;                  // frames read so far

    // Reads the back buffer of env's size (render thread, context current).
    void OnFrameShown(PEnv* env) override;
    // The red, green, blue and alpha bytes of pixel (x, y), y = 0 at the top.
    const unsigned char* At(int x, int y) const {
        return &px[(size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4];
    }
    // r << 16 | g << 8 | b of pixel (x, y).
    unsigned Rgb(int x, int y) const {
        const unsigned char* p = At(x, y);
        return unsigned(p[0]) << 16 | unsigned(p[1]) << 8 | p[2];
    }
};
