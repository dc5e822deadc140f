// End requests on Windows: an atomic reason and a manual-reset event the message loop waits on.
// The console's Ctrl+C, Ctrl+Break and close events count as signals. A console handler runs on
// a thread of its own, so a blocked window thread does not stop it; Windows itself ends the
// process a few seconds after a close event.
#include <windows.h>

#include <atomic>

#include "saver/end_request.h"

namespace {

std::atomic<int> localPending{kEndNone};
HANDLE localEvent = nullptr;

BOOL WINAPI localConsoleEvent(DWORD) {
    qmRequestEnd(kEndSignal);
    return TRUE;
}

}  // namespace

void qmInstallEndSignals() {
    if (!localEvent) localEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(localConsoleEvent, TRUE);
}

void qmRequestEnd(QmEnd why) {
    int none = kEndNone;
    localPending.compare_exchange_strong(none, int(why));  // the first reason stays
    if (localEvent) SetEvent(localEvent);
}

QmEnd qmPendingEnd() { return QmEnd(localPending.load()); }

QmEnd qmTakeEnd() {
    if (localEvent) ResetEvent(localEvent);  // first: a request that comes meanwhile sets it again
    return QmEnd(localPending.exchange(kEndNone));
}

void qmEndUnderWay() {}  // no deadline of its own here: Windows gives a closed console its few seconds

int qmEndRequestFd() { return -1; }

void* qmEndRequestEvent() {
    if (!localEvent) localEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return localEvent;
}

void qmResetEndRequests() { qmTakeEnd(); }
