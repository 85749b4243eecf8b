// Vector helpers of the surface mesh: the shared 3-vector and the grid index rule.
#pragma once

#include <cstdint>

// Three single-precision components, in this order. Passed and returned by value.
struct Vec3f {
    float x;
    float y;
    float z;
};

// b x a, the negative of the usual a x b: vecCross({1,0,0}, {0,1,0}) is (0, 0, -1).
// Each component is (-a.y)*b.z + a.z*b.y (and its rotations) with the products and the
// sum in double precision, rounded once to single precision.
Vec3f vecCross(Vec3f a, Vec3f b);

// a - b, component by component, in single precision.
Vec3f vecSub(Vec3f a, Vec3f b);

// b - a, component by component, in single precision.
Vec3f vecDelta(Vec3f a, Vec3f b);

// max if a < 0 (tested first), 0 if a > max, a otherwise. Not modular: any index before
// the start goes to the last index and any index past the end goes to 0.
int32_t wrapIndex(int32_t a, int32_t max);
