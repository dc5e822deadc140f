// Shared libraries through dlopen/dlsym/dlclose. Symbols are resolved at load time (RTLD_NOW) so a
// library with missing dependencies fails to load instead of failing at the first call.
#include "base/library.h"

#include <dlfcn.h>

void* fxLoadLibrary(const char* name) {
    if (!name || !*name) return nullptr;
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* fxGetProcAddress(void* library, const char* name) {
    if (!library || !name) return nullptr;
    return dlsym(library, name);
}

void fxFreeLibrary(void* library) {
    if (library) dlclose(library);
}
