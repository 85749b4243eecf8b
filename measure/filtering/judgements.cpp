// The filtering measurements' decisions as values.
#include "measure/filtering/judgements.h"

#include "measure/filtering/coded_lod.h"

#include <algorithm>
#include <cmath>

namespace measure {
namespace {

// Within this share of the degree the level counts as the degree's.
constexpr double kAnisoLevelShare = 0.15;
// Evenly spaced bilinear probes spread about 0.7 N times as far as one; an elliptical filter
// N times. Below 0.6 N the major axis is not filtered as the degree needs.
constexpr double kAnisoSpreadShare = 0.6;
// A blend fraction this far inside (0, 1) blends two levels; a true blend covers all but
// 0.06 of the octave with it.
constexpr double kBlendEdge = 0.03;
// Lambda is carried with a few fraction bits and decoded to 1/255: a level the probes
// measure within this counts as the one asked for.
constexpr double kBiasSlack = 0.06;
constexpr double kAngleSlack = 0.1;
// Lambda is carried with four fraction bits, and decoding rounds: the rules' bounds widened
// by this; a driver's quality setting may widen them by a quarter level.
constexpr double kRuleSlack = 1.0 / 16;
constexpr double kQualitySlack = 0.25;

}  // namespace

double percentile(std::vector<double>& v, double p) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, (std::size_t)std::lround(p * (double)(v.size() - 1)))];
}

Rgb8 colourAt(const Image& image, int x, int y) {
    const std::uint8_t* p = &image.rgb[((std::size_t)y * image.width + x) * 3];
    return {p[0], p[1], p[2]};
}

void judgeRingLod(Filtering& f, const Image& picture, const FrameModel& model) {
    const int levels = mipLevels(kCodedSize);
    const int w = model.width(), h = model.height();
    std::vector<double> decoded((std::size_t)w * h, NAN);
    std::vector<Lod> lods((std::size_t)w * h);
    f.ringLod = picture;
    f.modelLod = Image(w, h);
    std::fill(f.modelLod.rgb.begin(), f.modelLod.rgb.end(), 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = (std::size_t)y * w + x;
            decoded[i] = decodeLod(colourAt(picture, x, y), levels);
            const PixelModel& m = model.at(x, y);
            if (!m.covered) continue;
            lods[i] = lodOf(m.footprint);
            const Rgb8 c = codedBlend(lods[i].exact, levels);
            f.modelLod.rgb[i * 3] = c.r;
            f.modelLod.rgb[i * 3 + 1] = c.g;
            f.modelLod.rgb[i * 3 + 2] = c.b;
        }
    std::vector<double> errors;
    std::size_t rules = 0, quality = 0, blocks = 0, flat = 0;
    double largest = 0;
    // Drivers compute lambda once per aligned 2 x 2 block, so the bounds take in the whole block.
    for (int y = 0; y + 1 < h; y += 2)
        for (int x = 0; x + 1 < w; x += 2) {
            bool all = true;
            double lo = INFINITY, hi = -INFINITY, dmin = INFINITY, dmax = -INFINITY;
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i) {
                    const std::size_t p = (std::size_t)(y + j) * w + x + i;
                    all = all && model.inner(x + i, y + j) && !std::isnan(decoded[p]) && decoded[p] > 0.02 &&
                          decoded[p] < levels - 1.02;
                    if (!all) break;
                    lo = std::min(lo, lods[p].lower);
                    hi = std::max(hi, lods[p].upper);
                    dmin = std::min(dmin, decoded[p]);
                    dmax = std::max(dmax, decoded[p]);
                }
            if (!all) continue;
            ++blocks;
            flat += dmax - dmin < 1.5 / 255;
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i) {
                    const std::size_t p = (std::size_t)(y + j) * w + x + i;
                    const double e = decoded[p] - lods[p].exact;
                    errors.push_back(e);
                    largest = std::max(largest, std::fabs(e));
                    rules += decoded[p] >= lo - kRuleSlack && decoded[p] <= hi + kRuleSlack;
                    quality += decoded[p] >= lo - kQualitySlack && decoded[p] <= hi + kQualitySlack;
                }
        }
    LodStats& s = f.ring;
    s.pixels = errors.size();
    if (errors.empty()) {
        s.outcome = RingOutcome::NotDecoded;
        return;
    }
    s.largest = largest;
    s.withinRules = (double)rules / (double)s.pixels;
    s.withinQuality = (double)quality / (double)s.pixels;
    s.bias = percentile(errors, 0.5);
    s.spread = percentile(errors, 0.95) - percentile(errors, 0.05);
    s.outcome = s.withinRules >= 0.99     ? RingOutcome::WithinRules
                : s.withinQuality >= 0.99 ? RingOutcome::QualityWarning
                                          : RingOutcome::OutsideRules;
    f.blockShare = blocks ? (double)flat / (double)blocks : 0;
    f.granularity = f.blockShare >= 0.9 ? LodGranularity::PerBlock : LodGranularity::PerPixel;
}

AnisoOutcome anisoOutcome(const AnisoRow& row) {
    const double n = row.requested;
    const bool levelHonoured = std::fabs(row.delivered - n) <= kAnisoLevelShare * n;
    const bool spreadHonoured = std::isnan(row.blurRatio) || row.blurRatio >= kAnisoSpreadShare * n;
    if (row.samePicture) return AnisoOutcome::Ignored;
    if (levelHonoured && spreadHonoured) return AnisoOutcome::Honoured;
    if (row.delivered > (1 + kAnisoLevelShare) * n && spreadHonoured) return AnisoOutcome::SharperLevel;
    if (row.delivered >= (1 - kAnisoLevelShare) * n) return AnisoOutcome::Aliases;
    return AnisoOutcome::Short;
}

double deliveredAnisotropy(double isotropicLambda, double anisotropicLambda) {
    return std::exp2(isotropicLambda - anisotropicLambda);
}

double blendWidth(const std::vector<BlendSample>& blend) {
    if (blend.empty()) return 0;
    const auto mid = std::count_if(blend.begin(), blend.end(), [](const BlendSample& s) {
        return s.blend > kBlendEdge && s.blend < 1 - kBlendEdge;
    });
    return std::min(1.0, (double)mid / (double)blend.size() / (1 - 2 * kBlendEdge));
}

TrilinearOutcome trilinearOutcome(double width) {
    return width >= 0.9 ? TrilinearOutcome::Whole : width < 0.05 ? TrilinearOutcome::None : TrilinearOutcome::Part;
}

AngleRule angleRuleOf(double swing) {
    if (std::isnan(swing)) return AngleRule::NotMeasured;
    if (std::fabs(swing) < kAngleSlack) return AngleRule::Exact;
    if (std::fabs(swing + 0.5) < kAngleSlack) return AngleRule::LargerDerivative;
    if (std::fabs(swing - 0.5) < kAngleSlack) return AngleRule::SumOfDerivatives;
    return AngleRule::Other;
}

bool switchesAtHalf(double threshold) { return std::fabs(threshold - 0.5) <= 1.0 / 32; }

bool biasHonoured(double measured, double asked) { return std::fabs(measured - asked) < kBiasSlack; }

BiasOutcome biasOutcome(double plus, double minus) {
    const bool up = biasHonoured(plus, 0.5), down = biasHonoured(minus, -0.5);
    // A negative bias that moves nothing is clamped at 0, as some drivers do.
    return up && down                  ? BiasOutcome::Honoured
           : up && minus > -kBiasSlack ? BiasOutcome::NegativeClamped
           : up                        ? BiasOutcome::NegativeOther
                                       : BiasOutcome::NotHonoured;
}

AnisoSummary anisoSummary(const std::vector<AnisoRow>& rows) {
    std::size_t ignored = 0, honoured = 0, aliasing = 0;
    for (const AnisoRow& row : rows) {
        ignored += row.samePicture;
        honoured += row.requested > 1 && row.outcome == AnisoOutcome::Honoured;
        aliasing += row.requested > 1 && row.outcome == AnisoOutcome::Aliases;
    }
    if (rows.size() > 2 && ignored + 2 == rows.size()) return AnisoSummary::Ignored;
    if (honoured + 1 == rows.size()) return AnisoSummary::Honoured;
    if (rows.size() > 1 && aliasing + 1 == rows.size()) return AnisoSummary::SharpenedAliases;
    return ignored ? AnisoSummary::SomeIgnored : AnisoSummary::NotAsRequested;
}

}  // namespace measure
