// qmpack import-obj: an OBJ model with its library becomes an engine model file that names the
// library from its own folder, optionally unitized and reduced; what it cannot use it says.
#include "qmpack/qmpack_test_util.h"

namespace {

// A flat 2 x 1 strip of two quads sharing their middle edge: six positions, four triangles.
const char* kStrip =
    "mtllib strip.mtl\n"
    "o strip\n"
    "v 0 0 1\nv 1 0 1\nv 2 0 1\nv 0 1 1\nv 1 1 1\nv 2 1 1\n"
    "usemtl leaf\n"
    "f 1 2 5 4\n"
    "f 2 3 6 5\n";

struct ObjSources {
    std::string dir = qmpDir("obj");
    ObjSources() {
        mkdir((dir + "/out").c_str(), 0755);
        qmWriteText(dir + "/strip.obj", kStrip);
        qmWriteText(dir + "/strip.mtl", "newmtl leaf\nKd 0 1 0\nmap_Kd leaf.png\n");
        qmpWritePng(dir + "/leaf.png");
    }
    std::string Q(const std::string& name) const { return qmpQuote(dir + "/" + name); }
};

// Loads an engine model file the way `build` reads it (library names from the file's folder).
void LoadModel(PEnv* env, FXModel* m, const std::string& path) {
    ASSERT_TRUE(m->Load(env, path.c_str()));
    m->UpdateMeshes();
}

}  // namespace

TEST(QmpackImport, TheModelNamesItsLibraryFromItsOwnFolder) {
    ObjSources s;
    struct {
        std::string extra;
        std::string summary;
        float minX, maxX;  // of the written positions
        int vertices;
    } cases[] = {
        {"", "out/strip.xm: 1 mesh, 6 vertices, 4 triangles, material library ../strip.mtl\n", 0, 2, 6},
        {" --unitize", "out/strip.xm: 1 mesh, 6 vertices, 4 triangles, material library ../strip.mtl\n", -1, 1, 6},
        {" --reduce 1",
         "out/strip.xm: 1 mesh, 4 vertices, 2 triangles (reduced from 6 vertices, 4 triangles), material library "
         "../strip.mtl\n",
         0, 2, 4},
    };
    for (auto& c : cases) {
        QmpRun r = qmpRun("import-obj " + s.Q("strip.obj") + " -o " + s.Q("out/strip.xm") + c.extra);
        ASSERT_EQ(r.rc, 0) << c.extra << r.err;
        EXPECT_EQ(r.out, s.dir + "/" + c.summary) << c.extra;
        EXPECT_EQ(r.err, "") << c.extra;  // its "o strip" line is a known word, passed over silently

        RecordingEnv env;  // the library is not needed to read the meshes
        FXModel m;
        LoadModel(&env, &m, s.dir + "/out/strip.xm");
        EXPECT_STREQ(m.name, "strip");
        EXPECT_STREQ(m.matlibName, "../strip.mtl");
        ASSERT_EQ(m.GetCount(), 1) << c.extra;
        const FXMesh* mesh = m.EnumMeshes(0);
        EXPECT_STREQ(mesh->materialName, "leaf");
        ASSERT_EQ(mesh->vertexCount, c.vertices) << c.extra;
        float box[6];
        m.FindMaxims(box);
        EXPECT_FLOAT_EQ(box[0], c.minX) << c.extra;
        EXPECT_FLOAT_EQ(box[1], c.maxX) << c.extra;
        if (c.extra.empty()) {
            EXPECT_FLOAT_EQ(mesh->vertices[0].pos[2], -1.0f);  // z negated on input
        }
    }

    // Built into a package, the library and its picture follow the model.
    qmWriteText(s.dir + "/m.txt", "5 out/strip.xm\n");
    QmpRun b = qmpRun("build " + s.Q("p.dat") + " " + s.Q("m.txt"));
    ASSERT_EQ(b.rc, 0) << b.err;
    FXPackage p;
    p.Load((s.dir + "/p.dat").c_str());
    EXPECT_EQ(p.GetCount(), 3);
    EXPECT_EQ(qmpEntry(&p, 6), qmReadFile(s.dir + "/leaf.png"));
}

TEST(QmpackImport, WhatCannotBeUsedIsSaid) {
    ObjSources s;
    qmWriteText(s.dir + "/nolib.obj", std::string("mtllib gone.mtl\n") + (kStrip + 17));
    qmWriteText(s.dir + "/nopic.mtl", "newmtl leaf\nmap_Kd gone.png\n");
    qmWriteText(s.dir + "/nopic.obj", std::string("mtllib nopic.mtl\n") + (kStrip + 17));
    remove((s.dir + "/x.xm").c_str());
    QmpRun lib = qmpRun("import-obj " + s.Q("nolib.obj") + " -o " + s.Q("x.xm"));
    EXPECT_EQ(lib.rc, 1);
    EXPECT_TRUE(qmpHas(lib.err, "nolib.obj: names the material library " + s.dir + "/gone.mtl, which cannot be read "
                                "(No such file or directory)"))
        << lib.err;
    EXPECT_FALSE(fxPathExists((s.dir + "/x.xm").c_str()));
    // A missing picture is only needed by `build`: the import goes on and says so.
    QmpRun pic = qmpRun("import-obj " + s.Q("nopic.obj") + " -o " + s.Q("x.xm"));
    EXPECT_EQ(pic.rc, 0) << pic.err;
    EXPECT_TRUE(qmpHas(pic.err, "nopic.mtl: material 'leaf' shows " + s.dir + "/gone.png, which cannot be read"))
        << pic.err;
    QmpRun bad = qmpRun("import-obj " + s.Q("strip.obj") + " -o " + s.Q("x.xm") + " --reduce 95");
    EXPECT_EQ(bad.rc, 2);  // a bad option value is wrong usage
    EXPECT_TRUE(qmpHas(bad.err, "--reduce takes an angle in degrees above 0 and below 90, not '95'")) << bad.err;
}

TEST(QmpackImport, UnknownWordsAreWarningsAndDamageIsTheReason) {
    ObjSources s;
    qmWriteText(s.dir + "/odd.mtl", "newmtl leaf\nnshade 4\nKd 0 1 0\n");
    qmWriteText(s.dir + "/odd.obj", std::string("mtllib odd.mtl\nzq 1 2\n") + (kStrip + 17));
    QmpRun odd = qmpRun("import-obj " + s.Q("odd.obj") + " -o " + s.Q("odd.xm"));
    EXPECT_EQ(odd.rc, 0) << odd.err;
    EXPECT_TRUE(qmpHas(odd.err, "qmpack: warning: " + s.dir + "/odd.obj: unknown token(3): zq")) << odd.err;
    EXPECT_TRUE(qmpHas(odd.err, "qmpack: warning: " + s.dir + "/odd.obj: unknown token(0): nshade  in lib:")) << odd.err;

    // `build` reads the library again: the word is a warning there too, and the package is written.
    qmWriteText(s.dir + "/odd.txt", "5 odd.xm\n");
    QmpRun b = qmpRun("build " + s.Q("odd.dat") + " " + s.Q("odd.txt"));
    EXPECT_EQ(b.rc, 0) << b.err;
    EXPECT_TRUE(qmpHas(b.err, "qmpack: warning: " + s.dir + "/odd.txt:1: " + s.dir +
                                  "/odd.xm: FXMatlib::LoadFromMtl -> unknown token(0): nshade  in lib:"))
        << b.err;

    // A face naming a corner the file lacks is why the import fails, not the word before it.
    qmWriteText(s.dir + "/bad.obj", "zq\nv 0 0 0\nv 1 0 0\nf 1 2 3\n");
    QmpRun bad = qmpRun("import-obj " + s.Q("bad.obj") + " -o " + s.Q("bad.xm"));
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(qmpHas(bad.err, "qmpack: " + s.dir + "/bad.obj:4: ")) << bad.err;
    EXPECT_TRUE(qmpHas(bad.err, "a corner names position 3")) << bad.err;
    EXPECT_FALSE(qmpHas(bad.err, "unknown token")) << bad.err;
}
