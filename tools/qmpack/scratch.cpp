// The scratch folder and the engine trace capture.
#include "scratch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/trace.h"
#include "cleanup.h"
#include "host.h"
#include "qmpack.h"

QMPackScratch::~QMPackScratch() {
    if (dir.empty()) return;
    if (!log.empty()) fxCloseTraces();
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

std::vector<std::string> QMPackScratch::TakeEngineErrors() {
    std::vector<std::string> out;
    if (log.empty()) return out;
    FILE* f = fopen(log.c_str(), "rb");
    if (!f) return out;
    fseek(f, logRead, SEEK_SET);
    std::string text;
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, got);
    fclose(f);
    logRead += long(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        size_t mark = line.find("] ");
        if (line.compare(0, 8, "#ERROR: ") == 0 && mark != std::string::npos) out.push_back(line.substr(mark + 2));
    }
    return out;
}

bool QMPackScratch::ReportEngineErrors(const std::string& where) {
    bool ok = true;
    for (const std::string& e : TakeEngineErrors()) {
        // Words a material library file does not know are skipped by its reader: tell, go on.
        if (e.find("unknown token") != std::string::npos) {
            qmpackWarn("%s: %s", where.c_str(), e.c_str());
            continue;
        }
        if (ok) qmpackFail("%s: %s", where.c_str(), e.c_str());
        ok = false;
    }
    return ok;
}
