// Sprite-movie frames through the real image library: JPEG colour and mask pairs assembled into
// one texture from files and from package entries, pictures of the wrong layout refused, frames
// cropped and saved by the authoring side, and a movie compiled into a package and played from it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/paths.h"
#include "image/image_test_util.h"
#include "image/material.h"
#include "smovie_test_util.h"

namespace {

bool localNear(unsigned pixel, int r, int g, int b, int a, int tol = 12) {
    int v[4] = {int(pixel & 255), int((pixel >> 8) & 255), int((pixel >> 16) & 255), int(pixel >> 24)};
    int want[4] = {r, g, b, a};
    for (int k = 0; k < 4; k++)
        if (abs(v[k] - want[k]) > tol) return false;
    return true;
}

// Opaque on the left half, clear on the right.
int localHalfMask(int x, int) { return x < 6 ? 255 : 0; }

class SMovieDecode : public DevilTest {
protected:
    UploadEnv env;
    QmEnvScope scope{&env};
};

}  // namespace

TEST_F(SMovieDecode, ColourAndMaskBecomeOneTexture) {
    std::string base = qmTestPath("frame");
    qmWriteFramePair(base, 12, 6, 200, 40, 90, localHalfMask);
    SMovie mv;
    FXMaterial m;
    std::string log = qmTraced([&] { ASSERT_TRUE(mv.PrepareTexture((base + ".jpg").c_str(), (base + "_m.jpg").c_str(), &m)); });
    EXPECT_NE(log.find("PrepareTexture: "), std::string::npos) << log;
    ASSERT_EQ(env.uploads.size(), 1u);
    const UploadEnv::Upload& up = env.uploads[0];
    EXPECT_EQ(up.material, &m);
    EXPECT_EQ((std::vector<int>{up.width, up.height, up.bufWidth, up.bufHeight}), (std::vector<int>{12, 6, 16, 8}));
    EXPECT_TRUE(localNear(up.At(2, 3), 200, 40, 90, 255)) << std::hex << up.At(2, 3);
    EXPECT_LT(int(up.At(10, 3) >> 24), 12);  // masked out
    EXPECT_EQ(up.At(13, 2), 0u);            // padding beside
    EXPECT_EQ(up.At(2, 7), 0u);             // and below
    void* buffer = mv.pixmap.data;

    // The same pair from package entries, decoded in memory: the same pixels, no timing trace.
    QmMovieRecord r;
    r.colours = {"7"};
    r.masks = {"8"};
    FXPackage pkg;
    qmLoadPackage(&pkg, {{5, -1, r.Bytes()},
                         {7, FX_PACKAGE_TYPE_JPG, qmReadFile(base + ".jpg")},
                         {8, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "_m.jpg")}});
    ASSERT_TRUE(mv.LoadCN(&pkg, 5));
    mv.LoadIntoMem();
    log = qmTraced([&] { ASSERT_TRUE(mv.PrepareTextureMem(0, &m)); });
    EXPECT_EQ(log.find("PrepareTexture"), std::string::npos) << log;
    ASSERT_EQ(env.uploads.size(), 2u);
    EXPECT_EQ(env.uploads[1].bytes, up.bytes);
    EXPECT_FALSE(mv.PrepareTextureMem(1, &m));  // no such frame

    // A device that takes any size gets the picture unpadded; the pixmap is reused.
    mv.pixmap.Realloc(16, 8);
    buffer = mv.pixmap.data;
    env.npotTextures = true;
    ASSERT_TRUE(mv.PrepareTextureMem(0, &m));
    EXPECT_EQ(env.uploads[2].bufWidth, 12);
    EXPECT_EQ(env.uploads[2].bufHeight, 6);
    EXPECT_EQ(mv.pixmap.data, buffer);
}

TEST_F(SMovieDecode, PicturesOfAnotherLayoutAreRefused) {
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
        SCOPED_TRACE(k.reason);
        SMovie mv;
        FXMaterial m;
        ASSERT_TRUE(mv.PrepareTexture((good + ".jpg").c_str(), (good + "_m.jpg").c_str(), &m));
        size_t uploads = env.uploads.size();
        unsigned name = m.textureName;
        std::string log = qmTraced([&] { EXPECT_FALSE(mv.PrepareTexture(k.colour.c_str(), k.mask.c_str(), &m)); });
        EXPECT_NE(log.find(k.reason), std::string::npos) << log;
        EXPECT_EQ(env.uploads.size(), uploads);  // the material keeps its texture
        EXPECT_EQ(m.textureName, name);
        EXPECT_TRUE(m.hasTexture);
    }
    fxUnloadDevil();  // without the image library every frame fails quietly
    SMovie mv;
    FXMaterial m;
    EXPECT_FALSE(mv.PrepareTexture((good + ".jpg").c_str(), (good + "_m.jpg").c_str(), &m));
}

TEST_F(SMovieDecode, SaveCropsFramesIntoJpegPairs) {
    std::string dir = qmTestPath("");
    std::string framePath[2] = {dir + "walk0.png", dir + "walk1.png"};
    FXCanvas c;  // frame 0: an opaque box over columns 4..9 and rows 2..5; frame 1: nothing visible
    qmiFill(&c, 16, 8, [](int x, int y) {
        return x >= 4 && x <= 9 && y >= 2 && y <= 5 ? qmiRgba(30, 160, 220, 255) : qmiRgba(255, 255, 255, 0);
    });
    ASSERT_TRUE(c.SaveToPict2(framePath[0].c_str(), 0, 0, 16, 8));
    qmiFill(&c, 16, 8, [](int, int) { return qmiRgba(255, 255, 255, 0); });
    ASSERT_TRUE(c.SaveToPict2(framePath[1].c_str(), 0, 0, 16, 8));

    SMovie mv;  // frames are single pictures until they are saved
    for (const std::string& p : framePath) mv.colorNames.Push(p.c_str());
    mv.keyed = true;
    mv.keyFrames.PushInt(0);
    ASSERT_TRUE(mv.Save((dir + "walk.xs").c_str()));
    EXPECT_TRUE(mv.saved && mv.compiled && mv.hasRects);
    EXPECT_EQ(std::string(mv.colorNames.Get(0)), dir + "walk0.jpg");
    EXPECT_EQ(std::string(mv.maskNames.Get(0)), dir + "walk0_m.jpg");
    std::vector<int> edges;
    for (int i = 0; i < mv.edges.top; i++) edges.push_back(mv.edges.GetInt(i));
    EXPECT_EQ(edges, (std::vector<int>{4, 2, 9, 5, 0, 0, 0, 0}));
    ASSERT_EQ(mv.rects.top, 8);
    EXPECT_EQ(std::vector<float>(mv.rects.items, mv.rects.items + 4), (std::vector<float>{-0.5f, 0.5f, 0.25f, -0.5f}));
    EXPECT_EQ(mv.maxCropWidth, 6);
    EXPECT_EQ(mv.maxCropHeight, 4);

    // Read back from the file (names relative to the same working directory): the cropped pair
    // decodes to the box, opaque.
    SMovie back;
    ASSERT_TRUE(back.Load((dir + "walk.xs").c_str()));
    EXPECT_STREQ(back.colorNames.Get(0), mv.colorNames.Get(0));
    EXPECT_EQ(back.rects.top, 8);
    EXPECT_TRUE(back.keyed);
    EXPECT_EQ(back.keyFrames.top, 1);
    FXMaterial m;
    ASSERT_TRUE(back.PrepareTexture(back.colorNames.Get(0), back.maskNames.Get(0), &m));
    const UploadEnv::Upload& up = env.uploads.back();
    EXPECT_EQ(up.width, 6);
    EXPECT_EQ(up.height, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++) EXPECT_TRUE(localNear(up.At(x, y), 30, 160, 220, 255)) << x << ", " << y;
    ASSERT_TRUE(back.PrepareTexture(back.colorNames.Get(1), back.maskNames.Get(1), &m));
    EXPECT_EQ(env.uploads.back().width, 1);
    EXPECT_LT(int(env.uploads.back().At(0, 0) >> 24), 8);

    SMovie unreadable;  // a frame that cannot be read stops the save and changes nothing
    unreadable.colorNames.Push((dir + "none.png").c_str());
    std::string log = qmTraced([&] { EXPECT_FALSE(unreadable.Save((dir + "none.xs").c_str())); });
    EXPECT_NE(log.find("none.png could not be read"), std::string::npos) << log;
    EXPECT_FALSE(unreadable.saved);
    EXPECT_FALSE(fxPathExists((dir + "none.xs").c_str()));
}

TEST_F(SMovieDecode, CompiledIntoAPackageAndPlayedFromIt) {
    std::string dir = qmTestPath("");
    qmWriteFramePair(dir + "f0", 12, 6, 250, 250, 0, localHalfMask);
    qmWriteFramePair(dir + "f1", 12, 6, 0, 0, 250, localHalfMask);
    SMovie mv;
    mv.saved = mv.compiled = true;
    for (const char* f : {"f0", "f1"}) {
        mv.colorNames.Push((std::string(f) + ".jpg").c_str());
        mv.maskNames.Push((std::string(f) + "_m.jpg").c_str());
    }
    FXPackage pkg;
    pkg.sourceDir.Set(dir.c_str());
    ASSERT_TRUE(mv.Compile(&pkg));
    EXPECT_STREQ(mv.colorNames.Get(0), "0");
    EXPECT_STREQ(mv.maskNames.Get(0), "1");
    EXPECT_STREQ(mv.colorNames.Get(1), "2");
    EXPECT_EQ(pkg.pendingPaths.top, 4);
    EXPECT_EQ(std::string(pkg.pendingPaths.Get(3)), dir + "f1_m.jpg");

    FXStr record((dir + "movie.xs").c_str());
    ASSERT_TRUE(mv.Save(record));  // entry numbers are written as they are
    pkg.AddDataFile1(&record);
    int id = atoi(record);
    ASSERT_TRUE(pkg.Save((dir + "movie.dat").c_str(), 1));

    FXPackage loaded;
    loaded.Load((dir + "movie.dat").c_str());
    SMovie play;
    ASSERT_TRUE(play.LoadCN(&loaded, id));
    play.LoadIntoMem();
    play.Prepare(-1);
    ASSERT_EQ(env.uploads.size(), 2u);
    EXPECT_TRUE(localNear(env.uploads[0].At(1, 1), 250, 250, 0, 255));
    EXPECT_TRUE(localNear(env.uploads[1].At(1, 1), 0, 0, 250, 255));
}
