#include "mesh/vec.h"

// The products of two floats are exact in double precision; the sum is rounded to double
// and then once more to single precision when the component is stored.
Vec3f vecCross(Vec3f a, Vec3f b) {
    Vec3f r;
    r.x = static_cast<float>(static_cast<double>(-a.y) * b.z + static_cast<double>(a.z) * b.y);
    r.y = static_cast<float>(static_cast<double>(-a.z) * b.x + static_cast<double>(a.x) * b.z);
    r.z = static_cast<float>(static_cast<double>(-a.x) * b.y + static_cast<double>(a.y) * b.x);
    return r;
}

Vec3f vecSub(Vec3f a, Vec3f b) { return Vec3f{a.x - b.x, a.y - b.y, a.z - b.z}; }

Vec3f vecDelta(Vec3f a, Vec3f b) { return Vec3f{b.x - a.x, b.y - a.y, b.z - a.z}; }

int32_t wrapIndex(int32_t a, int32_t max) {
    if (a < 0) {
        return max;
    }
    if (a > max) {
        return 0;
    }
    return a;
}
