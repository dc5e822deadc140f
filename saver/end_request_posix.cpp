// End requests on POSIX: an atomic reason and a self-pipe that wakes the message loop's poll.
// SIGTERM and SIGINT write both; the only other thing a handler does is arm a one-second alarm.
// If the loop has not taken the request by then (the window thread is still reading a package,
// or blocked in a slow file system), SIGALRM ends the process with status 0; once the loop has
// taken it, the orderly end gets a few seconds more before the same happens.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "saver/end_request.h"

namespace {

const unsigned kSignalGraceSeconds = 1;
const unsigned kOrderlyEndSeconds = 5;

// Process-wide by nature: a signal handler can reach nothing else.
std::atomic<int> localPending{kEndNone};
std::atomic<bool> localTaken{false};
std::atomic<bool> localAlarmArmed{false};
int localPipe[2] = {-1, -1};

void localWrite(const char* text, size_t n) {
    ssize_t r = write(2, text, n);
    (void)r;
}

void localOnAlarm(int) {
    if (localTaken.load() && localAlarmArmed.exchange(false)) {
        alarm(kOrderlyEndSeconds);  // the loop is ending the run: give it its time once
        return;
    }
    static const char kText[] = "qmsave: ended by a signal before the saver could stop in order\n";
    localWrite(kText, sizeof kText - 1);
    _exit(0);
}

void localOnSignal(int) {
    qmRequestEnd(kEndSignal);
    bool armed = false;
    if (localAlarmArmed.compare_exchange_strong(armed, true)) alarm(kSignalGraceSeconds);
}

}  // namespace

void qmInstallEndSignals() {
    if (localPipe[0] < 0 && pipe2(localPipe, O_NONBLOCK | O_CLOEXEC) != 0) localPipe[0] = localPipe[1] = -1;
    struct sigaction sa = {};
    sa.sa_handler = localOnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sa.sa_handler = localOnAlarm;
    sigaction(SIGALRM, &sa, nullptr);
}

void qmRequestEnd(QmEnd why) {
    int none = kEndNone;
    localPending.compare_exchange_strong(none, int(why));
    if (localPipe[1] >= 0) {
        ssize_t r = write(localPipe[1], "e", 1);
        (void)r;  // a full pipe already wakes the loop
    }
}

QmEnd qmPendingEnd() { return QmEnd(localPending.load()); }

QmEnd qmTakeEnd() {
    // Drained first: a request that comes meanwhile leaves its byte and wakes the next wait.
    if (localPipe[0] >= 0) {
        char drain[64];
        while (read(localPipe[0], drain, sizeof drain) > 0) {
        }
    }
    QmEnd why = QmEnd(localPending.exchange(kEndNone));
    if (why != kEndNone) localTaken = true;
    return why;
}

void qmEndUnderWay() { localTaken = true; }

int qmEndRequestFd() { return localPipe[0]; }
void* qmEndRequestEvent() { return nullptr; }

void qmResetEndRequests() {
    localPending = kEndNone;
    localTaken = false;
    if (localAlarmArmed.exchange(false)) alarm(0);
    if (localPipe[0] >= 0) {
        char drain[64];
        while (read(localPipe[0], drain, sizeof drain) > 0) {
        }
    }
}
