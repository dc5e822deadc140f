// FXAnimSplines: the per-vertex curves of a frame animation for one vertex attribute (positions
// or normals). Every vertex has one key per animation frame; the keys of all vertices live in one
// block that is sized once. Choosing a key pair (SetActPoints) turns each vertex's active segment
// into a record of a second block: the vertices whose two end keys coincide become still records,
// the others records of the one segment kind the pair uses (cubic, quadratic or straight). An
// evaluation is then a walk over contiguous records of a single kind with one shared table of
// powers, writing each value in place into the bound model's vertices; it allocates nothing.
//
// The curves are those of FXBezierSpline for the same keys, tension, closed and linear flags and
// pair, bit for bit: the control points come from the same function, the segment choice follows
// FXBezierSpline::SetActPoints and the evaluations use the same products in the same order.
//
// The key block never changes once it is filled, so several sets of records can share it: each
// copy of an animation (and each monitor's scene) keeps its own records, targets and pair, and
// the keys are held once (CreateSharing).
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

class FXBezierPhaseH;
class FXModel;
struct tagFXVertex;

class FXAnimSplines {
public:
    enum Field { kPos, kNormal };

    FXAnimSplines() = default;
    FXAnimSplines(const FXAnimSplines&) = delete;
    FXAnimSplines& operator=(const FXAnimSplines&) = delete;

    // Room for vertexCount vertices with keyCount keys each, the keys zero; false (and empty) when
    // a count is not positive or the blocks cannot be had.
    bool Create(int vertexCount, int keyCount, float tension);
    // The keys of other (shared, not copied: neither writes them again) with room for records of
    // its own, or without records (records false: a set kept only to be shared again). False (and
    // empty) when other has no keys or the record block cannot be had.
    bool CreateSharing(const FXAnimSplines& other, bool records = true);
    void Destroy();
    int GetVertexCount() const { return vertexCount; }
    int GetKeyCount() const { return keyCount; }
    // The keyCount keys of vertex v, three floats each, frame by frame. Written only while the
    // splines are filled, before anything shares them.
    float* Keys(int v) { return keys.get() + size_t(v) * size_t(keyCount) * 3; }
    const float* Keys(int v) const { return keys.get() + size_t(v) * size_t(keyCount) * 3; }

    // Vertex j writes the field of the j-th vertex counted over the model's working meshes in mesh
    // order; false (and nothing bound) when the model holds another number of vertices. A pair
    // chosen before is chosen again for the new targets.
    bool Bind(FXModel* model, Field field);
    // Whether another set shares this one's keys.
    bool SharesKeysWith(const FXAnimSplines& other) const { return keys && keys == other.keys; }
    // True while the model's meshes are still the vertex arrays that were bound.
    bool IsBound(const FXModel* model) const;

    // Chooses every vertex's active segment between keys from and to (-1: the last key) with the
    // rules of FXBezierSpline::SetActPoints; with more than two keys, indices outside the keys keep
    // the previous choice.
    void SetActPoints(int from, int to, bool closed, bool linear);
    // Every vertex's active segment at h->t, written to its target.
    void Evaluate(const FXBezierPhaseH* h) const;

private:
    // The segment the chosen pair uses on every vertex whose end keys differ.
    enum Kind { kNone, kCubic, kQuadFirst, kQuadLast, kLine };
    struct Choice {
        int from = -1, to = -1;
        bool closed = false, linear = false;
        bool valid = false;
    };

    void Choose(const Choice& c);
    Kind KindOf(const Choice& c, int* a, int* b, int* seg) const;
    void FillMoving(Kind kind, const float* k, int seg, int a, int b, float* out, int index);

    int vertexCount = 0;
    int keyCount = 0;
    float tension = 1.0f;
    std::shared_ptr<float[]> keys;  // shared by every set made with CreateSharing
    // Moving records from the start of the block, still records after them.
    std::unique_ptr<unsigned char[]> block;
    Kind movingKind = kNone;
    int movingCount = 0;
    int stillCount = 0;
    size_t stillOffset = 0;
    Choice choice;
    Field field = kPos;
    std::vector<float*> targets;                            // per vertex
    std::vector<std::pair<const tagFXVertex*, int>> bound;  // per mesh: vertex array and count
};
