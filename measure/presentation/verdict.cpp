#include "measure/presentation/verdict.h"

#include "measure/core/parallel.h"

#include <algorithm>
#include <cmath>

namespace measure {

namespace {

// Below this share of pixels beyond the tolerance the presented picture is the back
// buffer: a pointer or an overlay's few pixels are not what presentation did. The families
// over the synthetic frame change 4 % (FXAA) to 60 % (the blurs) of its pixels.
constexpr double kUnchangedShare = 0.001;
// A curve alone explains the change when its residual (levels RMS, every pixel) is this
// close to the tolerance's rounding and leaves at most this share of the change: colour
// maps over the synthetic frame leave 0 of 9 to 20 levels, in 8 bits and 5-6-5; FXAA
// leaves 14 of 19, CAS 0.4 in 5-6-5 4.3 of 6.4 (within the levels, not the share).
constexpr double kPointwiseLevels = 1.5;
constexpr double kPointwiseShare = 0.25;
// A colour step moves the levels by more than this (RMS over the levels seen, plus half
// the tolerance); the maps the tool models move them 9 levels and more.
constexpr double kColourLevels = 2.0;
// A member explains the change when its RMSE over the changed pixels is within this many
// levels plus a quarter of the tolerance (a coarser framebuffer rounds the picture, not the
// member). Measured over the synthetic frame: each family's own member at 0 levels in 8
// bits and at most 2.1 in 5-6-5; the closest member of another class (or chain) at 4.5
// levels in 8 bits and 5.3 in 5-6-5 (a blur then CAS against the tent), which the limits
// (2.75 and 4.55) keep out when the picture's own member is missing.
constexpr double kMemberFitLevels = 2.5;
constexpr double kMemberFitTolerance = 0.25;
// How much closer a chain of two must come than the closest single member to be taken:
// over the synthetic frame in 5-6-5 a Gaussian then CAS and the Gaussian nearest to it lie
// 1.0 level apart either way round (exact in 8 bits, 2.1 apart).
constexpr double kChainMargin = 0.5;
// Share of the changed pixels that leave their 5 x 5 range beyond which the change is a
// sharpening: averages (blurs, anti-aliasing) never leave it, so only rounding does;
// unsharp masking and CAS push most pixels beside an edge past it.
constexpr double kOvershootShare = 0.15;
// After a morphological filter, which averages and so leaves no pixel past its range
// (vkBasalt's FXAA and SMAA: none of 85,000 and 56,000 changed pixels), this share of the
// changed pixels past it is a sharpening that follows, well clear of any stray rounding
// could leave. vkBasalt's SMAA then CAS at 0.4: 2.7 %; FXAA's blur leaves CAS little to
// overshoot (0.06 %), so that pair is read as the morphological filter alone.
constexpr double kOvershootAfterAverage = 0.01;
// A kernel explains the change when it removes this share of the identity's residual and
// more: rounding leaves a linear filter's residual near half a level.
constexpr double kLinearShare = 0.8;
// Negative lobes (minus the sum of negative weights) that make a linear kernel a sharpening
// rather than a least-squares fit's noise around a blur.
constexpr double kNegativeLobes = 0.05;
// Correlation of the change with the back buffer's detail above which it is a sharpening,
// whatever its overshoot: measured at 820 x 600, vkBasalt's CAS 0.8, its denoised luma
// sharpening 0.49 (7 % overshoot), a 3 x 3 unsharp mask 0.98; the averages take detail
// away (blurs -0.85 to -1.0, FXAA -0.68 to -0.72, a 2 x 2 pixelation -0.73) and a
// saturation boost, pointwise, stays near 0 (0.08).
constexpr double kAddsDetail = 0.3;

// Every pixel's three channels through the curve.
Image mapped(const Image& image, const LevelMap& curve) {
    Image out = image;
    for (std::size_t i = 0; i < out.rgb.size(); ++i) out.rgb[i] = curve[i % 3][out.rgb[i]];
    return out;
}

// Pixels where `picture` differs from `base` by more than the tolerance in some channel.
std::vector<bool> changedFrom(const Image& picture, const Image& base, int tolerance) {
    std::vector<bool> out(base.pixels());
    for (std::size_t p = 0; p < out.size(); ++p)
        for (int c = 0; c < 3; ++c)
            out[p] = out[p] || std::abs(picture.rgb[p * 3 + c] - base.rgb[p * 3 + c]) > tolerance;
    return out;
}

// RMSE of the presented picture against a candidate (through the curve where given) over
// the pixels where either differs from `base` beyond the tolerance: the part a filter
// touched. `presentedChanged` is the presented picture's share of that, made once.
double changedRmse(const Image& presented, const std::vector<bool>& presentedChanged, const Image& candidate,
                   const Image& base, int tolerance, const LevelMap* curve) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t p = 0; p < base.pixels(); ++p) {
        int v[3];
        bool changed = presentedChanged[p];
        for (int c = 0; c < 3; ++c) {
            const std::uint8_t raw = candidate.rgb[p * 3 + c];
            v[c] = curve ? (*curve)[c][raw] : raw;
            changed = changed || std::abs(v[c] - base.rgb[p * 3 + c]) > tolerance;
        }
        if (!changed) continue;
        for (int c = 0; c < 3; ++c) {
            const double d = (double)presented.rgb[p * 3 + c] - v[c];
            sum += d * d;
        }
        n += 3;
    }
    return n ? std::sqrt(sum / n) : 0.0;
}

// The unsharp mask's amount that best explains the change where there is one: least
// squares of each channel's change on the back buffer's detail above a Gaussian, over the
// changed pixels alone and leaving out levels clipped at black or white (where the change
// could not go as far as it meant). A contrast-adaptive sharpening leaves strong edges and
// flat areas as they were, so a kernel fitted over the whole picture has next to no lobes;
// where it acts it still adds back detail as an unsharp mask does.
double sharpeningAmount(const Image& back, const Image& presented, double tolerance) {
    const Image smooth = gaussianBlur(back, kSharpeningSigma);
    const std::vector<bool> changed = changedFrom(presented, back, (int)std::floor(tolerance));
    double dh = 0, hh = 0;
    for (std::size_t p = 0; p < changed.size(); ++p)
        for (std::size_t i = p * 3; changed[p] && i < p * 3 + 3; ++i)
            if (presented.rgb[i] != 0 && presented.rgb[i] != 255) {
                const double detail = (double)back.rgb[i] - smooth.rgb[i];
                dh += ((double)presented.rgb[i] - back.rgb[i]) * detail;
                hh += detail * detail;
            }
    return hh > 0 ? dh / hh : 0.0;
}

// The picture a chain's first step makes of the one-sample frame: the single candidate of
// that step where there is one (the chains are built from the single members), else made.
Image firstStepOf(const std::vector<FamilyCandidate>& candidates, const FamilyCandidate& chain,
                  const Image& oneSample) {
    const std::string first = chain.name.substr(0, chain.name.find('+'));
    for (const FamilyCandidate& c : candidates)
        if (c.steps.size() == 1 && c.name == first) return c.image;
    return applyStep(oneSample, chain.steps[0]);
}

// Whether a curve alone explains the change, on both counts.
bool isPointwise(double residual, double rmse, double tolerance) {
    return residual <= kPointwiseLevels + tolerance / 2 && residual <= kPointwiseShare * rmse;
}

// A chain with a colour map needs no measured curve before it is compared.
bool hasColourStep(const std::vector<FamilyStep>& steps) {
    return std::any_of(steps.begin(), steps.end(), [](const FamilyStep& s) { return s.family == Family::Colour; });
}

// The figures' shapes in the verdict's terms: levels and other curves are one class.
ColourShape colourShapeOf(CurveShape shape) {
    switch (shape) {
        case CurveShape::Identity: return ColourShape::Identity;
        case CurveShape::Gain: return ColourShape::Gain;
        case CurveShape::Gamma: return ColourShape::Gamma;
        case CurveShape::LimitedRange: return ColourShape::LimitedRange;
        default: return ColourShape::Curve;
    }
}

// The figures' kernel shapes in the verdict's terms; sharpening is its own class.
FilterShape filterShapeOf(KernelShape shape) {
    switch (shape) {
        case KernelShape::Identity: return FilterShape::Identity;
        case KernelShape::Box: return FilterShape::Box;
        case KernelShape::Tent: return FilterShape::Tent;
        case KernelShape::Gaussian: return FilterShape::Gaussian;
        default: return FilterShape::Other;
    }
}

// Pixel-weighted mean of the detail kept over the landmarks that have detail.
double meanKept(const std::vector<DetailKept>& detail) {
    double sum = 0, weight = 0;
    for (const DetailKept& d : detail)
        if (d.hasDetail) {
            sum += d.kept * (double)d.pixels;
            weight += (double)d.pixels;
        }
    return weight > 0 ? sum / weight : 1.0;
}

// The step a class stands for, with the figures that name it measured on the picture.
PresentationStep stepOf(PresentationClass cls, const PresentationEvidence& e) {
    PresentationStep s;
    s.cls = cls;
    switch (cls) {
        case PresentationClass::ColourChanged:
            s.colour = e.colour;
            s.gamma = e.gamma, s.gain = e.gain, s.low = e.low, s.high = e.high;
            break;
        case PresentationClass::Filter:
            s.filter = e.filter;
            s.kernelSide = e.kernelSide, s.kernel = e.kernel, s.sigma = e.sigma;
            break;
        case PresentationClass::Morphological:
            s.threshold = e.threshold, s.reach = e.reach, s.detailKept = e.detailKept;
            break;
        case PresentationClass::Sharpening: s.strength = e.sharpeningAmount; break;
        default: break;
    }
    return s;
}

// The closest single member of the families a class stands for, into the step.
void closestMember(PresentationStep& step, const std::vector<FamilyDistance>& sorted) {
    for (const FamilyDistance& d : sorted)
        if (d.steps.size() == 1 && classOf(d.steps[0].family) == step.cls) {
            step.closest = d.name, step.member = d.steps[0], step.distance = d.distance;
            return;
        }
}

// The steps a fitting candidate names, each with the picture's figures and its member.
std::vector<PresentationStep> stepsOfMember(const FamilyDistance& best, const PresentationEvidence& e) {
    std::vector<PresentationStep> steps;
    for (const FamilyStep& m : best.steps) {
        PresentationStep s = stepOf(classOf(m.family), e);
        s.closest = best.name, s.member = m, s.distance = best.distance;
        if (m.family == Family::Box) s.filter = FilterShape::Box;
        if (m.family == Family::Tent) s.filter = FilterShape::Tent;
        if (m.family == Family::Gaussian) s.filter = FilterShape::Gaussian, s.sigma = m.sigma;
        if (s.cls == PresentationClass::Sharpening && std::isfinite(best.sharpening)) s.strength = best.sharpening;
        steps.push_back(s);
    }
    if (best.afterCurve) steps.push_back(stepOf(PresentationClass::ColourChanged, e));
    return steps;
}

// A linear filter's change grows with contrast and has no gate: where the figures find
// one, a member made of filters alone does not explain the picture.
bool consistent(const FamilyDistance& d, const PresentationEvidence& e) {
    const bool filtersOnly = std::all_of(d.steps.begin(), d.steps.end(), [](const FamilyStep& s) {
        return classOf(s.family) == PresentationClass::Filter;
    });
    return !(e.gated && filtersOnly);
}

// A pointwise change's shape: the figures' where they name one, else the closest colour
// map the tool makes where it fits.
void nameColour(PresentationStep& s, const std::vector<FamilyDistance>& sorted, double fit) {
    if (s.colour != ColourShape::Curve && s.colour != ColourShape::Identity) return;
    for (const FamilyDistance& d : sorted)
        if (!d.afterCurve && d.steps.size() == 1 && d.steps[0].family == Family::Colour && d.distance <= fit) {
            const ColourMap& m = d.steps[0].colour;
            s.colour = m.kind == ColourMapKind::Gamma  ? ColourShape::Gamma
                       : m.kind == ColourMapKind::Gain ? ColourShape::Gain
                                                       : ColourShape::LimitedRange;
            if (m.kind == ColourMapKind::Gamma) s.gamma = m.value;
            if (m.kind == ColourMapKind::Gain) s.gain = m.value;
            if (m.kind == ColourMapKind::LimitedRange) s.low = 16, s.high = 235;
            s.closest = d.name, s.member = d.steps[0], s.distance = d.distance;
            return;
        }
}

// The spatial class the figures say, where no member fits.
PresentationClass spatialClassOf(const PresentationEvidence& e, const std::vector<FamilyDistance>& sorted) {
    const bool linear = e.identityResidual > 0 && e.kernelResidual <= (1 - kLinearShare) * e.identityResidual;
    if (e.overshootShare > kOvershootShare || (linear && -e.negativeSum > kNegativeLobes) ||
        e.detailCorrelation > kAddsDetail)
        return PresentationClass::Sharpening;
    if (e.gated) return PresentationClass::Morphological;
    if (linear && e.filter != FilterShape::Identity) return PresentationClass::Filter;
    // Averages that no kernel explains, nearest to a morphological member and bringing the
    // edges nearer the reference's coverage: a morphological filter whose gate the figures
    // could not place (a coarse framebuffer blurs it). A pixelation moves them away.
    if (!sorted.empty() && classOf(sorted[0].steps[0].family) == PresentationClass::Morphological &&
        e.edgeError < e.oneSampleEdgeError)
        return PresentationClass::Morphological;
    return PresentationClass::Unexplained;
}

}  // namespace

PresentationClass classOf(Family family) {
    switch (family) {
        case Family::Fxaa:
        case Family::Mlaa: return PresentationClass::Morphological;
        case Family::Unsharp:
        case Family::Cas: return PresentationClass::Sharpening;
        case Family::Box:
        case Family::Tent:
        case Family::Gaussian: return PresentationClass::Filter;
        case Family::Colour: return PresentationClass::ColourChanged;
    }
    return PresentationClass::Unexplained;
}

const LevelMap* colourStepOf(const PresentationFigures& f) {
    return f.curveBase == CurveBase::Identity ? nullptr : &f.curve.map;
}

PresentationEvidence evidenceOf(const PresentationFigures& f, const PresentationInput& in) {
    PresentationEvidence e;
    e.sameSize = f.sameSize && !f.scale.resampled;
    e.tolerance = in.tolerance;
    const std::size_t pixels = in.back ? in.back->pixels() : 0;
    e.changedShare = pixels ? (double)f.differing / (double)pixels : 0.0;
    // The colour step: the curve on every pixel where it alone explains the change, else the
    // curve the spatial figures were read after.
    e.rmse = f.rmse;
    e.colourResidual = f.everyPixel.residual;
    e.functionResidual = f.byColour.residual, e.functionChange = f.byColour.change;
    const bool pointwise = isPointwise(f.everyPixel.residual, f.rmse, in.tolerance);
    const ColourCurve* curve = pointwise ? &f.everyPixel : colourStepOf(f) ? &f.curve : nullptr;
    if (curve) {
        e.colour = colourShapeOf(curve->shape);
        e.gamma = curve->gamma, e.gain = curve->gain, e.low = curve->low, e.high = curve->high;
        // The words give the line's ends as levels; an S-curve's line ends outside 0-255.
        e.low = std::clamp(e.low, 0, 255), e.high = std::clamp(e.high, 0, 255);
        e.colourDeviation = curve->deviation;
    }
    e.filter = filterShapeOf(f.kernel.shape);
    e.kernelSide = f.kernel.side, e.kernel = f.kernel.weights;
    e.kernelResidual = f.kernel.residual, e.identityResidual = f.kernel.identityResidual;
    e.negativeSum = f.kernel.negativeSum, e.sigma = f.kernel.sigma, e.boxSide = f.kernel.boxSide;
    e.gated = f.gating.gated, e.threshold = f.gating.threshold;
    e.overshootShare = f.range.overshootShare, e.haloWidth = f.range.haloWidth;
    e.detailCorrelation = f.range.detailCorrelation;
    if (f.hasEdges && f.edges.runs > 0) e.reach = f.edges.reachMean;
    if (e.sameSize && in.back && in.presented) {
        const Image curved = colourStepOf(f) ? applyCurve(*in.back, f.curve) : *in.back;
        e.sharpeningAmount = sharpeningAmount(curved, *in.presented, in.tolerance);
    }
    e.edgeError = f.edges.edgeError, e.oneSampleEdgeError = f.edges.oneSampleEdgeError;
    e.detailKept = meanKept(f.detail), e.backDetailKept = meanKept(f.backDetail);
    return e;
}

std::vector<FamilyDistance> familyDistances(const std::vector<FamilyCandidate>& candidates, const Image& presented,
                                            const Image& oneSample, double tolerance, const LevelMap* curve) {
    if (presented.width != oneSample.width || presented.height != oneSample.height) return {};  // scaled
    const std::size_t n = candidates.size();
    // Levels are whole: beyond a tolerance of 8.2 is beyond 8.
    const int levels = (int)std::floor(tolerance);
    const Image curvedBase = curve ? mapped(oneSample, *curve) : Image();
    const std::vector<bool> direct = changedFrom(presented, oneSample, levels);
    const std::vector<bool> curved = curve ? changedFrom(presented, curvedBase, levels) : std::vector<bool>();
    std::vector<FamilyDistance> out(curve ? 2 * n : n);
    forEachInParallel(out.size(), [&](std::size_t i) {
        const FamilyCandidate& c = candidates[i % n];
        FamilyDistance& d = out[i];
        d.index = i % n, d.name = c.name, d.steps = c.steps, d.afterCurve = i >= n;
        if (!d.afterCurve)
            d.distance = changedRmse(presented, direct, c.image, oneSample, levels, nullptr);
        else if (!hasColourStep(c.steps))
            d.distance = changedRmse(presented, curved, c.image, curvedBase, levels, curve);
        else
            d.distance = std::numeric_limits<double>::infinity();  // the curve stands for its colour map
        if (std::isfinite(d.distance) && c.steps.size() == 2 &&
            classOf(c.steps[1].family) == PresentationClass::Sharpening) {
            const Image before = firstStepOf(candidates, c, oneSample);
            d.sharpening = sharpeningAmount(d.afterCurve ? mapped(before, *curve) : before, presented, tolerance);
        }
    });
    std::erase_if(out, [](const FamilyDistance& d) { return std::isinf(d.distance); });
    std::stable_sort(out.begin(), out.end(),
                     [](const FamilyDistance& a, const FamilyDistance& b) { return a.distance < b.distance; });
    return out;
}

PresentationVerdict judgePresentation(const PresentationEvidence& e, const std::vector<FamilyDistance>& distances) {
    PresentationVerdict v;
    v.distances = distances;
    std::stable_sort(v.distances.begin(), v.distances.end(),
                     [](const FamilyDistance& a, const FamilyDistance& b) { return a.distance < b.distance; });
    if (!e.sameSize) return v.steps = {stepOf(PresentationClass::Scaled, e)}, v;
    if (e.changedShare <= kUnchangedShare) return v.steps = {stepOf(PresentationClass::Unchanged, e)}, v;
    if (!v.distances.empty()) {
        v.closest = v.distances[0].name, v.distance = v.distances[0].distance;
        for (const FamilyDistance& d : v.distances)
            if (d.name != v.closest) {
                v.margin = d.distance - v.distance;
                break;
            }
    }
    const double fit = kMemberFitLevels + kMemberFitTolerance * e.tolerance;
    if (isPointwise(e.colourResidual, e.rmse, e.tolerance)) {
        PresentationStep s = stepOf(PresentationClass::ColourChanged, e);
        nameColour(s, v.distances, fit);
        return v.steps = {s}, v;
    }
    // Pointwise, but no per-channel curve: a change that mixes the channels.
    if (std::isfinite(e.functionResidual) && isPointwise(e.functionResidual, e.functionChange, e.tolerance)) {
        PresentationStep s = stepOf(PresentationClass::ColourChanged, e);
        s.colour = ColourShape::Mixed;
        return v.steps = {s}, v;
    }
    // The closest member the figures do not contradict, taken on the back buffer itself
    // before one taken after the measured curve; a chain of two only where it is clearly
    // closer than any single member, since a chain fits much that one member with other
    // parameters would.
    const FamilyDistance* member = nullptr;
    for (bool afterCurve : {false, true}) {
        const FamilyDistance *best = nullptr, *single = nullptr;
        for (const FamilyDistance& d : v.distances)
            if (d.afterCurve == afterCurve && d.distance <= fit && consistent(d, e)) {
                if (!best) best = &d;
                if (!single && d.steps.size() == 1) single = &d;
            }
        if (!member && best) member = single && single->distance - best->distance <= kChainMargin ? single : best;
    }
    if (member) return v.steps = stepsOfMember(*member, e), v;
    // After a spatial change only a named curve is taken for a colour step: an unnamed one
    // may be the curve taking up some of what the filter did.
    const bool colourChanged = e.colour != ColourShape::Identity && e.colour != ColourShape::Curve &&
                               e.colourDeviation > kColourLevels + e.tolerance / 2;
    PresentationStep step = stepOf(spatialClassOf(e, v.distances), e);
    closestMember(step, v.distances);
    step.unmodelled = step.cls == PresentationClass::Morphological;
    v.steps.push_back(step);
    if (step.cls == PresentationClass::Morphological && e.overshootShare > kOvershootAfterAverage) {
        // Its strength, read against the back buffer, would be mostly the filter's smoothing.
        PresentationStep sharpening = stepOf(PresentationClass::Sharpening, e);
        sharpening.strength = std::numeric_limits<double>::quiet_NaN();
        v.steps.push_back(sharpening);
    }
    if (colourChanged) v.steps.push_back(stepOf(PresentationClass::ColourChanged, e));
    return v;
}

}  // namespace measure
