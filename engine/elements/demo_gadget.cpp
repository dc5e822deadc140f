// FXDemoGadget: the demo cube. Set-up draws a closed random path and builds the twelve faces of
// its two skins; drawing waits, fades in, then moves and tumbles the cube every frame.
#include "elements/demo_gadget.h"

#include "base/other.h"

namespace {

const float kSpeed = 2.0f;      // one constant for the three slow periods
const double kWait = 15.0;      // seconds before the cube appears
const double kFade = 2.0;       // seconds of its fade-in
const float kPathRange = 0.7f;  // key points lie in [-0.7, 0.7] in x and y
const float kOuterSkin = 1.001f;

void localFace(FXMatrix* out, const FXMatrix& turn, const FXMatrix& front) { out->Multiply(&turn, &front); }

void localFadeMaterial(FXMaterial* m, float alpha) {
    const float f[4] = {1, 1, 1, alpha};
    m->MultiCols(f);
}

}  // namespace

void FXDemoGadget::CreateCN(PEnv* env, FXPackage* p, int innerEntry, int outerEntry) {
    BuildPath();
    outerMaterial.useMipmaps = true;
    outerMaterial.LoadTextureCN(env, p, outerEntry);
    innerMaterial.LoadTextureCN(env, p, innerEntry);
    BuildCube();
}

void FXDemoGadget::Create(PEnv* env, const char* innerFile, const char* outerFile) {
    BuildPath();
    outerMaterial.useMipmaps = true;
    outerMaterial.LoadTexture(env, outerFile);
    innerMaterial.LoadTexture(env, innerFile);
    BuildCube();
}

void FXDemoGadget::BuildPath() {
    // A new path every run: the generator is reseeded from the clock first.
    path.Destroy();
    fxResetRandom();
    for (int i = 0; i < kPathKeys; i++) {
        float x = float(2.0 * fxGetRandom() - 1.0) * kPathRange;
        float y = float(2.0 * fxGetRandom() - 1.0) * kPathRange;
        path.keys.Push(x);
        path.keys.Push(y);
        path.keys.Push(0.0f);
    }
    path.closed = true;
    path.Precompute();
    path.PrecomputePhasesLenght();

    tumbleXPhaser.period = kSpeed * 28.0;
    tumbleXPhaser.loop = true;
    tumbleYPhaser.period = kSpeed * 36.0;
    tumbleYPhaser.loop = true;
    pathPhaser.period = kSpeed * 320.0 * path.meanLength;
    pathPhaser.loop = true;
}

void FXDemoGadget::BuildCube() {
    outerMaterial.SetDefDiffuse(1.0f);
    outerMaterial.PreserveCols();
    innerMaterial.SetDefDiffuse(1.0f);
    innerMaterial.ChangeDarkDiffuse(0.5f);
    innerMaterial.PreserveCols();
    for (int i = 0; i < kFaces; i++) {
        innerFaces[i].Create(1, 1);
        innerFaces[i].SetMaterial(&innerMaterial);
        outerFaces[i].Create(1, 1);
        outerFaces[i].SetMaterial(&outerMaterial);
    }

    // Each unit desk moved one unit out along -z and turned onto one side of a cube of edge 2.
    FXMatrix front, turn;
    front.SetMoveF(0.0f, 0.0f, -1.0f);
    faceMatrices[0].Copy(&front);
    turn.SetRotateY(-90.0f);
    localFace(&faceMatrices[1], turn, front);
    turn.SetRotateY(90.0f);
    localFace(&faceMatrices[2], turn, front);
    turn.SetRotateX(-90.0f);
    localFace(&faceMatrices[3], turn, front);
    turn.SetRotateX(90.0f);
    localFace(&faceMatrices[4], turn, front);
    turn.SetRotateX(180.0f);
    localFace(&faceMatrices[5], turn, front);

    restartPending = waiting = fadingIn = true;
    waitPhaser.period = kWait;
    waitPhaser.loop = false;
    fadePhaser.period = kFade;
    fadePhaser.loop = false;
}

void FXDemoGadget::Destroy() {
    path.Destroy();
    innerMaterial.Destroy();
    outerMaterial.Destroy();
    for (int i = 0; i < kFaces; i++) {
        innerFaces[i].Destroy();
        outerFaces[i].Destroy();
    }
}

void FXDemoGadget::OnRender(PEnv* env, double t) {
    if (!env) return;
    if (restartPending) {
        waitPhaser.Restart(t);
        restartPending = false;
    }
    if (waiting) {
        waitPhaser.OnRender(env, t);
        if (waitPhaser.phase >= 1.0f) {
            fadePhaser.Restart(t);
            waiting = false;
        }
        return;
    }
    if (fadingIn) {
        fadePhaser.OnRender(env, t);
        if (fadePhaser.phase >= 1.0f) fadingIn = false;
        localFadeMaterial(&outerMaterial, fadePhaser.phase);
        localFadeMaterial(&innerMaterial, fadePhaser.phase);
    }

    env->EnableSphereMap(true);
    pathPhaser.OnRender(env, t);
    float at[3];
    path.GetAll(at, pathPhaser.phase);
    tumbleXPhaser.OnRender(env, t);
    tumbleYPhaser.OnRender(env, t);

    FXMatrix move, scale, rotX, rotY;
    move.SetMove(at);
    scale.SetScaleF(0.3f, 0.366f, 0.3f);
    rotX.SetRotateX(tumbleXPhaser.phase * 360.0f);
    rotY.SetRotateY(tumbleYPhaser.phase * 360.0f);
    env->MultiplyMatrix(&move);
    env->MultiplyMatrix(&scale);
    env->MultiplyMatrix(&rotX);
    env->MultiplyMatrix(&rotY);
    FXMatrix base;
    base.Copy(&env->matrix);

    for (int i = 0; i < kFaces; i++) {
        env->ApplyMatrix(&base);
        env->MultiplyMatrix(&faceMatrices[i]);
        innerFaces[i].OnRender(env, t);
    }
    env->EnableSphereMap(false);

    // The second skin, 0.1 % larger, with ordinary texture coordinates.
    FXMatrix grow, outerBase;
    grow.SetScaleF(kOuterSkin, kOuterSkin, kOuterSkin);
    outerBase.Multiply(&base, &grow);
    for (int i = 0; i < kFaces; i++) {
        env->ApplyMatrix(&outerBase);
        env->MultiplyMatrix(&faceMatrices[i]);
        outerFaces[i].OnRender(env, t);
    }
}
