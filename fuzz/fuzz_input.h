// How the fuzzers hand their input to a reader: as the content of a named file, as an open
// stream, or as an entry of a package in memory.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../tests/support/package_bytes.h"
#include "base/package.h"

// The input as a file's content, named by a /proc path (one anonymous in-memory file, rewritten on
// every call). Null when it cannot be written.
inline const char* qmFuzzFile(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("fuzz_input", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0) return nullptr;
    if (size && pwrite(fd, data, size, 0) != ssize_t(size)) return nullptr;
    return path.c_str();
}

// The input as a stream open for reading from its start (fclose it), or null.
inline FILE* qmFuzzStream(const uint8_t* data, size_t size) {
    const char* path = qmFuzzFile(data, size);
    return path ? fopen(path, "rb") : nullptr;
}

// Loads pkg with the input as its only entry, number id of the given type (-1: an engine record).
inline void qmFuzzPackage(FXPackage* pkg, const uint8_t* data, size_t size, int id = 0, int type = -1) {
    std::vector<unsigned char> bytes =
        qmPackageFile({{id, type, std::vector<unsigned char>(data, data + size)}});
    pkg->LoadFromMemory(bytes.data(), long(bytes.size()));
}
