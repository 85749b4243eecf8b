// Motion: the frame drifting by a fraction of a pixel a step while it turns slowly, drawn in
// every mode and as a reference at every step through the renderer, and the figures of each
// (motion/figures.h). Not covered: the program's own animation timing; the drift is the
// tool's, the same for every mode.
#pragma once

#include "measure/gl/sampling.h"
#include "measure/motion/figures.h"

#include <functional>
#include <string>
#include <vector>

namespace measure {

// How to draw one mode at a shift (pixels, x right, y up); the rotation is the renderer's own.
struct MotionMode {
    std::string name;
    MotionKind kind = MotionKind::Window;
    std::size_t capture = 0;             // the still capture it redraws, in the run's captures
    int samples = 1;                     // per pixel, as granted
    std::function<void()> enter, leave;  // optional: state set for the mode and put back
    std::function<Image(double dx, double dy)> draw;
};

class Scene;
struct Target;
struct GlEntryPoints;

// A still capture as the drift redraws it: its kind, the sample count it asked for (msaa),
// its grid's side (ssaa) or its texture filter (filter).
struct StillMode {
    std::string name;
    MotionKind kind = MotionKind::Window;
    std::size_t capture = 0;  // in the run's captures
    int requested = 0;
    int gridSide = 0;
    TextureFilter filter;
};

// How to draw each of the still run's captures in motion; an msaa capture without its target
// is left out. The targets must outlive the modes.
std::vector<MotionMode> motionModes(Scene& scene, const GlEntryPoints& gl, const std::vector<StillMode>& still,
                                    const std::vector<Target>& msaaTargets, const Target& single);
// The drift: the reference and every mode at each step, and their figures. `centre` and
// `tip` are the still frame's landmarks (pixels, rows from the top).
MotionResults runDrift(Scene& scene, const Target& single, const std::vector<MotionMode>& modes,
                       const MotionSettings& settings, const Image& stillReference, const double centre[2],
                       const double tip[2], const std::function<void(const std::string&)>& progress);

}  // namespace measure
