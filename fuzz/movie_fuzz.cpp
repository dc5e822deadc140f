// Fuzzes the sprite-movie record reader: arbitrary bytes are read as a movie entry of a package
// (frame names are entry numbers, so "0" names the record itself), a movie that loaded is checked
// (one mask per frame, crop rectangles only four per frame), read into memory, played for a few
// frames through a recording environment while driving two animations (two frames, none; no
// environment is current, so frames do not decode), edited by moves and deletes steered by the
// input, and played again. The sanitizers catch any read or write outside the entry; a broken
// invariant aborts.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../tests/support/recording_env.h"
#include "../tests/support/package_bytes.h"
#include "anim/anim.h"
#include "base/package.h"
#include "elements/smovie.h"
#include "geometry/mesh.h"
#include "geometry/model.h"

namespace {

// An interpolated animation of two frames (one triangle each), so key pairs reach its splines.
FXAnim* localAnim() {
    static FXAnim anim;
    if (anim.GetFrameCount() == 0) {
        for (int m = 0; m < 2; m++) {
            FXMesh* mesh = new FXMesh;
            mesh->Realloc(3, 3);
            for (int v = 0; v < 3; v++) {
                mesh->vertices[v] = tagFXVertex{};
                mesh->vertices[v].pos[v % 2] = float(m + v);
                mesh->indices[v] = v;
            }
            FXModel* model = new FXModel;
            model->meshes.Push(mesh);
            anim.models.Push(model);
            anim.frameNames.Push("f");
            anim.durations.PushInt(100);
        }
        anim.UpdateInterpolation(true, false);
    }
    return &anim;
}

void localCheck(const SMovie& mv, const FXPackage& pkg) {
    int n = mv.GetFrameCount();
    if (mv.maskNames.top != n || (mv.hasRects && mv.rects.top != 4 * n)) abort();
    if (!std::isfinite(mv.frameDuration) || mv.frameDuration < 0) abort();
    for (const FXArray* blocks : {&mv.colorData, &mv.maskData}) {
        for (int i = 0; i < blocks->top; i++) {
            const unsigned char* b = static_cast<const unsigned char*>(blocks->Get(i));
            if (b && (b < pkg.Data() || b >= pkg.Data() + pkg.DataLength())) abort();
        }
    }
}

void localPlay(SMovie* mv, RecordingEnv* env, int frames) {
    for (int i = 0; i < frames; i++) {
        mv->Prepare(nullptr, -1);  // nothing to upload to: no frame decodes
        mv->OnRender0(env, 0.0);
        mv->lastSwitch = -1e300;  // every frame is due
        mv->OnRender1(env, 0.0);
        if (mv->preparedFrames.top > 0 && (mv->preparedFrames.GetInt(0) < 0 || mv->preparedFrames.GetInt(0) >= 1 << 20))
            abort();
    }
    env->calls.clear();
    env->meshes.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FXPackage pkg;
    std::vector<unsigned char> wrapped = qmPackageFile({{0, -1, std::vector<unsigned char>(data, data + size)}});
    pkg.LoadFromMemory(wrapped.data(), long(wrapped.size()));
    SMovie mv;
    if (!mv.LoadCN(&pkg, 0)) {
        if (mv.GetFrameCount() != 0 || mv.rects.top != 0) abort();
        return 0;
    }
    localCheck(mv, pkg);
    mv.LoadIntoMem();
    if (mv.colorData.top != mv.GetFrameCount() || mv.maskSizes.top != mv.GetFrameCount()) abort();
    localCheck(mv, pkg);
    RecordingEnv env;
    static FXAnim empty;  // no frames: the pair is held to frame 0
    mv.animA = localAnim();
    mv.animB = &empty;
    mv.waitFrame = false;
    mv.Restart(0.0);
    localPlay(&mv, &env, 5);
    // Edits steered by the last bytes of the input, then more frames over the changed lists.
    for (size_t k = size > 4 ? size - 4 : 0; k < size; k++) {
        int n = mv.GetFrameCount();
        int pos = int(data[k] >> 1) % (n + 2) - 1;
        if (data[k] & 1)
            mv.DeletePos(pos);
        else
            mv.MovePos(pos, (data[k] & 2) ? 1 : -1);
    }
    localCheck(mv, pkg);
    mv.RestartBack(0.0);
    localPlay(&mv, &env, 5);
    return 0;
}
