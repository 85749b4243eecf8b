// The filtering measurements' decisions as values.
#include "measure/filtering/judgements.h"

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

}  // namespace

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

}  // namespace measure
