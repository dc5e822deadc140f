// Sprite-movie authoring: frames cropped into JPEG pairs and the record saved, a movie compiled
// into a package and played from it, and frames moved or deleted with everything that is theirs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/paths.h"
#include "image/material.h"
#include "smovie_test_util.h"

TEST_F(SMovieDevil, SaveCropsFramesIntoJpegPairs) {
    std::string dir = qmTestPath("");
    FXCanvas c;  // frame 0: an opaque box over columns 4..9 and rows 2..5; frame 1: nothing visible
    qmiFill(&c, 16, 8, [](int x, int y) {
        return x >= 4 && x <= 9 && y >= 2 && y <= 5 ? qmiRgba(30, 160, 220, 255) : qmiRgba(255, 255, 255, 0);
    });
    ASSERT_TRUE(c.SaveToPict2((dir + "walk0.png").c_str(), 0, 0, 16, 8));
    qmiFill(&c, 16, 8, [](int, int) { return qmiRgba(255, 255, 255, 0); });
    ASSERT_TRUE(c.SaveToPict2((dir + "walk1.png").c_str(), 0, 0, 16, 8));
    SMovie mv;  // single pictures until they are saved
    mv.colorNames.Push((dir + "walk0.png").c_str());
    mv.colorNames.Push((dir + "walk1.png").c_str());
    ASSERT_TRUE(mv.Save((dir + "walk.xs").c_str()));
    EXPECT_TRUE(mv.saved && mv.compiled && mv.hasRects);
    EXPECT_EQ(mv.maskNames.Get(0), dir + "walk0_m.jpg");
    std::vector<int> edges;
    for (int i = 0; i < mv.edges.top; i++) edges.push_back(mv.edges.GetInt(i));
    EXPECT_EQ(edges, (std::vector<int>{4, 2, 9, 5, 0, 0, 0, 0}));  // the last column and row included
    EXPECT_EQ(std::vector<float>(mv.rects.items, mv.rects.items + 4), (std::vector<float>{-0.5f, 0.5f, 0.25f, -0.5f}));
    EXPECT_EQ(mv.maxCropWidth * 10 + mv.maxCropHeight, 64);

    SMovie back;  // read back: the cropped pair is the opaque box
    ASSERT_TRUE(back.Load((dir + "walk.xs").c_str()));
    EXPECT_STREQ(back.colorNames.Get(0), (dir + "walk0.jpg").c_str());
    FXMaterial m;
    ASSERT_TRUE(back.PrepareTexture(&env, back.colorNames.Get(0), back.maskNames.Get(0), &m));
    const UploadEnv::Upload& up = env.uploads.back();
    EXPECT_EQ(up.width * 10 + up.height, 64);
    for (int k = 0; k < 24; k++) EXPECT_TRUE(qmNearRgba(up.At(k % 6, k / 6), 30, 160, 220, 255)) << k;

    SMovie unreadable;  // a frame that cannot be read stops the save before anything is written
    unreadable.colorNames.Push((dir + "none.png").c_str());
    EXPECT_FALSE(unreadable.Save((dir + "none.xs").c_str()));
    EXPECT_FALSE(unreadable.saved || fxPathExists((dir + "none.xs").c_str()));
}

TEST_F(SMovieDevil, CompiledIntoAPackageAndPlayedFromIt) {
    std::string dir = qmTestPath("");
    qmWriteFramePair(dir + "f0", 12, 6, 250, 250, 0, [](int, int) { return 255; });
    qmWriteFramePair(dir + "f1", 12, 6, 0, 0, 250, [](int, int) { return 255; });
    SMovie mv;
    mv.saved = mv.compiled = true;
    for (std::string f : {"f0", "f1"}) mv.colorNames.Push((f + ".jpg").c_str()), mv.maskNames.Push((f + "_m.jpg").c_str());
    FXPackage pkg;
    pkg.sourceDir.Set(dir.c_str());
    ASSERT_TRUE(mv.Compile(&pkg));
    EXPECT_STREQ(mv.maskNames.Get(0), "1");
    EXPECT_STREQ(mv.colorNames.Get(1), "2");
    EXPECT_EQ(pkg.pendingPaths.Get(3), dir + "f1_m.jpg");
    FXStr record((dir + "movie.xs").c_str());
    ASSERT_TRUE(mv.Save(record));  // entry numbers are written as they are
    pkg.AddDataFile1(&record);
    ASSERT_TRUE(pkg.Save((dir + "movie.dat").c_str(), 1));

    FXPackage loaded;
    loaded.Load((dir + "movie.dat").c_str());
    SMovie play;
    ASSERT_TRUE(play.LoadCN(&loaded, atoi(record)));
    play.LoadIntoMem();
    play.Prepare(&env, -1);
    ASSERT_EQ(env.uploads.size(), 2u);
    EXPECT_TRUE(qmNearRgba(env.uploads[0].At(1, 1), 250, 250, 0, 255));
    EXPECT_TRUE(qmNearRgba(env.uploads[1].At(1, 1), 0, 0, 250, 255));
}

namespace {

// A picture block holding the text name.
std::unique_ptr<unsigned char[]> localBlock(const char* name) {
    size_t n = strlen(name) + 1;
    std::unique_ptr<unsigned char[]> b(new unsigned char[n]);
    memcpy(b.get(), name, n);
    return b;
}

}  // namespace

TEST(SMovieEdit, MoveAndDeleteKeepFramesTogether) {
    // Frames a, b, c with names, file blocks, sizes 1..3 and rectangles valued by frame number;
    // the state lists each one's content in order.
    auto state = [](const SMovie& mv) {
        std::string s;
        for (int i = 0; i < mv.colorNames.top; i++)
            s += mv.maskNames.Get(i) + std::string(static_cast<const char*>(mv.colorData.Get(i))) +
                 std::to_string(mv.maskSizes.GetInt(i)) + std::to_string(int(mv.rects.items[4 * i + 3]));
        return s + (mv.hasRects ? "" : " uncropped");
    };
    const struct {
        int pos, dir;  // dir 9: delete
        const char* after;
    } cases[] = {{0, 1, "bb21aa10cc32"}, {2, -1, "aa10cc32bb21"}, {2, 1, "aa10bb21cc32"},
                 {1, 0, "aa10bb21cc32"}, {1, 9, "aa10cc32"},     {3, 9, "aa10bb21cc32"}};
    for (const auto& c : cases) {
        SMovie mv;
        for (int i = 0; i < 3; i++) {
            char name[2] = {char('a' + i), 0};
            mv.colorNames.Push(name), mv.maskNames.Push(name);
            mv.colorData.Push(mv.KeepBlock(localBlock(name))), mv.maskData.Push(mv.KeepBlock(localBlock(name)));
            mv.colorSizes.PushInt(i + 1), mv.maskSizes.PushInt(i + 1);
            for (int k = 0; k < 4; k++) mv.rects.Push(float(i));
        }
        mv.hasRects = true;
        c.dir == 9 ? mv.DeletePos(c.pos) : mv.MovePos(c.pos, c.dir);
        EXPECT_EQ(state(mv), c.after) << c.pos << " " << c.dir;
    }
}
