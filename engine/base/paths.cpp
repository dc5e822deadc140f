// The portable path helpers: record names (join, relativise, split) in the short buffers, and
// file-system paths of any length over the platform's separators and roots.
#include "base/paths.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

char localWork[FX_MAX_PATH];

bool localIsSep(char c) { return c == '/' || c == '\\'; }

// The separator a path written in this style uses: '\' when it holds one and no '/'.
char localStyleSep(const char* path) {
    bool back = path && strchr(path, '\\');
    bool fwd = path && strchr(path, '/');
    if (back && !fwd) return '\\';
    if (fwd) return '/';
    return fxNativeSeparator;
}

// Prefix that makes a path absolute: a drive ("C:"), a leading separator, or both.
std::string localRoot(const std::string& p) {
    size_t i = 0;
    if (p.size() >= 2 && p[1] == ':') i = 2;
    if (i < p.size() && localIsSep(p[i])) i++;
    return p.substr(0, i);
}

// True for a root that names the top folder ("/", "\\", "C:\\"): nothing lies above it.
bool localIsTop(const std::string& root) { return !root.empty() && localIsSep(root.back()); }

// The components after the root, with "." dropped and ".." folded where it can be. Above the top
// folder there is nothing, so a ".." there is dropped, as the system does with "/..".
std::vector<std::string> localComponents(const std::string& p, size_t from) {
    const bool top = localIsTop(p.substr(0, from));
    std::vector<std::string> parts;
    std::string cur;
    for (size_t i = from; i <= p.size(); i++) {
        if (i == p.size() || localIsSep(p[i])) {
            if (cur == "..") {
                if (!parts.empty() && parts.back() != "..")
                    parts.pop_back();
                else if (!top)
                    parts.push_back(cur);
            } else if (!cur.empty() && cur != ".") {
                parts.push_back(cur);
            }
            cur.clear();
        } else {
            cur += p[i];
        }
    }
    return parts;
}

// How many leading components two paths share; the file name of `to` never counts.
size_t localCommonLead(const std::vector<std::string>& from, const std::vector<std::string>& to, bool toIsFile) {
    size_t common = 0;
    size_t limit = to.size() - ((toIsFile && !to.empty()) ? 1 : 0);
    while (common < from.size() && common < limit && from[common] == to[common]) common++;
    return common;
}

char* localToWork(const std::string& s) {
    if (s.size() >= sizeof(localWork)) return nullptr;
    memcpy(localWork, s.c_str(), s.size() + 1);
    return localWork;
}

struct SplitPath {
    std::string drive, dir, name, ext;
};

SplitPath localSplit(const char* path) {
    SplitPath sp;
    std::string p = path ? path : "";
    size_t start = 0;
    if (p.size() >= 2 && p[1] == ':') {
        sp.drive = p.substr(0, 2);
        start = 2;
    }
    size_t lastSep = std::string::npos;
    for (size_t i = start; i < p.size(); i++)
        if (localIsSep(p[i])) lastSep = i;
    size_t nameStart = start;
    if (lastSep != std::string::npos) {
        sp.dir = p.substr(start, lastSep + 1 - start);
        nameStart = lastSep + 1;
    }
    std::string file = p.substr(nameStart);
    size_t dot = file.rfind('.');
    if (dot == std::string::npos) {
        sp.name = file;
    } else {
        sp.name = file.substr(0, dot);
        sp.ext = file.substr(dot);
    }
    return sp;
}

char* localMake(const SplitPath& sp) {
    std::string out = sp.drive + sp.dir;
    if (!sp.dir.empty() && !localIsSep(sp.dir.back())) out += localStyleSep(sp.dir.c_str());
    out += sp.name;
    if (!sp.ext.empty() && sp.ext[0] != '.') out += '.';
    out += sp.ext;
    return localToWork(out);
}

}  // namespace

bool fxAddPathEnding(char* path, size_t size) {
    size_t n = strlen(path);
    if (n > 0 && localIsSep(path[n - 1])) return true;
    if (n + 2 > size) return false;
    // A '\' anywhere wins (a mixed path is taken as a Windows one); only '/': '/'; none: native.
    path[n] = strchr(path, '\\') ? '\\' : (strchr(path, '/') ? '/' : fxNativeSeparator);
    path[n + 1] = 0;
    return true;
}

void fxRemovePathLeading(char* path) {
    if (localIsSep(path[0])) memmove(path, path + 1, strlen(path));
}

void fxRemovePathEnding(char* path) {
    size_t n = strlen(path);
    if (n > 0 && localIsSep(path[n - 1])) path[n - 1] = 0;
}

const char* fxCombinePaths(const char* dir, const char* file) {
    std::string d = dir ? dir : "";
    std::string f = file ? file : "";
    if (!f.empty() && localIsSep(f[0])) f.erase(0, 1);
    if (d.empty() && f.empty()) return nullptr;
    char sep = localStyleSep(!d.empty() ? d.c_str() : f.c_str());
    std::string joined = d;
    if (!joined.empty() && !f.empty() && !localIsSep(joined.back())) joined += sep;
    joined += f;
    // Fold "." and ".." as the shell's join does, keeping the root and a trailing separator.
    std::string root = localRoot(joined);
    std::vector<std::string> parts = localComponents(joined, root.size());
    std::string out = root;
    for (size_t i = 0; i < parts.size(); i++) {
        if (i) out += sep;
        out += parts[i];
    }
    if (!parts.empty() && localIsSep(joined.back())) out += sep;
    return localToWork(out);
}

char* fxBuildRelativePath(const char* from, bool fromIsFile, const char* to, bool toIsFile) {
    char* unchanged = const_cast<char*>(to);
    if (!from || !to || !*from || !*to) return unchanged;
    std::string f = from, t = to;
    std::string fRoot = localRoot(f), tRoot = localRoot(t);
    // Same root (drive and absoluteness) or no relative form exists.
    auto sameRoot = [](const std::string& a, const std::string& b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); i++)
            if (!(a[i] == b[i] || (localIsSep(a[i]) && localIsSep(b[i])))) return false;
        return true;
    };
    if (!sameRoot(fRoot, tRoot)) return unchanged;
    std::vector<std::string> fp = localComponents(f, fRoot.size());
    std::vector<std::string> tp = localComponents(t, tRoot.size());
    if (fromIsFile && !fp.empty()) fp.pop_back();  // relative to the file's folder
    size_t common = localCommonLead(fp, tp, toIsFile);
    if (common < fp.size() && fp[common] == "..") {
        // `from` climbs above the folder it shares with `to`: the way back down passes through
        // folders only the working directory names. Both are read from there.
        char cwd[FX_MAX_PATH];
        if (!fRoot.empty() || !fxPlatformGetCurrentDir(cwd, sizeof cwd) || !fxIsAbsolutePath(cwd)) return unchanged;
        std::string base = cwd;
        if (!localIsSep(base.back())) base += '/';
        const size_t root = localRoot(base).size();
        fp = localComponents(base + f, root);
        tp = localComponents(base + t, root);
        if (fromIsFile && !fp.empty()) fp.pop_back();
        common = localCommonLead(fp, tp, toIsFile);
    }
    char sep = localStyleSep(to);
    std::string out;
    for (size_t i = common; i < fp.size(); i++) out += std::string("..") + sep;
    for (size_t i = common; i < tp.size(); i++) {
        out += tp[i];
        if (i + 1 < tp.size()) out += sep;
    }
    if (out.empty()) out = ".";
    char* result = localToWork(out);
    if (!result) return unchanged;
    fxRemovePathLeading(result);
    return result;
}

bool fxIsAbsolutePath(const char* path) { return path && !localRoot(path).empty(); }

const char* fxGetFilename(const char* path) {
    if (!path) return nullptr;
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (localIsSep(*p) || (p == path + 1 && *p == ':')) name = p + 1;
    return name;
}

bool fxPathExists(const char* path) { return fxPlatformPathExists(path); }

char* fxChangeExt(const char* path, const char* ext) {
    SplitPath sp = localSplit(path);
    sp.ext = ext ? ext : "";
    return localMake(sp);
}

char* fxAppenfFname(const char* path, const char* suffix) {
    SplitPath sp = localSplit(path);
    sp.name += suffix ? suffix : "";
    return localMake(sp);
}

// ---- file-system paths of any length ----

namespace {

// The position of the last separator in path, or npos.
size_t localLastSeparator(const std::string& path) {
    for (size_t i = path.size(); i > 0; i--)
        if (fxIsSeparator(path[i - 1])) return i - 1;
    return std::string::npos;
}

// The non-empty parts of p between its separators.
std::vector<std::string> localParts(const std::string& p) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos < p.size()) {
        size_t end = pos;
        while (end < p.size() && !fxIsSeparator(p[end])) end++;
        if (end > pos) parts.push_back(p.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

}  // namespace

std::string fxDirOf(const std::string& path) {
    size_t sep = localLastSeparator(path);
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string fxBaseOf(const std::string& path) {
    size_t sep = localLastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string fxExtOf(const std::string& path) {
    std::string base = fxBaseOf(path);
    size_t dot = base.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return "";
    std::string ext = base.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return ext;
}

std::string fxJoinPath(const std::string& dir, const std::string& file) {
    if (dir.empty() || fxRootLength(file) > 0) return file;
    return fxIsSeparator(dir.back()) ? dir + file : dir + "/" + file;
}

std::string fxAbsolutePath(const std::string& path) {
    std::string full = fxAnchoredPath(path);
    // Keep the root (its separators written as '/'), fold "." and ".." after it.
    std::string out = full.substr(0, fxRootLength(full));
    for (char& c : out)
        if (fxIsSeparator(c)) c = '/';
    if (out.empty()) out = "/";
    std::vector<std::string> parts;
    for (const std::string& part : localParts(full.substr(out.size()))) {
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (part != ".") {
            parts.push_back(part);
        }
    }
    for (size_t i = 0; i < parts.size(); i++) out += (i ? "/" : "") + parts[i];
    return out;
}

std::string fxRelativePath(const std::string& dir, const std::string& path) {
    std::vector<std::string> from = localParts(fxAbsolutePath(dir)), to = localParts(fxAbsolutePath(path));
    size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) common++;
    std::string out;
    for (size_t i = common; i < from.size(); i++) out += "../";
    for (size_t i = common; i < to.size(); i++) out += to[i] + (i + 1 < to.size() ? "/" : "");
    return out;
}
