// The project's stand-in for the DevIL image library and its ILU companion, over stb_image and
// stb_image_write. It exports, under DevIL's names and calling convention, the entry points the
// engine binds, so the engine finds it exactly where it would find the real library (DevIL.dll and
// ILU.dll on Windows, libIL.so.1 and libILU.so.1 elsewhere) and the real one can take its place.
//
// What it does as the real library does: decoding PNG, JPEG, BMP, TGA and GIF (first frame) from
// files and memory, by the file type codes of the package; rows kept in the file's order (top row
// first for PNG, JPEG and GIF; BMP and TGA stored bottom-up stay so); images made with ilTexImage
// have their row 0 at the bottom of a saved file; saving PNG, JPEG, BMP and TGA, never over an
// existing file unless overwriting is enabled. Only 8-bit channels exist here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(_WIN32)
#define QMIL_API extern "C" __declspec(dllexport)
#define QMIL_CALL __stdcall
#else
#define QMIL_API extern "C" __attribute__((visibility("default")))
#define QMIL_CALL
#endif

typedef unsigned int ILenum;
typedef unsigned char ILboolean;
typedef int ILint;
typedef size_t ILsizei;
typedef unsigned char ILubyte;
typedef unsigned int ILuint;

enum : ILenum {
    QMIL_TYPE_UNKNOWN = 0x0000,
    QMIL_BMP = 0x0420,
    QMIL_JPG = 0x0425,
    QMIL_PNG = 0x042A,
    QMIL_TGA = 0x042D,
    QMIL_GIF = 0x0436,
    QMIL_ORIGIN_LOWER_LEFT = 0x0601,
    QMIL_ORIGIN_UPPER_LEFT = 0x0602,
    QMIL_FILE_OVERWRITE = 0x0620,
    QMIL_JPG_QUALITY = 0x0711,
    QMIL_IMAGE_WIDTH = 0x0DE4,
    QMIL_IMAGE_HEIGHT = 0x0DE5,
    QMIL_IMAGE_DEPTH = 0x0DE6,
    QMIL_IMAGE_SIZE_OF_DATA = 0x0DE7,
    QMIL_IMAGE_BPP = 0x0DE8,
    QMIL_IMAGE_BYTES_PER_PIXEL = 0x0DE8,
    QMIL_IMAGE_BITS_PER_PIXEL = 0x0DE9,
    QMIL_IMAGE_FORMAT = 0x0DEA,
    QMIL_IMAGE_TYPE = 0x0DEB,
    QMIL_IMAGE_ORIGIN = 0x0DFE,
    QMIL_RGB = 0x1907,
    QMIL_RGBA = 0x1908,
    QMIL_LUMINANCE = 0x1909,
    QMIL_LUMINANCE_ALPHA = 0x190A,
    QMIL_UNSIGNED_BYTE = 0x1401,
};

// One image: 8-bit channels, rows tightly packed, row 0 first in memory.
struct QmilImage {
    int width = 0;
    int height = 0;
    int channels = 0;  // 1 luminance, 2 luminance + alpha, 3 RGB, 4 RGBA
    ILenum origin = QMIL_ORIGIN_LOWER_LEFT;  // where row 0 lies in a saved file
    std::vector<unsigned char> data;
};

// The bound image (ILU works on it), or null when none is bound.
QMIL_API QmilImage* qmilCurrentImage();

// The format name of a channel count, and back (0 for a format this library does not hold).
inline ILenum qmilFormatOf(int channels) {
    switch (channels) {
        case 1: return QMIL_LUMINANCE;
        case 2: return QMIL_LUMINANCE_ALPHA;
        case 3: return QMIL_RGB;
        case 4: return QMIL_RGBA;
        default: return 0;
    }
}
inline int qmilChannelsOf(ILenum format) {
    switch (format) {
        case QMIL_LUMINANCE: return 1;
        case QMIL_LUMINANCE_ALPHA: return 2;
        case QMIL_RGB: return 3;
        case QMIL_RGBA: return 4;
        default: return 0;
    }
}
