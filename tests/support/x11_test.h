// Helpers for test programs that need the X display (the private Xvfb of ./qm test): skipping
// without one, and mapping a window.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include <X11/Xlib.h>

#define QM_REQUIRE_DISPLAY()                                                                  \
    do {                                                                                      \
        if (!getenv("DISPLAY") || !*getenv("DISPLAY"))                                        \
            GTEST_SKIP() << "DISPLAY is not set: these tests need an X server "               \
                            "(./qm test runs them under a private Xvfb)";                     \
    } while (0)

// Holds the server for this client while it lives, with its window raised: other test programs
// share the screen, and nothing of theirs may cover the window whose pixels a test reads back.
struct QmServerGrab {
    Display* dpy;
    QmServerGrab(Display* d, Window raised) : dpy(d) {
        XGrabServer(dpy);
        XRaiseWindow(dpy, raised);
        XSync(dpy, False);
    }
    ~QmServerGrab() {
        XUngrabServer(dpy);
        XSync(dpy, False);
    }
    QmServerGrab(const QmServerGrab&) = delete;
    QmServerGrab& operator=(const QmServerGrab&) = delete;
};

// Maps w and waits until the server says it is mapped.
void qmMapAndWait(Display* dpy, Window w);
