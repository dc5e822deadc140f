// A render environment that draws nothing and records every call as text ("Name(args)"), so
// drawing orders and state changes can be checked without a device.
#pragma once

#include <string>
#include <vector>

#include "render/render.h"

class RecordingEnv : public PEnv {
public:
    std::vector<std::string> calls;
    std::vector<FXMesh*> meshes;  // RenderMesh arguments in call order

    void Record(const std::string& s) { calls.push_back(s); }
    static std::string B(bool v) { return v ? "1" : "0"; }

    bool CreateChild(void*) override { Record("CreateChild"); return true; }
    void Destroy() override { Record("Destroy"); }
    void ClrParams() override { Record("ClrParams"); }
    void SetAct(bool on) override { Record("SetAct(" + B(on) + ")"); }
    bool RenderStart() override { Record("RenderStart"); return true; }
    void RenderEnd() override { Record("RenderEnd"); }
    bool StartLoop(PRender*) override { Record("StartLoop"); return true; }
    void StopLoop(double) override { Record("StopLoop"); }
    void Lock(bool on) override { Record("Lock(" + B(on) + ")"); }
    void SetClrColor(float*) override { Record("SetClrColor"); }
    void Clrscr(bool c, bool d, bool s) override { Record("Clrscr(" + B(c) + "," + B(d) + "," + B(s) + ")"); }
    void Enlarge(bool on) override { Record("Enlarge(" + B(on) + ")"); }
    bool RegisterLight(FXLight*) override { Record("RegisterLight"); return true; }
    void UnregisterLight(FXLight*) override { Record("UnregisterLight"); }
    void UpdateLights() override { Record("UpdateLights"); }
    FXMaterial* GetDefaultMaterial() override { return nullptr; }
    FXMatlib* GetDefaultMatlib() override { return nullptr; }
    FXMatlib* LoadMatlib(const char*) override { Record("LoadMatlib"); return nullptr; }
    FXMatlib* LoadMatlibC(FXPackage*, const char*) override { Record("LoadMatlibC"); return nullptr; }
    FXMatlib* LoadMatlibCN(FXPackage*, int) override { Record("LoadMatlibCN"); return nullptr; }
    void ReleaseMatlib(FXMatlib*) override { Record("ReleaseMatlib"); }
    void AddMaterial(FXMaterial*) override { Record("AddMaterial"); }
    void ApplyDefaultMaterial() override { Record("ApplyDefaultMaterial"); }
    void ApplyMaterial(FXMaterial*) override { Record("ApplyMaterial"); }
    void ApplyMaterial2(FXMaterial*) override { Record("ApplyMaterial2"); }
    void ApplyMatrix(FXMatrix*) override { Record("ApplyMatrix"); }
    void MultiplyMatrix(FXMatrix*) override { Record("MultiplyMatrix"); }
    void ApplyMatrixIdentity() override { Record("ApplyMatrixIdentity"); }
    void EnableLights(bool on) override { Record("EnableLights(" + B(on) + ")"); }
    void EnableLight(bool on, FXLight*) override { Record("EnableLight(" + B(on) + ")"); }
    void DisableAllLights() override { Record("DisableAllLights"); }
    void SetAmbient(float*) override { Record("SetAmbient"); }
    void EnableDepthTest(bool on) override { Record("EnableDepthTest(" + B(on) + ")"); }
    void EnableDepthWrite(bool on) override { Record("EnableDepthWrite(" + B(on) + ")"); }
    void EnableCullface(bool f, bool b) override { Record("EnableCullface(" + B(f) + "," + B(b) + ")"); }
    void EnableTestingMaterial(bool on) override { Record("EnableTestingMaterial(" + B(on) + ")"); }
    bool PrepareTexture(FXMaterial*) override { Record("PrepareTexture"); return true; }
    bool FastPrepareTexture(FXMaterial*, FXPixmap*) override { Record("FastPrepareTexture"); return true; }
    bool PrepareCubeTexture(FXMaterial*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*,
                            FXPixmap*) override {
        return false;
    }
    void UnprepareTexture(FXMaterial*) override { Record("UnprepareTexture"); }
    bool PrepareMesh(FXMesh*) override { return true; }
    void UnprepareMesh(FXMesh*) override {}
    void RenderMesh(FXMesh* mesh) override {
        Record("RenderMesh");
        meshes.push_back(mesh);
    }
    void EnableNormalize(bool on) override { Record("EnableNormalize(" + B(on) + ")"); }
    void EnableSphereMap(bool on) override { Record("EnableSphereMap(" + B(on) + ")"); }
    bool ReadBackBuffer(int, int, unsigned char*) override {
        Record("ReadBackBuffer");
        return false;
    }
    void RenderLoop() override {}
};
