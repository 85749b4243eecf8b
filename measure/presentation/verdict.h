// The presentation verdict: what the step from the back buffer to the presented picture
// did, as a list of steps in the order they happen, decided from the figures measured on
// the two pictures (presentation/figures.h) and from the distances to the candidates the
// tool makes over its one-sample frame (presentation/families.h). Values only: the words
// are the report's. Pure functions; no OpenGL.
#pragma once

#include "measure/core/metrics.h"
#include "measure/presentation/families.h"
#include "measure/presentation/figures.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace measure {

enum class PresentationClass : std::uint8_t {
    Unchanged,      // the presented picture is the back buffer
    ColourChanged,  // pointwise: a per-channel curve, or a change mixing the channels
    Filter,         // a linear filter without negative lobes (box, tent, Gaussian, ...)
    Morphological,  // changes gated by local contrast, reconstructing edges along lines
    Sharpening,     // overshoot past the local range, negative lobes
    Scaled,         // the presented picture is resampled (another size)
    Unexplained,    // changed, and no class fits the figures
};

// The colour curve's shape, as the verdict names it.
enum class ColourShape : std::uint8_t { Identity, Gain, Gamma, LimitedRange, Curve, Mixed };
// A linear filter's shape.
enum class FilterShape : std::uint8_t { Identity, Box, Tent, Gaussian, Other };

// The width of the unsharp mask a sharpening's strength is read as.
constexpr double kSharpeningSigma = 1.0;

// The figures the verdict reads, taken from the measured presentation figures
// (evidenceOf) or set directly.
struct PresentationEvidence {
    bool sameSize = true;
    double tolerance = 0;     // levels a pixel may differ and count as unchanged
    double changedShare = 0;  // pixels beyond the tolerance, share of all
    double rmse = 0;          // levels, against the back buffer
    // The per-channel curve from the back buffer to the presented picture.
    ColourShape colour = ColourShape::Identity;
    double colourResidual = 0;   // RMSE in levels after the curve, every pixel
    double colourDeviation = 0;  // RMS over the levels of how far the curve moves them
    // The presented picture as a function of the back buffer's colour (ColourFunction):
    // its scatter about each colour's mean and the change over the same pixels, levels.
    double functionResidual = std::numeric_limits<double>::quiet_NaN();
    double functionChange = 0;
    double gamma = 1, gain = 1;
    // Where the curve's nearest straight line takes black and white, within 0-255.
    int low = 0, high = 255;
    // The least-squares kernel after the curve, rows top to bottom.
    FilterShape filter = FilterShape::Identity;
    int kernelSide = 1;
    std::vector<double> kernel{1.0};
    double kernelResidual = 0;    // RMSE in levels after the kernel
    double identityResidual = 0;  // ... with the identity kernel: what a linear filter must explain
    double negativeSum = 0;       // sum of the kernel's negative weights
    double sigma = 0;             // Gaussian width where the shape is one
    int boxSide = 0;
    // Changes against the back buffer's local contrast (3 x 3 luma range).
    bool gated = false;
    double threshold = std::numeric_limits<double>::quiet_NaN();  // luma 0..1
    // Changed pixels leaving their 5 x 5 range, and the halo's width in pixels.
    double overshootShare = 0;
    double haloWidth = 0;
    // Correlation of the change with the back buffer's detail (RangeFigures).
    double detailCorrelation = 0;
    // How far along an edge the changes reach from a stair step (pixels); NaN where the
    // figures found no stair run long enough to read it on.
    double reach = std::numeric_limits<double>::quiet_NaN();
    // The amount of an unsharp mask (Gaussian of sigma kSharpeningSigma) that best matches
    // the change over the pixels it changed: 0.6 for an unsharp mask of amount 0.6 at that
    // sigma, negative for a blur.
    double sharpeningAmount = 0;
    // Edge error against the reference's coverage, of the picture and of the one-sample frame.
    double edgeError = 0, oneSampleEdgeError = 0;
    // Share of the reference's texture detail kept, over every landmark with detail: by the
    // presented picture, and by the back buffer it was made from.
    double detailKept = 1;
    double backDetailKept = 1;
};

// The evidence from the measured figures; `in` is what they were measured on.
PresentationEvidence evidenceOf(const PresentationFigures& figures, const PresentationInput& in);

// One candidate's distance to the presented picture: RMSE in levels over the pixels that
// either changed from the one-sample frame. `afterCurve`: compared after the measured
// colour curve was applied to the candidate.
struct FamilyDistance {
    std::size_t index = 0;  // into the candidates
    std::string name;
    std::vector<FamilyStep> steps;
    bool afterCurve = false;
    double distance = 0;
    // A chain ending in a sharpening: the sharpening's amount read against the picture its
    // first step makes (as the evidence's sharpeningAmount is against the back buffer);
    // NaN for any other candidate.
    double sharpening = std::numeric_limits<double>::quiet_NaN();
};

// Per-channel map of the 256 levels, as the colour curve is measured.
using LevelMap = std::array<std::array<std::uint8_t, 256>, 3>;

// The colour step the figures' spatial part was read after, or null where none was.
const LevelMap* colourStepOf(const PresentationFigures& figures);

// Distances of every candidate, ascending; with a curve also each after it (colour-only
// candidates are not: the curve stands for them). None where the sizes differ.
std::vector<FamilyDistance> familyDistances(const std::vector<FamilyCandidate>& candidates, const Image& presented,
                                            const Image& oneSample, double tolerance, const LevelMap* curve = nullptr);

// One step of the verdict and the figures that name it.
struct PresentationStep {
    PresentationClass cls = PresentationClass::Unchanged;
    // ColourChanged
    ColourShape colour = ColourShape::Identity;
    double gamma = 1, gain = 1;
    int low = 0, high = 255;
    // Filter
    FilterShape filter = FilterShape::Identity;
    int kernelSide = 1;
    std::vector<double> kernel;
    double sigma = 0;
    // Morphological
    double threshold = std::numeric_limits<double>::quiet_NaN();
    double reach = std::numeric_limits<double>::quiet_NaN();  // NaN: no stair run to read it on
    double detailKept = 1;
    bool unmodelled = false;  // the evidence says morphological and no family member fits
    // Sharpening
    // The evidence's sharpeningAmount, or after a chain's first step its member's
    // sharpening: an unsharp mask's amount at sigma kSharpeningSigma.
    double strength = 0;
    // Morphological, Sharpening, Filter: the closest member of the step's families
    std::string closest;
    FamilyStep member;
    double distance = std::numeric_limits<double>::infinity();
};

struct PresentationVerdict {
    std::vector<PresentationStep> steps;  // in the order they happen; never empty
    std::string closest;                  // the closest candidate overall
    double distance = std::numeric_limits<double>::infinity();
    double margin = std::numeric_limits<double>::infinity();  // to the next of another name
    std::vector<FamilyDistance> distances;                    // ascending
};

// The verdict from the evidence and the candidates' distances (ascending or not).
PresentationVerdict judgePresentation(const PresentationEvidence& evidence,
                                      const std::vector<FamilyDistance>& distances);

// The class a candidate's step stands for.
PresentationClass classOf(Family family);

}  // namespace measure
