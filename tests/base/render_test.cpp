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

TEST(RenderInterfaces, GlobalEnvironmentIsSetOnce) {
    EXPECT_EQ(fxglobalEnv, nullptr);
    RecordingEnv env;
    fxSetEnv(&env);
    EXPECT_EQ(fxglobalEnv, &env);
    fxglobalEnv->Clrscr(false, true, false);
    EXPECT_EQ(env.calls.back(), "Clrscr(0,1,0)");
    fxSetEnv(nullptr);
}
