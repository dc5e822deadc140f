// The saver's windows besides the full-screen one: a launcher's window (a child of it, and the
// launcher's own photograph of the desktop in place of a screen capture) and the desktop window of
// -window (resizable, ended at once by its close button).
#include "saver_screen/saver_fixture.h"  // Google Test before Xlib: Xlib's None is a macro

#include <X11/Xatom.h>

#include "base/other.h"
#include "image/scrshot.h"
#include "base/x11_display.h"
#include "saver/host.h"
#include "saver/main.h"
#include "saver/scene.h"

namespace {

int localRgb(FXPixmap& p, int x, int y) {
    const unsigned char* c = p.PixelBytes(x, y);
    return c[0] << 16 | c[1] << 8 | c[2];
}

}  // namespace

TEST_F(SaverHostTest, LauncherPhotographIsCroppedToItsWindowOrTakenWholeAtItsSize) {
    Window launcher = XCreateSimpleWindow(xt, DefaultRootWindow(xt), 100, 50, 64, 48, 0, 0, 0);
    XMapWindow(xt, launcher);
    // Its photograph of the whole screen: green, with red and blue where the launcher window lies.
    int depth = DefaultDepth(xt, DefaultScreen(xt));
    Pixmap pm = XCreatePixmap(xt, DefaultRootWindow(xt), 300, 200, unsigned(depth));
    GC gc = XCreateGC(xt, pm, 0, nullptr);
    const struct {
        unsigned long colour;
        int x, y, w, h;
    } fills[] = {{0x00FF00, 0, 0, 300, 200}, {0xFF0000, 100, 50, 64, 24}, {0x0000FF, 100, 74, 64, 24}};
    for (const auto& f : fills) {
        XSetForeground(xt, gc, f.colour);
        XFillRectangle(xt, pm, gc, f.x, f.y, unsigned(f.w), unsigned(f.h));
    }
    XFreeGC(xt, gc);
    Atom prop = XInternAtom(xt, "_SCREENSAVER_SCREENSHOT", False);
    XChangeProperty(xt, launcher, prop, XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&pm), 1);
    XSync(xt, False);

    void* w = Launch(kStyleLauncher, fxX11Handle(launcher));
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(saver->Scene()->options.preview) << "a launcher's window gets the whole scene";
    FXScrShot shot;
    ASSERT_TRUE(platform->TakePhotograph(&shot, w));
    FXPixmap& p = shot.picture.pixmap;
    EXPECT_EQ(p.width * 1000 + p.height, 64048);
    EXPECT_EQ(localRgb(p, 1, 1), 0xFF0000);
    EXPECT_EQ(localRgb(p, 62, 23), 0xFF0000);
    EXPECT_EQ(localRgb(p, 1, 24), 0x0000FF);
    EXPECT_EQ(localRgb(p, 62, 46), 0x0000FF);

    // A photograph of the window's own size (a launcher gives each monitor's window its own): the
    // whole of it, from its corner, wherever the window lies.
    Pixmap own = XCreatePixmap(xt, DefaultRootWindow(xt), 64, 48, unsigned(depth));
    gc = XCreateGC(xt, own, 0, nullptr);
    XSetForeground(xt, gc, 0xFFFF00);
    XFillRectangle(xt, own, gc, 0, 0, 64, 24);
    XSetForeground(xt, gc, 0xFF00FF);
    XFillRectangle(xt, own, gc, 0, 24, 64, 24);
    XFreeGC(xt, gc);
    XChangeProperty(xt, launcher, prop, XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&own), 1);
    XSync(xt, False);
    FXScrShot mine;
    ASSERT_TRUE(platform->TakePhotograph(&mine, w));
    EXPECT_EQ(localRgb(mine.picture.pixmap, 1, 1), 0xFFFF00);
    EXPECT_EQ(localRgb(mine.picture.pixmap, 62, 46), 0xFF00FF);
    XFreePixmap(xt, own);

    // Without the property: the screen under the window.
    XDeleteProperty(xt, launcher, prop);
    XSync(xt, False);
    FXScrShot screen;
    ASSERT_TRUE(platform->TakePhotograph(&screen, w));
    EXPECT_EQ(screen.picture.pixmap.width * 1000 + screen.picture.pixmap.height, 64048);
    EXPECT_NE(localRgb(screen.picture.pixmap, 1, 1), 0xFF0000);
    XFreePixmap(xt, pm);
    XDestroyWindow(xt, launcher);
    XSync(xt, False);
    EXPECT_TRUE(Pump(kWmHostEnd));
    EXPECT_EQ(host->State().hMainWindow, nullptr);
}

TEST_F(SaverHostTest, DesktopWindowFollowsItsSizeAndItsCloseButtonEndsAtOnce) {
    void* w = Launch(kStyleDesktop);  // full screen size here: the test sizes it below
    ASSERT_NE(w, nullptr);
    Window win = fxX11Window(w);
    XResizeWindow(xt, win, 300, 200);
    XSync(xt, False);
    ASSERT_TRUE(Pump(kWmSize));
    EXPECT_EQ(saver->Scene()->gr.width * 1000 + saver->Scene()->gr.height, 300200) << "the scene draws over the new size";
    // The window manager's close request, within the first 4 s.
    fxSetManualClock(saver->State().startTime + 1.0);
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = win;
    e.xclient.message_type = XInternAtom(xt, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(xt, "WM_DELETE_WINDOW", False));
    XSendEvent(xt, win, False, NoEventMask, &e);
    XSync(xt, False);
    EXPECT_TRUE(Pump(kWmHostEnd));
    EXPECT_EQ(host->State().hMainWindow, nullptr);
    EXPECT_EQ(host->EndReason(), kEndClosed);
}
