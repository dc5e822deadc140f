// A sprite movie played from a package on the OpenGL device of a real window (the private Xvfb of
// ./qm test): JPEG frames written through the image library show their colour inside the crop
// rectangle, the mask's clear half shows what was drawn below, and the next frame follows.
// Both frames are saved as test-output/.../movie_frame<N>.png.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "image/devil.h"
#include "render/gl.h"
#include "render/x11_display.h"
#include "smovie_test_util.h"
#include "support/png_write_gl.h"

namespace {

const int kW = 160, kH = 120;

struct Rgb {
    int r, g, b;
};

// Draws the background (green, behind) and the movie, and reads the frame back.
std::vector<unsigned char> localDraw(FXGL* gl, SMovie* mv, const char* png) {
    gl->Clrscr(true, true, false);
    gl->ApplyMatrixIdentity();
    gl->ApplyMaterial(nullptr);  // no texture for the background
    glColor4f(0, 1, 0, 1);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 0.5f), glVertex3f(1, -1, 0.5f), glVertex3f(1, 1, 0.5f), glVertex3f(-1, 1, 0.5f);
    glEnd();
    mv->Prepare(-1);
    mv->OnRender(gl, fxGetTime());
    mv->Prepare(-1);
    glFinish();
    std::vector<unsigned char> px(size_t(kW) * kH * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    gl->RenderEnd();
    EXPECT_TRUE(qmWritePngRGBA(qmTestPath(png), kW, kH, px.data(), kW * 4, true));
    return px;
}

// Pixel at column x, row y counted from the top, within 16 of want.
testing::AssertionResult localNear(const std::vector<unsigned char>& px, int x, int y, Rgb want) {
    const unsigned char* p = &px[(size_t(kH - 1 - y) * kW + x) * 4];
    if (abs(p[0] - want.r) <= 16 && abs(p[1] - want.g) <= 16 && abs(p[2] - want.b) <= 16)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << int(p[0]) << " " << int(p[1])
                                       << " " << int(p[2]);
}

}  // namespace

TEST(SMoviePixels, FramesShowColourMaskAndCrop) {
    if (!getenv("DISPLAY") || !*getenv("DISPLAY")) GTEST_SKIP() << "no X display (./qm test provides one)";
    fxSetDevilLibraryNames(nullptr, nullptr);
    ASSERT_TRUE(fxLoadDevil());
    // Two 16 x 16 frames, red then blue, each opaque on its left half only.
    std::string base = qmTestPath("frame");
    auto leftHalf = [](int x, int) { return x < 8 ? 255 : 0; };
    qmWriteFramePair(base + "0", 16, 16, 220, 30, 30, leftHalf);
    qmWriteFramePair(base + "1", 16, 16, 30, 30, 220, leftHalf);
    QmMovieRecord r;
    r.colours = {"10", "11"};
    r.masks = {"20", "21"};
    r.rects = {-0.5f, 0.5f, 0.5f, -0.5f, -0.5f, 0.5f, 0.5f, -0.5f};  // window pixels 40..119 x 30..89
    FXPackage pkg;
    qmLoadPackage(&pkg, {{5, -1, r.Bytes()},
                         {10, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "0.jpg")},
                         {11, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "1.jpg")},
                         {20, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "0_m.jpg")},
                         {21, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "1_m.jpg")}});

    Display* dpy = fxX11OpenDisplay();
    ASSERT_TRUE(dpy);
    Window win = fxGLCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, kW, kH, StructureNotifyMask);
    ASSERT_NE(win, 0u);
    XMapWindow(dpy, win);
    XEvent e;
    do XNextEvent(dpy, &e);
    while (e.type != MapNotify || e.xmap.window != win);

    std::vector<unsigned char> first, second;
    {
        FXGL gl;
        gl.CreateChild(fxX11Handle(win));
        ASSERT_TRUE(gl.hglrc) << "no OpenGL context";
        QmEnvScope scope(&gl);
        gl.SetAct(true);
        {
            SMovie mv;
            ASSERT_TRUE(mv.LoadCN(&pkg, 5));
            mv.LoadIntoMem();
            mv.loop = false;
            mv.Restart(fxGetTime() - 1.0);  // the first frame is due to switch after its draw
            first = localDraw(&gl, &mv, "movie_frame0.png");
            second = localDraw(&gl, &mv, "movie_frame1.png");
        }
        gl.SetAct(false);
        gl.Destroy();
    }
    fxGLDestroyWindow(dpy, win);

    const Rgb red = {220, 30, 30}, blue = {30, 30, 220}, green = {0, 255, 0};
    EXPECT_TRUE(localNear(first, 50, 60, red));     // opaque half of the frame
    EXPECT_TRUE(localNear(first, 110, 60, green));  // clear half: the background below
    EXPECT_TRUE(localNear(first, 20, 60, green));   // outside the crop rectangle
    EXPECT_TRUE(localNear(first, 50, 100, green));
    EXPECT_TRUE(localNear(second, 50, 60, blue));
    EXPECT_TRUE(localNear(second, 110, 60, green));
}
