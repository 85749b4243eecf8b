// The presentation verdict on a synthetic one-sample frame changed the way presentation
// changes pictures: each family the tool models, a blend gated by contrast that it does not
// model, colour maps, and pairs of them; in 8 bits and in 5-6-5. The figures are measured
// (presentation/figures.h) and the candidates made as a run makes them. No OpenGL.
#include "measure/presentation/verdict.h"

#include "measure/aa/candidates.h"
#include "synthetic_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace {

using namespace measure;
using Class = PresentationClass;

struct Truth {
    Image reference = synthetic::render(4), coverage = synthetic::render(4, true);
    Bands bands = makeBands(synthetic::regions(), synthetic::kW, synthetic::kH);
    std::vector<Landmark> landmarks = synthetic::landmarks();
};
const Truth& truth() {
    static const Truth t;
    return t;
}

// The verdict on `presented` against `back`, as a run reaches it.
PresentationVerdict judged(const Image& back, const Image& presented, double tolerance) {
    PresentationInput in;
    in.back = &back, in.presented = &presented, in.tolerance = tolerance;
    in.reference = &truth().reference, in.referenceCoverage = &truth().coverage;
    in.bands = &truth().bands, in.landmarks = &truth().landmarks;
    const PresentationFigures f = measurePresentation(in);
    const std::vector<FamilyDistance> d =
        familyDistances(presentationCandidates(back), presented, back, tolerance, colourStepOf(f));
    return judgePresentation(evidenceOf(f, in), d);
}

std::vector<Class> classes(const PresentationVerdict& v) {
    std::vector<Class> out;
    for (const PresentationStep& s : v.steps) out.push_back(s.cls);
    return out;
}

// The back buffers a framebuffer of each depth holds, with the tolerance its step allows;
// the presented picture is held at the same depth.
struct Framebuffer {
    ChannelBits bits;
    Image back;
    double tolerance;
};
std::vector<Framebuffer> framebuffers() {
    std::vector<Framebuffer> out;
    for (const ChannelBits& bits : {ChannelBits{8, 8, 8}, ChannelBits{5, 6, 5}})
        out.push_back({bits, quantise(synthetic::render(1), bits), quantisationStep(bits)});
    return out;
}

// `filtered` taken wherever the luma range over 3 x 3 of `in` reaches `threshold` (or,
// `below`, stays under it).
Image gated(const Image& in, const Image& filtered, double threshold, bool below = false) {
    Image out = in;
    for (int y = 1; y + 1 < in.height; ++y)
        for (int x = 1; x + 1 < in.width; ++x) {
            double lo = 1, hi = 0;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) {
                    const std::uint8_t* c = &in.rgb[((std::size_t)(y + j) * in.width + x + i) * 3];
                    const double l = (0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]) / 255;
                    lo = std::min(lo, l), hi = std::max(hi, l);
                }
            if ((hi - lo >= threshold) != below)
                for (int c = 0; c < 3; ++c)
                    out.rgb[((std::size_t)y * in.width + x) * 3 + c] =
                        filtered.rgb[((std::size_t)y * in.width + x) * 3 + c];
        }
    return out;
}

// A 3 x 3 box blended in where the contrast reaches `threshold`: a contrast-gated filter
// with no search along edges, which no family member is.
Image gatedBox(const Image& in, double threshold) { return gated(in, boxFilter(in, 3), threshold); }

struct Case {
    const char* what;
    std::function<Image(const Image&)> make;
    std::vector<Class> expected;
    Family member;  // the family the first spatial step's closest member belongs to
};

// Each family over the frame gets its class and its own family's member, pairs both classes
// in the order they were applied; the same in 5-6-5.
TEST(PresentationVerdict, EachFamilyAndPairGetsItsClasses) {
    const ColourMap limited{ColourMapKind::LimitedRange, 1};
    const std::vector<Case> cases = {
        {"fxaa", [](const Image& b) { return fxaa(b, {}); }, {Class::Morphological}, Family::Fxaa},
        {"fxaa 39 high",
         [](const Image& b) {
             return fxaa(b, {39, 0.75, 0.125, 0.0312});
         },
         {Class::Morphological},
         Family::Fxaa},
        {"mlaa",
         [](const Image& b) {
             return mlaa(b, {0.1, 16});
         },
         {Class::Morphological},
         Family::Mlaa},
        {"unsharp", [](const Image& b) { return unsharpMask(b, 1.0, 0.6); }, {Class::Sharpening}, Family::Unsharp},
        {"cas", [](const Image& b) { return cas(b, 0.4); }, {Class::Sharpening}, Family::Cas},
        {"box", [](const Image& b) { return boxFilter(b, 3); }, {Class::Filter}, Family::Box},
        {"gaussian", [](const Image& b) { return gaussianBlur(b, 1.0); }, {Class::Filter}, Family::Gaussian},
        {"fxaa then limited range",
         [&](const Image& b) { return applyColourMap(fxaa(b, {}), limited); },
         {Class::Morphological, Class::ColourChanged},
         Family::Fxaa},
        {"blur then cas",
         [](const Image& b) { return cas(gaussianBlur(b, 1.0), 0.4); },
         {Class::Filter, Class::Sharpening},
         Family::Gaussian},
    };
    for (const Framebuffer& fb : framebuffers())
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " in " + std::to_string(fb.bits.g) + " bits of green");
            const PresentationVerdict v = judged(fb.back, quantise(c.make(fb.back), fb.bits), fb.tolerance);
            EXPECT_EQ(classes(v), c.expected) << v.closest << " at " << v.distance;
            ASSERT_FALSE(v.steps.empty());
            EXPECT_EQ(v.steps[0].member.family, c.member) << v.steps[0].closest;
            EXPECT_FALSE(v.steps[0].unmodelled);
        }
}

// Settings no candidate has keep their class: the closest member is of the family,
// named or (morphological) flagged as one the tool does not model.
TEST(PresentationVerdict, SettingsNoCandidateHasKeepTheirClass) {
    const std::vector<Case> cases = {
        {"gaussian 1.3", [](const Image& b) { return gaussianBlur(b, 1.3); }, {Class::Filter}, Family::Gaussian},
        {"fxaa 25",
         [](const Image& b) {
             return fxaa(b, {25, 0.5, 0.125, 0.0625});
         },
         {Class::Morphological},
         Family::Fxaa},
        {"mlaa 0.07",
         [](const Image& b) {
             return mlaa(b, {0.07, 24});
         },
         {Class::Morphological},
         Family::Mlaa},
        {"unsharp 0.8", [](const Image& b) { return unsharpMask(b, 0.8, 0.8); }, {Class::Sharpening}, Family::Unsharp},
        {"cas 0.7", [](const Image& b) { return cas(b, 0.7); }, {Class::Sharpening}, Family::Cas},
    };
    for (const Framebuffer& fb : framebuffers())
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " in " + std::to_string(fb.bits.g) + " bits of green");
            const PresentationVerdict v = judged(fb.back, quantise(c.make(fb.back), fb.bits), fb.tolerance);
            ASSERT_EQ(classes(v), c.expected) << v.closest << " at " << v.distance;
            EXPECT_EQ(v.steps[0].member.family, c.member) << v.steps[0].closest;
        }
}

// Colour maps alone, one of them a gamma no candidate has, are pointwise: colour changed,
// with the shape named; the unchanged picture is unchanged; the gated box is morphological
// and no member of the families, so named as one the tool does not model.
TEST(PresentationVerdict, ColourUnchangedAndUnmodelled) {
    for (const Framebuffer& fb : framebuffers()) {
        SCOPED_TRACE(std::to_string(fb.bits.g) + " bits of green");
        const PresentationVerdict same = judged(fb.back, fb.back, fb.tolerance);
        EXPECT_EQ(classes(same), std::vector<Class>{Class::Unchanged});
        const PresentationVerdict limited =
            judged(fb.back, quantise(applyColourMap(fb.back, {ColourMapKind::LimitedRange, 1}), fb.bits), fb.tolerance);
        ASSERT_EQ(classes(limited), std::vector<Class>{Class::ColourChanged});
        EXPECT_EQ(limited.steps[0].colour, ColourShape::LimitedRange);
        const PresentationVerdict gamma =
            judged(fb.back, quantise(applyColourMap(fb.back, {ColourMapKind::Gamma, 1.3}), fb.bits), fb.tolerance);
        ASSERT_EQ(classes(gamma), std::vector<Class>{Class::ColourChanged});
        EXPECT_EQ(gamma.steps[0].colour, ColourShape::Gamma);
        EXPECT_NEAR(gamma.steps[0].gamma, 1.3, 0.1);
        const PresentationVerdict gated = judged(fb.back, quantise(gatedBox(fb.back, 0.25), fb.bits), fb.tolerance);
        ASSERT_EQ(classes(gated), std::vector<Class>{Class::Morphological});
        EXPECT_TRUE(gated.steps[0].unmodelled);
        EXPECT_NEAR(gated.steps[0].threshold, 0.25, 0.1);
        EXPECT_FALSE(gated.steps[0].closest.empty());
    }
}

// Each pixel's colour through `f` of its whole RGB triple (0..1), clamped.
Image pointwise(const Image& in, const std::function<std::array<double, 3>(std::array<double, 3>)>& f) {
    Image out = in;
    for (std::size_t p = 0; p < in.pixels(); ++p) {
        const std::uint8_t* c = &in.rgb[p * 3];
        const std::array<double, 3> v = f({c[0] / 255.0, c[1] / 255.0, c[2] / 255.0});
        for (int k = 0; k < 3; ++k) out.rgb[p * 3 + k] = (std::uint8_t)std::lround(255 * std::clamp(v[k], 0.0, 1.0));
    }
    return out;
}

// Each 2 x 2 block of pixels takes its top-left pixel's colour: a picture made at half the
// size and shown enlarged, at the same size.
Image pixelated(const Image& in) {
    Image out = in;
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int c = 0; c < 3; ++c)
                out.rgb[((std::size_t)y * in.width + x) * 3 + c] =
                    in.rgb[((std::size_t)(y & ~1) * in.width + (x & ~1)) * 3 + c];
    return out;
}

// `sharpened` held inside the 3 x 3 range of `in`, channel by channel: a sharpening that
// never overshoots, as one that limits itself to the local contrast does.
Image withinRange(const Image& in, const Image& sharpened) {
    Image out = sharpened;
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int lo = 255, hi = 0;
                for (int j = std::max(0, y - 1); j <= std::min(in.height - 1, y + 1); ++j)
                    for (int i = std::max(0, x - 1); i <= std::min(in.width - 1, x + 1); ++i) {
                        const int v = in.rgb[((std::size_t)j * in.width + i) * 3 + c];
                        lo = std::min(lo, v), hi = std::max(hi, v);
                    }
                std::uint8_t& v = out.rgb[((std::size_t)y * in.width + x) * 3 + c];
                v = (std::uint8_t)std::clamp((int)v, lo, hi);
            }
    return out;
}

// Changes of kinds no candidate is: an inverted picture and a saturation boost (which no
// per-channel curve explains) are colour changes; FXAA without its subpixel blend and with
// a high threshold changes few pixels of any contrast and is still morphological; a
// sharpening kept inside the local range is a sharpening by the detail it adds; a 2 x 2
// pixelation, which averages nothing and moves edges away from their coverage, is not
// taken for anti-aliasing.
TEST(PresentationVerdict, ChangesNoCandidateIsKeepTheirClass) {
    auto saturate = [](std::array<double, 3> c) {
        const double l = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
        for (double& v : c) v = l + 1.5 * (v - l);
        return c;
    };
    for (const Framebuffer& fb : framebuffers()) {
        SCOPED_TRACE(std::to_string(fb.bits.g) + " bits of green");
        auto verdictOf = [&](const Image& presented) {
            return judged(fb.back, quantise(presented, fb.bits), fb.tolerance);
        };
        const PresentationVerdict inverted = verdictOf(pointwise(fb.back, [](std::array<double, 3> c) {
            return std::array{1 - c[0], 1 - c[1], 1 - c[2]};
        }));
        ASSERT_EQ(classes(inverted), std::vector<Class>{Class::ColourChanged});
        EXPECT_EQ(inverted.steps[0].colour, ColourShape::Curve);
        EXPECT_EQ(inverted.steps[0].low, 255);
        EXPECT_EQ(inverted.steps[0].high, 0);
        // A contrast S-curve: its nearest straight line ends outside the levels.
        const PresentationVerdict contrast = verdictOf(pointwise(fb.back, [](std::array<double, 3> c) {
            for (double& v : c) v = v * v * (3 - 2 * v);
            return c;
        }));
        ASSERT_EQ(classes(contrast), std::vector<Class>{Class::ColourChanged});
        EXPECT_EQ(contrast.steps[0].colour, ColourShape::Curve);
        EXPECT_EQ(contrast.steps[0].low, 0);
        EXPECT_EQ(contrast.steps[0].high, 255);
        const PresentationVerdict saturated = verdictOf(pointwise(fb.back, saturate));
        ASSERT_EQ(classes(saturated), std::vector<Class>{Class::ColourChanged});
        EXPECT_EQ(saturated.steps[0].colour, ColourShape::Mixed);
        const PresentationVerdict sparse = verdictOf(fxaa(fb.back, {12, 0.0, 0.25, 0.0833}));
        EXPECT_EQ(classes(sparse), std::vector<Class>{Class::Morphological}) << sparse.closest;
        const PresentationVerdict limited = verdictOf(withinRange(fb.back, unsharpMask(fb.back, 1.0, 0.5)));
        EXPECT_EQ(classes(limited), std::vector<Class>{Class::Sharpening}) << limited.closest;
        const PresentationVerdict blocks = verdictOf(pixelated(fb.back));
        ASSERT_EQ(blocks.steps.size(), 1u);
        EXPECT_NE(blocks.steps[0].cls, Class::Morphological) << blocks.closest;
    }
}

// An average no kernel explains whose nearest member is morphological, though none fits, is
// taken for a morphological filter only where it brings the edges nearer the reference's
// coverage; one that moves them away (a pixelation on quillmere's frame) is unexplained.
TEST(PresentationVerdict, AnUnfittedAverageIsMorphologicalOnlyWhereItRecoversCoverage) {
    PresentationEvidence e;
    e.changedShare = 0.1, e.rmse = 50, e.colourResidual = 50;
    e.identityResidual = 50, e.kernelResidual = 36, e.detailCorrelation = -0.7;
    FamilyDistance nearest;
    FamilyStep morphological;
    morphological.family = Family::Fxaa;
    nearest.name = "fxaa", nearest.steps = {morphological}, nearest.distance = 40;
    e.oneSampleEdgeError = 45;
    e.edgeError = 38;
    EXPECT_EQ(classes(judgePresentation(e, {nearest})), std::vector<Class>{Class::Morphological});
    e.edgeError = 98;
    EXPECT_EQ(classes(judgePresentation(e, {nearest})), std::vector<Class>{Class::Unexplained});
}

// A gated change no member fits is a morphological filter; where some of its changed pixels
// also leave the local range, which an average never does, a sharpening follows it, its
// strength unknown since the filter's own picture is not at hand. Strays of rounding are not.
TEST(PresentationVerdict, OvershootAfterAnUnmodelledMorphologicalFilterIsASharpeningAfterIt) {
    PresentationEvidence e;
    e.changedShare = 0.12, e.rmse = 14, e.colourResidual = 13;
    e.identityResidual = 14, e.kernelResidual = 11, e.detailCorrelation = -0.7;
    e.gated = true, e.threshold = 0.12, e.sharpeningAmount = -0.4;
    FamilyDistance nearest;
    nearest.name = "limited-range", nearest.steps = {FamilyStep{}}, nearest.distance = 21;
    nearest.steps[0].family = Family::Colour;
    e.overshootShare = 0.027;
    const PresentationVerdict sharpened = judgePresentation(e, {nearest});
    ASSERT_EQ(classes(sharpened), (std::vector<Class>{Class::Morphological, Class::Sharpening}));
    EXPECT_TRUE(sharpened.steps[0].unmodelled);
    EXPECT_TRUE(std::isnan(sharpened.steps[1].strength));
    e.overshootShare = 0.0006;
    EXPECT_EQ(classes(judgePresentation(e, {nearest})), std::vector<Class>{Class::Morphological});
}

// The picture about its centre by `scale`, bilinear; `size` its own side's scale.
Image resampled(const Image& in, double scale, double size) {
    Image out((int)std::lround(in.width * size), (int)std::lround(in.height * size));
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const double sx =
                std::clamp((x + 0.5 - out.width / 2.0) / scale + in.width / 2.0 - 0.5, 0.0, in.width - 1.0);
            const double sy =
                std::clamp((y + 0.5 - out.height / 2.0) / scale + in.height / 2.0 - 0.5, 0.0, in.height - 1.0);
            const int x0 = std::min((int)sx, in.width - 2), y0 = std::min((int)sy, in.height - 2);
            const double fx = sx - x0, fy = sy - y0;
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int i, int j) { return (double)in.rgb[((std::size_t)j * in.width + i) * 3 + c]; };
                const double top = at(x0, y0) + fx * (at(x0 + 1, y0) - at(x0, y0));
                const double bottom = at(x0, y0 + 1) + fx * (at(x0 + 1, y0 + 1) - at(x0, y0 + 1));
                out.rgb[((std::size_t)y * out.width + x) * 3 + c] =
                    (std::uint8_t)std::lround(top + fy * (bottom - top));
            }
        }
    return out;
}

// A picture resampled, to another size or within the same one, is scaled, whatever its
// pixels would otherwise say.
TEST(PresentationVerdict, ResampledPicturesAreScaled) {
    const Image back = synthetic::render(1);
    const Image larger = resampled(back, 1.25, 1.25), smaller = resampled(back, 0.8, 0.8);
    EXPECT_EQ(classes(judged(back, larger, 1)), std::vector<Class>{Class::Scaled});
    EXPECT_TRUE(familyDistances(presentationCandidates(back), smaller, back, 1).empty());
    EXPECT_EQ(classes(judged(back, resampled(back, 1.05, 1.0), 1)), std::vector<Class>{Class::Scaled});
}

// The morphological step carries the figures that name it: a threshold where the member's
// is, and less detail kept than the back buffer it started from. The frame's stair runs
// are all shorter than those a reach is read on (the checkerboard's dark cells and the
// 4 x 4 coverage's whole pixels break them), so the reach is unknown, not none.
TEST(PresentationVerdict, MorphologicalStepCarriesItsFigures) {
    const Image back = synthetic::render(1);
    const PresentationVerdict v = judged(back, fxaa(back, {}), 1);
    ASSERT_EQ(classes(v), std::vector<Class>{Class::Morphological});
    const PresentationStep& s = v.steps[0];
    EXPECT_TRUE(std::isnan(s.reach)) << s.reach;
    EXPECT_GT(s.threshold, FxaaParams{}.edgeThresholdMin);
    EXPECT_LT(s.threshold, 0.5);
    EXPECT_LT(s.detailKept, 1.0);
    EXPECT_LT(s.distance, 1.0);
}

// A sharpening's strength is the unsharp mask's amount it matches where it changed the
// picture: an unsharp mask's own amount, clearly above nothing for CAS at 0.4, and larger
// for a stronger setting of either. A sharpening that spares strong edges, as a
// contrast-adaptive one does over a picture of near black and white, leaves the kernel
// fitted over the whole picture no lobes, and still has its strength; so does the
// sharpening after a blur, read against the blurred picture.
TEST(PresentationVerdict, SharpeningStrengthGrowsWithTheSetting) {
    auto strength = [](const Framebuffer& fb, const Image& presented) {
        const PresentationVerdict v = judged(fb.back, quantise(presented, fb.bits), fb.tolerance);
        EXPECT_EQ(classes(v), std::vector<Class>{Class::Sharpening}) << v.closest;
        return v.steps.empty() ? 0.0 : v.steps[0].strength;
    };
    for (const Framebuffer& fb : framebuffers()) {
        SCOPED_TRACE(std::to_string(fb.bits.g) + " bits of green");
        const double cas4 = strength(fb, cas(fb.back, 0.4)), cas7 = strength(fb, cas(fb.back, 0.7));
        const double mild = strength(fb, unsharpMask(fb.back, kSharpeningSigma, 0.6));
        const double strong = strength(fb, unsharpMask(fb.back, kSharpeningSigma, 1.0));
        EXPECT_GT(cas4, 0.15);
        EXPECT_GT(cas7, cas4 + 0.03);
        EXPECT_NEAR(mild, 0.6, 0.1);
        EXPECT_NEAR(strong, 1.0, 0.15);
        EXPECT_GT(strength(fb, gated(fb.back, cas(fb.back, 0.4), 0.3, true)), 0.3);
        const PresentationVerdict chain =
            judged(fb.back, quantise(cas(gaussianBlur(fb.back, 1.0), 0.4), fb.bits), fb.tolerance);
        ASSERT_EQ(classes(chain), (std::vector<Class>{Class::Filter, Class::Sharpening}));
        EXPECT_GT(chain.steps[1].strength, 0.3);
    }
}

}  // namespace
