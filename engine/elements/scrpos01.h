// FXScrPos01 places a unit quad (a desk covering -1..1 under the fixed orthographic projection)
// at a rectangle given in pixels: a reference screen size, the object's size and its top-left
// pixel position become a model-view matrix, applied when the helper is drawn (just before the
// quad it positions). Owners set the four sizes, then call SetPos or Update.
#pragma once

#include "base/arrays.h"
#include "math/3dmath.h"
#include "render/render.h"

class FXScrPos01 : public PRender {
public:
    float screenW = 0.0f;
    float screenH = 0.0f;
    float objW = 0.0f;
    float objH = 0.0f;
    float posX = 0.0f;  // top-left corner of the object, pixels from the top-left of the screen
    float posY = 0.0f;
    FXMatrix matrix;
    bool relative = false;  // apply on top of the environment's current model-view matrix

    FXScrPos01() { matrix.SetIdentity(); }

    // Applies the placement: replaces the model-view matrix, or multiplies the environment's
    // current one when relative.
    void OnRender(PEnv* env, double time) override;
    virtual void Destroy() {}

    // The matrix that maps the quad onto the pixel rectangle; identity while a size is not set.
    void Update();
    void SetPos(float x, float y);
    // Shifts by fractions of the screen.
    void ShiftPos(float dx, float dy);
    // Scales to the object's size, centred.
    void UpdateSize();
    // Narrows the quad horizontally so that content of shape w x h keeps its aspect when it is
    // wider than the screen's shape: align 0 centred, 1 flush right, other values flush left.
    void UpdateAspectH1(int align, float w, float h);
    // The object's rectangle on a width x height screen.
    void GetPixelRC(FXRect* r, int width, int height) const;

private:
    bool SizesSet() const { return screenW > 0.0f && screenH > 0.0f && objW > 0.0f && objH > 0.0f; }
};
