// DevIL's interface as this project spells it, once: the types, the calling convention and the
// constants (DevIL's own values) used by the engine's binding (image/devil.h) and by the stand-in
// library that can take DevIL's place (devil/). The file type codes are those the package stores
// for its pictures.
#pragma once

#include <cstddef>

typedef unsigned int ILenum;
typedef unsigned char ILboolean;
typedef int ILint;
typedef size_t ILsizei;  // size_t in the DevIL release this engine binds
typedef unsigned char ILubyte;
typedef unsigned int ILuint;

// DevIL's calling convention: stdcall in its 32-bit Windows libraries.
#if defined(_WIN32) && !defined(_WIN64)
#define FX_ILAPI __stdcall
#else
#define FX_ILAPI
#endif

enum : ILenum {
    FX_IL_TYPE_UNKNOWN = 0x0000,
    FX_IL_BMP = 0x0420,
    FX_IL_JPG = 0x0425,
    FX_IL_PNG = 0x042A,
    FX_IL_TGA = 0x042D,
    FX_IL_GIF = 0x0436,
    FX_IL_ORIGIN_LOWER_LEFT = 0x0601,
    FX_IL_ORIGIN_UPPER_LEFT = 0x0602,
    FX_IL_FILE_OVERWRITE = 0x0620,
    FX_IL_JPG_QUALITY = 0x0711,
    FX_IL_IMAGE_WIDTH = 0x0DE4,
    FX_IL_IMAGE_HEIGHT = 0x0DE5,
    FX_IL_IMAGE_DEPTH = 0x0DE6,
    FX_IL_IMAGE_SIZE_OF_DATA = 0x0DE7,
    FX_IL_IMAGE_BYTES_PER_PIXEL = 0x0DE8,
    FX_IL_IMAGE_BITS_PER_PIXEL = 0x0DE9,
    FX_IL_IMAGE_FORMAT = 0x0DEA,
    FX_IL_IMAGE_TYPE = 0x0DEB,
    FX_IL_IMAGE_ORIGIN = 0x0DFE,
    FX_IL_UNSIGNED_BYTE = 0x1401,
    FX_IL_RGB = 0x1907,
    FX_IL_RGBA = 0x1908,
    FX_IL_LUMINANCE = 0x1909,
    FX_IL_LUMINANCE_ALPHA = 0x190A,
    FX_IL_COLOUR_INDEX = 0x1900,
    FX_IL_ALPHA = 0x1906,
    FX_IL_BGR = 0x80E0,
    FX_IL_BGRA = 0x80E1,
    FX_IL_BYTE = 0x1400,
    FX_IL_SHORT = 0x1402,
    FX_IL_UNSIGNED_SHORT = 0x1403,
    FX_IL_INT = 0x1404,
    FX_IL_UNSIGNED_INT = 0x1405,
    FX_IL_FLOAT = 0x1406,
    FX_IL_DOUBLE = 0x140A,
    FX_IL_HALF = 0x140B,
};
