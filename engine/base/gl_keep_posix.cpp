// Keeping the OpenGL driver loaded: each loaded *_dri.so is opened once more, with RTLD_NOLOAD
// (only if already there) and RTLD_NODELETE (never unloaded after that).
#include "base/gl_keep.h"

#ifdef QM_KEEP_GL_DRIVER
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

int localCollect(dl_phdr_info* info, size_t, void* out) {
    const char* name = info->dlpi_name;
    size_t n = name ? strlen(name) : 0;
    if (n > 7 && strcmp(name + n - 7, "_dri.so") == 0) static_cast<std::vector<std::string>*>(out)->push_back(name);
    return 0;
}

}  // namespace

void fxKeepGLDriverLoaded() {
    std::vector<std::string> drivers;
    dl_iterate_phdr(localCollect, &drivers);  // the loader's lock is held here: open after
    for (const std::string& d : drivers) dlopen(d.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}
#else
void fxKeepGLDriverLoaded() {}
#endif
