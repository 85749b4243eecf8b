// Sample positions recovered from a swept corner's counts: the corner moved across a pixel
// in 1/64-pixel steps (aa/position_sweep.h draws it), each sample found where the pixel's
// covered count steps. Positions closer than a step to each other or to the pixel's edge
// are not told apart. No OpenGL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace measure {

// The sweep's resolution: steps per pixel, each way.
constexpr int kSweepSteps = 64;

// How the measured positions compare with the driver's.
enum class PositionsCheck : std::uint8_t {
    Agree,
    NotMeasured,  // the sweep failed (why)
    NotReported,  // the driver reports no GL_SAMPLE_POSITION
    Differ,
};

// A multisampled target's positions as the driver reports them and as the picture shows.
struct SamplePositions {
    std::string target;           // "msaa-4", "window"
    int samples = 0;              // the count granted
    std::vector<float> driver;    // GL_SAMPLE_POSITION, (x, y) pairs; empty when not reported
    std::vector<float> measured;  // from the sweep, (x, y) pairs; empty when it failed
    bool agree = false;           // every measured position within one step of a reported one
    PositionsCheck check = PositionsCheck::NotMeasured;
    std::string why;  // NotMeasured: the sweep's reason
};

// The positions from the sweep's counts: counts[j * kSweepSteps + i] is how many samples
// the rectangle from ((i - 0.5) / 64, (j - 0.5) / 64) to the pixel's upper-right corner
// covers. Its mixed differences put each sample in its step. False with a reason when the
// counts cannot come from `samples` points.
bool recoverPositions(const std::vector<int>& counts, int samples, std::vector<float>& xy, std::string& why);

// Whether two lists hold the same points, each within `tolerance` of a distinct partner.
bool samePoints(const std::vector<float>& a, const std::vector<float>& b, double tolerance);

}  // namespace measure
