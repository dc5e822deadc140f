// FXMesh records (full and header, package and file forms), damaged records, and the texture
// rescale against a material.
#include <gtest/gtest.h>

#include "base/package.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"
#include "geometry_test_util.h"
#include "image/material.h"
#include "image/matlib.h"
#include "support/test_support.h"

namespace {

QmBytes FullRecord(const std::string& name, const std::vector<tagFXVertex>& v, const std::vector<int>& idx) {
    QmBytes b;
    b.Str(name).Float(0.5f).Float(0.25f).Int(1).Int(1).Int(int(v.size()));
    for (const tagFXVertex& x : v) {
        unsigned char r[76];
        fxPutVertex(r, &x);
        b.Raw(std::vector<unsigned char>(r, r + 76));
    }
    b.Int(int(idx.size()));
    for (int i : idx) b.Int(i);
    return b;
}

std::vector<tagFXVertex> Tri() { return {qmVertex({0, 0, 0}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0})}; }

bool LoadBytes(FXMesh* m, const std::vector<unsigned char>& b, FXMatlib* lib = nullptr) {
    FXPackageData d;
    d.InitData(b.data(), int(b.size()));
    return m->LoadMeshC(nullptr, &d, lib);
}

}  // namespace

TEST(FXMeshRecord, FullRecordLoadsFieldsAndBindsTheMaterial) {
    FXMatlib lib;
    FXMaterial leaf;
    leaf.name.Set("leaf");
    lib.AddMaterial(&leaf);
    std::vector<tagFXVertex> v = Tri();
    v[2].srcIndex[1] = 42;
    FXMesh m;
    ASSERT_TRUE(LoadBytes(&m, FullRecord("leaf", v, {0, 1, 2}).bytes, &lib));
    EXPECT_EQ(m.material, &leaf);
    EXPECT_STREQ(m.materialName, "leaf");
    EXPECT_EQ(m.loaded_u, 0.5f);
    EXPECT_EQ(m.loaded_v, 0.25f);
    EXPECT_EQ(m.drawPass + m.colorMode, 2);
    ASSERT_EQ(m.vertexCount, 3);
    EXPECT_EQ(0, memcmp(m.vertices, v.data(), sizeof(tagFXVertex) * 3));
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 3), (std::vector<int>{0, 1, 2}));

    ASSERT_TRUE(LoadBytes(&m, FullRecord("bark", {}, {}).bytes, &lib));  // empty, material unknown
    EXPECT_EQ(m.material, nullptr);
    EXPECT_EQ(m.vertexCount + m.indexCount, 0);
    lib.RemoveMaterial(&leaf);
}

TEST(FXMeshRecord, DamagedFullRecordsComeOutEmpty) {
    QmBytes hugeV, negV;
    hugeV.Str("a").Float(0).Float(0).Int(0).Int(0).Int(0x7fffffff);
    negV.Str("a").Float(0).Float(0).Int(0).Int(0).Int(-1);
    QmBytes hugeI = FullRecord("a", Tri(), {});
    hugeI.bytes.resize(hugeI.bytes.size() - 4);
    hugeI.Int(1 << 29).Int(0);
    std::pair<const char*, std::vector<unsigned char>> cases[] = {
        {"vertex count beyond the entry", hugeV.bytes},
        {"negative vertex count", negV.bytes},
        {"index count beyond the entry", hugeI.bytes},
        {"index equal to V", FullRecord("a", Tri(), {0, 1, 3}).bytes},
        {"negative index", FullRecord("a", Tri(), {0, -1, 2}).bytes},
    };
    for (const auto& c : cases) {
        FXMesh m;
        bool ok = true;
        std::string log = qmTraced([&] { ok = LoadBytes(&m, c.second); });
        EXPECT_FALSE(ok) << c.first;
        EXPECT_EQ(m.vertexCount + m.indexCount, 0) << c.first;
        EXPECT_LE(m.vertexCapacity, 3) << c.first;  // nothing allocated from an absurd count
        EXPECT_NE(log.find("#ERROR: "), std::string::npos) << c.first;
        EXPECT_NE(log.find("mesh 'a' refused"), std::string::npos) << c.first;
    }
    // Cut a good record at every length: the index block never arrives whole, no stray index.
    std::vector<unsigned char> good = FullRecord("stone", Tri(), {0, 1, 2, 2, 1, 0}).bytes;
    for (size_t len = 0; len < good.size(); len++) {
        FXMesh m;
        LoadBytes(&m, std::vector<unsigned char>(good.begin(), good.begin() + long(len)));
        EXPECT_TRUE(fxMeshIndicesValid(&m)) << len;
        EXPECT_LT(m.indexCount, 6) << len;
    }
}

TEST(FXMeshRecord, FileFormsWriteTheMaterialScales) {
    FXMaterial mat;
    mat.texScaleU = 0.75f;
    mat.texScaleV = 0.5f;
    FXMesh m;
    qmQuad(&m);
    m.materialName.Set("leaf");
    m.material = &mat;
    m.loaded_u = 0.25f;
    std::string path = qmTestPath("mesh.bin");
    FILE* f = fopen(path.c_str(), "wb");
    m.SaveMesh(f);
    fclose(f);
    std::vector<unsigned char> bytes = qmReadFile(path);
    ASSERT_EQ(bytes.size(), size_t(8 + 16 + 4 + 4 * 76 + 4 + 6 * 4));
    EXPECT_EQ(fxGetF32(bytes.data() + 8), 0.75f);
    FXMesh r;
    f = fopen(path.c_str(), "rb");
    ASSERT_TRUE(r.LoadMesh(f, nullptr));
    fclose(f);
    EXPECT_EQ(r.loaded_v, 0.5f);
    EXPECT_EQ(0, memcmp(r.vertices, m.vertices, sizeof(tagFXVertex) * 4));
    EXPECT_EQ(0, memcmp(r.indices, m.indices, 4 * 6));

    // The header: a zero material scale falls back to the loaded one, with a trace line for u.
    mat.texScaleU = 0.0f;
    f = fopen(path.c_str(), "wb");
    std::string log = qmTraced([&] { m.SaveMeshI(f); });
    fwrite(std::vector<unsigned char>(10, 0).data(), 1, 10, f);  // room for the corner stream
    fclose(f);
    EXPECT_NE(log.find("save u from loaded_u (0.25)\n"), std::string::npos) << log;
    bytes = qmReadFile(path);
    EXPECT_EQ(fxGetF32(bytes.data() + 8), 0.25f);
    EXPECT_EQ(fxGetF32(bytes.data() + 12), 0.5f);
    f = fopen(path.c_str(), "rb");
    ASSERT_TRUE(r.LoadMeshI(f, nullptr));
    fclose(f);
    EXPECT_EQ(r.vertexCount, 4);
    EXPECT_EQ(r.indexCount, 6);

    // Package form: more corners than bytes left is refused; more vertices than corners are capped.
    QmBytes big, wide;
    big.Str("h").Float(0).Float(0).Int(0).Int(0).Int(3).Int(1000).Raw(std::vector<unsigned char>(10, 0));
    wide.Str("h").Float(0).Float(0).Int(0).Int(0).Int(1 << 28).Int(3).Raw(std::vector<unsigned char>(10, 0));
    FXPackageData d;
    d.InitData(big.bytes.data(), int(big.bytes.size()));
    EXPECT_FALSE(r.LoadMeshIC(nullptr, &d, nullptr));
    EXPECT_EQ(r.indexCount, 0);
    d.InitData(wide.bytes.data(), int(wide.bytes.size()));
    EXPECT_TRUE(r.LoadMeshIC(nullptr, &d, nullptr));
    EXPECT_EQ(r.vertexCount, 3);
}

TEST(FXMeshRecord, TextureRescaleUsesTheMaterialAndTheLoadedScale) {
    FXMaterial mat;
    mat.texScaleU = 0.5f;
    mat.texScaleV = 0.75f;
    FXMesh m;
    qmFillMesh(&m, {qmVertex({0, 0, 0}, {0, 0, 1}, {1, 0.2f})}, {});
    m.material = &mat;
    m.loaded_u = 0.25f;
    m.flipV = true;
    m.ResizeTexCoords();
    EXPECT_FLOAT_EQ(m.vertices[0].uv[0], 2.0f);
    EXPECT_FLOAT_EQ(m.vertices[0].uv[1], 0.6f);
    m.flipV = false;
    m.ResizeTexCoords1();  // without the loaded scale
    EXPECT_FLOAT_EQ(m.vertices[0].uv[0], 1.0f);
    EXPECT_FLOAT_EQ(m.vertices[0].uv[1], 0.45f);
    mat.texScaleV = 0.0f;  // no texture yet: nothing happens
    m.ResizeTexCoords();
    EXPECT_FLOAT_EQ(m.vertices[0].uv[0], 1.0f);
}
