// Binding DevIL at run time: trace lines, missing libraries or entry points, and every picture
// operation failing safely while the decoder is not bound.
#include <gtest/gtest.h>

#include <cstring>

#include "base/package.h"
#include "base/trace.h"
#include "image/devil.h"
#include "image_test_util.h"

namespace {

using Lines = std::vector<std::string>;

// Runs fn with the trace log open and returns its messages.
template <typename F>
Lines localTraced(const char* name, F fn) {
    std::string path = qmTestPath(name);
    EXPECT_TRUE(fxOpenTraces(path.c_str()));
    fn();
    fxCloseTraces();
    return qmiTraceMessages(path);
}

bool localAllNull() {
    FXDevilImports none;
    memset(&none, 0, sizeof(none));
    return memcmp(&fxil, &none, sizeof(none)) == 0;
}

}  // namespace

TEST(Devil, BindsAndUnbindsWithItsTraceLines) {
    fxUnloadDevil();
    Lines lines = localTraced("image_devil_ok.log", [] {
        EXPECT_TRUE(fxLoadDevil());
        EXPECT_TRUE(fxDevilLoaded());
        EXPECT_TRUE(fxLoadDevil());  // already bound: nothing more
        fxUnloadDevil();
    });
    EXPECT_EQ(lines, (Lines{"loading devil\n", "loading ok\n", "unload devil\n"}));
    EXPECT_FALSE(fxDevilLoaded());
    EXPECT_TRUE(localAllNull());
    // Binding again after an unload works (the decoder is initialised afresh).
    ASSERT_TRUE(fxLoadDevil());
    FXCanvas c;
    qmiFill(&c, 2, 2, [](int, int) { return qmiRgba(1, 2, 3, 255); });
    EXPECT_TRUE(c.SaveToPict2(qmTestPath("image_rebind.png").c_str(), 0, 0, 2, 2));
}

TEST(Devil, MissingLibrariesAndEntryPointsFailTheBinding) {
    fxUnloadDevil();
    fxSetDevilLibraryNames("libqm-no-such-devil.so.1", nullptr);
    Lines lines = localTraced("image_devil_missing.log", [] { EXPECT_FALSE(fxLoadDevil()); });
    EXPECT_EQ(lines, (Lines{"loading devil\n", "E:failed to load devil.dll\n", "E:failed to load devil libraries\n",
                            "unload devil\n"}));
    EXPECT_TRUE(localAllNull());

    fxSetDevilLibraryNames(nullptr, "libqm-no-such-ilu.so.1");
    lines = localTraced("image_devil_noilu.log", [] { EXPECT_FALSE(fxLoadDevil()); });
    EXPECT_EQ(lines, (Lines{"loading devil\n", "E:failed to load ilu.dll\n", "E:failed to load devil libraries\n",
                            "unload devil\n"}));

    // Both names load, but the second library lacks the two ILU entry points.
    fxSetDevilLibraryNames(nullptr, fxDevilPlatformName());
    lines = localTraced("image_devil_noentry.log", [] { EXPECT_FALSE(fxLoadDevil()); });
    EXPECT_EQ(lines, (Lines{"loading devil\n", "E:failed to load devil libraries\n", "unload devil\n"}));
    EXPECT_FALSE(fxDevilLoaded());
    EXPECT_TRUE(localAllNull());
    fxSetDevilLibraryNames(nullptr, nullptr);
}

TEST(Devil, EveryPictureOperationFailsWhileUnbound) {
    // Real picture data to offer: a PNG written while DevIL is bound.
    fxSetDevilLibraryNames(nullptr, nullptr);
    ASSERT_TRUE(fxLoadDevil());
    std::string file = qmTestPath("image_unbound_src.png");
    FXCanvas src;
    qmiFill(&src, 4, 4, [](int x, int y) { return qmiRgba(x * 60, y * 60, 9, 255); });
    ASSERT_TRUE(src.SaveToPict2(file.c_str(), 0, 0, 4, 4));
    FXPackage pkg;
    std::vector<unsigned char> bytes = qmiPackage({{3, FX_PACKAGE_TYPE_PNG, qmReadFile(file)}});
    pkg.LoadFromMemory(bytes.data(), long(bytes.size()));

    fxSetDevilLibraryNames("libqm-no-such-devil.so.1", nullptr);
    fxUnloadDevil();
    EXPECT_FALSE(fxLoadDevil());
    FXCanvas c;
    qmiFill(&c, 4, 4, [](int, int) { return qmiRgba(7, 7, 7, 255); });
    c.transMode = false;
    std::string out = qmTestPath("image_unbound_out.png");
    remove(out.c_str());
    EXPECT_FALSE(c.CreateFromPict(file.c_str()));
    EXPECT_FALSE(c.transMode);
    EXPECT_FALSE(c.CreateFromPictCN(&pkg, 3));
    EXPECT_FALSE(c.CreateFromPictC(&pkg, "3"));
    EXPECT_FALSE(c.LoadMask(file.c_str()));
    EXPECT_FALSE(c.LoadMaskCN(&pkg, 3));
    c.SetJpegQuality(50);
    EXPECT_FALSE(c.SaveToPict(out.c_str()));
    EXPECT_FALSE(c.SaveToPict1(out.c_str(), 0, 0, 2, 2));
    EXPECT_FALSE(c.SaveToPict2(out.c_str(), 0, 0, 2, 2));
    EXPECT_FALSE(c.SaveToMask(out.c_str()));
    EXPECT_FALSE(c.SaveToMask1(out.c_str(), 0, 0, 2, 2));
    EXPECT_TRUE(qmReadFile(out).empty());
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(qmiPixel(c, x, y), qmiRgba(7, 7, 7, 255));
    EXPECT_EQ(c.GetWidth(), 4);
    EXPECT_TRUE(c.opaque);
    fxSetDevilLibraryNames(nullptr, nullptr);
}
