// Fuzzes the material library readers: arbitrary bytes are read as a library entry of a package,
// as a library file and as Wavefront .mtl text. Every library that loads must hold only materials
// findable by their own names (unless a name holds NUL bytes); a library file that loaded is
// written again and read back, and the same number of materials must return. No picture decoder
// is bound, so named pictures are not opened. The sanitizers catch any read outside the input.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "image/material.h"
#include "image/matlib.h"

namespace {

void localCheck(FXMatlib* lib) {
    for (int i = 0; i < lib->GetCount(); i++) {
        FXMaterial* m = lib->GetMaterial(i);
        if (!m) abort();
        const char* name = m->name.text;
        if (int(strlen(name)) != m->name.len) continue;  // a name holding NUL bytes is found by none
        FXMaterial* found = lib->FindMaterial(name);
        if (!found || !found->name.Compare(name)) abort();
        volatile float sum = m->ambient[3] + m->diffuse[3] + m->specular[3] + m->emission[3] + m->shininess;
        (void)sum;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FXPackage pkg;
    qmFuzzPackage(&pkg, data, size);
    {
        FXMatlib lib;
        lib.LoadC(nullptr, &pkg, "0");
        localCheck(&lib);
    }
    const char* path = qmFuzzFile(data, size);
    if (!path) return 0;
    {
        FXMatlib lib;
        if (lib.Load(nullptr, path)) {
            localCheck(&lib);
            char tmp[] = "/tmp/matlib_fuzz.XXXXXX";
            int fd = mkstemp(tmp);
            if (fd >= 0) {
                close(fd);
                FXMatlib back;
                if (!lib.Save(tmp) || !back.Load(nullptr, tmp) || back.GetCount() != lib.GetCount()) abort();
                unlink(tmp);
            }
        }
    }
    {
        FXMatlib lib;
        lib.LoadFromMtl(nullptr, path);
        localCheck(&lib);
    }
    return 0;
}
