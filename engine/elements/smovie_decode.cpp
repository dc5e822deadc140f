// SMovie frame decoding through the bound image library: a colour picture (3 bytes per pixel,
// R G B) and a mask picture (1 byte per pixel) of the same size become one RGBA pixmap, the
// mask as its alpha, which the current environment uploads as the material's texture. The
// movie's own pixmap is reused from frame to frame.
//
// Pictures of another pixel format, or a mask whose size differs from its colour picture, are
// refused with a trace line: the material keeps the texture it had.
#include <cstdio>
#include <cstring>

#include "base/other.h"
#include "base/package.h"
#include "base/trace.h"
#include "elements/smovie.h"
#include "image/devil.h"
#include "image/material.h"

namespace {

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
                 localDecoded* out) {
    bool loaded = src.file ? fxDevilLoadFile(src.file) : fxDevilLoadLump(FX_PACKAGE_TYPE_JPG, src.block, src.size);
    if (!loaded) {
        err("movie frame %s: %s picture could not be decoded\n", label, kind);
        return false;
    }
    out->width = fxil.ilGetInteger(FX_IL_IMAGE_WIDTH);
    out->height = fxil.ilGetInteger(FX_IL_IMAGE_HEIGHT);
    int bpp = fxil.ilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL);
    if (bpp != bytesPerPixel || ILenum(fxil.ilGetInteger(FX_IL_IMAGE_FORMAT)) != format ||
        ILenum(fxil.ilGetInteger(FX_IL_IMAGE_TYPE)) != FX_IL_UNSIGNED_BYTE) {
        err("movie frame %s: %s picture refused: %d bytes per pixel, %d expected\n", label, kind, bpp,
            bytesPerPixel);
        return false;
    }
    out->pixels = out->width > 0 && out->height > 0 ? fxil.ilGetData() : nullptr;
    if (!out->pixels) {
        err("movie frame %s: %s picture is empty\n", label, kind);
        return false;
    }
    return true;
}

// Rows of (R, G, B from the colour, alpha from the mask), zero padding beside and below.
void localAssemble(FXPixmap* pm, const localDecoded& colour, const localDecoded& mask) {
    int w = colour.width, h = colour.height;
    size_t padBytes = size_t(pm->bufWidth - w) * 4;
    for (int y = 0; y < h; y++) {
        unsigned char* dst = pm->PixelBytes(0, y);
        const unsigned char* rgb = colour.pixels + size_t(y) * size_t(w) * 3;
        const unsigned char* alpha = mask.pixels + size_t(y) * size_t(w);
        for (int x = 0; x < w; x++, dst += 4, rgb += 3) {
            dst[0] = rgb[0];
            dst[1] = rgb[1];
            dst[2] = rgb[2];
            dst[3] = alpha[x];
        }
        if (padBytes) memset(dst, 0, padBytes);
    }
    for (int y = h; y < pm->bufHeight; y++) memset(pm->PixelBytes(0, y), 0, size_t(pm->bufWidth) * 4);
}

bool localDecodeFrame(FXPixmap* pm, const localSource& colourSrc, const localSource& maskSrc, FXMaterial* m,
                      const char* label) {
    PEnv* env = fxglobalEnv;
    if (!m || !env || !fxDevilLoaded()) return false;
    localImages images;
    localDecoded colour, mask;
    fxil.ilBindImage(images.ids[0]);
    if (!localDecode(colourSrc, 3, FX_IL_RGB, "colour", label, &colour)) return false;
    fxil.ilBindImage(images.ids[1]);
    if (!localDecode(maskSrc, 1, FX_IL_LUMINANCE, "mask", label, &mask)) return false;
    if (mask.width != colour.width || mask.height != colour.height) {
        err("movie frame %s: mask %d x %d refused for a %d x %d picture\n", label, mask.width, mask.height,
            colour.width, colour.height);
        return false;
    }
    pm->power2 = env->npotTextures ? 0 : 1;
    if (pm->Realloc(colour.width, colour.height) <= 0) {
        err("movie frame %s: no room for a %d x %d picture\n", label, colour.width, colour.height);
        return false;
    }
    localAssemble(pm, colour, mask);
    return env->FastPrepareTexture(m, pm);
}

}  // namespace

bool SMovie::PrepareTexture(const char* colorFile, const char* maskFile, FXMaterial* m) {
    double start = fxGetTime();
    const char* label = colorFile ? colorFile : "";
    if (!localDecodeFrame(&pixmap, {label, nullptr, 0}, {maskFile ? maskFile : "", nullptr, 0}, m, label))
        return false;
    trc("PrepareTexture: %g\n", fxGetTime() - start);
    return true;
}

bool SMovie::PrepareTextureMem(int frame, FXMaterial* m) {
    if (frame < 0 || frame >= colorData.top || frame >= colorSizes.top || frame >= maskData.top ||
        frame >= maskSizes.top)
        return false;
    char label[16];
    snprintf(label, sizeof label, "%d", frame);
    localSource colour{nullptr, colorData.Get(frame), colorSizes.GetInt(frame)};
    localSource mask{nullptr, maskData.Get(frame), maskSizes.GetInt(frame)};
    return localDecodeFrame(&pixmap, colour, mask, m, label);
}
