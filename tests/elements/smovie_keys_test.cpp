// A keyed sprite movie driving two real frame animations: the key pair and phase for each movie
// frame, the pair kept while the frame stays inside it, the pair held to the animation's frames,
// and the interpolated pose the animation then shows.
#include <gtest/gtest.h>

#include "anim/anim_test_util.h"
#include "smovie_test_util.h"

namespace {

// A 31-frame keyed movie linked to two interpolated three-frame animations.
struct KeyedMovie {
    SMovie mv;
    FXAnim a, b;
    explicit KeyedMovie(std::vector<int> keys) {
        for (FXAnim* anim : {&a, &b}) {
            qmBuildAnim(anim, {100, 100, 100});
            anim->UpdateInterpolation(true, false);
        }
        for (int i = 0; i < 31; i++) mv.colorNames.Push("x"), mv.maskNames.Push("x");
        mv.keyed = true;
        for (int k : keys) mv.keyFrames.PushInt(k);
        mv.animA = &a;
        mv.animB = &b;
    }
};

}  // namespace

TEST(SMovieKeys, PairAndPhaseFollowTheMovieFrame) {
    KeyedMovie k({0, 10, 20});
    const struct {
        int f;
        int from, to;
        float phase;
    } steps[] = {
        {15, 1, 2, 0.5f},
        {20, 1, 2, 1.0f},  // still inside (10, 20): the pair is kept
        {21, 2, 2, 0.1f},  // past the last key: (last, last) up to the movie's last frame
        {30, 2, 2, 1.0f},
        {4, 0, 1, 0.4f},
    };
    for (const auto& s : steps) {
        k.mv.PrepareStartEnd(s.f);
        for (FXAnim* anim : {&k.a, &k.b}) {
            EXPECT_EQ(anim->frame, s.from) << "movie frame " << s.f;
            EXPECT_EQ(anim->phase, s.phase) << "movie frame " << s.f;
            EXPECT_TRUE(anim->frozen && !anim->reverseSegment);
            qmExpectPose(*anim, s.from, s.to, false, "movie frame " + std::to_string(s.f));
        }
    }
}

TEST(SMovieKeys, PairHeldToTheAnimationAndDrivenWhenUncropped) {
    KeyedMovie k({0, 10, 20, 25, 40});  // keys 3 and 4 lie beyond the three-frame animation
    k.mv.PrepareStartEnd(26);
    EXPECT_EQ(k.a.frame, 2);
    qmExpectPose(k.a, 2, 2, false, "held pair");
    EXPECT_EQ(k.a.phase, float(26 - 25) / float(40 - 25));

    // A key on the movie's last frame shows that key exactly, forwards and backwards (a backward
    // start there must not show the closing segment's far end), on closed, open and two-key curves.
    const struct {
        std::vector<int> keys;
        int frames;
        bool pingPong;
    } lastKeys[] = {{{0, 30}, 3, false}, {{0, 15, 30}, 3, false}, {{0, 15, 30}, 3, true}, {{0, 30}, 2, false}};
    for (const auto& c : lastKeys) {
        for (int direction : {1, -1}) {
            KeyedMovie end(c.keys);
            for (FXAnim* anim : {&end.a, &end.b}) {
                anim->Destroy();
                qmBuildAnim(anim, std::vector<int>(size_t(c.frames), 100));
                anim->pingPong = c.pingPong;
                anim->UpdateInterpolation(true, false);
            }
            end.mv.direction = direction;
            end.mv.PrepareStartEnd(30);
            const int key = int(c.keys.size()) - 1;
            SCOPED_TRACE(std::to_string(c.keys.size()) + " keys, " + std::to_string(c.frames) + " frames, direction " +
                         std::to_string(direction) + (c.pingPong ? ", ping-pong" : ""));
            for (int j = 0; j < end.a.imodel.GetTotalVertices(); j++)
                ASSERT_EQ(0, memcmp(qmVertexAt(end.a.imodel, j)->pos, qmVertexAt(*end.a.GetModel(key), j)->pos,
                                    3 * sizeof(float)))
                    << "vertex " << j;
        }
    }

    // Selecting a frame drives the animations also when the movie has no crop rectangles.
    RecordingEnv env;
    KeyedMovie plain({0, 10, 20});
    plain.mv.compiled = true;
    plain.mv.RestartBack(0.0);
    plain.mv.Prepare(nullptr, -1);
    plain.mv.OnRender0(&env, 0.0);
    EXPECT_FALSE(plain.mv.hasRects);
    EXPECT_EQ(plain.a.frame, 2);
    EXPECT_EQ(plain.b.phase, 1.0f);  // frame 30 of the pair (2, 2)
}
