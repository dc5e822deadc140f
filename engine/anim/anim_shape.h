// FXAnimShape: what every copy of an interpolated frame animation has in common, decoded once and
// read-only afterwards: the frame names and durations, the playing flags, frame 0's meshes as the
// record gives them (material names, texture coordinates before any texture's padding, corners)
// and the position and normal keys of every vertex. Copies made from one shape (FXAnim::
// CreateFromShape) share its keys and keep their own interpolated model, key pair and clock, so
// the two copies of a clip animation, and the copies of every monitor's scene, hold the splines
// once.
//
// A shape binds nothing to a device: each copy looks its materials up by name through its own
// environment, as a loaded animation does, and scales its texture coordinates for them.
#pragma once

#include <memory>

#include "anim/anim_splines.h"
#include "base/arrays.h"
#include "base/strings.h"
#include "geometry/model.h"

class FXAnim;

class FXAnimShape {
public:
    FXAnimShape() = default;
    FXAnimShape(const FXAnimShape&) = delete;
    FXAnimShape& operator=(const FXAnimShape&) = delete;

    // The shape of a, which must be interpolated (UpdateInterpolation with splines) and still hold
    // its frame 0. False (and empty) otherwise, or without memory. a is left as it was: its
    // frames may be released afterwards; its splines' keys are now shared with the shape.
    bool Create(const FXAnim& a);
    void Destroy();
    bool IsEmpty() const { return !pos; }
    int GetFrameCount() const { return durations.top; }

private:
    friend class FXAnim;

    FXStrArray frameNames;
    FXArray durations;
    bool playing = true, backwards = false, loop = true, pingPong = false;
    bool linear = false;
    bool interpolateHint = false;
    float tension = 1.0f;
    // Frame 0: its name, library name and flip as loaded; loadedMeshes hold the meshes as the
    // record gave them (unscaled: scaled is false), or, for frames built in memory without that
    // group, the working meshes as they were (scaled true: copied as they are).
    FXModel first;
    bool scaled = false;
    std::unique_ptr<FXAnimSplines> pos, normal;  // keys only, no records
};
