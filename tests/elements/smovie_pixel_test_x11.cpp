// A sprite movie played from a package on the OpenGL device of a real window (the private Xvfb of
// ./qm test): a JPEG frame shows its colour inside its crop rectangle, its mask's clear half shows
// what was drawn below, and the next frame follows. Saved as test-output/.../movie_frame<N>.png.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "device/gl.h"
#include "base/x11_display.h"
#include "smovie_test_util.h"
#include "support/png_write_gl.h"
#include "support/x11_test.h"

namespace {

const int kW = 160, kH = 120;

// A green background behind, then the movie; the frame as read back, rows from the top.
std::vector<unsigned char> localDraw(FXGL* gl, SMovie* mv, const std::string& png) {
    gl->Clrscr(true, true, false);
    gl->ApplyMatrixIdentity();
    gl->ApplyMaterial(nullptr);
    glColor4f(0, 1, 0, 1);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 0.5f), glVertex3f(1, -1, 0.5f), glVertex3f(1, 1, 0.5f), glVertex3f(-1, 1, 0.5f);
    glEnd();
    mv->Prepare(gl, -1);
    mv->OnRender(gl, fxGetTime());
    std::vector<unsigned char> px(size_t(kW) * kH * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    gl->RenderEnd();
    EXPECT_TRUE(qmWritePngRGBA(qmTestPath(png), kW, kH, px.data(), kW * 4, true));
    return px;
}

unsigned localPixel(const std::vector<unsigned char>& px, int x, int y) {
    const unsigned char* p = &px[(size_t(kH - 1 - y) * kW + x) * 4];
    return p[0] | (p[1] << 8) | (p[2] << 16) | 0xFF000000u;
}

}  // namespace

TEST_F(SMovieDevil, FramesOnTheDeviceShowColourMaskAndCrop) {
    QM_REQUIRE_DISPLAY();
    std::string base = qmTestPath("frame");  // 16 x 16, red then blue, opaque on the left half
    qmWriteFramePair(base + "0", 16, 16, 220, 30, 30, [](int x, int) { return x < 8 ? 255 : 0; });
    qmWriteFramePair(base + "1", 16, 16, 30, 30, 220, [](int x, int) { return x < 8 ? 255 : 0; });
    QmMovieRecord r;
    r.colours = {"10", "11"};
    r.masks = {"20", "21"};
    r.rects = {-0.5f, 0.5f, 0.5f, -0.5f, -0.5f, 0.5f, 0.5f, -0.5f};  // window pixels 40..119 x 30..89
    FXPackage pkg;
    qmMoviePackage(&pkg, {{5, -1, r.Bytes()},
                         {10, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "0.jpg")},
                         {11, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "1.jpg")},
                         {20, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "0_m.jpg")},
                         {21, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "1_m.jpg")}});
    Display* dpy = fxX11OpenDisplay();
    ASSERT_TRUE(dpy);
    Window win = fxGLCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, kW, kH, StructureNotifyMask);
    XMapWindow(dpy, win);
    XEvent e;
    do XNextEvent(dpy, &e);
    while (e.type != MapNotify || e.xmap.window != win);
    std::vector<unsigned char> first, second;
    {
        FXGL gl;
        gl.CreateChild(fxX11Handle(win));
        ASSERT_TRUE(gl.HasContext()) << "no OpenGL context";
        gl.SetAct(true);
        {
            SMovie mv;
            ASSERT_TRUE(mv.LoadCN(&pkg, 5));
            mv.LoadIntoMem();
            mv.Restart(fxGetTime() - 1.0);  // the first frame switches after its draw
            first = localDraw(&gl, &mv, "movie_frame0.png");
            second = localDraw(&gl, &mv, "movie_frame1.png");
        }
        gl.SetAct(false);
        gl.Destroy();
    }
    fxGLDestroyWindow(dpy, win);
    const unsigned red = qmiRgba(220, 30, 30, 255), blue = qmiRgba(30, 30, 220, 255), green = qmiRgba(0, 255, 0, 255);
    const struct {
        const std::vector<unsigned char>& px;
        int x, y;
        unsigned want;
    } checks[] = {
        {first, 50, 60, red},    // opaque half of the frame
        {first, 110, 60, green}, // clear half: the background below
        {first, 20, 60, green},  // outside the crop rectangle
        {first, 50, 100, green}, {second, 50, 60, blue}, {second, 110, 60, green},
    };
    for (const auto& c : checks) {
        unsigned p = localPixel(c.px, c.x, c.y);
        EXPECT_TRUE(qmNearRgba(p, c.want & 255, (c.want >> 8) & 255, (c.want >> 16) & 255, 255, 16))
            << c.x << ", " << c.y << ": " << std::hex << p;
    }
}
