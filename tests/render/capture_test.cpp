// Screen capture: a known pattern drawn into a window on the test display is photographed back,
// top row first; other pixel layouts are converted through their masks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <X11/Xutil.h>

#include "image/scrshot.h"
#include "image/scrshot_x11.h"
#include "render/gl_api.h"
#include "render/gl_window.h"
#include "support/png_write_gl.h"
#include "support/test_support.h"

namespace {

const unsigned char* localAt(FXScrShot& s, int x, int y) { return s.picture.pixmap.PixelBytes(x, y); }

::testing::AssertionResult localIs(const unsigned char* p, int r, int g, int b, int tol = 2) {
    return QmNear(QmPixel{p[0], p[1], p[2], p[3]}, r, g, b, tol);
}

void localSave(FXScrShot& s, const char* name) {
    qmWritePngRGBA(qmTestPath(name), s.picture.pixmap.bufWidth, s.picture.pixmap.bufHeight,
                   reinterpret_cast<unsigned char*>(s.picture.pixmap.data),
                   s.picture.pixmap.bufWidth * 4, false);
}

}  // namespace

class CaptureTest : public GLWindowTest {
protected:
    // Window at (40, 30) of the screen: its top half red over its bottom half, the top-left
    // quarter blue.
    void DrawPattern() {
        glDisable(GL_SCISSOR_TEST);
        float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1}, blue[4] = {0, 0, 1, 1};
        gl.SetClrColor(green);
        gl.Clrscr(true, true, false);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, kH / 2, kW, kH / 2);
        gl.SetClrColor(red);
        gl.Clrscr(true, false, false);
        glScissor(0, kH / 2, kW / 2, kH / 2);
        gl.SetClrColor(blue);
        gl.Clrscr(true, false, false);
        glDisable(GL_SCISSOR_TEST);
        gl.RenderEnd();
        glFinish();
        XSync(dpy, False);
    }
};

TEST_F(CaptureTest, ScreenComesBackTopRowFirstAndOpaque) {
    DrawPattern();
    FXScrShot shot;
    ASSERT_TRUE(shot.Update());
    EXPECT_EQ(shot.count, 1);
    localSave(shot, "capture_screen.png");
    const int sw = DisplayWidth(dpy, DefaultScreen(dpy)), sh = DisplayHeight(dpy, DefaultScreen(dpy));
    EXPECT_EQ(shot.picture.GetWidth(), sw);
    EXPECT_EQ(shot.picture.GetHeight(), sh);
    EXPECT_TRUE(localIs(localAt(shot, 40 + 5, 30 + 5), 0, 0, 255));               // top left
    EXPECT_TRUE(localIs(localAt(shot, 40 + kW - 5, 30 + 5), 255, 0, 0));          // top right
    EXPECT_TRUE(localIs(localAt(shot, 40 + 5, 30 + kH - 5), 0, 255, 0));          // bottom
    EXPECT_EQ(localAt(shot, 40 + 5, 30 + 5)[3], 255);
    EXPECT_EQ(localAt(shot, 0, 0)[3], 255);
    // The block beyond the screen is opaque black.
    if (shot.picture.pixmap.bufWidth > sw) {
        const unsigned char* pad = localAt(shot, sw, 0);
        EXPECT_TRUE(localIs(pad, 0, 0, 0, 0));
        EXPECT_EQ(pad[3], 255);
    }

    ASSERT_TRUE(shot.Update());  // again, into the same picture
    EXPECT_EQ(shot.count, 2);
}

TEST_F(CaptureTest, AreaCaptureCoversExactlyTheWindow) {
    DrawPattern();
    FXScrShot shot;
    ASSERT_TRUE(shot.UpdateArea(40, 30, kW, kH));
    localSave(shot, "capture_area.png");
    EXPECT_EQ(shot.picture.GetWidth(), kW);
    EXPECT_EQ(shot.picture.GetHeight(), kH);
    EXPECT_TRUE(localIs(localAt(shot, 0, 0), 0, 0, 255));
    EXPECT_TRUE(localIs(localAt(shot, kW - 1, 0), 255, 0, 0));
    EXPECT_TRUE(localIs(localAt(shot, kW / 2 - 1, kH / 2 - 1), 0, 0, 255));
    EXPECT_TRUE(localIs(localAt(shot, kW / 2, kH / 2 - 1), 255, 0, 0));
    EXPECT_TRUE(localIs(localAt(shot, kW - 1, kH - 1), 0, 255, 0));

    // An area hanging over the screen's left edge: the part off the screen is black.
    ASSERT_TRUE(shot.UpdateArea(40 - 64, 30, 64 + 8, 8));
    EXPECT_TRUE(localIs(localAt(shot, 10, 2), 0, 0, 0, 0));
    EXPECT_EQ(localAt(shot, 10, 2)[3], 255);
    EXPECT_TRUE(localIs(localAt(shot, 64 + 2, 2), 0, 0, 255));

    EXPECT_FALSE(shot.UpdateArea(0, 0, 0, 10));
    EXPECT_FALSE(shot.UpdateArea(0, 0, 10, -1));
}

TEST(CaptureConversion, SixteenBitPixelsGoThroughTheMasks) {
    // Two pixels of 5-6-5: pure red and (green 32 of 63, blue 31 of 31); rows padded to 8 bytes.
    std::vector<char> data(16, 0);
    uint16_t px[2] = {0xF800, uint16_t((32 << 5) | 31)};
    memcpy(&data[0], px, 4);
    memcpy(&data[8], px, 4);
    XImage img = {};
    img.width = 2;
    img.height = 2;
    img.format = ZPixmap;
    img.data = data.data();
    img.byte_order = LSBFirst;
    img.bitmap_unit = 16;
    img.bitmap_bit_order = LSBFirst;
    img.bitmap_pad = 16;
    img.depth = 16;
    img.bytes_per_line = 8;
    img.bits_per_pixel = 16;
    img.red_mask = 0xF800;
    img.green_mask = 0x07E0;
    img.blue_mask = 0x001F;
    ASSERT_TRUE(XInitImage(&img));

    FXPixmap out;
    ASSERT_GT(out.Realloc(4, 4), 0);
    out.Clear(0);
    ASSERT_TRUE(fxCopyXImage(&img, &out, 1, 1));
    const unsigned char* a = out.PixelBytes(1, 2);
    EXPECT_TRUE(localIs(a, 255, 0, 0, 0));
    EXPECT_EQ(a[3], 255);
    EXPECT_TRUE(localIs(out.PixelBytes(2, 2), 0, 32 * 255 / 63, 255, 0));
    EXPECT_EQ(out.PixelBytes(0, 0)[3], 0);  // outside the target area: untouched
    EXPECT_EQ(out.PixelBytes(3, 3)[3], 0);

    // Refused: no colour masks (an indexed screen), rows shorter than the width, no room.
    XImage indexed = img;
    indexed.red_mask = indexed.green_mask = indexed.blue_mask = 0;
    EXPECT_FALSE(fxCopyXImage(&indexed, &out, 0, 0));
    XImage shortRows = img;
    shortRows.bytes_per_line = 2;
    EXPECT_FALSE(fxCopyXImage(&shortRows, &out, 0, 0));
    EXPECT_FALSE(fxCopyXImage(&img, &out, 3, 0));
}
