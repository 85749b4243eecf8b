// The inner pass of the vertex normals, written once over an arithmetic policy: the
// portable one (mesh.cpp) and the AVX-512 one (normals_avx512.cpp) differ only in how a
// lane of floats is widened and how one cross-product component is formed, to the same
// bits. Internal to those two sources; see lanes.h for why everything is internal.
#pragma once

#include "mesh/lanes.h"
#include "mesh/mesh.h"

// The inner pass built for AVX-512, where the build has it (QUILL_MESH_AVX512); reached
// through meshInnerNormalsAvx512(), which checks the processor first.
void meshInnerNormalsAvx512Kernel(const GridMesh& from, GridMesh& to, int32_t lastRow);

namespace {

// One row of positions, a component per array.
struct RowComponents {
    float x[kMeshColumnSlots];
    float y[kMeshColumnSlots];
    float z[kMeshColumnSlots];
};

constexpr int32_t kWholeBlocks = kMeshColumnSlots / kLanes;  // six blocks of eight vertices, then 48..50

// Eight vertices, 24 floats in x, y, z order, as three lanes and back.
MESH_INLINE void deinterleave(Floats8 a, Floats8 b, Floats8 c, Floats8& x, Floats8& y, Floats8& z) {
    x = __builtin_shufflevector(__builtin_shufflevector(a, b, 0, 3, 6, 9, 12, 15, 0, 0), c, 0, 1, 2, 3, 4, 5, 10, 13);
    y = __builtin_shufflevector(__builtin_shufflevector(a, b, 1, 4, 7, 10, 13, 0, 0, 0), c, 0, 1, 2, 3, 4, 8, 11, 14);
    z = __builtin_shufflevector(__builtin_shufflevector(a, b, 2, 5, 8, 11, 14, 0, 0, 0), c, 0, 1, 2, 3, 4, 9, 12, 15);
}

MESH_INLINE void interleave(Floats8 x, Floats8 y, Floats8 z, Floats8& a, Floats8& b, Floats8& c) {
    a = __builtin_shufflevector(__builtin_shufflevector(x, y, 0, 8, 0, 1, 9, 0, 2, 10), z, 0, 1, 8, 3, 4, 9, 6, 7);
    b = __builtin_shufflevector(__builtin_shufflevector(x, y, 0, 3, 11, 0, 4, 12, 0, 5), z, 10, 1, 2, 11, 4, 5, 12, 7);
    c = __builtin_shufflevector(__builtin_shufflevector(x, y, 13, 0, 6, 14, 0, 7, 15, 0), z, 0, 13, 2, 3, 14, 5, 6, 15);
}

// Splits one row of positions into its components and copies it to `copy` on the way.
MESH_INLINE void splitRow(const Vec3f* row, Vec3f* copy, RowComponents& out) {
    const float* from = &row[0].x;
    float* to = &copy[0].x;
    for (int32_t block = 0; block < kWholeBlocks; ++block) {
        const int32_t f = 3 * kLanes * block;
        const Floats8 a = loadFloats(from + f), b = loadFloats(from + f + kLanes),
                      c = loadFloats(from + f + 2 * kLanes);
        storeFloats(to + f, a);
        storeFloats(to + f + kLanes, b);
        storeFloats(to + f + 2 * kLanes, c);
        Floats8 x, y, z;
        deinterleave(a, b, c, x, y, z);
        storeFloats(&out.x[kLanes * block], x);
        storeFloats(&out.y[kLanes * block], y);
        storeFloats(&out.z[kLanes * block], z);
    }
    for (int32_t j = kLanes * kWholeBlocks; j < kMeshColumnSlots; ++j) {
        copy[j] = row[j];
        out.x[j] = row[j].x;
        out.y[j] = row[j].y;
        out.z[j] = row[j].z;
    }
}

// The edge from the cells at column j onwards to their neighbours in another row or at
// another column, in single precision, then widened.
template <class Arithmetic>
MESH_INLINE Doubles8 edge(const float* neighbour, const float* centre) {
    return Arithmetic::widen(loadFloats(neighbour) - loadFloats(centre));
}

// The normals of the eight cells of row `cur` from column j on, from its rows before and
// after: c1 = vecCross(e1, e2), c2 = vecCross(e2, e3), c3 = vecCross(e3, e4) and
// c4 = vecCross(e4, e1), summed in this order in single precision, times 0.25.
template <class Arithmetic>
MESH_INLINE void cellNormals(const RowComponents& prev, const RowComponents& cur, const RowComponents& next, int32_t j,
                             Floats8& x, Floats8& y, Floats8& z) {
    const Doubles8 e1x = edge<Arithmetic>(&prev.x[j], &cur.x[j]);
    const Doubles8 e1y = edge<Arithmetic>(&prev.y[j], &cur.y[j]);
    const Doubles8 e1z = edge<Arithmetic>(&prev.z[j], &cur.z[j]);
    const Doubles8 e2x = edge<Arithmetic>(&cur.x[j - 1], &cur.x[j]);
    const Doubles8 e2y = edge<Arithmetic>(&cur.y[j - 1], &cur.y[j]);
    const Doubles8 e2z = edge<Arithmetic>(&cur.z[j - 1], &cur.z[j]);
    const Doubles8 e3x = edge<Arithmetic>(&next.x[j], &cur.x[j]);
    const Doubles8 e3y = edge<Arithmetic>(&next.y[j], &cur.y[j]);
    const Doubles8 e3z = edge<Arithmetic>(&next.z[j], &cur.z[j]);
    const Doubles8 e4x = edge<Arithmetic>(&cur.x[j + 1], &cur.x[j]);
    const Doubles8 e4y = edge<Arithmetic>(&cur.y[j + 1], &cur.y[j]);
    const Doubles8 e4z = edge<Arithmetic>(&cur.z[j + 1], &cur.z[j]);
    const auto cross = Arithmetic::crossComponent;
    x = (cross(e1y, e1z, e2y, e2z) + cross(e2y, e2z, e3y, e3z) + cross(e3y, e3z, e4y, e4z) +
         cross(e4y, e4z, e1y, e1z)) *
        0.25f;
    y = (cross(e1z, e1x, e2z, e2x) + cross(e2z, e2x, e3z, e3x) + cross(e3z, e3x, e4z, e4x) +
         cross(e4z, e4x, e1z, e1x)) *
        0.25f;
    z = (cross(e1x, e1y, e2x, e2y) + cross(e2x, e2y, e3x, e3y) + cross(e3x, e3y, e4x, e4y) +
         cross(e4x, e4y, e1x, e1y)) *
        0.25f;
}

// The normals of row `cur` for columns 1..49 into `out`; columns 0 and 50 are left alone.
template <class Arithmetic>
MESH_INLINE void rowNormals(const RowComponents& prev, const RowComponents& cur, const RowComponents& next,
                            Vec3f* out) {
    Floats8 x, y, z, a, b, c;
    for (int32_t j = 1; j < 1 + kWholeBlocks * kLanes; j += kLanes) {
        cellNormals<Arithmetic>(prev, cur, next, j, x, y, z);
        interleave(x, y, z, a, b, c);
        float* to = &out[j].x;
        storeFloats(to, a);
        storeFloats(to + kLanes, b);
        storeFloats(to + 2 * kLanes, c);
    }
    cellNormals<Arithmetic>(prev, cur, next, kMeshLastColumn - kLanes, x, y, z);  // columns 42..49
    out[49] = Vec3f{x[kLanes - 1], y[kLanes - 1], z[kLanes - 1]};
}

// `to` becomes `from` with the inner pass done: the normals of rows 1..lastRow, columns
// 1..49, from the positions alone (1 <= lastRow <= 150). The next row of the last row
// wraps to row 0. Each row of positions is split into components an iteration before it
// is first read (as the next row), so that its stores are out of the way by then.
template <class Arithmetic>
MESH_INLINE void copyWithInnerNormals(const GridMesh& from, GridMesh& to, int32_t lastRow) {
    RowComponents first;    // row 0
    RowComponents ring[4];  // row k >= 1 in ring[k % 4]
    splitRow(from.vertices[0], to.vertices[0], first);
    std::memcpy(to.normals[0], from.normals[0], sizeof to.normals[0]);
    splitRow(from.vertices[1], to.vertices[1], ring[1]);
    if (lastRow >= 2) {
        splitRow(from.vertices[2], to.vertices[2], ring[2]);
    }
    for (int32_t i = 1; i <= lastRow; ++i) {
        if (i + 2 <= lastRow) {
            splitRow(from.vertices[i + 2], to.vertices[i + 2], ring[(i + 2) % 4]);
        }
        const RowComponents& prev = i == 1 ? first : ring[(i - 1) % 4];
        const RowComponents& next = i == lastRow ? first : ring[(i + 1) % 4];
        rowNormals<Arithmetic>(prev, ring[i % 4], next, to.normals[i]);
        to.normals[i][0] = from.normals[i][0];
        to.normals[i][kMeshLastColumn] = from.normals[i][kMeshLastColumn];
    }
    const int32_t restRows = kMeshRowSlots - 1 - lastRow;
    std::memcpy(to.vertices[lastRow + 1], from.vertices[lastRow + 1], sizeof to.vertices[0] * restRows);
    std::memcpy(to.normals[lastRow + 1], from.normals[lastRow + 1], sizeof to.normals[0] * restRows);
}

}  // namespace
