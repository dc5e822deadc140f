// qmpack unpack and replace: a package turned back into files and a manifest builds the same
// package again (the demo package too, but for library labels outside the folder); unpack never
// writes outside its folder; replace swaps an entry's bytes under the rules of its kind.
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "anim/anim.h"
#include "image/devil.h"
#include "qmpack/qmpack_test_util.h"

namespace {

// A package of every source kind with labels inside its folder: a picture, a raw record, a model
// with its library (two materials, one with a picture), a second model sharing the library, an
// animation, an animation of the older layout naming its frames' model files, and a movie.
struct Authored {
    std::string dir = qmpDir("authored");
    std::string pkg = qmTestPath("authored.dat");

    Authored() {
        mkdir((dir + "/models").c_str(), 0755);
        qmpWritePng(dir + "/models/skin.png", 8, 2);
        qmpWritePng(dir + "/photo.png", 5, 5);
        qmWriteText(dir + "/models/bird.mtl",
                    "Ns 10\nnewmtl skin\nKa 0.1 0.2 0.3\nKd 1 0.5 0.25\nKs 0.5 0.5 0.5\nd 0.75\nNs 37\n"
                    "map_Kd skin.png\n\nnewmtl eye\nKd 0 0 0\n");
        qmpWriteModel(dir + "/models/bird.xm", "bird", "bird.mtl", {"skin", "eye"});
        qmpWriteModel(dir + "/models/chick.xm", "chick", "bird.mtl", {"eye"});
        qmWriteFile(dir + "/raw.bin", QmBytes().Str("zz01").Text("payload").bytes);
        FXAnim old;
        for (const char* frame : {"models/chick.xm", "models/bird.xm"}) {
            old.frameNames.Push(frame);
            old.durations.PushInt(70);
        }
        EXPECT_TRUE(old.Save_v02((dir + "/old.xa").c_str()));
        for (const std::string& args :
             {"anim -o " + qmpQuote(dir + "/fly.xa") + " --loop " + qmpQuote(dir + "/models/bird.xm") + ":100 " +
                  qmpQuote(dir + "/models/bird.xm") + ":50",
              "movie -o " + qmpQuote(dir + "/fly.xs") + " --fps 20 --keys 0,1 " + qmpQuote(dir + "/photo.png") + " " +
                  qmpQuote(dir + "/models/skin.png")}) {
            QmpRun r = qmpRun(args);
            EXPECT_EQ(r.rc, 0) << args << "\n" << r.err;
        }
        qmWriteText(dir + "/content.txt",
                    "751 photo.png\n12 models/bird.xm\n7 raw.bin\n13 models/chick.xm\n"
                    "20 fly.xa\n21 old.xa\n30 fly.xs\n");
        QmpRun r = qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(dir + "/content.txt"));
        EXPECT_EQ(r.rc, 0) << r.err;
    }
};

// list --json without what differs between two files of the same content: the file name and the
// entries' offsets; for library entries listed in relabelled, also their label and size.
std::string Comparable(const std::string& json, const std::vector<std::string>& relabelled = {}) {
    std::string out;
    size_t pos = 0;
    while (pos < json.size()) {
        size_t end = json.find('\n', pos);
        if (end == std::string::npos) end = json.size();
        std::string line = json.substr(pos, end - pos);
        pos = end + 1;
        if (line.compare(0, 8, "{\"file\":") == 0) line = line.substr(line.find(",\"transposed\""));
        line = std::regex_replace(line, std::regex("\"offset\":[0-9]+,"), "");
        for (const std::string& number : relabelled)
            if (line.compare(0, 11 + number.size(), "{\"number\":" + number + ",") == 0) {
                line = std::regex_replace(line, std::regex("\"size\":[0-9]+,"), "");
                line = std::regex_replace(line, std::regex("'[^']*'"), "LABEL");
                line = std::regex_replace(line, std::regex("\"kind\":\"library\",(.*),\"name\":\"[^\"]*\""),
                                          "\"kind\":\"library\",$1,\"name\":LABEL");
            }
        out += line + "\n";
    }
    return out;
}

std::string ListJson(const std::string& pkg) {
    QmpRun r = qmpRun("list --json " + qmpQuote(pkg));
    EXPECT_EQ(r.rc, 0) << r.err;
    return r.out;
}

// Every file under dir, relative to it.
void Walk(const std::string& dir, const std::string& rel, std::vector<std::string>* out) {
    for (const std::string& name : qmpFolderFiles(dir + "/" + rel)) {
        std::string sub = rel.empty() ? name : rel + "/" + name;
        struct stat st;
        if (lstat((dir + "/" + sub).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            Walk(dir, sub, out);
        else
            out->push_back(sub);
    }
}

}  // namespace

TEST(QmpackUnpack, AuthoredPackageComesBackByteForByte) {
    Authored a;
    std::string out = qmFreshDir("authored_unpacked");
    QmpRun u = qmpRun("unpack " + qmpQuote(a.pkg) + " -o " + qmpQuote(out) + " --json");
    ASSERT_EQ(u.rc, 0) << u.err;
    // Seven listed, with the library, the skin picture, the old animation's two frames and the
    // movie's four pictures.
    EXPECT_TRUE(qmpHas(u.out, "\"entries\":15,")) << u.out;
    EXPECT_TRUE(qmpHas(u.out, "\"differ\":[],\"notes\":[]")) << u.out;
    // Sources, not records: the models name the library by path, the library its picture.
    std::string mtl = qmReadText(out + "/models/bird.mtl");
    EXPECT_TRUE(qmpHas(mtl, "newmtl skin\n")) << mtl;
    EXPECT_TRUE(qmpHas(mtl, "map_Kd ../pictures/")) << mtl;
    std::string manifest = qmReadText(out + "/qmsave.txt");
    EXPECT_TRUE(qmpHas(manifest, "\n12 12.xm\n")) << manifest;
    EXPECT_FALSE(qmpHas(manifest, ".mtl")) << "a library is built from the models that name it";

    std::string again = qmTestPath("authored_again.dat");
    QmpRun b = qmpRun("build " + qmpQuote(again) + " " + qmpQuote(out + "/qmsave.txt"));
    ASSERT_EQ(b.rc, 0) << b.err;
    EXPECT_EQ(qmReadFile(again), qmReadFile(a.pkg));
    EXPECT_TRUE(qmpHas(qmReadText(out + "/qmsave.names"), "models/bird.mtl"));
}

TEST(QmpackUnpack, DemoPackageListsTheSameBuiltAgain) {
    std::string out = qmFreshDir("demo_unpacked"), again = qmTestPath("demo_again.dat");
    QmpRun u = qmpRun("unpack " + qmpQuote(QM_DEMO_PACKAGE) + " -o " + qmpQuote(out) + " --json");
    ASSERT_EQ(u.rc, 0) << u.err;
    QmpRun b = qmpRun("build " + qmpQuote(again) + " " + qmpQuote(out + "/qmsave.txt"));
    ASSERT_EQ(b.rc, 0) << b.err;
    // What differs is said, and is only the labels of libraries whose .mtl lay outside the
    // folder of the manifest that built the demo.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(u.out, m, std::regex("\"differ\":\\[([0-9,]*)\\]"))) << u.out;
    std::vector<std::string> differ;
    std::string list = m[1];
    std::regex number("[0-9]+");
    for (std::sregex_iterator it(list.begin(), list.end(), number), end; it != end; ++it) differ.push_back(it->str());
    std::string original = ListJson(QM_DEMO_PACKAGE);
    for (const std::string& n : differ) EXPECT_TRUE(qmpHas(original, "{\"number\":" + n + ",\"type\":\"record\"")) << n;
    for (const std::string& n : differ)
        EXPECT_TRUE(std::regex_search(original, std::regex("\\{\"number\":" + n + ",[^\n]*\"kind\":\"library\""))) << n;
    EXPECT_EQ(Comparable(ListJson(again), differ), Comparable(original, differ));
}

TEST(QmpackUnpack, StaysInsideItsFolder) {
    // A library label that climbs out of the manifest's folder, and an unpack folder whose
    // subfolder is a link to elsewhere.
    std::string root = qmFreshDir("unpack_escape");
    mkdir((root + "/a").c_str(), 0755);
    mkdir((root + "/a/b").c_str(), 0755);
    mkdir((root + "/a/b/c").c_str(), 0755);
    qmpWritePng(root + "/a/skin.png", 4, 4);
    qmWriteText(root + "/a/evil.mtl", "newmtl skin\nmap_Kd skin.png\n");
    qmpWriteModel(root + "/a/b/c/m.xm", "m", "../../evil.mtl", {"skin"});
    qmWriteText(root + "/a/b/c/m.txt", "3 m.xm\n");
    std::string pkg = root + "/p.dat";
    ASSERT_EQ(qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(root + "/a/b/c/m.txt")).rc, 0);

    std::string out = root + "/out/x";
    mkdir((root + "/out").c_str(), 0755);
    QmpRun u = qmpRun("unpack " + qmpQuote(pkg) + " -o " + qmpQuote(out));
    ASSERT_EQ(u.rc, 0) << u.err;
    EXPECT_EQ(qmpFolderFiles(root + "/out"), std::vector<std::string>{"x"});
    std::vector<std::string> files;
    Walk(out, "", &files);
    EXPECT_NE(std::find(files.begin(), files.end(), "evil.mtl"), files.end());
    EXPECT_TRUE(qmpHas(u.out, "these differ: ")) << u.out;

    // Not into a folder with files, unless --force; not through a link to another folder.
    qmWriteText(root + "/out/y", "mine");
    QmpRun busy = qmpRun("unpack " + qmpQuote(pkg) + " -o " + qmpQuote(root + "/out"));
    EXPECT_EQ(busy.rc, 1);
    EXPECT_TRUE(qmpHas(busy.err, "not empty")) << busy.err;
    EXPECT_EQ(qmpFolderFiles(root + "/out"), (std::vector<std::string>{"x", "y"}));
    std::string elsewhere = qmFreshDir("unpack_elsewhere");
    ASSERT_EQ(std::system(("rm -r '" + out + "/pictures'").c_str()), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), (out + "/pictures").c_str()), 0);
    QmpRun linked = qmpRun("unpack " + qmpQuote(pkg) + " -o " + qmpQuote(out) + " --force");
    EXPECT_EQ(linked.rc, 1);
    EXPECT_TRUE(qmpFolderFiles(elsewhere).empty());
    // A file of the package's name in the folder is replaced, not written through.
    unlink((out + "/pictures").c_str());
    unlink((out + "/3.xm").c_str());
    ASSERT_EQ(symlink((root + "/out/y").c_str(), (out + "/3.xm").c_str()), 0);
    EXPECT_EQ(qmpRun("unpack " + qmpQuote(pkg) + " -o " + qmpQuote(out) + " --force").rc, 0);
    EXPECT_EQ(qmReadText(root + "/out/y"), "mine");
}

TEST(QmpackUnpack, NamesFromThePackageNeverWriteLinesOfTheirOwn) {
    // A model record naming library entry 50, whose second material's name holds a line break
    // and a .mtl statement.
    std::string dir = qmFreshDir("unpack_names");
    qmpWriteModel(dir + "/m.bin", "m", "50", {"skin"});
    QmBytes lib;
    lib.Str("lib\nmap_Kd /etc/passwd").Int(2);
    for (const char* name : {"", "skin\nmap_Kd /etc/passwd"}) {
        lib.Str(name).Str("");
        for (int k = 0; k < 17; k++) lib.Float(k == 7 || k == 11 ? 1.0f : 0.5f);
    }
    qmWriteFile(dir + "/lib.bin", lib.bytes);
    qmWriteText(dir + "/p.txt", "4 m.bin\n50 lib.bin\n");
    ASSERT_EQ(qmpRun("build " + qmpQuote(dir + "/p.dat") + " " + qmpQuote(dir + "/p.txt")).rc, 0);
    std::string out = dir + "/out";
    QmpRun u = qmpRun("unpack " + qmpQuote(dir + "/p.dat") + " -o " + qmpQuote(out) + " --verbose");
    ASSERT_EQ(u.rc, 0) << u.err;
    std::vector<std::string> files;
    Walk(out, "", &files);
    std::string mtl;
    for (const std::string& f : files)
        if (f.size() > 4 && f.substr(f.size() - 4) == ".mtl") mtl = qmReadText(out + "/" + f);
    EXPECT_TRUE(qmpHas(mtl, "newmtl skin_map_Kd_/etc/passwd\n")) << mtl;
    EXPECT_FALSE(qmpHas(mtl, "\nmap_Kd")) << mtl;
    EXPECT_TRUE(qmpHas(u.err, "has a name a .mtl line cannot hold")) << u.err;
}

TEST(QmpackReplace, ReplacesEntriesOfTheirKindAndDropsTheOldBytes) {
    Authored a;
    std::string pkg = qmTestPath("replace.dat");
    qmWriteFile(pkg, qmReadFile(a.pkg));
    qmpWritePng(a.dir + "/new.png", 30, 20);
    qmWriteText(a.dir + "/change.txt", "751 new.png\n900 raw.bin\n");
    QmpRun add = qmpRun("add " + qmpQuote(pkg) + " " + qmpQuote(a.dir + "/change.txt"));
    EXPECT_EQ(add.rc, 1);
    EXPECT_TRUE(qmpHas(add.err, "'qmpack replace'")) << add.err;

    QmpRun r = qmpRun("replace " + qmpQuote(pkg) + " " + qmpQuote(a.dir + "/change.txt"));
    ASSERT_EQ(r.rc, 0) << r.err;
    FXPackage before, after;
    before.Load(a.pkg.c_str());
    after.Load(pkg.c_str());
    EXPECT_EQ(qmpEntry(&after, 751), qmReadFile(a.dir + "/new.png"));
    EXPECT_EQ(qmpEntry(&after, 900), qmReadFile(a.dir + "/raw.bin"));
    EXPECT_EQ(after.GetCount(), before.GetCount() + 1);
    for (int n : {7, 12, 13}) EXPECT_EQ(qmpEntry(&after, n), qmpEntry(&before, n)) << n;
    EXPECT_EQ(after.DataLength(), before.DataLength() - int(qmpEntry(&before, 751).size()) +
                                    int(qmReadFile(a.dir + "/new.png").size() + qmReadFile(a.dir + "/raw.bin").size()));

    // Another kind only when asked; a picture that does not decode never.
    std::vector<unsigned char> kept = qmReadFile(pkg);
    qmWriteText(a.dir + "/kind.txt", "12 new.png\n");
    QmpRun kind = qmpRun("replace " + qmpQuote(pkg) + " " + qmpQuote(a.dir + "/kind.txt"));
    EXPECT_EQ(kind.rc, 1);
    EXPECT_TRUE(qmpHas(kind.err, "entry 12 is a model")) << kind.err;
    EXPECT_EQ(qmReadFile(pkg), kept);
    if (fxLoadDevil()) {
        std::vector<unsigned char> broken = qmReadFile(a.dir + "/new.png");
        broken.resize(40);
        qmWriteFile(a.dir + "/broken.png", broken);
        qmWriteText(a.dir + "/broken.txt", "751 broken.png\n");
        QmpRun bad = qmpRun("replace " + qmpQuote(pkg) + " " + qmpQuote(a.dir + "/broken.txt"));
        EXPECT_EQ(bad.rc, 1);
        EXPECT_TRUE(qmpHas(bad.err, "does not decode")) << bad.err;
        EXPECT_EQ(qmReadFile(pkg), kept);
        fxUnloadDevil();
    }
    EXPECT_EQ(qmpRun("replace " + qmpQuote(pkg) + " " + qmpQuote(a.dir + "/kind.txt") + " --any-kind").rc, 0);
    after.Load(pkg.c_str());
    EXPECT_EQ(after.GetDataType(12), FX_PACKAGE_TYPE_PNG);
}
