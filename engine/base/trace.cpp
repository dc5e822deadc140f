// The trace log's records, header and footer.
#include "base/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/other.h"
#include "base/thread.h"

namespace {

const int kMessageSize = 4096;
const char* const kRule = "------------------------------------------------";  // 48 hyphens

std::atomic<bool> localOpened{false};
FILE* localFile = nullptr;
void* localLock = nullptr;
char localMessage[kMessageSize + 1];

void localRecord(const char* lead, bool prefixes, const char* fmt, va_list args) {
    if (!localOpened.load() || !localLock) return;
    fxLock(localLock);
    if (localOpened.load()) {
        char threadPrefix[32];
        char timePrefix[64];
        snprintf(threadPrefix, sizeof(threadPrefix), "%08x: ", fxGetThreadId());
        snprintf(timePrefix, sizeof(timePrefix), "[%.3f] ", double(float(fxGetTime())));
        vsnprintf(localMessage, sizeof(localMessage), fmt, args);
        if (localFile) {
            if (lead) fputs(lead, localFile);
            if (prefixes) {
                fputs(threadPrefix, localFile);
                fputs(timePrefix, localFile);
            }
            fputs(localMessage, localFile);
            fflush(localFile);
        }
    }
    fxUnlock(localLock);
}

void localRecordText(const char* lead, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    localRecord(lead, true, fmt, args);
    va_end(args);
}

// An err record: the message is formatted once, written to the log and kept by the thread's
// error capture.
void localError(const FXErrorKind& kind, const char* fmt, va_list args) {
    char message[kMessageSize + 1];
    int at = 0;
    if (kind.origin) {
        at = snprintf(message, sizeof message, "%s -> ", kind.origin);
        if (at < 0) at = 0;
        if (at > kMessageSize) at = kMessageSize;
    }
    vsnprintf(message + at, sizeof message - size_t(at), fmt, args);
    localRecordText("#ERROR: ", "%s", message);
    fxNoteError(kind, message + at);
}

}  // namespace

bool fxOpenTraces(const char* filename) {
    if (localOpened.load()) {
        fxLock(localLock);
        if (localFile) {
            fprintf(localFile, "%s\nfxOpenTraces - attempt to open another traces\n", kRule);
            fprintf(localFile, "               (filename:%s)\n%s\n\n", filename ? filename : "", kRule);
            fflush(localFile);
        }
        fxUnlock(localLock);
        return false;
    }
    if (!filename || !*filename) return false;
    FILE* f = fxPlatformOpenLog(filename);
    if (!f) return false;
    fprintf(f, "%s\n fxOpenTraces (filename:%s)\n%s\n\n", kRule, filename, kRule);
    fflush(f);
    localFile = f;
    // The lock outlives a close: a record racing with fxCloseTraces must never lock a freed mutex.
    if (!localLock) localLock = fxCreateMutex();
    localOpened.store(true);
    return true;
}

bool fxTracesOpened() { return localOpened.load(); }

void fxCloseTraces() {
    if (!localOpened.load() || !localLock) return;
    fxLock(localLock);
    localOpened.store(false);
    if (localFile) {
        fprintf(localFile, "\n%s\n end of traces\n%s\n\n", kRule, kRule);
        fclose(localFile);
        localFile = nullptr;
    }
    fxUnlock(localLock);
}

void trc(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    localRecord(nullptr, true, fmt, args);
    va_end(args);
}

void trc1(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    localRecord(nullptr, false, fmt, args);
    va_end(args);
}

void err(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    localError(FX_ERR_OTHER, fmt, args);
    va_end(args);
}

void err(const FXErrorKind& kind, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    localError(kind, fmt, args);
    va_end(args);
}

int errmsg(const char* fmt, ...) {
    char message[kMessageSize + 1];
    va_list args;
    va_start(args, fmt);
    vsnprintf(message, sizeof(message), fmt, args);
    va_end(args);
    fxNoteError(FX_ERR_OTHER, message);
    if (localOpened.load() && localLock) {
        fxLock(localLock);
        if (localOpened.load() && localFile) {
            fprintf(localFile, "#ERROR: %08x: [%.3f] %s", fxGetThreadId(), double(float(fxGetTime())), message);
            fflush(localFile);
        }
        fxUnlock(localLock);
    }
    return fxShowErrorMessage(message);
}

// Defined in every build: a program built with assertions may link against an engine built without.
void fxAssertFailed(const char* what, const char* file, int line) {
    fprintf(stderr, "engine: assertion failed: %s (%s:%d)\n", what, file, line);
    err("assertion failed: %s (%s:%d)\n", what, file, line);
    fxCloseTraces();
    abort();
}
