// Window rectangles: union and clamping, a few rectangles kept apart or joined, and the
// conservative projection of drawn points (whole when a point lies behind the eye).
#include <gtest/gtest.h>

#include <cmath>

#include "render/screen_rect.h"

namespace {

// The device's projection: glOrtho(-1, 1, -1, 1, 2, -2).
const float kOrtho[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1};
// A perspective projection looking down -z (glFrustum(-1, 1, -1, 1, 1, 10)).
const float kFrustum[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -11.0f / 9, -1, 0, 0, -20.0f / 9, 0};

FXMatrix localIdentity() {
    FXMatrix m;
    m.SetIdentity();
    return m;
}

bool localSame(const FXScreenRect& r, int x0, int y0, int x1, int y1) {
    return !r.whole && r.x0 == x0 && r.y0 == y0 && r.x1 == x1 && r.y1 == y1;
}

}  // namespace

TEST(ScreenRect, UnionGrowsAroundBothAndWholeAbsorbsEverything) {
    FXScreenRect r;
    EXPECT_TRUE(r.Empty());
    r.Add(FXScreenRect::Of(10, 20, 30, 40));
    EXPECT_TRUE(localSame(r, 10, 20, 30, 40));
    r.Add(FXScreenRect());  // nothing
    r.Add(FXScreenRect::Of(5, 30, 12, 50));
    EXPECT_TRUE(localSame(r, 5, 20, 30, 50));
    r.Add(FXScreenRect::Whole());
    EXPECT_TRUE(r.whole);
    r.Add(FXScreenRect::Of(0, 0, 1, 1));
    EXPECT_TRUE(r.whole);
    EXPECT_TRUE(r.CoversWindow(640, 480));
}

TEST(ScreenRect, ClampingKeepsThePartInsideTheWindow) {
    EXPECT_TRUE(localSame(FXScreenRect::Of(-5, -3, 50, 700).ClampedTo(640, 480), 0, 0, 50, 480));
    EXPECT_TRUE(FXScreenRect::Of(700, 10, 800, 20).ClampedTo(640, 480).Empty());
    EXPECT_TRUE(FXScreenRect::Of(-20, 10, -1, 20).ClampedTo(640, 480).Empty());
    EXPECT_TRUE(localSame(FXScreenRect::Whole().ClampedTo(640, 480), 0, 0, 640, 480));
    EXPECT_TRUE(FXScreenRect::Whole().ClampedTo(0, 480).Empty());  // no window
    EXPECT_TRUE(FXScreenRect::Of(-1, -1, 641, 481).CoversWindow(640, 480));
    EXPECT_FALSE(FXScreenRect::Of(0, 0, 640, 479).CoversWindow(640, 480));
}

TEST(ScreenRect, ProjectionCoversTheDrawnPixelsWithOneToSpare) {
    // A square from -0.5 to 0.5 on a 200 x 100 window covers x 50..150 and y 25..75.
    const float square[4][3] = {{-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}, {0.5f, 0.5f, 0.3f}, {-0.5f, 0.5f, -0.3f}};
    FXScreenRect r = fxProjectBounds(localIdentity(), kOrtho, square[0], 4, 3, 200, 100);
    EXPECT_TRUE(localSame(r, 49, 24, 151, 76));
    // The model-view matrix moves it: half a window to the right, partly outside.
    FXMatrix move;
    move.SetMoveF(1.0f, 0.0f, 0.0f);
    r = fxProjectBounds(move, kOrtho, square[0], 4, 3, 200, 100);
    EXPECT_TRUE(localSame(r, 149, 24, 251, 76));
    EXPECT_TRUE(localSame(r.ClampedTo(200, 100), 149, 24, 200, 76));
    // Points further apart than the stride reads: only every other one counts.
    const float spread[] = {0, 0, 0, 99, 99, 99, 0.5f, 0.5f, 0};
    r = fxProjectBounds(localIdentity(), kOrtho, spread, 2, 6, 200, 100);
    EXPECT_TRUE(localSame(r, 99, 49, 151, 76));
    EXPECT_TRUE(fxProjectBounds(localIdentity(), kOrtho, square[0], 0, 3, 200, 100).Empty());
}

TEST(ScreenRect, APointBehindTheEyeOrNotANumberGivesTheWholeWindow) {
    // In front of the eye (z < 0 in eye space) the frustum bounds the square...
    const float front[3][3] = {{-1, -1, -2}, {1, -1, -2}, {0, 1, -2}};
    FXScreenRect r = fxProjectBounds(localIdentity(), kFrustum, front[0], 3, 3, 200, 100);
    EXPECT_FALSE(r.whole);
    EXPECT_TRUE(localSame(r, 49, 24, 151, 76));
    // ...but a corner behind it (or on its plane) leaves the triangle unbounded on screen.
    const float behind[3][3] = {{-1, -1, -2}, {1, -1, -2}, {0, 1, 0.5f}};
    EXPECT_TRUE(fxProjectBounds(localIdentity(), kFrustum, behind[0], 3, 3, 200, 100).whole);
    const float onPlane[3][3] = {{-1, -1, -2}, {1, -1, -2}, {0, 1, 0}};
    EXPECT_TRUE(fxProjectBounds(localIdentity(), kFrustum, onPlane[0], 3, 3, 200, 100).whole);
    const float nan[3] = {NAN, 0, 0};
    EXPECT_TRUE(fxProjectBounds(localIdentity(), kOrtho, nan, 1, 3, 200, 100).whole);
    const float far[3] = {1.0e9f, 0, 0};
    EXPECT_TRUE(fxProjectBounds(localIdentity(), kOrtho, far, 1, 3, 200, 100).whole);
}

TEST(ScreenRects, FarApartStayApartNearOnesJoinAndTheListStaysShort) {
    FXScreenRects list;
    list.Add(FXScreenRect::Of(0, 0, 10, 10));
    list.Add(FXScreenRect::Of(500, 500, 510, 510));  // far: two rectangles
    EXPECT_EQ(list.Count(), 2);
    list.Add(FXScreenRect::Of(5, 0, 15, 10));  // overlaps the first: joined
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Area(), 150 + 100);
    // One that bridges the two costs less than keeping three: all become one.
    list.Add(FXScreenRect::Of(0, 0, 510, 510));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_TRUE(localSame(list.Get(0), 0, 0, 510, 510));

    FXScreenRects many;
    for (int i = 0; i < 7; i++) many.Add(FXScreenRect::Of(i * 100, i * 100, i * 100 + 10, i * 100 + 10));
    EXPECT_LE(many.Count(), FXScreenRects::kMax);
    // Every rectangle added is still covered by one of the list.
    for (int i = 0; i < 7; i++) {
        bool covered = false;
        for (int k = 0; k < many.Count(); k++) {
            const FXScreenRect& r = many.Get(k);
            covered = covered || (r.x0 <= i * 100 && r.y0 <= i * 100 && r.x1 >= i * 100 + 10 && r.y1 >= i * 100 + 10);
        }
        EXPECT_TRUE(covered) << i;
    }
    many.Add(FXScreenRect::Whole());
    EXPECT_TRUE(many.Whole());
    many.Add(FXScreenRect::Of(1, 1, 2, 2));
    EXPECT_TRUE(many.Whole());
}
