// Eight-lane vectors for the mesh kernels, in the vector extensions GCC and clang share.
// Only additions, subtractions, multiplications and conversions between float and double
// are used, each rounded as IEEE 754 prescribes at every width, and the mesh sources are
// built with -ffp-contract=off, so the lanes give the same bits as one cell at a time.
//
// Everything here has internal linkage: each mesh source that includes it keeps its own
// copy, built for that source's instruction set, and no copy can stand in for another.
#pragma once

#include <cstdint>
#include <cstring>

#define MESH_INLINE __attribute__((always_inline)) inline

namespace {

typedef float Floats8 __attribute__((vector_size(32), aligned(4)));
typedef double Doubles8 __attribute__((vector_size(64), aligned(8)));
typedef int32_t Ints8 __attribute__((vector_size(32), aligned(4)));
constexpr int32_t kLanes = 8;

MESH_INLINE Floats8 loadFloats(const float* p) {
    Floats8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

MESH_INLINE Doubles8 loadDoubles(const double* p) {
    Doubles8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

MESH_INLINE void storeFloats(float* p, Floats8 v) { std::memcpy(p, &v, sizeof v); }

MESH_INLINE Floats8 splat(float f) { return Floats8{f, f, f, f, f, f, f, f}; }

}  // namespace
