// qmpack never loses data: a package cut short is refused, not grown; no output replaces one of
// the command's inputs; concurrent additions all land; links and permissions are kept; files
// that are not regular are refused instead of hanging; failures say why and leave nothing
// behind; listing a large package reads its tables, not its body.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "qmpack/qmpack_test_util.h"

namespace {

struct Folder {
    std::string dir = qmpDir("src");
    std::vector<unsigned char> png;

    Folder() {
        qmpWritePng(dir + "/leaf.png");
        png = qmReadFile(dir + "/leaf.png");
        qmWriteText(dir + "/note.txt", "note");
        qmWriteText(dir + "/m.txt", "1 leaf.png\n2 note.txt\n");
    }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string Q(const std::string& name) const { return qmpQuote(Path(name)); }
};

// No temporary file of a failed command stays beside its output.
void ExpectNoLeftovers(const std::string& dir) {
    for (const std::string& f : qmpFolderFiles(dir)) EXPECT_FALSE(qmpHas(f, ".qmpack-")) << dir << "/" << f;
}

bool Sanitized() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#else
    return false;
#endif
}

}  // namespace

TEST(QmpackSafety, APackageCutShortIsRefusedAndReported) {
    Folder f;
    std::string pkg = f.Path("cut.dat");
    ASSERT_EQ(qmpRun("build " + f.Q("cut.dat") + " " + f.Q("m.txt")).rc, 0);
    std::vector<unsigned char> bytes = qmReadFile(pkg);
    bytes.resize(bytes.size() - 2);  // the tables are whole, the last entry is not
    qmWriteFile(pkg, bytes);
    qmWriteText(f.Path("more.txt"), "3 note.txt\n");

    QmpRun add = qmpRun("add " + f.Q("cut.dat") + " " + f.Q("more.txt"));
    EXPECT_EQ(add.rc, 1);
    EXPECT_TRUE(qmpHas(add.err, "cut.dat: damaged package: 1 of 2 entries lie outside its data area (numbers 2)"))
        << add.err;
    EXPECT_EQ(qmReadFile(pkg), bytes);

    QmpRun list = qmpRun("list " + f.Q("cut.dat"));
    EXPECT_EQ(list.rc, 1);
    EXPECT_TRUE(qmpHas(list.out, "       2  record           4  DAMAGED: outside the data area")) << list.out;
    EXPECT_TRUE(qmpHas(list.out, "       1  png  ")) << list.out;
    EXPECT_EQ(list.err, "qmpack: " + pkg + ": damaged: 1 of 2 entries cannot be used (2: outside the data area "
                        "(the file was cut short?))\n");
    QmpRun json = qmpRun("list --json " + f.Q("cut.dat"));
    EXPECT_EQ(json.rc, 1);
    EXPECT_TRUE(qmpHas(json.out, "\"problem\":\"outside the data area (the file was cut short?)\"")) << json.out;
    EXPECT_TRUE(qmpHas(json.out, "\"damaged\":1}")) << json.out;
    QmpRun x = qmpRun("extract " + f.Q("cut.dat") + " 2 -o " + f.Q("x.bin"));
    EXPECT_EQ(x.rc, 1);
    EXPECT_TRUE(qmpHas(x.err, "entry 2 is damaged")) << x.err;

    // Other damage list finds: a picture that is not one, a number used twice, a library
    // reference to an entry that is not there.
    std::vector<unsigned char> model = QmBytes().Str("xm03").Str("m").Str("77").Int(0).Int(0).Int(0).bytes;
    std::vector<unsigned char> two = qmPackageFile(
        {{5, FX_PACKAGE_TYPE_PNG, {1, 2, 3}}, {6, -1, model}, {5, -1, {9}}, {7, FX_PACKAGE_TYPE_JPG, f.png}});
    qmWriteFile(f.Path("bad.dat"), two);
    QmpRun bad = qmpRun("list " + f.Q("bad.dat"));
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(qmpHas(bad.out, "DAMAGED: not a PNG picture\n")) << bad.out;
    EXPECT_TRUE(qmpHas(bad.out, "DAMAGED: names library entry 77, which is missing\n")) << bad.out;
    EXPECT_TRUE(qmpHas(bad.out, "DAMAGED: number 5 is used twice: this entry is never read\n")) << bad.out;
    EXPECT_TRUE(qmpHas(bad.out, "DAMAGED: not a JPEG picture (its bytes are a PNG picture)\n")) << bad.out;
    EXPECT_TRUE(qmpHas(bad.err, "damaged: 4 of 4 entries cannot be used")) << bad.err;
}

TEST(QmpackSafety, NoOutputReplacesAnInput) {
    Folder f;
    ASSERT_EQ(qmpRun("build " + f.Q("p.dat") + " " + f.Q("m.txt")).rc, 0);
    unlink(f.Path("to-leaf.png").c_str());
    symlink(f.Path("leaf.png").c_str(), f.Path("to-leaf.png").c_str());
    qmWriteText(f.Path("more.txt"), "3 note.txt\n");
    struct {
        std::string args;
        std::string kept;  // the file that must stay as it was
        const char* expect;
    } cases[] = {
        {"build " + f.Q("m.txt") + " " + f.Q("m.txt"), "m.txt", "m.txt: will not write over the manifest"},
        {"extract " + f.Q("p.dat") + " 1 -o " + f.Q("p.dat"), "p.dat", "p.dat: will not write over the package"},
        {"build " + f.Q("to-leaf.png") + " " + f.Q("m.txt"), "leaf.png",
         "will not write over the source on line 1 of the manifest"},
        {"build " + f.Q("n.dat") + " " + f.Q("m.txt") + " --names " + f.Q("m.txt"), "m.txt",
         "will not write over the manifest"},
        {"build " + f.Q("n.dat") + " " + f.Q("m.txt") + " --header " + f.Q("n.dat"), "m.txt",
         "n.dat: will not write over the package"},
        {"add " + f.Q("m.txt") + " " + f.Q("m.txt"), "m.txt", "will not write over the manifest"},
        {"add " + f.Q("p.dat") + " " + f.Q("more.txt") + " --names " + f.Q("leaf.png"), "leaf.png",
         "leaf.png: not a names file"},
    };
    for (auto& c : cases) {
        std::vector<unsigned char> was = qmReadFile(f.Path(c.kept));
        QmpRun r = qmpRun(c.args);
        EXPECT_EQ(r.rc, 1) << c.args;
        EXPECT_TRUE(qmpHas(r.err, c.expect)) << c.args << "\n" << r.err;
        EXPECT_EQ(qmReadFile(f.Path(c.kept)), was) << c.args;
    }
    EXPECT_FALSE(fxPathExists(f.Path("n.dat").c_str()));
    ExpectNoLeftovers(f.dir);
}

TEST(QmpackSafety, ConcurrentAddsAllLand) {
    Folder f;
    ASSERT_EQ(qmpRun("build " + f.Q("c.dat") + " " + f.Q("m.txt")).rc, 0);
    const int kWriters = 8;
    std::string script = "rcs=''; ";
    for (int i = 0; i < kWriters; i++) {
        qmWriteText(f.Path("add" + std::to_string(i) + ".txt"), std::to_string(100 + i) + " note.txt\n");
        script += "'" + std::string(QMPACK_PATH) + "' add " + f.Q("c.dat") + " " + f.Q("add" + std::to_string(i) + ".txt") +
                  " & ";
    }
    script += "fails=0; for job in $(jobs -p); do wait $job || fails=$((fails+1)); done; exit $fails";
    int status = std::system(("bash -c " + qmpQuote(script)).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    FXPackage p;
    p.Load(f.Path("c.dat").c_str());
    EXPECT_EQ(p.GetCount(), 2 + kWriters);
    for (int i = 0; i < kWriters; i++) EXPECT_EQ(qmpEntry(&p, 100 + i).size(), 4u) << 100 + i;
    ExpectNoLeftovers(f.dir);
}

TEST(QmpackSafety, LinksAreFollowedAndPermissionsKept) {
    Folder f;
    for (const char* name : {"link.dat", "pic-link.png", "picture.png", "real.dat"}) unlink(f.Path(name).c_str());
    qmWriteText(f.Path("real.dat"), "old contents");
    chmod(f.Path("real.dat").c_str(), 0640);
    symlink("real.dat", f.Path("link.dat").c_str());
    ASSERT_EQ(qmpRun("build " + f.Q("link.dat") + " " + f.Q("m.txt")).rc, 0);
    struct stat st;
    ASSERT_EQ(lstat(f.Path("link.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(f.Path("real.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    FXPackage p;
    p.Load(f.Path("real.dat").c_str());
    EXPECT_EQ(p.GetCount(), 2);

    // Growing through the link and extracting through a link do the same.
    qmWriteText(f.Path("more.txt"), "3 note.txt\n");
    ASSERT_EQ(qmpRun("add " + f.Q("link.dat") + " " + f.Q("more.txt")).rc, 0);
    ASSERT_EQ(lstat(f.Path("link.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(f.Path("real.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    p.Load(f.Path("real.dat").c_str());
    EXPECT_EQ(p.GetCount(), 3);
    qmWriteText(f.Path("picture.png"), "");
    chmod(f.Path("picture.png").c_str(), 0600);
    symlink("picture.png", f.Path("pic-link.png").c_str());
    ASSERT_EQ(qmpRun("extract " + f.Q("link.dat") + " 1 -o " + f.Q("pic-link.png")).rc, 0);
    EXPECT_EQ(qmReadFile(f.Path("picture.png")), f.png);
    ASSERT_EQ(stat(f.Path("picture.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ExpectNoLeftovers(f.dir);
}

TEST(QmpackSafety, FilesThatAreNotRegularAreRefused) {
    Folder f;
    unlink(f.Path("pipe").c_str());
    ASSERT_EQ(mkfifo(f.Path("pipe").c_str(), 0644), 0);
    mkdir(f.Path("folder").c_str(), 0755);
    qmWriteText(f.Path("piped.txt"), "1 leaf.png\n2 pipe\n");
    ASSERT_EQ(qmpRun("build " + f.Q("p.dat") + " " + f.Q("m.txt")).rc, 0);
    // "timeout" only keeps a regression from hanging the suite; every case answers at once.
    struct {
        std::string args;
        const char* expect;
    } cases[] = {
        {"build " + f.Q("out.dat") + " " + f.Q("piped.txt"), "piped.txt:2: cannot read " },
        {"build " + f.Q("out.dat") + " " + f.Q("piped.txt"), "(is a named pipe, not a regular file)"},
        // A pipe named as the manifest is read, and one without a writer reads as empty.
        {"build " + f.Q("out.dat") + " " + f.Q("pipe"), "pipe: the manifest lists no entries"},
        {"list " + f.Q("pipe"), "pipe: cannot open (is a named pipe, not a regular file)"},
        {"add " + f.Q("pipe") + " " + f.Q("m.txt"), "pipe: cannot open (is a named pipe"},
        {"build " + f.Q("pipe") + " " + f.Q("m.txt"), "pipe: cannot write: not a regular file"},
        {"build " + f.Q("folder") + " " + f.Q("m.txt"), "folder: cannot write: is a directory"},
        {"extract " + f.Q("p.dat") + " 1 -o " + f.Q("folder"), "folder: cannot write: is a directory"},
        {"list " + f.Q("folder"), "folder: cannot open (is a directory)"},
    };
    for (auto& c : cases) {
        QmpRun r = qmpRun(c.args, "timeout 60");
        EXPECT_EQ(r.rc, 1) << c.args;
        EXPECT_TRUE(qmpHas(r.err, c.expect)) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(fxPathExists(f.Path("out.dat").c_str()));
    ExpectNoLeftovers(f.dir);
}

// A manifest the user hands over through a pipe is read to its end, whether the shell made the
// pipe (process substitution) or a writer opens a named one a moment later; its files are named
// from the working directory.
TEST(QmpackSafety, AManifestNamedOnTheCommandLineMayBeAPipe) {
    Folder f;
    std::string out = qmTestPath("qmpack.stdout"), err = qmTestPath("qmpack.stderr");
    std::string cmd = "cd " + qmpQuote(f.dir) + " && timeout 60 bash -c \"'" + std::string(QMPACK_PATH) +
                      "' build piped.dat <(printf '1 leaf.png\\n2 note.txt\\n')\" >" + qmpQuote(out) + " 2>" +
                      qmpQuote(err);
    ASSERT_EQ(std::system(cmd.c_str()), 0) << qmReadText(err);
    FXPackage p;
    ASSERT_TRUE(p.Load(f.Path("piped.dat").c_str()).Ok());
    EXPECT_EQ(qmpEntry(&p, 1), f.png);
    EXPECT_EQ(p.GetCount(), 2);

    unlink(f.Path("fifo").c_str());
    ASSERT_EQ(mkfifo(f.Path("fifo").c_str(), 0644), 0);
    QmpRun late = qmpRun("build " + f.Q("late.dat") + " " + f.Q("fifo"),
                         "(sleep 1; printf '1 %s\\n' " + f.Q("leaf.png") + " >" + f.Q("fifo") + ") & timeout 60");
    EXPECT_EQ(late.rc, 0) << late.err;
    EXPECT_TRUE(p.Load(f.Path("late.dat").c_str()).Ok());
    EXPECT_EQ(p.GetCount(), 1);
    ExpectNoLeftovers(f.dir);
}

TEST(QmpackSafety, FailuresSayWhyAndLeaveNothing) {
    Folder f;
    // Sparse files: large to the tool, small on disk.
    auto sparse = [&](const std::string& name, long long size) {
        int fd = open(f.Path(name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, off_t(size)), 0);
        close(fd);
    };
    sparse("huge.bin", 2200LL << 20);
    sparse("big1.bin", 1100LL << 20);
    sparse("big2.bin", 1100LL << 20);
    qmWriteText(f.Path("huge.txt"), "1 huge.bin\n");
    qmWriteText(f.Path("big.txt"), "1 big1.bin\n2 big2.bin\n");
    qmWriteText(f.Path("gone.txt"), "1 leaf.png\n2 gone.png\n");
    struct {
        std::string args;
        const char* expect;
    } cases[] = {
        {"build " + f.Q("nowhere/out.dat") + " " + f.Q("m.txt"),
         "out.dat: cannot write: the folder " },
        {"build " + f.Q("nowhere/out.dat") + " " + f.Q("m.txt"), "/nowhere/ does not exist"},
        {"build " + f.Q("leaf.png/out.dat") + " " + f.Q("m.txt"), "leaf.png/ is not a folder"},
        {"build " + f.Q("out.dat") + " " + f.Q("gone.txt"), "gone.txt:2: cannot read "},
        {"build " + f.Q("out.dat") + " " + f.Q("gone.txt"), "gone.png (No such file or directory)"},
        {"build " + f.Q("out.dat") + " " + f.Q("huge.txt"), "huge.bin is over the 2 GB limit of a package entry"},
        {"build " + f.Q("out.dat") + " " + f.Q("big.txt"), "out.dat: cannot write: the package would be over the 2 GB limit"},
        {"build " + f.Q("out.dat") + " " + f.Q("none.txt"), "none.txt: cannot read the manifest (No such file or directory)"},
    };
    for (auto& c : cases) {
        QmpRun r = qmpRun(c.args);
        EXPECT_EQ(r.rc, 1) << c.args;
        EXPECT_TRUE(qmpHas(r.err, c.expect)) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(fxPathExists(f.Path("out.dat").c_str()));
    ExpectNoLeftovers(f.dir);
}

TEST(QmpackSafety, ListingReadsTheTablesNotTheBody) {
    if (Sanitized()) GTEST_SKIP() << "address-space limits do not suit sanitizer runtimes";
    Folder f;
    // A package of 1.5 GB, nearly all of it a sparse record, with a picture at each end.
    const long long kData = 1536LL << 20;
    std::vector<unsigned char> head = QmBytes()
                                          .Sig("pck01")
                                          .Table({1, 2, 3})
                                          .Table({0, int32_t(f.png.size()), int32_t(kData - f.png.size())})
                                          .Table({int32_t(f.png.size()), int32_t(kData - 2 * f.png.size()),
                                                  int32_t(f.png.size())})
                                          .Table({FX_PACKAGE_TYPE_PNG, -1, FX_PACKAGE_TYPE_PNG})
                                          .Raw(f.png)
                                          .bytes;
    std::string pkg = f.Path("large.dat");
    int fd = open(pkg.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, head.data(), head.size()), ssize_t(head.size()));
    long long dataAt = (long long)head.size() - (long long)f.png.size();
    ASSERT_EQ(pwrite(fd, f.png.data(), f.png.size(), off_t(dataAt + kData - (long long)f.png.size())),
              ssize_t(f.png.size()));
    close(fd);

    // 300 MB of address space: a tool that read the body could not even hold it.
    QmpRun r = qmpRun("list " + qmpQuote(pkg), "ulimit -v 300000;");
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(qmpHas(r.out, "       1  png  ")) << r.out;
    EXPECT_TRUE(qmpHas(r.out, "       3  png  ")) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
    EXPECT_TRUE(qmpHas(r.out, "  record (too large to describe)")) << r.out;
    QmpRun x = qmpRun("extract " + qmpQuote(pkg) + " 3 -o " + f.Q("last.png"), "ulimit -v 300000;");
    ASSERT_EQ(x.rc, 0) << x.err;
    EXPECT_EQ(qmReadFile(f.Path("last.png")), f.png);
    remove(pkg.c_str());
}
