// What ends the saver: real key, pointer and button events (XTest) through the host's translation
// and routing, and the 4-second rule on the controllable clock.
#include "saver_screen/saver_fixture.h"  // Google Test before Xlib: Xlib's None is a macro

#include "base/other.h"
#include "base/x11_display.h"
#include "saver/host.h"
#include "saver/main.h"
#include "saver/scene.h"

TEST_F(SaverHostTest, AKeyEndsAtOnce) {
    ASSERT_NE(Launch(kStyleFullScreen), nullptr);
    Key("a", true);
    EXPECT_TRUE(Pump(kWmKeyDown));
    EXPECT_EQ(host->State().hMainWindow, nullptr);
    EXPECT_EQ(saver->State().escapeHit, 1);
    Key("a", false);
}

TEST_F(SaverHostTest, OnePixelOfMouseEndsOnlyAfterFourSeconds) {
    ASSERT_NE(Launch(kStyleFullScreen), nullptr);
    fxSetManualClock(saver->State().startTime + 1.0);
    MoveBy(1, 0);
    EXPECT_TRUE(Pump(kWmMouseMove));
    EXPECT_NE(host->State().hMainWindow, nullptr) << "a movement in the first 4 s is dropped";
    fxSetManualClock(saver->State().startTime + 4.5);
    MoveBy(0, 1);
    EXPECT_TRUE(Pump(kWmMouseMove));
    EXPECT_EQ(host->State().hMainWindow, nullptr);
    EXPECT_EQ(saver->State().escapeHit, 0);
}

TEST_F(SaverHostTest, DroppedClosesKeepTheCursorOrigin) {
    ASSERT_NE(Launch(kStyleFullScreen), nullptr);
    QmPoint origin = host->State().pt_orig;
    fxSetManualClock(saver->State().startTime + 2.0);
    MoveBy(1, 1);
    ASSERT_TRUE(Pump(kWmMouseMove));
    ASSERT_NE(host->State().hMainWindow, nullptr);
    // Back where the saver started: no movement away from the origin, nothing ends.
    fxSetManualClock(saver->State().startTime + 6.0);
    MoveTo(origin.x, origin.y);
    ASSERT_TRUE(Pump(kWmMouseMove));
    EXPECT_NE(host->State().hMainWindow, nullptr);
    EXPECT_EQ(host->State().pt_orig.x * 10000 + host->State().pt_orig.y, origin.x * 10000 + origin.y);
    Click(1);  // a button after the 4 s ends it wherever the cursor is
    EXPECT_TRUE(Pump(kWmLButtonDown));
    EXPECT_EQ(host->State().hMainWindow, nullptr);
}

TEST_F(SaverHostTest, CloseAtExactlyFourSecondsIsIgnored) {
    void* w = Launch(kStyleFullScreen);
    ASSERT_NE(w, nullptr);
    struct {
        double after;
        bool ends;
    } steps[] = {{0.0, false}, {3.999, false}, {4.0, false}, {4.001, true}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.after);
        fxSetManualClock(saver->State().startTime + s.after);
        host->PostSaverMessage(w, kWmClose, 0, 0);
        EXPECT_TRUE(Pump(kWmClose));
        EXPECT_EQ(host->State().hMainWindow == nullptr, s.ends);
    }
}

TEST_F(SaverHostTest, KeyReleaseOfAKeyPressedBeforeTheStartIsNoInput) {
    Key("Return", true);  // the Enter that started the saver from a terminal, still held
    ASSERT_NE(Launch(kStyleFullScreen), nullptr);
    Key("Return", false);
    MoveBy(1, 0);  // a dropped movement after the release shows the release was handled first
    EXPECT_TRUE(Pump(kWmMouseMove));
    EXPECT_NE(host->State().hMainWindow, nullptr);
    EXPECT_EQ(saver->State().escapeHit, 0);
}

TEST_F(SaverHostTest, PreviewIsAChildOfExactlyTheParentsClientSizeAndEndsWithIt) {
    Window pane = XCreateSimpleWindow(xt, DefaultRootWindow(xt), 50, 60, 152, 112, 3, 0, 0x404040);
    XMapWindow(xt, pane);
    XSync(xt, False);
    void* w = Launch(kStylePreview, fxX11Handle(pane));
    ASSERT_NE(w, nullptr);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(xt, fxX11Window(w), &root, &parent, &children, &n));
    if (children) XFree(children);
    EXPECT_EQ(parent, pane);
    int x = -1, y = -1;
    unsigned cw = 0, ch = 0, border = 0, depth = 0;
    ASSERT_TRUE(XGetGeometry(xt, fxX11Window(w), &root, &x, &y, &cw, &ch, &border, &depth));
    EXPECT_EQ(x * 1000 + y, 0);
    EXPECT_EQ(cw * 1000 + ch, 152u * 1000 + 112u);
    EXPECT_TRUE(saver->Scene()->options.preview) << "the scene was built in preview mode";

    XDestroyWindow(xt, pane);  // the pane's owner closes it
    XSync(xt, False);
    EXPECT_TRUE(Pump(kWmHostEnd));
    EXPECT_EQ(host->State().hMainWindow, nullptr);
    EXPECT_EQ(host->EndReason(), kEndWindowGone);
}
