// FXRuvaGadget: the spinning logo medallion with its label, drawn in the bottom-right corner.
#include "elements/ruva_gadget.h"

#include "math/3dmath.h"

namespace {

const double kSpinPeriod = 8.0;  // seconds per turn
const float kSize = 0.18f;       // medallion scale on the shorter window side
const float kLabel[4] = {1, 1, 1, 0.4f};  // the label is drawn 40 % opaque

// The label quad: its picture through per-vertex colours.
void localLabel(FXDesk* desk, FXMaterial* picture) {
    desk->Create(1, 1);
    desk->UpdateColCol(kLabel);
    desk->mesh.colorMode = 1;
    desk->SetMaterial(picture);
}

}  // namespace

FXRuvaGadget::FXRuvaGadget() {
    spinPhaser.period = kSpinPeriod;
    spinPhaser.loop = true;
    spinPhaser.pingPong = false;
}

void FXRuvaGadget::CreateCN(PEnv* env, FXPackage* p, int labelEntry, int modelEntry) {
    restartPending = true;
    model.LoadCN(env, p, modelEntry);
    model.UpdateMeshes();
    labelMaterial.LoadTextureCN(env, p, labelEntry);
    localLabel(&desk, &labelMaterial);
}

void FXRuvaGadget::Create(PEnv* env) {
    restartPending = true;
    model.Load(env, "ruva_medallion.xm");
    model.UpdateMeshes();
    model.UpdateColCol(kLabel);
    labelMaterial.LoadTexture(env, "label.png");
    localLabel(&desk, &labelMaterial);
}

void FXRuvaGadget::Destroy() {
    model.Destroy();
    desk.Destroy();
    labelMaterial.Destroy();
}

void FXRuvaGadget::OnRender(PEnv* env, double t) {
    if (!env) return;
    if (restartPending) {
        spinPhaser.Restart(t);
        restartPending = false;
    }
    spinPhaser.OnRender(env, t);

    // Round on any window shape: the longer side is scaled down by the aspect ratio.
    float sx = 1.0f, sy = 1.0f;
    if (env->width > env->height && env->width > 0)
        sx = float(env->height) / float(env->width);
    else if (env->height > 0)
        sy = float(env->width) / float(env->height);
    sx *= kSize;
    sy *= kSize;

    FXMatrix scale, move, spin;
    scale.SetScaleF(sx, sy, 1.0f);
    move.SetMoveF(0.9f - sx, sy - 0.85f, -1.0f);
    spin.SetRotateY(spinPhaser.phase * 360.0f);
    env->ApplyMatrixIdentity();
    env->MultiplyMatrix(&move);
    env->MultiplyMatrix(&scale);
    env->MultiplyMatrix(&spin);

    if (drawModel) {
        env->EnableLights(true);
        env->EnableDepthTest(true);
        env->EnableDepthWrite(true);
        env->Clrscr(false, true, false);
        model.OnRender(env, t);
        env->EnableDepthTest(false);
        env->EnableDepthWrite(false);
    }
    env->EnableLights(false);

    FXMatrix labelMove, labelScale;
    labelMove.SetMoveF(0.0f, -0.25f, 0.0f);
    labelScale.SetScaleF(1.332f, 0.333f, 1.0f);
    env->ApplyMatrixIdentity();
    env->MultiplyMatrix(&move);
    env->MultiplyMatrix(&labelMove);
    env->MultiplyMatrix(&scale);
    env->MultiplyMatrix(&labelScale);
    desk.OnRender(env, t);
}
