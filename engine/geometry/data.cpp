// FXNumPool, the corner stream coder and FXVectorMap: growth, pushes and searches, the used tables
// of the decoder, the difference transforms and the two records in file and package form.
#include "geometry/data.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/binio.h"
#include "base/package.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"

// ---- FXNumPool ----

void FXNumPool::DestroyBuf() {
    data_.reset();
    readPtr = nullptr;
    size = 0;
    capacity = 0;
}

int FXNumPool::Realloc(int needed) {
    if (capacity >= needed) return capacity;
    int64_t steps = (int64_t(needed) - capacity + growStep - 1) / growStep;
    int64_t grown = capacity + steps * growStep;
    if (grown > INT_MAX) return capacity;
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size_t(grown)]);
    if (!block) return capacity;
    if (data_ && capacity > 0) memcpy(block.get(), data_.get(), size_t(capacity));
    memset(block.get() + capacity, 0, size_t(grown - capacity));
    data_ = std::move(block);
    readPtr = data_.get() + readPos;
    capacity = int(grown);
    return capacity;
}

int FXNumPool::PushByte(unsigned char v) {
    if (size > INT_MAX - 1 || Realloc(size + 1) < size + 1) return size;
    data_[size] = v;
    return size += 1;
}

int FXNumPool::PushWord(unsigned short v) {
    if (size > INT_MAX - 2 || Realloc(size + 2) < size + 2) return size;
    fxPutU16(data_.get() + size, v);
    return size += 2;
}

int FXNumPool::PushInt(int v) {
    if (size > INT_MAX - 4 || Realloc(size + 4) < size + 4) return size;
    fxPutI32(data_.get() + size, v);
    return size += 4;
}

void FXNumPool::Reseek() {
    readPtr = data_.get();
    readPos = 0;
}

// The next `bytes` bytes of content, or null when fewer remain. Reads go through data + readPos,
// so a pool that grew (and moved) since the last Reseek still reads the right bytes.
const unsigned char* FXNumPool::Take(int bytes) {
    if (!data_ || readPos < 0 || readPos > size - bytes) return nullptr;
    const unsigned char* p = data_.get() + readPos;
    readPos += bytes;
    readPtr = data_.get() + readPos;
    return p;
}

int FXNumPool::GetNextByte(unsigned char* out) {
    const unsigned char* p = Take(1);
    if (!p) return 0;
    *out = *p;
    return 1;
}

int FXNumPool::GetNextWord(unsigned short* out) {
    const unsigned char* p = Take(2);
    if (!p) return 0;
    *out = fxGetU16(p);
    return 1;
}

int FXNumPool::GetNextInt(int* out) {
    const unsigned char* p = Take(4);
    if (!p) return 0;
    *out = fxGetI32(p);
    return 1;
}

bool FXNumPool::Save(FILE* f) const {
    int n = (data_ && size > 0) ? size : 0;
    if (!fxFileWriteInt(f, n)) return false;
    return n == 0 || fwrite(data_.get(), 1, size_t(n), f) == size_t(n);
}

// Makes the content exactly `bytes` long (the caller fills it).
bool FXNumPool::Fill(int bytes) {
    size = 0;
    Reseek();
    if (bytes <= 0) return true;
    if (Realloc(bytes) < bytes) return false;
    size = bytes;
    return true;
}

bool FXNumPool::Load(FILE* f) {
    int32_t n = 0;
    if (!fxFileReadInt(f, &n)) n = 0;
    if (n > 0 && !fxCountFits(n, 1, fxFileRemaining(f))) {
        err(FX_ERR_DAMAGED, "number pool of %d bytes refused: the file holds fewer\n", int(n));
        Fill(0);
        return false;
    }
    if (!Fill(n > 0 ? n : 0)) return false;
    if (size > 0 && fread(data_.get(), 1, size_t(size), f) != size_t(size)) {
        Fill(0);
        return false;
    }
    return true;
}

bool FXNumPool::LoadC(FXPackage*, FXPackageData* d) {
    int n = d->ReadInt();
    if (n > 0 && n > d->remaining) {
        err(FX_ERR_DAMAGED, "number pool of %d bytes refused: the entry holds %d\n", n, d->remaining);
        Fill(0);
        return false;
    }
    if (!Fill(n > 0 ? n : 0)) return false;
    if (size > 0) d->ReadCopyBlc(data_.get(), size);
    return true;
}

// ---- FXCornerCoder ----

namespace {

// Code (0..3) of one index given the previous one of its kind.
int localIndexCode(int idx, int prev) {
    if (prev != INT_MAX && idx == prev + 1) return 0;
    if (idx >= 0 && idx <= 255) return 1;
    if (idx >= 0 && idx <= 65535) return 2;
    return 3;
}

}  // namespace

void FXCornerCoder::Push(FXNumPool* pool, const int idx[3]) {
    int codes[3];
    unsigned char control = 0;
    for (int k = 0; k < 3; k++) {
        codes[k] = localIndexCode(idx[k], prev[k]);
        control = static_cast<unsigned char>(control | (codes[k] << (2 * k)));
    }
    pool->PushByte(control);
    for (int k = 0; k < 3; k++) {
        if (codes[k] == 1) pool->PushByte(static_cast<unsigned char>(idx[k]));
        if (codes[k] == 2) pool->PushWord(static_cast<unsigned short>(idx[k]));
        if (codes[k] == 3) pool->PushInt(idx[k]);
        prev[k] = idx[k];
    }
}

bool FXCornerCoder::Read(FXNumPool* pool, int idx[3]) {
    unsigned char control;
    if (!pool->GetNextByte(&control) || (control & 0xC0)) return false;
    for (int k = 0; k < 3; k++) {
        int code = (control >> (2 * k)) & 3;
        if (code == 0) {
            if (prev[k] == INT_MAX) return false;
            idx[k] = prev[k] + 1;
        } else if (code == 1) {
            unsigned char b;
            if (!pool->GetNextByte(&b)) return false;
            idx[k] = b;
        } else if (code == 2) {
            unsigned short w;
            if (!pool->GetNextWord(&w)) return false;
            idx[k] = w;
        } else if (!pool->GetNextInt(&idx[k])) {
            return false;
        }
        prev[k] = idx[k];
    }
    return true;
}

// ---- FXVectorMap: the three kinds share one implementation ----

namespace {

// The first room of a vector array: 1024 positions.
const int kFirstFloats = 3 * 1024;

struct localKind {
    FXArray* ownMesh;
    FXArray* ownVertex;
    FXFloatArray* floats;
    FXArray* first;
    FXPtrArray<FXArray>* users;
    int* count;
    int dim;
};

localKind localGetKind(FXVectorMap* m, int kind) {
    switch (kind) {
        case FXVectorMap::kPos:
            return {&m->posMesh, &m->posVertex, &m->pos, &m->posFirst, &m->posUsers, &m->posCount, 3};
        case FXVectorMap::kNorm:
            return {&m->normMesh, &m->normVertex, &m->norm, &m->normFirst, &m->normUsers, &m->normCount, 3};
        default:
            return {&m->texMesh, &m->texVertex, &m->tex, &m->texFirst, &m->texUsers, &m->texCount, 2};
    }
}

localKind localGetKind(const FXVectorMap* m, int kind) { return localGetKind(const_cast<FXVectorMap*>(m), kind); }

const float* localVertexVec(const tagFXVertex* v, int kind) {
    return kind == FXVectorMap::kPos ? v->pos : kind == FXVectorMap::kNorm ? v->normal : v->uv;
}

int localFind(const localKind& k, int kind, int mesh, int vertex, const tagFXVertex* v, PMeshSaveClb* clb) {
    const float* want = localVertexVec(v, kind);
    const float* items = k.floats->items;
    const int count = *k.count, dim = k.dim;
    const float w0 = want[0], w1 = want[1], w2 = dim > 2 ? want[2] : 0.0f;
    for (int i = 0; i < count; i++) {
        const float* have = items + size_t(i) * size_t(dim);
        // Compared as floats: 0 equals -0, and a NaN equals nothing.
        if (!(have[0] == w0) || !(have[1] == w1) || (dim > 2 && !(have[2] == w2))) continue;
        if (!clb) return i;
        int ownerMesh = i < k.ownMesh->top ? k.ownMesh->GetInt(i) : -1;
        int ownerVertex = i < k.ownVertex->top ? k.ownVertex->GetInt(i) : -1;
        if (clb->TestRedirect(mesh, vertex, ownerMesh, ownerVertex)) return i;
    }
    return -1;
}

int localPush(const localKind& k, int kind, const tagFXVertex* v, PMeshSaveClb* clb, int mesh, int vertex) {
    if (*k.count > 0) {
        int found = localFind(k, kind, mesh, vertex, v, clb);
        if (found >= 0) return found;
    }
    // Keep the float array an exact multiple of the vector size before appending.
    k.floats->top = *k.count * k.dim;
    // Room grows by doubling from a small start: the array's own step is sized for the largest
    // meshes, and taking (and clearing) all of it at once made every small mesh pay for it.
    if (k.floats->top + k.dim > k.floats->capacity) {
        int64_t want = int64_t(k.floats->capacity) * 2;
        if (want < kFirstFloats) want = kFirstFloats;
        if (want < int64_t(k.floats->top) + k.dim) want = int64_t(k.floats->top) + k.dim;
        if (want <= INT_MAX / int64_t(sizeof(float))) k.floats->Realloc(int(want));
    }
    const float* src = localVertexVec(v, kind);
    for (int c = 0; c < k.dim; c++) k.floats->Push(src[c]);
    k.ownMesh->PushInt(mesh);
    k.ownVertex->PushInt(vertex);
    return (*k.count)++;
}

void localSet(const localKind& k, int kind, const tagFXVertex* v, int i) {
    if (i < 0 || i >= *k.count) return;
    memcpy(k.floats->items + size_t(i) * k.dim, localVertexVec(v, kind), sizeof(float) * size_t(k.dim));
}

void localGet(const localKind& k, int i, float* out) {
    if (i < 0 || i >= *k.count) {
        for (int c = 0; c < k.dim; c++) out[c] = 0.0f;
        return;
    }
    memcpy(out, k.floats->items + size_t(i) * k.dim, sizeof(float) * size_t(k.dim));
}

void localMangle(const localKind& k, bool forward) {
    int count = *k.count;
    int floats = k.floats->top;
    float* f = k.floats->items;
    if (!f) return;
    if (forward) {
        for (int v = 0; v + 1 < count; v++)
            for (int c = 0; c < k.dim; c++) f[v * k.dim + c] -= f[(v + 1) * k.dim + c];
        for (int j = 0; j + 1 < floats; j++) f[j] -= f[j + 1];
    } else {
        for (int j = floats - 2; j >= 0; j--) f[j] += f[j + 1];
        for (int v = count - 2; v >= 0; v--)
            for (int c = 0; c < k.dim; c++) f[v * k.dim + c] += f[(v + 1) * k.dim + c];
    }
}

// The used-table test of one kind: is vertex a registered user of vector i?
bool localIsUser(const FXArray& first, const FXPtrArray<FXArray>& users, int i, int vertex) {
    if (i < 0 || i >= first.top) return false;
    const FXArray* list = i < users.Count() ? users.Get(i) : nullptr;
    if (!list) return first.GetInt(i) == vertex;
    for (int j = 0; j < list->top; j++)
        if (list->GetInt(j) == vertex) return true;
    return false;
}

// Records that vertex was registered with index i of a kind (when the registration counted).
void localNoteVertexIndex(FXArray& byVertex, const FXArray& first, const FXPtrArray<FXArray>& users, int i,
                          int vertex) {
    if (vertex < 0 || i < 0 || i >= first.top || i >= users.Count()) return;
    if (vertex >= byVertex.capacity)
        byVertex.Realloc(vertex + 1 > byVertex.capacity * 2 ? vertex + 1 : byVertex.capacity * 2);
    while (byVertex.top <= vertex) byVertex.PushInt(-1);
    int had = byVertex.GetInt(vertex);
    byVertex.SetInt(vertex, had == -1 || had == i ? i : -2);
}

void localPushUser(FXArray& first, FXPtrArray<FXArray>& users, int i, int vertex) {
    if (i < 0 || i >= first.top || i >= users.Count()) return;
    int old = first.GetInt(i);
    if (old == -1) {
        first.SetInt(i, vertex);
        return;
    }
    FXArray* list = users.Get(i);
    if (!list) {
        list = new FXArray(4);
        list->PushInt(old);
        users.Replace(i, list);
    }
    // Doubling: a vector shared by every vertex of a large mesh (a flat grid's one normal) gets a
    // list as long as the mesh, which growing by the list's step made quadratic.
    if (list->top >= list->capacity) list->Realloc(list->capacity * 2 > 4 ? list->capacity * 2 : 4);
    list->PushInt(vertex);
}

void localSizeTables(FXArray& first, FXPtrArray<FXArray>& users, int n) {
    int old = first.top;
    if (n <= old) return;
    first.Realloc(n);
    users.Reserve(n);
    for (int i = old; i < n; i++) first.items[i] = reinterpret_cast<void*>(intptr_t(-1));
    first.top = n;
    while (users.Count() < n) users.Push(nullptr);
}

}  // namespace

void FXVectorMap::Destroy() {
    ClearUsed();
    vertexNorm.DestroyBuf();
    vertexTex.DestroyBuf();
    for (int kind = 0; kind < 3; kind++) {
        localKind k = localGetKind(this, kind);
        k.ownMesh->DestroyBuf();
        k.ownVertex->DestroyBuf();
        k.first->DestroyBuf();
        k.users->DeleteContents();
        k.floats->DestroyBuf();
        *k.count = 0;
    }
}

int FXVectorMap::PushVecPos(const tagFXVertex* v, PMeshSaveClb* clb, int mesh, int vertex) {
    return localPush(localGetKind(this, kPos), kPos, v, clb, mesh, vertex);
}
int FXVectorMap::PushVecNorm(const tagFXVertex* v, PMeshSaveClb* clb, int mesh, int vertex) {
    return localPush(localGetKind(this, kNorm), kNorm, v, clb, mesh, vertex);
}
int FXVectorMap::PushVecTex(const tagFXVertex* v, PMeshSaveClb* clb, int mesh, int vertex) {
    return localPush(localGetKind(this, kTex), kTex, v, clb, mesh, vertex);
}

int FXVectorMap::FindVecPos(int mesh, int vertex, const tagFXVertex* v, PMeshSaveClb* clb) const {
    return localFind(localGetKind(this, kPos), kPos, mesh, vertex, v, clb);
}
int FXVectorMap::FindVecNorm(int mesh, int vertex, const tagFXVertex* v, PMeshSaveClb* clb) const {
    return localFind(localGetKind(this, kNorm), kNorm, mesh, vertex, v, clb);
}
int FXVectorMap::FindVecTex(int mesh, int vertex, const tagFXVertex* v, PMeshSaveClb* clb) const {
    return localFind(localGetKind(this, kTex), kTex, mesh, vertex, v, clb);
}

void FXVectorMap::SetVecPos(const tagFXVertex* v, int i) { localSet(localGetKind(this, kPos), kPos, v, i); }
void FXVectorMap::SetVecNorm(const tagFXVertex* v, int i) { localSet(localGetKind(this, kNorm), kNorm, v, i); }
void FXVectorMap::SetVecTex(const tagFXVertex* v, int i) { localSet(localGetKind(this, kTex), kTex, v, i); }

void FXVectorMap::GetVecPos(int i, float* out) const { localGet(localGetKind(this, kPos), i, out); }
void FXVectorMap::GetVecNorm(int i, float* out) const { localGet(localGetKind(this, kNorm), i, out); }
void FXVectorMap::GetVecTex(int i, float* out) const { localGet(localGetKind(this, kTex), i, out); }

void FXVectorMap::ManglePos(bool forward) { localMangle(localGetKind(this, kPos), forward); }
void FXVectorMap::MangleNorm(bool forward) { localMangle(localGetKind(this, kNorm), forward); }
void FXVectorMap::MangleTex(bool forward) { localMangle(localGetKind(this, kTex), forward); }

// ---- used tables ----

void FXVectorMap::PushUsed(int p, int n, int t, int vertex) {
    localNoteVertexIndex(vertexNorm, normFirst, normUsers, n, vertex);
    localNoteVertexIndex(vertexTex, texFirst, texUsers, t, vertex);
    localPushUser(posFirst, posUsers, p, vertex);
    localPushUser(normFirst, normUsers, n, vertex);
    localPushUser(texFirst, texUsers, t, vertex);
}

int FXVectorMap::GetUsed1(int vertex, int n, int t) const {
    if (n < 0 || n >= normFirst.top || t < 0 || t >= texFirst.top) return -1;
    // A vertex registered once: its own indices answer at once.
    if (vertex >= 0 && vertex < vertexNorm.top && vertex < vertexTex.top) {
        int vn = vertexNorm.GetInt(vertex), vt = vertexTex.GetInt(vertex);
        if (vn == -1 || vt == -1) return -1;
        if (vn >= 0 && vt >= 0) return vn == n && vt == t ? vertex : -1;
    }
    if (!localIsUser(normFirst, normUsers, n, vertex)) return -1;
    if (!localIsUser(texFirst, texUsers, t, vertex)) return -1;
    return vertex;
}

int FXVectorMap::GetUsed(int p, int n, int t) const {
    if (p < 0 || p >= posFirst.top) return -1;
    const FXArray* list = p < posUsers.Count() ? posUsers.Get(p) : nullptr;
    if (!list) {
        int v = posFirst.GetInt(p);
        return v == -1 ? -1 : GetUsed1(v, n, t);
    }
    for (int j = 0; j < list->top; j++) {
        int v = GetUsed1(list->GetInt(j), n, t);
        if (v != -1) return v;
    }
    return -1;
}

void FXVectorMap::ClearUsed() {
    vertexNorm.RemoveAll();
    vertexTex.RemoveAll();
    for (int kind = 0; kind < 3; kind++) {
        localKind k = localGetKind(this, kind);
        for (int i = 0; i < k.users->Count(); i++) {
            if (i < k.first->top) k.first->SetInt(i, -1);
            k.users->Replace(i, nullptr);
        }
    }
}

void FXVectorMap::SizeUsed() {
    for (int kind = 0; kind < 3; kind++) {
        localKind k = localGetKind(this, kind);
        localSizeTables(*k.first, *k.users, k.floats->top > *k.count ? k.floats->top : *k.count);
    }
}

// ---- records ----

bool FXVectorMap::Save(FILE* f) const {
    for (int kind = 0; kind < 3; kind++) {
        localKind k = localGetKind(this, kind);
        // Every stored float: a loaded record may end in a part vector that no index addresses.
        int n = k.floats->top;
        if (!fxFileWriteInt(f, n) || !fxFileWriteFloats(f, k.floats->items, n)) return false;
    }
    return true;
}

namespace {

// Sets one kind to n floats (n > 0) ready to be filled; the vector count follows from n.
void localSetFloats(const localKind& k, int n) {
    k.ownMesh->RemoveAll();  // owners are not stored
    k.ownVertex->RemoveAll();
    k.floats->top = 0;
    *k.count = 0;
    if (n <= 0) return;
    k.floats->Realloc(n);
    k.floats->top = n;
    *k.count = n / k.dim;
}

}  // namespace

bool FXVectorMap::Load(FILE* f) {
    ClearUsed();
    for (int kind = 0; kind < 3; kind++) {
        localKind k = localGetKind(this, kind);
        int32_t n = 0;
        if (!fxFileReadInt(f, &n)) n = 0;
        if (n > 0 && !fxCountFits(n, 4, fxFileRemaining(f))) {
            err(FX_ERR_DAMAGED, "vector map refused: %d floats do not fit the file\n", int(n));
            Destroy();
            return false;
        }
        localSetFloats(k, n);
        if (n > 0 && !fxFileReadFloats(f, k.floats->items, n)) {
            Destroy();
            return false;
        }
    }
    SizeUsed();
    ClearUsed();
    return true;
}

bool FXVectorMap::LoadC(FXPackage*, FXPackageData* d) {
    ClearUsed();
    for (int kind = 0; kind < 3; kind++) {
        localKind k = localGetKind(this, kind);
        int n = d->ReadInt();
        if (n > 0 && n > d->remaining / 4) {
            err(FX_ERR_DAMAGED, "vector map refused: %d floats do not fit the entry (%d bytes left)\n", n,
                d->remaining);
            Destroy();
            return false;
        }
        localSetFloats(k, n);
        if (n > 0) {
            const unsigned char* b = static_cast<const unsigned char*>(d->ReadBlc(n * 4));
            for (int i = 0; i < n; i++) k.floats->items[i] = fxGetF32(b + 4 * i);
        }
    }
    SizeUsed();
    ClearUsed();
    return true;
}
