// The clip state machine as a pure function: every clip starts at the pose the sheet is in and
// ends at the stage it names, and the random number chooses with the 0.6 share.
#include <gtest/gtest.h>

#include <string>

#include "saver/scene.h"

namespace {

// Clip k runs between two poses: backwards it ends at one, forwards at the other.
struct ClipEnds {
    int backwardEnd, forwardEnd;
};
const ClipEnds kClips[3] = {{1, 0}, {3, 2}, {1, 2}};  // clip 0: P..S, clip 1: R..Q, clip 2: P..Q

}  // namespace

TEST(ClipChoice, EveryClipStartsWhereTheSheetIsAndEndsAtItsStage) {
    for (int stage = 0; stage < 4; stage++) {
        for (double r : {0.0, 0.3, 0.5999, 0.6, 0.9, 1.0}) {
            SCOPED_TRACE("stage " + std::to_string(stage) + " r " + std::to_string(r));
            QmClipStep next = qmNextClip(stage, r);
            ASSERT_GE(next.clip, 0);
            ASSERT_LE(next.clip, 2);
            const ClipEnds& ends = kClips[next.clip];
            int from = next.backwards ? ends.forwardEnd : ends.backwardEnd;
            int to = next.backwards ? ends.backwardEnd : ends.forwardEnd;
            EXPECT_EQ(from, stage);
            EXPECT_EQ(to, next.stage);
        }
    }
}

TEST(ClipChoice, TheChoiceFollowsTheShare) {
    // From P: below 0.6 back to S on clip 0, else on to Q on clip 2; from Q: below 0.6 on to R on
    // clip 1 (backwards), else back to P on clip 2. S and R have one way only.
    EXPECT_EQ(qmNextClip(1, 0.59).stage, 0);
    EXPECT_EQ(qmNextClip(1, 0.6).stage, 2);
    EXPECT_EQ(qmNextClip(2, 0.59).stage, 3);
    EXPECT_EQ(qmNextClip(2, 0.6).stage, 1);
    EXPECT_EQ(qmNextClip(0, 0.0).stage, qmNextClip(0, 1.0).stage);
    EXPECT_EQ(qmNextClip(3, 0.0).stage, qmNextClip(3, 1.0).stage);
}
