// What the X11 platform files share: the one display connection of the process, a trap for X
// errors (so a vanished window is an answer, not the end of the process), and the windows the
// OpenGL device can draw into. Used by the device (gl_x11.cpp), the desktop capture
// (scrshot_x11.cpp) and the saver host.
//
// Call fxX11InitThreads before any other Xlib call of the process: the rendering context moves
// between the window thread and the render thread, which share the connection.
#pragma once

#include <cstdint>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

// XInitThreads, once; every other function here calls it first as well.
void fxX11InitThreads();
// The process's display connection, opened on first use from DISPLAY; null when there is none.
// Installs an error handler that traces X errors instead of ending the process.
Display* fxX11OpenDisplay();
// The open connection, or null (never opens one).
Display* fxX11GetDisplay();
// Closes the connection (and frees what was chosen for it). Destroy devices first.
void fxX11CloseDisplay();
// True once the connection to the server broke (the server went away or killed the client).
// Xlib then ends no process: its calls return at once, and the engine makes no more GLX calls.
bool fxX11DisplayLost();
// Called (on whichever thread met the broken connection) right after it was marked lost. Another
// thread may be blocked inside Xlib on the dead connection for good, so a program that must join
// its threads before it ends passes a function that ends the process itself. Null: none.
void fxX11SetLostHandler(void (*handler)());

// Error trap: X errors of the requests a thread makes between Trap and Untrap are recorded for
// that thread instead of traced. Untrap syncs with the server and returns the first error code
// seen (0: none). Each thread has its own trap: the display is held for the calling thread between
// the two calls (other threads' Xlib calls wait), so another thread's error never counts against
// it. Keep the section to Xlib calls only, and do not nest traps.
void fxX11TrapErrors(Display* dpy);
int fxX11UntrapErrors(Display* dpy);

// Marks window as one of the program's own or one it draws into. Such a window may be taken away
// by another client at any moment (a launcher ending the saver): an X error saying that it no
// longer exists (BadWindow, BadDrawable), met by any thread, is then traced as what it is, not
// reported as a fault. Remembers the last few windows marked.
void fxX11ExpectGone(Window window);

// True when the window exists (its attributes can be read); BadWindow gives false.
bool fxX11IsWindow(Display* dpy, Window window);

// The visual the OpenGL device draws with: RGBA 8/8/8, double buffer, depth 16 or more,
// stencil 16 when offered, else 8. Chosen once per connection; null when GL is unavailable.
// Owned by this module.
XVisualInfo* fxGLChooseVisual(Display* dpy);
// Creates a window with that visual (its own colormap), as a child of parent at (x, y). Not
// mapped. eventMask is selected on it. 0 on failure.
Window fxGLCreateWindow(Display* dpy, Window parent, int x, int y, int w, int h, long eventMask);
// Destroys a window made by fxGLCreateWindow and frees its colormap.
void fxGLDestroyWindow(Display* dpy, Window window);

// Window handles travel through the engine's interfaces as void*.
inline void* fxX11Handle(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }
inline Window fxX11Window(void* h) { return static_cast<Window>(reinterpret_cast<uintptr_t>(h)); }
