// Bad input to every qmpack command (missing, empty, cut short, of the wrong kind, a face with
// one corner, an OBJ line of 1 MB): a message that names the file and the reason, a non-zero exit
// status, and no output file.
#include "qmpack/qmpack_test_util.h"

namespace {

struct BadInputs {
    std::string dir = qmpDir("bad");
    std::string P(const std::string& name) const { return dir + "/" + name; }
    std::string Q(const std::string& name) const { return qmpQuote(P(name)); }

    BadInputs() {
        const std::string strip =
            "mtllib strip.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nusemtl leaf\nf 1 2 3 4\n";
        qmWriteText(P("strip.obj"), strip);
        qmWriteText(P("strip.mtl"), "newmtl leaf\n");
        qmWriteText(P("cut.obj"), strip.substr(0, strip.size() - 5));  // "f 1 2" is left of the face
        qmWriteText(P("one.obj"), "v 0 0 0\nf 1\n");
        qmWriteText(P("long.obj"), "# " + std::string(1 << 20, 'x') + "\nv 0 0 0\n");
        qmpWritePng(P("frame.png"));
        std::vector<unsigned char> png = qmReadFile(P("frame.png"));
        qmWriteFile(P("cut.png"), std::vector<unsigned char>(png.begin(), png.begin() + 40));
        qmWriteText(P("notes.txt"), "some notes\n");
        for (const char* e : {"empty.obj", "empty.xm", "empty.png", "empty.dat", "empty.txt", "empty.xa", "empty.xs"})
            qmWriteText(P(e), "");
        EXPECT_EQ(qmpRun("import-obj " + Q("strip.obj") + " -o " + Q("good.xm")).rc, 0);
        std::vector<unsigned char> xm = qmReadFile(P("good.xm"));
        qmWriteFile(P("cut.xm"), std::vector<unsigned char>(xm.begin(), xm.begin() + 40));
        EXPECT_EQ(qmpRun("anim -o " + Q("good.xa") + " " + Q("good.xm") + ":100 " + Q("good.xm") + ":100").rc, 0);
        std::vector<unsigned char> xa = qmReadFile(P("good.xa"));
        qmWriteFile(P("cut.xa"), std::vector<unsigned char>(xa.begin(), xa.begin() + xa.size() / 2));
        EXPECT_EQ(qmpRun("movie -o " + Q("good.xs") + " --fps 10 " + Q("frame.png")).rc, 0);
        std::vector<unsigned char> xs = qmReadFile(P("good.xs"));
        qmWriteFile(P("cut.xs"), std::vector<unsigned char>(xs.begin(), xs.begin() + 30));
        qmWriteText(P("pack.txt"), "1 frame.png\n2 notes.txt\n");
        EXPECT_EQ(qmpRun("build " + Q("good.dat") + " " + Q("pack.txt")).rc, 0);
        std::vector<unsigned char> dat = qmReadFile(P("good.dat"));
        qmWriteFile(P("cut.dat"), std::vector<unsigned char>(dat.begin(), dat.begin() + 20));  // inside the tables
        for (const char* m : {"cut.xm", "cut.xa", "cut.xs", "empty.xa", "empty.xs", "strip.obj"}) {
            std::string name = std::string("m-") + m + ".txt";
            qmWriteText(P(name), std::string("1 ") + (std::string(m) == "strip.obj" ? "frame.xs" : m) + "\n");
        }
        qmWriteFile(P("frame.xs"), png);
    }
};

}  // namespace

TEST(QmpackBadInput, EveryCommandSaysWhyAndWritesNothing) {
    BadInputs b;
    struct {
        std::string args;
        int rc;
        std::string expect;  // in standard error
        std::string out;     // the output that must not exist ("" for none)
    } cases[] = {
        // import-obj
        {"import-obj " + b.Q("none.obj") + " -o " + b.Q("o.xm"), 1, "none.obj: cannot read (No such file or directory)", "o.xm"},
        {"import-obj " + b.Q("empty.obj") + " -o " + b.Q("o.xm"), 1, "empty.obj: no faces to import", "o.xm"},
        {"import-obj " + b.Q("cut.obj") + " -o " + b.Q("o.xm"), 1, "cut.obj:7: a face needs at least 3 corners, it has 2", "o.xm"},
        {"import-obj " + b.Q("frame.png") + " -o " + b.Q("o.xm"), 1, "this is not an OBJ text file", "o.xm"},
        {"import-obj " + b.Q("one.obj") + " -o " + b.Q("o.xm"), 1, "one.obj:2: a face needs at least 3 corners, it has 1", "o.xm"},
        {"import-obj " + b.Q("long.obj") + " -o " + b.Q("o.xm"), 1, "long.obj:1: line longer than 65536 bytes", "o.xm"},
        {"import-obj " + b.Q("strip.obj"), 2, "usage: qmpack import-obj", ""},
        // anim
        {"anim -o " + b.Q("o.xa") + " " + b.Q("none.xm") + ":100", 1, "none.xm (No such file or directory)", "o.xa"},
        {"anim -o " + b.Q("o.xa") + " " + b.Q("empty.xm") + ":100", 1, "empty.xm is not an engine model file", "o.xa"},
        {"anim -o " + b.Q("o.xa") + " " + b.Q("cut.xm") + ":100", 1, "cut.xm: damaged model file", "o.xa"},
        {"anim -o " + b.Q("o.xa") + " " + b.Q("strip.obj") + ":100", 1, "made into one with 'qmpack import-obj'", "o.xa"},
        {"anim -o " + b.Q("o.xa") + " " + b.Q("good.xm"), 2, "good.xm' is not MODEL:DURATION_MS", "o.xa"},
        {"anim -o " + b.Q("o.xa") + " " + b.Q("good.xm") + ":0", 2, "milliseconds from 1 to 3600000", "o.xa"},
        // movie
        {"movie -o " + b.Q("o.xs") + " --fps 10 " + b.Q("none.png"), 1, "none.png: cannot read (No such file", "o.xs"},
        {"movie -o " + b.Q("o.xs") + " --fps 10 " + b.Q("empty.png"), 1, "empty.png: not a picture", "o.xs"},
        {"movie -o " + b.Q("o.xs") + " --fps 10 " + b.Q("cut.png"), 1, "cut.png: cannot be decoded (a damaged or cut-short picture)", "o.xs"},
        {"movie -o " + b.Q("o.xs") + " --fps 10 " + b.Q("notes.txt"), 1, "notes.txt: not a picture", "o.xs"},
        {"movie -o " + b.Q("o.xs") + " --fps 0 " + b.Q("frame.png"), 2, "--fps takes frames per second", "o.xs"},
        {"movie -o " + b.Q("o.xs") + " --fps 10 --keys 0,3 " + b.Q("frame.png"), 2, "key 3 is not a frame of this movie", "o.xs"},
        // build
        {"build " + b.Q("o.dat") + " " + b.Q("none.txt"), 1, "none.txt: cannot read the manifest (No such file", "o.dat"},
        {"build " + b.Q("o.dat") + " " + b.Q("empty.txt"), 1, "empty.txt: the manifest lists no entries", "o.dat"},
        {"build " + b.Q("o.dat") + " " + b.Q("frame.png"), 1, "frame.png: not a text file", "o.dat"},
        {"build " + b.Q("o.dat") + " " + b.Q("m-cut.xm.txt"), 1, "m-cut.xm.txt:1: " + b.P("cut.xm") + ": damaged model file", "o.dat"},
        {"build " + b.Q("o.dat") + " " + b.Q("m-cut.xa.txt"), 1, "m-cut.xa.txt:1: " + b.P("cut.xa") + ": ", "o.dat"},
        {"build " + b.Q("o.dat") + " " + b.Q("m-cut.xs.txt"), 1, "m-cut.xs.txt:1: " + b.P("cut.xs") + ": ", "o.dat"},
        {"build " + b.Q("o.dat") + " " + b.Q("m-empty.xa.txt"), 1, "empty.xa is not an animation file", "o.dat"},
        {"build " + b.Q("o.dat") + " " + b.Q("m-empty.xs.txt"), 1, "empty.xs is not a movie file", "o.dat"},
        {"build " + b.Q("o.dat") + " " + b.Q("m-strip.obj.txt"), 1, "frame.xs is not a movie file", "o.dat"},
        // add, list, extract: the package missing, empty, cut short, or not a package
        {"add " + b.Q("none.dat") + " " + b.Q("pack.txt"), 1, "none.dat: cannot open (No such file", ""},
        {"add " + b.Q("empty.dat") + " " + b.Q("pack.txt"), 1, "empty.dat: not a package", ""},
        {"add " + b.Q("cut.dat") + " " + b.Q("pack.txt"), 1, "cut.dat: damaged package", ""},
        {"add " + b.Q("frame.png") + " " + b.Q("pack.txt"), 1, "frame.png: not a package", ""},
        {"list " + b.Q("none.dat"), 1, "none.dat: cannot open (No such file", ""},
        {"list " + b.Q("empty.dat"), 1, "empty.dat: not a package", ""},
        {"list " + b.Q("cut.dat"), 1, "cut.dat: damaged package", ""},
        {"list " + b.Q("frame.png"), 1, "frame.png: not a package", ""},
        {"extract " + b.Q("none.dat") + " 1 -o " + b.Q("o.bin"), 1, "none.dat: cannot open (No such file", "o.bin"},
        {"extract " + b.Q("empty.dat") + " 1 -o " + b.Q("o.bin"), 1, "empty.dat: not a package", "o.bin"},
        {"extract " + b.Q("cut.dat") + " 1 -o " + b.Q("o.bin"), 1, "cut.dat: damaged package", "o.bin"},
        {"extract " + b.Q("frame.png") + " 1 -o " + b.Q("o.bin"), 1, "frame.png: not a package", "o.bin"},
    };
    std::vector<unsigned char> cutPackage = qmReadFile(b.P("cut.dat"));
    for (auto& c : cases) {
        QmpRun r = qmpRun(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args << "\n" << r.err;
        EXPECT_TRUE(qmpHas(r.err, c.expect)) << c.args << "\n" << r.err;
        if (!c.out.empty()) {
            EXPECT_FALSE(fxPathExists(b.P(c.out).c_str())) << c.args;
        }
    }
    EXPECT_EQ(qmReadFile(b.P("cut.dat")), cutPackage);
    for (const std::string& f : qmpFolderFiles(b.dir)) EXPECT_FALSE(qmpHas(f, ".qmpack-")) << f;
}
