// Number pools, the corner stream coder and vector maps; decoding and encoding meshes through them.
#include "geometry/data.h"

#include <gtest/gtest.h>

#include "base/package.h"
#include "geometry/mesh.h"
#include "geometry_test_util.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;
Bytes PoolBytes(const FXNumPool& p) { return Bytes(p.Data(), p.Data() + p.size); }

struct AskingCallback : PMeshSaveClb {
    std::vector<std::vector<int>> asked;
    bool answer = false;
    bool TestRedirect(int mesh, int vertex, int ownerMesh, int ownerVertex) override {
        asked.push_back({mesh, vertex, ownerMesh, ownerVertex});
        return answer;
    }
};

FXPackageData Cursor(const Bytes& b) {
    FXPackageData d;
    d.InitData(b.data(), int(b.size()));
    return d;
}

// A loaded map of `count` distinct positions (3i, 3i+1, 3i+2), normals (negated) and uvs (halves).
void LoadCountingMap(FXVectorMap* map, int count) {
    QmBytes b;
    for (int kind = 0; kind < 3; kind++) {
        int floats = (kind == 2 ? 2 : 3) * count;
        b.Int(floats);
        for (int i = 0; i < floats; i++) b.Float(kind == 0 ? float(i) : kind == 1 ? -float(i) : 0.5f * float(i));
    }
    FXPackageData d = Cursor(b.bytes);
    ASSERT_TRUE(map->LoadC(nullptr, &d));
}

void PushCorners(FXNumPool* pool, const std::vector<std::vector<int>>& corners) {
    FXCornerCoder c;
    for (const auto& k : corners) c.Push(pool, k.data());
}

}  // namespace

TEST(FXNumPool, GrowthReadsAndRecords) {
    FXNumPool p(4);
    EXPECT_EQ(p.Realloc(10), 12);
    EXPECT_EQ(Bytes(p.Data(), p.Data() + 12), Bytes(12, 0));
    FXNumPool one;
    one.PushByte(7);
    one.PushInt(-2);
    EXPECT_EQ(one.PushWord(0xBEEF), 7);
    EXPECT_EQ(one.capacity, 7);  // step 1: exactly what is needed
    EXPECT_EQ(PoolBytes(one), (Bytes{7, 0xFE, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE}));

    FXNumPool last;
    last.PushByte(9);
    last.Reseek();
    unsigned short w = 1234;
    EXPECT_EQ(last.GetNextWord(&w), 0);  // one byte left
    EXPECT_EQ(w, 1234);
    unsigned char b = 0;
    EXPECT_EQ(last.GetNextByte(&b), 1);
    EXPECT_EQ(b, 9);

    // A stored length beyond the entry is refused without allocating from it.
    QmBytes bad;
    bad.Int(1 << 30).Byte(1);
    FXPackageData d = Cursor(bad.bytes);
    EXPECT_FALSE(one.LoadC(nullptr, &d));
    EXPECT_EQ(one.size, 0);
    EXPECT_LT(one.capacity, 100);
}

TEST(FXCornerCoder, SmallestCodePerIndexAndBack) {
    FXNumPool p;
    PushCorners(&p, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    EXPECT_EQ(PoolBytes(p), Bytes(4, 0x00));

    FXNumPool q;
    FXCornerCoder c;
    c.prev[0] = 5;
    c.prev[1] = c.prev[2] = 0;
    int idx[3] = {300, 70000, 1};  // word, int, previous + 1
    c.Push(&q, idx);
    EXPECT_EQ(PoolBytes(q), (Bytes{0x02 | 0x0C, 0x2C, 0x01, 0x70, 0x11, 0x01, 0x00}));
    FXCornerCoder r;
    r.prev[0] = 5;
    r.prev[1] = r.prev[2] = 0;
    int out[3];
    ASSERT_TRUE(r.Read(&q, out));
    EXPECT_EQ(std::vector<int>(out, out + 3), (std::vector<int>{300, 70000, 1}));
    EXPECT_FALSE(r.Read(&q, out));
}

TEST(FXVectorMap, PushesShareEqualVectorsUnlessTheCallbackRefuses) {
    FXVectorMap m;
    tagFXVertex zero = qmVertex({0, 0, 0}), negZero = qmVertex({-0.0f, 0, 0}), c = qmVertex({1, 2, 3});
    EXPECT_EQ(m.PushVecPos(&zero, nullptr, 0, 0), 0);
    EXPECT_EQ(m.PushVecPos(&c, nullptr, 0, 1), 1);
    EXPECT_EQ(m.PushVecPos(&negZero, nullptr, 0, 2), 0);
    EXPECT_EQ(m.PushVecPos(&c, nullptr, 0, 3), 1);
    AskingCallback no;
    EXPECT_EQ(m.PushVecPos(&c, &no, 2, 7), 2);
    EXPECT_EQ(no.asked, (std::vector<std::vector<int>>{{2, 7, 0, 1}}));  // the first owner of (1,2,3)
    AskingCallback yes;
    yes.answer = true;
    EXPECT_EQ(m.PushVecPos(&c, &yes, 3, 8), 1);
    EXPECT_EQ(m.posCount, 3);
    EXPECT_EQ(m.pos.top, 9);
    // Texture coordinates compare their two components only.
    tagFXVertex t1 = qmVertex({0, 0, 0}, {0, 0, 1}, {0.5f, 0.25f}), t2 = qmVertex({9, 9, 9}, {1, 0, 0}, {0.5f, 0.25f});
    EXPECT_EQ(m.PushVecTex(&t1, nullptr, 0, 0), m.PushVecTex(&t2, nullptr, 0, 1));
}

TEST(FXVectorMap, UsedTablesFindTheVertexOfATriple) {
    FXVectorMap m;
    LoadCountingMap(&m, 3);
    m.PushUsed(1, 0, 1, 4);
    m.PushUsed(1, 2, 1, 9);
    EXPECT_EQ(m.GetUsed(1, 2, 1), 9);
    EXPECT_EQ(m.GetUsed(1, 0, 1), 4);
    EXPECT_EQ(m.GetUsed(1, 0, 2), -1);
    EXPECT_EQ(m.GetUsed(99, 0, 1), -1);  // beyond the tables
    // A vertex registered twice uses every normal and texture index it was registered with.
    m.PushUsed(2, 1, 0, 4);
    EXPECT_EQ(m.GetUsed1(4, 0, 1), 4);
    EXPECT_EQ(m.GetUsed1(4, 1, 0), 4);
    EXPECT_EQ(m.GetUsed1(4, 1, 1), 4);
    EXPECT_EQ(m.GetUsed1(4, 2, 1), -1);  // normal 2 belongs to vertex 9 only
    EXPECT_EQ(m.GetUsed1(5, 0, 1), -1);  // never registered
    m.ClearUsed();
    EXPECT_EQ(m.GetUsed(1, 2, 1), -1);
    EXPECT_EQ(m.GetUsed(1, 0, 1), -1);
    EXPECT_EQ(m.GetUsed1(4, 0, 1), -1);
}

TEST(FXVectorMap, RecordCountsAndTransforms) {
    QmBytes b;
    b.Int(7);
    for (int i = 0; i < 7; i++) b.Float(float(i + 1));
    b.Int(0).Int(-5);
    FXVectorMap m;
    FXPackageData d = Cursor(b.bytes);
    ASSERT_TRUE(m.LoadC(nullptr, &d));
    EXPECT_EQ(m.posCount, 2);  // the seventh float is never addressed
    EXPECT_EQ(m.normCount + m.texCount, 0);
    float out[3];
    m.GetVecPos(1, out);
    EXPECT_EQ(out[2], 6.0f);

    m.ManglePos(true);  // vectors first, then all seven floats as one sequence
    EXPECT_EQ(std::vector<float>(m.pos.items, m.pos.items + 7), (std::vector<float>{0, 0, -7, -1, -1, -1, 7}));
    m.ManglePos(false);
    EXPECT_EQ(std::vector<float>(m.pos.items, m.pos.items + 7), (std::vector<float>{1, 2, 3, 4, 5, 6, 7}));

    QmBytes huge;
    huge.Int(3).Float(1).Float(2).Float(3).Int(0x40000000).Float(1);
    d = Cursor(huge.bytes);
    EXPECT_FALSE(m.LoadC(nullptr, &d));
    EXPECT_EQ(m.posCount, 0);
}

// A loaded record keeps every float it stored, also a part vector at the end, when saved again.
TEST(FXVectorMap, SaveWritesBackEveryStoredFloat) {
    QmBytes b;
    b.Int(7);
    for (int i = 0; i < 7; i++) b.Float(float(i + 1));
    b.Int(4).Float(0).Float(0).Float(-1).Float(9).Int(3).Float(0.5f).Float(0.25f).Float(8);
    FXVectorMap m;
    FXPackageData d = Cursor(b.bytes);
    ASSERT_TRUE(m.LoadC(nullptr, &d));
    std::string path = qmTestPath("map.bin");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(m.Save(f));
    fclose(f);
    EXPECT_EQ(qmReadFile(path), b.bytes);
}

TEST(FXMeshVMap, QuadEncodesIntoFifteenBytesAndDecodesBack) {
    FXMesh src;
    qmQuad(&src);
    FXVectorMap map;
    FXNumPool pool(800000);
    FXArray r0, r1, r2;
    FXArray* redirs[3] = {&r0, &r1, &r2};
    src.ToVMap(&map, &pool, nullptr, 0, redirs);
    EXPECT_EQ(PoolBytes(pool), (Bytes{0x00, 0x00, 0x00, 0x15, 0x02, 0x02, 0x02, 0x15, 0x01, 0x01, 0x01, 0x15, 0x03,
                                      0x03, 0x03}));
    EXPECT_EQ(map.posCount + map.normCount + map.texCount, 12);
    FXMesh dst;
    dst.Realloc(4, 6);
    ASSERT_TRUE(dst.FromVMap(&map, &pool));
    ASSERT_EQ(dst.vertexCount, 4);
    EXPECT_EQ(0, memcmp(dst.indices, src.indices, 6 * 4));
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(0, memcmp(dst.vertices[i].pos, src.vertices[i].pos, 32)) << i;  // pos, normal, uv
        EXPECT_EQ(dst.vertices[i].color[0], 1.0f);
    }
    // Another frame writes its values into the same slots.
    qmQuad(&src, 0.25f);
    src.ApplyRedir(&map, redirs);
    float p[3];
    map.GetVecPos(3, p);
    EXPECT_EQ(p[2], 0.25f);
}

TEST(FXMeshVMap, SharedTripleMakesOneVertex) {
    FXVectorMap map;
    LoadCountingMap(&map, 6);
    FXNumPool pool;
    PushCorners(&pool, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {0, 0, 0}, {3, 3, 3}, {4, 4, 4}});
    FXMesh m;
    m.Realloc(6, 6);
    ASSERT_TRUE(m.FromVMap(&map, &pool));
    EXPECT_EQ(m.vertexCount, 5);
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 6), (std::vector<int>{0, 1, 2, 0, 3, 4}));
    EXPECT_EQ(m.vertices[4].pos[0], 12.0f);
    EXPECT_EQ(m.vertices[4].normal[1], -13.0f);
    EXPECT_EQ(m.vertices[4].uv[1], 4.5f);

    // Decoding again (as every frame of an animation does) gives the same mesh and keeps the
    // map's bookkeeping at the size of one mesh.
    for (int i = 0; i < 40; i++) {
        m.vertexCount = 6;
        ASSERT_TRUE(m.FromVMap(&map, &pool));
    }
    EXPECT_EQ(m.vertexCount, 5);
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 6), (std::vector<int>{0, 1, 2, 0, 3, 4}));
    EXPECT_LE(map.vertexNorm.capacity, 16);
}

TEST(FXMeshVMap, DamagedStreamsLeaveTheMeshEmpty) {
    FXVectorMap map;
    LoadCountingMap(&map, 3);
    struct Case {
        const char* what;
        std::vector<std::vector<int>> corners;
        int v;
    } cases[] = {
        {"position beyond the map", {{0, 0, 0}, {3, 0, 0}, {1, 1, 1}}, 3},
        {"texture beyond the map", {{0, 0, 0}, {1, 1, 70000}, {1, 1, 1}}, 3},
        {"negative index", {{0, 0, 0}, {-7, 1, 1}, {1, 1, 1}}, 3},
        {"stream too short", {{0, 0, 0}, {1, 1, 1}}, 3},
        {"more vertices than V", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, 2},
    };
    for (const Case& c : cases) {
        FXNumPool pool;
        PushCorners(&pool, c.corners);
        FXMesh m;
        m.Realloc(c.v, 3);
        EXPECT_FALSE(m.FromVMap(&map, &pool)) << c.what;
        EXPECT_EQ(m.vertexCount + m.indexCount, 0) << c.what;
    }
    FXNumPool ok;  // the map stays usable for the next mesh
    PushCorners(&ok, {{2, 2, 2}});
    FXMesh m;
    m.Realloc(1, 1);
    EXPECT_TRUE(m.FromVMap(&map, &ok));
    EXPECT_EQ(m.vertices[0].pos[0], 6.0f);
}
