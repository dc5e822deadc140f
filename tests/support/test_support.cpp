#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

// Each test gets a folder of its own (test-output/<Suite>-<Name>/), so test programs that CTest runs
// in parallel never share a scratch file.
std::string qmTestPath(const std::string& name) {
    const char* env = getenv("QM_TEST_OUTPUT_DIR");
    std::string dir = env && *env ? env : QM_TEST_OUTPUT_DIR;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);  // the output folder may not exist yet
    if (const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info()) {
        std::string leaf = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : leaf)
            if (c == '/') c = '_';  // parameterised tests carry slashes in their names
        dir += "/" + leaf;
        std::filesystem::create_directory(dir, ec);
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
    std::string out;
    FILE* f = fopen(path.c_str(), "r");
    if (!f) return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, n);
    fclose(f);
    return out;
}

std::string qmFreshDir(const std::string& name) {
    std::string d = qmTestPath(name);
    std::error_code ec;
    std::filesystem::remove_all(d, ec);  // links are removed, never followed
    std::filesystem::create_directory(d, ec);
    return d;
}
