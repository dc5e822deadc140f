// The text plate. Lines are rendered with the engine's bitmap font one at a time and blended as
// white over a black plate of alpha 140, so the text reads over any picture.
#include "saver/text_plate.h"

namespace {

const int kPad = 4;  // plate border around the text, pixels
const unsigned char kPlateAlpha = 140;

// The last place in text[from, from + width] where a line may end: after a space or a '/'.
size_t localBreakAt(const std::string& text, size_t from, size_t width) {
    for (size_t i = from + width; i > from; i--)
        if (text[i - 1] == ' ' || (text[i - 1] == '/' && i < text.size())) return i;
    return from + width;  // one word longer than a line: cut inside it
}

}  // namespace

std::vector<std::string> qmWrapText(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    if (width == 0) width = 1;
    size_t from = 0;
    while (from < text.size()) {
        while (from < text.size() && text[from] == ' ') from++;
        if (from >= text.size()) break;
        size_t end = text.size() - from <= width ? text.size() : localBreakAt(text, from, width);
        size_t last = end;
        while (last > from && text[last - 1] == ' ') last--;
        lines.push_back(text.substr(from, last - from));
        from = end;
    }
    return lines;
}

bool QmTextPlate::Make(PEnv* env, const std::vector<std::string>& lines, int pixelHeight) {
    ready_ = false;
    FXFontGDI font;
    font.pixelHeight = pixelHeight;
    int textW = 0;
    for (const std::string& line : lines) {
        int w = 0, h = 0;
        if (!ink_.GetTextSize(line.c_str(), &font, &w, &h)) return false;
        if (w > textW) textW = w;
    }
    int lineH = pixelHeight;
    int w = textW + 2 * kPad, h = int(lines.size()) * lineH + 2 * kPad;
    FXPixmap& pm = canvas_.pixmap;
    if (lines.empty() || pm.Realloc(w, h) <= 0) return false;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char* p = pm.PixelBytes(x, y);
            p[0] = p[1] = p[2] = 0;
            p[3] = kPlateAlpha;
        }
    const float white[4] = {1, 1, 1, 1};
    for (size_t k = 0; k < lines.size(); k++) {
        if (lines[k].empty()) continue;
        if (!ink_.CreateFromText(lines[k].c_str(), &font, white)) return false;
        int top = kPad + int(k) * lineH;
        for (int y = 0; y < ink_.GetHeight() && top + y < h; y++)
            for (int x = 0; x < ink_.GetWidth() && kPad + x < w; x++) {
                int a = ink_.pixmap.PixelBytes(x, y)[3];
                unsigned char* p = pm.PixelBytes(kPad + x, top + y);
                p[0] = p[1] = p[2] = static_cast<unsigned char>(a);
                p[3] = static_cast<unsigned char>(kPlateAlpha + a * (255 - kPlateAlpha) / 255);
            }
    }
    canvas_.opaque = false;
    material_.useMipmaps = false;
    if (!material_.SetTexture(env, &canvas_)) return false;
    desk_.Create(1, 1);
    desk_.SetMaterial(&material_);
    ready_ = true;
    return true;
}

void QmTextPlate::Draw(PEnv* env, double t, float x, float y, float w, float h) {
    if (!ready_ || env->width <= 0 || env->height <= 0) return;
    pos_.screenW = float(env->width);
    pos_.screenH = float(env->height);
    pos_.objW = w;
    pos_.objH = h;
    pos_.posX = x;
    pos_.posY = y;
    pos_.Update();
    env->EnableLights(false);
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    pos_.OnRender(env, t);
    desk_.OnRender(env, t);
}

void QmTextPlate::Destroy() {
    desk_.Destroy();
    material_.Destroy();
    canvas_.Destroy();
    ink_.Destroy();
    ready_ = false;
}
