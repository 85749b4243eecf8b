// The anti-aliasing verdict on synthetic captures: a small textured scene rasterised on
// the processor, made the way each mode makes a picture, judged against the candidates the
// tool emulates from one-sample renders. No OpenGL.
#include "measure/aa/candidates.h"
#include "measure/aa/sample_positions.h"
#include "measure/aa/verdict.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using namespace measure;

constexpr int kW = 120, kH = 90;

// The driver's 4-sample positions (llvmpipe, zink) and a common 8-sample pattern.
const Pattern kFour = {{0.375, 0.125}, {0.875, 0.375}, {0.125, 0.625}, {0.625, 0.875}};
const Pattern kEight = {{0.5625, 0.3125}, {0.4375, 0.6875}, {0.8125, 0.5625}, {0.3125, 0.1875},
                        {0.1875, 0.8125}, {0.0625, 0.4375}, {0.6875, 0.9375}, {0.9375, 0.0625}};

// Long thin triangles fanned about a centre, like the ring's blades, at angles that put
// some edges within a few degrees of an axis.
struct Blade {
    double x[3], y[3];
    double tint[3];
};

std::vector<Blade> blades() {
    std::vector<Blade> out;
    const double angles[] = {0.03, 0.9, 1.6, 2.5, 3.3, 4.2, 5.1};
    for (std::size_t i = 0; i < std::size(angles); ++i) {
        const double a = angles[i], half = 0.12, inner = 8, outer = 44;
        Blade b{{60 + inner * std::cos(a), 60 + outer * std::cos(a - half), 60 + outer * std::cos(a + half)},
                {45 + inner * std::sin(a), 45 + outer * std::sin(a - half), 45 + outer * std::sin(a + half)},
                {0.9 - 0.1 * i, 0.4 + 0.08 * i, 0.3 + 0.05 * i}};
        out.push_back(b);
    }
    return out;
}

// Which blade covers (x, y), the last drawn on top; -1 for the background.
int surfaceAt(const std::vector<Blade>& scene, double x, double y) {
    int found = -1;
    for (std::size_t i = 0; i < scene.size(); ++i) {
        const Blade& b = scene[i];
        auto side = [&](int a, int c) { return (b.x[c] - b.x[a]) * (y - b.y[a]) - (b.y[c] - b.y[a]) * (x - b.x[a]); };
        double s0 = side(0, 1), s1 = side(1, 2), s2 = side(2, 0);
        if ((s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0)) found = (int)i;
    }
    return found;
}

// A surface's colour at (x, y): blades carry a fine texture, so where it is looked up matters.
std::array<double, 3> shade(const std::vector<Blade>& scene, int surface, double x, double y) {
    if (surface < 0) return {40, 50, 70};
    double t = 0.5 + 0.5 * std::sin(2.1 * x + 0.9 * y) * std::cos(1.3 * x - 1.7 * y);
    const double* tint = scene[surface].tint;
    return {255 * tint[0] * (0.35 + 0.65 * t), 255 * tint[1] * (0.35 + 0.65 * t), 255 * tint[2] * (0.35 + 0.65 * t)};
}

// A pixel's centre in scene units (y up), row 0 at the top.
double centreX(int col) { return col + 0.5; }
double centreY(int row) { return kH - 1 - row + 0.5; }

// Values to bits per channel, then read back as 8 bits.
Image toImage(const std::vector<double>& values, int bits) {
    Image out(kW, kH);
    const double top = (1 << bits) - 1;
    for (std::size_t i = 0; i < values.size(); ++i)
        out.rgb[i] = (std::uint8_t)std::lround(std::lround(values[i] / 255 * top) * 255 / top);
    return out;
}

// 5-6-5: each channel its own bits.
Image to565(const std::vector<double>& values) {
    Image out(kW, kH);
    const int bits[3] = {5, 6, 5};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double top = (1 << bits[i % 3]) - 1;
        out.rgb[i] = (std::uint8_t)std::lround(std::lround(values[i] / 255 * top) * 255 / top);
    }
    return out;
}

// How a mode makes a pixel from its samples.
enum class Make { Multisample, Supersample };

// The picture a mode makes: coverage at the pattern; the texture at the centre
// (multisampling, the surface's coordinates extrapolated there) or at each sample.
std::vector<double> made(const std::vector<Blade>& scene, const Pattern& pattern, Make make, bool linear,
                         bool coverage = false) {
    std::vector<double> out((std::size_t)kW * kH * 3, 0.0);
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col) {
            std::array<double, 3> sum{};
            for (const auto& [sx, sy] : pattern) {
                double x = col + sx, y = kH - 1 - row + sy;
                int s = surfaceAt(scene, x, y);
                std::array<double, 3> c =
                    coverage ? std::array<double, 3>{s < 0 ? 255.0 : 0, s < 0 ? 255.0 : 0, s < 0 ? 255.0 : 0}
                    : make == Make::Multisample ? shade(scene, s, centreX(col), centreY(row))
                                                : shade(scene, s, x, y);
                for (int k = 0; k < 3; ++k) sum[k] += linear ? srgbToLinear((std::uint8_t)std::lround(c[k])) : c[k];
            }
            for (int k = 0; k < 3; ++k) {
                double v = sum[k] / pattern.size();
                out[((std::size_t)row * kW + col) * 3 + k] = linear ? linearToSrgb(v) : v;
            }
        }
    return out;
}

// The tool's shifted render, done by the rasteriser above.
Image shifted(const std::vector<Blade>& scene, double dx, double dy, bool coverage) {
    Image out(kW, kH);
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col) {
            double x = centreX(col) - dx, y = centreY(row) - dy;
            int s = surfaceAt(scene, x, y);
            std::array<double, 3> c =
                coverage ? std::array<double, 3>{s < 0 ? 255.0 : 0, s < 0 ? 255.0 : 0, s < 0 ? 255.0 : 0}
                         : shade(scene, s, x, y);
            for (int k = 0; k < 3; ++k)
                out.rgb[((std::size_t)row * kW + col) * 3 + k] = (std::uint8_t)std::lround(c[k]);
        }
    return out;
}

// Each pixel's class from 16 x 16 points.
std::vector<Region> regions(const std::vector<Blade>& scene) {
    std::vector<Region> out((std::size_t)kW * kH);
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col) {
            int in = 0;
            for (int j = 0; j < 16; ++j)
                for (int i = 0; i < 16; ++i)
                    in += surfaceAt(scene, col + (i + 0.5) / 16, kH - 1 - row + (j + 0.5) / 16) >= 0;
            out[(std::size_t)row * kW + col] = in == 0 ? Region::Outside : in == 256 ? Region::Interior : Region::Edge;
        }
    return out;
}

// A sharpening filter, as a driver may apply when it shows the picture: no candidate is one.
Image sharpened(const Image& image) {
    Image blurred = tentFilter(image), out = image;
    for (std::size_t i = 0; i < out.rgb.size(); ++i)
        out.rgb[i] = (std::uint8_t)std::clamp(2 * (int)image.rgb[i] - (int)blurred.rgb[i], 0, 255);
    return out;
}

class Verdicts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scene_ = new std::vector<Blade>(blades());
        bands_ = new Bands(makeBands(regions(*scene_), kW, kH));
        Emulator emulator([](double dx, double dy, bool coverage) { return shifted(*scene_, dx, dy, coverage); });
        candidates_ = new std::vector<Candidate>(candidates(emulator, {kFour, kEight}));
        one_ = new Image(emulator.at(0.5, 0.5, false));
    }
    static void TearDownTestSuite() {
        delete scene_;
        delete bands_;
        delete candidates_;
        delete one_;
    }
    // The verdict on a picture made some way, with the facts the tool would know.
    static Verdict judged(const Image& picture, const Image* coverage = nullptr, ChannelBits bits = {},
                          int formatSamples = 0, bool driverMultisamples = true) {
        Judging in;
        in.picture = &picture;
        in.coverage = coverage;
        in.bits = bits;
        in.formatSamples = formatSamples;
        in.driverMultisamples = driverMultisamples;
        in.oneSample = one_;
        in.bands = bands_;
        return judge(in, *candidates_);
    }
    static std::vector<Blade>* scene_;
    static Bands* bands_;
    static std::vector<Candidate>* candidates_;
    static Image* one_;
};
std::vector<Blade>* Verdicts::scene_;
Bands* Verdicts::bands_;
std::vector<Candidate>* Verdicts::candidates_;
Image* Verdicts::one_;

// The picture made by each mode, and what the verdict must call it.
TEST_F(Verdicts, EachModeIsCalledWhatMadeIt) {
    const std::vector<Blade>& scene = *scene_;
    const Image& one = *one_;
    const struct {
        const char* what;
        Image picture;
        ChannelBits bits;
        int formatSamples;
        bool driverMultisamples;
        AaClass cls;
        int samples;
    } cases[] = {
        {"box 2x2", boxFilter(one, 2), {}, 0, true, AaClass::PostFilter, 4},
        {"box 2x2 the other way", boxFilter(one, 2, 1, 1), {}, 0, true, AaClass::PostFilter, 4},
        {"box 3x3", boxFilter(one, 3), {}, 0, true, AaClass::PostFilter, 9},
        {"tent 3x3", tentFilter(one), {}, 0, true, AaClass::PostFilter, 16},
        {"msaa-4", toImage(made(scene, kFour, Make::Multisample, false), 8), {}, 4, true, AaClass::Msaa, 4},
        {"msaa-8", toImage(made(scene, kEight, Make::Multisample, false), 8), {}, 8, true, AaClass::Msaa, 8},
        {"msaa-4 forced on a format without samples",
         toImage(made(scene, kFour, Make::Multisample, false), 8),
         {},
         0,
         true,
         AaClass::Msaa,
         4},
        {"ssaa-4", toImage(made(scene, kFour, Make::Supersample, false), 8), {}, 0, true, AaClass::Supersampling, 4},
        {"ssaa-8", toImage(made(scene, kEight, Make::Supersample, false), 8), {}, 0, true, AaClass::Supersampling, 8},
        {"msaa-4 resolved in linear light",
         toImage(made(scene, kFour, Make::Multisample, true), 8),
         {},
         4,
         true,
         AaClass::MsaaLinear,
         4},
        {"msaa-4 in a 5-6-5 window",
         to565(made(scene, kFour, Make::Multisample, false)),
         {5, 6, 5},
         4,
         true,
         AaClass::Msaa,
         4},
        {"msaa-4 in a 10-bit window",
         toImage(made(scene, kFour, Make::Multisample, false), 10),
         {10, 10, 10},
         4,
         true,
         AaClass::Msaa,
         4},
        {"one sample", one, {}, 0, true, AaClass::None, 1},
        {"format says 4, picture shows 1", one, {}, 4, true, AaClass::NotDelivered, 1},
        {"a driver without multisampling", one, {}, 0, false, AaClass::NoMultisampling, 1},
        {"sharpened", sharpened(one), {}, 0, true, AaClass::Unmodelled, 1},
    };
    for (const auto& c : cases) {
        Verdict v = judged(c.picture, nullptr, c.bits, c.formatSamples, c.driverMultisamples);
        EXPECT_EQ(v.cls, c.cls) << c.what << ": closest " << v.closest << " at " << v.distance;
        if (c.cls != AaClass::Unmodelled) {
            EXPECT_EQ(v.samples, c.samples) << c.what << ": closest " << v.closest;
            // The spill agrees with the verdict.
            EXPECT_EQ(v.spill, SpillContradiction::None) << c.what << ": spill " << v.evidence.spill;
        }
    }
}

// Filters reach past the edge; samples never leave their pixel, and multisampling leaves
// the interiors as one sample made them, whatever the window's bits.
TEST_F(Verdicts, SpillAndInteriorsSeparateFiltersSamplesAndShading) {
    const std::vector<Blade>& scene = *scene_;
    for (const Image& filtered : {boxFilter(*one_, 2), boxFilter(*one_, 3), tentFilter(*one_)})
        EXPECT_GT(judged(filtered).evidence.spill, kSpillShare);
    const Image msaa = toImage(made(scene, kFour, Make::Multisample, false), 8);
    const Image ssaa = toImage(made(scene, kFour, Make::Supersample, false), 8);
    const Image msaa565 = to565(made(scene, kFour, Make::Multisample, false));
    for (const Image* sampled : {&msaa, &ssaa}) EXPECT_LT(judged(*sampled).evidence.spill, kSpillShare);
    EXPECT_EQ(judged(msaa).evidence.interiorChanged, 0.0);
    EXPECT_EQ(judged(msaa565, nullptr, {5, 6, 5}).evidence.interiorChanged, 0.0);
    EXPECT_GT(judged(ssaa).evidence.interiorChanged, 0.5);
}

// The coverage pass's levels lie on the grid of the samples and of the resolve.
TEST_F(Verdicts, CoverageLevelsFitTheirGrid) {
    const std::vector<Blade>& scene = *scene_;
    const struct {
        const Pattern* pattern;
        bool linear;
        int samples;
    } cases[] = {{&kFour, false, 4}, {&kFour, true, 4}, {&kEight, false, 8}};
    for (const auto& c : cases) {
        const Image picture = toImage(made(scene, *c.pattern, Make::Multisample, c.linear), 8);
        const Image coverage = toImage(made(scene, *c.pattern, Make::Multisample, c.linear, true), 8);
        Evidence e = judged(picture, &coverage, {}, c.samples).evidence;
        EXPECT_EQ(e.gridSamples, c.samples);
        EXPECT_EQ(e.gridLinear, c.linear);
        EXPECT_FALSE(e.levels.empty());
    }
}

// A 5-6-5 picture keeps only the top bits of each channel.
TEST(Quantise, KeepsTheTopBitsOfEachChannel) {
    Image image(1, 1);
    image.rgb = {200, 200, 200};
    Image q = quantise(image, {5, 6, 5});
    EXPECT_EQ(q.rgb[0], 197);  // 200 / 255 * 31 = 24.3 -> 24 -> 197.4
    EXPECT_EQ(q.rgb[1], 198);  // 200 / 255 * 63 = 49.4 -> 49 -> 198.3
    EXPECT_EQ(quantise(image, {10, 10, 10}).rgb, image.rgb);
    EXPECT_NEAR(quantisationStep({5, 6, 5}), 255.0 / 31, 1e-12);
}

// The sweep's counts for a set of points: samples right of and above each step's corner.
std::vector<int> sweep(const Pattern& pattern) {
    std::vector<int> counts((std::size_t)kSweepSteps * kSweepSteps);
    for (int j = 0; j < kSweepSteps; ++j)
        for (int i = 0; i < kSweepSteps; ++i)
            for (const auto& [x, y] : pattern)
                counts[(std::size_t)j * kSweepSteps + i] +=
                    x >= (i - 0.5) / kSweepSteps && y >= (j - 0.5) / kSweepSteps;
    return counts;
}

TEST(SamplePositions, RecoveredFromTheSweep) {
    for (const Pattern* pattern : {&kFour, &kEight}) {
        std::vector<float> xy, expected;
        for (const auto& [x, y] : *pattern) {
            expected.push_back((float)x);
            expected.push_back((float)y);
        }
        std::string why;
        ASSERT_TRUE(recoverPositions(sweep(*pattern), (int)pattern->size(), xy, why)) << why;
        EXPECT_TRUE(samePoints(xy, expected, 1e-6));
    }
    // Two samples sharing an x and a y are still told apart by the corner.
    std::vector<float> xy;
    std::string why;
    ASSERT_TRUE(recoverPositions(sweep({{0.25, 0.75}, {0.75, 0.25}}), 2, xy, why));
    EXPECT_TRUE(samePoints(xy, {0.25f, 0.75f, 0.75f, 0.25f}, 1e-6));
    EXPECT_FALSE(samePoints(xy, {0.25f, 0.25f, 0.75f, 0.75f}, 0.1));
}

TEST(SamplePositions, InconsistentCountsAreRefused) {
    std::vector<float> xy;
    std::string why;
    EXPECT_FALSE(recoverPositions(sweep(kFour), 8, xy, why));  // the whole pixel covers 4, not 8
    std::vector<int> counts = sweep(kFour);
    counts[(std::size_t)10 * kSweepSteps + 40] += 2;  // more covered by a smaller corner
    EXPECT_FALSE(recoverPositions(counts, 4, xy, why));
    EXPECT_TRUE(xy.empty());
}

}  // namespace
