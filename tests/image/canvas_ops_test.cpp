// Canvas pixel operations that need no decoder: edge extension, sampling, copy, colour layer.
#include <gtest/gtest.h>

#include "image_test_util.h"

TEST(CanvasOps, ExtendEdgesRepeatsTheLastColumnAndRow) {
    FXCanvas c;  // a 3 x 1 picture in a 4 x 2 buffer
    c.pixmap.power2 = 0;
    qmiFill(&c, 4, 2, [](int, int) { return 0u; });
    c.pixmap.width = 3;
    c.pixmap.height = 1;
    const uint32_t p[3] = {qmiRgba(1, 0, 0, 255), qmiRgba(2, 0, 0, 255), qmiRgba(3, 0, 0, 9)};
    for (int x = 0; x < 3; x++) qmiSetPixel(&c, x, 0, p[x]);
    c.ExtendEdges();
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(qmiPixel(c, x, y), p[x < 2 ? x : 2]) << x << "," << y;
}

TEST(CanvasOps, GetColorSamplesTheNearestPixelClampedToTheBuffer) {
    FXCanvas c, empty;
    qmiFill(&c, 3, 2, [](int x, int y) { return qmiRgba(50 * x, 100 * y, 255, 51); });
    qmiSetPixel(&c, 3, 0, qmiRgba(9, 9, 9, 9));
    float out[4] = {7, 7, 7, 7};
    empty.GetColor(0.5f, 0.5f, out);
    EXPECT_EQ(out[0], 7.0f);
    EXPECT_EQ(empty.GetBump(0.5f, 0.5f), 0.0f);
    c.GetColor(1.0f, 0.0f, out);  // column = width: the padding column
    EXPECT_EQ(out[0], 9 / 255.0f);
    c.GetColor(-0.2f, 0.5f, out);  // column 0, row 1
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 100 / 255.0f);
    EXPECT_EQ(out[3], 0.2f);
    c.GetColor(0.7f, 1e30f, out);  // x = 2.1 -> 2; y held to the last buffer row
    EXPECT_EQ(out[0], 100 / 255.0f);
    EXPECT_EQ(out[1], 100 / 255.0f);
    EXPECT_EQ(c.GetBump(0.4f, 0.9f), 50 / 255.0f);  // x = 1, y = 2 * (1 - 0.9) -> 0
}

TEST(CanvasOps, CopyTakesThePictureAreaAndOnlyClearsOpaque) {
    FXCanvas src, dst, other;
    qmiFill(&src, 5, 3, [](int x, int y) { return qmiRgba(x, y, 1, 255); });
    dst.opaque = false;
    dst.Copy(&src);
    EXPECT_FALSE(dst.opaque);  // a copy never sets it
    EXPECT_EQ(dst.pixmap.bufWidth, 8);
    EXPECT_EQ(qmiPixel(dst, 4, 2), qmiRgba(4, 2, 1, 255));
    other.Copy(&src);
    EXPECT_TRUE(other.opaque);
    qmiSetPixel(&src, 2, 2, qmiRgba(0, 0, 0, 200));
    other.Copy(&src);
    EXPECT_FALSE(other.opaque);
}

TEST(CanvasOps, MixColorLayerBlendsOverThePictureArea) {
    FXCanvas c;
    qmiFill(&c, 3, 1, [](int x, int) { return x == 0 ? qmiRgba(200, 100, 0, 77) : qmiRgba(255, 255, 255, 255); });
    float colour[4] = {1.0f, 0.0f, 0.5f, 0.5f};
    c.MixColorLayer(colour);
    EXPECT_EQ(colour[2], 0.25f);  // premultiplied in the caller's array
    EXPECT_EQ(qmiPixel(c, 0, 0), qmiRgba(227, 50, 63, 77));  // 200 * 0.5 + 127.5, ...; alpha kept
    EXPECT_EQ(qmiPixel(c, 1, 0), qmiRgba(255, 127, 191, 255));
    EXPECT_EQ(qmiPixel(c, 3, 0), 0xEEEEEEEEu);  // padding untouched
}
