// PTextureDevice: where the textures of materials live. The render environment implements it
// (PEnv); materials and material libraries, which sit below the environment, upload and release
// their textures through it and need to know nothing more of the device.
//
// A material remembers the device its texture was uploaded to and releases it there, so several
// devices can live in one process (one per monitor) without a texture reaching the wrong one. The
// device keeps the list of materials whose texture it holds: when it goes (ForgetTextures), each
// of them forgets its texture instead of releasing it later on a device that no longer exists.
// The list is threaded through the materials themselves, so uploading allocates nothing.
#pragma once

class FXMaterial;
class FXPixmap;

class PTextureDevice {
public:
    // Uploads m's texture source (its canvas) into m's texture name, made when m has none. False
    // when there is nothing to upload. Context current.
    virtual bool PrepareTexture(FXMaterial* m) = 0;
    // Uploads pixmap p (not kept) as m's texture and sets m's texture scales to the picture's part
    // of the block: the per-frame path of movies. Context current.
    virtual bool FastPrepareTexture(FXMaterial* m, FXPixmap* p) = 0;
    // Deletes m's texture from the device (where it lives: context current).
    virtual void UnprepareTexture(FXMaterial* m) = 0;

    // Every material whose texture lives here forgets it (name 0, no texture, no device) without
    // a call to the device: for a device whose textures are gone with its context, or that is
    // being destroyed. Materials released afterwards do not reach it.
    void ForgetTextures();
    // How many materials hold a texture on this device.
    int TextureCount() const;

protected:
    PTextureDevice() = default;
    PTextureDevice(const PTextureDevice&) = delete;
    PTextureDevice& operator=(const PTextureDevice&) = delete;
    ~PTextureDevice() { ForgetTextures(); }

private:
    friend class FXMaterial;
    FXMaterial* textures_ = nullptr;  // the first material whose texture lives here
};
