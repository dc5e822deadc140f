// Sprite-movie records: the three versions, damaged records refused without reading outside the
// entry, and frame pictures read into memory from a package and from files.
#include <gtest/gtest.h>

#include <cmath>

#include "base/paths.h"
#include "smovie_test_util.h"

namespace {

// Loads bytes as entry 5 of a package that also holds pictures 100 (3 bytes) and 200 (2 bytes).
bool localLoad(SMovie* mv, FXPackage* pkg, const std::vector<unsigned char>& record) {
    qmMoviePackage(pkg, {{5, -1, record}, {100, FX_PACKAGE_TYPE_JPG, {1, 2, 3}}, {200, FX_PACKAGE_TYPE_JPG, {4, 5}}});
    return mv->LoadCN(pkg, 5);
}

}  // namespace

TEST(SMovieRecord, ThreeVersions) {
    for (std::string magic : {"xs01", "xs02", "xs03"}) {
        SCOPED_TRACE(magic);
        QmMovieRecord r = qmMovieFrames(2);
        r.magic = magic;
        r.loop = false, r.pingPong = true;
        r.frameDuration = 0.25;
        r.rects = {-1, 1, 0, 0, 0, 0.5f, 1, -1};
        r.keyed = true;
        r.keyFrames = {0, 1};
        SMovie mv;
        mv.pingPong = false;
        mv.frameDuration = 7.0;  // xs01 has no timing: the movie's own settings stay
        FXPackage pkg;
        ASSERT_TRUE(localLoad(&mv, &pkg, r.Bytes()));
        EXPECT_EQ(mv.loop, magic == "xs01");
        EXPECT_EQ(mv.pingPong, magic != "xs01");
        EXPECT_EQ(mv.frameDuration, magic == "xs01" ? 7.0 : 0.25);
        EXPECT_EQ(mv.maxCropWidth * 100 + mv.maxCropHeight, 3020);
        EXPECT_STREQ(mv.colorNames.Get(1), "101");
        EXPECT_STREQ(mv.maskNames.Get(1), "201");
        EXPECT_EQ(mv.rects.top, 8);
        EXPECT_TRUE(mv.hasRects && mv.compiled && mv.saved);
        EXPECT_EQ(mv.keyFrames.top, magic == "xs03" ? 2 : 0);
    }
    // Rectangles that are not four per frame leave the movie uncropped.
    QmMovieRecord r = qmMovieFrames(2);
    r.rects = {-1, 1, 1, -1};
    SMovie mv;
    FXPackage pkg;
    std::string log = qmTraced([&] { EXPECT_TRUE(localLoad(&mv, &pkg, r.Bytes())); });
    EXPECT_FALSE(mv.hasRects);
    EXPECT_NE(log.find("4 crop values for 2 frames"), std::string::npos) << log;
}

TEST(SMovieRecord, DamagedRecordsAreRefused) {
    auto with = [](auto change) {
        QmMovieRecord r = qmMovieFrames(2);
        change(r);
        return r.Bytes();
    };
    std::vector<unsigned char> cutName = qmMovieFrames(2).Bytes();
    cutName.resize(cutName.size() - 6);  // the keyed byte and most of the last name
    std::vector<unsigned char> cutKeys = with([](QmMovieRecord& r) { r.keyed = true, r.keyFrames = {0, 1, 2}; });
    cutKeys.resize(cutKeys.size() - 4);
    const std::vector<unsigned char> cases[] = {
        with([](QmMovieRecord& r) { r.magic = "xs04"; }),
        {},
        QmBytes().Str("xs02").Byte(1).Byte(0).Int(0).bytes,  // frame duration cut
        cutName,
        cutKeys,
        QmBytes().Str("xs01").Int(0).Int(0).Int(0).Int(50000).Str("1").bytes,    // names beyond the entry
        QmBytes().Str("xs01").Int(0).Int(0).Int(-3).Int(0).Int(0).bytes,          // negative count
        QmBytes().Str("xs01").Int(0).Int(0).Int(0).Int(1).Int(999).Text("12").bytes,  // long name
        with([](QmMovieRecord& r) { r.masks.pop_back(); }),
        with([](QmMovieRecord& r) { r.frameDuration = std::nan(""); }),
        with([](QmMovieRecord& r) { r.frameDuration = -1; }),
        with([](QmMovieRecord& r) { r.frameDuration = HUGE_VAL; }),
    };
    int i = 0;
    for (const auto& bytes : cases) {
        SCOPED_TRACE(i++);
        SMovie mv;
        mv.loop = mv.pingPong = true;
        mv.frameDuration = 3.0;
        FXPackage pkg;
        std::string log = qmTraced([&] { EXPECT_FALSE(localLoad(&mv, &pkg, bytes)); });
        EXPECT_NE(log.find("movie entry 5"), std::string::npos) << log;
        EXPECT_EQ(mv.GetFrameCount() + mv.rects.top, 0);
        EXPECT_EQ(mv.package, nullptr);
        EXPECT_TRUE(mv.loop && mv.pingPong && mv.frameDuration == 3.0);  // no setting changed
    }
}

TEST(SMovieRecord, PackagePicturesAreReferencedInPlace) {
    QmMovieRecord r;
    r.colours = {"100", "abc", "404"};
    r.masks = {"200", "200", ""};
    SMovie mv;
    FXPackage pkg;
    ASSERT_TRUE(localLoad(&mv, &pkg, r.Bytes()));
    std::string log = qmTraced([&] { mv.LoadIntoMem(); });
    ASSERT_EQ(mv.colorData.top + mv.maskData.top, 6);
    EXPECT_TRUE(mv.inMemory);
    EXPECT_EQ(mv.colorData.Get(0), pkg.GetDataPtr(100)->start);
    EXPECT_EQ(mv.colorSizes.GetInt(0), 3);
    EXPECT_EQ(mv.maskData.Get(1), pkg.GetDataPtr(200)->start);
    EXPECT_EQ(mv.maskSizes.GetInt(1), 2);
    // A name that is not a number, or names no entry, gives no block.
    EXPECT_EQ(mv.colorData.Get(1), nullptr);
    EXPECT_EQ(mv.colorSizes.GetInt(1), 0);
    EXPECT_EQ(mv.colorData.Get(2), nullptr);
    EXPECT_NE(log.find("colour picture 'abc' not found"), std::string::npos) << log;
}

// Frame names are read from the movie file's own folder, wherever the program was started.
TEST(SMovieRecord, FileFormJoinsNamesAndReadsPictures) {
    std::string dir = qmTestPath(""), cwd = fxAbsolutePath(dir) + "/";
    qmWriteText(dir + "a.jpg", "AAAA");
    QmMovieRecord r;
    r.colours = {"a.jpg", "/elsewhere/b.jpg"};
    r.masks = {"sub/../a.jpg", ""};
    qmWriteFile(dir + "m.xs", r.Bytes());
    SMovie mv;
    bool loaded = mv.Load((dir + "m.xs").c_str());
    mv.LoadIntoMem();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(mv.colorNames.Get(0), cwd + "a.jpg");
    EXPECT_STREQ(mv.colorNames.Get(1), "/elsewhere/b.jpg");  // absolute names stand
    EXPECT_EQ(mv.maskNames.Get(0), cwd + "a.jpg");
    EXPECT_STREQ(mv.maskNames.Get(1), "");
    EXPECT_EQ(mv.colorSizes.GetInt(0), 4);
    EXPECT_EQ(std::string(static_cast<const char*>(mv.colorData.Get(0)), 4), "AAAA");
    EXPECT_EQ(mv.colorData.Get(1), nullptr);
    EXPECT_FALSE(mv.Load((dir + "missing.xs").c_str()));
}
