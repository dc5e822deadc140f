// FXMaterial: colour presets, fading from preserved colours, the texture (own canvas or a
// caller's) uploaded to the device the caller names, and the material record in its package and
// file forms. Every texture call works without a device: nothing is uploaded then and the
// material has no texture.
#include "image/material.h"

#include <cstdint>
#include <cstring>

#include "base/binio.h"
#include "base/package.h"

namespace {

void localZero(float* c) { fxColSet(c, 0, 0, 0, 0); }

}  // namespace

// ---- colour presets ----

void FXMaterial::SetDefDiffuse(float a) {
    fxColSet(ambient, 0.2f, 0.2f, 0.2f, 0);
    fxColSet(diffuse, 1, 1, 1, a);
    localZero(specular);
    localZero(emission);
}

void FXMaterial::SetDefSpecular(float a) {
    localZero(ambient);
    fxColSet(diffuse, 0.2f, 0.2f, 0.2f, a);
    fxColSet(specular, 1, 1, 1, a);
    localZero(emission);
    shininess = 128.0f;
}

void FXMaterial::SetDefSpecular1(float a) {
    fxColSet(ambient, 0.2f, 0.2f, 0.2f, a);
    fxColSet(diffuse, 1, 1, 1, a);
    fxColSet(specular, 1, 1, 1, a);
    localZero(emission);
}

void FXMaterial::SetDefEmission(float a) {
    localZero(ambient);
    fxColSet(diffuse, 0, 0, 0, a);
    localZero(specular);
    fxColSet(emission, 1, 1, 1, a);
}

void FXMaterial::SetBlack(float a) {
    localZero(ambient);
    fxColSet(diffuse, 0, 0, 0, a);
    localZero(specular);
    localZero(emission);
}

void FXMaterial::PrepareDarkDiffuse(float a) {
    fxColSet(ambient, 0, 0, 0, a);
    fxColSet(diffuse, 1, 1, 1, a);
    localZero(specular);
    localZero(emission);
}

void FXMaterial::ChangeDarkDiffuse(float v) { diffuse[0] = diffuse[1] = diffuse[2] = v; }

void FXMaterial::PreserveCols() {
    memcpy(preserved[0], ambient, sizeof(ambient));
    memcpy(preserved[1], diffuse, sizeof(diffuse));
    memcpy(preserved[2], specular, sizeof(specular));
    memcpy(preserved[3], emission, sizeof(emission));
}

void FXMaterial::MultiCols(const float* rgba) {
    if (!rgba) return;
    float* cols[4] = {ambient, diffuse, specular, emission};
    // Always from the preserved copy, so a fade can be applied any number of times.
    for (int k = 0; k < 4; k++)
        for (int i = 0; i < 4; i++) cols[k][i] = preserved[k][i] * rgba[i];
}

// ---- texture ----

namespace {

// Whether the padding of p's block (right of and below the picture) has alpha 255 throughout.
bool localPaddingOpaque(const FXPixmap* p) {
    for (int y = 0; y < p->bufHeight; y++) {
        const uint32_t* row = p->data + size_t(y) * size_t(p->bufWidth);
        for (int x = y < p->height ? p->width : 0; x < p->bufWidth; x++)
            if ((row[x] >> 24) != 0xFFu) return false;
    }
    return true;
}

}  // namespace

void FXMaterial::AttachTo(PTextureDevice* device) {
    if (textureDevice_ == device) return;
    Detach();
    if (!device) return;
    textureDevice_ = device;
    nextOnDevice_ = device->textures_;
    if (nextOnDevice_) nextOnDevice_->prevOnDevice_ = this;
    device->textures_ = this;
}

void FXMaterial::Detach() {
    if (!textureDevice_) return;
    FX_ASSERT((prevOnDevice_ ? prevOnDevice_->nextOnDevice_ == this : textureDevice_->textures_ == this) &&
              "a material is listed by the device its texture lives on");
    if (prevOnDevice_)
        prevOnDevice_->nextOnDevice_ = nextOnDevice_;
    else
        textureDevice_->textures_ = nextOnDevice_;
    if (nextOnDevice_) nextOnDevice_->prevOnDevice_ = prevOnDevice_;
    prevOnDevice_ = nextOnDevice_ = nullptr;
    textureDevice_ = nullptr;
}

void FXMaterial::DropTexture() {
    if (textureName && textureDevice_) textureDevice_->UnprepareTexture(this);
    textureName = 0;
    hasTexture = false;
    Detach();
}

bool FXMaterial::SetTexture(PTextureDevice* device, FXCanvas* c) {
    // A texture name belongs to the device that made it: one on another device goes first.
    if (textureDevice_ != device) DropTexture();
    const FXPixmap* px = c ? &c->pixmap : nullptr;
    // A canvas without pixels (a failed load or capture) would give 0/0 texture scales.
    if (!px || px->allocated <= 0 || px->bufWidth <= 0 || px->bufHeight <= 0) {
        DropTexture();
        return false;
    }
    texScaleU = float(px->width) / float(px->bufWidth);
    texScaleV = float(px->height) / float(px->bufHeight);
    textureOpaque = c->opaque;
    textureBlockOpaque = c->opaque && localPaddingOpaque(px);
    hasTexture = true;
    textureSource = c;
    if (device && device->PrepareTexture(this)) {
        AttachTo(device);
        return true;
    }
    DropTexture();
    return false;
}

bool FXMaterial::UploadFrame(PTextureDevice* device, FXPixmap* p) {
    if (textureDevice_ != device) DropTexture();
    if (!device || !device->FastPrepareTexture(this, p)) return false;
    AttachTo(device);
    return true;
}

bool FXMaterial::LoadTextureCN(PTextureDevice* device, FXPackage* p, int entry) {
    textureSource = nullptr;
    if (p && canvas.CreateFromPictCN(p, entry)) return SetTexture(device, &canvas);
    DropTexture();
    return false;
}

bool FXMaterial::LoadTextureC(PTextureDevice* device, FXPackage* p, const char* name) {
    textureSource = nullptr;
    if (p && name && canvas.CreateFromPictC(p, name)) return SetTexture(device, &canvas);
    DropTexture();
    return false;
}

bool FXMaterial::LoadTexture(PTextureDevice* device, const char* file) {
    textureSource = nullptr;
    if (file && canvas.CreateFromPict(file)) return SetTexture(device, &canvas);
    DropTexture();
    return false;
}

// ---- record ----

bool FXMaterial::LoadC(PTextureDevice* device, FXPackage* p, FXPackageData* d) {
    if (!d) return false;
    SetDefSpecular(1.0f);  // defaults for whatever a short record leaves out
    d->ReadString(&name);
    d->ReadString(&textureFile);
    d->ReadFloat4(ambient);
    d->ReadFloat4(diffuse);
    d->ReadFloat4(specular);
    d->ReadFloat4(emission);
    if (d->remaining >= 4) shininess = d->ReadFloat();
    loaded = true;
    // In a package the picture is named by its entry number.
    if (!textureFile.IsEmpty()) return LoadTextureC(device, p, textureFile);
    return true;
}

bool FXMaterial::Load(PTextureDevice* device, FILE* f) {
    if (!f) return false;
    name.Load(f);
    textureFile.Load(f);
    bool ok = fxFileReadFloats(f, ambient, 4) && fxFileReadFloats(f, diffuse, 4) &&
              fxFileReadFloats(f, specular, 4) && fxFileReadFloats(f, emission, 4) &&
              fxFileReadFloat(f, &shininess);
    loaded = true;
    if (!ok) return false;
    // In a file the picture is named by its path.
    if (!textureFile.IsEmpty()) return LoadTexture(device, textureFile);
    return true;
}

void FXMaterial::Save(FILE* f) const {
    if (!f) return;
    name.Save(f);
    textureFile.Save(f);
    fxFileWriteFloats(f, ambient, 4);
    fxFileWriteFloats(f, diffuse, 4);
    fxFileWriteFloats(f, specular, 4);
    fxFileWriteFloats(f, emission, 4);
    fxFileWriteFloat(f, shininess);
}

void FXMaterial::Destroy() {
    DropTexture();
    canvas.Destroy();
    textureSource = nullptr;
}

// ---- queries ----

bool FXMaterial::IsSolid() const {
    if (hasTexture && !textureOpaque) return false;
    return diffuse[3] == 1.0f;
}

bool FXMaterial::Hides() const { return IsSolid() && (!hasTexture || textureBlockOpaque); }

int FXMaterial::GetWidth() const { return textureSource ? textureSource->GetWidth() : 0; }
int FXMaterial::GetHeight() const { return textureSource ? textureSource->GetHeight() : 0; }
float FXMaterial::GetWidthF() const { return textureSource ? textureSource->GetWidthF() : 0.0f; }
float FXMaterial::GetHeightF() const { return textureSource ? textureSource->GetHeightF() : 0.0f; }
