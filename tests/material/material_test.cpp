#include "image/material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "image/light.h"
#include "mat_test_util.h"

namespace {
// The given colours in order, then the extra values.
std::vector<float> localFlat(std::initializer_list<const float*> colours, std::vector<float> extra) {
    std::vector<float> out;
    for (const float* c : colours) out.insert(out.end(), c, c + 4);
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}
}  // namespace

TEST(Material, PresetsSetTheirColoursAndOnlySpecularSetsShininess) {
    const float a = 0.5f, g = 0.2f;
    // ambient, diffuse, specular, emission, shininess (5 = left alone)
    std::vector<std::pair<std::function<void(FXMaterial*)>, std::vector<float>>> presets = {
        {[&](FXMaterial* m) { m->SetDefault(a); }, {g, g, g, 0, 1, 1, 1, a, 0, 0, 0, 0, 0, 0, 0, 0, 5}},
        {[&](FXMaterial* m) { m->SetDefSpecular(a); }, {0, 0, 0, 0, g, g, g, a, 1, 1, 1, a, 0, 0, 0, 0, 128}},
        {[&](FXMaterial* m) { m->SetDefSpecular1(a); }, {g, g, g, a, 1, 1, 1, a, 1, 1, 1, a, 0, 0, 0, 0, 5}},
        {[&](FXMaterial* m) { m->SetDefEmission(a); }, {0, 0, 0, 0, 0, 0, 0, a, 0, 0, 0, 0, 1, 1, 1, a, 5}},
        {[&](FXMaterial* m) { m->SetBlack(a); }, {0, 0, 0, 0, 0, 0, 0, a, 0, 0, 0, 0, 0, 0, 0, 0, 5}},
        {[&](FXMaterial* m) { m->PrepareDarkDiffuse(a); }, {0, 0, 0, a, 1, 1, 1, a, 0, 0, 0, 0, 0, 0, 0, 0, 5}},
    };
    for (auto& p : presets) {
        FXMaterial m;
        for (float* c : {m.ambient, m.diffuse, m.specular, m.emission}) std::fill(c, c + 4, 9.0f);
        m.shininess = 5;
        p.first(&m);
        qmExpectFloats(localFlat({m.ambient, m.diffuse, m.specular, m.emission}, {m.shininess}), p.second, "");
    }
    FXMaterial m;
    m.SetDefSpecular(1.0f);
    m.SetDefDiffuse(1.0f);
    m.ChangeDarkDiffuse(0.1f);
    qmExpectFloats(m.diffuse, {0.1f, 0.1f, 0.1f, 1}, "dark diffuse");
    EXPECT_EQ(m.shininess, 128);
}

TEST(Material, MultiColsFadesFromThePreservedColours) {
    FXMaterial m;
    m.SetDefSpecular1(1.0f);
    m.PreserveCols();
    const float half[4] = {1, 1, 1, 0.5f}, red[4] = {0.5f, 0, 0, 1};
    m.MultiCols(half);
    m.MultiCols(half);
    qmExpectFloats(localFlat({m.ambient, m.diffuse}, {}), {0.2f, 0.2f, 0.2f, 0.5f, 1, 1, 1, 0.5f}, "faded once");
    EXPECT_FALSE(m.IsSolid());
    m.SetBlack(1.0f);  // a later preset is not the base of the fade
    m.MultiCols(red);
    qmExpectFloats(m.specular, {0.5f, 0, 0, 1}, "specular");
    EXPECT_TRUE(m.IsSolid());
}

TEST(Light, PresetsNeverMoveTheLightAndMultiColorAccumulates) {
    const float a = 0.75f;
    // ambient, diffuse, specular, then w, spot exponent, attenuation c, l, q
    std::vector<std::pair<std::function<void(FXLight*)>, std::vector<float>>> presets = {
        {[&](FXLight* l) { l->SetDefault(a); }, {.2f, .2f, .2f, a, 1, 1, 1, a, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {[&](FXLight* l) { l->SetDefSpecular(a); }, {0, 0, 0, a, 1, 1, 1, a, 1, 1, 1, a, 1, 12, .4f, .4f, 0}},
        {[&](FXLight* l) { l->SetDefAmbient(a); }, {1, 1, 1, a, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {[&](FXLight* l) { l->SetDiffuseDark(.3f, a); }, {0, 0, 0, a, .3f, .3f, .3f, a, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (auto& p : presets) {
        FXLight l;
        l.SetDefSpecular(1);
        const float where[4] = {3, -4, 5, l.position[3]};
        std::copy(where, where + 4, l.position);
        l.spotDirection[0] = 0.5f;
        l.spotCutoff = l.quadraticAttenuation = 30;
        p.first(&l);
        auto got = localFlat({l.ambient, l.diffuse, l.specular}, {l.position[3], l.spotExponent, l.constantAttenuation,
                                                                  l.linearAttenuation, l.quadraticAttenuation});
        qmExpectFloats(got, p.second, "");
        qmExpectFloats(l.position, {3, -4, 5}, "position");
        EXPECT_EQ(l.spotCutoff, 180);
        EXPECT_EQ(l.spotDirection[0], 0.5f);
    }
    FXLight l;
    const float f[4] = {0.5f, 0.25f, 1, 0.5f};
    l.MultiColor(f);
    l.MultiColorF(0.5f, 0.25f, 1, 0.5f);  // no preserved copy: scales again
    qmExpectFloats(localFlat({l.ambient, l.diffuse}, {}), {.05f, .0125f, .2f, .25f, .25f, .0625f, 1, .25f}, "");
}

TEST_F(MatEnvTest, SetTextureRefusesEmptyCanvasesAndFailedUploads) {
    FXMaterial m;
    FXCanvas empty, c;
    EXPECT_FALSE(m.SetTexture(&env, &empty));
    EXPECT_FALSE(m.hasTexture || std::isnan(m.texScaleU));
    EXPECT_EQ(env.Count("PrepareTexture"), 0);
    ASSERT_GT(c.pixmap.Realloc(3, 5), 0);
    ASSERT_TRUE(m.SetTexture(&env, &c));
    EXPECT_FLOAT_EQ(m.texScaleV, 5.0f / float(c.pixmap.bufHeight));
    EXPECT_EQ(env.sourceAtUpload, &c);  // the device uploads from the source set before
    EXPECT_EQ(env.scaleVAtUpload, m.texScaleV);
    EXPECT_EQ(m.GetWidth(), 3);
    env.refuseTextures = true;
    EXPECT_FALSE(m.SetTexture(&env, &c));
    EXPECT_FALSE(m.hasTexture);
    EXPECT_EQ(m.textureName, 0u);
    EXPECT_EQ(env.Count("UnprepareTexture"), 1);
    EXPECT_FALSE(m.SetTexture(nullptr, &c));  // no device: no upload
    m.textureName = 3;
    m.Destroy();  // only forgets the name
    EXPECT_EQ(m.textureName, 0u);
}
