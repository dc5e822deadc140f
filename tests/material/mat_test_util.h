// Helpers of the material tests: records and packages built byte by byte (so loaders meet exact
// and damaged input) and a recording environment that counts calls and can refuse uploads after
// naming the texture, as a failing device would.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/binio.h"
#include "image/material.h"
#include "support/recording_env.h"
#include "support/package_bytes.h"

// A material record with colours base, base + 0.01, ... and the given shininess.
inline std::vector<unsigned char> qmMaterialRecord(const std::string& name, float base, float shine) {
    QmBytes b;
    b.Str(name).Str("");
    for (int i = 0; i < 16; i++) b.Float(base + 0.01f * float(i));
    return b.Float(shine).bytes;
}

// A plain package file image whose entries (records) are numbered by their position + first.
inline std::vector<unsigned char> qmMatPackage(const std::vector<QmBytes>& entries, int first) {
    std::vector<QmEntry> numbered;
    for (size_t i = 0; i < entries.size(); i++) numbered.push_back({first + int(i), -1, entries[i].bytes});
    return qmPackageFile(numbered);
}

inline void qmExpectFloats(const float* got, std::vector<float> want, const char* what) {
    for (size_t i = 0; i < want.size(); i++) EXPECT_FLOAT_EQ(got[i], want[i]) << what << "[" << i << "]";
}
inline void qmExpectFloats(const std::vector<float>& got, std::vector<float> want, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    qmExpectFloats(got.data(), want, what);
}

class CountingEnv : public RecordingEnv {
public:
    bool refuseTextures = false;
    int Count(const std::string& n) const { return int(std::count(calls.begin(), calls.end(), n)); }
    FXCanvas* sourceAtUpload = nullptr;  // what the material held when the upload was asked
    float scaleVAtUpload = 0;
    bool PrepareTexture(FXMaterial* m) override {
        RecordingEnv::PrepareTexture(m);
        sourceAtUpload = m->hasTexture ? m->textureSource : nullptr;
        scaleVAtUpload = m->texScaleV;
        m->textureName = 7;
        return !refuseTextures;
    }
};

// Tests whose textures go to env.
class MatEnvTest : public ::testing::Test {
protected:
    CountingEnv env;
};
