// Helpers for tests on the X display.
#include "support/x11_test.h"

void qmMapAndWait(Display* dpy, Window w) {
    XSelectInput(dpy, w, StructureNotifyMask);
    XMapWindow(dpy, w);
    XEvent e;
    do XWindowEvent(dpy, w, StructureNotifyMask, &e);
    while (e.type != MapNotify);
}
