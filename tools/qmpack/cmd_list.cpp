// qmpack list FILE [--json]: one line per entry with its number, type, size and what it holds,
// read from the package's tables and each entry alone (never the whole body). Damage (entries
// outside the data area, pictures that are not what their type says, records the engine
// refuses, numbers used twice, references to entries that are not there) is marked on the
// entry's line and summed up in one line on standard error, and the exit status is then 1.
#include <cstdio>
#include <map>
#include <set>

#include "describe.h"
#include "package_index.h"
#include "image/picture_header.h"
#include "progress.h"
#include "qmpack.h"

namespace {

struct LocalEntry {
    int position, number, type, size, offset;
    QMPackEntryInfo info;
};

std::string localTypeName(int type) {
    std::string kind = fxPictureKind(type);
    if (!kind.empty()) return kind;
    return type == -1 ? "record" : "type" + std::to_string(type);
}

// Marks numbers used twice and references to missing entries (against every entry of the
// package, also when only some are listed).
void localCrossCheck(const QMPackIndex& index, std::vector<LocalEntry>* entries) {
    std::map<int, int> first;  // number -> its first position
    for (int i = 0; i < index.Count(); i++) first.emplace(index.Id(i), i);
    for (LocalEntry& e : *entries) {
        if (first[e.number] != e.position && e.info.problem.empty())
            e.info.problem = "number " + std::to_string(e.number) + " is used twice: this entry is never read";
        for (const auto& ref : e.info.refs)
            if (!first.count(ref.second) && e.info.problem.empty())
                e.info.problem = "names " + ref.first + " entry " + std::to_string(ref.second) + ", which is missing";
    }
}

void localPrintText(const std::vector<LocalEntry>& entries) {
    for (const LocalEntry& e : entries) {
        std::string text = e.info.summary;
        if (!e.info.problem.empty()) text += std::string(text.empty() ? "" : "; ") + "DAMAGED: " + e.info.problem;
        printf("%8d  %-6s  %10d%s%s\n", e.number, localTypeName(e.type).c_str(), e.size, text.empty() ? "" : "  ",
               text.c_str());
        for (const std::string& d : e.info.details) printf("%32s%s\n", "", d.c_str());
    }
}

void localPrintJson(const QMPackIndex& x, const std::vector<LocalEntry>& entries, int damaged) {
    printf("{\"file\":%s,\"transposed\":%s,\"entries\":[", qmpackJson(x.path).c_str(),
           x.transposed ? "true" : "false");
    for (size_t k = 0; k < entries.size(); k++) {
        const LocalEntry& e = entries[k];
        printf("%s\n{\"number\":%d,\"type\":%s,\"size\":%d,\"offset\":%d,\"kind\":%s", k ? "," : "", e.number,
               qmpackJson(localTypeName(e.type)).c_str(), e.size, e.offset, qmpackJson(e.info.kind).c_str());
        if (!e.info.summary.empty()) printf(",\"summary\":%s", qmpackJson(e.info.summary).c_str());
        printf("%s", e.info.json.c_str());
        if (!e.info.problem.empty()) printf(",\"problem\":%s", qmpackJson(e.info.problem).c_str());
        printf("}");
    }
    printf("%s],\"damaged\":%d}\n", entries.empty() ? "" : "\n", damaged);
}

}  // namespace

int qmpackList(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("list", argc, argv, {}, {"--json"})) return QMPACK_USAGE;
    if (args.positional.empty()) return qmpackUsage("list");
    const std::string path = args.positional[0];
    std::set<int> chosen;
    for (size_t k = 1; k < args.positional.size(); k++) {
        int number = 0;
        if (!qmpackParseNumber(args.positional[k], &number))
            return qmpackBadValue("list: '%s' is not an entry number", args.positional[k].c_str());
        chosen.insert(number);
    }
    QMPackIndex index;
    if (!index.Open(path)) return QMPACK_FAILED;
    for (int number : chosen)
        if (index.Find(number) < 0) return qmpackFail("%s: no entry numbered %d", path.c_str(), number);

    std::vector<LocalEntry> entries;
    QMPackProgress progress;
    progress.Start(index.Count() > 2000 || index.bodySize > (256LL << 20),
                   "reading the " + std::to_string(index.Count()) + " entries of " + path, index.Count());
    for (int i = 0; i < index.Count(); i++) {
        if (!chosen.empty() && !chosen.count(index.Id(i))) continue;
        progress.Step(i, "entry " + std::to_string(index.Id(i)));
        qmpackDetail("reading entry %d (%d bytes)", index.Id(i), index.Size(i));
        LocalEntry e{i, index.Id(i), index.Type(i), index.Size(i),
                     index.Offset(i), {}};
        qmpackDescribeEntry(index, i, &e.info);
        entries.push_back(e);
    }
    progress.Finish("read " + path);
    localCrossCheck(index, &entries);

    int damaged = 0;
    std::string firstProblems;
    for (const LocalEntry& e : entries)
        if (!e.info.problem.empty()) {
            if (damaged < 3) firstProblems += (damaged ? "; " : "") + std::to_string(e.number) + ": " + e.info.problem;
            damaged++;
        }
    if (args.Has("--json"))
        localPrintJson(index, entries, damaged);
    else
        localPrintText(entries);
    if (fflush(stdout) != 0 || ferror(stdout)) return qmpackFail("list: cannot write the listing");
    if (damaged > 0)
        return qmpackFail("%s: damaged: %d of %d entries cannot be used (%s%s)", path.c_str(), damaged,
                          int(entries.size()), firstProblems.c_str(), damaged > 3 ? "; ..." : "");
    return QMPACK_OK;
}
