// Sprite-movie frames decoded through the real image library: a JPEG colour picture and its mask
// become one texture, and pictures of another layout are refused, leaving the material as it was.
#include <gtest/gtest.h>

#include "image/material.h"
#include "smovie_test_util.h"

namespace {
int localHalfMask(int x, int) { return x < 6 ? 255 : 0; }  // opaque left half of 12 columns
}  // namespace

TEST_F(SMovieDevil, ColourAndMaskBecomeOneTexture) {
    std::string base = qmTestPath("frame");
    qmWriteFramePair(base, 12, 6, 200, 40, 90, localHalfMask);
    SMovie mv;
    FXMaterial m;
    std::string colour = base + ".jpg", mask = base + "_m.jpg";
    std::string log = qmTraced([&] { EXPECT_TRUE(mv.PrepareTexture(&env, colour.c_str(), mask.c_str(), &m)); });
    EXPECT_NE(log.find("PrepareTexture: "), std::string::npos) << log;
    ASSERT_EQ(env.uploads.size(), 1u);
    const UploadEnv::Upload& up = env.uploads[0];
    EXPECT_EQ((std::vector<int>{up.width, up.height, up.bufWidth, up.bufHeight}), (std::vector<int>{12, 6, 16, 8}));
    EXPECT_TRUE(qmNearRgba(up.At(2, 3), 200, 40, 90, 255)) << std::hex << up.At(2, 3);
    EXPECT_LT(int(up.At(10, 3) >> 24), 12);  // masked out
    EXPECT_EQ(up.At(13, 2) | up.At(2, 7), 0u);  // padding beside and below
    // A device that takes any size gets the picture unpadded, in the pixmap it already has.
    void* buffer = mv.pixmap.data;
    env.npotTextures = true;
    ASSERT_TRUE(mv.PrepareTexture(&env, colour.c_str(), mask.c_str(), &m));
    EXPECT_EQ(env.uploads[1].bufWidth * 100 + env.uploads[1].bufHeight, 1206);
    EXPECT_EQ(mv.pixmap.data, buffer);
}

TEST_F(SMovieDevil, PicturesOfAnotherLayoutAreRefused) {
    std::string good = qmTestPath("good"), small = qmTestPath("small"), rgba = qmTestPath("rgba.png");
    qmWriteFramePair(good, 12, 6, 10, 200, 30, localHalfMask);
    qmWriteFramePair(small, 6, 3, 10, 200, 30, localHalfMask);
    FXCanvas c;
    qmiFill(&c, 12, 6, [](int, int) { return qmiRgba(1, 2, 3, 255); });
    ASSERT_TRUE(c.SaveToPict2(rgba.c_str(), 0, 0, 12, 6));
    struct Case {
        std::string colour, mask, reason;
    };
    const Case cases[] = {
        {good + ".jpg", small + "_m.jpg", "mask 6 x 3 refused for a 12 x 6 picture"},
        {good + "_m.jpg", good + "_m.jpg", "colour picture refused: 1 bytes per pixel, 3 expected"},
        {good + ".jpg", good + ".jpg", "mask picture refused: 3 bytes per pixel, 1 expected"},
        {rgba, good + "_m.jpg", "colour picture refused: 4 bytes per pixel"},
        {good + ".missing.jpg", good + "_m.jpg", "colour picture could not be decoded"},
        {good + ".jpg", "", "mask picture could not be decoded"},
    };
    for (const Case& k : cases) {
        SMovie mv;
        FXMaterial m;
        ASSERT_TRUE(mv.PrepareTexture(&env, (good + ".jpg").c_str(), (good + "_m.jpg").c_str(), &m));
        size_t uploads = env.uploads.size();
        std::string log = qmTraced([&] { EXPECT_FALSE(mv.PrepareTexture(&env, k.colour.c_str(), k.mask.c_str(), &m)); });
        EXPECT_NE(log.find(k.reason), std::string::npos) << log;
        EXPECT_EQ(env.uploads.size(), uploads) << k.reason;  // the material keeps its texture
        EXPECT_TRUE(m.hasTexture && m.textureName == uploads) << k.reason;
    }
}

TEST_F(SMovieDevil, AFrameThatFailsIsReportedOnceHoweverOftenItReplays) {
    // Three frames in the package, the middle one damaged; the movie loops all night.
    std::string base = qmTestPath("replay");
    qmWriteFramePair(base, 12, 6, 10, 200, 30, localHalfMask);
    std::vector<unsigned char> colour = qmReadFile(base + ".jpg"), mask = qmReadFile(base + "_m.jpg");
    QmMovieRecord r = qmMovieFrames(3);
    r.loop = true;
    std::vector<unsigned char> damaged(64, 0x55);
    FXPackage pkg;
    qmMoviePackage(&pkg, {{5, -1, r.Bytes()},
                          {100, FX_PACKAGE_TYPE_JPG, colour},
                          {101, FX_PACKAGE_TYPE_JPG, damaged},
                          {102, FX_PACKAGE_TYPE_JPG, colour},
                          {200, FX_PACKAGE_TYPE_JPG, mask},
                          {201, FX_PACKAGE_TYPE_JPG, mask},
                          {202, FX_PACKAGE_TYPE_JPG, mask}});
    SMovie mv;
    ASSERT_TRUE(mv.LoadCN(&pkg, 5));
    mv.LoadIntoMem();
    std::string log = qmTraced([&] {
        for (int replay = 0; replay < 4; replay++) {
            mv.Prepare(&env, 3);
            mv.EmptyPrepared();
        }
    });
    size_t lines = 0;
    for (size_t at = log.find("movie frame 1:"); at != std::string::npos; at = log.find("movie frame 1:", at + 1))
        lines++;
    EXPECT_EQ(lines, 1u) << log;
    EXPECT_EQ(log.find("movie frame 0:"), std::string::npos) << log;
    // Frames 0, 1, 2, 0, 1, 2, 0, 1 were prepared: the good ones decode on every replay.
    EXPECT_EQ(env.uploads.size(), 5u);
    // A movie loaded afresh reports again.
    ASSERT_TRUE(mv.LoadCN(&pkg, 5));
    mv.LoadIntoMem();
    log = qmTraced([&] { mv.Prepare(&env, 3); });
    EXPECT_NE(log.find("movie frame 1:"), std::string::npos) << log;
}
