// Texture upload for the OpenGL device: 8-bit RGBA pixel blocks with power-of-two sides become
// 2D textures (with or without mipmaps), clamped at the edges. Block row 0 lands at texture
// coordinate t = 0. Runs where the context is current. Movie frames reuse their texture's storage
// (glTexSubImage2D) when the block size stays.
//
// Where the device takes textures of any size, a picture becomes a texture of its own size: the
// padding of its block is left out, which spares the renderer up to half the memory of a large
// picture (the photograph of a 1280 x 1024 screen in a 2048 x 1024 block), and its mipmaps are
// built here with the image library's filter, in one scratch block instead of the library's
// copies of the whole block.
#include <cstddef>
#include <memory>
#include <new>

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

// The next mipmap level of the w x h RGBA texels at src (rows stride texels apart) into dst
// (rows packed): every texel the rounded mean of the 2 x 2 it covers, as the image library
// builds the levels of a power-of-two block (a side of 1 stays 1; an odd side leaves out its
// last row or column, as the level sizes of OpenGL halve downwards). dst may be src when
// stride >= w: each texel is written after the texels it is read from.
void localHalve(const unsigned char* src, int w, int h, int stride, unsigned char* dst) {
    const int w2 = w > 1 ? w / 2 : 1, h2 = h > 1 ? h / 2 : 1;
    const size_t right = w > 1 ? 4 : 0, below = h > 1 ? size_t(stride) * 4 : 0;
    for (int y = 0; y < h2; y++) {
        const unsigned char* row = src + size_t(h > 1 ? 2 * y : y) * size_t(stride) * 4;
        unsigned char* out = dst + size_t(y) * size_t(w2) * 4;
        for (int x = 0; x < w2; x++) {
            const unsigned char* t = row + (w > 1 ? size_t(x) * 8 : size_t(x) * 4);
            for (int c = 0; c < 4; c++)
                out[4 * x + c] = static_cast<unsigned char>((t[c] + t[right + c] + t[below + c] + t[below + right + c] + 2) >> 2);
        }
    }
}

// Uploads the picture of p alone (width x height of its block, without the padding) into
// texture *name (generated when 0), with its mipmaps built here in one scratch block of a
// quarter of the picture, each level halved in place from the one before.
bool localUploadPicture(unsigned* name, const FXPixmap* p, bool mipmaps) {
    if (!p || !p->data || p->width <= 0 || p->height <= 0 || p->width > p->bufWidth || p->height > p->bufHeight)
        return false;
    int w = p->width, h = p->height;
    std::unique_ptr<unsigned char[]> scratch;
    if (mipmaps && (w > 1 || h > 1)) {
        scratch.reset(new (std::nothrow) unsigned char[size_t(w > 1 ? w / 2 : 1) * size_t(h > 1 ? h / 2 : 1) * 4]);
        if (!scratch) return false;
    }
    if (*name == 0) glGenTextures(1, name);
    glBindTexture(GL_TEXTURE_2D, *name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, p->bufWidth);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, p->data);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    const unsigned char* level = reinterpret_cast<const unsigned char*>(p->data);
    int stride = p->bufWidth;
    for (int i = 1; mipmaps && (w > 1 || h > 1); i++) {
        localHalve(level, w, h, stride, scratch.get());
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        level = scratch.get();
        stride = w;
        glTexImage2D(GL_TEXTURE_2D, i, 4, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, level);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

}  // namespace

// A material without a texture source (or with an empty one) has nothing to upload: false. A
// padded picture on a device that takes any size becomes a texture of its own size, and its
// texture scales say that the whole texture is the picture.
bool FXGL::PrepareTexture(FXMaterial* m) {
    if (!m || !m->textureSource) return false;
    FX_ASSERT(CanIssueCalls() && "textures are uploaded with the device's context current");
    const FXPixmap* p = &m->textureSource->pixmap;
    const bool padded = p->width < p->bufWidth || p->height < p->bufHeight;
    if (padded && npotTextures) {
        if (!localUploadPicture(&m->textureName, p, m->useMipmaps)) return false;
        m->texScaleU = 1.0f;
        m->texScaleV = 1.0f;
        return true;
    }
    return localUpload(&m->textureName, p, m->useMipmaps);
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
