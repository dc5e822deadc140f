// Picture headers: PNG (IHDR), JPEG (the first start-of-frame segment), GIF (logical screen),
// BMP (information header) and TGA (the 18-byte header).
#include "image/picture_header.h"

#include <climits>
#include <cstring>

#include "base/package.h"

namespace {

unsigned localBE16(const unsigned char* p) { return unsigned(p[0]) << 8 | p[1]; }
unsigned localBE32(const unsigned char* p) { return localBE16(p) << 16 | localBE16(p + 2); }
unsigned localLE16(const unsigned char* p) { return unsigned(p[1]) << 8 | p[0]; }
int localLE32(const unsigned char* p) { return int(localLE16(p) | localLE16(p + 2) << 16); }

const unsigned char kPngSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool localPng(const unsigned char* h, size_t n, FXPictureHeader* out, std::string* problem) {
    if (n < 26 || memcmp(h + 12, "IHDR", 4) != 0) {
        *problem = "PNG picture without its header (IHDR)";
        return false;
    }
    out->width = int(localBE32(h + 16));
    out->height = int(localBE32(h + 20));
    static const char* kLayouts[] = {"greyscale", "", "RGB", "palette", "greyscale+alpha", "", "RGBA"};
    unsigned colour = h[25];
    out->layout = colour < 7 ? kLayouts[colour] : "";
    return true;
}

bool localJpeg(const FXPictureRead& read, long long size, FXPictureHeader* out, std::string* problem) {
    long long at = 2;
    for (int segment = 0; segment < 4096 && at + 4 <= size; segment++) {
        unsigned char m[4];
        if (!read(at, 4, m)) break;
        if (m[0] != 0xFF) break;
        if (m[1] == 0xFF) {  // fill byte
            at++;
            continue;
        }
        unsigned marker = m[1];
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) break;  // end of picture or scan data before any frame
        unsigned length = localBE16(m + 2);
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            unsigned char f[6];
            if (length < 8 || !read(at + 4, 6, f)) break;
            out->height = int(localBE16(f + 1));
            out->width = int(localBE16(f + 3));
            out->layout = f[5] == 1 ? "greyscale" : f[5] == 3 ? "RGB" : f[5] == 4 ? "CMYK" : "";
            return true;
        }
        if (length < 2) break;
        at += 2 + length;
    }
    *problem = "JPEG picture without a frame header (cut short or damaged)";
    return false;
}

bool localBmp(const unsigned char* h, size_t n, FXPictureHeader* out, std::string* problem) {
    if (n < 26) {
        *problem = "BMP picture cut short";
        return false;
    }
    int header = localLE32(h + 14);
    if (header == 12) {
        out->width = int(localLE16(h + 18));
        out->height = int(localLE16(h + 20));
    } else if (header >= 40 && n >= 30) {
        out->width = localLE32(h + 18);
        out->height = localLE32(h + 22);
        if (out->height == INT_MIN) {  // no such picture, and a height that cannot be negated
            *problem = "BMP picture with an impossible height";
            return false;
        }
        if (out->height < 0) out->height = -out->height;  // rows stored top first
        unsigned bits = localLE16(h + 28);
        out->layout = bits == 32 ? "RGBA" : bits == 24 ? "RGB" : bits <= 8 ? "palette" : "";
    } else {
        *problem = "BMP picture with an unknown header";
        return false;
    }
    return true;
}

bool localTga(const unsigned char* h, size_t n, FXPictureHeader* out, std::string* problem) {
    unsigned type = n >= 18 ? h[2] : 0;
    bool known = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    unsigned bits = n >= 18 ? h[16] : 0;
    if (!known || h[1] > 1 || !(bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32)) {
        *problem = "not a TGA picture (no plausible header)";
        return false;
    }
    out->width = int(localLE16(h + 12));
    out->height = int(localLE16(h + 14));
    out->layout = bits == 32 ? "RGBA" : (type == 3 || type == 11) ? "greyscale" : (type == 1 || type == 9) ? "palette" : "RGB";
    return true;
}

const long long kHeadBytes = 64;  // enough for every header read here but the JPEG's (read on demand)

// "GIF87a" or "GIF89a" in any letter case: the image library takes a GIF by its signature that
// way, so every check made before it must see the same pictures as GIFs.
bool localGifSignature(const unsigned char* h) {
    char sig[6];
    for (int i = 0; i < 6; i++) sig[i] = char(h[i] >= 'a' && h[i] <= 'z' ? h[i] - 'a' + 'A' : h[i]);
    return memcmp(sig, "GIF87A", 6) == 0 || memcmp(sig, "GIF89A", 6) == 0;
}

}  // namespace

std::string fxSniffPicture(const unsigned char* h, size_t n) {
    if (n >= 8 && memcmp(h, kPngSig, 8) == 0) return "png";
    if (n >= 3 && h[0] == 0xFF && h[1] == 0xD8 && h[2] == 0xFF) return "jpg";
    if (n >= 6 && localGifSignature(h)) return "gif";
    if (n >= 18 && h[0] == 'B' && h[1] == 'M') return "bmp";
    return "";
}

int fxPictureType(const std::string& kind) {
    if (kind == "png") return FX_PACKAGE_TYPE_PNG;
    if (kind == "jpg") return FX_PACKAGE_TYPE_JPG;
    if (kind == "gif") return FX_PACKAGE_TYPE_GIF;
    if (kind == "bmp") return FX_PACKAGE_TYPE_BMP;
    if (kind == "tga") return FX_PACKAGE_TYPE_TGA;
    return FX_PACKAGE_TYPE_RECORD;
}

std::string fxPictureKind(int type) {
    switch (type) {
        case FX_PACKAGE_TYPE_PNG: return "png";
        case FX_PACKAGE_TYPE_JPG: return "jpg";
        case FX_PACKAGE_TYPE_GIF: return "gif";
        case FX_PACKAGE_TYPE_BMP: return "bmp";
        case FX_PACKAGE_TYPE_TGA: return "tga";
        default: return "";
    }
}

bool fxReadPictureHeader(const FXPictureRead& read, long long size, const std::string& kind, FXPictureHeader* out,
                       std::string* problem) {
    *out = FXPictureHeader();
    out->kind = kind;
    // On the stack: the saver checks every movie frame it decodes, and frames allocate nothing.
    unsigned char head[kHeadBytes + 1] = {};
    size_t n = size_t(size < kHeadBytes ? size : kHeadBytes);
    if (n > 0 && !read(0, n, head)) {
        *problem = "cannot be read";
        return false;
    }
    std::string found = fxSniffPicture(head, n);
    if (kind != "tga" && found != kind) {
        static const char* kNames[][2] = {{"png", "PNG"}, {"jpg", "JPEG"}, {"gif", "GIF"}, {"bmp", "BMP"}};
        std::string want = kind, got = found;
        for (auto& k : kNames) {
            if (kind == k[0]) want = k[1];
            if (found == k[0]) got = k[1];
        }
        *problem = "not a " + want + " picture" + (got.empty() ? "" : " (its bytes are a " + got + " picture)");
        return false;
    }
    if (kind == "png") return localPng(head, n, out, problem);
    if (kind == "jpg") return localJpeg(read, size, out, problem);
    if (kind == "gif") {
        if (n < 10) {
            *problem = "GIF picture cut short";
            return false;
        }
        out->width = int(localLE16(head + 6));
        out->height = int(localLE16(head + 8));
        out->layout = "palette";
        return true;
    }
    if (kind == "bmp") return localBmp(head, n, out, problem);
    return localTga(head, n, out, problem);
}

std::string fxPictureTooLarge(const FXPictureHeader& pic) {
    if (pic.width <= kFXMaxPictureSide && pic.height <= kFXMaxPictureSide &&
        (long long)pic.width * pic.height <= kFXMaxPicturePixels)
        return "";
    return std::to_string(pic.width) + " x " + std::to_string(pic.height) + " pixels, more than a picture may have (" +
           std::to_string(kFXMaxPictureSide) + " a side, " + std::to_string(kFXMaxPicturePixels) + " in all)";
}
