// Which part of the window a frame can change: a mesh drawn as before adds nothing; one that moved,
// changed its material or key, went or came adds where it was and where it is; a mesh that was
// never given room, or a first frame, makes the whole window or everything new count.
#include <gtest/gtest.h>

#include "geometry/mesh.h"
#include "image/light.h"
#include "image/material.h"
#include "saver/scene_damage.h"

namespace {

const int kW = 200, kH = 100;
const float kOrtho[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1};

// A triangle with its corners at (x0, y0), (x1, y0), (x1, y1) in the -1..1 view.
void localTriangle(FXMesh* m, float x0, float y0, float x1, float y1) {
    if (m->vertexCount != 3) m->Realloc(3, 3);
    const float p[3][2] = {{x0, y0}, {x1, y0}, {x1, y1}};
    for (int i = 0; i < 3; i++) {
        m->vertices[i] = tagFXVertex{};
        m->vertices[i].pos[0] = p[i][0], m->vertices[i].pos[1] = p[i][1];
        m->indices[i] = i;
    }
}

class SceneDamageTest : public ::testing::Test {
protected:
    QmDamage damage;
    FXMesh a, b;
    FXMatrix identity;
    FXMaterial material;

    void SetUp() override {
        identity.SetIdentity();
        localTriangle(&a, -1.0f, -1.0f, -0.5f, -0.5f);  // bottom-left: x 0..50, y 0..25
        localTriangle(&b, 0.5f, 0.5f, 1.0f, 1.0f);      // top-right: x 150..200, y 75..100
        a.material = &material;
        damage.Reserve(&a);
        damage.Reserve(&b);
    }

    // One frame noting the meshes given (key 0 unless told); its changed rectangles.
    FXScreenRects Frame(bool drawA, bool drawB, uint64_t keyA = 0) {
        damage.Begin(kW, kH, kOrtho);
        if (drawA) damage.Note(&a, identity, keyA);
        if (drawB) damage.Note(&b, identity, 0);
        return damage.End();
    }

    static bool Covers(const FXScreenRects& list, int x0, int y0, int x1, int y1) {
        for (int i = 0; i < list.Count(); i++) {
            const FXScreenRect& r = list.Get(i);
            if (r.whole || (r.x0 <= x0 && r.y0 <= y0 && r.x1 >= x1 && r.y1 >= y1)) return true;
        }
        return false;
    }
};

}  // namespace

TEST_F(SceneDamageTest, AnUnchangedFrameChangesNothingAndAMovedMeshItsOldAndNewPlace) {
    FXScreenRects first = Frame(true, true);
    EXPECT_TRUE(Covers(first, 0, 0, 50, 25));
    EXPECT_TRUE(Covers(first, 150, 75, 200, 100));
    EXPECT_EQ(Frame(true, true).Count(), 0);
    // a moves to the middle: where it was and where it is, nothing of b.
    localTriangle(&a, -0.2f, -0.2f, 0.2f, 0.2f);
    FXScreenRects moved = Frame(true, true);
    EXPECT_TRUE(Covers(moved, 0, 0, 50, 25));
    EXPECT_TRUE(Covers(moved, 80, 40, 120, 60));
    EXPECT_FALSE(Covers(moved, 150, 75, 200, 100));
    EXPECT_LT(moved.Area(), 70 * 40);  // two small places, not one across the window
    EXPECT_EQ(Frame(true, true).Count(), 0);
    // A normal alone changes the lighting: it counts.
    a.vertices[1].normal[2] = 1.0f;
    EXPECT_TRUE(Covers(Frame(true, true), 80, 40, 120, 60));
}

TEST_F(SceneDamageTest, MaterialKeyAndMatrixChangesCount) {
    Frame(true, true);
    material.diffuse[3] = 0.5f;  // the colour fades
    EXPECT_TRUE(Covers(Frame(true, true), 0, 0, 50, 25));
    EXPECT_EQ(Frame(true, true).Count(), 0);
    EXPECT_TRUE(Covers(Frame(true, true, 7), 0, 0, 50, 25));  // another movie frame
    FXMaterial other;
    a.material = &other;
    EXPECT_TRUE(Covers(Frame(true, true, 7), 0, 0, 50, 25));
    FXMatrix move;
    move.SetMoveF(1.0f, 0.0f, 0.0f);
    damage.Begin(kW, kH, kOrtho);
    damage.Note(&a, move, 7);
    damage.Note(&b, identity, 0);
    FXScreenRects moved = damage.End();
    EXPECT_TRUE(Covers(moved, 0, 0, 50, 25));
    EXPECT_TRUE(Covers(moved, 100, 0, 150, 25));
}

TEST_F(SceneDamageTest, AMeshThatGoesOrComesCountsAndAnUnknownOneMakesTheWholeWindow) {
    Frame(true, true);
    FXScreenRects gone = Frame(true, false);
    EXPECT_TRUE(Covers(gone, 150, 75, 200, 100));
    EXPECT_FALSE(Covers(gone, 0, 0, 50, 25));
    EXPECT_TRUE(Covers(Frame(true, true), 150, 75, 200, 100));  // back again
    // Forgotten: everything drawn next counts as new.
    damage.Forget();
    FXScreenRects fresh = Frame(true, true);
    EXPECT_TRUE(Covers(fresh, 0, 0, 50, 25) && Covers(fresh, 150, 75, 200, 100));
    FXMesh stranger;
    localTriangle(&stranger, 0, 0, 0.1f, 0.1f);
    damage.Begin(kW, kH, kOrtho);
    damage.Note(&a, identity, 0);
    damage.Note(&stranger, identity, 0);
    EXPECT_TRUE(damage.End().Whole());
}

TEST_F(SceneDamageTest, AMeshLargerThanItsRoomAlwaysCounts) {
    Frame(true, true);
    a.Realloc(6, 6);  // grown after the room was made: never compared, always redrawn
    for (int i = 0; i < 6; i++) a.vertices[i] = tagFXVertex{}, a.indices[i] = 0;
    a.vertices[1].pos[0] = -0.5f, a.vertices[2].pos[1] = -0.5f;
    EXPECT_GT(Frame(true, true).Count(), 0);
    EXPECT_GT(Frame(true, true).Count(), 0);
}

TEST_F(SceneDamageTest, ALightThatChangesRelightsTheWholeWindow) {
    FXLight sun;
    sun.SetDefDiffuse(1.0f);
    const FXLight* lights[2] = {&sun, nullptr};
    damage.Begin(kW, kH, kOrtho);
    damage.NoteLights(lights, 2);
    damage.Note(&a, identity, 0);
    EXPECT_TRUE(damage.End().Whole());  // the first time: not known before
    damage.Begin(kW, kH, kOrtho);
    damage.NoteLights(lights, 2);
    damage.Note(&a, identity, 0);
    EXPECT_EQ(damage.End().Count(), 0);
    sun.diffuse[0] = 0.5f;
    damage.Begin(kW, kH, kOrtho);
    damage.NoteLights(lights, 2);
    damage.Note(&a, identity, 0);
    EXPECT_TRUE(damage.End().Whole());
}
