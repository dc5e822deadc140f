// Which part of the window a frame can change. QmDamage remembers, for every mesh the scene drew
// in the frame before, what it drew (its vertices, material colours and texture, matrix and a key
// the caller gives, such as a movie frame) and where (its rectangle in the window). A new frame
// notes every mesh it is about to draw; a mesh whose inputs are unchanged draws the same pixels
// in the same place, so only the meshes that changed, appeared or went add their old and new
// rectangles. Pixels outside the sum are covered only by unchanged drawing and stay as they were.
//
// Room for each mesh's copy is made before frames are drawn (Reserve), so that frames allocate
// nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "math/3dmath.h"
#include "render/screen_rect.h"

class FXLight;
class FXMesh;
class FXMaterial;

class QmDamage {
public:
    // Makes room to remember mesh (not owned; it outlives this object or Clear comes first) with
    // at least minVertices vertices (for a mesh that is filled later).
    void Reserve(const FXMesh* mesh, int minVertices = 0);
    // Forgets every mesh.
    void Clear();
    // Starts noting a frame drawn in a width x height window with the given projection (16 floats,
    // column-major, kept until End).
    void Begin(int width, int height, const float* projection);
    // Mesh is drawn in this frame under modelView with its material; key tells apart what the
    // vertices and material do not (the movie frame whose picture the material holds).
    void Note(const FXMesh* mesh, const FXMatrix& modelView, uint64_t key);
    // The lights the frame is lit by (count of them, null where none): any change from the frame
    // before relights everything drawn lit, so the whole window counts.
    void NoteLights(const FXLight* const* lights, int count);
    // Ends the frame: the rectangles whose pixels may differ from the frame before (the meshes
    // drawn then and not now count with their old rectangles). Whole when a mesh cannot be
    // bounded or was never reserved.
    const FXScreenRects& End();
    // The next frame compares with nothing (a whole frame is drawn): every mesh counts as new.
    void Forget();

private:
    struct Item {
        const FXMesh* mesh = nullptr;
        std::vector<float> vertices;  // position, normal, texture coordinates, colour per vertex
        int vertexCount = -1;
        float colours[17] = {};  // ambient, diffuse, specular, emission, shininess
        const FXMaterial* material = nullptr;
        unsigned texture = 0;
        FXMatrix modelView;
        uint64_t key = 0;
        FXScreenRect rect;
        bool drawnBefore = false;
        bool drawnNow = false;
    };
    std::vector<Item> items_;
    enum { kLights = 8, kLightFloats = 25 };
    float lights_[kLights][kLightFloats] = {};  // as NoteLights saw them last
    FXScreenRects damage_;
    int width_ = 0, height_ = 0;
    const float* projection_ = nullptr;

    Item* Find(const FXMesh* mesh);
    // Whether the mesh draws something else than item remembers; then item takes it.
    static bool Changed(Item* item, const FXMesh* mesh, const FXMatrix& modelView, uint64_t key);
};
