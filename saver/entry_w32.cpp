// The program entry on Windows: console events routed into end requests, the command line split
// into words for the launcher words, then the host with the switch letters.
#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "base/trace.h"
#include "saver/host.h"
#include "saver/launch.h"
#include "saver/scene.h"
#include "saver/scrnsave.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
    hostInstallSignals();
    std::vector<std::string> words;
    std::istringstream in(cmdLine ? cmdLine : "");
    for (std::string w; in >> w;) words.push_back(w);
    std::string error;
    if (!qmParseLaunchWords(words, nullptr, &qmLaunch, &error)) {
        fprintf(stderr, "qmsave: %s\nRun qmsave --help for the usage.\n", error.c_str());
        return 2;
    }
    showFps = qmLaunch.showFps;
    char program[MAX_PATH] = "qmsave.scr";
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    int status = ScreenSaverMain(instance, program, qmLaunch.letters.c_str());
    hostClose();
    fxCloseTraces();
    return status;
}
