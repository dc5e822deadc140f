#include "anim/beziergraph.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "base/binio.h"
#include "base/package.h"
#include "support/test_support.h"

namespace {

using Keys = std::vector<std::pair<int, int>>;

void SetKeys(FXBezierGraph* g, int resX, const Keys& keys) {
    g->resX = resX;
    g->keyX.RemoveAll();
    g->keyY.RemoveAll();
    for (auto& k : keys) {
        g->keyX.PushInt(k.first);
        g->keyY.PushInt(k.second);
    }
}

Keys KeysOf(const FXBezierGraph& g) {
    Keys out;
    for (int i = 0; i < g.keyX.top; i++) out.push_back({g.keyX.GetInt(i), g.keyY.GetInt(i)});
    return out;
}

std::vector<unsigned char> Record(std::vector<int> xs, std::vector<int> ys, int samples = 8) {
    std::vector<int> ints = {11, 500, int(xs.size())};
    ints.insert(ints.end(), xs.begin(), xs.end());
    ints.push_back(int(ys.size()));
    ints.insert(ints.end(), ys.begin(), ys.end());
    std::vector<unsigned char> b(ints.size() * 4 + 10);
    for (size_t i = 0; i < ints.size(); i++) fxPutI32(&b[i * 4], ints[i]);
    size_t at = ints.size() * 4;
    b[at] = 1;
    b[at + 1] = 2;  // not 1: false
    fxPutF32(&b[at + 2], 0.5f);
    fxPutI32(&b[at + 6], samples);
    return b;
}

}  // namespace

TEST(FXBezierGraph, LinearPointsTableAndReadingBack) {
    FXBezierGraph g;
    EXPECT_EQ(g.ComputePointLinear(3, 100), 0);
    EXPECT_EQ(g.GetFromSpline(3), 0);
    SetKeys(&g, 11, {{0, 0}, {10, 1000}});
    EXPECT_EQ(g.ComputePointLinear(5, 100), 50);
    EXPECT_EQ(g.ComputePointLinear(4.5f, 100), 45);
    g.ComputeSplineLinear(100, 1000);
    ASSERT_EQ(g.GetSplineResX(), 100);
    EXPECT_EQ(g.GetFromSpline(50), 500);
    EXPECT_NEAR(g.GetFromSpline(99), 990, 1);
    EXPECT_FLOAT_EQ(g.GetFromSpline1(5), 0.5f);
    g.resX = 1;  // no frame axis: column 0
    EXPECT_FLOAT_EQ(g.GetFromSpline1(7), 0.0f);

    SetKeys(&g, 11, {{0, 500}, {10, 1000}});
    EXPECT_EQ(g.ComputePointLinear(-3, 1000), 500);
    EXPECT_EQ(g.ComputePointLinear(10.5f, 1000), 1000);
    g.resY = 0;
    EXPECT_EQ(g.ComputePointLinear(5, 1000), 0);
}

TEST(FXBezierGraph, BezierTables) {
    // Steep keys swing the control arms far out: still only values from 1 to outScale.
    FXBezierGraph g;
    SetKeys(&g, 11, {{0, 0}, {3, 1000}, {6, 0}, {8, 900}, {10, 1200}});
    g.ComputeSplineBezier(200, 1000);
    ASSERT_EQ(g.GetSplineResX(), 200);
    int reached = 0;
    for (int i = 0; i < 200; i++) {
        int v = g.table.GetInt(i);
        if (v == 0) continue;  // not reached: keeps its old value
        reached++;
        EXPECT_TRUE(v >= 1 && v <= 1000) << i << ": " << v;
    }
    EXPECT_GT(reached, 180);

    SetKeys(&g, 11, {{0, 0}, {5, 500}, {10, 1000}});
    g.ComputeSplineBezier(100, 100);
    EXPECT_EQ(g.table.GetInt(0), 1);
    EXPECT_EQ(g.table.GetInt(50), 50);
    EXPECT_GT(g.table.GetInt(30), 30);  // level tangent at the inner key
    for (int i = 1; i < 100; i++) EXPECT_GE(g.table.GetInt(i), g.table.GetInt(i - 1)) << i;

    SetKeys(&g, 11, {{0, 0}, {10, 1000}});  // two keys: the linear table
    g.ComputeSplineBezier(10, 100);
    EXPECT_EQ(g.table.GetInt(5), 50);
    g.SetSplineLn(6, 20, 6, 60);  // vertical: the larger value stays
    EXPECT_EQ(g.table.GetInt(6), 60);
    g.SetSplineLn(-1000000000, 500, 1000000000, 500);  // clipped to the table, clamped to outScale
    for (int i = 0; i < 10; i++) EXPECT_EQ(g.table.GetInt(i), 100);
    // The widest line damaged keys can produce: its slope product needs all 64 bits unsigned.
    g.outScale = INT_MAX;
    g.SetSplineLn(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    for (int i = 1; i < 10; i++) EXPECT_EQ(g.table.GetInt(i), i);
    g.SetSplineLn(INT_MIN, INT_MAX, INT_MAX, INT_MIN);
    for (int i = 0; i < 10; i++) EXPECT_EQ(g.table.GetInt(i), 1);  // falls through -1 - x
}

TEST(FXBezierGraph, Editing) {
    FXBezierGraph g;
    SetKeys(&g, 12, {{2, 100}, {6, 200}, {10, 300}});
    EXPECT_EQ(g.FindNearest(4), 0);  // equally close: the first
    EXPECT_EQ(g.InsertFramePos(6), -1);
    EXPECT_EQ(g.InsertFramePos(4), 1);
    EXPECT_EQ(g.MoveFramePos(8, 2), 2);
    EXPECT_EQ(KeysOf(g), (Keys{{4, 0}, {6, 200}, {8, 100}, {10, 300}}));
    EXPECT_EQ(g.MoveFramePos(6, 4), -1);
    g.MoveFrame(0, 99);  // outside the range: the last key
    EXPECT_EQ(KeysOf(g)[0], (std::pair<int, int>{10, 300}));

    SetKeys(&g, 8, {{2, 100}, {3, 200}, {5, 300}});
    g.InsertResolutionPoint(3);
    EXPECT_EQ(KeysOf(g), (Keys{{2, 100}, {4, 200}, {6, 300}}));
    g.DeleteResolutionPoint(4);
    g.DeleteResolutionPoint(3);  // lands on its left neighbour: the left key stays
    EXPECT_EQ(g.resX, 7);
    EXPECT_EQ(KeysOf(g), (Keys{{2, 100}, {4, 300}}));
}

TEST(FXBezierGraph, Records) {
    FXBezierGraph g;
    SetKeys(&g, 31, {{0, 5}, {12, -3}, {30, 250}});
    g.storedFlag2 = true;
    g.tension = 0.45f;
    std::string path = qmTestPath("graph.bin");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f && g.Save(f));
    fclose(f);
    FXBezierGraph h;
    f = fopen(path.c_str(), "rb");
    ASSERT_TRUE(f && h.Load(f));
    fclose(f);
    EXPECT_EQ(KeysOf(h), KeysOf(g));
    EXPECT_TRUE(h.resX == 31 && h.storedFlag2 && !h.storedFlag1 && h.tension == 0.45f);
    std::vector<unsigned char> cut = qmReadFile(path);
    cut.pop_back();
    qmWriteFile(path, cut);
    f = fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    EXPECT_FALSE(h.Load(f));
    fclose(f);
    EXPECT_EQ(h.GetKeyCount(), 0);

    std::vector<unsigned char> r = Record({0, 4, 10}, {0, 250, 500});
    FXPackageData d;
    d.InitData(r.data(), int(r.size()));
    ASSERT_TRUE(g.LoadC(nullptr, &d));
    EXPECT_EQ(KeysOf(g), (Keys{{0, 0}, {4, 250}, {10, 500}}));
    EXPECT_TRUE(g.storedFlag1 && !g.storedFlag2);
    EXPECT_EQ(g.samplesPerSegment, 8);
    EXPECT_EQ(d.remaining, 0);

    // Uneven key arrays, short records and absurd sample counts are refused.
    std::vector<std::vector<unsigned char>> bad = {Record({0, 4, 10}, {0, 250}), Record({0}, {0}, 1 << 30),
                                                   std::vector<unsigned char>(r.begin(), r.end() - 1),
                                                   std::vector<unsigned char>(r.begin(), r.begin() + 20)};
    for (auto& b : bad) {
        d.InitData(b.data(), int(b.size()));
        EXPECT_FALSE(g.LoadC(nullptr, &d));
        EXPECT_EQ(g.GetKeyCount(), 0);
    }
}
