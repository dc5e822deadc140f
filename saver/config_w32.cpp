// Data folder, log location and installation on Windows. The data folder is the registry value
// "path" under HKEY_CURRENT_USER\Software\ruva3d\Screensavers\QuietMeadows; %QMSAVE_PATH% overrides
// it (as on the other platforms); with neither, the folder that holds qmsave.scr, where the
// package is installed beside it. Installation hands the saver file in the 32-bit system folder
// to the shell's "install" verb, which makes it the chosen screen saver.
#include "saver/config.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "base/paths.h"
#include "saver/scrnsave.h"

namespace {

const char kRegKey[] = "Software\\ruva3d\\Screensavers\\QuietMeadows";
const char kRegValue[] = "path";
const char kPackageName[] = "qmsave.dat";
const char kLogName[] = "qmsave.log";
const char kScrName[] = "qmsave.scr";
const DWORD kRegBufferSize = 520;

// The longest folder name the engine's paths hold with the separator it adds.
const size_t kMaxDataDir = FX_MAX_PATH - 2;

DWORD localAttributes(const std::string& p) { return p.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(p.c_str()); }

bool localIsDir(const std::string& p) {
    DWORD a = localAttributes(p);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string localWithoutEnding(std::string p) {
    while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
    return p;
}

std::string localAbsolute(const std::string& p) {
    char buf[MAX_PATH];
    DWORD n = GetFullPathNameA(p.c_str(), MAX_PATH, buf, nullptr);
    return (n > 0 && n < MAX_PATH) ? std::string(buf) : p;
}

std::string localProgramDir() {
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
    std::string p(buf, n);
    size_t cut = p.find_last_of("\\/");
    return cut == std::string::npos ? "" : p.substr(0, cut);
}

// The registry value; false when the key or the value is missing or is no string.
bool localRegistryPath(std::string* out) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char buf[kRegBufferSize + 1] = {0};
    DWORD size = kRegBufferSize, type = 0;
    LONG r = RegQueryValueExA(key, kRegValue, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    buf[size < kRegBufferSize ? size : kRegBufferSize] = 0;  // a value stored without its terminator
    *out = buf;
    return true;
}

bool localWritableDir(const std::string& dir) {
    if (!localIsDir(dir)) return false;
    std::string probe = dir + "\\qmsave.probe";
    HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

}  // namespace

QmConfig qmLoadConfig() {
    QmConfig c;
    c.file = std::string("HKEY_CURRENT_USER\\") + kRegKey + " value \"" + kRegValue + "\"";
    c.fileExists = c.fileReadable = localRegistryPath(&c.filePath);
    if (const char* env = getenv("QMSAVE_PATH")) c.envPath = env;
    c.defaultDir = localProgramDir();
    if (!c.envPath.empty()) {
        c.dataDir = localWithoutEnding(localAbsolute(c.envPath));
        c.source = "from QMSAVE_PATH";
    } else if (!c.filePath.empty()) {
        c.dataDir = localWithoutEnding(c.filePath);
        c.source = "from the registry";
    } else {
        c.dataDir = c.defaultDir;
        c.source = "the saver's own folder";
    }
    return c;
}

std::string qmDataDirProblem(const std::string& dir) {
    if (dir.empty()) return "no data folder is known";
    if (!fxIsAbsolutePath(dir.c_str())) return "is not an absolute path";
    if (dir.size() > kMaxDataDir)
        return "is longer than the " + std::to_string(kMaxDataDir) + " characters a data folder may have";
    DWORD a = localAttributes(dir);
    if (a == INVALID_FILE_ATTRIBUTES) return "cannot be used (it does not exist)";
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return "is not a folder";
    return "";
}

std::string qmLogFilePath(const std::string& dataDir, bool create) {
    if (localWritableDir(dataDir)) return dataDir + "\\" + kLogName;
    char appData[MAX_PATH] = {0};
    int flags = CSIDL_LOCAL_APPDATA | (create ? CSIDL_FLAG_CREATE : 0);
    if (SHGetFolderPathA(nullptr, flags, nullptr, 0, appData) != S_OK || !*appData) return "";
    std::string dir = std::string(appData) + "\\qmsave";
    if (create && !localIsDir(dir) && !CreateDirectoryA(dir.c_str(), nullptr)) return "";
    if (create && !localWritableDir(dir)) return "";
    return dir + "\\" + kLogName;
}

void qmPrintConfig(const QmConfig& c) {
    printf("Registry: %s\n", c.file.c_str());
    printf("  %s\n", c.filePath.empty() ? "not set" : qmShortened(c.filePath).c_str());
    printf("QMSAVE_PATH: %s\n", c.envPath.empty() ? "not set" : qmShortened(c.envPath).c_str());
    printf("Data folder: %s (%s)\n", qmShortened(c.dataDir).c_str(), c.source);
    std::string problem = qmDataDirProblem(c.dataDir);
    if (!problem.empty()) printf("  %s: the saver shows nothing but its gadgets\n", problem.c_str());
    printf("%s\n", qmPackageReport(c.dataDir + "\\" + kPackageName).c_str());
    std::string log = qmLogFilePath(c.dataDir, false);
    printf("Trace log: %s\n", log.empty() ? "none (no writable folder)" : qmShortened(log).c_str());
    fflush(stdout);
}

int ScreenSaverRegister() {
    char path[MAX_PATH] = {0};
    if (SHGetFolderPathA(nullptr, CSIDL_SYSTEMX86, nullptr, 0, path) != S_OK) {
        fprintf(stderr, "qmsave: the system folder is not known\n");
        return 1;
    }
    std::string file = std::string(path) + "\\" + kScrName;
    HINSTANCE r = ShellExecuteA(nullptr, "install", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(r) <= 32) {
        fprintf(stderr, "qmsave: the shell could not install %s (error %d)\n", file.c_str(),
                static_cast<int>(reinterpret_cast<INT_PTR>(r)));
        return 1;
    }
    printf("qmsave: %s is installed as the screen saver\n", file.c_str());
    return 0;
}
