// Record mode. Frames are read from the back buffer just before each swap; the frame on screen
// from one swap to the next is written for every recording time that falls in between, so a
// slow scene repeats frames and a fast one skips them, exactly as a viewer would have seen it.
#include "saver/record.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/other.h"
#include "base/trace.h"
#include "image/devil.h"
#include "saver/host.h"
#include "saver/launch.h"
#include "saver/main.h"
#include "saver/scrnsave.h"

namespace {

const int kGap = 8;         // between and around the sheet's pictures
const int kLabelPixels = 16;

bool localMkdirs(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

// A box-filtered copy of src (w x h) of tw pixels across, into dst.
void localShrink(const FXCanvas& src, int tw, FXCanvas* dst) {
    int w = src.GetWidth(), h = src.GetHeight();
    int th = int(int64_t(h) * tw / w);
    if (th < 1) th = 1;
    dst->pixmap.Realloc(tw, th);
    FXCanvas& s = const_cast<FXCanvas&>(src);
    for (int y = 0; y < th; y++) {
        int y0 = int(int64_t(y) * h / th), y1 = int(int64_t(y + 1) * h / th);
        if (y1 <= y0) y1 = y0 + 1;
        for (int x = 0; x < tw; x++) {
            int x0 = int(int64_t(x) * w / tw), x1 = int(int64_t(x + 1) * w / tw);
            if (x1 <= x0) x1 = x0 + 1;
            unsigned sum[3] = {0, 0, 0}, n = 0;
            for (int yy = y0; yy < y1; yy++)
                for (int xx = x0; xx < x1; xx++, n++) {
                    const unsigned char* p = s.pixmap.PixelBytes(xx, yy);
                    sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
                }
            unsigned char* d = dst->pixmap.PixelBytes(x, y);
            d[0] = static_cast<unsigned char>(sum[0] / n);
            d[1] = static_cast<unsigned char>(sum[1] / n);
            d[2] = static_cast<unsigned char>(sum[2] / n);
            d[3] = 255;
        }
    }
}

void localBlit(const FXCanvas& src, FXCanvas* dst, int dx, int dy, bool blend) {
    FXCanvas& s = const_cast<FXCanvas&>(src);
    for (int y = 0; y < src.GetHeight(); y++) {
        if (dy + y < 0 || dy + y >= dst->GetHeight()) continue;
        for (int x = 0; x < src.GetWidth(); x++) {
            if (dx + x < 0 || dx + x >= dst->GetWidth()) continue;
            const unsigned char* p = s.pixmap.PixelBytes(x, y);
            unsigned char* d = dst->pixmap.PixelBytes(dx + x, dy + y);
            int a = blend ? p[3] : 255;
            for (int c = 0; c < 3; c++) d[c] = static_cast<unsigned char>((p[c] * a + d[c] * (255 - a)) / 255);
            d[3] = 255;
        }
    }
}

}  // namespace

void Recorder::Setup(const std::string& folder, double seconds, double rate) {
    dir = folder;
    fps = rate;
    frameCount = int(std::llround(seconds * rate));
    if (frameCount < 1) frameCount = 1;
    int cells = kSheetColumns * kSheetRows;
    if (cells > frameCount) cells = frameCount;
    sheetFrames.clear();
    for (int k = 0; k < cells; k++)
        sheetFrames.push_back(cells == 1 ? 0 : int(std::llround(double(k) * (frameCount - 1) / (cells - 1))));
    thumbs.clear();
    thumbs.resize(size_t(cells));
}

std::string Recorder::FramePath(int i) const {
    char name[32];
    snprintf(name, sizeof name, "frame-%05d.png", i);
    return dir + "/" + name;
}

std::string Recorder::SheetPath() const { return dir + "/sheet.png"; }

void Recorder::SetShown(const unsigned char* rgba, int w, int h) {
    px.assign(rgba, rgba + size_t(w) * size_t(h) * 4);
    width = w;
    height = h;
}

void Recorder::EmitUntil(int64_t now) {
    if (firstShown < 0 || px.empty()) return;
    while (next < frameCount && !failed) {
        int64_t due = firstShown + std::llround(double(next) * 1000000.0 / fps);
        if (due >= now) break;
        if (frame.pixmap.Realloc(width, height) <= 0) {
            failed = true;
            break;
        }
        for (int y = 0; y < height; y++)
            memcpy(frame.pixmap.PixelBytes(0, y), &px[size_t(height - 1 - y) * size_t(width) * 4],
                   size_t(width) * 4);
        frame.opaque = true;
        if (!frame.SaveToPict(FramePath(next).c_str())) {
            err("record: cannot write %s\n", FramePath(next).c_str());
            failed = true;
            break;
        }
        for (size_t k = 0; k < sheetFrames.size(); k++) {
            if (sheetFrames[k] != next) continue;
            if (!thumbs[k]) thumbs[k].reset(new FXCanvas);
            localShrink(frame, width < kThumbWidth ? width : kThumbWidth, thumbs[k].get());
        }
        next++;
    }
}

void Recorder::OnFrameShown(PEnv* env) {
    if (done.load()) return;
    int64_t now = std::llround(fxGetTime() * 1000000.0);
    if (firstShown < 0) firstShown = now;
    EmitUntil(now);
    if (next >= frameCount || failed) {
        done = true;
        hostRequestEnd(kEndFinished);
        return;
    }
    QmBackBuffer::OnFrameShown(env);
    // The swap waits for the display's next refresh, as it does live: without this, frames that
    // the scene does not pace itself (the opening) would follow each other 1 ms apart and a
    // recording would draw a thousand frames for every second it shows.
    fxAdvanceClock(kRefreshSeconds);
}

bool Recorder::WriteSheet() {
    int tw = 0, th = 0, cells = 0;
    for (const std::unique_ptr<FXCanvas>& c : thumbs)
        if (c) {
            tw = c->GetWidth() > tw ? c->GetWidth() : tw;
            th = c->GetHeight() > th ? c->GetHeight() : th;
        }
    for (size_t k = 0; k < thumbs.size(); k++)
        if (thumbs[k]) cells = int(k) + 1;
    if (cells == 0) return false;
    int cols = cells < kSheetColumns ? cells : kSheetColumns;
    int rows = (cells + cols - 1) / cols;
    int cellW = tw + kGap, cellH = th + kLabelPixels + kGap + 4;
    FXCanvas sheet;
    if (sheet.pixmap.Realloc(cols * cellW + kGap, rows * cellH + kGap) <= 0) return false;
    const float background[4] = {0.12f, 0.12f, 0.12f, 1.0f};
    sheet.Clear(background);
    FXFontGDI font;
    font.pixelHeight = kLabelPixels;
    const float ink[4] = {0.9f, 0.9f, 0.9f, 1.0f};
    for (int k = 0; k < cells; k++) {
        if (!thumbs[size_t(k)]) continue;
        int x = kGap + (k % cols) * cellW, y = kGap + (k / cols) * cellH;
        localBlit(*thumbs[size_t(k)], &sheet, x, y, false);
        char label[48];
        snprintf(label, sizeof label, "t = %.2f s", double(sheetFrames[size_t(k)]) / fps);
        FXCanvas text;
        if (text.CreateFromText(label, &font, ink)) localBlit(text, &sheet, x, y + th + 2, true);
    }
    sheet.opaque = true;
    return sheet.SaveToPict(SheetPath().c_str());
}

int qmRecordMain(const QmLaunch& o, void* instance, const char* programName) {
    if (!localMkdirs(o.recordDir) || access(o.recordDir.c_str(), W_OK) != 0) {
        fprintf(stderr, "qmsave: cannot write into the folder %s\n", o.recordDir.c_str());
        return 1;
    }
    if (!o.desktopFile.empty() && access(o.desktopFile.c_str(), R_OK) != 0) {
        fprintf(stderr, "qmsave: cannot read the desktop picture %s\n", o.desktopFile.c_str());
        return 1;
    }
    Recorder rec;
    rec.Setup(o.recordDir, o.recordSeconds, o.recordFps);
    QmSceneOptions scene;
    scene.showFps = o.showFps;
    scene.desktopFile = o.desktopFile;
    scene.frameSink = &rec;
    qmSetSceneOptions(scene);
    QmHostLaunch how;
    how.style = kStyleRecord;
    how.width = o.recordWidth, how.height = o.recordHeight;
    fxUseManualClock(0.0);
    int r = ScreenSaverMain(instance, programName, "", &how);
    qmSetSceneOptions(QmSceneOptions());
    fxUseSystemClock();
    if (r != 0 || qmGetExitStatus() != 0) return r ? r : qmGetExitStatus();

    bool sheet = fxLoadDevil() && rec.WriteSheet();
    fxUnloadDevil();
    if (rec.failed) {
        fprintf(stderr, "qmsave: cannot write %s; the recording stopped after %d frames\n",
                rec.FramePath(rec.next).c_str(), rec.next);
        return 1;
    }
    if (rec.next == 0) {
        fprintf(stderr, "qmsave: no frame was recorded\n");
        return qmEndReason() == kEndSignal ? 0 : 1;  // stopped by a signal: a clean end
    }
    printf("qmsave: %d of %d frames (%d x %d, %g per second) in %s\n", rec.next, rec.frameCount, rec.width,
           rec.height, rec.fps, rec.dir.c_str());
    if (sheet)
        printf("qmsave: contact sheet %s\n", rec.SheetPath().c_str());
    else
        fprintf(stderr, "qmsave: cannot write the contact sheet %s\n", rec.SheetPath().c_str());
    return sheet ? 0 : 1;
}
