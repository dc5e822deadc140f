// The -fps readout. The text picture is rebuilt and uploaded once a second into buffers that are
// reused, so steady drawing allocates nothing.
#include "saver/fps.h"

#include <cstdio>
#include <string>

namespace {

const int kTextPixels = 16;  // glyph height
const int kMargin = 8;       // from the window's left and bottom edges
const double kWindowSeconds = 1.0;

}  // namespace

void FpsOverlay::Format(float r, char* buf, int size) { snprintf(buf, size_t(size), "%.1f fps", double(r)); }

void FpsOverlay::OnRender(PEnv* env, double t) {
    if (!env) return;
    frames++;
    if (windowStart < 0.0) windowStart = t;
    double span = t - windowStart;
    if (span >= kWindowSeconds) {
        rate = float(double(frames - 1) / span);  // frames drawn after the one that opened the count
        frames = 1;
        windowStart = t;
        char text[32];
        Format(rate, text, int(sizeof text));
        if (!plate.Make(env, {text}, kTextPixels)) rate = -1.0f;
    }
    if (rate < 0.0f) return;
    plate.Draw(env, t, float(kMargin), float(env->height - kMargin - plate.Height()), float(plate.Width()),
               float(plate.Height()));
}

void FpsOverlay::Destroy() {
    plate.Destroy();
    windowStart = -1.0;
    frames = 0;
    rate = -1.0f;
}
