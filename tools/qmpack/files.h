// Files as qmpack meets them: input checks that say why a file cannot be used, file identities
// (so no command writes over one of its own inputs), whole-file reads and path arithmetic on
// std::string (the engine's path buffers are short; authors' paths need not be).
#pragma once

#include <string>
#include <vector>

// A file's identity: its device and inode (on Windows its volume and file index).
struct QMPackFileId {
    unsigned long long dev = 0;
    unsigned long long ino = 0;
    bool valid = false;
    bool operator==(const QMPackFileId& o) const { return valid && o.valid && dev == o.dev && ino == o.ino; }
};

// Opens path for reading when it is a regular file (never blocking on a named pipe or a device);
// returns the descriptor, or -1 with *why set to the reason in words ("No such file or
// directory", "is a directory", "is a named pipe, not a regular file", ...). size and id, when
// given, receive the file's size and identity.
int qmpackOpenInput(const std::string& path, std::string* why, long long* size = nullptr,
                    QMPackFileId* id = nullptr);
// Checks the same without keeping the file open.
bool qmpackCheckInput(const std::string& path, std::string* why, long long* size = nullptr,
                      QMPackFileId* id = nullptr);
// Reads the whole regular file, refusing files larger than limit bytes.
bool qmpackReadFile(const std::string& path, std::vector<unsigned char>* bytes, std::string* why,
                    long long limit = 1LL << 31);
// The identity of whatever path names now (symbolic links followed); invalid when nothing is there.
QMPackFileId qmpackFileIdOf(const std::string& path);

// Reads len bytes at offset from a descriptor (retrying short reads); false at the end of the file
// or on an error.
bool qmpackReadAt(int fd, long long offset, void* dst, size_t len);

// Makes dir the working directory for its lifetime, then returns to the one before: some engine
// file forms name files relative to the working directory.
class QMPackCwd {
public:
    explicit QMPackCwd(const std::string& dir);
    ~QMPackCwd();
    QMPackCwd(const QMPackCwd&) = delete;
    QMPackCwd& operator=(const QMPackCwd&) = delete;
    bool ok = false;

private:
    int previous = -1;        // a descriptor of the folder before (POSIX)
    std::string previousDir;  // its path (Windows, which cannot return to a descriptor)
};

// Writes bytes as the file path: into a fresh file beside it, renamed over it (so a symbolic link
// at path is replaced, never followed); reports and returns false. durable: flushed to disk
// before the rename (for files whose old contents must survive a crash of the machine).
bool qmpackWriteWhole(const std::string& path, const void* bytes, size_t len, bool durable);
// True when the folder holds nothing (or cannot be listed: then the caller's writes will say why).
bool qmpackFolderEmpty(const std::string& dir);
// Flushes a folder's entries (a rename inside it) to disk; false when it cannot.
bool qmpackSyncFolder(const std::string& dir);

// ---- paths ----
// The folder part with its trailing separator ("" for a bare file name).
std::string qmpackDirOf(const std::string& path);
// The file-name part.
std::string qmpackBaseOf(const std::string& path);
// The lower-cased extension without its dot ("" when there is none).
std::string qmpackExtOf(const std::string& path);
// dir joined with file; file unchanged when it is absolute.
std::string qmpackJoin(const std::string& dir, const std::string& file);
// The absolute form of path (against the working directory), with "." and ".." folded.
std::string qmpackAbsolute(const std::string& path);
// The relative path from the absolute folder dir to the absolute path ("../" where needed).
std::string qmpackRelativePath(const std::string& dir, const std::string& path);
