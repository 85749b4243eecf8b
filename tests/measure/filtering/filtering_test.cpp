// Texture filtering against the rules: the processor's model on hand-made cases with known
// answers, the coded mipmap chain's decoding, and the facts of the OpenGL implementation
// the test runs on (llvmpipe by default; softpipe and zink where ctest selects them).
#include "measure/filtering/probes.h"
#include "measure/filtering/coded_lod.h"
#include "measure/filtering/rules.h"
#include "platform/headless.h"
#include "render/gfx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace {

using namespace measure;

// An isotropic footprint of scale s rotated by `degrees`.
Footprint rotatedSquare(double s, double degrees) {
    const double a = degrees * std::numbers::pi / 180;
    return {s * std::cos(a), s * std::sin(a), -s * std::sin(a), s * std::cos(a)};
}

TEST(TexModel, SquareAtKnownScaleAndAngle) {
    // A turned square: max(mu, mv) is s max(|cos|, |sin|) and mu + mv twice that.
    const double c30 = std::log2(std::cos(std::numbers::pi / 6));
    const struct {
        double scale, degrees, exact, lower;
    } cases[] = {
        {4, 0, 2, 2},
        {4, 90, 2, 2},
        // 45 degrees: max(mu, mv) and mu + mv lie half an octave either side of the exact length.
        {4, 45, 2, 1.5},
        {8, 135, 3, 2.5},
        {2, 30, 1, 1 + c30},
        {2, 60, 1, 1 + c30},
    };
    for (const auto& c : cases) {
        const Lod lod = lodOf(rotatedSquare(c.scale, c.degrees));
        EXPECT_NEAR(lod.exact, c.exact, 1e-12) << c.degrees;
        EXPECT_NEAR(lod.lower, c.lower, 1e-12) << c.degrees;
        EXPECT_NEAR(lod.upper, c.lower + 1, 1e-12) << c.degrees;
        EXPECT_NEAR(lod.anisotropy, 1, 1e-12);
    }
}

TEST(TexModel, StretchedFootprintTakesTheLongerAxis) {
    // 8 texels a pixel along x, 2 along y, the whole thing turned 45 degrees in texture space.
    const double r = std::sqrt(0.5);
    const Lod lod = lodOf({8 * r, 8 * r, -2 * r, 2 * r});
    EXPECT_NEAR(lod.exact, 3, 1e-12);
    EXPECT_NEAR(lod.anisotropy, 4, 1e-12);
    EXPECT_NEAR(lod.lower, 2.5, 1e-12);
    EXPECT_NEAR(lod.angle, 45, 1e-9);
}

TEST(TexModel, NearestMipmapRoundingRulesDifferOnlyAtHalves) {
    const struct {
        double lambda;
        int up, down;
    } cases[] = {{1.49, 1, 1}, {1.5, 2, 1}, {1.51, 2, 2}, {0.0, 0, 0}, {2.5, 3, 2}, {-0.2, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(levelRoundHalfUp(c.lambda), c.up) << c.lambda;
        EXPECT_EQ(levelRoundHalfDown(c.lambda), c.down) << c.lambda;
    }
}

TEST(TexModel, NearestAndBilinearOnAHandMadeTexture) {
    // 2 x 2 texels, rows from the bottom: red 0, 100 / 200, 40; green and blue 0.
    const std::uint32_t texels[4] = {0x00000000u, 0x64000000u, 0xC8000000u, 0x28000000u};
    const Texels t{texels, 2, 2};
    const struct {
        double s, t, nearest, bilinear;
    } cases[] = {
        {0.25, 0.25, 0, 0},    // a texel centre
        {0.75, 0.75, 40, 40},  // another
        {0.5, 0.25, 100, 50},  // between the bottom pair
        {0.5, 0.5, 40, 85},    // the middle of all four
        {0.0, 0.25, 0, 50},    // the repeat wrap joins column 1 to column 0
        {0.375, 0.25, 0, 25},  // a quarter of the way across
        {1.25, -0.75, 0, 0},   // a whole period away
    };
    for (const auto& c : cases) {
        double n[3], b[3];
        sampleNearest(t, c.s, c.t, n);
        sampleBilinear(t, c.s, c.t, b);
        EXPECT_DOUBLE_EQ(n[0], c.nearest) << c.s << "," << c.t;
        EXPECT_NEAR(b[0], c.bilinear, 1e-12) << c.s << "," << c.t;
        EXPECT_EQ(b[1], 0);
    }
}

TEST(TexModel, AffineTriangleHasTheMappingsDerivatives) {
    // s = 0.01 x + 0.002 y, t = -0.003 x + 0.02 y on a 100 x 100 texture.
    auto vertex = [](double x, double y) { return ModelVertex{x, y, 1, 0.01 * x + 0.002 * y, -0.003 * x + 0.02 * y}; };
    FrameModel model(40, 30, 100, 100);
    model.addTriangle(vertex(0, 0), vertex(40, 0), vertex(0, 30));
    model.addTriangle(vertex(40, 0), vertex(40, 30), vertex(0, 30));
    for (int y = 0; y < 30; y += 7)
        for (int x = 0; x < 40; x += 9) {
            const PixelModel& m = model.at(x, y);
            ASSERT_TRUE(m.covered);
            const double wy = 30 - y - 0.5;  // window y counts upwards
            EXPECT_NEAR(m.s, 0.01 * (x + 0.5) + 0.002 * wy, 1e-12);
            EXPECT_NEAR(m.footprint.dudx, 1, 1e-9);
            EXPECT_NEAR(m.footprint.dudy, 0.2, 1e-9);
            EXPECT_NEAR(m.footprint.dvdx, -0.3, 1e-9);
            EXPECT_NEAR(m.footprint.dvdy, 2, 1e-9);
        }
}

TEST(TexModel, PerspectiveDerivativesMatchTheQuotient) {
    // A plane receding from the viewer: s / w, t / w and 1 / w affine in window x, y.
    auto sw = [](double x, double y) { return 0.6 * x / 64 + 0.1 * y / 64; };
    auto tw = [](double, double y) { return 0.25 * y / 64; };
    auto iw = [](double x, double y) { return 1 - 0.75 * y / 64 + 0.1 * x / 64; };
    auto s = [&](double x, double y) { return sw(x, y) / iw(x, y); };
    auto t = [&](double x, double y) { return tw(x, y) / iw(x, y); };
    auto vertex = [&](double x, double y) { return ModelVertex{x, y, iw(x, y), s(x, y), t(x, y)}; };
    FrameModel model(64, 64, 256, 256);
    model.addTriangle(vertex(0, 0), vertex(64, 0), vertex(0, 64));
    model.addTriangle(vertex(64, 0), vertex(64, 64), vertex(0, 64));
    const double h = 1e-5;
    for (int row = 2; row < 62; row += 10)
        for (int col = 3; col < 64; col += 20) {
            const double x = col + 0.5, y = 64 - row - 0.5;
            const PixelModel& m = model.at(col, row);
            EXPECT_NEAR(m.s, s(x, y), 1e-12);
            EXPECT_NEAR(m.t, t(x, y), 1e-12);
            EXPECT_NEAR(m.footprint.dudx, (s(x + h, y) - s(x - h, y)) / (2 * h) * 256, 1e-5);
            EXPECT_NEAR(m.footprint.dudy, (s(x, y + h) - s(x, y - h)) / (2 * h) * 256, 1e-5);
            EXPECT_NEAR(m.footprint.dvdx, (t(x + h, y) - t(x - h, y)) / (2 * h) * 256, 1e-5);
            EXPECT_NEAR(m.footprint.dvdy, (t(x, y + h) - t(x, y - h)) / (2 * h) * 256, 1e-5);
        }
    // Farther pixels (smaller 1 / w, at the top) are minified more.
    EXPECT_GT(lodOf(model.at(20, 5).footprint).exact, lodOf(model.at(20, 60).footprint).exact + 1);
}

TEST(StepSpread, MeasuresAKernelsWidthFromItsStepResponse) {
    // A step through a box w wide ramps linearly over w: the integral of F (1 - F) is w / 6.
    // Through a tent of half-width d (the bilinear filter at texel size d) it is 7 d / 30.
    auto ramp = [](double w) {
        std::vector<std::pair<double, double>> samples;
        for (double x = -40; x <= 40; x += 0.125) samples.push_back({x, std::clamp(x / w + 0.5, 0.0, 1.0)});
        return samples;
    };
    auto tent = [](double d) {
        std::vector<std::pair<double, double>> samples;
        for (double x = -40; x <= 40; x += 0.125) {
            const double t = std::clamp(x / d, -1.0, 1.0);
            samples.push_back({x, t < 0 ? (1 + t) * (1 + t) / 2 : 1 - (1 - t) * (1 - t) / 2});
        }
        return samples;
    };
    EXPECT_NEAR(stepSpread(ramp(32), 0.125), 32.0 / 6, 0.01);
    EXPECT_NEAR(stepSpread(ramp(4), 0.125) * 8, stepSpread(ramp(32), 0.125), 0.02);
    EXPECT_NEAR(stepSpread(tent(2), 0.125), 7.0 * 2 / 30, 0.01);
    // A hard step between bins has no spread; samples in one bin average, wherever they fall in it.
    EXPECT_NEAR(stepSpread({{-0.3, 0}, {-0.2, 0}, {0.2, 1}, {0.3, 1}}, 0.1), 0, 1e-12);
    EXPECT_NEAR(stepSpread({{0.1, 0}, {-0.1, 1}}, 1), 0.25, 1e-12);
    EXPECT_TRUE(std::isnan(stepSpread({}, 1)));
}

TEST(CodedChain, BlendsDecodeBackToLambda) {
    // Either side of every whole level, where a one-channel code cannot tell the side apart.
    const double lambdas[] = {0.0, 0.1, 0.5, 0.98, 0.999, 1.0, 1.02, 1.25, 2.5, 2.99, 3.75, 4.02, 5.01, 6.5, 7.9, 8.0};
    for (double l : lambdas) EXPECT_NEAR(decodeLod(codedBlend(l, 9), 9), l, 1.0 / 255) << l;
    for (int level = 0; level < 9; ++level) EXPECT_NEAR(decodeLod(codedLevel(level), 9), level, 1e-12);
    // Anything that is no blend of two neighbouring levels decodes to NaN.
    const Rgb8 five = codedLevel(5), zero = codedLevel(0);
    EXPECT_TRUE(std::isnan(decodeLod({255, 255, 255}, 9)));  // the background
    EXPECT_TRUE(std::isnan(decodeLod({zero.r, five.g, zero.b}, 9)));
    EXPECT_TRUE(std::isnan(decodeLod({128, 20, 128}, 9)));  // both fine channels half way
}

// The facts this implementation must show, by its renderer string.
TEST(FilteringDriver, ReportsThisDriversFacts) {
    char why[256] = "";
    ASSERT_TRUE(headlessCreate(why, sizeof why)) << why;
    gfxInitState();
    {
        const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        const GlEntryPoints gl = loadEntryPoints();
        ASSERT_TRUE(gl.framebuffers);
        Target target;
        std::string reason;
        ASSERT_TRUE(makeTarget(gl, 410, 300, 0, target, reason)) << reason;
        Scene scene(gl);
        const Filtering f = measureFiltering(gl, scene, target, nullptr, false);
        releaseTarget(gl, target);
        SCOPED_TRACE(renderer);
        ASSERT_TRUE(f.measured) << (int)f.gap;
        ASSERT_EQ(f.program.size(), 2u);
        EXPECT_TRUE(f.program[0].honoured) << f.program[0].rmseBilinear;
        EXPECT_EQ(f.program[0].delivered, DeliveredFilter::Linear);
        EXPECT_TRUE(f.program[1].honoured) << f.program[1].rmseNearest;
        EXPECT_EQ(f.program[1].delivered, DeliveredFilter::Nearest);
        EXPECT_EQ(f.ring.outcome, RingOutcome::WithinRules) << f.ring.withinRules;
        EXPECT_GT(f.blendWidth, 0.9);
        EXPECT_NEAR(f.biasPlus, 0.5, 0.06);
        EXPECT_NEAR(f.biasMinus, -0.5, 0.06);
        EXPECT_NEAR(f.roundingThreshold, 0.5, 1.0 / 32);
        EXPECT_NEAR(f.error0, 0, 0.06);
        ASSERT_GE(f.aniso.size(), 5u);
        // Without anisotropy the filter is isotropic: it spreads alike along both axes.
        EXPECT_NEAR(f.aniso[0].blurRatio, 1, 0.1);
        if (renderer.find("softpipe") != std::string::npos) {
            // The larger absolute derivative: cos 45 and cos 30 below the exact length.
            EXPECT_NEAR(f.error45, -0.5, 0.06);
            EXPECT_NEAR(f.error30, std::log2(std::cos(std::numbers::pi / 6)), 0.06);
            for (int i : {1, 2, 4}) {
                EXPECT_NEAR(f.aniso[i].delivered, f.aniso[i].requested, 0.15 * f.aniso[i].requested);
                EXPECT_FALSE(f.aniso[i].samePicture);
                // Its elliptical filter spreads along the major axis as the degree grows.
                EXPECT_GT(f.aniso[i].blurRatio, f.aniso[i - 1].blurRatio);
                EXPECT_EQ(f.aniso[i].outcome, AnisoOutcome::Honoured) << f.aniso[i].requested;
            }
        } else {
            ASSERT_TRUE(renderer.find("llvmpipe") != std::string::npos) << "not one of the three this test knows";
            EXPECT_NEAR(f.error30, 0, 0.06);
            EXPECT_NEAR(f.error45, 0, 0.06);
            for (int i : {2, 3, 4}) EXPECT_TRUE(f.aniso[i].samePicture) << f.aniso[i].requested;
            EXPECT_EQ(f.anisoSummary, AnisoSummary::Ignored);
            // Every degree is filtered as 16 would be: the level of a 16 : 1 footprint and the
            // spread along its major axis with it, so degree 2 is sharper than the rules allow.
            EXPECT_NEAR(f.aniso[1].delivered, 16, 0.15 * 16);
            EXPECT_GT(f.aniso[1].blurRatio, 0.6 * 16);
            EXPECT_EQ(f.aniso[1].outcome, AnisoOutcome::SharperLevel) << f.aniso[1].delivered;
        }
    }
    gfxDeleteTestTexture();
    headlessRelease();
}

}  // namespace
