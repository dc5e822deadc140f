// qmcontent, the generator of the demo package's sources: the small vector type, the seeded
// random numbers and the model structures that every part of the generator shares, and the
// writers of Wavefront OBJ and MTL files that the package tools import.
//
// Everything the generator writes is a pure function of the code: random numbers come from
// fixed seeds through QMCRandom (never from the C library), so two runs write identical files.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct QMCVec3 {
    double x = 0, y = 0, z = 0;
    QMCVec3() = default;
    QMCVec3(double ax, double ay, double az) : x(ax), y(ay), z(az) {}
    QMCVec3 operator+(const QMCVec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    QMCVec3 operator-(const QMCVec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    QMCVec3 operator*(double k) const { return {x * k, y * k, z * k}; }
    double Dot(const QMCVec3& o) const { return x * o.x + y * o.y + z * o.z; }
    QMCVec3 Cross(const QMCVec3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    double Length() const { return std::sqrt(Dot(*this)); }
    QMCVec3 Normalized() const {
        double l = Length();
        return l > 0 ? *this * (1.0 / l) : QMCVec3(0, 0, -1);
    }
};

// A small, portable generator (SplitMix64): the same seed gives the same numbers everywhere.
class QMCRandom {
public:
    explicit QMCRandom(uint64_t seed) : state(seed) {}
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    int Int(int n) { return int(Uniform() * n); }

private:
    uint64_t state;
};

// Smooth steps used by every motion: value and first derivative zero at both ends.
inline double qmcSmooth(double t) {
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return t * t * (3 - 2 * t);
}
inline double qmcSmoother(double t) {
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return t * t * t * (t * (t * 6 - 15) + 10);
}
inline double qmcLerp(double a, double b, double t) { return a + (b - a) * t; }

constexpr double kQmcPi = 3.14159265358979323846;
// The screen shape the content is drawn for (16:9); other shapes stretch it a little.
constexpr double kQmcAspect = 16.0 / 9.0;

// ---- models as the generator writes them ----
// Positions, normals and texture coordinates in the engine's scene convention: +x right, +y up,
// larger z further away, normal (0, 0, -1) facing the viewer, texture (0, 0) at the picture's
// top-left with v growing downwards. The OBJ writer converts to the file's axes.
struct QMCVertex {
    QMCVec3 pos;
    QMCVec3 normal;
    double u = 0, v = 0;
};

// One mesh per material. Triangles are counter-clockwise as seen from their front side.
struct QMCMeshPart {
    std::string material;
    std::vector<QMCVertex> vertices;
    std::vector<int> indices;  // three per triangle
};

struct QMCModel {
    std::string mtlFile;  // the material library's file name, beside the model
    std::vector<QMCMeshPart> parts;
};

struct QMCMaterial {
    std::string name;
    double ka[3] = {1, 1, 1};
    double kd[3] = {1, 1, 1};
    double ks[3] = {0, 0, 0};
    double ns = 0;
    double d = 1;
    std::string map;  // picture file beside the library, or empty
};

// Writes the model as OBJ text: every vertex gets its own position, texture and normal line and
// every face corner names the triple i/i/i, so two models with the same parts, vertex counts and
// indices import to the same mesh structure whatever the positions. z of positions and normals is
// written negated (the importer negates it back). Returns false with *err set on failure.
bool qmcWriteObj(const std::string& path, const QMCModel& model, std::string* err);
bool qmcWriteMtl(const std::string& path, const std::vector<QMCMaterial>& materials, std::string* err);

// Writes text to a file; false with *err set on failure.
bool qmcWriteText(const std::string& path, const std::string& text, std::string* err);
// Creates a folder and its parents; false with *err set on failure.
bool qmcMakeDirs(const std::string& path, std::string* err);
