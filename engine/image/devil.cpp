// Binding and unbinding of the DevIL and ILU libraries. The trace lines name the libraries the
// way the log has always named them ("devil.dll", "ilu.dll"), whatever the platform's file names.
#include "image/devil.h"

#include <cstring>

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
