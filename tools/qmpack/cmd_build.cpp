// qmpack build OUT MANIFEST: a new package from a manifest; qmpack add PACKAGE MANIFEST: the
// manifest's entries added to an existing package, whose entries keep their numbers and offsets;
// qmpack replace PACKAGE MANIFEST: the same, but entries the manifest numbers are replaced.
// All check every source before anything is written, write the package (and the names files)
// beside their targets and rename them into place, so a failure leaves nothing half-written.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "base/package.h"
#include "builder.h"
#include "cleanup.h"
#include "files.h"
#include "kinds.h"
#include "manifest.h"
#include "output.h"
#include "package_index.h"
#include "progress.h"
#include "qmpack.h"
#include "report.h"
#include "scratch.h"

namespace {

const long long kLargeBytes = 8LL << 20;
const size_t kLargeFiles = 200;

struct LocalJob {
    const char* command;
    std::string out;  // the package written
    std::string manifestPath;
    QMPackManifest manifest;
    std::string namesPath, headerPath;
    bool transposed = false;
    bool namesLoaded = false;
    bool json = false;
    std::vector<int> replaced;  // stored numbers whose entries the manifest replaces
};

std::string localMegabytes(long long bytes) {
    char text[32];
    snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1 << 20));
    return text;
}

// The package, the names file and the header file are three files. Files that do not exist yet
// have no identity: their paths are compared as well.
bool localCheckOutputsDiffer(const LocalJob& job) {
    auto same = [](const std::string& a, const std::string& b) {
        return fxAbsolutePath(a) == fxAbsolutePath(b) || fxFileIdOf(a.c_str()) == fxFileIdOf(b.c_str());
    };
    if (!job.namesPath.empty() && same(job.namesPath, job.out))
        return qmpackRefuse("%s: will not write over the package, the output of this command", job.namesPath.c_str());
    if (!job.headerPath.empty() && same(job.headerPath, job.out))
        return qmpackRefuse("%s: will not write over the package, the output of this command", job.headerPath.c_str());
    if (!job.namesPath.empty() && !job.headerPath.empty() && same(job.namesPath, job.headerPath))
        return qmpackRefuse("%s: the names file and the header file would be one file", job.headerPath.c_str());
    return true;
}

// Opens the names and header outputs (when asked for): none may replace an input or the package.
bool localOpenNameOutputs(const LocalJob& job, const QMPackBuilder& b, QMPackOutput* names, QMPackOutput* header) {
    std::vector<QMPackInput> inputs;
    for (const QMPackInput& in : b.Inputs())
        if (in.role != "the names file") inputs.push_back(in);  // a names file read is written back
    inputs.push_back({job.out, "the package"});
    if (!job.namesPath.empty() && !names->Open(job.namesPath, inputs, false)) return false;
    if (!job.headerPath.empty()) {
        if (!job.namesPath.empty()) inputs.push_back({job.namesPath, "the names file"});
        if (!header->Open(job.headerPath, inputs, false)) return false;
    }
    return true;
}

// Registers every manifest entry, then writes the package and the names files and puts them in
// place. p holds the stored package (empty for build); out is already open (and locked).
int localPackAndWrite(LocalJob& job, FXPackage* p, QMPackScratch* scratch, QMPackOutput* out) {
    if (!localCheckOutputsDiffer(job)) return QMPACK_FAILED;
    QMPackBuilder b(p, scratch, &job.manifest);
    if (job.namesLoaded && !b.LoadNames(job.namesPath)) return QMPACK_FAILED;
    // Replaced entries go only now: the names file read above may name them.
    p->DropEntries(job.replaced);
    if (!b.Begin(job.namesLoaded)) return QMPACK_FAILED;

    long long planned = 0;
    for (const QMPackManifestEntry& e : job.manifest.entries) {
        long long size = 0;
        std::string why;
        if (qmpackCheckInput(e.path, &why, &size)) planned += size;
    }
    size_t count = job.manifest.entries.size();
    QMPackProgress progress;
    progress.Start(planned > kLargeBytes || count > kLargeFiles,
                   "packing " + std::to_string(count) + " files (" + localMegabytes(planned) + ") into " + job.out,
                   int(count));
    for (size_t i = 0; i < count; i++) {
        const QMPackManifestEntry& e = job.manifest.entries[i];
        progress.Step(int(i), e.written);
        qmpackDetail("%s: %s as entry %d", job.manifest.Where(e.line).c_str(), e.written.c_str(), e.number);
        if (!b.Add(e)) {
            progress.Clear();
            return QMPACK_FAILED;
        }
    }
    progress.Step(int(count), "writing " + job.out);
    // Sources found while compiling (libraries, pictures) are inputs too.
    if (!qmpackCheckNotAnInput(job.out, b.Inputs())) return QMPACK_FAILED;
    QMPackOutput names, header;
    if (!localOpenNameOutputs(job, b, &names, &header)) return QMPACK_FAILED;

    long long entries = (long long)p->GetCount() + p->pendingIds.top;
    long long body = (long long)p->DataLength() + b.Bytes() + 16 + 16 * entries;
    if (body > INT_MAX) {
        progress.Clear();
        return qmpackFail("%s: cannot write: the package would be over the 2 GB limit (%s)", job.out.c_str(),
                          localMegabytes(body).c_str());
    }
    scratch->TakeEngineErrors();
    errno = 0;
    if (!p->Save(out->TempPath().c_str(), job.transposed ? 1 : 0)) {
        int e = errno;
        std::vector<FXError> why = scratch->TakeEngineErrors();
        progress.Clear();
        return qmpackFail("%s: cannot write the package (%s)", job.out.c_str(),
                          e ? strerror(e) : why.empty() ? "unknown reason" : why.front().Text().c_str());
    }
    if (!b.WriteNames(job.namesPath.empty() ? nullptr : &names, job.headerPath.empty() ? nullptr : &header))
        return QMPACK_FAILED;
    // The names files first, then the package, all while the package is locked and no signal
    // can come between: a names file newer than its package is refused by the next 'add'
    // (it names entries the package lacks), an older one would silently lose names.
    {
        QMPackCommitGuard guard;
        if (!job.namesPath.empty() && !names.Commit()) return QMPACK_FAILED;
        if (!job.headerPath.empty() && !header.Commit()) return QMPACK_FAILED;
        if (!out->Commit()) return QMPACK_FAILED;
    }
    std::string summary = "wrote " + job.out + ": " + std::to_string(p->GetCount()) + " entries, " +
                          localMegabytes(p->DataLength()) + " of data";
    progress.Finish(summary);
    qmpackDetail("%s", summary.c_str());
    std::vector<int> added;
    for (const QMPackManifestEntry& e : job.manifest.entries)
        if (std::find(job.replaced.begin(), job.replaced.end(), e.number) == job.replaced.end())
            added.push_back(e.number);
    QMPackReport report(job.json);
    report.Text("package", job.out).Number("entries", p->GetCount()).Numbers("added", added);
    report.Numbers("replaced", job.replaced).Number("compiled", b.Compiled()).Number("dataBytes", p->DataLength());
    report.Bool("transposed", job.transposed);
    if (job.namesPath.empty()) report.Null("names"); else report.Text("names", job.namesPath);
    if (job.headerPath.empty()) report.Null("header"); else report.Text("header", job.headerPath);
    return report.Print("") ? QMPACK_OK : qmpackFail("%s: cannot write the report", job.command);
}

bool localParse(const char* command, int argc, char** argv, LocalJob* job, QMPackArgs* parsed = nullptr) {
    QMPackArgs local;
    QMPackArgs& args = parsed ? *parsed : local;
    std::vector<std::string> switches = {"--transposed", "--json"};
    if (!strcmp(command, "replace")) switches.push_back("--any-kind");
    if (!args.Parse(command, argc, argv, {"--names", "--header"}, switches)) return false;
    if (args.positional.size() != 2) {
        qmpackUsage(command);
        return false;
    }
    job->command = command;
    job->out = args.positional[0];
    job->manifestPath = args.positional[1];
    job->transposed = args.Has("--transposed");
    job->json = args.Has("--json");
    job->namesPath = args.Value("--names");
    job->headerPath = args.Value("--header");
    if ((args.Has("--names") && job->namesPath.empty()) || (args.Has("--header") && job->headerPath.empty())) {
        qmpackFail("%s: --names and --header need a file name", command);
        return false;
    }
    return true;
}

}  // namespace

int qmpackBuild(int argc, char** argv) {
    LocalJob job;
    if (!localParse("build", argc, argv, &job)) return QMPACK_USAGE;
    if (!job.manifest.Read(job.manifestPath)) return QMPACK_FAILED;

    // The output may replace none of the files named so far (compiled sources are checked later).
    std::vector<QMPackInput> inputs = {{job.manifest.path, "the manifest"}};
    for (const QMPackManifestEntry& e : job.manifest.entries)
        inputs.push_back({e.path, "the source on line " + std::to_string(e.line) + " of the manifest"});
    QMPackOutput out;
    if (!out.Open(job.out, inputs, true)) return QMPACK_FAILED;
    QMPackScratch scratch;
    if (!scratch.Create()) return QMPACK_FAILED;
    FXPackage p;
    return localPackAndWrite(job, &p, &scratch, &out);
}

namespace {

// add and replace: the package stays locked from its read to the rename of its new version.
// replace: numbers the package holds are replaced (when qmpackCheckReplacement agrees); add
// refuses them.
int localGrow(LocalJob& job, bool replace, bool anyKind) {
    if (!job.manifest.Read(job.manifestPath)) return QMPACK_FAILED;
    // A package grown by hand gets the numbers the saver reads, which are never negative.
    for (const QMPackManifestEntry& e : job.manifest.entries)
        if (e.number < 0)
            return qmpackFail("%s: %d is not an entry number '%s' takes (entry numbers are 0 or more)",
                              job.manifest.Where(e.line).c_str(), e.number, job.command);

    std::string why;
    if (!qmpackCheckInput(job.out, &why)) return qmpackFail("%s: cannot open (%s)", job.out.c_str(), why.c_str());
    if (!qmpackCheckNotAnInput(job.out, {{job.manifest.path, "the manifest"}})) return QMPACK_FAILED;
    QMPackOutput out;
    if (!out.Open(job.out, {}, true)) return QMPACK_FAILED;
    FXPackage p;
    bool transposed = false;
    if (!qmpackLoadPackage(job.out, out.LockedFd(), &p, &transposed)) return QMPACK_FAILED;
    std::map<int, int> position;  // number -> its first entry
    for (int i = 0; i < p.GetCount(); i++) position.emplace(p.IdAt(i), i);
    for (const QMPackManifestEntry& e : job.manifest.entries) {
        auto at = position.find(e.number);
        if (at == position.end()) continue;
        if (!replace)
            return qmpackFail("%s: number %d is already an entry of %s ('qmpack replace' replaces entries)",
                              job.manifest.Where(e.line).c_str(), e.number, job.out.c_str());
        if (!qmpackCheckReplacement(job.manifest.Where(e.line), &p, at->second, e.path, anyKind)) return QMPACK_FAILED;
        job.replaced.push_back(e.number);
    }
    job.transposed = job.transposed || transposed;  // the package keeps its stored form
    job.namesLoaded = !job.namesPath.empty() && fxFileIdOf(job.namesPath.c_str()).valid;
    QMPackScratch scratch;
    if (!scratch.Create()) return QMPACK_FAILED;
    return localPackAndWrite(job, &p, &scratch, &out);
}

}  // namespace

int qmpackAdd(int argc, char** argv) {
    LocalJob job;
    if (!localParse("add", argc, argv, &job)) return QMPACK_USAGE;
    return localGrow(job, false, false);
}

int qmpackReplace(int argc, char** argv) {
    LocalJob job;
    QMPackArgs args;
    if (!localParse("replace", argc, argv, &job, &args)) return QMPACK_USAGE;
    return localGrow(job, true, args.Has("--any-kind"));
}
