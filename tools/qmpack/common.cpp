// Helpers every qmpack subcommand shares: error lines, argument parsing, entry numbers and
// loading a package with a reason when it cannot be loaded.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/binio.h"
#include "qmpack.h"

int qmpackFail(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    fputs("qmpack: ", stderr);
    vfprintf(stderr, fmt, args);
    fputc('\n', stderr);
    va_end(args);
    return QMPACK_FAILED;
}

bool QMPackArgs::Parse(const char* command, int argc, char** argv, const std::vector<std::string>& valueFlags,
                       const std::vector<std::string>& switchFlags) {
    bool optionsEnded = false;
    for (int i = 0; i < argc; i++) {
        std::string a = argv[i];
        int number = 0;
        // Negative entry numbers are arguments, not options; "--" ends the options.
        if (optionsEnded || a.size() < 2 || a[0] != '-' || qmpackParseNumber(a, &number)) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        bool takesValue = false, isSwitch = false;
        for (const std::string& f : valueFlags) takesValue = takesValue || f == a;
        for (const std::string& f : switchFlags) isSwitch = isSwitch || f == a;
        bool known = takesValue || isSwitch;
        if (!known) {
            qmpackFail("%s: unknown option '%s'", command, a.c_str());
            return false;
        }
        if (takesValue) {
            if (i + 1 >= argc) {
                qmpackFail("%s: option '%s' needs a value", command, a.c_str());
                return false;
            }
            options.emplace_back(a, argv[++i]);
        } else {
            options.emplace_back(a, "");
        }
    }
    return true;
}

bool QMPackArgs::Has(const std::string& flag) const {
    for (const auto& o : options)
        if (o.first == flag) return true;
    return false;
}

std::string QMPackArgs::Value(const std::string& flag) const {
    std::string v;
    for (const auto& o : options)
        if (o.first == flag) v = o.second;  // the last one given wins
    return v;
}

bool qmpackParseNumber(const std::string& text, int* number) {
    if (text.empty()) return false;
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    long v = strtol(s, &end, 10);
    if (end == s || *end || errno == ERANGE || v < INT_MIN || v > INT_MAX || isspace((unsigned char)s[0]))
        return false;
    *number = int(v);
    return true;
}

namespace {

// Why a file that is a package loaded with no entries: a body of four zero counts is a genuine
// empty package; anything else was refused as damaged.
bool localIsGenuinelyEmpty(const unsigned char* body, size_t size, bool transposed) {
    if (size < 16) return false;
    std::vector<unsigned char> plain(body, body + size);
    if (transposed) fxPackageTranspose(plain.data(), body, int(size));
    for (int i = 0; i < 4; i++)
        if (fxGetI32(plain.data() + 4 * i) != 0) return false;
    return true;
}

}  // namespace

bool qmpackLoad(const char* path, FXPackage* p, bool* transposed) {
    p->Destroy();
    FILE* f = fopen(path, "rb");
    if (!f) {
        qmpackFail("%s: cannot open (%s)", path, strerror(errno));
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof(buf), f)) > 0) {
        bytes.insert(bytes.end(), buf, buf + got);
        if (bytes.size() > size_t(INT_MAX)) break;
    }
    bool readError = ferror(f) != 0;
    fclose(f);
    if (readError || bytes.size() > size_t(INT_MAX)) {
        qmpackFail("%s: %s", path, readError ? "read error" : "too large for a package");
        return false;
    }

    int32_t sigLen = bytes.size() >= 4 ? fxGetI32(bytes.data()) : -1;
    if (sigLen < 5 || sigLen > FXStr::kCapacity || size_t(sigLen) > bytes.size() - 4 ||
        memcmp(bytes.data() + 4, "pck01", 5) != 0) {
        qmpackFail("%s: not a package (no 'pck01' signature)", path);
        return false;
    }
    bool turned = memchr(bytes.data() + 9, 's', size_t(sigLen - 5)) != nullptr;
    if (transposed) *transposed = turned;

    p->LoadFromMemory(bytes.data(), long(bytes.size()));
    size_t bodyAt = 4 + size_t(sigLen);
    if (p->IsEmpty() && !localIsGenuinelyEmpty(bytes.data() + bodyAt, bytes.size() - bodyAt, turned)) {
        qmpackFail("%s: damaged package (its entry tables do not agree with its size)", path);
        return false;
    }
    return true;
}
