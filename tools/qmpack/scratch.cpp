// The scratch folder and the engine's errors of one command.
#include "scratch.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/trace.h"
#include "cleanup.h"
#include "qmpack.h"

QMPackScratch::~QMPackScratch() {
    if (dir.empty()) return;
    if (!log.empty()) fxCloseTraces();
    if (DIR* d = opendir(dir.c_str())) {
        std::vector<std::string> names;
        while (struct dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
        for (const std::string& n : names) {
            std::string p = dir + "/" + n;
            unlink(p.c_str());
            qmpackUntrackTemp(p);
        }
    }
    qmpackRemoveTemp(dir);
    rmdir(dir.c_str());
}

bool QMPackScratch::Create(bool quiet) {
    const char* tmp = getenv("TMPDIR");
    std::string root = tmp && *tmp ? tmp : "/tmp";
    qmpackSweepStale(root, "qmpack-");
    std::string pattern = root + "/qmpack-" + qmpackPidTag() + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) {
        int e = errno;
        if (!quiet) qmpackFail("cannot make a scratch folder in %s (%s)", root.c_str(), strerror(e));
        return false;
    }
    dir = name.data();
    qmpackTrackTemp(dir, true);
    log = dir + "/engine.log";
    qmpackTrackTemp(log);
    if (!fxOpenTraces(log.c_str())) log.clear();
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
