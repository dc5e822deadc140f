// The saver's surfaces inside the headless sway rig: an EGL device on a layer surface per output
// clears to a known colour that grim then sees on that output (and nothing of it on the other);
// the full-screen toplevel that stands in without layer-shell draws the same way; a key typed
// with wtype arrives as a key event; the surfaces' end leaves the backgrounds on screen again.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <memory>

#include <GL/gl.h>

#include "base/wayland_display.h"
#include "device/gl.h"
#include "saver/wayland_surfaces.h"
#include "support/png_write_gl.h"
#include "support/test_support.h"
#include "wayland/sway_rig_wayland.h"

namespace {

// A colour per output, far from both backgrounds.
const float kClear[2][4] = {{0.0f, 1.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 0.0f, 1.0f}};
const uint32_t kClearRGB[2] = {0x00ff00, 0xffff00};

class WaylandSurfacesTest : public ::testing::Test {
protected:
    FXWaylandDisplay wl;
    QmWaylandSurfaces surfaces;
    std::vector<std::unique_ptr<FXGL>> devices;

    void TearDown() override {
        for (auto& d : devices) d->Destroy();  // before the surfaces and the connection
        devices.clear();
        surfaces.Destroy();
        wl.Disconnect();
        unsetenv("QMSAVE_TEST_NO_LAYER_SHELL");
    }

    // A device on every surface, each cleared to its colour and shown; the back buffer read before
    // the swap must hold that colour already.
    void DrawEveryOutput() {
        for (int i = 0; i < surfaces.Count(); i++) {
            std::unique_ptr<FXGL> gl(new FXGL);
            gl->CreateOn(surfaces.NativeWindow(i));
            ASSERT_TRUE(gl->HasContext()) << "no EGL context on " << surfaces.Get(i).outputName;
            EXPECT_EQ(gl->width, surfaces.Get(i).PixelWidth());
            gl->SetAct(true);
            EXPECT_TRUE(gl->CanIssueCalls());
            float c[4] = {kClear[i % 2][0], kClear[i % 2][1], kClear[i % 2][2], kClear[i % 2][3]};
            gl->SetClrColor(c);
            gl->Clrscr(true, true, false);
            unsigned char px[4] = {0, 0, 0, 0};
            glReadPixels(3, 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
            EXPECT_EQ(uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2], kClearRGB[i % 2]);
            gl->RenderEnd();
            gl->SetAct(false);
            devices.push_back(std::move(gl));
        }
        wl.Roundtrip();
    }

    // Each output shows its device's colour (grim, saved under the build tree).
    void ExpectEveryOutputCleared(const std::string& tag) {
        for (int i = 0; i < surfaces.Count(); i++) {
            const std::string& name = surfaces.Get(i).outputName;
            QmGrimShot shot;
            bool seen = false;
            // The compositor shows the buffer on its next frame.
            for (int tries = 0; tries < 50 && !seen; tries++) {
                ASSERT_TRUE(qmGrim(name, qmTestPath("wayland-" + tag + "-" + name + ".png"), &shot));
                seen = qmNearRGB(shot.At(shot.width / 2, shot.height / 2), kClearRGB[i % 2]);
                if (!seen) wl.Dispatch(100);
            }
            EXPECT_TRUE(seen) << name << " shows " << std::hex << shot.At(shot.width / 2, shot.height / 2);
            // The whole output, corners included: the surface covers it.
            EXPECT_TRUE(qmNearRGB(shot.At(0, 0), kClearRGB[i % 2])) << name;
            EXPECT_TRUE(qmNearRGB(shot.At(shot.width - 1, shot.height - 1), kClearRGB[i % 2])) << name;
        }
    }
};

}  // namespace

TEST_F(WaylandSurfacesTest, AnEGLDeviceOnALayerSurfacePerOutputShowsItsColourThere) {
    QM_REQUIRE_SWAY();
    ASSERT_TRUE(wl.Connect());
    ASSERT_TRUE(surfaces.Create(&wl));
    EXPECT_TRUE(surfaces.UsesLayerShell());
    ASSERT_EQ(surfaces.Count(), int(qmSwayOutputs().size()));
    for (const QmSwayOutput& o : qmSwayOutputs()) {
        bool found = false;
        for (int i = 0; i < surfaces.Count(); i++) {
            if (surfaces.Get(i).outputName != o.name) continue;
            found = true;
            EXPECT_EQ(surfaces.Get(i).PixelWidth() * 10000 + surfaces.Get(i).PixelHeight(), o.width * 10000 + o.height);
        }
        EXPECT_TRUE(found) << o.name;
    }
    DrawEveryOutput();
    ExpectEveryOutputCleared("layer");

    // Gone again: each output shows its background.
    for (auto& d : devices) d->Destroy();
    devices.clear();
    surfaces.Destroy();
    wl.Roundtrip();
    for (const QmSwayOutput& o : qmSwayOutputs()) {
        QmGrimShot shot;
        bool back = false;
        for (int tries = 0; tries < 50 && !back; tries++) {
            ASSERT_TRUE(qmGrim(o.name, qmTestPath("wayland-after-" + o.name + ".png"), &shot));
            back = qmNearRGB(shot.At(shot.width / 2, shot.height / 2), o.rgb);
            if (!back) wl.Dispatch(100);
        }
        EXPECT_TRUE(back) << o.name << " still shows the saver";
    }
}

TEST_F(WaylandSurfacesTest, WithoutLayerShellAFullScreenToplevelPerOutputDraws) {
    QM_REQUIRE_SWAY();
    setenv("QMSAVE_TEST_NO_LAYER_SHELL", "1", 1);
    ASSERT_TRUE(wl.Connect());
    ASSERT_TRUE(surfaces.Create(&wl));
    EXPECT_FALSE(surfaces.UsesLayerShell());
    ASSERT_EQ(surfaces.Count(), int(qmSwayOutputs().size()));
    DrawEveryOutput();
    ExpectEveryOutputCleared("toplevel");
}

TEST_F(WaylandSurfacesTest, AKeyTypedWithWtypeArrivesAsAKeyEvent) {
    QM_REQUIRE_SWAY();
    ASSERT_EQ(qmShell("command -v wtype >/dev/null"), 0) << "wtype is not installed (scripts/setup test)";
    ASSERT_TRUE(wl.Connect());
    ASSERT_TRUE(surfaces.Create(&wl));
    DrawEveryOutput();
    // The rig has no keyboard until wtype makes its virtual one: wtype waits a second after that,
    // while the saver takes the new keyboard, then types.
    ASSERT_EQ(qmShell("wtype -s 1000 q >/dev/null 2>&1 &"), 0);
    bool down = false;
    auto t0 = std::chrono::steady_clock::now();
    while (!down && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(20)) {
        ASSERT_GE(wl.Dispatch(200), 0);
        QmWaylandEvent e;
        while (surfaces.NextEvent(&e))
            if (e.kind == QmWaylandEvent::kKey && e.pressed) {
                down = true;  // (the code is wtype's own keymap's: any key ends the saver)
                EXPECT_GE(e.surface, 0) << "the key reached no saver surface";
            }
    }
    EXPECT_TRUE(down) << "no key event within 20 s";
}
