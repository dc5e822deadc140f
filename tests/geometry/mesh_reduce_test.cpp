// Vertex reduction: straight strips lose their inner vertices, bent or irregular meshes keep theirs,
// and the dependency list follows the vertices through compaction.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/mesh.h"
#include "geometry_test_util.h"
#include "support/test_support.h"

namespace {

using Ints = std::vector<int>;

// A flat strip of cols x 1 quads laid out like a desk grid: top row 0..cols, bottom row below it,
// each quad the triangles (t, b, t+1) and (b, b+1, t+1). zRight raises the columns right of x = 1.
void Strip(FXMesh* m, int cols, float zRight = 0.0f) {
    std::vector<tagFXVertex> v;
    for (int row = 0; row < 2; row++)
        for (int c = 0; c <= cols; c++)
            v.push_back(qmVertex({float(c), row ? -1.0f : 1.0f, c > 1 ? zRight * float(c - 1) : 0.0f}));
    Ints idx;
    for (int c = 0; c < cols; c++) {
        int t = c, b = cols + 1 + c;
        idx.insert(idx.end(), {t, b, t + 1, b, b + 1, t + 1});
    }
    qmFillMesh(m, v, idx);
}

Ints Indices(const FXMesh& m) { return Ints(m.indices, m.indices + m.indexCount); }
Ints Ints_(const FXArray& a) {
    Ints out;
    for (int i = 0; i < a.top; i++) out.push_back(a.GetInt(i));
    return out;
}
Ints Marks(const FXMesh& m) {
    Ints out;
    for (int i = 0; i < m.vertexCount; i++) out.push_back(m.vertices[i].mark);
    return out;
}

std::string Reduced(FXMesh* m, float tolerance) {
    return qmTraced([&] { m->ReduceVertices(tolerance); });
}

}  // namespace

// The stage that reduces the strip, seen before compaction: b = 1 leaves the top row and e = 4 the
// bottom row in one step.
TEST(FXMeshReduce, StripStageRebuildsTwoTrianglesAndRecordsDependencies) {
    FXMesh m;
    Strip(&m, 2);
    m.reduceTolerance = 1.0f;
    m.ComputeFormula(m.facePlane, 0, 3, 1);
    EXPECT_FALSE(m.ReduceStage1(0, 3, 1));  // the left edge continues nowhere
    EXPECT_EQ(Indices(m), (Ints{0, 3, 1, 3, 4, 1, 1, 4, 2, 4, 5, 2}));
    ASSERT_TRUE(m.ReduceStage1(1, 0, 3));
    EXPECT_EQ(Indices(m), (Ints{0, 5, 2, 3, 5, 0, -1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(Ints_(m.reducDependFrom), (Ints{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Ints_(m.reducDependTo), (Ints{1, 1, 1, 4, 4, 4}));
    EXPECT_EQ(Ints(m.lastReduction, m.lastReduction + 5), (Ints{0, 1, 2, 3, 4}));
    EXPECT_EQ(Marks(m), (Ints{1, 1, 1, 1, 1, 1}));
}

TEST(FXMeshReduce, StripLosesItsInnerVertices) {
    struct Case {
        const char* name;
        bool twin;  // a vertex at the place of vertex 1, used by a triangle of its own
        Ints indices, from, to, marks;
    } cases[] = {
        // Vertices 0, 2, 3, 5 stay as 0..3; the removed vertices leave no dependency behind.
        {"alone", false, {0, 3, 1, 2, 3, 0}, {-1, -1, -1, -1, -1, -1}, {-1, -1, -1, -1, -1, -1}, {0, 0, 0, 0}},
        // A dependency on a removed vertex passes to its twin (6, now 4); a from-vertex that is gone
        // becomes -1.
        {"twin",
         true,
         {0, 3, 1, 2, 3, 0, 4, 5, 6},
         {0, -1, 1, -1, -1, -1},
         {4, 4, 4, -1, -1, -1},
         {1, 1, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        FXMesh m;
        Strip(&m, 2);
        if (c.twin) {
            std::vector<tagFXVertex> v(m.vertices, m.vertices + 6);
            v.push_back(qmVertex({1, 1, 0}, {0, 0, -1}, {0.5f, 0.5f}));
            v.push_back(qmVertex({1, 3, 0}));
            v.push_back(qmVertex({3, 2, 1}));
            Ints idx = Indices(m);
            idx.insert(idx.end(), {6, 7, 8});
            qmFillMesh(&m, v, idx);
        }
        std::string log = Reduced(&m, 1.0f);
        int before = c.twin ? 15 : 12, vertices = c.twin ? 9 : 6;
        EXPECT_NE(log.find("ReduceVertices (indices:" + std::to_string(before) +
                           " vertices:" + std::to_string(vertices) + ")\n"),
                  std::string::npos)
            << c.name << log;
        EXPECT_NE(log.find("reduced (indices:6 vertices:2)\n"), std::string::npos) << c.name << log;
        EXPECT_NE(log.find("trc_totalmin: 10\n"), std::string::npos) << c.name;
        EXPECT_EQ(Indices(m), c.indices) << c.name;
        EXPECT_EQ(m.indexCapacity, m.indexCount) << c.name;
        EXPECT_EQ(m.vertexCapacity, m.vertexCount) << c.name;
        ASSERT_EQ(m.vertexCount, vertices - 2) << c.name;
        const float corners[4][2] = {{0, 1}, {2, 1}, {0, -1}, {2, -1}};
        for (int i = 0; i < 4; i++)
            EXPECT_TRUE(m.vertices[i].pos[0] == corners[i][0] && m.vertices[i].pos[1] == corners[i][1])
                << c.name << " vertex " << i;
        EXPECT_EQ(Ints_(m.reducDependFrom), c.from) << c.name;
        EXPECT_EQ(Ints_(m.reducDependTo), c.to) << c.name;
        EXPECT_EQ(Marks(m), c.marks) << c.name;
    }
}

// One pass per call: vertices used by a reduction wait for the next call.
TEST(FXMeshReduce, EachCallMakesOnePass) {
    FXMesh m;
    Strip(&m, 3);
    Reduced(&m, 1.0f);
    EXPECT_EQ(m.vertexCount, 6);
    EXPECT_EQ(m.indexCount, 12);
    std::string log = Reduced(&m, 1.0f);
    EXPECT_NE(log.find("reduced (indices:6 vertices:2)\n"), std::string::npos) << log;
    ASSERT_EQ(m.vertexCount, 4);
    for (int i = 0; i < 4; i++) EXPECT_TRUE(m.vertices[i].pos[0] == 0.0f || m.vertices[i].pos[0] == 3.0f) << i;
}

TEST(FXMeshReduce, BentOrIrregularMeshesStay) {
    const float tilt = std::tan(5.0f / 57.29578f);  // the right half turned up by 5 degrees
    struct Case {
        const char* name;
        float zRight, tolerance;
        bool reduced;
    } cases[] = {
        {"tilted beyond the tolerance", tilt, 1.0f, false},
        {"tilted within the tolerance", tilt, 6.0f, true},
        {"tilted the other way", -tilt, 4.9f, false},
    };
    for (const Case& c : cases) {
        FXMesh m;
        Strip(&m, 2, c.zRight);
        const int32_t* before = m.indices;
        std::string log = Reduced(&m, c.tolerance);
        EXPECT_EQ(m.vertexCount, c.reduced ? 4 : 6) << c.name;
        EXPECT_EQ(m.indices == before, !c.reduced) << c.name;
        if (!c.reduced) {
            EXPECT_NE(log.find("reduced (indices:0 vertices:0)\n"), std::string::npos) << c.name << log;
        }
    }

    // No three vertices on a line: nothing changes and the index list is not reallocated.
    FXMesh quad, pyramid;
    qmQuad(&quad);
    qmFillMesh(&pyramid, {qmVertex({0, 0, 0}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0}), qmVertex({0.3f, 0.3f, 1})},
               {0, 1, 3, 1, 2, 3, 2, 0, 3, 0, 2, 1});
    for (FXMesh* m : {&quad, &pyramid}) {
        const int32_t* before = m->indices;
        Ints idx = Indices(*m);
        std::vector<float> pos;
        for (int i = 0; i < m->vertexCount; i++) pos.insert(pos.end(), m->vertices[i].pos, m->vertices[i].pos + 3);
        std::string log = Reduced(m, 45.0f);
        EXPECT_NE(log.find("reduced (indices:0 vertices:0)\n"), std::string::npos) << log;
        EXPECT_NE(log.find("trc_totalmin: 10\n"), std::string::npos);
        EXPECT_EQ(m->indices, before);
        EXPECT_EQ(Indices(*m), idx);
        for (int i = 0; i < m->vertexCount; i++)
            EXPECT_EQ(std::vector<float>(m->vertices[i].pos, m->vertices[i].pos + 3),
                      std::vector<float>(pos.begin() + 3 * i, pos.begin() + 3 * i + 3));
    }
}

// Around vertex 6 the fan (1, 5, 6), (1, 6, 3), (7, 6, 3) is not convex at vertex 3: replacing it
// by (5, 7, 1) and (1, 7, 3) would lay a triangle over (3, 1, 4). What is covered stays covered.
TEST(FXMeshReduce, ReductionsThatWouldOverlapAreNotMade) {
    FXMesh m;
    qmFillMesh(&m,
               {qmVertex({0, 0, 0}), qmVertex({1, 0, 0}), qmVertex({4, 0, 0}), qmVertex({2, -2, 0}),
                qmVertex({4, -2, 0}), qmVertex({0, -3, 0}), qmVertex({1, -3, 0}), qmVertex({4, -3, 0})},
               {0, 5, 1, 1, 5, 6, 1, 6, 3, 1, 2, 4, 3, 1, 4, 3, 4, 7, 7, 6, 3});
    auto cover = [&] {
        float sum = 0;
        for (int t = 0; t < m.indexCount; t += 3) {
            const float *a = m.vertices[m.indices[t]].pos, *b = m.vertices[m.indices[t + 1]].pos,
                        *c = m.vertices[m.indices[t + 2]].pos;
            sum += std::fabs((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])) / 2;
        }
        return sum;
    };
    for (int pass = 0; pass < 3; pass++) Reduced(&m, 1.0f);
    EXPECT_LT(m.vertexCount, 8);  // the straight outer edges still lose vertices
    EXPECT_FLOAT_EQ(cover(), 12.0f);
}

// Replacement triangles face the way the triangles they replace faced, whichever end of the straight
// edge the reduction started from: the flat meshes here all face +z (or all -z when flipped), and so
// must every triangle left.
TEST(FXMeshReduce, NewTrianglesKeepTheWinding) {
    auto facing = [](const FXMesh& m, int t) {
        const float *a = m.vertices[m.indices[t]].pos, *b = m.vertices[m.indices[t + 1]].pos,
                    *c = m.vertices[m.indices[t + 2]].pos;
        return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    };
    auto flip = [](FXMesh* m) {
        for (int t = 0; t + 2 < m->indexCount; t += 3) std::swap(m->indices[t + 1], m->indices[t + 2]);
    };
    auto mirror = [](FXMesh* m) {  // x -> -x, with the corners turned so the faces keep facing +z
        for (int v = 0; v < m->vertexCount; v++) m->vertices[v].pos[0] = -m->vertices[v].pos[0];
        for (int t = 0; t + 2 < m->indexCount; t += 3) std::swap(m->indices[t + 1], m->indices[t + 2]);
    };
    struct Case {
        const char* name;
        int cols, passes;
        bool flipped, mirrored;
    } cases[] = {
        {"strip", 2, 1, false, false},
        {"strip facing -z", 2, 1, true, false},
        {"mirrored strip", 2, 1, false, true},
        {"long strip, two passes", 5, 2, false, false},
        {"long strip facing -z", 5, 2, true, false},
        {"long mirrored strip", 5, 2, false, true},
    };
    for (const Case& c : cases) {
        FXMesh m;
        Strip(&m, c.cols);
        if (c.flipped) flip(&m);
        if (c.mirrored) mirror(&m);
        const float sign = c.flipped ? -1.0f : 1.0f;
        for (int t = 0; t < m.indexCount; t += 3) ASSERT_GT(sign * facing(m, t), 0.0f) << c.name;
        const int before = m.indexCount;
        for (int p = 0; p < c.passes; p++) Reduced(&m, 1.0f);
        EXPECT_LT(m.indexCount, before) << c.name;
        for (int t = 0; t < m.indexCount; t += 3)
            EXPECT_GT(sign * facing(m, t), 0.0f) << c.name << " triangle " << t / 3;
    }
}

// A corner naming a missing vertex would send every search past the vertex array.
TEST(FXMeshReduce, BrokenIndexListIsRefused) {
    FXMesh m;
    Strip(&m, 2);
    m.indices[7] = 6;
    std::string log = Reduced(&m, 1.0f);
    EXPECT_NE(log.find("ReduceVertices: mesh '' refused"), std::string::npos) << log;
    EXPECT_EQ(m.vertexCount, 6);
    EXPECT_EQ(m.indices[7], 6);
}
