// qmpack build, add, list and extract end to end: plain files and pictures, compiled models with
// their libraries and pictures, free numbering, the names files and growing a package.
#include <unistd.h>

#include "image/material.h"
#include "image/matlib.h"
#include "qmpack/qmpack_test_util.h"

namespace {

// Sources shared by the tests: a picture, a raw record and a file whose name holds a space.
struct Sources {
    std::string dir = qmpDir("src");
    std::vector<unsigned char> png, record, note;

    Sources() {
        mkdir((dir + "/art").c_str(), 0755);
        qmpWritePng(dir + "/art/leaf.png", 4, 3);
        png = qmReadFile(dir + "/art/leaf.png");
        record = QmBytes().Str("xm07").Text(std::string(32, 'Z')).bytes;
        note = {'n', 'o', 't', 'e'};
        qmWriteFile(dir + "/record.bin", record);
        qmWriteFile(dir + "/art/my note.txt", note);
    }
    std::string Manifest(const std::string& name, const std::string& text) const {
        qmWriteText(dir + "/" + name, text);
        return dir + "/" + name;
    }
};

// A model folder: bird.xm naming bird.mtl, whose materials skin and eye show skin.png and
// eye.jpeg (a JPEG file by a name the package does not know).
struct ModelSources : Sources {
    ModelSources() {
        mkdir((dir + "/models").c_str(), 0755);
        qmpWritePng(dir + "/models/skin.png", 8, 2);
        qmWriteFile(dir + "/models/eye.jpeg", qmpJpegHead(5, 7));
        qmWriteText(dir + "/models/bird.mtl",
                    "newmtl skin\nKd 1 0.5 0.25\nmap_Kd skin.png\n\nnewmtl eye\nmap_Kd eye.jpeg\n");
        qmpWriteModel(dir + "/models/bird.xm", "bird", "bird.mtl", {"skin", "eye"});
    }
};

std::string Build(const std::string& out, const std::string& manifest, const std::string& more = "") {
    QmpRun r = qmpRun("build " + qmpQuote(out) + " " + qmpQuote(manifest) + more);
    EXPECT_EQ(r.rc, 0) << r.err;
    return r.err;
}

}  // namespace

TEST(Qmpack, BuildListExtract) {
    Sources s;
    std::string manifest = s.Manifest("pack.txt",
                                      "# the demo content\n"
                                      "\n"
                                      "751 art/leaf.png\n"
                                      "   # an indented comment\n"
                                      "12\trecord.bin\r\n"
                                      "-3 art/my note.txt   \n");
    for (bool transposed : {false, true}) {
        std::string pkg = qmTestPath(transposed ? "t.dat" : "p.dat");
        EXPECT_EQ(Build(pkg, manifest, transposed ? " --transposed" : ""), "");

        QmpRun l = qmpRun("list " + qmpQuote(pkg));
        ASSERT_EQ(l.rc, 0) << l.err;
        EXPECT_EQ(l.out,
                  "     751  png            " + std::to_string(s.png.size()) + "  picture 4x3 RGBA\n"
                  "      12  record          40  record 'xm07'\n"
                  "      -3  record           4  record\n");
        QmpRun j = qmpRun("list --json " + qmpQuote(pkg));
        ASSERT_EQ(j.rc, 0) << j.err;
        EXPECT_TRUE(qmpHas(j.out, std::string("\"transposed\":") + (transposed ? "true" : "false")));
        EXPECT_TRUE(qmpHas(j.out, "{\"number\":751,\"type\":\"png\",\"size\":" + std::to_string(s.png.size()) +
                                      ",\"offset\":0,\"kind\":\"png\",\"summary\":\"picture 4x3 RGBA\",\"width\":4,"
                                      "\"height\":3,\"layout\":\"RGBA\"}"))
            << j.out;
        EXPECT_TRUE(qmpHas(j.out, "\"damaged\":0}")) << j.out;

        struct {
            int number;
            const std::vector<unsigned char>* bytes;
        } checks[] = {{751, &s.png}, {12, &s.record}, {-3, &s.note}};
        for (auto& c : checks) {
            std::string out = qmTestPath("x.bin");
            QmpRun x = qmpRun("extract " + qmpQuote(pkg) + " " + std::to_string(c.number) + " -o " + qmpQuote(out));
            ASSERT_EQ(x.rc, 0) << x.err;
            EXPECT_EQ(qmReadFile(out), *c.bytes) << c.number;
        }
        FXPackage p;
        p.Load(pkg.c_str());
        EXPECT_EQ(p.GetCount(), 3);
        EXPECT_EQ(p.GetDataType(751), FX_PACKAGE_TYPE_PNG);
    }
    EXPECT_NE(qmReadFile(qmTestPath("t.dat")), qmReadFile(qmTestPath("p.dat")));
}

TEST(Qmpack, PicturesAreTypedByTheirBytes) {
    Sources s;
    qmWriteFile(s.dir + "/a.jpeg", qmpJpegHead(20, 10));
    qmWriteFile(s.dir + "/b.JPG", qmpJpegHead(3, 2));
    qmWriteFile(s.dir + "/c.jpg", s.png);  // a PNG picture by a JPEG name
    qmWriteFile(s.dir + "/d.png", s.note);  // not a picture at all
    struct {
        const char* line;
        int type;
        const char* warning;  // "" when the build says nothing
    } cases[] = {
        {"1 a.jpeg\n", FX_PACKAGE_TYPE_JPG, ""},
        {"1 b.JPG\n", FX_PACKAGE_TYPE_JPG, ""},
        {"1 c.jpg\n", FX_PACKAGE_TYPE_PNG, "c.jpg holds a PNG picture, which its name does not say"},
        {"1 art/leaf.png\n", FX_PACKAGE_TYPE_PNG, ""},
        {"1 record.bin\n", FX_PACKAGE_TYPE_RECORD, ""},
        {"1 x.obj\n", FX_PACKAGE_TYPE_RECORD, "x.obj is packed as text; 'qmpack import-obj' makes"},
    };
    qmWriteText(s.dir + "/x.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    std::string pkg = qmTestPath("typed.dat");
    for (auto& c : cases) {
        std::string err = Build(pkg, s.Manifest("t.txt", c.line));
        if (*c.warning)
            EXPECT_TRUE(qmpHas(err, c.warning)) << c.line << err;
        else
            EXPECT_EQ(err, "") << c.line;
        FXPackage p;
        p.Load(pkg.c_str());
        EXPECT_EQ(p.GetDataType(1), c.type) << c.line;
    }
    remove(pkg.c_str());
    QmpRun bad = qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(s.Manifest("t.txt", "1 d.png\n")));
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(qmpHas(bad.err, "t.txt:1: " + s.dir + "/d.png is not a PNG picture")) << bad.err;
    EXPECT_TRUE(qmReadFile(pkg).empty());
}

TEST(Qmpack, ModelsAreCompiledWithTheirLibraryAndPictures) {
    ModelSources s;
    std::string pkg = qmTestPath("models.dat");
    std::string names = qmTestPath("names.bin"), header = qmTestPath("names.h");
    // Free numbers start at 41; 42 belongs to a fixed entry, so compiled content skips it.
    std::string manifest = s.Manifest("m.txt", "free 41\n12 models/bird.xm\n40 art/leaf.png\n42 record.bin\n");
    EXPECT_EQ(Build(pkg, manifest, " --names " + qmpQuote(names) + " --header " + qmpQuote(header)), "");

    FXPackage p;
    p.Load(pkg.c_str());
    ASSERT_EQ(p.GetCount(), 6);
    EXPECT_EQ(qmpEntry(&p, 41), qmReadFile(s.dir + "/models/skin.png"));
    EXPECT_EQ(p.GetDataType(41), FX_PACKAGE_TYPE_PNG);
    EXPECT_EQ(qmpEntry(&p, 42), s.record);
    EXPECT_EQ(p.GetDataType(43), FX_PACKAGE_TYPE_JPG);  // eye.jpeg, by a name the package does not know
    EXPECT_EQ(qmpEntry(&p, 43), qmpJpegHead(5, 7));
    EXPECT_EQ(p.GetDataType(44), FX_PACKAGE_TYPE_RECORD);  // the library

    QmpLoadEnv env;
    FXModel m;
    ASSERT_TRUE(m.LoadCN(&env, &p, 12));
    EXPECT_STREQ(m.name, "bird");
    EXPECT_STREQ(m.matlibName, "44");
    ASSERT_TRUE(m.matlib);
    EXPECT_STREQ(m.matlib->name, "models/bird.mtl");  // a label, the same on every machine
    ASSERT_EQ(m.loadedMeshes.Count(), 2);
    const FXMesh* skin = m.loadedMeshes.Get(0);
    const FXMesh* eye = m.loadedMeshes.Get(1);
    ASSERT_TRUE(skin->material && eye->material);
    EXPECT_STREQ(skin->material->name, "skin");
    EXPECT_STREQ(skin->material->textureFile, "41");
    EXPECT_FLOAT_EQ(skin->material->diffuse[1], 0.5f);
    EXPECT_EQ(skin->vertexCount, 4);
    EXPECT_EQ(skin->indexCount, 6);
    EXPECT_STREQ(eye->material->textureFile, "43");
    m.Destroy();

    // What each free number holds, relative to the manifest's folder, then where they start.
    EXPECT_EQ(qmReadFile(names), QmBytes()
                                     .Int(4)
                                     .Str("models/skin.png")
                                     .Str("record.bin")
                                     .Str("models/eye.jpeg")
                                     .Str("models/bird.mtl")
                                     .Str("base")
                                     .Int(41)
                                     .bytes);
    EXPECT_EQ(qmReadText(header),
              "#define FXNAME_SKIN_PNG  41\n"
              "#define FXNAME_RECORD_BIN  42\n"
              "#define FXNAME_EYE_JPEG  43\n"
              "#define FXNAME_BIRD_MTL  44\n");

    QmpRun l = qmpRun("list " + qmpQuote(pkg));
    ASSERT_EQ(l.rc, 0) << l.err;
    EXPECT_TRUE(qmpHas(l.out, "model 'bird' (xm03), 2 meshes, library 44\n")) << l.out;
    EXPECT_TRUE(qmpHas(l.out, "mesh 0: 4 vertices, 6 indices (2 triangles), material 'skin'\n")) << l.out;
    EXPECT_TRUE(qmpHas(l.out, "material library 'models/bird.mtl', 3 materials\n")) << l.out;
    EXPECT_TRUE(qmpHas(l.out, "material 'eye', picture 43\n")) << l.out;
    EXPECT_TRUE(qmpHas(l.out, "      43  jpg             " + std::to_string(qmpJpegHead(5, 7).size()) +
                                  "  picture 5x7 RGB\n"))
        << l.out;
}

TEST(Qmpack, GrowingKeepsNumbersAndContinuesTheNames) {
    ModelSources s;
    qmpWritePng(s.dir + "/models/fin.png", 2, 2);
    qmWriteText(s.dir + "/models/fish.mtl", "newmtl body\nmap_Kd skin.png\nnewmtl fin\nmap_Kd fin.png\n");
    qmpWriteModel(s.dir + "/models/fish.xm", "fish", "fish.mtl", {"fin", "body"});
    std::string pkg = qmTestPath("grow.dat"), names = qmTestPath("grow.names");
    // bird: skin 13, eye 14, its library 15.
    Build(pkg, s.Manifest("g1.txt", "3 art/leaf.png\n12 models/bird.xm\n"), " --transposed --names " + qmpQuote(names));
    FXPackage before;
    before.Load(pkg.c_str());
    ASSERT_EQ(before.GetCount(), 5);

    QmpRun add = qmpRun("add " + qmpQuote(pkg) + " " + qmpQuote(s.Manifest("g2.txt", "20 models/fish.xm\n")) +
                        " --names " + qmpQuote(names));
    ASSERT_EQ(add.rc, 0) << add.err;
    FXPackage after;
    after.Load(pkg.c_str());
    ASSERT_EQ(after.GetCount(), 8);  // fin 16, the fish library 17, the fish 20; skin is shared
    for (int i = 0; i < before.GetCount(); i++) {
        EXPECT_EQ(after.IdAt(i), before.IdAt(i));
        EXPECT_EQ(after.OffsetAt(i), before.OffsetAt(i));
        EXPECT_EQ(qmpEntry(&after, after.IdAt(i)), qmpEntry(&before, before.IdAt(i)));
    }
    EXPECT_EQ(qmReadFile(pkg)[9], 's');  // stays transposed
    EXPECT_EQ(qmpEntry(&after, 16), qmReadFile(s.dir + "/models/fin.png"));

    QmpLoadEnv env;
    {
        FXModel fish;
        ASSERT_TRUE(fish.LoadCN(&env, &after, 20));
        EXPECT_STREQ(fish.matlibName, "17");
        ASSERT_EQ(fish.loadedMeshes.Count(), 2);
        const FXMesh* fin = fish.loadedMeshes.Get(0);
        const FXMesh* body = fish.loadedMeshes.Get(1);
        ASSERT_TRUE(fin->material && body->material);
        EXPECT_STREQ(fin->material->textureFile, "16");
        EXPECT_STREQ(body->material->textureFile, "13");  // the bird's skin picture, not packed again
    }
    EXPECT_EQ(qmReadFile(names), QmBytes()
                                     .Int(5)
                                     .Str("models/skin.png")
                                     .Str("models/eye.jpeg")
                                     .Str("models/bird.mtl")
                                     .Str("models/fin.png")
                                     .Str("models/fish.mtl")
                                     .Str("base")
                                     .Int(13)
                                     .bytes);

    // A names file of another package is refused, and so is one written by other means.
    std::string foreign = qmTestPath("foreign.names");
    qmWriteFile(foreign, QmBytes().Int(1).Str("x.png").Str("base").Int(500).bytes);
    std::string plain = qmTestPath("plain.names");
    qmWriteFile(plain, QmBytes().Int(1).Str("x.png").bytes);
    struct {
        std::string names;
        const char* expect;
    } refused[] = {{foreign, "does not belong to this package"}, {plain, "not a names file of qmpack"}};
    for (auto& r : refused) {
        std::vector<unsigned char> was = qmReadFile(pkg);
        QmpRun x = qmpRun("add " + qmpQuote(pkg) + " " + qmpQuote(s.Manifest("g3.txt", "30 record.bin\n")) +
                          " --names " + qmpQuote(r.names));
        EXPECT_EQ(x.rc, 1);
        EXPECT_TRUE(qmpHas(x.err, r.expect)) << x.err;
        EXPECT_EQ(qmReadFile(pkg), was);
    }
}

TEST(Qmpack, ManifestErrorsNameTheLine) {
    Sources s;
    std::string pkg = qmTestPath("err.dat");
    struct {
        const char* text;
        const char* expect;
    } cases[] = {
        {"1 record.bin\n2 art/gone.png\n", "pack_err.txt:2: cannot read " },
        {"1 record.bin\n\nseven art/leaf.png\n", "pack_err.txt:3: expected 'number path'"},
        {"1 record.bin\n2\n", "pack_err.txt:2: expected 'number path'"},
        {"1 record.bin\n99999999999 record.bin\n", "pack_err.txt:2:"},
        {"5 record.bin\n# x\n5 art/leaf.png\n", "pack_err.txt:3: number 5 is already used on line 1"},
        {"1 art\n", "pack_err.txt:1: cannot read " },
        {"1 art\n", "(is a directory)"},
        {"# only a comment\n\n", "pack_err.txt: the manifest lists no entries"},
        {"", "pack_err.txt: the manifest lists no entries"},
        {"free\n1 record.bin\n", "pack_err.txt:1: expected 'free NUMBER'"},
        {"free 10\nfree 20\n1 record.bin\n", "pack_err.txt:2: a second 'free' line (the first is line 1)"},
        {"1 record.bin\n2 models/none.xm\n", "pack_err.txt:2: cannot read "},
        {"1 record.bin\n2 record.bin\n3 art/my note.txt\n4 art/leaf.png\n5 notes.xm\n",
         "is not an engine model file"},
    };
    qmWriteText(s.dir + "/notes.xm", "# an OBJ file by the wrong name\nv 0 0 0\n");
    for (auto& c : cases) {
        std::string manifest = s.Manifest("pack_err.txt", c.text);
        remove(pkg.c_str());
        QmpRun r = qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(manifest));
        EXPECT_EQ(r.rc, 1) << c.text;
        EXPECT_TRUE(qmpHas(r.err, c.expect)) << c.text << r.err;
        EXPECT_TRUE(qmReadFile(pkg).empty()) << "nothing written for " << c.text;
    }
    for (const std::string& f : qmpFolderFiles(qmTestPath(""))) EXPECT_FALSE(qmpHas(f, ".qmpack-")) << f;
}

TEST(Qmpack, CommandLineAndHelp) {
    Sources s;
    std::string pkg = qmTestPath("cmd.dat");
    Build(pkg, s.Manifest("one.txt", "4 record.bin\n"));
    struct {
        std::string args;
        int rc;
        const char* out;  // expected in standard output
        const char* err;  // expected in standard error
    } cases[] = {
        {"--version", 0, "qmpack 1.0", ""},
        {"help", 0, "  build       build a package from a manifest", ""},
        {"help build", 0, "'free NUMBER'", ""},
        {"build --help", 0, "usage: qmpack build OUT MANIFEST", ""},
        {"list -h", 0, "--json", ""},
        {"", 2, "", "usage: qmpack COMMAND"},
        {"frobnicate", 2, "", "unknown command 'frobnicate'"},
        {"help frobnicate", 2, "", "unknown command 'frobnicate'"},
        {"list " + qmpQuote(pkg) + " --colour", 2, "", "unknown option '--colour' (try 'qmpack help list')"},
        {"extract " + qmpQuote(pkg) + " 4", 2, "", "usage: qmpack extract FILE NUMBER -o OUT"},
        {"extract " + qmpQuote(pkg) + " four -o x", 2, "", "'four' is not an entry number"},
        {"extract " + qmpQuote(pkg) + " 5 -o x", 1, "", "cmd.dat: no entry numbered 5"},
        {"list " + qmpQuote(s.dir + "/record.bin"), 1, "", "record.bin: not a package"},
        {"list " + qmpQuote(s.dir + "/nothing.dat"), 1, "", "nothing.dat: cannot open (No such file or directory)"},
        {"build " + qmpQuote(pkg) + " " + qmpQuote(s.dir + "/one.txt") + " --names", 2, "", "needs a value"},
        {"build " + qmpQuote(pkg) + " " + qmpQuote(s.dir + "/one.txt") + " --transposed=1", 2, "", "takes no value"},
    };
    for (auto& c : cases) {
        QmpRun r = qmpRun(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args << r.err;
        EXPECT_TRUE(qmpHas(r.out, c.out)) << c.args << r.out;
        EXPECT_TRUE(qmpHas(r.err, c.err)) << c.args << r.err;
    }
    QmpRun x = qmpRun("extract " + qmpQuote(pkg) + " 4 -o -");
    EXPECT_EQ(x.rc, 0);
    EXPECT_EQ(std::vector<unsigned char>(x.out.begin(), x.out.end()), s.record);
    QmpRun eq = qmpRun("extract " + qmpQuote(pkg) + " 4 --o=x");  // only long options take '='
    EXPECT_EQ(eq.rc, 2);
}

TEST(Qmpack, AddRefusesNumbersThePackageHolds) {
    Sources s;
    std::string pkg = qmTestPath("add.dat");
    Build(pkg, s.Manifest("g1.txt", "4 record.bin\n9 art/leaf.png\n"));
    std::vector<unsigned char> was = qmReadFile(pkg);
    QmpRun clash = qmpRun("add " + qmpQuote(pkg) + " " + qmpQuote(s.Manifest("g2.txt", "10 record.bin\n9 record.bin\n")));
    EXPECT_EQ(clash.rc, 1);
    EXPECT_TRUE(qmpHas(clash.err, "g2.txt:2: number 9 is already an entry")) << clash.err;
    EXPECT_EQ(qmReadFile(pkg), was);
    QmpRun add = qmpRun("add " + qmpQuote(pkg) + " " + qmpQuote(s.Manifest("g3.txt", "10 art/my note.txt\n")));
    ASSERT_EQ(add.rc, 0) << add.err;
    FXPackage after;
    after.Load(pkg.c_str());
    ASSERT_EQ(after.GetCount(), 3);
    EXPECT_EQ(qmpEntry(&after, 10), s.note);
}

TEST(Qmpack, LargeBuildReportsProgress) {
    Sources s;
    std::string text;
    for (int i = 0; i < 201; i++) text += std::to_string(i) + " record.bin\n";
    std::string pkg = qmTestPath("many.dat");
    QmpRun r = qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(s.Manifest("many.txt", text)));
    ASSERT_EQ(r.rc, 0) << r.err;
    // Not a terminal: a line when the work starts and one when it ends, no bar.
    EXPECT_TRUE(qmpHas(r.err, "qmpack: packing 201 files (0.0 MB) into ")) << r.err;
    EXPECT_TRUE(qmpHas(r.err, "qmpack: wrote " + pkg + ": 201 entries, 0.0 MB of data\n")) << r.err;
    EXPECT_FALSE(qmpHas(r.err, "\r"));
    QmpRun small = qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(s.Manifest("few.txt", "1 record.bin\n")));
    EXPECT_EQ(small.err, "");
}
