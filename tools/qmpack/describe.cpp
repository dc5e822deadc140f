// Entry descriptions for `list`: pictures by their headers, engine records by their loaders.
#include "describe.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "anim/anim.h"
#include "base/binio.h"
#include "base/errors.h"
#include "base/package.h"
#include "geometry/mesh.h"
#include "elements/smovie.h"
#include "geometry/model.h"
#include "package_index.h"
#include "image/picture_header.h"

namespace {

// Records larger than this are named, not read.
const long long kMaxRecordBytes = 256LL << 20;
// A material record after its two strings: four colours of four floats and the shininess.
const int kMaterialTail = 17 * 4;

std::string localQuoted(const std::string& s) { return "'" + s + "'"; }

// The leading string of a record when it is short (1..16 characters) and printable.
std::string localMagic(const std::vector<unsigned char>& b) {
    if (b.size() < 4) return "";
    int k = fxGetI32(b.data());
    if (k < 1 || k > 16 || size_t(k) > b.size() - 4) return "";
    for (int i = 0; i < k; i++)
        if (b[size_t(4 + i)] < 0x20 || b[size_t(4 + i)] > 0x7e) return "";
    return std::string(b.begin() + 4, b.begin() + 4 + k);
}

// The record alone, through no environment: a model's or an animation's library lies in another
// entry, which is described by itself.
void localLoadCN(FXModel* m, FXPackage* pkg, int id) { m->LoadCN(nullptr, pkg, id); }
void localLoadCN(FXAnim* a, FXPackage* pkg, int id) { a->LoadCN(nullptr, pkg, id); }
void localLoadCN(SMovie* mv, FXPackage* pkg, int id) { mv->LoadCN(pkg, id); }

// Loads a record alone (bytes, numbered id) into pkg and through the engine's loader into object;
// the engine's first complaint while it reads the record becomes the entry's problem. pkg
// outlives object (a movie keeps pointing into its package).
template <typename T>
void localLoadRecord(FXPackage* pkg, T* object, int id, const std::vector<unsigned char>& bytes,
                     QMPackEntryInfo* info) {
    qmpackLoadSingleEntry(pkg, id, bytes);
    FXErrorCapture capture;
    localLoadCN(object, pkg, id);
    if (!capture.Errors().empty() && info->problem.empty()) info->problem = capture.Errors().front().Text();
}

void localDescribeModel(int id, const std::vector<unsigned char>& bytes, QMPackEntryInfo* info) {
    info->kind = "model";
    FXPackage pkg;
    FXModel m;
    localLoadRecord(&pkg, &m, id, bytes, info);
    int library = 0;
    bool named = fxParseEntryName(m.matlibName, &library);
    if (named) info->refs.push_back({"library", library});
    info->summary = "model " + localQuoted(m.name.c_str()) + " (" + localMagic(bytes) + "), " +
                    std::to_string(m.loadedMeshes.Count()) + (m.loadedMeshes.Count() == 1 ? " mesh" : " meshes") +
                    (named ? ", library " + std::to_string(library)
                           : m.matlibName.IsEmpty() ? ", no library" : ", library " + localQuoted(m.matlibName.c_str()));
    info->json += ",\"name\":" + qmpackJson(m.name.c_str()) + ",\"library\":" + qmpackJson(m.matlibName.c_str()) +
                  ",\"meshes\":[";
    for (int k = 0; k < m.loadedMeshes.Count(); k++) {
        const FXMesh* mesh = m.loadedMeshes.Get(k);
        int v = mesh ? mesh->vertexCount : 0, n = mesh ? mesh->indexCount : 0;
        std::string material = mesh ? mesh->materialName.c_str() : "";
        char line[200];
        snprintf(line, sizeof line, "mesh %d: %d vertices, %d indices (%d triangle%s), material ", k, v, n, n / 3,
                 n / 3 == 1 ? "" : "s");
        info->details.push_back(line + (material.empty() ? std::string("none") : localQuoted(material)));
        info->json += std::string(k ? "," : "") + "{\"vertices\":" + std::to_string(v) +
                      ",\"indices\":" + std::to_string(n) + ",\"material\":" + qmpackJson(material) + "}";
    }
    info->json += "]";
}

void localDescribeAnim(int id, const std::vector<unsigned char>& bytes, QMPackEntryInfo* info) {
    info->kind = "animation";
    FXPackage pkg;
    FXAnim a;
    localLoadRecord(&pkg, &a, id, bytes, info);
    const FXModel* first = a.GetFrameCount() > 0 ? a.GetModel(0) : nullptr;
    int library = 0;
    bool named = first && fxParseEntryName(first->matlibName, &library);
    if (named) info->refs.push_back({"library", library});
    long long total = 0;
    info->json += ",\"frames\":[";
    for (int k = 0; k < a.GetFrameCount(); k++) {
        int ms = a.durations.GetInt(k);
        total += ms;
        std::string name = k < a.frameNames.top ? a.frameNames.Get(k) : "";
        info->details.push_back("frame " + std::to_string(k) + ": " + localQuoted(name) + ", " + std::to_string(ms) +
                                " ms");
        info->json += std::string(k ? "," : "") + "{\"name\":" + qmpackJson(name) +
                      ",\"duration\":" + std::to_string(ms) + "}";
    }
    int meshes = first ? first->GetCount() : 0, vertices = first ? first->GetTotalVertices() : 0;
    char text[160];
    snprintf(text, sizeof text, "animation (xa03), %d frame%s, %.3g s, %d mesh%s, %d vertices a frame%s",
             a.GetFrameCount(), a.GetFrameCount() == 1 ? "" : "s", double(total) / 1000.0, meshes,
             meshes == 1 ? "" : "es", vertices, a.loop ? (a.pingPong ? ", ping-pong" : ", loop") : "");
    info->summary = text + (named ? ", library " + std::to_string(library) : std::string(", no library"));
    info->json += "],\"meshes\":" + std::to_string(meshes) + ",\"vertices\":" + std::to_string(vertices) +
                  ",\"loop\":" + (a.loop ? "true" : "false") + ",\"pingPong\":" + (a.pingPong ? "true" : "false") +
                  ",\"library\":" + qmpackJson(first ? first->matlibName.c_str() : "");
}

void localDescribeMovie(int id, const std::string& magic, const std::vector<unsigned char>& bytes,
                        QMPackEntryInfo* info) {
    info->kind = "movie";
    FXPackage pkg;
    SMovie mv;
    localLoadRecord(&pkg, &mv, id, bytes, info);
    std::string keys;
    for (int k = 0; k < mv.keyFrames.top; k++) keys += (k ? "," : "") + std::to_string(mv.keyFrames.GetInt(k));
    char text[200];
    // A damaged or hostile record may hold a tiny (subnormal) frame time: no rate is then known.
    double fps = mv.frameDuration > 0.0 ? 1.0 / mv.frameDuration : 0.0;
    if (!std::isfinite(fps)) fps = 0.0;
    snprintf(text, sizeof text, "movie (%s), %d frame%s at %.4g fps%s%s%s, largest crop %dx%d", magic.c_str(),
             mv.GetFrameCount(), mv.GetFrameCount() == 1 ? "" : "s", fps, mv.keyed ? ", keys " : "", keys.c_str(),
             mv.loop ? (mv.pingPong ? ", ping-pong" : ", loop") : "", mv.maxCropWidth, mv.maxCropHeight);
    info->summary = text;
    info->json += ",\"version\":" + qmpackJson(magic) + ",\"fps\":" + std::to_string(fps) +
                  ",\"loop\":" + (mv.loop ? "true" : "false") + ",\"pingPong\":" + (mv.pingPong ? "true" : "false") +
                  ",\"keys\":[" + keys + "],\"frames\":[";
    for (int k = 0; k < mv.GetFrameCount(); k++) {
        std::string colour = mv.colorNames.Get(k), mask = k < mv.maskNames.top ? mv.maskNames.Get(k) : "";
        for (const std::string* name : {&colour, &mask}) {
            int entry = 0;
            if (fxParseEntryName(name->c_str(), &entry))
                info->refs.push_back({"picture", entry});
            else if (!name->empty() && info->problem.empty())
                info->problem = "frame " + std::to_string(k) + " names a file, not an entry: not compiled";
        }
        info->details.push_back("frame " + std::to_string(k) + ": colour " + colour + ", mask " + mask);
        info->json += std::string(k ? "," : "") + "{\"colour\":" + qmpackJson(colour) + ",\"mask\":" + qmpackJson(mask) +
                      "}";
    }
    info->json += "]";
}

// A material library: name, count, then per material name, picture and 68 bytes of colours.
// True when the record is exactly that.
bool localDescribeLibrary(const std::vector<unsigned char>& bytes, QMPackEntryInfo* info) {
    // The name must lie inside the record: text and other records rarely pass this.
    if (bytes.size() < 8) return false;
    int nameLength = fxGetI32(bytes.data());
    if (nameLength < 0 || nameLength > FXStr::kCapacity || size_t(nameLength) > bytes.size() - 8) return false;
    FXPackageData d;
    d.InitData(bytes.data(), int(bytes.size()));
    FXStr name;
    d.ReadString(&name);
    int count = d.ReadInt();
    if (count < 0 || count > d.remaining / (8 + kMaterialTail)) return false;
    std::vector<std::pair<std::string, std::string>> materials;
    for (int k = 0; k < count; k++) {
        FXStr material, picture;
        if (d.remaining < 8 + kMaterialTail) return false;
        d.ReadString(&material);
        d.ReadString(&picture);
        if (!d.ReadBlc(kMaterialTail)) return false;
        materials.push_back({material.c_str(), picture.c_str()});
    }
    if (d.remaining != 0) return false;
    info->kind = "library";
    info->summary = "material library " + localQuoted(name.c_str()) + ", " + std::to_string(count) +
                    (count == 1 ? " material" : " materials");
    info->json += ",\"name\":" + qmpackJson(name.c_str()) + ",\"materials\":[";
    for (size_t k = 0; k < materials.size(); k++) {
        const std::string& picture = materials[k].second;
        int entry = 0;
        std::string line = "material " + localQuoted(materials[k].first);
        if (picture.empty()) {
            line += ", no picture";
        } else if (fxParseEntryName(picture.c_str(), &entry)) {
            line += ", picture " + std::to_string(entry);
            info->refs.push_back({"picture", entry});
        } else {
            line += ", picture " + localQuoted(picture) + " (a file name, not an entry)";
            if (info->problem.empty()) info->problem = "material " + localQuoted(materials[k].first) +
                                                       " names a file, not an entry: not compiled";
        }
        info->details.push_back(line);
        info->json += std::string(k ? "," : "") + "{\"name\":" + qmpackJson(materials[k].first) +
                      ",\"picture\":" + qmpackJson(picture) + "}";
    }
    info->json += "]";
    return true;
}

void localDescribeRecord(const QMPackIndex& x, int i, QMPackEntryInfo* info) {
    long long size = x.Size(i);
    info->kind = "record";
    if (size > kMaxRecordBytes) {
        info->summary = "record (too large to describe)";
        return;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (size > 0 && !x.ReadEntry(i, 0, size_t(size), bytes.data())) {
        info->problem = "cannot be read";
        return;
    }
    std::string magic = localMagic(bytes);
    if (magic == "xm02" || magic == "xm03") return localDescribeModel(x.Id(i), bytes, info);
    if (magic == "xa03") return localDescribeAnim(x.Id(i), bytes, info);
    if (magic == "xs01" || magic == "xs02" || magic == "xs03")
        return localDescribeMovie(x.Id(i), magic, bytes, info);
    if (localDescribeLibrary(bytes, info)) return;
    info->summary = magic.empty() ? "record" : "record " + localQuoted(magic);
}

}  // namespace

namespace {

// The length of the well-formed UTF-8 sequence at s[i] (shortest form, no surrogates), or 0.
size_t localUtf8Length(const std::string& s, size_t i) {
    unsigned char c = (unsigned char)s[i];
    size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; k++)
        if (((unsigned char)s[i + k] & 0xC0) != 0x80) return 0;
    unsigned char c1 = (unsigned char)s[i + 1];
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90))
        return 0;
    return n;
}

}  // namespace

std::string qmpackJson(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        if (c >= 0x80) {
            // Names are bytes: valid UTF-8 passes as it is, any other byte becomes the character
            // of its value (as Latin-1 reads it), so the output is always valid JSON.
            size_t n = localUtf8Length(text, i);
            if (n > 0) {
                out.append(text, i, n);
                i += n - 1;
            } else {
                char esc[8];
                snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            }
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

void qmpackLoadSingleEntry(FXPackage* p, int id, const std::vector<unsigned char>& bytes) {
    // Signature, then the four one-item tables: id, offset 0, size, record type.
    const int32_t tables[] = {1, id, 1, 0, 1, int32_t(bytes.size()), 1, FX_PACKAGE_TYPE_RECORD};
    std::vector<unsigned char> file(9 + sizeof tables + bytes.size());
    fxPutI32(file.data(), 5);
    memcpy(file.data() + 4, "pck01", 5);
    for (size_t k = 0; k < 8; k++) fxPutI32(file.data() + 9 + 4 * k, tables[k]);
    if (!bytes.empty()) memcpy(file.data() + 9 + sizeof tables, bytes.data(), bytes.size());
    p->LoadFromMemory(file.data(), long(file.size()));
}

void qmpackDescribeEntry(const QMPackIndex& x, int i, QMPackEntryInfo* info) {
    *info = QMPackEntryInfo();
    if (!x.Inside(i)) {
        info->kind = "damaged";
        info->problem = "outside the data area (the file was cut short?)";
        return;
    }
    std::string kind = fxPictureKind(x.Type(i));
    if (kind.empty()) {
        if (x.Type(i) != FX_PACKAGE_TYPE_RECORD) {
            info->kind = "unknown";
            info->problem = "unknown type code " + std::to_string(x.Type(i));
            return;
        }
        return localDescribeRecord(x, i, info);
    }
    info->kind = kind;
    FXPictureHeader pic;
    auto read = [&](long long at, size_t len, unsigned char* dst) { return x.ReadEntry(i, at, len, dst); };
    if (!fxReadPictureHeader(read, x.Size(i), kind, &pic, &info->problem)) return;
    info->summary = "picture " + std::to_string(pic.width) + "x" + std::to_string(pic.height) +
                    (pic.layout.empty() ? "" : " " + pic.layout);
    info->json += ",\"width\":" + std::to_string(pic.width) + ",\"height\":" + std::to_string(pic.height) +
                  ",\"layout\":" + qmpackJson(pic.layout);
}
