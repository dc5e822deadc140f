// The demo content's sources: the generator writes the same files every time, every pose of an
// animation has one mesh structure, clips meet at their poses exactly, the sheet keeps to the
// scene's coordinate conventions without stretching, and the movies' frames line up with the
// animation keys, meet at the poses and stay compact.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "choreo.h"
#include "generate.h"
#include "medallion.h"
#include "seeds.h"
#include "support/test_support.h"

namespace {

std::string localScratch(const std::string& name) {
    return qmTestPath(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" + name);
}

// Every regular file below dir, as paths relative to it.
void localListFiles(const std::string& dir, const std::string& rel, std::vector<std::string>* out) {
    DIR* d = opendir((dir + "/" + rel).c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string path = rel.empty() ? name : rel + "/" + name;
        struct stat st;
        if (stat((dir + "/" + path).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode))
            localListFiles(dir, path, out);
        else
            out->push_back(path);
    }
    closedir(d);
    std::sort(out->begin(), out->end());
}

std::string localPoseFile(const std::string& dir, const QMCClip& clip, int k) {
    char name[64];
    snprintf(name, sizeof(name), "/sheet/%s_%02d.obj", clip.name, k);
    return dir + name;
}

// The lines of an OBJ file that make its structure: everything but the vertex data.
struct LocalObj {
    int positions = 0;
    std::string structure;
};
LocalObj localReadObj(const std::string& path) {
    std::ifstream in(path);
    LocalObj o;
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 2, "v ") == 0)
            o.positions++;
        else if (line.compare(0, 3, "vt ") != 0 && line.compare(0, 3, "vn ") != 0)
            o.structure += line + "\n";
    }
    return o;
}

// Sources written once for the tests that read files (pictures and models; movies are painted
// in memory where needed).
const std::string& localSources() {
    static std::string dir;
    if (dir.empty()) {
        dir = localScratch("sources");
        QMCGenerateOptions o;
        o.outDir = dir;
        o.movies = false;
        std::string err;
        EXPECT_TRUE(qmcGenerate(o, &err)) << err;
    }
    return dir;
}

}  // namespace

TEST(ContentSources, TwoRunsWriteIdenticalFiles) {
    std::string a = localScratch("a"), b = localScratch("b"), err;
    QMCGenerateOptions o;
    o.movies = false;
    o.outDir = a;
    ASSERT_TRUE(qmcGenerate(o, &err)) << err;
    o.outDir = b;
    ASSERT_TRUE(qmcGenerate(o, &err)) << err;
    std::vector<std::string> fa, fb;
    localListFiles(a, "", &fa);
    localListFiles(b, "", &fb);
    ASSERT_EQ(fa, fb);
    EXPECT_GT(fa.size(), 50u);
    for (const std::string& f : fa) EXPECT_TRUE(qmReadFile(a + "/" + f) == qmReadFile(b + "/" + f)) << f;
}

TEST(ContentSources, EveryPoseOfAnAnimationHasTheSameMeshStructure) {
    const std::string& dir = localSources();
    for (const QMCClip& clip : qmcClips()) {
        LocalObj first = localReadObj(localPoseFile(dir, clip, 0));
        ASSERT_GT(first.positions, 0) << clip.name;
        for (int k = 1; k < clip.keyCount; k++) {
            LocalObj o = localReadObj(localPoseFile(dir, clip, k));
            EXPECT_EQ(o.positions, first.positions) << clip.name << " key " << k;
            EXPECT_TRUE(o.structure == first.structure) << clip.name << " key " << k;
        }
    }
}

TEST(ContentSources, ClipsMeetAtTheirPosesBitForBit) {
    const std::string& dir = localSources();
    auto pose = [&](int clip, int k) {
        const QMCClip& c = qmcClips()[clip];
        return qmReadFile(localPoseFile(dir, c, k < 0 ? c.keyCount - 1 : k));
    };
    // Index 0 is the opening, then clips 0, 1, 2.
    std::vector<unsigned char> p = pose(0, -1), q = pose(3, -1);
    EXPECT_TRUE(p == pose(1, 0)) << "clip 0 must start where the opening ends";
    EXPECT_TRUE(p == pose(3, 0)) << "clip 2 must start where the opening ends";
    EXPECT_TRUE(q == pose(2, -1)) << "clip 1 must end where clip 2 ends";
    EXPECT_FALSE(p == q);
    EXPECT_FALSE(pose(1, -1) == p) << "clip 0 must move";
    EXPECT_FALSE(pose(2, 0) == q) << "clip 1 must move";
    EXPECT_FALSE(pose(0, 0) == p) << "the opening must move";
}

TEST(ContentSources, SheetKeepsToTheSceneConventions) {
    for (const QMCClip& clip : qmcClips()) {
        for (int k = 0; k < clip.keyCount; k++) {
            QMCModel m = qmcSheetModel(clip.PoseAt(clip.KeyProgress(k)), QMCSheetGrid(), "sheet.mtl");
            ASSERT_EQ(m.parts.size(), 3u);
            EXPECT_EQ(m.parts[0].material, "Material.001");
            EXPECT_EQ(m.parts[1].material, "Material.001a");
            EXPECT_NE(m.parts[2].material.find("Material.001"), 0u);
            for (size_t i = 0; i < m.parts.size(); i++) {
                for (const QMCVertex& v : m.parts[i].vertices) {
                    ASSERT_LE(std::fabs(v.pos.z), 0.4) << clip.name << " key " << k;
                    ASSERT_NEAR(v.normal.Length(), 1.0, 1e-9);
                    ASSERT_TRUE(v.u >= 0 && v.u <= 1 && v.v >= 0 && v.v <= 1);
                    // The sheet stays in front of the meadow.
                    if (i > 0) {
                        ASSERT_LT(v.pos.z, m.parts[0].vertices[0].pos.z) << clip.name << " key " << k;
                    }
                }
            }
        }
    }
}

TEST(ContentSources, OpeningStartsAsTheDesktopItself) {
    // The first frame must show the photograph exactly where the desktop was: flat, facing the
    // viewer, texture coordinates equal to the screen position, triangles counter-clockwise.
    QMCModel m = qmcSheetModel(qmcOpening().PoseAt(0), QMCSheetGrid(), "sheet.mtl");
    const QMCMeshPart& front = m.parts[1];
    for (const QMCVertex& v : front.vertices) {
        ASSERT_NEAR(v.pos.x, v.u * 2 - 1, 1e-9);
        ASSERT_NEAR(v.pos.y, 1 - v.v * 2, 1e-9);
        ASSERT_NEAR(v.pos.z, m.parts[1].vertices[0].pos.z, 1e-12);
        ASSERT_NEAR(v.normal.z, -1.0, 1e-12);
    }
    for (const QMCMeshPart& part : {m.parts[0], m.parts[1]}) {
        for (size_t i = 0; i < part.indices.size(); i += 3) {
            const QMCVec3 &a = part.vertices[part.indices[i]].pos, &b = part.vertices[part.indices[i + 1]].pos,
                          &c = part.vertices[part.indices[i + 2]].pos;
            ASSERT_GT((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x), 0) << part.material << " " << i;
        }
    }
}

TEST(ContentSources, BentPaperDoesNotStretch) {
    // Curls, rolls and ripples bend the paper without stretching it: neighbouring points keep
    // their distance (in physical units, before scaling).
    struct Case {
        int clip;
        double u;
    };
    const Case cases[] = {{1, 1.0}, {1, 0.5}, {2, 0.0}, {2, 0.4}, {3, 0.3}, {3, 0.5}};
    for (const Case& c : cases) {
        QMCSheetPose pose = qmcClips()[c.clip].PoseAt(c.u);
        QMCSheetShape shape(pose);
        const int n = 60;
        double worst = 0;
        for (int j = 0; j <= n; j++) {
            for (int i = 0; i < n; i++) {
                double s0 = (2.0 * i / n - 1) * kQmcAspect, s1 = (2.0 * (i + 1) / n - 1) * kQmcAspect;
                double t = 1 - 2.0 * j / n;
                double d = (shape.At(s1, t).pos - shape.At(s0, t).pos).Length() / pose.scale;
                double t1 = 1 - 2.0 * (j + 1 < n ? j + 1 : j - 1) / n;
                double d2 = (shape.At(s0, t1).pos - shape.At(s0, t).pos).Length() / pose.scale;
                worst = std::max(worst, std::fabs(d - (s1 - s0)) / (s1 - s0));
                worst = std::max(worst, std::fabs(d2 - std::fabs(t1 - t)) / std::fabs(t1 - t));
            }
        }
        // Chords of a curve are a little shorter than the paper along it.
        EXPECT_LT(worst, 0.02) << qmcClips()[c.clip].name << " at " << c.u;
    }
}

TEST(ContentMovies, KeyFramesSpanTheMovieAndMatchThePoses) {
    for (int k = 0; k < 3; k++) {
        const QMCClip& c = qmcClip(k);
        EXPECT_EQ(c.KeyFrame(0), 0) << c.name;
        EXPECT_EQ(c.KeyFrame(c.keyCount - 1), c.movieFrames - 1) << c.name;
        for (int i = 1; i < c.keyCount; i++) {
            EXPECT_GT(c.KeyFrame(i), c.KeyFrame(i - 1)) << c.name;
            EXPECT_DOUBLE_EQ(c.KeyProgress(i), double(c.KeyFrame(i)) / (c.movieFrames - 1));
        }
        // A few seconds at the movie's pace.
        EXPECT_GE(c.movieFrames * kQmcMovieFrameSeconds, 3.0) << c.name;
        EXPECT_LE(c.movieFrames * kQmcMovieFrameSeconds, 7.0) << c.name;
    }
    EXPECT_EQ(qmcOpening().keyCount, 2) << "the opening's fade follows its single key pair";
}

TEST(ContentMovies, MoviesMeetAtThePosesAndStayCompact) {
    auto frame = [](int clip, int f, std::vector<unsigned char>* pixels, double* boxShare) {
        const QMCClip& c = qmcClip(clip);
        QMCCanvas canvas(kQmcMovieWidth, kQmcMovieHeight);
        qmcPaintMovieFrame(&canvas, c, f < 0 ? c.movieFrames - 1 : f);
        canvas.Flush();
        const unsigned char* d = cairo_image_surface_get_data(canvas.surface());
        int stride = cairo_image_surface_get_stride(canvas.surface());
        pixels->assign(d, d + size_t(stride) * kQmcMovieHeight);
        int l = kQmcMovieWidth, t = kQmcMovieHeight, r = -1, b = -1;
        for (int y = 0; y < kQmcMovieHeight; y++)
            for (int x = 0; x < kQmcMovieWidth; x++)
                if (d[size_t(y) * stride + x * 4 + 3]) {
                    l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
                }
        *boxShare = r < l ? 0 : double(r - l + 1) * (b - t + 1) / (double(kQmcMovieWidth) * kQmcMovieHeight);
    };
    std::vector<unsigned char> a, b;
    double share = 0;
    frame(0, 0, &a, &share);
    frame(2, 0, &b, &share);
    EXPECT_TRUE(a == b) << "clips 0 and 2 start at pose P with the same frame";
    frame(1, -1, &a, &share);
    frame(2, -1, &b, &share);
    EXPECT_TRUE(a == b) << "clips 1 and 2 end at pose Q with the same frame";
    for (int k = 0; k < 3; k++) {
        std::vector<unsigned char> prev;
        for (int f = 0; f < qmcClip(k).movieFrames; f++) {
            frame(k, f, &a, &share);
            EXPECT_GT(share, 0.0) << "clip " << k << " frame " << f << " is empty";
            EXPECT_LT(share, 0.35) << "clip " << k << " frame " << f;
            if (f > 0) {
                EXPECT_FALSE(a == prev) << "clip " << k << " frame " << f << " repeats its predecessor";
            }
            prev.swap(a);
        }
    }
}

TEST(ContentMedallion, StaysClearOfTheSceneNamesAndItsTexture) {
    QMCModel m = qmcMedallionModel("medallion.mtl", "medallion_gold");
    ASSERT_EQ(m.parts.size(), 1u);
    EXPECT_EQ(m.parts[0].material.find("Material.001"), std::string::npos);
    // The logo draws its model without rescaling texture coordinates, so the picture must fill its
    // whole (power-of-two) texture and coordinates stay inside it.
    auto pow2 = [](int v) { return v > 0 && (v & (v - 1)) == 0; };
    EXPECT_TRUE(pow2(kQmcMedallionWidth) && pow2(kQmcMedallionHeight));
    EXPECT_TRUE(pow2(kQmcCubeSize)) << "the sphere-mapped cube picture is looked up over its whole texture";
    for (const QMCVertex& v : m.parts[0].vertices) {
        ASSERT_TRUE(v.u >= 0 && v.u <= 1 && v.v >= 0 && v.v <= 1);
        ASSERT_LE(v.pos.Length(), 1.0);
    }
}

TEST(ContentMovies, FramesAreMirroredAndFreeOfDarkFringes) {
    const QMCClip& clip = qmcClip(0);
    QMCCanvas frame(kQmcMovieWidth, kQmcMovieHeight), plain(kQmcMovieWidth, kQmcMovieHeight);
    qmcPaintMovieFrame(&frame, clip, 37);
    qmcPaintFlock(plain.cr(), kQmcMovieWidth, kQmcMovieHeight, clip, 37.0 / (clip.movieFrames - 1), false);
    frame.Flush();
    plain.Flush();
    // The scene mirrors the movie pass, so a frame holds the flock mirrored left to right.
    double diff = 0;
    int l = kQmcMovieWidth, t = kQmcMovieHeight, r = -1, b = -1;
    for (int y = 0; y < kQmcMovieHeight; y++) {
        for (int x = 0; x < kQmcMovieWidth; x++) {
            unsigned char m[4], p[4];
            frame.Pixel(x, y, m);
            plain.Pixel(kQmcMovieWidth - 1 - x, y, p);
            diff += std::abs((m[3] > 1 ? int(m[3]) : 0) - int(p[3]));  // alpha 1 is the clear veil
            if (m[3]) l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
        }
    }
    EXPECT_LT(diff / (kQmcMovieWidth * kQmcMovieHeight), 0.05);
    ASSERT_LT(l, r);
    // Inside the box the movie keeps, no pixel is fully clear and faint pixels are light, so the
    // colour picture is smooth and filtering never pulls dark edges into the seeds.
    int faint = 0;
    for (int y = t; y <= b; y++) {
        for (int x = l; x <= r; x++) {
            unsigned char m[4];
            frame.Pixel(x, y, m);
            ASSERT_GE(m[3], 1) << x << "," << y;
            if (m[3] < 32) {
                faint++;
                ASSERT_GE(std::min({m[0], m[1], m[2]}), 180) << x << "," << y;
            }
        }
    }
    EXPECT_GT(faint, 0);
}
