// FXAnimSplines against FXBezierSpline itself: random keys (with coinciding and NaN keys among
// them), every key count up to seven, open and closed, curved and straight, every pair including
// -1 and pairs outside the keys, evaluated bit for bit at parameters inside and outside [0, 1].
#include "anim/anim_splines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "anim/bezier.h"
#include "anim/bezierspline.h"
#include "geometry/geometry_test_util.h"
#include "geometry/model.h"

namespace {

bool SameFloats(const float* a, const float* b) {
    for (int k = 0; k < 3; k++)
        if (!(std::isnan(a[k]) && std::isnan(b[k])) && memcmp(&a[k], &b[k], 4) != 0) return false;
    return true;
}

}  // namespace

TEST(FXAnimSplines, SameCurvesAsBezierSplines) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> coord(-3.0f, 3.0f);
    const int vertices = 60;
    // The targets: two meshes with a missing one between them; normals must stay untouched.
    FXModel target;
    for (int count : {20, 0, 40}) {
        FXMesh* m = count ? new FXMesh : nullptr;
        if (m) qmFillMesh(m, std::vector<tagFXVertex>(size_t(count), qmVertex({-7, -7, -7}, {-9, -9, -9})), {});
        target.meshes.Push(m);
    }
    auto at = [&](int v) { return &target.EnumMeshes(v < 20 ? 0 : 2)->vertices[v < 20 ? v : v - 20]; };
    for (int n = 1; n <= 7; n++) {
        for (float tension : {1.0f, 0.35f, 0.0f}) {
            FXAnimSplines s;
            ASSERT_TRUE(s.Create(vertices, n, tension));
            std::vector<std::unique_ptr<FXBezierSpline>> refs;
            for (int v = 0; v < vertices; v++) {
                float* k = s.Keys(v);
                for (int i = 0; i < n * 3; i++) k[i] = coord(rng);
                if (v % 5 == 1 && n > 1) memcpy(k + 3 * (v % n), k + 3 * ((v + 1) % n), 12);  // two keys meet
                if (v % 7 == 2)
                    for (int i = 1; i < n; i++) memcpy(k + 3 * i, k, 12);  // never moves
                if (v == 3) k[3 * (n - 1) + 1] = NAN;
                refs.emplace_back(new FXBezierSpline);
                refs.back()->tension = tension;
                for (int i = 0; i < n * 3; i++) refs.back()->keys.Push(k[i]);
                refs.back()->Precompute();
            }
            s.SetActPoints(0, 1, false, false);  // as a freshly precomputed spline
            ASSERT_TRUE(s.Bind(&target, FXAnimSplines::kPos));
            std::vector<std::pair<int, int>> pairs{{n, 0}, {0, -2}};  // outside: the choice stays
            for (int from = -1; from < n; from++)
                for (int to = -1; to < n; to++) pairs.insert(pairs.end() - 2, {from, to});
            for (int mode = 0; mode < 4; mode++) {
                const bool closed = mode & 1, linear = mode & 2;
                for (auto [from, to] : pairs) {
                    s.SetActPoints(from, to, closed, linear);
                    for (auto& r : refs) {
                        r->closed = closed;
                        r->linear = linear;
                        r->SetActPoints(from, to);
                    }
                    for (float t : {0.0f, 0.3f, 1.0f, 1.7f, -0.4f}) {
                        FXBezierPhaseH h;
                        h.Prepare(t);
                        s.Evaluate(&h);
                        for (int v = 0; v < vertices; v++) {
                            float want[3];
                            refs[size_t(v)]->GetH(want, &h);
                            ASSERT_TRUE(SameFloats(at(v)->pos, want))
                                << "keys " << n << " tension " << tension << " closed " << closed << " linear "
                                << linear << " pair " << from << "," << to << " t " << t << " vertex " << v;
                            ASSERT_EQ(at(v)->normal[0], -9.0f);
                        }
                    }
                }
            }
        }
    }
}
