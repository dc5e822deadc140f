// Reading manifests.
#include "manifest.h"

#include <map>

#include "files.h"
#include "qmpack.h"

namespace {

bool localIsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The first word of a line and where the rest begins (blanks skipped).
std::string localWord(const std::string& l, size_t a, size_t z, size_t* rest) {
    size_t end = a;
    while (end < z && !localIsBlank(l[end])) end++;
    size_t r = end;
    while (r < z && localIsBlank(l[r])) r++;
    *rest = r;
    return l.substr(a, end - a);
}

}  // namespace

std::string QMPackManifest::Where(int line) const { return path + ":" + std::to_string(line); }

bool QMPackManifest::Read(const std::string& file) {
    path = file;
    folder = fxDirOf(file);
    entries.clear();
    std::string text;
    FXInputInfo info;
    // Named on the command line: a pipe the shell made (build OUT <(...)) is read to its end too.
    // Its folder means nothing: its files are named from the working directory.
    if (file.empty() || !fxReadInput(file.c_str(), kMaxManifestBytes, &text, &info, FX_INPUT_PIPE_OK))
        return qmpackRefuse("%s: cannot read the manifest (%s)", file.c_str(),
                            file.empty() ? "no file named" : info.Why().c_str());
    if (info.pipe) folder.clear();
    if (text.find('\0') != std::string::npos)
        return qmpackRefuse("%s: not a text file (a manifest lists 'number path' lines)", file.c_str());

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

        size_t rest = 0;
        std::string token = localWord(l, a, z, &rest);
        if (token == "free") {
            std::string value = localWord(l, rest, z, &rest);
            if (freeLine > 0)
                return qmpackRefuse("%s: a second 'free' line (the first is line %d)", Where(line).c_str(), freeLine);
            if (!qmpackParseNumber(value, &freeStart) || rest != z)
                return qmpackRefuse("%s: expected 'free NUMBER' (where compiled content is numbered from)",
                                    Where(line).c_str());
            freeLine = line;
            continue;
        }
        int number = 0;
        if (!qmpackParseNumber(token, &number))
            return qmpackRefuse("%s: expected 'number path', '%s' is not an entry number", Where(line).c_str(),
                                token.c_str());
        if (rest == z)
            return qmpackRefuse("%s: expected 'number path', no file after %d", Where(line).c_str(), number);
        auto used = lineOf.find(number);
        if (used != lineOf.end())
            return qmpackRefuse("%s: number %d is already used on line %d", Where(line).c_str(), number, used->second);
        lineOf[number] = line;
        std::string written = l.substr(rest, z - rest);
        entries.push_back({line, number, written, fxJoinPath(folder, written)});
    }
    if (entries.empty())
        return qmpackRefuse("%s: the manifest lists no entries (expected 'number path' lines)", file.c_str());
    return true;
}
