// Sample positions measured through OpenGL: a corner swept across a pixel of a multisampled
// target, beside the positions the driver reports.
#pragma once

#include "measure/aa/sample_positions.h"
#include "measure/gl/scene.h"

#include <string>
#include <vector>

namespace measure {

// Draws the sweep into the target (at least 64 x 64) and recovers its positions. Leaves
// the renderer's state as it was.
bool measurePositions(const GlEntryPoints& gl, const Target& target, std::vector<float>& xy, std::string& why);

// Both lists for a target, compared.
SamplePositions samplePositionsOf(const GlEntryPoints& gl, const Target& target, const std::string& name);

}  // namespace measure
