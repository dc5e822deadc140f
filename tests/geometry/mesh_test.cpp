// FXMesh: allocation, copies, the vertex record layout and the geometry-only authoring operations.
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geometry/vertexio.h"
#include "geometry_test_util.h"
#include "support/recording_env.h"

namespace {

struct UnprepareCounter : RecordingEnv {
    std::vector<FXMesh*> unprepared;
    void UnprepareMesh(FXMesh* m) override { unprepared.push_back(m); }
};

std::vector<float> Pos(const FXMesh& m, int i) { return {m.vertices[i].pos[0], m.vertices[i].pos[1], m.vertices[i].pos[2]}; }
std::vector<float> Normal(const FXMesh& m, int i) {
    return {m.vertices[i].normal[0], m.vertices[i].normal[1], m.vertices[i].normal[2]};
}

}  // namespace

TEST(FXMesh, ReallocKeepsLargeEnoughBlocksAndDestroyTellsTheEnvironment) {
    FXMesh m;
    EXPECT_EQ(m.Realloc(10, 30), 30);
    tagFXVertex* v = m.vertices;
    int32_t* i = m.indices;
    EXPECT_EQ(m.Realloc(4, 6), 6);
    EXPECT_EQ(m.vertices, v);
    EXPECT_EQ(m.indices, i);
    EXPECT_EQ(m.vertexCapacity, 10);
    EXPECT_EQ(m.vertexCount, 4);
    EXPECT_EQ(m.indexCapacity, 30);
    m.Realloc(11, 6);
    EXPECT_EQ(m.vertexCapacity, 11);
    EXPECT_EQ(m.Realloc(-3, -1), 0);  // damaged counts read as nothing

    UnprepareCounter env;
    fxSetEnv(&env);
    m.Destroy();
    FXMesh empty;
    empty.Destroy();  // no arrays: the environment is not asked
    fxSetEnv(nullptr);
    EXPECT_EQ(env.unprepared, (std::vector<FXMesh*>{&m}));
    EXPECT_EQ(m.vertices, nullptr);
    EXPECT_EQ(m.vertexCapacity + m.vertexCount + m.indexCapacity + m.indexCount, 0);
    m.Destroy();  // twice is harmless
}

TEST(FXMesh, CopyTakesArraysAndHeaderButNotFlags) {
    FXMesh src;
    qmQuad(&src);
    src.drawPass = 2;
    src.colorMode = 1;
    src.materialName.Set("leaf");
    src.loaded_u = 0.5f;
    src.disabled = true;
    src.flipV = true;
    FXMesh dst;
    dst.Copy(&src);
    EXPECT_EQ(dst.drawPass, 2);
    EXPECT_EQ(dst.colorMode, 1);
    EXPECT_STREQ(dst.materialName, "leaf");
    EXPECT_EQ(dst.loaded_u, 0.5f);
    EXPECT_FALSE(dst.disabled);
    EXPECT_FALSE(dst.flipV);
    ASSERT_EQ(dst.vertexCount, 4);
    EXPECT_NE(dst.vertices, src.vertices);
    EXPECT_EQ(0, memcmp(dst.vertices, src.vertices, sizeof(tagFXVertex) * 4));
    EXPECT_EQ(0, memcmp(dst.indices, src.indices, 4 * 6));

    FXMesh head;
    head.CopyMeshI(&src);
    EXPECT_EQ(head.vertexCount, 4);
    EXPECT_EQ(head.indexCount, 6);
    EXPECT_EQ(head.drawPass, 2);
    EXPECT_NE(head.vertices, nullptr);

    const float red[4] = {1, 0, 0, 0.5f};
    dst.SetVerticesCol(red);
    for (int i = 0; i < 4; i++) EXPECT_EQ(dst.vertices[i].color[3], 0.5f);
    EXPECT_EQ(src.vertices[0].color[3], 1.0f);
}

TEST(FXMesh, VertexRecordIsNineteenLittleEndianWords) {
    tagFXVertex v = qmVertex({1, 2, 3}, {4, 5, 6}, {7, 8});
    v.color[3] = 12;
    v.normalSum[2] = 15;
    v.mark = -2;
    v.srcIndex[0] = 0x01020304;
    v.srcIndex[2] = 7;
    unsigned char b[76];
    fxPutVertex(b, &v);
    EXPECT_EQ(fxGetF32(b + 0), 1.0f);
    EXPECT_EQ(fxGetF32(b + 12), 4.0f);
    EXPECT_EQ(fxGetF32(b + 28), 8.0f);
    EXPECT_EQ(fxGetF32(b + 44), 12.0f);
    EXPECT_EQ(fxGetF32(b + 56), 15.0f);
    EXPECT_EQ(fxGetI32(b + 60), -2);
    EXPECT_EQ(b[64], 0x04);
    EXPECT_EQ(b[67], 0x01);
    EXPECT_EQ(fxGetI32(b + 72), 7);
    tagFXVertex w;
    fxGetVertex(b, &w);
    EXPECT_EQ(0, memcmp(&v, &w, sizeof v));
}

TEST(FXMesh, ComputeNormalsFollowsTheWindingAndSkipsFlatFaces) {
    FXMesh m;
    qmFillMesh(&m, {qmVertex({0, 0, 0}, {9, 9, 9}), qmVertex({1, 0, 0}, {9, 9, 9}), qmVertex({0, 1, 0}, {9, 9, 9})},
               {0, 1, 2});
    m.ComputeNormals(false);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(Normal(m, i), (std::vector<float>{0, 0, -1})) << i;
        EXPECT_EQ(m.vertices[i].mark, 1);
    }

    // In the plane x = 0 with z flattened to nothing: no area, normals stay.
    FXMesh flat;
    qmFillMesh(&flat, {qmVertex({0, 0, 0}, {9, 9, 9}), qmVertex({0, 0, 1}, {9, 9, 9}), qmVertex({0, 1, 0}, {9, 9, 9})},
               {0, 1, 2});
    flat.ComputeNormalsZ(false, 0.0f);
    EXPECT_EQ(Normal(flat, 1), (std::vector<float>{9, 9, 9}));
    flat.ComputeNormalsZ(false, 1.0f);
    EXPECT_EQ(Normal(flat, 1), (std::vector<float>{1, 0, 0}));

    // Two faces at right angles: a shared vertex gets the normalised sum.
    FXMesh fold;
    qmFillMesh(&fold,
               {qmVertex({0, 0, 0}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0}), qmVertex({0, 0, 1})},
               {0, 1, 2, 0, 2, 3});
    fold.ComputeNormals(false);
    const float h = 1.0f / std::sqrt(2.0f);
    EXPECT_NEAR(fold.vertices[0].normal[0], -h, 1e-6);
    EXPECT_NEAR(fold.vertices[0].normal[2], -h, 1e-6);
    EXPECT_EQ(Normal(fold, 1), (std::vector<float>{0, 0, -1}));

    // Selective: only faces touching a marked vertex count, and unmarked vertices keep their normal.
    qmFillMesh(&fold,
               {qmVertex({0, 0, 0}, {5, 5, 5}), qmVertex({1, 0, 0}, {5, 5, 5}), qmVertex({0, 1, 0}, {5, 5, 5}),
                qmVertex({5, 0, 0}, {5, 5, 5}), qmVertex({6, 0, 0}, {5, 5, 5}), qmVertex({5, 1, 0}, {5, 5, 5})},
               {0, 1, 2, 3, 4, 5});
    fold.vertices[4].mark = 1;
    fold.ComputeNormals(true);
    EXPECT_EQ(Normal(fold, 0), (std::vector<float>{5, 5, 5}));
    EXPECT_EQ(Normal(fold, 3), (std::vector<float>{0, 0, -1}));

    FXMesh stray;  // an index beyond the vertices: left alone
    qmFillMesh(&stray, {qmVertex({0, 0, 0}, {9, 9, 9}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0})}, {0, 1, 7});
    stray.ComputeNormals(false);
    EXPECT_EQ(Normal(stray, 0), (std::vector<float>{9, 9, 9}));
}

TEST(FXMesh, DiscardVerticesRenumbersInOrder) {
    FXMesh m;
    qmFillMesh(&m, {qmVertex({0, 0, 0}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0}), qmVertex({7, 7, 7})}, {0, 1, 2});
    m.DiscardVertices();
    EXPECT_EQ(m.vertexCount, 3);
    EXPECT_EQ(m.vertexCapacity, 3);
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 3), (std::vector<int>{0, 1, 2}));

    qmFillMesh(&m, {qmVertex({7, 7, 7}), qmVertex({1, 0, 0}), qmVertex({8, 8, 8}), qmVertex({0, 1, 0}), qmVertex({2, 2, 2})},
               {3, 1, 4, 4, 1, 3});
    m.DiscardVertices();
    ASSERT_EQ(m.vertexCount, 3);
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 6), (std::vector<int>{1, 0, 2, 2, 0, 1}));
    EXPECT_EQ(Pos(m, 0), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(Pos(m, 2), (std::vector<float>{2, 2, 2}));
    EXPECT_EQ(m.vertices[2].mark, 2);
}

TEST(FXMesh, AxisTransformsAndFlips) {
    FXMesh m;
    qmFillMesh(&m, {qmVertex({1, 2, 3}, {0.1f, 0.2f, 0.3f})}, {});
    m.Transform(2, 0, 1, false, false, true);
    EXPECT_EQ(Pos(m, 0), (std::vector<float>{3, 1, -2}));
    EXPECT_EQ(Normal(m, 0), (std::vector<float>{0.3f, 0.1f, -0.2f}));
    m.Transform(-1, 0, 1, true, true, true);  // an unknown axis changes nothing
    EXPECT_EQ(Pos(m, 0), (std::vector<float>{3, 1, -2}));
    m.FlipHoriz();
    EXPECT_EQ(Pos(m, 0), (std::vector<float>{-3, 1, -2}));
    EXPECT_EQ(Normal(m, 0), (std::vector<float>{0.3f, 0.1f, -0.2f}));

    EXPECT_EQ(FXMesh::TextToIndi("x"), 0);
    EXPECT_EQ(FXMesh::TextToIndi("yaw"), 1);
    EXPECT_EQ(FXMesh::TextToIndi("z"), 2);
    EXPECT_EQ(FXMesh::TextToIndi("w"), -1);
    EXPECT_EQ(FXMesh::TextToIndi("X"), -1);
    EXPECT_EQ(FXMesh::TextToIndi(""), -1);
    EXPECT_EQ(FXMesh::TextToIndi(nullptr), -1);
}

TEST(FXMesh, BoundsUnitizingAndProjections) {
    FXMesh m;
    qmFillMesh(&m, {qmVertex({2, 10, 1}, {0, 0, 1}), qmVertex({6, 12, 1}, {0, 0, 1}), qmVertex({4, 11, 1}, {0, 0, 1})},
               {0, 1, 2});
    float box[6];
    m.FindMaxims(box);
    EXPECT_EQ(std::vector<float>(box, box + 6), (std::vector<float>{2, 6, 10, 12, 1, 1}));
    FXMesh n;
    qmFillMesh(&n, {qmVertex({-1, 11, 5})}, {});
    bool first = true;
    m.FindMultiMaxims(&first, box);
    n.FindMultiMaxims(&first, box);
    EXPECT_FALSE(first);
    EXPECT_EQ(std::vector<float>(box, box + 6), (std::vector<float>{-1, 6, 10, 12, 1, 5}));
    FXMesh none;
    none.FindMaxims(box);
    EXPECT_EQ(std::vector<float>(box, box + 6), (std::vector<float>(6, 0.0f)));

    FXMesh s;
    s.Copy(&m);
    m.Unitize();  // largest extent 4 (x): scale 0.5 about the centre (4, 11, 1)
    EXPECT_EQ(Pos(m, 0), (std::vector<float>{-1, -0.5f, 0}));
    EXPECT_EQ(Pos(m, 1), (std::vector<float>{1, 0.5f, 0}));
    s.FindMaxims(box);
    s.UnitizeMaximsStretch(box);  // y extent 2, z extent 0 (counts as 2)
    EXPECT_EQ(Pos(s, 0), (std::vector<float>{-1, -1, 0}));
    FXMesh s1;
    qmFillMesh(&s1, {qmVertex({0, 0, 0}), qmVertex({4, 2, 10})}, {});
    s1.FindMaxims(box);
    s1.UnitizeMaximsStretch1(box);
    EXPECT_EQ(Pos(s1, 1), (std::vector<float>{1, 1, 5}));
    FXMesh point;
    qmFillMesh(&point, {qmVertex({3, 3, 3})}, {});
    point.Unitize();  // no extent: centred, not divided by zero
    EXPECT_EQ(Pos(point, 0), (std::vector<float>{0, 0, 0}));

    m.ComputeFrontTexCoords();
    EXPECT_EQ(m.vertices[0].uv[0], 0.0f);
    EXPECT_EQ(m.vertices[0].uv[1], 0.75f);
    FXMesh few;
    qmFillMesh(&few, {qmVertex({0, 0, 0})}, {});
    few.CopyTexCoords(&m);  // only as many vertices as the shorter mesh
    EXPECT_EQ(few.vertices[0].uv[1], 0.75f);
    m.CopyTexCoords(&few);
    EXPECT_EQ(m.vertices[1].uv[0], 1.0f);

    m.ExtendPositions(0.5f);
    EXPECT_EQ(Pos(m, 1), (std::vector<float>{1, 0.5f, 0.5f}));
    EXPECT_EQ(m.vertices[1].mark, 1);
}
