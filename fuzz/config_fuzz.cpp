// Fuzzes the saver's configuration reading: arbitrary bytes become the configuration file (in a
// private configuration folder) and are also read as the launcher's settings file the saver adds
// itself to. The data folder in effect is never empty, and adding the saver's entry either finds
// it listed or yields a text that lists it. The sanitizers catch any read outside the text.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "saver/config.h"

namespace {

// $XDG_CONFIG_HOME of this process: a scratch folder, removed at exit.
std::string localConfigFile() {
    static std::string file;
    if (file.empty()) {
        static char dir[] = "/tmp/config_fuzz.XXXXXX";
        if (!mkdtemp(dir)) return "";
        setenv("XDG_CONFIG_HOME", dir, 1);
        unsetenv("QMSAVE_PATH");
        std::string sub = std::string(dir) + "/qmsave";
        mkdir(sub.c_str(), 0700);
        file = sub + "/qmsave.conf";
        atexit([] {
            std::string d = dir;
            unlink(file.c_str());
            rmdir((d + "/qmsave").c_str());
            rmdir(d.c_str());
        });
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string file = localConfigFile();
    if (file.empty()) return 0;
    if (FILE* f = fopen(file.c_str(), "wb")) {
        if (size) fwrite(data, 1, size, f);
        fclose(f);
    }
    QmConfig c = qmLoadConfig();
    if (c.dataDir.empty() || !c.fileExists || !c.fileReadable) abort();

    // The edited list holds the entry, switched on; a list that had it on is left as it was.
    const std::string command = "qmsave --root";
    std::string text(reinterpret_cast<const char*>(data), size), out;
    QmListChange change = qmAddToProgramsList(text, true, command, &out);
    if (change == kListAlready && out != text) abort();
    if (change == kListAdded && out.find(command) == std::string::npos) abort();
    if (change != kListAlready && qmAddToProgramsList(out, true, command, &out) != kListAlready) abort();
    return 0;
}
