// A tree of files written into one folder all at once, for `unpack`: names are claimed first so
// that none can clash with another (a file where another needs a folder, two names that differ
// only in case, a part longer than a file system allows), every file is then written into a
// private staging folder inside the target, and only when all of them are there are they moved
// into place. A write that fails, or a move that fails, leaves the folder as it was: nothing of
// the tree stays, and files it would have replaced are put back.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "output.h"

class QMPackTree {
public:
    QMPackTree() = default;
    QMPackTree(const QMPackTree&) = delete;
    QMPackTree& operator=(const QMPackTree&) = delete;
    ~QMPackTree();  // a tree not committed is taken back (the staging folder, and dir when it was made)

    // Prepares to write into dir, making it when it does not exist. An existing folder must be
    // empty unless force (its files of the tree's names are then replaced). Reports and returns
    // false when it cannot.
    bool Open(const std::string& dir, bool force);
    // Reserves a name that the tree never hands out (a file written into dir by someone else).
    void Reserve(const std::string& rel);
    // A free name for a file as close to want (a relative path with '/' between its parts) as
    // the rules allow: want itself, or with ".2", ".3", ... before its extension. A part longer
    // than a file system takes is shortened with a stable suffix of its own; a name that runs
    // through a file of the tree (as a folder) is no name: fallback is claimed instead.
    std::string Claim(const std::string& want, const std::string& fallback);
    // Checks every claimed name against what dir holds now: the folders on its way must be
    // folders (not links), the name itself no folder, and no input of the command (by device and
    // inode, so no name or link hides one). Reports the first clash and returns false.
    bool Check(const std::vector<QMPackInput>& inputs) const;
    // Writes bytes as the claimed file rel (into the staging folder).
    bool Write(const std::string& rel, const void* bytes, size_t len);
    // Moves every written file into place. On failure every move is taken back.
    bool Commit();
    int Written() const { return int(staged.size()); }
    const std::string& Dir() const { return dir; }

private:
    struct Staged {
        std::string rel, file;
    };
    std::string dir, stage;
    bool madeDir = false;
    std::set<std::string> files, folders;  // claimed names and the folders they imply, lower-cased
    std::vector<std::string> claimed, reserved;
    std::vector<Staged> staged;

    bool IsFree(const std::string& rel) const;
    void Take(const std::string& rel);
    // Undoes a commit that failed at move k: moved files go, replaced ones come back, made
    // folders go (deepest first).
    void TakeBack(size_t k, const std::vector<std::string>& backups, const std::vector<std::string>& madeFolders);
    void Discard();
};
