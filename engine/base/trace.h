// The trace log: a process-wide text file any thread may write records to. Each trc/err record
// carries the thread prefix "%08x: " and the time prefix "[%.3f] "; err records lead with
// "#ERROR: "; trc1 writes the message alone. Messages are cut at 4096 characters and each record
// is flushed at once. One lock serialises formatting and writing.
#pragma once

#include <cstdio>

#include "base/compiler.h"
#include "base/errors.h"

bool fxOpenTraces(const char* filename);
bool fxTracesOpened();
void fxCloseTraces();

void trc(const char* fmt, ...) FX_PRINTF(1, 2);
void trc1(const char* fmt, ...) FX_PRINTF(1, 2);
void err(const char* fmt, ...) FX_PRINTF(1, 2);
// An err record that says what kind of error it is (and which function reports it, written as
// "origin -> " before the message); this thread's error capture keeps it (errors.h). The plain
// form above is kept as FX_ERR_OTHER.
void err(const FXErrorKind& kind, const char* fmt, ...) FX_PRINTF(2, 3);
// Writes an error record when the log is open and always shows the message to the user; the
// thread's error capture keeps it as FX_ERR_OTHER.
int errmsg(const char* fmt, ...) FX_PRINTF(1, 2);

// ---- provided by the platform file (trace_posix.cpp, trace_w32.cpp) ----
// Shows an error message to the user (a message box on Windows, standard error here); returns
// the box's result (1 = OK).
int fxShowErrorMessage(const char* text);
// Opens the trace log for writing, emptied. Only a regular file is written: a symbolic link
// planted where the log goes (a shared data folder) is not followed, and a device or a pipe is
// refused. Null when the file cannot be opened or is refused.
FILE* fxPlatformOpenLog(const char* filename);
