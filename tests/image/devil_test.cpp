// Binding DevIL at run time: trace lines, missing libraries or entry points, and every picture
// operation failing safely while the decoder is not bound.
#include <gtest/gtest.h>

#include <cstring>

#include "base/package.h"
#include "base/trace.h"
#include "image_test_util.h"

namespace {

using Lines = std::vector<std::string>;

// Unbinds, then binds with the given library names while the trace log is open; returns the
// log's messages.
Lines localBind(const char* devil, const char* ilu, bool expect) {
    std::string path = qmTestPath("image_devil.log");
    fxUnloadDevil();
    fxSetDevilLibraryNames(devil, ilu);
    EXPECT_TRUE(fxOpenTraces(path.c_str()));
    EXPECT_EQ(fxLoadDevil(), expect);
    EXPECT_EQ(fxDevilLoaded(), expect);
    fxCloseTraces();
    FXDevilImports none;
    memset(&none, 0, sizeof(none));
    EXPECT_EQ(memcmp(&fxil, &none, sizeof(none)) == 0, !expect);
    return qmiTraceMessages(path);
}

}  // namespace

TEST(Devil, BindingTracesAndFailures) {
    const char* missing = "libqm-no-such-library.so.1";
    EXPECT_EQ(localBind(nullptr, nullptr, true), (Lines{"loading devil\n", "loading ok\n"}));
    EXPECT_TRUE(fxLoadDevil());  // already bound: nothing changes
    const std::string failed = "E:failed to load devil libraries\n";
    EXPECT_EQ(localBind(missing, nullptr, false),
              (Lines{"loading devil\n", "E:failed to load devil.dll\n", failed, "unload devil\n"}));
    EXPECT_EQ(localBind(nullptr, missing, false),
              (Lines{"loading devil\n", "E:failed to load ilu.dll\n", failed, "unload devil\n"}));
    // Both load, but the second library lacks the ILU entry points: no message of its own.
    EXPECT_EQ(localBind(nullptr, fxDevilPlatformName(), false), (Lines{"loading devil\n", failed, "unload devil\n"}));
    // Binding again after failures and unloads works.
    localBind(nullptr, nullptr, true);
    FXCanvas c;
    qmiFill(&c, 2, 2, [](int, int) { return qmiRgba(1, 2, 3, 255); });
    EXPECT_TRUE(c.SaveToPict2(qmTestPath("image_rebind.png").c_str(), 0, 0, 2, 2));
}

TEST(Devil, EveryPictureOperationFailsWhileUnbound) {
    localBind(nullptr, nullptr, true);
    std::string file = qmTestPath("image_unbound_src.png");
    FXCanvas c;
    qmiFill(&c, 4, 4, [](int x, int y) { return qmiRgba(x * 60, y * 60, 9, 255); });
    ASSERT_TRUE(c.SaveToPict2(file.c_str(), 0, 0, 4, 4));
    FXPackage pkg;
    std::vector<unsigned char> bytes = qmiPackage({{3, FX_PACKAGE_TYPE_PNG, qmReadFile(file)}});
    pkg.LoadFromMemory(bytes.data(), long(bytes.size()));

    localBind("libqm-no-such-library.so.1", nullptr, false);
    qmiFill(&c, 4, 4, [](int, int) { return qmiRgba(7, 7, 7, 255); });
    std::string out = qmTestPath("image_unbound_out.png");
    remove(out.c_str());
    EXPECT_FALSE(c.CreateFromPict(file.c_str()));
    EXPECT_FALSE(c.CreateFromPictCN(&pkg, 3));
    EXPECT_FALSE(c.LoadMask(file.c_str()));
    EXPECT_FALSE(c.LoadMaskCN(&pkg, 3));
    c.SetJpegQuality(50);
    EXPECT_FALSE(c.SaveToPict(out.c_str()));
    EXPECT_FALSE(c.SaveToPict2(out.c_str(), 0, 0, 2, 2));
    EXPECT_FALSE(c.SaveToMask(out.c_str()));
    EXPECT_TRUE(qmReadFile(out).empty());
    EXPECT_FALSE(c.transMode);
    int changed = 0;
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) changed += qmiPixel(c, x, y) != qmiRgba(7, 7, 7, 255);
    EXPECT_EQ(changed, 0);
    fxSetDevilLibraryNames(nullptr, nullptr);
}
