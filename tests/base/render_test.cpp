#include "render/render.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_env.h"

TEST(RenderInterfaces, AutoActLocksThenActivatesAndUndoesInReverse) {
    RecordingEnv env;
    {
        FXGRAutoAct act(&env);
        env.calls.push_back("work");
    }
    std::vector<std::string> want = {"Lock(1)", "SetAct(1)", "work", "SetAct(0)", "Lock(0)"};
    EXPECT_EQ(env.calls, want);
    FXGRAutoAct none(nullptr);  // no environment: nothing to do
}
