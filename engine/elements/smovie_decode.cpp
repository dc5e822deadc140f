// SMovie frame decoding through the bound image library: a colour picture (3 bytes per pixel,
// R G B) and a mask picture (1 byte per pixel) of the same size become one RGBA pixmap, the
// mask as its alpha, which the current environment uploads as the material's texture. The
// movie's own pixmap is reused from frame to frame, at the size of the movie's largest picture, so
// that the pool's textures keep their storage and only take in the new pixels.
//
// Pictures of another pixel format, or a mask whose size differs from its colour picture, are
// refused with a trace line: the material keeps the texture it had.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/other.h"
#include "base/package.h"
#include "base/trace.h"
#include "elements/smovie.h"
#include "image/devil.h"
#include "image/material.h"

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
const bool kLittleEndian = true;
#else
const bool kLittleEndian = false;
#endif

// A picture to decode: a file, or an encoded JPEG block in memory.
struct localSource {
    const char* file;
    const void* block;
    int size;
};

// The decoder's two images of one frame, deleted on every way out.
struct localImages {
    ILuint ids[2] = {0, 0};
    localImages() { fxil.ilGenImages(2, ids); }
    ~localImages() { fxil.ilDeleteImages(2, ids); }
};

struct localDecoded {
    const unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
};

// Decodes src into the bound image and checks its layout: bytesPerPixel unsigned bytes in the
// given format. False with a trace line naming the picture and the reason otherwise.
bool localDecode(const localSource& src, int bytesPerPixel, ILenum format, const char* kind, const char* label,
                 bool report, localDecoded* out) {
    bool loaded = src.file ? fxDevilLoadFile(src.file) : fxDevilLoadLump(FX_PACKAGE_TYPE_JPG, src.block, src.size);
    if (!loaded) {
        if (report) err(FX_ERR_PICTURE, "movie frame %s: %s picture could not be decoded\n", label, kind);
        return false;
    }
    out->width = fxil.ilGetInteger(FX_IL_IMAGE_WIDTH);
    out->height = fxil.ilGetInteger(FX_IL_IMAGE_HEIGHT);
    int bpp = fxil.ilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL);
    if (bpp != bytesPerPixel || ILenum(fxil.ilGetInteger(FX_IL_IMAGE_FORMAT)) != format ||
        ILenum(fxil.ilGetInteger(FX_IL_IMAGE_TYPE)) != FX_IL_UNSIGNED_BYTE) {
        if (report)
            err(FX_ERR_REFUSED, "movie frame %s: %s picture refused: %d bytes per pixel, %d expected\n", label, kind,
                bpp, bytesPerPixel);
        return false;
    }
    out->pixels = out->width > 0 && out->height > 0 ? fxil.ilGetData() : nullptr;
    if (!out->pixels) {
        if (report) err(FX_ERR_PICTURE, "movie frame %s: %s picture is empty\n", label, kind);
        return false;
    }
    return true;
}

// Rows of (R, G, B from the colour, alpha from the mask). Beside and below the picture: a copy
// of its last column and row when edge is set (the block then samples like a texture of the
// picture's own size clamped at its edges), zero padding otherwise.
void localAssemble(FXPixmap* pm, const localDecoded& colour, const localDecoded& mask, bool edge) {
    int w = colour.width, h = colour.height;
    size_t padBytes = size_t(pm->bufWidth - w) * 4;
    for (int y = 0; y < h; y++) {
        unsigned char* dst = pm->PixelBytes(0, y);
        const unsigned char* rgb = colour.pixels + size_t(y) * size_t(w) * 3;
        const unsigned char* alpha = mask.pixels + size_t(y) * size_t(w);
        // One 32-bit store per pixel (R, G, B, A in memory order on a little-endian machine,
        // byte by byte elsewhere).
        for (int x = 0; x < w; x++, dst += 4, rgb += 3) {
            if (kLittleEndian) {
                const uint32_t px = uint32_t(rgb[0]) | uint32_t(rgb[1]) << 8 | uint32_t(rgb[2]) << 16 |
                                    uint32_t(alpha[x]) << 24;
                memcpy(dst, &px, 4);
            } else {
                dst[0] = rgb[0];
                dst[1] = rgb[1];
                dst[2] = rgb[2];
                dst[3] = alpha[x];
            }
        }
        if (!padBytes) continue;
        if (edge) {
            memcpy(dst, dst - 4, 4);
            memset(dst + 4, 0, padBytes - 4);
        } else {
            memset(dst, 0, padBytes);
        }
    }
    for (int y = h; y < pm->bufHeight; y++) {
        if (edge && y == h && h > 0)
            memcpy(pm->PixelBytes(0, y), pm->PixelBytes(0, h - 1), size_t(pm->bufWidth) * 4);
        else
            memset(pm->PixelBytes(0, y), 0, size_t(pm->bufWidth) * 4);
    }
}

// The block holds the movie's largest picture (maxWidth x maxHeight, or this one when larger),
// so that every frame of the movie fits the storage of its pool textures.
bool localDecodeFrame(PEnv* env, FXPixmap* pm, const localSource& colourSrc, const localSource& maskSrc,
                      FXMaterial* m, const char* label, int maxWidth, int maxHeight, bool report) {
    if (!m || !env || !fxDevilLoaded()) return false;
    FXDevilLock lock;
    localImages images;
    localDecoded colour, mask;
    fxil.ilBindImage(images.ids[0]);
    if (!localDecode(colourSrc, 3, FX_IL_RGB, "colour", label, report, &colour)) return false;
    fxil.ilBindImage(images.ids[1]);
    if (!localDecode(maskSrc, 1, FX_IL_LUMINANCE, "mask", label, report, &mask)) return false;
    if (mask.width != colour.width || mask.height != colour.height) {
        if (report)
            err(FX_ERR_REFUSED, "movie frame %s: mask %d x %d refused for a %d x %d picture\n", label, mask.width,
                mask.height, colour.width, colour.height);
        return false;
    }
    pm->power2 = env->npotTextures ? 0 : 1;
    const int blockWidth = maxWidth > colour.width ? maxWidth : colour.width;
    const int blockHeight = maxHeight > colour.height ? maxHeight : colour.height;
    if (pm->Realloc(blockWidth, blockHeight) <= 0) {
        if (report)
            err(FX_ERR_MEMORY, "movie frame %s: no room for a %d x %d picture\n", label, colour.width, colour.height);
        return false;
    }
    pm->width = colour.width;
    pm->height = colour.height;
    localAssemble(pm, colour, mask, !pm->power2);
    return m->UploadFrame(env, pm);
}

}  // namespace

bool SMovie::PrepareTexture(PEnv* env, const char* colorFile, const char* maskFile, FXMaterial* m) {
    double start = fxGetTime();
    const char* label = colorFile ? colorFile : "";
    localSource colour{label, nullptr, 0}, mask{maskFile ? maskFile : "", nullptr, 0};
    if (!localDecodeFrame(env, &pixmap, colour, mask, m, label, maxCropWidth, maxCropHeight, !quietFailures))
        return false;
    trc("PrepareTexture: %g\n", fxGetTime() - start);
    return true;
}

bool SMovie::PrepareTextureMem(PEnv* env, int frame, FXMaterial* m) {
    if (frame < 0 || frame >= colorData.top || frame >= colorSizes.top || frame >= maskData.top ||
        frame >= maskSizes.top)
        return false;
    char label[16];
    snprintf(label, sizeof label, "%d", frame);
    localSource colour{nullptr, colorData.Get(frame), colorSizes.GetInt(frame)};
    localSource mask{nullptr, maskData.Get(frame), maskSizes.GetInt(frame)};
    return localDecodeFrame(env, &pixmap, colour, mask, m, label, maxCropWidth, maxCropHeight, !quietFailures);
}
