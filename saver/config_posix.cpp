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

#include "base/input_file.h"
#include "base/paths.h"
#include "saver/scrnsave.h"

#ifndef QM_BUILD_DATA_DIR
#define QM_BUILD_DATA_DIR ""
#endif

namespace {

const char kConfName[] = "qmsave/qmsave.conf";
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

// Reads a whole file of at most limit bytes, opened as every file read by name is (never
// blocking, regular files only). *exists tells a missing file from one that cannot be read, whose
// reason goes to *why.
bool localReadAll(const std::string& path, long long limit, std::string* out, bool* exists, std::string* why) {
    FXInputInfo info;
    bool ok = fxReadInput(path.c_str(), limit, out, &info);
    *exists = ok || !(info.error == ENOENT || info.error == ENOTDIR);
    if (!ok && *exists) *why = info.Why();
    return ok;
}

// The path= value of a configuration text: the last such line wins; "#" and ";" start comments;
// blanks around key and value and one pair of quotes around the value are dropped. A value longer
// than any folder name is refused (its line is left out; *problem says so).
std::string localPathValue(const std::string& text, std::string* problem) {
    std::string value;
    size_t pos = 0;
    for (int number = 1; pos < text.size(); number++) {
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
        if (v.size() > kQmMaxPathValue) {
            *problem = "line " + std::to_string(number) + " refused: its path= value is " + std::to_string(v.size()) +
                       " characters long (a folder name has at most " + std::to_string(kQmMaxPathValue) + ")";
            continue;
        }
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

}  // namespace

QmConfig qmLoadConfig() {
    QmConfig c;
    c.file = localXdg("XDG_CONFIG_HOME", ".config") + "/" + kConfName;
    std::string text;
    c.fileReadable = localReadAll(c.file, kQmMaxConfigBytes, &text, &c.fileExists, &c.fileProblem);
    if (c.fileReadable) c.filePath = localPathValue(text, &c.fileProblem);
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
    printf("Configuration file: %s\n", qmShortened(c.file).c_str());
    if (!c.fileExists)
        printf("  not present (write a line path=FOLDER into it to choose the data folder)\n");
    else if (!c.fileReadable)
        printf("  present but cannot be read (%s)\n", c.fileProblem.c_str());
    else if (c.filePath.empty())
        printf("  present, without a path= line\n");
    else
        printf("  path=%s\n", qmShortened(c.filePath).c_str());
    if (c.fileReadable && !c.fileProblem.empty()) printf("  %s\n", c.fileProblem.c_str());
    printf("QMSAVE_PATH: %s\n", c.envPath.empty() ? "not set" : qmShortened(c.envPath).c_str());
    printf("Data folder: %s (%s)\n", qmShortened(c.dataDir).c_str(), c.source);
    std::string problem = qmDataDirProblem(c.dataDir);
    if (!problem.empty()) printf("  %s: the saver shows nothing but its gadgets\n", problem.c_str());
    printf("%s\n", qmPackageReport(c.dataDir + "/qmsave.dat").c_str());
    std::string log = qmLogFilePath(c.dataDir, false);
    printf("Trace log: %s\n", log.empty() ? "none (no writable folder)" : qmShortened(log).c_str());
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

namespace {

// The file that register_scrsaver edits for the settings file path: path itself, or where its
// symbolic link leads (a dotfiles folder) when that lies inside path's own folder. Writing through
// a link to anywhere else would let a link planted in the home folder make the saver replace any
// file its user may write (as root: any file at all). False, with the report, when refused.
bool localSettingsTarget(const std::string& path, std::string* target, std::string* report) {
    *target = path;
    struct stat lst;
    if (lstat(path.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode)) return true;
    char to[PATH_MAX];
    ssize_t n = readlink(path.c_str(), to, sizeof to - 1);
    to[n > 0 ? n : 0] = 0;
    char real[PATH_MAX], folder[PATH_MAX];
    if (!realpath(path.c_str(), real)) {
        // A link to nothing would be replaced by a plain file, losing the link.
        *report = path + " is a symbolic link to " + to + ", which cannot be reached (" + strerror(errno) +
                  "); nothing was changed";
        return false;
    }
    std::string dir = localDirName(path);
    if (!realpath(dir.empty() ? "." : dir.c_str(), folder) ||
        std::string(real).compare(0, strlen(folder) + 1, std::string(folder) + "/") != 0) {
        *report = path + " is a symbolic link to " + real + ", outside " + (dir.empty() ? "." : dir) +
                  ": only a settings file of your own in that folder is edited through a link; nothing was changed";
        return false;
    }
    *target = real;
    return true;
}

// Checks that the settings file at target (when there is one) is a regular file of the user's
// own that the user may write, and reads it. False, with the report, when it is not.
bool localReadSettings(const std::string& path, const std::string& target, std::string* old, bool* exists,
                       mode_t* mode, std::string* report) {
    struct stat st;
    *exists = stat(target.c_str(), &st) == 0;
    if (*exists && S_ISREG(st.st_mode)) {
        *mode = st.st_mode & 07777;
        if (st.st_uid != geteuid()) {
            *report = target + " belongs to another user (uid " + std::to_string(st.st_uid) +
                      "), not to the one running qmsave; nothing was changed";
            return false;
        }
        if (!(st.st_mode & S_IWUSR)) {
            char octal[8];
            snprintf(octal, sizeof octal, "%04o", unsigned(st.st_mode & 07777));
            *report = target + " is read-only (mode " + octal + "): make it writable (chmod u+w " + path +
                      ") to add the saver; nothing was changed";
            return false;
        }
    }
    std::string why;
    if (!localReadAll(target, kQmMaxSettingsBytes, old, exists, &why) && *exists) {
        *report = "cannot read " + target + " (" + why + "); nothing was changed";
        return false;
    }
    return true;
}

// Puts text in place of the settings file target: the new text is written beside it first; only
// then is the old file kept as target.bak and the new one renamed into place.
bool localReplaceSettings(const std::string& target, const std::string& old, bool exists, const std::string& text,
                          mode_t mode, std::string* report) {
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
    return true;
}

}  // namespace

bool qmRegisterInFile(const std::string& path, const std::string& command, std::string* report) {
    std::string target, old;
    bool exists = false;
    mode_t mode = 0644;
    if (!localSettingsTarget(path, &target, report) || !localReadSettings(path, target, &old, &exists, &mode, report))
        return false;
    std::string text;
    QmListChange change = qmAddToProgramsList(old, exists, command, &text);
    if (change == kListAlready) {
        *report = "the programs list in " + path + " already runs qmsave; nothing was changed";
        return true;
    }
    if (!localReplaceSettings(target, old, exists, text, mode, report)) return false;
    std::string backup = target + ".bak";
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
