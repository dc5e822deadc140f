// Faults of the authoring tool found by review, each as the case that showed it: files that would
// block a reader, outputs that would replace an input, listings that were not valid JSON,
// bad option values that did not exit as usage errors, and temporary files left behind.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "anim/anim.h"
#include "qmpack/cleanup.h"
#include "qmpack/qmpack_test_util.h"
#include "support/immutable_posix.h"
#include "support/package_bytes.h"

namespace {

// True when text is well-formed UTF-8.
bool ValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (size_t k = 1; k < n; k++)
            if (((unsigned char)text[i + k] & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

pid_t DeadPid() {
    pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

}  // namespace

TEST(QmpackFaults, NamedPipesAreRefusedBeforeTheyAreOpened) {
    // A library and an old-layout animation's frame that are named pipes: a reader that opened
    // them would wait for a writer for ever (the timeout ends such a run with status 124).
    std::string dir = qmFreshDir("pipes");
    ASSERT_EQ(mkfifo((dir + "/pipe.mtl").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir + "/frame.xm").c_str(), 0600), 0);
    qmpWriteModel(dir + "/m.xm", "m", "pipe.mtl", {"skin"});
    FXAnim old;
    old.frameNames.Push("frame.xm");
    old.durations.PushInt(100);
    ASSERT_TRUE(old.Save_v02((dir + "/old.xa").c_str()));
    qmWriteText(dir + "/model.txt", "1 m.xm\n");
    qmWriteText(dir + "/anim.txt", "1 old.xa\n");

    QmpRun model = qmpRun("build " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/model.txt"), "timeout 60");
    EXPECT_EQ(model.rc, 1);
    EXPECT_TRUE(qmpHas(model.err, "pipe.mtl, which cannot be read (is a named pipe")) << model.err;
    QmpRun anim = qmpRun("build " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/anim.txt"), "timeout 60");
    EXPECT_EQ(anim.rc, 1);
    EXPECT_TRUE(qmpHas(anim.err, "frame 0: cannot read")) << anim.err;
    EXPECT_TRUE(qmpHas(anim.err, "named pipe")) << anim.err;
    QmpRun frames = qmpRun("anim -o " + qmpQuote(dir + "/a.xa") + " " + qmpQuote(dir + "/m.xm") + ":50", "timeout 60");
    EXPECT_EQ(frames.rc, 1);
    EXPECT_TRUE(qmpHas(frames.err, "named pipe")) << frames.err;
}

TEST(QmpackFaults, OldLayoutAnimationFramesAreInputs) {
    std::string dir = qmFreshDir("v02_inputs");
    qmWriteText(dir + "/skin.mtl", "newmtl skin\n");
    qmpWriteModel(dir + "/f0.xm", "f0", "skin.mtl", {"skin"});
    FXAnim old;
    old.frameNames.Push("f0.xm");
    old.durations.PushInt(100);
    ASSERT_TRUE(old.Save_v02((dir + "/old.xa").c_str()));
    qmWriteText(dir + "/anim.txt", "1 old.xa\n");
    std::vector<unsigned char> frame = qmReadFile(dir + "/f0.xm");
    QmpRun r = qmpRun("build " + qmpQuote(dir + "/f0.xm") + " " + qmpQuote(dir + "/anim.txt"));
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(qmpHas(r.err, "will not write over a frame of")) << r.err;
    EXPECT_EQ(qmReadFile(dir + "/f0.xm"), frame);
    EXPECT_EQ(qmpRun("build " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/anim.txt")).rc, 0);
}

TEST(QmpackFaults, ListingIsValidJsonForAnyNameAndDuration) {
    std::string dir = qmFreshDir("json_names");
    qmpWriteModel(dir + "/m.xm", std::string("caf\xe9 \xff\xfe ok \xc3\xa9"), "", {"skin"});
    // A movie record whose frame time is subnormal: its rate overflows to infinity.
    double tiny = 1e-310;
    std::vector<unsigned char> d(8);
    memcpy(d.data(), &tiny, 8);
    qmWriteFile(dir + "/tiny.bin",
                QmBytes().Str("xs03").Byte(0).Byte(0).Raw(d).Int(0).Int(0).Int(0).Int(0).Int(0).Byte(0).bytes);
    qmWriteText(dir + "/p.txt", "1 m.xm\n2 tiny.bin\n");
    ASSERT_EQ(qmpRun("build " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/p.txt")).rc, 0);
    QmpRun j = qmpRun("list --json " + qmpQuote(dir + "/p.dat"));
    EXPECT_TRUE(ValidUtf8(j.out)) << j.out;
    EXPECT_TRUE(qmpHas(j.out, "\"name\":\"caf\\u00e9 \\u00ff\\u00fe ok \xc3\xa9\"")) << j.out;
    EXPECT_FALSE(qmpHas(j.out, "inf")) << j.out;
    EXPECT_FALSE(qmpHas(j.out, "nan")) << j.out;
    EXPECT_TRUE(qmpHas(j.out, "\"fps\":0")) << j.out;
}

TEST(QmpackFaults, BadOptionValuesAreUsageErrorsEverywhere) {
    std::string dir = qmFreshDir("usage");
    qmpWritePng(dir + "/f.png");
    qmWriteText(dir + "/p.txt", "1 f.png\n");
    std::string pkg = qmpQuote(dir + "/p.dat"), png = qmpQuote(dir + "/f.png");
    ASSERT_EQ(qmpRun("build " + pkg + " " + qmpQuote(dir + "/p.txt")).rc, 0);
    for (const std::string& args : {
             "extract " + pkg + " one -o " + qmpQuote(dir + "/x"),
             "movie -o " + qmpQuote(dir + "/m.xs") + " --fps fast " + png,
             "movie -o " + qmpQuote(dir + "/m.xs") + " --fps 10 --quality 0 " + png,
             "movie -o " + qmpQuote(dir + "/m.xs") + " --fps 10 --keys 1,0 " + png + " " + png,
             "import-obj " + qmpQuote(dir + "/x.obj") + " -o " + qmpQuote(dir + "/x.xm") + " --reduce 95",
             "anim -o " + qmpQuote(dir + "/a.xa") + " m.xm:soon",
             "list " + pkg + " --depth 2",
             "unpack " + pkg,
             "replace " + pkg,
             "build " + pkg + " " + qmpQuote(dir + "/p.txt") + " --quiet=yes",
         }) {
        QmpRun r = qmpRun(args);
        EXPECT_EQ(r.rc, 2) << args << "\n" << r.err;
        EXPECT_NE(r.err, "") << args;
    }
    // Every command's help ends its last line.
    for (const char* command :
         {"import-obj", "anim", "movie", "build", "add", "replace", "unpack", "list", "extract"}) {
        QmpRun h = qmpRun(std::string("help ") + command);
        EXPECT_EQ(h.rc, 0) << command;
        ASSERT_FALSE(h.out.empty()) << command;
        EXPECT_EQ(h.out.back(), '\n') << command;
        EXPECT_NE(h.out.substr(h.out.size() - 2), "\n\n") << command;
    }
}

TEST(QmpackFaults, NamesFilesAreCommittedBeforeThePackage) {
    // The names file cannot be replaced: the package, committed after it, stays as it was, so
    // package and names never disagree (a names file older than its package loses names).
    std::string dir = qmFreshDir("commit_order");
    qmpWritePng(dir + "/a.png");
    qmWriteText(dir + "/a.mtl", "newmtl skin\nmap_Kd a.png\n");
    qmpWriteModel(dir + "/a.xm", "a", "a.mtl", {"skin"});
    qmpWriteModel(dir + "/b.xm", "b", "a.mtl", {"skin"});
    qmWriteText(dir + "/one.txt", "1 a.xm\n");
    qmWriteText(dir + "/two.txt", "10 b.xm\n");
    std::string pkg = qmpQuote(dir + "/p.dat"), names = qmpQuote(dir + "/p.names");
    ASSERT_EQ(qmpRun("build " + pkg + " " + qmpQuote(dir + "/one.txt") + " --names " + names).rc, 0);
    std::vector<unsigned char> before = qmReadFile(dir + "/p.dat");
    QmImmutable locked(dir + "/p.names");
    if (!locked.set) GTEST_SKIP() << "files cannot be made immutable here";
    QmpRun r = qmpRun("add " + pkg + " " + qmpQuote(dir + "/two.txt") + " --names " + names);
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(qmpHas(r.err, "p.names: cannot replace the file")) << r.err;
    EXPECT_EQ(qmReadFile(dir + "/p.dat"), before);
}

TEST(QmpackFaults, StaleFilesOfDeadCommandsAreSwept) {
    std::string dir = qmFreshDir("stale"), tmp = qmFreshDir("stale_tmp");
    qmpWritePng(dir + "/f.png");
    qmWriteText(dir + "/p.txt", "1 f.png\n");
    std::string dead = std::to_string(DeadPid()), live = std::to_string(getpid());
    mkdir((tmp + "/qmpack-" + dead + "-abcdef").c_str(), 0700);
    qmWriteText(tmp + "/qmpack-" + dead + "-abcdef/3.xm", "left");
    mkdir((tmp + "/qmpack-" + live + "-abcdef").c_str(), 0700);
    qmWriteText(dir + "/.p.dat.qmpack-" + dead + "-qwerty", "half a package");
    qmWriteText(dir + "/.p.dat.qmpack-" + live + "-qwerty", "being written");
    QmpRun r = qmpRun("build " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/p.txt"), "TMPDIR=" + qmpQuote(tmp));
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(qmpFolderFiles(tmp), std::vector<std::string>{"qmpack-" + live + "-abcdef"});
    EXPECT_EQ(qmpFolderFiles(dir),
              (std::vector<std::string>{".p.dat.qmpack-" + live + "-qwerty", "f.png", "p.dat", "p.txt"}));
}

TEST(QmpackFaults, AnInterruptOrAnAbortRemovesEveryTemporaryFile) {
    // More files than any fixed table, one path over 1 KiB, and a folder that empties last; an
    // abort is also how a failed allocation ends.
    std::string dir = qmFreshDir("interrupt");
    std::string deep = dir;
    for (int i = 0; i < 6; i++) {
        deep += "/" + std::string(200, char('a' + i));
        ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    }
    std::string folder = dir + "/scratch";
    for (int sig : {SIGTERM, SIGABRT}) {
        pid_t pid = fork();
        if (pid == 0) {
            qmpackInstallCleanup();
            mkdir(folder.c_str(), 0755);
            qmpackTrackTemp(folder, true);
            for (int i = 0; i < 5000; i++) {
                std::string p = folder + "/" + std::to_string(i);
                qmWriteText(p, "x");
                qmpackTrackTemp(p);
            }
            qmWriteText(deep + "/long", "x");
            qmpackTrackTemp(deep + "/long");
            struct rlimit none = {0, 0};
            setrlimit(RLIMIT_CORE, &none);  // no core file from the abort
            raise(sig);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        struct stat st;
        EXPECT_NE(stat(folder.c_str(), &st), 0) << "the folder and its 5000 files, signal " << sig;
        EXPECT_NE(stat((deep + "/long").c_str(), &st), 0) << "the file by the long path, signal " << sig;
    }
}
