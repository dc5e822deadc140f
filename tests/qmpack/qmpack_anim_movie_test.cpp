// qmpack anim and movie: frames that cannot make one animation are refused with the reason, the
// flags reach the records, and a movie's pictures go beside it without ever replacing a frame.
#include <unistd.h>

#include <algorithm>

#include "anim/anim.h"
#include "qmpack/qmpack_test_util.h"

namespace {

struct Frames {
    std::string dir = qmpDir("frames");
    std::string P(const std::string& name) const { return dir + "/" + name; }
    std::string Q(const std::string& name) const { return qmpQuote(P(name)); }

    Frames() {
        qmWriteText(P("a.mtl"), "newmtl m\n");
        qmWriteText(P("b.mtl"), "newmtl m\n");
        std::string quad = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nusemtl m\nf 1 2 3 4\n";
        qmWriteText(P("quad.obj"), "mtllib a.mtl\n" + quad);
        qmWriteText(P("quad-b.obj"), "mtllib b.mtl\n" + quad);
        qmWriteText(P("tri.obj"), "mtllib a.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl m\nf 1 2 3\n");
        qmWriteText(P("bare.obj"), "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n");
        for (const char* m : {"quad", "quad-b", "tri"})
            EXPECT_EQ(qmpRun("import-obj " + Q(std::string(m) + ".obj") + " -o " + Q(std::string(m) + ".xm")).rc, 0);
        qmpWritePng(P("f.png"));
    }
};

}  // namespace

TEST(QmpackAnimMovie, AnimationFramesAndFlags) {
    Frames f;
    remove(f.P("x.xa").c_str());
    QmpRun mixed = qmpRun("anim -o " + f.Q("x.xa") + " " + f.Q("quad.xm") + ":100 " + f.Q("tri.xm") + ":100");
    EXPECT_EQ(mixed.rc, 1);
    EXPECT_TRUE(qmpHas(mixed.err, "tri.xm: frame 1 does not have the meshes and triangles of frame 0 (" + f.P("quad.xm") +
                                      "): mesh 0 has 3 vertices, not 4"))
        << mixed.err;
    EXPECT_FALSE(fxPathExists(f.P("x.xa").c_str()));

    QmpRun two = qmpRun("anim -o " + f.Q("x.xa") + " --ping-pong " + f.Q("quad.xm") + ":100 " + f.Q("quad-b.xm") + ":250");
    ASSERT_EQ(two.rc, 0) << two.err;
    EXPECT_TRUE(qmpHas(two.err, "frame 1 names the material library " + f.P("b.mtl") + "; an animation keeps frame 0's"))
        << two.err;
    EXPECT_EQ(two.out, f.P("x.xa") + ": 2 frames, 0.35 s, 1 mesh, 4 vertices a frame, ping-pong, material library a.mtl\n");
    FXAnim a;
    {
        RecordingEnv env;
        ASSERT_EQ(a.Load(&env, f.P("x.xa").c_str()), 1);
    }
    EXPECT_TRUE(a.loop && a.pingPong);
    EXPECT_EQ(a.durations.GetInt(1), 250);
    EXPECT_STREQ(a.frameNames.Get(1), "quad-b");
    EXPECT_STREQ(a.GetModel(0)->matlibName, "a.mtl");

    // Frames without a material library make an animation without one, which builds and lists.
    ASSERT_EQ(qmpRun("import-obj " + f.Q("bare.obj") + " -o " + f.Q("bare.xm")).rc, 0);
    QmpRun bare = qmpRun("anim -o " + f.Q("bare.xa") + " " + f.Q("bare.xm") + ":100 " + f.Q("bare.xm") + ":100");
    ASSERT_EQ(bare.rc, 0) << bare.err;
    qmWriteText(f.P("bare.txt"), "1 bare.xa\n");
    QmpRun built = qmpRun("build " + f.Q("bare.dat") + " " + f.Q("bare.txt"));
    ASSERT_EQ(built.rc, 0) << built.err;
    EXPECT_EQ(built.err, "");
    QmpRun l = qmpRun("list " + f.Q("bare.dat"));
    EXPECT_EQ(l.rc, 0) << l.err;
    EXPECT_TRUE(qmpHas(l.out, "animation (xa03), 2 frames, 0.2 s, 1 mesh, 3 vertices a frame, no library")) << l.out;
}

TEST(QmpackAnimMovie, AnOlderAnimationBringsOneModelEntryPerFrame) {
    Frames f;
    {
        FXAnim old;  // the older layout: frame names are model files beside the animation
        old.frameNames.Push("quad.xm");
        old.frameNames.Push("quad-b.xm");
        old.durations.PushInt(150);
        old.durations.PushInt(250);
        ASSERT_TRUE(old.Save_v02(f.P("old.xa").c_str()));
    }
    qmWriteText(f.P("old.txt"), "7 old.xa\n");
    QmpRun r = qmpRun("build " + f.Q("old.dat") + " " + f.Q("old.txt"));
    ASSERT_EQ(r.rc, 0) << r.err;
    FXPackage p;
    p.Load(f.P("old.dat").c_str());
    // a.mtl 8, frame 0 9, b.mtl 10, frame 1 11, the animation 7.
    ASSERT_EQ(p.GetCount(), 5);
    QmpLoadEnv env;
    {
        FXAnim a;
        ASSERT_EQ(a.LoadCN(&env, &p, 7), 1);
        ASSERT_EQ(a.GetFrameCount(), 2);
        EXPECT_STREQ(a.frameNames.Get(0), "9");
        EXPECT_STREQ(a.frameNames.Get(1), "11");
        EXPECT_EQ(a.durations.GetInt(1), 250);
        for (int i = 0; i < 2; i++) {
            ASSERT_NE(a.GetModel(i), nullptr);
            EXPECT_EQ(a.GetModel(i)->GetTotalVertices(), 4) << i;
            ASSERT_NE(a.GetModel(i)->EnumMeshes(0)->material, nullptr) << i;
        }
        EXPECT_STREQ(a.GetModel(0)->matlibName, "8");
        EXPECT_STREQ(a.GetModel(1)->matlibName, "10");
    }
}

TEST(QmpackAnimMovie, MoviePicturesGoBesideItAndNeverReplaceAFrame) {
    Frames f;
    QmpRun one = qmpRun("movie -o " + f.Q("clip.xs") + " --fps 24 " + f.Q("f.png") + " " + f.Q("f.png"));
    ASSERT_EQ(one.rc, 0) << one.err;
    // The record names its pictures from its own folder.
    std::vector<unsigned char> record = qmReadFile(f.P("clip.xs"));
    std::vector<unsigned char> names = QmBytes().Int(2).Str("clip-0000.jpg").Str("clip-0001.jpg").bytes;
    EXPECT_NE(std::search(record.begin(), record.end(), names.begin(), names.end()), record.end());
    for (const char* p : {"clip-0000.jpg", "clip-0000_m.jpg", "clip-0001.jpg", "clip-0001_m.jpg"})
        EXPECT_TRUE(fxPathExists(f.P(p).c_str())) << p;

    // A JPEG frame is read, never cropped in place; a frame by an output's name is refused.
    std::vector<unsigned char> jpeg = qmReadFile(f.P("clip-0000.jpg"));
    QmpRun fromJpeg = qmpRun("movie -o " + f.Q("again.xs") + " --fps 24 " + f.Q("clip-0000.jpg"));
    ASSERT_EQ(fromJpeg.rc, 0) << fromJpeg.err;
    EXPECT_EQ(qmReadFile(f.P("clip-0000.jpg")), jpeg);
    QmpRun clash = qmpRun("movie -o " + f.Q("clip.xs") + " --fps 24 " + f.Q("f.png") + " " + f.Q("clip-0001_m.jpg"));
    EXPECT_EQ(clash.rc, 1);
    EXPECT_TRUE(qmpHas(clash.err, "clip-0001_m.jpg: will not write over frame 1")) << clash.err;
    struct {
        const char* keys;
        const char* expect;
    } badKeys[] = {{"0,0", "keys must rise (0 after 0)"}, {"1,x", "--keys takes movie frame numbers"}, {"-1", "key -1"}};
    for (auto& k : badKeys) {
        QmpRun r = qmpRun("movie -o " + f.Q("k.xs") + " --fps 24 --keys " + k.keys + " " + f.Q("f.png") + " " + f.Q("f.png"));
        EXPECT_NE(r.rc, 0) << k.keys;
        EXPECT_TRUE(qmpHas(r.err, k.expect)) << k.keys << r.err;
    }
    EXPECT_FALSE(fxPathExists(f.P("k.xs").c_str()));
}

TEST(QmpackAnimMovie, MoviePictureQuality) {
    Frames f;
    qmpWritePng(f.P("busy.png"), 64, 48);
    auto colourBytes = [&](const std::string& quality) {
        QmpRun r = qmpRun("movie -o " + f.Q("q.xs") + " --fps 10 " + quality + " " + f.Q("busy.png"));
        EXPECT_EQ(r.rc, 0) << quality << "\n" << r.err;
        return qmReadFile(f.P("q-0000.jpg")).size();
    };
    EXPECT_LT(colourBytes("--quality 30"), colourBytes("--quality 100"));
    for (const char* bad : {"0", "101", "high"}) {
        remove(f.P("q.xs").c_str());
        QmpRun r = qmpRun("movie -o " + f.Q("q.xs") + " --fps 10 --quality " + bad + " " + f.Q("busy.png"));
        EXPECT_EQ(r.rc, 2) << bad;  // a bad option value is wrong usage
        EXPECT_TRUE(qmpHas(r.err, "--quality takes a JPEG quality from 1 to 100")) << r.err;
        EXPECT_FALSE(fxPathExists(f.P("q.xs").c_str())) << bad;
    }
}

TEST(QmpackAnimMovie, ShorterMovieRemovesTheLongerOnesPictures) {
    Frames f;
    std::string three = f.Q("f.png") + " " + f.Q("f.png") + " " + f.Q("f.png");
    ASSERT_EQ(qmpRun("movie -o " + f.Q("s.xs") + " --fps 10 " + three).rc, 0);
    ASSERT_TRUE(fxPathExists(f.P("s-0002_m.jpg").c_str()));
    qmWriteText(f.P("s-00x2.jpg"), "not a frame of the movie");
    QmpRun r = qmpRun("movie -o " + f.Q("s.xs") + " --fps 10 " + f.Q("f.png") + " " + f.Q("f.png"));
    ASSERT_EQ(r.rc, 0) << r.err;
    for (const char* p : {"s-0000.jpg", "s-0000_m.jpg", "s-0001.jpg", "s-0001_m.jpg", "s-00x2.jpg"})
        EXPECT_TRUE(fxPathExists(f.P(p).c_str())) << p;
    for (const char* p : {"s-0002.jpg", "s-0002_m.jpg"}) EXPECT_FALSE(fxPathExists(f.P(p).c_str())) << p;
}

TEST(QmpackAnimMovie, AnimationNeverReplacesTheLibraryItReads) {
    Frames f;
    std::vector<unsigned char> lib = qmReadFile(f.P("a.mtl"));
    QmpRun r = qmpRun("anim -o " + f.Q("a.mtl") + " " + f.Q("quad.xm") + ":100");
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(qmpHas(r.err, "will not write over the material library of frame 0")) << r.err;
    EXPECT_EQ(qmReadFile(f.P("a.mtl")), lib);
}
