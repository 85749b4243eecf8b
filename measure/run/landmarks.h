// Where the test image's landmarks lie on screen: the pixels whose whole footprint falls on
// the checkerboards, the thin lines or the caption, from the renderer's own triangles mapped
// through their perspective-correct texture coordinates (filtering/rules.h's frame model),
// and the blades' interiors from the reference's coverage. The texture-detail figures are
// taken over these.
#pragma once

#include "measure/filtering/rules.h"
#include "measure/presentation/figures.h"

#include <vector>

namespace measure {

// A landmark's texel rows in the 256 x 256 test image (row 0 at the bottom, which the
// renderer maps to the ring's centre), as render/test_image.cpp paints them.
struct LandmarkRows {
    LandmarkKind kind;
    int first, last;
};
// Rows 0-63: the 16 x 4 checkerboard; 175-209: the one-texel white rows, the comb's two-texel
// teeth between them and the three short one-texel lines; 214-250: both caption lines.
inline constexpr LandmarkRows kLandmarkRows[] = {
    {LandmarkKind::Checkerboards, 0, 63}, {LandmarkKind::ThinLines, 175, 209}, {LandmarkKind::Caption, 214, 250}};
inline constexpr int kTestImageSide = 256;

// The interiors (as given) and each landmark of kLandmarkRows: a pixel counts where it is
// interior, its centre and its neighbours lie on one triangle, and its footprint (the
// texture-coordinate derivatives, half a pixel each way) stays inside the landmark's rows.
std::vector<Landmark> landmarkMasks(const FrameModel& model, const std::vector<bool>& interior);

}  // namespace measure
