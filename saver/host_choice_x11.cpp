// The Linux hosts: X11 always, Wayland in a build with its libraries (compiled with QM_WAYLAND
// there). The run's host is chosen once, before any window, by qmChooseWindowSystem.
#include <cstdio>
#include <cstdlib>

#include "saver/host.h"
#ifdef QM_WAYLAND
#include "saver/host_wayland.h"
#endif

std::unique_ptr<PHost> qmCreateHostFor(QmStyle style, QmWindowSystem asked) {
#ifdef QM_WAYLAND
    bool answers = asked == kSystemAuto && style == kStyleFullScreen && qmWaylandCompositorAnswers();
    if (qmChooseWindowSystem(asked, style, answers) == kSystemWayland) return qmCreateWaylandHost();
#else
    if (asked == kSystemWayland) {
        fprintf(stderr, "qmsave: this build has no Wayland support (the Wayland packages were missing when it "
                        "was built)\n");
        return nullptr;
    }
    (void)style;
#endif
    return qmCreateHost();
}

int qmIdleMain(double minutes, QmWindowSystem asked, int (*runSaver)(void* user, bool* bySignal), void* user) {
    const char* wayland = getenv("WAYLAND_DISPLAY");
#ifdef QM_WAYLAND
    if (asked != kSystemX11 && wayland && *wayland) return qmWaylandIdleMain(minutes, runSaver, user);
#else
    (void)minutes, (void)runSaver, (void)user;
#endif
    fprintf(stderr,
            "qmsave: --idle waits for idle time on a Wayland compositor%s; on X11 a screen-saver daemon "
            "(XScreenSaver) starts qmsave --root\n",
            asked == kSystemX11 ? "" : wayland && *wayland ? ", which this build cannot reach" : " ($WAYLAND_DISPLAY is not set)");
    return 2;
}
