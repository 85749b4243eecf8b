// Turns a fuzzer's bytes into a grid-mesh record and the settings around it.
//
// Layout (missing bytes read as zero):
//   0       operation selector (the target decides what it means)
//   1..4    lastRow, also the n of meshMakeFlatGrid (int32, little-endian)
//   5..8    firstRowOpen      9..12  lastRowOpen      13..16  gWavePhase (float bits)
//   17      the cells to start from: 0 zero, 1 the flat grid of 50, 2 that grid deformed
//           with normals, 3 the rest of the input repeated over every cell's bytes
//   18..    (starts 0-2) patches of 14 bytes: a cell number (uint16, taken modulo the
//           2 x 151 x 51 cells, positions first) and the cell's three floats
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mesh/mesh.h"

struct MeshInput {
    int operation = 0;
    float phase = 0.0f;
};

namespace meshInput {

inline std::uint32_t word(const std::uint8_t* data, std::size_t size, std::size_t at) {
    std::uint8_t bytes[4] = {};
    for (std::size_t i = 0; i < 4; ++i)
        if (at + i < size) bytes[i] = data[at + i];
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (std::uint32_t)bytes[3] << 24;
}

// Fills `mesh` (a global or static: records are large) and returns the settings.
inline MeshInput decode(const std::uint8_t* data, std::size_t size, GridMesh& mesh) {
    constexpr std::size_t kHeader = 18;
    constexpr std::size_t kCells = 2 * kMeshRowSlots * kMeshColumnSlots;
    MeshInput input;
    input.operation = size > 0 ? data[0] : 0;
    std::uint32_t phaseBits = word(data, size, 13);
    std::memcpy(&input.phase, &phaseBits, sizeof input.phase);
    int start = size > 17 ? data[17] % 4 : 0;

    if (start == 1 || start == 2) {
        mesh = meshMakeFlatGrid(50);
        if (start == 2) mesh = meshComputeNormals(meshDeform(mesh));
    } else {
        std::memset(&mesh, 0, sizeof mesh);
    }
    static_assert(offsetof(GridMesh, normals) == sizeof(GridMesh::vertices));
    if (start == 3 && size > kHeader) {
        auto* bytes = reinterpret_cast<unsigned char*>(&mesh);
        for (std::size_t i = 0; i < kCells * sizeof(Vec3f); ++i) bytes[i] = data[kHeader + i % (size - kHeader)];
    } else {
        for (std::size_t at = kHeader; at + 14 <= size; at += 14) {
            std::size_t cell = (data[at] | data[at + 1] << 8) % kCells;
            std::size_t slot = cell % (kCells / 2);
            auto& grid = cell < kCells / 2 ? mesh.vertices : mesh.normals;
            std::memcpy(&grid[slot / kMeshColumnSlots][slot % kMeshColumnSlots], data + at + 2, sizeof(Vec3f));
        }
    }
    mesh.lastRow = (std::int32_t)word(data, size, 1);
    mesh.firstRowOpen = (std::int32_t)word(data, size, 5);
    mesh.lastRowOpen = (std::int32_t)word(data, size, 9);
    return input;
}

}  // namespace meshInput
