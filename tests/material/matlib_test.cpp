#include "image/matlib.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/package.h"
#include "base/trace.h"
#include "image/devil.h"
#include "mat_test_util.h"
#include "support/test_support.h"

namespace {
FXMaterial* localOwned(const char* name, const char* picture = "") {
    FXMaterial* m = new FXMaterial;
    m->loaded = true;
    m->name.Set(name);
    m->textureFile.Set(picture);
    return m;
}
}  // namespace

TEST(Matlib, MtlFileKeywordsAndTheirQuirks) {
    std::string path = qmTestPath("two.mtl"), log = qmTestPath("mtl.log");
    qmWriteText(path, "Ka 0.5 0.5 0.5\nnewmtl skin extra\nNs 100\nKd 0.1 0.2 0.3 d 0.25\nNi 1 Kd 9 9 9\n"
                      "norm Kd 9 9 9\nnewmtl  bark\r\nNq Ka 0.9 0.8 0.7\nd 0.5\nKx 9\nr 9\nillum 2\n"
                      "map_Kd   no such.png \t\nmap_Ka 9\n" +
                      std::string(5000, 'x') + " Kd 9 9 9\nKs 0.1 0.2 0.3 newmtl hidden\n");
    ASSERT_TRUE(fxOpenTraces(log.c_str()));
    FXMatlib lib;
    bool ok = lib.LoadFromMtl(nullptr, path.c_str());
    fxCloseTraces();
    ASSERT_TRUE(ok);
    EXPECT_STREQ(lib.name, path.c_str());
    ASSERT_EQ(lib.GetCount(), 4);  // unnamed first; a newmtl after numbers gets its own
    FXMaterial *first = lib.GetMaterial(0), *skin = lib.GetMaterial(1), *bark = lib.GetMaterial(2);
    EXPECT_TRUE(first->name.IsEmpty() && first->loaded);
    EXPECT_STREQ(skin->name, "skin");
    EXPECT_STREQ(bark->name, "bark");
    EXPECT_STREQ(lib.GetMaterial(3)->name, "hidden");
    qmExpectFloats(first->ambient, {0.5f, 0.5f, 0.5f, 0}, "first ambient");
    EXPECT_EQ(first->specular[0], 1);  // specular defaults
    EXPECT_EQ(skin->shininess, 100.0f * 1.28f);
    qmExpectFloats(skin->diffuse, {0.1f, 0.2f, 0.3f, 0.25f}, "skin diffuse");
    qmExpectFloats(bark->ambient, {0.9f, 0.8f, 0.7f, 0, 0.2f, 0.2f, 0.2f, 0.5f}, "bark ambient, diffuse");
    EXPECT_FLOAT_EQ(bark->specular[2], 0.3f);
    EXPECT_STREQ(bark->textureFile, "no such.png");  // the trimmed rest of the line
    EXPECT_FALSE(bark->hasTexture);
    std::string text = qmReadText(log), report = "unknown token(0): norm  in lib:" + path + "\n";
    EXPECT_NE(text.find("FXMatlib::LoadFromMtl -> " + report), std::string::npos);
    EXPECT_EQ(text.find("unknown token"), text.rfind("unknown token"));
    EXPECT_FALSE(lib.LoadFromMtl(nullptr, qmTestPath("missing.mtl").c_str()));
    EXPECT_EQ(lib.GetCount(), 0);
}

// "Kd r" with one value is common; a word where a number could follow must stay a word.
TEST(Matlib, MtlNumbersStopBeforeTheNextKeyword) {
    std::string path = qmTestPath("short.mtl");
    qmWriteText(path, "newmtl a\nKd 0.5\nnewmtl b\nKs 0.25 0.5\nd\nnewmtl c\nNs\nnewmtl d\n");
    FXMatlib lib;
    ASSERT_TRUE(lib.LoadFromMtl(nullptr, path.c_str()));
    ASSERT_EQ(lib.GetCount(), 5);
    const char* names[5] = {"", "a", "b", "c", "d"};
    for (int i = 0; i < 5; i++) EXPECT_STREQ(lib.GetMaterial(i)->name, names[i]) << i;
    qmExpectFloats(lib.GetMaterial(1)->diffuse, {0.5f, 0.2f, 0.2f, 1}, "a diffuse");
    qmExpectFloats(lib.GetMaterial(2)->specular, {0.25f, 0.5f, 1, 1}, "b specular");
    EXPECT_EQ(lib.GetMaterial(3)->shininess, 128);
}

TEST(Matlib, FindMaterialAsksTheParentFirst) {
    FXMatlib parent, lib;
    FXMaterial shared, own, unnamed;  // not loaded: never deleted by a library
    shared.name.Set("skin");
    own.name.Set("skin");
    parent.AddMaterial(&shared);
    lib.AddMaterial(&own);
    lib.AddMaterial(&own);
    EXPECT_EQ(lib.GetCount(), 1);
    lib.parent = &parent;
    EXPECT_EQ(lib.FindMaterial("skin"), &shared);
    EXPECT_EQ(lib.FindMaterial("Skin"), nullptr);
    EXPECT_EQ(lib.FindMaterial(""), nullptr);
    lib.AddMaterial(&unnamed);
    EXPECT_EQ(lib.FindMaterial(""), &unnamed);
    parent.RemoveMaterial(&shared);
    EXPECT_EQ(lib.FindMaterial("skin"), &own);
    lib.parent = &lib;  // a loop ends the search
    EXPECT_EQ(lib.FindMaterial("none"), nullptr);
}

// A library deletes what it read or adopted and never what it only lists (the sanitizers see a
// leak or a double delete otherwise).
TEST(Matlib, OwnsWhatItAdoptsAndOnlyListsTheRest) {
    FXMaterial keep;
    keep.name.Set("default");
    auto lib = std::make_unique<FXMatlib>();
    lib->AddMaterial(&keep);
    FXMaterial* owned = localOwned("owned");
    lib->AdoptMaterial(owned);
    lib->AdoptMaterial(owned);
    EXPECT_EQ(lib->GetCount(), 2);
    EXPECT_TRUE(lib->Owns(owned));
    EXPECT_FALSE(lib->Owns(&keep));
    FXMaterial* gone = localOwned("gone");
    lib->AdoptMaterial(gone);
    lib->RemoveMaterial(gone);  // an owned one is deleted
    lib->RemoveMaterial(&keep);  // a listed one is only taken off
    EXPECT_EQ(lib->GetCount(), 1);
    EXPECT_EQ(lib->FindMaterial("owned"), owned);
    lib->AddMaterial(&keep);
    lib.reset();
    EXPECT_STREQ(keep.name, "default");
}

TEST_F(MatEnvTest, PackageRecordsIncludingDamagedOnes) {
    QmBytes good, tooMany, negative;
    good.Str("trees").Int(2).Raw(qmMaterialRecord("bark", 0.1f, 10)).Raw(qmMaterialRecord("leaf", 0.5f, 20));
    tooMany.Str("lib").Int(50).Raw(qmMaterialRecord("only", 0.2f, 1)).Int(7);
    negative.Str("neg").Int(-5).Raw(qmMaterialRecord("never", 0.2f, 1));
    auto bytes = qmMatPackage({good, tooMany, negative}, 40);
    FXPackage p;
    p.LoadFromMemory(bytes.data(), long(bytes.size()));
    FXMatlib lib, a, b;
    lib.name.Set("40");
    EXPECT_FALSE(lib.LoadC(&env, &p, "forty"));
    EXPECT_FALSE(lib.LoadC(&env, &p, "43"));
    EXPECT_STREQ(lib.name, "40");
    ASSERT_TRUE(lib.LoadC(&env, &p, "40"));
    EXPECT_STREQ(lib.name, "trees");
    ASSERT_EQ(lib.GetCount(), 2);
    FXMaterial* leaf = lib.GetMaterial(1);
    EXPECT_STREQ(leaf->name, "leaf");
    EXPECT_TRUE(leaf->loaded);
    qmExpectFloats(leaf->specular, {.58f, .59f, .6f, .61f}, "leaf specular");
    EXPECT_EQ(leaf->shininess, 20);
    EXPECT_TRUE(env.calls.empty());  // no picture named: the texture is left alone
    EXPECT_FALSE(a.LoadC(&env, &p, "41"));  // keeps what the entry holds
    ASSERT_EQ(a.GetCount(), 1);
    EXPECT_STREQ(a.GetMaterial(0)->name, "only");
    EXPECT_FALSE(b.LoadC(&env, &p, "42"));
    EXPECT_EQ(b.GetCount(), 0);
}

// Authoring to run time: a library with pictures is saved, compiled, packed and loaded back.
TEST_F(MatEnvTest, CompiledLibraryLoadsWithItsPicturesFromTheBuiltPackage) {
    ASSERT_TRUE(fxLoadDevil());
    FXCanvas c;
    c.pixmap.Realloc(4, 2);
    c.pixmap.Clear(0xFF336699u);
    std::string pic = qmTestPath("mat_pic.png"), dir = pic.substr(0, pic.rfind('/') + 1);
    ASSERT_TRUE(c.SaveToPict(pic.c_str()));
    std::string fxm = qmTestPath("pic.fxm"), dat = qmTestPath("pic.dat");
    FXMatlib authored, fromFile, loaded;
    authored.name.Set("pics");
    authored.AdoptMaterial(localOwned("relative", "mat_pic.png"));
    authored.AdoptMaterial(localOwned("plain"));
    authored.AdoptMaterial(localOwned("absolute", pic.c_str()));
    authored.GetMaterial(1)->SetDefEmission(0.25f);
    ASSERT_TRUE(authored.Save(fxm.c_str()));
    ASSERT_TRUE(fromFile.Load(&env, fxm.c_str()));  // file records name pictures by path
    ASSERT_EQ(fromFile.GetCount(), 3);
    EXPECT_EQ(fromFile.GetMaterial(2)->GetWidth(), 4);
    qmExpectFloats(fromFile.GetMaterial(1)->emission, {1, 1, 1, 0.25f}, "emission");
    EXPECT_TRUE(fromFile.GetMaterial(1)->loaded);

    FXPackage build;
    build.sourceDir.Set(dir.c_str());
    authored.Compile(&build);
    EXPECT_STREQ(authored.GetMaterial(0)->textureFile, authored.GetMaterial(2)->textureFile);
    EXPECT_EQ(build.pendingPaths.top, 1);  // one picture, packed once
    ASSERT_TRUE(authored.Save(fxm.c_str()));
    FXStr libName(fxm.c_str());
    build.AddDataFile1(&libName);
    ASSERT_TRUE(build.Save(dat.c_str(), 0));
    FXPackage p;
    p.Load(dat.c_str());
    ASSERT_TRUE(loaded.LoadC(&env, &p, libName));
    ASSERT_EQ(loaded.GetCount(), 3);
    EXPECT_EQ(loaded.GetMaterial(0)->GetWidth(), 4);
    EXPECT_TRUE(loaded.GetMaterial(2)->hasTexture);
    EXPECT_TRUE(loaded.GetMaterial(1)->textureFile.IsEmpty());
    EXPECT_EQ(env.Count("PrepareTexture"), 3);
}
