// Idle start on Wayland (qmsave --idle MINUTES): one process that waits on the compositor's idle
// notification (ext_idle_notifier_v1, else org_kde_kwin_idle) for that much time without input,
// runs the full-screen saver, and once the saver has ended waits for input to come back and then
// for the next idle time. The waits sleep on the connection and the end requests' descriptor:
// nothing is polled. A signal, in a wait or during the saver, ends the process with status 0; a
// lost compositor with status 1.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/wayland_display.h"
#include "saver/end_request.h"
#include "saver/host_wayland.h"
#include "saver/wayland_idle.h"

namespace {

enum localWaitResult { kReached, kEndRequested, kLost };

// Dispatches the idle connection until the seat is idle (wantIdle) or active again.
localWaitResult localWait(FXWaylandDisplay& wl, const QmWaylandIdle& idle, bool wantIdle) {
    while (idle.idle != wantIdle) {
        if (qmPendingEnd() != kEndNone) {
            qmTakeEnd();
            return kEndRequested;
        }
        if (wl.Dispatch(-1) < 0) return kLost;
    }
    return kReached;
}

int localLost() {
    fprintf(stderr, "qmsave: the connection to the Wayland compositor was lost\n");
    return 1;
}

}  // namespace

int qmWaylandIdleMain(double minutes, int (*runSaver)(void* user, bool* bySignal), void* user) {
    FXWaylandDisplay wl;
    if (!wl.Connect()) {
        const char* name = getenv("WAYLAND_DISPLAY");
        fprintf(stderr, "qmsave: cannot connect to the Wayland compositor %s\n", name ? name : "wayland-0");
        return 1;
    }
    wl.alsoWatch = qmEndRequestFd();
    QmWaylandIdle idle;
    if (!idle.Start(&wl, uint32_t(std::llround(minutes * 60000.0)))) {
        fprintf(stderr,
                "qmsave: the compositor tells no idle time (it offers neither ext_idle_notifier_v1 nor "
                "org_kde_kwin_idle); start qmsave -s from its own idle tool instead\n");
        return 1;
    }
    for (;;) {
        localWaitResult r = localWait(wl, idle, true);
        if (r != kReached) return r == kLost ? localLost() : 0;
        bool bySignal = false;
        int status = runSaver(user, &bySignal);
        if (bySignal) return 0;
        // The saver's own connection may have seen the compositor go; this one tells for sure.
        if (status != 0 && wl.Dispatch(0) < 0) return localLost();
        // The input that ended the saver, then the next idle time.
        r = localWait(wl, idle, false);
        if (r != kReached) return r == kLost ? localLost() : 0;
    }
}
