// What scripts and people at a terminal rely on: --json reports that say what was written,
// --quiet that silences all but errors, --verbose that shows each step, and list of chosen
// entries.
#include <unistd.h>

#include "qmpack/qmpack_test_util.h"

namespace {

struct Cli {
    std::string dir = qmFreshDir("cli");
    std::string Q(const std::string& name) const { return qmpQuote(dir + "/" + name); }

    Cli() {
        qmpWritePng(dir + "/a.png");
        qmpWritePng(dir + "/b.png", 6, 6);
        qmWriteText(dir + "/quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n");
        qmWriteText(dir + "/one.txt", "5 a.png\n9 quad.obj\n");
        qmWriteText(dir + "/two.txt", "5 b.png\n6 a.png\n");
    }
};

// The one-line JSON object of a report, checked for its shape.
std::string JsonReport(const QmpRun& r) {
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(r.out.size() > 2 && r.out.front() == '{' && r.out.substr(r.out.size() - 2) == "}\n") << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    return r.out;
}

}  // namespace

TEST(QmpackCli, JsonReportsSayWhatWasWritten) {
    Cli c;
    std::string b = JsonReport(qmpRun("build " + c.Q("p.dat") + " " + c.Q("one.txt") + " --json --quiet"));
    EXPECT_TRUE(qmpHas(b, "\"entries\":2,\"added\":[5,9],\"replaced\":[],\"compiled\":0,")) << b;
    EXPECT_TRUE(qmpHas(b, "\"names\":null")) << b;
    std::string r = JsonReport(qmpRun("replace " + c.Q("p.dat") + " " + c.Q("two.txt") + " --json"));
    EXPECT_TRUE(qmpHas(r, "\"entries\":3,\"added\":[6],\"replaced\":[5],")) << r;
    qmWriteText(c.dir + "/three.txt", "7 b.png\n");
    std::string a = JsonReport(qmpRun("add " + c.Q("p.dat") + " " + c.Q("three.txt") + " --json"));
    EXPECT_TRUE(qmpHas(a, "\"entries\":4,\"added\":[7],")) << a;

    std::string o = JsonReport(qmpRun("import-obj " + c.Q("quad.obj") + " -o " + c.Q("quad.xm") + " --json"));
    EXPECT_TRUE(qmpHas(o, "\"meshes\":1,\"vertices\":4,\"triangles\":2,")) << o;
    std::string n = JsonReport(
        qmpRun("anim -o " + c.Q("q.xa") + " --loop " + c.Q("quad.xm") + ":120 " + c.Q("quad.xm") + ":80 --json"));
    EXPECT_TRUE(qmpHas(n, "\"frames\":2,\"milliseconds\":200,\"meshes\":1,\"vertices\":4,\"loop\":true,")) << n;
    std::string m = JsonReport(
        qmpRun("movie -o " + c.Q("m.xs") + " --fps 12.5 --keys 0,1 " + c.Q("a.png") + " " + c.Q("a.png") + " --json"));
    EXPECT_TRUE(qmpHas(m, "\"frames\":2,\"fps\":12.5,\"keys\":[0,1],")) << m;
    EXPECT_TRUE(qmpHas(m, "\"pictures\":4")) << m;
}

TEST(QmpackCli, QuietAndVerbose) {
    Cli c;
    // Packing an OBJ file as text is warned about, and the import reports on standard output.
    QmpRun loud = qmpRun("build " + c.Q("p.dat") + " " + c.Q("one.txt") + " --verbose");
    EXPECT_EQ(loud.rc, 0) << loud.err;
    EXPECT_TRUE(qmpHas(loud.err, "one.txt:1: a.png as entry 5")) << loud.err;
    EXPECT_TRUE(qmpHas(loud.err, "one.txt:2: quad.obj as entry 9")) << loud.err;
    EXPECT_TRUE(qmpHas(loud.err, "warning: ")) << loud.err;
    QmpRun quiet = qmpRun("build " + c.Q("p.dat") + " " + c.Q("one.txt") + " --quiet");
    EXPECT_EQ(quiet.rc, 0);
    EXPECT_EQ(quiet.err, "");
    QmpRun obj = qmpRun("import-obj --quiet " + c.Q("quad.obj") + " -o " + c.Q("quad.xm"));
    EXPECT_EQ(obj.rc, 0);
    EXPECT_EQ(obj.out, "");
    QmpRun listed = qmpRun("list " + c.Q("p.dat") + " --verbose");
    EXPECT_TRUE(qmpHas(listed.err, "reading entry 9")) << listed.err;
    // Errors still show.
    QmpRun missing = qmpRun("build " + c.Q("p.dat") + " " + c.Q("none.txt") + " --quiet");
    EXPECT_EQ(missing.rc, 1);
    EXPECT_TRUE(qmpHas(missing.err, "none.txt")) << missing.err;
}

TEST(QmpackCli, ListChosenEntries) {
    Cli c;
    ASSERT_EQ(qmpRun("build " + c.Q("p.dat") + " " + c.Q("two.txt")).rc, 0);
    QmpRun one = qmpRun("list " + c.Q("p.dat") + " 6");
    EXPECT_EQ(one.rc, 0) << one.err;
    EXPECT_TRUE(qmpHas(one.out, "       6  png")) << one.out;
    EXPECT_FALSE(qmpHas(one.out, "       5  png")) << one.out;
    QmpRun both = qmpRun("list --json " + c.Q("p.dat") + " 6 5");
    EXPECT_TRUE(qmpHas(both.out, "\"number\":5,") && qmpHas(both.out, "\"number\":6,")) << both.out;
    QmpRun absent = qmpRun("list " + c.Q("p.dat") + " 7");
    EXPECT_EQ(absent.rc, 1);
    EXPECT_TRUE(qmpHas(absent.err, "no entry numbered 7")) << absent.err;
    EXPECT_EQ(qmpRun("list " + c.Q("p.dat") + " six").rc, 2);
}

TEST(QmpackCli, ReadingABigPackageShowsProgress) {
    Cli c;
    // A 70 MB entry of zeros (a sparse source file: quick to make and to read).
    std::string big = c.dir + "/big.bin";
    qmWriteText(big, "");
    ASSERT_EQ(truncate(big.c_str(), 70LL << 20), 0);
    qmWriteText(c.dir + "/big.txt", "1 big.bin\n");
    qmWriteText(c.dir + "/more.txt", "2 a.png\n");
    ASSERT_EQ(qmpRun("build " + c.Q("p.dat") + " " + c.Q("big.txt")).rc, 0);
    unlink(big.c_str());
    QmpRun add = qmpRun("add " + c.Q("p.dat") + " " + c.Q("more.txt"));
    EXPECT_EQ(add.rc, 0) << add.err;
    EXPECT_TRUE(qmpHas(add.err, "qmpack: reading " + c.dir + "/p.dat (70 MB)\n")) << add.err;
    EXPECT_TRUE(qmpHas(add.err, "qmpack: read " + c.dir + "/p.dat\n")) << add.err;
    QmpRun quiet = qmpRun("add " + c.Q("p.dat") + " " + c.Q("two.txt") + " --quiet");
    EXPECT_EQ(quiet.rc, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    unlink((c.dir + "/p.dat").c_str());
}
