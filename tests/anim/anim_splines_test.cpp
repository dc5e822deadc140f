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
#include "geometry/mesh.h"
#include "geometry/model.h"

namespace {

// A model with `total` vertices spread over two meshes, with a null mesh between them.
void TargetModel(FXModel* m, int total) {
    FXMesh* a = new FXMesh;
    FXMesh* b = new FXMesh;
    a->Realloc(total / 3, 0);
    b->Realloc(total - total / 3, 0);
    for (FXMesh* x : {a, b})
        for (int l = 0; l < x->vertexCount; l++) x->vertices[l] = qmVertex({-7, -7, -7}, {-9, -9, -9});
    m->meshes.Push(a);
    m->meshes.Push(nullptr);
    m->meshes.Push(b);
}

const tagFXVertex& At(const FXModel& m, int j) {
    const FXMesh* a = m.EnumMeshes(0);
    return j < a->vertexCount ? a->vertices[j] : m.EnumMeshes(2)->vertices[j - a->vertexCount];
}

bool SameFloats(const float* a, const float* b) {
    for (int k = 0; k < 3; k++)
        if (!(std::isnan(a[k]) && std::isnan(b[k])) && memcmp(&a[k], &b[k], 4) != 0) return false;
    return true;
}

struct Pair {
    int from, to;
};

}  // namespace

TEST(FXAnimSplines, SameCurvesAsBezierSplines) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> coord(-3.0f, 3.0f);
    const int vertices = 60;
    for (int n = 1; n <= 7; n++) {
        for (float tension : {1.0f, 0.35f, 0.0f}) {
            // Keys: random, with vertices whose keys coincide pairwise or all, and a NaN vertex.
            std::vector<float> keys(size_t(vertices) * n * 3);
            for (float& k : keys) k = coord(rng);
            for (int v = 0; v < vertices; v++) {
                float* k = &keys[size_t(v) * n * 3];
                if (v % 5 == 1 && n > 1) memcpy(k + 3 * (v % n), k + 3 * ((v + 1) % n), 12);
                if (v % 7 == 2)
                    for (int i = 1; i < n; i++) memcpy(k + 3 * i, k, 12);
                if (v == 3) k[3 * (n - 1) + 1] = NAN;
            }
            std::vector<std::unique_ptr<FXBezierSpline>> refs;
            FXAnimSplines s;
            ASSERT_TRUE(s.Create(vertices, n, tension));
            for (int v = 0; v < vertices; v++) {
                refs.emplace_back(new FXBezierSpline);
                refs.back()->tension = tension;
                for (int i = 0; i < n * 3; i++) {
                    refs.back()->keys.Push(keys[size_t(v) * n * 3 + i]);
                    s.Keys(v)[i] = keys[size_t(v) * n * 3 + i];
                }
                refs.back()->Precompute();
            }
            FXModel target;
            TargetModel(&target, vertices);
            s.SetActPoints(0, 1, false, false);  // as a freshly precomputed spline
            ASSERT_TRUE(s.Bind(&target, FXAnimSplines::kPos));

            std::vector<Pair> pairs;
            for (int from = -1; from < n; from++)
                for (int to = -1; to < n; to++) pairs.push_back({from, to});
            pairs.push_back({n, 0});   // outside the keys: the previous choice stays
            pairs.push_back({0, -2});
            for (int mode = 0; mode < 4; mode++) {
                const bool closed = mode & 1, linear = mode & 2;
                for (const Pair& p : pairs) {
                    s.SetActPoints(p.from, p.to, closed, linear);
                    for (auto& r : refs) {
                        r->closed = closed;
                        r->linear = linear;
                        r->SetActPoints(p.from, p.to);
                    }
                    for (float t : {0.0f, 0.3f, 0.5f, 1.0f, 1.7f, -0.4f}) {
                        FXBezierPhaseH h;
                        h.Prepare(t);
                        s.Evaluate(&h);
                        for (int v = 0; v < vertices; v++) {
                            float want[3];
                            refs[size_t(v)]->GetH(want, &h);
                            const tagFXVertex& got = At(target, v);
                            ASSERT_TRUE(SameFloats(got.pos, want))
                                << "keys " << n << " tension " << tension << " closed " << closed << " linear "
                                << linear << " pair " << p.from << "," << p.to << " t " << t << " vertex " << v
                                << ": " << got.pos[0] << "," << got.pos[1] << "," << got.pos[2] << " want " << want[0]
                                << "," << want[1] << "," << want[2];
                            ASSERT_EQ(got.normal[0], -9.0f);  // the other field is never written
                        }
                    }
                }
            }
        }
    }
}

TEST(FXAnimSplines, RecordsSplitIntoStillAndMoving) {
    FXAnimSplines s;
    ASSERT_TRUE(s.Create(3, 3, 1.0f));
    const float keys[3][9] = {{0, 0, 0, 1, 1, 1, 2, 0, 0}, {5, 5, 5, 5, 5, 5, 6, 6, 6}, {1, 2, 3, 1, 2, 3, 1, 2, 3}};
    for (int v = 0; v < 3; v++) memcpy(s.Keys(v), keys[v], sizeof keys[v]);
    FXModel target;
    TargetModel(&target, 3);
    ASSERT_TRUE(s.Bind(&target, FXAnimSplines::kNormal));
    s.SetActPoints(0, 1, true, false);  // vertex 1 and 2 do not move between keys 0 and 1
    EXPECT_EQ(s.GetMovingCount(), 1);
    EXPECT_EQ(s.GetStillCount(), 2);
    s.SetActPoints(1, 2, true, true);
    EXPECT_EQ(s.GetMovingCount(), 2);
    FXBezierPhaseH h;
    h.Prepare(0.5f);
    s.Evaluate(&h);
    EXPECT_EQ(At(target, 1).normal[0], 5.5f);
    EXPECT_EQ(At(target, 2).normal[2], 3.0f);
    EXPECT_EQ(At(target, 2).pos[2], -7.0f);

    // Another vertex count cannot be bound; a model whose arrays were replaced is no longer bound.
    FXModel other;
    TargetModel(&other, 4);
    EXPECT_FALSE(s.Bind(&other, FXAnimSplines::kPos));
    EXPECT_FALSE(s.IsBound(&target));
    ASSERT_TRUE(s.Bind(&target, FXAnimSplines::kPos));
    EXPECT_TRUE(s.IsBound(&target));
    target.EnumMeshes(2)->Destroy();
    target.EnumMeshes(2)->Realloc(5, 0);
    EXPECT_FALSE(s.IsBound(&target));
    EXPECT_FALSE(s.Create(0, 3, 1.0f));
    EXPECT_FALSE(s.Create(3, 0, 1.0f));
}
