// FXModel's package compile step: the model's material library is compiled (its pictures become
// entry numbers), written to a fresh temporary file in the package's source directory and
// registered with the package, and the model then names the library by its entry number.
#include <cstdio>
#include <cstdlib>

#include "base/other.h"
#include "base/package.h"
#include "base/paths.h"
#include "base/trace.h"
#include "geometry/model.h"
#include "image/matlib.h"

namespace {

// Reserves a file name that did not exist before in dir (opened exclusively, so two tools
// compiling into the same folder never share one); false when none could be made.
bool localReserveTmpFile(const char* dir, FXStr* path) {
    static unsigned counter = 0;
    unsigned seed = unsigned(fxGetTimeMillis()) ^ unsigned(rand());
    for (int attempt = 0; attempt < 100; attempt++) {
        char file[64];
        snprintf(file, sizeof file, "qmlib_%08x_%u.tmp", seed, counter++);
        const char* joined = fxCombinePaths(dir, file);
        if (!joined) return false;
        path->Set(joined);
        FILE* f = fopen(path->c_str(), "wbx");
        if (f) {
            fclose(f);
            return true;
        }
    }
    return false;
}

}  // namespace

bool FXModel::Compile(FXPackage* pkg) {
    if (!pkg || !matlib) return false;
    matlib->Compile(pkg);
    if (!matlib->compiledEntry.IsEmpty()) {  // another model sharing the library registered it
        matlibName = matlib->compiledEntry;
        return true;
    }
    const char* dir = pkg->sourceDir.IsEmpty() ? "." : pkg->sourceDir.c_str();
    FXStr path;
    if (!localReserveTmpFile(dir, &path)) {
        err(FX_ERR_IO, "model '%s': no temporary file for its material library in %s\n", name.c_str(), dir);
        return false;
    }
    if (!matlib->Save(path)) {
        err(FX_ERR_IO, "model '%s': material library could not be written to %s\n", name.c_str(), path.c_str());
        remove(path);
        return false;
    }
    pkg->AddTmpFile(path);
    pkg->AddDataFile1(&path);
    matlibName = path;
    matlib->compiledEntry = path;
    return true;
}
