// An author's change end to end: entry 751 of the demo package (the picture that fades in over
// the photographed desktop) is replaced with `qmpack replace`, and the saver, recording over a
// magenta desktop, shows the new picture where the demo shows its meadow.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/package.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "support/png_write_gl.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

const int kW = 320, kH = 180;

bool localYellow(const unsigned char* p) { return p[0] > 120 && p[1] > 100 && p[2] < 50 && p[1] < p[0]; }

// The share of yellow pixels in the strip along the left edge of a picture (the same strip
// whichever way up the decoder hands the rows).
double localYellowShare(FXCanvas* c) {
    int yellow = 0, all = 0;
    for (int y = c->GetHeight() / 18; y < c->GetHeight() - c->GetHeight() / 18; y++)
        for (int x = 1; x < c->GetWidth() / 40 + 2; x++, all++) yellow += localYellow(c->pixmap.PixelBytes(x, y));
    return all ? double(yellow) / all : 0.0;
}

void localWriteSolid(const std::string& path, int w, int h, std::vector<unsigned char> rgba) {
    std::vector<unsigned char> px;
    for (int i = 0; i < w * h; i++) px.insert(px.end(), rgba.begin(), rgba.end());
    qmWritePngRGBA(path, w, h, px.data(), w * 4, false);
}

}  // namespace

TEST(ReplacedPicture, TheSaverShowsAPictureReplacedInTheDemoPackage) {
    QM_REQUIRE_DISPLAY();
    ASSERT_TRUE(fxLoadDevil());
    // The demo's own picture is not yellow at its edge, so yellow on screen is the new picture.
    FXPackage demo;
    demo.Load(QM_DEMO_PACKAGE);
    FXCanvas meadow;
    ASSERT_TRUE(meadow.CreateFromPictCN(&demo, 751));
    EXPECT_LT(localYellowShare(&meadow), 0.05);

    std::string folder = qmFreshDir("replaced_751"), record = qmFreshDir("replaced_751_record");
    localWriteSolid(folder + "/yellow.png", 256, 256, {255, 220, 0, 255});
    localWriteSolid(folder + "/desktop.png", kW, kH, {235, 40, 235, 255});
    qmWriteFile(folder + "/qmsave.dat", qmReadFile(QM_DEMO_PACKAGE));
    qmWriteText(folder + "/change.txt", "751 yellow.png\n");
    std::string log = folder + "/out.txt";
    std::string replace = std::string("'") + QMPACK_PATH + "' replace '" + folder + "/qmsave.dat' '" + folder +
                          "/change.txt' >'" + log + "' 2>&1";
    int status = std::system(replace.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << qmReadText(log);

    // The opening fades entry 751 in with its alpha rising as the cube of the opening's progress,
    // so the picture fills the edge of the screen only after a few seconds.
    std::string cmd = "QMSAVE_PATH='" + folder + "' XDG_STATE_HOME='" + folder + "' '" + QMSAVE_PROGRAM +
                      "' --record '" + record + "' --seconds 8 --fps 1 --size 320x180 --desktop '" + folder +
                      "/desktop.png' >'" + log + "' 2>&1";
    status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << qmReadText(log);
    FXCanvas first, last;
    ASSERT_TRUE(first.CreateFromPict((record + "/frame-00000.png").c_str()));
    ASSERT_TRUE(last.CreateFromPict((record + "/frame-00007.png").c_str()));
    EXPECT_LT(localYellowShare(&first), 0.05) << "the opening starts on the desktop";
    EXPECT_GT(localYellowShare(&last), 0.9) << "the new picture fills the edge";
    fxUnloadDevil();
}
