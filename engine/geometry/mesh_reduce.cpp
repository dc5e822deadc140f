// FXMesh vertex reduction (authoring): takes superfluous vertices out of flat regions. A vertex b
// that lies, within an angular tolerance, on the straight line a-b-g between two neighbours and in
// the plane of the triangles around it is removed; the triangles that used it are replaced by fewer,
// larger ones. Meant for regular strips and grids whose long straight edges are cut into many
// collinear pieces.
//
// Work happens in place on the index list: a removed triangle has its three indices set to -1,
// replacement triangles go into such freed slots, and the list and the vertex array are compacted at
// the end. While a pass runs, bit 1 of a vertex's mark keeps it out of a second reduction.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"

namespace {

enum { kMasked = 1 };

// 180 / 3.1415: radians to degrees as the tolerance test has always converted them.
const float kDegrees = 57.29747f;

bool localSamePos(const tagFXVertex& a, const tagFXVertex& b) {
    return a.pos[0] == b.pos[0] && a.pos[1] == b.pos[1] && a.pos[2] == b.pos[2];
}

bool localStrictSameSign(float x, float y) { return (x > 0.0f && y > 0.0f) || (x < 0.0f && y < 0.0f); }

bool localHas(const int32_t* t, int v) { return t[0] == v || t[1] == v || t[2] == v; }

bool localLive(const int32_t* t) { return t[0] != -1 && t[1] != -1 && t[2] != -1; }

bool localDegenerate(const int32_t* t) { return t[0] == t[1] || t[1] == t[2] || t[0] == t[2]; }

// The first corner of t that is neither x nor y, or fallback when there is none.
int localOtherCorner(const int32_t* t, int x, int y, int fallback) {
    for (int k = 0; k < 3; k++)
        if (t[k] != x && t[k] != y) return t[k];
    return fallback;
}

bool localInList(int v, const int* list, int count) {
    for (int i = 0; i < count; i++)
        if (list[i] == v) return true;
    return false;
}

void localCross(const float* a, const float* b, float* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// n normalised (no guard: a zero normal becomes non-finite, and every test against it fails), then
// d = -n.p.
void localFinishPlane(float* out, const float* n, const float* p) {
    float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int c = 0; c < 3; c++) out[c] = n[c] / len;
    out[3] = -(out[0] * p[0] + out[1] * p[1] + out[2] * p[2]);
}

// The normal of triangle (i, j, k) in its corner order, twice as long as the triangle's area.
void localTriangleNormal(const FXMesh* m, int i, int j, int k, float* n) {
    const float *a = m->vertices[i].pos, *b = m->vertices[j].pos, *c = m->vertices[k].pos;
    float ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, ac[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    localCross(ab, ac, n);
}

float localArea(const FXMesh* m, int i, int j, int k) {
    float n[3];
    localTriangleNormal(m, i, j, k, n);
    return 0.5f * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

// Replaces the live triangles with every corner in `group` by the `created` ones, each turned to
// face the way the replaced ones face. The created corner orders follow the line being reduced,
// which runs either way along the edge, so without the turn a reduction made from the line's far
// end would flip its triangles and face culling would drop them.
void localReplaceGroup(FXMesh* m, const int* group, int groupCount, const int* created, int createdCount) {
    float facing[3] = {0.0f, 0.0f, 0.0f};
    for (int t = 0; t + 2 < m->indexCount; t += 3) {
        const int32_t* tri = m->indices + t;
        if (!localLive(tri) || !localInList(tri[0], group, groupCount) || !localInList(tri[1], group, groupCount) ||
            !localInList(tri[2], group, groupCount))
            continue;
        float n[3];
        localTriangleNormal(m, tri[0], tri[1], tri[2], n);
        for (int c = 0; c < 3; c++) facing[c] += n[c];
    }
    std::vector<int> turned(created, created + createdCount);
    for (int k = 0; k + 2 < createdCount; k += 3) {
        float n[3];
        localTriangleNormal(m, turned[size_t(k)], turned[size_t(k) + 1], turned[size_t(k) + 2], n);
        if (n[0] * facing[0] + n[1] * facing[1] + n[2] * facing[2] < 0.0f)
            std::swap(turned[size_t(k) + 1], turned[size_t(k) + 2]);
    }
    m->DiscardTrianglesGroup(groupCount, group);
    m->CreateTrianglesGroup(createdCount, turned.data());
}

// True when the triangles `created` cover what the live triangles with every corner in `group`
// cover now. The replacements are laid out for the convex fans of strips and grids; around a
// vertex whose fan is not convex they would overlap their neighbours, and such a reduction is not
// made. `straightened` is the area the removed vertices add or take by leaving their lines.
bool localKeepsCover(const FXMesh* m, const int* group, int groupCount, const int* created, int createdCount,
                     float straightened) {
    float before = 0.0f, after = 0.0f;
    for (int t = 0; t + 2 < m->indexCount; t += 3) {
        const int32_t* tri = m->indices + t;
        if (localLive(tri) && localInList(tri[0], group, groupCount) && localInList(tri[1], group, groupCount) &&
            localInList(tri[2], group, groupCount))
            before += localArea(m, tri[0], tri[1], tri[2]);
    }
    for (int k = 0; k + 2 < createdCount; k += 3) after += localArea(m, created[k], created[k + 1], created[k + 2]);
    // Triangles within the tolerance of one plane may differ in area by up to the factor 1 / cos.
    float slack = 1e-4f + (1.0f - std::cos(std::fmin(m->reduceTolerance, 60.0f) / kDegrees));
    return std::fabs(after - before) <= straightened + slack * before;
}

// The collapse of one line: vertex v, which leaves the line i-end, is put on the plane of the
// triangle (i, j, k) and then on the plane through i-end perpendicular to it, so the triangles
// that replace its fan lie where its old ones did.
void localPutOnLine(FXMesh* m, int v, int i, int j, int k, int end) {
    float pf[4], pe[4];
    m->ComputeFormula(pf, i, j, k);
    m->ComputeFormula1(pe, pf, i, end);
    m->PlaceVertexFormula(v, pf);
    m->PlaceVertexFormula(v, pe);
}

// Takes the middle vertex b of the straight edge a-b-g out of its fan: b is placed on the edge's
// plane, masked with the edge, the group's triangles are replaced by the created ones and stage
// 2a follows. False, with nothing changed, when the new triangles would not cover the old area.
bool localTakeOutMiddle(FXMesh* m, int a, int b, int g, int q, int h, const int* group, int groupCount,
                        const int* created, int createdCount) {
    if (!localKeepsCover(m, group, groupCount, created, createdCount, localArea(m, a, b, g))) return false;
    localPutOnLine(m, b, a, g, q, g);
    const int line[3] = {a, b, g};
    m->SetVerticesMask(3, line, kMasked);
    m->PushReducDepend(a, b);
    m->PushReducDepend(b, b);
    m->PushReducDepend(g, b);
    localReplaceGroup(m, group, groupCount, created, createdCount);
    m->ReduceStage2a(a, b, g, q, h);
    return true;
}

}  // namespace

// ---- geometric primitives ----

void FXMesh::ComputeFormula(float* out, int i, int j, int k) {
    const float *pi = vertices[i].pos, *pj = vertices[j].pos, *pk = vertices[k].pos;
    float ik[3], ij[3], n[3];
    for (int c = 0; c < 3; c++) {
        ik[c] = pi[c] - pk[c];
        ij[c] = pi[c] - pj[c];
    }
    localCross(ik, ij, n);
    localFinishPlane(out, n, pi);
}

void FXMesh::ComputeFormula1(float* out, const float* plane, int i, int j) {
    const float *pi = vertices[i].pos, *pj = vertices[j].pos;
    float ij[3] = {pi[0] - pj[0], pi[1] - pj[1], pi[2] - pj[2]}, n[3];
    localCross(plane, ij, n);
    localFinishPlane(out, n, pi);
}

float FXMesh::MultiVertexFormula(const float* plane, int i) {
    const float* p = vertices[i].pos;
    return plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3];
}

bool FXMesh::TestVertexOnFormula(const float* plane, int i, int j) {
    float s = MultiVertexFormula(plane, j);
    if (s == 0.0f) return true;
    const float *pi = vertices[i].pos, *pj = vertices[j].pos;
    float dx = pi[0] - pj[0], dy = pi[1] - pj[1], dz = pi[2] - pj[2];
    float dist = std::sqrt(dx * dx + dy * dy + dz * dz);
    float ratio = std::fabs(s) / dist;
    // Coincident points, a ratio above 1 or a non-finite plane give no angle.
    if (!(dist > 0.0f) || !(ratio <= 1.0f)) return false;
    return std::asin(ratio) * kDegrees <= reduceTolerance;
}

bool FXMesh::TestVerticesDirection(int i, int j, int k) {
    const float *pi = vertices[i].pos, *pj = vertices[j].pos, *pk = vertices[k].pos;
    float d1[3], d2[3];
    for (int c = 0; c < 3; c++) {
        d1[c] = pj[c] - pi[c];
        d2[c] = pk[c] - pj[c];
    }
    float ax = std::fabs(d1[0]), ay = std::fabs(d1[1]), az = std::fabs(d1[2]);
    int axis = 2;
    if (ay > ax && ay >= az)
        axis = 1;
    else if (ax >= ay && ax >= az)
        axis = 0;
    return localStrictSameSign(d1[axis], d2[axis]);
}

bool FXMesh::TestVertexSide(int i) {
    if (thirdSide == 0.0f) return false;
    return localStrictSameSign(MultiVertexFormula(edgePlane, i), thirdSide);
}

void FXMesh::PlaceVertexFormula(int i, const float* plane) {
    float s = MultiVertexFormula(plane, i);
    // A non-finite distance (a plane through coincident points) would spread NaN positions.
    if (s == 0.0f || !std::isfinite(s)) return;
    const tagFXVertex old = vertices[i];
    for (int v = 0; v < vertexCount; v++) {
        if (v != i && !localSamePos(vertices[v], old)) continue;
        for (int c = 0; c < 3; c++) vertices[v].pos[c] -= s * plane[c];
    }
}

void FXMesh::PlaceVertexFormula1(int i, const float* plane) {
    float s = MultiVertexFormula(plane, i);
    if (s == 0.0f || !std::isfinite(s)) return;
    for (int c = 0; c < 3; c++) vertices[i].pos[c] -= s * plane[c];
}

// ---- masks, triangle groups, dependencies ----

void FXMesh::SetVerticeMask(int i, int bits) {
    const tagFXVertex& ref = vertices[i];
    for (int v = 0; v < vertexCount; v++) {
        tagFXVertex& x = vertices[v];
        if ((x.mark & bits) == bits) continue;
        if (v == i || localSamePos(x, ref)) x.mark |= bits;
    }
}

void FXMesh::SetVerticesMask(int count, const int* list, int bits) {
    for (int k = 0; k < count; k++) SetVerticeMask(list[k], bits);
}

bool FXMesh::TestVerticesMask(int count, const int* list) {
    for (int k = 0; k < count; k++)
        if (vertices[list[k]].mark != 0) return false;
    return true;
}

bool FXMesh::TestVertices1Mask(int i) { return vertices[i].mark == 0; }
bool FXMesh::TestVertices2Mask(int i, int j) { return TestVertices1Mask(i) && TestVertices1Mask(j); }
bool FXMesh::TestVertices3Mask(int i, int j, int k) { return TestVertices2Mask(i, j) && TestVertices1Mask(k); }

void FXMesh::DiscardTrianglesGroup(int count, const int* list) {
    for (int t = 0; t + 2 < indexCount; t += 3) {
        int32_t* tri = indices + t;
        if (!localLive(tri)) continue;
        if (localInList(tri[0], list, count) && localInList(tri[1], list, count) && localInList(tri[2], list, count))
            tri[0] = tri[1] = tri[2] = -1;
    }
}

void FXMesh::CreateTrianglesGroup(int count, const int* list) {
    int used = 0;
    for (int t = 0; t + 2 < indexCount && used + 2 < count; t += 3) {
        int32_t* tri = indices + t;
        if (localLive(tri)) continue;
        for (int k = 0; k < 3; k++) tri[k] = list[used + k];
        used += 3;
    }
}

void FXMesh::PushReducDepend(int from, int to) {
    reducDependFrom.PushInt(from);
    reducDependTo.PushInt(to);
}

// ---- neighbour searches ----

bool FXMesh::FindNextContiguouse(int key, int mid, int, int* iter, int* prev, int* out) {
    bool first = false;
    if (*iter == -1) {
        *iter = 0;
        *prev = -1;
        first = true;
    }
    for (int t = *iter; 3 * t + 2 < indexCount; t++) {
        const int32_t* tri = indices + 3 * t;
        if (!localLive(tri) || localDegenerate(tri) || !localHas(tri, mid)) continue;
        int g = -1, h = -1;
        for (int k = 0; k < 3; k++) {
            if (tri[k] == mid) continue;
            (g == -1 ? g : h) = tri[k];
        }
        if (localHas(tri, key)) continue;
        if (!TestVertexOnFormula(facePlane, mid, g) || !TestVertexOnFormula(facePlane, mid, h)) continue;
        // Resuming inside a triangle: its first continuation was offered, now the second; after
        // both, the scan moves on.
        if (!first) {
            if (*prev == -1) {
                *prev = g;
            } else if (*prev == g) {
                *prev = h;
            } else {
                *prev = -1;
                (*iter)++;
                continue;
            }
        }
        *iter = t;
        first = false;
        if (*prev == -1) *prev = g;
        if (*prev == g && TestVertexOnFormula(edgePlane, mid, g) && TestVerticesDirection(key, mid, g) &&
            TestVertexSide(h)) {
            *out = h;
            return true;
        }
        *prev = h;
        if (TestVertexOnFormula(edgePlane, mid, h) && TestVerticesDirection(key, mid, h) && TestVertexSide(g)) {
            *out = g;
            return true;
        }
        *prev = -1;
    }
    return false;
}

bool FXMesh::FindNextContiguouse1(int key, int key2, int key3, int* iter, int* out) {
    for (int t = *iter < 0 ? 0 : *iter; 3 * t + 2 < indexCount; t++) {
        const int32_t* tri = indices + 3 * t;
        if (!localLive(tri) || localDegenerate(tri)) continue;
        if (!localHas(tri, key2) || !localHas(tri, key3) || localHas(tri, key)) continue;
        int g = localOtherCorner(tri, key2, key3, -1);
        if (!TestVertexOnFormula(facePlane, key2, g)) continue;
        *iter = t;
        if (TestVertexOnFormula(edgePlane2, key2, g) && TestVerticesDirection(key, key2, g)) {
            *out = g;
            return true;
        }
    }
    return false;
}

// ---- stages ----

bool FXMesh::ReduceStage1(int a, int b, int q) {
    ComputeFormula1(edgePlane, facePlane, a, b);
    thirdSide = MultiVertexFormula(edgePlane, q);
    // The line read from a through b, then from b through a.
    const int ends[2][2] = {{a, b}, {b, a}};
    for (const auto& e : ends) {
        int iter = -1, prev = -1, h = -1;
        while (FindNextContiguouse(e[0], e[1], q, &iter, &prev, &h)) {
            const int rec[5] = {e[0], e[1], prev, q, h};
            memcpy(lastReduction, rec, sizeof rec);
            if (ReduceStage2(e[0], e[1], prev, q, h)) return true;
        }
    }
    return false;
}

bool FXMesh::ReduceStage2(int a, int b, int g, int q, int h) {
    if (!TestVertices3Mask(b, q, h)) return false;
    return ReduceStage22(a, b, g, q, h);
}

bool FXMesh::ReduceStage22(int a, int b, int g, int q, int h) {
    if (q == h) return ReduceStage3(a, b, g, q, h) || ReduceStage3a(a, b, g, q, h);
    return ReduceStage4(a, b, g, q, h);
}

bool FXMesh::ReduceStage3(int a, int b, int g, int q, int) {
    int cur = a, r = -1, s = -1;
    float across[4] = {};
    for (int t = 0; t + 2 < indexCount && s == -1; t += 3) {
        const int32_t* tri = indices + t;
        if (!localLive(tri) || !localHas(tri, cur) || !localHas(tri, q)) continue;
        int x = localOtherCorner(tri, cur, q, -1);
        if (x == -1 || x == a || x == b || x == g || !TestVertexOnFormula(facePlane, q, x)) continue;
        if (r == -1) {
            r = x;
            ComputeFormula1(across, facePlane, r, q);
            cur = g;
            continue;
        }
        if (x != r && TestVertexOnFormula(across, q, x) && TestVerticesDirection(r, q, x)) s = x;
    }
    if (r == -1 || s == -1) return false;
    lastReduction[5] = r;
    lastReduction[6] = s;
    const int group[6] = {a, b, g, r, q, s};
    const int created[6] = {a, g, r, r, g, s};
    if (!localKeepsCover(this, group, 6, created, 6, localArea(this, a, b, g) + localArea(this, r, q, s))) return false;
    localPutOnLine(this, b, a, g, r, g);
    localPutOnLine(this, q, r, g, s, s);
    SetVerticesMask(6, group, kMasked);
    const int deps[11][2] = {{a, b}, {b, b}, {g, b}, {q, q}, {q, q}, {q, q}, {q, q}, {r, q}, {s, q}, {r, q}, {s, q}};
    for (const auto& d : deps) PushReducDepend(d[0], d[1]);
    localReplaceGroup(this, group, 6, created, 6);
    ReduceStage2a(a, b, g, q, q);
    return true;
}

bool FXMesh::ReduceStage3a(int a, int b, int g, int q, int) {
    const int group[4] = {a, b, g, q};
    const int created[3] = {a, g, q};
    return localTakeOutMiddle(this, a, b, g, q, q, group, 4, created, 3);
}

bool FXMesh::ReduceStage4(int a, int b, int g, int q, int h) {
    bool middle = false;
    for (int t = 0; t + 2 < indexCount && !middle; t += 3) {
        const int32_t* tri = indices + t;
        middle = localLive(tri) && localHas(tri, b) && localHas(tri, q) && localHas(tri, h);
    }
    if (!middle) return false;
    if (!ReduceStage4a(a, b, g, q, h)) {
        const int group[5] = {a, b, g, q, h};
        const int created[6] = {a, g, q, q, g, h};
        return localTakeOutMiddle(this, a, b, g, q, h, group, 5, created, 6);
    }
    return true;
}

bool FXMesh::ReduceStage4a(int a, int b, int g, int q, int h) {
    ComputeFormula1(edgePlane2, facePlane, q, h);
    int iter = -1, o = -1;
    // Across the edge h-g, a vertex o continuing the line q-h: h can go as well. A search resumes at
    // the triangle it found, so a refused candidate moves it on by one.
    for (; FindNextContiguouse1(q, h, g, &iter, &o) && TestVertices1Mask(h); iter++)
        if (ReduceStage4aa(a, b, g, q, h, o)) return true;
    // Across the edge q-a, a vertex o continuing the line h-q: q can go as well.
    for (iter = -1; FindNextContiguouse1(h, q, a, &iter, &o) && TestVertices1Mask(q); iter++)
        if (ReduceStage4aa(a, b, g, o, q, h)) return true;
    return false;
}

bool FXMesh::ReduceStage4aa(int a, int b, int g, int d, int e, int f) {
    const int group[6] = {a, b, g, d, e, f};
    const int created[6] = {a, g, f, d, a, f};
    if (!localKeepsCover(this, group, 6, created, 6, localArea(this, a, b, g) + localArea(this, d, e, f))) return false;
    localPutOnLine(this, b, a, g, f, g);
    localPutOnLine(this, e, d, g, f, f);
    SetVerticesMask(6, group, kMasked);
    const int deps[6][2] = {{a, b}, {b, b}, {g, b}, {d, e}, {e, e}, {f, e}};
    for (const auto& x : deps) PushReducDepend(x[0], x[1]);
    localReplaceGroup(this, group, 6, created, 6);
    ReduceStage2aa(a, b, g, d, e, f);
    ReduceStage2aa(d, e, f, a, b, g);
    return true;
}

// ---- the other side of the line ----

bool FXMesh::ReduceStage2a(int a, int b, int g, int q, int h) {
    int e = -1, f = -1;
    for (int t = 0; t + 2 < indexCount && (e == -1 || f == -1); t += 3) {
        const int32_t* tri = indices + t;
        if (!localLive(tri)) continue;
        if (e == -1 && localHas(tri, a) && localHas(tri, b) && !localHas(tri, q)) e = localOtherCorner(tri, a, b, 0);
        if (f == -1 && localHas(tri, b) && localHas(tri, g) && !localHas(tri, h)) f = localOtherCorner(tri, b, g, 0);
    }
    if (e == -1 || f == -1) return false;
    if (!TestVertices2Mask(e, f)) return false;
    return ReduceStage22(a, b, g, e, f);
}

bool FXMesh::ReduceStage2aa(int a, int b, int g, int x, int y, int z) {
    int e = -1, f = -1;
    for (int t = 0; t + 2 < indexCount && (e == -1 || f == -1); t += 3) {
        const int32_t* tri = indices + t;
        if (!localLive(tri) || localHas(tri, x) || localHas(tri, y) || localHas(tri, z)) continue;
        if (e == -1 && localHas(tri, a) && localHas(tri, b)) e = localOtherCorner(tri, a, b, 0);
        if (f == -1 && localHas(tri, b) && localHas(tri, g)) f = localOtherCorner(tri, b, g, 0);
    }
    if (e == -1 || f == -1) return false;
    return ReduceStage22(a, b, g, e, f);
}

// ---- compaction ----

void FXMesh::DiscardProceed() {
    int removed = 0;
    for (int t = 0; t + 2 < indexCount; t += 3)
        if (!localLive(indices + t)) removed += 3;
    if (removed == 0) return;
    const int kept = indexCount - removed;
    int32_t* list = static_cast<int32_t*>(malloc(sizeof(int32_t) * size_t(kept > 0 ? kept : 1)));
    if (!list) return;  // the removed slots stay marked; nothing is lost
    int n = 0;
    for (int t = 0; t + 2 < indexCount; t += 3) {
        if (!localLive(indices + t)) continue;
        for (int k = 0; k < 3; k++) list[n++] = indices[t + k];
    }
    free(indices);
    indices = list;
    indexCapacity = indexCount = kept;
}

int FXMesh::FindOtherVertex(int i) {
    for (int v = 0; v < vertexCount; v++)
        if (v != i && vertices[v].mark != -1 && localSamePos(vertices[v], vertices[i])) return v;
    return -1;
}

void FXMesh::DiscardReducedVertices() {
    if (vertexCount <= 0) return;
    for (int v = 0; v < vertexCount; v++) vertices[v].mark = -1;
    for (int k = 0; k < indexCount; k++) vertices[indices[k]].mark = 0;
    int kept = 0;
    for (int v = 0; v < vertexCount; v++)
        if (vertices[v].mark != -1) kept++;
    tagFXVertex* list = static_cast<tagFXVertex*>(malloc(sizeof(tagFXVertex) * size_t(kept > 0 ? kept : 1)));
    if (!list) return;  // nothing changed yet: the mesh keeps its unreferenced vertices

    auto referenced = [&](int v) { return v >= 0 && v < vertexCount && vertices[v].mark != -1; };
    const int pairs = reducDependFrom.top < reducDependTo.top ? reducDependFrom.top : reducDependTo.top;
    // A removed vertex's dependency passes to a kept twin at the same position, if there is one.
    for (int k = 0; k < pairs; k++) {
        if (reducDependFrom.GetInt(k) == -1) continue;
        int to = reducDependTo.GetInt(k);
        if (referenced(to)) continue;
        int other = to >= 0 && to < vertexCount ? FindOtherVertex(to) : -1;
        if (other == -1) reducDependFrom.SetInt(k, -1);
        reducDependTo.SetInt(k, other);
    }
    int next = 0;
    for (int v = 0; v < vertexCount; v++)
        if (vertices[v].mark != -1) vertices[v].mark = next++;
    auto renumber = [&](int v) { return referenced(v) ? int(vertices[v].mark) : -1; };
    for (int k = 0; k < pairs; k++) {
        if (reducDependFrom.GetInt(k) == -1) continue;
        reducDependFrom.SetInt(k, renumber(reducDependFrom.GetInt(k)));
        reducDependTo.SetInt(k, renumber(reducDependTo.GetInt(k)));
    }
    for (int k = 0; k < indexCount; k++) indices[k] = vertices[indices[k]].mark;
    for (int v = 0; v < vertexCount; v++)
        if (vertices[v].mark != -1) list[vertices[v].mark] = vertices[v];
    free(vertices);
    vertices = list;
    vertexCapacity = vertexCount = kept;

    std::vector<bool> from(size_t(kept), false);
    for (int k = 0; k < pairs; k++) {
        int v = reducDependFrom.GetInt(k);
        if (v >= 0 && v < kept) from[size_t(v)] = true;
    }
    for (int v = 0; v < kept; v++) vertices[v].mark = from[size_t(v)] ? 1 : 0;
}

// ---- driver ----

void FXMesh::ReduceVertices(float tolerance) {
    if (indexCount <= 0) return;
    // Every search reads the positions of the vertices the corners name.
    if (!vertices || indexCount % 3 != 0 || !fxMeshIndicesValid(this)) {
        err(FX_ERR_DAMAGED, "ReduceVertices: mesh '%s' refused: its indices are not whole triangles of its vertices\n",
            materialName.c_str());
        return;
    }
    for (int v = 0; v < vertexCount; v++) vertices[v].mark = 0;
    reducDependFrom.RemoveAll();
    reducDependTo.RemoveAll();
    reduceTolerance = tolerance;
    trc("ReduceVertices (indices:%d vertices:%d)\n", indexCount, vertexCount);
    totalMin = 10.0f;
    const int indicesBefore = indexCount, verticesBefore = vertexCount;
    bool reduced = false;
    for (int t = 0; t + 2 < indexCount; t += 3) {
        const int32_t* tri = indices + t;
        if (!localLive(tri)) continue;
        const int t0 = tri[0], t1 = tri[1], t2 = tri[2];
        ComputeFormula(facePlane, t0, t1, t2);
        if (ReduceStage1(t0, t1, t2) || ReduceStage1(t1, t2, t0) || ReduceStage1(t2, t0, t1)) reduced = true;
    }
    if (reduced) {
        DiscardProceed();
        DiscardReducedVertices();
    }
    trc("reduced (indices:%d vertices:%d)\n", indicesBefore - indexCount, verticesBefore - vertexCount);
    trc("trc_totalmin: %g\n", totalMin);
}
