// The bench's X11 helpers:
//   qmbench_x11 pane W H    maps a W x H top-level window, prints its id (decimal) and keeps it
//                           until killed: the preview pane the saver draws into with -p ID
//   qmbench_x11 glstart     opens the display, makes a full-screen window with an OpenGL context
//                           current and shows one cleared frame, prints the renderer's name, then ends: the least any
//                           OpenGL program does before its first frame (the start-up reference)
//   qmbench_x11 floor bare|quad
//                           a full-screen window drawn 25 times a second until killed: cleared
//                           and shown (bare), or cleared with one screen-sized textured quad
//                           (linear filtering, blending off) drawn over it: the floors a
//                           scene's CPU per frame is measured against
//   qmbench_x11 movie-frame prints the movie-frame row: a 512 x 512 colour JPEG and its mask
//                           decoded through the bound image library, assembled and uploaded as a
//                           movie does it, against decoding the two with libjpeg-turbo directly
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <jpeglib.h>  // after <cstdio>, which it needs

#include "base/other.h"
#include "elements/smovie.h"
#include "image/devil.h"
#include "image/material.h"
#include "device/gl.h"
#include "base/x11_display.h"

namespace {

int localFail(const char* what) {
    fprintf(stderr, "qmbench_x11: %s\n", what);
    return 1;
}

void localWaitMapped(Display* dpy, Window w) {
    XEvent e;
    do XNextEvent(dpy, &e);
    while (e.type != MapNotify || e.xmap.window != w);
}

int localPane(int width, int height) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return localFail("no display");
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, unsigned(width), unsigned(height), 0, 0, 0);
    XSelectInput(dpy, w, StructureNotifyMask);
    XMapWindow(dpy, w);
    localWaitMapped(dpy, w);
    printf("%lu\n", static_cast<unsigned long>(w));
    fflush(stdout);
    for (;;) pause();
}

// A full-screen override-redirect window with a double-buffered OpenGL context current.
struct localGLWindow {
    Display* dpy = nullptr;
    XVisualInfo* vi = nullptr;
    Window w = 0;
    GLXContext ctx = nullptr;
    int width = 0, height = 0;

    const char* Open() {
        dpy = XOpenDisplay(nullptr);
        if (!dpy) return "no display";
        int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
        vi = glXChooseVisual(dpy, DefaultScreen(dpy), attributes);
        if (!vi) return "no double-buffered visual";
        XSetWindowAttributes swa;
        memset(&swa, 0, sizeof swa);
        Window root = RootWindow(dpy, vi->screen);
        swa.colormap = XCreateColormap(dpy, root, vi->visual, AllocNone);
        swa.event_mask = StructureNotifyMask;
        swa.override_redirect = True;
        width = DisplayWidth(dpy, vi->screen);
        height = DisplayHeight(dpy, vi->screen);
        w = XCreateWindow(dpy, root, 0, 0, unsigned(width), unsigned(height), 0, vi->depth, InputOutput, vi->visual,
                          CWColormap | CWEventMask | CWOverrideRedirect, &swa);
        ctx = glXCreateContext(dpy, vi, nullptr, True);
        if (!ctx) return "no OpenGL context";
        XMapWindow(dpy, w);
        localWaitMapped(dpy, w);
        glXMakeCurrent(dpy, w, ctx);
        return nullptr;
    }
    void Close() {
        glXMakeCurrent(dpy, None, nullptr);
        glXDestroyContext(dpy, ctx);
        XFree(vi);
        XCloseDisplay(dpy);
    }
};

int localGlStart() {
    localGLWindow g;
    if (const char* why = g.Open()) return localFail(why);
    glClear(GL_COLOR_BUFFER_BIT);
    glXSwapBuffers(g.dpy, g.w);
    glFinish();
    printf("%s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    g.Close();
    return 0;
}

// The floors: what a frame of the screen's size costs before any scene is drawn into it. The
// quad's texture is a picture of the screen's size, mapped texel for texel, as the photograph is
// in the opening.
int localFloor(bool quad) {
    localGLWindow g;
    if (const char* why = g.Open()) return localFail(why);
    GLuint texture = 0;
    if (quad) {
        std::vector<unsigned char> pixels(size_t(g.width) * size_t(g.height) * 4);
        for (size_t i = 0; i < pixels.size(); i++) pixels[i] = static_cast<unsigned char>(i * 7 / 5);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, g.width, g.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glEnable(GL_TEXTURE_2D);
    }
    for (;;) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (quad) {
            glBegin(GL_QUADS);
            glTexCoord2f(0, 0), glVertex2f(-1, -1);
            glTexCoord2f(1, 0), glVertex2f(1, -1);
            glTexCoord2f(1, 1), glVertex2f(1, 1);
            glTexCoord2f(0, 1), glVertex2f(-1, 1);
            glEnd();
        }
        glXSwapBuffers(g.dpy, g.w);
        glFinish();
        usleep(40000);
    }
}

const int kSide = 512;

// A picture of kSide x kSide with channels channels, encoded as a JPEG (quality 90) in a block
// from malloc (a movie frees its blocks that way).
unsigned char* localEncode(const std::vector<unsigned char>& pixels, int channels, unsigned long* size) {
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    *size = 0;
    jpeg_mem_dest(&c, &out, size);
    c.image_width = kSide;
    c.image_height = kSide;
    c.input_components = channels;
    c.in_color_space = channels == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(pixels.data()) + size_t(c.next_scanline) * kSide * channels;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return out;
}

void localDecodeJpeg(const unsigned char* block, unsigned long size, std::vector<unsigned char>* out) {
    jpeg_decompress_struct d;
    jpeg_error_mgr e;
    d.err = jpeg_std_error(&e);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, block, size);
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    const size_t stride = size_t(d.output_width) * size_t(d.output_components);
    out->resize(stride * d.output_height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out->data() + size_t(d.output_scanline) * stride;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
}

// CPU seconds of this thread (its user and system time): unlike the wall clock, it does not run
// on while other programs have the processor, which on a busy machine dominated the figures.
double localThreadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// CPU seconds per call: the best of seven batches of at least 0.1 s.
double localTime(const std::function<void()>& f) {
    double best = 1e30;
    int calls = 1;
    for (int b = 0; b < 7; b++) {
        for (;;) {
            const double start = localThreadSeconds();
            for (int i = 0; i < calls; i++) f();
            double s = localThreadSeconds() - start;
            if (s >= 0.1) {
                if (s / calls < best) best = s / calls;
                break;
            }
            calls *= 2;
        }
    }
    return best;
}

int localMovieFrame() {
    Display* dpy = fxX11OpenDisplay();
    if (!dpy) return localFail("no display");
    if (!fxLoadDevil()) return localFail("the image library is missing");
    Window w = fxGLCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 64, 64, 0);
    XSelectInput(dpy, w, StructureNotifyMask);
    XMapWindow(dpy, w);
    localWaitMapped(dpy, w);
    FXGL gl;
    gl.CreateChild(fxX11Handle(w));
    if (!gl.HasContext()) return localFail("no OpenGL context");
    gl.SetAct(true);

    // Soft shapes with some grain, as the movies' pictures have.
    std::vector<unsigned char> rgb(size_t(kSide) * kSide * 3), grey(size_t(kSide) * kSide);
    fxSrand(3);
    for (int y = 0; y < kSide; y++)
        for (int x = 0; x < kSide; x++) {
            size_t i = size_t(y) * kSide + size_t(x);
            const int grain = int(fxGetRandom() * 24.0);
            rgb[i * 3] = (unsigned char)((x / 2 + grain) & 255);
            rgb[i * 3 + 1] = (unsigned char)((y / 2 + grain) & 255);
            rgb[i * 3 + 2] = (unsigned char)(((x + y) / 4 + grain) & 255);
            const int dx = x - kSide / 2, dy = y - kSide / 2;
            grey[i] = (unsigned char)(dx * dx + dy * dy < kSide * kSide / 5 ? 255 - grain : grain);
        }
    unsigned long colourSize = 0, maskSize = 0;
    unsigned char* colour = localEncode(rgb, 3, &colourSize);
    unsigned char* mask = localEncode(grey, 1, &maskSize);

    SMovie movie;
    movie.compiled = movie.inMemory = true;
    movie.maxCropWidth = movie.maxCropHeight = kSide;
    movie.colorData.Push(colour);  // the blocks stay ours: freed below
    movie.colorSizes.PushInt(int(colourSize));
    movie.maskData.Push(mask);
    movie.maskSizes.PushInt(int(maskSize));
    FXMaterial m;
    bool ok = true;
    double engine = localTime([&] {
        ok = movie.PrepareTextureMem(&gl, 0, &m) && ok;
        glFinish();
    });
    std::vector<unsigned char> a, b;
    double direct = localTime([&] {
        localDecodeJpeg(colour, colourSize, &a);
        localDecodeJpeg(mask, maskSize, &b);
    });
    const double other = engine > direct ? (engine - direct) / engine : 0.0;
    printf("movie-frame|%.2f ms, %.0f %% not decoding%s|%.2f ms libjpeg-turbo|%.2f|< 20 %% not decoding|%s\n",
           engine * 1e3, other * 100.0, ok ? "" : " (refused)", direct * 1e3, engine / direct,
           ok && other < 0.2 ? "ok" : "MISS");
    m.Destroy();
    movie.Destroy();
    free(colour);
    free(mask);
    gl.SetAct(false);
    gl.Destroy();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "pane") == 0) return localPane(atoi(argv[2]), atoi(argv[3]));
    if (argc == 2 && strcmp(argv[1], "glstart") == 0) return localGlStart();
    if (argc == 3 && strcmp(argv[1], "floor") == 0 && (!strcmp(argv[2], "bare") || !strcmp(argv[2], "quad")))
        return localFloor(strcmp(argv[2], "quad") == 0);
    if (argc == 2 && strcmp(argv[1], "movie-frame") == 0) return localMovieFrame();
    fprintf(stderr, "usage: qmbench_x11 pane W H | glstart | floor bare|quad | movie-frame\n");
    return 2;
}
