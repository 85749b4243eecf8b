// Image arithmetic for the measuring tool.
#include "measure/core/metrics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace measure {
namespace {

// sRGB decoding of every 8-bit value, made once.
const std::array<double, 256>& decodeTable() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i) {
            double c = i / 255.0;
            t[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    return table;
}

// Nearest 8-bit value, clamped.
std::uint8_t roundByte(double v) { return (std::uint8_t)std::clamp(std::lround(v), 0L, 255L); }

// The 11-tap Gaussian, sigma 1.5, normalised.
std::array<double, 11> gaussianTaps() {
    std::array<double, 11> taps{};
    double sum = 0;
    for (int i = -5; i <= 5; ++i) sum += taps[i + 5] = std::exp(-0.5 * i * i / (1.5 * 1.5));
    for (double& t : taps) t /= sum;
    return taps;
}

// Mirror index with the edge sample repeated (d c b a | a b c d), as scipy's "reflect".
int mirror(int i, int n) {
    while (i < 0 || i >= n) i = i < 0 ? -i - 1 : 2 * n - i - 1;
    return i;
}

// Separable Gaussian blur of one plane. Each output sums its eleven taps in the same order
// in both passes; the rows are padded once so the inner loops need no mirroring.
std::vector<double> blur(const std::vector<double>& in, int w, int h) {
    static const std::array<double, 11> taps = gaussianTaps();
    std::vector<double> tmp(in.size()), out(in.size(), 0.0), padded((std::size_t)w + 10);
    for (int y = 0; y < h; ++y) {
        const double* row = &in[(std::size_t)y * w];
        for (int x = -5; x < w + 5; ++x) padded[(std::size_t)(x + 5)] = row[mirror(x, w)];
        double* dst = &tmp[(std::size_t)y * w];
        for (int x = 0; x < w; ++x) {
            double s = 0;
            for (int k = 0; k < 11; ++k) s += taps[k] * padded[(std::size_t)(x + k)];
            dst[x] = s;
        }
    }
    for (int y = 0; y < h; ++y) {
        double* dst = &out[(std::size_t)y * w];
        for (int k = -5; k <= 5; ++k) {
            const double* src = &tmp[(std::size_t)mirror(y + k, h) * w];
            const double tap = taps[k + 5];
            for (int x = 0; x < w; ++x) dst[x] += tap * src[x];
        }
    }
    return out;
}

}  // namespace

double srgbToLinear(std::uint8_t value) { return decodeTable()[value]; }

std::uint8_t linearToSrgb(double linear) {
    linear = std::clamp(linear, 0.0, 1.0);
    double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return roundByte(c * 255.0);
}

Accumulator::Accumulator(int width, int height, Sums sums)
    : width_(width),
      height_(height),
      stored_((std::size_t)width * height * 3, 0),
      linear_(sums == Sums::StoredAndLinear ? (std::size_t)width * height * 3 : 0, 0.0f) {}

void Accumulator::add(const Image& image) {
    for (std::size_t i = 0; i < stored_.size(); ++i) stored_[i] += image.rgb[i];
    const std::array<double, 256>& table = decodeTable();
    for (std::size_t i = 0; i < linear_.size(); ++i) linear_[i] += (float)table[image.rgb[i]];
    ++count_;
}

Image Accumulator::meanStored() const {
    Image out(width_, height_);
    for (std::size_t i = 0; i < stored_.size(); ++i) out.rgb[i] = roundByte((double)stored_[i] / count_);
    return out;
}

Image Accumulator::meanLinear() const {
    if (linear_.empty()) return Image();
    Image out(width_, height_);
    for (std::size_t i = 0; i < linear_.size(); ++i) out.rgb[i] = linearToSrgb((double)linear_[i] / count_);
    return out;
}

std::vector<Region> Accumulator::regions() const {
    std::vector<Region> out((std::size_t)width_ * height_);
    const std::uint32_t white = 255u * (std::uint32_t)count_;
    for (std::size_t p = 0; p < out.size(); ++p) {
        std::uint32_t g = stored_[p * 3 + 1];
        out[p] = g == white ? Region::Outside : g == 0 ? Region::Interior : Region::Edge;
    }
    return out;
}

double rmse(const Image& a, const Image& b, const std::vector<bool>* mask) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t p = 0; p < a.pixels(); ++p) {
        if (mask && !(*mask)[p]) continue;
        for (int c = 0; c < 3; ++c) {
            double d = (double)a.rgb[p * 3 + c] - b.rgb[p * 3 + c];
            sum += d * d;
        }
        n += 3;
    }
    return n ? std::sqrt(sum / n) : 0.0;
}

double psnr(double rmse) {
    if (rmse == 0) return std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(255.0 / rmse);
}

SsimReference prepareSsim(const Image& b) {
    SsimReference prepared;
    prepared.image = &b;
    const std::size_t n = b.pixels();
    for (int c = 0; c < 3; ++c) {
        std::vector<double> y(n), yy(n);
        for (std::size_t p = 0; p < n; ++p) {
            y[p] = b.rgb[p * 3 + c];
            yy[p] = y[p] * y[p];
        }
        prepared.mean[c] = blur(y, b.width, b.height);
        prepared.meanSquare[c] = blur(yy, b.width, b.height);
    }
    return prepared;
}

double ssim(const Image& a, const Image& b) { return ssim(a, prepareSsim(b)); }

double ssim(const Image& a, const SsimReference& prepared) {
    const Image& b = *prepared.image;
    const int w = a.width, h = a.height;
    const std::size_t n = a.pixels();
    const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    for (int c = 0; c < 3; ++c) {
        std::vector<double> x(n), xx(n), xy(n);
        for (std::size_t p = 0; p < n; ++p) {
            x[p] = a.rgb[p * 3 + c];
            xx[p] = x[p] * x[p];
            xy[p] = x[p] * (double)b.rgb[p * 3 + c];
        }
        std::vector<double> ux = blur(x, w, h), uxx = blur(xx, w, h), uxy = blur(xy, w, h);
        const std::vector<double>&uy = prepared.mean[c], &uyy = prepared.meanSquare[c];
        double sum = 0;
        std::size_t count = 0;
        // The window's radius is left out at every border, as the reference implementation crops.
        for (int j = 5; j < h - 5; ++j)
            for (int i = 5; i < w - 5; ++i) {
                std::size_t p = (std::size_t)j * w + i;
                double vx = uxx[p] - ux[p] * ux[p], vy = uyy[p] - uy[p] * uy[p], vxy = uxy[p] - ux[p] * uy[p];
                sum += ((2 * ux[p] * uy[p] + c1) * (2 * vxy + c2)) /
                       ((ux[p] * ux[p] + uy[p] * uy[p] + c1) * (vx + vy + c2));
                ++count;
            }
        total += count ? sum / count : 1.0;
    }
    return total / 3;
}

std::vector<int> coverageLevels(const Image& coverage, const std::vector<bool>& pixels) {
    std::array<std::size_t, 256> histogram{};
    std::size_t total = 0;
    for (std::size_t p = 0; p < coverage.pixels(); ++p)
        if (pixels[p]) {
            ++histogram[coverage.rgb[p * 3 + 1]];
            ++total;
        }
    // A true level recurs all along every edge; a value from a blade corner or the ring's
    // shared centre, or a rounding neighbour of a level, turns up a handful of times. So a
    // value counts when it holds at least 1 in 1000 edge pixels, and never fewer than 3.
    std::size_t least = std::max<std::size_t>(3, total / 1000);
    std::vector<int> levels;
    for (int v = 0; v < 256; ++v)
        if (histogram[v] >= least) levels.push_back(v);
    return levels;
}

int effectiveSamples(const std::vector<int>& levels) {
    int intermediate = 0;
    for (int v : levels) intermediate += v != 0 && v != 255;
    return intermediate + 1;
}

Image heatMap(const Image& a, const Image& b) {
    Image out(a.width, a.height);
    for (std::size_t p = 0; p < a.pixels(); ++p) {
        int d = 0;
        for (int c = 0; c < 3; ++c) d = std::max(d, std::abs((int)a.rgb[p * 3 + c] - (int)b.rgb[p * 3 + c]));
        int t = std::min(d * 8, 511);  // 64 levels reach yellow
        out.rgb[p * 3] = (std::uint8_t)std::min(t, 255);
        out.rgb[p * 3 + 1] = (std::uint8_t)std::max(t - 256, 0);
        out.rgb[p * 3 + 2] = 0;
    }
    return out;
}

}  // namespace measure
