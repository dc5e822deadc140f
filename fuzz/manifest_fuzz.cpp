// Fuzzes qmpack's manifest reader: arbitrary bytes are read as a manifest. A manifest that is
// accepted lists at least one entry, each under a number of its own with a non-empty path; a
// refused one says why on the error stream. The sanitizers catch any read outside the text.
#include <cstdlib>
#include <set>

#include "fuzz_input.h"
#include "manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = qmFuzzFile(data, size);
    if (!path) return 0;
    QMPackManifest m;
    if (!m.Read(path)) return 0;
    if (m.entries.empty()) abort();
    std::set<int> numbers;
    for (const QMPackManifestEntry& e : m.entries) {
        if (e.written.empty() || e.path.empty() || e.line < 1 || !numbers.insert(e.number).second) abort();
        if (m.freeLine > 0 && m.freeLine == e.line) abort();
    }
    return 0;
}
