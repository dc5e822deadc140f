// The gadgets' drawing rules without a device: matrices at every draw, what an inactive notice
// touches, the demo cube's wait and fade on the controllable clock, and its path.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/other.h"
#include "base/package.h"
#include "elements/demo_gadget.h"
#include "elements/err_gadget.h"
#include "elements/ruva_gadget.h"
#include "geometry/mesh.h"
#include "support/recording_env.h"

namespace {

// A recording environment that also keeps the model-view matrix the way the device does and
// remembers it at every mesh draw.
class MatrixEnv : public RecordingEnv {
public:
    std::vector<FXMatrix> drawMatrices;

    MatrixEnv() { matrix.SetIdentity(); }
    void ApplyMatrix(FXMatrix* m) override { RecordingEnv::ApplyMatrix(m); matrix.Copy(m); }
    void MultiplyMatrix(FXMatrix* m) override {
        RecordingEnv::MultiplyMatrix(m);
        FXMatrix cur;
        cur.Copy(&matrix);
        matrix.Multiply(&cur, m);
    }
    void ApplyMatrixIdentity() override { RecordingEnv::ApplyMatrixIdentity(); matrix.SetIdentity(); }
    void RenderMesh(FXMesh* mesh) override {
        RecordingEnv::RenderMesh(mesh);
        drawMatrices.push_back(matrix);
    }
};

struct Vec3 { float x, y, z; };

Vec3 Transform(const FXMatrix& m, float x, float y, float z) {
    return {m.m[0] * x + m.m[4] * y + m.m[8] * z + m.m[12], m.m[1] * x + m.m[5] * y + m.m[9] * z + m.m[13],
            m.m[2] * x + m.m[6] * y + m.m[10] * z + m.m[14]};
}

// One triangle, enough for the model to be drawn.
void AddTriangle(FXModel* model) {
    FXMesh* mesh = new FXMesh;
    mesh->Realloc(3, 3);
    for (int i = 0; i < 3; i++) {
        mesh->vertices[i] = tagFXVertex{};
        mesh->vertices[i].pos[0] = float(i);
        mesh->indices[i] = i;
    }
    model->meshes.Push(mesh);
}

class GadgetTest : public ::testing::Test {
protected:
    MatrixEnv env;
    void SetUp() override { fxUseManualClock(100.0); }
    void TearDown() override { fxUseSystemClock(); }
};

}  // namespace

TEST_F(GadgetTest, LogoSitsInTheCornerAndTurnsOnceInEightSeconds) {
    struct Case { int w, h; float sx, sy; };
    const Case cases[] = {{1280, 1024, 0.144f, 0.18f}, {600, 800, 0.18f, 0.135f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        FXRuvaGadget logo;
        FXPackage empty;
        logo.CreateCN(&env, &empty, 5, 4);
        AddTriangle(&logo.model);
        env.width = c.w;
        env.height = c.h;
        const double start = 100.0;
        for (double t : {start, start + 4.0}) {
            env.drawMatrices.clear();
            logo.OnRender(&env, t);
            ASSERT_EQ(env.drawMatrices.size(), 2u);  // the medallion, then the label
            const FXMatrix& m = env.drawMatrices[0];
            Vec3 centre = Transform(m, 0, 0, 0);
            EXPECT_NEAR(centre.x, 0.9f - c.sx, 1e-6);
            EXPECT_NEAR(centre.y, c.sy - 0.85f, 1e-6);
            EXPECT_NEAR(centre.z, -1.0f, 1e-6);
            // The model's +x axis: to the right at the start, to the left half a turn later.
            Vec3 right = Transform(m, 1, 0, 0);
            EXPECT_NEAR(right.x - centre.x, t == start ? c.sx : -c.sx, 1e-3);
            // The label: 0.25 below the medallion, 1.332 x 0.333 of its size.
            Vec3 label = Transform(env.drawMatrices[1], 0, 0, 0);
            Vec3 labelCorner = Transform(env.drawMatrices[1], 1, 1, 0);
            EXPECT_NEAR(label.y, centre.y - 0.25f, 1e-6);
            EXPECT_NEAR(labelCorner.x - label.x, 1.332f * c.sx, 1e-5);
            EXPECT_NEAR(labelCorner.y - label.y, 0.333f * c.sy, 1e-5);
        }
        EXPECT_EQ(logo.desk.mesh.colorMode, 1);
        EXPECT_FLOAT_EQ(logo.desk.mesh.vertices[0].color[3], 0.4f);
    }
}

TEST_F(GadgetTest, LogoWithoutModelDrawsOnlyTheLabelAndNeverClears) {
    FXRuvaGadget logo;
    FXPackage empty;
    logo.CreateCN(&env, &empty, 5, 4);
    AddTriangle(&logo.model);
    logo.drawModel = false;
    env.width = env.height = 100;
    logo.OnRender(&env, 100.0);
    EXPECT_EQ(env.meshes.size(), 1u);
    for (const std::string& call : env.calls) EXPECT_NE(call, "Clrscr(0,1,0)");
}

TEST_F(GadgetTest, InactiveNoticeTouchesNothing) {
    FXErrGadget notice;
    FXPackage empty;
    notice.CreateCN(&env, &empty, 0);
    env.calls.clear();
    notice.OnRender(&env, 100.0);
    EXPECT_TRUE(env.calls.empty());
    notice.active = true;
    notice.OnRender(&env, 100.0);
    EXPECT_EQ(env.calls, (std::vector<std::string>{"EnableDepthTest(0)", "EnableDepthWrite(0)", "EnableLights(0)",
                                                   "ApplyMatrix", "RenderMesh"}));
}

TEST_F(GadgetTest, DemoCubeWaitsFifteenSecondsThenFadesInOverTwo) {
    FXDemoGadget demo;
    FXPackage empty;
    demo.CreateCN(&env, &empty, 749, 750);
    const float outerAlpha = demo.outerMaterial.preserved[1][3];
    const float innerAlpha = demo.innerMaterial.preserved[1][3];
    const double start = 100.0;
    for (double t : {start, start + 7.5, start + 14.999}) {
        demo.OnRender(&env, t);
        EXPECT_TRUE(env.meshes.empty()) << "drawn at +" << t - start << " s";
    }
    demo.OnRender(&env, start + 15.0);  // the wait ends: the fade starts, nothing drawn yet
    EXPECT_TRUE(env.meshes.empty());
    demo.OnRender(&env, start + 16.0);
    EXPECT_EQ(env.meshes.size(), 12u);
    EXPECT_FLOAT_EQ(demo.outerMaterial.diffuse[3], 0.5f * outerAlpha);
    EXPECT_FLOAT_EQ(demo.innerMaterial.diffuse[3], 0.5f * innerAlpha);
    EXPECT_FLOAT_EQ(demo.innerMaterial.diffuse[0], 0.5f);  // the darker inner skin keeps its colour
    demo.OnRender(&env, start + 17.0);
    EXPECT_FALSE(demo.fadingIn);
    EXPECT_FLOAT_EQ(demo.outerMaterial.diffuse[3], outerAlpha);
}

TEST_F(GadgetTest, DemoCubeFacesCloseACubeAndTheOuterSkinIsSlightlyLarger) {
    FXDemoGadget demo;
    FXPackage empty;
    demo.CreateCN(&env, &empty, 749, 750);
    demo.OnRender(&env, 100.0);
    demo.OnRender(&env, 115.0);
    env.drawMatrices.clear();
    env.ApplyMatrixIdentity();
    demo.OnRender(&env, 117.0);
    ASSERT_EQ(env.drawMatrices.size(), 12u);
    // Each face's centre, taken back into the cube's own frame, is one unit out on one axis.
    FXMatrix base;
    base.Copy(&env.drawMatrices[0]);
    float seen[3][2] = {};
    for (int i = 0; i < 6; i++) {
        Vec3 c = Transform(demo.faceMatrices[i], 0, 0, 0);
        float axes[3] = {c.x, c.y, c.z};
        int hits = 0;
        for (int k = 0; k < 3; k++)
            if (std::fabs(std::fabs(axes[k]) - 1.0f) < 1e-5f) {
                seen[k][axes[k] > 0]++;
                hits++;
            }
        EXPECT_EQ(hits, 1) << "face " << i;
    }
    for (auto& axis : seen) EXPECT_TRUE(axis[0] == 1 && axis[1] == 1);
    // Outer face i = inner face i scaled by 1.001 about the cube's centre.
    Vec3 centre = Transform(env.drawMatrices[0], 0, 0, 1);  // undo the face's move: the cube centre
    Vec3 in = Transform(env.drawMatrices[0], 1, 1, 0);
    Vec3 out = Transform(env.drawMatrices[6], 1, 1, 0);
    EXPECT_NEAR(out.x - centre.x, 1.001f * (in.x - centre.x), 1e-5);
    EXPECT_NEAR(out.y - centre.y, 1.001f * (in.y - centre.y), 1e-5);
}

TEST_F(GadgetTest, DemoPathComesFromTheClockAndTheGenerator) {
    auto keys = [this](double clock, unsigned seed) {
        fxSetManualClock(clock);
        fxSrand(seed);
        FXDemoGadget demo;
        FXPackage empty;
        demo.CreateCN(&env, &empty, 749, 750);
        EXPECT_TRUE(demo.path.closed);
        EXPECT_EQ(demo.path.GetCnt(), 20);
        for (int i = 0; i < demo.path.keys.top; i++) {
            float v = demo.path.keys.items[i];
            EXPECT_LE(std::fabs(v), 0.7f);
            if (i % 3 == 2) {
                EXPECT_EQ(v, 0.0f);
            }
        }
        EXPECT_DOUBLE_EQ(demo.pathPhaser.period, 640.0 * demo.path.meanLength);
        return std::vector<float>(demo.path.keys.items, demo.path.keys.items + demo.path.keys.top);
    };
    EXPECT_EQ(keys(200.0, 7), keys(200.0, 7));
    EXPECT_NE(keys(200.0, 7), keys(201.0, 7));
}
