// The grid mesh: a fixed-capacity record of vertex positions and normals, the flat grid
// generator, the wave deformation, the vertex normals and the textured strip drawing.
//
// Every operation takes whole records by value and returns a new record by value; the
// caller's record is never changed and nothing is allocated.
//
// Cells that an operation does not write:
//   meshMakeFlatGrid   a cleared record: the normals and every cell outside rows and
//                      columns 0..n are zero.
//   meshDeform         the argument's: column 50, the rows past lastRow + 1 and every
//                      normal pass through.
//   meshComputeNormals the argument's: the positions, the rows past lastRow, columns 0
//                      and 50 (rows 0 and lastRow take what the edge pass moves there).
//
// Arguments the operations cannot work on get these answers; with them no operation
// reads or writes outside the record or divides by zero, whatever the value:
//   meshMakeFlatGrid(n), n = 0 or above 50: a cleared record (every cell zero, lastRow 0,
//                      both flags 0). More steps would not fit the 51 columns and n = 0
//                      has no step width. A negative n gives a cleared record with
//                      lastRow n and both flags 1: it has no vertex.
//   meshDeform, lastRow 0 or above 149: the argument unchanged. Row lastRow + 1 must lie
//                      in the record, and lastRow divides the row phase. Below 0 rows
//                      0..lastRow + 1 are lifted as for any other: row 0 for -1, none below.
//   meshComputeNormals, lastRow outside 1..150: the argument unchanged. Rows up to
//                      lastRow must lie in the record, and row lastRow - 1 is read.
//   meshDraw, lastRow above 151: no strip is drawn, as for a lastRow of 2 or less; the
//                      state changes on entry and exit still happen. Strips read rows up
//                      to lastRow - 1.
// Every other argument gives exactly the result described at each operation.
#pragma once

#include <cstdint>

#include "mesh/vec.h"

constexpr int32_t kMeshRowSlots = 151;    // row indices 0..150
constexpr int32_t kMeshColumnSlots = 51;  // column indices 0..50
constexpr int32_t kMeshLastColumn = 50;   // the last column index every operation uses

struct GridMesh {
    Vec3f vertices[kMeshRowSlots][kMeshColumnSlots];  // [row][column]
    Vec3f normals[kMeshRowSlots][kMeshColumnSlots];   // not normalised
    int32_t lastRow;                                  // rows 0..lastRow hold the grid
    int32_t firstRowOpen;                             // exactly 1: row 0 takes the normals of row 1
    int32_t lastRowOpen;                              // exactly 1: row lastRow takes the normals of row lastRow - 1
};

// The mesh built at start-up; zero until meshBuild runs.
extern GridMesh gMesh;

// The phase of the deformation waves, in radians; 0 at load and never written.
extern float gWavePhase;

// A flat square grid of n steps per side in the plane y = 0, from -1 to 1 in x (rows)
// and z (columns): vertex [i][j] = (2i/n - 1, 0, 2j/n - 1), worked out in double
// precision. lastRow = n, both flags 1.
GridMesh meshMakeFlatGrid(int32_t n);

// Copies meshMakeFlatGrid(50) into gMesh. Always returns 0.
int32_t meshBuild();

// Lifts y of rows 0..lastRow + 1, columns 0..49, by three cosine waves along the rows
// and the columns, weighted by gWavePhase. x, z and the normals pass through.
GridMesh meshDeform(GridMesh mesh);

// Normals of rows 1..lastRow, columns 1..49 from the four edges to the neighbours, then
// rows 0 and lastRow settled by the edge flags.
GridMesh meshComputeNormals(GridMesh mesh);

// Draws rows 1..lastRow - 1, columns 1..48, as lit textured quad strips with the test
// texture. Needs a current OpenGL context. Leaves lighting, light 0 and normalisation
// disabled, texturing enabled with GL_MODULATE and the test texture bound.
void meshDraw(GridMesh mesh);
