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
#include "saver/contact_sheet.h"
#include "saver/end_request.h"
#include "saver/launch.h"
#include "saver/main.h"
#include "saver/scrnsave.h"

namespace {

bool localMkdirs(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
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
            qmShrinkPicture(frame, width < kThumbWidth ? width : kThumbWidth, thumbs[k].get());
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
        qmRequestEnd(kEndFinished);
        return;
    }
    QmBackBuffer::OnFrameShown(env);
    // The swap waits for the display's next refresh, as it does live: without this, frames that
    // the scene does not pace itself (the opening) would follow each other 1 ms apart and a
    // recording would draw a thousand frames for every second it shows.
    fxAdvanceClock(kRefreshSeconds);
}

bool Recorder::WriteSheet() {
    std::vector<QmSheetCell> cells(thumbs.size());
    for (size_t k = 0; k < thumbs.size(); k++) {
        cells[k].picture = thumbs[k].get();
        cells[k].label = LabelOf(sheetFrames[k]);
    }
    return qmWriteContactSheet(cells, kSheetColumns, SheetPath());
}

std::string Recorder::LabelOf(int frame) const {
    char label[48];
    snprintf(label, sizeof label, "t = %.2f s", double(frame) / fps);
    return label;
}

namespace {

const int kLayoutWidth = 384;  // a layout's picture on the sheet, in pixels across

// One window's recording into rec's folder: the scene over area, on the controllable clock from
// 0. The exit status of the run; the frames, the window's sheet and what went wrong are rec's.
int localRecordWindow(const QmSceneOptions& scene, void* instance, const QmRect& area, bool cropDesktop,
                      Recorder* rec, QmEnd* endReason) {
    QmSceneOptions options = scene;
    options.frameSink = rec;
    if (cropDesktop) options.desktopArea = area;
    QmHostLaunch how;
    how.style = kStyleRecord;
    how.x = area.x, how.y = area.y;
    how.width = area.width, how.height = area.height;
    fxUseManualClock(0.0);
    std::unique_ptr<PHost> platform = qmCreateHost();
    QmSaver saver(options);
    QmScreenSaver host(*platform, saver, instance);
    int r = host.Run(how);
    *endReason = host.EndReason();
    fxUseSystemClock();
    return r;
}

// Says how the recording went; its exit status.
int localReport(const Recorder& rec, QmEnd endReason, bool sheet) {
    if (rec.failed) {
        fprintf(stderr, "qmsave: cannot write %s; the recording stopped after %d frames\n",
                rec.FramePath(rec.next).c_str(), rec.next);
        return 1;
    }
    if (rec.next == 0) {
        fprintf(stderr, "qmsave: no frame was recorded\n");
        return endReason == kEndSignal ? 0 : 1;  // stopped by a signal: a clean end
    }
    printf("qmsave: %d of %d frames (%d x %d, %g per second) in %s\n", rec.next, rec.frameCount, rec.width,
           rec.height, rec.fps, rec.dir.c_str());
    if (sheet)
        printf("qmsave: contact sheet %s\n", rec.SheetPath().c_str());
    else
        fprintf(stderr, "qmsave: cannot write the contact sheet %s\n", rec.SheetPath().c_str());
    return sheet ? 0 : 1;
}

// The sheet of a layout: at each of the sheet's times, every monitor's frame in its place.
bool localWriteLayoutSheet(const std::vector<std::unique_ptr<Recorder>>& recs, const std::vector<QmRect>& monitors,
                           const std::string& path) {
    const Recorder& first = *recs.front();
    std::vector<FXCanvas> layouts(first.sheetFrames.size());
    std::vector<QmSheetCell> cells(layouts.size());
    for (size_t k = 0; k < layouts.size(); k++) {
        int frame = first.sheetFrames[k];
        std::vector<FXCanvas> pictures(recs.size());
        std::vector<const FXCanvas*> frames;
        for (size_t i = 0; i < recs.size(); i++) {
            pictures[i].autoDetectTrans = false;
            bool shown = frame < recs[i]->next && pictures[i].CreateFromPict(recs[i]->FramePath(frame).c_str());
            frames.push_back(shown ? &pictures[i] : nullptr);
        }
        if (!qmComposeLayout(frames, monitors, kLayoutWidth, &layouts[k])) return false;
        cells[k].picture = &layouts[k];
        cells[k].label = first.LabelOf(frame);
    }
    return qmWriteContactSheet(cells, Recorder::kSheetColumns, path);
}

// A layout of monitors: each monitor's scene recorded in turn into DIR/monitor-N/, then the
// layout's sheet. The desktop picture, when given, is the whole layout's.
int localRecordLayout(const QmLaunch& o, const QmSceneOptions& scene, void* instance) {
    std::vector<std::unique_ptr<Recorder>> recs;
    int status = 0;
    for (size_t i = 0; i < o.recordMonitors.size(); i++) {
        std::string dir = o.recordDir + "/monitor-" + std::to_string(i + 1);
        if (!localMkdirs(dir)) {
            fprintf(stderr, "qmsave: cannot write into the folder %s\n", dir.c_str());
            return 1;
        }
        recs.emplace_back(new Recorder);
        Recorder& rec = *recs.back();
        rec.Setup(dir, o.recordSeconds, o.recordFps);
        QmEnd endReason = kEndNone;
        int r = localRecordWindow(scene, instance, o.recordMonitors[i], true, &rec, &endReason);
        if (r != 0) return r;
        bool sheet = fxLoadDevil() && rec.WriteSheet();
        fxUnloadDevil();
        int s = localReport(rec, endReason, sheet);
        if (s != 0 || endReason == kEndSignal) return s;
        status = s;
    }
    bool sheet = fxLoadDevil() && localWriteLayoutSheet(recs, o.recordMonitors, o.recordDir + "/sheet.png");
    fxUnloadDevil();
    if (!sheet) {
        fprintf(stderr, "qmsave: cannot write the contact sheet %s/sheet.png\n", o.recordDir.c_str());
        return 1;
    }
    printf("qmsave: the layout's contact sheet %s/sheet.png\n", o.recordDir.c_str());
    return status;
}

}  // namespace

int qmRecordMain(const QmLaunch& o, const QmSceneOptions& scene, void* instance) {
    if (!localMkdirs(o.recordDir) || access(o.recordDir.c_str(), W_OK) != 0) {
        fprintf(stderr, "qmsave: cannot write into the folder %s\n", o.recordDir.c_str());
        return 1;
    }
    if (!o.desktopFile.empty() && access(o.desktopFile.c_str(), R_OK) != 0) {
        fprintf(stderr, "qmsave: cannot read the desktop picture %s\n", o.desktopFile.c_str());
        return 1;
    }
    if (!o.recordMonitors.empty()) return localRecordLayout(o, scene, instance);
    Recorder rec;
    rec.Setup(o.recordDir, o.recordSeconds, o.recordFps);
    QmRect area;
    area.width = o.recordWidth, area.height = o.recordHeight;
    QmEnd endReason = kEndNone;
    int r = localRecordWindow(scene, instance, area, false, &rec, &endReason);
    if (r != 0) return r;
    bool sheet = fxLoadDevil() && rec.WriteSheet();
    fxUnloadDevil();
    return localReport(rec, endReason, sheet);
}
