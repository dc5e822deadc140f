// Wavefront OBJ import: FXObjModel::Load reads a file in two passes (counts and groups, then values
// and primitives), and FXModel::ImportObj builds one mesh per material from the result: faces are
// fanned into triangles, and a mesh vertex is shared by every corner with the same position, normal
// and texture index. Line segments are read and kept but do not reach the meshes.
//
// Files are read line by line (LF, CRLF or CR endings); OBJ files come from anywhere, so every index
// is checked against the values the file gives and damaged input is refused with the file and line.
#include "geometry/model_obj.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/input_file.h"
#include "base/paths.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "image/material.h"
#include "image/matlib.h"
#include "render/render.h"

namespace {

// Far beyond any model the engine draws; keeps every derived count (3 corners per primitive, 76
// bytes per vertex) inside int and size_t.
const long long kMaxItems = 1 << 25;
// Mesh arrays start at this many entries and double when full.
const int kGrowStep = 500;
// Progress is told about once per this many bytes read.
const long long kProgressBytes = 1 << 20;

// What both passes share: names by hash (a file may hold very many groups and materials), the
// unknown words reported so far, and the progress report.
struct localShared {
    std::unordered_map<std::string, int> groups;     // group name -> number
    std::unordered_map<std::string, int> materials;  // material name -> number
    std::unordered_set<std::string> reported;        // unknown statement words already traced
    FXImportProgress progress = nullptr;
    void* user = nullptr;
    long long fileBytes = 0;
    int pass = 0;  // 0 or 1: each pass is half of the reading

    void Report(long long consumed) const {
        if (!progress || fileBytes <= 0) return;
        double share = (double(pass) + double(consumed < fileBytes ? consumed : fileBytes) / double(fileBytes)) / 2.0;
        progress(user, float(share));
    }
};

// ---- reading lines and words ----

struct localReader {
    FILE* f;
    const char* file;
    const localShared* shared;
    int line = 0;
    long long consumed = 0, reported = 0;  // bytes read, and when progress was last told
    std::string text;  // the current line without its ending
    enum Result { kLine, kEnd, kBad };

    localReader(FILE* file_, const char* name, const localShared* s) : f(file_), file(name), shared(s) {}

    // Refusal of the current line: one error trace line naming the file and the line.
    bool Fail(const char* fmt, ...) FX_PRINTF(2, 3) {
        char why[512];
        va_list args;
        va_start(args, fmt);
        vsnprintf(why, sizeof why, fmt, args);
        va_end(args);
        err({FX_ERR_DAMAGED, "FXObjModel::Load", file}, "%s:%d: %s\n", file, line, why);
        return false;
    }

    Result Next() {
        text.clear();
        int c = getc(f);
        if (c == EOF && ferror(f)) {  // a read error is not the end of the file
            err({FX_ERR_IO, "FXObjModel::Load", file}, "cannot read %s: %s\n", file, strerror(errno));
            return kBad;
        }
        if (c == EOF) return kEnd;
        line++;
        if (consumed - reported >= kProgressBytes) {
            reported = consumed;
            shared->Report(consumed);
        }
        for (; c != EOF; c = getc(f)) {
            consumed++;
            if (c == '\n') break;
            if (c == '\r') {
                int next = getc(f);
                if (next != '\n' && next != EOF) ungetc(next, f);
                consumed += next == '\n';
                break;
            }
            if (c == 0) {
                Fail("a NUL byte: this is not an OBJ text file");
                return kBad;
            }
            if (text.size() >= size_t(FXObjModel::kMaxLine)) {
                Fail("line longer than %d bytes", int(FXObjModel::kMaxLine));
                return kBad;
            }
            text += char(c);
        }
        return kLine;
    }
};

bool localIsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// A line split into words, and the raw text after the first word.
struct localLine {
    std::string buf;
    std::vector<const char*> words;
    std::string rest;

    explicit localLine(const std::string& text) : buf(text) {
        size_t i = 0, n = buf.size();
        while (i < n) {
            while (i < n && localIsSpace(buf[i])) i++;
            if (i >= n) break;
            size_t start = i;
            while (i < n && !localIsSpace(buf[i])) i++;
            if (words.empty()) rest = text.substr(i);
            words.push_back(&buf[start]);
            if (i < n) buf[i++] = 0;
        }
    }
    int Count() const { return int(words.size()); }
};

std::string localTrimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && localIsSpace(s[b])) b++;
    while (e > b && localIsSpace(s[e - 1])) e--;
    return s.substr(b, e - b);
}

std::string localFirstWord(const std::string& s) {
    std::string t = localTrimmed(s);
    size_t e = 0;
    while (e < t.size() && !localIsSpace(t[e])) e++;
    return t.substr(0, e);
}

// ---- statements ----

enum localStatement {
    kPos,
    kNormal,
    kTex,
    kVOther,
    kUsemtl,
    kUOther,
    kMtllib,
    kMOther,
    kFace,
    kSegments,
    kGroup,
    kComment,
    kIgnored,
    kOther
};

localStatement localClassify(const char* w) {
    switch (w[0]) {
        case 'v':
            if (!w[1]) return kPos;
            if (!strcmp(w, "vn")) return kNormal;
            if (!strcmp(w, "vt")) return kTex;
            return kVOther;
        case 'u':
            return strncmp(w, "usemtl", 6) ? kUOther : kUsemtl;
        case 'm':
            return strncmp(w, "mtllib", 6) ? kMOther : kMtllib;
        case '#':
            return kComment;
        default:
            if (!strcmp(w, "f")) return kFace;
            if (!strcmp(w, "l")) return kSegments;
            if (!strcmp(w, "g")) return kGroup;
            // Object names and smoothing groups: the import keeps neither (meshes follow the
            // materials, normals are the file's or smooth everywhere).
            if (!strcmp(w, "o") || !strcmp(w, "s")) return kIgnored;
            return kOther;
    }
}

// The unknown-word reports, once per word and file (the first line with it is shown): a file
// written by a tool that uses a statement at all often uses it on every other line.
void localReportUnknown(localShared* shared, localStatement s, const localLine& l) {
    const char* w = l.words[0];
    if (s != kVOther && s != kUOther && s != kMOther && s != kOther) return;
    if (!shared->reported.insert(w).second) return;
    if (s == kVOther) err({FX_WARN_UNKNOWN_TOKEN, "localPrepareModel"}, "unknown token(0): %s\n", w);
    if (s == kUOther) err({FX_WARN_UNKNOWN_TOKEN, "localPrepareModel"}, "unknown token(2): %s\n", w);
    if (s == kMOther) err({FX_WARN_UNKNOWN_TOKEN, "localPrepareModel"}, "unknown token(1): %s\n", w);
    if (s == kOther) err({FX_WARN_UNKNOWN_TOKEN, "localPrepareModel"}, "unknown token(3): %s%s\n", w, l.rest.c_str());
}

// ---- numbers and corners ----

bool localParseFloat(const char* w, float* out) {
    char* end = nullptr;
    float v = strtof(w, &end);
    if (end == w || *end || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// An optionally signed decimal int at *s, advancing *s past it.
bool localParseInt(const char** s, int* out) {
    const char* p = *s;
    bool neg = *p == '-';
    if (*p == '-' || *p == '+') p++;
    if (*p < '0' || *p > '9') return false;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        v = v * 10 + (*p - '0');
        if (v > INT_MAX) return false;
    }
    *out = int(neg ? -v : v);
    *s = p;
    return true;
}

enum localForm { kP, kPT, kPTN, kPN };

// OBJ numbers of one corner as written (1-based or negative; 0 = the form does not give it).
struct localCorner {
    int p = 0, t = 0, n = 0;
};

// The whole word w as a corner of the given form.
bool localParseCorner(const char* w, localForm form, localCorner* c) {
    const char* s = w;
    *c = localCorner();
    if (!localParseInt(&s, &c->p)) return false;
    if (form == kPT || form == kPTN) {
        if (*s++ != '/' || !localParseInt(&s, &c->t)) return false;
    }
    if (form == kPTN || form == kPN) {
        if (*s++ != '/') return false;
        if (form == kPN && *s++ != '/') return false;
        if (!localParseInt(&s, &c->n)) return false;
    }
    return *s == 0;
}

localForm localDetectForm(const char* w) {
    localCorner c;
    if (strstr(w, "//")) return kPN;
    if (localParseCorner(w, kPTN, &c)) return kPTN;
    if (localParseCorner(w, kPT, &c)) return kPT;
    return kP;
}

// The corners of an f or l statement; a word starting with # ends them (a comment). False, with the
// line refused, for a word that is not a corner of the first corner's form or too few corners.
bool localParseCorners(localReader& r, const localLine& l, int minimum, std::vector<localCorner>* out) {
    out->clear();
    const char* what = minimum == 3 ? "a face" : "a line statement";
    localForm form = l.Count() > 1 ? localDetectForm(l.words[1]) : kP;
    for (int i = 1; i < l.Count(); i++) {
        const char* w = l.words[i];
        if (w[0] == '#') break;
        localCorner c;
        if (!localParseCorner(w, form, &c)) {
            if (i == 1) return r.Fail("%s corner '%s' is not a vertex index", what, w);
            return r.Fail("%s corner '%s' does not have the form of the first corner '%s'", what, w, l.words[1]);
        }
        out->push_back(c);
    }
    if (int(out->size()) < minimum)
        return r.Fail("%s needs at least %d corners, it has %d", what, minimum, int(out->size()));
    return true;
}

// ---- groups and materials ----

// Appends to an engine array, doubling its capacity when full: the arrays' own growth by one slot
// copies the whole array on every append.
template <typename Array, typename Item>
void localPush(Array* a, Item item) {
    if (a->top >= a->capacity) a->Realloc(a->capacity < 16 ? 16 : 2 * a->capacity);
    a->Push(item);
}

template <typename T>
void localPush(FXPtrArray<T>* a, T* item) {
    if (a->Count() >= a->Capacity()) a->Reserve(a->Capacity() < 16 ? 16 : 2 * a->Capacity());
    a->Push(item);
}

MObjGroup* localFindGroup1(FXObjModel* obj, const localShared& shared, const char* name) {
    if (!name || !*name) return obj->groups.Count() > 0 ? obj->GetGroup(0) : nullptr;
    auto found = shared.groups.find(name);
    return found == shared.groups.end() ? nullptr : obj->GetGroup(found->second);
}

MObjGroup* localFindGroup(FXObjModel* obj, const localShared& shared, const char* name) {
    MObjGroup* g = localFindGroup1(obj, shared, name);
    if (!g && obj->groups.Count() > 0) g = obj->GetGroup(obj->groups.Count() - 1);
    return g;
}

// The number of the material with that name (the empty name included), appending it if new; -1
// when there is no room for another.
int localMaterialNumber(FXObjModel* obj, localShared* shared, const std::string& name) {
    auto found = shared->materials.find(name);
    if (found != shared->materials.end()) return found->second;
    if (obj->materials.top >= FXObjModel::kMaxMaterials) return -1;
    localPush(&obj->materials, name.c_str());
    shared->materials.emplace(name, obj->materials.top - 1);
    return obj->materials.top - 1;
}

int localMaterialID(FXObjModel* obj, localShared* shared, const char* name) {
    if (!name || !*name) return -1;
    return localMaterialNumber(obj, shared, name);
}

// The material of faces that name none: the unnamed one, which finds the default material.
int localDefaultMaterialID(FXObjModel* obj, localShared* shared) { return localMaterialNumber(obj, shared, ""); }

// ---- first pass: counts and groups ----

struct localCounts {
    long long positions = 0, normals = 0, texCoords = 0, primitives = 0;
    std::vector<long long> perGroup;  // primitives of each group
};

// Sizes the arrays to the counts of the first pass; false when they cannot be had.
bool localSizeArrays(FXObjModel* obj, localCounts& n) {
    long long tex = n.texCoords > 0 ? n.texCoords : n.positions;
    if (n.positions > kMaxItems || n.normals > kMaxItems || n.texCoords > kMaxItems || n.primitives > kMaxItems) {
        err({FX_ERR_REFUSED, "FXObjModel::Load"}, "%s: more than %lld values or primitives\n", obj->fileName.c_str(),
            kMaxItems);
        return false;
    }
    struct {
        FXMemory* m;
        long long count;
        int size;
    } blocks[3] = {{&obj->positions, n.positions, 12}, {&obj->normals, n.normals, 12}, {&obj->texCoords, tex, 8}};
    for (auto& b : blocks) {
        b.m->itemSize = b.size;
        b.m->Realloc(int(b.count));
        if (b.m->capacity < b.count) return false;
        b.m->count = int(b.count);
    }
    obj->positionCount = int(n.positions);
    obj->normalCount = int(n.normals);
    obj->texCoordCount = int(n.texCoords);
    obj->primitives.Reserve(int(n.primitives));
    for (long long i = 0; i < n.primitives; i++) obj->primitives.Push(new MObjPrimitive);
    for (int i = 0; i < obj->groups.Count(); i++) {
        MObjGroup* g = obj->GetGroup(i);
        g->triangles.Realloc(int(n.perGroup[size_t(i)]));
        if (g->triangles.capacity < n.perGroup[size_t(i)]) return false;
        g->triangles.count = int(n.perGroup[size_t(i)]);
        g->writePos = 0;
    }
    return true;
}

bool localPrepareModel(FXObjModel* obj, localShared* shared, FILE* f) {
    localPush(&obj->groups, new MObjGroup);
    localCounts n;
    n.perGroup.push_back(0);
    int group = 0;
    localReader r(f, obj->fileName.c_str(), shared);
    std::vector<localCorner> corners;
    for (localReader::Result res; (res = r.Next()) != localReader::kEnd;) {
        if (res == localReader::kBad) return false;
        localLine l(r.text);
        if (!l.Count()) continue;
        localStatement s = localClassify(l.words[0]);
        switch (s) {
            case kPos:
                n.positions++;
                break;
            case kNormal:
                n.normals++;
                break;
            case kTex:
                n.texCoords++;
                break;
            case kFace:
            case kSegments: {
                if (!localParseCorners(r, l, s == kFace ? 3 : 2, &corners)) return false;
                long long prims = static_cast<long long>(corners.size()) - (s == kFace ? 2 : 1);
                n.primitives += prims;
                n.perGroup[size_t(group)] += prims;
                break;
            }
            case kGroup: {
                std::string name = localTrimmed(l.rest);
                if (name.empty()) {
                    group = 0;
                    break;
                }
                auto found = shared->groups.find(name);
                if (found != shared->groups.end()) {
                    group = found->second;
                    break;
                }
                if (obj->groups.Count() > FXObjModel::kMaxGroups)
                    return r.Fail("more than %d groups (distinct g names); no real model has so many",
                                  int(FXObjModel::kMaxGroups));
                MObjGroup* g = new MObjGroup;
                g->name.Set(name.c_str());
                localPush(&obj->groups, g);
                n.perGroup.push_back(0);
                group = obj->groups.Count() - 1;
                shared->groups.emplace(name, group);
                break;
            }
            default:
                localReportUnknown(shared, s, l);
                break;
        }
    }
    return localSizeArrays(obj, n);
}

// ---- second pass: values and primitives ----

struct localPass2 {
    FXObjModel* obj;
    localShared* shared;
    localReader r;
    int positions = 0, normals = 0, texCoords = 0;  // read so far
    int next = 0;                                   // next primitive
    int material = 0;
    MObjGroup* group;
    int missingNormals = 0, missingTex = 0;

    localPass2(FXObjModel* o, localShared* s, FILE* f)
        : obj(o), shared(s), r(f, o->fileName.c_str(), s), group(o->GetGroup(0)) {}

    // Up to `want` numbers after the statement word; at least `need` of them.
    bool Numbers(const localLine& l, int need, int want, float* out, const char* what) {
        int have = l.Count() - 1 < want ? l.Count() - 1 : want;
        for (int k = 0; k < have; k++)
            if (!localParseFloat(l.words[k + 1], &out[k]))
                return r.Fail("%s value '%s' is not a number", what, l.words[k + 1]);
        if (have < need) return r.Fail("%s needs %d numbers, it has %d", what, need, have);
        for (int k = have; k < want; k++) out[k] = 0.0f;
        return true;
    }

    bool Vector(const localLine& l, FXMemory* m, int* read, int dims, int need, bool negateZ, const char* what) {
        float v[3];
        if (!Numbers(l, need, dims, v, what)) return false;
        float* dst = static_cast<float*>(m->GetItemPtr(*read));
        if (!dst) return r.Fail("the file changed while it was read");
        if (negateZ) v[2] = -v[2];
        memcpy(dst, v, sizeof(float) * size_t(dims));
        (*read)++;
        return true;
    }

    // An OBJ index to a 0-based one: 1-based from the start of the file's values, negative from the
    // last one read so far; -1 when the file does not give that value.
    static int Resolve(int raw, int readSoFar, int total) {
        if (raw > 0) return raw <= total ? raw - 1 : -1;
        if (raw < 0) return readSoFar + raw >= 0 ? readSoFar + raw : -1;
        return -1;
    }

    // A normal or texture index the file does not give is left out (-1): a texture coordinate then
    // reads as zero, a normal is computed at import. The first is reported.
    int Optional(int raw, int readSoFar, int total, int* missing, const char* what, const char* instead) {
        if (raw == 0) return -1;  // the corner's form does not give it
        int i = Resolve(raw, readSoFar, total);
        if (i < 0 && (*missing)++ == 0)
            err({FX_ERR_DAMAGED, "FXObjModel::Load"},
                "%s:%d: %s %d is not in the file (%d given so far, %d in all); %s\n", r.file, r.line, what, raw,
                readSoFar, total, instead);
        return i;
    }

    bool Corner(const localCorner& c, int* pos, int* normal, int* tex) {
        *pos = Resolve(c.p, positions, obj->positionCount);
        if (*pos < 0 && c.p == 0) return r.Fail("a corner names position 0; indices start at 1");
        if (*pos < 0)
            return r.Fail("a corner names position %d; the file gives %d so far and %d in all", c.p, positions,
                          obj->positionCount);
        *normal = Optional(c.n, normals, obj->normalCount, &missingNormals, "normal", "a smooth normal is computed");
        *tex = Optional(c.t, texCoords, obj->texCoordCount, &missingTex, "texture coordinate", "it reads as zero");
        return true;
    }

    // Fills the next primitive with the given corners and files it in the current group.
    bool Primitive(const std::vector<localCorner>& corners, const int* which, int count, bool isLine) {
        if (next >= obj->primitives.Count() || group->writePos >= group->triangles.count)
            return r.Fail("the file changed while it was read");
        MObjPrimitive* p = obj->GetPrimitive(next);
        p->isLine = isLine;
        p->material = material;
        for (int k = 0; k < count; k++)
            if (!Corner(corners[size_t(which[k])], &p->pos[k], &p->normal[k], &p->tex[k])) return false;
        static_cast<int32_t*>(group->triangles.data)[group->writePos++] = next++;
        return true;
    }

    bool Statement(const localLine& l, std::vector<localCorner>& corners) {
        localStatement s = localClassify(l.words[0]);
        switch (s) {
            case kPos:
                return Vector(l, &obj->positions, &positions, 3, 3, true, "a position");
            case kNormal:
                return Vector(l, &obj->normals, &normals, 3, 3, true, "a normal");
            case kTex:
                return Vector(l, &obj->texCoords, &texCoords, 2, 1, false, "a texture coordinate");
            case kUsemtl: {
                std::string name = localFirstWord(l.rest);
                material =
                    name.empty() ? localDefaultMaterialID(obj, shared) : localMaterialID(obj, shared, name.c_str());
                if (material < 0)
                    return r.Fail("more than %d materials (distinct usemtl names); no real model has so many",
                                  int(FXObjModel::kMaxMaterials));
                return true;
            }
            case kMtllib:
                obj->mtlFile.Set(localFirstWord(l.rest).c_str());
                return true;
            case kFace: {
                if (!localParseCorners(r, l, 3, &corners)) return false;
                for (int k = 2; k < int(corners.size()); k++) {  // a fan around the first corner
                    const int tri[3] = {0, k - 1, k};
                    if (!Primitive(corners, tri, 3, false)) return false;
                }
                return true;
            }
            case kSegments: {
                if (!localParseCorners(r, l, 2, &corners)) return false;
                for (int k = 1; k < int(corners.size()); k++) {
                    const int seg[2] = {k - 1, k};
                    if (!Primitive(corners, seg, 2, true)) return false;
                }
                return true;
            }
            case kGroup:
                group = localFindGroup(obj, *shared, localTrimmed(l.rest).c_str());
                return true;
            default:  // reported by the first pass
                return true;
        }
    }

    bool Run() {
        std::vector<localCorner> corners;
        for (localReader::Result res; (res = r.Next()) != localReader::kEnd;) {
            if (res == localReader::kBad) return false;
            localLine l(r.text);
            if (l.Count() && !Statement(l, corners)) return false;
        }
        bool whole = positions == obj->positionCount && normals == obj->normalCount &&
                     texCoords == obj->texCoordCount && next == obj->primitives.Count();
        for (int i = 0; i < obj->groups.Count(); i++)
            if (obj->GetGroup(i)->writePos != obj->GetGroup(i)->triangles.count) whole = false;
        if (!whole) {
            err({FX_ERR_IO, "FXObjModel::Load"}, "%s: the file changed while it was read\n", r.file);
            return false;
        }
        const char* file = r.file;
        if (missingNormals > 1)
            err({FX_ERR_DAMAGED, "FXObjModel::Load"}, "%s: %d corners name normals not in the file\n", file,
                missingNormals);
        if (missingTex > 1)
            err({FX_ERR_DAMAGED, "FXObjModel::Load"}, "%s: %d corners name texture coordinates not in the file\n", file,
                missingTex);
        // Faces before any usemtl, in a file without one, use the unnamed material.
        if (obj->materials.top == 0 && obj->primitives.Count() > 0) localDefaultMaterialID(obj, shared);
        return true;
    }
};

bool localLoadModel(FXObjModel* obj, localShared* shared, FILE* f) {
    localPass2 pass(obj, shared, f);
    return pass.Run();
}

// Why path cannot be read as a text file although it exists (a folder, a pipe or a device, which
// would end at once or never), or null.
const char* localNotAFile(const char* path) {
    std::error_code ec;
    std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (!ec && std::filesystem::is_directory(st)) return "is a folder";
    if (!ec && std::filesystem::exists(st)) return std::filesystem::is_regular_file(st) ? nullptr : "is not a regular file";
    // Some systems do not describe their devices by name (NUL and CON on Windows): the opened
    // file tells. A name that cannot be opened is left to the reader, which reports why.
    FXInputInfo info;
    int fd = fxOpenInput(path, &info);
    fxCloseInput(fd);
    return fd >= 0 || info.refused.empty() ? nullptr : "is not a regular file";
}

// A library named relative to the OBJ file lies beside it.
std::string localLibraryPath(const char* objPath, const char* lib) {
    if (fxIsAbsolutePath(lib)) return lib;
    const char* name = fxGetFilename(objPath);
    return std::string(objPath, size_t(name - objPath)) + lib;
}

// The library through env, which owns it and traces one it cannot load; without an environment
// there is nothing to load it into (and nothing to upload its pictures to).
FXMatlib* localLoadLibrary(PEnv* env, const char* path) {
    if (const char* why = localNotAFile(path)) {
        err({FX_ERR_IO, "FXObjModel::Load", path}, "the material library %s %s\n", path, why);
        return nullptr;
    }
    if (env) return env->LoadMatlib(path);
    trc("FXObjModel::Load -> %s: no environment to load the material library into\n", path);
    return nullptr;
}

// ---- building the meshes ----

struct localKey {
    int pos, normal, tex;
    bool operator==(const localKey& o) const { return pos == o.pos && normal == o.normal && tex == o.tex; }
};

struct localKeyHash {
    size_t operator()(const localKey& k) const {
        return (size_t(unsigned(k.pos)) * 0x9E3779B1u) ^ (size_t(unsigned(k.normal)) * 0x85EBCA77u) ^
               (size_t(unsigned(k.tex)) * 0xC2B2AE3Du);
    }
};

// Each mesh's vertices by their source index triple: the same answer as a scan of the mesh's
// vertices, without the quadratic cost on large models.
using localVertexIndex = std::unordered_map<localKey, int, localKeyHash>;

// Grows a malloc'd block of `capacity` items to twice as many (kGrowStep at first), the new ones
// zeroed; false when it cannot. Doubling keeps the copying linear in the final size.
template <typename T>
bool localGrow(T** block, int* capacity, int used) {
    int more = *capacity < kGrowStep ? kGrowStep : *capacity;
    if (*capacity > INT_MAX - more) return false;
    T* grown = static_cast<T*>(calloc(size_t(*capacity) + size_t(more), sizeof(T)));
    if (!grown) return false;
    if (*block && used > 0) memcpy(grown, *block, sizeof(T) * size_t(used));
    free(*block);
    *block = grown;
    *capacity += more;
    return true;
}

void localCopyItem(const FXMemory& m, int i, float* out, int n) {
    const float* src = i >= 0 ? static_cast<const float*>(m.GetItemPtr(i)) : nullptr;
    for (int k = 0; k < n; k++) out[k] = src ? src[k] : 0.0f;
}

int localFindCreateObjVertex(FXMesh* mesh, FXObjModel* obj, localVertexIndex* index, int pos, int normal, int tex) {
    const localKey key{pos, normal, tex};
    auto found = index->find(key);
    if (found != index->end()) return found->second;
    if (mesh->vertexCount >= mesh->vertexCapacity &&
        !localGrow(&mesh->vertices, &mesh->vertexCapacity, mesh->vertexCount))
        return -1;
    tagFXVertex& v = mesh->vertices[mesh->vertexCount];
    memset(&v, 0, sizeof v);
    v.srcIndex[0] = pos;
    v.srcIndex[1] = normal;
    v.srcIndex[2] = tex;
    localCopyItem(obj->positions, pos, v.pos, 3);
    localCopyItem(obj->normals, normal, v.normal, 3);
    localCopyItem(obj->texCoords, tex < obj->texCoordCount ? tex : -1, v.uv, 2);
    for (float& c : v.color) c = 1.0f;
    (*index)[key] = mesh->vertexCount;
    return mesh->vertexCount++;
}

bool localPushIndice(FXMesh* mesh, int vertex) {
    if (mesh->indexCount >= mesh->indexCapacity && !localGrow(&mesh->indices, &mesh->indexCapacity, mesh->indexCount))
        return false;
    mesh->indices[mesh->indexCount++] = vertex;
    return true;
}

// One mesh per material number, bound to the library's material of that name.
void localCreateMeshes(FXModel* model, FXObjModel* obj) {
    model->loadedMeshes.Reserve(model->loadedMeshes.Count() + obj->materials.top);
    for (int i = 0; i < obj->materials.top; i++) {
        FXMesh* mesh = new FXMesh;
        model->loadedMeshes.Push(mesh);
        obj->materialMeshes.items[i] = mesh;
        const char* name = obj->materials.Get(i);
        FXMaterial* m = obj->matlib ? obj->matlib->FindMaterial(name) : nullptr;
        // The name is kept even without the material, so a library found later still binds it.
        mesh->materialName.Set(m ? m->name.c_str() : name);
        mesh->material = m;
        if (m)
            mesh->drawPass = m->IsSolid() ? 0 : 1;
        else if (*name && obj->matlib)  // without a library (none named, or it failed) nothing to say per material
            err({FX_ERR_MISSING, "FXModel::ImportObj"}, "%s: material '%s' is not in the library '%s'\n",
                obj->fileName.c_str(), name, obj->mtlFile.c_str());
    }
}

bool localImportObj(FXModel* model, FXObjModel* obj) {
    model->matlibName.Set(obj->mtlFile.c_str());
    model->matlib.Share(obj->matlib);
    localCreateMeshes(model, obj);
    std::vector<localVertexIndex> index(size_t(obj->materials.top));
    for (int gi = 0; gi < obj->groups.Count(); gi++) {
        const MObjGroup* g = obj->GetGroup(gi);
        const int32_t* list = static_cast<const int32_t*>(g->triangles.data);
        for (int k = 0; k < g->triangles.count; k++) {
            const MObjPrimitive* p = obj->GetPrimitive(list[k]);
            if (p->isLine || p->material < 0 || p->material >= obj->materials.top) continue;
            FXMesh* mesh = static_cast<FXMesh*>(obj->materialMeshes.items[p->material]);
            for (int c = 0; c < 3; c++) {
                int v = localFindCreateObjVertex(mesh, obj, &index[size_t(p->material)], p->pos[c], p->normal[c],
                                                 p->tex[c]);
                if (v < 0 || !localPushIndice(mesh, v)) {
                    err({FX_ERR_MEMORY, "FXModel::ImportObj"}, "%s: out of memory\n", obj->fileName.c_str());
                    return false;
                }
            }
        }
    }
    return true;
}

// Corners the file gives no normal (no vn lines at all, a corner form without one, or one the file
// lacks) get the smooth normal of their position: the sum of the normals of the faces around it,
// each as long as twice its face's area, so that large faces weigh more. The z negated on input
// mirrors the model, so a face's front is (p2 - p0) x (p1 - p0), the way the file's own normals
// turn out. Returns how many vertices got one.
int localSmoothNormals(FXModel* model, const FXObjModel* obj) {
    int missing = 0;
    for (int i = 0; i < model->loadedMeshes.Count(); i++) {
        const FXMesh* mesh = model->loadedMeshes.Get(i);
        for (int v = 0; mesh && v < mesh->vertexCount; v++) missing += mesh->vertices[v].srcIndex[1] < 0;
    }
    if (missing == 0) return 0;
    std::vector<float> sum(size_t(obj->positionCount) * 3, 0.0f);
    for (int i = 0; i < obj->primitives.Count(); i++) {
        const MObjPrimitive* p = obj->GetPrimitive(i);
        if (p->isLine) continue;
        const float* c[3];
        for (int k = 0; k < 3; k++) c[k] = static_cast<const float*>(obj->positions.GetItemPtr(p->pos[k]));
        if (!c[0] || !c[1] || !c[2]) continue;
        const float e1[3] = {c[1][0] - c[0][0], c[1][1] - c[0][1], c[1][2] - c[0][2]};
        const float e2[3] = {c[2][0] - c[0][0], c[2][1] - c[0][1], c[2][2] - c[0][2]};
        const float n[3] = {e2[1] * e1[2] - e2[2] * e1[1], e2[2] * e1[0] - e2[0] * e1[2],
                            e2[0] * e1[1] - e2[1] * e1[0]};
        for (int k = 0; k < 3; k++)
            for (int a = 0; a < 3; a++) sum[size_t(p->pos[k]) * 3 + size_t(a)] += n[a];
    }
    for (int i = 0; i < model->loadedMeshes.Count(); i++) {
        FXMesh* mesh = model->loadedMeshes.Get(i);
        for (int v = 0; mesh && v < mesh->vertexCount; v++) {
            tagFXVertex& x = mesh->vertices[v];
            if (x.srcIndex[1] >= 0 || x.srcIndex[0] < 0 || x.srcIndex[0] >= obj->positionCount) continue;
            const float* n = &sum[size_t(x.srcIndex[0]) * 3];
            float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            if (!(len > 0.0f) || !std::isfinite(len)) continue;  // only degenerate faces around it
            for (int a = 0; a < 3; a++) x.normal[a] = n[a] / len;
        }
    }
    return missing;
}

bool localHasTriangles(const FXObjModel* obj) {
    for (int i = 0; i < obj->primitives.Count(); i++)
        if (!obj->GetPrimitive(i)->isLine) return true;
    return false;
}

}  // namespace

// ---- FXObjModel ----

FXObjModel::FXObjModel() {
    positions.itemSize = 12;
    normals.itemSize = 12;
    texCoords.itemSize = 8;
}

void FXObjModel::Destroy() {
    fileName.Clear();
    mtlFile.Clear();
    matlib.Reset();
    materials.DestroyBuf();
    materialMeshes.DestroyBuf();
    positions.DestroyBuf();
    normals.DestroyBuf();
    texCoords.DestroyBuf();
    primitives.DeleteContents();
    groups.DeleteContents();
    positionCount = normalCount = texCoordCount = 0;
}

bool FXObjModel::Load(PEnv* env, const char* path, FXImportProgress progress, void* user) {
    Destroy();
    if (!path || !*path) {
        err({FX_ERR_IO, "FXObjModel::Load"}, "no file named\n");
        return false;
    }
    if (const char* why = localNotAFile(path)) {
        err({FX_ERR_IO, "FXObjModel::Load", path}, "%s %s\n", path, why);
        return false;
    }
    FXInputInfo info;
    FILE* f = fxOpenInputFile(path, &info, FX_INPUT_TEXT);
    if (!f) {
        err({FX_ERR_IO, "FXObjModel::Load", path}, "cannot open %s: %s\n", path, info.Why().c_str());
        return false;
    }
    fileName.Set(path);
    localShared shared;
    shared.progress = progress;
    shared.user = user;
    std::error_code ec;
    shared.fileBytes = static_cast<long long>(std::filesystem::file_size(path, ec));
    if (ec) shared.fileBytes = 0;
    bool ok = localPrepareModel(this, &shared, f);
    if (ok) {
        rewind(f);
        shared.pass = 1;
        ok = localLoadModel(this, &shared, f);
    }
    fclose(f);
    if (!ok) {
        Destroy();
        return false;
    }
    if (!mtlFile.IsEmpty()) {
        mtlFile.Set(localLibraryPath(path, mtlFile.c_str()).c_str());
        matlib.Adopt(env, localLoadLibrary(env, mtlFile.c_str()));
    }
    materialMeshes.Realloc(materials.top);
    for (int i = 0; i < materials.top; i++) materialMeshes.Push(nullptr);
    if (progress) progress(user, 1.0f);
    return true;
}

// ---- FXModel::ImportObj ----

bool FXModel::ImportObj(PEnv* env, const char* path, FXImportProgress progress, void* user) {
    Destroy();
    FXObjModel obj;
    if (!obj.Load(env, path, progress, user)) return false;
    if (!localHasTriangles(&obj)) {
        err({FX_ERR_DAMAGED, "FXModel::ImportObj", path}, "%s: no faces to import\n", path);
        return false;
    }
    if (!localImportObj(this, &obj)) {
        Destroy();
        return false;
    }
    if (int smoothed = localSmoothNormals(this, &obj)) {
        if (obj.normalCount == 0)
            trc("FXModel::ImportObj -> %s: the file gives no normals; smooth normals are computed from the faces\n",
                path);
        else
            trc("FXModel::ImportObj -> %s: %d vertices have no normal in the file; smooth normals are computed for "
                "them from the faces\n",
                path, smoothed);
    }
    return true;
}
