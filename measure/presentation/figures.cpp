// What presentation did, as figures (figures.h): each property read from the presented
// picture against the back buffer, every threshold a named constant with where it comes from.
#include "measure/presentation/figures.h"

#include "measure/core/parallel.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace measure {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ----- colour
// A named curve must come within this RMS of the fitted one, in levels: rounding to 8 bits
// puts an exact curve 0.3 off, a 5-6-5 back buffer's sparse levels about as much again.
constexpr double kShapeLevels = 1.5;
// The range a display path set to limited-range RGB squeezes 0..255 into (BT.709's video levels).
constexpr int kLimitedLow = 16, kLimitedHigh = 235;
// Gammas searched: beyond these a display path's curve is no gamma anyone sets. Sixty
// golden-section steps narrow the range to under 1e-9.
constexpr double kGammaLow = 0.2, kGammaHigh = 5.0;
constexpr int kGammaSteps = 60;

// ----- kernel
// Weights of a normalised kernel this close (L2) to a named one are that shape: 8-bit
// rounding of the filtered picture leaves about 0.01 on an exact filter (the tests' box,
// tent and Gaussian), a 5-6-5 back buffer about 0.02.
constexpr double kKernelMatch = 0.05;
// Negative weights summing below this are a sharpening's lobes: an unsharp mask of amount
// 0.6 at sigma 1 has -0.4, CAS at sharpness 0.4 -0.45 on the tests' scene; the best kernel
// of FXAA there has -0.04, 8-bit rounding alone a few thousandths.
constexpr double kNegativeLobes = -0.1;
// A kernel is named only where it explains the change: its residual at most this share of
// the identity's. The tests' filters leave under a tenth; MLAA (0.6) and the reference
// (0.64) on the tests' scene are Other, FXAA (0.37) is named only where its weights match.
constexpr double kExplained = 0.5;
// A ring of the 5 x 5 kernel whose weights all stay below this is left out of its side.
constexpr double kNegligibleWeight = 0.01;
// The ridge that keeps directions the picture cannot tell at the identity, relative to the
// normal matrix's mean diagonal: far below any weight that matters, above rounding.
constexpr double kRidge = 1e-7;
// The Gaussian's width is searched over this range, in pixels (a 5 x 5 kernel cannot tell
// wider ones from a box).
constexpr double kSigmaLow = 0.3, kSigmaHigh = 2.5, kSigmaStep = 0.005;

// ----- gating
// Bins with fewer pixels say nothing about their contrast.
constexpr std::size_t kMinBinPixels = 16;
// A bin the filter acts on changes at least this share of the pixels that the busiest bin
// changes: FXAA at its default subpixel blend changes up to 90 % of a contrast's pixels,
// without it (only the ends of spans) 25 %, and the gate lies below both alike.
constexpr double kGateActive = 0.5;
// A change whose busiest contrast keeps nine pixels in ten says too little for a gate.
constexpr double kGateBusiest = 0.1;
// A quiet bin changes at most this share of its pixels beyond the tolerance (a stray pixel
// whose diagonal neighbour passes a cross-shaped test, as FXAA's is)...
constexpr double kQuietShare = 0.02;
// ... and its mean change relative to the luma range stays under this share of the active
// bins'. A box or tent changes every contrast by about the same share (0.15 to 0.5 of the
// range on the tests' scene) even where the tolerance hides it; a gate changes nothing.
constexpr double kGateQuiet = 0.15;
// The lowest bin a gate may begin at: below 2 bins (0.03 luma, FXAA's own "visible limit")
// the 8-bit rounding of a linear filter's small changes decides the crossing.
constexpr int kMinGateBin = 2;

// ----- range
// Overshoot is read against the back buffer's range over 5 x 5, not 3 x 3: a blur up to the
// kernel's 5 x 5 stays inside that footprint's range, whereas over 3 x 3 a 5 x 5 blur's
// outer ring would count as overshoot.
constexpr int kRangeRadius = 2;
// A strong edge, where halos are measured from: a quarter of the luma scale over 3 x 3.
constexpr double kStrongEdge = 0.25;
// The halo is followed this far, pixels (an unsharp mask of sigma 2 reaches about 6).
constexpr int kMaxHalo = 8;
// A distance with this share of the overshoot of the busiest one is still the halo.
constexpr double kHaloShare = 0.1;
// Below this share of the changed pixels in colours seen twice or more, the scatter about
// each colour's mean says too little (quillmere's frame: 92 % and more under every change
// tried, a saturation boost over the few coloured pixels included).
constexpr double kMinGroupedShare = 0.5;
// The detail the change is correlated with: the back buffer above a Gaussian of the
// unsharp mask's own width (the verdict's kSharpeningSigma).
constexpr double kDetailSigma = 1.0;

// ----- edges
// A boundary between two pixels of the one-sample frame is a stair step's run where their
// luma differs by this much (a tenth of the scale: the blades against the background) and
// one of them is an edge pixel of the reference.
constexpr double kStepContrast = 0.1;
// Runs shorter than this have no length to reach along (a 45-degree edge's are 1): on
// shorter ones a morphological filter's blend, reaching half a run from each end, and a
// blur both change every pixel.
constexpr int kMinRun = 8;
// Inside and outside colours closer than this (8-bit levels, RGB distance) cannot place a
// pixel's coverage between them.
constexpr double kCoverageContrast = 40;
// The neighbourhood the inside and outside colours come from, pixels each way.
constexpr int kCoverageRadius = 2;

// ----- detail
// Gaussian widths of the band-pass layers' blurs, pixels.
constexpr double kBandSigma[kDetailBands] = {1.0, 2.0};
// A band counts where the reference has at least this share of its busiest band's energy
// there, and at least kDetailFloor level^2 a pixel (0.5 levels RMS: below 8-bit rounding's noise).
constexpr double kBandShare = 0.05;
constexpr double kDetailFloor = 0.25;

// ----- scale
// Tiles placed one by one, pixels, overlapping by half so that a small picture has
// tiles at more than one height and width to fit a scale from (smaller tiles scatter by a
// pixel or more under FXAA's blends).
constexpr int kTile = 64, kTileStep = kTile / 2;
constexpr int kSearch = 4;          // shifts searched each way, pixels
constexpr double kTileTexture = 4;  // luma levels RMS a tile needs to be placed
// A tile is placed only where its gradients have this RMS (levels a pixel, after the match
// blur) along their weakest direction: a tile of edges all one way (a line, a caption's
// rows) slides along them, and its shift there is whatever a filter's blends make it.
// The test scenes' tiles have 2.5 or more; a tile of edges one way, 8-bit rounding's 0.1.
constexpr double kTileStructure = 1.0;
// Both pictures are blurred by this sigma (pixels) before they are matched, so that the
// matching cost is smooth near its least and the sub-pixel steps converge.
constexpr double kMatchBlur = 1.5;
constexpr int kRefineSteps = 3;  // Gauss-Newton steps; the third moves a tile by under 0.01 pixel
// A fitted scale resamples where it moves the picture's sides this far (pixels) from where
// its centre keeps them: a scale of 0.002 off 1 at 820 wide. FXAA and a limited-range
// squeeze measured end to end fit 0.9995 to 1.0003 there (0.2 pixel); FXAA on the tests'
// 160 and 200 wide frames in 5-6-5 fits up to 0.997 (0.25 pixel), which a tolerance on
// the scale alone would call resampled; a 1.02 zoom moves the sides 1.6 pixels or more.
constexpr double kSideDisplacement = 0.8;
// A whole picture moved this far (pixels) from where a filter's footprint centres it (on
// the pixel, or half a pixel right and down for an even side) is placed on another grid.
// FXAA and MLAA leave the tiles' mean within 0.08 of it on the test scenes; the moved
// pictures the tests place are a quarter pixel or more off.
constexpr double kGridOffset = 0.15;
// ... and the tiles agree on that offset where their RMS distance from the mean is below
// this share of it: local blends scatter the tiles (0.42 pixels apart under FXAA end to
// end), a moved picture moves them all alike (0.01).
constexpr double kShiftAgreement = 0.5;

// One row with `r` repeated pixels each side, so the passes below need no clamping.
void padRow(const float* row, int w, int r, std::vector<float>& padded) {
    padded.resize((std::size_t)w + 2 * r);
    for (int i = -r; i < w + r; ++i) padded[i + r] = row[std::clamp(i, 0, w - 1)];
}

// Separable blur of a float plane, borders repeated.
std::vector<float> gaussianPlane(const std::vector<float>& in, int w, int h, double sigma) {
    const int r = (int)std::ceil(3 * sigma);
    std::vector<float> k(2 * r + 1);
    double s = 0;
    for (int i = -r; i <= r; ++i) s += k[i + r] = (float)std::exp(-0.5 * i * i / (sigma * sigma));
    for (float& v : k) v = (float)(v / s);
    std::vector<float> tmp(in.size()), out(in.size(), 0.0f), padded;
    for (int y = 0; y < h; ++y) {
        padRow(&in[(std::size_t)y * w], w, r, padded);
        float* dst = &tmp[(std::size_t)y * w];
        for (int x = 0; x < w; ++x) {
            float a = 0;
            for (int i = 0; i <= 2 * r; ++i) a += k[i] * padded[x + i];
            dst[x] = a;
        }
    }
    for (int y = 0; y < h; ++y) {
        float* dst = &out[(std::size_t)y * w];
        for (int i = -r; i <= r; ++i) {
            const float* src = &tmp[(std::size_t)std::clamp(y + i, 0, h - 1) * w];
            const float weight = k[i + r];
            for (int x = 0; x < w; ++x) dst[x] += weight * src[x];
        }
    }
    return out;
}

// Minimum and maximum over a square of `radius`, separable, borders clamped.
void rangePlane(const std::vector<float>& in, int w, int h, int radius, std::vector<float>& lo,
                std::vector<float>& hi) {
    std::vector<float> tlo(in.size()), thi(in.size()), padded;
    for (int y = 0; y < h; ++y) {
        padRow(&in[(std::size_t)y * w], w, radius, padded);
        for (int x = 0; x < w; ++x) {
            float a = padded[x], b = a;
            for (int i = 1; i <= 2 * radius; ++i) a = std::min(a, padded[x + i]), b = std::max(b, padded[x + i]);
            tlo[(std::size_t)y * w + x] = a;
            thi[(std::size_t)y * w + x] = b;
        }
    }
    lo = tlo;
    hi = thi;
    for (int y = 0; y < h; ++y) {
        float* l = &lo[(std::size_t)y * w];
        float* u = &hi[(std::size_t)y * w];
        for (int j = std::max(0, y - radius); j <= std::min(h - 1, y + radius); ++j) {
            const float* sl = &tlo[(std::size_t)j * w];
            const float* su = &thi[(std::size_t)j * w];
            for (int x = 0; x < w; ++x) l[x] = std::min(l[x], sl[x]), u[x] = std::max(u[x], su[x]);
        }
    }
}

std::vector<float> channelPlane(const Image& image, int c) {
    std::vector<float> out(image.pixels());
    for (std::size_t p = 0; p < out.size(); ++p) out[p] = image.rgb[p * 3 + c];
    return out;
}

// The largest channel difference of one pixel, levels.
int pixelChange(const Image& a, const Image& b, std::size_t p) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs((int)a.rgb[p * 3 + c] - (int)b.rgb[p * 3 + c]));
    return d;
}

// Weighted pool-adjacent-violators: the non-decreasing sequence nearest the means.
std::vector<double> monotone(const std::vector<double>& mean, const std::vector<double>& weight) {
    std::vector<double> value, w;
    std::vector<std::size_t> size;
    for (std::size_t i = 0; i < mean.size(); ++i) {
        value.push_back(mean[i]);
        w.push_back(weight[i]);
        size.push_back(1);
        while (value.size() > 1 && value[value.size() - 2] > value.back()) {
            const std::size_t n = value.size();
            const double ww = w[n - 2] + w[n - 1];
            value[n - 2] = (value[n - 2] * w[n - 2] + value[n - 1] * w[n - 1]) / ww;
            w[n - 2] = ww;
            size[n - 2] += size[n - 1];
            value.pop_back();
            w.pop_back();
            size.pop_back();
        }
    }
    std::vector<double> out;
    for (std::size_t b = 0; b < value.size(); ++b) out.insert(out.end(), size[b], value[b]);
    return out;
}

// Per-level sums of one channel: count, sum and sum of squares of the presented values.
struct LevelSums {
    std::array<double, 256> count{}, sum{}, square{};
};

// Weighted RMS, over the three channels' seen levels, of a model against the fitted map.
template <typename Model>
double shapeError(const std::array<LevelSums, 3>& sums, const ColourCurve& curve, Model model) {
    double e = 0, n = 0;
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            if (sums[c].count[v] > 0) {
                const double d = std::clamp(model(v), 0.0, 255.0) - curve.map[c][v];
                e += sums[c].count[v] * d * d;
                n += sums[c].count[v];
            }
    return n > 0 ? std::sqrt(e / n) : 0;
}

// The gamma whose curve comes nearest the fitted one, by golden-section search.
double fitGamma(const std::array<LevelSums, 3>& sums, const ColourCurve& curve) {
    auto err = [&](double g) { return shapeError(sums, curve, [g](int v) { return 255 * std::pow(v / 255.0, g); }); };
    double a = kGammaLow, b = kGammaHigh;
    const double r = (std::sqrt(5.0) - 1) / 2;
    for (int i = 0; i < kGammaSteps; ++i) {
        const double c = b - r * (b - a), d = a + r * (b - a);
        if (err(c) < err(d))
            b = d;
        else
            a = c;
    }
    return (a + b) / 2;
}

// The curve's shape: the simplest named one within kShapeLevels.
void nameCurve(const std::array<LevelSums, 3>& sums, ColourCurve& curve) {
    double vm = 0, vv = 0, n = 0, sv = 0, sm = 0;
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            if (sums[c].count[v] > 0 && curve.map[c][v] < 255) {
                const double w = sums[c].count[v], m = curve.map[c][v];
                vm += w * v * m, vv += w * v * v, n += w, sv += w * v, sm += w * m;
            }
    curve.gain = vv > 0 ? vm / vv : 1;
    // The straight line through the curve, at 0 and 255: levels squeezed or stretched.
    const double spread = n * vv - sv * sv;
    if (spread > 0) {
        const double slope = (n * vm - sv * sm) / spread, offset = (sm - slope * sv) / n;
        curve.low = (int)std::lround(offset);
        curve.high = (int)std::lround(offset + 255 * slope);
    }
    curve.gamma = fitGamma(sums, curve);
    const double g = curve.gain, gm = curve.gamma, lo = curve.low, hi = curve.high;
    const double identity = shapeError(sums, curve, [](int v) { return (double)v; });
    const double gain = shapeError(sums, curve, [g](int v) { return g * v; });
    const double gamma = shapeError(sums, curve, [gm](int v) { return 255 * std::pow(v / 255.0, gm); });
    const double limited =
        shapeError(sums, curve, [](int v) { return kLimitedLow + v * (kLimitedHigh - kLimitedLow) / 255.0; });
    const double levels = shapeError(sums, curve, [lo, hi](int v) { return lo + v * (hi - lo) / 255.0; });
    struct Named {
        CurveShape shape;
        double error;
    };
    // Fewest parameters first; within a tier the nearest.
    const Named tiers[][3] = {
        {{CurveShape::Identity, identity}, {CurveShape::Identity, identity}, {CurveShape::Identity, identity}},
        {{CurveShape::LimitedRange, limited}, {CurveShape::Gain, gain}, {CurveShape::Gamma, gamma}},
        {{CurveShape::Levels, levels}, {CurveShape::Levels, levels}, {CurveShape::Levels, levels}}};
    for (const auto& tier : tiers) {
        const Named* best =
            std::min_element(tier, tier + 3, [](const Named& a, const Named& b) { return a.error < b.error; });
        if (best->error <= kShapeLevels) {
            curve.shape = best->shape;
            curve.shapeError = best->error;
            return;
        }
    }
    curve.shape = CurveShape::Other;
    curve.shapeError = std::min({gain, gamma, limited, levels});
}

// One channel's monotone map (rising or falling) from its level sums; levels never seen are
// interpolated.
std::array<std::uint8_t, 256> channelMap(const LevelSums& s) {
    std::vector<double> mean, weight;
    std::vector<int> seen;
    for (int v = 0; v < 256; ++v)
        if (s.count[v] > 0) {
            seen.push_back(v);
            mean.push_back(s.sum[v] / s.count[v]);
            weight.push_back(s.count[v]);
        }
    std::array<std::uint8_t, 256> map{};
    for (int v = 0; v < 256; ++v) map[v] = (std::uint8_t)v;
    if (seen.empty()) return map;
    std::vector<double> fit = monotone(mean, weight);
    // A curve may fall as well as rise (an inverted picture): the nearer of the two.
    std::vector<double> falling(mean.size());
    for (std::size_t i = 0; i < mean.size(); ++i) falling[i] = -mean[i];
    falling = monotone(falling, weight);
    double riseError = 0, fallError = 0;
    for (std::size_t i = 0; i < mean.size(); ++i) {
        riseError += weight[i] * (fit[i] - mean[i]) * (fit[i] - mean[i]);
        fallError += weight[i] * (falling[i] + mean[i]) * (falling[i] + mean[i]);
    }
    if (fallError < riseError)
        for (std::size_t i = 0; i < mean.size(); ++i) fit[i] = -falling[i];
    std::size_t k = 0;
    for (int v = 0; v < 256; ++v) {
        while (k + 1 < seen.size() && seen[k + 1] <= v) ++k;
        double f = fit[k];
        if (v > seen[k] && k + 1 < seen.size())
            f += (fit[k + 1] - fit[k]) * (v - seen[k]) / (double)(seen[k + 1] - seen[k]);
        else if (v < seen[k])
            f = fit[0];
        map[v] = (std::uint8_t)std::clamp(std::lround(f), 0L, 255L);
    }
    return map;
}

}  // namespace

double lumaOf(const Image& image, std::size_t pixel) {
    const std::uint8_t* p = &image.rgb[pixel * 3];
    return (0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]) / 255.0;
}

std::vector<float> lumaPlane(const Image& image) {
    std::vector<float> out(image.pixels());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = (float)lumaOf(image, i);
    return out;
}

ColourCurve fitColourCurve(const Image& back, const Image& presented, const std::vector<bool>* fitOn) {
    std::array<LevelSums, 3> fit, all;
    for (std::size_t i = 0; i < back.rgb.size(); ++i) {
        const std::uint8_t v = back.rgb[i];
        const double t = presented.rgb[i];
        for (LevelSums* s : {&all[i % 3], (!fitOn || (*fitOn)[i / 3]) ? &fit[i % 3] : nullptr}) {
            if (!s) continue;
            s->count[v] += 1;
            s->sum[v] += t;
            s->square[v] += t * t;
        }
    }
    ColourCurve curve;
    double err = 0, dev = 0, n = 0;
    for (int c = 0; c < 3; ++c) {
        curve.map[c] = channelMap(fit[c]);
        const LevelSums& s = all[c];
        for (int v = 0; v < 256; ++v) {
            if (s.count[v] <= 0) continue;
            const double f = curve.map[c][v];
            err += s.square[v] - 2 * f * s.sum[v] + f * f * s.count[v];
            dev += s.count[v] * (f - v) * (f - v);
            n += s.count[v];
        }
    }
    curve.residual = n > 0 ? std::sqrt(std::max(0.0, err) / n) : 0;
    curve.deviation = n > 0 ? std::sqrt(dev / n) : 0;
    nameCurve(fit, curve);
    return curve;
}

Image applyCurve(const Image& image, const ColourCurve& curve) {
    Image out = image;
    for (std::size_t i = 0; i < out.rgb.size(); ++i) out.rgb[i] = curve.map[i % 3][out.rgb[i]];
    return out;
}

ColourFunction colourFunction(const Image& back, const Image& presented, double tolerance) {
    ColourFunction f;
    const std::size_t n = back.pixels();
    auto colourOf = [&](std::size_t p) {
        const std::uint8_t* c = &back.rgb[p * 3];
        return (std::uint32_t)c[0] << 16 | (std::uint32_t)c[1] << 8 | c[2];
    };
    // Pixels ordered by their back-buffer colour, so each colour's pixels lie together.
    std::vector<std::uint32_t> order(n);
    for (std::size_t p = 0; p < n; ++p) order[p] = (std::uint32_t)p;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return colourOf(a) != colourOf(b) ? colourOf(a) < colourOf(b) : a < b;
    });
    double scatter = 0, change = 0, freedom = 0, counted = 0;
    std::size_t changed = 0, grouped = 0;
    for (std::size_t begin = 0; begin < n;) {
        std::size_t end = begin + 1;
        while (end < n && colourOf(order[end]) == colourOf(order[begin])) ++end;
        std::size_t changedHere = 0;
        double sum[3] = {}, square = 0, moved = 0;
        for (std::size_t i = begin; i < end; ++i) {
            const std::size_t p = order[i];
            changedHere += pixelChange(back, presented, p) > tolerance;
            for (int c = 0; c < 3; ++c) {
                const double v = presented.rgb[p * 3 + c], d = v - back.rgb[p * 3 + c];
                sum[c] += v, square += v * v, moved += d * d;
            }
        }
        const std::size_t size = end - begin;
        changed += changedHere;
        if (changedHere > 0 && size >= 2) {
            grouped += changedHere;
            double mean = 0;
            for (double s : sum) mean += s * s / (double)size;
            scatter += square - mean;
            change += moved;
            freedom += 3.0 * (double)(size - 1);
            counted += 3.0 * (double)size;
        }
        begin = end;
    }
    f.groupedShare = changed ? (double)grouped / (double)changed : 0;
    if (f.groupedShare >= kMinGroupedShare && freedom > 0) {
        f.residual = std::sqrt(std::max(0.0, scatter) / freedom);
        f.change = std::sqrt(change / counted);
    }
    return f;
}

namespace {

constexpr int kMaxSide = 5;
// Row blocks the normal equations are summed in, each on one thread: enough to keep eight
// cores busy, few enough that merging their 25 x 25 matrices costs nothing.
constexpr int kRowBlocks = 32;

// The normal equations of the least-squares kernel of one side: A w = b, with the target's
// sum of squares and the number of pixels, for the residual.
struct Normal {
    int side = 0;
    std::vector<double> a, b;
    double tt = 0, count = 0;
};

// Gathers the normal equations over every pixel whose footprint lies inside, in parallel by
// row blocks. A flat footprint adds c^2 to every entry and c t to every b, so those are
// summed as two numbers: most of a picture is flat and costs nothing then.
Normal accumulate(const std::vector<float>& x, const std::vector<float>& t, int w, int h, int side) {
    const int r = side / 2, n = side * side;
    std::vector<float> lo, hi;
    rangePlane(x, w, h, r, lo, hi);
    const int rows = h - 2 * r;
    const std::size_t blocks = rows > 0 ? (std::size_t)std::min(rows, kRowBlocks) : 0;
    std::vector<Normal> part(blocks);
    std::vector<double> flatCC(blocks), flatCT(blocks);
    forEachInParallel(blocks, [&](std::size_t k) {
        Normal& m = part[k];
        m.a.assign((std::size_t)n * n, 0);
        m.b.assign(n, 0);
        double p[kMaxSide * kMaxSide];
        for (int y = r + (int)(k * rows / blocks); y < r + (int)((k + 1) * rows / blocks); ++y)
            for (int xx = r; xx < w - r; ++xx) {
                const std::size_t at = (std::size_t)y * w + xx;
                const double target = t[at];
                m.tt += target * target;
                m.count += 1;
                if (hi[at] == lo[at]) {
                    flatCC[k] += (double)x[at] * x[at];
                    flatCT[k] += (double)x[at] * target;
                    continue;
                }
                for (int j = 0; j < side; ++j)
                    for (int i = 0; i < side; ++i) p[j * side + i] = x[(std::size_t)(y + j - r) * w + xx + i - r];
                for (int i = 0; i < n; ++i) {
                    m.b[i] += p[i] * target;
                    double* row = &m.a[(std::size_t)i * n];
                    for (int j = i; j < n; ++j) row[j] += p[i] * p[j];
                }
            }
    });
    Normal all;
    all.side = side;
    all.a.assign((std::size_t)n * n, 0);
    all.b.assign(n, 0);
    double cc = 0, ct = 0;
    for (std::size_t k = 0; k < blocks; ++k) {
        for (std::size_t i = 0; i < all.a.size(); ++i) all.a[i] += part[k].a[i];
        for (int i = 0; i < n; ++i) all.b[i] += part[k].b[i];
        all.tt += part[k].tt;
        all.count += part[k].count;
        cc += flatCC[k];
        ct += flatCT[k];
    }
    for (int i = 0; i < n; ++i) {
        all.b[i] += ct;
        for (int j = i; j < n; ++j) all.a[(std::size_t)i * n + j] += cc;
        for (int j = 0; j < i; ++j) all.a[(std::size_t)i * n + j] = all.a[(std::size_t)j * n + i];
    }
    return all;
}

// The centred sub-system of a smaller side: its normal equations are the submatrix.
Normal inner(const Normal& m, int side) {
    const int off = (m.side - side) / 2, n = side * side, big = m.side;
    Normal s;
    s.side = side;
    s.tt = m.tt;
    s.count = m.count;
    s.a.resize((std::size_t)n * n);
    s.b.resize(n);
    auto index = [&](int k) { return (k / side + off) * big + k % side + off; };
    for (int i = 0; i < n; ++i) {
        s.b[i] = m.b[index(i)];
        for (int j = 0; j < n; ++j) s.a[(std::size_t)i * n + j] = m.a[(std::size_t)index(i) * big * big + index(j)];
    }
    return s;
}

// Solves the system with a small ridge towards the identity, by Gaussian elimination with
// partial pivoting; returns the weights and sets the residual's RMSE.
std::vector<double> solve(const Normal& m, double& residual) {
    const int n = m.side * m.side, centre = n / 2;
    std::vector<double> a = m.a, b = m.b;
    double trace = 0;
    for (int i = 0; i < n; ++i) trace += a[(std::size_t)i * n + i];
    const double ridge = kRidge * std::max(trace / n, 1.0);
    for (int i = 0; i < n; ++i) a[(std::size_t)i * n + i] += ridge;
    b[centre] += ridge;
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::abs(a[(std::size_t)r * n + c]) > std::abs(a[(std::size_t)pivot * n + c])) pivot = r;
        for (int k = 0; k < n; ++k) std::swap(a[(std::size_t)c * n + k], a[(std::size_t)pivot * n + k]);
        std::swap(b[c], b[pivot]);
        const double d = a[(std::size_t)c * n + c];
        if (d == 0) continue;
        for (int r = c + 1; r < n; ++r) {
            const double f = a[(std::size_t)r * n + c] / d;
            for (int k = c; k < n; ++k) a[(std::size_t)r * n + k] -= f * a[(std::size_t)c * n + k];
            b[r] -= f * b[c];
        }
    }
    std::vector<double> w(n, 0);
    for (int r = n - 1; r >= 0; --r) {
        double s = b[r];
        for (int k = r + 1; k < n; ++k) s -= a[(std::size_t)r * n + k] * w[k];
        const double d = a[(std::size_t)r * n + r];
        w[r] = d != 0 ? s / d : (r == centre ? 1 : 0);
    }
    double e = m.tt;
    for (int i = 0; i < n; ++i) {
        e -= 2 * w[i] * m.b[i];
        for (int j = 0; j < n; ++j) e += w[i] * m.a[(std::size_t)i * n + j] * w[j];
    }
    residual = m.count > 0 ? std::sqrt(std::max(0.0, e) / m.count) : 0;
    return w;
}

// A named shape's 5 x 5 weights.
using Template = std::array<double, kMaxSide * kMaxSide>;

// An outer product of a row of 5 weights with a column of 5, normalised.
Template separable(const std::array<double, kMaxSide>& col, const std::array<double, kMaxSide>& row) {
    Template t{};
    double s = 0;
    for (int j = 0; j < kMaxSide; ++j)
        for (int i = 0; i < kMaxSide; ++i) s += t[j * kMaxSide + i] = col[j] * row[i];
    for (double& v : t) v /= s;
    return t;
}

Template gaussianTemplate(double sigma) {
    std::array<double, kMaxSide> g{};
    for (int i = 0; i < kMaxSide; ++i) g[i] = std::exp(-0.5 * (i - 2) * (i - 2) / (sigma * sigma));
    return separable(g, g);
}

double distance(const Template& a, const std::vector<double>& w5) {
    double s = 0;
    for (int i = 0; i < kMaxSide * kMaxSide; ++i) s += (a[i] - w5[i]) * (a[i] - w5[i]);
    return std::sqrt(s);
}

// The kernel's shape: sharpening where it has negative lobes, else the nearest of the
// identity, the boxes (a 2 x 2 box in its four alignments), the tents and the Gaussians.
void nameKernel(Kernel& k) {
    std::vector<double> w5(kMaxSide * kMaxSide, 0);
    const int off = (kMaxSide - k.side) / 2;
    for (int j = 0; j < k.side; ++j)
        for (int i = 0; i < k.side; ++i) w5[(j + off) * kMaxSide + i + off] = k.weights[j * k.side + i] / k.sum;
    if (k.residual > kExplained * k.identityResidual) {
        k.shape = KernelShape::Other;
        k.shapeError = 0;
        return;
    }
    if (k.negativeSum < kNegativeLobes) {
        k.shape = KernelShape::Sharpening;
        k.shapeError = 0;
        return;
    }
    struct Named {
        KernelShape shape;
        int side;
        Template t;
    };
    std::vector<Named> named = {{KernelShape::Identity, 1, separable({0, 0, 1, 0, 0}, {0, 0, 1, 0, 0})},
                                {KernelShape::Box, 3, separable({0, 1, 1, 1, 0}, {0, 1, 1, 1, 0})},
                                {KernelShape::Box, 5, separable({1, 1, 1, 1, 1}, {1, 1, 1, 1, 1})},
                                {KernelShape::Tent, 3, separable({0, 1, 2, 1, 0}, {0, 1, 2, 1, 0})},
                                {KernelShape::Tent, 5, separable({1, 2, 3, 2, 1}, {1, 2, 3, 2, 1})}};
    const std::array<double, kMaxSide> back2 = {0, 1, 1, 0, 0}, ahead2 = {0, 0, 1, 1, 0};
    for (const auto& col : {back2, ahead2})
        for (const auto& row : {back2, ahead2}) named.push_back({KernelShape::Box, 2, separable(col, row)});
    double bestSigma = kSigmaLow, bestGauss = std::numeric_limits<double>::infinity();
    for (double s = kSigmaLow; s <= kSigmaHigh; s += kSigmaStep) {
        const double d = distance(gaussianTemplate(s), w5);
        if (d < bestGauss) bestGauss = d, bestSigma = s;
    }
    k.shape = KernelShape::Other;
    k.shapeError = bestGauss;
    for (const Named& n : named) {
        const double d = distance(n.t, w5);
        if (d <= kKernelMatch && d <= k.shapeError) {
            k.shape = n.shape;
            k.shapeError = d;
            k.boxSide = n.shape == KernelShape::Identity ? 0 : n.side;
        }
    }
    if (k.shape == KernelShape::Other && bestGauss <= kKernelMatch) {
        k.shape = KernelShape::Gaussian;
        k.sigma = bestSigma;
    }
}

}  // namespace

Kernel fitKernel(const Image& back, const Image& target, int maxSide) {
    std::vector<float> x = lumaPlane(back), t = lumaPlane(target);
    for (float& v : x) v *= 255;
    for (float& v : t) v *= 255;
    maxSide = std::clamp(maxSide | 1, 1, kMaxSide);
    const Normal full = accumulate(x, t, back.width, back.height, maxSide);
    Kernel k;
    k.identityResidual = std::sqrt(std::max(0.0, full.tt - 2 * full.b[full.b.size() / 2] + full.a[full.a.size() / 2]) /
                                   std::max(full.count, 1.0));
    // The smallest side whose outer ring carries weight.
    for (int side = maxSide; side >= 1; side -= 2) {
        const Normal m = side == maxSide ? full : inner(full, side);
        double residual = 0;
        std::vector<double> w = solve(m, residual);
        bool ring = false;
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i)
                if ((j == 0 || i == 0 || j == side - 1 || i == side - 1) &&
                    std::abs(w[j * side + i]) >= kNegligibleWeight)
                    ring = true;
        if (ring || side == 1 || k.weights.empty()) {
            k.side = side;
            k.weights = std::move(w);
            k.residual = residual;
        }
        if (ring) break;
    }
    k.sum = 0;
    k.negativeSum = 0;
    const int r = k.side / 2;
    for (int j = 0; j < k.side; ++j)
        for (int i = 0; i < k.side; ++i) {
            const double v = k.weights[j * k.side + i];
            k.sum += v;
            k.negativeSum += std::min(v, 0.0);
            k.centreX += v * (i - r);
            k.centreY += v * (j - r);
        }
    // A kernel summing to nothing (a picture gone black) has no centroid or normalised shape.
    if (k.sum != 0) k.centreX /= k.sum, k.centreY /= k.sum;
    if (k.sum == 0) k.sum = 1;
    nameKernel(k);
    return k;
}

std::vector<float> applyKernel(const std::vector<float>& luma, int width, int height, const Kernel& kernel) {
    std::vector<float> out(luma.size());
    const int r = kernel.side / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double a = 0;
            for (int j = -r; j <= r; ++j)
                for (int i = -r; i <= r; ++i)
                    a += kernel.weights[(j + r) * kernel.side + i + r] *
                         luma[(std::size_t)std::clamp(y + j, 0, height - 1) * width + std::clamp(x + i, 0, width - 1)];
            out[(std::size_t)y * width + x] = (float)a;
        }
    return out;
}

ContrastGating contrastGating(const Image& base, const Image& presented, double tolerance, const Image* contrastOf) {
    ContrastGating g;
    const std::vector<float> lb = lumaPlane(base), lp = lumaPlane(presented);
    std::vector<float> lo, hi;
    rangePlane(contrastOf ? lumaPlane(*contrastOf) : lb, base.width, base.height, 1, lo, hi);
    std::array<double, kGatingBins> changed{}, relative{};
    for (std::size_t p = 0; p < lb.size(); ++p) {
        const double range = hi[p] - lo[p];
        const int bin = std::min(kGatingBins - 1, (int)(range * kGatingBins));
        ++g.counts[bin];
        changed[bin] += pixelChange(base, presented, p) > tolerance;
        // A flat pixel's change is read against one level.
        relative[bin] += std::abs(lp[p] - lb[p]) / std::max(range, 1.0 / 255);
    }
    for (int b = 0; b <= kGatingBins; ++b) g.edges[b] = (double)b / kGatingBins;
    double top = 0;
    for (int b = 0; b < kGatingBins; ++b) {
        g.changedShare[b] = g.counts[b] ? changed[b] / g.counts[b] : 0;
        g.relativeChange[b] = g.counts[b] ? relative[b] / g.counts[b] : 0;
        if (b > 0 && g.counts[b] >= kMinBinPixels) top = std::max(top, g.relativeChange[b]);
    }
    g.threshold = kNaN;
    // What the filter does where it acts: the mean relative change of the bins it changes
    // in the main.
    double busiest = 0;
    for (int b = 1; b < kGatingBins; ++b)
        if (g.counts[b] >= kMinBinPixels) busiest = std::max(busiest, g.changedShare[b]);
    if (busiest < kGateBusiest) return g;
    double active = 0, activeCount = 0;
    for (int b = 1; b < kGatingBins; ++b)
        if (g.counts[b] >= kMinBinPixels && g.changedShare[b] >= kGateActive * busiest) {
            active += relative[b];
            activeCount += g.counts[b];
        }
    if (top <= 0 || activeCount == 0) return g;
    active /= activeCount;
    // Bin 0 holds the flat pixels, which no filter changes: the quiet contrasts are looked
    // for above it, up to the first bin that changes.
    int rise = 1;
    double quietCount = 0;
    for (; rise < kGatingBins; ++rise) {
        if (g.counts[rise] < kMinBinPixels) continue;
        if (g.changedShare[rise] > kQuietShare || g.relativeChange[rise] > kGateQuiet * active) break;
        quietCount += g.counts[rise];
    }
    g.gated = rise >= kMinGateBin && rise < kGatingBins && quietCount >= kMinBinPixels;
    if (!g.gated) return g;
    // The share of the rising bin's pixels changed puts the threshold inside it.
    double most = 0;
    for (int b = rise; b < kGatingBins; ++b)
        if (g.counts[b] >= kMinBinPixels) most = std::max(most, g.changedShare[b]);
    const double width = 1.0 / kGatingBins;
    g.threshold = g.edges[rise + 1] - std::min(1.0, g.changedShare[rise] / most) * width;
    return g;
}

namespace {

// Chessboard distance to the nearest marked pixel, capped: two passes over the picture.
std::vector<int> chessboardDistance(const std::vector<bool>& marked, int w, int h, int cap) {
    std::vector<int> d(marked.size());
    for (std::size_t p = 0; p < d.size(); ++p) d[p] = marked[p] ? 0 : cap;
    auto relax = [&](int x, int y, int nx, int ny) {
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) return;
        int& here = d[(std::size_t)y * w + x];
        here = std::min(here, d[(std::size_t)ny * w + nx] + 1);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            relax(x, y, x - 1, y);
            relax(x, y, x - 1, y - 1);
            relax(x, y, x, y - 1);
            relax(x, y, x + 1, y - 1);
        }
    for (int y = h - 1; y >= 0; --y)
        for (int x = w - 1; x >= 0; --x) {
            relax(x, y, x + 1, y);
            relax(x, y, x + 1, y + 1);
            relax(x, y, x, y + 1);
            relax(x, y, x - 1, y + 1);
        }
    return d;
}

// How far from strong edges the overshooting pixels reach.
int haloWidth(const Image& base, const std::vector<bool>& overshoot) {
    const std::vector<float> luma = lumaPlane(base);
    std::vector<float> lo, hi;
    rangePlane(luma, base.width, base.height, 1, lo, hi);
    std::vector<bool> strong(luma.size());
    for (std::size_t p = 0; p < luma.size(); ++p) strong[p] = hi[p] - lo[p] >= kStrongEdge;
    const std::vector<int> d = chessboardDistance(strong, base.width, base.height, kMaxHalo + 1);
    std::array<std::size_t, kMaxHalo + 2> count{};
    for (std::size_t p = 0; p < d.size(); ++p)
        if (overshoot[p]) ++count[d[p]];
    const std::size_t busiest = *std::max_element(count.begin(), count.end() - 1);
    if (busiest == 0) return 0;
    int width = 0;
    for (int k = 0; k <= kMaxHalo; ++k)
        if (count[k] >= kHaloShare * busiest) width = k + 1;
    return width;
}

// Correlation, over the changed pixels' channels, of the change with the back buffer's
// detail above a Gaussian; levels the presented picture clips at black or white are left
// out, since there the change could not go as far as it meant.
double detailCorrelation(const Image& base, const Image& presented, double tolerance) {
    double cd = 0, cc = 0, dd = 0;
    for (int c = 0; c < 3; ++c) {
        const std::vector<float> plane = channelPlane(base, c);
        const std::vector<float> smooth = gaussianPlane(plane, base.width, base.height, kDetailSigma);
        for (std::size_t p = 0; p < base.pixels(); ++p) {
            const std::uint8_t shown = presented.rgb[p * 3 + c];
            if (pixelChange(base, presented, p) <= tolerance || shown == 0 || shown == 255) continue;
            const double change = (double)shown - plane[p], detail = (double)plane[p] - smooth[p];
            cd += change * detail, cc += change * change, dd += detail * detail;
        }
    }
    return cc > 0 && dd > 0 ? cd / std::sqrt(cc * dd) : 0.0;
}

}  // namespace

RangeFigures rangeFigures(const Image& base, const Image& presented, double tolerance) {
    RangeFigures f;
    std::array<std::vector<float>, 3> lo, hi;
    for (int c = 0; c < 3; ++c) rangePlane(channelPlane(base, c), base.width, base.height, kRangeRadius, lo[c], hi[c]);
    std::vector<bool> overshoot(base.pixels());
    std::size_t over = 0;
    double depth = 0;
    for (std::size_t p = 0; p < base.pixels(); ++p) {
        if (pixelChange(base, presented, p) <= tolerance) continue;
        ++f.changed;
        double beyond = 0;
        for (int c = 0; c < 3; ++c) {
            const double v = presented.rgb[p * 3 + c];
            beyond = std::max({beyond, v - hi[c][p], lo[c][p] - v});
        }
        if (beyond > tolerance) {
            overshoot[p] = true;
            ++over;
            depth += beyond;
        }
    }
    f.changedShare = base.pixels() ? (double)f.changed / base.pixels() : 0;
    f.overshootShare = f.changed ? (double)over / f.changed : 0;
    f.overshootDepth = over ? depth / over : 0;
    f.haloWidth = over ? haloWidth(base, overshoot) : 0;
    return f;
}

namespace {

// The stair runs of the one-sample frame in one direction: boundaries between a pixel and
// its neighbour (dx, dy), followed across (the run's direction), with the reach of changes
// from both ends.
void followRuns(const Image& one, const std::vector<float>& luma, const std::vector<bool>& changed, const Bands& bands,
                bool horizontal, EdgeFigures& f, std::vector<double>& reaches, std::size_t& runPixels,
                std::size_t& runChanged) {
    const int w = one.width, h = one.height;
    const int lines = horizontal ? h - 1 : w - 1, along = horizontal ? w : h;
    auto at = [&](int line, int i, int side) {
        return horizontal ? (std::size_t)(line + side) * w + i : (std::size_t)i * w + line + side;
    };
    auto boundary = [&](int line, int i) {
        const std::size_t a = at(line, i, 0), b = at(line, i, 1);
        return std::abs(luma[a] - luma[b]) >= kStepContrast && (bands.edge[a] || bands.edge[b]);
    };
    auto touched = [&](int line, int i) { return changed[at(line, i, 0)] || changed[at(line, i, 1)]; };
    for (int line = 0; line < lines; ++line)
        for (int i = 0; i < along;) {
            if (!boundary(line, i)) {
                ++i;
                continue;
            }
            const int start = i;
            while (i < along && boundary(line, i)) ++i;
            const int length = i - start;
            if (length < kMinRun) continue;
            ++f.runs;
            f.runLengthMean += length;
            int fromStart = 0, fromEnd = 0;
            while (fromStart < length && touched(line, start + fromStart)) ++fromStart;
            while (fromEnd < length && touched(line, i - 1 - fromEnd)) ++fromEnd;
            reaches.push_back(fromStart);
            reaches.push_back(fromEnd);
            runPixels += length;
            for (int k = start; k < i; ++k) runChanged += touched(line, k);
        }
}

// Where a colour lies between an outside and an inside colour, 0..1.
double coverageBetween(const double* colour, const double* outside, const double* inside) {
    double num = 0, den = 0;
    for (int c = 0; c < 3; ++c) {
        num += (colour[c] - outside[c]) * (inside[c] - outside[c]);
        den += (inside[c] - outside[c]) * (inside[c] - outside[c]);
    }
    return std::clamp(num / den, 0.0, 1.0);
}

// The inside and outside colours of the one-sample frame near (x, y), from the pixels the
// reference covers wholly and not at all; false where they are too close to place a
// coverage between them.
bool sidesAt(const Image& one, const Image& coverage, int x, int y, double* in, double* out) {
    const int w = one.width, h = one.height;
    int nIn = 0, nOut = 0;
    for (int c = 0; c < 3; ++c) in[c] = out[c] = 0;
    for (int j = std::max(0, y - kCoverageRadius); j <= std::min(h - 1, y + kCoverageRadius); ++j)
        for (int i = std::max(0, x - kCoverageRadius); i <= std::min(w - 1, x + kCoverageRadius); ++i) {
            const std::size_t q = (std::size_t)j * w + i;
            const std::uint8_t g = coverage.rgb[q * 3 + 1];
            if (g != 0 && g != 255) continue;
            double* sum = g == 0 ? in : out;
            for (int c = 0; c < 3; ++c) sum[c] += one.rgb[q * 3 + c];
            ++(g == 0 ? nIn : nOut);
        }
    if (!nIn || !nOut) return false;
    double contrast = 0;
    for (int c = 0; c < 3; ++c) {
        in[c] /= nIn;
        out[c] /= nOut;
        contrast += (in[c] - out[c]) * (in[c] - out[c]);
    }
    return std::sqrt(contrast) >= kCoverageContrast;
}

// The coverage the picture and the one-sample frame show at the edges and beside them,
// against the truth: the reference's coverage pass, or the same reading of the reference's
// colours where it is given (the nearby colours stand in for the texture under the edge,
// and reading the reference the same way leaves that out of the error).
void coverageErrors(const Image& one, const Image& picture, const Image& coverage, const Image* reference,
                    const Bands& bands, EdgeFigures& f) {
    double errPicture = 0, errOne = 0;
    for (int y = 0; y < one.height; ++y)
        for (int x = 0; x < one.width; ++x) {
            const std::size_t p = (std::size_t)y * one.width + x;
            double in[3], out[3];
            if ((!bands.edge[p] && !bands.spillBand[p]) || !sidesAt(one, coverage, x, y, in, out)) continue;
            auto read = [&](const Image& image) {
                double v[3];
                for (int c = 0; c < 3; ++c) v[c] = image.rgb[p * 3 + c];
                return coverageBetween(v, out, in);
            };
            const double truth = reference ? read(*reference) : 1 - coverage.rgb[p * 3 + 1] / 255.0;
            const double ePicture = 255 * (read(picture) - truth), eOne = 255 * (read(one) - truth);
            errPicture += ePicture * ePicture;
            errOne += eOne * eOne;
            ++f.edgePixels;
        }
    f.edgeError = f.edgePixels ? std::sqrt(errPicture / f.edgePixels) : 0;
    f.oneSampleEdgeError = f.edgePixels ? std::sqrt(errOne / f.edgePixels) : 0;
}

}  // namespace

EdgeFigures edgeFigures(const Image& oneSample, const Image& picture, const Image& referenceCoverage,
                        const Bands& bands, double tolerance, const Image* reference) {
    EdgeFigures f;
    const std::vector<float> luma = lumaPlane(oneSample);
    std::vector<bool> changed(oneSample.pixels());
    for (std::size_t p = 0; p < changed.size(); ++p) changed[p] = pixelChange(oneSample, picture, p) > tolerance;
    std::vector<double> reaches;
    std::size_t runPixels = 0, runChanged = 0;
    followRuns(oneSample, luma, changed, bands, true, f, reaches, runPixels, runChanged);
    followRuns(oneSample, luma, changed, bands, false, f, reaches, runPixels, runChanged);
    if (f.runs) f.runLengthMean /= f.runs;
    for (double r : reaches) {
        f.reachMean += r;
        f.reachMax = std::max(f.reachMax, r);
    }
    if (!reaches.empty()) f.reachMean /= reaches.size();
    f.runChangedShare = runPixels ? (double)runChanged / runPixels : 0;
    coverageErrors(oneSample, picture, referenceCoverage, reference, bands, f);
    return f;
}

double coverageEdgeError(const Image& pictureCoverage, const Image& referenceCoverage, const Bands& bands) {
    std::vector<bool> judged(bands.edge.size());
    for (std::size_t p = 0; p < judged.size(); ++p) judged[p] = bands.edge[p] || bands.spillBand[p];
    return rmse(pictureCoverage, referenceCoverage, &judged);
}

namespace {

// The band-pass layers of a picture's luma, in 8-bit levels.
std::array<std::vector<float>, kDetailBands> detailBands(const Image& image) {
    std::vector<float> luma = lumaPlane(image);
    for (float& v : luma) v *= 255;
    std::array<std::vector<float>, kDetailBands> out;
    std::vector<float> finer = luma;
    for (int b = 0; b < kDetailBands; ++b) {
        std::vector<float> blurred = gaussianPlane(luma, image.width, image.height, kBandSigma[b]);
        out[b].resize(luma.size());
        for (std::size_t p = 0; p < luma.size(); ++p) out[b][p] = finer[p] - blurred[p];
        finer = std::move(blurred);
    }
    return out;
}

// One landmark's figures. Each pixel's band value is split into the part along the
// reference's (scaled by 0..1: the reference's detail, kept or weakened) and the rest
// (detail the reference lacks, aliasing among it), so that removing aliasing lowers the
// false detail and never the detail kept.
DetailKept landmarkDetail(const DetailReference& ref, const std::array<std::vector<float>, kDetailBands>& pic,
                          const Landmark& landmark) {
    DetailKept d;
    d.kind = landmark.kind;
    std::array<double, kDetailBands> energy{}, kept{}, spurious{};
    for (std::size_t p = 0; p < landmark.mask.size(); ++p) {
        if (!landmark.mask[p]) continue;
        ++d.pixels;
        for (int b = 0; b < kDetailBands; ++b) {
            const double r = ref.bands[b][p], v = pic[b][p];
            const double share = r != 0 ? std::clamp(v / r, 0.0, 1.0) : 0;
            energy[b] += r * r;
            kept[b] += share * share * r * r;
            spurious[b] += (v - share * r) * (v - share * r);
        }
    }
    const double busiest = *std::max_element(energy.begin(), energy.end());
    double e = 0, k = 0, s = 0;
    for (int b = 0; b < kDetailBands; ++b) {
        const bool counts = d.pixels && energy[b] >= kBandShare * busiest && energy[b] >= kDetailFloor * d.pixels;
        d.keptByBand[b] = counts ? kept[b] / energy[b] : kNaN;
        if (!counts) continue;
        e += energy[b];
        k += kept[b];
        s += spurious[b];
    }
    d.hasDetail = e > 0;
    d.kept = d.hasDetail ? k / e : kNaN;
    d.falseDetail = d.hasDetail ? s / e : kNaN;
    return d;
}

}  // namespace

DetailReference prepareDetail(const Image& reference) {
    DetailReference r;
    r.width = reference.width;
    r.height = reference.height;
    r.bands = detailBands(reference);
    return r;
}

std::vector<DetailKept> detailKept(const DetailReference& reference, const Image& picture,
                                   const std::vector<Landmark>& landmarks) {
    std::vector<DetailKept> out;
    if (picture.width != reference.width || picture.height != reference.height) return out;
    const auto bands = detailBands(picture);
    for (const Landmark& l : landmarks)
        if (l.mask.size() == picture.pixels()) out.push_back(landmarkDetail(reference, bands, l));
    return out;
}

std::vector<DetailKept> detailKept(const Image& reference, const Image& picture,
                                   const std::vector<Landmark>& landmarks) {
    return detailKept(prepareDetail(reference), picture, landmarks);
}

namespace {

// The plane at (x, y) by bilinear interpolation, clamped to it.
double bilinear(const std::vector<float>& plane, int w, int h, double x, double y) {
    x = std::clamp(x, 0.0, w - 1.001);
    y = std::clamp(y, 0.0, h - 1.001);
    const int i = (int)x, j = (int)y;
    const double fx = x - i, fy = y - j;
    const float* row = &plane[(std::size_t)j * w + i];
    return (1 - fy) * ((1 - fx) * row[0] + fx * row[1]) + fy * ((1 - fx) * row[w] + fx * row[w + 1]);
}

// Gauss-Newton steps from the best whole-pixel shift: the parabola through three costs is
// biased towards whole pixels, most at half a pixel (a 2 x 2 box's shift).
void refineShift(const std::vector<float>& back, const std::vector<float>& shown, int w, int h, int x0, int y0,
                 int tile, double& dx, double& dy) {
    for (int step = 0; step < kRefineSteps; ++step) {
        double axx = 0, axy = 0, ayy = 0, bx = 0, by = 0;
        for (int y = y0; y < y0 + tile; y += 2)
            for (int x = x0; x < x0 + tile; x += 2) {
                const double sx = x + dx, sy = y + dy, v = bilinear(back, w, h, sx, sy);
                const double gx = bilinear(back, w, h, sx + 0.5, sy) - bilinear(back, w, h, sx - 0.5, sy);
                const double gy = bilinear(back, w, h, sx, sy + 0.5) - bilinear(back, w, h, sx, sy - 0.5);
                const double e = shown[(std::size_t)y * w + x] - v;
                axx += gx * gx, axy += gx * gy, ayy += gy * gy, bx += gx * e, by += gy * e;
            }
        const double det = axx * ayy - axy * axy;
        if (det <= 0) return;
        dx = std::clamp(dx + (ayy * bx - axy * by) / det, (double)-kSearch, (double)kSearch);
        dy = std::clamp(dy + (axx * by - axy * bx) / det, (double)-kSearch, (double)kSearch);
    }
}

// Whether the tile has texture, and gradients both ways, enough to be placed: the shift of a
// flat tile or of one with edges all one way is not the picture's.
bool hasStructure(const std::vector<float>& plane, int w, int x0, int y0, int tile) {
    double mean = 0, square = 0, n = 0, xx = 0, xy = 0, yy = 0;
    for (int y = y0; y < y0 + tile; y += 2)
        for (int x = x0; x < x0 + tile; x += 2) {
            const std::size_t p = (std::size_t)y * w + x;
            const double v = plane[p], gx = (plane[p + 1] - plane[p - 1]) / 2, gy = (plane[p + w] - plane[p - w]) / 2;
            mean += v, square += v * v, n += 1;
            xx += gx * gx, xy += gx * gy, yy += gy * gy;
        }
    mean /= n;
    if (std::sqrt(std::max(0.0, square / n - mean * mean)) < kTileTexture) return false;
    // The structure tensor's smaller eigenvalue: the gradients' energy along their weakest direction.
    const double half = (xx + yy) / 2, weakest = half - std::sqrt(std::max(0.0, half * half - (xx * yy - xy * xy)));
    return std::sqrt(std::max(0.0, weakest) / n) >= kTileStructure;
}

// The shift (dx, dy) that puts the back buffer's tile under the presented one, to a hundredth
// of a pixel; false where the tile has too little structure to be placed.
bool placeTile(const std::vector<float>& back, const std::vector<float>& shown, int w, int x0, int y0, int tile,
               double& dx, double& dy) {
    if (!hasStructure(back, w, x0, y0, tile)) return false;
    int bi = 0, bj = 0;
    double best = std::numeric_limits<double>::infinity();
    for (int j = -kSearch; j <= kSearch; ++j)
        for (int i = -kSearch; i <= kSearch; ++i) {
            double c = 0;
            for (int y = y0; y < y0 + tile; y += 2)
                for (int x = x0; x < x0 + tile; x += 2) {
                    const double d = shown[(std::size_t)y * w + x] - back[(std::size_t)(y + j) * w + x + i];
                    c += d * d;
                }
            if (c < best) best = c, bi = i, bj = j;
        }
    dx = bi, dy = bj;
    refineShift(back, shown, w, (int)(back.size() / w), x0, y0, tile, dx, dy);
    return true;
}

// Least-squares slope of d against position: the scale that makes the shifts grow.
double slope(const std::vector<double>& at, const std::vector<double>& d) {
    double ma = 0, md = 0;
    for (std::size_t i = 0; i < at.size(); ++i) ma += at[i], md += d[i];
    ma /= at.size(), md /= at.size();
    double num = 0, den = 0;
    for (std::size_t i = 0; i < at.size(); ++i) num += (at[i] - ma) * (d[i] - md), den += (at[i] - ma) * (at[i] - ma);
    return den > 0 ? num / den : 0;
}

}  // namespace

ScaleFigures scaleFigures(const Image& back, const Image& presented) {
    ScaleFigures s;
    if (back.width != presented.width || back.height != presented.height) {
        s.sameSize = false;
        s.scaleX = back.width ? (double)presented.width / back.width : 0;
        s.scaleY = back.height ? (double)presented.height / back.height : 0;
        s.resampled = true;
        return s;
    }
    std::vector<float> lb = lumaPlane(back), lp = lumaPlane(presented);
    for (float& v : lb) v *= 255;
    for (float& v : lp) v *= 255;
    lb = gaussianPlane(lb, back.width, back.height, kMatchBlur);
    lp = gaussianPlane(lp, back.width, back.height, kMatchBlur);
    const int tile = kTile;
    std::vector<double> xs, ys, dxs, dys;
    for (int y0 = kSearch; y0 + tile + kSearch <= back.height; y0 += kTileStep)
        for (int x0 = kSearch; x0 + tile + kSearch <= back.width; x0 += kTileStep) {
            double dx = 0, dy = 0;
            if (!placeTile(lb, lp, back.width, x0, y0, tile, dx, dy)) continue;
            xs.push_back(x0 + tile / 2.0), ys.push_back(y0 + tile / 2.0);
            dxs.push_back(dx), dys.push_back(dy);
        }
    s.tiles = (int)xs.size();
    if (s.tiles == 0) return s;
    for (int i = 0; i < s.tiles; ++i) s.shiftX += dxs[i], s.shiftY += dys[i];
    s.shiftX /= s.tiles, s.shiftY /= s.tiles;
    double square = 0;
    for (int i = 0; i < s.tiles; ++i) {
        const double d = std::hypot(dxs[i] - s.shiftX, dys[i] - s.shiftY);
        s.shiftSpread = std::max(s.shiftSpread, d), square += d * d;
    }
    // presented(x) = back(x + d(x)) with d growing as (x - c)(1 / scale - 1).
    if (s.tiles >= 3) {
        s.scaleX = 1 / (1 + slope(xs, dxs));
        s.scaleY = 1 / (1 + slope(ys, dys));
    }
    // The mean shift's distance from the nearer of a filter footprint's centres.
    const double offset = std::min(std::hypot(s.shiftX, s.shiftY), std::hypot(s.shiftX - 0.5, s.shiftY - 0.5));
    const bool moved = offset > kGridOffset && std::sqrt(square / s.tiles) < kShiftAgreement * offset;
    const bool scaled = std::abs(1 - 1 / s.scaleX) * back.width / 2 > kSideDisplacement ||
                        std::abs(1 - 1 / s.scaleY) * back.height / 2 > kSideDisplacement;
    s.resampled = scaled || moved;
    return s;
}

namespace {

// Pixels whose 5 x 5 neighbourhood is one colour in the back buffer.
std::vector<bool> flatPixels(const Image& back, std::size_t& count) {
    std::vector<bool> flat(back.pixels(), true);
    for (int c = 0; c < 3; ++c) {
        std::vector<float> lo, hi;
        rangePlane(channelPlane(back, c), back.width, back.height, kRangeRadius, lo, hi);
        for (std::size_t p = 0; p < flat.size(); ++p) flat[p] = flat[p] && lo[p] == hi[p];
    }
    count = (std::size_t)std::count(flat.begin(), flat.end(), true);
    return flat;
}

// The named shape's own map over every level: flat pixels show a few levels only, and the
// shape they fit says what the others do.
ColourCurve shaped(ColourCurve c) {
    if (c.shape == CurveShape::Other || c.shape == CurveShape::Identity) return c;
    for (int v = 0; v < 256; ++v) {
        const double x = v / 255.0;
        const double out = c.shape == CurveShape::Gain           ? c.gain * v
                           : c.shape == CurveShape::Gamma        ? 255 * std::pow(x, c.gamma)
                           : c.shape == CurveShape::LimitedRange ? kLimitedLow + x * (kLimitedHigh - kLimitedLow)
                                                                 : c.low + x * (c.high - c.low);
        for (auto& m : c.map) m[v] = (std::uint8_t)std::clamp(std::lround(out), 0L, 255L);
    }
    return c;
}

// Flat pixels fewer than this (share of the picture) say too little about the levels.
constexpr double kMinFlatShare = 0.02;
// A curve leaving less than this RMSE (levels) over every pixel is the whole change: the
// curve's own 8-bit rounding leaves under 0.5, any filter of the tests' scene over 3.
constexpr double kPointwise = 1.0;

// The colour step the spatial figures are read after, and the kernel after it. A curve
// that explains every pixel is the whole change. Otherwise the flat pixels' curve, which no
// spatial filter dilutes, is trusted where it has a named shape; any other candidate must
// earn its place by leaving the kernel less to explain than the identity does. The curve
// of every pixel is never trusted on its own then: under a blur or a morphological filter
// it is pulled towards the mean of what the filter mixed.
void colourStep(const Image& back, const Image& presented, PresentationFigures& f) {
    ColourCurve identity;
    for (auto& m : identity.map)
        for (int v = 0; v < 256; ++v) m[v] = (std::uint8_t)v;
    identity.residual = f.rmse;
    std::vector<std::pair<CurveBase, ColourCurve>> bases = {{CurveBase::Identity, identity}};
    std::size_t flatCount = 0;
    const std::vector<bool> flat = flatPixels(back, flatCount);
    const ColourCurve flatCurve =
        flatCount >= kMinFlatShare * back.pixels() ? fitColourCurve(back, presented, &flat) : identity;
    const bool named = flatCurve.shape != CurveShape::Identity && flatCurve.shape != CurveShape::Other;
    if (f.everyPixel.residual <= kPointwise) {
        bases = {
            {f.everyPixel.shape == CurveShape::Identity ? CurveBase::Identity : CurveBase::EveryPixel, f.everyPixel}};
    } else if (named) {
        bases = {{CurveBase::FlatPixels, shaped(flatCurve)}};
    } else if (flatCount >= kMinFlatShare * back.pixels()) {
        if (flatCurve.shape == CurveShape::Other) bases.push_back({CurveBase::FlatPixels, flatCurve});
    } else if (f.everyPixel.shape != CurveShape::Identity && f.everyPixel.shape != CurveShape::Other) {
        bases.push_back({CurveBase::EveryPixel, f.everyPixel});
    }
    for (std::size_t i = 0; i < bases.size(); ++i) {
        const bool plain = bases[i].first == CurveBase::Identity;
        Kernel k = fitKernel(plain ? back : applyCurve(back, bases[i].second), presented);
        if (i == 0 || k.residual < f.kernel.residual) {
            f.kernel = std::move(k);
            f.curve = bases[i].second;
            f.curveBase = bases[i].first;
        }
    }
}

}  // namespace

PresentationFigures measurePresentation(const PresentationInput& in) {
    PresentationFigures f;
    const Image& back = *in.back;
    const Image& presented = *in.presented;
    f.sameSize = back.width == presented.width && back.height == presented.height;
    if (!f.sameSize) {
        f.scale = scaleFigures(back, presented);
        return f;
    }
    for (std::size_t p = 0; p < back.pixels(); ++p) f.differing += pixelChange(back, presented, p) > in.tolerance;
    f.rmse = rmse(back, presented);
    f.everyPixel = fitColourCurve(back, presented);
    f.byColour = colourFunction(back, presented, in.tolerance);
    colourStep(back, presented, f);
    const Image curved = applyCurve(back, f.curve);
    // The figures after the colour step depend on it alone, not on each other.
    const bool edges = in.referenceCoverage && in.bands && in.referenceCoverage->pixels() == back.pixels();
    const bool detail = in.reference && in.landmarks;
    const std::function<void()> tasks[] = {
        [&] { f.gating = contrastGating(curved, presented, in.tolerance, &back); },
        [&] {
            f.range = rangeFigures(curved, presented, in.tolerance);
            // Against the back buffer itself: a curve fitted on every pixel takes up some of
            // what a light sharpening does (it pushes levels apart).
            f.range.detailCorrelation = detailCorrelation(back, presented, in.tolerance);
        },
        [&] {
            if (!edges) return;
            f.edges = edgeFigures(curved, presented, *in.referenceCoverage, *in.bands, in.tolerance, in.reference);
            if (in.presentedCoverage && in.oneSampleCoverage) {
                f.edges.edgeError = coverageEdgeError(*in.presentedCoverage, *in.referenceCoverage, *in.bands);
                f.edges.oneSampleEdgeError = coverageEdgeError(*in.oneSampleCoverage, *in.referenceCoverage, *in.bands);
                f.edges.fromCoverage = true;
            }
            f.hasEdges = true;
        },
        [&] {
            if (!detail) return;
            const DetailReference ref = prepareDetail(*in.reference);
            f.detail = detailKept(ref, presented, *in.landmarks);
            f.backDetail = detailKept(ref, back, *in.landmarks);
        },
        [&] {
            // The tiles are matched after the colour step where it brings the levels nearer
            // (a curve that a kernel's gain makes up for may not).
            f.scale = scaleFigures(rmse(curved, presented) < f.rmse ? curved : back, presented);
        }};
    forEachInParallel(std::size(tasks), [&](std::size_t i) { tasks[i](); });
    return f;
}

}  // namespace measure
