// What a platform host provides (host_x11.cpp here, host_w32.cpp for Windows): the connection to
// the window system, the monitors, the saver's windows in each launch style, the window system's
// events turned into the host's messages (scrnsave.h), the cursor, the password services, and the
// desktop photograph the scene maps onto its models. The message logic that uses them lives in
// scrnsave.cpp and main.cpp and is the same everywhere.
#pragma once

#include <memory>
#include <vector>

#include "saver/desktop_source.h"
#include "saver/rect.h"
#include "saver/scrnsave.h"

class FXScrShot;

// Threads: every operation belongs to the window thread (the program's main thread). Window
// handles are the platform's own ids as void*; the host owns the saver windows it creates (one per
// monitor, or one) and never destroys someone else's window. Failures are results, with a line on
// standard error where the user must know why the saver did not show. End requests from signals
// and other threads arrive through end_request.h, whose handle the event wait watches.
class PHost : public PDesktopSource {
public:
    virtual ~PHost() = default;

    // Connects to the window system; false, with a message to the user, when there is none.
    // Repeated calls reuse the connection.
    virtual bool Open() = 0;
    // Destroys what is left of the saver's windows and lets go of the connection (which may be the
    // process's, closed by the program entry); every scene must be destroyed first.
    virtual void Close() = 0;
    // True once the connection to the window system broke.
    virtual bool DisplayLost() = 0;

    // Whether window exists (a foreign window may go at any moment: false, never an error).
    virtual bool IsWindow(void* window) = 0;
    // The window's client size; false (sizes untouched) when it does not exist.
    virtual bool ClientSize(void* window, int* width, int* height) = 0;
    // The monitors the full-screen style covers, each a rectangle of the screen; at least one (the
    // whole screen when the window system tells of none). Empty without a connection.
    virtual std::vector<QmRect> Monitors() = 0;
    // Creates a saver window of style, not shown: full screen over area, or at (0, 0) of parent at
    // the parent's size (area's size given), or a top-level window of area's size. Null on
    // failure.
    virtual void* MakeWindow(QmStyle style, void* parent, const QmRect& area) = 0;
    // Shows the window (on top, input grabbed by the first full-screen window shown). Does nothing
    // once an end was requested.
    virtual void ShowWindow(void* window) = 0;
    // Destroys the window (also one that someone else destroyed already); the last full-screen
    // window lets go of the input.
    virtual void DestroyWindow(void* window) = 0;
    // Hides the cursor over the window (full-screen style only; the others keep it).
    virtual void HideCursor(void* window) = 0;
    // The cursor in screen coordinates; false without a connection.
    virtual bool GetCursorPos(QmPoint* p) = 0;
    // Waits for the next event of the saver's windows that makes a message, or for an end request:
    // 1 with a message, 0 when timeoutMs passed first (-1: no limit), -1 when the window system
    // failed.
    virtual int NextEvent(QmMsg* m, int timeoutMs) = 0;
    // Takes the picture of the desktop that the window will cover, before it is shown: the
    // launcher's own photograph, or the screen. False when there is none (shot is then left
    // empty; the scene runs without a photograph).
    bool TakePhotograph(FXScrShot* shot, void* window) override = 0;

    // Password services of the platform (none but on Windows 9x).
    virtual bool IsWin9x() { return false; }
    virtual bool ScreenSaveUsesPassword() { return false; }
    virtual bool HasPasswordServices() { return false; }
};

// The host of the window system this program was first made for (X11 on Linux, Windows there).
std::unique_ptr<PHost> qmCreateHost();

// Which host a run of style gets: the one asked for; else Wayland for the full-screen style when
// a compositor answers at $WAYLAND_DISPLAY (also under Xwayland, where $DISPLAY is set too), else
// X11. Launchers' windows, previews, desktop windows and recordings are X11 windows.
QmWindowSystem qmChooseWindowSystem(QmWindowSystem asked, QmStyle style, bool compositorAnswers);
// The host for a run of style as qmChooseWindowSystem decides (Windows: always its own). Null,
// with the reason on standard error, when the system asked for is not in this build.
std::unique_ptr<PHost> qmCreateHostFor(QmStyle style, QmWindowSystem asked);
// Idle start: waits for minutes without input, calls runSaver, waits again, until a signal ends
// the wait or runSaver says it ended by one; the exit status. Only on Wayland, where the
// compositor tells the idle time: elsewhere it says so and returns 2. runSaver returns the run's
// status and sets *bySignal when a signal ended it.
int qmIdleMain(double minutes, QmWindowSystem asked, int (*runSaver)(void* user, bool* bySignal), void* user);
