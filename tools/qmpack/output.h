// Writing an output file so that a failure never leaves half a file, and so that the output is
// what the author meant: the content goes to a fresh temporary file beside the target, which
// then replaces the target in one rename. A symbolic link is followed (its target is written and
// the link stays), an existing file keeps its permissions, and an output that is one of the
// command's own inputs is refused before anything is read. A read-modify-write holds the target's
// lock (flock; on Windows a named mutex) from the read to the rename, so two commands growing one
// package never lose an addition.
#pragma once

#include <string>
#include <vector>

#include "files.h"

// A file the command reads, with what it is to the user ("the manifest", "the source on line 3").
struct QMPackInput {
    std::string path;
    std::string role;
};

class QMPackOutput {
public:
    QMPackOutput() = default;
    QMPackOutput(const QMPackOutput&) = delete;
    QMPackOutput& operator=(const QMPackOutput&) = delete;
    ~QMPackOutput();  // an output not committed is removed; the lock is released

    // Prepares to write path: reports (and returns false) when it is a directory or not a regular
    // file, when its folder does not exist or cannot be written, or when it is one of inputs.
    // lock: take the target's lock and keep it until Commit or destruction.
    bool Open(const std::string& path, const std::vector<QMPackInput>& inputs, bool lock);
    // A descriptor of the target as locked (its current contents), or -1 when there was none.
    int LockedFd() const { return lockFd; }
    // The temporary file to write (it exists, empty, and is removed unless committed).
    const std::string& TempPath() const { return temp; }
    // The path as given, for messages.
    const std::string& Path() const { return given; }
    // The temporary file is flushed to disk, takes the target's permissions and replaces it;
    // reports on failure. The lock is kept until the output is destroyed.
    bool Commit();
    // Removes the temporary file.
    void Abandon();

private:
    std::string given, target, temp;
    unsigned mode = 0;
    int lockFd = -1;
    bool committed = false;
};

// Checks that out is none of inputs (by device and inode); reports the clash and returns false.
bool qmpackCheckNotAnInput(const std::string& out, const std::vector<QMPackInput>& inputs);
