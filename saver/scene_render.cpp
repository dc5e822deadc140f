// Scene choreography: one frame, on the render thread inside the environment lock.
#include "saver/scene.h"

void Scene::OnRender(PEnv* env, double t) {
    // Prologue (both modes); the first full-screen frame is drawn but never cleared or shown.
    if (!first || isPreview) {
        if (!env->RenderStart()) return;
        env->EnableDepthTest(true);
        env->EnableDepthWrite(true);
        env->Clrscr(true, true, false);
        env->EnableDepthTest(false);
        env->EnableDepthWrite(false);
        env->EnableLights(false);
        env->ApplyMatrixIdentity();
    }
    env->UpdateLights();

    if (isPreview) {
        if (!env->RenderStart()) return;
        env->EnableDepthTest(false);
        env->EnableDepthWrite(false);
        env->EnableLights(false);
        env->ApplyMatrixIdentity();
        preview.OnRender(env, t);
        if (showFps) fps.OnRender(env, t);
        env->RenderEnd();
        return;
    }

    env->UpdateLights();
    env->ApplyMatrixIdentity();
    env->EnableLights(true);
    env->EnableDepthTest(true);
    env->EnableDepthWrite(true);
    env->Clrscr(false, true, false);
    if (showFps) fps.OnRender(env, t);
    if (!first) env->RenderEnd();
    first = false;
}
