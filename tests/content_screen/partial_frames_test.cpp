// Frames that redraw and show only what changed, on the real window: the demo package's clips
// drawn with partial presents leave the window (read back from the X server, not from the back
// buffer) exactly as whole frames leave it, frame after frame.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "base/x11_display.h"
#include "image/devil.h"
#include "saver/back_buffer.h"
#include "saver/scene.h"
#include "support/png_write_gl.h"
#include "support/scene_window.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

const int kW = 320, kH = 240;
const double kStart = 50.0;         // the scene window's clock starts here
const double kClipsFrom = 8.0;      // the opening is over (7 s)
const int kShots = 36;              // clip frames compared, about a second and a half of clips

// The window's pixels as the X server holds them, 0xRRGGBB, top row first.
std::vector<unsigned> localGrab(Display* dpy, Window w) {
    std::vector<unsigned> px;
    XImage* im = XGetImage(dpy, w, 0, 0, kW, kH, AllPlanes, ZPixmap);
    if (!im) return px;
    px.reserve(size_t(kW) * kH);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) px.push_back(unsigned(XGetPixel(im, x, y)) & 0xFFFFFFu);
    XDestroyImage(im);
    return px;
}

void localSave(const std::vector<unsigned>& px, const std::string& name) {
    std::vector<unsigned char> rgba;
    for (unsigned p : px) rgba.insert(rgba.end(), {(unsigned char)(p >> 16), (unsigned char)(p >> 8), (unsigned char)p, 255});
    qmWritePngRGBA(qmTestPath(name), kW, kH, rgba.data(), kW * 4, false);
}

class PartialFramesTest : public ::testing::Test {
protected:
    std::string data;
    QmScopedEnv* state = nullptr;

    void SetUp() override {
        QM_REQUIRE_DISPLAY();
        data = qmFreshDir("partial_data");
        state = new QmScopedEnv("XDG_STATE_HOME", qmFreshDir("partial_state").c_str());
        ASSERT_EQ(symlink(QM_DEMO_PACKAGE, (data + "/qmsave.dat").c_str()), 0);
        ASSERT_TRUE(fxLoadDevil());
        ASSERT_TRUE(qmWriteHalvesDesktop(data, kW, kH));
        fxUnloadDevil();
    }
    void TearDown() override { delete state; }

    // The opening, then kShots clip frames, each grabbed from the window once it is shown. The
    // server is held for this client meanwhile, so no other test's window covers ours.
    std::vector<std::vector<unsigned>> Run(bool whole, bool* drewParts) {
        QmSceneWindow scene;
        QmBackBuffer sink;
        scene.wholeFrames = whole;
        scene.Open(data, false, 3, kW, kH, &sink);
        std::vector<std::vector<unsigned>> shots;
        if (!scene.window) return shots;
        *drewParts = scene->DrawsParts();
        Display* dpy = fxX11GetDisplay();
        Window w = fxX11Window(scene->gr.DrawnWindow().Handle());
        {
            QmServerGrab grab(dpy, w);
            for (double t = kStart; t < kStart + kClipsFrom; t += 1.0 / 30.0) scene.Frame(t);
            for (int i = 0; i < kShots; i++) {
                // Each clip frame waits for its movie frame: the clock moves on inside it.
                scene.Frame(fxGetTime());
                XSync(dpy, False);
                shots.push_back(localGrab(dpy, w));
            }
        }
        scene.Close();
        return shots;
    }
};

}  // namespace

TEST_F(PartialFramesTest, TheWindowShowsWhatWholeFramesShow) {
    bool wholeParts = true, partParts = false;
    std::vector<std::vector<unsigned>> whole = Run(true, &wholeParts);
    ASSERT_EQ(whole.size(), size_t(kShots));
    std::vector<std::vector<unsigned>> part = Run(false, &partParts);
    ASSERT_EQ(part.size(), size_t(kShots));
    EXPECT_FALSE(wholeParts);
    ASSERT_TRUE(partParts) << "the display's GLX has no GLX_MESA_copy_sub_buffer: nothing partial to test";
    int differing = 0;
    for (int i = 0; i < kShots; i++) {
        int pixels = 0;
        for (size_t k = 0; k < whole[size_t(i)].size(); k++) pixels += whole[size_t(i)][k] != part[size_t(i)][k];
        if (pixels == 0) continue;
        if (differing++ == 0) {
            localSave(whole[size_t(i)], "partial_frames_whole.png");
            localSave(part[size_t(i)], "partial_frames_part.png");
        }
        ADD_FAILURE() << "clip frame " << i << ": " << pixels << " pixels differ";
    }
    localSave(part.back(), "partial_frames_last.png");
    // The frames compared are not all alike: the clip moves.
    EXPECT_NE(whole.front(), whole.back());
}
