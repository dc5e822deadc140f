// Fuzzes the model loaders: arbitrary bytes are read as a model entry of a package and as a model
// file, the loaded meshes are made working and checked (every index names a vertex), and a model
// that loaded meshes is written in the full format and read back. The sanitizers catch any read or
// write outside a record; a mesh with a stray index aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../tests/support/package_bytes.h"
#include "base/package.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "geometry/vertexio.h"

namespace {

void localCheck(FXModel* m) {
    m->UpdateMeshes();
    for (int i = 0; i < m->GetCount(); i++) {
        FXMesh* mesh = m->EnumMeshes(i);
        if (!mesh) continue;
        if (mesh->vertexCount > mesh->vertexCapacity || mesh->indexCount > mesh->indexCapacity ||
            !fxMeshIndicesValid(mesh))
            abort();
        for (int k = 0; k < mesh->indexCount; k++) {  // touch every vertex a corner names
            volatile float x = mesh->vertices[mesh->indices[k]].pos[0];
            (void)x;
        }
    }
}

// Writes the working meshes in the full format and reads them back: the same number must return.
void localRoundTrip(FXModel* m) {
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    if (!f) return;
    m->Save_v02(f);
    fclose(f);
    int saved = 0;
    for (int i = 0; i < m->GetCount(); i++)
        if (m->EnumMeshes(i) && !m->EnumMeshes(i)->disabled) saved++;
    FILE* r = fmemopen(buf, len, "rb");
    FXModel back;
    if (r) {
        FXStr magic;
        magic.Load(r);
        back.Load_v02(nullptr, r);
        fclose(r);
        if (back.loadedMeshes.Count() != saved) abort();
    }
    free(buf);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FXPackage pkg;
    std::vector<unsigned char> wrapped = qmPackageFile({{0, -1, std::vector<unsigned char>(data, data + size)}});
    pkg.LoadFromMemory(wrapped.data(), long(wrapped.size()));
    FXModel m;
    m.LoadCN(nullptr, &pkg, 0);
    localCheck(&m);
    if (m.GetCount() > 0) localRoundTrip(&m);

    if (size > 0) {
        FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        if (f) {
            FXModel fm;
            FXStr magic;
            magic.Load(f);
            if (magic.Compare("xm02"))
                fm.Load_v02(nullptr, f);
            else if (magic.Compare("xm03"))
                fm.Load_v03(nullptr, f);
            fclose(f);
            localCheck(&fm);
        }
    }
    return 0;
}
