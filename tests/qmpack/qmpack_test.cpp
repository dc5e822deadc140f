// Drives the built qmpack program end to end: builds from manifests, lists, extracts, grows,
// and checks its error reports and exit codes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>

#include "base/binio.h"
#include "base/package.h"
#include "support/test_support.h"

namespace {

struct QMRun {
    int rc;
    std::string out, err;
};

// Scratch names carry the test's name: CTest runs the tests of this file in parallel.
std::string localScratch(const std::string& name) {
    return qmTestPath(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" + name);
}

QMRun localQmpack(const std::string& args) {
    std::string out = localScratch("stdout.txt"), err = localScratch("stderr.txt");
    std::string cmd = std::string("'") + QMPACK_PATH + "' " + args + " >'" + out + "' 2>'" + err + "'";
    int status = std::system(cmd.c_str());
    QMRun r;
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = qmReadText(out);
    r.err = qmReadText(err);
    return r;
}

std::string localQuote(const std::string& s) { return "'" + s + "'"; }

// A folder of sources under the test output: a picture, a model-like record and a file whose
// name holds a space.
struct Sources {
    std::string dir = localScratch("src");
    std::vector<unsigned char> png, model, other;

    Sources() {
        mkdir(dir.c_str(), 0755);
        mkdir((dir + "/art").c_str(), 0755);
        for (int i = 0; i < 700; i++) png.push_back((unsigned char)(i * 7));
        unsigned char len[4];
        fxPutI32(len, 4);
        model.assign(len, len + 4);
        for (char c : std::string("xm03")) model.push_back((unsigned char)c);
        model.resize(40, 0x5A);
        other = {'n', 'o', 't', 'e'};
        qmWriteFile(dir + "/art/leaf.png", png);
        qmWriteFile(dir + "/model.bin", model);
        qmWriteFile(dir + "/art/my note.txt", other);
    }
    std::string Manifest(const std::string& name, const std::string& text) const {
        std::string path = dir + "/" + name;
        qmWriteText(path, text);
        return path;
    }
};

}  // namespace

TEST(Qmpack, BuildListExtract) {
    Sources s;
    std::string manifest = s.Manifest("pack.txt",
                                      "# the demo content\n"
                                      "\n"
                                      "751 art/leaf.png\n"
                                      "   # an indented comment\n"
                                      "12\tmodel.bin\r\n"
                                      "-3 art/my note.txt   \n");
    for (bool transposed : {false, true}) {
        std::string pkg = localScratch(transposed ? "qmpack_t.dat" : "qmpack_p.dat");
        QMRun b = localQmpack("build " + localQuote(pkg) + " " + localQuote(manifest) + (transposed ? " --transposed" : ""));
        ASSERT_EQ(b.rc, 0) << b.err;

        QMRun l = localQmpack("list " + localQuote(pkg));
        ASSERT_EQ(l.rc, 0) << l.err;
        EXPECT_EQ(l.out,
                  "     751  png            700\n"
                  "      12  record          40  xm03\n"
                  "      -3  record           4\n");

        struct {
            int number;
            const std::vector<unsigned char>* bytes;
        } checks[] = {{751, &s.png}, {12, &s.model}, {-3, &s.other}};
        for (auto& c : checks) {
            std::string out = localScratch("qmpack_x.bin");
            remove(out.c_str());
            QMRun x = localQmpack("extract " + localQuote(pkg) + " " + std::to_string(c.number) + " -o " + localQuote(out));
            ASSERT_EQ(x.rc, 0) << x.err;
            EXPECT_EQ(qmReadFile(out), *c.bytes) << c.number;
        }
        FXPackage p;
        p.Load(pkg.c_str());
        EXPECT_EQ(p.GetCount(), 3);
        EXPECT_EQ(p.GetDataType(751), FX_PACKAGE_TYPE_PNG);
    }
    EXPECT_NE(qmReadFile(localScratch("qmpack_t.dat")), qmReadFile(localScratch("qmpack_p.dat")));
}

TEST(Qmpack, ManifestErrorsNameTheLine) {
    Sources s;
    std::string pkg = localScratch("qmpack_err.dat");
    struct {
        const char* text;
        const char* expect;
    } cases[] = {
        {"1 model.bin\n2 art/gone.png\n", "pack_err.txt:2: cannot read"},
        {"1 model.bin\n\nseven art/leaf.png\n", "pack_err.txt:3: expected 'number path'"},
        {"1 model.bin\n2\n", "pack_err.txt:2: expected 'number path'"},
        {"1 model.bin\n99999999999 model.bin\n", "pack_err.txt:2:"},
        {"5 model.bin\n# x\n5 art/leaf.png\n", "pack_err.txt:3: number 5 is already used on line 1"},
        {"1 art\n", "pack_err.txt:1: cannot read"},
    };
    for (auto& c : cases) {
        std::string manifest = s.Manifest("pack_err.txt", c.text);
        remove(pkg.c_str());
        QMRun r = localQmpack("build " + localQuote(pkg) + " " + localQuote(manifest));
        EXPECT_EQ(r.rc, 1) << c.text;
        EXPECT_NE(r.err.find(c.expect), std::string::npos) << r.err;
        EXPECT_TRUE(qmReadFile(pkg).empty()) << "nothing written for " << c.text;
    }
}

TEST(Qmpack, CommandErrors) {
    Sources s;
    std::string pkg = localScratch("qmpack_cmd.dat");
    ASSERT_EQ(localQmpack("build " + localQuote(pkg) + " " + localQuote(s.Manifest("one.txt", "4 model.bin\n"))).rc, 0);

    QMRun missing = localQmpack("extract " + localQuote(pkg) + " 5 -o " + localQuote(localScratch("qmpack_none")));
    EXPECT_EQ(missing.rc, 1);
    EXPECT_NE(missing.err.find("no entry numbered 5"), std::string::npos);
    EXPECT_NE(missing.err.find("qmpack_cmd.dat"), std::string::npos);

    QMRun notPackage = localQmpack("list " + localQuote(s.dir + "/model.bin"));
    EXPECT_EQ(notPackage.rc, 1);
    EXPECT_NE(notPackage.err.find("model.bin: not a package"), std::string::npos);

    QMRun noFile = localQmpack("list " + localQuote(s.dir + "/nothing.dat"));
    EXPECT_EQ(noFile.rc, 1);
    EXPECT_NE(noFile.err.find("nothing.dat: cannot open"), std::string::npos);

    // A package whose tables were cut off is damaged, not empty.
    std::vector<unsigned char> cut = qmReadFile(pkg);
    cut.resize(20);
    std::string damaged = localScratch("qmpack_cut.dat");
    qmWriteFile(damaged, cut);
    QMRun d = localQmpack("list " + localQuote(damaged));
    EXPECT_EQ(d.rc, 1);
    EXPECT_NE(d.err.find("damaged"), std::string::npos);

    EXPECT_EQ(localQmpack("").rc, 2);
    EXPECT_EQ(localQmpack("frobnicate").rc, 2);
    EXPECT_EQ(localQmpack("extract " + localQuote(pkg) + " 4").rc, 2);  // no -o
}

TEST(Qmpack, AddKeepsStoredEntries) {
    Sources s;
    std::string pkg = localScratch("qmpack_grow.dat");
    ASSERT_EQ(localQmpack("build " + localQuote(pkg) + " " + localQuote(s.Manifest("g1.txt", "4 model.bin\n9 art/leaf.png\n")) +
                          " --transposed")
                  .rc,
              0);
    FXPackage before;
    before.Load(pkg.c_str());
    ASSERT_EQ(before.GetCount(), 2);

    QMRun clash = localQmpack("add " + localQuote(pkg) + " " + localQuote(s.Manifest("g2.txt", "10 model.bin\n9 model.bin\n")));
    EXPECT_EQ(clash.rc, 1);
    EXPECT_NE(clash.err.find("g2.txt:2: number 9 is already an entry"), std::string::npos);

    QMRun add = localQmpack("add " + localQuote(pkg) + " " + localQuote(s.Manifest("g3.txt", "10 art/my note.txt\n")));
    ASSERT_EQ(add.rc, 0) << add.err;
    std::vector<unsigned char> bytes = qmReadFile(pkg);
    ASSERT_GT(bytes.size(), 10u);
    EXPECT_EQ(bytes[9], 's');  // stays transposed
    FXPackage after;
    after.Load(pkg.c_str());
    ASSERT_EQ(after.GetCount(), 3);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(after.ids.GetInt(i), before.ids.GetInt(i));
        EXPECT_EQ(after.offsets.GetInt(i), before.offsets.GetInt(i));
    }
    FXPackageData* d = after.GetDataPtr(10);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(d->start, d->start + d->size), s.other);
    EXPECT_EQ(after.offsets.GetInt(2), before.dataLength);
}

TEST(Qmpack, LargeBuildReportsProgress) {
    Sources s;
    std::string text;
    for (int i = 0; i < 201; i++) text += std::to_string(i) + " model.bin\n";
    std::string pkg = localScratch("qmpack_many.dat");
    QMRun r = localQmpack("build " + localQuote(pkg) + " " + localQuote(s.Manifest("many.txt", text)));
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.err.find("packing 201 files"), std::string::npos);
    QMRun small = localQmpack("build " + localQuote(pkg) + " " + localQuote(s.Manifest("few.txt", "1 model.bin\n")));
    EXPECT_EQ(small.err, "");
}
