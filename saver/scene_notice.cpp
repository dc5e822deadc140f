// The notice a scene without content shows in the middle of its window: what is missing and where
// the saver looked, so a user who sees only the photograph (or black) learns why without reading
// the log. The text is wrapped to the window's width when the scene is built.
#include <algorithm>

#include "base/trace.h"
#include "saver/scene.h"

namespace {

const int kLargeGlyph = 16;        // glyph height on a full-size window
const int kSmallGlyph = 8;         // on a window narrower than kLargeWindow (a preview pane)
const int kLargeWindow = 480;
const int kTinyWindow = 240;       // narrower (a small preview): the heading alone
const int kMargin = 8;             // from the window's edges
const char kHint[] = "Run qmsave -c to see where the data folder comes from.";

}  // namespace

const char* const QmScene::kNoContentHeading = "QuietMeadows has nothing to show: no content.";
const char* const QmScene::kDamagedHeading = "QuietMeadows shows what is left of a damaged package.";

void QmScene::MakeNotice(const char* heading, const std::string& why) {
    int width = gr.width > 0 ? gr.width : kLargeWindow;
    int glyph = width < kLargeWindow ? kSmallGlyph : kLargeGlyph;
    int advance = (glyph * 6 + 4) / 8;  // the bitmap font's cell is 6 x 8
    size_t columns = size_t(std::max(12, (width - 4 * kMargin) / advance));
    std::vector<std::string> lines;
    std::vector<std::string> parts = {heading};
    if (width >= kTinyWindow) parts.insert(parts.end(), {why, kHint});
    for (const std::string& part : parts) {
        if (!lines.empty()) lines.push_back("");  // a blank line between the parts
        std::vector<std::string> wrapped = qmWrapText(part, columns);
        lines.insert(lines.end(), wrapped.begin(), wrapped.end());
    }
    if (!notice.Make(&gr, lines, glyph)) err("scene: the notice could not be drawn\n");
}

void QmScene::DrawNotice(PEnv* env, double t) {
    if (!notice.Ready() || env->width <= 0 || env->height <= 0) return;
    // Shrunk, keeping its shape, to a window smaller than the plate (a window resized later).
    float w = float(notice.Width()), h = float(notice.Height());
    float fit = std::min({1.0f, float(env->width - 2 * kMargin) / w, float(env->height - 2 * kMargin) / h});
    if (fit <= 0.0f) return;
    w *= fit, h *= fit;
    env->ApplyMatrixIdentity();
    notice.Draw(env, t, (float(env->width) - w) / 2, (float(env->height) - h) / 2, w, h);
}
