// Forced into mesh/mesh.cpp in the fuzz build only. The mesh kernels are written for GCC,
// whose one-vector __builtin_shuffle clang lacks; this is the same operation element by
// element (each index taken modulo the lane count, as GCC does).
#pragma once

template <typename Vector, typename Indices>
inline Vector quillShuffle(Vector v, Indices indices) {
    constexpr int kLanes = sizeof(Vector) / sizeof(v[0]);
    Vector r = v;
    for (int i = 0; i < kLanes; ++i) r[i] = v[indices[i] & (kLanes - 1)];
    return r;
}
#define __builtin_shuffle(v, indices) quillShuffle(v, indices)
