// Claiming names that cannot clash, staging the files in a private folder inside the target, and
// moving them into place all at once (or not at all).
#include "unpack_tree.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cleanup.h"
#include "files.h"
#include "host.h"
#include "qmpack.h"

namespace {

// Parts of a name longer than this are shortened (file systems take 255 bytes; Windows paths
// are short as a whole), and a whole name longer than kMaxName is no name.
const size_t kMaxPart = 100;
const size_t kMaxName = 200;
const char kStagePrefix[] = ".qmpack-unpack-";

std::string localLower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

// Where each proper prefix of rel ends ("a/b/c" has "a" and "a/b").
std::vector<size_t> localPrefixEnds(const std::string& rel) {
    std::vector<size_t> ends;
    for (size_t i = 0; i < rel.size(); i++)
        if (rel[i] == '/') ends.push_back(i);
    return ends;
}

// A stable tag of a text: eight hexadecimal digits of its FNV-1a hash.
std::string localTag(const std::string& text) {
    uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    char tag[9];
    snprintf(tag, sizeof tag, "%08x", unsigned(h));
    return tag;
}

// One part of a name as a file system takes it on every system: characters that Windows refuses
// become '_', a part that could pass for one of qmpack's temporary names gets a '_' before it, and
// a part longer than kMaxPart keeps its start and extension around a tag of the whole part.
std::string localSafePart(const std::string& part) {
    std::string p = part;
    for (char& c : p)
        if (strchr(":*?\"<>|", c)) c = '_';
    if (p.compare(0, 8, ".qmpack-") == 0) p = "_" + p;
    if (p.size() <= kMaxPart) return p;
    size_t dot = p.rfind('.');
    std::string ext = dot != std::string::npos && p.size() - dot <= 10 ? p.substr(dot) : "";
    return p.substr(0, kMaxPart - ext.size() - 10) + "~" + localTag(part) + ext;
}

std::string localSafeName(const std::string& rel) {
    std::string out, part;
    for (size_t i = 0; i <= rel.size(); i++) {
        if (i == rel.size() || rel[i] == '/') {
            out += (out.empty() ? "" : "/") + localSafePart(part);
            part.clear();
        } else {
            part += rel[i];
        }
    }
    return out;
}

// name with ".k" before the extension of its last part.
std::string localNumbered(const std::string& name, int k) {
    size_t slash = name.rfind('/');
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + "." + std::to_string(k);
    return name.substr(0, dot) + "." + std::to_string(k) + name.substr(dot);
}

}  // namespace

QMPackTree::~QMPackTree() {
    if (!stage.empty()) Discard();
}

bool QMPackTree::Open(const std::string& folder, bool force) {
    dir = folder;
    FXPathStat st;
    if (int e = fxStatPath(dir.c_str(), &st, false)) {
        if (e != ENOENT) return qmpackRefuse("%s: %s", dir.c_str(), strerror(e));
        if (int made = qmpackMakeFolder(dir))
            return qmpackRefuse("%s: cannot make the folder (%s)", dir.c_str(), strerror(made));
        madeDir = true;
    } else if (st.kind != FXPathKind::Folder) {
        return qmpackRefuse("%s: not a folder", dir.c_str());
    } else if (!force && !qmpackFolderEmpty(dir)) {
        return qmpackRefuse(
            "%s: the folder is not empty (--force writes into it, replacing files of the same names)", dir.c_str());
    }
    // Staging folders of unpacks that were killed outright go first, once.
    qmpackSweepStale(dir, kStagePrefix);
    if (int e = qmpackMakeTempFolder(dir + "/" + kStagePrefix + qmpackPidTag(), &stage)) {
        stage.clear();
        Discard();
        return qmpackRefuse("%s: cannot write in the folder (%s)", dir.c_str(), strerror(e));
    }
    qmpackTrackTemp(stage, true);
    return true;
}

bool QMPackTree::IsFree(const std::string& rel) const {
    std::string lower = localLower(rel);
    if (files.count(lower) || folders.count(lower)) return false;
    for (size_t end : localPrefixEnds(lower))
        if (files.count(lower.substr(0, end))) return false;
    return true;
}

void QMPackTree::Take(const std::string& rel) {
    std::string lower = localLower(rel);
    files.insert(lower);
    for (size_t end : localPrefixEnds(lower)) folders.insert(lower.substr(0, end));
}

void QMPackTree::Reserve(const std::string& rel) {
    Take(rel);
    reserved.push_back(rel);
}

std::string QMPackTree::Claim(const std::string& want, const std::string& fallback) {
    std::string name = localSafeName(want);
    bool through = false;  // the name runs through a file of the tree
    std::string lower = localLower(name);
    for (size_t end : localPrefixEnds(lower)) through = through || files.count(lower.substr(0, end));
    if (name.empty() || name.size() > kMaxName || through) name = localSafeName(fallback);
    std::string free = name;
    for (int k = 2; !IsFree(free); k++) free = localNumbered(name, k);
    Take(free);
    claimed.push_back(free);
    return free;
}

bool QMPackTree::Check(const std::vector<QMPackInput>& inputs) const {
    std::vector<std::pair<FXFileId, const QMPackInput*>> ids;
    for (const QMPackInput& in : inputs) ids.push_back({fxFileIdOf(in.path.c_str()), &in});
    for (const std::vector<std::string>* names : {&claimed, &reserved})
        for (const std::string& rel : *names) {
            for (size_t end : localPrefixEnds(rel)) {
                std::string sub = dir + "/" + rel.substr(0, end);
                FXPathStat st;
                if (fxStatPath(sub.c_str(), &st, false) != 0) break;  // nothing there: made when written
                if (st.kind != FXPathKind::Folder)
                    return qmpackRefuse("%s: cannot write there: not a folder (or a symbolic link)", sub.c_str());
            }
            std::string path = dir + "/" + rel;
            FXPathStat st;
            if (fxStatPath(path.c_str(), &st, false) != 0) continue;
            if (st.kind == FXPathKind::Folder) return qmpackRefuse("%s: cannot write: is a directory", path.c_str());
            FXFileId id = fxFileIdOf(path.c_str());
            for (const auto& in : ids)
                if (in.first == id)
                    return qmpackRefuse("%s: will not write over %s (%s), one of this command's inputs; name another "
                                        "folder",
                                        path.c_str(), in.second->role.c_str(), in.second->path.c_str());
        }
    return true;
}

bool QMPackTree::Write(const std::string& rel, const void* bytes, size_t len) {
    std::string file = stage + "/" + std::to_string(staged.size());
    qmpackTrackTemp(file);
    errno = 0;
    FILE* f = fopen(file.c_str(), "wb");
    int error = 0;
    if (!f || (len > 0 && fwrite(bytes, 1, len, f) != len)) error = errno ? errno : EIO;
    if (f && fclose(f) != 0 && !error) error = errno ? errno : EIO;
    if (error) {
        qmpackRemoveTemp(file);
        return qmpackRefuse("%s/%s: cannot write (%s); the folder was left as it was", dir.c_str(), rel.c_str(),
                            strerror(error));
    }
    staged.push_back({rel, file});
    return true;
}

bool QMPackTree::Commit() {
    // No interrupt comes between the moves: they all happen, or all are taken back.
    QMPackCommitGuard guard;
    std::vector<std::string> backups, madeFolders;
    for (size_t k = 0; k < staged.size(); k++) {
        const Staged& s = staged[k];
        std::string target = dir + "/" + s.rel;
        int error = 0;
        for (size_t end : localPrefixEnds(s.rel)) {
            std::string sub = dir + "/" + s.rel.substr(0, end);
            FXPathStat st;
            if (fxStatPath(sub.c_str(), &st, false) == 0) continue;
            if ((error = qmpackMakeFolder(sub)) != 0) break;
            madeFolders.push_back(sub);
        }
        std::string backup;
        FXPathStat st;
        if (!error && fxStatPath(target.c_str(), &st, false) == 0) {
            backup = stage + "/old-" + std::to_string(k);
            error = qmpackReplaceFile(target, backup);
            if (error) backup.clear();
        }
        backups.push_back(backup);
        if (!error) error = qmpackReplaceFile(s.file, target);
        if (error) {
            TakeBack(k, backups, madeFolders);
            return qmpackRefuse("%s: cannot write (%s); the folder was left as it was", target.c_str(),
                                strerror(error));
        }
    }
    for (const Staged& s : staged) qmpackUntrackTemp(s.file);
    for (const std::string& b : backups)
        if (!b.empty()) qmpackRemoveFile(b);
    qmpackRemoveTemp(stage);
    stage.clear();
    return true;
}

void QMPackTree::TakeBack(size_t k, const std::vector<std::string>& backups,
                          const std::vector<std::string>& madeFolders) {
    for (size_t i = k + 1; i-- > 0;) {
        std::string target = dir + "/" + staged[i].rel;
        if (i < k) qmpackReplaceFile(target, staged[i].file);  // back into the stage, removed with it
        if (i < backups.size() && !backups[i].empty()) qmpackReplaceFile(backups[i], target);
    }
    for (size_t i = madeFolders.size(); i-- > 0;) qmpackRemoveFolder(madeFolders[i]);
}

void QMPackTree::Discard() {
    for (const Staged& s : staged) qmpackRemoveTemp(s.file);
    staged.clear();
    if (!stage.empty()) qmpackRemoveTemp(stage);
    stage.clear();
    if (madeDir) qmpackRemoveFolder(dir);
    madeDir = false;
}
