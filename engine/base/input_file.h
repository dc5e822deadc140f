// Files read by name. Every reader that opens a file by its path opens it here: without ever
// blocking, and only when it is a regular file. A named pipe without a writer would block the
// reader for ever, a device (/dev/zero, a terminal) feeds it without end, a folder is no file:
// all are refused with a reason in words. A tool may take a named pipe that the user named on
// its command line (FX_INPUT_PIPE_OK, `qmpack build x.dat <(printf ...)`); such a pipe is read as
// a stream, to its end or to the reader's limit.
//
// What a port implements is marked below (input_file_posix.cpp, input_file_w32.cpp); the
// whole-file read on top (input_file.cpp) is the same everywhere.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

enum : unsigned {
    FX_INPUT_TEXT = 1,     // a text stream (line ends translated where the system does that)
    FX_INPUT_PIPE_OK = 2,  // a named pipe is taken too (a stream: no size, no seeking)
};

// A file's identity: its device and inode (on Windows its volume and file index). Two paths name
// one file when their identities are equal, whatever their names (links included).
struct FXFileId {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool valid = false;
    bool operator==(const FXFileId& o) const { return valid && o.valid && device == o.device && inode == o.inode; }
    bool operator!=(const FXFileId& o) const { return !(*this == o); }
};

// What an open found out about the file.
struct FXInputInfo {
    int error = 0;         // the system's reason (an errno value) when the file could not be opened
    std::string refused;   // why a file that opened is not read ("is a named pipe, not a regular file")
    long long size = 0;    // a regular file's size in bytes (0 for a pipe)
    bool pipe = false;     // a named pipe taken under FX_INPUT_PIPE_OK
    FXFileId id;

    // Why the file cannot be read, in words ("No such file or directory", "is a directory", ...);
    // empty when it can.
    std::string Why() const;
};

// What is at a path, without opening it.
enum class FXPathKind { File, Folder, Other };
struct FXPathStat {
    FXPathKind kind = FXPathKind::Other;
    std::string other;  // for Other: what it is in words ("is a named pipe, not a regular file")
    unsigned mode = 0;  // permission bits (0 where the system has none)
};

// ---- provided by the platform file (input_file_posix.cpp, input_file_w32.cpp) ----
// Opens path for reading without blocking; a descriptor when it is a regular file (or a named
// pipe under FX_INPUT_PIPE_OK: it is given a few seconds to get a writer, and without one reads
// as empty), else -1 with the reason in *info. Reads block as usual once it is open.
int fxOpenInput(const char* path, FXInputInfo* info = nullptr, unsigned flags = 0);
// Closes a descriptor of fxOpenInput.
void fxCloseInput(int fd);
// Reads len bytes at offset of a regular file's descriptor (short reads retried); false at the
// end of the file or on an error (errno then says which; 0 at the end).
bool fxReadAt(int fd, long long offset, void* dst, size_t len);
// The size of the regular file behind a descriptor now; 0 when it cannot be told.
long long fxInputSize(int fd);
// The identity of what path names now, links followed; invalid when nothing is there.
FXFileId fxFileIdOf(const char* path);
// Fills st for what path names (links followed, or not with follow false); 0 or an errno value
// (ENOENT when nothing is there, ENOTDIR when a folder of the path is a file). On Windows a link
// or junction not followed is Other.
int fxStatPath(const char* path, FXPathStat* st, bool follow = true);
// The errno value of the system's last error (on Windows the one closest to GetLastError()), so
// that failures are worded the same everywhere with strerror.
int fxLastError();
// A stdio stream over a descriptor of fxOpenInput ("rb", or text with FX_INPUT_TEXT), which it
// then owns; null (the descriptor closed) when none can be made.
FILE* fxInputStream(int fd, unsigned flags);

// ---- the same everywhere (input_file.cpp) ----
// fxOpenInput as a stdio stream; null when refused. A file refused for what it is (not for being
// absent) leaves an err line naming it.
FILE* fxOpenInputFile(const char* path, FXInputInfo* info = nullptr, unsigned flags = 0);
// Reads the whole file into *out, refusing one of more than limit bytes (*info then says "is
// larger than ..."); never more than limit + 1 bytes are taken from a pipe. False, with the
// reason in *info, when it cannot; memory that runs out is a reason too, never an abort.
bool fxReadInput(const char* path, long long limit, std::string* out, FXInputInfo* info = nullptr,
                 unsigned flags = 0);
// A byte count in words for messages: "1 MB", "256 kB", "17 bytes".
std::string fxByteCount(long long bytes);
