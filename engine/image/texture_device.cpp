// PTextureDevice's list of the materials whose texture it holds (threaded through the materials).
#include "image/texture_device.h"

#include "image/material.h"

void PTextureDevice::ForgetTextures() {
    while (FXMaterial* m = textures_) {
        m->textureName = 0;
        m->hasTexture = false;
        m->Detach();
    }
}

int PTextureDevice::TextureCount() const {
    int n = 0;
    for (const FXMaterial* m = textures_; m; m = m->nextOnDevice_) n++;
    return n;
}
