// OBJ import: faces, positions, shared corners, materials and groups; the open cases (missing
// parts, relative indices, line ends, no materials) and the damaged files that are refused.
#include "geometry/model_obj.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geometry/mesh.h"
#include "geometry/model.h"
#include "image/devil.h"
#include "image/material.h"
#include "image/matlib.h"
#include "support/png_write_gl.h"
#include "support/recording_env.h"
#include "support/test_support.h"

namespace {

using Ints = std::vector<int>;
using Floats = std::vector<float>;

// Loads .mtl libraries and shares them as the real environment does; draws nothing.
struct ObjEnv : RecordingEnv {
    FXMatlib* LoadMatlib(const char* f) override { return PEnv::LoadMatlib(f); }
    FXMaterial* GetDefaultMaterial() override { return PEnv::GetDefaultMaterial(); }
    FXMatlib* GetDefaultMatlib() override { return PEnv::GetDefaultMatlib(); }
    void ReleaseMatlib(FXMatlib* lib) override { PEnv::ReleaseMatlib(lib); }
};

FXMesh* Mesh(const FXModel& m, int i) { return m.loadedMeshes.Get(i); }
Ints Indices(const FXMesh* m) { return Ints(m->indices, m->indices + m->indexCount); }
Floats F(const float* v, int n) { return Floats(v, v + n); }
Ints Src(const tagFXVertex& v) { return Ints(v.srcIndex, v.srcIndex + 3); }

int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) n++;
    return n;
}

class ObjImport : public testing::Test {
protected:
    ObjEnv env;
    std::string path, log;

    bool Import(FXModel* m, const std::string& text) { return ImportWith(&env, m, text); }
    bool ImportWith(PEnv* with, FXModel* m, const std::string& text) {
        path = qmTestPath("m.obj");
        qmWriteText(path, text);
        bool ok = false;
        log = qmTraced([&] { ok = m->ImportObj(with, path.c_str()); });
        return ok;
    }
};

const char* kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";

}  // namespace

TEST_F(ObjImport, FacesFanIntoTrianglesAndCornersShareVertices) {
    FXModel m;
    ASSERT_TRUE(Import(&m,
                       "v 1 2 3\nv 4 5 6\nv 7 8 9\nv 10 11 12\nvt 0.1 0.2\nvt 0.3 0.4\nvt 0.5 0.6\nvt 0.7 0.8\n"
                       "vt 0.9 1\nvn 0 0.6 0.8\nusemtl a\nf 1/1/1 2/2/1 3/3/1 4/4/1\nf 1/1/1 3/3/1 2/5/1\n"))
        << log;
    ASSERT_EQ(m.loadedMeshes.Count(), 1);
    EXPECT_EQ(m.meshes.Count(), 0);  // the caller takes them into use
    const FXMesh* a = Mesh(m, 0);
    EXPECT_STREQ(a->materialName, "a");
    EXPECT_EQ(Indices(a), (Ints{0, 1, 2, 0, 2, 3, 0, 2, 4}));  // vertex 4: position 2 with texture 5
    ASSERT_EQ(a->vertexCount, 5);
    const tagFXVertex& v0 = a->vertices[0];
    EXPECT_EQ(F(v0.pos, 3), (Floats{1, 2, -3}));
    EXPECT_EQ(F(v0.normal, 3), (Floats{0, 0.6f, -0.8f}));
    EXPECT_EQ(F(v0.uv, 2), (Floats{0.1f, 0.2f}));
    EXPECT_EQ(F(v0.color, 4), (Floats{1, 1, 1, 1}));
    EXPECT_EQ(Src(v0), (Ints{0, 0, 0}));
    EXPECT_EQ(Src(a->vertices[4]), (Ints{1, 0, 4}));
    EXPECT_EQ(F(a->vertices[4].uv, 2), (Floats{0.9f, 1}));
    EXPECT_EQ(a->vertexCapacity, 500);
    EXPECT_EQ(a->indexCapacity, 500);
    EXPECT_FALSE(m.matlib);

    // 502 corners: 500 triangles; full arrays double.
    std::string fan;
    for (int i = 0; i < 502; i++) fan += "v " + std::to_string(i) + " 0 0\n";
    fan += "f";
    for (int i = 1; i <= 502; i++) fan += " " + std::to_string(i);
    ASSERT_TRUE(Import(&m, fan + "\n")) << log;
    const FXMesh* big = Mesh(m, 0);
    EXPECT_EQ(big->vertexCount, 502);
    EXPECT_EQ(big->vertexCapacity, 1000);
    EXPECT_EQ(big->indexCount, 1500);
    EXPECT_EQ(big->indexCapacity, 2000);
    EXPECT_EQ(Ints(big->indices + 1497, big->indices + 1500), (Ints{0, 500, 501}));
}

TEST_F(ObjImport, OpenCasesImport) {
    struct Case {
        const char* name;
        std::string text;
        const char* mesh;  // name of the one mesh
        Ints indices, src0;
        Floats normal0, uv0;
        std::string trace;
    } cases[] = {
        {"no usemtl: one unnamed mesh",
         std::string(kTriangle) + "f 1 2 3\n",
         "",
         {0, 1, 2},
         {0, -1, -1},
         {0, 0, -1},  // smooth normals from the faces: facing +z in the file
         {0, 0},
         ""},
        {"normal and texture the file does not give",
         std::string(kTriangle) + "vn 0 0 1\nvt 0.5 0.25\nf 1/7/9 2/1/1 3/1/1\n",
         "",
         {0, 1, 2},
         {0, -1, -1},
         {0, 0, -1},
         {0, 0},
         ":6: normal 9 is not in the file (1 given so far, 1 in all); a smooth normal is computed\n"},
        {"relative indices count from the last value read",
         std::string(kTriangle) + "f -3 -2 -1\nv 5 5 5\nf -4 -1 -3\n",
         "",
         {0, 1, 2, 0, 3, 1},
         {0, -1, -1},
         {0, 5 / std::sqrt(41.0f), 4 / std::sqrt(41.0f)},  // both faces' normals, weighted by area
         {0, 0},
         ""},
        {"CRLF ends and a comment after the corners",
         "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nvn 1 0 0\r\ng side\r\nusemtl red\r\nf 3//1 2//1 1//1 # one\r\n",
         "red",
         {0, 1, 2},
         {2, 0, -1},
         {1, 0, 0},
         {0, 0},
         ""},
        {"CR ends",
         "vt 0.5\rv 0 0 0\rv 1 0 0\rv 0 1 0\rusemtl\rf 1/1 2/1 3/1\r",
         "",
         {0, 1, 2},
         {0, -1, 0},
         {0, 0, -1},
         {0.5f, 0},
         ""},
    };
    for (const Case& c : cases) {
        FXModel m;
        ASSERT_TRUE(Import(&m, c.text)) << c.name << "\n" << log;
        ASSERT_EQ(m.loadedMeshes.Count(), 1) << c.name;
        const FXMesh* mesh = Mesh(m, 0);
        EXPECT_STREQ(mesh->materialName, c.mesh) << c.name;
        EXPECT_EQ(mesh->material, nullptr) << c.name;  // no library: drawn with the default material
        EXPECT_EQ(Indices(mesh), c.indices) << c.name;
        EXPECT_EQ(Src(mesh->vertices[0]), c.src0) << c.name;
        for (int k = 0; k < 3; k++) EXPECT_NEAR(mesh->vertices[0].normal[k], c.normal0[size_t(k)], 1e-6f) << c.name;
        EXPECT_EQ(F(mesh->vertices[0].uv, 2), c.uv0) << c.name;
        if (!c.trace.empty()) {
            EXPECT_NE(log.find(path + c.trace), std::string::npos) << c.name << log;
        }
        EXPECT_EQ(log.find("\r"), std::string::npos) << c.name;
        EXPECT_EQ(log.find("is not in the library"), std::string::npos) << c.name;  // no library is named
    }
}

TEST_F(ObjImport, DamagedFilesAreRefusedNamingTheLine) {
    struct Case {
        std::string text, message;  // message after "<path>"
    } cases[] = {
        {"v 0 0 0\nf 1\n", ":2: a face needs at least 3 corners, it has 1"},
        {std::string(kTriangle) + "f 1 2 # 3\n", ":4: a face needs at least 3 corners, it has 2"},
        {"v 0 0 0\nl 1\n", ":2: a line statement needs at least 2 corners, it has 1"},
        {std::string(kTriangle) + "f 1 2 4\n", ":4: a corner names position 4; the file gives 3 so far and 3 in all"},
        {std::string(kTriangle) + "f 0 1 2\n", ":4: a corner names position 0; indices start at 1"},
        {std::string(kTriangle) + "f -4 1 2\n", ":4: a corner names position -4; the file gives 3 so far and 3 in all"},
        {std::string(kTriangle) + "f 1/1 2 3\n",
         ":4: a face corner '2' does not have the form of the first corner '1/1'"},
        {"f a b c\n", ":1: a face corner 'a' is not a vertex index"},
        {"f 99999999999 1 2\n", ":1: a face corner '99999999999' is not a vertex index"},
        {"v 1 x 3\n", ":1: a position value 'x' is not a number"},
        {"v 1 2\nf 1 1 1\n", ":1: a position needs 3 numbers, it has 2"},
        {"vn 0 inf 1\n", ":1: a normal value 'inf' is not a number"},
        {"v 0 0 0\n# " + std::string(1 << 20, 'x') + "\nf 1 1 1\n", ":2: line longer than 65536 bytes"},
        {std::string("v 0 0\0 0\n", 9), ":1: a NUL byte: this is not an OBJ text file"},
        {"v 0 0 0\n", ": no faces to import"},
        {"", ": no faces to import"},
        {std::string(kTriangle) + "l 1 2 3\n", ": no faces to import"},
    };
    for (const Case& c : cases) {
        FXModel m;
        EXPECT_FALSE(Import(&m, c.text)) << c.message;
        EXPECT_EQ(m.loadedMeshes.Count(), 0) << c.message;
        EXPECT_EQ(Occurrences(log, "#ERROR: "), 1) << c.message << log.substr(0, 2000);
        EXPECT_NE(log.find(path + c.message + "\n"), std::string::npos) << c.message << log.substr(0, 2000);
    }
    FXModel m;
    std::string missing = qmTestPath("none.obj");
    log = qmTraced([&] { EXPECT_FALSE(m.ImportObj(&env, missing.c_str())); });
    EXPECT_NE(log.find("FXObjModel::Load -> cannot open " + missing + ": No such file or directory\n"),
              std::string::npos)
        << log;
    std::string folder = qmTestPath("");
    log = qmTraced([&] { EXPECT_FALSE(m.ImportObj(&env, folder.c_str())); });
    EXPECT_NE(log.find("FXObjModel::Load -> " + folder + " is a folder\n"), std::string::npos) << log;
    log = qmTraced([&] { EXPECT_FALSE(m.ImportObj(&env, kQmNullDevice)); });  // a device, neither a file nor empty
    EXPECT_NE(log.find(std::string("FXObjModel::Load -> ") + kQmNullDevice + " is not a regular file\n"),
              std::string::npos)
        << log;
}

// Object names and smoothing groups are known words and pass silently; any other word is reported
// once per file, on the first line that has it, however many lines use it.
TEST_F(ObjImport, UnknownWordsAreTracedOnceAndSkipped) {
    FXModel m;
    ASSERT_TRUE(Import(&m, "# made by hand\no cube\nvp 1 2\ns 1\nuu x\nmm y\n" + std::string(kTriangle) +
                               "s off\nf 1 2 3\ncurv 1 2\no other\nvp 3 4\ncurv 3 4\nuu z\nmm w\ncurv 5\n"));
    const char* once[] = {
        "] localPrepareModel -> unknown token(0): vp\n", "] localPrepareModel -> unknown token(3): curv 1 2\n",
        "] localPrepareModel -> unknown token(2): uu\n", "] localPrepareModel -> unknown token(1): mm\n"};
    for (const char* t : once) EXPECT_EQ(Occurrences(log, t), 1) << t << log;
    EXPECT_EQ(Occurrences(log, "#ERROR: "), 4) << log;
    EXPECT_EQ(log.find("token(3): o"), std::string::npos) << log;
    EXPECT_EQ(log.find("token(3): s"), std::string::npos) << log;
    EXPECT_EQ(Indices(Mesh(m, 0)), (Ints{0, 1, 2}));
}

TEST_F(ObjImport, GroupsOrderTheTrianglesOfAMesh) {
    FXObjModel obj;
    std::string file = qmTestPath("groups.obj");
    qmWriteText(file,
                std::string(kTriangle) + "v 1 1 0\nl 1 2 3\ng a\nf 1 2 3\ng  b \nf 2 4 3\ng a\nf 3 2 1\ng\nf 1 3 4\n");
    ASSERT_TRUE(obj.Load(&env, file.c_str()));
    ASSERT_EQ(obj.groups.Count(), 3);
    EXPECT_STREQ(obj.GetGroup(2)->name.c_str(), "b");
    auto list = [&](int g) {
        const MObjGroup* x = obj.GetGroup(g);
        return Ints(static_cast<int*>(x->triangles.data), static_cast<int*>(x->triangles.data) + x->triangles.count);
    };
    EXPECT_EQ(list(0), (Ints{0, 1, 5}));  // two segments, then the face after the empty g
    EXPECT_EQ(list(1), (Ints{2, 4}));
    EXPECT_EQ(list(2), (Ints{3}));
    EXPECT_TRUE(obj.GetPrimitive(1)->isLine);
    EXPECT_EQ(Ints(obj.GetPrimitive(1)->pos, obj.GetPrimitive(1)->pos + 2), (Ints{1, 2}));
    FXModel m;
    ASSERT_TRUE(m.ImportObj(&env, file.c_str()));
    EXPECT_EQ(Indices(Mesh(m, 0)), (Ints{0, 1, 2, 0, 3, 1, 1, 3, 0, 3, 2, 1}));  // groups "", a, b: faces 5, 2, 4, 3
}

// Materials bind by name from the library beside the OBJ file, with or without an environment.
TEST_F(ObjImport, MaterialsComeFromTheLibraryBesideTheFile) {
    std::string lib = qmTestPath("lib.mtl");
    qmWriteText(lib, "newmtl solid\nKd 1 0 0\nnewmtl glass\nKd 0 0 1\nd 0.5\n");
    const std::string body =
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nusemtl glass\nf 1 3 4\nusemtl solid\n"
        "f 2 3 4\nusemtl glass\nf 4 3 2\nusemtl ghost\nf 1 2 4\n";
    {
        FXModel m;
        ASSERT_TRUE(Import(&m, "mtllib lib.mtl\n" + body)) << log;
        EXPECT_STREQ(m.matlibName, lib.c_str());
        ASSERT_TRUE(m.matlib);
        EXPECT_EQ(m.matlib.Owner(), &env);
        EXPECT_EQ(m.matlib->refCount, 1);  // the import's reference is gone
        ASSERT_EQ(m.loadedMeshes.Count(), 3);
        const char* names[3] = {"glass", "solid", "ghost"};
        const Ints counts = {9, 3, 3};  // faces before the first usemtl join the first material
        for (int i = 0; i < 3; i++) {
            EXPECT_STREQ(Mesh(m, i)->materialName, names[i]);
            EXPECT_EQ(Mesh(m, i)->indexCount, counts[size_t(i)]) << names[i];
        }
        ASSERT_NE(Mesh(m, 0)->material, nullptr);
        EXPECT_EQ(Mesh(m, 0)->material->diffuse[2], 1.0f);
        EXPECT_EQ(Mesh(m, 0)->drawPass, 1);  // see-through
        EXPECT_EQ(Mesh(m, 1)->drawPass, 0);
        EXPECT_EQ(Mesh(m, 2)->material, nullptr);
        EXPECT_NE(log.find(path + ": material 'ghost' is not in the library '" + lib + "'\n"), std::string::npos)
            << log;
    }
    {
        // Without an environment there is nothing to load the library into: the meshes keep
        // their material names and bind nothing.
        FXModel bare;
        ASSERT_TRUE(ImportWith(nullptr, &bare, "mtllib lib.mtl\n" + body)) << log;
        EXPECT_FALSE(bare.matlib);
        ASSERT_EQ(bare.loadedMeshes.Count(), 3);
        EXPECT_STREQ(Mesh(bare, 0)->materialName, "glass");
        EXPECT_EQ(Mesh(bare, 0)->material, nullptr);
    }
    // A library that is not there: the meshes keep their names and draw with the default material.
    FXModel m;
    ASSERT_TRUE(Import(&m, "mtllib nothere.mtl\nusemtl a\n" + std::string(kTriangle) + "f 1 2 3\n"));
    EXPECT_STREQ(Mesh(m, 0)->materialName, "a");
    EXPECT_EQ(Mesh(m, 0)->material, nullptr);
    EXPECT_NE(log.find("cannot load " + qmTestPath("nothere.mtl")), std::string::npos) << log;
    // A device that never ends is not read.
    ASSERT_TRUE(Import(&m, "mtllib " + std::string(kQmEndlessDevice) + "\nusemtl a\n" + kTriangle + "f 1 2 3\n"));
    EXPECT_EQ(Mesh(m, 0)->material, nullptr);
    // (Windows' device names are devices in every folder: there the name is found beside the file.)
    size_t refused = log.find(std::string(kQmEndlessDevice) + " is not a regular file\n");
    ASSERT_NE(refused, std::string::npos) << log;
    EXPECT_NE(log.rfind("the material library ", refused), std::string::npos) << log;
    // With a library but no usemtl, the unnamed mesh finds the environment's default material.
    ASSERT_TRUE(Import(&m, "mtllib lib.mtl\n" + std::string(kTriangle) + "f 1 2 3\n"));
    EXPECT_EQ(Mesh(m, 0)->material, &env.defaultMaterial);
}

// What an author does: OBJ, library and picture in, an engine model file out and back.
TEST_F(ObjImport, ImportedModelSavesAndLoadsBack) {
    ASSERT_TRUE(fxLoadDevil());
    std::string png = qmTestPath("skin.png"), lib = qmTestPath("skin.mtl"), xm = qmTestPath("skin.xm");
    const unsigned char px[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    ASSERT_TRUE(qmWritePngRGBA(png, 2, 2, px, 8, false));
    qmWriteText(lib, "newmtl skin\nKd 1 1 1\nmap_Kd " + png + "\n");
    FXModel m;
    ASSERT_TRUE(Import(&m, "mtllib skin.mtl\nusemtl skin\n" + std::string(kTriangle) +
                               "v 1 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\nvn 0 0 1\nf 1/1/1 2/2/1 4/4/1 3/3/1\n"))
        << log;
    ASSERT_TRUE(Mesh(m, 0)->material && Mesh(m, 0)->material->hasTexture);
    EXPECT_EQ(Mesh(m, 0)->drawPass, 0);
    m.UpdateMeshes();
    ASSERT_TRUE(m.Save(xm.c_str()));

    ObjEnv fresh;  // nothing shared with the import
    FXModel back;
    ASSERT_TRUE(back.Load(&fresh, xm.c_str()));
    ASSERT_EQ(back.loadedMeshes.Count(), 1);
    const FXMesh *a = m.EnumMeshes(0), *b = Mesh(back, 0);
    EXPECT_EQ(Indices(b), Indices(a));
    ASSERT_EQ(b->vertexCount, 4);
    for (int i = 0; i < 4; i++) EXPECT_EQ(0, memcmp(a->vertices[i].pos, b->vertices[i].pos, 32)) << i;
    EXPECT_EQ(F(b->vertices[0].normal, 3), (Floats{0, 0, -1}));
    ASSERT_NE(b->material, nullptr);
    EXPECT_STREQ(b->material->name, "skin");
    EXPECT_TRUE(b->material->hasTexture);
    EXPECT_EQ(b->material->GetWidth(), 2);
    EXPECT_EQ(b->material->GetTextureDevice(), &fresh);
    back.Destroy();
}

// A file without normals gets smooth ones from its faces, facing the way the file's own normals
// would: a tent of two slopes meeting at a ridge, written once with its normals and once without.
TEST_F(ObjImport, MissingNormalsAreSmoothedFromTheFaces) {
    // Left slope (eaves 1, 2) and right slope (eaves 5, 6) meet at the ridge 3, 4.
    const std::string tent = "v -1 0 0\nv -1 0 1\nv 0 1 0\nv 0 1 1\nv 1 0 0\nv 1 0 1\n";
    const float h = std::sqrt(0.5f);
    const std::string normals = "vn " + std::to_string(-h) + " " + std::to_string(h) + " 0\nvn 0 1 0\nvn " +
                                std::to_string(h) + " " + std::to_string(h) + " 0\n";
    auto normalsByPosition = [](const FXModel& m) {
        std::vector<Floats> out(6);
        const FXMesh* mesh = Mesh(m, 0);
        for (int v = 0; v < mesh->vertexCount; v++)
            out[size_t(mesh->vertices[v].srcIndex[0])] = F(mesh->vertices[v].normal, 3);
        return out;
    };
    FXModel given, smoothed, mixed;
    ASSERT_TRUE(Import(&given, tent + normals + "f 1//1 2//1 4//2 3//2\nf 5//3 3//2 4//2 6//3\n")) << log;
    EXPECT_EQ(log.find("smooth normals"), std::string::npos) << log;
    std::vector<Floats> expected = normalsByPosition(given);
    ASSERT_TRUE(Import(&smoothed, tent + "f 1 2 4 3\nf 5 3 4 6\n")) << log;
    EXPECT_EQ(Occurrences(log, "the file gives no normals; smooth normals are computed from the faces\n"), 1) << log;
    std::vector<Floats> got = normalsByPosition(smoothed);
    for (size_t p = 0; p < 6; p++)
        for (size_t k = 0; k < 3; k++) EXPECT_NEAR(got[p][k], expected[p][k], 1e-5f) << "position " << p + 1;

    // Normals where the file gives them, computed ones for the corners without.
    ASSERT_TRUE(Import(&mixed, tent + "vn 0 0 1\nf 1//1 2//1 4//1 3//1\nf 5 3 4 6\n")) << log;
    EXPECT_NE(log.find(": 4 vertices have no normal in the file; smooth normals are computed for them"),
              std::string::npos)
        << log;
    const FXMesh* mesh = Mesh(mixed, 0);
    for (int v = 0; v < mesh->vertexCount; v++) {
        const tagFXVertex& x = mesh->vertices[v];
        Floats want = x.srcIndex[1] == 0 ? Floats{0, 0, -1} : expected[size_t(x.srcIndex[0])];
        for (size_t k = 0; k < 3; k++) EXPECT_NEAR(x.normal[k], want[k], 1e-5f) << "vertex " << v;
    }
}

// Very many groups and materials are read with their names looked up by hash; beyond limits no real
// model reaches, the file is refused with a message naming the line.
TEST_F(ObjImport, ManyGroupsAndMaterialsAndTheirLimits) {
    const int kGroups = 5000, kMaterials = 2000;
    std::string text = kTriangle;
    for (int i = 0; i < kGroups; i++) {
        text += "g part" + std::to_string(i) + "\nusemtl m" + std::to_string(i % kMaterials) + "\nf 1 2 3\n";
    }
    text += "g part7\nf 3 2 1\n";  // back to an earlier group
    FXObjModel obj;
    std::string file = qmTestPath("many.obj");
    qmWriteText(file, text);
    ASSERT_TRUE(obj.Load(&env, file.c_str()));
    ASSERT_EQ(obj.groups.Count(), kGroups + 1);
    ASSERT_EQ(obj.materials.top, kMaterials);
    EXPECT_STREQ(obj.GetGroup(4321)->name.c_str(), "part4320");
    EXPECT_STREQ(obj.materials.Get(1234), "m1234");
    const MObjGroup* seven = obj.GetGroup(8);
    ASSERT_EQ(seven->triangles.count, 2);
    EXPECT_EQ(static_cast<int*>(seven->triangles.data)[1], kGroups);
    EXPECT_EQ(obj.GetPrimitive(4321)->material, 4321 % kMaterials);
    FXModel m;
    ASSERT_TRUE(Import(&m, text)) << log.substr(0, 2000);
    EXPECT_EQ(m.loadedMeshes.Count(), kMaterials);

    struct Case {
        std::string text, message;
    } limits[] = {
        {"g a\n", ":" + std::to_string(FXObjModel::kMaxGroups + 1) + ": more than " +
                                std::to_string(FXObjModel::kMaxGroups) + " groups (distinct g names)"},
        {"usemtl a\n", ":" + std::to_string(FXObjModel::kMaxMaterials + 1) + ": more than " +
                                     std::to_string(FXObjModel::kMaxMaterials) + " materials (distinct usemtl names)"},
    };
    for (const Case& c : limits) {
        const bool groups = c.text[0] == 'g';
        const int lines = (groups ? FXObjModel::kMaxGroups : FXObjModel::kMaxMaterials) + 1;
        std::string big;
        for (int i = 0; i < lines; i++) big += (groups ? "g n" : "usemtl n") + std::to_string(i) + "\n";
        FXModel refused;
        EXPECT_FALSE(Import(&refused, big + kTriangle + "f 1 2 3\n"));
        EXPECT_NE(log.find(path + c.message), std::string::npos) << log.substr(0, 2000);
        // One fewer is a model.
        size_t last = big.rfind('\n', big.size() - 2);
        EXPECT_TRUE(Import(&refused, big.substr(0, last + 1) + kTriangle + "f 1 2 3\n")) << log.substr(0, 2000);
    }
}

// The reading reports its progress: rising shares up to 1, about one per megabyte.
TEST_F(ObjImport, ProgressRisesToTheEnd) {
    std::string text;
    for (int i = 0; i < 100000; i++) text += "v " + std::to_string(i) + ".125 0.5 0.25\n";
    for (int i = 1; i + 2 <= 100000; i += 3)
        text += "f " + std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 2) + "\n";
    ASSERT_GT(text.size(), size_t(2) << 20);
    path = qmTestPath("progress.obj");
    qmWriteText(path, text);
    std::vector<float> seen;
    FXModel m;
    ASSERT_TRUE(m.ImportObj(
        &env, path.c_str(), [](void* user, float done) { static_cast<std::vector<float>*>(user)->push_back(done); },
        &seen));
    // Two passes over more than 2 MB: at least two reports in each half, then the end.
    ASSERT_GE(seen.size(), size_t(5));
    EXPECT_EQ(seen.back(), 1.0f);
    EXPECT_GT(seen.front(), 0.0f);
    int firstHalf = 0;
    for (size_t i = 0; i < seen.size(); i++) {
        EXPECT_LE(seen[i], 1.0f);
        if (i) {
            EXPECT_GE(seen[i], seen[i - 1]) << i;
        }
        firstHalf += seen[i] < 0.5f;
    }
    EXPECT_GE(firstHalf, 2);
    EXPECT_GE(int(seen.size()) - firstHalf, 3);
}
