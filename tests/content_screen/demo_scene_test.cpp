// The demo package played by the saver's scene on the real device, on the controllable clock:
// every entry loads without an error in the log and binds as the scene expects; the opening and
// clip changes out of every stage keep the photograph in view and the logo at its place, every
// frame moves on, and no clip change jumps. A short record-mode run writes its contact sheet.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/other.h"
#include "base/trace.h"
#include "choreo.h"
#include "image/devil.h"
#include "saver/host.h"
#include "saver/scene.h"
#include "saver/scrnsave.h"
#include "support/png_write_gl.h"
#include "support/scene_window.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

const int kW = 320, kH = 180;

// The desktop the tests photograph: magenta, a colour the content never uses, with darker bars
// so that it is a picture and not a flat fill.
void localWriteDesktop(const std::string& path) {
    FXCanvas desk;
    desk.pixmap.Realloc(kW, kH);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            unsigned char* p = desk.pixmap.PixelBytes(x, y);
            bool bar = (y / 12) % 3 == 0;
            p[0] = bar ? 170 : 235, p[1] = bar ? 20 : 40, p[2] = bar ? 170 : 235, p[3] = 255;
        }
    ASSERT_TRUE(desk.SaveToPict(path.c_str()));
}

bool localPhotoPixel(const unsigned char* p) {
    int r = p[0], g = p[1], b = p[2];
    return r > 70 && b > 70 && g * 2 < std::min(r, b);
}

bool localGoldPixel(const unsigned char* p) {
    int r = p[0], g = p[1], b = p[2];
    return r > 70 && r >= g && g > b + 15 && r >= b + 30;
}

// The back buffer of every shown frame, read before the swap (bottom row first).
struct LocalSink : QmBackBuffer {
    double PhotoShare() const {
        int n = 0;
        for (size_t i = 0; i < px.size(); i += 4) n += localPhotoPixel(&px[i]);
        return double(n) / (kW * kH);
    }
};

double localMeanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

class DemoSceneTest : public ::testing::Test {
protected:
    std::string data;
    QmSceneWindow scene;
    LocalSink sink;
    QmScopedEnv* state = nullptr;

    void Build(bool previewMode) {
        QM_REQUIRE_DISPLAY();
        data = qmFreshDir("demo_data");
        state = new QmScopedEnv("XDG_STATE_HOME", qmFreshDir("demo_state").c_str());
        ASSERT_EQ(symlink(QM_DEMO_PACKAGE, (data + "/qmsave.dat").c_str()), 0);
        ASSERT_TRUE(fxLoadDevil());
        localWriteDesktop(data + "/desktop.png");
        fxUnloadDevil();
        scene.Open(data, previewMode, 7, kW, kH, &sink);
    }

    void TearDown() override {
        scene.Close();
        delete state;
    }

    void Frame(double t) { scene.Frame(t); }
};

}  // namespace

TEST_F(DemoSceneTest, EveryEntryLoadsAndBindsWithoutAnError) {
    Build(false);
    ASSERT_FALSE(HasFatalFailure());
    fxCloseTraces();
    std::string log = qmReadText(data + "/qmsave.log");
    EXPECT_NE(log.find("fxOpenTraces"), std::string::npos);
    EXPECT_EQ(log.find("#ERROR"), std::string::npos) << log;

    EXPECT_TRUE(scene->scr_mat1.hasTexture) << "entry 751";
    EXPECT_TRUE(scene->err_gad.material.hasTexture) << "entry 0";
    EXPECT_TRUE(scene->gad.labelMaterial.hasTexture) << "entry 5";
    ASSERT_GT(scene->gad.model.meshes.Count(), 0) << "entry 4";
    FXMesh* coin = scene->gad.model.EnumMeshes(0);
    ASSERT_NE(coin->material, nullptr);
    EXPECT_TRUE(coin->material->hasTexture) << "the medallion's own picture";
    EXPECT_TRUE(scene->demo.innerMaterial.hasTexture && scene->demo.outerMaterial.hasTexture) << "entries 749 and 750";

    struct Copy {
        FXAnim* a;
        const QMCClip* clip;
        bool first;
    };
    std::vector<Copy> copies = {{&scene->anim_starting, &qmcOpening(), true}, {&scene->anim1_starting, &qmcOpening(), false}};
    for (int i = 0; i < 3; i++) {
        copies.push_back({&scene->anim[i], &qmcClip(i), true});
        copies.push_back({&scene->anim1[i], &qmcClip(i), false});
        EXPECT_EQ(scene->movie[i].GetFrameCount(), qmcClip(i).movieFrames);
        EXPECT_TRUE(scene->movie[i].keyed);
    }
    for (const Copy& c : copies) {
        SCOPED_TRACE(std::string(c.clip->name) + (c.first ? " first copy" : " second copy"));
        ASSERT_EQ(c.a->GetFrameCount(), c.clip->keyCount + c.clip->holdsLastKey);
        FXModel* m = &c.a->imodel;
        ASSERT_EQ(m->meshes.Count(), 3) << "interpolation is set up";
        EXPECT_EQ(m->EnumMeshes(0)->material, c.first ? &scene->scr_mat : &scene->scr_mat1);
        EXPECT_EQ(m->EnumMeshes(1)->material, c.first ? &scene->scr_mat1 : &scene->scr_mat);
        FXMaterial* paper = m->EnumMeshes(2)->material;
        ASSERT_NE(paper, nullptr);
        EXPECT_TRUE(paper != &scene->scr_mat && paper != &scene->scr_mat1 && paper->hasTexture) << "the paper side";
    }
}

TEST_F(DemoSceneTest, PreviewShowsItsPicture) {
    Build(true);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(scene->preview_mat.hasTexture) << "entry 1";
    Frame(50.1);
    ASSERT_EQ(sink.shown, 1);
    // Sky above, meadow below, and none of the photograph.
    const unsigned char* sky = sink.At(kW / 2, 4);
    const unsigned char* grass = sink.At(kW / 20, kH * 9 / 10);
    EXPECT_GT(sky[2], sky[0]);
    EXPECT_GT(grass[1], grass[2]);
    EXPECT_LT(sink.PhotoShare(), 0.01);
}

TEST_F(DemoSceneTest, ChoreographyKeepsThePhotographAndTheLogoInViewAndFlowsAcrossClipChanges) {
    Build(false);
    ASSERT_FALSE(HasFatalFailure());
    // Where the logo's rim crosses its vertical axis, on a window wider than high: it stays there
    // whichever way the coin has turned.
    double sx = 0.18 * kH / kW, sy = 0.18;
    int cx = int((0.9 - sx + 1) / 2 * kW), cy = int((1 - (sy - 0.85)) / 2 * kH);
    int rim = int(0.9 * 0.95 * sy * kH / 2);

    double t = 50.0;
    Frame(t);
    std::vector<unsigned char> prev;
    std::vector<double> steps, changeSteps;
    int frames = 0, shownWithPhoto = 0, logoMissing = 0;
    bool left[4] = {false, false, false, false};
    int lastStage = scene->dststage;
    bool wasStarting = true, firstOfClip = false;
    const double kEnd = 50.0 + 200.0;
    while (t < kEnd && !(left[0] && left[1] && left[2] && left[3])) {
        t = fxGetTime() + 0.002;  // on from where the movie's frame wait left the clock
        int before = sink.shown;
        Frame(t);
        ASSERT_EQ(sink.shown, before + 1);
        frames++;
        double share = sink.PhotoShare();
        shownWithPhoto += share > 0.05;
        int gold = 0;
        for (int y = cy - rim - 1; y <= cy + rim + 1; y++)
            for (int x = cx - 1; x <= cx + 1; x++) gold += localGoldPixel(sink.At(x, y));
        logoMissing += gold < 3;
        // The scene picks the next clip after drawing a frame: the next frame is the new clip's.
        bool change = scene->dststage != lastStage || (wasStarting && !scene->starting);
        if (!prev.empty()) {
            double d = localMeanDifference(prev, sink.px);
            EXPECT_GT(d, 0.0) << "frame " << frames << " repeats its predecessor";
            (firstOfClip ? changeSteps : steps).push_back(d);
        }
        char name[64];
        if (firstOfClip) {
            snprintf(name, sizeof(name), "demo_change_%02d_after.png", int(changeSteps.size()) - 1);
            qmWritePngRGBA(qmTestPath(name), kW, kH, sink.px.data(), kW * 4, true);
        }
        firstOfClip = change;
        if (change) {
            EXPECT_GT(share, 0.10) << "the photograph at the pose where clip " << scene->aact_movie << " starts";
            if (!wasStarting) left[lastStage] = true;
            snprintf(name, sizeof(name), "demo_change_%02d_before.png", int(changeSteps.size()));
            qmWritePngRGBA(qmTestPath(name), kW, kH, sink.px.data(), kW * 4, true);
        }
        lastStage = scene->dststage;
        wasStarting = scene->starting;
        prev = sink.px;
    }
    EXPECT_TRUE(left[0] && left[1] && left[2] && left[3]) << "a clip change out of every stage within 200 s";
    EXPECT_GE(shownWithPhoto, frames * 85 / 100) << "the photograph shows in most frames";
    EXPECT_LE(logoMissing, frames / 100) << "the logo's rim at its place";
    // A clip change is no bigger a step than the motion inside the clips.
    ASSERT_FALSE(steps.empty());
    std::vector<double> sorted = steps;
    std::sort(sorted.begin(), sorted.end());
    double typical = sorted[sorted.size() * 9 / 10];
    for (size_t i = 0; i < changeSteps.size(); i++)
        EXPECT_LE(changeSteps[i], typical * 1.5) << "clip change " << i << " jumps";
}

TEST_F(DemoSceneTest, RecordModeWritesFramesAndTheContactSheet) {
    QM_REQUIRE_DISPLAY();
    std::string dir = qmFreshDir("demo_record"), folder = qmFreshDir("demo_record_data");
    ASSERT_EQ(symlink(QM_DEMO_PACKAGE, (folder + "/qmsave.dat").c_str()), 0);
    ASSERT_TRUE(fxLoadDevil());
    localWriteDesktop(folder + "/desktop.png");
    fxUnloadDevil();
    std::string cmd = "QMSAVE_PATH='" + folder + "' XDG_STATE_HOME='" + folder + "' '" + QMSAVE_PROGRAM +
                      "' --record '" + dir + "' --seconds 3 --fps 5 --size 320x180 --desktop '" + folder +
                      "/desktop.png' >'" + folder + "/out.txt' 2>&1";
    int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << qmReadText(folder + "/out.txt");
    struct stat st;
    EXPECT_EQ(stat((dir + "/sheet.png").c_str(), &st), 0);
    std::vector<unsigned char> first = qmReadFile(dir + "/frame-00000.png"), last = qmReadFile(dir + "/frame-00014.png");
    EXPECT_FALSE(first.empty());
    EXPECT_FALSE(last.empty());
    EXPECT_FALSE(first == last);
}
