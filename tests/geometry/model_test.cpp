// FXModel: both record formats through files and package entries, what is saved, the drawing
// order, lookups, editing over the working group, the compile step and damaged entries.
#include "geometry/model.h"

#include <gtest/gtest.h>

#include "base/package.h"
#include "base/paths.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"
#include "geometry_test_util.h"
#include "image/material.h"
#include "image/matlib.h"
#include "support/recording_env.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Hands out one library (its own, never deleted) for every request and counts the references.
struct LibraryEnv : RecordingEnv {
    FXMatlib lib;
    std::vector<std::string> requested;
    FXMatlib* LoadMatlibC(FXPackage*, const char* n) override {
        requested.push_back(n);
        lib.refCount++;
        return &lib;
    }
    FXMatlib* LoadMatlib(const char* n) override { return LoadMatlibC(nullptr, n); }
    void ReleaseMatlib(FXMatlib* l) override { PEnv::ReleaseMatlib(l); }
};

// count meshes with different data in the working group; passes 0, 1, 2, ...
void Build(FXModel* m, int count = 3) {
    m->name.Set("tree");
    m->matlibName.Set("7");
    for (int i = 0; i < count; i++) {
        FXMesh* x = new FXMesh;
        qmQuad(x, 0.1f * float(i));
        x->vertices[3].uv[0] = 2.0f + float(i);
        x->materialName.Format("mat%d", i);
        x->drawPass = i % 3;
        x->colorMode = i == 1 ? 1 : 0;
        m->meshes.Push(x);
    }
}

void ExpectSameMesh(const FXMesh* a, const FXMesh* b, const std::string& where) {
    ASSERT_TRUE(a && b) << where;
    EXPECT_STREQ(a->materialName, b->materialName) << where;
    EXPECT_EQ(a->drawPass, b->drawPass) << where;
    EXPECT_EQ(a->colorMode, b->colorMode) << where;
    ASSERT_EQ(a->vertexCount, b->vertexCount) << where;
    ASSERT_EQ(a->indexCount, b->indexCount) << where;
    for (int i = 0; i < a->vertexCount; i++)
        EXPECT_EQ(0, memcmp(a->vertices[i].pos, b->vertices[i].pos, 32)) << where << " vertex " << i;
    EXPECT_EQ(0, memcmp(a->indices, b->indices, 4 * size_t(a->indexCount))) << where;
}

Bytes Saved(FXModel* m, bool compact, const std::string& path) {
    FILE* f = fopen(path.c_str(), "wb");
    compact ? m->Save_v03(f) : m->Save_v02(f);
    fclose(f);
    return qmReadFile(path);
}

FXMesh* Loaded(const FXModel& m, int i) { return m.loadedMeshes.Get(i); }

void LoadPackage(FXPackage* pkg, const std::vector<Bytes>& entries) {
    Bytes pb = qmPackageBytes(entries);
    pkg->LoadFromMemory(pb.data(), long(pb.size()));
}

}  // namespace

TEST(FXModel, BothFormatsRoundTripThroughFilesAndPackages) {
    LibraryEnv env;
    FXModel src;
    Build(&src);
    for (bool compact : {true, false}) {
        std::string tag = compact ? "xm03" : "xm02";
        std::string path = qmTestPath(tag + ".bin");
        Bytes bytes = Saved(&src, compact, path);
        FXModel fromFile;
        ASSERT_TRUE(fromFile.Load(&env, path.c_str())) << tag;
        EXPECT_STREQ(fromFile.name, "tree");
        EXPECT_STREQ(fromFile.matlibName, "7");
        EXPECT_EQ(fromFile.matlib.Get(), &env.lib);
        ASSERT_EQ(fromFile.loadedMeshes.Count(), 3) << tag;
        EXPECT_EQ(fromFile.meshes.Count(), 0);
        for (int i = 0; i < 3; i++) ExpectSameMesh(Loaded(fromFile, i), src.EnumMeshes(i), tag + " file");

        FXPackage pkg;
        LoadPackage(&pkg, {{1, 2, 3}, bytes});
        FXModel fromPkg;
        ASSERT_TRUE(fromPkg.LoadCN(&env, &pkg, 1)) << tag;
        ASSERT_EQ(fromPkg.loadedMeshes.Count(), 3) << tag;
        for (int i = 0; i < 3; i++) ExpectSameMesh(Loaded(fromPkg, i), src.EnumMeshes(i), tag + " package");
        fromPkg.UpdateMeshes();
        EXPECT_NE(fromPkg.EnumMeshes(2), Loaded(fromPkg, 2));
        ExpectSameMesh(fromPkg.EnumMeshes(2), Loaded(fromPkg, 2), tag + " working copy");
        EXPECT_EQ(fromPkg.GetTotalVertices(), 12);
    }
    EXPECT_EQ(env.requested, (std::vector<std::string>{"7", "7", "7", "7"}));
    EXPECT_EQ(env.lib.refCount, 1);  // every model released its reference
}

TEST(FXModel, DisabledAndMissingMeshesAreNotSaved) {
    FXModel src;
    Build(&src);
    src.DisableMesh(1, true);
    src.meshes.Push(nullptr);
    for (bool compact : {true, false}) {
        std::string path = qmTestPath("disabled.bin");
        EXPECT_EQ(fxGetI32(Saved(&src, compact, path).data() + 8 + 8 + 5), 2) << compact;  // M
        FXModel r;
        ASSERT_TRUE(r.Load(nullptr, path.c_str()));
        ASSERT_EQ(r.loadedMeshes.Count(), 2);
        ExpectSameMesh(Loaded(r, 0), src.EnumMeshes(0), "first");
        ExpectSameMesh(Loaded(r, 1), src.EnumMeshes(2), "third");
    }
    src.DisableMesh(-1, true);
    src.DisableMesh(src.GetCount(), true);
    EXPECT_FALSE(src.EnumMeshes(0)->disabled || src.EnumMeshes(2)->disabled);

    // A mesh whose corner names a missing vertex cannot be read back: it is left out, and the
    // meshes after it still load.
    src.DisableMesh(1, false);
    src.EnumMeshes(0)->indices[4] = 4;
    for (bool compact : {true, false}) {
        std::string path = qmTestPath("stray.bin");
        EXPECT_EQ(fxGetI32(Saved(&src, compact, path).data() + 8 + 8 + 5), 2) << compact;
        FXModel r;
        ASSERT_TRUE(r.Load(nullptr, path.c_str()));
        ASSERT_EQ(r.loadedMeshes.Count(), 2) << compact;
        ExpectSameMesh(Loaded(r, 0), src.EnumMeshes(1), "second");
        ExpectSameMesh(Loaded(r, 1), src.EnumMeshes(2), "third");
    }
}

TEST(FXModel, DrawingOrderByPass) {
    FXModel m;
    for (int pass : {0, 1, 2, 1}) {
        m.meshes.Push(new FXMesh);
        m.EnumMeshes(m.GetCount() - 1)->drawPass = pass;
    }
    m.meshes.Insert(2, nullptr);       // skipped everywhere
    m.EnumMeshes(3)->disabled = true;  // still handed to the device, which skips it
    RecordingEnv env;
    m.OnRender(&env, 0.0);
    FXMesh *a = m.EnumMeshes(0), *b = m.EnumMeshes(1), *c = m.EnumMeshes(3), *d = m.EnumMeshes(4);
    EXPECT_EQ(env.meshes, (std::vector<FXMesh*>{a, d, b, b, d, c, c}));
    EXPECT_EQ(env.calls, (std::vector<std::string>{"RenderMesh", "EnableCullface(1,0)", "RenderMesh", "RenderMesh",
                                                   "EnableCullface(0,1)", "RenderMesh", "RenderMesh",
                                                   "EnableCullface(0,0)", "EnableDepthWrite(0)", "RenderMesh",
                                                   "EnableDepthWrite(1)", "RenderMesh"}));
    FXModel loaded;  // loaded but not made working: nothing is drawn
    loaded.loadedMeshes.Push(new FXMesh);
    RecordingEnv env2;
    loaded.OnRender(&env2, 0.0);
    EXPECT_TRUE(env2.meshes.empty());
}

TEST(FXModel, LookupsAndDoubleMesh) {
    FXMatlib lib;
    FXMaterial bark, leaf;
    bark.name.Set("bark");
    leaf.name.Set("leaf");
    lib.AddMaterial(&bark);
    lib.AddMaterial(&leaf);
    FXModel m;
    Build(&m);
    m.matlib.Share(nullptr, &lib);  // a library lent by nobody: only its count changes
    m.EnumMeshes(0)->material = &bark;
    m.EnumMeshes(2)->material = &leaf;
    EXPECT_STREQ(m.EnumMeshNames(0), "bark");
    EXPECT_EQ(m.EnumMeshNames(1), nullptr);
    EXPECT_EQ(m.FindMesh("bark"), m.EnumMeshes(0));
    EXPECT_EQ(m.FindMesh("leaf"), nullptr);  // the search ends at the material-less mesh
    FXMesh* gone = m.EnumMeshes(2);
    EXPECT_EQ(m.RemoveMesh(gone), gone);
    EXPECT_EQ(m.RemoveMesh(gone), nullptr);  // no longer the model's
    delete gone;
    m.EnumMeshes(1)->material = &bark;

    FXMesh* d = m.DoubleMesh("leaf", "bark");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(m.EnumMeshes(2), d);
    EXPECT_EQ(d->material, &leaf);
    EXPECT_STREQ(d->materialName, "leaf");
    EXPECT_EQ(0, memcmp(d->vertices, m.EnumMeshes(0)->vertices, 4 * sizeof(tagFXVertex)));
    EXPECT_EQ(m.DoubleMesh("leaf", "bark"), d);  // the existing mesh is reused
    EXPECT_EQ(m.DoubleMesh("moss", "bark"), nullptr);
    EXPECT_EQ(m.DoubleMesh("bark", "bark"), nullptr);
    EXPECT_EQ(m.GetCount(), 3);

    FXModel copy;
    copy.Copy(&m);
    EXPECT_EQ(lib.refCount, 3);
    EXPECT_NE(copy.EnumMeshes(0), m.EnumMeshes(0));
    copy.Destroy();
    m.Destroy();
    EXPECT_EQ(lib.refCount, 1);
    lib.RemoveMaterial(&bark);
    lib.RemoveMaterial(&leaf);
}

TEST(FXModel, EditingCoversTheWholeWorkingGroup) {
    FXModel m, other;
    Build(&m, 2);
    Build(&other, 2);
    m.meshes.Push(nullptr);
    m.Transform(2, 0, 1, false, false, true);  // x := old z (0 and 0.1)
    m.Unitize();  // one box for the model: largest extent 2, centre x 0.05
    EXPECT_FLOAT_EQ(m.EnumMeshes(0)->vertices[0].pos[0], -0.05f);
    EXPECT_FLOAT_EQ(m.EnumMeshes(1)->vertices[0].pos[0], 0.05f);
    other.EnumMeshes(1)->vertices[3].uv[0] = 9.0f;
    m.CopyTexCoords(-1, &other);  // different mesh counts: nothing
    EXPECT_EQ(m.EnumMeshes(1)->vertices[3].uv[0], 3.0f);
    other.meshes.Push(nullptr);
    m.CopyTexCoords(1, &other);
    EXPECT_EQ(m.EnumMeshes(1)->vertices[3].uv[0], 9.0f);

    const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
    m.UpdateColCol(grey);
    EXPECT_EQ(m.EnumMeshes(0)->colorMode, 1);
    EXPECT_EQ(m.EnumMeshes(1)->vertices[2].color[0], 0.5f);
    m.flipV = true;
    m.ResizeTextCoords();  // hands the model's flip to every mesh
    EXPECT_TRUE(m.EnumMeshes(0)->flipV && m.EnumMeshes(1)->flipV);
}

TEST(FXModel, CompileRegistersTheLibraryAsATemporaryEntry) {
    FXMatlib lib;
    FXModel m;
    EXPECT_FALSE(m.Compile(nullptr));
    m.matlib.Share(nullptr, &lib);
    m.matlib->name.Set("lib");
    FXPackage pkg;
    std::string dir = qmTestPath("");
    pkg.sourceDir.Set(dir.c_str());
    ASSERT_TRUE(m.Compile(&pkg));
    ASSERT_EQ(pkg.tmpFiles.top, 1);
    ASSERT_EQ(pkg.pendingPaths.top, 1);
    std::string tmp = pkg.tmpFiles.Get(0);
    EXPECT_EQ(tmp.rfind(dir, 0), 0u) << tmp;  // inside the source directory
    EXPECT_EQ(tmp, pkg.pendingPaths.Get(0));
    int id = -1;
    ASSERT_TRUE(fxParseEntryName(m.matlibName, &id));
    EXPECT_EQ(id, pkg.names.FindId(tmp.c_str()));
    FXMatlib back;
    ASSERT_TRUE(back.Load(nullptr, tmp.c_str()));
    EXPECT_STREQ(back.name, "lib");
    pkg.DeleteTmpFiles();
    EXPECT_FALSE(fxPathExists(tmp.c_str()));
}

TEST(FXModel, MissingEntriesUnknownMagicAndDamagedCounts) {
    QmBytes other, hugeM, negM;
    other.Str("xm04").Str("n").Str("l").Int(1);
    hugeM.Str("xm02").Str("n").Str("l").Int(1 << 28);
    negM.Str("xm03").Str("n").Str("l").Int(-2);
    FXPackage pkg;
    LoadPackage(&pkg, {other.bytes, hugeM.bytes, negM.bytes});
    FXModel m;
    EXPECT_FALSE(m.LoadCN(nullptr, &pkg, 9));
    EXPECT_TRUE(m.LoadCN(nullptr, &pkg, 0));
    EXPECT_EQ(m.loadedMeshes.Count(), 0);
    EXPECT_STREQ(m.name, "");
    EXPECT_TRUE(m.LoadCN(nullptr, &pkg, 1));
    EXPECT_EQ(m.loadedMeshes.Count(), 0);
    EXPECT_LT(m.loadedMeshes.Capacity(), 100);
    EXPECT_TRUE(m.LoadC(nullptr, &pkg, "2"));
    EXPECT_EQ(m.loadedMeshes.Count(), 0);
    EXPECT_FALSE(m.Load(nullptr, qmTestPath("none.bin").c_str()));
}

TEST(FXModel, CutAndCorruptedEntriesLoadPartOrNothing) {
    FXModel src;
    Build(&src);
    std::string path = qmTestPath("cut.bin");
    for (bool compact : {true, false}) {
        Bytes good = Saved(&src, compact, path);
        for (size_t len = 0; len <= good.size(); len++) {
            FXPackage pkg;
            LoadPackage(&pkg, {Bytes(good.begin(), good.begin() + long(len))});
            FXModel m;
            ASSERT_TRUE(m.LoadCN(nullptr, &pkg, 0));
            ASSERT_LE(m.loadedMeshes.Count(), 3);
            for (int i = 0; i < m.loadedMeshes.Count(); i++) EXPECT_TRUE(fxMeshIndicesValid(Loaded(m, i))) << len;
            bool whole = m.loadedMeshes.Count() == 3 && Loaded(m, 2)->indexCount == 6;
            EXPECT_EQ(whole, len == good.size()) << compact << " " << len;
        }
    }
    Bytes cut = Saved(&src, false, path);  // the file form checks the same counts
    cut.resize(cut.size() - 10);
    qmWriteFile(path, cut);
    FXModel f;
    EXPECT_TRUE(f.Load(nullptr, path.c_str()));
    EXPECT_EQ(f.loadedMeshes.Count(), 2);

    // A corner stream naming a texture coordinate beyond the map: that mesh is refused.
    Bytes bytes = Saved(&src, true, path);
    ASSERT_EQ(bytes.back(), 5);  // the last corner's explicit texture index
    bytes.back() = 0x7f;
    FXPackage pkg;
    LoadPackage(&pkg, {bytes});
    FXModel m;
    ASSERT_TRUE(m.LoadCN(nullptr, &pkg, 0));
    EXPECT_EQ(m.loadedMeshes.Count(), 2);
}
