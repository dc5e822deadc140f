// Rows of the fault table that the scene meets while it loads: a missing package, every entry the
// scene reads cut short or scrambled one at a time (pictures, models, libraries, animations,
// movies and the pictures of a movie's frames), and a missing image library. Each builds the
// scene on the test display, draws frames through the opening and on into the clips, and checks
// what reaches the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/devil.h"
#include "support/package_bytes.h"
#include "support/png_write_gl.h"
#include "support/scene_package.h"
#include "support/scene_window.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

const int kW = 96, kH = 72;

// How many colours the last shown frame holds (more than 8 count as 9).
int localColours(const QmBackBuffer& frame) {
    std::vector<unsigned> seen;
    for (int y = 0; y < frame.height; y++)
        for (int x = 0; x < frame.width; x++) {
            unsigned c = frame.Rgb(x, y);
            if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
            if (seen.size() > 8) return int(seen.size());
        }
    return int(seen.size());
}

class FaultSceneTest : public ::testing::Test {
protected:
    std::string data;
    QmSceneWindow scene;
    QmBackBuffer sink;
    QmScopedEnv* state = nullptr;

    void SetUp() override {
        QM_REQUIRE_DISPLAY();
        data = qmFreshDir("data");
        state = new QmScopedEnv("XDG_STATE_HOME", qmFreshDir("state").c_str());
        ASSERT_TRUE(fxLoadDevil());
        ASSERT_TRUE(qmWriteHalvesDesktop(data, kW, kH));
    }
    void TearDown() override {
        scene.Close();
        fxSetDevilLibraryNames(nullptr, nullptr);
        fxUnloadDevil();
        delete state;
    }

    // Builds the scene on the package in the data folder and draws frames on the manual clock
    // for `seconds` of scene time (through the opening into the clips).
    void Run(double seconds) {
        sink.shown = 0;
        scene.Open(data, false, 1, kW, kH, &sink);
        ASSERT_NE(scene.window, nullptr);
        double t = 50.0;
        while (t < 50.0 + seconds) {
            scene.Frame(t);
            t = fxGetTime() + 0.05;  // on from where the movie's frame wait left the clock
        }
    }
};

// The package with the entries in `damaged` cut in half (mode 0) or scrambled (mode 1).
std::vector<unsigned char> localDamaged(FXPackage* p, const std::vector<int>& damaged, int mode) {
    std::vector<QmEntry> entries;
    for (int i = 0; i < p->GetCount(); i++) {
        int e = p->IdAt(i);
        FXPackageData* d = p->GetDataPtr(e);
        std::vector<unsigned char> b = d ? std::vector<unsigned char>(d->start, d->start + d->size)
                                         : std::vector<unsigned char>();
        if (std::find(damaged.begin(), damaged.end(), e) != damaged.end()) {
            if (mode == 0)
                b.resize(b.size() / 2);
            else
                for (size_t k = 4; k < b.size(); k += 5) b[k] ^= 0xA5;  // counts and values alike
        }
        entries.push_back({e, p->GetDataType(e), b});
    }
    return qmPackageFile(entries);
}

}  // namespace

TEST_F(FaultSceneTest, MissingPackageRunsOnWithoutThePhotographOrTheClips) {
    Run(3.0);
    EXPECT_TRUE(scene->pck.IsEmpty());
    ASSERT_GT(sink.shown, 10);
    qmWritePngRGBA(qmTestPath("no_package.png"), kW, kH, sink.px.data(), kW * 4, true);
    // Only the small demo object in the corner and the notice in the middle need no content; the
    // rest is the cleared screen.
    int white = 0;
    for (int y = 0; y < kH * 3 / 4; y++)
        for (int x = 0; x < kW; x++) {
            bool middle = x >= 8 && x < kW - 8 && y >= 12;
            if (!middle) {
                ASSERT_EQ(sink.Rgb(x, y), 0u) << x << ", " << y;
            }
            white += middle && sink.Rgb(x, y) == 0xFFFFFFu;
        }
    EXPECT_GT(white, 40) << "the notice says why there is nothing to show";
}

TEST_F(FaultSceneTest, EveryEntryCutShortOrScrambledLeavesTheSceneRunning) {
    std::string why;
    ASSERT_TRUE(qmWriteScenePackage(data + "/clean.dat", QmScenePackage(), &why)) << why;
    FXPackage clean;
    clean.Load((data + "/clean.dat").c_str());
    ASSERT_GT(clean.GetCount(), 10);
    // Each entry alone; the movies' frame pictures (the JPEG entries) all together.
    std::vector<std::vector<int>> rows(1);
    for (int i = 0; i < clean.GetCount(); i++) {
        int id = clean.IdAt(i);
        if (clean.GetDataType(id) == FX_PACKAGE_TYPE_JPG)
            rows[0].push_back(id);
        else
            rows.push_back({id});
    }
    ASSERT_FALSE(rows[0].empty());
    for (const std::vector<int>& row : rows) {
        for (int mode = 0; mode < 2; mode++) {
            SCOPED_TRACE((row.size() > 1 ? std::string("movie frames") : "entry " + std::to_string(row[0])) +
                         (mode ? " scrambled" : " cut in half"));
            qmWriteFile(data + "/qmsave.dat", localDamaged(&clean, row, mode));
            Run(4.0);
            EXPECT_EQ(scene->pck.GetCount(), clean.GetCount());
            EXPECT_GT(sink.shown, 10) << "frames go on being shown";
            EXPECT_GT(localColours(sink), 2) << "the rest of the content is still drawn";
            scene.Close();
        }
    }
}

TEST_F(FaultSceneTest, WithoutTheImageLibraryTheSceneRunsUntextured) {
    std::string why;
    ASSERT_TRUE(qmWriteScenePackage(data + "/qmsave.dat", QmScenePackage(), &why)) << why;
    fxUnloadDevil();
    fxSetDevilLibraryNames("libqm-no-such-devil.so", "libqm-no-such-ilu.so");
    Run(4.0);
    EXPECT_FALSE(fxDevilLoaded());
    EXPECT_FALSE(scene->scr_mat.hasTexture) << "no photograph without a decoder";
    EXPECT_FALSE(scene->scr_mat1.hasTexture);
    EXPECT_FALSE(scene->err_gad.material.hasTexture);
    ASSERT_GT(sink.shown, 10);
    EXPECT_GT(localColours(sink), 1) << "the models are drawn, untextured";
}
