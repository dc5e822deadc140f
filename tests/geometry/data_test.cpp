// Number pools, the corner stream coder and vector maps; decoding and encoding meshes through them.
#include "geometry/data.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/package.h"
#include "geometry/mesh.h"
#include "geometry_test_util.h"
#include "support/test_support.h"

namespace {

std::vector<unsigned char> PoolBytes(const FXNumPool& p) { return std::vector<unsigned char>(p.data, p.data + p.size); }

struct Refuser : PMeshSaveClb {
    std::vector<std::vector<int>> asked;
    bool answer = false;
    bool TestRedirect(int mesh, int vertex, int ownerMesh, int ownerVertex) override {
        asked.push_back({mesh, vertex, ownerMesh, ownerVertex});
        return answer;
    }
};

FXPackageData Cursor(const std::vector<unsigned char>& b) {
    FXPackageData d;
    d.InitData(b.data(), int(b.size()));
    return d;
}

// A loaded map with positions, normals and uvs 0..count-1 (distinct values), ready for decoding.
void LoadCountingMap(FXVectorMap* map, int count) {
    QmBytes b;
    b.Int(3 * count);
    for (int i = 0; i < 3 * count; i++) b.Float(float(i));
    b.Int(3 * count);
    for (int i = 0; i < 3 * count; i++) b.Float(float(-i));
    b.Int(2 * count);
    for (int i = 0; i < 2 * count; i++) b.Float(float(i) * 0.5f);
    FXPackageData d = Cursor(b.b);
    ASSERT_TRUE(map->LoadC(nullptr, &d));
}

void PushCorners(FXNumPool* pool, const std::vector<std::vector<int>>& corners) {
    FXCornerCoder c;
    for (const auto& k : corners) c.Push(pool, k.data());
}

}  // namespace

TEST(FXNumPool, GrowsInStepsAndReadsOnlyWhatIsThere) {
    FXNumPool p(4);
    EXPECT_EQ(p.Realloc(10), 12);
    for (int i = 0; i < 12; i++) EXPECT_EQ(p.data[i], 0);
    EXPECT_EQ(p.size, 0);
    FXNumPool one;
    EXPECT_EQ(one.PushByte(7), 1);
    EXPECT_EQ(one.capacity, 1);
    EXPECT_EQ(one.PushInt(-2), 5);
    EXPECT_EQ(one.PushWord(0xBEEF), 7);
    EXPECT_EQ(one.capacity, 7);
    EXPECT_EQ(PoolBytes(one), (std::vector<unsigned char>{7, 0xFE, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE}));

    one.Reseek();
    unsigned char b = 0;
    int i = 0;
    unsigned short w = 0;
    EXPECT_EQ(one.GetNextByte(&b), 1);
    EXPECT_EQ(one.GetNextInt(&i), 1);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(one.GetNextInt(&i), 0);  // only two bytes left
    EXPECT_EQ(i, -2);
    EXPECT_EQ(one.GetNextWord(&w), 1);
    EXPECT_EQ(w, 0xBEEF);

    FXNumPool last;
    last.PushByte(9);
    last.Reseek();
    w = 1234;
    EXPECT_EQ(last.GetNextWord(&w), 0);
    EXPECT_EQ(w, 1234);
    EXPECT_EQ(last.readPos, 0);
}

TEST(FXNumPool, RecordsRoundTripAndRefuseOversizedCounts) {
    FXNumPool p;
    for (int i = 0; i < 5; i++) p.PushByte(static_cast<unsigned char>(i * 3));
    std::string path = qmTestPath("pool.bin");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(p.Save(f));
    fclose(f);
    EXPECT_EQ(qmReadFile(path), (std::vector<unsigned char>{5, 0, 0, 0, 0, 3, 6, 9, 12}));
    FXNumPool q;
    f = fopen(path.c_str(), "rb");
    EXPECT_TRUE(q.Load(f));
    fclose(f);
    EXPECT_EQ(PoolBytes(q), PoolBytes(p));

    // A count beyond the bytes present: refused, nothing allocated from it.
    QmBytes bad;
    bad.Int(1 << 30).Byte(1).Byte(2);
    FXPackageData d = Cursor(bad.b);
    EXPECT_FALSE(q.LoadC(nullptr, &d));
    EXPECT_EQ(q.size, 0);
    EXPECT_LT(q.capacity, 100);
    qmWriteFile(path, bad.b);
    f = fopen(path.c_str(), "rb");
    EXPECT_FALSE(q.Load(f));
    fclose(f);
    EXPECT_EQ(q.size, 0);
}

TEST(FXCornerCoder, ChoosesTheSmallestCodeAndDecodesIt) {
    FXNumPool p;
    PushCorners(&p, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    EXPECT_EQ(PoolBytes(p), (std::vector<unsigned char>(4, 0x00)));

    FXNumPool q;
    FXCornerCoder c;
    c.prev[0] = 5;
    c.prev[1] = 0;
    c.prev[2] = 0;
    int idx[3] = {300, 70000, 1};  // position after 5 jumps to a word; normal needs an int
    c.Push(&q, idx);
    EXPECT_EQ(PoolBytes(q), (std::vector<unsigned char>{0x02 | 0x0C, 0x2C, 0x01, 0x70, 0x11, 0x01, 0x00}));
    int idx2[3] = {5, 255, 256};
    c.Push(&q, idx2);
    FXCornerCoder r;
    r.prev[0] = 5;
    r.prev[1] = 0;
    r.prev[2] = 0;
    q.Reseek();
    int out[3];
    ASSERT_TRUE(r.Read(&q, out));
    EXPECT_EQ(std::vector<int>(out, out + 3), (std::vector<int>{300, 70000, 1}));
    ASSERT_TRUE(r.Read(&q, out));
    EXPECT_EQ(std::vector<int>(out, out + 3), (std::vector<int>{5, 255, 256}));
    EXPECT_FALSE(r.Read(&q, out));  // the stream is used up

    FXNumPool damaged;  // high control bits are never written
    damaged.PushByte(0x40);
    damaged.Reseek();
    FXCornerCoder d;
    EXPECT_FALSE(d.Read(&damaged, out));
}

TEST(FXVectorMap, PushesShareEqualVectorsUnlessTheCallbackRefuses) {
    FXVectorMap m;
    tagFXVertex a = qmVertex({0, 0, 0}), b = qmVertex({-0.0f, 0, 0}), c = qmVertex({1, 2, 3});
    EXPECT_EQ(m.PushVecPos(&a, nullptr, 0, 0), 0);
    EXPECT_EQ(m.PushVecPos(&c, nullptr, 0, 1), 1);
    EXPECT_EQ(m.PushVecPos(&b, nullptr, 0, 2), 0);
    EXPECT_EQ(m.PushVecPos(&c, nullptr, 0, 3), 1);
    EXPECT_EQ(m.posCount, 2);
    tagFXVertex nan = qmVertex({NAN, 0, 0});
    EXPECT_EQ(m.PushVecPos(&nan, nullptr, 0, 4), 2);
    EXPECT_EQ(m.PushVecPos(&nan, nullptr, 0, 5), 3);  // NaN matches nothing

    Refuser no;
    EXPECT_EQ(m.PushVecPos(&c, &no, 2, 7), 4);
    ASSERT_EQ(no.asked.size(), 1u);
    EXPECT_EQ(no.asked[0], (std::vector<int>{2, 7, 0, 1}));  // asked with the first owner of (1,2,3)
    Refuser yes;
    yes.answer = true;
    EXPECT_EQ(m.PushVecPos(&c, &yes, 3, 8), 1);
    EXPECT_EQ(m.posCount, 5);
    EXPECT_EQ(m.pos.top, 15);

    // Texture coordinates compare two components only.
    tagFXVertex t1 = qmVertex({0, 0, 0}, {0, 0, 1}, {0.5f, 0.25f});
    tagFXVertex t2 = qmVertex({9, 9, 9}, {1, 0, 0}, {0.5f, 0.25f});
    EXPECT_EQ(m.PushVecTex(&t1, nullptr, 0, 0), 0);
    EXPECT_EQ(m.PushVecTex(&t2, nullptr, 0, 1), 0);
    EXPECT_EQ(m.PushVecNorm(&t2, nullptr, 0, 1), 0);
    EXPECT_EQ(m.PushVecNorm(&t1, nullptr, 0, 0), 1);
    float out[3] = {7, 7, 7};
    m.GetVecNorm(1, out);
    EXPECT_EQ(out[2], 1.0f);
    m.GetVecNorm(2, out);  // beyond the stored normals
    EXPECT_EQ(out[0], 0.0f);
    m.SetVecPos(&t2, 99);  // ignored
    m.SetVecPos(&t2, 0);
    m.GetVecPos(0, out);
    EXPECT_EQ(out[1], 9.0f);
}

TEST(FXVectorMap, UsedTablesFindTheVertexOfATriple) {
    FXVectorMap m;
    LoadCountingMap(&m, 3);
    const int p = 1, n = 0, mm = 2, t = 1;
    EXPECT_EQ(m.GetUsed(p, n, t), -1);
    m.PushUsed(p, n, t, 4);
    m.PushUsed(p, mm, t, 9);
    EXPECT_EQ(m.GetUsed(p, mm, t), 9);
    EXPECT_EQ(m.GetUsed(p, n, t), 4);
    EXPECT_EQ(m.GetUsed(p, n, 2), -1);
    EXPECT_EQ(m.GetUsed1(9, mm, t), 9);
    EXPECT_EQ(m.GetUsed1(9, n, t), -1);
    EXPECT_EQ(m.GetUsed(99, n, t), -1);  // beyond the tables
    m.ClearUsed();
    EXPECT_EQ(m.GetUsed(p, mm, t), -1);
    EXPECT_EQ(m.GetUsed(p, n, t), -1);
}

TEST(FXVectorMap, RecordsLoadCountsAndRefuseOversizedBlocks) {
    QmBytes b;
    b.Int(7);
    for (int i = 0; i < 7; i++) b.Float(float(i + 1));
    b.Int(0).Int(-5);
    FXVectorMap m;
    FXPackageData d = Cursor(b.b);
    ASSERT_TRUE(m.LoadC(nullptr, &d));
    EXPECT_EQ(m.posCount, 2);
    EXPECT_EQ(m.pos.top, 7);
    EXPECT_EQ(m.normCount, 0);
    EXPECT_EQ(m.texCount, 0);
    EXPECT_EQ(m.posFirst.top, 7);
    EXPECT_EQ(m.posFirst.GetInt(6), -1);
    float out[3];
    m.GetVecPos(1, out);
    EXPECT_EQ(out[2], 6.0f);

    // File round trip writes whole vectors only.
    std::string path = qmTestPath("vmap.bin");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(m.Save(f));
    fclose(f);
    EXPECT_EQ(qmReadFile(path).size(), size_t(4 + 24 + 4 + 4));
    FXVectorMap r;
    f = fopen(path.c_str(), "rb");
    ASSERT_TRUE(r.Load(f));
    fclose(f);
    EXPECT_EQ(r.posCount, 2);
    r.GetVecPos(0, out);
    EXPECT_EQ(out[0], 1.0f);

    QmBytes huge;
    huge.Int(3).Float(1).Float(2).Float(3).Int(0x40000000).Float(1);
    d = Cursor(huge.b);
    EXPECT_FALSE(r.LoadC(nullptr, &d));
    EXPECT_EQ(r.posCount, 0);
    EXPECT_EQ(r.normCount, 0);
    qmWriteFile(path, huge.b);
    f = fopen(path.c_str(), "rb");
    EXPECT_FALSE(r.Load(f));
    fclose(f);
    EXPECT_EQ(r.posCount, 0);
}

TEST(FXVectorMap, DifferenceTransformsAndTheirInverse) {
    FXVectorMap m;
    tagFXVertex a = qmVertex({1, 2, 3}), b = qmVertex({4, 5, 6});
    m.PushVecPos(&a, nullptr, 0, 0);
    m.PushVecPos(&b, nullptr, 0, 1);
    m.ManglePos(true);
    EXPECT_EQ(std::vector<float>(m.pos.items, m.pos.items + 6), (std::vector<float>{0, 0, -7, -1, -1, 6}));
    m.ManglePos(false);
    EXPECT_EQ(std::vector<float>(m.pos.items, m.pos.items + 6), (std::vector<float>{1, 2, 3, 4, 5, 6}));
    m.MangleTex(true);  // no vectors: nothing to do
    EXPECT_EQ(m.texCount, 0);
}

TEST(FXMeshVMap, QuadEncodesIntoFifteenBytesAndDecodesBack) {
    FXMesh src;
    qmQuad(&src);
    FXVectorMap map;
    FXNumPool pool(800000);
    FXArray r0, r1, r2;
    FXArray* redirs[3] = {&r0, &r1, &r2};
    src.ToVMap(&map, &pool, nullptr, 0, redirs);
    EXPECT_EQ(PoolBytes(pool), (std::vector<unsigned char>{0x00, 0x00, 0x00, 0x15, 0x02, 0x02, 0x02, 0x15, 0x01,
                                                           0x01, 0x01, 0x15, 0x03, 0x03, 0x03}));
    EXPECT_EQ(map.posCount, 4);
    EXPECT_EQ(map.normCount, 4);
    EXPECT_EQ(map.texCount, 4);
    ASSERT_EQ(r0.top, 6);
    EXPECT_EQ(r0.GetInt(4), 1);

    FXMesh dst;
    dst.Realloc(4, 6);
    ASSERT_TRUE(dst.FromVMap(&map, &pool));
    ASSERT_EQ(dst.vertexCount, 4);
    for (int i = 0; i < 6; i++) EXPECT_EQ(dst.indices[i], src.indices[i]);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(0, memcmp(dst.vertices[i].pos, src.vertices[i].pos, 32)) << i;  // pos, normal, uv
        EXPECT_EQ(dst.vertices[i].color[0], 1.0f);
        EXPECT_EQ(dst.vertices[i].srcIndex[2], 0);
    }

    // Another frame: the same slots take the moved vertices' values.
    qmQuad(&src, 0.25f);
    src.ApplyRedir(&map, redirs);
    float p[3];
    map.GetVecPos(3, p);
    EXPECT_EQ(p[2], 0.25f);
}

TEST(FXMeshVMap, EncodingDropsUnusedVerticesFirst) {
    FXMesh m;
    qmFillMesh(&m, {qmVertex({0, 0, 0}), qmVertex({5, 5, 5}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0})}, {0, 2, 3});
    FXVectorMap map;
    FXNumPool pool;
    m.ToVMap(&map, &pool, nullptr, 0, nullptr);
    EXPECT_EQ(m.vertexCount, 3);
    EXPECT_EQ(map.posCount, 3);
    EXPECT_EQ(map.normCount, 1);  // one normal and one uv shared by all three corners
    EXPECT_EQ(map.texCount, 1);
    EXPECT_EQ(PoolBytes(pool), (std::vector<unsigned char>{0x00, 0x14, 0x00, 0x00, 0x14, 0x00, 0x00}));
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

    // Same position and uv, other normal: a vertex of its own.
    FXNumPool pool2;
    PushCorners(&pool2, {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}});
    m.Realloc(3, 3);
    ASSERT_TRUE(m.FromVMap(&map, &pool2));
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 3), (std::vector<int>{0, 1, 0}));
}

TEST(FXMeshVMap, DamagedStreamsLeaveTheMeshEmpty) {
    FXVectorMap map;
    LoadCountingMap(&map, 3);
    struct Case {
        const char* what;
        std::vector<std::vector<int>> corners;
        int v, i;
    } cases[] = {
        {"position beyond the map", {{0, 0, 0}, {3, 0, 0}, {1, 1, 1}}, 3, 3},
        {"texture beyond the map", {{0, 0, 0}, {1, 1, 70000}, {1, 1, 1}}, 3, 3},
        {"negative int index", {{0, 0, 0}, {-7, 1, 1}, {1, 1, 1}}, 3, 3},
        {"stream too short", {{0, 0, 0}, {1, 1, 1}}, 3, 3},
        {"more vertices than V", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, 2, 3},
    };
    for (const Case& c : cases) {
        FXNumPool pool;
        PushCorners(&pool, c.corners);
        FXMesh m;
        m.Realloc(c.v, c.i);
        EXPECT_FALSE(m.FromVMap(&map, &pool)) << c.what;
        EXPECT_EQ(m.vertexCount, 0) << c.what;
        EXPECT_EQ(m.indexCount, 0) << c.what;
    }
    // A truncated int: the control byte promises four bytes, two follow.
    FXNumPool cut;
    cut.PushByte(0x03);
    cut.PushWord(1);
    FXMesh m;
    m.Realloc(1, 1);
    EXPECT_FALSE(m.FromVMap(&map, &cut));
    // The map stays usable for the next mesh.
    FXNumPool ok;
    PushCorners(&ok, {{2, 2, 2}});
    m.Realloc(1, 1);
    EXPECT_TRUE(m.FromVMap(&map, &ok));
    EXPECT_EQ(m.vertices[0].pos[0], 6.0f);
}
