// FXAnim authoring: moving frames, unitizing every frame by one reference box, and the package
// compile step.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "anim/anim.h"
#include "anim_test_util.h"
#include "image/matlib.h"

TEST(FXAnimEdit, MoveFrameTakesModelNameAndDurationAlong) {
    struct Case {
        int to, from;
        std::vector<int> order;  // frames by their old index afterwards
    } cases[] = {
        {0, 2, {2, 0, 1, 3}}, {3, 1, {0, 2, 3, 1}}, {-1, 0, {1, 2, 3, 0}},  // outside: the last frame
        {1, 9, {0, 3, 1, 2}}, {2, 2, {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        FXAnim a;
        qmBuildAnim(&a, {10, 11, 12, 13});
        std::vector<FXModel*> before;
        for (int i = 0; i < 4; i++) before.push_back(a.GetModel(i));
        a.MoveFrame(c.to, c.from);
        for (int i = 0; i < 4; i++) {
            const int old = c.order[size_t(i)];
            EXPECT_EQ(a.GetModel(i), before[size_t(old)]) << c.to << "<-" << c.from << " at " << i;
            EXPECT_EQ(a.durations.GetInt(i), 10 + old);
            EXPECT_EQ(std::string(a.frameNames.Get(i)), "f" + std::to_string(old));
        }
    }
    FXAnim empty;
    empty.MoveFrame(0, 1);  // nothing to move
}

TEST(FXAnimEdit, OneReferenceBoxForEveryFrame) {
    FXAnim a;
    qmBuildAnim(&a, {100, 100, 100});
    float box[6], after[6];
    a.GetModel(1)->FindMaxims(box);
    const float x0 = a.GetModel(2)->EnumMeshes(0)->vertices[1].pos[0];
    a.Unitize(1);
    // Frame 2 moved and scaled exactly as frame 1 did.
    const float extent = std::max(std::max(box[1] - box[0], box[3] - box[2]), box[5] - box[4]);
    EXPECT_NEAR(a.GetModel(2)->EnumMeshes(0)->vertices[1].pos[0], (x0 - (box[0] + box[1]) / 2) * 2 / extent, 1e-5f);

    a.UnitizeStretch1HalfHoriz(0);  // the box widened to twice its width: frame 0 fills the left half
    a.GetModel(0)->FindMaxims(after);
    const float want[4] = {-1, 0, -1, 1};
    for (int k = 0; k < 4; k++) EXPECT_NEAR(after[k], want[k], 1e-5f) << k;
    a.Unitize(5);  // no such frame: nothing changes
    a.GetModel(0)->FindMaxims(box);
    EXPECT_EQ(0, memcmp(box, after, sizeof box));
}

TEST(FXAnimEdit, CompileRegistersTheSharedLibraryOnce) {
    FXMatlib lib;  // lent by nobody (it outlives the frames, which only count their references)
    lib.name.Set("skin");
    FXAnim a;
    qmBuildAnim(&a, {100, 100, 100});
    EXPECT_FALSE(a.Compile(nullptr));
    for (int i = 0; i < 3; i++) a.GetModel(i)->matlib.Share(nullptr, &lib);
    FXPackage pkg;
    pkg.sourceDir.Set(qmTestPath("").c_str());
    ASSERT_TRUE(a.Compile(&pkg));
    EXPECT_EQ(pkg.tmpFiles.top, 1);
    EXPECT_EQ(pkg.pendingPaths.top, 1);
    for (int i = 0; i < 3; i++) EXPECT_STREQ(a.GetModel(i)->matlibName, a.GetModel(0)->matlibName);
    int id;
    EXPECT_TRUE(fxParseEntryName(a.GetModel(0)->matlibName, &id));
    pkg.DeleteTmpFiles();
}
