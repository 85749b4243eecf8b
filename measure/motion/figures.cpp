// Motion's figures from pictures: temporal error per pixel class, blade flicker, profiles and crops.
#include "measure/motion/figures.h"

#include "measure/core/crop.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace measure {
namespace {

constexpr double kPi = 3.14159265358979323846;
// The renderer's blades: fifteen, 2 pi / 15 apart, each 0.3 radians wide from its start angle.
constexpr double kBladeStep = 2 * kPi / kBlades;
constexpr double kBladeWidth = 0.3;

// The index of a class bit in the sums.
int classIndex(MotionClass cls) { return cls == kMotionEdge ? 0 : cls == kMotionInterior ? 1 : 2; }

// The nearest pixel to (x, y), clamped to the image; rows from the top.
std::size_t nearest(int width, int height, double x, double y) {
    int i = std::clamp((int)std::floor(x), 0, width - 1), j = std::clamp((int)std::floor(y), 0, height - 1);
    return (std::size_t)j * width + i;
}

// A square crop around (x, y) at 1x, clamped to the image.
Image square(const Image& frame, const double at[2]) { return crop(frame, at[0], at[1], kCropSide, 1); }

}  // namespace

Image rounded(const FloatImage& f) {
    Image out(f.width, f.height);
    for (std::size_t i = 0; i < f.rgb.size(); ++i)
        out.rgb[i] = (std::uint8_t)std::clamp(std::lround(f.rgb[i]), 0L, 255L);
    return out;
}

void TemporalError::add(const Image& frame, const FloatImage& reference) {
    if (!previous_.rgb.empty()) {
        for (std::size_t p = 0; p < frame.pixels(); ++p) {
            const std::uint8_t bits = classes_[p];
            if (!bits) continue;
            double sq = 0;
            for (int c = 0; c < 3; ++c) {
                const std::size_t i = p * 3 + c;
                double d =
                    ((double)frame.rgb[i] - previous_.rgb[i]) - ((double)reference.rgb[i] - previousReference_.rgb[i]);
                sq += d * d;
            }
            for (int k = 0; k < 3; ++k)
                if (bits & (1 << k)) {
                    sum_[k] += sq;
                    count_[k] += 3;
                }
        }
    }
    previous_ = frame;
    previousReference_ = reference;
}

double TemporalError::rmse(MotionClass cls) const {
    const int k = classIndex(cls);
    return count_[k] ? std::sqrt(sum_[k] / count_[k]) : 0.0;
}

std::vector<std::uint8_t> bladeSectors(int width, int height, double centreX, double centreY, double aspect,
                                       double rotationDegrees, double innerRadius, double outerRadius) {
    std::vector<std::uint8_t> out((std::size_t)width * height, 255);
    const double theta = rotationDegrees * kPi / 180.0;
    // Sector borders lie in the middle of the gaps between blades.
    const double halfGap = (kBladeStep - kBladeWidth) / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double px = x + 0.5 - centreX, py = centreY - (y + 0.5);
            const double r = std::hypot(px, py);
            if (r < innerRadius || r > outerRadius) continue;
            // The blades start at angle a from the y axis towards x, before the rotation.
            double a = kPi / 2 - std::atan2(py, px / aspect) + theta + halfGap;
            a = std::fmod(a, 2 * kPi);
            if (a < 0) a += 2 * kPi;
            out[(std::size_t)y * width + x] = (std::uint8_t)std::min((int)(a / kBladeStep), kBlades - 1);
        }
    return out;
}

void BladeFlicker::add(const Image& frame, const FloatImage& reference, const std::vector<std::uint8_t>& sectors) {
    std::vector<double> step(sums_.size(), 0.0);
    for (std::size_t p = 0; p < frame.pixels(); ++p) {
        const std::uint8_t b = sectors[p];
        if (b >= step.size()) continue;
        for (int c = 0; c < 3; ++c) step[b] += ((double)frame.rgb[p * 3 + c] - reference.rgb[p * 3 + c]) / 3;
    }
    for (std::size_t b = 0; b < step.size(); ++b) sums_[b].push_back(step[b]);
}

double BladeFlicker::percent(const std::vector<double>& brightness) const {
    double sum = 0;
    int blades = 0;
    for (std::size_t b = 0; b < sums_.size(); ++b) {
        const std::vector<double>& s = sums_[b];
        if (s.size() < 2 || b >= brightness.size() || brightness[b] <= 0) continue;
        double mean = 0, var = 0;
        for (double v : s) mean += v;
        mean /= s.size();
        for (double v : s) var += (v - mean) * (v - mean);
        const double relative = std::sqrt(var / s.size()) / brightness[b] * 100;
        sum += relative * relative;
        ++blades;
    }
    return blades ? std::sqrt(sum / blades) : 0.0;
}

unsigned long long motionBytes(const MotionSettings& m, int width, int height) {
    const unsigned long long pixels = (unsigned long long)width * (unsigned long long)height;
    return pixels * ((unsigned long long)m.steps * (3 * sizeof(float) + 1) + 3 * sizeof(std::uint32_t) + 16);
}

void motionShift(const MotionSettings& m, int step, double& dx, double& dy) {
    const double a = m.directionDegrees * kPi / 180.0;
    dx = step * m.speed * std::cos(a);
    dy = step * m.speed * std::sin(a);
}

Image profileLine(const Image& frame, const double ends[4], int length) {
    Image out(length, 1);
    for (int i = 0; i < length; ++i) {
        const double t = (i + 0.5) / length;
        const std::size_t p =
            nearest(frame.width, frame.height, ends[0] + t * (ends[2] - ends[0]), ends[1] + t * (ends[3] - ends[1]));
        for (int c = 0; c < 3; ++c) out.rgb[(std::size_t)i * 3 + c] = frame.rgb[p * 3 + c];
    }
    return out;
}

Image cropPair(const Image& frame, const double a[2], const double b[2]) {
    Image left = square(frame, a), right = square(frame, b);
    Image out(left.width + 1 + right.width, std::max(left.height, right.height));
    std::fill(out.rgb.begin(), out.rgb.end(), (std::uint8_t)128);
    auto paste = [&](const Image& part, int x0) {
        for (int y = 0; y < part.height; ++y)
            std::copy_n(&part.rgb[(std::size_t)y * part.width * 3], (std::size_t)part.width * 3,
                        &out.rgb[((std::size_t)y * out.width + x0) * 3]);
    };
    paste(left, 0);
    paste(right, left.width + 1);
    return out;
}

}  // namespace measure
