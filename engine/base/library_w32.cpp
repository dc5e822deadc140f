// Shared libraries through LoadLibraryA/GetProcAddress/FreeLibrary.
#include <windows.h>

#include "base/library.h"

void* fxLoadLibrary(const char* name) {
    if (!name || !*name) return nullptr;
    return reinterpret_cast<void*>(LoadLibraryA(name));
}

void* fxGetProcAddress(void* library, const char* name) {
    if (!library || !name) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void fxFreeLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}
