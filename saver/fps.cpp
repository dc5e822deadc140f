// The -fps readout. The text picture is rebuilt and uploaded once a second into buffers that are
// reused, so steady drawing allocates nothing.
#include "saver/fps.h"

#include <cstdio>

namespace {

const int kTextPixels = 16;  // glyph height
const int kPad = 4;          // plate border around the text
const int kMargin = 8;       // from the window's left and bottom edges
const double kWindowSeconds = 1.0;

}  // namespace

void FpsOverlay::Format(float r, char* buf, int size) { snprintf(buf, size_t(size), "%.1f fps", double(r)); }

bool FpsOverlay::MakePlate(PEnv* env, const char* text) {
    FXFontGDI font;
    font.pixelHeight = kTextPixels;
    const float white[4] = {1, 1, 1, 1};
    FXCanvas ink;
    if (!ink.CreateFromText(text, &font, white)) return false;
    int w = ink.GetWidth() + 2 * kPad, h = ink.GetHeight() + 2 * kPad;
    FXPixmap& pm = canvas.pixmap;
    if (pm.Realloc(w, h) <= 0) return false;
    // Half-transparent black plate, the white text blended over it.
    pm.Clear(0);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            unsigned char* p = pm.PixelBytes(x, y);
            int a = 0;
            int tx = x - kPad, ty = y - kPad;
            if (tx >= 0 && ty >= 0 && tx < ink.GetWidth() && ty < ink.GetHeight()) a = ink.pixmap.PixelBytes(tx, ty)[3];
            unsigned char v = static_cast<unsigned char>(a);
            p[0] = p[1] = p[2] = v;
            p[3] = static_cast<unsigned char>(140 + a * (255 - 140) / 255);
        }
    }
    canvas.opaque = false;
    material.useMipmaps = false;
    return material.SetTexture(env, &canvas);
}

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
        if (!MakePlate(env, text)) rate = -1.0f;
        desk.Create(1, 1);
        desk.SetMaterial(&material);
    }
    if (rate < 0.0f || env->width <= 0 || env->height <= 0) return;
    pos.screenW = float(env->width);
    pos.screenH = float(env->height);
    pos.objW = float(canvas.GetWidth());
    pos.objH = float(canvas.GetHeight());
    pos.posX = float(kMargin);
    pos.posY = float(env->height - kMargin - canvas.GetHeight());
    pos.Update();
    env->EnableLights(false);
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    pos.OnRender(env, t);
    desk.OnRender(env, t);
}

void FpsOverlay::Destroy() {
    desk.Destroy();
    material.Destroy();
    canvas.Destroy();
    windowStart = -1.0;
    frames = 0;
    rate = -1.0f;
}
