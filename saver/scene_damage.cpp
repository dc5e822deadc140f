// The changed part of a frame, mesh by mesh (scene_damage.h).
#include "saver/scene_damage.h"

#include <cstring>

#include "geometry/mesh.h"
#include "image/light.h"
#include "image/material.h"

namespace {

// Position, normal, texture coordinates and colour lead each vertex record: what drawing reads.
const size_t kDrawnBytes = offsetof(tagFXVertex, color) + sizeof(tagFXVertex::color);
const size_t kDrawnFloats = kDrawnBytes / sizeof(float);

void localColours(const FXMaterial* m, float* out) {
    if (!m) {
        memset(out, 0, 17 * sizeof(float));
        return;
    }
    memcpy(out, m->ambient, 4 * sizeof(float));
    memcpy(out + 4, m->diffuse, 4 * sizeof(float));
    memcpy(out + 8, m->specular, 4 * sizeof(float));
    memcpy(out + 12, m->emission, 4 * sizeof(float));
    out[16] = m->shininess;
}

}  // namespace

void QmDamage::Reserve(const FXMesh* mesh, int minVertices) {
    if (!mesh || Find(mesh)) return;
    const int n = mesh->vertexCount > minVertices ? mesh->vertexCount : minVertices;
    items_.emplace_back();
    items_.back().mesh = mesh;
    items_.back().vertices.resize(size_t(n > 0 ? n : 0) * kDrawnFloats);
}

void QmDamage::Clear() { items_.clear(); }

QmDamage::Item* QmDamage::Find(const FXMesh* mesh) {
    for (Item& i : items_)
        if (i.mesh == mesh) return &i;
    return nullptr;
}

void QmDamage::Begin(int width, int height, const float* projection) {
    width_ = width;
    height_ = height;
    projection_ = projection;
    damage_.Clear();
    for (Item& i : items_) i.drawnNow = false;
}

bool QmDamage::Changed(Item* item, const FXMesh* mesh, const FXMatrix& modelView, uint64_t key) {
    bool changed = !item->drawnBefore || item->key != key || item->vertexCount != mesh->vertexCount ||
                   !item->modelView.Compare(&modelView) || item->material != mesh->material ||
                   (mesh->material && item->texture != mesh->material->textureName);
    float colours[17];
    localColours(mesh->material, colours);
    changed = changed || memcmp(colours, item->colours, sizeof colours) != 0;
    const size_t n = size_t(mesh->vertexCount);
    if (item->vertices.size() < n * kDrawnFloats) return true;  // no room: never remembered
    float* kept = item->vertices.data();
    for (size_t v = 0; v < n; v++) {
        const void* now = &mesh->vertices[v];
        if (!changed && memcmp(kept + v * kDrawnFloats, now, kDrawnBytes) == 0) continue;
        changed = true;
        memcpy(kept + v * kDrawnFloats, now, kDrawnBytes);
    }
    if (!changed) return false;
    item->key = key;
    item->vertexCount = mesh->vertexCount;
    item->modelView = modelView;
    item->material = mesh->material;
    item->texture = mesh->material ? mesh->material->textureName : 0;
    memcpy(item->colours, colours, sizeof colours);
    return true;
}

void QmDamage::Note(const FXMesh* mesh, const FXMatrix& modelView, uint64_t key) {
    if (!mesh || mesh->vertexCount <= 0 || mesh->indexCount <= 0) return;  // draws nothing
    Item* item = Find(mesh);
    if (!item) {
        damage_.Add(FXScreenRect::Whole());
        return;
    }
    item->drawnNow = true;
    const bool before = item->drawnBefore;
    if (!Changed(item, mesh, modelView, key)) return;
    if (before) damage_.Add(item->rect);
    item->rect = fxProjectBounds(modelView, projection_, mesh->vertices[0].pos, mesh->vertexCount,
                                 int(sizeof(tagFXVertex) / sizeof(float)), width_, height_);
    damage_.Add(item->rect);
}

void QmDamage::NoteLights(const FXLight* const* lights, int count) {
    for (int i = 0; i < kLights; i++) {
        float now[kLightFloats] = {};
        const FXLight* l = i < count ? lights[i] : nullptr;
        if (l && !l->off) {
            memcpy(now, l->position, 4 * sizeof(float));
            memcpy(now + 4, l->spotDirection, 4 * sizeof(float));
            memcpy(now + 8, l->ambient, 4 * sizeof(float));
            memcpy(now + 12, l->diffuse, 4 * sizeof(float));
            memcpy(now + 16, l->specular, 4 * sizeof(float));
            now[20] = l->spotExponent, now[21] = l->spotCutoff, now[22] = l->constantAttenuation;
            now[23] = l->linearAttenuation, now[24] = l->quadraticAttenuation;
        }
        if (memcmp(now, lights_[i], sizeof now) == 0) continue;
        memcpy(lights_[i], now, sizeof now);
        damage_.Add(FXScreenRect::Whole());
    }
}

const FXScreenRects& QmDamage::End() {
    for (Item& i : items_) {
        if (i.drawnBefore && !i.drawnNow) damage_.Add(i.rect);
        i.drawnBefore = i.drawnNow;
    }
    return damage_;
}

void QmDamage::Forget() {
    for (Item& i : items_) i.drawnBefore = false;
}
