// Motion's figures: the temporal error per pixel class, blade flicker, the drift's shifts,
// profiles and crops, from pictures alone (the drift that draws them is motion/drift.h).
#pragma once

#include "measure/core/metrics.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace measure {

// The renderer's blades, and the pixels of a profile row.
constexpr int kBlades = 15;
constexpr int kProfileLength = 40;

// Pixel classes over a whole sequence, as bits: partly covered at some step, wholly covered
// at every step, and the wholly covered ones in the minified middle of the ring.
enum MotionClass : std::uint8_t { kMotionEdge = 1, kMotionInterior = 2, kMotionCentre = 4 };

// An RGB image of unrounded values (8-bit scale): a mean of many renders.
struct FloatImage {
    int width = 0;
    int height = 0;
    std::vector<float> rgb;

    FloatImage() = default;
    FloatImage(int w, int h) : width(w), height(h), rgb((std::size_t)w * h * 3, 0.0f) {}
};
// An 8-bit image from unrounded values.
Image rounded(const FloatImage& f);

// The temporal error of one mode over a sequence: each pixel's change from one step to the
// next against the reference's own change, as RMSE (8-bit levels, three channels) per class.
class TemporalError {
public:
    explicit TemporalError(const std::vector<std::uint8_t>& classes) : classes_(classes) {}
    // The mode's frame and the reference at the next step.
    void add(const Image& frame, const FloatImage& reference);
    double rmse(MotionClass cls) const;

private:
    const std::vector<std::uint8_t>& classes_;
    Image previous_;
    FloatImage previousReference_;
    double sum_[3] = {0, 0, 0};
    std::size_t count_[3] = {0, 0, 0};
};

// Which blade (0 to 14) each pixel's angle around the ring's centre falls to, 255 where it
// counts for none (too near the centre, or near enough to the picture's border to leave it).
// `aspect` is the projection's horizontal scale over its vertical one, in pixels.
std::vector<std::uint8_t> bladeSectors(int width, int height, double centreX, double centreY, double aspect,
                                       double rotationDegrees, double innerRadius, double outerRadius);

// Blade flicker: each blade's total brightness less the reference's over the same pixels,
// followed over the steps; its standard deviation as a percentage of the blade's brightness.
class BladeFlicker {
public:
    explicit BladeFlicker(int blades) : sums_((std::size_t)blades) {}
    // One step: the frame, the reference and that step's sectors.
    void add(const Image& frame, const FloatImage& reference, const std::vector<std::uint8_t>& sectors);
    // The RMS over blades; `brightness` is each blade's total brightness in the reference.
    double percent(const std::vector<double>& brightness) const;

private:
    std::vector<std::vector<double>> sums_;
};

// Where the drift goes: `steps` frames, each `speed` pixels on from the last along
// `directionDegrees` (counter-clockwise from the x axis) and turned `rotationDegrees` further.
struct MotionSettings {
    int steps = 16;
    int k = 8;          // the moving reference averages k x k sub-pixel renders a step
    int coverageK = 4;  // and its coverage, for the pixel classes, k x k
    double speed = 0.25;
    double directionDegrees = 27.0;
    double rotationDegrees = 0.03;
};

// Bytes the drift holds at this size: the reference and the blade sectors of every step,
// and the sums of one step's renders.
unsigned long long motionBytes(const MotionSettings& m, int width, int height);

// The shift in pixels (x right, y up) of step s.
void motionShift(const MotionSettings& m, int step, double& dx, double& dy);

// What a figure's mode is: the moving reference, or one of the still run's kinds.
enum class MotionKind : std::uint8_t { Reference, Window, Msaa, Ssaa, Filter };

// One mode's figures and pictures.
struct MotionFigures {
    std::string name;
    MotionKind kind = MotionKind::Reference;
    std::size_t capture = 0;                    // its still capture in the run's captures (not the reference)
    int samples = 1;                            // per pixel, as granted
    double edge = 0, interior = 0, centre = 0;  // temporal error, 8-bit levels
    double flicker = 0;                         // RMS over blades, % of a blade's brightness
    Image profile;                              // the two pixel rows, one line a step
    std::vector<Image> frames;                  // the animated crop
};

struct MotionResults {
    bool measured = false;
    MotionSettings settings;
    double referenceCheckRmse = 0;  // step 0 of the moving reference against the still one
    double referenceCheckEdgeRmse = 0;
    std::size_t edgePixels = 0, interiorPixels = 0, centrePixels = 0;
    double profileEdge[4] = {0, 0, 0, 0};  // the two rows' ends at step 0, pixels
    double profileCentre[4] = {0, 0, 0, 0};
    MotionFigures reference;  // its profile and animated crop
    std::vector<MotionFigures> modes;
};

// A row of `length` pixels from (x0, y0) to (x1, y1), the nearest pixel at each point.
Image profileLine(const Image& frame, const double ends[4], int length);
// Two square crops side by side, around a and b.
Image cropPair(const Image& frame, const double a[2], const double b[2]);

}  // namespace measure
