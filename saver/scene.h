// The scene: the saver's content. A photograph of the desktop, taken just before the saver window
// is shown, becomes the texture of animated models; sprite movies drive those models; three
// lights, a logo, a small demo object and an error notice complete the picture.
//
// All scene objects are process-wide objects with static storage, constructed before the program
// starts and filled by InitScene on the window thread; the render thread owns them while the
// loop runs; DestroyScene takes them down after the loop has ended.
//
// Package entries: 0 error notice, 1 preview picture, 4 and 5 logo model and label, 88, 177 and
// 748 the three movies, 91 the opening animation, 94, 203 and 200 the three clip animations, 749
// and 750 the demo cube's pictures, 751 the picture that fades in over the photograph.
#pragma once

#include "anim/anim.h"
#include "base/package.h"
#include "elements/demo_gadget.h"
#include "elements/desk.h"
#include "elements/err_gadget.h"
#include "elements/ruva_gadget.h"
#include "elements/smovie.h"
#include "image/light.h"
#include "image/material.h"
#include "render/gl.h"
#include "saver/fps.h"

// The root renderable; its OnRender draws one frame (scene_render.cpp).
class Scene : public PRender {
public:
    void OnRender(PEnv* env, double t) override;
};

// Receives every frame that is about to be shown: called before the swap, on the render thread,
// inside the environment lock with the context current (record mode).
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
};

extern bool isPreview;
extern FXPackage pck;
extern Scene sc;
extern SceneGL gr;
extern FXLight light, light1, light2;
extern FXDesk preview;
extern FXMaterial preview_mat;
extern FXMaterial scr_mat;
extern FXMaterial scr_mat1;
extern FXAnim anim_starting, anim1_starting;
extern FXAnim anim[3];
extern FXAnim anim1[3];
extern SMovie movie[3];
extern FXRuvaGadget gad;
extern bool hasError;
extern FXErrGadget err_gad;
extern int dststage;
extern int aact_anim;
extern int aact_movie;
extern FXDemoGadget demo;

extern float light_col[4];
extern float light1_col[4];
extern float light2_col[4];
extern bool first;
extern bool starting;
extern const char* const mat_name;
extern const char* const mat_name1;

// The -fps readout, drawn over everything when showFps is set.
extern bool showFps;
extern FpsOverlay fps;

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
extern const int kClipAnimEntry[3];
extern const int kClipMovieEntry[3];

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

// Builds the scene on window (the saver window, not shown yet) and starts the render loop. False
// when OpenGL cannot draw into the window (no pixel format or context, as on a system without a
// working OpenGL driver): then nothing is loaded, the reason is on standard error and in the log.
bool InitScene(void* window, bool preview);
// The same; startLoop false leaves the loop stopped, so frames can be drawn one by one.
bool InitSceneSteps(void* window, bool preview, bool startLoop);
// Stops the render loop and destroys every scene object, the package and the device.
void DestroyScene();
// The window's new client size (a resizable window).
void SceneResize(int width, int height);
