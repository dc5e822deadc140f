// qmpack against a careless or hostile user: unpack never writes over its own input and stays
// linear in the number of entries; names from a package that cannot be files never leave half a
// tree, and a write that fails leaves the folder as it was; a picture too large to show is
// refused from its header; add and replace take no negative entry numbers.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "qmpack/qmpack_test_util.h"
#include "support/immutable_posix.h"
#include "support/package_bytes.h"

namespace {

// Every file below dir (links as links), by its path relative to dir, with its bytes.
using Tree = std::map<std::string, std::vector<unsigned char>>;

void localSnapshot(const std::string& dir, const std::string& rel, Tree* out) {
    for (const std::string& name : qmpFolderFiles(dir + "/" + rel)) {
        std::string sub = rel.empty() ? name : rel + "/" + name;
        struct stat st;
        if (lstat((dir + "/" + sub).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            (*out)[sub + "/"] = {};
            localSnapshot(dir, sub, out);
        } else {
            (*out)[sub] = qmReadFile(dir + "/" + sub);
        }
    }
}

Tree localTree(const std::string& dir) {
    Tree t;
    localSnapshot(dir, "", &t);
    return t;
}

std::vector<unsigned char> localPng() {
    std::string path = qmTestPath("hostile_leaf.png");
    qmpWritePng(path);
    return qmReadFile(path);
}

// A material library record labelled label with one material.
std::vector<unsigned char> localLibrary(const std::string& label) {
    QmBytes lib;
    lib.Str(label).Int(1).Str("skin").Str("");
    for (int k = 0; k < 17; k++) lib.Float(k == 7 || k == 11 ? 1.0f : 0.5f);
    return lib.bytes;
}

// A model record naming library entry lib.
std::vector<unsigned char> localModel(int lib) {
    std::string path = qmTestPath("hostile_model.xm");
    qmpWriteModel(path, "m", std::to_string(lib), {"skin"});
    return qmReadFile(path);
}

// The CPU seconds of this process (who = RUSAGE_SELF) or of its children so far (qmpack and the
// build it runs itself).
double localCpuSeconds(int who) {
    rusage u;
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// What n files cost the file system here: each written into one folder and renamed into another,
// as unpack does. (Creating files can cost a hundred times more on one machine than on another,
// and more while other programs remove many files.)
double localFileCost(const std::string& dir, int n) {
    mkdir((dir + "/a").c_str(), 0755);
    mkdir((dir + "/b").c_str(), 0755);
    double start = localCpuSeconds(RUSAGE_SELF);
    for (int i = 0; i < n; i++) {
        std::string name = "/" + std::to_string(i) + ".bin";
        if (FILE* f = fopen((dir + "/a" + name).c_str(), "wb")) fclose(f);
        rename((dir + "/a" + name).c_str(), (dir + "/b" + name).c_str());
    }
    return localCpuSeconds(RUSAGE_SELF) - start;
}

}  // namespace

// `cp qmsave.dat 1.jpg; qmpack unpack 1.jpg -o . --force` used to write entry 1 over the package.
TEST(QmpackHostile, UnpackNeverWritesOverItsOwnInput) {
    std::string dir = qmFreshDir("hostile_self");
    std::vector<unsigned char> pkg = qmPackageFile({{1, FX_PACKAGE_TYPE_PNG, localPng()}, {2, -1, {7, 7}}});
    struct Case {
        std::string package;  // where the package lies, inside the folder unpacked into
        std::string alias;    // another name of the same file, or ""
    } cases[] = {{"1.png", ""}, {"p.dat", "2.bin"}, {"qmsave.names", ""}, {"p.dat", "qmsave.txt"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package + " " + c.alias);
        std::string out = qmFreshDir("hostile_self_out");
        qmWriteFile(out + "/" + c.package, pkg);
        if (!c.alias.empty()) {
            ASSERT_EQ(link((out + "/" + c.package).c_str(), (out + "/" + c.alias).c_str()), 0);
        }
        Tree before = localTree(out);
        QmpRun r = qmpRun("unpack " + qmpQuote(out + "/" + c.package) + " -o " + qmpQuote(out) + " --force");
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(qmpHas(r.err, "will not write over the package (" + out + "/" + c.package +
                                      "), one of this command's inputs; name another folder"))
            << r.err;
        EXPECT_EQ(localTree(out), before) << "the folder is as it was";
    }
}

// Each file written used to sweep the whole folder for stale temporary files: 20 000 entries took
// 72 s. The unpack of a package is measured, in CPU time, against what it must do anyway: make
// as many files and build the tree once. Linear, it costs about that (less, here); quadratic,
// many times more.
TEST(QmpackHostile, UnpackIsLinearInTheNumberOfEntries) {
    const int kEntries = 20000;
    std::vector<QmEntry> entries;
    for (int i = 0; i < kEntries; i++) entries.push_back({i, -1, {}});
    std::string dir = qmFreshDir("hostile_many");
    qmWriteFile(dir + "/many.dat", qmPackageFile(entries));
    double files = localFileCost(dir, kEntries);
    double start = localCpuSeconds(RUSAGE_CHILDREN);
    QmpRun u = qmpRun("unpack " + qmpQuote(dir + "/many.dat") + " -o " + qmpQuote(dir + "/out") + " --quiet");
    double unpack = localCpuSeconds(RUSAGE_CHILDREN) - start;
    ASSERT_EQ(u.rc, 0) << u.err;
    start = localCpuSeconds(RUSAGE_CHILDREN);
    QmpRun b = qmpRun("build " + qmpQuote(dir + "/again.dat") + " " + qmpQuote(dir + "/out/qmsave.txt") + " --quiet");
    double build = localCpuSeconds(RUSAGE_CHILDREN) - start;
    ASSERT_EQ(b.rc, 0) << b.err;
    EXPECT_EQ(qmReadFile(dir + "/again.dat"), qmReadFile(dir + "/many.dat"));
    EXPECT_LT(unpack, 3 * (files + build) + 5.0)
        << "unpack " << unpack << " s, " << kEntries << " files " << files << " s, build " << build << " s";
}

// Library labels that cannot be files where they would go: inside the manifest's own name or a
// picture's, a part longer than a file system takes, two that differ only in case. Each gets a
// name of its own and the tree builds again; it used to end with status 1 and leave the files
// written so far behind.
TEST(QmpackHostile, NamesThatCannotBeFilesGetNamesThatCan) {
    std::string dir = qmFreshDir("hostile_names");
    std::string longPart(300, 'n');
    std::vector<std::string> labels = {"qmsave.txt/x.mtl", "0.png/x.mtl", longPart + "/x.mtl", "Skin.mtl", "skin.mtl",
                                       "../qmsave.names"};
    std::vector<QmEntry> entries = {{0, FX_PACKAGE_TYPE_PNG, localPng()}};
    for (size_t k = 0; k < labels.size(); k++) {
        entries.push_back({int(10 + k), -1, localModel(int(50 + k))});
        entries.push_back({int(50 + k), -1, localLibrary(labels[k])});
    }
    qmWriteFile(dir + "/p.dat", qmPackageFile(entries));
    std::string out = dir + "/out";
    QmpRun r = qmpRun("unpack " + qmpQuote(dir + "/p.dat") + " -o " + qmpQuote(out) + " --json");
    ASSERT_EQ(r.rc, 0) << r.err;
    Tree t = localTree(out);
    EXPECT_TRUE(t.count("qmsave.txt") && t.count("qmsave.names"));
    EXPECT_TRUE(t.count("0.png")) << "the picture keeps its name: the labels give way";
    for (const auto& f : t) {
        std::string name = f.first.substr(f.first.rfind('/', f.first.size() - 2) + 1);
        EXPECT_LE(name.size(), 101u) << f.first;
        EXPECT_FALSE(qmpHas(f.first, ".qmpack-")) << f.first;
    }
    // Built again, every entry but the relabelled libraries comes back.
    EXPECT_TRUE(qmpHas(r.out, "\"entries\":13,")) << r.out;
    QmpRun again = qmpRun("build " + qmpQuote(dir + "/again.dat") + " " + qmpQuote(out + "/qmsave.txt"));
    EXPECT_EQ(again.rc, 0) << again.err;
}

// A write that fails part way (a file-size limit stands in for a full disk) or a move into place
// that fails (an immutable folder) leaves the folder exactly as it was: nothing new stays, the
// files that would have been replaced are there as they were, and a folder that was made goes.
TEST(QmpackHostile, AWriteThatFailsLeavesTheFolderAsItWas) {
    std::string dir = qmFreshDir("hostile_fail");
    std::vector<unsigned char> big(200000, 'b');
    qmWriteFile(dir + "/p.dat", qmPackageFile({{1, -1, {1}}, {2, FX_PACKAGE_TYPE_PNG, localPng()},
                                              {3, -1, big}, {4, -1, {4}}}));
    // A new folder: it does not stay.
    QmpRun full = qmpRun("unpack " + qmpQuote(dir + "/p.dat") + " -o " + qmpQuote(dir + "/new"), "ulimit -f 64;");
    EXPECT_EQ(full.rc, 1);
    EXPECT_TRUE(qmpHas(full.err, "3.bin: cannot write (File too large); the folder was left as it was")) << full.err;
    EXPECT_NE(access((dir + "/new").c_str(), F_OK), 0);
    // A folder with files of the tree's names, written into with --force.
    std::string out = qmFreshDir("hostile_fail_out");
    qmWriteText(out + "/1.bin", "mine");
    qmWriteText(out + "/keep.txt", "mine too");
    Tree before = localTree(out);
    full = qmpRun("unpack " + qmpQuote(dir + "/p.dat") + " -o " + qmpQuote(out) + " --force", "ulimit -f 64;");
    EXPECT_EQ(full.rc, 1);
    EXPECT_EQ(localTree(out), before);
    // The last move fails: the moves before it are taken back.
    qmWriteFile(dir + "/q.dat", qmPackageFile({{1, -1, {1}}, {5, -1, localModel(6)}, {6, -1, localLibrary("lib/x.mtl")}}));
    mkdir((out + "/lib").c_str(), 0755);
    before = localTree(out);
    {
        QmImmutable locked(out + "/lib");
        if (!locked.set) GTEST_SKIP() << "folders cannot be made immutable here";
        QmpRun moved = qmpRun("unpack " + qmpQuote(dir + "/q.dat") + " -o " + qmpQuote(out) + " --force");
        EXPECT_EQ(moved.rc, 1);
        EXPECT_TRUE(qmpHas(moved.err, "lib/x.mtl: cannot write (Operation not permitted); the folder was left as it was"))
            << moved.err;
    }
    EXPECT_EQ(localTree(out), before);
}

// A picture's size is read from its header before anything decodes it: a 16384 x 16384 picture
// (1 GB decoded, 3.2 GB while the image library works on it) is refused by build, add and replace.
TEST(QmpackHostile, APictureTooLargeToShowIsRefusedFromItsHeader) {
    std::string dir = qmFreshDir("hostile_huge");
    std::vector<unsigned char> huge = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                       0,    0,   0x40, 0,  0,    0,    0x40, 0,   8, 6, 0, 0,  0,   0,   0,   0};
    qmWriteFile(dir + "/huge.png", huge);
    qmWriteFile(dir + "/huge.jpg", qmpJpegHead(16384, 20));
    qmWriteFile(dir + "/leaf.png", localPng());
    qmWriteText(dir + "/leaf.txt", "1 leaf.png\n");
    qmWriteText(dir + "/huge.txt", "1 huge.png\n");
    qmWriteText(dir + "/wide.txt", "2 huge.jpg\n");
    ASSERT_EQ(qmpRun("build " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/leaf.txt")).rc, 0);
    std::vector<unsigned char> pkg = qmReadFile(dir + "/p.dat");
    struct Case {
        std::string args, says;
    } cases[] = {
        {"replace " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/huge.txt"),
         "huge.png is 16384 x 16384 pixels, more than a picture may have (8192 a side, 16777216 in all); entry "
         "1 was not replaced"},
        {"add " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/wide.txt"),
         "huge.jpg is 16384 x 20 pixels, more than a picture may have (8192 a side, 16777216 in all); it was "
         "not packed"},
        {"build " + qmpQuote(dir + "/q.dat") + " " + qmpQuote(dir + "/huge.txt"), "; it was not packed"},
    };
    for (const Case& c : cases) {
        // Decoding would take far more than this: the header alone decides. (The sanitizers'
        // runtimes do not start under such a limit.)
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QmpRun r = qmpRun(c.args);
#else
        QmpRun r = qmpRun(c.args, "ulimit -v 400000;");
#endif
        EXPECT_EQ(r.rc, 1) << c.args;
        EXPECT_TRUE(qmpHas(r.err, c.says)) << r.err;
        EXPECT_EQ(qmReadFile(dir + "/p.dat"), pkg);
    }
    EXPECT_NE(access((dir + "/q.dat").c_str(), F_OK), 0);
}

// add and replace used to take "-5" as an entry number; build keeps taking any number.
TEST(QmpackHostile, AddAndReplaceTakeNoNegativeNumbers) {
    std::string dir = qmFreshDir("hostile_negative");
    qmWriteFile(dir + "/leaf.png", localPng());
    qmWriteText(dir + "/leaf.txt", "1 leaf.png\n");
    qmWriteText(dir + "/minus.txt", "2 leaf.png\n-5 leaf.png\n");
    ASSERT_EQ(qmpRun("build " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/leaf.txt")).rc, 0);
    std::vector<unsigned char> pkg = qmReadFile(dir + "/p.dat");
    for (const char* command : {"add", "replace"}) {
        QmpRun r = qmpRun(std::string(command) + " " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/minus.txt"));
        EXPECT_EQ(r.rc, 1) << command;
        EXPECT_TRUE(qmpHas(r.err, "minus.txt:2: -5 is not an entry number '" + std::string(command) +
                                      "' takes (entry numbers are 0 or more)"))
            << r.err;
        EXPECT_EQ(qmReadFile(dir + "/p.dat"), pkg);
    }
}
