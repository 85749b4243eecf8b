#include "mesh/mesh.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "mesh/inner_normals.h"
#include "mesh/normals_kernel.h"

GridMesh gMesh;
float gWavePhase;

namespace {

// Where the build can pick a function's version at load time (x86-64 ELF targets; the
// build files say so with QUILL_MESH_TARGET_CLONES), the kernels are also built for
// AVX2 and AVX-512 and the widest one the processor has runs. Elsewhere the baseline does.
#ifdef QUILL_MESH_TARGET_CLONES
#define MESH_KERNEL __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define MESH_KERNEL
#endif

// ---------------------------------------------------------------------------------------
// Flat grid

// Rows 0..n of a flat grid, each row as its 153 floats: x = coordinate[i], y = 0 and
// z = coordinate[j] for columns 0..n, zero past them. The z values and the places of x
// are laid out once; each row puts its own x into those places.
MESH_KERNEL void fillFlatRows(Vec3f (*vertices)[kMeshColumnSlots], int32_t n, const float* coordinate) {
    constexpr int32_t kRowFloats = 3 * kMeshColumnSlots;
    constexpr int32_t kWholeLanes = kRowFloats / kLanes * kLanes;  // 152, and one float more
    float zOrZero[kRowFloats] = {};
    int32_t isX[kRowFloats] = {};
    for (int32_t j = 0; j <= n; ++j) {
        isX[3 * j] = 1;
        zOrZero[3 * j + 2] = coordinate[j];
    }
    for (int32_t i = 0; i <= n; ++i) {
        char* row = reinterpret_cast<char*>(vertices[i]);
        for (int32_t k = 0; k < kWholeLanes; k += kLanes) {
            Ints8 xPlace;
            std::memcpy(&xPlace, &isX[k], sizeof xPlace);
            const Floats8 v = xPlace != 0 ? splat(coordinate[i]) : loadFloats(&zOrZero[k]);
            std::memcpy(row + k * sizeof(float), &v, sizeof v);
        }
        vertices[i][kMeshLastColumn].z = zOrZero[kWholeLanes];
    }
}

// ---------------------------------------------------------------------------------------
// Wave deformation

constexpr float kPi = 3.1415927f;
constexpr int32_t kWaveCount = 3;
constexpr float kWaveFrequency[kWaveCount] = {2.0f, 3.0f, 4.0f};
constexpr float kWaveAmplitude[kWaveCount] = {1.0f, 0.75f, 0.55f};
constexpr int32_t kLiftedColumns = 50;      // columns 0..49; column 50 is never lifted
constexpr int32_t kLiftedColumnLanes = 56;  // rounded up to whole lanes; the rest is zero

// The wave terms a_k * cos(f_k * v + T) of every column and a_k * cos(f_k * u + T) of
// every row at one phase T, with the three weights: worked out at the start of each call.
struct WaveTerms {
    float weight[kWaveCount];
    double column[kWaveCount][kLiftedColumnLanes];
    double row[kWaveCount][kMeshRowSlots];
};

// The argument f_k * position + T is formed in single precision and handed to the
// double-precision cosine.
double waveTerm(int32_t k, float position, float phase) {
    const float argument = kWaveFrequency[k] * position + phase;
    return kWaveAmplitude[k] * std::cos(static_cast<double>(argument));
}

// Fills the terms of columns 0..49 and rows 0..lastRow + 1. A row whose u equals some
// column's v (every row but the last two when lastRow is 50) takes that column's terms,
// which are the same cosines of the same arguments.
void prepareWaveTerms(WaveTerms& t, float phase, int32_t lastRow) {
    // Each weight is rounded to single precision and kept as a float: GCC 12's vectoriser
    // has been seen to drop the rounding when the result goes straight into a double.
    t.weight[0] = static_cast<float>((std::sin(phase * 1.0f + 0.01) + 1) * 0.5);
    t.weight[1] = static_cast<float>((std::cos(phase * 1.1) + 1) * 0.5);
    t.weight[2] = static_cast<float>((std::sin(phase * 1.3 + 1.5707963705062866) + 1) * 0.5);
    float v[kLiftedColumns];
    for (int32_t j = 0; j < kLiftedColumns; ++j) {
        v[j] = j * kPi / 50.0f;
        for (int32_t k = 0; k < kWaveCount; ++k) {
            t.column[k][j] = waveTerm(k, v[j], phase);
        }
    }
    for (int32_t j = kLiftedColumns; j < kLiftedColumnLanes; ++j) {
        for (int32_t k = 0; k < kWaveCount; ++k) {
            t.column[k][j] = 0.0;
        }
    }
    for (int32_t i = 0; i <= lastRow + 1; ++i) {
        const float u = i * kPi / lastRow;
        const int32_t j = i * kLiftedColumns / lastRow;
        const bool sameAsColumn = j < kLiftedColumns && i * kLiftedColumns % lastRow == 0 &&
                                  std::bit_cast<uint32_t>(v[j]) == std::bit_cast<uint32_t>(u);
        for (int32_t k = 0; k < kWaveCount; ++k) {
            t.row[k][i] = sameAsColumn ? t.column[k][j] : waveTerm(k, u, phase);
        }
    }
}

// The lift of the eight columns from j on in row i:
// h = ((c1 + r1) * 0.2 * w1 + (c2 + r2) * 0.2 * w2) + (c3 + r3) * 0.2 * w3 in double
// precision, rounded to single.
MESH_INLINE Floats8 liftLanes(const WaveTerms& t, int32_t i, int32_t j) {
    const Doubles8 s0 = (loadDoubles(&t.column[0][j]) + t.row[0][i]) * 0.2 * t.weight[0];
    const Doubles8 s1 = (loadDoubles(&t.column[1][j]) + t.row[1][i]) * 0.2 * t.weight[1];
    const Doubles8 s2 = (loadDoubles(&t.column[2][j]) + t.row[2][i]) * 0.2 * t.weight[2];
    return __builtin_convertvector(s0 + s1 + s2, Floats8);
}

// Rows 0..lastRow + 1 of `from` into `to`, with the lifts added to y of columns 0..49 in
// single precision. Eight vertices are 24 floats, three lanes' worth: the lifts are moved
// to the places of the y components, and only those places take the sum.
MESH_KERNEL void liftRows(const Vec3f (*from)[kMeshColumnSlots], Vec3f (*to)[kMeshColumnSlots], int32_t lastRow,
                          const WaveTerms& t) {
    const Ints8 yPlace[3] = {{0, 1, 0, 0, 1, 0, 0, 1}, {0, 0, 1, 0, 0, 1, 0, 0}, {1, 0, 0, 1, 0, 0, 1, 0}};
    for (int32_t i = 0; i <= lastRow + 1; ++i) {
        const char* source = reinterpret_cast<const char*>(from[i]);
        char* target = reinterpret_cast<char*>(to[i]);
        for (int32_t j = 0; j < 6 * kLanes; j += kLanes) {
            const Floats8 lift = liftLanes(t, i, j);
            const Floats8 liftOfPlace[3] = {__builtin_shufflevector(lift, lift, 0, 0, 0, 0, 1, 1, 1, 2),
                                            __builtin_shufflevector(lift, lift, 3, 3, 3, 3, 4, 4, 4, 4),
                                            __builtin_shufflevector(lift, lift, 5, 5, 5, 6, 6, 6, 7, 7)};
#pragma GCC unroll 3
            for (int32_t part = 0; part < 3; ++part) {
                const size_t offset = (3 * j + part * kLanes) * sizeof(float);
                Floats8 v;
                std::memcpy(&v, source + offset, sizeof v);
                const Floats8 sum = v + liftOfPlace[part];
                v = yPlace[part] != 0 ? sum : v;
                std::memcpy(target + offset, &v, sizeof v);
            }
        }
        const Floats8 lift = liftLanes(t, i, 6 * kLanes);  // columns 48..55, of which 48 and 49
        to[i][48] = Vec3f{from[i][48].x, lift[0] + from[i][48].y, from[i][48].z};
        to[i][49] = Vec3f{from[i][49].x, lift[1] + from[i][49].y, from[i][49].z};
        to[i][50] = from[i][50];
    }
}

// ---------------------------------------------------------------------------------------
// Vertex normals

struct PortableArithmetic {
    static MESH_INLINE Doubles8 widen(Floats8 v) { return __builtin_convertvector(v, Doubles8); }

    // One component of vecCross(a, b), (-ay) * bz + az * by, as az * by - ay * bz: the
    // same exact products and the same one rounding to double, then one to single.
    static MESH_INLINE Floats8 crossComponent(Doubles8 ay, Doubles8 az, Doubles8 by, Doubles8 bz) {
        return __builtin_convertvector(az * by - ay * bz, Floats8);
    }
};

MESH_KERNEL void innerNormalsPortable(const GridMesh& from, GridMesh& to, int32_t lastRow) {
    copyWithInnerNormals<PortableArithmetic>(from, to, lastRow);
}

// The inner pass for this processor: the AVX-512 build where it runs, else the portable one.
MeshInnerNormals pickInnerNormals() {
    const MeshInnerNormals avx512 = meshInnerNormalsAvx512();
    return avx512 != nullptr ? avx512 : meshInnerNormalsPortable;
}

}  // namespace

// A plain function in front of the kernel's versions: not every compiler lets another
// source call a function built in several versions.
void meshInnerNormalsPortable(const GridMesh& from, GridMesh& to, int32_t lastRow) {
    innerNormalsPortable(from, to, lastRow);
}

MeshInnerNormals meshInnerNormalsAvx512() {
#ifdef QUILL_MESH_AVX512
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")) {
        return meshInnerNormalsAvx512Kernel;
    }
#endif
    return nullptr;
}

// Each operation builds the one record it returns in place (the named return value), so
// the result is never copied on the way out.
GridMesh meshMakeFlatGrid(int32_t n) {
    GridMesh r;
    if (n == 0 || n > kMeshLastColumn) {
        std::memset(&r, 0, sizeof r);
        return r;
    }
    // x depends on the row alone and z on the column alone: (2i) / n - 1 in double
    // precision, stored in single.
    float coordinate[kMeshColumnSlots];
    for (int32_t i = 0; i <= n; ++i) {
        coordinate[i] = static_cast<float>(static_cast<double>(2 * i) / n + (-1.0));
    }
    // Rows 0..n of the positions are written whole, columns past n as zero; everything
    // else is cleared here. A negative n has no row.
    const int32_t rows = n > 0 ? n + 1 : 0;
    std::memset(r.vertices[rows], 0, sizeof r.vertices[0] * (kMeshRowSlots - rows));
    std::memset(r.normals, 0, sizeof r.normals);
    fillFlatRows(r.vertices, n, coordinate);
    r.lastRow = n;
    r.firstRowOpen = 1;
    r.lastRowOpen = 1;
    return r;
}

int32_t meshBuild() {
    gMesh = meshMakeFlatGrid(50);
    return 0;
}

GridMesh meshDeform(GridMesh mesh) {
    GridMesh r;
    const int32_t lastRow = mesh.lastRow;
    if (lastRow == 0 || lastRow > kMeshRowSlots - 2) {
        r = mesh;
        return r;
    }
    WaveTerms terms;
    prepareWaveTerms(terms, gWavePhase, lastRow);
    liftRows(mesh.vertices, r.vertices, lastRow, terms);
    // Rows 0..lastRow + 1 are lifted: none for a lastRow below -1.
    const int32_t lifted = lastRow + 2 > 0 ? lastRow + 2 : 0;
    std::memcpy(r.vertices[lifted], mesh.vertices[lifted], sizeof r.vertices[0] * (kMeshRowSlots - lifted));
    std::memcpy(r.normals, mesh.normals, sizeof r.normals);
    r.lastRow = mesh.lastRow;
    r.firstRowOpen = mesh.firstRowOpen;
    r.lastRowOpen = mesh.lastRowOpen;
    return r;
}

GridMesh meshComputeNormals(GridMesh mesh) {
    GridMesh r;
    const int32_t lastRow = mesh.lastRow;
    if (lastRow < 1 || lastRow > kMeshRowSlots - 1) {
        r = mesh;
        return r;
    }
    pickInnerNormals()(mesh, r, lastRow);
    r.lastRow = lastRow;
    r.firstRowOpen = mesh.firstRowOpen;
    r.lastRowOpen = mesh.lastRowOpen;
    // Edge pass, column by column in the written order: with lastRow 1, row lastRow - 1
    // is row 0 itself and sees the value just written.
    for (int32_t j = 0; j <= 49; ++j) {
        Vec3f& first = r.normals[0][j];
        const Vec3f before = r.normals[lastRow - 1][j];
        first.x = (first.x + before.x) * 0.5f;
        first.y = (first.y + before.y) * 0.5f;
        first.z = (first.z + before.z) * 0.5f;
        if (r.firstRowOpen == 1) {
            r.normals[0][j] = r.normals[1][j];
        }
        if (r.lastRowOpen == 1) {
            r.normals[lastRow][j] = r.normals[lastRow - 1][j];
        }
    }
    return r;
}
