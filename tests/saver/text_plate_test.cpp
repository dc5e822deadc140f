// Wrapping the text of a notice to a window's width: no line longer than the width, breaks at
// spaces and after folder separators, a word longer than a line cut, nothing lost.
#include <gtest/gtest.h>

#include <algorithm>

#include "saver/text_plate.h"

namespace {

std::string localJoined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "|";
    return s;
}

}  // namespace

TEST(QmWrapText, BreaksAtSpacesAndSeparatorsAndCutsOnlyWhatCannotFit) {
    struct Case {
        std::string text;
        size_t width;
        std::string want;
    } cases[] = {
        {"no content", 20, "no content|"},
        {"the data folder is missing", 10, "the data|folder is|missing|"},
        {"/home/user/.local/share/qmsave/qmsave.dat", 18, "/home/user/.local/|share/qmsave/|qmsave.dat|"},
        {"abcdefghijkl", 5, "abcde|fghij|kl|"},
        {"  two   spaces  ", 6, "two|spaces|"},
        {"", 5, ""},
        {"x", 0, "x|"},
    };
    for (const Case& k : cases) {
        std::vector<std::string> lines = qmWrapText(k.text, k.width);
        EXPECT_EQ(localJoined(lines), k.want) << k.text;
        for (const std::string& l : lines) EXPECT_LE(l.size(), std::max<size_t>(k.width, 1)) << l;
    }
}
