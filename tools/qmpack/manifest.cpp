// Manifests for qmpack build and add: plain text, one "number path" line per entry. Lines whose
// first non-blank character is '#' and blank lines are ignored; the path is the rest of the line
// (spaces inside it are kept) and is relative to the manifest's folder unless absolute.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "base/paths.h"
#include "qmpack.h"

namespace {

bool localIsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The manifest's folder with a trailing separator, or "" when it lies in the working directory.
std::string localFolderOf(const std::string& manifest) {
    size_t sep = manifest.find_last_of("/\\");
    return sep == std::string::npos ? std::string() : manifest.substr(0, sep + 1);
}

}  // namespace

bool qmpackReadManifest(const char* path, std::vector<QMPackManifestEntry>* entries) {
    entries->clear();
    FILE* f = fopen(path, "rb");
    if (!f) {
        qmpackFail("%s: cannot read the manifest (%s)", path, strerror(errno));
        return false;
    }
    std::string text;
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, got);
    bool readError = ferror(f) != 0;
    fclose(f);
    if (readError) {
        qmpackFail("%s: cannot read the manifest", path);
        return false;
    }

    std::string folder = localFolderOf(path);
    std::map<int, int> lineOf;  // number -> the line that used it
    size_t pos = 0;
    for (int line = 1; pos < text.size(); line++) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string l = text.substr(pos, end - pos);
        pos = end + 1;

        size_t a = 0;
        while (a < l.size() && localIsBlank(l[a])) a++;
        size_t z = l.size();
        while (z > a && localIsBlank(l[z - 1])) z--;
        if (a == z || l[a] == '#') continue;
        if (l.find('\0') != std::string::npos) {
            qmpackFail("%s:%d: not a text line", path, line);
            return false;
        }

        size_t numberEnd = a;
        while (numberEnd < z && !localIsBlank(l[numberEnd])) numberEnd++;
        std::string token = l.substr(a, numberEnd - a);
        int number = 0;
        if (!qmpackParseNumber(token, &number)) {
            qmpackFail("%s:%d: expected 'number path', '%s' is not an entry number", path, line, token.c_str());
            return false;
        }
        size_t pathAt = numberEnd;
        while (pathAt < z && localIsBlank(l[pathAt])) pathAt++;
        if (pathAt == z) {
            qmpackFail("%s:%d: expected 'number path', no file after %d", path, line, number);
            return false;
        }
        auto used = lineOf.find(number);
        if (used != lineOf.end()) {
            qmpackFail("%s:%d: number %d is already used on line %d", path, line, number, used->second);
            return false;
        }
        lineOf[number] = line;
        std::string file = l.substr(pathAt, z - pathAt);
        entries->push_back({line, number, fxIsAbsolutePath(file.c_str()) ? file : folder + file});
    }
    return true;
}
