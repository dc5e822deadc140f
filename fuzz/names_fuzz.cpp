// Fuzzes the names file reader: arbitrary bytes are loaded as a package's names file, every name
// read must be found again under a number, a new name is numbered after them, and the names are
// written (as a names file and as a C++ header) and the names file read back: the same count
// must return. The sanitizers catch any read outside the file's strings.
#include <cstdlib>

#include "fuzz_input.h"

namespace {

// A scratch file for the writers, removed at exit.
const char* localScratch() {
    static char path[] = "/tmp/names_fuzz.XXXXXX";
    static const int fd = [] {
        int f = mkstemp(path);
        if (f >= 0) atexit([] { unlink(path); });
        return f;
    }();
    return fd >= 0 ? path : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = qmFuzzFile(data, size);
    if (!path) return 0;
    FXPackage pkg;
    pkg.names.base = size > 0 ? data[0] * 100 : 0;
    pkg.LoadNames(path);
    const FXStrArray& names = pkg.names.names;
    for (int i = 0; i < names.top; i++)
        if (names.Get(i) && pkg.names.FindId(names.Get(i)) < 0) abort();
    int count = names.top;
    if (pkg.names.BuildId("fuzz-new-name") >= 0 && names.top != count + 1 && pkg.names.FindId("fuzz-new-name") < 0)
        abort();
    if (const char* scratch = localScratch()) {
        pkg.SaveNamesCpp(scratch);
        if (pkg.SaveNames(scratch)) {
            FXPackage back;
            back.LoadNames(scratch);
            if (back.names.names.top != names.top) abort();
        }
    }
    return 0;
}
