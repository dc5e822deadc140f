// Idle time inside the headless sway rig: the compositor reports two seconds without input
// through org_kde_kwin_idle (sway 1.7 has no ext_idle_notifier_v1), without polling.
#include <chrono>

#include "base/wayland_display.h"
#include "saver/wayland_idle.h"
#include "wayland/sway_rig_wayland.h"

TEST(WaylandIdle, TwoSecondsWithoutInputAreReported) {
    QM_REQUIRE_SWAY();
    FXWaylandDisplay wl;
    ASSERT_TRUE(wl.Connect());
    QmWaylandIdle idle;
    ASSERT_TRUE(idle.Start(&wl, 2000));
    EXPECT_STREQ(idle.Protocol(), wl.idleNotifier ? "ext_idle_notifier_v1" : "org_kde_kwin_idle");
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(idle.Wait(true, 30000), 1);
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(waited, 1.5);
    EXPECT_LT(waited, 20.0);  // a generous bound: only a hang fails it
    EXPECT_TRUE(idle.idle);
    EXPECT_EQ(idle.idledCount, 1);

    // A stop request ends the wait for the resume at once.
    std::atomic<bool> stop{true};
    EXPECT_EQ(idle.Wait(false, 30000, &stop), 0);
    idle.Stop();
    EXPECT_STREQ(idle.Protocol(), "");
}
