// The scene: the saver's content. A photograph of the desktop, taken just before the saver window
// is shown, becomes the texture of animated models; sprite movies drive those models; three
// lights, a logo, a small demo object and an error notice complete the picture.
//
// One QmScene object holds the scene's objects. The saver's window procedure builds it when the
// window is created, from options the program entry chose, and destroys it with the window.
//
// Package entries: 0 error notice, 1 preview picture, 4 and 5 logo model and label, 88, 177 and
// 748 the three movies, 91 the opening animation, 94, 203 and 200 the three clip animations, 749
// and 750 the demo cube's pictures, 751 the picture that fades in over the photograph.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "anim/anim.h"
#include "base/package.h"
#include "elements/demo_gadget.h"
#include "elements/desk.h"
#include "elements/err_gadget.h"
#include "elements/ruva_gadget.h"
#include "elements/smovie.h"
#include "image/light.h"
#include "image/material.h"
#include "device/gl.h"
#include "saver/content.h"
#include "saver/desktop_source.h"
#include "saver/fps.h"
#include "saver/text_plate.h"
#include "saver/rect.h"
#include "saver/scene_damage.h"

class FXScrShot;

// Receives every frame that is about to be shown: called before the swap, on the render thread,
// inside the environment lock with the context current (record mode, tests).
class PFrameSink {
public:
    virtual void OnFrameShown(PEnv* env) = 0;

protected:
    ~PFrameSink() = default;
};

// The device of the scene: the OpenGL device, with the shown frames handed to a sink.
class SceneGL : public FXGL {
public:
    PFrameSink* frameSink = nullptr;
    void RenderEnd() override;
    void RenderEndPart(const FXScreenRects& areas) override;
};

// What a scene is built from.
struct QmSceneOptions {
    std::string dataDir;      // the folder of qmsave.dat (and of the trace log); empty: none known
    bool preview = false;     // the preview pane's still picture instead of the animated scene
    bool showFps = false;     // the frames-per-second readout over everything
    // Every frame drawn and shown whole, also where the device could show only what changed
    // (QMSAVE_WHOLE_FRAMES=1: for comparisons, and a way out should a driver misbehave).
    bool wholeFrames = false;
    std::string desktopFile;  // a picture file used as the desktop photograph instead of the screen
    QmRect desktopArea;       // the part of desktopFile under the window (no width: the whole picture)
    PDesktopSource* desktop = nullptr;  // photographs the desktop under the window; not owned
    PFrameSink* frameSink = nullptr;  // sees every shown frame; not owned
    // The package and decoded animations the scenes of one process share; not owned, and it
    // outlives the scene. Null: the scene keeps content of its own.
    QmContent* content = nullptr;
};

// Package entries of the scene.
enum {
    kEntryErrorNotice = 0,
    kEntryPreview = 1,
    kEntryLogoModel = 4,
    kEntryLogoLabel = 5,
    kEntryOpening = 91,
    kEntryDemoInner = 749,
    kEntryDemoOuter = 750,
    kEntrySecondPicture = 751,
};
// Clip k: its animation entry (anim[k], anim1[k]) and its movie entry (movie[k]).
inline constexpr int kClipAnimEntry[3] = {94, 203, 200};
inline constexpr int kClipMovieEntry[3] = {177, 88, 748};

// One step of the clip state machine: the pose the next clip heads for, the clip, and its
// direction.
struct QmClipStep {
    int stage;       // 0 S, 1 P, 2 Q, 3 R
    int clip;        // 0, 1 or 2: movie[clip] with anim[clip] and anim1[clip]
    bool backwards;  // the clip runs from its last frame to its first
};
// The clip that follows the one that brought the sheet to stage (0..3): where there is a choice
// (stages 1 and 2), r in [0, 1] below 0.6 takes the first way.
QmClipStep qmNextClip(int stage, double r);

// The scene: every object of its assembly, in the order they are built, and the choreography
// that draws them (scene_render.cpp). Built on the window thread inside the window's creation;
// the render thread owns it while the loop runs; destroyed on the window thread after the loop
// has stopped.
class QmScene : public PRender {
public:
    explicit QmScene(const QmSceneOptions& options);
    ~QmScene();
    QmScene(const QmScene&) = delete;
    QmScene& operator=(const QmScene&) = delete;

    // Builds the scene on window (the saver window, not shown yet) and, with startLoop, starts
    // the render loop (without, frames can be drawn one by one through OnRender). False when
    // OpenGL cannot draw into the window (no pixel format or context, as on a system without a
    // working OpenGL driver): then nothing is loaded, the reason is on standard error and in the
    // log. Call once.
    bool Init(void* window, bool startLoop = true);
    // Stops the render loop and destroys every object and the device (the package goes with the
    // content: the scene's own with the scene). Repeatable.
    void Destroy();
    // The window's new client size (a resizable window).
    void Resize(int width, int height);
    // One frame (the render thread, inside the environment lock).
    void OnRender(PEnv* env, double t) override;
    // The window's pixels were lost (uncovered, exposed): the next frame is drawn whole. Any
    // thread.
    void Invalidate() { wholeNext_ = true; }
    // Whether clip frames redraw and show only the part of the window that changed (the device
    // can show a part, and the options allow it). Set by Init.
    bool DrawsParts() const { return partial_; }

    const QmSceneOptions options;

private:
    std::unique_ptr<QmContent> ownContent_;  // when the options bring none

public:
    QmContent& content;  // read by the other monitors' scenes as well
    FXPackage& pck;      // the content's package
    // In the order of construction.
    SceneGL gr;
    FXLight light, light1, light2;
    FXDesk preview;
    FXMaterial preview_mat;
    FXMaterial scr_mat;   // the desktop photograph
    FXMaterial scr_mat1;  // entry 751
    FXAnim anim_starting, anim1_starting;
    FXAnim anim[3];
    FXAnim anim1[3];
    SMovie movie[3];
    FXRuvaGadget gad;
    bool hasError = false;
    FXErrGadget err_gad;
    int dststage = 0;
    int aact_anim = 0;
    int aact_movie = 0;
    FXDemoGadget demo;
    FpsOverlay fps;  // drawn when options.showFps
    QmTextPlate notice;  // why there is no content, when there is none

    float light_col[4] = {0.7f, 0.7f, 0.7f, 1.0f};
    float light1_col[4] = {0.0f, 0.0f, 0.06f, 1.0f};
    float light2_col[4] = {0.0f, 0.0f, 0.06f, 1.0f};
    bool first = true;
    bool starting = true;
    static constexpr const char* mat_name = "Material.001";
    static constexpr const char* mat_name1 = "Material.001a";

private:
    bool initialized_ = false;
    bool destroyed_ = false;

    // Drawing only what changed (scene_render.cpp, scene_damage.h).
    bool partial_ = false;
    std::atomic<bool> wholeNext_{true};
    QmDamage damage_;
    bool tracked_ = false;        // the frame before was a clip frame noted in damage_
    int trackedWidth_ = 0, trackedHeight_ = 0;
    FXScreenRects lastOverlay_;   // where the overlay drew in the frame before
    uint64_t twinSkip_ = 0;       // meshes of the running clip's first copy left out (see DrawClip)

    // Assembly (scene.cpp).
    void OpenLog();
    bool TakeDesktopPicture(FXScrShot* shot, void* window);
    void NameFor(bool firstCopy);
    void LoadCopy(FXAnim* a, int entry, bool firstCopy);
    void LoadPair(FXAnim* first, FXAnim* second, int entry);
    void LoadMovie(int i);
    void LoadSecondPicture();
    void SetUpLights();
    void LoadFullScreenContent(FXScrShot* shot);
    static const char* const kNoContentHeading;
    static const char* const kDamagedHeading;
    void MakeNotice(const char* heading, const std::string& why);
    void DrawNotice(PEnv* env, double t);
    // Choreography (scene_render.cpp).
    bool PosedByMovie(int k) const;
    void RenderOpening(PEnv* env, double t);
    void StartNextClip(double t);
    void PoseClip(PEnv* env, double t);
    FXScreenRects ClipArea(PEnv* env);
    void ClearArea(PEnv* env, const FXScreenRect& area);
    void DrawClip(PEnv* env, double t);
    void FinishClip(PEnv* env, double t);
    void ReserveDamage();
    void Present(PEnv* env, const FXScreenRects& areas, const FXScreenRects& overlay);
    void RenderOverlay(PEnv* env, double t, FXScreenRects* drawn);
};
