// The stand-in DevIL library: images by number, decoding through stb_image, saving through
// stb_image_write, format conversion and pixel copies. One process-wide state, as in DevIL:
// callers serialise their use of it.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "il_standin.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#include <stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace {

std::map<ILuint, QmilImage> localImages;  // image 0 is the default image and always exists
ILuint localBound = 0;
ILuint localNext = 1;
bool localOverwrite = false;
int localJpgQuality = 99;  // DevIL's default

QmilImage* localCurrent() {
    auto it = localImages.find(localBound);
    return it == localImages.end() ? nullptr : &it->second;
}

bool localReadFile(const char* file, std::vector<unsigned char>* out) {
    FILE* f = file ? fopen(file, "rb") : nullptr;
    if (!f) return false;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

std::string localExt(const char* file) {
    const char* dot = strrchr(file, '.');
    const char* sep = strrchr(file, '/');
    const char* bsep = strrchr(file, '\\');
    if (!dot || (sep && dot < sep) || (bsep && dot < bsep)) return "";
    std::string e(dot + 1);
    for (char& c : e) c = char(tolower(static_cast<unsigned char>(c)));
    return e;
}

ILenum localTypeOfName(const char* file) {
    std::string e = localExt(file);
    if (e == "png") return FX_IL_PNG;
    if (e == "jpg" || e == "jpeg" || e == "jpe" || e == "jfif") return FX_IL_JPG;
    if (e == "bmp" || e == "dib") return FX_IL_BMP;
    if (e == "tga" || e == "vda" || e == "icb" || e == "vst") return FX_IL_TGA;
    if (e == "gif") return FX_IL_GIF;
    return FX_IL_TYPE_UNKNOWN;
}

// The type the bytes say (TGA has no signature: never found here).
ILenum localSniff(const unsigned char* p, size_t n) {
    if (n >= 8 && memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0) return FX_IL_PNG;
    if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return FX_IL_JPG;
    if (n >= 2 && p[0] == 'B' && p[1] == 'M') return FX_IL_BMP;
    if (n >= 6 && (memcmp(p, "GIF87a", 6) == 0 || memcmp(p, "GIF89a", 6) == 0)) return FX_IL_GIF;
    return FX_IL_TYPE_UNKNOWN;
}

// Whether the file stores its rows bottom-up (BMP with a positive height, TGA without the
// top-left origin bit): DevIL keeps that order, so row 0 is the picture's bottom row.
bool localStoredBottomUp(ILenum type, const unsigned char* p, size_t n) {
    if (type == FX_IL_BMP && n >= 26) {
        uint32_t header = p[14] | (p[15] << 8) | (p[16] << 16) | (uint32_t(p[17]) << 24);
        if (header == 12) return true;  // the old core header: always bottom-up
        int32_t h = int32_t(p[22] | (p[23] << 8) | (p[24] << 16) | (uint32_t(p[25]) << 24));
        return h > 0;
    }
    if (type == FX_IL_TGA && n >= 18) return (p[17] & 0x20) == 0;
    return false;
}

// stb_image_write stores every JPEG with three components. A luminance picture gets this comment
// after its start marker, so that reading it back gives one channel again, as DevIL's own
// greyscale JPEG files do.
const char kGreyComment[] = "qmil luminance";

bool localHasGreyComment(const unsigned char* p, size_t n) {
    const size_t len = sizeof kGreyComment - 1;
    return n >= 6 + len && p[2] == 0xFF && p[3] == 0xFE && p[4] == 0 && p[5] == len + 2 &&
           memcmp(p + 6, kGreyComment, len) == 0;
}

void localFlipRows(QmilImage* img) {
    size_t row = size_t(img->width) * img->channels;
    std::vector<unsigned char> tmp(row);
    for (int y = 0; y < img->height / 2; y++) {
        unsigned char* a = img->data.data() + size_t(y) * row;
        unsigned char* b = img->data.data() + size_t(img->height - 1 - y) * row;
        memcpy(tmp.data(), a, row);
        memcpy(a, b, row);
        memcpy(b, tmp.data(), row);
    }
}

bool localDecode(ILenum type, const unsigned char* p, size_t n) {
    QmilImage* cur = localCurrent();
    if (!cur || !p || n == 0 || n > 0x7FFFFFFF) return false;
    ILenum found = localSniff(p, n);
    if (type == FX_IL_TYPE_UNKNOWN) type = found == FX_IL_TYPE_UNKNOWN ? FX_IL_TGA : found;
    // The type code decides the decoder, as in DevIL: bytes of another kind are refused.
    if (type == FX_IL_TGA ? found != FX_IL_TYPE_UNKNOWN : found != type) return false;
    if (type != FX_IL_PNG && type != FX_IL_JPG && type != FX_IL_BMP && type != FX_IL_TGA && type != FX_IL_GIF)
        return false;
    int w = 0, h = 0, c = 0;
    stbi_uc* pixels = stbi_load_from_memory(p, int(n), &w, &h, &c, 0);
    if (!pixels) return false;
    QmilImage img;
    img.width = w, img.height = h, img.channels = c;
    img.data.assign(pixels, pixels + size_t(w) * h * c);
    stbi_image_free(pixels);
    if (type == FX_IL_JPG && c == 3 && localHasGreyComment(p, n)) {
        for (size_t i = 0; i < size_t(w) * h; i++) img.data[i] = img.data[i * 3];
        img.data.resize(size_t(w) * h);
        img.channels = 1;
    }
    img.origin = FX_IL_ORIGIN_UPPER_LEFT;
    if (localStoredBottomUp(type, p, n)) {
        localFlipRows(&img);
        img.origin = FX_IL_ORIGIN_LOWER_LEFT;
    }
    *cur = std::move(img);
    return true;
}

bool localWriteFailed = false;
int localSkipBytes = 0;  // leading bytes of the encoder's output not written (its start marker)

void localWriteToFile(void* context, void* data, int size) {
    FILE* f = static_cast<FILE*>(context);
    int skip = localSkipBytes < size ? localSkipBytes : size;
    localSkipBytes -= skip;
    data = static_cast<unsigned char*>(data) + skip;
    size -= skip;
    if (size > 0 && fwrite(data, 1, size_t(size), f) != size_t(size)) localWriteFailed = true;
}

// Converts one pixel between channel counts (8-bit).
void localConvertPixel(const unsigned char* s, int sc, unsigned char* d, int dc) {
    unsigned char r, g, b, a;
    if (sc <= 2) {
        r = g = b = s[0];
        a = sc == 2 ? s[1] : 255;
    } else {
        r = s[0], g = s[1], b = s[2];
        a = sc == 4 ? s[3] : 255;
    }
    switch (dc) {
        case 1:
        case 2:
            d[0] = sc <= 2 ? s[0] : static_cast<unsigned char>((r * 0.212671 + g * 0.715160 + b * 0.072169) + 0.5);
            if (dc == 2) d[1] = a;
            break;
        case 3:
        case 4:
            d[0] = r, d[1] = g, d[2] = b;
            if (dc == 4) d[3] = a;
            break;
    }
}

// The region [x, x + w) x [y, y + h) clipped to the image; false when nothing is left.
bool localClip(const QmilImage* img, ILint* x, ILint* y, ILuint* w, ILuint* h) {
    if (*x < 0 || *y < 0 || *x >= img->width || *y >= img->height || *w == 0 || *h == 0) return false;
    if (*w > ILuint(img->width - *x)) *w = ILuint(img->width - *x);
    if (*h > ILuint(img->height - *y)) *h = ILuint(img->height - *y);
    return true;
}

}  // namespace

QMIL_API QmilImage* qmilCurrentImage() { return localCurrent(); }

QMIL_API void FX_ILAPI ilInit() {
    if (localImages.empty()) localImages[0] = QmilImage();
    localBound = 0;
}

QMIL_API void FX_ILAPI ilShutDown() {
    localImages.clear();
    localBound = 0;
    localNext = 1;
}

QMIL_API ILboolean FX_ILAPI ilEnable(ILenum mode) {
    if (mode != FX_IL_FILE_OVERWRITE) return 0;
    localOverwrite = true;
    return 1;
}

QMIL_API ILboolean FX_ILAPI ilDisable(ILenum mode) {
    if (mode != FX_IL_FILE_OVERWRITE) return 0;
    localOverwrite = false;
    return 1;
}

QMIL_API void FX_ILAPI ilSetInteger(ILenum mode, ILint param) {
    if (mode == FX_IL_JPG_QUALITY && param >= 1 && param <= 99) localJpgQuality = param;
}

QMIL_API void FX_ILAPI ilGenImages(ILsizei num, ILuint* images) {
    if (!images) return;
    for (ILsizei i = 0; i < num; i++) {
        while (localImages.count(localNext) || localNext == 0) localNext++;
        images[i] = localNext;
        localImages[localNext] = QmilImage();
    }
}

QMIL_API void FX_ILAPI ilDeleteImages(ILsizei num, const ILuint* images) {
    if (!images) return;
    for (ILsizei i = 0; i < num; i++) {
        if (images[i] == 0) continue;  // the default image stays
        localImages.erase(images[i]);
        if (localBound == images[i]) localBound = 0;
    }
}

QMIL_API void FX_ILAPI ilBindImage(ILuint image) {
    if (localImages.count(image)) localBound = image;
}

QMIL_API ILint FX_ILAPI ilGetInteger(ILenum mode) {
    const QmilImage* img = localCurrent();
    switch (mode) {
        case FX_IL_JPG_QUALITY: return localJpgQuality;
        case FX_IL_FILE_OVERWRITE: return localOverwrite;
    }
    if (!img) return 0;
    switch (mode) {
        case FX_IL_IMAGE_WIDTH: return img->width;
        case FX_IL_IMAGE_HEIGHT: return img->height;
        case FX_IL_IMAGE_DEPTH: return img->width > 0 ? 1 : 0;
        case FX_IL_IMAGE_BYTES_PER_PIXEL: return img->channels;
        case FX_IL_IMAGE_BITS_PER_PIXEL: return img->channels * 8;
        case FX_IL_IMAGE_SIZE_OF_DATA: return ILint(img->data.size());
        case FX_IL_IMAGE_FORMAT: return ILint(qmilFormatOf(img->channels));
        case FX_IL_IMAGE_TYPE: return img->channels ? ILint(FX_IL_UNSIGNED_BYTE) : 0;
        case FX_IL_IMAGE_ORIGIN: return ILint(img->origin);
    }
    return 0;
}

QMIL_API ILboolean FX_ILAPI ilLoadL(ILenum type, const void* lump, ILuint size) {
    return localDecode(type, static_cast<const unsigned char*>(lump), size);
}

QMIL_API ILboolean FX_ILAPI ilLoadImage(const char* file) {
    std::vector<unsigned char> bytes;
    if (!file || !*file || !localReadFile(file, &bytes)) return 0;
    return localDecode(localTypeOfName(file), bytes.data(), bytes.size());
}

QMIL_API ILboolean FX_ILAPI ilSaveImage(const char* file) {
    const QmilImage* img = localCurrent();
    if (!img || !file || !*file || img->data.empty()) return 0;
    ILenum type = localTypeOfName(file);
    if (type != FX_IL_PNG && type != FX_IL_JPG && type != FX_IL_BMP && type != FX_IL_TGA) return 0;
    if (!localOverwrite) {
        if (FILE* existing = fopen(file, "rb")) {
            fclose(existing);
            return 0;
        }
    }
    // Row 0 of an image at the lower left is the bottom row of the file.
    QmilImage out = *img;
    if (out.origin == FX_IL_ORIGIN_LOWER_LEFT) localFlipRows(&out);
    if (type == FX_IL_JPG && (out.channels == 2 || out.channels == 4)) {
        // JPEG has no alpha: the colour is written alone.
        QmilImage solid;
        solid.width = out.width, solid.height = out.height, solid.channels = out.channels == 2 ? 1 : 3;
        solid.data.resize(size_t(out.width) * out.height * solid.channels);
        for (size_t i = 0; i < size_t(out.width) * out.height; i++)
            localConvertPixel(&out.data[i * out.channels], out.channels, &solid.data[i * solid.channels], solid.channels);
        out = std::move(solid);
    }
    FILE* f = fopen(file, "wb");
    if (!f) return 0;
    int ok = 0;
    localWriteFailed = false;
    const int w = out.width, h = out.height, c = out.channels;
    if (type == FX_IL_JPG && c == 1) {
        // The start marker first, then the comment; stb's own start marker is skipped below.
        const size_t len = sizeof kGreyComment - 1;
        const unsigned char head[] = {0xFF, 0xD8, 0xFF, 0xFE, 0, static_cast<unsigned char>(len + 2)};
        fwrite(head, 1, sizeof head, f);
        fwrite(kGreyComment, 1, len, f);
        localSkipBytes = 2;
    }
    switch (type) {
        case FX_IL_PNG: ok = stbi_write_png_to_func(localWriteToFile, f, w, h, c, out.data.data(), w * c); break;
        case FX_IL_JPG: ok = stbi_write_jpg_to_func(localWriteToFile, f, w, h, c, out.data.data(), localJpgQuality); break;
        case FX_IL_BMP: ok = stbi_write_bmp_to_func(localWriteToFile, f, w, h, c, out.data.data()); break;
        case FX_IL_TGA: ok = stbi_write_tga_to_func(localWriteToFile, f, w, h, c, out.data.data()); break;
    }
    localSkipBytes = 0;
    bool written = ok && !localWriteFailed && !ferror(f);
    if (fclose(f) != 0) written = false;
    if (!written) remove(file);  // no half-written picture left behind
    return written ? 1 : 0;
}

QMIL_API ILuint FX_ILAPI ilCloneCurImage() {
    const QmilImage* img = localCurrent();
    if (!img) return 0;
    QmilImage copy = *img;
    ILuint id = 0;
    ilGenImages(1, &id);
    localImages[id] = std::move(copy);
    return id;
}

QMIL_API ILboolean FX_ILAPI ilConvertImage(ILenum format, ILenum type) {
    QmilImage* img = localCurrent();
    int dc = qmilChannelsOf(format);
    if (!img || !dc || type != FX_IL_UNSIGNED_BYTE || img->channels == 0) return 0;
    if (dc == img->channels) return 1;
    size_t n = size_t(img->width) * img->height;
    std::vector<unsigned char> out(n * dc);
    for (size_t i = 0; i < n; i++) localConvertPixel(&img->data[i * img->channels], img->channels, &out[i * dc], dc);
    img->data.swap(out);
    img->channels = dc;
    return 1;
}

QMIL_API ILuint FX_ILAPI ilCopyPixels(ILuint x, ILuint y, ILuint z, ILuint w, ILuint h, ILuint d, ILenum format,
                                       ILenum type, void* data) {
    const QmilImage* img = localCurrent();
    int dc = qmilChannelsOf(format);
    ILint cx = ILint(x), cy = ILint(y);
    if (!img || !data || !dc || type != FX_IL_UNSIGNED_BYTE || z != 0 || d != 1 || x > 0x7FFFFFFF ||
        y > 0x7FFFFFFF || !localClip(img, &cx, &cy, &w, &h))
        return 0;
    unsigned char* out = static_cast<unsigned char*>(data);
    for (ILuint r = 0; r < h; r++)
        for (ILuint col = 0; col < w; col++)
            localConvertPixel(&img->data[(size_t(cy + r) * img->width + cx + col) * img->channels], img->channels,
                              out + (size_t(r) * w + col) * dc, dc);
    return w * h * ILuint(dc);
}

QMIL_API void FX_ILAPI ilSetPixels(ILint x, ILint y, ILint z, ILuint w, ILuint h, ILuint d, ILenum format,
                                    ILenum type, void* data) {
    QmilImage* img = localCurrent();
    int sc = qmilChannelsOf(format);
    ILuint fullW = w;
    if (!img || !data || !sc || type != FX_IL_UNSIGNED_BYTE || z != 0 || d != 1 || !localClip(img, &x, &y, &w, &h))
        return;
    const unsigned char* in = static_cast<const unsigned char*>(data);
    for (ILuint r = 0; r < h; r++)
        for (ILuint col = 0; col < w; col++)
            localConvertPixel(in + (size_t(r) * fullW + col) * sc, sc,
                              &img->data[(size_t(y + r) * img->width + x + col) * img->channels], img->channels);
}

QMIL_API ILubyte* FX_ILAPI ilGetData() {
    QmilImage* img = localCurrent();
    return img && !img->data.empty() ? img->data.data() : nullptr;
}

QMIL_API ILboolean FX_ILAPI ilTexImage(ILuint w, ILuint h, ILuint d, ILubyte bpp, ILenum format, ILenum type,
                                        void* data) {
    QmilImage* img = localCurrent();
    int c = qmilChannelsOf(format);
    if (!img || w == 0 || h == 0 || d != 1 || c == 0 || c != bpp || type != FX_IL_UNSIGNED_BYTE) return 0;
    if (uint64_t(w) * h * c > 0x40000000ull) return 0;  // 1 GB: more is a mistake, not a picture
    QmilImage fresh;
    fresh.width = int(w), fresh.height = int(h), fresh.channels = c;
    fresh.origin = FX_IL_ORIGIN_LOWER_LEFT;
    size_t bytes = size_t(w) * h * c;
    if (data)
        fresh.data.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + bytes);
    else
        fresh.data.assign(bytes, 0);
    *img = std::move(fresh);
    return 1;
}
