// FXAnim: a frame animation made of key frames. Every key frame is a complete model and all frames
// share one mesh structure (same meshes, vertices and triangles; only positions and normals
// differ). Shown frame by frame, or interpolated: one extra model (a copy of frame 0) whose vertex
// positions and normals are recomputed before each draw on Bezier splines through that vertex's
// values in all key frames. Driven by its own clock (durations, loop and ping-pong rules) or from
// outside (a sprite movie names the key pair and the phase and sets frozen).
//
// Records (package entries and files alike):
//   "xa03" layout: the string "xa03", the common head, int32 M (meshes per frame), the material
//     library name (string), M mesh header records, M number pools, one vector map per frame.
//   v02 layout (anything else): the common head only; frame names are model entry numbers
//     (package) or model file names (file).
//   Common head: frame names (string array), durations in ms (int array), the timing graph
//   record, a float32, then the bools playing, backwards, loop, pingPong.
#pragma once

#include <cstdio>
#include <memory>

#include "anim/anim_splines.h"
#include "anim/beziergraph.h"
#include "base/arrays.h"
#include "base/ptr_array.h"
#include "geometry/data.h"
#include "geometry/model.h"
#include "render/render.h"

class FXAnimShape;
class FXPackage;

class FXAnim : public PRender, public PMeshSaveClb {
public:
    FXBezierGraph graph;      // stored with the animation; playback does not consult it
    float spareValue = 0.0f;  // stored with the animation; nothing uses it
    bool playing = true;      // the own clock advances frames
    bool backwards = false;   // frames advance towards frame 0
    bool loop = true;         // continue at the ends instead of stopping
    bool pingPong = false;    // with loop: reverse at the ends instead of wrapping
    double frameStart = 0.0;  // clock time at which the current frame began, seconds
    int frame = 0;            // the current frame
    double frameDuration = 0.0;  // seconds
    bool frozen = false;      // driven from outside: no own clock, OnRender only draws
    bool frameDirty = false;  // choose the key pair again at the next OnRender
    FXPtrArray<FXModel> models;  // one per frame (may be null)
    FXStrArray frameNames;    // per frame: model file name or decimal entry number
    FXArray durations;        // per frame, milliseconds; its length is the frame count
    bool interpolate = false;
    bool interpolateHint = false;
    bool linear = false;      // straight lines between key frames instead of Bezier curves
    FXModel imodel;           // the interpolated model (a copy of frame 0)
    // One position and one normal spline per vertex of imodel, through that vertex in every frame
    // (null while there is no interpolation).
    std::unique_ptr<FXAnimSplines> posSplines;
    std::unique_ptr<FXAnimSplines> normalSplines;
    bool reverseSegment = false;  // the active pair is traversed from its second key to its first
    float tension = 1.0f;
    float phase = 0.0f;  // position between the active key pair, as last computed or set

    FXAnim() = default;
    FXAnim(const FXAnim&) = delete;
    FXAnim& operator=(const FXAnim&) = delete;
    virtual ~FXAnim();

    int GetFrameCount() const { return durations.top; }
    FXModel* GetModel(int i) const;

    // 1 when the record loaded. 0 when the entry is missing, shorter than 8 bytes or damaged
    // (counts beyond the entry, as many frame names as durations, frames too large): the
    // animation is then empty, and a damaged record leaves a trace line. A damaged timing graph
    // alone leaves the graph empty and the rest loads. The frames' material library is loaded
    // through env (none without one).
    int LoadCN(PEnv* env, FXPackage* pkg, int id);
    // The same from a file; 0 when it cannot be opened.
    int Load(PEnv* env, const char* path);
    // A copy of the animation shape was taken from (anim_shape.h), without decoding anything: its
    // frame names, durations and flags, an interpolated model of frame 0 whose meshes find their
    // materials by name in the library env lends (through pkg) as loading does, and splines that
    // share the shape's keys. The copy holds no key frames, as after ReleaseFrames. False (and
    // empty) when the shape is empty or memory runs out.
    bool CreateFromShape(PEnv* env, FXPackage* pkg, const FXAnimShape& shape);
    // Frees frames, names, durations, graph and interpolation data and resets the clock state;
    // keeps frozen, linear and tension.
    void Destroy();

    // Sets up (true) or removes the interpolated model and its splines. Frames whose meshes
    // differ from frame 0's in number or in vertex count leave a copy of frame 0 without splines
    // (drawn unmoved) and a trace line.
    void UpdateInterpolation(bool interpolate, bool hint);
    // For players: once the splines hold every frame's positions and normals, only the
    // interpolated model is drawn and the key frames are never read again, so their meshes are
    // freed (the frame count, names and durations stay). Afterwards UpdateInterpolation and the
    // authoring operations find no frames. Without splines it does nothing.
    void ReleaseFrames();
    void StartAnim(double t);
    void ContinueAnim(double t);
    void ComputeFrameDuration();
    // Advances the own clock (at most one frame per call) and draws.
    void OnRender(PEnv* env, double t) override;
    void UpdateIFrame();
    void UpdateIPos(double t);

    // External drive: the key pair and the phase between its keys.
    void SetActFrames(int from, int to);
    void SetActPhase(float phase);

    // ---- authoring (changes to the frames take effect on the interpolated model at the next
    // UpdateInterpolation) ----
    bool TestRedirect(int meshA, int vertA, int meshB, int vertB) override;
    // "xa03" to a file; false when it cannot be written or the frames do not share frame 0's
    // meshes and triangles (the one corner stream per mesh serves every frame). Vertices no
    // triangle uses are dropped from every frame first.
    bool Save(const char* path);
    // The v02 head only (frames are separate model files).
    bool Save_v02(const char* path);
    // Compiles every frame's model into the package; false when one fails.
    bool Compile(FXPackage* pkg);
    void MoveFrame(int to, int from);
    void Unitize(int ref);
    void UnitizeStretch(int ref);
    void UnitizeStretch1(int ref);
    void UnitizeStretch1HalfHoriz(int ref);
    void Normalize(int index, bool selective);
    void FlipHoriz();
    void ResizeTextCoords();
    void ResizeTextCoords1();
    // Front texture coordinates on frame ref's mesh `mode` (-1: every mesh), copied to every
    // other frame.
    void ComputeFrontTexCoords(int ref, int mode);

private:
    void StepFrame(double t);
    void SelectPair(int from, int to);
    void EvaluatePose();
    bool SplinesReady();
    void DestroyInterpolation();
};
