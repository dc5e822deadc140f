// The choice between the window systems a Linux run may use: the rule alone, so it can be tested
// without either (host_choice_x11.cpp makes the host it names).
#include "saver/host.h"

QmWindowSystem qmChooseWindowSystem(QmWindowSystem asked, QmStyle style, bool compositorAnswers) {
    if (asked != kSystemAuto) return asked;
    // Only the full-screen style has a Wayland form: the other styles draw into X11 windows
    // (a launcher's, a preview pane's) or are X11 windows of their own.
    return style == kStyleFullScreen && compositorAnswers ? kSystemWayland : kSystemX11;
}
