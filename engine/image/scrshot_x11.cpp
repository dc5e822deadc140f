// Screen capture on X11: XGetImage of the root window of the default screen (ZPixmap), or of a
// picture of the screen another client handed over, through the process's display connection,
// converted to the engine's R, G, B, A layout. The fourth byte of a 32-bit screen pixel is not
// reliable and is never read.
#include <cstddef>
#include <cstdint>

#include <X11/Xutil.h>

#include "base/trace.h"
#include "image/scrshot.h"
#include "image/scrshot_x11.h"
#include "base/x11_display.h"

namespace {

struct FXChannel {
    int shift = 0;
    int bits = 0;
};

bool localChannel(unsigned long mask, FXChannel* c) {
    if (mask == 0) return false;
    c->shift = 0;
    while (!(mask & 1ul)) {
        mask >>= 1;
        c->shift++;
    }
    c->bits = 0;
    while (mask & 1ul) {
        mask >>= 1;
        c->bits++;
    }
    return mask == 0 && c->bits <= 16;  // one contiguous run
}

unsigned char localScale(unsigned long pixel, const FXChannel& c) {
    unsigned long v = (pixel >> c.shift) & ((1ul << c.bits) - 1);
    if (c.bits >= 8) return static_cast<unsigned char>(v >> (c.bits - 8));
    return static_cast<unsigned char>(v * 255 / ((1ul << c.bits) - 1));
}

}  // namespace

bool fxCopyXImage(XImage* img, FXPixmap* dst, int dx, int dy) {
    if (!img || !img->data || !dst || !dst->data || img->format != ZPixmap) return false;
    const int w = img->width, h = img->height;
    if (w <= 0 || h <= 0 || dx < 0 || dy < 0 || dx + w > dst->bufWidth || dy + h > dst->bufHeight)
        return false;
    if (img->bits_per_pixel <= 0 || int64_t(img->bytes_per_line) * 8 < int64_t(w) * img->bits_per_pixel)
        return false;

    if (img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xFF0000ul &&
        img->green_mask == 0xFF00ul && img->blue_mask == 0xFFul) {
        for (int y = 0; y < h; y++) {
            const unsigned char* src =
                reinterpret_cast<const unsigned char*>(img->data) + size_t(y) * size_t(img->bytes_per_line);
            unsigned char* out = dst->PixelBytes(dx, dy + y);
            for (int x = 0; x < w; x++, src += 4, out += 4) {
                out[0] = src[2];
                out[1] = src[1];
                out[2] = src[0];
                out[3] = 255;
            }
        }
        return true;
    }

    FXChannel r, g, b;
    if (!localChannel(img->red_mask, &r) || !localChannel(img->green_mask, &g) ||
        !localChannel(img->blue_mask, &b))
        return false;
    for (int y = 0; y < h; y++) {
        unsigned char* out = dst->PixelBytes(dx, dy + y);
        for (int x = 0; x < w; x++, out += 4) {
            unsigned long p = XGetPixel(img, x, y);
            out[0] = localScale(p, r);
            out[1] = localScale(p, g);
            out[2] = localScale(p, b);
            out[3] = 255;
        }
    }
    return true;
}

namespace {

// The part of the w x h area at (x, y) that lies inside a drawable of dw x dh pixels, read with
// XGetImage into shot's picture of exactly w x h; the rest is opaque black.
bool localCapture(FXScrShot* shot, Display* dpy, Drawable d, int dw, int dh, int x, int y, int w,
                  int h, const char* what) {
    int x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
    int x1 = x + w, y1 = y + h;
    if (x1 > dw) x1 = dw;
    if (y1 > dh) y1 = dh;

    XImage* img = nullptr;
    if (x1 > x0 && y1 > y0) {
        fxX11TrapErrors(dpy);
        img = XGetImage(dpy, d, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0), AllPlanes, ZPixmap);
        int code = fxX11UntrapErrors(dpy);
        if (!img || code) {
            err("XGetImage (%s)\n", what);
            if (img) XDestroyImage(img);
            return false;
        }
        // A picture (Pixmap) has no visual of its own, so its image comes without colour masks;
        // one of the screen's depth is laid out as the screen's visual.
        Visual* v = DefaultVisual(dpy, DefaultScreen(dpy));
        bool noMasks = !img->red_mask && !img->green_mask && !img->blue_mask;
        if (noMasks && img->depth == DefaultDepth(dpy, DefaultScreen(dpy))) {
            img->red_mask = v->red_mask;
            img->green_mask = v->green_mask;
            img->blue_mask = v->blue_mask;
        }
    }

    FXCanvas& picture = shot->picture;
    if (picture.pixmap.Realloc(w, h) <= 0) {
        err("FXPixmap::Realloc (screen capture %d x %d)\n", w, h);
        if (img) XDestroyImage(img);
        return false;
    }
    const float black[4] = {0, 0, 0, 1};
    picture.Clear(black);
    bool ok = true;
    if (img) {
        ok = fxCopyXImage(img, &picture.pixmap, x0 - x, y0 - y);
        if (!ok)
            err("unsupported screen format (%d bits per pixel, masks %06lx %06lx %06lx)\n",
                img->bits_per_pixel, img->red_mask, img->green_mask, img->blue_mask);
        XDestroyImage(img);
    }
    if (ok) shot->count++;
    return ok;
}

}  // namespace

FXScrShot::~FXScrShot() { picture.Destroy(); }

bool FXScrShot::Update() {
    Display* dpy = fxX11OpenDisplay();
    if (!dpy) {
        err("XOpenDisplay (screen capture)\n");
        return false;
    }
    int screen = DefaultScreen(dpy);
    return UpdateArea(0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen));
}

bool FXScrShot::UpdateArea(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return false;
    Display* dpy = fxX11OpenDisplay();
    if (!dpy) {
        err("XOpenDisplay (screen capture)\n");
        return false;
    }
    int screen = DefaultScreen(dpy);
    return localCapture(this, dpy, RootWindow(dpy, screen), DisplayWidth(dpy, screen),
                        DisplayHeight(dpy, screen), x, y, w, h, "root window");
}

bool FXScrShot::UpdateDrawable(void* drawable, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0 || !drawable) return false;
    Display* dpy = fxX11OpenDisplay();
    if (!dpy) {
        err("XOpenDisplay (screen capture)\n");
        return false;
    }
    Drawable d = static_cast<Drawable>(reinterpret_cast<uintptr_t>(drawable));
    Window root = 0;
    int dx = 0, dy = 0;
    unsigned dw = 0, dh = 0, border = 0, depth = 0;
    fxX11TrapErrors(dpy);
    Status ok = XGetGeometry(dpy, d, &root, &dx, &dy, &dw, &dh, &border, &depth);
    if (fxX11UntrapErrors(dpy) != 0 || !ok) {
        err("XGetGeometry (picture 0x%lx for the screen capture)\n", static_cast<unsigned long>(d));
        return false;
    }
    return localCapture(this, dpy, d, int(dw), int(dh), x, y, w, h, "picture of the screen");
}
