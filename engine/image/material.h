// FXMaterial (four colours, a shininess and an optional texture) and its record:
// name, texture file name (strings), ambient, diffuse, specular, emission (4 floats each),
// shininess (1 float). Package records name their picture by decimal entry number, file records
// by file path. A texture is uploaded to the device the caller names (image/texture_device.h),
// which the material remembers: it is released there, and only there.
#pragma once

#include <cstdio>

#include "base/strings.h"
#include "image/canvas.h"
#include "image/texture_device.h"

class FXPackage;
class FXPackageData;

class FXMaterial {
public:
    FXStr name;
    bool loaded = false;  // read from a record (a library's own material)
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float emission[4];
    float shininess = 0.0f;
    float preserved[4][4] = {};  // ambient, diffuse, specular, emission as of PreserveCols
    bool hasTexture = false;
    unsigned textureName = 0;
    float texScaleU = 0.0f;
    float texScaleV = 0.0f;
    bool textureOpaque = false;
    // Every texel of the uploaded block has alpha 255: the picture and its power-of-two padding,
    // which filtering at the picture's right and bottom edges and in small mipmaps reads too.
    bool textureBlockOpaque = false;
    bool useMipmaps = true;
    FXCanvas* textureSource = nullptr;
    FXCanvas canvas;
    FXStr textureFile;

    FXMaterial() { SetDefDiffuse(1.0f); }
    FXMaterial(const FXMaterial&) = delete;
    FXMaterial& operator=(const FXMaterial&) = delete;
    ~FXMaterial() { Destroy(); }

    void SetDefDiffuse(float a);
    void SetDefault(float a) { SetDefDiffuse(a); }
    void SetDefSpecular(float a);
    void SetDefSpecular1(float a);
    void SetDefEmission(float a);
    void SetBlack(float a);
    void PrepareDarkDiffuse(float a);
    void ChangeDarkDiffuse(float v);
    void PreserveCols();
    void MultiCols(const float* rgba);

    // Uses c as the texture source and uploads it to device; refuses a canvas with no pixels.
    // Without a device nothing is uploaded and the material has no texture. A texture that
    // lived on another device is released there first.
    bool SetTexture(PTextureDevice* device, FXCanvas* c);
    bool LoadTextureCN(PTextureDevice* device, FXPackage* p, int entry);
    bool LoadTextureC(PTextureDevice* device, FXPackage* p, const char* name);
    bool LoadTexture(PTextureDevice* device, const char* file);
    // Uploads pixmap p (not kept) as the texture on device: a movie's next frame.
    bool UploadFrame(PTextureDevice* device, FXPixmap* p);
    // The device the texture lives on, or null.
    PTextureDevice* GetTextureDevice() const { return textureDevice_; }

    // The record; a picture it names is uploaded to device.
    bool LoadC(PTextureDevice* device, FXPackage* p, FXPackageData* d);
    bool Load(PTextureDevice* device, FILE* f);
    void Save(FILE* f) const;
    // Releases the texture on its device and frees the canvas.
    void Destroy();
    // Drawn with this material, a surface hides whatever lies behind it completely: solid
    // colours and, when textured, no texel that filtering could read lets anything through.
    bool Hides() const;

    bool IsSolid() const;
    int GetWidth() const;
    int GetHeight() const;
    float GetWidthF() const;
    float GetHeightF() const;

private:
    friend class PTextureDevice;
    // The device holding the texture and the neighbours in its list of such materials.
    PTextureDevice* textureDevice_ = nullptr;
    FXMaterial* prevOnDevice_ = nullptr;
    FXMaterial* nextOnDevice_ = nullptr;

    void AttachTo(PTextureDevice* device);
    void Detach();
    // Releases the texture on its device (when it has a name there) and forgets it.
    void DropTexture();
};
