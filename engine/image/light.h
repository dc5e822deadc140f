// FXLight, one fixed-function light, registered with the environment and sent by UpdateLights.
#pragma once

class FXLight {
public:
    int lightId = 0;  // the device light given by the last UpdateLights
    float position[4] = {0, 0, -1, 0};
    float spotDirection[4] = {0, 0, 1, 0};
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float spotExponent = 0.0f;
    float spotCutoff = 180.0f;
    float constantAttenuation = 0.0f;
    float linearAttenuation = 0.0f;
    float quadraticAttenuation = 0.0f;
    bool off = false;

    FXLight() { SetDefDiffuse(1.0f); }

    void SetDefDiffuse(float a);
    void SetDefault(float a) { SetDefDiffuse(a); }
    void SetDefSpecular(float a);
    void SetDefAmbient(float a);
    void SetDiffuseDark(float v, float a);
    void MultiColor(const float* rgba);
    void MultiColorF(float r, float g, float b, float a);
};
