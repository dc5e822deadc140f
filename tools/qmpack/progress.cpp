// The progress bar and its plain-line form.
#include "progress.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "qmpack.h"

namespace {

long long localNowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

void QMPackProgress::Start(bool isLong, const std::string& title, int steps) {
    active = isLong && qmpackVerbosity > 0;
    total = steps > 0 ? steps : 1;
    if (!active) return;
    bar = isatty(fileno(stderr)) != 0;
    fprintf(stderr, "qmpack: %s\n", title.c_str());
}

void QMPackProgress::Step(int done, const std::string& what) {
    if (!active || !bar) return;
    long long now = localNowMs();
    if (drawn && now - lastDraw < 100 && done < total) return;  // at most ten redraws a second
    lastDraw = now;
    const int kWidth = 30;
    int filled = int((long long)done * kWidth / total);
    std::string shown = what.size() > 40 ? "..." + what.substr(what.size() - 37) : what;
    fprintf(stderr, "\r[%s%s] %d/%d %-40s", std::string(size_t(filled), '#').c_str(),
            std::string(size_t(kWidth - filled), '.').c_str(), done, total, shown.c_str());
    fflush(stderr);
    drawn = true;
}

void QMPackProgress::Clear() {
    if (drawn) fprintf(stderr, "\r%*s\r", 90, "");
    drawn = false;
}

void QMPackProgress::Finish(const std::string& closing) {
    if (!active) return;
    Clear();
    fprintf(stderr, "qmpack: %s\n", closing.c_str());
    active = false;
}
