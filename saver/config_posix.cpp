// Data folder, configuration file, log location and the launcher's settings file on POSIX
// systems (XDG base directories). The build tree's data folder reaches this file alone, as
// QM_BUILD_DATA_DIR, so every other object is the same from build tree to build tree.
#include "saver/config.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/paths.h"
#include "saver/scrnsave.h"

#ifndef QM_BUILD_DATA_DIR
#define QM_BUILD_DATA_DIR ""
#endif

namespace {

const char kConfName[] = "qmsave/qmsave.conf";
const char kPackageName[] = "qmsave.dat";
const char kLogName[] = "qmsave.log";

std::string localHome() { return qmHomeFolder(); }

// The longest folder name the engine's paths hold with the separator it adds.
const size_t kMaxDataDir = FX_MAX_PATH - 2;

std::string localCurrentDir() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? buf : "";
}

// A relative folder made absolute against base (nothing when either is empty).
std::string localAbsolute(const std::string& dir, const std::string& base) {
    if (dir.empty() || dir[0] == '/' || base.empty()) return dir;
    return base + (base.back() == '/' ? "" : "/") + dir;
}

std::string localDirName(const std::string& p) {
    size_t s = p.rfind('/');
    return s == std::string::npos ? "" : s == 0 ? "/" : p.substr(0, s);
}

// An XDG base directory: the variable when it holds an absolute path (relative ones are to be
// ignored), else fallback under the home folder.
std::string localXdg(const char* var, const char* fallback) {
    const char* v = getenv(var);
    if (v && v[0] == '/') return v;
    return localHome() + "/" + fallback;
}

bool localIsDir(const std::string& p) {
    struct stat st;
    return !p.empty() && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string localTrim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::string localExpandHome(std::string v) {
    if (v == "~") return localHome();
    if (v.compare(0, 2, "~/") == 0) return localHome() + v.substr(1);
    return v;
}

bool localReadAll(const std::string& path, std::string* out, bool* exists) {
    *exists = false;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        *exists = errno != ENOENT;
        return false;
    }
    *exists = true;
    out->clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

// The path= value of a configuration text: the last such line wins; "#" and ";" start comments;
// blanks around key and value and one pair of quotes around the value are dropped.
std::string localPathValue(const std::string& text) {
    std::string value;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = localTrim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos || localTrim(line.substr(0, eq)) != "path") continue;
        std::string v = localTrim(line.substr(eq + 1));
        if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
            v = v.substr(1, v.size() - 2);
        value = localExpandHome(v);
    }
    return value;
}

std::string localExePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    buf[n] = 0;
    return buf;
}

std::string localDefaultDataDir() {
    std::string exe = localExePath();
    size_t slash = exe.rfind('/');
    if (slash != std::string::npos) {
        std::string installed = exe.substr(0, slash) + "/../share/qmsave";
        char real[PATH_MAX];
        if (localIsDir(installed) && realpath(installed.c_str(), real)) return real;
    }
    return QM_BUILD_DATA_DIR;
}

bool localMkdirs(const std::string& path, mode_t mode) {
    for (size_t i = 1; i <= path.size(); i++) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
    }
    return localIsDir(path);
}

// Writes bytes to a new file beside target (same folder, so a rename is atomic) with the given
// mode, flushed to the disk; the temporary name on success, empty on failure (nothing left).
std::string localWriteBeside(const std::string& target, const std::string& bytes, mode_t mode) {
    std::string tmp = target + ".qmsave-XXXXXX";
    int fd = mkstemp(&tmp[0]);
    if (fd < 0) return "";
    int failure = fchmod(fd, mode) == 0 ? 0 : errno;
    size_t done = 0;
    while (!failure && done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failure = n < 0 ? errno : EIO;
        else done += size_t(n);
    }
    if (!failure && fsync(fd) != 0) failure = errno;
    if (close(fd) != 0 && !failure) failure = errno;
    if (failure) {
        unlink(tmp.c_str());
        errno = failure;  // the cause, for the report
        return "";
    }
    return tmp;
}

bool localReplace(const std::string& target, const std::string& bytes, mode_t mode) {
    std::string tmp = localWriteBeside(target, bytes, mode);
    if (tmp.empty()) return false;
    if (rename(tmp.c_str(), target.c_str()) != 0) {
        int e = errno;
        unlink(tmp.c_str());
        errno = e;
        return false;
    }
    return true;
}

// The command word of one entry of the programs list: after an optional "-" (switched off), a
// visual ("GL:") and a quoted name.
std::string localEntryCommand(std::string e) {
    e = localTrim(e);
    if (!e.empty() && e[0] == '-') e = localTrim(e.substr(1));
    size_t colon = e.find(':');
    size_t blank = e.find_first_of(" \t\"");
    if (colon != std::string::npos && (blank == std::string::npos || colon < blank)) e = localTrim(e.substr(colon + 1));
    if (!e.empty() && e[0] == '"') {
        size_t q = e.find('"', 1);
        e = q == std::string::npos ? "" : localTrim(e.substr(q + 1));
    }
    if (!e.empty() && e[0] == '\'') {  // a quoted path
        size_t q = e.find('\'', 1);
        return q == std::string::npos ? "" : e.substr(1, q - 1);
    }
    return e.substr(0, e.find_first_of(" \t"));
}

std::string localBaseName(const std::string& p) {
    size_t s = p.rfind('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

bool localEndsWith(const std::string& s, const char* tail) {
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

QmConfig qmLoadConfig() {
    QmConfig c;
    c.file = localXdg("XDG_CONFIG_HOME", ".config") + "/" + kConfName;
    std::string text;
    c.fileReadable = localReadAll(c.file, &text, &c.fileExists);
    if (c.fileReadable) c.filePath = localPathValue(text);
    if (!c.filePath.empty()) c.filePath = localAbsolute(c.filePath, localDirName(c.file));
    if (const char* env = getenv("QMSAVE_PATH")) c.envPath = localAbsolute(localExpandHome(env), localCurrentDir());
    c.defaultDir = localDefaultDataDir();
    if (!c.envPath.empty()) {
        c.dataDir = c.envPath;
        c.source = "from QMSAVE_PATH";
    } else if (!c.filePath.empty()) {
        c.dataDir = c.filePath;
        c.source = "from the configuration file";
    } else {
        c.dataDir = c.defaultDir;
        c.source = c.defaultDir == QM_BUILD_DATA_DIR ? "the build's data folder" : "the installed data folder";
    }
    return c;
}

std::string qmHomeFolder() {
    const char* h = getenv("HOME");
    if (h && *h) return h;
    if (passwd* pw = getpwuid(getuid())) return pw->pw_dir ? pw->pw_dir : "";
    return "";
}

std::string qmDataDirProblem(const std::string& dir) {
    if (dir.empty()) return "no data folder is known";
    if (dir[0] != '/') return "is not an absolute path";
    if (dir.size() > kMaxDataDir)
        return "is longer than the " + std::to_string(kMaxDataDir) + " characters a data folder may have";
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) return std::string("cannot be used (") + strerror(errno) + ")";
    if (!S_ISDIR(st.st_mode)) return "is not a folder";
    return "";
}

std::string qmLogFilePath(const std::string& dataDir, bool create) {
    if (localIsDir(dataDir) && access(dataDir.c_str(), W_OK) == 0) return dataDir + "/" + kLogName;
    std::string state = localXdg("XDG_STATE_HOME", ".local/state") + "/qmsave";
    if (!create && !localIsDir(state)) return state + "/" + kLogName;  // made when first written
    if (!localMkdirs(state, 0700) || access(state.c_str(), W_OK) != 0) return "";
    return state + "/" + kLogName;
}

void qmPrintConfig(const QmConfig& c) {
    printf("Configuration file: %s\n", c.file.c_str());
    if (!c.fileExists)
        printf("  not present (write a line path=FOLDER into it to choose the data folder)\n");
    else if (!c.fileReadable)
        printf("  present but cannot be read\n");
    else if (c.filePath.empty())
        printf("  present, without a path= line\n");
    else
        printf("  path=%s\n", c.filePath.c_str());
    printf("QMSAVE_PATH: %s\n", c.envPath.empty() ? "not set" : c.envPath.c_str());
    printf("Data folder: %s (%s)\n", c.dataDir.c_str(), c.source);
    std::string problem = qmDataDirProblem(c.dataDir);
    if (!problem.empty()) printf("  %s: the saver shows nothing but its gadgets\n", problem.c_str());
    std::string package = c.dataDir + "/" + kPackageName;
    struct stat st;
    if (stat(package.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        printf("Package: %s (%lld bytes)\n", package.c_str(), static_cast<long long>(st.st_size));
    else
        printf("Package: %s is missing: the saver shows nothing but its gadgets\n", package.c_str());
    std::string log = qmLogFilePath(c.dataDir, false);
    printf("Trace log: %s\n", log.empty() ? "none (no writable folder)" : log.c_str());
    fflush(stdout);
}

std::string qmSaverCommand() {
    std::string exe = localExePath();
    char realExe[PATH_MAX];
    if (exe.empty() || !realpath(exe.c_str(), realExe)) return "qmsave --root";
    if (const char* path = getenv("PATH")) {
        std::string dirs = path;
        size_t pos = 0;
        while (pos <= dirs.size()) {
            size_t end = dirs.find(':', pos);
            if (end == std::string::npos) end = dirs.size();
            std::string cand = dirs.substr(pos, end - pos) + "/qmsave";
            char real[PATH_MAX];
            if (end > pos && realpath(cand.c_str(), real)) {
                // The first hit is what the launcher's shell will run.
                if (strcmp(real, realExe) == 0) return "qmsave --root";
                break;
            }
            pos = end + 1;
        }
    }
    std::string p = realExe;
    if (p.find_first_of(" \t'\"\\") != std::string::npos) {
        std::string q = "'";
        for (char ch : p) q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
        p = q + "'";
    }
    return p + " --root";
}

QmListChange qmAddToProgramsList(const std::string& old, bool fileExists, const std::string& command,
                                 std::string* out) {
    const std::string entry = "  GL: \t\t\t\t" + command + "\t\t\t    \\n";
    // Physical lines with their ends.
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < old.size()) {
        size_t end = old.find('\n', pos);
        size_t next = end == std::string::npos ? old.size() : end + 1;
        lines.push_back(old.substr(pos, next - pos));
        pos = next;
    }
    size_t first = lines.size();
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i].compare(0, 9, "programs:") == 0) {
            first = i;
            break;
        }
    }
    if (first == lines.size()) {
        // No list yet: one at the end (a new file gets a line saying who wrote it).
        std::string text = old;
        if (!fileExists || old.empty()) text = "# XScreenSaver settings, started by qmsave register_scrsaver\n";
        else if (text.back() != '\n') text += '\n';
        *out = text + "programs:\t\t\t\t\t\t\t      \\\n" + entry + "\n";
        return kListAdded;
    }
    // The list: its first line and every line continued by a final backslash. Each line's part
    // of the value is remembered, so a position in the value leads back to its line and column.
    auto body = [](const std::string& l) {
        std::string b = l;
        while (!b.empty() && (b.back() == '\n' || b.back() == '\r')) b.pop_back();
        return b;
    };
    struct Piece {
        size_t valueStart, line, column;
    };
    std::vector<Piece> pieces;
    size_t last = first;
    while (last + 1 < lines.size() && localEndsWith(body(lines[last]), "\\") &&
           !localEndsWith(body(lines[last]), "\\\\"))
        last++;
    std::string value;
    for (size_t i = first; i <= last; i++) {
        std::string b = body(lines[i]);
        size_t column = i == first ? 9 : 0;
        b = b.substr(column);
        if (i < last) b.pop_back();  // the continuation
        pieces.push_back({value.size(), i, column});
        value += b;
    }
    std::string target = localBaseName(localEntryCommand(command));
    size_t switchedOff = std::string::npos;  // value position of the "-" of a listed entry that is off
    size_t start = 0;
    while (start <= value.size()) {
        size_t sep = value.find("\\n", start);
        std::string e = value.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (!localTrim(e).empty() && localBaseName(localEntryCommand(e)) == target) {
            size_t lead = e.find_first_not_of(" \t");
            if (e[lead] != '-') {
                *out = old;
                return kListAlready;
            }
            if (switchedOff == std::string::npos) switchedOff = start + lead;
        }
        if (sep == std::string::npos) break;
        start = sep + 2;
    }
    if (switchedOff != std::string::npos) {
        // Switched on where it stands, the "-" becoming a blank as the launcher writes it.
        size_t k = pieces.size() - 1;
        while (pieces[k].valueStart > switchedOff) k--;
        lines[pieces[k].line][pieces[k].column + switchedOff - pieces[k].valueStart] = ' ';
        out->clear();
        for (const std::string& l : lines) *out += l;
        return kListSwitchedOn;
    }
    // Appended at the end, so the positions of the entries already listed (which the settings
    // refer to by number) stay as they are.
    std::string lastBody = body(lines[last]);
    std::string ending = lines[last].substr(lastBody.size());
    if (ending.empty()) ending = "\n";
    size_t keep = lastBody.find_last_not_of(" \t");
    std::string trimmed = keep == std::string::npos ? "" : lastBody.substr(0, keep + 1);
    bool emptyList = localTrim(value).empty();
    if (emptyList)
        lines[last] = trimmed + "\t\t\t\t\t\t\t      \\" + ending;
    else if (localEndsWith(trimmed, "\\n"))
        lines[last] = trimmed + "\\" + ending;
    else
        lines[last] = trimmed + " \\n\\" + ending;
    lines.insert(lines.begin() + long(last) + 1, entry + ending);
    out->clear();
    for (const std::string& l : lines) *out += l;
    return kListAdded;
}

bool qmRegisterInFile(const std::string& path, const std::string& command, std::string* report) {
    // A settings file kept as a link (a dotfiles folder) is edited where it really lives; a link
    // to nothing would be replaced by a plain file, losing the link: refused.
    std::string target = path;
    struct stat lst;
    if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char real[PATH_MAX];
        if (!realpath(path.c_str(), real)) {
            int e = errno;
            char to[PATH_MAX];
            ssize_t n = readlink(path.c_str(), to, sizeof to - 1);
            to[n > 0 ? n : 0] = 0;
            *report = path + " is a symbolic link to " + to + ", which cannot be reached (" + strerror(e) +
                      "); nothing was changed";
            return false;
        }
        target = real;
    }

    std::string old;
    bool exists = false;
    if (!localReadAll(target, &old, &exists) && exists) {
        *report = "cannot read " + target + " (" + strerror(errno) + "); nothing was changed";
        return false;
    }
    std::string text;
    QmListChange change = qmAddToProgramsList(old, exists, command, &text);
    if (change == kListAlready) {
        *report = "the programs list in " + path + " already runs qmsave; nothing was changed";
        return true;
    }
    mode_t mode = 0644;
    struct stat st;
    if (exists && stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
    // The new text first: while it cannot be written, nothing (no older backup either) is touched.
    std::string fresh = localWriteBeside(target, text, mode);
    if (fresh.empty()) {
        *report = "cannot write the new settings beside " + target + " (" + strerror(errno) + "); nothing was changed";
        return false;
    }
    std::string backup = target + ".bak";
    if (exists && !localReplace(backup, old, mode)) {
        int e = errno;
        unlink(fresh.c_str());
        *report = "cannot write the backup " + backup + " (" + strerror(e) + "); nothing was changed";
        return false;
    }
    if (rename(fresh.c_str(), target.c_str()) != 0) {
        int e = errno;
        unlink(fresh.c_str());
        *report = "cannot replace " + target + " (" + strerror(e) + "); it is unchanged" +
                  (exists ? " and " + backup + " holds a copy of it" : "");
        return false;
    }
    if (change == kListSwitchedOn)
        *report = "switched on the qmsave entry of the programs list in " + path +
                  " (it was switched off); the previous file is kept as " + backup;
    else
        *report = exists ? "added \"" + command + "\" to the programs list in " + path +
                               "; the previous file is kept as " + backup
                         : "created " + path + " with \"" + command + "\" in its programs list";
    return true;
}

// Registration on this platform: the saver joins the launcher's programs list.
int ScreenSaverRegister() {
    std::string home = qmHomeFolder();
    std::string report;
    bool ok = !home.empty() && qmRegisterInFile(home + "/.xscreensaver", qmSaverCommand(), &report);
    if (home.empty())
        report = "no home folder is known (HOME is not set): there is no settings file to add the saver to";
    fprintf(ok ? stdout : stderr, "qmsave: %s\n", report.c_str());
    return ok ? 0 : 1;
}
