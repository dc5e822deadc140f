// FXErrGadget, the error notice: a picture shown at its natural pixel size 10 pixels from the
// top-left corner of the screen while active (the scene activates it when the graphics device
// lacks multitexturing). Inactive, it draws nothing and changes no device state.
#pragma once

#include "elements/desk.h"
#include "elements/scrpos01.h"
#include "image/material.h"
#include "render/render.h"

class FXPackage;

class FXErrGadget : public PRender {
public:
    bool active = false;
    FXDesk desk;  // 1 x 1
    FXMaterial material;
    FXScrPos01 pos;

    FXErrGadget() = default;
    FXErrGadget(const FXErrGadget&) = delete;
    FXErrGadget& operator=(const FXErrGadget&) = delete;
    ~FXErrGadget() { Destroy(); }

    // The picture of entry, uploaded to env's device and placed on env's window.
    void CreateCN(PEnv* env, FXPackage* p, int entry);
    // The same from "error_message.png" in the current directory.
    void Create(PEnv* env);
    void Destroy();
    void OnRender(PEnv* env, double t) override;
};
