// The mesh operations on arbitrary records: any lastRow, any flags, any cell values, any
// wave phase (input layout in mesh_input.h; operation byte % 4: 0 meshMakeFlatGrid(n),
// 1 meshDeform, 2 meshComputeNormals, 3 both in turn). Besides the sanitizers' checks,
// every input is held to what mesh/mesh.h promises:
//   - an argument an operation cannot work on comes back unchanged (a cleared record for
//     meshMakeFlatGrid), bit for bit;
//   - cells an operation does not write are the argument's, bit for bit;
//   - the result does not depend on what ran before (the deformation keeps wave terms
//     between calls): the same call after other phases and row counts gives the same bits;
//   - both builds of the normals' inner pass give the same bits (a NaN may differ in its
//     payload), where this processor runs both.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/mesh_input.h"
#include "mesh/inner_normals.h"

namespace {

GridMesh gArgument, gResult, gAgain, gScratch, gPortable, gWide;
const GridMesh kCleared{};

void check(bool condition) {
    if (!condition) std::abort();
}

bool same(const Vec3f& a, const Vec3f& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool same(const GridMesh& a, const GridMesh& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A component that only rides along with the lifted y: the same bits, except that clang,
// unlike GCC, may quiet a signalling NaN it carries through an addition of nothing.
bool passedThrough(float before, float after) {
    return std::memcmp(&before, &after, sizeof before) == 0 || (before != before && after != after);
}

bool sameScalars(const GridMesh& a, const GridMesh& b) {
    return a.lastRow == b.lastRow && a.firstRowOpen == b.firstRowOpen && a.lastRowOpen == b.lastRowOpen;
}

GridMesh run(int operation, const GridMesh& mesh) {
    switch (operation) {
        case 0: return meshMakeFlatGrid(mesh.lastRow);
        case 1: return meshDeform(mesh);
        case 2: return meshComputeNormals(mesh);
        default: return meshComputeNormals(meshDeform(mesh));
    }
}

// Other calls in between, with another phase and other row counts.
void disturb(float phase) {
    float saved = gWavePhase;
    gWavePhase = phase + 1.0f;
    gScratch = meshMakeFlatGrid(7);
    gScratch = meshDeform(gScratch);
    gWavePhase = saved;
    gScratch = meshMakeFlatGrid(50);
    gScratch = meshDeform(gScratch);
}

void checkFlatGrid(int32_t n, const GridMesh& r) {
    if (n < 1 || n > 50) {
        check(same(r, kCleared));
        return;
    }
    check(r.lastRow == n && r.firstRowOpen == 1 && r.lastRowOpen == 1);
    for (int32_t i = 0; i < kMeshRowSlots; ++i)
        for (int32_t j = 0; j < kMeshColumnSlots; ++j) {
            check(same(r.normals[i][j], Vec3f{}));
            if (i > n || j > n) check(same(r.vertices[i][j], Vec3f{}));
        }
}

void checkDeform(const GridMesh& m, const GridMesh& r) {
    check(sameScalars(m, r));
    if (m.lastRow < 1 || m.lastRow > kMeshRowSlots - 2) {
        check(same(m, r));
        return;
    }
    for (int32_t i = 0; i < kMeshRowSlots; ++i)
        for (int32_t j = 0; j < kMeshColumnSlots; ++j) {
            const Vec3f &a = m.vertices[i][j], &b = r.vertices[i][j];
            check(same(m.normals[i][j], r.normals[i][j]));
            if (i > m.lastRow + 1 || j == kMeshLastColumn) check(same(a, b));
            check(passedThrough(a.x, b.x) && passedThrough(a.z, b.z));
        }
}

void checkNormals(const GridMesh& m, const GridMesh& r) {
    check(sameScalars(m, r));
    if (m.lastRow < 1 || m.lastRow > kMeshRowSlots - 1) {
        check(same(m, r));
        return;
    }
    check(std::memcmp(m.vertices, r.vertices, sizeof m.vertices) == 0);
    for (int32_t i = 1; i < m.lastRow; ++i)
        check(same(m.normals[i][0], r.normals[i][0]) && same(m.normals[i][kMeshLastColumn], r.normals[i][kMeshLastColumn]));
    for (int32_t i = m.lastRow + 1; i < kMeshRowSlots; ++i)
        for (int32_t j = 0; j < kMeshColumnSlots; ++j) check(same(m.normals[i][j], r.normals[i][j]));
}

void checkInnerPasses(const GridMesh& m) {
    const MeshInnerNormals avx512 = meshInnerNormalsAvx512();
    if (avx512 == nullptr || m.lastRow < 1 || m.lastRow > kMeshRowSlots - 1) return;
    std::memset(&gPortable, 0, sizeof gPortable);
    std::memset(&gWide, 0, sizeof gWide);
    meshInnerNormalsPortable(m, gPortable, m.lastRow);
    avx512(m, gWide, m.lastRow);
    const auto* a = reinterpret_cast<const float*>(&gPortable);
    const auto* b = reinterpret_cast<const float*>(&gWide);
    for (size_t k = 0; k < 2 * sizeof m.vertices / sizeof(float); ++k) check(passedThrough(a[k], b[k]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MeshInput input = meshInput::decode(data, size, gArgument);
    const int operation = input.operation % 4;
    gWavePhase = input.phase;

    gResult = run(operation, gArgument);
    disturb(input.phase);
    gAgain = run(operation, gArgument);
    check(same(gResult, gAgain));

    switch (operation) {
        case 0: checkFlatGrid(gArgument.lastRow, gResult); break;
        case 1: checkDeform(gArgument, gResult); break;
        case 2:
            checkNormals(gArgument, gResult);
            checkInnerPasses(gArgument);
            break;
        default: break;
    }
    gWavePhase = 0.0f;
    return 0;
}
