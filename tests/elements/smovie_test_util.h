// Helpers of the sprite-movie tests: movie records built by hand, an environment that keeps the
// pixmaps it is asked to upload, and JPEG frame pairs written through the real image library.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/other.h"
#include "base/package.h"
#include "elements/smovie.h"
#include "image/canvas.h"
#include "image/image_test_util.h"
#include "support/package_bytes.h"
#include "support/recording_env.h"
#include "support/test_support.h"

struct QmMovieRecord {
    std::string magic = "xs03";
    bool loop = true, pingPong = false, keyed = false;
    double frameDuration = 0.05;
    std::vector<float> rects;
    std::vector<std::string> colours, masks;
    std::vector<int> keyFrames;

    std::vector<unsigned char> Bytes() const {
        QmBytes b;
        b.Str(magic);
        if (magic != "xs01") {
            unsigned char d[8];
            fxPutF64(d, frameDuration);
            b.Byte(loop).Byte(pingPong).Raw(std::vector<unsigned char>(d, d + 8));
        }
        b.Int(30).Int(20).Int(int(rects.size()));  // crop maxima 30 x 20
        for (float r : rects) b.Float(r);
        for (const auto* names : {&colours, &masks}) {
            b.Int(int(names->size()));
            for (const std::string& s : *names) b.Str(s);
        }
        if (magic == "xs03") b.Byte(keyed);
        if (magic == "xs03" && keyed) b.Table(keyFrames);
        return b.bytes;
    }
};

// n frames named by entry numbers 100 + i (colours) and 200 + i (masks).
inline QmMovieRecord qmMovieFrames(int n) {
    QmMovieRecord r;
    for (int i = 0; i < n; i++) r.colours.push_back(std::to_string(100 + i)), r.masks.push_back(std::to_string(200 + i));
    return r;
}

inline void qmMoviePackage(FXPackage* pkg, const std::vector<QmEntry>& entries) {
    std::vector<unsigned char> bytes = qmPackageFile(entries);
    pkg->LoadFromMemory(bytes.data(), long(bytes.size()));
}

// Keeps a copy of every pixmap it is asked to upload and marks the material textured.
class UploadEnv : public RecordingEnv {
public:
    struct Upload {
        int width, height, bufWidth, bufHeight;
        std::vector<unsigned char> bytes;
        // Pixel (x, y) as r | g << 8 | b << 16 | a << 24.
        unsigned At(int x, int y) const {
            const unsigned char* p = &bytes[(size_t(y) * bufWidth + x) * 4];
            return p[0] | (p[1] << 8) | (p[2] << 16) | (unsigned(p[3]) << 24);
        }
    };
    std::vector<Upload> uploads;

    bool FastPrepareTexture(FXMaterial* m, FXPixmap* p) override {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(p->data);
        uploads.push_back({p->width, p->height, p->bufWidth, p->bufHeight,
                           std::vector<unsigned char>(b, b + size_t(p->bufWidth) * p->bufHeight * 4)});
        m->textureName = unsigned(uploads.size());
        m->hasTexture = true;
        return true;
    }
};

// <base>.jpg of one colour and <base>_m.jpg from alpha(x, y), w x h, through the image library.
template <typename Alpha>
void qmWriteFramePair(const std::string& base, int w, int h, int r, int g, int b, Alpha alpha) {
    FXCanvas c;
    c.pixmap.Realloc(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char* p = c.pixmap.PixelBytes(x, y);
            p[0] = (unsigned char)r, p[1] = (unsigned char)g, p[2] = (unsigned char)b, p[3] = (unsigned char)alpha(x, y);
        }
    c.SetJpegQuality(100);
    ASSERT_TRUE(c.SaveToPict1((base + ".jpg").c_str(), 0, 0, w, h));
    ASSERT_TRUE(c.SaveToMask1((base + "_m.jpg").c_str(), 0, 0, w, h));
}

class ManualClockTest : public testing::Test {
protected:
    void SetUp() override { fxUseManualClock(100.0); }
    void TearDown() override { fxUseSystemClock(); }
};

// The real image library bound, and an UploadEnv for the movies to upload to.
class SMovieDevil : public DevilTest {
protected:
    UploadEnv env;
};

// Each channel of pixel (r | g << 8 | b << 16 | a << 24) within tol of the wanted one.
inline bool qmNearRgba(unsigned pixel, int r, int g, int b, int a, int tol = 12) {
    int want[4] = {r, g, b, a};
    for (int k = 0; k < 4; k++)
        if (abs(int((pixel >> (8 * k)) & 255) - want[k]) > tol) return false;
    return true;
}
