// Fuzzes the frame-animation loaders: arbitrary bytes are read as an animation entry of a package
// that also holds two model entries (numbers 5 and 7, so older records naming them load real
// frames) and, when they form a compact record, as an animation file. A loaded animation is
// checked (every frame's corners name vertices), interpolated and played by its own clock and from
// outside with pairs taken from the input, then written as "xa03" and read back: the same frame
// count must return. The sanitizers catch any read or write outside a record.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "anim/anim.h"
#include "base/binio.h"
#include "base/package.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "geometry/vertexio.h"

namespace {

void localPutInt(std::vector<unsigned char>* b, int32_t v) {
    unsigned char x[4];
    fxPutI32(x, v);
    b->insert(b->end(), x, x + 4);
}

// A model record: a quad (compact form) or a triangle (full form).
std::vector<unsigned char> localModel(bool compact) {
    FXModel m;
    FXMesh* mesh = new FXMesh;
    const int vertices = compact ? 4 : 3;
    const int idx[6] = {0, 1, 2, 2, 1, 3};
    mesh->Realloc(vertices, compact ? 6 : 3);
    for (int v = 0; v < vertices; v++) {
        tagFXVertex& x = mesh->vertices[v];
        memset(&x, 0, sizeof x);
        x.pos[0] = float(v & 1);
        x.pos[1] = float(v >> 1);
        x.normal[2] = -1.0f;
    }
    for (int k = 0; k < mesh->indexCount; k++) mesh->indices[k] = idx[k];
    m.meshes.Push(mesh);
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    compact ? m.Save_v03(f) : m.Save_v02(f);
    fclose(f);
    std::vector<unsigned char> out(buf, buf + len);
    free(buf);
    return out;
}

// A package of the input as entry 1 and the two models as entries 5 and 7.
std::vector<unsigned char> localPackage(const uint8_t* data, size_t size) {
    static const std::vector<unsigned char> quad = localModel(true), tri = localModel(false);
    const std::vector<unsigned char> input(data, data + size);
    const std::vector<unsigned char>* entries[3] = {&input, &quad, &tri};
    const int ids[3] = {1, 5, 7};
    std::vector<unsigned char> b;
    localPutInt(&b, 5);
    b.insert(b.end(), {'p', 'c', 'k', '0', '1'});
    localPutInt(&b, 3);
    for (int id : ids) localPutInt(&b, id);
    localPutInt(&b, 3);
    int offset = 0;
    for (auto* e : entries) {
        localPutInt(&b, offset);
        offset += int(e->size());
    }
    localPutInt(&b, 3);
    for (auto* e : entries) localPutInt(&b, int(e->size()));
    localPutInt(&b, 3);
    for (int i = 0; i < 3; i++) localPutInt(&b, -1);
    for (auto* e : entries) b.insert(b.end(), e->begin(), e->end());
    return b;
}

void localCheck(const FXAnim& a) {
    for (int i = 0; i < a.models.Count(); i++) {
        const FXModel* m = a.GetModel(i);
        for (int k = 0; m && k < m->GetCount(); k++) {
            const FXMesh* mesh = m->EnumMeshes(k);
            if (mesh && (mesh->vertexCount > mesh->vertexCapacity || mesh->indexCount > mesh->indexCapacity ||
                         !fxMeshIndicesValid(mesh)))
                abort();
        }
    }
}

// Plays the animation both ways, with pairs and phases taken from the input.
void localPlay(FXAnim* a, const uint8_t* data, size_t size) {
    a->loop = size > 0 && (data[0] & 1);
    a->pingPong = size > 0 && (data[0] & 2);
    a->linear = size > 0 && (data[0] & 4);
    a->UpdateInterpolation(true, false);
    a->StartAnim(0.0);
    for (int i = 0; i < 8; i++) a->OnRender(nullptr, 0.3 * i);
    const int n = a->GetFrameCount();
    for (size_t i = 0; i + 2 < size && i < 24; i += 3) {
        a->SetActFrames(int(data[i]) % (n + 2) - 1, int(data[i + 1]) % (n + 2) - 1);
        a->SetActPhase(float(data[i + 2]) / 100.0f - 0.5f);
    }
    a->frozen = true;
    a->OnRender(nullptr, 9.0);
}

// A file path for bytes in memory.
std::string localMemFile(int* fd, const void* bytes, size_t size) {
    *fd = memfd_create("anim", 0);
    if (*fd < 0) return std::string();
    if (size && write(*fd, bytes, size) != ssize_t(size)) return std::string();
    return "/proc/self/fd/" + std::to_string(*fd);
}

void localRoundTrip(FXAnim* a) {
    int fd;
    std::string path = localMemFile(&fd, nullptr, 0);
    if (path.empty()) return;
    if (a->Save(path.c_str())) {
        FXAnim back;
        if (!back.Load(nullptr, path.c_str()) || back.GetFrameCount() != a->GetFrameCount()) abort();
        localCheck(back);
    }
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FXPackage pkg;
    std::vector<unsigned char> wrapped = localPackage(data, size);
    pkg.LoadFromMemory(wrapped.data(), long(wrapped.size()));
    FXAnim a;
    if (a.LoadCN(nullptr, &pkg, 1)) {
        localCheck(a);
        localPlay(&a, data, size);
        localRoundTrip(&a);
    }

    // The file form of a compact record (an older record would name model files to open: not
    // for a fuzzer).
    if (size < 8 || memcmp(data, "\x04\0\0\0xa03", 8) != 0) return 0;
    int fd;
    std::string path = localMemFile(&fd, data, size);
    if (!path.empty()) {
        FXAnim f;
        if (f.Load(nullptr, path.c_str())) localCheck(f);
        close(fd);
    }
    return 0;
}
