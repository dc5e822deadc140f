#include "elements/desk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/material.h"
#include "support/recording_env.h"

namespace {

using Floats = std::vector<float>;

Floats Pos(const FXDesk& d, int n) { return {d.mesh.vertices[n].pos[0], d.mesh.vertices[n].pos[1]}; }
Floats Uv(const FXDesk& d, int n) { return {d.mesh.vertices[n].uv[0], d.mesh.vertices[n].uv[1]}; }
Floats Color(const FXDesk& d, int n) { const float* c = d.mesh.vertices[n].color; return {c[0], c[1], c[2], c[3]}; }
std::vector<int> Indices(const FXDesk& d) { return std::vector<int>(d.mesh.indices, d.mesh.indices + d.mesh.indexCount); }

// Records which update slots the base class calls.
class TracingDesk : public FXDesk {
public:
    std::string calls;
    void UpdatePos(bool p, bool n) override { calls += "P"; FXDesk::UpdatePos(p, n); }
    void UpdateColCol(const float* c) override { calls += "C"; FXDesk::UpdateColCol(c); }
    void UpdateTex() override { calls += "T"; FXDesk::UpdateTex(); }
};

}  // namespace

TEST(FXDesk, OneCellLayoutAndMaterial) {
    FXDesk d;
    d.Create(1, 1);
    ASSERT_EQ(d.mesh.vertexCount, 4);
    EXPECT_EQ(Pos(d, 0), (Floats{-1, 1}));
    EXPECT_EQ(Pos(d, 1), (Floats{1, 1}));
    EXPECT_EQ(Pos(d, 2), (Floats{-1, -1}));
    EXPECT_EQ(Pos(d, 3), (Floats{1, -1}));
    EXPECT_EQ(Indices(d), (std::vector<int>{0, 2, 1, 2, 3, 1}));
    for (int n = 0; n < 4; n++) {
        EXPECT_EQ(d.mesh.vertices[n].normal[2], -1.0f);
        EXPECT_EQ(Color(d, n), (Floats{1, 1, 1, 1}));
    }
    FXMaterial m;
    m.texScaleU = 0.5f;
    m.texScaleV = 0.75f;
    d.SetMaterial(&m);
    EXPECT_EQ(Uv(d, 1), (Floats{0.5f, 0}));
    EXPECT_EQ(Uv(d, 2), (Floats{0, 0.75f}));
    EXPECT_EQ(Uv(d, 3), (Floats{0.5f, 0.75f}));
    d.mesh.flipV = true;
    d.UpdateTex();
    EXPECT_EQ(Uv(d, 0), (Floats{0, 0.75f}));
    d.UpdateTexRc(0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_EQ(Uv(d, 0), (Floats{0.125f, 0.375f}));
    EXPECT_EQ(Uv(d, 3), (Floats{0.375f, 0}));
    d.mesh.flipV = false;
    d.UpdateTex1();
    d.SetMaterial1(&m);  // rescales the coordinates it has
    EXPECT_EQ(Uv(d, 3), (Floats{0.5f, 0.75f}));
    d.SetMaterial(nullptr);
    for (int n = 0; n < 4; n++) EXPECT_EQ(Uv(d, n), (Floats{0, 0}));
}

TEST(FXDesk, GridLayout) {
    FXDesk d;
    d.Create(2, 1);
    EXPECT_EQ(d.mesh.vertexCount, 6);
    EXPECT_EQ(Indices(d), (std::vector<int>{0, 3, 1, 3, 4, 1, 1, 4, 2, 4, 5, 2}));
    EXPECT_EQ(Pos(d, 1), (Floats{0, 1}));
    d.Create(2, 3);
    EXPECT_EQ(d.mesh.indexCount, 36);
    EXPECT_EQ(Indices(d)[5 * 6 + 4], 11);  // cell (2, 1): bottom-right is vertex 1 + 3*3 + 1
    EXPECT_NEAR(Pos(d, 4)[1], 1.0f / 3, 1e-6f);
    d.Destroy();
    EXPECT_EQ(d.cols, 0);
    EXPECT_EQ(d.mesh.vertexCount, 0);
    d.SetVertexPos(1, 0, 0);  // nothing to move
    d.Create(-1, 2);
    EXPECT_EQ(d.mesh.vertexCount, 0);
}

TEST(FXDesk, CornersAndRepeatedCreate) {
    FXDesk d;
    d.Create(1, 1);
    d.SetVertexPos(1, -0.5f, 0.5f);
    d.Create(1, 1);
    EXPECT_EQ(Pos(d, 0), (Floats{-0.5f, 0.5f}));
    d.SetVertexPos(5, 0, 0);
    d.SetVertexPos(0, 0, 0);
    EXPECT_EQ(Pos(d, 0), (Floats{-0.5f, 0.5f}));
    d.SetVertexPos1(3, 960, 540, 1280, 720);  // bottom-right is vertex 3
    EXPECT_EQ(Pos(d, 3), (Floats{0.5f, -0.5f}));
    d.SetVertexPos1(4, 0, 720, 1280, 720);
    EXPECT_EQ(Pos(d, 2), (Floats{-1, -1}));
    d.SetTexelPos1(3, 320, 240, 640, 480);
    EXPECT_EQ(Uv(d, 3), (Floats{0.5f, 0.5f}));
    d.SetTexelPos(2, 0.25f, 0.125f);
    EXPECT_EQ(Uv(d, 1), (Floats{0.25f, 0.125f}));
}

TEST(FXDesk, PositionUpdates) {
    FXDesk d;
    d.Create(1, 1);
    d.UpdatePosPerspective(0.5f);
    EXPECT_EQ(Pos(d, 0), (Floats{-1, 1}));
    EXPECT_EQ(Pos(d, 3), (Floats{1.5f, -1}));
    d.UpdatePosSkew(true, false, 0.5f, 0.25f);
    EXPECT_EQ(Pos(d, 0), (Floats{-0.5f, 1.25f}));
    EXPECT_EQ(Pos(d, 3), (Floats{1, -1}));
    d.UpdatePosSkew1(true, false, 0.5f, 0.25f);
    EXPECT_EQ(Pos(d, 0), (Floats{-1, 1}));
    EXPECT_EQ(Pos(d, 3), (Floats{1.5f, -0.75f}));
}

TEST(FXDesk, CornerColours) {
    const float lt[4] = {1, 0, 0, 1}, rb[4] = {0, 0, 1, 0.5f};
    FXDesk d;
    d.Create(2, 2);
    d.UpdateCol_LT_RB(lt, rb);
    for (int n : {0, 2, 6}) EXPECT_EQ(Color(d, n), (Floats{1, 0, 0, 1}));
    EXPECT_EQ(Color(d, 8), (Floats{0, 0, 1, 0.5f}));
    EXPECT_EQ(Color(d, 4), (Floats{0.75f, 0, 0.25f, 0.875f}));  // weight 0.5 * 0.5
}

TEST(FXDesk, CallsGoThroughTheSlotsAndDrawTheMesh) {
    TracingDesk d;
    d.Create(1, 1);
    d.UpdateCol();
    d.SetMaterial(nullptr);
    EXPECT_EQ(d.calls, "PCTCT");

    RecordingEnv env;
    d.OnRender(&env, 1.5);
    ASSERT_EQ(env.meshes.size(), 1u);
    EXPECT_EQ(env.meshes[0], &d.mesh);
    EXPECT_EQ(env.calls, (std::vector<std::string>{"RenderMesh"}));
}
