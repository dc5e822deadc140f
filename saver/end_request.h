// End requests: the one way a signal, another thread or a finished job asks the running saver to
// end. A request is kept until the host's message loop takes it; the loop waits on a handle that
// a request wakes (a pipe on POSIX, an event on Windows), so it never polls for one.
//
// Signals (SIGTERM, SIGINT; the console's close and break events on Windows) are routed here
// first thing by the program entry. A signal must end the saver within a second whatever its
// threads are doing, a package being read included: when the loop has not taken the request a
// second later, the process ends at once with status 0.
#pragma once

// Why a run ends when the host, not the user's input, ends it.
enum QmEnd { kEndNone = 0, kEndSignal, kEndWindowGone, kEndClosed, kEndFinished, kEndDisplayLost, kEndMonitorsChanged,
            kEndMonitorGone };  // kEndMonitorGone: one window's monitor went away; the others run on

// The reason in words, for the trace log.
const char* qmEndName(QmEnd why);

// Routes the termination signals into end requests. Called first thing by the program entry.
void qmInstallEndSignals();
// Asks the running saver to end (any thread; async-signal-safe). The first reason stays until
// it is taken.
void qmRequestEnd(QmEnd why);
// The request not yet taken, or kEndNone.
QmEnd qmPendingEnd();
// Takes the request (kEndNone when there is none) and clears the wake-up handle: the message
// loop acknowledges it, so a signal's deadline gives the orderly end its time.
QmEnd qmTakeEnd();
// What a waiting loop watches for requests: POSIX, a file descriptor that becomes readable
// (-1 when none could be made); Windows, an event handle.
int qmEndRequestFd();
void* qmEndRequestEvent();
// The run has begun its orderly end for a reason of its own (input, its window taken away): a
// signal that comes now gives that end the same few seconds as one the loop took itself.
void qmEndUnderWay();
// Forgets a request and the acknowledgement (tests that run the host several times).
void qmResetEndRequests();
