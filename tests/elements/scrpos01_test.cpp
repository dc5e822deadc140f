#include "elements/scrpos01.h"

#include <gtest/gtest.h>

#include "support/recording_env.h"

namespace {

// A point through a matrix in the order OpenGL reads it (column vectors, elements 12..14 move).
void Apply(const FXMatrix& m, float x, float y, float* out) {
    for (int c = 0; c < 2; c++) out[c] = m.m[c] * x + m.m[4 + c] * y + m.m[12 + c];
}

// Pixel of a point in the -1..1 square on a w x h screen, y growing downwards.
void ToPixel(const FXMatrix& m, float x, float y, float w, float h, float* px) {
    float p[2];
    Apply(m, x, y, p);
    px[0] = (p[0] + 1) * 0.5f * w;
    px[1] = (1 - p[1]) * 0.5f * h;
}

bool IsIdentity(const FXMatrix& m) {
    FXMatrix id;
    id.SetIdentity();
    return m.Compare(&id) == 1;
}

FXScrPos01 Placed(float sw, float sh, float ow, float oh) {
    FXScrPos01 s;
    s.screenW = sw;
    s.screenH = sh;
    s.objW = ow;
    s.objH = oh;
    return s;
}

class MatrixEnv : public RecordingEnv {
public:
    FXMatrix applied;
    void ApplyMatrix(FXMatrix* m) override { applied.Copy(m); }
};

}  // namespace

TEST(FXScrPos01, PlacesAQuadAtItsPixels) {
    FXScrPos01 s = Placed(1024, 768, 100, 50);
    s.SetPos(10, 10);
    EXPECT_FLOAT_EQ(s.matrix.M(0, 0), 0.09765625f);
    EXPECT_NEAR(s.matrix.M(1, 1), 0.0651042f, 1e-6f);
    EXPECT_FLOAT_EQ(s.matrix.M(3, 0), -0.8828125f);
    EXPECT_NEAR(s.matrix.M(3, 1), 0.9088542f, 1e-6f);
    float px[2];
    ToPixel(s.matrix, -1, 1, 1024, 768, px);
    EXPECT_NEAR(px[0], 10, 1e-3f);
    EXPECT_NEAR(px[1], 10, 1e-3f);
    ToPixel(s.matrix, 1, -1, 1024, 768, px);
    EXPECT_NEAR(px[0], 110, 1e-3f);
    EXPECT_NEAR(px[1], 60, 1e-3f);

    s.ShiftPos(0.5f, 0.25f);  // fractions of the screen
    EXPECT_FLOAT_EQ(s.posX, 522);
    FXRect r;
    s.GetPixelRC(&r, 512, 384);
    EXPECT_EQ(r.left, 261);
    EXPECT_EQ(r.top, 101);
    EXPECT_EQ(r.right, 311);
    EXPECT_EQ(r.bottom, 126);

    s.UpdateSize();  // centred, scaled
    Apply(s.matrix, 1, 1, px);
    EXPECT_FLOAT_EQ(px[0], 0.09765625f);
}

TEST(FXScrPos01, MissingSizesGiveIdentity) {
    float FXScrPos01::*sizes[] = {&FXScrPos01::screenW, &FXScrPos01::screenH, &FXScrPos01::objW,
                                  &FXScrPos01::objH};
    for (auto size : sizes) {
        FXScrPos01 s = Placed(1024, 768, 100, 50);
        s.SetPos(10, 10);
        s.*size = 0;
        s.Update();
        EXPECT_TRUE(IsIdentity(s.matrix));
        s.SetPos(5, 5);
        s.UpdateSize();
        EXPECT_TRUE(IsIdentity(s.matrix));
    }
    FXScrPos01 none;  // no screen size: nothing to keep the aspect of
    none.UpdateAspectH1(0, 16, 9);
    EXPECT_TRUE(IsIdentity(none.matrix));
}

TEST(FXScrPos01, UpdateAspectH1NarrowsWideContent) {
    float p[2];
    const float k = (1.0f / 768) / (2.0f / 1024);  // content twice as wide as high
    for (int align : {0, 1, 2}) {
        FXScrPos01 s = Placed(1024, 768, 1024, 768);
        s.SetPos(0, 0);
        s.UpdateAspectH1(align, 200, 100);
        Apply(s.matrix, -1, 1, p);
        float left = p[0];
        Apply(s.matrix, 1, -1, p);
        EXPECT_NEAR(p[0] - left, 2 * k, 1e-5f) << align;
        EXPECT_NEAR(p[1], -1, 1e-6f);
        float wantLeft = align == 0 ? -k : align == 1 ? 1 - 2 * k : -1;
        EXPECT_NEAR(left, wantLeft, 1e-5f) << align;
    }
    FXScrPos01 s = Placed(1024, 768, 1024, 768);
    s.SetPos(0, 0);
    s.UpdateAspectH1(0, 1024, 768);  // same shape
    s.UpdateAspectH1(1, 100, 200);   // narrower
    EXPECT_TRUE(IsIdentity(s.matrix));
}

TEST(FXScrPos01, OnRenderAppliesOrMultiplies) {
    MatrixEnv env;
    FXScrPos01 s = Placed(1024, 768, 512, 384);
    s.SetPos(0, 0);
    s.OnRender(&env, 0.0);
    EXPECT_EQ(env.applied.Compare(&s.matrix), 1);

    env.matrix.SetScaleF(2, 2, 1);
    s.relative = true;
    s.OnRender(&env, 0.0);  // on top of the matrix of the environment it is drawn by
    float p[2];
    Apply(env.applied, -1, 1, p);  // the placement first, then the environment's scale
    EXPECT_FLOAT_EQ(p[0], -2.0f);
    EXPECT_FLOAT_EQ(p[1], 2.0f);
    Apply(env.applied, 1, -1, p);
    EXPECT_FLOAT_EQ(p[0], 0.0f);
    EXPECT_FLOAT_EQ(p[1], 0.0f);
}
