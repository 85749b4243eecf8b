// Each piece of evidence the anti-aliasing verdict weighs, on pictures a few pixels wide:
// every case is a pair in which one input, moved just across its bound, changes the
// outcome. No OpenGL.
#include "measure/aa/candidates.h"
#include "measure/aa/verdict.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace measure;

// One row: outside, spill band, edge, interior beside the edge, two interiors.
constexpr int kRow = 6;
constexpr std::size_t kSpill = 1, kEdge = 2, kBeside = 3, kInside = 4;

Image flat(std::uint8_t value, int width = kRow) {
    Image image(width, 1);
    std::fill(image.rgb.begin(), image.rgb.end(), value);
    return image;
}

// The image with one pixel's three channels moved by `by`.
Image moved(Image image, std::size_t pixel, int by) {
    for (int c = 0; c < 3; ++c) image.rgb[pixel * 3 + c] = (std::uint8_t)(image.rgb[pixel * 3 + c] + by);
    return image;
}

const Bands& rowBands() {
    static const Bands bands = makeBands(
        {Region::Outside, Region::Outside, Region::Edge, Region::Interior, Region::Interior, Region::Interior}, kRow,
        1);
    return bands;
}

Verdict judgeRow(const Image& picture, const std::vector<Candidate>& candidates, ChannelBits bits = {},
                 const Image* coverage = nullptr, const Bands* bands = nullptr, int formatSamples = 0,
                 bool driverMultisamples = true) {
    static const Image one = flat(0);
    const Image oneSample = picture.width == kRow ? one : flat(0, picture.width);
    Judging in;
    in.picture = &picture;
    in.coverage = coverage;
    in.bits = bits;
    in.formatSamples = formatSamples;
    in.driverMultisamples = driverMultisamples;
    in.oneSample = &oneSample;
    in.bands = bands ? bands : &rowBands();
    return judge(in, candidates);
}

TEST(Bands, EachPixelTakesItsRegionsBand) {
    const Bands& b = rowBands();
    EXPECT_EQ(b.spillBand, (std::vector<bool>{false, true, false, false, false, false}));
    EXPECT_EQ(b.edge, (std::vector<bool>{false, false, true, false, false, false}));
    EXPECT_EQ(b.interior, (std::vector<bool>{false, false, false, false, true, true}));
    EXPECT_EQ(b.judged, (std::vector<bool>{false, true, true, true, true, true}));
}

// Spill and interiors count a pixel only past one quantisation step of the one-sample frame.
TEST(Evidence, SpillAndInteriorsCountPixelsPastTheStep) {
    const struct {
        const char* what;
        std::size_t pixel;
        int by;
        ChannelBits bits;
        double spill, interiorChanged;
    } cases[] = {
        {"spill band, one level", kSpill, 1, {}, 0, 0},
        {"spill band, two levels", kSpill, 2, {}, 1, 0},
        {"spill band, 5-6-5, within its step", kSpill, 8, {5, 6, 5}, 0, 0},
        {"spill band, 5-6-5, past its step", kSpill, 9, {5, 6, 5}, 1, 0},
        {"outside, away from the edge", 0, 50, {}, 0, 0},
        {"interior, one level", kInside, 1, {}, 0, 0},
        {"interior, two levels", kInside, 2, {}, 0, 0.5},
        {"interior, 5-6-5, within its step", kInside, 8, {5, 6, 5}, 0, 0},
        {"interior, 5-6-5, past its step", kInside, 9, {5, 6, 5}, 0, 0.5},
        {"interior beside the edge", kBeside, 50, {}, 0, 0},
    };
    for (const auto& c : cases) {
        const Evidence e =
            judgeRow(moved(flat(0), c.pixel, c.by), {{"one", AaClass::None, 1, flat(0)}}, c.bits).evidence;
        EXPECT_EQ(e.spill, c.spill) << c.what;
        EXPECT_EQ(e.interiorChanged, c.interiorChanged) << c.what;
        // RMSE over the two interiors, one of them moved in all three channels.
        EXPECT_NEAR(e.interiorRmse, c.pixel == kInside ? c.by / std::sqrt(2.0) : 0, 1e-12) << c.what;
    }
}

// Two candidates, each off the picture at one pixel: the one off by less, where its pixel
// counts, is the closest. Edges, the spill band and the interiors each weigh.
TEST(Distance, EdgesSpillBandAndInteriorsEachWeigh) {
    const struct {
        const char* what;
        std::size_t msaaPixel;
        int msaaBy;
        std::size_t ssaaPixel;
        int ssaaBy;
        AaClass closest;
    } cases[] = {
        {"spill band further than interior", kSpill, 11, kInside, 10, AaClass::Supersampling},
        {"spill band nearer than interior", kSpill, 9, kInside, 10, AaClass::Msaa},
        {"edge further than interior", kEdge, 11, kInside, 10, AaClass::Supersampling},
        {"edge nearer than interior", kEdge, 9, kInside, 10, AaClass::Msaa},
        {"interior further than edge", kInside, 11, kEdge, 10, AaClass::Supersampling},
        {"interior nearer than edge", kInside, 9, kEdge, 10, AaClass::Msaa},
        // Pixels outside the judged bands and interiors beside an edge do not count.
        {"outside the bands", 0, 50, kInside, 1, AaClass::Msaa},
        {"interior beside the edge", kBeside, 50, kInside, 1, AaClass::Msaa},
    };
    const Image picture = flat(100);
    for (const auto& c : cases) {
        const std::vector<Candidate> candidates = {
            {"msaa", AaClass::Msaa, 4, moved(picture, c.msaaPixel, c.msaaBy)},
            {"ssaa", AaClass::Supersampling, 4, moved(picture, c.ssaaPixel, c.ssaaBy)}};
        const Verdict v = judgeRow(picture, candidates);
        EXPECT_EQ(v.cls, c.closest) << c.what << ": closest " << v.closest << " at " << v.distance;
    }
}

// A candidate's distance balances edges against interiors: sqrt((edge^2 + interior^2) / 2).
TEST(Distance, IsTheRegionBalancedRmse) {
    const Image picture = flat(100);
    const Verdict v = judgeRow(picture, {{"x", AaClass::Msaa, 4, moved(moved(picture, kEdge, 6), kInside, 8)}});
    ASSERT_EQ(v.distances.size(), 1u);
    EXPECT_NEAR(v.distances[0].edge, 6 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(v.distances[0].interior, 8 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(v.distances[0].total, 5, 1e-12);
}

// The closest candidate names the picture only within kFitLevels, plus half a coarser
// framebuffer's step.
TEST(Verdict, FitsOnlyWithinTheTolerance) {
    const struct {
        int by;
        ChannelBits bits;
        AaClass cls;
    } cases[] = {
        {15, {}, AaClass::Msaa},
        {16, {}, AaClass::Unmodelled},
        {19, {5, 6, 5}, AaClass::Msaa},  // 15 + 8.2 / 2
        {20, {5, 6, 5}, AaClass::Unmodelled},
    };
    for (const auto& c : cases) {
        Image picture = flat(0);
        for (std::size_t p = kSpill; p < kRow; ++p) picture = moved(picture, p, c.by);
        const Verdict v = judgeRow(picture, {{"x", AaClass::Msaa, 4, flat(0)}}, c.bits);
        EXPECT_EQ(v.cls, c.cls) << c.by << ": closest " << v.closest << " at " << v.distance;
    }
}

// Candidates sharing a name (a filter's placements) count once, by their closest.
TEST(Verdict, ANameCountsByItsClosestCandidate) {
    const Image picture = flat(100);
    const Verdict v = judgeRow(picture, {{"box", AaClass::PostFilter, 4, moved(picture, kEdge, 40)},
                                         {"msaa", AaClass::Msaa, 4, moved(picture, kEdge, 4)},
                                         {"box", AaClass::PostFilter, 4, picture}});
    EXPECT_EQ(v.cls, AaClass::PostFilter);
    ASSERT_EQ(v.distances.size(), 2u);
    EXPECT_EQ(v.next, "msaa");
    EXPECT_NEAR(v.margin, 2, 1e-12);  // 4 levels on one of two edge-side pixels, halved with the interiors
}

// One sample a pixel is "not delivered" where the format reports more than one sample,
// "no multisampling" where the driver has none.
TEST(Verdict, OneSampleIsNamedByWhatWasAskedFor) {
    const struct {
        int formatSamples;
        bool driverMultisamples;
        AaClass cls;
    } cases[] = {{1, true, AaClass::None},
                 {2, true, AaClass::NotDelivered},
                 {0, true, AaClass::None},
                 {0, false, AaClass::NoMultisampling}};
    for (const auto& c : cases) {
        const Verdict v = judgeRow(flat(0), {{"one", AaClass::None, 1, flat(0)}}, {}, nullptr, nullptr, c.formatSamples,
                                   c.driverMultisamples);
        EXPECT_EQ(v.cls, c.cls) << c.formatSamples << " " << c.driverMultisamples;
    }
}

// The coverage levels fit a grid of N samples within one level plus half the framebuffer's
// step, and only three levels or more name a grid.
TEST(Evidence, CoverageLevelsFitAGridWithinTheTolerance) {
    const int l25 = linearToSrgb(0.25), l50 = linearToSrgb(0.5), l75 = linearToSrgb(0.75);
    const struct {
        const char* what;
        std::vector<int> levels;
        ChannelBits bits;
        int gridSamples;
        bool gridLinear;
    } cases[] = {
        {"4 samples, stored: 63.75 within 1.5", {191, 128, 65}, {}, 4, false},
        {"63.75 missed by 2.25", {191, 128, 66}, {}, 0, false},
        {"5-6-5: within 1 + 4.1", {191, 128, 68}, {5, 6, 5}, 4, false},
        {"5-6-5: missed by 6.25", {191, 128, 70}, {5, 6, 5}, 0, false},
        {"4 samples, linear", {l75, l50, l25}, {}, 4, true},
        {"linear, missed by 2", {l75, l50, l25 + 2}, {}, 0, false},
        {"two levels name no grid", {191, 128}, {}, 0, false},
    };
    for (const auto& c : cases) {
        // Each level on four edge pixels: a level counts from three.
        const int width = 4 * (int)c.levels.size();
        Image coverage = flat(0, width);
        for (int p = 0; p < width; ++p) coverage = moved(coverage, (std::size_t)p, c.levels[(std::size_t)p / 4]);
        const Bands bands = makeBands(std::vector<Region>((std::size_t)width, Region::Edge), width, 1);
        const Image picture = flat(0, width);
        const Evidence e = judgeRow(picture, {{"one", AaClass::None, 1, picture}}, c.bits, &coverage, &bands).evidence;
        EXPECT_EQ(e.gridSamples, c.gridSamples) << c.what;
        EXPECT_EQ(e.gridLinear, c.gridLinear) << c.what;
    }
}

// Multisampling takes a sample on the centre's surface from the texture at the centre, a
// sample on another surface from its own position; supersampling every sample from its own.
TEST(Emulator, SamplesOnTheCentresSurfaceTakeTheCentresTexture) {
    // One pixel: a blade left of x = 0.5, the colour 400 x^2 wherever it is looked up.
    Emulator emulator([](double dx, double, bool coverage) {
        const double x = 0.5 - dx;
        return flat(coverage ? (x < 0.5 ? 0 : 255) : (std::uint8_t)std::lround(400 * x * x), 1);
    });
    const Pattern pattern = {{0.25, 0.5}, {0.75, 0.5}};
    // The centre (100) lies off the blade with the second sample; the first takes its own 25.
    EXPECT_EQ(emulator.multisample(pattern).first.rgb[0], 63);   // (25 + 100) / 2, rounded
    EXPECT_EQ(emulator.supersample(pattern).first.rgb[0], 125);  // (25 + 225) / 2
}

}  // namespace
