// FXMesh operations that sample pictures: colour and bump maps, and dropping triangles that lie on
// transparent texels.
#include <gtest/gtest.h>

#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry_test_util.h"
#include "image/canvas.h"
#include "image/material.h"
#include "support/test_support.h"

namespace {

// A w x h canvas whose pixels are given as RGBA bytes, row by row from the top.
void Paint(FXCanvas* c, int w, int h, const std::vector<std::vector<unsigned char>>& px) {
    c->pixmap.Realloc(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) memcpy(c->pixmap.PixelBytes(x, y), px[size_t(y * w + x)].data(), 4);
}

}  // namespace

TEST(FXMeshMaps, ColourAndBumpMapsSampleTheRightTexel) {
    FXCanvas c;
    Paint(&c, 1, 2, {{255, 0, 0, 255}, {0, 0, 255, 51}});  // top red, bottom blue at alpha 0.2
    FXMesh m;
    qmFillMesh(&m, {qmVertex({-1, 1, 0}, {0, 0, -1}, {0, 0.1f}), qmVertex({1, -1, 0}, {0, 0, -1}, {0, 0.9f})}, {});
    const float half[4] = {0.5f, 1, 1, 1};
    m.ApplyColorMap(&c, half);
    EXPECT_EQ(m.vertices[0].color[0], 0.5f);
    EXPECT_EQ(m.vertices[1].color[2], 1.0f);
    EXPECT_FLOAT_EQ(m.vertices[1].color[3], 0.2f);
    m.flipV = true;  // v is sampled mirrored
    m.ApplyColorMap(&c, half);
    EXPECT_EQ(m.vertices[0].color[0], 0.0f);
    EXPECT_EQ(m.vertices[0].color[2], 1.0f);

    m.flipV = false;
    m.ApplyFrontColorMap(&c, half);  // from positions: vertex 0 at the top, vertex 1 at the bottom
    EXPECT_EQ(m.vertices[0].color[0], 0.5f);
    EXPECT_EQ(m.vertices[1].color[0], 0.0f);

    m.ApplyBumpMap(&c, 0.5f);  // the blue channel pushes along the normal
    EXPECT_EQ(m.vertices[0].mark, 0);
    EXPECT_EQ(m.vertices[0].pos[2], 0.0f);
    EXPECT_EQ(m.vertices[1].mark, 1);
    EXPECT_EQ(m.vertices[1].pos[2], -0.5f);
}

TEST(FXMeshMaps, TransparentTrianglesAreDropped) {
    FXMaterial mat;
    Paint(&mat.canvas, 2, 1, {{255, 255, 255, 0}, {255, 255, 255, 255}});  // left clear, right solid
    mat.textureSource = &mat.canvas;
    mat.hasTexture = true;
    FXMesh m;
    m.material = &mat;
    m.flipV = true;  // not applied to this test
    auto fill = [&] {
        qmFillMesh(&m,
                   {qmVertex({0, 0, 0}, {0, 0, -1}, {0.1f, 0}), qmVertex({1, 0, 0}, {0, 0, -1}, {0.2f, 0}),
                    qmVertex({2, 0, 0}, {0, 0, -1}, {0.3f, 0}), qmVertex({3, 0, 0}, {0, 0, -1}, {0.9f, 0})},
                   {0, 1, 2, 1, 2, 3});
    };
    fill();
    std::string log = qmTraced([&] { m.DiscardTrianglesTransp(0, 0.5f); });
    EXPECT_NE(log.find("DiscardTriangles from:6  to:3\n"), std::string::npos) << log;
    ASSERT_EQ(m.indexCount, 3);
    EXPECT_EQ(m.vertexCount, 3);
    EXPECT_EQ(std::vector<int>(m.indices, m.indices + 3), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(m.vertices[0].pos[0], 1.0f);
    log = qmTraced([&] { m.DiscardTrianglesTransp(0, 0.5f); });
    EXPECT_NE(log.find("DiscardTriangles (no effect) cnt:3\n"), std::string::npos) << log;

    fill();
    mat.hasTexture = false;  // no prepared texture: nothing to test against
    m.DiscardTrianglesTransp(0, 0.5f);
    EXPECT_EQ(m.indexCount, 6);
    mat.hasTexture = true;
    m.DiscardTrianglesTransp(0, 1.0f);  // alpha must exceed the threshold
    EXPECT_EQ(m.indexCount + m.vertexCount, 0);
}

// A picture that failed to load has no pixels: the mesh stays as it was.
TEST(FXMeshMaps, PictureWithoutPixelsChangesNothing) {
    FXCanvas empty;
    FXMesh m;
    qmFillMesh(&m, {qmVertex({-1, 1, 0}, {0, 0, -1}, {0.2f, 0.3f}), qmVertex({1, -1, 0}, {0, 0, -1}, {0.7f, 0.9f})},
               {});
    for (int i = 0; i < 2; i++) {
        for (float& c : m.vertices[i].color) c = 0.25f;
        m.vertices[i].mark = 7;
    }
    const float one[4] = {1, 1, 1, 1};
    m.ApplyColorMap(&empty, one);
    m.ApplyFrontColorMap(&empty, one);
    m.ApplyBumpMap(&empty, 1.0f);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(std::vector<float>(m.vertices[i].color, m.vertices[i].color + 4), std::vector<float>(4, 0.25f)) << i;
        EXPECT_EQ(m.vertices[i].mark, 7) << i;
        EXPECT_EQ(m.vertices[i].pos[2], 0.0f) << i;
    }
}
