// Helpers of the material tests: records and packages built byte by byte (so loaders meet exact
// and damaged input) and a recording environment that counts calls, keeps the library handed to
// RemoveMatlib and can refuse uploads after naming the texture, as a failing device would.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/binio.h"
#include "image/material.h"
#include "support/recording_env.h"

struct MatBytes {
    std::vector<unsigned char> b;
    MatBytes& Int(int32_t v) { return b.resize(b.size() + 4), fxPutI32(&b[b.size() - 4], v), *this; }
    MatBytes& Float(float v) { return b.resize(b.size() + 4), fxPutF32(&b[b.size() - 4], v), *this; }
    MatBytes& Str(const std::string& s) { return Int(int(s.size())), b.insert(b.end(), s.begin(), s.end()), *this; }
    // A material record with colours base, base + 0.01, ... and the given shininess.
    MatBytes& Material(const std::string& name, float base, float shine) {
        Str(name).Str("");
        for (int i = 0; i < 16; i++) Float(base + 0.01f * float(i));
        return Float(shine);
    }
};

// A plain package file image whose entries (records) are numbered by their position + first.
inline std::vector<unsigned char> qmMatPackage(const std::vector<MatBytes>& entries, int first) {
    MatBytes out;
    out.Str("pck01");
    for (int table = 0, n = int(entries.size()); table < 4; table++) {
        out.Int(n);
        for (int i = 0, offset = 0; i < n; offset += int(entries[i++].b.size()))
            out.Int(table == 0 ? first + i : table == 1 ? offset : table == 2 ? int(entries[i].b.size()) : -1);
    }
    for (const MatBytes& e : entries) out.b.insert(out.b.end(), e.b.begin(), e.b.end());
    return out.b;
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
    FXMatlib* removed = nullptr;
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
    void RemoveMatlib(FXMatlib* lib) override { RecordingEnv::RemoveMatlib(lib), removed = lib; }
};

// Tests with env as the current environment.
class MatEnvTest : public ::testing::Test {
protected:
    CountingEnv env;
    void SetUp() override { fxSetEnv(&env); }
    void TearDown() override { fxSetEnv(nullptr); }
};
