// FXNullDevice: a render environment without a device. Every device operation does nothing and
// every texture and mesh is accepted, so content can be loaded and frames computed where there is
// no display: the authoring tool, benchmarks and tests of the engine's own work per frame. The
// lock, the light table, the default material and the material libraries are the environment's
// own, as on a real device.
#pragma once

#include "render/render.h"

class FXNullDevice : public PEnv {
public:
    bool CreateChild(void*) override { return true; }
    void ClrParams() override {}
    void SetAct(bool) override {}
    bool RenderStart() override { return true; }
    void RenderEnd() override {}
    void SetClrColor(float*) override {}
    void Clrscr(bool, bool, bool) override {}
    void Enlarge(bool) override {}
    void UpdateLights() override {}
    void ApplyMaterial(FXMaterial*) override {}
    void ApplyMaterial2(FXMaterial*) override {}
    void ApplyMatrix(FXMatrix*) override {}
    void MultiplyMatrix(FXMatrix*) override {}
    void ApplyMatrixIdentity() override {}
    void EnableLights(bool) override {}
    void EnableLight(bool, FXLight*) override {}
    void DisableAllLights() override {}
    void SetAmbient(float*) override {}
    void EnableDepthTest(bool) override {}
    void EnableDepthWrite(bool) override {}
    void EnableCullface(bool, bool) override {}
    bool PrepareTexture(FXMaterial*) override { return true; }
    bool FastPrepareTexture(FXMaterial*, FXPixmap*) override { return true; }
    bool PrepareCubeTexture(FXMaterial*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*,
                            FXPixmap*) override {
        return false;
    }
    void UnprepareTexture(FXMaterial*) override {}
    bool PrepareMesh(FXMesh*) override { return true; }
    void UnprepareMesh(FXMesh*) override {}
    void RenderMesh(FXMesh*) override {}
    void EnableNormalize(bool) override {}
    void EnableSphereMap(bool) override {}
    bool ReadBackBuffer(int, int, unsigned char*) override { return false; }
};
