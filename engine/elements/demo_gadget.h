// FXDemoGadget, the demo object: 15 s after its first drawn frame a textured cube fades in over
// 2 s, then keeps tumbling slowly while it wanders along a closed random path. The cube has two
// skins: an inner one with sphere-mapped texture coordinates and an outer one 0.1 % larger with
// ordinary coordinates. The path is drawn afresh (generator reseeded from the clock) at each
// Create.
#pragma once

#include "anim/bezierspline.h"
#include "anim/phaser.h"
#include "elements/desk.h"
#include "math/3dmath.h"
#include "image/material.h"
#include "render/render.h"

class FXPackage;

class FXDemoGadget : public PRender {
public:
    enum { kFaces = 6, kPathKeys = 20 };

    FXDesk innerFaces[kFaces];
    FXDesk outerFaces[kFaces];
    FXMaterial innerMaterial;
    FXMaterial outerMaterial;
    FXMatrix faceMatrices[kFaces];
    FXPhaser tumbleXPhaser;
    FXPhaser tumbleYPhaser;
    FXBezierSpline path;
    FXPhaser pathPhaser;
    bool restartPending = false;
    bool waiting = false;
    bool fadingIn = false;
    FXPhaser waitPhaser;
    FXPhaser fadePhaser;

    FXDemoGadget() = default;
    FXDemoGadget(const FXDemoGadget&) = delete;
    FXDemoGadget& operator=(const FXDemoGadget&) = delete;
    ~FXDemoGadget() { Destroy(); }

    // The pictures are uploaded to env's device.
    void CreateCN(PEnv* env, FXPackage* p, int innerEntry, int outerEntry);
    void Create(PEnv* env, const char* innerFile, const char* outerFile);
    void Destroy();
    void OnRender(PEnv* env, double t) override;

private:
    // A new closed random path (the generator reseeded from the clock) and the phasers that
    // depend on its length.
    void BuildPath();
    // Colours, faces, face matrices and the wait and fade, once the two pictures are loaded.
    void BuildCube();
};
