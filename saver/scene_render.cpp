// Scene choreography: one frame, on the render thread inside the environment lock. The first
// full-screen frame only prepares (textures, animation state) and is never shown. Then the
// opening fades entry 751 over the photographed desktop (alpha f cubed, f the opening animation's
// phase) while the lights fade; after it, clips chosen at random follow one another: each a
// sprite movie driving two copies of an animation, the movie's frame duration pacing the scene.
//
// Clip state machine (stage: the pose the running clip heads for):
//   stage 0 (pose S, clip 0 forward)      -> stage 1, clip 0 backward
//   stage 1 (pose P, clip 0 or 2 backward) -> r < 0.6: stage 0, clip 0 forward; else stage 2, clip 2 forward
//   stage 2 (pose Q, clip 2 or 1 forward)  -> r < 0.6: stage 3, clip 1 backward; else stage 1, clip 2 backward
//   stage 3 (pose R, clip 1 backward)      -> stage 2, clip 1 forward
#include <cstdint>

#include "base/compiler.h"
#include "base/other.h"
#include "saver/scene.h"

namespace {

const double kForwardShare = 0.6;
// Frames that no movie paces (the opening, a clip whose movie has no pictures) come
// at most this often: the display's refresh where it is not known, 60 Hz. The scene's timings do
// not depend on it; only as many frames are drawn as can be shown.
const double kPaceSeconds = 1.0 / 60.0;
// The preview's picture stands still: it is drawn again only often enough to repair the pane
// soon after another window uncovered it.
const double kStillPaceSeconds = 1.0 / 20.0;

// The matrices of the passes, multiplied onto the identity: depth stretched five times for the
// models; the movie mirrored in x, then moved to z = -0.2, in front of them.
struct ScenePasses {
    FXMatrix identity, stretch, mirror, forward;
    FXMatrix model, movie;  // the model-view matrices of the two passes, as the device builds them
    ScenePasses() {
        identity.SetIdentity();
        stretch.SetScaleF(1.0f, 1.0f, 5.0f);
        mirror.SetFlipX();
        forward.SetMoveF(0.0f, 0.0f, -0.2f);
        model.Multiply(&identity, &stretch);
        FXMatrix mirrored;
        mirrored.Multiply(&identity, &mirror);
        movie.Multiply(&mirrored, &forward);
    }
};

const ScenePasses& localPasses() {
    static const ScenePasses passes;
    return passes;
}

// The device takes a matrix it may keep: it gets a copy of the constant one.
void localMultiply(PEnv* env, const FXMatrix& m) {
    FXMatrix copy = m;
    env->MultiplyMatrix(&copy);
}

void localLightsOn(PEnv* env, bool on) {
    env->EnableLights(on);
    env->EnableDepthTest(on);
    env->EnableDepthWrite(on);
}

void localModelPass(PEnv* env) {
    env->ApplyMatrixIdentity();
    localMultiply(env, localPasses().stretch);
    localLightsOn(env, true);
}

void localMoviePass(PEnv* env) {
    env->ApplyMatrixIdentity();
    localMultiply(env, localPasses().mirror);
    localMultiply(env, localPasses().forward);
}

// The two copies of an animation take the same pose and draw the same surfaces at the same
// depths; the second is drawn over the first with the depth test passing on equal depths. A mesh
// of the first whose twin in the second hides what lies behind it then leaves nothing of itself
// on screen, and need not be drawn, provided every mesh of the first that is still drawn hides
// what lies behind it too (so that nothing left out could have shown through one). On a software
// renderer that spares most of a clip's pixels, and the sheet's in the opening. The meshes of the
// first copy to leave out, one bit each.
uint64_t localTwinSkip(const FXAnim& first, const FXAnim& second, bool samePose) {
    const int n = first.imodel.meshes.Count();
    uint64_t skip = 0;
    bool exact = samePose && first.interpolate && second.interpolate && n == second.imodel.meshes.Count() && n <= 64;
    for (int i = 0; exact && i < n; i++) {
        const FXMesh* a = first.imodel.EnumMeshes(i);
        const FXMesh* b = second.imodel.EnumMeshes(i);
        if (!a || a->disabled || a->vertexCount <= 0 || a->indexCount <= 0) continue;
        if (b && b->HidesWhatLiesBehind() && a->drawPass == 0)
            skip |= uint64_t(1) << i;
        else
            exact = a->HidesWhatLiesBehind();
    }
    return exact ? skip : 0;
}

// Draws the first copy without the meshes skip names.
void localDrawWithout(PEnv* env, double t, FXAnim& first, uint64_t skip) {
    const int n = first.imodel.meshes.Count();
    for (int i = 0; i < n; i++)
        if (skip >> i & 1) first.imodel.EnumMeshes(i)->disabled = true;
    first.OnRender(env, t);
    for (int i = 0; i < n; i++)
        if (skip >> i & 1) first.imodel.EnumMeshes(i)->disabled = false;
}

// The meshes of a copy that drawing it will draw (all but those skip names and disabled ones),
// noted with the matrix of the model pass.
void localNoteCopy(QmDamage* damage, const FXAnim& a, uint64_t skip) {
    const int n = a.imodel.meshes.Count();
    for (int i = 0; i < n; i++) {
        const FXMesh* m = a.imodel.EnumMeshes(i);
        if (m && !m->disabled && !(i < 64 && (skip >> i & 1))) damage->Note(m, localPasses().model, 0);
    }
}

}  // namespace

// A clip's copies are in the same pose once its movie has posed both.
bool QmScene::PosedByMovie(int k) const {
    return movie[k].keyed && movie[k].animA == &anim[k] && movie[k].animB == &anim1[k] && anim[k].frozen &&
           anim1[k].frozen;
}

// The opening: the photograph on the first copy, entry 751 fading in on the second.
void QmScene::RenderOpening(PEnv* env, double t) {
    localModelPass(env);
    // Both copies run on the same clock from the same start: always in the same pose.
    localDrawWithout(env, t, anim_starting, localTwinSkip(anim_starting, anim1_starting, true));
    const float f = anim_starting.phase;
    const float alpha[4] = {1.0f, 1.0f, 1.0f, f * f * f};
    scr_mat1.MultiCols(alpha);
    anim1_starting.OnRender(env, t);
    localLightsOn(env, false);

    // White at f = 0, the light colours at f = 1; sent with the next frame's UpdateLights.
    float v[4];
    for (int i = 0; i < 4; i++) v[i] = (light_col[i] - 1.0f) * f + 1.0f;
    light.SetDefDiffuse(1.0f);
    light.MultiColor(v);
    for (int i = 0; i < 4; i++) v[i] = light1_col[i] * f;
    light1.SetDefSpecular(1.0f);
    light1.MultiColor(v);
    for (int i = 0; i < 4; i++) v[i] = light2_col[i] * f;
    light2.SetDefSpecular(1.0f);
    light2.MultiColor(v);

    const float fade[4] = {1.0f, 1.0f, 1.0f, f};
    movie[0].desk.UpdateColCol(fade);
    localMoviePass(env);
    movie[0].OnRender(env, t);

    if (!anim_starting.playing) {
        // The lights keep the values of this last opening frame.
        starting = false;
        const float opaque[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        movie[0].desk.UpdateColCol(opaque);
        scr_mat1.MultiCols(opaque);
        dststage = 2;
        aact_anim = aact_movie = 2;
        movie[2].Restart(t);
    }
}

// The next clip once the running movie shows its last frame. The random number is drawn only
// where the state machine has a choice, so the generator's sequence is the same as ever.
void QmScene::StartNextClip(double t) {
    double r = dststage == 1 || dststage == 2 ? fxGetRandom() : 0.0;
    QmClipStep next = qmNextClip(dststage, r);
    dststage = next.stage;
    if (next.backwards)
        movie[next.clip].RestartBack(t);
    else
        movie[next.clip].Restart(t);
    aact_anim = aact_movie = next.clip;
}

// A clip frame's state before anything is drawn: the movie's front frame, and the pose it gives
// the two copies. Drawing then changes no vertex the damage was worked out from.
void QmScene::PoseClip(PEnv* env, double t) {
    const int k = aact_movie;
    if (movie[k].GetFrameCount() <= 0) env->nextFrameAt = t + kPaceSeconds;  // nothing waits
    FXMatrix identity = localPasses().identity;
    env->ApplyMatrix(&identity);
    movie[k].Prepare(env, -1);
    movie[k].OnRender0(env, t);
    twinSkip_ = localTwinSkip(anim[k], anim1[k], PosedByMovie(k));
}

// The parts of the window this clip frame can change: what the copies and the movie draw
// differently from the frame before, and where the overlay drew then (it is drawn afresh over a
// redrawn background). Whole where the frame before is not known to be on screen and in the
// back buffer (the first clip frame, after a resize or an expose), and where the copies are not
// posed by the movie (they would then move while they are drawn).
FXScreenRects QmScene::ClipArea(PEnv* env) {
    FXScreenRects areas;
    if (!partial_) {
        areas.Add(FXScreenRect::Whole());
        return areas;
    }
    const int k = aact_movie;
    const bool sizeChanged = env->width != trackedWidth_ || env->height != trackedHeight_;
    const bool whole = wholeNext_.exchange(false) || !tracked_ || sizeChanged || !PosedByMovie(k);
    if (sizeChanged) damage_.Forget();
    damage_.Begin(env->width, env->height, env->projection);
    damage_.NoteLights(env->lights, PEnv::kMaxLights);
    localNoteCopy(&damage_, anim[k], twinSkip_);
    localNoteCopy(&damage_, anim1[k], 0);
    const SMovie& m = movie[k];
    if (m.GetFrameCount() > 0 && m.prepared.First()) {
        const int f = m.preparedFrames.top > 0 ? m.preparedFrames.GetInt(0) : -1;
        damage_.Note(&m.desk.mesh, localPasses().movie, uint64_t(uint32_t(k)) << 32 | uint32_t(f));
    }
    areas = damage_.End();
    tracked_ = true;
    trackedWidth_ = env->width;
    trackedHeight_ = env->height;
    if (whole) areas.Add(FXScreenRect::Whole());
    areas.Add(lastOverlay_);
    return areas;
}

// Limits drawing to area and clears colour and depth there: the start of every frame's scene.
void QmScene::ClearArea(PEnv* env, const FXScreenRect& area) {
    env->SetDrawArea(area);
    env->EnableDepthTest(true);
    env->EnableDepthWrite(true);
    env->Clrscr(true, true, false);
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    env->EnableLights(false);
    env->ApplyMatrixIdentity();
}

// The clip's scene as posed: the copies, then the movie's front frame. It changes nothing, so it
// can be drawn once for each part of the window that is redrawn.
void QmScene::DrawClip(PEnv* env, double t) {
    const int k = aact_movie;
    localModelPass(env);
    localDrawWithout(env, t, anim[k], twinSkip_);
    anim1[k].OnRender(env, t);
    localMoviePass(env);
    localLightsOn(env, false);
    movie[k].DrawFront(env);
}

void QmScene::FinishClip(PEnv* env, double t) {
    const int k = aact_movie;
    movie[k].Advance(env, t);  // sleeps until the movie's next frame is due
    movie[k].Prepare(env, -1);
    if (movie[k].prepared.Count() <= 1) StartNextClip(t);
}

// Shows the frame: with partial presents the parts that changed, the overlay included, else the
// whole back buffer by a swap.
void QmScene::Present(PEnv* env, const FXScreenRects& areas, const FXScreenRects& overlay) {
    if (!partial_) {
        env->RenderEnd();
        return;
    }
    FXScreenRects shown = areas;
    shown.Add(overlay);
    lastOverlay_ = overlay;
    env->RenderEndPart(shown);
}

void QmScene::RenderOverlay(PEnv* env, double t, FXScreenRects* drawn) {
    // Each gadget's area on its own: the logo and the cube are far apart as a rule.
    FXScreenRect area;
    auto next = [&] {
        if (drawn) drawn->Add(area);
        area = FXScreenRect();
    };
    env->drawnArea = drawn ? &area : nullptr;
    env->ApplyMatrixIdentity();
    localLightsOn(env, true);
    env->Clrscr(false, true, false);  // gadgets are never hidden by the scene
    demo.OnRender(env, t);
    next();
    env->ApplyMatrixIdentity();
    gad.OnRender(env, t);
    next();
    env->ApplyMatrixIdentity();
    err_gad.OnRender(env, t);
    DrawNotice(env, t);
    if (options.showFps) fps.OnRender(env, t);
    next();
    env->drawnArea = nullptr;
}

QmClipStep qmNextClip(int stage, double r) {
    switch (stage) {
        case 0:
            return {1, 0, true};
        case 1:
            return r < kForwardShare ? QmClipStep{0, 0, false} : QmClipStep{2, 2, false};
        case 2:
            return r < kForwardShare ? QmClipStep{3, 1, true} : QmClipStep{1, 2, true};
        case 3:
            return {2, 1, false};
        default:
            FX_ASSERT(false && "the clip stages are 0 to 3");
            return {2, 2, false};
    }
}

void QmScene::OnRender(PEnv* env, double t) {
    env->nextFrameAt = 0.0;
    // A clip is posed first, so that the frame knows what it changes before it clears.
    const bool clip = !starting && !options.preview;
    if ((clip || !first || options.preview) && !env->RenderStart()) return;
    FXScreenRects areas;
    if (clip) {
        PoseClip(env, t);
        areas = ClipArea(env);
    } else {
        tracked_ = false;
        areas.Add(FXScreenRect::Whole());
    }
    if (!first || options.preview) ClearArea(env, areas.Count() > 0 ? areas.Get(0) : FXScreenRect());
    env->UpdateLights();

    if (options.preview) {
        env->EnableDepthTest(false);
        env->EnableDepthWrite(false);
        env->EnableLights(false);
        env->ApplyMatrixIdentity();
        preview.OnRender(env, t);
        DrawNotice(env, t);
        if (options.showFps) fps.OnRender(env, t);
        env->RenderEnd();
        env->nextFrameAt = t + kStillPaceSeconds;
        return;
    }

    env->UpdateLights();
    if (first) {
        anim_starting.backwards = false;
        anim_starting.StartAnim(t);
        anim1_starting.backwards = false;
        anim1_starting.StartAnim(t);
        movie[0].playing = false;  // its first frame only, fading in
        movie[0].Prepare(env, -1);
        scr_mat1.PreserveCols();
    }
    env->EnableNormalize(true);  // scaled models keep unit normals
    if (starting) {
        RenderOpening(env, t);
        if (!first) env->nextFrameAt = t + kPaceSeconds;
    } else {
        DrawClip(env, t);
        // Each further part is cleared and drawn the same way as the first.
        for (int i = 1; i < areas.Count(); i++) {
            ClearArea(env, areas.Get(i));
            env->UpdateLights();  // under the identity ClearArea leaves, as for the first part
            DrawClip(env, t);
        }
        FinishClip(env, t);
    }
    // The overlay is drawn over the whole window: outside the parts redrawn the back buffer holds
    // the unchanged background (the overlay's pixels of the frame before lie inside them), and
    // where it draws now is added to what is shown.
    FXScreenRects overlay;
    if (partial_) env->SetDrawArea(FXScreenRect::Whole());
    RenderOverlay(env, t, partial_ ? &overlay : nullptr);
    if (!first) Present(env, areas, overlay);
    first = false;
}

// Room for every mesh a clip frame notes, made before the loop starts (frames allocate nothing).
void QmScene::ReserveDamage() {
    for (int k = 0; k < 3; k++) {
        for (const FXAnim* a : {&anim[k], &anim1[k]})
            for (int i = 0; i < a->imodel.meshes.Count(); i++) damage_.Reserve(a->imodel.EnumMeshes(i));
        damage_.Reserve(&movie[k].desk.mesh, 4);  // made at the movie's first frame: 1 x 1 cells
    }
}
