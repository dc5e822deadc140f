// The bench's X11 helpers:
//   qmbench_x11 pane W H    maps a W x H top-level window, prints its id (decimal) and keeps it
//                           until killed: the preview pane the saver draws into with -p ID
//   qmbench_x11 glstart     opens the display, makes a full-screen window with an OpenGL context
//                           current and shows one cleared frame, prints the renderer's name, then ends: the least any
//                           OpenGL program does before its first frame (the start-up reference)
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

int localGlStart() {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return localFail("no display");
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* vi = glXChooseVisual(dpy, DefaultScreen(dpy), attributes);
    if (!vi) return localFail("no double-buffered visual");
    XSetWindowAttributes swa;
    memset(&swa, 0, sizeof swa);
    Window root = RootWindow(dpy, vi->screen);
    swa.colormap = XCreateColormap(dpy, root, vi->visual, AllocNone);
    swa.event_mask = StructureNotifyMask;
    swa.override_redirect = True;
    Window w = XCreateWindow(dpy, root, 0, 0, unsigned(DisplayWidth(dpy, vi->screen)),
                             unsigned(DisplayHeight(dpy, vi->screen)), 0, vi->depth, InputOutput, vi->visual,
                             CWColormap | CWEventMask | CWOverrideRedirect, &swa);
    GLXContext ctx = glXCreateContext(dpy, vi, nullptr, True);
    if (!ctx) return localFail("no OpenGL context");
    XMapWindow(dpy, w);
    localWaitMapped(dpy, w);
    glXMakeCurrent(dpy, w, ctx);
    glClear(GL_COLOR_BUFFER_BIT);
    glXSwapBuffers(dpy, w);
    glFinish();
    printf("%s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    glXMakeCurrent(dpy, None, nullptr);
    glXDestroyContext(dpy, ctx);
    XFree(vi);
    XCloseDisplay(dpy);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "pane") == 0) return localPane(atoi(argv[2]), atoi(argv[3]));
    if (argc == 2 && strcmp(argv[1], "glstart") == 0) return localGlStart();
    fprintf(stderr, "usage: qmbench_x11 pane W H | glstart\n");
    return 2;
}
