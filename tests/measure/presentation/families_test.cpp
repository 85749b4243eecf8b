// The presentation families over a synthetic one-sample frame: the morphological filters
// reconstruct edges toward a supersampled reference and leave flat areas alone, the
// sharpeners overshoot, the blurs and colour maps keep what they must. No OpenGL.
#include "measure/presentation/families.h"

#include "measure/aa/candidates.h"

#include "synthetic_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

using namespace measure;

std::vector<bool> edgeMask() {
    std::vector<bool> mask;
    for (Region r : synthetic::regions()) mask.push_back(r == Region::Edge);
    return mask;
}

// FXAA's edges come nearer the reference's coverage than the staircase does, and no
// pixel of a flat area moves. MLAA too leaves flat areas, but on textured wedges its
// runs end at the texture's steps (it has no notion of a silhouette), so its edges are
// checked on plain half-planes, at angles from near-horizontal to near-vertical.
TEST(PresentationFamilies, MorphologicalFiltersReconstructEdgesAndKeepFlatAreas) {
    const Image one = synthetic::render(1), reference = synthetic::render(4);
    const std::vector<bool> edges = edgeMask(), flat = synthetic::flatPixels(one);
    const double before = rmse(one, reference, &edges);
    for (const Image& f : {fxaa(one, {}), fxaa(one, {39, 0.75, 0.125, 0.0312})}) {
        EXPECT_LT(rmse(f, reference, &edges), 0.85 * before);
        EXPECT_EQ(rmse(f, one, &flat), 0.0);
    }
    EXPECT_EQ(rmse(mlaa(one, {}), one, &flat), 0.0);
    for (double angle : {0.05, 0.5, 1.0, 1.5}) {
        Image step(60, 60), cover(60, 60);
        std::vector<bool> partial(step.pixels());
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) {
                auto in = [&](double px, double py) {
                    return std::sin(angle) * (px - 30) + std::cos(angle) * (py - 30) < 0.13;
                };
                int n = 0;
                for (int j = 0; j < 8; ++j)
                    for (int i = 0; i < 8; ++i) n += in(x + (i + 0.5) / 8, y + (j + 0.5) / 8);
                const std::size_t p = (std::size_t)y * 60 + x;
                partial[p] = n > 0 && n < 64 && x > 3 && x < 56 && y > 3 && y < 56;
                for (int c = 0; c < 3; ++c) {
                    step.rgb[p * 3 + c] = in(x + 0.5, y + 0.5) ? 200 : 20;
                    cover.rgb[p * 3 + c] = (std::uint8_t)std::lround(20 + 180 * n / 64.0);
                }
            }
        EXPECT_LT(rmse(mlaa(step, {}), cover, &partial), 0.75 * rmse(step, cover, &partial)) << angle;
        EXPECT_LT(rmse(fxaa(step, {}), cover, &partial), 0.75 * rmse(step, cover, &partial)) << angle;
    }
}

// On a black and white edge luma is the same in stored values and in linear light, so FXAA
// through an sRGB view moves the same pixels by the same shares; only the blend differs,
// made in light and encoded again: each share s stored as 255 s comes back as sRGB(s),
// brighter for every partial share.
TEST(PresentationFamilies, FxaaInLinearLightBlendsLightNotLevels) {
    Image step(60, 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            for (int c = 0; c < 3; ++c)
                step.rgb[((std::size_t)y * 60 + x) * 3 + c] = 0.35 * (x - 30) + (y - 30) < 0.2 ? 255 : 0;
    FxaaParams linear;
    linear.linearLight = true;
    const Image levels = fxaa(step, {}), light = fxaa(step, linear);
    int partial = 0;
    for (std::size_t i = 0; i < step.rgb.size(); ++i) {
        const double s = levels.rgb[i] / 255.0;
        const double encoded = s <= 0.0031308 ? s * 12.92 : 1.055 * std::pow(s, 1 / 2.4) - 0.055;
        EXPECT_NEAR(light.rgb[i], 255 * encoded, 1.5) << i;
        if (levels.rgb[i] > 2 && levels.rgb[i] < 253) {
            ++partial;
            EXPECT_GT(light.rgb[i], levels.rgb[i]) << i;
        }
    }
    EXPECT_GT(partial, 30);
}

// An edge of luma contrast 0.05 at luma 0.5 is below FXAA's default thresholds (0.0833, or
// 0.166 of the brightest) and above its "overkill" ones (0.0312, 0.063 of the brightest);
// MLAA's threshold decides the same way.
TEST(PresentationFamilies, ThresholdsGateLowContrastEdges) {
    Image step(40, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            for (int c = 0; c < 3; ++c)
                step.rgb[((std::size_t)y * 40 + x) * 3 + c] = (std::uint8_t)(y * 8 + 3 > x ? 120 : 133);
    EXPECT_EQ(rmse(fxaa(step, {12, 0.75, 0.166, 0.0833}), step), 0.0);
    EXPECT_GT(rmse(fxaa(step, {12, 0.75, 0.063, 0.0312}), step), 0.0);
    EXPECT_EQ(rmse(mlaa(step, {0.1, 16}), step), 0.0);
    EXPECT_GT(rmse(mlaa(step, {0.04, 16}), step), 0.0);
}

// Preset 12 searches about 20 pixels each way; the presets' reach grows with their number
// within a series, and a preset FXAA does not define leaves the picture as it is.
TEST(PresentationFamilies, FxaaPresetsReach) {
    auto reach = [](int preset) {
        const std::vector<double> s = fxaaSearchSteps(preset);
        double sum = 0;
        for (double v : s) sum += v;
        return sum;
    };
    EXPECT_NEAR(reach(12), 20, 1);
    for (int p : {10, 11, 12, 13, 14}) EXPECT_LT(reach(p), reach(p + 1));
    for (int p = 20; p < 29; ++p) EXPECT_LT(reach(p), reach(p + 1));
    const Image one = synthetic::render(1);
    EXPECT_TRUE(fxaaSearchSteps(16).empty());
    EXPECT_EQ(fxaa(one, {16, 0.75, 0.166, 0.0833}).rgb, one.rgb);
}

// Sharpening leaves the local range at edges, more with more sharpness; blurs stay inside
// it and keep the mean; every spatial member keeps a flat picture flat.
TEST(PresentationFamilies, SharpenersOvershootBlursAverage) {
    const Image one = synthetic::render(1);
    auto overshoot = [&](const Image& f) {
        int outside = 0;
        for (int y = 1; y < one.height - 1; ++y)
            for (int x = 1; x < one.width - 1; ++x)
                for (int c = 0; c < 3; ++c) {
                    int lo = 255, hi = 0;
                    for (int j = -1; j <= 1; ++j)
                        for (int i = -1; i <= 1; ++i) {
                            const int v = one.rgb[((std::size_t)(y + j) * one.width + x + i) * 3 + c];
                            lo = std::min(lo, v), hi = std::max(hi, v);
                        }
                    const int v = f.rgb[((std::size_t)y * one.width + x) * 3 + c];
                    outside += v < lo - 1 || v > hi + 1;
                }
        return outside;
    };
    EXPECT_GT(overshoot(unsharpMask(one, 1.0, 0.6)), 200);
    EXPECT_GT(overshoot(cas(one, 1.0)), overshoot(cas(one, 0.0)));
    EXPECT_GT(overshoot(cas(one, 0.0)), 50);
    for (const Image& f : {boxFilter(one, 3), tentFilter(one), fxaa(one, {}), mlaa(one, {})})
        EXPECT_EQ(overshoot(f), 0);
    EXPECT_GT(rmse(gaussianBlur(one, 1.5), one), rmse(gaussianBlur(one, 0.7), one));
    auto mean = [](const Image& im) {
        double s = 0;
        for (std::uint8_t v : im.rgb) s += v;
        return s / im.rgb.size();
    };
    EXPECT_NEAR(mean(gaussianBlur(one, 1.0)), mean(one), 0.5);
    Image flat(30, 20);
    std::fill(flat.rgb.begin(), flat.rgb.end(), 97);
    for (const FamilyCandidate& c : presentationCandidates(flat))
        if (c.steps.back().family != Family::Colour && c.steps.front().family != Family::Colour) {
            EXPECT_EQ(c.image.rgb, flat.rgb) << c.name;
        }
}

// Limited range puts black at 16 and white at 235; a gamma above one darkens mid-tones and
// keeps the ends; every candidate has its own name, chains named in their order.
TEST(PresentationFamilies, ColourMapsAndNames) {
    Image ramp(256, 1);
    for (int v = 0; v < 256; ++v) ramp.rgb[v * 3] = ramp.rgb[v * 3 + 1] = ramp.rgb[v * 3 + 2] = (std::uint8_t)v;
    const Image limited = applyColourMap(ramp, {ColourMapKind::LimitedRange, 1});
    EXPECT_EQ(limited.rgb[0], 16);
    EXPECT_EQ(limited.rgb[255 * 3], 235);
    const Image gamma = applyColourMap(ramp, {ColourMapKind::Gamma, 2.2});
    EXPECT_EQ(gamma.rgb[0], 0);
    EXPECT_EQ(gamma.rgb[255 * 3], 255);
    EXPECT_LT(gamma.rgb[128 * 3], 64);
    EXPECT_EQ(applyColourMap(ramp, {ColourMapKind::Gain, 2}).rgb[200 * 3], 255);
    const std::vector<FamilyCandidate> all = presentationCandidates(synthetic::render(1));
    std::set<std::string> names;
    bool morphologicalThenColour = false, blurThenSharpening = false;
    for (const FamilyCandidate& c : all) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        if (c.steps.size() == 2) {
            morphologicalThenColour |= c.steps[0].family == Family::Fxaa && c.steps[1].family == Family::Colour;
            blurThenSharpening |= c.steps[0].family == Family::Gaussian && c.steps[1].family == Family::Cas;
            EXPECT_EQ(c.name, stepName(c.steps[0]) + "+" + stepName(c.steps[1]));
        }
    }
    EXPECT_TRUE(morphologicalThenColour);
    EXPECT_TRUE(blurThenSharpening);
}

}  // namespace
