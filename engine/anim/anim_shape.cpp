// FXAnimShape and FXAnim::CreateFromShape: an interpolated animation's common part taken once, and
// copies made from it that share its keys. A copy is built the way a loaded animation builds its
// interpolated model: frame 0's meshes bound by name to the environment's materials, texture
// coordinates scaled for those materials, then copied into the interpolated model; so a copy
// made from a shape draws exactly what a copy loaded from the same record draws.
#include "anim/anim_shape.h"

#include "anim/anim.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "image/matlib.h"

namespace {

void localCopyMeshes(FXPtrArray<FXMesh>* dst, const FXPtrArray<FXMesh>& src) {
    dst->DeleteContents();
    dst->Reserve(src.Count());
    for (int i = 0; i < src.Count(); i++) {
        const FXMesh* s = src.Get(i);
        FXMesh* m = nullptr;
        if (s) {
            m = new FXMesh;
            m->Copy(s);
        }
        dst->Push(m);
    }
}

}  // namespace

bool FXAnimShape::Create(const FXAnim& a) {
    Destroy();
    const FXModel* f = a.GetModel(0);
    if (!a.interpolate || !a.posSplines || !a.normalSplines || !f) return false;
    pos.reset(new FXAnimSplines);
    normal.reset(new FXAnimSplines);
    if (!pos->CreateSharing(*a.posSplines, false) || !normal->CreateSharing(*a.normalSplines, false)) {
        Destroy();
        return false;
    }
    frameNames.Realloc(a.frameNames.top);
    for (int i = 0; i < a.frameNames.top; i++) frameNames.Push(a.frameNames.Get(i));
    durations.Realloc(a.durations.top);
    for (int i = 0; i < a.durations.top; i++) durations.PushInt(a.durations.GetInt(i));
    playing = a.playing;
    backwards = a.backwards;
    loop = a.loop;
    pingPong = a.pingPong;
    linear = a.linear;
    interpolateHint = a.interpolateHint;
    tension = a.tension;
    first.name = f->name;
    first.matlibName = f->matlibName;
    first.flipV = f->flipV;
    scaled = f->loadedMeshes.Count() == 0;
    localCopyMeshes(&first.loadedMeshes, scaled ? f->meshes : f->loadedMeshes);
    return true;
}

void FXAnimShape::Destroy() {
    frameNames.DestroyBuf();
    durations.DestroyBuf();
    first.Destroy();
    pos.reset();
    normal.reset();
    scaled = false;
}

bool FXAnim::CreateFromShape(PEnv* env, FXPackage* pkg, const FXAnimShape& shape) {
    Destroy();
    if (shape.IsEmpty()) return false;
    const int n = shape.GetFrameCount();
    for (int i = 0; i < n; i++) {
        frameNames.Push(shape.frameNames.Get(i));
        durations.PushInt(shape.durations.GetInt(i));
        models.Push(nullptr);  // as after ReleaseFrames: the splines stand for the frames
    }
    playing = shape.playing;
    backwards = shape.backwards;
    loop = shape.loop;
    pingPong = shape.pingPong;
    linear = shape.linear;
    tension = shape.tension;
    interpolate = true;
    interpolateHint = shape.interpolateHint;

    // Frame 0 as loading makes it: the library through env, each mesh's material by name, the
    // working meshes with their texture coordinates scaled for their textures.
    FXModel frame0;
    frame0.name = shape.first.name;
    frame0.matlibName = shape.first.matlibName;
    frame0.flipV = shape.first.flipV;
    FXMatlib* lib = env ? env->LoadMatlibC(pkg, shape.first.matlibName) : nullptr;
    frame0.matlib.Adopt(env, lib);
    if (shape.scaled) {
        localCopyMeshes(&frame0.meshes, shape.first.loadedMeshes);
    } else {
        localCopyMeshes(&frame0.loadedMeshes, shape.first.loadedMeshes);
        for (int i = 0; i < frame0.loadedMeshes.Count(); i++)
            if (FXMesh* m = frame0.loadedMeshes.Get(i)) m->material = lib ? lib->FindMaterial(m->materialName) : nullptr;
        frame0.UpdateMeshes();
        frame0.ResizeTextCoords();
    }
    imodel.Copy(&frame0);

    posSplines.reset(new FXAnimSplines);
    normalSplines.reset(new FXAnimSplines);
    if (!posSplines->CreateSharing(*shape.pos) || !normalSplines->CreateSharing(*shape.normal)) {
        err(FX_ERR_MEMORY, "animation: no memory for the records of %d vertices\n", shape.pos->GetVertexCount());
        Destroy();
        return false;
    }
    // As UpdateInterpolation leaves a freshly built animation: the first segment, open and curved.
    posSplines->SetActPoints(0, 1, false, false);
    normalSplines->SetActPoints(0, 1, false, false);
    posSplines->Bind(&imodel, FXAnimSplines::kPos);
    normalSplines->Bind(&imodel, FXAnimSplines::kNormal);
    UpdateIFrame();
    return true;
}
