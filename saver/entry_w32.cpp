// The program entry on Windows: console events routed into end requests, the command line split
// into words for the launcher words, then the host with the switch letters.
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/trace.h"
#include "saver/entry.h"
#include "saver/end_request.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
    qmInstallEndSignals();
    std::vector<std::string> words;
    std::istringstream in(cmdLine ? cmdLine : "");
    for (std::string w; in >> w;) words.push_back(w);
    char program[MAX_PATH] = "qmsave.scr";
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    int status = qmSaverMain(instance, program, words, nullptr);
    fxCloseTraces();
    return status;
}
