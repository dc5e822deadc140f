// Compiling an engine model file for a package: the model is read through the device-less
// environment (which reads its .mtl material library), the library's pictures are found beside
// the library and registered, the library is compiled into an entry of its own, and the model is
// written again, naming its library by entry number.
#include <cerrno>
#include <cstring>

#include "base/package.h"
#include "builder.h"
#include "cleanup.h"
#include "files.h"
#include "geometry/model.h"
#include "image/material.h"
#include "image/matlib.h"
#include "model_file.h"
#include "qmpack.h"
#include "scratch.h"

bool QMPackBuilder::PreparePictures(FXMatlib* lib, const std::string& mtl) {
    if (!lib || lib->compiledFor == pkg->serial) return true;  // its pictures are entries already
    if (heldLibs.insert(lib).second) lib->refCount++;  // kept for the other models that share it
    NoteInput(mtl, "a material library");
    std::string mtlDir = fxDirOf(mtl);
    for (int i = 0; i < lib->GetCount(); i++) {
        FXMaterial* mat = lib->GetMaterial(i);
        if (!mat || mat->textureFile.IsEmpty()) continue;
        std::string picture = fxAbsolutePath(fxJoinPath(mtlDir, mat->textureFile.c_str()));
        std::string readBy;
        std::string at = Shown(mtl) + ": material '" + mat->name.c_str() + "'";
        if (!Registerable(at, picture, &readBy)) return false;
        if (picture.size() > size_t(FXStr::kCapacity) || readBy.size() > size_t(FXStr::kCapacity))
            return qmpackRefuse("%s: path too long for a package name (%zu characters): %s", at.c_str(),
                                picture.size(), picture.c_str());
        mat->textureFile.Set(picture.c_str());
    }
    return true;
}

bool QMPackBuilder::CompileLibrary(const std::string& where, FXModel* m) {
    FXMatlib* lib = m->matlib.Get();
    if (!lib) return true;
    bool fresh = lib->compiledFor != pkg->serial;
    std::string mtlShown = Shown(lib->requestedName.c_str());
    if (fresh) {
        // Pictures first, each on a free number; the engine's compile step then finds them by
        // name. A picture registered before (in this build or, through the names file, in the
        // one that made the package) keeps its number; a new one is registered by the path the
        // engine reads it through.
        for (int i = 0; i < lib->GetCount(); i++) {
            FXMaterial* mat = lib->GetMaterial(i);
            if (!mat || mat->textureFile.IsEmpty()) continue;
            std::string source = mat->textureFile.c_str();
            std::string name = pkg->names.FindId(source.c_str()) >= 0 ? source : linkOf[source];
            int number = 0;
            if (!RegisterFree(where, name, &number)) return false;
            mat->textureFile.Set(name.c_str());
        }
        // The stored library name is only a label: the library's own file name, not where it
        // lies on this machine, so a package builds the same anywhere.
        lib->name.Set(mtlShown.c_str());
    }
    pkg->sourceDir.Set(scratch->Dir().c_str());
    SkipTaken();
    int before = pkg->names.names.top;
    if (!m->Compile(pkg)) {
        scratch->ReportEngineErrors(where);
        return qmpackRefuse("%s: the material library %s could not be compiled", where.c_str(), mtlShown.c_str());
    }
    for (int i = 0; i < pkg->tmpFiles.top; i++) qmpackTrackTemp(pkg->tmpFiles.Get(i));
    if (!scratch->ReportEngineErrors(where)) return false;
    int number = 0;
    if (!fxParseEntryName(m->matlibName, &number) || (fresh && pkg->names.names.top == before))
        return qmpackRefuse("%s: no free entry number left for the material library %s", where.c_str(),
                            mtlShown.c_str());
    if (fresh) {
        // The library was registered under its temporary file: name it after its .mtl file.
        std::string label = mtlShown;
        for (int k = 2; LabelUsed(label); k++) label = mtlShown + "." + std::to_string(k);
        shown[pkg->names.names.Get(pkg->names.names.top - 1)] = label;
    }
    return true;
}

bool QMPackBuilder::CompileModel(const QMPackManifestEntry& e) {
    std::string where = manifest->Where(e.line);
    FXModel m;
    std::string mtl;
    NoteInput(e.path, "a source of " + where);
    if (!qmpackReadModelFile(where, e.path, &env, scratch, &m, &mtl) || !PreparePictures(m.matlib.Get(), mtl) ||
        !CompileLibrary(where, &m))
        return false;
    std::string out = scratch->NewPath(".xm");
    errno = 0;
    if (!m.Save(out.c_str())) {
        int e = errno;  // before the engine's log is read
        scratch->TakeEngineErrors();
        return qmpackRefuse("%s: cannot write the compiled model in %s (%s)", where.c_str(), scratch->Dir().c_str(),
                            e ? strerror(e) : "write error");
    }
    return AddCompiled(e.number, out);
}

bool QMPackBuilder::AddCompiled(int number, const std::string& file) {
    long long size = 0;
    std::string why;
    if (!qmpackCheckInput(file, &why, &size)) return qmpackRefuse("%s: %s", file.c_str(), why.c_str());
    bytes += size;
    compiled++;
    pkg->AddDataFile(number, file.c_str());
    return true;
}
