// The built demo package: every entry the scene reads is there with the right kind (pictures
// that decode, models, animations and keyed movies with their records' marks), the movies' keys
// are the animations' key frames, and the whole stays under 16 MB.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base/package.h"
#include "choreo.h"
#include "image/canvas.h"
#include "image/devil.h"

namespace {

enum LocalKind { kPicture, kModel, kAnimation, kMovie };

std::string localMagic(FXPackage* p, int id) {
    FXPackageData* d = p->GetDataPtr(id);
    if (!d) return "";
    FXStr s;
    d->ReadString(&s);
    return s.c_str();
}

}  // namespace

TEST(DemoPackage, HoldsEveryEntryTheSceneReadsWithItsKind) {
    struct stat st;
    ASSERT_EQ(stat(QM_DEMO_PACKAGE, &st), 0) << QM_DEMO_PACKAGE;
    EXPECT_LT(st.st_size, 16 * 1024 * 1024) << "the package must stay under 16 MB";
    FXPackage pck;
    pck.Load(QM_DEMO_PACKAGE);
    ASSERT_FALSE(pck.IsEmpty());
    ASSERT_TRUE(fxLoadDevil());
    struct Entry {
        int id;
        LocalKind kind;
        bool alpha;  // pictures: has transparent pixels
    };
    const Entry entries[] = {{0, kPicture, true},     {1, kPicture, false},     {4, kModel, false},
                             {5, kPicture, true},     {91, kAnimation, false},  {94, kAnimation, false},
                             {203, kAnimation, false}, {200, kAnimation, false}, {177, kMovie, false},
                             {88, kMovie, false},     {748, kMovie, false},     {749, kPicture, false},
                             {750, kPicture, true},   {751, kPicture, false}};
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.id);
        ASSERT_NE(pck.GetDataPtr(e.id), nullptr);
        switch (e.kind) {
            case kPicture: {
                FXCanvas c;
                ASSERT_TRUE(c.CreateFromPictCN(&pck, e.id));
                EXPECT_GT(c.GetWidth(), 0);
                EXPECT_EQ(c.opaque, !e.alpha);
                break;
            }
            case kModel:
                EXPECT_EQ(localMagic(&pck, e.id), "xm03");
                break;
            case kAnimation:
                EXPECT_EQ(localMagic(&pck, e.id), "xa03");
                break;
            case kMovie:
                EXPECT_EQ(localMagic(&pck, e.id), "xs03");
                break;
        }
    }
    // The sphere map of the demo cube is looked up over its whole texture: a power-of-two square.
    FXCanvas inner;
    ASSERT_TRUE(inner.CreateFromPictCN(&pck, 749));
    EXPECT_EQ(inner.GetWidth(), inner.GetHeight());
    EXPECT_EQ(inner.GetWidth() & (inner.GetWidth() - 1), 0);
    fxUnloadDevil();
}

TEST(DemoPackage, MoviesAreKeyedToTheirAnimationsAtTwentyFiveFrames) {
    FXPackage pck;
    pck.Load(QM_DEMO_PACKAGE);
    for (int k = 0; k < 3; k++) {
        const QMCClip& clip = qmcClip(k);
        SCOPED_TRACE(clip.name);
        FXPackageData* d = pck.GetDataPtr(clip.movieEntry);
        ASSERT_NE(d, nullptr);
        FXStr magic;
        d->ReadString(&magic);
        bool loop = d->ReadBool(), pingPong = d->ReadBool();
        EXPECT_FALSE(loop || pingPong);
        EXPECT_NEAR(d->ReadDouble(), 0.04, 1e-9);
        d->ReadInt();  // largest crop box
        d->ReadInt();
        FXFloatArray rects;
        d->ReadFloatArray(&rects);
        FXStrArray colours, masks;
        d->ReadStringArray(&colours);
        d->ReadStringArray(&masks);
        EXPECT_EQ(colours.top, clip.movieFrames);
        EXPECT_EQ(masks.top, clip.movieFrames);
        EXPECT_EQ(rects.top, 4 * clip.movieFrames);
        ASSERT_TRUE(d->ReadBool()) << "keyed";
        FXArray keys;
        d->ReadArray(&keys);
        ASSERT_EQ(keys.top, clip.keyCount);
        for (int i = 0; i < clip.keyCount; i++) EXPECT_EQ(keys.GetInt(i), clip.KeyFrame(i));
    }
}
