// Builders shared by the geometry tests: meshes from position lists and hand-made record bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/binio.h"
#include "geometry/mesh.h"
#include "support/package_bytes.h"

// A vertex at position p with normal n and texture coordinate t; colour white, scratch zero.
inline tagFXVertex qmVertex(std::initializer_list<float> p, std::initializer_list<float> n = {0, 0, -1},
                            std::initializer_list<float> t = {0, 0}) {
    tagFXVertex v;
    memset(&v, 0, sizeof v);
    std::copy(p.begin(), p.end(), v.pos);
    std::copy(n.begin(), n.end(), v.normal);
    std::copy(t.begin(), t.end(), v.uv);
    for (float& c : v.color) c = 1.0f;
    return v;
}

inline void qmFillMesh(FXMesh* m, const std::vector<tagFXVertex>& v, const std::vector<int>& idx) {
    m->Realloc(int(v.size()), int(idx.size()));
    for (size_t i = 0; i < v.size(); i++) m->vertices[i] = v[i];
    for (size_t i = 0; i < idx.size(); i++) m->indices[i] = idx[i];
}

// The four-vertex quad used across the tests: positions, normals and uvs pairwise different,
// triangles (0, 1, 2) and (2, 1, 3).
inline void qmQuad(FXMesh* m, float z = 0.0f) {
    qmFillMesh(m,
               {qmVertex({-1, 1, z}, {0, 0, -1}, {0, 0}), qmVertex({1, 1, z}, {0, 0.6f, -0.8f}, {1, 0}),
                qmVertex({-1, -1, z}, {0.6f, 0, -0.8f}, {0, 1}), qmVertex({1, -1, z}, {0, -0.6f, -0.8f}, {1, 1})},
               {0, 1, 2, 2, 1, 3});
}

// A package holding the given entries (numbered from 0, engine records), as file bytes.
inline std::vector<unsigned char> qmPackageBytes(const std::vector<std::vector<unsigned char>>& entries) {
    std::vector<QmEntry> numbered;
    for (size_t i = 0; i < entries.size(); i++) numbered.push_back({int(i), -1, entries[i]});
    return qmPackageFile(numbered);
}
