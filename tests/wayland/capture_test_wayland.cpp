// The photograph of each output through screencopy, inside the headless sway rig: each output's
// own size and background, top row first, opaque; and the same picture grim takes.
#include "base/wayland_display.h"
#include "image/scrshot.h"
#include "image/scrshot_wayland.h"
#include "support/png_write_gl.h"
#include "support/test_support.h"
#include "wayland/sway_rig_wayland.h"

namespace {

uint32_t localPixel(FXPixmap& p, int x, int y) {
    const unsigned char* b = p.PixelBytes(x, y);
    return uint32_t(b[0]) << 16 | uint32_t(b[1]) << 8 | b[2];
}

}  // namespace

TEST(WaylandCapture, EachOutputGivesItsOwnBackgroundAtItsOwnSize) {
    QM_REQUIRE_SWAY();
    FXWaylandDisplay wl;
    ASSERT_TRUE(wl.Connect());
    for (const QmSwayOutput& o : qmSwayOutputs()) {
        FXWaylandOutput* out = wl.FindOutput(o.name);
        ASSERT_NE(out, nullptr);
        FXScrShot shot;
        ASSERT_TRUE(fxScrShotWaylandOutput(&shot, &wl, *out)) << o.name;
        FXPixmap& p = shot.picture.pixmap;
        EXPECT_EQ(p.width * 10000 + p.height, o.width * 10000 + o.height);
        EXPECT_EQ(shot.count, 1);
        for (int y : {0, o.height / 2, o.height - 1})
            for (int x : {0, o.width / 2, o.width - 1}) {
                EXPECT_TRUE(qmNearRGB(localPixel(p, x, y), o.rgb, 2)) << o.name << " at " << x << "," << y;
                EXPECT_EQ(p.PixelBytes(x, y)[3], 255);
            }
        qmWritePngRGBA(qmTestPath("wayland-capture-" + o.name + ".png"), p.width, p.height,
                       p.PixelBytes(0, 0), p.bufWidth * 4, false);
    }
}

TEST(WaylandCapture, WithoutScreencopySaysSoOnceAndLeavesThePictureAlone) {
    QM_REQUIRE_SWAY();
    FXWaylandDisplay wl;
    ASSERT_TRUE(wl.Connect());
    zwlr_screencopy_manager_v1* bound = wl.screencopy;
    wl.screencopy = nullptr;  // as on a compositor without it
    FXScrShot shot;
    std::string traced = qmTraced([&] {
        for (auto& out : wl.outputs) EXPECT_FALSE(fxScrShotWaylandOutput(&shot, &wl, *out));
    });
    wl.screencopy = bound;  // released with the connection
    EXPECT_EQ(shot.picture.pixmap.width, 0);
    size_t first = traced.find("no screencopy");
    ASSERT_NE(first, std::string::npos) << traced;
    EXPECT_EQ(traced.find("no screencopy", first + 1), std::string::npos) << "said more than once:\n" << traced;
}
