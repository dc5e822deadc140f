// The program's modes, dispatched once the launcher words are read: help, version and register
// need no window; record mode, the launcher words and the switch letters run the host.
#include "saver/entry.h"

#include <cstdio>

#include "saver/launch.h"
#include "saver/main.h"
#include "saver/record.h"
#include "saver/scrnsave.h"

namespace {

// A normal window for trying the saver.
const int kDesktopWidth = 1280;
const int kDesktopHeight = 720;

// The host's launch for the launcher words that show the saver.
QmHostLaunch localHostLaunch(const QmLaunch& launch) {
    QmHostLaunch how;
    if (launch.mode == kModeWindow) {
        how.style = kStyleDesktop;
        how.width = kDesktopWidth, how.height = kDesktopHeight;
    } else if (launch.windowId) {
        how.style = kStyleLauncher;
        how.windowId = launch.windowId;
    }
    return how;
}

}  // namespace

int qmSaverMain(void* instance, const char* programName, const std::vector<std::string>& words,
                const char* launcherWindow) {
    QmLaunch launch;
    std::string error;
    if (!qmParseLaunchWords(words, launcherWindow, &launch, &error)) {
        fprintf(stderr, "qmsave: %s\nRun qmsave --help for the usage.\n", error.c_str());
        return 2;
    }
    if (launch.mode == kModeRoot && launcherWindow && *launcherWindow && !launch.windowId)
        fprintf(stderr, "qmsave: XSCREENSAVER_WINDOW=%s is no window id; drawing over the whole screen\n",
                launcherWindow);
    QmSceneOptions scene;
    scene.showFps = launch.showFps;
    qmSetSceneOptions(scene);
    switch (launch.mode) {
        case kModeHelp:
            fputs(qmUsageText(), stdout);
            return 0;
        case kModeVersion:
            printf("%s\n", qmVersionText());
            return 0;
        case kModeRegister:
            return ScreenSaverRegister();
        case kModeRecord:
            return qmRecordMain(launch, instance, programName);
        case kModeRoot:
        case kModeWindowId:
        case kModeWindow: {
            QmHostLaunch how = localHostLaunch(launch);
            return ScreenSaverMain(instance, programName, launch.letters.c_str(), &how);
        }
        case kModeLetters:
            break;
    }
    return ScreenSaverMain(instance, programName, launch.letters.c_str());
}
