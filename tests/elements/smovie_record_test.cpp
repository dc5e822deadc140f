// Sprite-movie records: the three versions from package entries and files, damaged records
// refused without reading outside the entry, and the frame pictures read into memory.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/paths.h"
#include "smovie_test_util.h"

namespace {

// Loads bytes as entry 5 of a package that also holds pictures 100 and 200.
bool localLoad(SMovie* mv, FXPackage* pkg, const std::vector<unsigned char>& record) {
    qmLoadPackage(pkg, {{5, -1, record}, {100, FX_PACKAGE_TYPE_JPG, {1, 2, 3}}, {200, FX_PACKAGE_TYPE_JPG, {4, 5}}});
    return mv->LoadCN(pkg, 5);
}

std::vector<std::string> localNames(const FXStrArray& a) {
    std::vector<std::string> out;
    for (int i = 0; i < a.top; i++) out.push_back(a.Get(i));
    return out;
}

}  // namespace

TEST(SMovieRecord, ThreeVersions) {
    struct Case {
        std::string magic;
        bool keyed;
        bool loop, pingPong;  // expected
        double duration;
    };
    // The movie starts with loop and pingPong true and a duration of 7 s: xs01 keeps them.
    const Case cases[] = {
        {"xs01", false, true, true, 7.0},
        {"xs02", false, false, true, 0.25},
        {"xs03", false, false, true, 0.25},
        {"xs03", true, false, true, 0.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.magic + (c.keyed ? " keyed" : ""));
        QmMovieRecord r = qmMovieFrames(2);
        r.magic = c.magic;
        r.loop = false;
        r.pingPong = true;
        r.frameDuration = 0.25;
        r.cropW = 30, r.cropH = 20;
        r.rects = {-1, 1, 0, 0, 0, 0.5f, 1, -1};
        r.keyed = c.keyed;
        r.keyFrames = {0, 1};
        SMovie mv;
        mv.frameDuration = 7.0;
        FXPackage pkg;
        ASSERT_TRUE(localLoad(&mv, &pkg, r.Bytes()));
        EXPECT_EQ(mv.loop, c.loop);
        EXPECT_EQ(mv.pingPong, c.pingPong);
        EXPECT_EQ(mv.frameDuration, c.duration);
        EXPECT_EQ(mv.maxCropWidth, 30);
        EXPECT_EQ(mv.maxCropHeight, 20);
        EXPECT_EQ(localNames(mv.colorNames), (std::vector<std::string>{"100", "101"}));
        EXPECT_EQ(localNames(mv.maskNames), (std::vector<std::string>{"200", "201"}));
        ASSERT_EQ(mv.rects.top, 8);
        EXPECT_EQ(mv.rects.items[5], 0.5f);
        EXPECT_TRUE(mv.hasRects && mv.compiled && mv.saved);
        EXPECT_EQ(mv.keyed, c.keyed);
        EXPECT_EQ(mv.keyFrames.top, c.keyed ? 2 : 0);
        EXPECT_EQ(mv.package, &pkg);
    }
}

TEST(SMovieRecord, DamagedRecordsAreRefused) {
    auto with = [](auto change) {
        QmMovieRecord r = qmMovieFrames(2);
        change(r);
        return r.Bytes();
    };
    auto cut = [](std::vector<unsigned char> b, size_t drop) {
        b.resize(b.size() - drop);
        return b;
    };
    std::vector<unsigned char> good = qmMovieFrames(2).Bytes();
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {"unknown magic", with([](QmMovieRecord& r) { r.magic = "xs04"; })},
        {"empty entry", {}},
        {"cut inside the frame duration", QmBytes().Str("xs02").Byte(1).Byte(0).Int(0).bytes},
        {"cut inside the last name", cut(good, 6)},
        {"key frames cut", cut(with([](QmMovieRecord& r) { r.keyed = true, r.keyFrames = {0, 1, 2}; }), 4)},
        {"name count beyond the entry", QmBytes().Str("xs01").Int(0).Int(0).Int(0).Int(50000).Str("1").bytes},
        {"negative rectangle count", QmBytes().Str("xs01").Int(0).Int(0).Int(-3).Int(0).Int(0).bytes},
        {"name longer than the entry", QmBytes().Str("xs01").Int(0).Int(0).Int(0).Int(1).Int(999).Text("12").bytes},
        {"fewer masks than frames", with([](QmMovieRecord& r) { r.masks.pop_back(); })},
        {"frame duration not a number", with([](QmMovieRecord& r) { r.frameDuration = std::nan(""); })},
        {"negative frame duration", with([](QmMovieRecord& r) { r.frameDuration = -1; })},
        {"endless frame duration",
         with([](QmMovieRecord& r) { r.frameDuration = std::numeric_limits<double>::infinity(); })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SMovie mv;
        mv.loop = mv.pingPong = true;
        mv.frameDuration = 3.0;
        FXPackage pkg;
        std::string log = qmTraced([&] { EXPECT_FALSE(localLoad(&mv, &pkg, c.bytes)); });
        EXPECT_NE(log.find("movie entry 5"), std::string::npos) << log;
        EXPECT_EQ(mv.GetFrameCount(), 0);
        EXPECT_EQ(mv.rects.top, 0);
        EXPECT_EQ(mv.package, nullptr);
        EXPECT_TRUE(mv.loop && mv.pingPong);  // a refused record changes no setting
        EXPECT_EQ(mv.frameDuration, 3.0);
    }
}

TEST(SMovieRecord, RectanglesNotFourPerFrameLeaveTheMovieUncropped) {
    QmMovieRecord r = qmMovieFrames(2);
    r.rects = {-1, 1, 1, -1};
    SMovie mv;
    FXPackage pkg;
    std::string log = qmTraced([&] { ASSERT_TRUE(localLoad(&mv, &pkg, r.Bytes())); });
    EXPECT_FALSE(mv.hasRects);
    EXPECT_NE(log.find("4 crop values for 2 frames"), std::string::npos) << log;
}

TEST(SMovieRecord, LoadByNameAndMissingEntries) {
    FXPackage pkg;
    SMovie mv;
    ASSERT_TRUE(localLoad(&mv, &pkg, qmMovieFrames(3).Bytes()));
    EXPECT_FALSE(mv.LoadC(&pkg, "five"));  // not a number: the movie is left as it was
    EXPECT_EQ(mv.GetFrameCount(), 3);
    EXPECT_TRUE(mv.LoadC(&pkg, " 5 frames"));
    EXPECT_EQ(mv.GetFrameCount(), 3);
    EXPECT_FALSE(mv.LoadCN(&pkg, 6));
    EXPECT_EQ(mv.GetFrameCount(), 0);
    EXPECT_FALSE(mv.LoadCN(nullptr, 5));
}

TEST(SMovieRecord, PackagePicturesAreReferencedInPlace) {
    QmMovieRecord r;
    r.colours = {"100", "abc", "404"};
    r.masks = {"200", "200", ""};
    SMovie mv;
    FXPackage pkg;
    ASSERT_TRUE(localLoad(&mv, &pkg, r.Bytes()));
    std::string log = qmTraced([&] { mv.LoadIntoMem(); });
    EXPECT_TRUE(mv.inMemory);
    ASSERT_EQ(mv.colorData.top, 3);
    ASSERT_EQ(mv.maskData.top, 3);
    EXPECT_EQ(mv.colorData.Get(0), pkg.GetDataPtr(100)->start);
    EXPECT_EQ(mv.colorSizes.GetInt(0), 3);
    EXPECT_EQ(mv.maskData.Get(1), pkg.GetDataPtr(200)->start);
    EXPECT_EQ(mv.maskSizes.GetInt(1), 2);
    // A name that is not a number, or names no entry, gives no block.
    EXPECT_EQ(mv.colorData.Get(1), nullptr);
    EXPECT_EQ(mv.colorSizes.GetInt(1), 0);
    EXPECT_EQ(mv.colorData.Get(2), nullptr);
    EXPECT_EQ(mv.maskData.Get(2), nullptr);
    EXPECT_NE(log.find("colour picture 'abc' not found"), std::string::npos) << log;
    mv.LoadIntoMem();  // again: the package blocks are not freed, only forgotten
    EXPECT_EQ(mv.colorData.top, 3);
}

TEST(SMovieRecord, FileFormJoinsNamesAndReadsPictures) {
    std::string dir = qmTestPath("");
    std::string saved = fxGetActPath();
    ASSERT_TRUE(fxSetActPath(dir.c_str()));
    std::string cwd = fxGetActPath();
    qmWriteText(dir + "a.jpg", "AAAA");
    QmMovieRecord r;
    r.colours = {"a.jpg", "/elsewhere/b.jpg"};
    r.masks = {"sub/../a.jpg", ""};
    qmWriteFile(dir + "m.xs", r.Bytes());
    SMovie mv;
    bool loaded = mv.Load((dir + "m.xs").c_str());
    mv.LoadIntoMem();
    fxSetActPath(saved.c_str());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(localNames(mv.colorNames), (std::vector<std::string>{cwd + "a.jpg", "/elsewhere/b.jpg"}));
    EXPECT_EQ(localNames(mv.maskNames), (std::vector<std::string>{cwd + "a.jpg", ""}));
    EXPECT_EQ(mv.package, nullptr);
    ASSERT_EQ(mv.colorData.top, 2);
    EXPECT_EQ(mv.colorSizes.GetInt(0), 4);
    EXPECT_EQ(std::string(static_cast<const char*>(mv.colorData.Get(0)), 4), "AAAA");
    EXPECT_EQ(mv.colorData.Get(1), nullptr);
    EXPECT_EQ(mv.maskSizes.GetInt(0), 4);

    EXPECT_FALSE(mv.Load((dir + "missing.xs").c_str()));
    EXPECT_EQ(mv.GetFrameCount(), 0);
}
