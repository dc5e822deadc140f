// Fuzzes the OBJ import and the vertex reduction: arbitrary bytes are imported as an OBJ file, every
// mesh built must name only its own vertices, and each is then reduced (tolerance from the last
// byte) and checked again. Inputs naming a material library are skipped: a library is read from the
// file system, which the input does not control. The sanitizers catch any read or write outside an
// array; a broken mesh aborts.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "geometry/mesh.h"
#include "geometry/model.h"
#include "geometry/vertexio.h"

namespace {

void localCheck(const FXMesh* m) {
    if (m->vertexCount > m->vertexCapacity || m->indexCount > m->indexCapacity || m->indexCount % 3 != 0 ||
        !fxMeshIndicesValid(m))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (memmem(data, size, "mtllib", 6)) return 0;
    // The input lives in an anonymous in-memory file, read back through its /proc name.
    static const int fd = memfd_create("obj_fuzz", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
    if (size && pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
    FXModel m;
    if (m.ImportObj(nullptr, path.c_str())) {
        float tolerance = size ? float(data[size - 1] % 16) : 1.0f;
        for (int i = 0; i < m.loadedMeshes.Count(); i++) {
            FXMesh* mesh = m.loadedMeshes.Get(i);
            localCheck(mesh);
            mesh->ReduceVertices(tolerance);
            localCheck(mesh);
        }
    } else if (m.loadedMeshes.Count() != 0) {
        abort();  // a refused file leaves the model empty
    }
    return 0;
}
