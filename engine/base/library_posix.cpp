// Shared libraries through dlopen/dlsym/dlclose. Symbols are resolved at load time (RTLD_NOW) so a
// library with missing dependencies fails to load instead of failing at the first call.
#include "base/library.h"

#include <dlfcn.h>

namespace {

#ifdef QM_KEEP_LIBRARIES
// Sanitizer builds never unload what they bound: LeakSanitizer reports a leftover of an unloaded
// library with frames it cannot name, so it could be told neither from ours nor suppressed by the
// library's name. Kept loaded, the library's frames name it.
const int kKeep = RTLD_NODELETE;
#else
const int kKeep = 0;
#endif

}  // namespace

void* fxLoadLibrary(const char* name) {
    if (!name || !*name) return nullptr;
    return dlopen(name, RTLD_NOW | RTLD_LOCAL | kKeep);
}

void* fxGetProcAddress(void* library, const char* name) {
    if (!library || !name) return nullptr;
    return dlsym(library, name);
}

void fxFreeLibrary(void* library) {
    if (library) dlclose(library);
}
