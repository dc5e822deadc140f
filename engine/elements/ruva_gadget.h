// FXRuvaGadget, the logo: a small 3D medallion model spinning about its vertical axis near the
// bottom-right corner of the view (one turn every 8 s, round on any window shape), with a flat,
// 40 % opaque label picture under it. Drawn over the scene after the depth buffer was cleared.
#pragma once

#include "anim/phaser.h"
#include "elements/desk.h"
#include "geometry/model.h"
#include "image/material.h"
#include "render/render.h"

class FXPackage;

class FXRuvaGadget : public PRender {
public:
    bool drawModel = true;        // false: only the label is drawn
    bool restartPending = false;  // the first OnRender restarts the spin
    FXModel model;                // the medallion
    FXDesk desk;                  // the label, 1 x 1
    FXMaterial labelMaterial;
    FXPhaser spinPhaser;          // its phase is the spin angle / 360

    FXRuvaGadget();
    FXRuvaGadget(const FXRuvaGadget&) = delete;
    FXRuvaGadget& operator=(const FXRuvaGadget&) = delete;
    ~FXRuvaGadget() { Destroy(); }

    // Label picture and medallion model from package entries, for env (the model's library and
    // the pictures are loaded there).
    void CreateCN(PEnv* env, FXPackage* p, int labelEntry, int modelEntry);
    // The same from "ruva_medallion.xm" and "label.png" in the current directory.
    void Create(PEnv* env);
    void Destroy();
    void OnRender(PEnv* env, double t) override;
};
