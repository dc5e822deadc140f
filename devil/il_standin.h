// The project's stand-in for the DevIL image library and its ILU companion, over stb_image and
// stb_image_write. It exports, under DevIL's names and calling convention, the entry points the
// engine binds, so the engine finds it exactly where it would find the real library (DevIL.dll and
// ILU.dll on Windows, libIL.so.1 and libILU.so.1 elsewhere) and the real one can take its place.
// DevIL's types and constants come from image/devil_api.h, as they do for the engine's binding.
//
// What it does as the real library does: decoding PNG, JPEG, BMP, TGA and GIF (first frame) from
// files and memory, by the file type codes of the package; rows kept in the file's order (top row
// first for PNG, JPEG and GIF; BMP and TGA stored bottom-up stay so); images made with ilTexImage
// have their row 0 at the bottom of a saved file; saving PNG, JPEG, BMP and TGA, never over an
// existing file unless overwriting is enabled. Only 8-bit channels exist here.
#pragma once

#include <cstdint>
#include <vector>

#include "image/devil_api.h"

#if defined(_WIN32)
#define QMIL_API extern "C" __declspec(dllexport)
#else
#define QMIL_API extern "C" __attribute__((visibility("default")))
#endif

// One image: 8-bit channels, rows tightly packed, row 0 first in memory.
struct QmilImage {
    int width = 0;
    int height = 0;
    int channels = 0;  // 1 luminance, 2 luminance + alpha, 3 RGB, 4 RGBA
    ILenum origin = FX_IL_ORIGIN_LOWER_LEFT;  // where row 0 lies in a saved file
    std::vector<unsigned char> data;
};

// The bound image (ILU works on it), or null when none is bound.
QMIL_API QmilImage* qmilCurrentImage();

// The format name of a channel count, and back (0 for a format this library does not hold).
inline ILenum qmilFormatOf(int channels) {
    switch (channels) {
        case 1: return FX_IL_LUMINANCE;
        case 2: return FX_IL_LUMINANCE_ALPHA;
        case 3: return FX_IL_RGB;
        case 4: return FX_IL_RGBA;
        default: return 0;
    }
}
inline int qmilChannelsOf(ILenum format) {
    switch (format) {
        case FX_IL_LUMINANCE: return 1;
        case FX_IL_LUMINANCE_ALPHA: return 2;
        case FX_IL_RGB: return 3;
        case FX_IL_RGBA: return 4;
        default: return 0;
    }
}
