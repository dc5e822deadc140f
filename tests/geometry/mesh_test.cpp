// FXMesh: allocation, copies, the vertex record layout and the geometry-only authoring operations.
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include "geometry/vertexio.h"
#include "geometry_test_util.h"
#include "image/material.h"
#include "support/recording_env.h"

namespace {

using V3 = std::vector<float>;
V3 Pos(const FXMesh& m, int i) { return V3(m.vertices[i].pos, m.vertices[i].pos + 3); }
V3 Normal(const FXMesh& m, int i) { return V3(m.vertices[i].normal, m.vertices[i].normal + 3); }

}  // namespace

TEST(FXMesh, ReallocCopyAndDestroy) {
    FXMesh m;
    m.Realloc(10, 30);
    tagFXVertex* v = m.vertices;
    EXPECT_EQ(m.Realloc(4, 6), 6);
    EXPECT_EQ(m.vertices, v);  // a smaller request keeps the block
    EXPECT_EQ(m.vertexCapacity, 10);
    EXPECT_EQ(m.vertexCount, 4);

    FXMesh src;
    qmQuad(&src);
    src.drawPass = 2;
    src.materialName.Set("leaf");
    src.disabled = src.flipV = true;
    m.Copy(&src);
    EXPECT_EQ(m.drawPass, 2);
    EXPECT_STREQ(m.materialName, "leaf");
    EXPECT_FALSE(m.disabled || m.flipV);
    EXPECT_EQ(0, memcmp(m.vertices, src.vertices, sizeof(tagFXVertex) * 4));
    EXPECT_EQ(0, memcmp(m.indices, src.indices, 4 * 6));
    FXMesh head;
    head.CopyMeshI(&src);
    EXPECT_EQ(head.vertexCount + head.indexCount, 10);
    const float red[4] = {1, 0, 0, 0.5f};
    m.SetVerticesCol(red);
    EXPECT_EQ(m.vertices[3].color[3], 0.5f);

    m.Destroy();
    FXMesh().Destroy();  // no arrays: nothing to free
    EXPECT_EQ(m.vertexCapacity + m.vertexCount + m.indexCapacity + m.indexCount, 0);
    EXPECT_TRUE(m.vertices == nullptr && m.indices == nullptr);
}

TEST(FXMesh, VertexRecordIsNineteenLittleEndianWords) {
    tagFXVertex v = qmVertex({1, 2, 3}, {4, 5, 6}, {7, 8});
    v.normalSum[2] = 15;
    v.mark = -2;
    v.srcIndex[2] = 7;
    unsigned char b[76];
    fxPutVertex(b, &v);
    EXPECT_EQ(fxGetF32(b + 12), 4.0f);
    EXPECT_EQ(fxGetF32(b + 28), 8.0f);
    EXPECT_EQ(fxGetF32(b + 44), 1.0f);
    EXPECT_EQ(fxGetF32(b + 56), 15.0f);
    EXPECT_EQ(fxGetI32(b + 60), -2);
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
    for (int i = 0; i < 3; i++) EXPECT_EQ(Normal(m, i), (V3{0, 0, -1})) << i;

    // In the plane x = 0 with z flattened away: no area, the normals stay.
    qmFillMesh(&m, {qmVertex({0, 0, 0}, {9, 9, 9}), qmVertex({0, 0, 1}, {9, 9, 9}), qmVertex({0, 1, 0}, {9, 9, 9})},
               {0, 1, 2});
    m.ComputeNormalsZ(false, 0.0f);
    EXPECT_EQ(Normal(m, 1), (V3{9, 9, 9}));
    m.ComputeNormalsZ(false, 1.0f);
    EXPECT_EQ(Normal(m, 1), (V3{1, 0, 0}));

    // Selective: only faces touching a marked vertex count; the others keep their normals.
    qmFillMesh(&m,
               {qmVertex({0, 0, 0}, {5, 5, 5}), qmVertex({1, 0, 0}, {5, 5, 5}), qmVertex({0, 1, 0}, {5, 5, 5}),
                qmVertex({5, 0, 0}, {5, 5, 5}), qmVertex({6, 0, 0}, {5, 5, 5}), qmVertex({5, 1, 0}, {5, 5, 5})},
               {0, 1, 2, 3, 4, 5});
    m.vertices[4].mark = 1;
    m.ComputeNormals(true);
    EXPECT_EQ(Normal(m, 0), (V3{5, 5, 5}));
    EXPECT_EQ(Normal(m, 3), (V3{0, 0, -1}));
}

TEST(FXMesh, DiscardVerticesRenumbersInOrder) {
    FXMesh m;
    qmFillMesh(&m, {qmVertex({0, 0, 0}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0}), qmVertex({7, 7, 7})}, {0, 1, 2});
    m.DiscardVertices();
    EXPECT_EQ(m.vertexCount, 3);
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 3), (std::vector<int>{0, 1, 2}));

    qmFillMesh(&m, {qmVertex({7, 7, 7}), qmVertex({1, 0, 0}), qmVertex({8, 8, 8}), qmVertex({0, 1, 0}), qmVertex({2, 2, 2})},
               {3, 1, 4, 4, 1, 3});
    m.DiscardVertices();
    ASSERT_EQ(m.vertexCount, 3);
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 6), (std::vector<int>{1, 0, 2, 2, 0, 1}));
    EXPECT_EQ(Pos(m, 2), (V3{2, 2, 2}));
}

TEST(FXMesh, AxisTransformsAndUnitizing) {
    FXMesh m;
    qmFillMesh(&m, {qmVertex({1, 2, 3}, {0.1f, 0.2f, 0.3f})}, {});
    m.Transform(2, 0, 1, false, false, true);
    EXPECT_EQ(Pos(m, 0), (V3{3, 1, -2}));
    EXPECT_EQ(Normal(m, 0), (V3{0.3f, 0.1f, -0.2f}));
    m.Transform(-1, 0, 1, true, true, true);  // an unknown axis changes nothing
    m.FlipHoriz();
    EXPECT_EQ(Pos(m, 0), (V3{-3, 1, -2}));
    EXPECT_EQ(FXMesh::TextToIndi("yaw"), 1);
    EXPECT_EQ(FXMesh::TextToIndi("z"), 2);
    EXPECT_EQ(FXMesh::TextToIndi("w"), -1);
    EXPECT_EQ(FXMesh::TextToIndi(nullptr), -1);

    qmFillMesh(&m, {qmVertex({2, 10, 1}), qmVertex({6, 12, 1}), qmVertex({4, 11, 1})}, {0, 1, 2});
    float box[6];
    m.FindMaxims(box);
    EXPECT_EQ(V3(box, box + 6), (V3{2, 6, 10, 12, 1, 1}));
    FXMesh s;
    s.Copy(&m);
    m.Unitize();  // largest extent 4: scale 0.5 about the centre (4, 11, 1)
    EXPECT_EQ(Pos(m, 1), (V3{1, 0.5f, 0}));
    s.UnitizeMaximsStretch(box);  // each axis on its own; z has no extent and is only centred
    EXPECT_EQ(Pos(s, 0), (V3{-1, -1, 0}));
    m.ComputeFrontTexCoords();
    EXPECT_EQ(m.vertices[1].uv[0], 1.0f);
    EXPECT_EQ(m.vertices[1].uv[1], 0.25f);
}

// A mesh hides what lies behind it only when every pixel it draws is opaque, texels that filtering
// may read from the padding included.
TEST(FXMesh, HidesWhatLiesBehindOnlyWhenOpaqueInTheOpaquePass) {
    RecordingEnv env;
    FXMaterial padded, filled, faint, plain;
    const float red[4] = {1, 0, 0, 1};
    for (FXMaterial* m : {&padded, &filled, &faint}) {
        m->canvas.pixmap.Realloc(3, 2);  // a 4 x 2 block: one column of padding
        m->canvas.Clear(red);
        m->canvas.pixmap.data[3] = m->canvas.pixmap.data[7] = 0;  // transparent padding
    }
    filled.canvas.ExtendEdges();
    for (FXMaterial* m : {&padded, &filled, &faint}) ASSERT_TRUE(m->SetTexture(&env, &m->canvas));
    faint.SetDefDiffuse(1.0f);
    faint.diffuse[3] = 0.5f;
    FXMesh second;
    struct Case {
        const char* what;
        FXMaterial* material;
        int pass, colorMode;
        bool secondLayer, hides;
    } cases[] = {
        {"texture with its padding filled", &filled, 0, 0, false, true},
        {"untextured solid colour", &plain, 0, 0, false, true},
        {"transparent padding", &padded, 0, 0, false, false},
        {"translucent diffuse", &faint, 0, 0, false, false},
        {"no material", nullptr, 0, 0, false, false},
        {"transparent pass", &filled, 1, 0, false, false},
        {"pass without depth writes", &filled, 2, 0, false, false},
        {"vertex colours", &filled, 0, 1, false, false},
        {"second layer", &filled, 0, 0, true, false},
    };
    for (const Case& c : cases) {
        FXMesh x;
        qmQuad(&x, 0.1f);
        x.material = c.material;
        x.drawPass = c.pass;
        x.colorMode = c.colorMode;
        x.secondMesh = c.secondLayer ? &second : nullptr;
        EXPECT_EQ(c.hides, x.HidesWhatLiesBehind()) << c.what;
    }
}
