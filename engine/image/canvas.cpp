// FXCanvas: decoding pictures and masks through the bound DevIL library, saving pictures and
// masks, and the pixel operations (copy, colour layer, edge extension, sampling). Every decoder
// call is behind fxDevilLoaded(), so without DevIL each decode and save fails with false and the
// canvas stays as it was. Text rendering lives in canvas_text.cpp.
#include "image/canvas.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "base/package.h"
#include "image/devil.h"

namespace {

// One decode: the decoder's image, its RGBA clone and the clone's pixels (rows tightly packed,
// width * 4 bytes, in the order the decoder delivers them).
struct FXDecoded {
    ILuint image = 0;
    ILuint clone = 0;
    int width = 0;
    int height = 0;
    const unsigned char* pixels = nullptr;
};

// The bytes a pixel takes in a format and type of the library; 0 for one it should not report.
int localPixelBytes(int format, int type) {
    int channels = 0, size = 0;
    switch (format) {
        case FX_IL_COLOUR_INDEX:
        case FX_IL_ALPHA:
        case FX_IL_LUMINANCE: channels = 1; break;
        case FX_IL_LUMINANCE_ALPHA: channels = 2; break;
        case FX_IL_RGB:
        case FX_IL_BGR: channels = 3; break;
        case FX_IL_RGBA:
        case FX_IL_BGRA: channels = 4; break;
    }
    switch (type) {
        case FX_IL_BYTE:
        case FX_IL_UNSIGNED_BYTE: size = 1; break;
        case FX_IL_SHORT:
        case FX_IL_UNSIGNED_SHORT:
        case FX_IL_HALF: size = 2; break;
        case FX_IL_INT:
        case FX_IL_UNSIGNED_INT:
        case FX_IL_FLOAT: size = 4; break;
        case FX_IL_DOUBLE: size = 8; break;
    }
    return channels * size;
}

// True when the bound image's own account agrees with itself: as many bytes a pixel as its
// format and type say, and all its pixels there. The library decodes some damaged pictures (a
// 16-bit TGA it calls BGR) into images that its conversion then sizes wrongly, so that their
// pixels end before their size says.
bool localConsistent(int width, int height) {
    int bytes = fxil.ilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL);
    int depth = fxil.ilGetInteger(FX_IL_IMAGE_DEPTH);
    long long need = (long long)width * height * (depth > 0 ? depth : 1) * bytes;
    return bytes > 0 && bytes == localPixelBytes(fxil.ilGetInteger(FX_IL_IMAGE_FORMAT), fxil.ilGetInteger(FX_IL_IMAGE_TYPE)) &&
           (long long)fxil.ilGetInteger(FX_IL_IMAGE_SIZE_OF_DATA) >= need;
}

// Decodes a file (d null) or a package entry's bytes with its type code; reads the size.
bool localOpen(const char* file, const FXPackageData* d, int type, FXDecoded* out) {
    fxil.ilGenImages(1, &out->image);
    fxil.ilBindImage(out->image);
    bool ok = d ? fxDevilLoadLump(unsigned(type), d->start, d->size) : fxDevilLoadFile(file);
    if (!ok) return false;
    out->width = fxil.ilGetInteger(FX_IL_IMAGE_WIDTH);
    out->height = fxil.ilGetInteger(FX_IL_IMAGE_HEIGHT);
    return out->width > 0 && out->height > 0 && localConsistent(out->width, out->height);
}

// Clones the decoded image, converts the clone to 8-bit RGBA and fetches its pixels.
bool localConvert(FXDecoded* dec) {
    dec->clone = fxil.ilCloneCurImage();
    if (!dec->clone) return false;
    fxil.ilBindImage(dec->clone);
    if (!fxil.ilConvertImage(FX_IL_RGBA, FX_IL_UNSIGNED_BYTE)) return false;
    // The clone must still have the size the pixel loops rely on, in 4 bytes a pixel.
    if (fxil.ilGetInteger(FX_IL_IMAGE_WIDTH) != dec->width || fxil.ilGetInteger(FX_IL_IMAGE_HEIGHT) != dec->height ||
        fxil.ilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL) != 4 || !localConsistent(dec->width, dec->height))
        return false;
    dec->pixels = fxil.ilGetData();
    return dec->pixels != nullptr;
}

void localRelease(FXDecoded* dec) {
    if (dec->clone) fxil.ilDeleteImages(1, &dec->clone);
    if (dec->image) fxil.ilDeleteImages(1, &dec->image);
    dec->clone = dec->image = 0;
}

// Checks a package entry for a picture load: present, a picture type, non-empty.
const FXPackageData* localPictureEntry(FXPackage* p, int id, int* type) {
    if (!p) return nullptr;
    FXPackageData* d = p->GetDataPtr(id);
    if (!d) return nullptr;
    *type = p->GetDataType(id);
    if (*type == FX_PACKAGE_TYPE_RECORD || d->size <= 0) return nullptr;
    return d;
}

bool localDecodePicture(FXCanvas* c, const char* file, const FXPackageData* d, int type) {
    FXDevilLock lock;
    FXDecoded dec;
    bool result = false;
    if (localOpen(file, d, type, &dec) && c->pixmap.Realloc(dec.width, dec.height) > 0 && localConvert(&dec)) {
        FXPixmap& pm = c->pixmap;
        if (c->clearOnLoad) c->Clear(c->clearColor);
        c->opaque = true;
        size_t rowBytes = size_t(dec.width) * 4;
        for (int y = 0; y < dec.height; y++) {
            const unsigned char* src = dec.pixels + rowBytes * size_t(y);
            unsigned char* dst = pm.PixelBytes(0, y);
            if (c->transMode) {
                for (int x = 0; x < dec.width; x++) {
                    dst[4 * x] = dst[4 * x + 1] = dst[4 * x + 2] = 255;
                    dst[4 * x + 3] = src[4 * x];
                }
            } else {
                memcpy(dst, src, rowBytes);
                for (int x = 0; x < dec.width; x++)
                    if (src[4 * x + 3] != 255) c->opaque = false;
            }
        }
        if (c->transMode) c->opaque = false;
        result = true;
    }
    localRelease(&dec);
    return result;
}

// Recomputes the opaque flag from the picture area's alpha channel.
bool localAllOpaque(const FXPixmap& pm) {
    for (int y = 0; y < pm.height; y++) {
        const uint32_t* row = pm.data + size_t(y) * pm.bufWidth;
        for (int x = 0; x < pm.width; x++)
            if (reinterpret_cast<const unsigned char*>(row + x)[3] != 255) return false;
    }
    return true;
}

bool localDecodeMask(FXCanvas* c, const char* file, const FXPackageData* d, int type) {
    FXDevilLock lock;
    FXDecoded dec;
    bool result = false;
    FXPixmap& pm = c->pixmap;
    if (localOpen(file, d, type, &dec) && pm.data && dec.width <= pm.width && dec.height <= pm.height &&
        localConvert(&dec)) {
        for (int y = 0; y < pm.height; y++) {
            unsigned char* dst = pm.PixelBytes(0, y);
            // Rows below the mask have no source row (a pointer there would lie past its pixels).
            const unsigned char* src = y < dec.height ? dec.pixels + size_t(dec.width) * 4 * size_t(y) : nullptr;
            for (int x = 0; x < pm.width; x++) dst[4 * x + 3] = (src && x < dec.width) ? src[4 * x + 2] : 0;
        }
        // The alpha channel has changed: the texture code must know whether it still is opaque.
        c->opaque = localAllOpaque(pm);
        result = true;
    }
    localRelease(&dec);
    return result;
}

enum FXSaveKind { kSaveRgb, kSaveRgba, kSaveMask };

// Writes the rectangle [x0, x1) x [y0, y1) of the picture area; rows go to the decoder last row
// first because it takes buffer row 0 as the bottom of the file.
bool localSave(const FXCanvas* c, const char* file, int x0, int y0, int x1, int y1, FXSaveKind kind) {
    const FXPixmap& pm = c->pixmap;
    if (!fxDevilLoaded() || !file || !*file || !pm.data) return false;
    if (x0 < 0 || y0 < 0 || x1 > pm.width || y1 > pm.height || x1 <= x0 || y1 <= y0) return false;
    int w = x1 - x0, h = y1 - y0;
    int bpp = kind == kSaveRgba ? 4 : kind == kSaveRgb ? 3 : 1;
    ILenum format = kind == kSaveRgba ? FX_IL_RGBA : kind == kSaveRgb ? FX_IL_RGB : FX_IL_LUMINANCE;
    std::vector<unsigned char> rows(size_t(w) * h * bpp);
    unsigned char* out = rows.data();
    for (int r = 0; r < h; r++) {
        const uint32_t* row = pm.data + size_t(y1 - 1 - r) * pm.bufWidth;
        const unsigned char* src = reinterpret_cast<const unsigned char*>(row + x0);
        for (int x = 0; x < w; x++, src += 4) {
            if (kind == kSaveMask) {
                *out++ = src[3];
            } else if (kind == kSaveRgba) {
                memcpy(out, src, 4);
                out += 4;
            } else {
                bool clear = src[3] == 0;
                *out++ = clear ? 0 : src[0];
                *out++ = clear ? 0 : src[1];
                *out++ = clear ? 0 : src[2];
            }
        }
    }
    ILuint image = 0;
    FXDevilLock lock;
    fxil.ilGenImages(1, &image);
    fxil.ilBindImage(image);
    bool ok = fxil.ilTexImage(ILuint(w), ILuint(h), 1, ILubyte(bpp), format, FX_IL_UNSIGNED_BYTE, rows.data());
    if (ok) {
        fxil.ilEnable(FX_IL_FILE_OVERWRITE);
        ok = fxil.ilSaveImage(file);
    }
    fxil.ilDeleteImages(1, &image);
    return ok;
}

// Nearest index for a coordinate: truncated, then held to [0, size - 1] (NaN gives 0).
int localSampleIndex(float pos, int size) {
    if (!(pos > 0.0f)) return 0;
    if (pos >= float(size - 1)) return size - 1;
    return int(pos);
}

}  // namespace

bool localDetectTransFilename(const char* name) {
    if (!name) return false;
    const char* key = "tran";
    for (const char* s = name; *s; s++) {
        int k = 0;
        while (key[k] && s[k] && tolower(static_cast<unsigned char>(s[k])) == key[k]) k++;
        if (!key[k]) return true;
    }
    return false;
}

void FXCanvas::Destroy() {
    pixmap.Destroy();
    opaque = true;
    transMode = false;
}

void FXCanvas::Clear(const float* colour) { pixmap.Clear(fxColToInt1(colour)); }

bool FXCanvas::CreateFromPict(const char* file) {
    if (!file || !*file || !fxDevilLoaded()) return false;
    transMode = autoDetectTrans ? localDetectTransFilename(file) : false;
    return localDecodePicture(this, file, nullptr, 0);
}

bool FXCanvas::CreateFromPictCN(FXPackage* p, int id) {
    int type = 0;
    const FXPackageData* d = localPictureEntry(p, id, &type);
    if (!d || !fxDevilLoaded()) return false;
    return localDecodePicture(this, nullptr, d, type);
}

bool FXCanvas::CreateFromPictC(FXPackage* p, const char* name) {
    int id = 0;
    if (!fxParseEntryName(name, &id)) return false;
    return CreateFromPictCN(p, id);
}

bool FXCanvas::LoadMask(const char* file) {
    if (!file || !*file || !fxDevilLoaded()) return false;
    return localDecodeMask(this, file, nullptr, 0);
}

bool FXCanvas::LoadMaskCN(FXPackage* p, int id) {
    int type = 0;
    const FXPackageData* d = localPictureEntry(p, id, &type);
    if (!d || !fxDevilLoaded()) return false;
    return localDecodeMask(this, nullptr, d, type);
}

bool FXCanvas::LoadMaskC(FXPackage* p, const char* name) {
    int id = 0;
    if (!fxParseEntryName(name, &id)) return false;
    return LoadMaskCN(p, id);
}

void FXCanvas::Copy(const FXCanvas* src) {
    if (!src || src == this) return;
    const FXPixmap& s = src->pixmap;
    if (pixmap.Realloc(s.width, s.height) <= 0 || !s.data) return;
    for (int y = 0; y < s.height; y++) {
        const uint32_t* from = s.data + size_t(y) * s.bufWidth;
        memcpy(pixmap.data + size_t(y) * pixmap.bufWidth, from, size_t(s.width) * 4);
        for (int x = 0; x < s.width; x++)
            if (reinterpret_cast<const unsigned char*>(from + x)[3] != 255) opaque = false;
    }
}

void FXCanvas::MixColorLayer(float* colour) {
    float a = colour[3];
    for (int k = 0; k < 3; k++) colour[k] *= a;
    if (!pixmap.data) return;
    float keep = 1.0f - a;
    float add[3] = {colour[0] * 255.0f, colour[1] * 255.0f, colour[2] * 255.0f};
    for (int y = 0; y < pixmap.height; y++) {
        unsigned char* p = pixmap.PixelBytes(0, y);
        for (int x = 0; x < pixmap.width; x++, p += 4) {
            for (int k = 0; k < 3; k++) {
                float v = float(p[k]) * keep + add[k];
                p[k] = !(v > 0.0f) ? 0 : v >= 255.0f ? 255 : static_cast<unsigned char>(v);
            }
        }
    }
}

void FXCanvas::ExtendEdges() {
    FXPixmap& pm = pixmap;
    if (!pm.data || pm.width <= 0 || pm.height <= 0) return;
    for (int y = 0; y < pm.height; y++) {
        uint32_t* row = pm.data + size_t(y) * pm.bufWidth;
        for (int x = pm.width; x < pm.bufWidth; x++) row[x] = row[pm.width - 1];
    }
    const uint32_t* last = pm.data + size_t(pm.height - 1) * pm.bufWidth;
    for (int y = pm.height; y < pm.bufHeight; y++)
        memcpy(pm.data + size_t(y) * pm.bufWidth, last, size_t(pm.bufWidth) * 4);
}

void FXCanvas::GetColor(float u, float v, float* out) const {
    const FXPixmap& pm = pixmap;
    if (!pm.data || pm.width <= 0 || pm.height <= 0) return;
    int x = localSampleIndex(float(pm.width) * u, pm.bufWidth);
    int y = localSampleIndex(float(pm.height) * v, pm.bufHeight);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pm.data + size_t(y) * pm.bufWidth + x);
    for (int k = 0; k < 4; k++) out[k] = float(p[k]) / 255.0f;
}

float FXCanvas::GetBump(float u, float v) const {
    float c[4] = {0, 0, 0, 0};
    GetColor(u, 1.0f - v, c);
    return c[0];
}

void FXCanvas::SetJpegQuality(int q) {
    FXDevilLock lock;
    if (fxDevilLoaded()) fxil.ilSetInteger(FX_IL_JPG_QUALITY, q);
}

bool FXCanvas::SaveToPict(const char* file) { return SaveToPict1(file, 0, 0, pixmap.width, pixmap.height); }

bool FXCanvas::SaveToPict1(const char* file, int x0, int y0, int x1, int y1) {
    return localSave(this, file, x0, y0, x1, y1, kSaveRgb);
}

bool FXCanvas::SaveToPict2(const char* file, int x0, int y0, int x1, int y1) {
    return localSave(this, file, x0, y0, x1, y1, kSaveRgba);
}

bool FXCanvas::SaveToMask(const char* file) { return SaveToMask1(file, 0, 0, pixmap.width, pixmap.height); }

bool FXCanvas::SaveToMask1(const char* file, int x0, int y0, int x1, int y1) {
    return localSave(this, file, x0, y0, x1, y1, kSaveMask);
}
