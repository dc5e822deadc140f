// The gadgets drawn by the OpenGL device on real windows (the private Xvfb of ./qm test), on the
// controllable clock: the medallion in its corner and half a turn later, the error notice at
// 10 pixels from the top-left, and the demo cube hidden for 15 seconds. Frames are saved as PNGs
// under test-output/.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/other.h"
#include "base/package.h"
#include "elements/demo_gadget.h"
#include "elements/err_gadget.h"
#include "elements/ruva_gadget.h"
#include "geometry/mesh.h"
#include "image/devil.h"
#include "image/light.h"
#include "device/gl.h"
#include "device/gl_api.h"
#include "support/gl_window_x11.h"
#include "support/package_bytes.h"
#include "support/png_write_gl.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

struct Rgb { int r, g, b; };

// A window of its own size with a device made current on it.
class GadgetWindow : public GLWindowTest {
protected:
    int w = 0, h = 0;
    FXLight light;
    std::vector<unsigned char> px;

    void Open(int width, int height) {
        w = width, h = height;
        OpenWindow(0, 0, w, h);
        if (HasFatalFailure()) return;
        gl.RegisterLight(&light);  // white, from the viewer's side, as the scene's first light
        fxLoadDevil();
        fxUseManualClock(100.0);
    }
    void SetUp() override { QM_REQUIRE_DISPLAY(); }
    void TearDown() override {
        fxUseSystemClock();
        GLWindowTest::TearDown();
    }
    // The scene's frame prologue: cleared buffers, identity, lights sent.
    void BeginFrame() {
        gl.Clrscr(true, true, false);
        gl.ApplyMatrixIdentity();
        gl.UpdateLights();
    }
    // Reads the back buffer, saves it as <name>.png and swaps.
    void EndFrame(const std::string& name) {
        px.assign(size_t(w) * h * 4, 0);
        glFinish();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        qmWritePngRGBA(qmTestPath(name + ".png"), w, h, px.data(), w * 4, true);
        gl.RenderEnd();
    }
    // Pixel at column x, row y counted from the top.
    Rgb At(int x, int y) const {
        const unsigned char* p = &px[(size_t(h - 1 - y) * w + x) * 4];
        return {p[0], p[1], p[2]};
    }
    bool Black(int x, int y) const { Rgb c = At(x, y); return c.r + c.g + c.b == 0; }
};

std::vector<unsigned char> PngBytes(const std::string& name, int pw, int ph, Rgb c) {
    std::vector<unsigned char> rgba(size_t(pw) * ph * 4);
    for (size_t i = 0; i < rgba.size(); i += 4)
        rgba[i] = (unsigned char)c.r, rgba[i + 1] = (unsigned char)c.g, rgba[i + 2] = (unsigned char)c.b,
        rgba[i + 3] = 255;
    std::string path = qmTestPath(name);
    qmWritePngRGBA(path, pw, ph, rgba.data(), pw * 4, false);
    return qmReadFile(path);
}

// The error notice from pkg, filled with one entry 0: a blue picture of 20 x 12 pixels.
void localCreateNotice(PEnv* env, FXPackage* pkg, FXErrGadget* notice) {
    std::vector<unsigned char> bytes = qmPackageFile({{0, FX_PACKAGE_TYPE_PNG, PngBytes("notice.png", 20, 12, {0, 0, 255})}});
    pkg->LoadFromMemory(bytes.data(), long(bytes.size()));
    notice->CreateCN(env, pkg, 0);
}

// A medallion of two squares side by side in the unit square, left red, right green, drawn with
// vertex colours; saved in the full record form, which keeps the colours.
std::vector<unsigned char> MedallionBytes() {
    FXModel model;
    model.name.Set("medallion");
    FXMesh* mesh = new FXMesh;
    mesh->colorMode = 1;
    mesh->Realloc(8, 12);
    for (int half = 0; half < 2; half++) {
        const float x0 = half ? 0.0f : -1.0f, x1 = half ? 1.0f : 0.0f;
        const float corners[4][2] = {{x0, 1}, {x1, 1}, {x1, -1}, {x0, -1}};
        for (int i = 0; i < 4; i++) {
            tagFXVertex& v = mesh->vertices[half * 4 + i];
            v = tagFXVertex{};
            v.pos[0] = corners[i][0], v.pos[1] = corners[i][1];
            v.normal[2] = -1;
            v.color[0] = half ? 0.0f : 1.0f, v.color[1] = half ? 1.0f : 0.0f, v.color[3] = 1.0f;
        }
        const int32_t tri[6] = {0, 3, 1, 1, 3, 2};
        for (int i = 0; i < 6; i++) mesh->indices[half * 6 + i] = half * 4 + tri[i];
    }
    model.meshes.Push(mesh);
    std::string path = qmTestPath("medallion.xm");
    FILE* f = fopen(path.c_str(), "wb");
    model.Save_v02(f);
    fclose(f);
    return qmReadFile(path);
}

bool Reddish(Rgb c) { return c.r > 2 * c.g + 20; }
bool Greenish(Rgb c) { return c.g > 2 * c.r + 20; }

}  // namespace

TEST_F(GadgetWindow, MedallionInTheCornerTurnsHalfwayInFourSeconds) {
    // 320 x 256 has the shape of 1280 x 1024: the medallion covers x 0.612..0.9, y -0.85..-0.49.
    Open(320, 256);
    FXPackage pkg;
    std::vector<unsigned char> bytes = qmPackageFile({{4, FX_PACKAGE_TYPE_RECORD, MedallionBytes()},
                                                      {5, FX_PACKAGE_TYPE_PNG, PngBytes("label.png", 8, 2, {255, 255, 255})}});
    pkg.LoadFromMemory(bytes.data(), long(bytes.size()));
    FXRuvaGadget logo;
    logo.CreateCN(&gl, &pkg, 5, 4);
    ASSERT_EQ(logo.model.GetCount(), 1);

    auto toPx = [&](float nx, float ny) { return std::pair<int, int>{int((nx + 1) / 2 * w), int((1 - ny) / 2 * h)}; };
    const auto left = toPx(0.68f, -0.67f), right = toPx(0.83f, -0.67f), outside = toPx(0.55f, -0.67f);
    const auto above = toPx(0.756f, -0.45f);

    BeginFrame();
    logo.OnRender(&gl, 100.0);
    EndFrame("logo_start");
    EXPECT_TRUE(Reddish(At(left.first, left.second)));
    EXPECT_TRUE(Greenish(At(right.first, right.second)));
    EXPECT_TRUE(Black(outside.first, outside.second));
    EXPECT_TRUE(Black(above.first, above.second));

    fxSetManualClock(104.0);
    BeginFrame();
    logo.OnRender(&gl, 104.0);
    EndFrame("logo_half_turn");
    EXPECT_TRUE(Greenish(At(left.first, left.second)));
    EXPECT_TRUE(Reddish(At(right.first, right.second)));
}

TEST_F(GadgetWindow, NoticeAtTenPixelsFromTheTopLeftOnlyWhenActive) {
    Open(160, 120);
    FXPackage pkg;
    FXErrGadget notice;
    localCreateNotice(&gl, &pkg, &notice);
    if (!fxDevilLoaded()) GTEST_SKIP() << "the DevIL image library is not installed";

    BeginFrame();
    notice.OnRender(&gl, 100.0);
    EndFrame("notice_inactive");
    for (int y = 0; y < h; y += 3)
        for (int x = 0; x < w; x += 3) ASSERT_TRUE(Black(x, y)) << x << ", " << y;

    notice.active = true;
    BeginFrame();
    notice.OnRender(&gl, 100.0);
    EndFrame("notice_active");
    for (int y = 10; y < 22; y++)
        for (int x = 10; x < 30; x++) {
            Rgb c = At(x, y);
            ASSERT_TRUE(c.b > 240 && c.r < 10 && c.g < 10) << x << ", " << y;
        }
    for (int i = 9; i < 31; i++) {
        EXPECT_TRUE(Black(i, 9) && Black(i, 22)) << "column " << i;
    }
    for (int i = 9; i < 23; i++) {
        EXPECT_TRUE(Black(9, i) && Black(30, i)) << "row " << i;
    }
}

TEST_F(GadgetWindow, NoticeKeepsItsPlaceAndSizeWhenTheWindowGrows) {
    Open(160, 120);
    FXPackage pkg;
    FXErrGadget notice;
    localCreateNotice(&gl, &pkg, &notice);
    if (!fxDevilLoaded()) GTEST_SKIP() << "the DevIL image library is not installed";
    notice.active = true;
    // The window grows after the notice was placed, as a -window saver resized by its user.
    w = 320, h = 240;
    XResizeWindow(dpy, win, unsigned(w), unsigned(h));
    XSync(dpy, False);
    gl.SetAct(false);
    gl.SetAct(true);
    gl.width = w, gl.height = h;
    gl.ClrParams();
    BeginFrame();  // the driver takes the new size at a swap
    EndFrame("resized_empty");
    BeginFrame();
    notice.OnRender(&gl, 100.0);
    EndFrame("notice_after_resize");
    int blue = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            Rgb c = At(x, y);
            bool inside = x >= 10 && x < 30 && y >= 10 && y < 22;
            if (c.b > 240 && c.r < 10 && c.g < 10) blue++;
            if (inside) {
                ASSERT_TRUE(c.b > 240 && c.r < 10 && c.g < 10) << x << ", " << y;
            }
        }
    EXPECT_EQ(blue, 20 * 12) << "the notice at its own 20 x 12 pixels, nowhere else";
}

TEST_F(GadgetWindow, DemoCubeHiddenForFifteenSecondsThenShown) {
    Open(160, 120);
    FXPackage empty;
    FXDemoGadget demo;
    demo.CreateCN(&gl, &empty, 749, 750);
    auto frame = [&](double t, const std::string& name) {
        fxSetManualClock(t);
        BeginFrame();
        glEnable(GL_NORMALIZE);
        gl.EnableLights(true);
        gl.EnableDepthTest(true);
        gl.EnableDepthWrite(true);
        demo.OnRender(&gl, t);
        EndFrame(name);
    };
    frame(100.0, "demo_start");
    frame(114.9, "demo_waiting");
    for (int y = 0; y < h; y += 2)
        for (int x = 0; x < w; x += 2) ASSERT_TRUE(Black(x, y)) << x << ", " << y;

    frame(115.0, "demo_fade_starts");
    frame(117.5, "demo_shown");
    float at[3];
    demo.path.GetAll(at, demo.pathPhaser.phase);
    Rgb c = At(int((at[0] + 1) / 2 * w), int((1 - at[1]) / 2 * h));
    EXPECT_GT(c.r + c.g + c.b, 60) << "no cube at its place on the path";
}
