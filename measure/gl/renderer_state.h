// The renderer's globals the tool turns for a measurement (its rotation), put back when the
// measurement's scope ends, however it ends.
#pragma once

#include "render/gfx.h"

namespace measure {

class RotationGuard {
public:
    RotationGuard() : saved_(gRotZ) {}
    ~RotationGuard() { gRotZ = saved_; }
    RotationGuard(const RotationGuard&) = delete;
    RotationGuard& operator=(const RotationGuard&) = delete;

    // The rotation (degrees about z) the measurement started from.
    float saved() const { return saved_; }
    void turnTo(float degrees) { gRotZ = degrees; }

private:
    float saved_;
};

}  // namespace measure
