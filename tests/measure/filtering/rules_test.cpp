// Each bound the filtering rules allow and each threshold the filtering measurements decide
// by, as pairs just inside and just outside it. No OpenGL.
#include "measure/filtering/judgements.h"
#include "measure/filtering/probes.h"
#include "measure/filtering/coded_lod.h"
#include "measure/filtering/rules.h"
#include "render/test_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using namespace measure;

// Footprints whose derivatives all differ, so that a bound taken from the wrong one moves.
TEST(LodBounds, EachBoundTakesItsOwnDerivatives) {
    const double degrees = 180 / std::numbers::pi;
    const struct {
        Footprint f;  // du/dx, dv/dx, du/dy, dv/dy
        double exact, lower, upper, anisotropy, angle;
    } cases[] = {
        // mu = max(|du/dx|, |du/dy|) = 4 and mv = max(|dv/dx|, |dv/dy|) = 1; x the longer axis.
        {{4, 1, 2, 0.5}, std::log2(std::hypot(4, 1)), 2, std::log2(5), 2, std::atan2(1, 4) * degrees},
        // y the longer axis: mu = 4, mv = 1.5; the angle is y's.
        {{2, 1.5, 4, 1},
         std::log2(std::hypot(4, 1)),
         2,
         std::log2(5.5),
         std::hypot(4, 1) / 2.5,
         std::atan2(1, 4) * degrees},
        // v changing fastest.
        {{0.5, 2, 1, 4}, std::log2(std::hypot(1, 4)), 2, std::log2(5), 2, std::atan2(4, 1) * degrees},
    };
    for (const auto& c : cases) {
        const Lod lod = lodOf(c.f);
        EXPECT_NEAR(lod.exact, c.exact, 1e-12) << c.f.dudx;
        EXPECT_NEAR(lod.lower, c.lower, 1e-12) << c.f.dudx;
        EXPECT_NEAR(lod.upper, c.upper, 1e-12) << c.f.dudx;
        EXPECT_NEAR(lod.anisotropy, c.anisotropy, 1e-12) << c.f.dudx;
        EXPECT_NEAR(lod.angle, c.angle, 1e-9) << c.f.dudx;
    }
}

// A colour off the coded chain by up to three levels in a channel still decodes; four do not.
TEST(CodedChain, DecodesWithinThreeLevels) {
    const Rgb8 blend = codedBlend(2.5, 9);
    EXPECT_NEAR(decodeLod({blend.r, (std::uint8_t)(blend.g + 3), blend.b}, 9), 2.5, 1.0 / 255);
    EXPECT_TRUE(std::isnan(decodeLod({blend.r, (std::uint8_t)(blend.g + 4), blend.b}, 9)));
}

// The ring's decoded level against the rules' bounds max(mu, mv) <= f <= mu + mv, with the
// rules' slack of 1/16 and the quality margin of a quarter level beyond it.
TEST(RingLod, DecodedLevelsAreJudgedAgainstBothBounds) {
    // A 16 x 16 frame, its texture turned 45 degrees at 2^2.5 texels a pixel: the bounds are
    // half a level either side of the exact 2.5.
    constexpr int kSide = 16;
    const double scale = std::exp2(2.5) / 256, c = scale * std::cos(std::numbers::pi / 4);
    auto vertex = [&](double x, double y) { return ModelVertex{x, y, 1, c * (x - y), c * (x + y)}; };
    FrameModel model(kSide, kSide, 256, 256);
    model.addTriangle(vertex(0, 0), vertex(kSide, 0), vertex(0, kSide));
    model.addTriangle(vertex(kSide, 0), vertex(kSide, kSide), vertex(0, kSide));
    ASSERT_NEAR(lodOf(model.at(8, 8).footprint).lower, 2, 1e-9);
    const struct {
        double lambda;
        bool rules, quality;
    } cases[] = {
        {1.95, true, true}, {1.92, false, true}, {1.76, false, true}, {1.70, false, false},
        {3.05, true, true}, {3.08, false, true}, {3.24, false, true}, {3.30, false, false},
    };
    for (const auto& k : cases) {
        Image picture(kSide, kSide);
        const Rgb8 colour = codedBlend(k.lambda, 9);
        for (std::size_t p = 0; p < picture.pixels(); ++p) {
            picture.rgb[p * 3] = colour.r;
            picture.rgb[p * 3 + 1] = colour.g;
            picture.rgb[p * 3 + 2] = colour.b;
        }
        Filtering f;
        judgeRingLod(f, picture, model);
        ASSERT_GT(f.ring.pixels, 0u);
        EXPECT_EQ(f.ring.withinRules, k.rules ? 1.0 : 0.0) << k.lambda;
        EXPECT_EQ(f.ring.withinQuality, k.quality ? 1.0 : 0.0) << k.lambda;
        EXPECT_NEAR(f.ring.bias, k.lambda - 2.5, 1.0 / 255) << k.lambda;
    }
}

// A requested degree N is met by a level within 15 % of N and a spread along the major axis
// of at least 0.6 N.
TEST(Anisotropy, EachDegreeIsJudgedByItsLevelAndSpread) {
    const struct {
        double delivered, blurRatio;
        bool samePicture;
        AnisoOutcome outcome;
    } cases[] = {
        {4.5, 2.5, false, AnisoOutcome::Honoured}, {4.7, 2.5, false, AnisoOutcome::SharperLevel},
        {3.5, 2.5, false, AnisoOutcome::Honoured}, {3.3, 2.5, false, AnisoOutcome::Short},
        {4.0, 2.3, false, AnisoOutcome::Aliases},  {4.7, 2.3, false, AnisoOutcome::Aliases},
        {4.0, NAN, false, AnisoOutcome::Honoured}, {3.3, 2.3, false, AnisoOutcome::Short},
        {4.0, 2.5, true, AnisoOutcome::Ignored},
    };
    for (const auto& c : cases) {
        AnisoRow row;
        row.requested = 4;
        row.delivered = c.delivered;
        row.blurRatio = c.blurRatio;
        row.samePicture = c.samePicture;
        EXPECT_EQ(anisoOutcome(row), c.outcome) << c.delivered << " " << c.blurRatio;
    }
    // Four probes lower the level by two.
    EXPECT_DOUBLE_EQ(deliveredAnisotropy(3, 1), 4);
}

// Trilinear filtering blends where the fraction lies inside (0.03, 0.97); a whole octave's
// blend counts from 0.9 of it, none below 0.05.
TEST(Trilinear, BlendWidthAndItsOutcome) {
    const struct { double blend, width; } single[] = {{0.031, 1}, {0.029, 0}, {0.969, 1}, {0.971, 0}};
    for (const auto& c : single) EXPECT_EQ(blendWidth({{0.5, c.blend}}), c.width) << c.blend;
    std::vector<BlendSample> half(100, {0.5, 0.0});
    for (std::size_t i = 0; i < 47; ++i) half[i].blend = 0.5;
    EXPECT_NEAR(blendWidth(half), 0.5, 1e-12);  // 47 of 100, over the 0.94 a true blend reaches
    EXPECT_EQ(blendWidth({}), 0);
    const struct {
        double width;
        TrilinearOutcome outcome;
    } outcomes[] = {{0.9, TrilinearOutcome::Whole},
                    {0.89, TrilinearOutcome::Part},
                    {0.05, TrilinearOutcome::Part},
                    {0.049, TrilinearOutcome::None}};
    for (const auto& c : outcomes) EXPECT_EQ(trilinearOutcome(c.width), c.outcome) << c.width;
}

TEST(AngleRule, NamedWithinATenthOfALevel) {
    const struct {
        double swing;
        AngleRule rule;
    } cases[] = {
        {0.09, AngleRule::Exact},
        {0.11, AngleRule::Other},
        {-0.41, AngleRule::LargerDerivative},
        {-0.39, AngleRule::Other},
        {0.41, AngleRule::SumOfDerivatives},
        {0.61, AngleRule::Other},
        {NAN, AngleRule::NotMeasured},
    };
    for (const auto& c : cases) EXPECT_EQ(angleRuleOf(c.swing), c.rule) << c.swing;
}

// Nearest-mipmap selection rounds when it switches within 1/32 of half a level; a bias is
// honoured within 0.06 of the shift asked for.
TEST(Rounding, SwitchAndBiasWithinTheirSlack) {
    const struct {
        double threshold;
        bool half;
    } switches[] = {{0.53, true}, {0.54, false}, {0.47, true}, {0.46, false}};
    for (const auto& c : switches) EXPECT_EQ(switchesAtHalf(c.threshold), c.half) << c.threshold;
    const struct {
        double measured, asked;
        bool honoured;
    } biases[] = {{0.55, 0.5, true}, {0.57, 0.5, false}, {-0.45, -0.5, true}, {-0.43, -0.5, false}};
    for (const auto& c : biases) EXPECT_EQ(biasHonoured(c.measured, c.asked), c.honoured) << c.measured;
}

// The program's picture counts as GL_LINEAR within RMSE 4 of the processor's bilinear filter.
TEST(ProgramPicture, HonouredWithinTheMatchRmse) {
    constexpr int kSide = 24;
    // 0.7 texels a pixel: magnified, no mipmaps involved.
    auto vertex = [](double x, double y) { return ModelVertex{x, y, 1, 0.7 * x / 256, 0.7 * y / 256}; };
    FrameModel model(kSide, kSide, 256, 256);
    model.addTriangle(vertex(0, 0), vertex(kSide, 0), vertex(0, kSide));
    model.addTriangle(vertex(kSide, 0), vertex(kSide, kSide), vertex(0, kSide));
    const Texels texels{gTestImage, 256, 256};
    for (const auto& [off, honoured] : {std::pair{3, true}, std::pair{5, false}}) {
        Image picture(kSide, kSide);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                double rgb[3];
                sampleBilinear(texels, model.at(x, y).s, model.at(x, y).t, rgb);
                for (int c = 0; c < 3; ++c) {
                    // Off by `off` levels, away from whichever end is nearer.
                    const long v = std::lround(rgb[c]);
                    picture.rgb[((std::size_t)y * kSide + x) * 3 + c] = (std::uint8_t)(v < 128 ? v + off : v - off);
                }
            }
        const ProgramCheck check = judgeProgramPicture(picture, model, {});
        EXPECT_GT(check.pixels, 0u);
        EXPECT_EQ(check.honoured, honoured) << off << ": " << check.rmseBilinear;
    }
}

}  // namespace
