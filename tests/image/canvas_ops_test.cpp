// Canvas pixel operations that need no decoder: edge extension, sampling, copy, colour layer.
#include <gtest/gtest.h>

#include "image_test_util.h"

TEST(CanvasOps, ExtendEdgesRepeatsTheLastColumnAndRow) {
    // A 3 x 1 picture in a 4 x 2 buffer.
    FXCanvas c;
    c.pixmap.power2 = 0;
    c.pixmap.Realloc(4, 2);
    c.pixmap.width = 3;
    c.pixmap.height = 1;
    c.pixmap.Clear(0);
    const uint32_t p[3] = {qmiRgba(1, 0, 0, 255), qmiRgba(2, 0, 0, 255), qmiRgba(3, 0, 0, 9)};
    for (int x = 0; x < 3; x++) qmiSetPixel(&c, x, 0, p[x]);
    c.ExtendEdges();
    for (int y = 0; y < 2; y++) {
        EXPECT_EQ(qmiPixel(c, 0, y), p[0]);
        EXPECT_EQ(qmiPixel(c, 1, y), p[1]);
        EXPECT_EQ(qmiPixel(c, 2, y), p[2]);
        EXPECT_EQ(qmiPixel(c, 3, y), p[2]);
    }
    FXCanvas empty;
    empty.ExtendEdges();  // nothing to extend, no crash
}

TEST(CanvasOps, GetColorSamplesTheNearestPixelClamped) {
    FXCanvas c;
    qmiFill(&c, 3, 2, [](int x, int y) { return qmiRgba(50 * x, 100 * y, 255, 51); });
    qmiSetPixel(&c, 3, 0, qmiRgba(9, 9, 9, 9));  // padding column 3
    float out[4] = {-1, -1, -1, -1};
    c.GetColor(1.0f, 0.0f, out);  // column width: the padding
    EXPECT_EQ(out[0], 9 / 255.0f);
    c.GetColor(-0.2f, 0.5f, out);  // column 0, row 1
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 100 / 255.0f);
    EXPECT_EQ(out[2], 1.0f);
    EXPECT_EQ(out[3], 0.2f);
    c.GetColor(0.7f, 0.49f, out);  // x = 2.1 -> 2, y = 0.98 -> 0
    EXPECT_EQ(out[0], 100 / 255.0f);
    EXPECT_EQ(out[1], 0.0f);
    c.GetColor(50.0f, 1e30f, out);  // far outside: the last buffer pixel
    EXPECT_EQ(out[0], 0xEE / 255.0f);
    // GetBump reads the red channel with v turned upside down.
    EXPECT_EQ(c.GetBump(0.4f, 0.9f), 50 / 255.0f);  // x = 1, y = 2 * 0.1 -> 0
    FXCanvas empty;
    float keep[4] = {7, 7, 7, 7};
    empty.GetColor(0.5f, 0.5f, keep);
    EXPECT_EQ(keep[0], 7.0f);
    EXPECT_EQ(empty.GetBump(0.5f, 0.5f), 0.0f);
}

TEST(CanvasOps, CopyTakesThePictureAreaAndOnlyClearsOpaque) {
    FXCanvas src, dst;
    qmiFill(&src, 5, 3, [](int x, int y) { return qmiRgba(x, y, 1, 255); });
    dst.opaque = false;
    dst.Copy(&src);
    EXPECT_FALSE(dst.opaque);  // never set by a copy
    EXPECT_EQ(dst.GetWidth(), 5);
    EXPECT_EQ(dst.pixmap.bufWidth, 8);
    EXPECT_EQ(qmiPixel(dst, 4, 2), qmiRgba(4, 2, 1, 255));
    qmiSetPixel(&src, 2, 2, qmiRgba(0, 0, 0, 200));
    FXCanvas second;
    second.Copy(&src);
    EXPECT_FALSE(second.opaque);
    EXPECT_EQ(qmiPixel(second, 2, 2), qmiRgba(0, 0, 0, 200));
    FXCanvas third;
    qmiSetPixel(&src, 2, 2, qmiRgba(0, 0, 0, 255));
    third.Copy(&src);
    EXPECT_TRUE(third.opaque);
}

TEST(CanvasOps, MixColorLayerBlendsWithPremultipliedColour) {
    FXCanvas c;
    qmiFill(&c, 3, 1, [](int x, int) { return x == 0 ? qmiRgba(200, 100, 0, 77) : qmiRgba(255, 255, 255, 255); });
    float colour[4] = {1.0f, 0.0f, 0.5f, 0.5f};
    c.MixColorLayer(colour);
    EXPECT_EQ(colour[0], 0.5f);  // the caller's colour is premultiplied in place
    EXPECT_EQ(colour[2], 0.25f);
    EXPECT_EQ(colour[3], 0.5f);
    // 200 * 0.5 + 127.5, 100 * 0.5 + 0, 0 * 0.5 + 63.75; alpha kept.
    EXPECT_EQ(qmiPixel(c, 0, 0), qmiRgba(227, 50, 63, 77));
    EXPECT_EQ(qmiPixel(c, 1, 0), qmiRgba(255, 127, 191, 255));
    EXPECT_EQ(qmiPixel(c, 3, 0), 0xEEEEEEEEu);  // padding untouched
}

TEST(CanvasOps, ClearAndDestroy) {
    FXCanvas c;
    qmiFill(&c, 3, 3, [](int, int) { return 0u; });
    const float colour[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    c.Clear(colour);
    EXPECT_EQ(qmiPixel(c, 3, 3), qmiRgba(255, 127, 0, 255));
    c.opaque = false;
    c.transMode = true;
    c.Destroy();
    EXPECT_TRUE(c.opaque);
    EXPECT_FALSE(c.transMode);
    EXPECT_EQ(c.pixmap.data, nullptr);
    EXPECT_EQ(c.GetWidth(), 0);
}
