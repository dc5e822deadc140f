// Mesh drawing for the OpenGL device: one immediate-mode triangle batch per mesh, with the
// per-vertex data chosen from the device state (vertex colours, normals when lit, texture
// coordinates when a texture is bound, and a second texture layer from a paired mesh). The
// choice is made once per mesh; the vertex loops hold no further tests and allocate nothing.
#include "geometry/mesh.h"
#include "image/material.h"
#include "device/gl.h"
#include "device/gl_api.h"

namespace {

template <bool kColour, bool kNormal, bool kTexture, bool kSecond>
void localSubmit(const FXMesh* mesh, const tagFXVertex* second) {
    const tagFXVertex* vertices = mesh->vertices;
    const int32_t* indices = mesh->indices;
    const int n = mesh->indexCount;
    for (int i = 0; i < n; i++) {
        const int32_t k = indices[i];
        const tagFXVertex& v = vertices[k];
        if (kColour) glColor4fv(v.color);
        if (kNormal) glNormal3fv(v.normal);
        if (kTexture) {
            glTexCoord2fv(v.uv);
            if (kSecond) fxglMultiTexCoord2fv(GL_TEXTURE1, second[k].uv);
        }
        glVertex3fv(v.pos);
    }
}

typedef void (*FXSubmitFn)(const FXMesh*, const tagFXVertex*);

// Indexed by colour * 4 + normal * 2 + texture.
const FXSubmitFn kSingleLayer[8] = {
    localSubmit<false, false, false, false>, localSubmit<false, false, true, false>,
    localSubmit<false, true, false, false>,  localSubmit<false, true, true, false>,
    localSubmit<true, false, false, false>,  localSubmit<true, false, true, false>,
    localSubmit<true, true, false, false>,   localSubmit<true, true, true, false>,
};
const FXSubmitFn kTwoLayers[8] = {
    localSubmit<false, false, false, true>, localSubmit<false, false, true, true>,
    localSubmit<false, true, false, true>,  localSubmit<false, true, true, true>,
    localSubmit<true, false, false, true>,  localSubmit<true, false, true, true>,
    localSubmit<true, true, false, true>,   localSubmit<true, true, true, true>,
};

}  // namespace

bool FXGL::PrepareMesh(FXMesh*) { return true; }  // meshes are drawn from memory

void FXGL::UnprepareMesh(FXMesh*) {}

void FXGL::RenderMesh(FXMesh* mesh) {
    if (!mesh || mesh->disabled || mesh->vertexCount <= 0 || mesh->indexCount <= 0) return;
    FX_ASSERT(CanIssueCalls() && "meshes are drawn with the device's context current");
    if (drawnArea)
        drawnArea->Add(fxProjectBounds(matrix, projection, mesh->vertices[0].pos, mesh->vertexCount,
                                       int(sizeof(tagFXVertex) / sizeof(float)), width, height));
    if (mesh->colorMode == 0) {
        glColor4f(1, 1, 1, 1);
        glDisable(GL_COLOR_MATERIAL);
    } else if (mesh->colorMode == 1) {
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glColor4f(1, 1, 1, 1);
    }
    if (mesh->material)
        ApplyMaterial(mesh->material);
    else
        ApplyDefaultMaterial();

    const FXMesh* second = mesh->secondMesh;
    if (second) {
        // The second layer's coordinates are read by the first mesh's vertex numbers, so its
        // vertex array must be at least as long.
        if (!hasMultitexture || !fxglMultiTexCoord2fv || !second->vertices ||
            second->vertexCount < mesh->vertexCount)
            return;
        ApplyMaterial2(second->material);
    } else {
        ApplyMaterial2(nullptr);
    }

    // A surface of alpha 1 throughout needs neither blending nor the alpha test: both would leave
    // every pixel as drawn. Without them the rasteriser reads no colour back and can test depth
    // before it textures.
    const bool opaque = mesh->colorMode == 0 && !second && mesh->material && !testingMaterial &&
                        mesh->material->Hides();
    if (opaque) {
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
    }
    glBegin(GL_TRIANGLES);
    if (mesh->colorMode == 0 || mesh->colorMode == 1) {
        int pick = (mesh->colorMode == 1 ? 4 : 0) + (lightsOn ? 2 : 0) + (textureOn ? 1 : 0);
        (second ? kTwoLayers : kSingleLayer)[pick](mesh, second ? second->vertices : nullptr);
    }
    glEnd();
    if (opaque) {
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
    }
}
