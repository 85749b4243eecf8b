// Texture filtering measured against the rules: the driver's nearest and bilinear sampling
// against the processor's, its level of detail decoded from a coded mipmap chain on the
// ring and on probe tiles at known scale, angle and stretch, its trilinear blend, bias,
// rounding and anisotropy, and what reaches the program's own texture. Method: pictures
// through the renderer into a framebuffer object, decoded per pixel against the model of
// filtering/rules.h. Not covered: texture formats other than 8-bit RGBA, wrap modes other
// than repeat and clamp, and filtering the program's texture never asks for.
#pragma once

#include "measure/core/metrics.h"
#include "measure/filtering/results.h"
#include "measure/filtering/rules.h"
#include "measure/gl/scene.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace measure {

// A filter's spread along one axis from its response to a step: `samples` are (distance
// from the step in texels, response 0 to 1), averaged in bins `bin` texels wide. Returns the
// integral of F (1 - F) over the distance, half the mean distance between two points drawn
// from the filter's kernel (a box w wide gives w / 6); NaN without samples.
double stepSpread(const std::vector<std::pair<double, double>>& samples, double bin);

// The per-pixel model of the ring as the renderer draws it into the target (feedback mode).
FrameModel ringModel(const GlEntryPoints& gl, const Target& target, int textureSize);

// Judges a picture of the ring drawn with the program's settings (GL_LINEAR, no mipmaps,
// anisotropy 1) at the model's size; `alternatives` are the driver's own pictures of other
// settings, by name, which name a forced filter the processor's models do not explain.
ProgramCheck judgeProgramPicture(const Image& picture, const FrameModel& model,
                                 const std::vector<std::pair<std::string, Image>>& alternatives);

// quillmere's presented window (a capture of the same size as `target`, the program's own
// settings) judged as judgeProgramPicture does, with the model and the driver's alternatives
// made here; for Filtering::presented.
ProgramCheck judgePresentedPicture(const GlEntryPoints& gl, Scene& scene, const Target& target, const Image& presented);

// Everything above on the one-sample target; `window` (may be null) is the tool's window
// drawn with the program's settings. The sweeps through the renderer's rotation only with `sweeps`.
Filtering measureFiltering(const GlEntryPoints& gl, Scene& scene, const Target& target, const Image* window,
                           bool sweeps);

}  // namespace measure
