// The mesh operations on arbitrary records: any lastRow, any flags, any cell values, any
// wave phase (input layout in mesh_input.h; operation byte % 4: 0 meshMakeFlatGrid(n),
// 1 meshDeform, 2 meshComputeNormals, 3 both in turn). Besides the sanitizers' checks,
// every input is held to what mesh/mesh.h promises:
//   - an argument an operation works on gives the record of the reference operations
//     (tests/mesh_reference.h), bit for bit;
//   - one it cannot work on comes back unchanged (a cleared record for meshMakeFlatGrid);
//   - both builds of the normals' inner pass give the same bits, where this processor
//     runs both.
// A NaN may differ in its payload: the lanes and the reference need not pick the same
// operand's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/mesh_input.h"
#include "mesh/inner_normals.h"
#include "tests/mesh_reference.h"

namespace {

GridMesh gArgument, gResult, gWant, gPortable, gWide;
const GridMesh kCleared{};

void check(bool condition) {
    if (!condition) std::abort();
}

// The same bits in every cell but for NaN payloads, and the same scalars.
bool same(const GridMesh& a, const GridMesh& b) {
    const auto* x = reinterpret_cast<const float*>(&a);
    const auto* y = reinterpret_cast<const float*>(&b);
    for (std::size_t k = 0; k < 2 * sizeof a.vertices / sizeof(float); ++k) {
        if (std::memcmp(&x[k], &y[k], sizeof(float)) != 0 && !(x[k] != x[k] && y[k] != y[k])) return false;
    }
    return a.lastRow == b.lastRow && a.firstRowOpen == b.firstRowOpen && a.lastRowOpen == b.lastRowOpen;
}

bool deformable(int32_t lastRow) { return lastRow != 0 && lastRow <= kMeshRowSlots - 2; }
bool hasNormals(int32_t lastRow) { return lastRow >= 1 && lastRow <= kMeshRowSlots - 1; }

// Both builds write over the same cleared records; only their tables are compared.
void checkInnerPasses(const GridMesh& m) {
    const MeshInnerNormals avx512 = meshInnerNormalsAvx512();
    if (avx512 == nullptr || !hasNormals(m.lastRow)) return;
    gPortable = kCleared;
    gWide = kCleared;
    meshInnerNormalsPortable(m, gPortable, m.lastRow);
    avx512(m, gWide, m.lastRow);
    check(same(gPortable, gWide));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MeshInput input = meshInput::decode(data, size, gArgument);
    const int32_t lastRow = gArgument.lastRow;
    gWavePhase = input.phase;
    switch (input.operation % 4) {
        case 0:
            gResult = meshMakeFlatGrid(lastRow);
            gWant = lastRow == 0 || lastRow > kMeshLastColumn ? kCleared : reference::flatGrid(lastRow);
            break;
        case 1:
            gResult = meshDeform(gArgument);
            gWant = deformable(lastRow) ? reference::deform(gArgument) : gArgument;
            break;
        case 2:
            gResult = meshComputeNormals(gArgument);
            gWant = hasNormals(lastRow) ? reference::computeNormals(gArgument) : gArgument;
            checkInnerPasses(gArgument);
            break;
        default:
            gResult = meshComputeNormals(meshDeform(gArgument));
            gWant = deformable(lastRow) ? reference::deform(gArgument) : gArgument;
            if (hasNormals(lastRow)) gWant = reference::computeNormals(gWant);
            break;
    }
    check(same(gResult, gWant));
    gWavePhase = 0.0f;
    return 0;
}
