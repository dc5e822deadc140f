// The program entry on X11: signals first (a launcher may end the saver at any moment), Xlib's
// thread support before any other Xlib call, the launcher words, then the host.
#include <cstdlib>
#include <string>
#include <vector>

#include "base/trace.h"
#include "base/x11_display.h"
#include "saver/entry.h"
#include "saver/end_request.h"

int main(int argc, char** argv) {
    qmInstallEndSignals();
    fxX11InitThreads();
    std::vector<std::string> words(argv + 1, argv + argc);
    int status = qmSaverMain(nullptr, argc > 0 ? argv[0] : "qmsave", words, getenv("XSCREENSAVER_WINDOW"));
    fxX11CloseDisplay();
    fxCloseTraces();
    return status;
}
