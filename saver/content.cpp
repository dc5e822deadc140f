// QmContent: the package read once and the animations' shapes decoded once per process, for every
// scene of the run.
#include "saver/content.h"

#include "anim/anim.h"

const FXPackageStatus& QmContent::LoadPackage(const std::string& path) {
    if (!packageLoaded_) {
        packageLoaded_ = true;
        packageStatus_ = package_.Load(path.c_str());
    }
    return packageStatus_;
}

const FXAnimShape* QmContent::AnimShape(int entry, bool linear) {
    const int key = entry * 2 + (linear ? 1 : 0);
    auto found = shapes_.find(key);
    if (found != shapes_.end()) return found->second.get();
    // Decoded without an environment: a shape holds no material, each copy binds its own.
    FXAnim decoded;
    std::unique_ptr<FXAnimShape> shape;
    if (decoded.LoadCN(nullptr, &package_, entry)) {
        decoded.loop = false;
        decoded.pingPong = false;
        decoded.linear = linear;
        decoded.UpdateInterpolation(true, linear);
        shape.reset(new FXAnimShape);
        if (!shape->Create(decoded)) shape.reset();
    }
    return (shapes_[key] = std::move(shape)).get();
}
