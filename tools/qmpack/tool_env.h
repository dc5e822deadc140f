// The render environment qmpack loads content through: the engine's loaders ask the current
// environment for material libraries, and pictures "upload" to it. It has no device: every
// drawing operation does nothing and every texture is accepted. Libraries named by a relative
// path are found against a base folder the tool sets (the folder of the file being read), and are
// shared by their absolute path, so two models that name "skin.mtl" in different folders get
// their own libraries. An empty name is no library.
#pragma once

#include <string>

#include "render/render.h"

class QMPackEnv : public PEnv {
public:
    std::string baseDir;  // relative library names are found here ("" = the working directory)

    QMPackEnv();   // becomes the process's current environment
    ~QMPackEnv() override;

    FXMatlib* LoadMatlib(const char* file) override;

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
    bool PrepareCubeTexture(FXMaterial*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*) override {
        return false;
    }
    void UnprepareTexture(FXMaterial*) override {}
    bool PrepareMesh(FXMesh*) override { return true; }
    void UnprepareMesh(FXMesh*) override {}
    void RenderMesh(FXMesh*) override {}
    void RenderLoop() override {}
};
