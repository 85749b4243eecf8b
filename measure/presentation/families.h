// What a presentation path may do to a finished frame, made by the tool over its own
// one-sample frame so the presented picture can be compared with each: the morphological
// anti-aliasing families (FXAA's quality algorithm and MLAA, from their published
// descriptions), sharpening (unsharp masking, contrast-adaptive sharpening), blurs (box,
// tent, Gaussian) and colour maps (gamma, gain, limited range), alone and in the pairs a
// driver panel and a compositor may chain. Pure functions of images; no OpenGL.
#pragma once

#include "measure/core/metrics.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace measure {

enum class Family : std::uint8_t { Fxaa, Mlaa, Unsharp, Cas, Box, Tent, Gaussian, Colour };

// FXAA 3.11's quality algorithm. `preset` picks the search steps (10-15, 20-29, 39);
// thresholds in luma 0..1: an edge is one whose 3 x 3 cross range exceeds
// max(edgeThresholdMin, edgeThreshold x its brightest); `subpix` scales the sub-pixel blend.
struct FxaaParams {
    int preset = 12;
    double subpix = 0.75;
    double edgeThreshold = 0.166;
    double edgeThresholdMin = 0.0833;
    bool greenAsLuma = false;  // luma from green alone rather than Rec. 601
    bool linearLight = false;  // luma and blend on sRGB-decoded values, as through an sRGB view
};
// The preset's search steps in pixels along the edge, each step's length (empty when the
// preset is not one FXAA defines).
std::vector<double> fxaaSearchSteps(int preset);
Image fxaa(const Image& image, const FxaaParams& params);

// MLAA: discontinuities where neighbours' luma differ by more than `threshold` (0..1);
// each edge run followed at most `reach` pixels from a pixel each way, its ends' turns
// giving the L, Z and U shapes whose separation line sets the blend. MLAA is the second
// family because its paper defines all of it (edges, shapes, areas) in closed form: SMAA
// 1x blends through precomputed area and search textures, and CMAA2 is described mostly
// by its shader, so neither could be written from its description alone as faithfully.
struct MlaaParams {
    double threshold = 0.1;
    int reach = 16;
};
Image mlaa(const Image& image, const MlaaParams& params);

// Separable Gaussian of the given width (pixels), borders repeating the edge pixel.
Image gaussianBlur(const Image& image, double sigma);
// image + amount x (image - Gaussian(image, sigma)).
Image unsharpMask(const Image& image, double sigma, double amount);
// Contrast-adaptive sharpening, sharpness 0..1.
Image cas(const Image& image, double sharpness);

enum class ColourMapKind : std::uint8_t { Gamma, Gain, LimitedRange };
// Gamma: out = in^value (0..1); Gain: out = in x value; LimitedRange: 0..255 into 16..235.
struct ColourMap {
    ColourMapKind kind = ColourMapKind::Gamma;
    double value = 1.0;
};
Image applyColourMap(const Image& image, const ColourMap& map);

// One step of a candidate: its family and the parameters that family reads.
struct FamilyStep {
    Family family = Family::Box;
    FxaaParams fxaa;    // Fxaa
    MlaaParams mlaa;    // Mlaa
    double sigma = 0;   // Unsharp, Gaussian: the blur's width in pixels
    double amount = 0;  // Unsharp: the mask's gain; Cas: its sharpness
    int side = 0;       // Box: 2 or 3
    ColourMap colour;   // Colour
};
Image applyStep(const Image& image, const FamilyStep& step);

// A candidate: one step or a chain of two, in the order they are applied.
struct FamilyCandidate {
    std::vector<FamilyStep> steps;
    std::string name;  // an identifier: "fxaa-12-0.166-0.0833-0.75", "gaussian-1.0+cas-0.4"
    Image image;
};

// Every presentation candidate over the one-sample frame.
std::vector<FamilyCandidate> presentationCandidates(const Image& oneSample);

// A step's identifier, as in a candidate's name.
std::string stepName(const FamilyStep& step);

}  // namespace measure
