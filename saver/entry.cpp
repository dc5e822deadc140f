// The program's modes, dispatched once the launcher words are read: help, version and register
// need no window; the configuration switch describes the configuration; record mode, the launcher
// words and the switch letters run the host. Everything a run needs (how its windows are shown,
// the data folder, the frame-rate readout) is resolved here, once, and handed down as values.
#include "saver/entry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "saver/config.h"
#include "saver/host.h"
#include "saver/launch.h"
#include "saver/main.h"
#include "saver/record.h"
#include "saver/scrnsave.h"

namespace {

// A normal window for trying the saver.
const int kDesktopWidth = 1280;
const int kDesktopHeight = 720;

// The longest data folder name the saver takes, with its terminating zero.
const size_t kRuvaPathSize = 520;

// The configuration switch: there is no settings dialog on this platform, so the configuration
// is described instead.
int localConfigure(bool letterGiven) {
    ScreenSaverDescribeConfig();
    if (!letterGiven) printf("Run qmsave --help to see how to start the saver.\n");
    return 0;
}

// The data folder of this run; a folder too long is left out (empty).
std::string localDataDir() {
    QmConfig c = qmLoadConfig();
    if (c.dataDir.size() < kRuvaPathSize) return c.dataDir;
    fprintf(stderr, "qmsave: the data folder's name is too long: %s\n", qmShortened(c.dataDir).c_str());
    return std::string();
}

// What the scenes of a run are built from.
QmSceneOptions localSceneOptions(const QmLaunch& launch) {
    QmSceneOptions scene;
    scene.dataDir = localDataDir();
    scene.showFps = launch.showFps;
    scene.desktopFile = launch.desktopFile;
    const char* whole = getenv("QMSAVE_WHOLE_FRAMES");
    scene.wholeFrames = whole && *whole && strcmp(whole, "0") != 0;
    return scene;
}

// One run of the host of system with a saver whose scenes are built from scene; *bySignal tells
// whether a signal ended it.
int localRunHost(void* instance, const QmHostLaunch& how, const QmSceneOptions& scene, QmWindowSystem system,
                 bool* bySignal = nullptr) {
    std::unique_ptr<PHost> platform = qmCreateHostFor(how.style, system);
    if (!platform) return 1;
    QmSaver saver(scene);
    QmScreenSaver host(*platform, saver, instance);
    int status = host.Run(how);
    if (bySignal) *bySignal = host.EndReason() == kEndSignal;
    return status;
}

// What each full-screen run of the idle start is made of.
struct localIdleRun {
    void* instance;
    QmSceneOptions scene;
    QmWindowSystem system;
};

int localRunOnIdle(void* user, bool* bySignal) {
    const localIdleRun* run = static_cast<const localIdleRun*>(user);
    return localRunHost(run->instance, QmHostLaunch(), run->scene, run->system, bySignal);
}

}  // namespace

int qmSaverMain(void* instance, const char* programName, const std::vector<std::string>& words,
                const char* launcherWindow) {
    (void)programName;
    QmLaunch launch;
    std::string error;
    if (!qmParseLaunchWords(words, launcherWindow, &launch, &error)) {
        fprintf(stderr, "qmsave: %s\nRun qmsave --help for the usage.\n", error.c_str());
        return 2;
    }
    if (launch.mode == kModeRoot && launcherWindow && *launcherWindow && !launch.windowId)
        fprintf(stderr, "qmsave: XSCREENSAVER_WINDOW=%s is no window id; drawing over the whole screen\n",
                launcherWindow);
    QmHostLaunch how;
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
            return qmRecordMain(launch, localSceneOptions(launch), instance);
        case kModeIdle: {
            localIdleRun run{instance, localSceneOptions(launch), launch.windowSystem};
            return qmIdleMain(launch.idleMinutes, launch.windowSystem, localRunOnIdle, &run);
        }
        case kModeWindow:
            how.style = kStyleDesktop;
            how.width = kDesktopWidth, how.height = kDesktopHeight;
            break;
        case kModeRoot:
        case kModeWindowId:
            if (launch.windowId) how.style = kStyleLauncher, how.windowId = launch.windowId;
            break;
        case kModeLetters: {
            QmSwitchScan scan = qmScanSwitches(launch.letters.c_str());
            switch (scan.which) {
                case kSwitchScreenSaver:
                    break;
                case kSwitchPreview:
                    // A missing or zero handle ends the preview at once, without a window.
                    if (!scan.hasNumber || scan.number == 0) return 0;
                    how.style = kStylePreview, how.windowId = scan.number;
                    break;
                case kSwitchPassword: {
                    std::unique_ptr<PHost> platform = qmCreateHost();
                    QmSaver saver{QmSceneOptions()};
                    return QmScreenSaver(*platform, saver, instance).ChangePassword(scan.hasNumber ? scan.number : 0);
                }
                case kSwitchConfigure:
                    QmSaver(QmSceneOptions()).RegisterDialogClasses(instance);
                    return localConfigure(scan.letter);
            }
            break;
        }
    }
    return localRunHost(instance, how, localSceneOptions(launch), launch.windowSystem);
}
