// FXDesk: grid construction, the position, colour and texture-coordinate updates, and corner
// access. Every update walks the (rows+1) x (cols+1) vertices with f = j/cols and g = i/rows in
// single precision; a grid without cells uses 0 instead of dividing by zero.
#include "elements/desk.h"

#include <cstdint>
#include <cstring>

#include "base/trace.h"
#include "math/3dmath.h"
#include "image/material.h"

namespace {

// Grids beyond this many vertices are refused (the counts would overflow).
const int64_t kMaxVertices = 1 << 24;

void localNormal(tagFXVertex* v) {
    v->normal[0] = 0.0f;
    v->normal[1] = 0.0f;
    v->normal[2] = -1.0f;
}

void localPos(tagFXVertex* v, float x, float y) {
    v->pos[0] = x;
    v->pos[1] = y;
    v->pos[2] = 0.0f;
}

}  // namespace

void FXDesk::Create(int c, int r) {
    if (c == cols && r == rows) return;
    if (c < 0 || r < 0) return;
    int64_t vertexCount = (int64_t(c) + 1) * (int64_t(r) + 1);
    int64_t indexCount = int64_t(c) * r * 6;
    if (vertexCount > kMaxVertices || indexCount > kMaxVertices * 6) {
        err(FX_ERR_REFUSED, "desk of %d x %d cells refused\n", c, r);
        return;
    }
    mesh.Realloc(int(vertexCount), int(indexCount));
    if (!mesh.vertices || (indexCount > 0 && !mesh.indices)) {
        err(FX_ERR_MEMORY, "desk of %d x %d cells: out of memory\n", c, r);
        Destroy();
        return;
    }
    cols = c;
    rows = r;
    memset(mesh.vertices, 0, sizeof(tagFXVertex) * size_t(vertexCount));
    if (indexCount > 0) memset(mesh.indices, 0, sizeof(int32_t) * size_t(indexCount));

    int32_t* idx = mesh.indices;
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < cols; j++) {
            int32_t top = j + i * (cols + 1);
            int32_t bottom = j + (i + 1) * (cols + 1);
            idx[0] = top;
            idx[1] = bottom;
            idx[2] = top + 1;
            idx[3] = bottom;
            idx[4] = bottom + 1;
            idx[5] = top + 1;
            idx += 6;
        }
    }
    UpdatePos(true, true);
    UpdateCol();
    UpdateTex();
}

void FXDesk::Destroy() {
    cols = 0;
    rows = 0;
    mesh.Destroy();
}

void FXDesk::OnRender(PEnv* env, double) {
    if (env) env->RenderMesh(&mesh);
}

// ---- positions ----

// Every vertex with its column and row fractions f and g: its position (at z = 0) from
// place(f, g, &x, &y) when pos, its normal facing the viewer when normal.
template <typename Place>
void FXDesk::LayOut(bool pos, bool normal, Place place) {
    if (!mesh.vertices) return;
    for (int i = 0; i <= rows; i++) {
        for (int j = 0; j <= cols; j++) {
            tagFXVertex* v = At(i, j);
            if (pos) {
                float x, y;
                place(F(j), G(i), &x, &y);
                localPos(v, x, y);
            }
            if (normal) localNormal(v);
        }
    }
}

void FXDesk::UpdatePos(bool pos, bool normal) {
    LayOut(pos, normal, [](float f, float g, float* x, float* y) {
        *x = f * 2.0f - 1.0f;
        *y = g * -2.0f + 1.0f;
    });
}

void FXDesk::UpdatePosSkew(bool pos, bool normal, float a, float b) {
    LayOut(pos, normal, [a, b](float f, float g, float* x, float* y) {
        *x = f * 2.0f - 1.0f + (1.0f - g) * a;
        *y = g * -2.0f + 1.0f + (1.0f - f) * b;
    });
}

void FXDesk::UpdatePosSkew1(bool pos, bool normal, float a, float b) {
    LayOut(pos, normal, [a, b](float f, float g, float* x, float* y) {
        *x = f * 2.0f - 1.0f + g * a;
        *y = g * -2.0f + 1.0f + f * b;
    });
}

void FXDesk::UpdatePosPerspective(float k) {
    LayOut(true, false, [k](float f, float g, float* x, float* y) {
        *x = (f * 2.0f - 1.0f) * (g * k + 1.0f);
        *y = g * -2.0f + 1.0f;
    });
}

// ---- colours ----

void FXDesk::UpdateCol() {
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    UpdateColCol(white);
}

void FXDesk::UpdateColCol(const float* rgba) {
    if (!mesh.vertices || !rgba) return;
    for (int n = 0; n < mesh.vertexCount; n++) memcpy(mesh.vertices[n].color, rgba, 4 * sizeof(float));
}

void FXDesk::UpdateCol_LT_RB(const float* lt, const float* rb) {
    if (!mesh.vertices || !lt || !rb) return;
    for (int i = 0; i <= rows; i++)
        for (int j = 0; j <= cols; j++) fxVec4fCombineP(At(i, j)->color, lt, rb, F(j) * G(i));
}

// ---- texture coordinates ----

void FXDesk::TexScales(float* su, float* sv) const {
    *su = mesh.material ? mesh.material->texScaleU : 0.0f;
    *sv = mesh.material ? mesh.material->texScaleV : 0.0f;
}

void FXDesk::UpdateTex() {
    if (!mesh.vertices) return;
    float su, sv;
    TexScales(&su, &sv);
    for (int i = 0; i <= rows; i++) {
        for (int j = 0; j <= cols; j++) {
            tagFXVertex* v = At(i, j);
            float g = G(i);
            v->uv[0] = F(j) * su;
            v->uv[1] = mesh.flipV ? sv * (1.0f - g) : sv * g;
        }
    }
}

void FXDesk::UpdateTex1() {
    if (!mesh.vertices) return;
    for (int i = 0; i <= rows; i++) {
        for (int j = 0; j <= cols; j++) {
            tagFXVertex* v = At(i, j);
            float g = G(i);
            v->uv[0] = F(j);
            v->uv[1] = mesh.flipV ? 1.0f - g : g;
        }
    }
}

void FXDesk::UpdateTexRc(float left, float top, float right, float bottom) {
    if (!mesh.vertices) return;
    float su, sv;
    TexScales(&su, &sv);
    for (int i = 0; i <= rows; i++) {
        for (int j = 0; j <= cols; j++) {
            tagFXVertex* v = At(i, j);
            float w = top + G(i) * (bottom - top);
            v->uv[0] = (left + F(j) * (right - left)) * su;
            v->uv[1] = mesh.flipV ? sv * (1.0f - w) : sv * w;
        }
    }
}

// ---- materials and corners ----

void FXDesk::SetMaterial(FXMaterial* m) {
    mesh.material = m;
    UpdateTex();
}

void FXDesk::SetMaterial1(FXMaterial* m) {
    mesh.material = m;
    mesh.ResizeTexCoords();
}

tagFXVertex* FXDesk::Corner(int corner) {
    static const int kVertex[4] = {0, 1, 3, 2};
    if (corner < kTopLeft || corner > kBottomLeft || !mesh.vertices) return nullptr;
    int n = kVertex[corner - 1];
    return n < mesh.vertexCount ? mesh.vertices + n : nullptr;
}

void FXDesk::SetVertexPos(int corner, float x, float y) {
    tagFXVertex* v = Corner(corner);
    if (!v) return;
    v->pos[0] = x;
    v->pos[1] = y;
}

void FXDesk::SetVertexPos1(int corner, int px, int py, int w, int h) {
    if (w <= 0 || h <= 0) return;
    SetVertexPos(corner, float(px) * 2.0f / float(w) - 1.0f, float(py) * -2.0f / float(h) + 1.0f);
}

void FXDesk::SetTexelPos(int corner, float u, float v) {
    tagFXVertex* p = Corner(corner);
    if (!p) return;
    p->uv[0] = u;
    p->uv[1] = v;
}

void FXDesk::SetTexelPos1(int corner, int px, int py, int w, int h) {
    if (w <= 0 || h <= 0) return;
    SetTexelPos(corner, float(px) / float(w), float(py) / float(h));
}
