// Helpers every qmpack subcommand shares: error and warning lines, argument parsing and entry
// numbers.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "qmpack.h"

namespace {

// One line on standard error: "qmpack: ", the prefix, the message.
void localReport(const char* prefix, const char* fmt, va_list args) {
    fputs("qmpack: ", stderr);
    fputs(prefix, stderr);
    vfprintf(stderr, fmt, args);
    fputc('\n', stderr);
}

}  // namespace

int qmpackFail(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    localReport("", fmt, args);
    va_end(args);
    return QMPACK_FAILED;
}

int qmpackBadValue(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    localReport("", fmt, args);
    va_end(args);
    return QMPACK_USAGE;
}

bool qmpackRefuse(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    localReport("", fmt, args);
    va_end(args);
    return false;
}

int qmpackVerbosity = 1;

void qmpackSay(const char* fmt, ...) {
    if (qmpackVerbosity < 1) return;
    va_list args;
    va_start(args, fmt);
    vprintf(fmt, args);
    va_end(args);
    putchar('\n');
}

void qmpackDetail(const char* fmt, ...) {
    if (qmpackVerbosity < 2) return;
    va_list args;
    va_start(args, fmt);
    localReport("", fmt, args);
    va_end(args);
}

void qmpackWarn(const char* fmt, ...) {
    if (qmpackVerbosity < 1) return;
    va_list args;
    va_start(args, fmt);
    localReport("warning: ", fmt, args);
    va_end(args);
}

bool QMPackArgs::Parse(const char* command, int argc, char** argv, const std::vector<std::string>& valueFlags,
                       const std::vector<std::string>& switchFlags) {
    bool optionsEnded = false;
    for (int i = 0; i < argc; i++) {
        std::string a = argv[i];
        int number = 0;
        if (optionsEnded || a.size() < 2 || a[0] != '-' || qmpackParseNumber(a, &number)) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string inlineValue;
        bool hasInline = false;
        size_t eq = a.find('=');
        if (a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            inlineValue = a.substr(eq + 1);
            a.erase(eq);
            hasInline = true;
        }
        if (a == "--quiet" || a == "--verbose") {
            if (hasInline) {
                qmpackFail("%s: option '%s' takes no value", command, a.c_str());
                return false;
            }
            qmpackVerbosity = a == "--quiet" ? 0 : 2;
            continue;
        }
        bool takesValue = false, isSwitch = false;
        for (const std::string& f : valueFlags) takesValue = takesValue || f == a;
        for (const std::string& f : switchFlags) isSwitch = isSwitch || f == a;
        if (!takesValue && !isSwitch) {
            qmpackFail("%s: unknown option '%s' (try 'qmpack help %s')", command, a.c_str(), command);
            return false;
        }
        if (isSwitch) {
            if (hasInline) {
                qmpackFail("%s: option '%s' takes no value", command, a.c_str());
                return false;
            }
            options.emplace_back(a, "");
        } else if (hasInline) {
            options.emplace_back(a, inlineValue);
        } else if (i + 1 < argc) {
            options.emplace_back(a, argv[++i]);
        } else {
            qmpackFail("%s: option '%s' needs a value", command, a.c_str());
            return false;
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
