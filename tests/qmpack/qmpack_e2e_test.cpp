// The authoring path end to end, as a content author takes it: an OBJ model with its library
// and PNG texture, an animation of three OBJ frames and a movie of PNG frames with alpha become
// one package through a manifest, and every entry loads back through the saver's own loaders
// with the numbers, names and pixels it was made from. The same sources build the same bytes.
#include <cmath>

#include "anim/anim.h"
#include "elements/smovie.h"
#include "image/devil.h"
#include "image/material.h"
#include "image/matlib.h"
#include "qmpack/qmpack_test_util.h"

namespace {

// A flat 2 x 1 strip at height lift, textured by the material skin.
std::string StripObj(float lift) {
    std::string obj = "mtllib bird.mtl\n";
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            obj += "v " + std::to_string(x) + " " + std::to_string(float(y) + lift) + " 0.25\n";
    obj += "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\nusemtl skin\n";
    obj += "f 1/1/1 2/2/1 5/3/1 4/4/1\nf 2/1/1 3/2/1 6/3/1 5/4/1\n";
    return obj;
}

// A 16 x 12 frame, transparent but for an 8 x 6 block of one colour at (2 + i, 3).
void WriteMovieFrame(const std::string& path, int i) {
    std::vector<unsigned char> px(16 * 12 * 4, 0);
    for (int y = 3; y < 9; y++)
        for (int x = 2 + i; x < 10 + i; x++) {
            unsigned char* p = &px[size_t(4 * (y * 16 + x))];
            p[0] = 200, p[1] = (unsigned char)(40 + 50 * i), p[2] = 40, p[3] = 255;
        }
    qmWritePngRGBA(path, 16, 12, px.data(), 16 * 4, false);
}

struct Content {
    std::string dir = qmpDir("content");
    std::string Q(const std::string& name) const { return qmpQuote(dir + "/" + name); }

    Content() {
        for (const char* sub : {"/obj", "/models", "/anims", "/movies", "/frames"}) mkdir((dir + sub).c_str(), 0755);
        qmWriteText(dir + "/obj/bird.mtl", "newmtl skin\nKd 1 1 1\nmap_Kd skin.png\n");
        qmpWritePng(dir + "/obj/skin.png", 4, 3);
        qmWriteText(dir + "/obj/bird.obj", StripObj(0.0f));
        for (int i = 0; i < 3; i++) {
            qmWriteText(dir + "/obj/f" + std::to_string(i) + ".obj", StripObj(0.5f * float(i)));
            WriteMovieFrame(dir + "/frames/m" + std::to_string(i) + ".png", i);
        }
        qmpWritePng(dir + "/photo.png", 5, 5);
        qmWriteText(dir + "/content.txt",
                    "# the saver's content\n12 models/bird.xm\n20 anims/fly.xa\n30 movies/fly.xs\n751 photo.png\n");
    }
    void Run(const std::string& args) const {
        QmpRun r = qmpRun(args);
        ASSERT_EQ(r.rc, 0) << args << "\n" << r.err;
        EXPECT_EQ(r.err, "") << args;
    }
};

void ExpectSkinPixels(const FXMaterial* m) {
    ASSERT_NE(m, nullptr);
    FXPixmap& px = const_cast<FXMaterial*>(m)->canvas.pixmap;
    ASSERT_EQ(px.width, 4);
    ASSERT_EQ(px.height, 3);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 4; x++) {
            const unsigned char* p = px.PixelBytes(x, y);
            EXPECT_EQ(p[0], x * 40) << x << "," << y;
            EXPECT_EQ(p[1], y * 60) << x << "," << y;
            EXPECT_EQ(p[2], 100);
            EXPECT_EQ(p[3], 255 - x);
        }
}

}  // namespace

TEST(QmpackEndToEnd, FromObjAndPngFramesToAPackageTheSaverLoads) {
    Content c;
    ASSERT_TRUE(fxLoadDevil());
    c.Run("import-obj " + c.Q("obj/bird.obj") + " -o " + c.Q("models/bird.xm") + " >/dev/null");
    for (int i = 0; i < 3; i++)
        c.Run("import-obj " + c.Q("obj/f" + std::to_string(i) + ".obj") + " -o " +
              c.Q("models/f" + std::to_string(i) + ".xm") + " >/dev/null");
    c.Run("anim -o " + c.Q("anims/fly.xa") + " --loop " + c.Q("models/f0.xm") + ":100 " + c.Q("models/f1.xm") + ":200 " +
          c.Q("models/f2.xm") + ":300 >/dev/null");
    c.Run("movie -o " + c.Q("movies/fly.xs") + " --fps 12 --keys 0,1,2 --loop " + c.Q("frames/m0.png") + " " +
          c.Q("frames/m1.png") + " " + c.Q("frames/m2.png") + " >/dev/null");
    std::string names = c.dir + "/qmsave.names", header = c.dir + "/qmsave.h";
    c.Run("build " + c.Q("qmsave.dat") + " " + c.Q("content.txt") + " --names " + qmpQuote(names) + " --header " +
          qmpQuote(header));
    c.Run("build " + c.Q("again.dat") + " " + c.Q("content.txt") + " --names " + c.Q("again.names"));
    EXPECT_EQ(qmReadFile(c.dir + "/qmsave.dat"), qmReadFile(c.dir + "/again.dat"));
    EXPECT_EQ(qmReadFile(names), qmReadFile(c.dir + "/again.names"));

    // Fixed numbers as the manifest gives them; above them the skin picture, the library the
    // model and the animation share, and the movie's colour and mask pictures.
    EXPECT_EQ(qmReadText(header),
              "#define FXNAME_SKIN_PNG  752\n#define FXNAME_BIRD_MTL  753\n"
              "#define FXNAME_FLY_0000_JPG  754\n#define FXNAME_FLY_0000_M_JPG  755\n"
              "#define FXNAME_FLY_0001_JPG  756\n#define FXNAME_FLY_0001_M_JPG  757\n"
              "#define FXNAME_FLY_0002_JPG  758\n#define FXNAME_FLY_0002_M_JPG  759\n");
    FXPackage p;
    p.Load((c.dir + "/qmsave.dat").c_str());
    ASSERT_EQ(p.GetCount(), 12);
    EXPECT_EQ(qmpEntry(&p, 751), qmReadFile(c.dir + "/photo.png"));
    EXPECT_EQ(qmpEntry(&p, 752), qmReadFile(c.dir + "/obj/skin.png"));
    for (int n = 754; n <= 759; n++) EXPECT_EQ(p.GetDataType(n), FX_PACKAGE_TYPE_JPG) << n;

    QmpLoadEnv env;  // pictures stay decoded on their materials
    {
        FXModel m;
        ASSERT_TRUE(m.LoadCN(&env, &p, 12));
        m.UpdateMeshes();
        EXPECT_STREQ(m.name, "bird");
        EXPECT_STREQ(m.matlibName, "753");
        ASSERT_EQ(m.GetCount(), 1);
        const FXMesh* mesh = m.EnumMeshes(0);
        EXPECT_EQ(mesh->vertexCount, 8);  // shared corners share vertices; the middle edge twice (its uvs differ)
        EXPECT_EQ(mesh->indexCount, 12);
        EXPECT_FLOAT_EQ(mesh->vertices[0].pos[2], -0.25f);
        ASSERT_NE(mesh->material, nullptr);
        EXPECT_STREQ(mesh->material->name, "skin");
        EXPECT_STREQ(mesh->material->textureFile, "752");
        ExpectSkinPixels(mesh->material);

        FXAnim a;
        ASSERT_EQ(a.LoadCN(&env, &p, 20), 1);
        ASSERT_EQ(a.GetFrameCount(), 3);
        EXPECT_TRUE(a.loop);
        EXPECT_FALSE(a.pingPong);
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(a.durations.GetInt(i), 100 * (i + 1));
            EXPECT_STREQ(a.frameNames.Get(i), ("f" + std::to_string(i)).c_str());
            const FXMesh* fm = a.GetModel(i)->EnumMeshes(0);
            ASSERT_TRUE(fm && fm->vertexCount == 8);
            float box[6];
            a.GetModel(i)->FindMaxims(box);
            EXPECT_FLOAT_EQ(box[2], 0.5f * float(i)) << "lowest y of frame " << i;
            EXPECT_FLOAT_EQ(box[3], 1.0f + 0.5f * float(i)) << "highest y of frame " << i;
        }
        EXPECT_STREQ(a.GetModel(0)->matlibName, "753");
        ASSERT_NE(a.GetModel(0)->EnumMeshes(0)->material, nullptr);
        ExpectSkinPixels(a.GetModel(0)->EnumMeshes(0)->material);

        SMovie mv;
        ASSERT_TRUE(mv.LoadCN(&p, 30));
        ASSERT_EQ(mv.GetFrameCount(), 3);
        EXPECT_DOUBLE_EQ(mv.frameDuration, 1.0 / 12);
        EXPECT_TRUE(mv.loop && mv.keyed);
        ASSERT_EQ(mv.keyFrames.top, 3);
        for (int k = 0; k < 3; k++) EXPECT_EQ(mv.keyFrames.GetInt(k), k);
        EXPECT_EQ(mv.maxCropWidth, 8);
        EXPECT_EQ(mv.maxCropHeight, 6);
        mv.LoadIntoMem();
        for (int i = 0; i < 3; i++) {
            EXPECT_STREQ(mv.colorNames.Get(i), std::to_string(754 + 2 * i).c_str());
            EXPECT_STREQ(mv.maskNames.Get(i), std::to_string(755 + 2 * i).c_str());
            const float rect[4] = {float(2 + i) / 8 - 1, 0.5f, float(10 + i) / 8 - 1, -0.5f};
            for (int k = 0; k < 4; k++) EXPECT_FLOAT_EQ(mv.rects.items[4 * i + k], rect[k]) << i << " " << k;
            FXMaterial frame;
            ASSERT_TRUE(mv.PrepareTextureMem(&env, i, &frame)) << i;
            ASSERT_EQ(mv.pixmap.width, 8);
            ASSERT_EQ(mv.pixmap.height, 6);
            for (int y = 0; y < 6; y++)
                for (int x = 0; x < 8; x++) {
                    const unsigned char* px = mv.pixmap.PixelBytes(x, y);
                    EXPECT_NEAR(px[0], 200, 6) << i;  // JPEG keeps a flat colour nearly exact
                    EXPECT_NEAR(px[1], 40 + 50 * i, 6) << i;
                    EXPECT_NEAR(px[2], 40, 6) << i;
                    EXPECT_EQ(px[3], 255) << i;
                }
        }
    }

    QmpRun l = qmpRun("list " + c.Q("qmsave.dat"));
    EXPECT_EQ(l.rc, 0) << l.err;
    EXPECT_TRUE(qmpHas(l.out, "animation (xa03), 3 frames, 0.6 s, 1 mesh, 8 vertices a frame, loop, library 753"))
        << l.out;
    EXPECT_TRUE(qmpHas(l.out, "movie (xs03), 3 frames at 12 fps, keys 0,1,2, loop, largest crop 8x6")) << l.out;
}

TEST(QmpackEndToEnd, TheSameTreeBuildsTheSameBytesWhereverItLies) {
    // The manifest in a folder of its own, so the library lies outside it.
    Content c;
    c.Run("import-obj " + c.Q("obj/bird.obj") + " -o " + c.Q("models/bird.xm") + " >/dev/null");
    mkdir((c.dir + "/pack").c_str(), 0755);
    qmWriteText(c.dir + "/pack/content.txt", "12 ../models/bird.xm\n751 ../photo.png\n");
    std::string moved = c.dir + "-moved";
    ASSERT_EQ(system(("rm -rf " + qmpQuote(moved) + " && cp -r " + qmpQuote(c.dir) + " " + qmpQuote(moved)).c_str()), 0);
    for (const std::string& dir : {c.dir, moved})
        c.Run("build " + qmpQuote(dir + "/pack/qmsave.dat") + " " + qmpQuote(dir + "/pack/content.txt"));
    EXPECT_EQ(qmReadFile(c.dir + "/pack/qmsave.dat"), qmReadFile(moved + "/pack/qmsave.dat"));
}
