// The program entry on X11: signals first (a launcher may end the saver at any moment), Xlib's
// thread support before any other Xlib call, the launcher words, then the host.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/trace.h"
#include "render/x11_display.h"
#include "saver/host.h"
#include "saver/launch.h"
#include "saver/scene.h"
#include "saver/scrnsave.h"

int main(int argc, char** argv) {
    hostInstallSignals();
    fxX11InitThreads();
    std::vector<std::string> words(argv + 1, argv + argc);
    const char* launcherWindow = getenv("XSCREENSAVER_WINDOW");
    std::string error;
    if (!qmParseLaunchWords(words, launcherWindow, &qmLaunch, &error)) {
        fprintf(stderr, "qmsave: %s\nRun qmsave --help for the usage.\n", error.c_str());
        return 2;
    }
    if (qmLaunch.mode == kModeRoot && launcherWindow && *launcherWindow && !qmLaunch.windowId)
        fprintf(stderr, "qmsave: XSCREENSAVER_WINDOW=%s is no window id; drawing over the whole screen\n",
                launcherWindow);
    showFps = qmLaunch.showFps;
    int status = ScreenSaverMain(nullptr, argc > 0 ? argv[0] : "qmsave", qmLaunch.letters.c_str());
    hostClose();
    fxCloseTraces();
    return status;
}
