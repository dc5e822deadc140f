// Screen capture: a known pattern drawn into a window on the test display is photographed back,
// top row first; other pixel layouts are converted through their masks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <X11/Xutil.h>

#include "image/scrshot.h"
#include "image/scrshot_x11.h"
#include "device/gl_api.h"
#include "support/gl_window_x11.h"
#include "support/png_write_gl.h"
#include "support/test_support.h"

namespace {

::testing::AssertionResult localIs(FXPixmap& p, int x, int y, int r, int g, int b) {
    const unsigned char* c = p.PixelBytes(x, y);
    if (c[3] != 255) return ::testing::AssertionFailure() << "alpha " << int(c[3]);
    return QmNear(QmPixel{c[0], c[1], c[2], c[3]}, r, g, b);
}

}  // namespace

TEST_F(GLWindowTest, CaptureComesBackTopRowFirstAndOpaque) {
    // The window (at 40, 30) shows blue over green. Other test programs share the screen: the
    // server is held for this client from raising the window until the photographs are taken.
    QmServerGrab grab(dpy, win);
    float green[4] = {0, 1, 0, 1}, blue[4] = {0, 0, 1, 1};
    gl.SetClrColor(green);
    gl.Clrscr(true, true, false);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, kH / 2, kW, kH / 2);
    gl.SetClrColor(blue);
    gl.Clrscr(true, false, false);
    glDisable(GL_SCISSOR_TEST);
    gl.RenderEnd();
    glFinish();
    XSync(dpy, False);

    FXScrShot shot;
    FXPixmap& p = shot.picture.pixmap;
    ASSERT_TRUE(shot.Update());
    EXPECT_EQ(p.width, DisplayWidth(dpy, DefaultScreen(dpy)));
    EXPECT_TRUE(localIs(p, 40 + 5, 30 + 5, 0, 0, 255));
    EXPECT_TRUE(localIs(p, 40 + 5, 30 + kH - 5, 0, 255, 0));
    if (p.bufWidth > p.width) {
        EXPECT_TRUE(localIs(p, p.width, 0, 0, 0, 0));  // padding: opaque black
    }
    qmWritePngRGBA(qmTestPath("capture_screen.png"), p.bufWidth, p.bufHeight,
                   reinterpret_cast<unsigned char*>(p.data), p.bufWidth * 4, false);

    ASSERT_TRUE(shot.UpdateArea(40, 30, kW, kH));  // exactly the window
    EXPECT_EQ(shot.count, 2);
    EXPECT_EQ(p.width * 1000 + p.height, kW * 1000 + kH);
    EXPECT_TRUE(localIs(p, 0, kH / 2 - 1, 0, 0, 255));
    EXPECT_TRUE(localIs(p, kW - 1, kH / 2, 0, 255, 0));
    ASSERT_TRUE(shot.UpdateArea(40 - 64, 30, 64 + 8, 8));  // over the screen's left edge
    EXPECT_TRUE(localIs(p, 10, 2, 0, 0, 0));
    EXPECT_TRUE(localIs(p, 64 + 2, 2, 0, 0, 255));
    EXPECT_FALSE(shot.UpdateArea(0, 0, 0, 10));
}

TEST(CaptureConversion, SixteenBitPixelsGoThroughTheMasks) {
    // 5-6-5 pixels: pure red, then green 32 of 63 with blue 31 of 31; rows padded to 8 bytes.
    std::vector<char> data(16, 0);
    uint16_t px[2] = {0xF800, uint16_t((32 << 5) | 31)};
    memcpy(&data[8], px, 4);
    XImage img = {};
    img.width = 2, img.height = 2, img.format = ZPixmap, img.data = data.data();
    img.byte_order = img.bitmap_bit_order = LSBFirst;
    img.bitmap_unit = img.bitmap_pad = img.depth = img.bits_per_pixel = 16;
    img.bytes_per_line = 8;
    img.red_mask = 0xF800, img.green_mask = 0x07E0, img.blue_mask = 0x001F;
    ASSERT_TRUE(XInitImage(&img));
    FXPixmap out;
    ASSERT_GT(out.Realloc(4, 4), 0);
    out.Clear(0);
    ASSERT_TRUE(fxCopyXImage(&img, &out, 1, 1));
    EXPECT_TRUE(localIs(out, 1, 2, 255, 0, 0));
    EXPECT_TRUE(localIs(out, 2, 2, 0, 32 * 255 / 63, 255));
    EXPECT_EQ(out.PixelBytes(3, 3)[3], 0);  // outside the target area: untouched

    // Refused: no colour masks (an indexed screen), rows shorter than the width, no room.
    XImage indexed = img, shortRows = img;
    indexed.red_mask = 0;
    shortRows.bytes_per_line = 2;
    EXPECT_FALSE(fxCopyXImage(&indexed, &out, 0, 0));
    EXPECT_FALSE(fxCopyXImage(&shortRows, &out, 0, 0));
    EXPECT_FALSE(fxCopyXImage(&img, &out, 3, 0));
}

TEST(CaptureFromPicture, TheAreaOfAPictureHandedOverIsCroppedAndPaddedBlack) {
    QM_REQUIRE_DISPLAY();
    Display* dpy = fxX11OpenDisplay();
    ASSERT_NE(dpy, nullptr);
    // A launcher's photograph of the screen: 64 x 48, red with a blue lower half.
    int depth = DefaultDepth(dpy, DefaultScreen(dpy));
    Pixmap pm = XCreatePixmap(dpy, DefaultRootWindow(dpy), 64, 48, unsigned(depth));
    GC gc = XCreateGC(dpy, pm, 0, nullptr);
    XSetForeground(dpy, gc, 0xFF0000);
    XFillRectangle(dpy, pm, gc, 0, 0, 64, 24);
    XSetForeground(dpy, gc, 0x0000FF);
    XFillRectangle(dpy, pm, gc, 0, 24, 64, 24);
    XFreeGC(dpy, gc);
    XSync(dpy, False);

    FXScrShot shot;
    FXPixmap& p = shot.picture.pixmap;
    ASSERT_TRUE(shot.UpdateDrawable(fxX11Handle(pm), 40, 20, 32, 16));  // runs past the right edge
    EXPECT_EQ(p.width * 1000 + p.height, 32016);
    EXPECT_TRUE(localIs(p, 0, 0, 255, 0, 0));
    EXPECT_TRUE(localIs(p, 23, 3, 255, 0, 0));
    EXPECT_TRUE(localIs(p, 23, 4, 0, 0, 255));
    EXPECT_TRUE(localIs(p, 24, 8, 0, 0, 0)) << "beyond the picture: opaque black";
    EXPECT_EQ(shot.count, 1);
    XFreePixmap(dpy, pm);
    XSync(dpy, False);
    EXPECT_FALSE(shot.UpdateDrawable(fxX11Handle(pm), 0, 0, 8, 8)) << "a freed picture is refused";
    EXPECT_FALSE(shot.UpdateDrawable(nullptr, 0, 0, 8, 8));
    EXPECT_EQ(shot.count, 1);
}
