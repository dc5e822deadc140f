// Compiling an engine model file for a package: the model is read through the device-less
// environment (which reads its .mtl material library), the library's pictures are found beside
// the library and registered, the library is compiled into an entry of its own, and the model is
// written again, naming its library by entry number.
#include <unistd.h>

#include <cstring>

#include "base/binio.h"
#include "base/package.h"
#include "builder.h"
#include "cleanup.h"
#include "files.h"
#include "geometry/model.h"
#include "image/material.h"
#include "image/matlib.h"
#include "qmpack.h"
#include "scratch.h"

bool QMPackBuilder::LoadModel(const std::string& where, const std::string& path, FXModel* m) {
    std::string why;
    long long size = 0;
    if (!qmpackCheckInput(path, &why, &size))
        return qmpackRefuse("%s: cannot read %s (%s)", where.c_str(), path.c_str(), why.c_str());
    int fd = qmpackOpenInput(path, &why);
    unsigned char magic[8] = {};
    bool readable = fd >= 0 && size >= 8 && qmpackReadAt(fd, 0, magic, 8);
    if (fd >= 0) close(fd);
    if (!readable || fxGetI32(magic) != 4 || (memcmp(magic + 4, "xm02", 4) != 0 && memcmp(magic + 4, "xm03", 4) != 0))
        return qmpackRefuse("%s: %s is not an engine model file (it does not start with xm02 or xm03)%s",
                            where.c_str(), path.c_str(),
                            size > 0 && (magic[0] == '#' || magic[0] == 'v' || magic[0] == 'o')
                                ? "; an OBJ file is converted with 'qmpack import-obj'"
                                : "");
    NoteInput(path, "a source of " + where);

    std::string abs = qmpackAbsolute(path);
    env.baseDir = qmpackDirOf(abs);
    scratch->TakeEngineErrors();
    m->Load(abs.c_str());
    if (m->matlibName.IsEmpty()) {
        scratch->TakeEngineErrors();
        return EngineComplaints(where);
    }
    std::string mtl = qmpackAbsolute(qmpackJoin(env.baseDir, m->matlibName.c_str()));
    if (!qmpackCheckInput(mtl, &why)) {
        scratch->TakeEngineErrors();
        return qmpackRefuse("%s: %s names the material library %s, which cannot be read (%s)", where.c_str(),
                            path.c_str(), mtl.c_str(), why.c_str());
    }
    if (!EngineComplaints(where + ": " + path)) return false;
    NoteInput(mtl, "the material library of " + where);
    m->UpdateMeshes();

    FXMatlib* lib = m->matlib;
    if (!lib || lib->compiledFor == pkg->serial) return true;  // its pictures are entries already
    if (heldLibs.insert(lib).second) lib->refCount++;  // kept for the other models that share it
    std::string mtlDir = qmpackDirOf(mtl);
    for (int i = 0; i < lib->GetCount(); i++) {
        FXMaterial* mat = lib->GetMaterial(i);
        if (!mat || mat->textureFile.IsEmpty()) continue;
        std::string picture = qmpackAbsolute(qmpackJoin(mtlDir, mat->textureFile.c_str()));
        std::string readBy;
        std::string at = Shown(mtl) + ": material '" + mat->name.c_str() + "'";
        if (!Registerable(at, picture, &readBy)) return false;
        if (picture.size() > size_t(FXStr::kCapacity))
            return qmpackRefuse("%s: path too long for a package name (%zu characters): %s", at.c_str(),
                                picture.size(), picture.c_str());
        mat->textureFile.Set(picture.c_str());
    }
    return true;
}

bool QMPackBuilder::CompileLibrary(const std::string& where, FXModel* m) {
    FXMatlib* lib = m->matlib;
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
        EngineComplaints(where);
        return qmpackRefuse("%s: the material library %s could not be compiled", where.c_str(), mtlShown.c_str());
    }
    for (int i = 0; i < pkg->tmpFiles.top; i++) qmpackTrackTemp(pkg->tmpFiles.Get(i));
    if (!EngineComplaints(where)) return false;
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
    if (!LoadModel(where, e.path, &m) || !CompileLibrary(where, &m)) return false;
    std::string out = scratch->NewPath(".xm");
    if (!m.Save(out.c_str())) {
        scratch->TakeEngineErrors();
        return qmpackRefuse("%s: cannot write the compiled model in %s (%m)", where.c_str(), scratch->Dir().c_str());
    }
    long long size = 0;
    std::string why;
    qmpackCheckInput(out, &why, &size);
    bytes += size;
    compiled++;
    pkg->AddDataFile(e.number, out.c_str());
    return true;
}
