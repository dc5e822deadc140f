// Record mode: the full-screen scene drawn on the controllable clock (render pauses and a movie's
// frame waits move the clock instead of sleeping, and each swap waits for a 60 Hz display), so a
// frame at "t = 4.0 s" is exact. Frame i of
// the recording is the picture on screen at clock time i / F after the first shown frame, written
// as DIR/frame-00000.png, frame-00001.png, ...; DIR/sheet.png shows evenly spaced frames in a
// grid, each labelled with its time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/canvas.h"
#include "saver/back_buffer.h"

class Recorder final : public QmBackBuffer {
public:
    enum { kSheetColumns = 4, kSheetRows = 4, kThumbWidth = 256 };
    // Clock time a shown frame stays on screen before the next one can replace it: a 60 Hz
    // display.
    static constexpr double kRefreshSeconds = 1.0 / 60.0;

    std::string dir;
    int frameCount = 0;     // frames to write
    double fps = 25.0;
    int64_t firstShown = -1;  // clock of the first shown frame, microseconds (-1: none yet)
    int next = 0;             // the next frame to write
    FXCanvas frame;                    // the frame being written (top row first)
    std::vector<int> sheetFrames;      // which frames the sheet shows, ascending
    std::vector<std::unique_ptr<FXCanvas>> thumbs;  // their small copies (null until written)
    std::atomic<bool> done{false};
    bool failed = false;

    Recorder() = default;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // seconds x fps frames (at least one) into dir.
    void Setup(const std::string& dir, double seconds, double fps);
    // Called before each swap (render thread, context current): writes the frames the one on
    // screen until now stood for, then reads the new one.
    void OnFrameShown(PEnv* env) override;
    // Writes every frame due before clock time nowMicros from the frame on screen. Public for
    // tests, which hand in frames without a device.
    void EmitUntil(int64_t nowMicros);
    // The picture now on screen (bottom row first, 4 bytes per pixel).
    void SetShown(const unsigned char* rgba, int w, int h);
    // Writes the contact sheet (DevIL bound); false when it cannot be written.
    bool WriteSheet();
    std::string FramePath(int i) const;
    std::string SheetPath() const;
    // The sheet's label of a frame: its time.
    std::string LabelOf(int frame) const;
};

struct QmLaunch;
struct QmSceneOptions;

// The record mode run of the launch words: checks the folder, switches to the controllable clock,
// runs the scene (built from scene) in a window of the recording's size until every frame is
// written (or a signal), writes the sheet. Returns the exit status.
int qmRecordMain(const QmLaunch& launch, const QmSceneOptions& scene, void* instance);
