// What presentation did to the picture, as figures: the presented picture against the
// tool's back buffer of the same frame. A monotone colour curve per channel, the linear
// kernel that best explains what is left, the share changed against local contrast (a
// morphological filter's threshold), the overshoot and its halo, the reach of changes along
// stair-stepped edges and how well the edges recover the reference's coverage, and the
// texture detail any picture keeps of the reference's per landmark. Pure functions of
// images; the verdict (verdict.h) and the words (report/) are made from these values.
#pragma once

#include "measure/aa/verdict.h"
#include "measure/core/metrics.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace measure {

// Rec. 601 luma of stored values, 0..1: what FXAA, SMAA and CMAA2 test edges on.
double lumaOf(const Image& image, std::size_t pixel);
std::vector<float> lumaPlane(const Image& image);

// ----- colour: a monotone curve per channel

enum class CurveShape : std::uint8_t { Identity, Gain, Gamma, LimitedRange, Levels, Other };

struct ColourCurve {
    std::array<std::array<std::uint8_t, 256>, 3> map{};  // per channel, monotone (falling for an inverted picture)
    double residual = 0;   // RMSE in 8-bit levels of the presented picture after the curve, every pixel
    double deviation = 0;  // RMS over the levels seen of map(v) - v: how far the curve moves levels
    CurveShape shape = CurveShape::Identity;
    double shapeError = 0;       // RMS in levels of the named shape against the fitted curve
    double gamma = 1, gain = 1;  // out = 255 (v/255)^gamma; out = gain v (clamped to 255)
    int low = 0, high = 255;     // the straight line through the curve at 0 and 255: 16 and 235 for limited range
};

// Best per-channel monotone map (pool-adjacent-violators on each level's mean, weighted by
// its count) from `back` to `presented`, both the same size, and its shape. Fitted on the
// pixels `fitOn` marks (every pixel without it); the residual is always over every pixel.
ColourCurve fitColourCurve(const Image& back, const Image& presented, const std::vector<bool>* fitOn = nullptr);
Image applyCurve(const Image& image, const ColourCurve& curve);

// The presented picture as a function of the back buffer's colour (its RGB triple), which
// any pointwise change is, however it mixes the channels (saturation, vibrance, a colour
// matrix, a 3D look-up table): how far the presented pixels of one back-buffer colour
// scatter about their mean. Read over the colours a changed pixel has, each seen twice or
// more; NaN where fewer than half the changed pixels have such a colour.
struct ColourFunction {
    double residual = std::numeric_limits<double>::quiet_NaN();  // levels RMS about each colour's mean
    double change = 0;                                           // levels RMS of the change over the same pixels
    double groupedShare = 0;  // of the changed pixels, those whose colour is seen twice or more
};

ColourFunction colourFunction(const Image& back, const Image& presented, double tolerance);

// ----- linear filter: the least-squares kernel

enum class KernelShape : std::uint8_t { Identity, Box, Tent, Gaussian, Sharpening, Other };

struct Kernel {
    int side = 1;                 // 1, 3 or 5
    std::vector<double> weights;  // side x side, rows top to bottom, centred on the pixel
    double sum = 1;               // the weights' sum (1 for a filter that keeps flat areas)
    double residual = 0;          // RMSE in 8-bit luma levels after the kernel
    double identityResidual = 0;  // ... with the identity kernel, for the share explained
    KernelShape shape = KernelShape::Identity;
    double shapeError = 0;            // L2 of the weights against the named shape's
    int boxSide = 0;                  // Box, Tent: the side (a 2 x 2 box sits off-centre)
    double sigma = 0;                 // Gaussian: its width in pixels
    double negativeSum = 0;           // the sum of negative weights (a sharpening's lobes), <= 0
    double centreX = 0, centreY = 0;  // the weights' centroid, pixels right and down of the pixel
};

// Least squares on luma, solved in double through the normal equations, over every pixel
// whose footprint lies inside the picture. `maxSide` 1, 3 or 5.
Kernel fitKernel(const Image& back, const Image& target, int maxSide = 5);
// The kernel's luma prediction of a picture's luma: the kernel applied to `back`.
std::vector<float> applyKernel(const std::vector<float>& luma, int width, int height, const Kernel& kernel);

// ----- contrast gating

// The luma range over 3 x 3 binned into kGatingBins equal bins of 0..1: 4 levels each,
// fine enough for FXAA's lowest published threshold (0.0312).
constexpr int kGatingBins = 64;

struct ContrastGating {
    std::array<double, kGatingBins + 1> edges{};       // bin edges in luma
    std::array<double, kGatingBins> changedShare{};    // share of the bin's pixels changed beyond the tolerance
    std::array<double, kGatingBins> relativeChange{};  // mean luma change over the bin's luma range
    std::array<std::size_t, kGatingBins> counts{};
    bool gated = false;
    double threshold = 0;  // luma range where changes begin; NaN when not gated
};

// `base` is what the presented picture is compared with: the back buffer, or the back
// buffer through the fitted colour curve. The pixels are binned by the luma range of
// `contrastOf` (the back buffer itself, where a curve changed the levels), of `base`
// without it. `tolerance` in 8-bit levels.
ContrastGating contrastGating(const Image& base, const Image& presented, double tolerance,
                              const Image* contrastOf = nullptr);

// ----- range: overshoot and halo

struct RangeFigures {
    std::size_t changed = 0;    // pixels beyond the tolerance in some channel
    double changedShare = 0;    // of every pixel
    double overshootShare = 0;  // of the changed pixels, those outside the base's local range
    double overshootDepth = 0;  // mean levels beyond that range, over the overshooting pixels
    int haloWidth = 0;          // pixels from a strong edge the overshoot reaches (0: none)
    // Correlation of the change with the detail above a Gaussian of sigma 1: a sharpening
    // adds that detail back (above 0), an average takes it away (below 0).
    double detailCorrelation = 0;
};

RangeFigures rangeFigures(const Image& base, const Image& presented, double tolerance);

// ----- along edges

struct EdgeFigures {
    std::size_t runs = 0;           // stair runs (steps of the one-sample staircase) looked at
    double reachMean = 0;           // pixels along a run changed in a row from its step, mean over steps
    double reachMax = 0;            // ... the largest
    double runLengthMean = 0;       // the runs' mean length, what the reach is read against
    double runChangedShare = 0;     // share of the runs' pixels changed
    double edgeError = 0;           // coverage recovered from the picture against the reference's, levels RMS
    double oneSampleEdgeError = 0;  // ... from the one-sample frame, the same pixels
    std::size_t edgePixels = 0;     // the pixels the two errors are taken over
    bool fromCoverage = false;      // the errors are coverage passes' (coverageEdgeError)
};

// `oneSample` is the back buffer (the staircase), `picture` what became of it;
// `referenceCoverage` the reference's coverage pass (blades black on white), `bands` its
// regions. A pixel's coverage is read from where its colour lies between the nearby
// covered and uncovered colours of the one-sample frame, and compared with the reference's
// coverage pass, or, where `reference` is given, with the reference's colours read the
// same way (which leaves the texture under the edge out of the error).
EdgeFigures edgeFigures(const Image& oneSample, const Image& picture, const Image& referenceCoverage,
                        const Bands& bands, double tolerance, const Image* reference = nullptr);
// The geometric edge score over the edge pixels and the band beside them: a coverage pass
// of the picture (the family over the one-sample coverage pass, or a presented coverage
// frame) against the reference's, RMSE in levels.
double coverageEdgeError(const Image& pictureCoverage, const Image& referenceCoverage, const Bands& bands);

// ----- texture detail kept

enum class LandmarkKind : std::uint8_t { Interiors, Checkerboards, ThinLines, Caption };

struct Landmark {
    LandmarkKind kind = LandmarkKind::Interiors;
    std::vector<bool> mask;  // one a pixel
};

// Two band-pass layers of luma: the finest (picture less its Gaussian blur of sigma 1) and
// the next (that blur less one of sigma 2).
constexpr int kDetailBands = 2;

struct DetailKept {
    LandmarkKind kind = LandmarkKind::Interiors;
    bool hasDetail = false;  // false where the reference has no energy there in any band
    double kept = 0;         // share of the reference's band energy the picture keeps, 0..1
    double falseDetail = 0;  // the picture's band energy that is not the reference's, over the reference's
    std::array<double, kDetailBands> keptByBand{};  // NaN where that band is left out
    std::size_t pixels = 0;
};

// The reference prepared once for many pictures.
struct DetailReference {
    int width = 0, height = 0;
    std::array<std::vector<float>, kDetailBands> bands;
};
DetailReference prepareDetail(const Image& reference);
// For any picture of the reference's size: the presented one, a capture, a candidate.
std::vector<DetailKept> detailKept(const DetailReference& reference, const Image& picture,
                                   const std::vector<Landmark>& landmarks);
std::vector<DetailKept> detailKept(const Image& reference, const Image& picture,
                                   const std::vector<Landmark>& landmarks);

// ----- scaled

struct ScaleFigures {
    bool sameSize = true;
    double scaleX = 1, scaleY = 1;  // presented size over back buffer size, or fitted from the shifts
    double shiftX = 0, shiftY = 0;  // mean displacement of the tiles, pixels
    double shiftSpread = 0;         // largest displacement of a tile from the mean, pixels
    int tiles = 0;                  // tiles with enough texture to be placed
    bool resampled = false;         // the picture is not the back buffer's grid
};

// Each tile of the presented picture with structure both ways placed on the back buffer by
// the best shift (Gauss-Newton refined); a scaled picture's shifts grow across it, a moved
// one's are all alike off a filter's centre, a local filter's scatter. Give `back` after
// the colour step (as measurePresentation does): a curve left in pulls the tiles.
ScaleFigures scaleFigures(const Image& back, const Image& presented);

// ----- all together

struct PresentationInput {
    const Image* back = nullptr;       // the back buffer, read before the swap
    const Image* presented = nullptr;  // what the screen shows
    const Image* reference = nullptr;  // the many-sample reference; null: no detail or edge figures
    const Image* referenceCoverage = nullptr;
    const Bands* bands = nullptr;
    // Coverage passes of the presented picture and of the one-sample frame, where the caller
    // has them: the edge errors are then the geometric edge score's.
    const Image* presentedCoverage = nullptr;
    const Image* oneSampleCoverage = nullptr;
    const std::vector<Landmark>* landmarks = nullptr;
    double tolerance = 1;  // 8-bit levels: the framebuffer's quantisation step
};

enum class CurveBase : std::uint8_t { Identity, EveryPixel, FlatPixels };

struct PresentationFigures {
    bool sameSize = true;
    std::size_t differing = 0;  // pixels beyond the tolerance against the back buffer
    double rmse = 0;            // against the back buffer
    // The curve on every pixel: its residual says whether the change is pointwise.
    ColourCurve everyPixel;
    ColourFunction byColour;  // pointwise across channels too
    // The colour step the spatial figures are read after: the identity, `everyPixel`, or
    // the curve of the pixels whose 5 x 5 is flat (which no filter of up to 5 x 5 changes,
    // so a blur cannot dilute it), whichever leaves the kernel the least residual.
    ColourCurve curve;
    CurveBase curveBase = CurveBase::Identity;
    Kernel kernel;  // after the curve
    ContrastGating gating;
    RangeFigures range;
    EdgeFigures edges;
    bool hasEdges = false;
    std::vector<DetailKept> detail;      // the presented picture
    std::vector<DetailKept> backDetail;  // the back buffer, what presentation started from
    ScaleFigures scale;
};

PresentationFigures measurePresentation(const PresentationInput& in);

}  // namespace measure
