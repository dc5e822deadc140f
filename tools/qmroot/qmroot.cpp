// qmroot: shows a picture on the root window of the X screen, scaled to cover it, so that the
// saver has a desktop to photograph on an X server of its own (a private Xvfb): ./qm run uses it
// when there is no display. The picture stays after the program ends (the root window keeps its
// background).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/canvas.h"
#include "image/devil.h"

namespace {

int localFail(const char* what, const char* detail) {
    fprintf(stderr, "qmroot: %s%s\n", what, detail ? detail : "");
    return 1;
}

// The channel of a pixel value under a TrueColor mask: v (0..255) moved into the mask's bits.
unsigned long localChannel(unsigned v, unsigned long mask) {
    int shift = 0, bits = 0;
    while (mask && !(mask & 1ul)) mask >>= 1, shift++;
    while (mask & 1ul) mask >>= 1, bits++;
    if (bits == 0) return 0;
    unsigned long scaled = bits >= 8 ? (unsigned long)v << (bits - 8) : v >> (8 - bits);
    return scaled << shift;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !strcmp(argv[1], "--help")) {
        fprintf(argc == 2 ? stdout : stderr,
                "usage: qmroot PICTURE\n  shows PICTURE (PNG, JPEG, ...) on the X screen's root window, "
                "scaled to cover it\n");
        return argc == 2 ? 0 : 2;
    }
    if (!fxLoadDevil()) return localFail("the DevIL image library is not installed", nullptr);
    FXCanvas picture;
    picture.autoDetectTrans = false;
    if (!picture.CreateFromPict(argv[1])) return localFail("cannot read the picture ", argv[1]);
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return localFail("no X display (is DISPLAY set?)", nullptr);

    int screen = DefaultScreen(dpy);
    Window root = RootWindow(dpy, screen);
    Visual* visual = DefaultVisual(dpy, screen);
    const int w = DisplayWidth(dpy, screen), h = DisplayHeight(dpy, screen);
    const int depth = DefaultDepth(dpy, screen);
    XImage* img = XCreateImage(dpy, visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(w), unsigned(h), 32, 0);
    if (!img || visual->c_class != TrueColor) return localFail("the screen is not a TrueColor screen", nullptr);
    img->data = static_cast<char*>(malloc(size_t(img->bytes_per_line) * size_t(h)));
    if (!img->data) return localFail("out of memory", nullptr);

    // Nearest-pixel scaling that covers the screen, cropping the longer side of the picture.
    const int pw = picture.GetWidth(), ph = picture.GetHeight();
    const double scale = double(w) / pw > double(h) / ph ? double(w) / pw : double(h) / ph;
    const double ox = (pw - w / scale) / 2, oy = (ph - h / scale) / 2;
    for (int y = 0; y < h; y++) {
        int sy = int(oy + (y + 0.5) / scale);
        sy = sy < 0 ? 0 : sy >= ph ? ph - 1 : sy;
        for (int x = 0; x < w; x++) {
            int sx = int(ox + (x + 0.5) / scale);
            sx = sx < 0 ? 0 : sx >= pw ? pw - 1 : sx;
            const unsigned char* p = picture.pixmap.PixelBytes(sx, sy);
            XPutPixel(img, x, y,
                      localChannel(p[0], visual->red_mask) | localChannel(p[1], visual->green_mask) |
                          localChannel(p[2], visual->blue_mask));
        }
    }
    Pixmap pm = XCreatePixmap(dpy, root, unsigned(w), unsigned(h), unsigned(depth));
    GC gc = XCreateGC(dpy, pm, 0, nullptr);
    XPutImage(dpy, pm, gc, img, 0, 0, 0, 0, unsigned(w), unsigned(h));
    XSetWindowBackgroundPixmap(dpy, root, pm);  // the window keeps the picture once we free it
    XClearWindow(dpy, root);
    XFreeGC(dpy, gc);
    XFreePixmap(dpy, pm);
    XDestroyImage(img);
    XCloseDisplay(dpy);
    fxUnloadDevil();
    return 0;
}
