// FXAnimSplines: the key block, the binding to a model's vertices, the per-pair record block and
// its evaluation. Every formula here mirrors FXBezierSpline and FXBezier3/FXBezier4 term by term,
// so both give the same floats.
#include "anim/anim_splines.h"

#include <cstdint>
#include <new>

#include "anim/bezier.h"
#include "anim/bezierspline.h"
#include "geometry/mesh.h"
#include "geometry/model.h"

namespace {

struct localCubic {
    float* out;
    float coef[9];  // per axis a, b, c of a t^3 + b t^2 + c t + p0
    float p0[3];
};
struct localQuad {
    float* out;
    float p[9];  // P0, P1, P2
};
struct localLine {
    float* out;
    float from[3];
    float delta[3];
};
struct localStill {
    float* out;
    float p[3];
};

const size_t kLargestRecord = sizeof(localCubic);
static_assert(sizeof(localQuad) <= kLargestRecord && sizeof(localLine) <= kLargestRecord &&
                  sizeof(localStill) <= kLargestRecord,
              "the block holds one record of any kind per vertex");

void localCopy3(float* dst, const float* src) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
}

}  // namespace

bool FXAnimSplines::Create(int vertices, int keysPerVertex, float splineTension) {
    Destroy();
    if (vertices <= 0 || keysPerVertex <= 0) return false;
    // The sizes are formed in double first: on a 32-bit build the products could wrap.
    const double bytes = double(vertices) * keysPerVertex * 3 * sizeof(float) + double(vertices) * kLargestRecord;
    if (bytes > double(SIZE_MAX / 2)) return false;
    const size_t floats = size_t(vertices) * size_t(keysPerVertex) * 3;
    keys.reset(new (std::nothrow) float[floats]());
    block.reset(new (std::nothrow) unsigned char[size_t(vertices) * kLargestRecord]);
    if (!keys || !block) {
        Destroy();
        return false;
    }
    vertexCount = vertices;
    keyCount = keysPerVertex;
    tension = splineTension;
    return true;
}

bool FXAnimSplines::CreateSharing(const FXAnimSplines& other, bool records) {
    if (&other == this) return keys != nullptr;
    Destroy();
    if (!other.keys) return false;
    if (records) {
        block.reset(new (std::nothrow) unsigned char[size_t(other.vertexCount) * kLargestRecord]);
        if (!block) return false;
    }
    keys = other.keys;
    vertexCount = other.vertexCount;
    keyCount = other.keyCount;
    tension = other.tension;
    return true;
}

void FXAnimSplines::Destroy() {
    keys.reset();
    block.reset();
    vertexCount = keyCount = 0;
    movingKind = kNone;
    movingCount = stillCount = 0;
    stillOffset = 0;
    choice = Choice();
    targets.clear();
    targets.shrink_to_fit();
    bound.clear();
}

// ---- targets ----

bool FXAnimSplines::Bind(FXModel* model, Field f) {
    targets.clear();
    bound.clear();
    movingCount = stillCount = 0;
    field = f;
    if (!model || vertexCount <= 0 || model->GetTotalVertices() != vertexCount) return false;
    const size_t offset = f == kPos ? offsetof(tagFXVertex, pos) : offsetof(tagFXVertex, normal);
    targets.reserve(size_t(vertexCount));
    for (int i = 0; i < model->meshes.Count(); i++) {
        FXMesh* m = model->EnumMeshes(i);
        const int n = m ? m->vertexCount : 0;
        bound.emplace_back(m ? m->vertices : nullptr, n);
        for (int l = 0; l < n; l++)
            targets.push_back(reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(&m->vertices[l]) + offset));
    }
    if (choice.valid) Choose(choice);
    return true;
}

bool FXAnimSplines::IsBound(const FXModel* model) const {
    if (!model || targets.empty() || int(bound.size()) != model->meshes.Count()) return false;
    for (int i = 0; i < model->meshes.Count(); i++) {
        const FXMesh* m = model->EnumMeshes(i);
        if (bound[size_t(i)].first != (m ? m->vertices : nullptr) ||
            bound[size_t(i)].second != (m ? m->vertexCount : 0))
            return false;
    }
    return true;
}

// ---- choosing the pair ----

void FXAnimSplines::SetActPoints(int from, int to, bool closed, bool linear) {
    const int n = keyCount;
    if (n > 2) {
        if (from == -1) from = n - 1;
        if (to == -1) to = n - 1;
        if (from < 0 || from >= n || to < 0 || to >= n) return;
    }
    Choice c;
    c.from = from;
    c.to = to;
    c.closed = closed;
    c.linear = linear;
    c.valid = true;
    Choose(c);
}

// The segment kind of the pair, and the keys a and b whose coincidence makes a vertex still
// (returning key a); seg is the cubic segment's first key.
FXAnimSplines::Kind FXAnimSplines::KindOf(const Choice& c, int* a, int* b, int* seg) const {
    const int n = keyCount;
    *seg = c.from;
    if (n <= 1) {  // one key: that key for every t
        *a = *b = 0;
        return kNone;
    }
    if (n == 2) {  // the straight line from key 0 to key 1, whatever the pair
        *a = 0;
        *b = 1;
        return kLine;
    }
    if (c.linear) {
        *a = c.from;
        *b = c.to;
        return kLine;
    }
    if (!c.closed && c.from == 0) {
        *a = 0;
        *b = 1;
        return kQuadFirst;
    }
    if (!c.closed && c.to == n - 1) {
        *a = n - 2;
        *b = n - 1;
        return kQuadLast;
    }
    *a = c.from;
    *b = c.from + 1 < n ? c.from + 1 : 0;
    return kCubic;
}

void FXAnimSplines::FillMoving(Kind kind, const float* k, int seg, int a, int b, float* out, int index) {
    const int n = keyCount;
    auto key = [k](int i) { return k + 3 * i; };
    auto wrap = [n](int i) { return i < 0 ? i + n : (i >= n ? i - n : i); };
    float in[3], outCtrl[3];
    switch (kind) {
        case kLine: {
            localLine* r = reinterpret_cast<localLine*>(block.get()) + index;
            r->out = out;
            for (int x = 0; x < 3; x++) {
                r->from[x] = key(a)[x];
                r->delta[x] = key(b)[x] - key(a)[x];
            }
            break;
        }
        case kQuadFirst:
        case kQuadLast: {
            localQuad* r = reinterpret_cast<localQuad*>(block.get()) + index;
            r->out = out;
            if (kind == kQuadFirst) {  // key 0, in-control of key 1, key 1
                fxBezierCtrlPoints(key(0), key(1), key(2), tension, in, outCtrl);
                localCopy3(r->p, key(0));
                localCopy3(r->p + 3, in);
                localCopy3(r->p + 6, key(1));
            } else {  // key n - 2, its out-control, key n - 1
                fxBezierCtrlPoints(key(n - 3), key(n - 2), key(n - 1), tension, in, outCtrl);
                localCopy3(r->p, key(n - 2));
                localCopy3(r->p + 3, outCtrl);
                localCopy3(r->p + 6, key(n - 1));
            }
            break;
        }
        case kCubic: {
            const int s1 = wrap(seg + 1);
            float unused[3], p1[3], p2[3];
            fxBezierCtrlPoints(key(wrap(seg - 1)), key(seg), key(s1), tension, unused, p1);
            fxBezierCtrlPoints(key(seg), key(s1), key(wrap(s1 + 1)), tension, p2, unused);
            FXBezier4 q;
            q.Set(key(seg), p1, p2, key(s1));
            localCubic* r = reinterpret_cast<localCubic*>(block.get()) + index;
            r->out = out;
            for (int x = 0; x < 9; x++) r->coef[x] = q.coef[x];
            localCopy3(r->p0, q.P0);
            break;
        }
        case kNone:
            break;
    }
}

void FXAnimSplines::Choose(const Choice& c) {
    choice = c;
    movingCount = stillCount = 0;
    movingKind = kNone;
    if (!keys || !block || int(targets.size()) != vertexCount) return;
    int a, b, seg;
    const Kind kind = KindOf(c, &a, &b, &seg);
    auto still = [&](const float* k) { return kind == kNone || fxBezierSamePoint(k + 3 * a, k + 3 * b); };
    int moving = 0;
    for (int v = 0; v < vertexCount; v++)
        if (!still(Keys(v))) moving++;
    size_t recordSize = kind == kCubic ? sizeof(localCubic) : kind == kLine ? sizeof(localLine) : sizeof(localQuad);
    stillOffset = size_t(moving) * recordSize;
    localStill* stillRecords = reinterpret_cast<localStill*>(block.get() + stillOffset);
    for (int v = 0; v < vertexCount; v++) {
        const float* k = Keys(v);
        float* out = targets[size_t(v)];
        if (still(k)) {
            localStill* r = stillRecords + stillCount++;
            r->out = out;
            localCopy3(r->p, k + 3 * a);
        } else {
            FillMoving(kind, k, seg, a, b, out, movingCount++);
        }
    }
    movingKind = kind;
}

// ---- evaluation ----

void FXAnimSplines::Evaluate(const FXBezierPhaseH* h) const {
    const unsigned char* base = block.get();
    switch (movingKind) {
        case kCubic: {
            const float t = h->t, t2 = h->t2, t3 = h->t3;
            const localCubic* r = reinterpret_cast<const localCubic*>(base);
            for (int i = 0; i < movingCount; i++, r++) {
                const float* c = r->coef;
                const float x = c[0] * t3 + c[1] * t2 + c[2] * t + r->p0[0];
                const float y = c[3] * t3 + c[4] * t2 + c[5] * t + r->p0[1];
                const float z = c[6] * t3 + c[7] * t2 + c[8] * t + r->p0[2];
                float* o = r->out;
                o[0] = x;
                o[1] = y;
                o[2] = z;
            }
            break;
        }
        case kQuadFirst:
        case kQuadLast: {
            const float it2 = h->it2, tit = h->tit, t2 = h->t2;
            const localQuad* r = reinterpret_cast<const localQuad*>(base);
            for (int i = 0; i < movingCount; i++, r++) {
                const float* p = r->p;
                const float x = p[0] * it2 + p[3] * tit + p[6] * t2;
                const float y = p[1] * it2 + p[4] * tit + p[7] * t2;
                const float z = p[2] * it2 + p[5] * tit + p[8] * t2;
                float* o = r->out;
                o[0] = x;
                o[1] = y;
                o[2] = z;
            }
            break;
        }
        case kLine: {
            const float t = h->t;
            const localLine* r = reinterpret_cast<const localLine*>(base);
            for (int i = 0; i < movingCount; i++, r++) {
                const float x = r->from[0] + t * r->delta[0];
                const float y = r->from[1] + t * r->delta[1];
                const float z = r->from[2] + t * r->delta[2];
                float* o = r->out;
                o[0] = x;
                o[1] = y;
                o[2] = z;
            }
            break;
        }
        case kNone:
            break;
    }
    const localStill* r = reinterpret_cast<const localStill*>(base + stillOffset);
    for (int i = 0; i < stillCount; i++, r++) localCopy3(r->out, r->p);
}
