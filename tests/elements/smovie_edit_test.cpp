// Sprite-movie editing: the visible box of a picture, and frames moved or deleted with
// everything that belongs to them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "smovie_test_util.h"

namespace {

// Three frames a, b, c from files: names, in-memory blocks holding the name, edges and rectangles
// numbered by frame (frame i has edges 10i..10i+3 and rectangle values i + 0.1k).
void localThreeFrames(SMovie* mv) {
    for (int i = 0; i < 3; i++) {
        std::string name(1, char('a' + i));
        mv->colorNames.Push(name.c_str());
        mv->maskNames.Push((name + "_m").c_str());
        for (FXArray* data : {&mv->colorData, &mv->maskData}) {
            char* block = static_cast<char*>(malloc(2));
            memcpy(block, name.c_str(), 2);
            data->Push(block);
        }
        mv->colorSizes.PushInt(i + 1);
        mv->maskSizes.PushInt(i + 1);
        for (int k = 0; k < 4; k++) {
            mv->edges.PushInt(10 * i + k);
            mv->rects.Push(float(i) + 0.1f * float(k));
        }
    }
    mv->hasRects = true;
}

// Each list reduced to the frame letters (or numbers) it holds, in order.
std::string localState(const SMovie& mv) {
    std::string s;
    for (int i = 0; i < mv.colorNames.top; i++) s += mv.colorNames.Get(i);
    s += "|";
    for (int i = 0; i < mv.maskNames.top; i++) s += mv.maskNames.Get(i)[0];
    s += "|";
    for (int i = 0; i < mv.colorData.top; i++) s += static_cast<const char*>(mv.colorData.Get(i));
    for (int i = 0; i < mv.maskSizes.top; i++) s += std::to_string(mv.maskSizes.GetInt(i));
    s += "|";
    for (int i = 0; i < mv.edges.top; i += 4) s += std::to_string(mv.edges.GetInt(i + 3) / 10);
    for (int i = 0; i < mv.rects.top; i += 4) s += std::to_string(int(mv.rects.items[i + 3]));
    return s;
}

}  // namespace

TEST(SMovieEdit, VisibleBox) {
    struct Case {
        std::vector<std::pair<int, int>> visible;
        std::vector<int> box;
    };
    const Case cases[] = {
        {{}, {7, 5, -1, -1}},
        {{{3, 2}}, {3, 2, 3, 2}},
        {{{6, 0}, {0, 4}, {2, 1}}, {0, 0, 6, 4}},
    };
    for (const Case& c : cases) {
        FXPixmap p;  // 7 x 5 in an 8 x 8 buffer whose padding is opaque (and must not count)
        p.Realloc(7, 5);
        p.Clear(0xFF000000u);
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 7; x++) p.PixelBytes(x, y)[3] = 0;
        for (auto [x, y] : c.visible) p.PixelBytes(x, y)[3] = 1;
        int l, t, r, b;
        SMovie::ComputeEdges(&p, &l, &t, &r, &b);
        EXPECT_EQ((std::vector<int>{l, t, r, b}), c.box);
    }
}

TEST(SMovieEdit, MoveAndDeleteKeepFramesTogether) {
    struct Case {
        const char* what;
        int pos, dir;  // dir 9: delete pos
        std::string after;
    };
    const Case cases[] = {
        {"up", 0, 1, "bac|bac|bac213|102102"},
        {"down", 2, -1, "acb|acb|acb132|021021"},
        {"past the end", 2, 1, "abc|abc|abc123|012012"},
        {"before the start", 0, -1, "abc|abc|abc123|012012"},
        {"no direction", 1, 0, "abc|abc|abc123|012012"},
        {"delete the middle", 1, 9, "ac|ac|ac13|0202"},
        {"delete outside", 3, 9, "abc|abc|abc123|012012"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SMovie mv;
        localThreeFrames(&mv);
        if (c.dir == 9)
            mv.DeletePos(c.pos);
        else
            mv.MovePos(c.pos, c.dir);
        EXPECT_EQ(localState(mv), c.after);
        EXPECT_EQ(mv.hasRects, mv.rects.top == 4 * mv.GetFrameCount());
    }
}
