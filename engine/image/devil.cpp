// Binding and unbinding of the DevIL and ILU libraries. The trace lines name the libraries the
// way the log has always named them ("devil.dll", "ilu.dll"), whatever the platform's file names.
#include "image/devil.h"

#include <mutex>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/input_file.h"
#include "base/library.h"
#include "base/paths.h"
#include "base/strings.h"
#include "base/trace.h"
#include "image/picture_header.h"

FXDevilImports fxil;

namespace {

void* localDevil = nullptr;
void* localIlu = nullptr;
bool localInitialised = false;  // ilInit ran: ilShutDown is due before unloading
FXStr localDevilName;
FXStr localIluName;

const char* localName(const FXStr& override, const char* platform) {
    return override.len > 0 ? override.text : platform;
}

// Looks one entry point up and stores it in slot; false when the library lacks it.
template <typename F>
bool localBind(void* library, const char* name, F& slot) {
    void* p = fxGetProcAddress(library, name);
    if (!p) return false;
    slot = reinterpret_cast<F>(p);
    return true;
}

bool localLoadImports() {
    trc("loading devil\n");
    localDevil = fxLoadLibrary(localName(localDevilName, fxDevilPlatformName()));
    if (!localDevil) {
        err("failed to load devil.dll\n");
        return false;
    }
    localIlu = fxLoadLibrary(localName(localIluName, fxIluPlatformName()));
    if (!localIlu) {
        err("failed to load ilu.dll\n");
        fxFreeLibrary(localDevil);
        localDevil = nullptr;
        return false;
    }
    void* il = localDevil;
    void* ilu = localIlu;
    if (!localBind(il, "ilInit", fxil.ilInit) || !localBind(il, "ilShutDown", fxil.ilShutDown) ||
        !localBind(il, "ilEnable", fxil.ilEnable) || !localBind(il, "ilDisable", fxil.ilDisable) ||
        !localBind(il, "ilSetInteger", fxil.ilSetInteger) || !localBind(il, "ilGenImages", fxil.ilGenImages) ||
        !localBind(il, "ilDeleteImages", fxil.ilDeleteImages) || !localBind(il, "ilBindImage", fxil.ilBindImage) ||
        !localBind(il, "ilGetInteger", fxil.ilGetInteger) || !localBind(il, "ilLoadImage", fxil.ilLoadImage) ||
        !localBind(il, "ilLoadL", fxil.ilLoadL) || !localBind(il, "ilSaveImage", fxil.ilSaveImage) ||
        !localBind(il, "ilCloneCurImage", fxil.ilCloneCurImage) ||
        !localBind(il, "ilConvertImage", fxil.ilConvertImage) || !localBind(il, "ilCopyPixels", fxil.ilCopyPixels) ||
        !localBind(il, "ilSetPixels", fxil.ilSetPixels) || !localBind(il, "ilGetData", fxil.ilGetData) ||
        !localBind(ilu, "iluScale", fxil.iluScale) || !localBind(ilu, "iluImageParameter", fxil.iluImageParameter) ||
        !localBind(il, "ilTexImage", fxil.ilTexImage))
        return false;  // the caller unloads
    trc("loading ok\n");
    return true;
}

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t localBigEndian(const unsigned char* b) {
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

// Walks the chunks of a PNG of `size` bytes whose chunk headers (length, type) read(pos, out8)
// fetches: true when every chunk lies whole within the size, up to and including IEND.
template <typename Read>
bool localPngChunksWhole(long size, Read read) {
    long pos = 8;
    unsigned char head[8];
    while (size - pos >= 12 && read(pos, head)) {
        uint32_t length = localBigEndian(head);
        if (length > 0x7FFFFFFFu || long(length) > size - pos - 12) return false;
        if (memcmp(head + 4, "IEND", 4) == 0) return true;
        pos += 12 + long(length);
    }
    return false;
}

unsigned localLittle16(const unsigned char* b) { return unsigned(b[0]) | unsigned(b[1]) << 8; }

// Skips the data sub-blocks starting at *pos (each a length byte and as many bytes, up to an
// empty one); false when they run past the size.
template <typename Read>
bool localSkipSubBlocks(long size, Read read, long* pos) {
    unsigned char n = 0;
    do {
        if (*pos >= size || !read(*pos, 1, &n)) return false;
        *pos += 1 + long(n);
    } while (n != 0);
    return *pos <= size;
}

// Walks the blocks of a GIF of `size` bytes that read(pos, n, out) fetches: true when every
// block lies whole within the size up to the trailer, and every picture of it lies inside its
// logical screen with a code size LZW allows.
template <typename Read>
bool localGifFramesInside(long size, Read read) {
    unsigned char b[10];
    if (size < 13 || !read(6, 7, b)) return false;
    const unsigned screenW = localLittle16(b), screenH = localLittle16(b + 2);
    long pos = 13;
    if (b[4] & 0x80) pos += 3L << ((b[4] & 7) + 1);  // the global colour table
    while (pos < size && read(pos, 1, b)) {
        if (b[0] == 0x3B) return true;  // the trailer
        if (b[0] == 0x21) {             // an extension: its label, then sub-blocks
            pos += 2;
            if (!localSkipSubBlocks(size, read, &pos)) return false;
            continue;
        }
        if (b[0] != 0x2C || size - pos < 11 || !read(pos + 1, 10, b)) return false;
        unsigned left = localLittle16(b), top = localLittle16(b + 2);
        unsigned w = localLittle16(b + 4), h = localLittle16(b + 6);
        if (w == 0 || h == 0 || left + w > screenW || top + h > screenH) return false;
        pos += 10;
        if (b[8] & 0x80) pos += 3L << ((b[8] & 7) + 1);  // a local colour table
        unsigned char codeSize = 0;
        if (pos >= size || !read(pos, 1, &codeSize) || codeSize < 2 || codeSize > 11) return false;
        pos += 1;
        if (!localSkipSubBlocks(size, read, &pos)) return false;
    }
    return false;
}

bool localIsGif(const unsigned char* head, long size) {
    return size >= 6 && fxSniffPicture(head, size_t(size)) == "gif";
}

// Why a picture of kind (sniffed when empty) is too large to decode, from its header; "" when it
// is not, or when its header cannot be read (the library then decides).
std::string localTooLarge(std::string kind, long size, const FXPictureRead& read) {
    unsigned char head[32] = {};
    size_t n = size_t(size < 32 ? size : 32);
    if (kind.empty() && read(0, n, head)) kind = fxSniffPicture(head, n);
    FXPictureHeader pic;
    std::string problem;
    if (kind == "tga" && size >= 18 && read(0, 18, head)) {
        // The library takes a TGA whatever the header's other fields say: its size decides, and
        // an uncompressed one must hold its pixels (the library makes up the ones that are not
        // there, however many the header claims).
        pic.width = int(localLittle16(head + 12));
        pic.height = int(localLittle16(head + 14));
        long long colourMap = head[1] ? (long long)localLittle16(head + 5) * ((head[7] + 7) / 8) : 0;
        long long pixels = (long long)pic.width * pic.height * ((head[16] + 7) / 8);
        bool uncompressed = head[2] >= 1 && head[2] <= 3;
        std::string large = fxPictureTooLarge(pic);
        if (large.empty() && uncompressed && 18 + head[0] + colourMap + pixels > size)
            return "a TGA shorter than its pixels";
        return large;
    }
    if (kind.empty() || !fxReadPictureHeader(read, size, kind, &pic, &problem)) return "";
    return fxPictureTooLarge(pic);
}

void localUnloadImports() {
    trc("unload devil\n");
    if (localDevil) {
        if (localInitialised && fxil.ilShutDown) fxil.ilShutDown();
        localInitialised = false;
        fxFreeLibrary(localDevil);
        localDevil = nullptr;
    }
    if (localIlu) {
        fxFreeLibrary(localIlu);
        localIlu = nullptr;
    }
    memset(&fxil, 0, sizeof(fxil));
}

}  // namespace

bool fxDevilLoaded() { return localDevil && localIlu && fxil.ilTexImage; }

namespace {

std::recursive_mutex& localDevilMutex() {
    static std::recursive_mutex m;
    return m;
}

}  // namespace

FXDevilLock::FXDevilLock() { localDevilMutex().lock(); }
FXDevilLock::~FXDevilLock() { localDevilMutex().unlock(); }

bool fxLoadDevil() {
    if (fxDevilLoaded()) return true;
    if (!localLoadImports()) {
        err("failed to load devil libraries\n");
        localUnloadImports();
        return false;
    }
    fxil.ilInit();
    localInitialised = true;
    return true;
}

void fxUnloadDevil() { localUnloadImports(); }

void fxSetDevilLibraryNames(const char* devil, const char* ilu) {
    localDevilName.Set(devil ? devil : "");
    localIluName.Set(ilu ? ilu : "");
}

bool fxPngWhole(const unsigned char* bytes, long size) {
    if (!bytes || size < 8 || memcmp(bytes, kPngSignature, 8) != 0) return true;
    return localPngChunksWhole(size, [&](long pos, unsigned char* out) {
        memcpy(out, bytes + pos, 8);
        return true;
    });
}

bool fxGifFramesInside(const unsigned char* bytes, long size) {
    if (!bytes || !localIsGif(bytes, size)) return true;
    return localGifFramesInside(size, [&](long pos, long n, unsigned char* out) {
        if (pos < 0 || n < 0 || n > size - pos) return false;
        memcpy(out, bytes + pos, size_t(n));
        return true;
    });
}

bool fxDevilLoadLump(unsigned type, const void* bytes, long size) {
    if (!fxDevilLoaded() || !bytes || size <= 0 || size > 0x7FFFFFFFL) return false;
    if (!fxPngWhole(static_cast<const unsigned char*>(bytes), size)) {
        trc("picture refused: a PNG cut short (%ld bytes)\n", size);
        return false;
    }
    if (!fxGifFramesInside(static_cast<const unsigned char*>(bytes), size)) {
        trc("picture refused: a GIF whose blocks or pictures do not lie inside it (%ld bytes)\n", size);
        return false;
    }
    std::string tooLarge = localTooLarge(fxPictureKind(int(type)), size, [&](long long at, size_t n, unsigned char* out) {
        if (at < 0 || (long long)n > size - at) return false;
        memcpy(out, static_cast<const unsigned char*>(bytes) + at, n);
        return true;
    });
    if (!tooLarge.empty()) {
        trc("picture refused: %s\n", tooLarge.c_str());
        return false;
    }
    return fxil.ilLoadL(ILenum(type), bytes, ILuint(size)) != 0;
}

bool fxDevilLoadFile(const char* file) {
    if (!fxDevilLoaded() || !file || !*file) return false;
    // Only a regular file reaches the library, which opens it again by name and would block on
    // a named pipe.
    FILE* f = fxOpenInputFile(file);
    if (!f) return false;
    {
        unsigned char sig[8];
        bool whole = true, inside = true;
        bool head = fread(sig, 1, 8, f) == 8;
        long size = head && fseek(f, 0, SEEK_END) == 0 ? ftell(f) : 0;
        auto read = [&](long pos, long n, unsigned char* out) {
            return fseek(f, pos, SEEK_SET) == 0 && fread(out, 1, size_t(n), f) == size_t(n);
        };
        if (head && memcmp(sig, kPngSignature, 8) == 0)
            whole = size > 0 && localPngChunksWhole(size, [&](long pos, unsigned char* out) { return read(pos, 8, out); });
        if (head && localIsGif(sig, 8)) inside = localGifFramesInside(size, read);
        std::string ext = fxExtOf(file);
        std::string tooLarge = localTooLarge(ext == "tga" ? "tga" : "", size, [&](long long at, size_t n, unsigned char* out) {
            return read(long(at), long(n), out);
        });
        fclose(f);
        if (!tooLarge.empty()) {
            trc("picture %s refused: %s\n", file, tooLarge.c_str());
            return false;
        }
        if (!whole) {
            trc("picture %s refused: a PNG cut short\n", file);
            return false;
        }
        if (!inside) {
            trc("picture %s refused: a GIF whose blocks or pictures do not lie inside it\n", file);
            return false;
        }
    }
    return fxil.ilLoadImage(file) != 0;
}
