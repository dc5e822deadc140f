// The scene on the real device, built from a small test package, with frames drawn one at a time
// on the controllable clock: what the scene loads and binds, what a frame draws (recorded through
// a recording environment) and what reaches the screen (pixels read before the swap).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/other.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "image/devil.h"
#include "saver/host.h"
#include "saver/scene.h"
#include "support/png_write_gl.h"
#include "support/recording_env.h"
#include "support/scene_package.h"
#include "support/scene_window.h"
#include "support/test_support.h"
#include "saver_screen/saver_fixture.h"

namespace {

const int kW = 160, kH = 120;

struct QmPixel {
    int r, g, b, a;
    QmPixel(const unsigned char* p) : r(p[0]), g(p[1]), b(p[2]), a(p[3]) {}  // from QmBackBuffer::At
};

::testing::AssertionResult QmNear(const QmPixel& p, int r, int g, int b, int tol) {
    if (std::abs(p.r - r) <= tol && std::abs(p.g - g) <= tol && std::abs(p.b - b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << p.r << ", " << p.g << ", " << p.b << ") is not (" << r << ", "
                                         << g << ", " << b << ")";
}

class SceneTest : public ::testing::Test {
protected:
    std::string data;
    QmSceneWindow scene;
    QmBackBuffer sink;
    QmScopedEnv* state = nullptr;

    // The package (options), a desktop picture red on its left half and blue on its right, and
    // the scene built on a window of kW x kH without its render loop.
    void Build(bool previewMode, const QmScenePackage& options = QmScenePackage()) {
        QM_REQUIRE_DISPLAY();
        data = qmFreshDir("data");
        state = new QmScopedEnv("XDG_STATE_HOME", qmFreshDir("state").c_str());
        ASSERT_TRUE(fxLoadDevil());
        std::string why;
        ASSERT_TRUE(qmWriteScenePackage(data + "/qmsave.dat", options, &why)) << why;
        ASSERT_TRUE(qmWriteHalvesDesktop(data, kW, kH));
        fxUnloadDevil();

        scene.Open(data, previewMode, 1, kW, kH, &sink);
    }

    void TearDown() override {
        scene.Close();
        delete state;
    }

    // One frame at clock time t, drawn by env (the device when null) with the context current.
    void Frame(double t, PEnv* env = nullptr) { scene.Frame(t, env); }

    // Meshes of a list drawn in a recorded frame.
    static int Count(const RecordingEnv& rec, const FXMesh* mesh) {
        int n = 0;
        for (FXMesh* m : rec.meshes) n += m == mesh;
        return n;
    }
};

// The seed after which fxGetRandom() first gives value / 32767 (the generator's step inverted).
unsigned localSeedFor(int value) {
    uint32_t inv = 214013u;  // Newton's iteration for the inverse modulo 2^32 of an odd number
    for (int i = 0; i < 5; i++) inv *= 2u - 214013u * inv;
    uint32_t next = uint32_t(value) << 16;
    return (next - 2531011u) * inv;
}

}  // namespace

TEST_F(SceneTest, PreviewLoadsOnlyEntriesZeroAndOneAndTakesNoPhotograph) {
    Build(true);
    EXPECT_TRUE(scene->options.preview);
    EXPECT_TRUE(scene->err_gad.material.hasTexture) << "entry 0";
    EXPECT_TRUE(scene->preview_mat.hasTexture) << "entry 1";
    EXPECT_FALSE(scene->scr_mat.hasTexture) << "no photograph";
    EXPECT_FALSE(scene->scr_mat1.hasTexture) << "entry 751";
    EXPECT_EQ(scene->anim_starting.GetFrameCount() + scene->anim[0].GetFrameCount() + scene->anim1[2].GetFrameCount(), 0);
    EXPECT_EQ(scene->movie[0].GetFrameCount() + scene->movie[1].GetFrameCount() + scene->movie[2].GetFrameCount(), 0);
    EXPECT_EQ(scene->gad.model.meshes.Count(), 0) << "entries 4 and 5";
    EXPECT_FALSE(fxTracesOpened()) << "a preview writes no log";
    EXPECT_FALSE(scene->hasError);

    RecordingEnv rec;
    Frame(50.1, &rec);
    EXPECT_EQ(rec.calls.front(), "RenderStart");
    EXPECT_EQ(rec.calls.back(), "RenderEnd");
    EXPECT_EQ(Count(rec, &scene->preview.mesh), 1);
    EXPECT_EQ(rec.meshes.size(), 1u) << "nothing but the preview picture";
    EXPECT_GE(rec.nextFrameAt - 50.1, 1.0 / 60.0) << "a still picture is not drawn as fast as the machine allows";
}

TEST_F(SceneTest, EachCopyBindsThePhotographToItsOwnMaterialName) {
    Build(false);
    EXPECT_TRUE(fxTracesOpened());
    ASSERT_TRUE(scene->scr_mat.hasTexture);
    ASSERT_TRUE(scene->scr_mat1.hasTexture);
    struct Copy {
        const char* name;
        FXAnim* a;
        bool first;
    } copies[] = {{"anim_starting", &scene->anim_starting, true}, {"anim1_starting", &scene->anim1_starting, false},
                  {"anim[0]", &scene->anim[0], true},            {"anim1[0]", &scene->anim1[0], false},
                  {"anim[1]", &scene->anim[1], true},            {"anim1[1]", &scene->anim1[1], false},
                  {"anim[2]", &scene->anim[2], true},            {"anim1[2]", &scene->anim1[2], false}};
    for (const Copy& c : copies) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.a->GetFrameCount(), 1);
        EXPECT_EQ(c.a->GetModel(0), nullptr) << "the splines hold the key frames, which are released";
        for (FXModel* model : {&c.a->imodel}) {
            ASSERT_EQ(model->meshes.Count(), 2);
            ASSERT_STREQ(model->EnumMeshes(0)->materialName.c_str(), "Material.001");
            ASSERT_STREQ(model->EnumMeshes(1)->materialName.c_str(), "Material.001a");
            EXPECT_EQ(model->EnumMeshes(0)->material, c.first ? &scene->scr_mat : &scene->scr_mat1);
            EXPECT_EQ(model->EnumMeshes(1)->material, c.first ? &scene->scr_mat1 : &scene->scr_mat);
        }
    }
    EXPECT_STREQ(scene->scr_mat.name.c_str(), "Material.001a") << "names stay as the last load set them";
    EXPECT_TRUE(scene->anim[2].linear);
    EXPECT_FALSE(scene->anim[0].linear || scene->anim[0].loop || scene->anim[0].pingPong);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(scene->movie[i].animA, &scene->anim[i]);
        EXPECT_EQ(scene->movie[i].animB, &scene->anim1[i]);
        EXPECT_TRUE(scene->movie[i].waitFrame && !scene->movie[i].loop && !scene->movie[i].pingPong);
        EXPECT_EQ(scene->movie[i].desk.mesh.colorMode, 1);
    }
    // The lights as tabled.
    EXPECT_EQ(scene->gr.lights[0], &scene->light);
    EXPECT_EQ(scene->gr.lights[1], &scene->light1);
    EXPECT_EQ(scene->gr.lights[2], &scene->light2);
    const float want1[4] = {1.0f, -1.0f, -0.5f, 1.0f}, want2[4] = {-1.0f, -1.0f, -0.1f, 1.0f};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(scene->light1.position[i], want1[i]);
        EXPECT_EQ(scene->light2.position[i], want2[i]);
        EXPECT_EQ(scene->light.diffuse[i], 1.0f);
        EXPECT_EQ(scene->light1.diffuse[i], i == 3 ? 1.0f : 0.0f);
    }
    EXPECT_EQ(scene->light1.spotDirection[2], 0.5f);
    EXPECT_EQ(scene->light2.spotDirection[2], 0.1f);
    EXPECT_EQ(scene->scr_mat.textureSource, nullptr) << "the photograph's pixels went with the capture";
}

// Two monitors' scenes of one process: one package in memory, each animation's keys held once
// for all four copies, while each scene binds its own pictures and keeps its own poses.
TEST_F(SceneTest, ScenesOfOneProcessShareTheirContent) {
    QM_REQUIRE_DISPLAY();
    QmContent content;
    Build(false);
    scene.Close();
    scene.Open(data, false, 1, kW, kH, &sink, &content);
    QmSceneWindow other;
    other.Open(data, false, 2, kW / 2, kH / 2, nullptr, &content);
    ASSERT_TRUE(other.scene);
    EXPECT_EQ(&scene->pck, &other->pck);
    EXPECT_EQ(&scene->pck, &content.Package());
    EXPECT_FALSE(content.Package().IsEmpty());
    FXAnim* pairs[][2] = {{&scene->anim_starting, &other->anim_starting}, {&scene->anim[0], &other->anim[0]},
                          {&scene->anim1[1], &other->anim1[1]},          {&scene->anim[2], &other->anim[2]}};
    for (auto& p : pairs) {
        ASSERT_TRUE(p[0]->posSplines && p[1]->posSplines);
        EXPECT_TRUE(p[0]->posSplines->SharesKeysWith(*p[1]->posSplines));
        EXPECT_TRUE(p[0]->normalSplines->SharesKeysWith(*p[1]->normalSplines));
    }
    EXPECT_TRUE(scene->anim[1].posSplines->SharesKeysWith(*scene->anim1[1].posSplines));
    EXPECT_EQ(scene->anim[0].imodel.EnumMeshes(0)->material, &scene->scr_mat);
    EXPECT_EQ(other->anim[0].imodel.EnumMeshes(0)->material, &other->scr_mat);
    EXPECT_EQ(other->anim1[0].imodel.EnumMeshes(0)->material, &other->scr_mat1);

    // Each scene's pose is its own: drawing one (at the start of its opening) leaves the other's
    // (well into it) as it was.
    Frame(50.5);
    Frame(50.9);
    const FXMesh* mine = scene->anim_starting.imodel.EnumMeshes(0);
    std::vector<tagFXVertex> before(mine->vertices, mine->vertices + mine->vertexCount);
    other.Frame(52.0);
    EXPECT_EQ(0, memcmp(before.data(), mine->vertices, before.size() * sizeof(tagFXVertex)));
    EXPECT_GT(scene->anim_starting.phase, other->anim_starting.phase);
    other.scene.reset();  // the first scene draws on without the other
    Frame(50.95);
    other.Close();
    scene.Close();  // before the content goes
}

TEST_F(SceneTest, FirstFrameIsDrawnButNeitherClearedNorShown) {
    Build(false);
    RecordingEnv first, second;
    Frame(50.0, &first);
    for (const std::string& c : first.calls) {
        EXPECT_NE(c, "RenderStart");
        EXPECT_NE(c, "RenderEnd");
        EXPECT_NE(c, "Clrscr(1,1,0)");
    }
    EXPECT_GT(Count(first, scene->anim_starting.imodel.EnumMeshes(0)), 0) << "the first frame draws";
    Frame(50.04, &second);
    ASSERT_FALSE(second.calls.empty());
    EXPECT_EQ(second.calls[0], "RenderStart");
    EXPECT_EQ(second.calls[3], "Clrscr(1,1,0)");
    EXPECT_EQ(second.calls.back(), "RenderEnd");
    // The overlay pass clears depth only, then the gadgets.
    auto clear = std::find(second.calls.begin() + 4, second.calls.end(), "Clrscr(0,1,0)");
    EXPECT_NE(clear, second.calls.end());
}

TEST_F(SceneTest, OpeningShowsTheMirroredPhotographAndFadesInTheSecondPicture) {
    Build(false);
    Frame(50.0);
    EXPECT_EQ(sink.shown, 0) << "the first frame is not shown";
    Frame(50.1);
    ASSERT_EQ(sink.shown, 1);
    qmWritePngRGBA(qmTestPath("opening.png"), kW, kH, sink.px.data(), kW * 4, true);
    // The photograph mirrored: blue on the left, red on the right; the small quad in the
    // bottom-left corner shows it the right way round (red).
    EXPECT_TRUE(QmNear(sink.At(20, 30), 0, 0, 255, 8));
    EXPECT_TRUE(QmNear(sink.At(140, 30), 255, 0, 0, 8));
    EXPECT_TRUE(QmNear(sink.At(10, 112), 255, 0, 0, 8));
    float f = scene->anim_starting.phase;
    EXPECT_NEAR(f, 0.1f, 1e-4);
    EXPECT_FLOAT_EQ(scene->scr_mat1.diffuse[3], scene->scr_mat1.preserved[1][3] * f * f * f);
    EXPECT_FLOAT_EQ(scene->movie[0].desk.mesh.vertices[0].color[3], f) << "the movie's first frame fades in with f";

    Frame(50.95);  // almost at the end: entry 751 (mirrored too) covers the left half in orange
    qmWritePngRGBA(qmTestPath("opening_late.png"), kW, kH, sink.px.data(), kW * 4, true);
    QmPixel late(sink.At(20, 30));
    EXPECT_GT(late.r, 180);
    EXPECT_GT(late.g, 100) << "orange over blue";
    EXPECT_TRUE(QmNear(sink.At(140, 30), 255, 0, 0, 8)) << "entry 751 is transparent there";
}

TEST_F(SceneTest, OpeningEndKeepsTheLastComputedLights) {
    Build(false);
    RecordingEnv rec;
    double t = 50.0;
    Frame(t, &rec);
    float f = 0.0f;
    while (scene->starting && t < 60.0) {
        t += 0.3;
        Frame(t, &rec);
        if (scene->starting) f = scene->anim_starting.phase;
    }
    ASSERT_FALSE(scene->starting);
    f = scene->anim_starting.phase;  // the phase the last opening frame read
    ASSERT_LT(f, 1.0f);
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(scene->light.diffuse[i], (scene->light_col[i] - 1.0f) * f + 1.0f);
        EXPECT_FLOAT_EQ(scene->light1.specular[i], scene->light1_col[i] * f);
        EXPECT_FLOAT_EQ(scene->light2.specular[i], scene->light2_col[i] * f);
    }
    EXPECT_NE(scene->light.diffuse[0], scene->light_col[0]);
    EXPECT_FLOAT_EQ(scene->movie[0].desk.mesh.vertices[0].color[3], 1.0f);
    EXPECT_FLOAT_EQ(scene->scr_mat1.diffuse[3], scene->scr_mat1.preserved[1][3]);
    EXPECT_EQ(scene->dststage, 2);
    EXPECT_EQ(scene->aact_anim * 10 + scene->aact_movie, 22);
    EXPECT_EQ(scene->movie[2].direction, 1);
    EXPECT_TRUE(scene->movie[2].playing);
}

TEST_F(SceneTest, ClipChangesFollowTheTable) {
    Build(false);
    Frame(50.0);
    scene->starting = false;
    struct Row {
        int stage;
        int random;  // the generator's next value (-1: none may be drawn)
        int newStage;
        int clip;
        int direction;
    } rows[] = {
        {0, -1, 1, 0, -1},     {1, 0, 0, 0, 1},       {1, 19660, 0, 0, 1},  {1, 19661, 2, 2, 1},
        {1, 32767, 2, 2, 1},   {2, 19660, 3, 1, -1},  {2, 19661, 1, 2, -1}, {3, -1, 2, 1, 1},
    };
    const int clipOfStage[4] = {0, 2, 2, 1};
    double t = 60.0;
    for (const Row& r : rows) {
        SCOPED_TRACE("stage " + std::to_string(r.stage) + " random " + std::to_string(r.random));
        scene->dststage = r.stage;
        scene->aact_anim = scene->aact_movie = clipOfStage[r.stage];
        SMovie& running = scene->movie[scene->aact_movie];
        running.EmptyPrepared();
        running.finished = true;  // its last frame is on screen, none is left to come
        unsigned seed = localSeedFor(r.random < 0 ? 12345 : r.random);
        fxSrand(seed);
        int firstValue = fxRand();
        int secondValue = fxRand();
        fxSrand(seed);
        RecordingEnv rec;
        t += 1.0;
        Frame(t, &rec);
        EXPECT_EQ(scene->dststage, r.newStage);
        EXPECT_EQ(scene->aact_anim, r.clip);
        EXPECT_EQ(scene->aact_movie, r.clip);
        EXPECT_EQ(scene->movie[r.clip].direction, r.direction);
        EXPECT_FALSE(scene->movie[r.clip].finished);
        EXPECT_EQ(scene->movie[r.clip].lastSwitch, t);
        // A random number is drawn only where the table shows one.
        EXPECT_EQ(fxRand(), r.random < 0 ? firstValue : secondValue);
    }
}

TEST_F(SceneTest, ClipsRunOnWithoutEntry751AndTheErrorNoticeIsDrawnInEveryFrame) {
    QmScenePackage o;
    o.secondPicture = false;
    Build(false, o);
    EXPECT_FALSE(scene->scr_mat1.hasTexture);
    scene->hasError = scene->err_gad.active = true;  // as after a failed capability test
    double t = 50.0;
    int frames = 0, changes = 0, lastStage = scene->dststage;
    while (t < 58.0) {
        RecordingEnv rec;
        Frame(t, &rec);
        EXPECT_EQ(Count(rec, &scene->err_gad.desk.mesh), 1) << "frame " << frames;
        if (scene->dststage != lastStage) changes++, lastStage = scene->dststage;
        t = fxGetTime() + 0.002;  // on from where the movie's frame wait left the clock
        frames++;
    }
    EXPECT_FALSE(scene->starting);
    EXPECT_GE(changes, 3) << "the clips go on changing";
    // The recorded frames made the movie's textures on the recording environment, which took
    // them along when it went: the frames are made again on the device for the frame drawn now.
    {
        FXGRAutoAct act(&scene->gr);
        scene->movie[scene->aact_movie].EmptyPrepared();
        scene->movie[scene->aact_movie].Prepare(&scene->gr, -1);
    }
    Frame(t + 0.01);
    qmWritePngRGBA(qmTestPath("clip_without_751.png"), kW, kH, sink.px.data(), kW * 4, true);
    // The second copy shows the photograph on its small quad (its full quad has no texture now),
    // lit by the dimmed light of the end of the opening.
    QmPixel corner(sink.At(10, 112));
    EXPECT_TRUE(corner.r > 150 && corner.g < 30 && corner.b < 30) << corner.r << " " << corner.g << " " << corner.b;
    EXPECT_TRUE(QmNear(sink.At(12, 14), 255, 0, 0, 8)) << "the error notice, 10 pixels from the corner";
}
