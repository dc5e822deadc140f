// Engine model files read for qmpack.
#include "model_file.h"

#include <unistd.h>

#include <cstring>

#include "base/binio.h"
#include "files.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "qmpack.h"
#include "scratch.h"
#include "tool_env.h"

bool qmpackStartsWith(const std::string& path, const char* magic) {
    std::string why;
    int fd = qmpackOpenInput(path, &why);
    if (fd < 0) return false;
    size_t n = strlen(magic);
    unsigned char head[16] = {};
    bool ok = n <= 12 && fxReadAt(fd, 0, head, 4 + n) && fxGetI32(head) == int(n) && memcmp(head + 4, magic, n) == 0;
    fxCloseInput(fd);
    return ok;
}

namespace {

// The head of a model file (magic, name and library name, three strings) lies inside the file.
bool localHeadFits(const std::string& path) {
    std::string why;
    long long size = 0;
    int fd = qmpackOpenInput(path, &why, &size);
    if (fd < 0) return false;
    long long at = 0;
    bool ok = true;
    for (int k = 0; k < 3 && ok; k++) {
        unsigned char b[4];
        ok = at + 4 <= size && fxReadAt(fd, at, b, 4);
        long long len = ok ? fxGetI32(b) : -1;
        ok = ok && len >= 0 && len <= 1023 && at + 4 + len <= size;
        at += 4 + len;
    }
    fxCloseInput(fd);
    return ok;
}

int localTriangles(const FXModel* m) {
    int n = 0;
    for (int i = 0; i < m->meshes.Count(); i++)
        if (const FXMesh* mesh = m->EnumMeshes(i)) n += mesh->indexCount / 3;
    return n;
}

}  // namespace

bool qmpackReadModelFile(const std::string& where, const std::string& path, QMPackEnv* env, QMPackScratch* scratch,
                         FXModel* m, std::string* mtl) {
    std::string why;
    if (!qmpackCheckInput(path, &why))
        return qmpackRefuse("%s: cannot read %s (%s)", where.c_str(), path.c_str(), why.c_str());
    if (!qmpackStartsWith(path, "xm02") && !qmpackStartsWith(path, "xm03")) {
        bool obj = fxExtOf(path) == "obj";
        return qmpackRefuse("%s: %s is not an engine model file (it does not start with xm02 or xm03)%s",
                            where.c_str(), path.c_str(),
                            obj ? "; an OBJ file is made into one with 'qmpack import-obj'" : "");
    }
    if (!localHeadFits(path))
        return qmpackRefuse("%s: %s: damaged model file (cut short in its name or library name)", where.c_str(),
                            path.c_str());
    std::string abs = fxAbsolutePath(path);
    env->baseDir = fxDirOf(abs);
    scratch->TakeEngineErrors();
    m->Load(env, abs.c_str());
    // A damaged file first: its library name may be damage too. The environment's complaint
    // about a library it cannot read is said better below.
    bool damaged = false;
    for (const FXError& e : scratch->TakeEngineErrors()) {
        if (e.code == FX_ERR_LIBRARY) continue;
        if (e.IsWarning()) {
            qmpackWarn("%s: %s: %s", where.c_str(), path.c_str(), e.Text().c_str());
            continue;
        }
        if (!damaged) qmpackFail("%s: %s: damaged model file (%s)", where.c_str(), path.c_str(), e.Text().c_str());
        damaged = true;
    }
    if (damaged) return false;
    mtl->clear();
    if (!m->matlibName.IsEmpty()) {
        *mtl = fxAbsolutePath(fxJoinPath(env->baseDir, m->matlibName.c_str()));
        if (!qmpackCheckInput(*mtl, &why))
            return qmpackRefuse("%s: %s names the material library %s, which cannot be read (%s)", where.c_str(),
                                path.c_str(), mtl->c_str(), why.c_str());
    }
    m->UpdateMeshes();
    if (localTriangles(m) == 0)
        return qmpackRefuse("%s: %s: a model without triangles (damaged or cut short?)", where.c_str(), path.c_str());
    return true;
}
