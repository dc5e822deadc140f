// Record mode's time base: frame i is the picture on screen at i / F after the first shown frame,
// written top row first; the contact sheet picks evenly spaced frames.
#include <gtest/gtest.h>

#include <vector>

#include "image/devil.h"
#include "saver/record.h"
#include "support/test_support.h"

namespace {

// A w x h picture of one colour, bottom row first as the back buffer is read, with its bottom
// row in another colour.
std::vector<unsigned char> localPicture(int w, int h, const unsigned char* rgb, const unsigned char* bottom) {
    std::vector<unsigned char> px(size_t(w) * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char* p = &px[(size_t(y) * w + x) * 4];
            const unsigned char* c = y == 0 ? bottom : rgb;
            p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 255;
        }
    return px;
}

// The colour of the file's pixel (x, y), top row first; -1 when the file cannot be read.
int localPixel(const std::string& file, int x, int y) {
    FXCanvas c;
    c.autoDetectTrans = false;
    if (!c.CreateFromPict(file.c_str())) return -1;
    const unsigned char* p = c.pixmap.PixelBytes(x, y);
    return p[0] << 16 | p[1] << 8 | p[2];
}

const unsigned char kRed[3] = {255, 0, 0}, kGreen[3] = {0, 255, 0}, kBlue[3] = {0, 0, 255};

}  // namespace

TEST(Recorder, EachFrameIsThePictureOnScreenAtItsTime) {
    ASSERT_TRUE(fxLoadDevil());
    std::string dir = qmFreshDir("rec");
    Recorder rec;
    rec.Setup(dir, 1.0, 10.0);
    ASSERT_EQ(rec.frameCount, 10);

    rec.firstShown = 5000000;  // the first frame is shown at 5 s
    std::vector<unsigned char> red = localPicture(8, 6, kRed, kBlue), green = localPicture(8, 6, kGreen, kBlue);
    rec.SetShown(red.data(), 8, 6);
    // The next swap at 5.25 s: frames due at 5.0, 5.1 and 5.2 s showed the red picture.
    rec.EmitUntil(5250000);
    EXPECT_EQ(rec.next, 3);
    rec.SetShown(green.data(), 8, 6);
    rec.EmitUntil(5300000);  // 5.3 s itself is not before the swap
    EXPECT_EQ(rec.next, 3);
    rec.EmitUntil(5300001);
    EXPECT_EQ(rec.next, 4);
    rec.EmitUntil(99000000);  // long after: every frame, never more than ten
    EXPECT_EQ(rec.next, 10);

    const int expect[] = {0xFF0000, 0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00};
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(localPixel(rec.FramePath(i), 3, 0), expect[i]);
        EXPECT_EQ(localPixel(rec.FramePath(i), 3, 5), 0x0000FF) << "the bottom row stays at the bottom";
    }
    EXPECT_EQ(localPixel(dir + "/frame-00010.png", 0, 0), -1);

    ASSERT_TRUE(rec.WriteSheet());
    FXCanvas sheet;
    ASSERT_TRUE(sheet.CreateFromPict(rec.SheetPath().c_str()));
    EXPECT_GT(sheet.GetWidth(), 4 * 8);
    fxUnloadDevil();
}

TEST(Recorder, SheetFramesAreEvenlySpacedFromFirstToLast) {
    struct Case {
        double seconds, fps;
        std::vector<int> frames;
    } cases[] = {
        {0.1, 25.0, {0, 1, 2}},  // 2.5 frames: three
        {1.0, 4.0, {0, 1, 2, 3}},
        {4.0, 10.0, {0, 3, 5, 8, 10, 13, 16, 18, 21, 23, 26, 29, 31, 34, 36, 39}},
        {0.01, 10.0, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds * 1000 + c.fps);
        Recorder rec;
        rec.Setup("x", c.seconds, c.fps);
        EXPECT_EQ(rec.sheetFrames, c.frames);
        EXPECT_EQ(rec.frameCount, c.frames.back() + 1);
    }
}
