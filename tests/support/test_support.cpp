#include "support/test_support.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

// Each test gets a folder of its own (test-output/<Suite>-<Name>/), so test programs that CTest runs
// in parallel never share a scratch file.
std::string qmTestPath(const std::string& name) {
    const char* env = getenv("QM_TEST_OUTPUT_DIR");
    std::string dir = env && *env ? env : QM_TEST_OUTPUT_DIR;
    mkdir(dir.c_str(), 0755);
    if (const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info()) {
        std::string leaf = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : leaf)
            if (c == '/') c = '_';  // parameterised tests carry slashes in their names
        dir += "/" + leaf;
        mkdir(dir.c_str(), 0755);
    }
    return dir + "/" + name;
}

std::vector<unsigned char> qmReadFile(const std::string& path) {
    std::vector<unsigned char> out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return out;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.insert(out.end(), buf, buf + n);
    fclose(f);
    return out;
}

void qmWriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

void qmWriteText(const std::string& path, const std::string& text) {
    qmWriteFile(path, std::vector<unsigned char>(text.begin(), text.end()));
}

std::string qmReadText(const std::string& path) {
    std::vector<unsigned char> b = qmReadFile(path);
    return std::string(b.begin(), b.end());
}

std::string qmFreshDir(const std::string& name) {
    std::string d = qmTestPath(name);
    nftw(d.c_str(), [](const char* p, const struct stat*, int, FTW*) { return remove(p); }, 16, FTW_DEPTH | FTW_PHYS);
    mkdir(d.c_str(), 0755);
    return d;
}

QmScopedEnv::QmScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

QmScopedEnv::~QmScopedEnv() {
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}
