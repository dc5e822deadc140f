// Binding and unbinding of the DevIL and ILU libraries. The trace lines name the libraries the
// way the log has always named them ("devil.dll", "ilu.dll"), whatever the platform's file names.
#include "image/devil.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/input_file.h"
#include "base/library.h"
#include "base/strings.h"
#include "base/trace.h"

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

bool fxDevilLoadLump(unsigned type, const void* bytes, long size) {
    if (!fxDevilLoaded() || !bytes || size <= 0 || size > 0x7FFFFFFFL) return false;
    if (!fxPngWhole(static_cast<const unsigned char*>(bytes), size)) {
        trc("picture refused: a PNG cut short (%ld bytes)\n", size);
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
        bool whole = true;
        if (fread(sig, 1, 8, f) == 8 && memcmp(sig, kPngSignature, 8) == 0 && fseek(f, 0, SEEK_END) == 0) {
            long size = ftell(f);
            whole = size > 0 && localPngChunksWhole(size, [&](long pos, unsigned char* out) {
                        return fseek(f, pos, SEEK_SET) == 0 && fread(out, 1, 8, f) == 8;
                    });
        }
        fclose(f);
        if (!whole) {
            trc("picture %s refused: a PNG cut short\n", file);
            return false;
        }
    }
    return fxil.ilLoadImage(file) != 0;
}
