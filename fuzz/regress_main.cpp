// Runs a fuzzer's entry point once over every file named on the command line (folders: every
// regular file in them, in name order). Built with any compiler, so the test suite replays each
// fuzzer's corpus as a regression run where libFuzzer is not available.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool localRead(const std::string& path, std::vector<uint8_t>* out) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

void localCollect(const std::string& path, std::vector<std::string>* files) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        files->push_back(path);
        return;
    }
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) localCollect(path + "/" + n, files);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) localCollect(argv[i], &files);
    if (files.empty()) {
        fprintf(stderr, "%s: no inputs found\n", argv[0]);
        return 1;
    }
    std::vector<uint8_t> bytes;
    for (const std::string& f : files) {
        if (!localRead(f, &bytes)) {
            fprintf(stderr, "%s: cannot read %s\n", argv[0], f.c_str());
            return 1;
        }
        fprintf(stderr, "running %s (%zu bytes)\n", f.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    printf("%zu inputs ran\n", files.size());
    return 0;
}
