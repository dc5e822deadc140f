// A textured desk drawn by the OpenGL device on a real window (the private Xvfb of ./qm test):
// it covers exactly its pixel rectangle and shows its picture the right way round, without the
// texture's padding. The frame is saved as test-output/.../desk_pixels.png.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "elements/desk.h"
#include "image/material.h"
#include "image/pixmap.h"
#include "device/gl.h"
#include "base/x11_display.h"
#include "support/png_write_gl.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

const int kW = 160, kH = 120;
// The desk's rectangle in window pixels, y growing downwards: columns 40..119, rows 30..89.
const int kLeft = 40, kTop = 30, kRight = 120, kBottom = 90;

struct Rgb { int r, g, b; };

// Picture quadrants (24 x 16 inside a 32 x 16 texture) and the padding beside them.
const Rgb kTL = {255, 0, 0}, kTR = {0, 255, 0}, kBL = {0, 0, 255}, kBR = {255, 255, 0};
const Rgb kPad = {255, 0, 255};

void Fill(FXPixmap* pic) {
    for (int y = 0; y < pic->bufHeight; y++) {
        for (int x = 0; x < pic->bufWidth; x++) {
            const Rgb& c = x >= pic->width ? kPad : y < pic->height / 2 ? (x < pic->width / 2 ? kTL : kTR)
                                                                       : (x < pic->width / 2 ? kBL : kBR);
            unsigned char* p = pic->PixelBytes(x, y);
            p[0] = (unsigned char)c.r;
            p[1] = (unsigned char)c.g;
            p[2] = (unsigned char)c.b;
            p[3] = 255;
        }
    }
}

}  // namespace

TEST(FXDeskPixels, TexturedDeskCoversItsRectangle) {
    QM_REQUIRE_DISPLAY();
    Display* dpy = fxX11OpenDisplay();
    ASSERT_TRUE(dpy);
    Window win = fxGLCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, kW, kH, StructureNotifyMask);
    ASSERT_NE(win, 0u);
    qmMapAndWait(dpy, win);

    std::vector<unsigned char> px(size_t(kW) * kH * 4);
    {
        FXGL gl;
        gl.CreateChild(fxX11Handle(win));
        ASSERT_TRUE(gl.HasContext()) << "no OpenGL context";
        gl.SetAct(true);
        {
            FXPixmap pic;
            pic.Realloc(24, 16);
            Fill(&pic);
            FXMaterial mat;
            ASSERT_TRUE(mat.UploadFrame(&gl, &pic));
            FXDesk desk;
            desk.Create(1, 1);
            desk.SetMaterial(&mat);
            desk.SetVertexPos1(FXDesk::kTopLeft, kLeft, kTop, kW, kH);
            desk.SetVertexPos1(FXDesk::kTopRight, kRight, kTop, kW, kH);
            desk.SetVertexPos1(FXDesk::kBottomRight, kRight, kBottom, kW, kH);
            desk.SetVertexPos1(FXDesk::kBottomLeft, kLeft, kBottom, kW, kH);

            gl.Clrscr(true, true, false);
            gl.ApplyMatrixIdentity();
            desk.OnRender(&gl, 0.0);
            glFinish();
            glReadBuffer(GL_BACK);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
            gl.RenderEnd();
        }
        gl.SetAct(false);
        gl.Destroy();
    }
    fxGLDestroyWindow(dpy, win);
    EXPECT_TRUE(qmWritePngRGBA(qmTestPath("desk_pixels.png"), kW, kH, px.data(), kW * 4, true));

    // Pixel at column x, row y counted from the top.
    auto at = [&](int x, int y) {
        const unsigned char* p = &px[(size_t(kH - 1 - y) * kW + x) * 4];
        return Rgb{p[0], p[1], p[2]};
    };
    auto lit = [&](int x, int y) { Rgb c = at(x, y); return c.r + c.g + c.b > 0; };
    auto near = [&](int x, int y, Rgb want) {
        Rgb c = at(x, y);
        return ::testing::AssertionResult(abs(c.r - want.r) <= 8 && abs(c.g - want.g) <= 8 && abs(c.b - want.b) <= 8)
               << "pixel (" << x << ", " << y << ") is " << c.r << " " << c.g << " " << c.b;
    };

    // Coverage: every pixel on the inner border is drawn, every one just outside is not.
    for (int x = kLeft; x < kRight; x++) {
        EXPECT_TRUE(lit(x, kTop) && lit(x, kBottom - 1)) << "column " << x;
        EXPECT_FALSE(lit(x, kTop - 1) || lit(x, kBottom)) << "column " << x;
    }
    for (int y = kTop; y < kBottom; y++) {
        EXPECT_TRUE(lit(kLeft, y) && lit(kRight - 1, y)) << "row " << y;
        EXPECT_FALSE(lit(kLeft - 1, y) || lit(kRight, y)) << "row " << y;
    }
    // The picture the right way round, a few pixels inside each corner, and no padding.
    EXPECT_TRUE(near(kLeft + 3, kTop + 3, kTL));
    EXPECT_TRUE(near(kRight - 4, kTop + 3, kTR));
    EXPECT_TRUE(near(kLeft + 3, kBottom - 4, kBL));
    EXPECT_TRUE(near(kRight - 4, kBottom - 4, kBR));
}
