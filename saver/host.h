// What a platform's host file provides (host_x11.cpp here, host_w32.cpp for Windows): the saver
// window in each launch style, the window system's events turned into the host's messages
// (scrnsave.h), the cursor, end requests from signals and other threads, the password services,
// and the desktop photograph the scene maps onto its models. The message logic that uses them
// lives in scrnsave.cpp and main.cpp and is the same everywhere.
#pragma once

#include "saver/scrnsave.h"

class FXScrShot;

// Threads: every operation belongs to the window thread (the program's main thread), except
// hostRequestEnd and hostPendingEnd, which any thread and a signal handler may call. Window
// handles are the platform's own ids as void*; the host owns the saver window it creates and
// never destroys someone else's window. Failures are results, with a line on standard error
// where the user must know why the saver did not show.

// Connects to the window system; false, with a message to the user, when there is none.
// Repeated calls reuse the connection.
bool hostOpen();
// Closes the connection; the scene must be destroyed first.
void hostClose();
// True once the connection to the window system broke.
bool hostDisplayLost();

// Routes SIGTERM and SIGINT (or the platform's equivalents) into an end request. Called first
// thing by the program entry.
void hostInstallSignals();
// Asks the message loop to end the run (any thread; async-signal-safe): hostNextEvent answers
// with kWmHostEnd.
void hostRequestEnd(QmEnd why);
// The end request not yet answered, or kEndNone.
QmEnd hostPendingEnd();

// Whether window exists (a foreign window may go at any moment: false, never an error).
bool hostIsWindow(void* window);
// The window's client size; false (sizes untouched) when it does not exist.
bool hostClientSize(void* window, int* width, int* height);
// The size of the screen the saver covers; untouched without a connection.
void hostScreenSize(int* width, int* height);
// Creates the saver window of style, not shown: full screen at (0, 0) of width x height, or at
// (0, 0) of parent, or a top-level window of that size. Null on failure.
void* hostCreateWindow(QmStyle style, void* parent, int width, int height);
// Shows the window (on top, input grabbed, for the full-screen style). Does nothing once an end
// was requested.
void hostShowWindow(void* window);
// Destroys the window (also one that someone else destroyed already) and lets go of the input.
void hostDestroyWindow(void* window);
// Hides the cursor over the window (full-screen style only; the others keep it).
void hostHideCursor(void* window);
// The cursor in screen coordinates; false without a connection.
bool hostGetCursorPos(QmPoint* p);
// Waits for the next event of the saver's windows that makes a message, or for an end request:
// 1 with a message, 0 when timeoutMs passed first (-1: no limit), -1 when the window system
// failed.
int hostNextEvent(QmMsg* m, int timeoutMs);
// Takes the picture of the desktop that the window will cover, before it is shown: the
// launcher's own photograph, or the screen. False when there is none
// (shot is then left empty; the scene runs without a photograph).
bool hostTakePhotograph(FXScrShot* shot, void* window);

// Password services of the platform. None here: the steps that use them are skipped.
bool hostIsWin9x();
bool hostScreenSaveUsesPassword();
bool hostHasPasswordServices();
