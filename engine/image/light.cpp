// FXLight presets and colour scaling. A preset sets the colours, the spot shape and the
// attenuation, and whether the light is positional (w of the position); it never moves the light
// or turns its spot direction.
#include "image/light.h"

#include "image/pixmap.h"

namespace {

// The parts every preset shares: directional or positional, the spot shape and attenuation.
void localShape(FXLight* l, float w, float exponent, float c, float lin, float q) {
    l->position[3] = w;
    l->spotExponent = exponent;
    l->spotCutoff = 180.0f;
    l->constantAttenuation = c;
    l->linearAttenuation = lin;
    l->quadraticAttenuation = q;
}

void localScale(float* c, const float* f) {
    for (int i = 0; i < 4; i++) c[i] *= f[i];
}

}  // namespace

void FXLight::SetDefDiffuse(float a) {
    fxColSet(ambient, 0.2f, 0.2f, 0.2f, a);
    fxColSet(diffuse, 1, 1, 1, a);
    fxColSet(specular, 0, 0, 0, 0);
    localShape(this, 0, 0, 0, 0, 0);
}

void FXLight::SetDefSpecular(float a) {
    fxColSet(ambient, 0, 0, 0, a);
    fxColSet(diffuse, 1, 1, 1, a);
    fxColSet(specular, 1, 1, 1, a);
    localShape(this, 1, 12.0f, 0.4f, 0.4f, 0);
}

void FXLight::SetDefAmbient(float a) {
    fxColSet(ambient, 1, 1, 1, a);
    fxColSet(diffuse, 0, 0, 0, 0);
    fxColSet(specular, 0, 0, 0, 0);
    localShape(this, 0, 0, 0, 0, 0);
}

void FXLight::SetDiffuseDark(float v, float a) {
    fxColSet(ambient, 0, 0, 0, a);
    fxColSet(diffuse, v, v, v, a);
    fxColSet(specular, 0, 0, 0, 0);
    localShape(this, 0, 0, 0, 0, 0);
}

void FXLight::MultiColor(const float* rgba) {
    if (!rgba) return;
    localScale(ambient, rgba);
    localScale(diffuse, rgba);
    localScale(specular, rgba);
}

void FXLight::MultiColorF(float r, float g, float b, float a) {
    const float f[4] = {r, g, b, a};
    MultiColor(f);
}
