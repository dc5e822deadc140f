// FXErrGadget: the error notice, placed at its picture's natural size 10 pixels from the top-left
// corner of the render window.
#include "elements/err_gadget.h"

namespace {

const float kMargin = 10.0f;  // pixels from the top-left corner

// The size the placement is computed against: the render window's client size, which is the
// screen when the saver runs full screen and stays right in a window or a launcher's window.
void localViewSize(float* w, float* h) {
    *w = *h = 0.0f;
    if (!fxglobalEnv) return;
    bool window = fxglobalEnv->width > 0 && fxglobalEnv->height > 0;
    *w = float(window ? fxglobalEnv->width : fxglobalEnv->screenWidth);
    *h = float(window ? fxglobalEnv->height : fxglobalEnv->screenHeight);
}

// The quad shows the picture at its own pixel size.
void localPlace(FXErrGadget* g) {
    g->desk.SetMaterial(&g->material);
    g->pos.objW = g->material.GetWidthF();
    g->pos.objH = g->material.GetHeightF();
    localViewSize(&g->pos.screenW, &g->pos.screenH);
    g->pos.SetPos(kMargin, kMargin);
    g->pos.Update();
}

}  // namespace

void FXErrGadget::CreateCN(FXPackage* p, int entry) {
    desk.Create(1, 1);
    material.LoadTextureCN(p, entry);
    localPlace(this);
}

void FXErrGadget::Create() {
    desk.Create(1, 1);
    material.LoadTexture("error_message.png");
    localPlace(this);
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
    pos.OnRender(env, t);
    desk.OnRender(env, t);
}
