// FX_ASSERT: a program's own definition takes the place of the engine's, and the handler the
// engine's assertions call is there in every build (this program links against it whether or not
// its assertions are on).
#include <string>
#include <vector>

namespace {
std::vector<std::string> localBroken;
}  // namespace

// Before any engine header, as a program that wants its own reports would do it. Only
// base/compiler.h is included after it: every file of a program must see the same definition.
#define FX_ASSERT(cond) ((cond) ? (void)0 : localBroken.push_back(#cond))
#include "base/compiler.h"

#include <gtest/gtest.h>

namespace {

int localFirst(const std::vector<int>& v) {
    FX_ASSERT(!v.empty() && "a list with an item");
    return v.empty() ? -1 : v[0];
}

}  // namespace

TEST(Assert, AProgramsOwnDefinitionIsUsed) {
    EXPECT_EQ(localFirst({4}), 4);
    EXPECT_TRUE(localBroken.empty());
    EXPECT_EQ(localFirst({}), -1);
    ASSERT_EQ(localBroken.size(), 1u);
    EXPECT_NE(localBroken[0].find("a list with an item"), std::string::npos) << localBroken[0];
}

TEST(Assert, TheFailureHandlerExistsInEveryBuildAndStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(fxAssertFailed("the promise", "here.cpp", 7), "assertion failed: the promise \\(here.cpp:7\\)");
}
