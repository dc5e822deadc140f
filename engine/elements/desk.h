// FXDesk: a flat, textured screen rectangle built as a regular grid of quads in one FXMesh, laid
// out from -1 to +1 in x and y at z = 0 (row 0 at the top, column 0 at the left), with texture
// coordinates spanning the material's picture and optional per-vertex colours. Positions,
// colours and texture coordinates are recomputed by virtual update operations, so derived
// desks can skew, taper, shade or crop the grid; Create, UpdateCol and SetMaterial call them
// through the virtual slots.
//
// Vertex of row i and column j: j + i*(cols+1). Cell (i, j) owns indices (j + i*cols)*6 ..+5:
// top-left, bottom-left, top-right, bottom-left, bottom-right, top-right.
#pragma once

#include "base/compiler.h"
#include "geometry/mesh.h"
#include "render/render.h"

class FXMaterial;

class FXDesk : public PRender {
public:
    // Corner numbers of SetVertexPos and SetTexelPos, clockwise from the top-left.
    enum { kTopLeft = 1, kTopRight = 2, kBottomRight = 3, kBottomLeft = 4 };

    int cols = 0;
    int rows = 0;
    FXMesh mesh;

    FXDesk() = default;
    FXDesk(const FXDesk&) = delete;
    FXDesk& operator=(const FXDesk&) = delete;
    ~FXDesk() { FXDesk::Destroy(); }

    // Draws the mesh through the environment.
    void OnRender(PEnv* env, double time) override;
    virtual void Destroy();
    virtual void UpdatePos(bool pos, bool normal);
    // The top row shifted by a in x and the left column by b in y (bottom-right fixed).
    virtual void UpdatePosSkew(bool pos, bool normal, float a, float b);
    // The bottom row shifted by a in x and the right column by b in y (top-left fixed).
    virtual void UpdatePosSkew1(bool pos, bool normal, float a, float b);
    // Each lower row widened about x = 0, the bottom row by 1 + k.
    virtual void UpdatePosPerspective(float k);
    virtual void UpdateCol();
    virtual void UpdateColCol(const float* rgba);
    // lt at the top row and left column, blending to rb at the bottom-right corner.
    virtual void UpdateCol_LT_RB(const float* lt, const float* rb);
    // Coordinates over the material's picture (its texScaleU, texScaleV).
    virtual void UpdateTex();
    // Coordinates over the whole texture, ignoring the material's scales.
    virtual void UpdateTex1();
    // Coordinates over the sub-rectangle (left, top)-(right, bottom) of the picture, in fractions.
    virtual void UpdateTexRc(float left, float top, float right, float bottom);

    // Builds a cols x rows grid; nothing happens when the size is unchanged (moved corners stay)
    // or negative.
    void Create(int cols, int rows);
    // The material (not owned), then fresh texture coordinates.
    void SetMaterial(FXMaterial* m);
    // The material, rescaling the existing texture coordinates to it.
    void SetMaterial1(FXMaterial* m);
    // Corner numbers 1..4 address vertices 0, 1, 3 and 2 (the corners of a 1 x 1 desk); other
    // numbers, or vertices the grid does not have, change nothing. z is kept.
    void SetVertexPos(int corner, float x, float y);
    // A pixel position in a w x h screen.
    void SetVertexPos1(int corner, int px, int py, int w, int h);
    void SetTexelPos(int corner, float u, float v);
    void SetTexelPos1(int corner, int px, int py, int w, int h);

private:
    template <typename Place>
    void LayOut(bool pos, bool normal, Place place);
    tagFXVertex* Corner(int corner);
    float F(int j) const { return cols > 0 ? float(j) / float(cols) : 0.0f; }
    float G(int i) const { return rows > 0 ? float(i) / float(rows) : 0.0f; }
    tagFXVertex* At(int i, int j) {
        FX_ASSERT(i >= 0 && i <= rows && j >= 0 && j <= cols && "a vertex of the grid");
        return mesh.vertices + j + i * (cols + 1);
    }
    void TexScales(float* su, float* sv) const;
};
