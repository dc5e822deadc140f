#include "support/scene_package.h"

#include <cstdio>
#include <functional>
#include <vector>

#include "anim/anim.h"
#include "base/binio.h"
#include "base/package.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "image/matlib.h"
#include "support/package_bytes.h"

namespace {

using QmRgba = std::function<void(int x, int y, unsigned char* rgba)>;

const char kLibraryEntry[] = "10";
const int kMovieEntries[3] = {177, 88, 748};
const int kAnimEntries[3] = {94, 203, 200};
const unsigned char kMovieColours[3][3] = {{40, 200, 60}, {40, 80, 230}, {170, 60, 200}};

struct QmBuilder {
    std::string dir;
    std::vector<QmEntry> entries;
    std::string why;

    std::vector<unsigned char> Take(const std::string& path) {
        std::vector<unsigned char> bytes;
        if (FILE* f = fopen(path.c_str(), "rb")) {
            unsigned char buf[65536];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
            fclose(f);
        }
        remove(path.c_str());
        if (bytes.empty() && why.empty()) why = "could not write " + path;
        return bytes;
    }

    // A picture entry: PNG (with alpha when asked) or JPEG colour, or a JPEG mask from the alpha.
    void Picture(int id, int w, int h, const QmRgba& fill, int kind) {
        FXCanvas c;
        c.pixmap.Realloc(w, h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) fill(x, y, c.pixmap.PixelBytes(x, y));
        std::string path = dir + "/qm-scene-" + std::to_string(id) + (kind >= 2 ? ".jpg" : ".png");
        bool ok = kind == 0   ? c.SaveToPict(path.c_str())
                  : kind == 1 ? c.SaveToPict2(path.c_str(), 0, 0, w, h)
                  : kind == 2 ? c.SaveToPict(path.c_str())
                              : c.SaveToMask(path.c_str());
        if (!ok && why.empty()) why = "the image library could not write " + path;
        entries.push_back({id, kind >= 2 ? FX_PACKAGE_TYPE_JPG : FX_PACKAGE_TYPE_PNG, Take(path)});
    }

    void Solid(int id, int w, int h, unsigned char r, unsigned char g, unsigned char b) {
        Picture(id, w, h, [=](int, int, unsigned char* p) { p[0] = r, p[1] = g, p[2] = b, p[3] = 255; }, 0);
    }
};

// A quad facing the viewer (normals 0, 0, -1; counter-clockwise on screen) from (x0, y0) to
// (x1, y1) at depth z; mirror runs its texture right to left.
FXMesh* localQuad(const char* material, float x0, float y0, float x1, float y1, float z, bool mirror) {
    FXMesh* m = new FXMesh;
    m->Realloc(4, 6);
    m->materialName.Set(material);
    const float corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (int i = 0; i < 4; i++) {
        tagFXVertex& v = m->vertices[i];
        v = tagFXVertex{};
        v.pos[0] = corners[i][0], v.pos[1] = corners[i][1], v.pos[2] = z;
        v.normal[2] = -1.0f;
        float u = (corners[i][0] + 1.0f) * 0.5f;
        v.uv[0] = mirror ? 1.0f - u : u;
        v.uv[1] = (1.0f - corners[i][1]) * 0.5f;  // the picture's top row at the top
        for (float& c : v.color) c = 1.0f;
    }
    const int32_t tri[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; i++) m->indices[i] = tri[i];
    return m;
}

FXModel* localFrame(int m) {
    FXModel* model = new FXModel;
    model->name.Format("pose%d", m);
    model->matlibName.Set(kLibraryEntry);
    model->meshes.Push(localQuad("Material.001", -1, -1, 1, 1, 0.02f * float(m), true));
    model->meshes.Push(localQuad("Material.001a", -1, -1, -0.6f, -0.6f, -0.1f - 0.01f * float(m), false));
    return model;
}

void localAnimation(QmBuilder* b, int id, const std::vector<int>& ms) {
    FXAnim a;
    for (size_t m = 0; m < ms.size(); m++) {
        a.models.Push(localFrame(int(m)));
        a.frameNames.Push(("pose" + std::to_string(m)).c_str());
        a.durations.PushInt(ms[m]);
    }
    std::string path = b->dir + "/qm-scene-" + std::to_string(id) + ".xa";
    if (!a.Save(path.c_str()) && b->why.empty()) b->why = "the animation could not be written";
    b->entries.push_back({id, FX_PACKAGE_TYPE_RECORD, b->Take(path)});
}

void localMovie(QmBuilder* b, int clip, const QmScenePackage& o) {
    const unsigned char* rgb = kMovieColours[clip];
    QmBytes rec;
    unsigned char d[8];
    fxPutF64(d, o.movieFrameSeconds);
    rec.Str("xs03").Byte(0).Byte(0).Raw(std::vector<unsigned char>(d, d + 8));
    rec.Int(16).Int(16).Int(4 * o.movieFrames);  // crop maxima; every frame over the whole view
    for (int j = 0; j < o.movieFrames; j++) rec.Float(-1).Float(1).Float(1).Float(-1);
    std::vector<std::string> colours, masks;
    for (int j = 0; j < o.movieFrames; j++) {
        int colour = 1000 + 100 * clip + j, mask = colour + 50;
        unsigned char shade = static_cast<unsigned char>(255 - 20 * j);
        auto fill = [=](int, int, unsigned char* p) {
            p[0] = static_cast<unsigned char>(rgb[0] * shade / 255), p[1] = rgb[1], p[2] = rgb[2], p[3] = 255;
        };
        b->Picture(colour, 16, 16, fill, 2);
        b->Picture(mask, 16, 16,
                   [](int x, int y, unsigned char* p) {
                       p[0] = p[1] = p[2] = 0;
                       p[3] = x >= 6 && x < 10 && y >= 6 && y < 10 ? 255 : 0;
                   },
                   3);
        colours.push_back(std::to_string(colour));
        masks.push_back(std::to_string(mask));
    }
    for (const auto* names : {&colours, &masks}) {
        rec.Int(int32_t(names->size()));
        for (const std::string& s : *names) rec.Str(s);
    }
    rec.Byte(1).Table({0, o.movieFrames / 2, o.movieFrames - 1});  // keyed to three key frames
    b->entries.push_back({kMovieEntries[clip], FX_PACKAGE_TYPE_RECORD, rec.bytes});
}

}  // namespace

bool qmWriteScenePackage(const std::string& path, const QmScenePackage& o, std::string* why) {
    if (!fxDevilLoaded()) {
        *why = "the image library is not bound";
        return false;
    }
    QmBuilder b;
    size_t slash = path.rfind('/');
    b.dir = slash == std::string::npos ? "." : path.substr(0, slash);

    b.Solid(0, o.errorWidth, o.errorHeight, 255, 0, 0);
    b.Solid(1, 32, 24, 0, 128, 255);
    b.Solid(5, 64, 16, 200, 200, 200);
    b.Solid(749, 16, 16, 250, 250, 120);
    b.Solid(750, 16, 16, 120, 250, 250);
    if (o.secondPicture)
        b.Picture(751, 64, 64,
                  [](int x, int, unsigned char* p) {
                      p[0] = 255, p[1] = 160, p[2] = 0, p[3] = x < 32 ? 0 : 255;
                  },
                  1);

    FXMatlib lib;
    lib.name.Set("scene");
    std::string libPath = b.dir + "/qm-scene-lib.xl";
    if (!lib.Save(libPath.c_str())) b.why = "the material library could not be written";
    b.entries.push_back({10, FX_PACKAGE_TYPE_RECORD, b.Take(libPath)});

    FXModel logo;
    logo.name.Set("logo");
    logo.matlibName.Set(kLibraryEntry);
    logo.meshes.Push(localQuad("logo", -0.5f, -0.5f, 0.5f, 0.5f, 0.0f, false));
    std::string logoPath = b.dir + "/qm-scene-logo.xm";
    if (!logo.Save(logoPath.c_str())) b.why = "the logo model could not be written";
    b.entries.push_back({4, FX_PACKAGE_TYPE_RECORD, b.Take(logoPath)});

    localAnimation(&b, 91, {o.openingMs, o.openingMs});
    for (int i = 0; i < 3; i++) {
        localAnimation(&b, kAnimEntries[i], {500, 500, 500});
        localMovie(&b, i, o);
    }
    if (!b.why.empty()) {
        *why = b.why;
        return false;
    }
    std::vector<unsigned char> bytes = qmPackageFile(b.entries);
    FILE* f = fopen(path.c_str(), "wb");
    bool ok = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && fclose(f) != 0) ok = false;
    if (!ok) *why = "could not write " + path;
    return ok;
}

bool qmWriteSceneContent(const std::string& folder, int openingMs, std::string* why) {
    QmScenePackage content;
    content.openingMs = openingMs;
    if (!fxLoadDevil()) {
        *why = "the image library cannot be bound";
        return false;
    }
    bool written = qmWriteScenePackage(folder + "/qmsave.dat", content, why);
    fxUnloadDevil();
    return written;
}
