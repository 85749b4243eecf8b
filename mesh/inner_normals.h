// The two builds of the vertex normals' inner pass: `to` becomes `from` with the normals
// of rows 1..lastRow, columns 1..49 worked out (1 <= lastRow <= 150). meshComputeNormals
// runs the AVX-512 one where it is available and the portable one elsewhere; the tests
// hold the two to each other bit for bit.
#pragma once

#include "mesh/mesh.h"

using MeshInnerNormals = void (*)(const GridMesh& from, GridMesh& to, int32_t lastRow);

void meshInnerNormalsPortable(const GridMesh& from, GridMesh& to, int32_t lastRow);

// The AVX-512 build where this build has one and the processor has AVX-512F and
// AVX-512VL; null otherwise.
MeshInnerNormals meshInnerNormalsAvx512();
