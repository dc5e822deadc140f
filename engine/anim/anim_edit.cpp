// FXAnim editing: moving a frame, and the model operations applied to every frame alike, so that
// all frames keep fitting each other (one bounding box for all, texture coordinates computed once
// and copied).
#include <cstdint>

#include "anim/anim.h"

namespace {

// An index outside [0, n) stands for the last one.
int localFrameIndex(int i, int n) { return i >= 0 && i < n ? i : n - 1; }

template <typename Fn>
void localEachFrame(const FXAnim* a, Fn fn) {
    for (int i = 0; i < a->models.Count(); i++)
        if (FXModel* m = a->GetModel(i)) fn(m);
}

}  // namespace

void FXAnim::MoveFrame(int to, int from) {
    const int n = GetFrameCount();
    if (n <= 0) return;
    to = localFrameIndex(to, n);
    from = localFrameIndex(from, n);
    if (to == from) return;
    const int ms = durations.GetInt(from);
    durations.RemovePos(from);
    durations.Insert(to, reinterpret_cast<void*>(intptr_t(ms)));
    if (from < models.Count() && to < models.Count()) models.Insert(to, models.Take(from));
    if (from < frameNames.top && to < frameNames.top) {
        FXStr name(frameNames.Get(from));
        frameNames.RemovePos(from);
        frameNames.Insert(to, name);
    }
}

void FXAnim::Unitize(int ref) {
    FXModel* r = GetModel(ref);
    if (!r) return;
    float box[6];
    r->FindMaxims(box);
    localEachFrame(this, [&](FXModel* m) { m->UnitizeMaxims(box); });
}

void FXAnim::UnitizeStretch(int ref) {
    FXModel* r = GetModel(ref);
    if (!r) return;
    float box[6];
    r->FindMaxims(box);
    localEachFrame(this, [&](FXModel* m) { m->UnitizeMaximsStretch(box); });
}

void FXAnim::UnitizeStretch1(int ref) {
    FXModel* r = GetModel(ref);
    if (!r) return;
    float box[6];
    r->FindMaxims(box);
    localEachFrame(this, [&](FXModel* m) { m->UnitizeMaximsStretch1(box); });
}

// For a reference frame showing the left half of a figure: the box is widened to twice its width
// towards +x, so the half keeps its place and scale within the whole.
void FXAnim::UnitizeStretch1HalfHoriz(int ref) {
    FXModel* r = GetModel(ref);
    if (!r) return;
    float box[6];
    r->FindMaxims(box);
    box[1] = box[0] + 2.0f * (box[1] - box[0]);
    localEachFrame(this, [&](FXModel* m) { m->UnitizeMaximsStretch1(box); });
}

void FXAnim::Normalize(int index, bool selective) {
    if (index == -1)
        localEachFrame(this, [&](FXModel* m) { m->Normalize(selective); });
    else if (FXModel* m = GetModel(index))
        m->Normalize(selective);
}

void FXAnim::FlipHoriz() {
    localEachFrame(this, [](FXModel* m) { m->FlipHoriz(); });
}

void FXAnim::ResizeTextCoords() {
    localEachFrame(this, [](FXModel* m) { m->ResizeTextCoords(); });
}

void FXAnim::ResizeTextCoords1() {
    localEachFrame(this, [](FXModel* m) { m->ResizeTextCoords1(); });
}

void FXAnim::ComputeFrontTexCoords(int ref, int mode) {
    FXModel* r = GetModel(ref);
    if (!r) return;
    r->ComputeFrontTexCoords(mode);
    localEachFrame(this, [&](FXModel* m) {
        if (m != r) m->CopyTexCoords(mode, r);
    });
}
