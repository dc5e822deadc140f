// The Wayland connection inside the headless sway rig: the outputs with their names and sizes,
// what the compositor lacks, the dispatch's timeout and wake-up, and the compositor's death
// reported as a loss.
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/wayland_display.h"
#include "wayland/sway_rig_wayland.h"

namespace {

double localSecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

TEST(WaylandConnection, ListsEveryOutputWithItsNameSizeAndPosition) {
    QM_REQUIRE_SWAY();
    FXWaylandDisplay wl;
    ASSERT_TRUE(wl.Connect());
    std::vector<QmSwayOutput> want = qmSwayOutputs();
    ASSERT_EQ(wl.outputs.size(), want.size());
    for (const QmSwayOutput& o : want) {
        FXWaylandOutput* out = wl.FindOutput(o.name);
        ASSERT_NE(out, nullptr) << o.name;
        EXPECT_TRUE(out->described);
        EXPECT_EQ(out->width * 10000 + out->height, o.width * 10000 + o.height) << o.name;
        EXPECT_EQ(out->x * 10000 + out->y, o.x * 10000 + o.y) << o.name;
        EXPECT_EQ(out->scale, 1);
        EXPECT_EQ(out->transform, 0);
    }
    // What sway 1.7 offers: everything the saver uses but the newer idle protocol, which the
    // older one stands in for.
    EXPECT_EQ(wl.MissingGlobals(), "");
    EXPECT_NE(wl.layerShell, nullptr);
    EXPECT_NE(wl.screencopy, nullptr);
    EXPECT_NE(wl.kdeIdle, nullptr);
    wl.Disconnect();
    wl.Disconnect();  // twice is harmless
    EXPECT_TRUE(wl.outputs.empty());
}

TEST(WaylandConnection, NoCompositorIsAnAnswer) {
    FXWaylandDisplay wl;
    EXPECT_FALSE(wl.Connect("qm-no-such-compositor"));
    EXPECT_EQ(wl.Dispatch(0), -1);
    EXPECT_FALSE(wl.Roundtrip());
}

TEST(WaylandConnection, DispatchWaitsItsTimeAndWakesFromAnotherThread) {
    QM_REQUIRE_SWAY();
    FXWaylandDisplay wl;
    ASSERT_TRUE(wl.Connect());
    while (wl.Dispatch(0) > 0) {
    }
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(wl.Dispatch(200), 0);
    EXPECT_GE(localSecondsSince(t0), 0.15);

    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        wl.Wake();
    });
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(wl.Dispatch(20000), 1);
    EXPECT_LT(localSecondsSince(t0), 10.0) << "the wake-up did not end the wait";
    waker.join();
}

TEST(WaylandConnection, KillingTheCompositorIsReportedAsALossNotAHang) {
    QM_REQUIRE_SWAY();
    const char* pid = getenv("QM_SWAY_PID");
    ASSERT_NE(pid, nullptr);
    FXWaylandDisplay wl;
    ASSERT_TRUE(wl.Connect());
    ASSERT_EQ(kill(pid_t(atoi(pid)), SIGKILL), 0);
    auto t0 = std::chrono::steady_clock::now();
    int r = 0;
    while (r >= 0 && localSecondsSince(t0) < 20.0) r = wl.Dispatch(1000);
    EXPECT_EQ(r, -1);
    EXPECT_TRUE(wl.Lost());
    EXPECT_FALSE(wl.Roundtrip());
    wl.Disconnect();  // no call on the dead connection blocks
}
