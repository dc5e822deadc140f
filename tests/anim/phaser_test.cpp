#include "anim/phaser.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/binio.h"
#include "base/package.h"
#include "support/test_support.h"

namespace {

FXPhaser Started(double period, double at) {
    FXPhaser p;
    p.period = period;
    p.Restart(at);
    return p;
}

}  // namespace

TEST(FXPhaser, PeriodEndsLatenessAndBackwardsClock) {
    FXPhaser p = Started(2.0, 10.0);
    p.OnRender(nullptr, 11.0);
    EXPECT_FLOAT_EQ(p.phase, 0.5f);
    p.OnRender(nullptr, 12.0);  // exactly one period
    EXPECT_TRUE(p.wrapped);
    EXPECT_EQ(p.phase, 0.0f);
    p.OnRender(nullptr, 15.0);  // 1.5 periods late: one period consumed
    EXPECT_EQ(p.periodStart, 14.0);
    EXPECT_FLOAT_EQ(p.phase, 0.5f);
    p.OnRender(nullptr, 18.5);  // more than two periods late: resynchronised
    EXPECT_EQ(p.periodStart, 18.5);
    EXPECT_EQ(p.phase, 0.0f);
    p.OnRender(nullptr, 17.0);  // backwards
    EXPECT_EQ(p.phase, 0.0f);

    FXPhaser edge = Started(2.0, 0.0);
    edge.OnRender(nullptr, 4.0);  // exactly two periods late is not more than two
    EXPECT_EQ(edge.periodStart, 2.0);
    EXPECT_EQ(edge.phase, 1.0f);
    // The lateness is compared in single precision: a hair over two periods rounds to exactly
    // two, so the phaser still steps on by one period instead of resynchronising.
    FXPhaser hair = Started(1.0, 0.0);
    hair.OnRender(nullptr, 2.0 + 1e-9);
    EXPECT_EQ(hair.periodStart, 1.0);
    EXPECT_EQ(hair.phase, 1.0f);
}

TEST(FXPhaser, OneRunEndsOnExactValues) {
    FXPhaser up = Started(1.0, 0.0);
    up.loop = false;
    up.smooth = true;
    up.OnRender(nullptr, 1.3);
    up.OnRender(nullptr, 5.0);
    EXPECT_FALSE(up.running);
    EXPECT_EQ(up.phase, 1.0f);

    FXPhaser down = Started(1.0, 0.0);
    down.loop = false;
    down.reversed = true;
    down.halfSmooth = true;
    down.OnRender(nullptr, 1.0);
    EXPECT_EQ(down.phase, 0.0f);
    down.Restart(3.0);  // forwards again, halfSmooth
    down.OnRender(nullptr, 3.25);
    EXPECT_FLOAT_EQ(down.phase, (0.25f + 0.15625f) * 0.5f);
}

TEST(FXPhaser, PingPongMirrorsTheEasedSweep) {
    FXPhaser p = Started(1.0, 0.0);
    p.pingPong = true;
    p.smooth = true;
    std::vector<float> rise;
    for (double t : {0.1, 0.3}) {
        p.OnRender(nullptr, t);
        rise.push_back(p.phase);
    }
    EXPECT_NEAR(rise[1], 3 * 0.09f - 2 * 0.027f, 1e-6f);
    p.OnRender(nullptr, 1.0);
    EXPECT_EQ(p.phase, 1.0f);
    for (int i : {0, 1}) {
        p.OnRender(nullptr, i ? 1.3 : 1.1);
        EXPECT_NEAR(p.phase, 1 - rise[i], 1e-6f);
    }
}

TEST(FXPhaser, EasingPrecedence) {
    FXPhaser p = Started(2.0, 0.0);
    p.smooth = true;
    p.cubicStart = true;
    p.nextPeriod = 4.0;
    p.OnRender(nullptr, 0.5);
    EXPECT_NEAR(p.phase, 0.15625f, 1e-6f);  // smoothstep(0.25), not 0.25^3
    p.OnRender(nullptr, 2.0);
    EXPECT_EQ(p.period, 4.0);
    EXPECT_EQ(p.periodStart, 4.0);  // advanced by the new period

    FXPhaser c = Started(2.0, 0.0);
    c.cubicStart = true;
    c.nextPeriod = 1.0;
    c.OnRender(nullptr, 1.0);
    EXPECT_FLOAT_EQ(c.phase, 0.125f);

    FXPhaser s = Started(1.0, 0.0);
    s.snapStart = true;
    s.OnRender(nullptr, 0.01);
    EXPECT_NEAR(s.phase, 0.048f, 0.003f);  // steep start
    s.OnRender(nullptr, 0.6);
    EXPECT_FLOAT_EQ(s.phase, 0.6f);
}

TEST(FXPhaser, GetOnOffAndUnusablePeriods) {
    FXPhaser p;
    for (auto c : {std::pair<float, float>{0.2f, 1}, {0.3f, 0.5f}, {0.4f, 0}}) {
        p.phase = c.first;
        EXPECT_NEAR(p.GetOnOff(0.2f, 0.4f), c.second, 1e-6f);
    }
    for (double period : {0.0, -1.0}) {
        FXPhaser z = Started(period, 0.0);
        z.pingPong = true;
        for (double t : {0.0, 0.5, 7.0}) {
            z.OnRender(nullptr, t);
            EXPECT_EQ(z.phase, 0.0f);
        }
    }
}

TEST(FXPhaser1, AutoRestartAfterTheBackwardSweep) {
    FXPhaser1 p;
    p.pingPong = true;
    p.autoRestart = true;
    p.restartInterval = 3.0;
    p.Restart(0.0);
    p.OnRender(nullptr, 1.0);
    p.OnRender(nullptr, 1.5);  // the backward sweep is the last one
    EXPECT_FALSE(p.loop);
    EXPECT_FLOAT_EQ(p.phase, 0.5f);
    p.OnRender(nullptr, 2.0);
    p.OnRender(nullptr, 4.9);  // resting at 0
    EXPECT_FALSE(p.running);
    EXPECT_EQ(p.phase, 0.0f);
    p.OnRender(nullptr, p.periodStart + 3.0);
    EXPECT_TRUE(p.running && p.loop && !p.reversed);
    p.OnRender(nullptr, p.periodStart + 0.25);
    EXPECT_FLOAT_EQ(p.phase, 0.25f);
}

TEST(FXPhaser, Record) {
    FXPhaser p;
    p.phase = 0.25f;
    p.period = 3.5;
    p.running = false;
    p.pingPong = true;
    std::string path = qmTestPath("phaser.bin");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f && p.Save(f));
    fclose(f);
    std::vector<unsigned char> bytes = qmReadFile(path);
    ASSERT_EQ(bytes.size(), 18u);
    EXPECT_EQ(fxGetF64(bytes.data() + 4), 3.5);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 12, bytes.end()),
              (std::vector<unsigned char>{0, 0, 1, 1, 0, 0}));
    FXPhaser q;
    f = fopen(path.c_str(), "rb");
    ASSERT_TRUE(f && q.Load(f));
    fclose(f);
    EXPECT_EQ(q.phase, 0.25f);
    EXPECT_TRUE(!q.running && q.loop && q.pingPong);

    bytes[12] = 1;
    bytes[13] = 2;  // not 1: false
    FXPackageData d;
    d.InitData(bytes.data(), 18);
    FXPhaser r;
    EXPECT_TRUE(r.LoadC(nullptr, &d));
    EXPECT_TRUE(r.running && !r.reversed);
    EXPECT_EQ(r.period, 3.5);
    d.InitData(bytes.data(), 17);  // short: nothing changes
    FXPhaser s;
    EXPECT_FALSE(s.LoadC(nullptr, &d));
    EXPECT_EQ(s.period, 1.0);
}
