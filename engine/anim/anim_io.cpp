// FXAnim records: reading both layouts from package entries and files. The two sources sit behind
// one small face so that each layout is read by one piece of code. Records are untrusted: every
// count is checked against what is left before anything is allocated, frames whose arrays would
// take more than kMaxFrameBytes are refused (a compact record reuses one corner stream for every
// frame, so a small record could otherwise ask for a huge amount of memory), and a refused record
// leaves the animation empty with a trace line.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "anim/anim.h"
#include "base/binio.h"
#include "base/input_file.h"
#include "base/paths.h"
#include "base/compiler.h"
#include "base/package.h"
#include "base/trace.h"
#include "geometry/data.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"

namespace {

// Smallest stored sizes: a mesh header record (name length, two scales, pass, mode, V, I) with its
// number pool's length; a vector map (three counts).
enum { kMinMeshRecord = 32, kMinMapRecord = 12 };
const double kMaxFrameBytes = double(1 << 30);

// The library and the frame models come from the environment the animation is loaded for.
struct localPackageSource {
    PEnv* env;
    FXPackage* pkg;
    FXPackageData* d;
    long Remaining() const { return d->remaining; }
    long Tell() const { return d->size - d->remaining; }
    void Seek(long pos) {
        d->current = d->start + pos;
        d->remaining = d->size - int(pos);
    }
    bool Skip(long n) {
        if (n < 0 || n > d->remaining) return false;
        Seek(Tell() + n);
        return true;
    }
    bool Int(int* v) {
        if (d->remaining < 4) return false;
        *v = d->ReadInt();
        return true;
    }
    bool Float(float* v) {
        if (d->remaining < 4) return false;
        *v = d->ReadFloat();
        return true;
    }
    bool Bool(bool* v) {
        if (d->remaining < 1) return false;
        *v = d->ReadBool();
        return true;
    }
    bool Bytes(void* dst, int n) { return d->ReadCopyBlc(dst, n) != nullptr; }
    // A string whose stored length runs past the entry is damage.
    bool Str(FXStr* s) {
        if (d->remaining < 4) return false;
        const int k = fxGetI32(d->current);
        if (k > 0 && k > d->remaining - 4) return false;
        d->ReadString(s);
        return true;
    }
    void Graph(FXBezierGraph* g) { g->LoadC(pkg, d); }
    FXMatlib* Library(const char* n) { return env ? env->LoadMatlibC(pkg, n) : nullptr; }
    bool Header(FXMesh* m, FXMatlib* lib) { return m->LoadMeshIC(pkg, d, lib); }
    bool Pool(FXNumPool* p) { return p->LoadC(pkg, d); }
    bool Map(FXVectorMap* m) { return m->LoadC(pkg, d); }
    // v02: the frame's model is the entry its name numbers; null when the name is not a number.
    FXModel* FrameModel(const char* name) {
        int id;
        if (!fxParseEntryName(name, &id)) return nullptr;
        FXModel* m = new FXModel;
        m->LoadCN(env, pkg, id);
        return m;
    }
};

struct localFileSource {
    PEnv* env;
    FILE* f;
    std::string dir;  // the animation file's folder: frame files are named from there
    long Remaining() const { return fxFileRemaining(f); }
    long Tell() const { return ftell(f); }
    void Seek(long pos) { fseek(f, pos, SEEK_SET); }
    bool Skip(long n) {
        long left = Remaining();
        return n >= 0 && (left < 0 || n <= left) && fseek(f, n, SEEK_CUR) == 0;
    }
    bool Int(int* v) {
        int32_t x;
        if (!fxFileReadInt(f, &x)) return false;
        *v = x;
        return true;
    }
    bool Float(float* v) { return fxFileReadFloat(f, v); }
    bool Bool(bool* v) { return fxFileReadBool(f, v); }
    bool Bytes(void* dst, int n) { return fread(dst, 1, size_t(n), f) == size_t(n); }
    bool Str(FXStr* s) {
        s->Clear();
        int k;
        if (!Int(&k)) return false;
        if (k <= 0) return true;
        if (!fxCountFits(k, 1, Remaining())) return false;
        const int keep = k > FXStr::kCapacity ? FXStr::kCapacity : k;
        char buf[FXStr::kCapacity + 1];
        if (fread(buf, 1, size_t(keep), f) != size_t(keep)) return false;
        buf[keep] = 0;
        s->Set(buf);
        return keep == k || fseek(f, k - keep, SEEK_CUR) == 0;
    }
    void Graph(FXBezierGraph* g) { g->Load(f); }
    FXMatlib* Library(const char* n) { return env ? env->LoadMatlib(n) : nullptr; }
    bool Header(FXMesh* m, FXMatlib* lib) { return m->LoadMeshI(f, lib); }
    bool Pool(FXNumPool* p) { return p->Load(f); }
    bool Map(FXVectorMap* m) { return m->Load(f); }
    FXModel* FrameModel(const char* name) {
        FXModel* m = new FXModel;
        m->Load(env, fxJoinPath(dir, name).c_str());
        return m;
    }
};

// "animation <label> refused: <why>" in the trace log; false.
bool localRefuse(const char* label, const char* fmt, ...) FX_PRINTF(2, 3);
bool localRefuse(const char* label, const char* fmt, ...) {
    char why[256];
    va_list args;
    va_start(args, fmt);
    vsnprintf(why, sizeof why, fmt, args);
    va_end(args);
    err(FX_ERR_DAMAGED, "animation %s refused: %s\n", label, why);
    return false;
}

// Bytes of the vertex and index arrays a mesh holds.
double localMeshBytes(const FXMesh* m) {
    return m ? double(m->vertexCapacity) * sizeof(tagFXVertex) + double(m->indexCapacity) * 4.0 : 0.0;
}

double localModelBytes(const FXModel* m) {
    double total = sizeof(FXModel) + double(m->loadedMeshes.Count() + m->meshes.Count()) * sizeof(FXMesh);
    for (int i = 0; i < m->loadedMeshes.Count(); i++) total += localMeshBytes(m->loadedMeshes.Get(i));
    for (int i = 0; i < m->meshes.Count(); i++) total += localMeshBytes(m->EnumMeshes(i));
    return total;
}

// A stored count of items taking at least itemSize bytes each; a negative count is none.
template <typename Source>
bool localCount(Source& src, int itemSize, int* count) {
    if (!src.Int(count)) return false;
    if (*count < 0) *count = 0;
    return fxCountFits(*count, itemSize, src.Remaining());
}

// Whether a mesh header record (a string, then two floats and four ints) lies within the source.
// The header reader itself reads zeros past the end; a cut record must not pass for empty meshes.
template <typename Source>
bool localHeaderFits(Source& src) {
    const long start = src.Tell();
    int k = 0;
    const bool ok = src.Int(&k) && src.Skip(k > 0 ? k : 0) && src.Skip(24);
    src.Seek(start);
    return ok;
}

// Whether a vector map record (three counts, each with its floats) lies within the source.
template <typename Source>
bool localMapFits(Source& src) {
    const long start = src.Tell();
    bool ok = true;
    for (int kind = 0; ok && kind < 3; kind++) {
        int n = 0;
        ok = src.Int(&n) && (n <= 0 || (fxCountFits(n, 4, src.Remaining()) && src.Skip(4L * n)));
    }
    src.Seek(start);
    return ok;
}

// The timing graph: its extent is worked out from its counts first, so that a graph its reader
// refuses (the graph then stays empty) still leaves the source at the next item. False when the
// extent itself runs past the record.
template <typename Source>
bool localReadGraph(FXBezierGraph* g, Source& src) {
    const long start = src.Tell();
    int resX = 0, resY = 0, keys = 0;
    if (!src.Int(&resX) || !src.Int(&resY)) return false;
    for (int array = 0; array < 2; array++) {
        if (!localCount(src, 4, &keys)) return false;
        src.Seek(src.Tell() + 4L * keys);
    }
    if (src.Remaining() >= 0 && src.Remaining() < 10) return false;  // two flags, tension, samples
    const long end = src.Tell() + 10;
    src.Seek(start);
    src.Graph(g);
    src.Seek(end);
    return true;
}

// Frame names, durations, the timing graph, the spare value and the four flags.
template <typename Source>
bool localReadHead(FXAnim* a, Source& src, const char* label) {
    int count = 0;
    if (!localCount(src, 4, &count)) return localRefuse(label, "%d frame names do not fit the record", count);
    a->frameNames.Realloc(count);
    FXStr s;
    for (int i = 0; i < count; i++) {
        if (!src.Str(&s)) return localRefuse(label, "the name of frame %d runs past the record", i);
        a->frameNames.Push(s);
    }
    if (!localCount(src, 4, &count)) return localRefuse(label, "%d durations do not fit the record", count);
    a->durations.Realloc(count);
    for (int i = 0; i < count; i++) {
        int ms = 0;
        src.Int(&ms);
        a->durations.PushInt(ms);
    }
    if (a->frameNames.top != a->durations.top)
        return localRefuse(label, "frame names (%d) and durations (%d) differ in number", a->frameNames.top,
                           a->durations.top);
    if (!localReadGraph(&a->graph, src)) return localRefuse(label, "the timing graph runs past the record");
    if (!src.Float(&a->spareValue) || !src.Bool(&a->playing) || !src.Bool(&a->backwards) || !src.Bool(&a->loop) ||
        !src.Bool(&a->pingPong))
        return localRefuse(label, "the record ends in its flags");
    return true;
}

// v02: each frame names its model (an entry number, or a file); other frames have none.
template <typename Source>
bool localReadModels(FXAnim* a, Source& src, const char* label) {
    double bytes = 0.0;
    for (int i = 0; i < a->frameNames.top; i++) {
        const char* name = a->frameNames.Get(i);
        FXModel* m = *name ? src.FrameModel(name) : nullptr;
        a->models.Push(m);
        if (!m) continue;
        m->UpdateMeshes();
        m->ResizeTextCoords();
        bytes += localModelBytes(m);
        if (bytes > kMaxFrameBytes) return localRefuse(label, "the frames take too much memory (at frame %d)", i);
    }
    return true;
}

FXMesh* localMesh(FXAnim* a, int frame, int mesh) {
    return a->GetModel(frame)->loadedMeshes.Get(mesh);
}

// v03: one mesh header and one corner stream per mesh serve every frame; each frame has its own
// vector map.
template <typename Source>
bool localReadCompact(FXAnim* a, Source& src, const char* label) {
    int meshes = 0;
    if (!src.Int(&meshes) || meshes < 0 || !fxCountFits(meshes, kMinMeshRecord, src.Remaining()))
        return localRefuse(label, "%d meshes do not fit the record", meshes);
    FXStr libName;
    if (!src.Str(&libName)) return localRefuse(label, "the library name runs past the record");
    const int frames = a->frameNames.top;
    if (frames == 0) return true;
    if (!fxCountFits(frames, kMinMapRecord, src.Remaining() - long(meshes) * kMinMeshRecord))
        return localRefuse(label, "the vector maps of %d frames do not fit the record", frames);
    // The frame objects themselves count as well: a record of many small frames is large too.
    double bytes = double(frames) * (sizeof(FXModel) + double(meshes) * sizeof(FXMesh));
    if (bytes > kMaxFrameBytes) return localRefuse(label, "the frames take too much memory (%d frames)", frames);
    for (int i = 0; i < frames; i++) {
        FXModel* m = new FXModel;
        a->models.Push(m);
        m->name.Set(a->frameNames.Get(i));
        m->matlibName = libName;
        m->loadedMeshes.Reserve(meshes);
        for (int j = 0; j < meshes; j++) m->loadedMeshes.Push(new FXMesh);
    }
    // Asking for the library may read another entry through the same package, which rewinds
    // that entry's cursor should the name be this record's own number: keep our place.
    const long here = src.Tell();
    FXMatlib* lib = src.Library(libName);
    src.Seek(here);
    // Frame 0 takes the reference the library came with; every other frame shares it.
    a->GetModel(0)->matlib.Adopt(src.env, lib);
    for (int i = 1; i < frames && lib; i++) a->GetModel(i)->matlib.Share(a->GetModel(0)->matlib);
    for (int j = 0; j < meshes; j++) {
        FXMesh* first = localMesh(a, 0, j);
        if (!localHeaderFits(src) || !src.Header(first, lib))
            return localRefuse(label, "the header of mesh %d is damaged", j);
        bytes += localMeshBytes(first) * 2.0 * frames;  // loaded and working copy of every frame
        if (bytes > kMaxFrameBytes) return localRefuse(label, "the frames take too much memory (at mesh %d)", j);
        for (int i = 1; i < frames; i++) localMesh(a, i, j)->CopyMeshI(first);
    }
    std::vector<std::unique_ptr<FXNumPool>> pools;
    for (int j = 0; j < meshes; j++) {
        pools.emplace_back(new FXNumPool);
        const long left = src.Remaining();
        if ((left >= 0 && left < 4) || !src.Pool(pools.back().get()))
            return localRefuse(label, "the corner stream of mesh %d is damaged", j);
    }
    FXVectorMap map;
    for (int i = 0; i < frames; i++) {
        if (!localMapFits(src) || !src.Map(&map)) return localRefuse(label, "the vector map of frame %d is damaged", i);
        for (int j = 0; j < meshes; j++)
            if (!localMesh(a, i, j)->FromVMap(&map, pools[size_t(j)].get()))
                return localRefuse(label, "a corner stream does not fit the vector map of frame %d", i);
    }
    for (int i = 0; i < frames; i++) {
        a->GetModel(i)->UpdateMeshes();
        a->GetModel(i)->ResizeTextCoords();
    }
    return true;
}

// Tells the layouts apart by the first 8 bytes: the string "xa03", or a v02 record.
template <typename Source>
int localLoad(FXAnim* a, Source& src, const char* label) {
    if (src.Remaining() >= 0 && src.Remaining() < 8) return 0;
    const long start = src.Tell();
    int length = 0;
    char magic[4] = {};
    if (!src.Int(&length) || !src.Bytes(magic, 4)) return 0;
    const bool compact = length == 4 && memcmp(magic, "xa03", 4) == 0;
    if (!compact) src.Seek(start);
    bool ok =
        localReadHead(a, src, label) && (compact ? localReadCompact(a, src, label) : localReadModels(a, src, label));
    if (!ok) {
        a->Destroy();
        return 0;
    }
    return 1;
}

}  // namespace

int FXAnim::LoadCN(PEnv* env, FXPackage* pkg, int id) {
    Destroy();
    FXPackageData* d = pkg ? pkg->GetDataPtr(id) : nullptr;
    if (!d) return 0;
    char label[32];
    snprintf(label, sizeof label, "entry %d", id);
    localPackageSource src{env, pkg, d};
    return localLoad(this, src, label);
}

int FXAnim::Load(PEnv* env, const char* path) {
    Destroy();
    FILE* f = fxOpenInputFile(path);
    if (!f) return 0;
    localFileSource src{env, f, fxDirOf(path)};
    int r = localLoad(this, src, path);
    fclose(f);
    return r;
}
