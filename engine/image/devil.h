// The DevIL image library (with its ILU companion), bound at run time by library and entry-point
// name: fxLoadDevil fills fxil, fxUnloadDevil empties it. While DevIL is not bound every pointer
// in fxil is null and fxDevilLoaded() is false; code that decodes or encodes pictures checks it
// first and fails (returns false) instead of calling a null pointer.
//
// The functions are declared here (types and constants in image/devil_api.h), not taken from
// DevIL's headers, so the engine builds without them. Decoder state is process-wide (one current
// image), so decodes never run in parallel.
#pragma once

#include "image/devil_api.h"

// The bound entry points, in binding order (all twenty must be found).
struct FXDevilImports {
    void (FX_ILAPI* ilInit)();
    void (FX_ILAPI* ilShutDown)();
    ILboolean (FX_ILAPI* ilEnable)(ILenum mode);
    ILboolean (FX_ILAPI* ilDisable)(ILenum mode);
    void (FX_ILAPI* ilSetInteger)(ILenum mode, ILint param);
    void (FX_ILAPI* ilGenImages)(ILsizei num, ILuint* images);
    void (FX_ILAPI* ilDeleteImages)(ILsizei num, const ILuint* images);
    void (FX_ILAPI* ilBindImage)(ILuint image);
    ILint (FX_ILAPI* ilGetInteger)(ILenum mode);
    ILboolean (FX_ILAPI* ilLoadImage)(const char* file);
    ILboolean (FX_ILAPI* ilLoadL)(ILenum type, const void* lump, ILuint size);
    ILboolean (FX_ILAPI* ilSaveImage)(const char* file);
    ILuint (FX_ILAPI* ilCloneCurImage)();
    ILboolean (FX_ILAPI* ilConvertImage)(ILenum format, ILenum type);
    ILuint (FX_ILAPI* ilCopyPixels)(ILuint x, ILuint y, ILuint z, ILuint w, ILuint h, ILuint d, ILenum format, ILenum type,
                                     void* data);
    void (FX_ILAPI* ilSetPixels)(ILint x, ILint y, ILint z, ILuint w, ILuint h, ILuint d, ILenum format, ILenum type,
                                  void* data);
    ILubyte* (FX_ILAPI* ilGetData)();
    ILboolean (FX_ILAPI* iluScale)(ILuint w, ILuint h, ILuint d);
    void (FX_ILAPI* iluImageParameter)(ILenum name, ILenum param);
    ILboolean (FX_ILAPI* ilTexImage)(ILuint w, ILuint h, ILuint d, ILubyte bytesPerPixel, ILenum format, ILenum type,
                                      void* data);
};

// The process-wide binding; every member is null while DevIL is not bound.
extern FXDevilImports fxil;

// Binds both libraries and every entry point, then initialises DevIL. On failure writes the
// error trace "failed to load devil libraries", unbinds and returns false. Binding again while
// bound does nothing and returns true.
// The image library keeps one bound image for the whole process, and scenes decode their movies'
// frames on render threads of their own: every sequence of its calls that binds an image, reads it
// and lets it go holds this lock (recursive) from first call to last.
class FXDevilLock {
public:
    FXDevilLock();
    ~FXDevilLock();
    FXDevilLock(const FXDevilLock&) = delete;
    FXDevilLock& operator=(const FXDevilLock&) = delete;
};

bool fxLoadDevil();
// Shuts DevIL down, frees both libraries and clears every entry point.
void fxUnloadDevil();
// True while every entry point is bound.
bool fxDevilLoaded();

// Decoding into the bound image with the input checked first. DevIL's PNG reader does not stop at
// the end of its input: a PNG cut short (a chunk running past the end, or no IEND chunk) keeps it
// reading for ever; its GIF reader writes a picture placed outside the GIF's screen outside its
// own buffer; and a header may claim a picture of gigabytes (over kFXMaxPictureSide a side,
// image/picture_header.h). Such input is refused (false, with a trace line) before DevIL sees
// it, and the caller reports the failure as for any picture that does not decode; everything
// else goes to ilLoadL / ilLoadImage unchanged.
bool fxDevilLoadLump(unsigned type, const void* bytes, long size);
bool fxDevilLoadFile(const char* file);
// False when the bytes begin with the PNG signature but their chunks do not lie whole within
// them up to the IEND chunk; true for anything else.
bool fxPngWhole(const unsigned char* bytes, long size);
// False when the bytes begin with a GIF signature but a block runs past them, the trailer is
// missing, or a picture of the GIF does not lie inside its logical screen (DevIL 1.7.8 writes
// such a picture outside its own buffer); true for anything else.
bool fxGifFramesInside(const unsigned char* bytes, long size);

// Overrides the library file names (null or empty restores the platform's names); the next
// fxLoadDevil uses them. Lets tests and tools run as if the decoder were missing.
void fxSetDevilLibraryNames(const char* devil, const char* ilu);

// ---- provided by the platform file (devil_posix.cpp, devil_w32.cpp) ----
// The platform's file names of the DevIL library and of ILU.
const char* fxDevilPlatformName();
const char* fxIluPlatformName();
