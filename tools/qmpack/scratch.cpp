// The scratch folder and the engine's errors of one command.
#include "scratch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cleanup.h"
#include "host.h"
#include "qmpack.h"

QMPackScratch::~QMPackScratch() {
    if (dir.empty()) return;
    std::vector<std::string> names;
    qmpackListFolder(dir, &names);
    for (const std::string& n : names) {
        std::string p = dir + "/" + n;
        qmpackRemoveFile(p);
        qmpackUntrackTemp(p);
    }
    qmpackRemoveTemp(dir);
    qmpackRemoveFolder(dir);
}

bool QMPackScratch::Create(bool quiet) {
    std::string root = qmpackTempRoot();
    qmpackSweepStale(root, "qmpack-");
    if (int e = qmpackMakeTempFolder(root + "/qmpack-" + qmpackPidTag(), &dir)) {
        if (!quiet) qmpackFail("cannot make a scratch folder in %s (%s)", root.c_str(), strerror(e));
        return false;
    }
    qmpackTrackTemp(dir, true);
    return true;
}

std::string QMPackScratch::NewPath(const std::string& suffix) {
    std::string p = dir + "/" + std::to_string(++counter) + suffix;
    qmpackTrackTemp(p);
    return p;
}

std::vector<FXError> QMPackScratch::TakeEngineErrors() { return engineErrors.Take(); }

bool QMPackScratch::ReportEngineErrors(const std::string& where) {
    bool ok = true;
    for (const FXError& e : TakeEngineErrors()) {
        // Words a material library file does not know are skipped by its reader: tell, go on.
        if (e.IsWarning()) {
            qmpackWarn("%s: %s", where.c_str(), e.Text().c_str());
            continue;
        }
        if (ok) qmpackFail("%s: %s", where.c_str(), e.Text().c_str());
        ok = false;
    }
    return ok;
}
