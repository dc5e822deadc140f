// FXLight presets and colour scaling. A preset sets the colours, the spot shape and the
// attenuation, and whether the light is positional (w of the position); it never moves the light
// or turns its spot direction.
#include "image/light.h"

namespace {

void localSet4(float* c, float r, float g, float b, float a) {
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
}

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
    localSet4(ambient, 0.2f, 0.2f, 0.2f, a);
    localSet4(diffuse, 1, 1, 1, a);
    localSet4(specular, 0, 0, 0, 0);
    localShape(this, 0, 0, 0, 0, 0);
}

void FXLight::SetDefSpecular(float a) {
    localSet4(ambient, 0, 0, 0, a);
    localSet4(diffuse, 1, 1, 1, a);
    localSet4(specular, 1, 1, 1, a);
    localShape(this, 1, 12.0f, 0.4f, 0.4f, 0);
}

void FXLight::SetDefAmbient(float a) {
    localSet4(ambient, 1, 1, 1, a);
    localSet4(diffuse, 0, 0, 0, 0);
    localSet4(specular, 0, 0, 0, 0);
    localShape(this, 0, 0, 0, 0, 0);
}

void FXLight::SetDiffuseDark(float v, float a) {
    localSet4(ambient, 0, 0, 0, a);
    localSet4(diffuse, v, v, v, a);
    localSet4(specular, 0, 0, 0, 0);
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
