// FXErrGadget: the error notice, placed at its picture's natural size 10 pixels from the top-left
// corner of the render window, placed again whenever that window's size changes.
#include "elements/err_gadget.h"

namespace {

const float kMargin = 10.0f;  // pixels from the top-left corner

// The size the placement is computed against: the render window's client size, which is the
// screen when the saver runs full screen and stays right in a window or a launcher's window.
void localViewSize(PEnv* env, float* w, float* h) {
    *w = *h = 0.0f;
    if (!env) return;
    bool window = env->width > 0 && env->height > 0;
    *w = float(window ? env->width : env->screenWidth);
    *h = float(window ? env->height : env->screenHeight);
}

// The quad shows the picture at its own pixel size.
void localPlace(FXErrGadget* g, PEnv* env) {
    g->desk.SetMaterial(&g->material);
    g->pos.objW = g->material.GetWidthF();
    g->pos.objH = g->material.GetHeightF();
    localViewSize(env, &g->pos.screenW, &g->pos.screenH);
    g->pos.SetPos(kMargin, kMargin);
    g->pos.Update();
}

}  // namespace

void FXErrGadget::CreateCN(PEnv* env, FXPackage* p, int entry) {
    desk.Create(1, 1);
    material.LoadTextureCN(env, p, entry);
    localPlace(this, env);
}

void FXErrGadget::Create(PEnv* env) {
    desk.Create(1, 1);
    material.LoadTexture(env, "error_message.png");
    localPlace(this, env);
}

void FXErrGadget::Destroy() {
    desk.Destroy();
    material.Destroy();
}

void FXErrGadget::OnRender(PEnv* env, double t) {
    if (!active || !env) return;
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    env->EnableLights(false);
    // The window may have changed size since the notice was placed (a resized -window).
    float w = 0.0f, h = 0.0f;
    localViewSize(env, &w, &h);
    if (w != pos.screenW || h != pos.screenH) localPlace(this, env);
    pos.OnRender(env, t);
    desk.OnRender(env, t);
}
