// QmContent: what every scene of one saver process reads and none draws with: the package in
// memory (the movies' pictures are decoded from it in place, frame by frame) and the shapes of
// the animations (frame names and durations, frame 0, the spline keys of every vertex), each
// decoded once, by the first scene that asks. With one scene per monitor the content is then
// held once per process, not once per monitor. What belongs to a context stays with each scene:
// textures, materials and the meshes it draws.
//
// Built by the saver's owner before its first scene and destroyed after its last. Scenes are
// built one after another on the window thread, which is the only thread that loads or decodes
// here; the render threads only read package bytes and spline keys that no longer change.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "anim/anim_shape.h"
#include "base/package.h"

class QmContent {
public:
    QmContent() = default;
    QmContent(const QmContent&) = delete;
    QmContent& operator=(const QmContent&) = delete;

    // The package at path, read at the first call; later calls return the first call's status
    // (a scene of another monitor reports the same damage).
    const FXPackageStatus& LoadPackage(const std::string& path);
    FXPackage& Package() { return package_; }

    // The shape of animation entry as the scene plays it (no loop, no ping-pong; straight lines
    // between keys when linear), decoded at the first request; null when the entry is missing,
    // damaged or cannot be interpolated (the scene then loads its copies as they are).
    const FXAnimShape* AnimShape(int entry, bool linear);

private:
    FXPackage package_;
    bool packageLoaded_ = false;
    FXPackageStatus packageStatus_;
    // By entry and linear (entry * 2 + linear); a null shape remembers an entry that gave none.
    std::map<int, std::unique_ptr<FXAnimShape>> shapes_;
};
