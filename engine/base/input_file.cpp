// The parts of reading files by name that are the same on every system: reasons in words, the
// stdio form of an open and whole-file reads with a limit.
#include "base/input_file.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "base/trace.h"

std::string FXInputInfo::Why() const {
    if (!refused.empty()) return refused;
    return error ? strerror(error) : "";
}

std::string fxByteCount(long long bytes) {
    if (bytes >= (1LL << 20) && bytes % (1LL << 20) == 0) return std::to_string(bytes >> 20) + " MB";
    if (bytes >= (1LL << 10) && bytes % (1LL << 10) == 0) return std::to_string(bytes >> 10) + " kB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

FILE* fxOpenInputFile(const char* path, FXInputInfo* info, unsigned flags) {
    FXInputInfo local;
    FXInputInfo& in = info ? *info : local;
    FILE* f = fxInputStream(fxOpenInput(path, &in, flags), flags);
    if (!f && !in.refused.empty()) err({FX_ERR_IO, nullptr, path}, "%s refused: %s\n", path, in.refused.c_str());
    return f;
}

namespace {

// Says that a file holds more than limit bytes (size of them, when known).
bool localTooLarge(FXInputInfo* in, long long size, long long limit) {
    in->refused = "is too large (" + (size > limit ? fxByteCount(size) : "more than " + fxByteCount(limit)) +
                  "; at most " + fxByteCount(limit) + ")";
    return false;
}

// Appends up to limit + 1 bytes of f to out (a pipe, or a file that grew): the one byte past the
// limit tells that there is more.
bool localReadStream(FILE* f, long long limit, std::string* out) {
    char buf[65536];
    while ((long long)out->size() <= limit) {
        size_t want = sizeof buf;
        if ((long long)(out->size() + want) > limit + 1) want = size_t(limit + 1 - (long long)out->size());
        size_t got = fread(buf, 1, want, f);
        out->append(buf, got);
        if (got < want) break;
    }
    return !ferror(f);
}

}  // namespace

bool fxReadInput(const char* path, long long limit, std::string* out, FXInputInfo* info, unsigned flags) {
    FXInputInfo local;
    FXInputInfo& in = info ? *info : local;
    out->clear();
    FILE* f = fxInputStream(fxOpenInput(path, &in, flags), flags);
    if (!f) return false;
    bool ok = true;
    try {
        if (!in.pipe && in.size > limit) {
            ok = localTooLarge(&in, in.size, limit);
        } else {
            if (!in.pipe) out->reserve(size_t(in.size) + 1);
            ok = localReadStream(f, limit, out);
            if (!ok) in.error = errno ? errno : EIO;
            if (ok && (long long)out->size() > limit) ok = localTooLarge(&in, -1, limit);
        }
    } catch (const std::bad_alloc&) {
        in.refused = "is too large to read (no memory for " + fxByteCount(in.size) + ")";
        ok = false;
    }
    fclose(f);
    if (!ok) std::string().swap(*out);
    return ok;
}
