// Texture upload for the OpenGL device: 8-bit RGBA pixel blocks with power-of-two sides become
// 2D textures (with or without mipmaps), clamped at the edges. Block row 0 lands at texture
// coordinate t = 0. Runs where the context is current. Movie frames reuse their texture's storage
// (glTexSubImage2D) when the block size stays.
#include <cstddef>

#include "image/canvas.h"
#include "image/material.h"
#include "image/pixmap.h"
#include "device/gl.h"
#include "device/gl_api.h"

namespace {

// True when texture name already has storage of w x h without mipmaps (as FastPrepareTexture
// makes it), so that new pixels can go into that storage.
bool localSameStorage(GLuint name, int w, int h) {
    if (name == 0 || !glIsTexture(name)) return false;
    GLint tw = 0, th = 0, filter = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    return tw == w && th == h && filter == GL_LINEAR;
}

// Uploads the whole allocated block of p into texture *name (generated when 0).
bool localUpload(unsigned* name, const FXPixmap* p, bool mipmaps) {
    if (!p || !p->data || p->bufWidth <= 0 || p->bufHeight <= 0) return false;
    if (*name == 0) glGenTextures(1, name);
    glBindTexture(GL_TEXTURE_2D, *name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (mipmaps) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, p->bufWidth, p->bufHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                          p->data);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, 4, p->bufWidth, p->bufHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     p->data);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

// Puts the picture of p into the storage texture name already has (of p's block size): the
// picture's rows and columns plus one more of each where the block has them, which linear
// filtering at the picture's far edges reads; the rest of the block is never sampled.
void localUpdate(GLuint name, const FXPixmap* p) {
    const int w = p->width < p->bufWidth ? p->width + 1 : p->bufWidth;
    const int h = p->height < p->bufHeight ? p->height + 1 : p->bufHeight;
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, p->bufWidth);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, p->data);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace

// A material without a texture source (or with an empty one) has nothing to upload: false.
bool FXGL::PrepareTexture(FXMaterial* m) {
    if (!m || !m->textureSource) return false;
    FX_ASSERT(CanIssueCalls() && "textures are uploaded with the device's context current");
    return localUpload(&m->textureName, &m->textureSource->pixmap, m->useMipmaps);
}

// A texture that already has storage of p's block size (a movie's pool material showing its next
// frame) gets the new picture in place; any other is specified afresh.
bool FXGL::FastPrepareTexture(FXMaterial* m, FXPixmap* p) {
    if (!m || !p || !p->data || p->bufWidth <= 0 || p->bufHeight <= 0) return false;
    FX_ASSERT(CanIssueCalls() && "textures are uploaded with the device's context current");
    if (localSameStorage(m->textureName, p->bufWidth, p->bufHeight))
        localUpdate(m->textureName, p);
    else if (!localUpload(&m->textureName, p, false))
        return false;
    m->texScaleU = float(p->width) / float(p->bufWidth);
    m->texScaleV = float(p->height) / float(p->bufHeight);
    m->hasTexture = true;
    return true;
}

bool FXGL::PrepareCubeTexture(FXMaterial*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*, FXPixmap*,
                              FXPixmap*) {
    return false;  // cube textures are not supported
}

void FXGL::UnprepareTexture(FXMaterial* m) {
    if (!m || !m->textureName) return;
    GLuint name = m->textureName;
    glDeleteTextures(1, &name);
    m->textureName = 0;
}
