// Presentation's figures on synthetic pictures: a textured one-sample frame rasterised on
// the processor, changed the way presentation changes pictures (colour maps, blurs,
// sharpening, a contrast-gated blend, resampling), the figures read back. No OpenGL.
#include "measure/aa/candidates.h"
#include "measure/presentation/families.h"
#include "measure/presentation/figures.h"
#include "synthetic_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <functional>

namespace {

using namespace measure;

constexpr int kW = 200, kH = 150;
constexpr int kGrid = 4;  // the reference's samples a side

// Thin wedges fanned about the centre, each carrying its own texture, over a background
// with thin lines and a small block of glyph-like cells: hard edges at many angles.
struct Wedge {
    double angle;
    std::array<double, 3> tint;
    bool checkered;
};
const Wedge kWedges[] = {{0.04, {230, 80, 40}, true}, {0.95, {60, 200, 90}, false}, {1.65, {240, 230, 60}, true},
                         {2.6, {50, 90, 230}, false}, {3.35, {220, 60, 200}, true}, {4.3, {250, 250, 250}, false},
                         {5.2, {30, 160, 200}, true}};
constexpr double kCx = 100, kCy = 75, kInner = 10, kOuter = 70, kHalf = 0.14;

// The wedge covering (x, y), or -1.
int wedgeAt(double x, double y) {
    const double dx = x - kCx, dy = y - kCy, r = std::hypot(dx, dy);
    if (r < kInner || r > kOuter) return -1;
    const double a = std::atan2(dy, dx);
    for (int i = 0; i < (int)std::size(kWedges); ++i)
        if (std::abs(std::remainder(a - kWedges[i].angle, 2 * std::numbers::pi)) < kHalf * (1 - 0.4 * r / kOuter))
            return i;
    return -1;
}

// The background's texture: thin lines, the glyph block in the top-left corner, flat grey.
bool onLine(double x, double y) {
    return std::abs(std::remainder(x + 0.3 * y, 23.0)) < 0.35 || std::abs(std::remainder(y - 0.1 * x, 31.0)) < 0.35;
}
bool inGlyphs(double x, double y) { return x >= 6 && x < 38 && y >= 6 && y < 22; }
bool glyphInk(double x, double y) {
    const int cx = (int)(x - 6) / 2, cy = (int)(y - 6) / 2;
    return ((cx * 7 + cy * 13 + cx * cy) % 5) < 2;
}

std::array<double, 3> colourAt(double x, double y) {
    const int w = wedgeAt(x, y);
    if (w >= 0) {
        const Wedge& k = kWedges[w];
        const double t = k.checkered ? (((int)std::floor(x / 1.5) + (int)std::floor(y / 1.5)) & 1 ? 1.0 : 0.55)
                                     : 0.75 + 0.25 * std::sin(1.7 * x + 0.8 * y);
        return {k.tint[0] * t, k.tint[1] * t, k.tint[2] * t};
    }
    if (inGlyphs(x, y))
        return glyphInk(x, y) ? std::array<double, 3>{20, 20, 20} : std::array<double, 3>{235, 235, 235};
    if (onLine(x, y)) return {200, 200, 210};
    return {70, 75, 85};
}

// The picture sampled on a grid of g x g points a pixel; `coverage` draws the wedges black on white.
Image render(int g, bool coverage) {
    Image out(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            std::array<double, 3> sum{};
            for (int j = 0; j < g; ++j)
                for (int i = 0; i < g; ++i) {
                    const double sx = x + (i + 0.5) / g, sy = y + (j + 0.5) / g;
                    const auto c = coverage ? (wedgeAt(sx, sy) >= 0 ? std::array<double, 3>{0, 0, 0}
                                                                    : std::array<double, 3>{255, 255, 255})
                                            : colourAt(sx, sy);
                    for (int k = 0; k < 3; ++k) sum[k] += c[k];
                }
            for (int k = 0; k < 3; ++k)
                out.rgb[((std::size_t)y * kW + x) * 3 + k] = (std::uint8_t)std::lround(sum[k] / (g * g));
        }
    return out;
}

struct Scene {
    Image one = render(1, false), reference = render(kGrid, false), coverage = render(kGrid, true);
    Bands bands;
    std::vector<Landmark> landmarks;
    Scene() {
        std::vector<Region> regions(coverage.pixels());
        for (std::size_t p = 0; p < regions.size(); ++p) {
            const int g = coverage.rgb[p * 3 + 1];
            regions[p] = g == 255 ? Region::Outside : g == 0 ? Region::Interior : Region::Edge;
        }
        bands = makeBands(regions, kW, kH);
        std::vector<bool> checks(regions.size()), lines(regions.size()), caption(regions.size());
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::size_t p = (std::size_t)y * kW + x;
                const int w = wedgeAt(x + 0.5, y + 0.5);
                checks[p] = bands.interior[p] && w >= 0 && kWedges[w].checkered;
                lines[p] =
                    regions[p] == Region::Outside && !inGlyphs(x, y) && (onLine(x + 0.5, y + 0.5) || onLine(x, y));
                caption[p] = inGlyphs(x + 0.5, y + 0.5);
            }
        landmarks = {{LandmarkKind::Interiors, bands.interior},
                     {LandmarkKind::Checkerboards, checks},
                     {LandmarkKind::ThinLines, lines},
                     {LandmarkKind::Caption, caption}};
    }
};

const Scene& scene() {
    static const Scene s;
    return s;
}

Image mapLevels(const Image& in, const std::function<double(double)>& f) {
    Image out = in;
    for (auto& v : out.rgb) v = (std::uint8_t)std::clamp(std::lround(f(v)), 0L, 255L);
    return out;
}

// A 5 x 5 kernel over every channel, borders repeated; 8-bit out, as presentation writes.
Image convolve(const Image& in, const std::array<double, 25>& k) {
    Image out(in.width, in.height);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int c = 0; c < 3; ++c) {
                double a = 0;
                for (int j = -2; j <= 2; ++j)
                    for (int i = -2; i <= 2; ++i)
                        a += k[(j + 2) * 5 + i + 2] *
                             in.rgb[((std::size_t)std::clamp(y + j, 0, in.height - 1) * in.width +
                                     std::clamp(x + i, 0, in.width - 1)) *
                                        3 +
                                    c];
                out.rgb[((std::size_t)y * in.width + x) * 3 + c] = (std::uint8_t)std::clamp(std::lround(a), 0L, 255L);
            }
    return out;
}

std::array<double, 25> gaussian(double sigma) {
    std::array<double, 25> k{};
    double s = 0;
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i)
            s += k[j * 5 + i] = std::exp(-0.5 * ((i - 2) * (i - 2) + (j - 2) * (j - 2)) / (sigma * sigma));
    for (double& v : k) v /= s;
    return k;
}

// The image sharpened by `amount` of its difference from a Gaussian blur.
Image unsharp(const Image& in, double sigma, double amount) {
    std::array<double, 25> k = gaussian(sigma);
    for (double& v : k) v *= -amount;
    k[12] += 1 + amount;
    return convolve(in, k);
}

// A 3 x 3 box blended in only where the luma range over 3 x 3 reaches `threshold`: a
// morphological filter's gate without its search.
Image gatedBlur(const Image& in, double threshold) {
    const Image blurred = boxFilter(in, 3);
    Image out = in;
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            double lo = 1, hi = 0;
            for (int j = std::max(0, y - 1); j <= std::min(in.height - 1, y + 1); ++j)
                for (int i = std::max(0, x - 1); i <= std::min(in.width - 1, x + 1); ++i) {
                    const double l = lumaOf(in, (std::size_t)j * in.width + i);
                    lo = std::min(lo, l), hi = std::max(hi, l);
                }
            const std::size_t p = ((std::size_t)y * in.width + x) * 3;
            if (hi - lo >= threshold)
                for (int c = 0; c < 3; ++c) out.rgb[p + c] = blurred.rgb[p + c];
        }
    return out;
}

// Bilinear resampling about the centre by `scale`.
Image zoom(const Image& in, double scale) {
    Image out(in.width, in.height);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            const double sx = std::clamp((x - in.width / 2.0) / scale + in.width / 2.0, 0.0, in.width - 1.001);
            const double sy = std::clamp((y - in.height / 2.0) / scale + in.height / 2.0, 0.0, in.height - 1.001);
            const int ix = (int)sx, iy = (int)sy;
            const double fx = sx - ix, fy = sy - iy;
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int i, int j) { return (double)in.rgb[((std::size_t)j * in.width + i) * 3 + c]; };
                const double v = (1 - fy) * ((1 - fx) * at(ix, iy) + fx * at(ix + 1, iy)) +
                                 fy * ((1 - fx) * at(ix, iy + 1) + fx * at(ix + 1, iy + 1));
                out.rgb[((std::size_t)y * in.width + x) * 3 + c] = (std::uint8_t)std::lround(v);
            }
        }
    return out;
}

// The whole picture moved by (dx, dy) pixels, bilinear: presented(x) = back(x + d).
Image shifted(const Image& in, double dx, double dy) {
    Image out(in.width, in.height);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            const double sx = std::clamp(x + dx, 0.0, in.width - 1.001);
            const double sy = std::clamp(y + dy, 0.0, in.height - 1.001);
            const int ix = (int)sx, iy = (int)sy;
            const double fx = sx - ix, fy = sy - iy;
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int i, int j) { return (double)in.rgb[((std::size_t)j * in.width + i) * 3 + c]; };
                const double v = (1 - fy) * ((1 - fx) * at(ix, iy) + fx * at(ix + 1, iy)) +
                                 fy * ((1 - fx) * at(ix, iy + 1) + fx * at(ix + 1, iy + 1));
                out.rgb[((std::size_t)y * in.width + x) * 3 + c] = (std::uint8_t)std::lround(v);
            }
        }
    return out;
}

PresentationFigures measured(const Image& back, const Image& presented, double tolerance = 1) {
    const Scene& s = scene();
    PresentationInput in;
    in.back = &back;
    in.presented = &presented;
    in.reference = &s.reference;
    in.referenceCoverage = &s.coverage;
    in.bands = &s.bands;
    in.landmarks = &s.landmarks;
    in.tolerance = tolerance;
    return measurePresentation(in);
}

double keptOf(const std::vector<DetailKept>& d, LandmarkKind kind) {
    for (const DetailKept& k : d)
        if (k.kind == kind) return k.kept;
    return -1;
}

// A back buffer as a framebuffer of these bits holds the one-sample frame, its tolerance.
struct Framebuffer {
    ChannelBits bits;
    Image back;
    double tolerance;
};
std::vector<Framebuffer> framebuffers() {
    std::vector<Framebuffer> out;
    for (const ChannelBits& bits : {ChannelBits{8, 8, 8}, ChannelBits{5, 6, 5}})
        out.push_back({bits, quantise(scene().one, bits), quantisationStep(bits)});
    return out;
}

TEST(PresentationFigures, AnUnchangedPictureIsTheIdentityEverywhere) {
    const Image& one = scene().one;
    const PresentationFigures f = measured(one, one);
    EXPECT_EQ(f.differing, 0u);
    EXPECT_EQ(f.curve.shape, CurveShape::Identity);
    EXPECT_EQ(f.kernel.shape, KernelShape::Identity);
    EXPECT_LT(f.kernel.residual, 0.01);
    EXPECT_FALSE(f.gating.gated);
    EXPECT_EQ(f.range.changed, 0u);
    EXPECT_FALSE(f.scale.resampled);
    ASSERT_EQ(f.detail.size(), 4u);
    for (std::size_t i = 0; i < f.detail.size(); ++i) {
        EXPECT_TRUE(f.detail[i].hasDetail) << i;
        EXPECT_DOUBLE_EQ(f.detail[i].kept, f.backDetail[i].kept);
    }
}

TEST(PresentationFigures, ColourCurvesAreRecoveredWithTheirShape) {
    for (const Framebuffer& fb : framebuffers()) {
        SCOPED_TRACE(fb.bits.g);
        const ColourCurve gamma =
            fitColourCurve(fb.back, mapLevels(fb.back, [](double v) { return 255 * std::pow(v / 255, 1.8); }));
        EXPECT_EQ(gamma.shape, CurveShape::Gamma);
        EXPECT_NEAR(gamma.gamma, 1.8, 0.03);
        EXPECT_LT(gamma.residual, 0.01);
        const Image limited = mapLevels(fb.back, [](double v) { return 16 + v * 219 / 255; });
        const ColourCurve lr = fitColourCurve(fb.back, limited);
        EXPECT_EQ(lr.shape, CurveShape::LimitedRange);
        EXPECT_NEAR(lr.low, 16, 1);
        EXPECT_NEAR(lr.high, 235, 1);
        EXPECT_LT(lr.residual, 0.01);
        EXPECT_EQ(applyCurve(fb.back, lr).rgb, limited.rgb);
        const ColourCurve gain = fitColourCurve(fb.back, mapLevels(fb.back, [](double v) { return 0.8 * v; }));
        EXPECT_EQ(gain.shape, CurveShape::Gain);
        EXPECT_NEAR(gain.gain, 0.8, 0.01);
        // A blur is no pointwise map: the best curve leaves most of it.
        const ColourCurve blur = fitColourCurve(fb.back, boxFilter(fb.back, 3));
        EXPECT_GT(blur.residual, 5);
        for (int c = 0; c < 3; ++c)
            for (int v = 1; v < 256; ++v) ASSERT_LE(blur.map[c][v - 1], blur.map[c][v]);
    }
}

TEST(PresentationFigures, LinearFiltersGiveTheirKernelsAndNoGate) {
    for (const Framebuffer& fb : framebuffers()) {
        SCOPED_TRACE(fb.bits.g);
        struct Case {
            Image picture;
            KernelShape shape;
            int side;
        };
        const Case cases[] = {{boxFilter(fb.back, 3), KernelShape::Box, 3},
                              {tentFilter(fb.back), KernelShape::Tent, 3},
                              {boxFilter(fb.back, 2), KernelShape::Box, 2},
                              {convolve(fb.back, gaussian(1.2)), KernelShape::Gaussian, 5}};
        for (const Case& c : cases) {
            const PresentationFigures f = measured(fb.back, c.picture, fb.tolerance);
            EXPECT_EQ(f.kernel.shape, c.shape) << (int)c.shape;
            EXPECT_LT(f.kernel.residual, 0.5) << (int)c.shape;
            EXPECT_GT(f.kernel.identityResidual, 5 * f.kernel.residual);
            if (c.shape == KernelShape::Gaussian) {
                EXPECT_NEAR(f.kernel.sigma, 1.2, 0.1);
            } else {
                EXPECT_EQ(f.kernel.boxSide, c.side);
            }
            EXPECT_FALSE(f.gating.gated) << (int)c.shape;
            EXPECT_LT(f.range.overshootShare, 0.01) << (int)c.shape;
            EXPECT_FALSE(f.scale.resampled) << (int)c.shape;
            // The kernel applied predicts the filtered luma as closely as its residual says.
            const std::vector<float> predicted = applyKernel(lumaPlane(fb.back), kW, kH, f.kernel);
            const std::vector<float> actual = lumaPlane(c.picture);
            double square = 0;
            for (std::size_t p = 0; p < actual.size(); ++p) square += std::pow(255 * (predicted[p] - actual[p]), 2);
            EXPECT_NEAR(std::sqrt(square / actual.size()), f.kernel.residual, 0.3) << (int)c.shape;
        }
        EXPECT_NEAR(measured(fb.back, boxFilter(fb.back, 2), fb.tolerance).kernel.centreX, 0.5, 0.02);
    }
}

TEST(PresentationFigures, SharpeningHasNegativeLobesAndOvershoots) {
    for (const Framebuffer& fb : framebuffers()) {
        SCOPED_TRACE(fb.bits.g);
        const PresentationFigures f = measured(fb.back, unsharp(fb.back, 1.0, 0.6), fb.tolerance);
        EXPECT_EQ(f.kernel.shape, KernelShape::Sharpening);
        EXPECT_LT(f.kernel.negativeSum, -0.2);
        EXPECT_GT(f.range.overshootShare, 0.2);
        EXPECT_GE(f.range.haloWidth, 1);
        EXPECT_LE(f.range.haloWidth, 4);
        // Sharpening adds detail beyond the reference's: false detail above the back buffer's.
        const double backFalse = f.backDetail[0].falseDetail, falseDetail = f.detail[0].falseDetail;
        EXPECT_GT(falseDetail, backFalse);
    }
}

TEST(PresentationFigures, AContrastGatedChangeGivesItsThreshold) {
    for (const Framebuffer& fb : framebuffers()) {
        for (double threshold : {0.1, 0.25}) {
            SCOPED_TRACE(testing::Message() << fb.bits.g << " bits, threshold " << threshold);
            const PresentationFigures f = measured(fb.back, gatedBlur(fb.back, threshold), fb.tolerance);
            EXPECT_TRUE(f.gating.gated);
            EXPECT_NEAR(f.gating.threshold, threshold, 0.03);
            EXPECT_LT(f.range.overshootShare, 0.01);
        }
    }
}

TEST(PresentationFigures, AColourCurveAfterAFilterIsToldApartFromIt) {
    const std::function<double(double)> limited = [](double v) { return 16 + v * 219 / 255; };
    const std::function<double(double)> gamma = [](double v) { return 255 * std::pow(v / 255, 1.8); };
    for (const Framebuffer& fb : framebuffers()) {
        for (const auto& [curve, shape] :
             {std::pair{limited, CurveShape::LimitedRange}, std::pair{gamma, CurveShape::Gamma}}) {
            SCOPED_TRACE(testing::Message() << fb.bits.g << " bits, shape " << (int)shape);
            const PresentationFigures blur = measured(fb.back, mapLevels(boxFilter(fb.back, 3), curve), fb.tolerance);
            // Every pixel's curve is diluted by the blur; the flat pixels' is not.
            EXPECT_GT(blur.everyPixel.residual, 5);
            EXPECT_EQ(blur.curveBase, CurveBase::FlatPixels);
            EXPECT_EQ(blur.curve.shape, shape);
            EXPECT_EQ(blur.kernel.shape, KernelShape::Box);
            const PresentationFigures gate =
                measured(fb.back, mapLevels(gatedBlur(fb.back, 0.15), curve), fb.tolerance);
            EXPECT_EQ(gate.curve.shape, shape);
            EXPECT_TRUE(gate.gating.gated);
            EXPECT_NEAR(gate.gating.threshold, 0.15, 0.03);
            const PresentationFigures sharp =
                measured(fb.back, mapLevels(unsharp(fb.back, 1.0, 0.6), curve), fb.tolerance);
            EXPECT_EQ(sharp.kernel.shape, KernelShape::Sharpening);
        }
    }
}

TEST(PresentationFigures, DetailKeptSeparatesBlurFromAliasingRemoved) {
    const Scene& s = scene();
    const DetailReference ref = prepareDetail(s.reference);
    const auto same = detailKept(ref, s.reference, s.landmarks);
    const auto one = detailKept(ref, s.one, s.landmarks);
    const auto blurred = detailKept(ref, convolve(s.reference, gaussian(1.2)), s.landmarks);
    ASSERT_EQ(same.size(), s.landmarks.size());
    for (std::size_t i = 0; i < same.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(same[i].hasDetail);
        EXPECT_NEAR(same[i].kept, 1, 1e-9);
        EXPECT_NEAR(same[i].falseDetail, 0, 1e-9);
        EXPECT_LT(blurred[i].kept, 0.7);
        // The reference is the one-sample frame with its aliasing removed: more kept, less false.
        EXPECT_GE(same[i].kept, one[i].kept);
        EXPECT_GT(one[i].falseDetail, same[i].falseDetail);
    }
    // A 5-6-5 framebuffer's levels keep nearly all of it, and a blur still loses it.
    const ChannelBits coarse{5, 6, 5};
    const auto quantised = detailKept(ref, quantise(s.reference, coarse), s.landmarks);
    const auto quantisedBlur = detailKept(ref, quantise(convolve(s.reference, gaussian(1.2)), coarse), s.landmarks);
    for (std::size_t i = 0; i < same.size(); ++i) {
        EXPECT_GT(quantised[i].kept, 0.9) << i;
        EXPECT_LT(quantisedBlur[i].kept, 0.7) << i;
    }
    // The checkerboards alias at one sample; the smooth caption cells barely do.
    EXPECT_LT(keptOf(one, LandmarkKind::Checkerboards), keptOf(one, LandmarkKind::Caption));
    // Where the reference is flat there is no detail to keep.
    Landmark flat{LandmarkKind::Interiors, std::vector<bool>(s.one.pixels(), false)};
    for (int y = 6; y < kH - 6; ++y)
        for (int x = 6; x < kW - 6; ++x) {
            bool same = true;
            for (int j = -6; j <= 6; ++j)
                for (int i = -6; i <= 6; ++i)
                    same = same && s.reference.rgb[((std::size_t)(y + j) * kW + x + i) * 3] ==
                                       s.reference.rgb[((std::size_t)y * kW + x) * 3];
            flat.mask[(std::size_t)y * kW + x] = same;
        }
    ASSERT_GT(std::count(flat.mask.begin(), flat.mask.end(), true), 100);
    EXPECT_FALSE(detailKept(ref, s.one, {flat})[0].hasDetail);
}

TEST(PresentationFigures, EdgesReachAndCoverage) {
    const Scene& s = scene();
    const EdgeFigures none = edgeFigures(s.one, s.one, s.coverage, s.bands, 1);
    EXPECT_GE(none.runs, 4u);
    EXPECT_EQ(none.reachMax, 0);
    EXPECT_DOUBLE_EQ(none.edgeError, none.oneSampleEdgeError);
    // The reference's edges recover its coverage better than one sample does, and exactly
    // when read against its own colours; a blur recovers none of it.
    const EdgeFigures ideal = edgeFigures(s.one, s.reference, s.coverage, s.bands, 1);
    EXPECT_LT(ideal.edgeError, 0.75 * ideal.oneSampleEdgeError);
    EXPECT_EQ(edgeFigures(s.one, s.reference, s.coverage, s.bands, 1, &s.reference).edgeError, 0);
    const EdgeFigures blurred = edgeFigures(s.one, boxFilter(s.one, 3), s.coverage, s.bands, 1, &s.reference);
    EXPECT_GT(blurred.edgeError, blurred.oneSampleEdgeError * 0.9);
    // With coverage passes, the geometric edge score.
    const Image oneCoverage = render(1, true);
    const double oneScore = coverageEdgeError(oneCoverage, s.coverage, s.bands);
    EXPECT_EQ(coverageEdgeError(s.coverage, s.coverage, s.bands), 0);
    EXPECT_GT(oneScore, 40);
    EXPECT_GT(coverageEdgeError(boxFilter(oneCoverage, 3), s.coverage, s.bands), 0.5 * oneScore);
    // A blur changes whole runs; a gate confined to the steps' neighbourhood reaches less.
    const EdgeFigures blur = edgeFigures(s.one, boxFilter(s.one, 3), s.coverage, s.bands, 1);
    EXPECT_GT(blur.runChangedShare, 0.9);
    EXPECT_NEAR(blur.reachMean, blur.runLengthMean, 0.2 * blur.runLengthMean);
    Image steps = s.one;
    for (std::size_t p = 0; p < steps.pixels(); ++p)
        if (s.bands.edge[p] && (p % kW) % 9 == 0) steps.rgb[p * 3] ^= 0x40;
    const EdgeFigures sparse = edgeFigures(s.one, steps, s.coverage, s.bands, 1);
    EXPECT_LT(sparse.runChangedShare, 0.5);
}

TEST(PresentationFigures, ResampledPicturesAreScaled) {
    const Image& one = scene().reference;
    const ScaleFigures zoomed = scaleFigures(one, zoom(one, 1.02));
    EXPECT_TRUE(zoomed.resampled);
    EXPECT_NEAR(zoomed.scaleX, 1.02, 0.005);
    EXPECT_NEAR(zoomed.scaleY, 1.02, 0.005);
    const ScaleFigures same = scaleFigures(one, one);
    EXPECT_FALSE(same.resampled);
    EXPECT_GT(same.tiles, 2);
    Image larger(kW * 2, kH * 2);
    const PresentationFigures f = measured(one, larger);
    EXPECT_FALSE(f.sameSize);
    EXPECT_TRUE(f.scale.resampled);
    EXPECT_DOUBLE_EQ(f.scale.scaleX, 2);
    // The whole picture moved off the grid, by a fraction of a pixel or a whole one: every
    // tile moves alike, and the scale stays 1.
    for (const auto& [dx, dy] : {std::pair{0.3, 0.0}, std::pair{0.25, 0.25}, std::pair{0.0, 1.0}}) {
        const ScaleFigures moved = scaleFigures(one, shifted(one, dx, dy));
        EXPECT_TRUE(moved.resampled) << dx << " " << dy;
        EXPECT_NEAR(moved.shiftX, dx, 0.02);
        EXPECT_NEAR(moved.shiftY, dy, 0.02);
        EXPECT_NEAR(moved.scaleX, 1, 0.001);
    }
}

// Local changes of the same grid, a morphological filter's gated blends and a colour map
// alike, are not resampling: on this scene and on the synthetic frame, in 8 bits and 5-6-5,
// through the figures (which match the tiles after the colour step) and for the squeeze
// alone, on the back buffer as it is.
TEST(PresentationFigures, LocalChangesAreNotResampled) {
    const Image frames[] = {scene().one, synthetic::render(1)};
    const ColourMap limited{ColourMapKind::LimitedRange, 1};
    for (const Image& one : frames) {
        for (const ChannelBits& bits : {ChannelBits{8, 8, 8}, ChannelBits{5, 6, 5}}) {
            SCOPED_TRACE(::testing::Message() << one.width << " wide, green " << bits.g);
            const Image back = quantise(one, bits);
            const Image pictures[] = {fxaa(back, {}),
                                      fxaa(back, {12, 1.0, 0.063, 0.0312, false}),
                                      mlaa(back, {}),
                                      applyColourMap(back, limited),
                                      applyColourMap(fxaa(back, {}), limited),
                                      applyColourMap(back, {ColourMapKind::Gamma, 0.8}),
                                      unsharpMask(back, 1.0, 0.8),
                                      cas(back, 0.6)};
            for (std::size_t i = 0; i < std::size(pictures); ++i) {
                PresentationInput in;
                in.back = &back;
                const Image presented = quantise(pictures[i], bits);
                in.presented = &presented;
                in.tolerance = quantisationStep(bits);
                const ScaleFigures s = measurePresentation(in).scale;
                EXPECT_FALSE(s.resampled) << i << ": spread " << s.shiftSpread << ", shift " << s.shiftX << " "
                                          << s.shiftY << ", scale " << s.scaleX << " " << s.scaleY;
                EXPECT_GE(s.tiles, 6) << i;
                EXPECT_NEAR(s.scaleX, 1, 0.005) << i;
                EXPECT_NEAR(s.scaleY, 1, 0.005) << i;
            }
            EXPECT_FALSE(scaleFigures(back, applyColourMap(back, limited)).resampled);
        }
    }
}

// A tile whose edges all run one way slides along them: it is not placed.
TEST(PresentationFigures, TilesWithoutStructureAreNotPlaced) {
    Image stripes(kW, kH);
    for (std::size_t p = 0; p < stripes.pixels(); ++p)
        for (int c = 0; c < 3; ++c) stripes.rgb[p * 3 + c] = (p / kW) % 6 < 3 ? 40 : 220;
    const ScaleFigures s = scaleFigures(stripes, fxaa(stripes, {}));
    EXPECT_EQ(s.tiles, 0);
    EXPECT_FALSE(s.resampled);
}

}  // namespace
