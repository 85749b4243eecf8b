// The words for the filtering judgements, from the outcomes and figures filtering/ decided.
#include "measure/report/words.h"

namespace measure {

std::string ringText(RingOutcome o) {
    switch (o) {
        case RingOutcome::NotMeasured: return "";
        case RingOutcome::NotDecoded: return "no decodable pixel on the ring";
        case RingOutcome::WithinRules: return "within the rules";
        case RingOutcome::QualityWarning: return "quality warning: outside the rules' bounds, within a quarter level";
        case RingOutcome::OutsideRules: return "outside the rules";
    }
    return "";
}

std::string granularityText(LodGranularity g) {
    switch (g) {
        case LodGranularity::NotMeasured: return "";
        case LodGranularity::PerBlock: return "per 2x2 block";
        case LodGranularity::PerPixel: return "per pixel";
    }
    return "";
}

std::string askedText(AskedFilter a) { return a == AskedFilter::Nearest ? "GL_NEAREST" : "GL_LINEAR"; }

std::string deliveredText(const ProgramCheck& c) {
    switch (c.delivered) {
        case DeliveredFilter::NotJudgedModelSize:
        case DeliveredFilter::NotJudgedTargetSize: return "";
        case DeliveredFilter::Linear: return "GL_LINEAR";
        case DeliveredFilter::Nearest: return "GL_NEAREST";
        case DeliveredFilter::Unknown: return "unknown";
        case DeliveredFilter::DriverSetting: break;
    }
    std::string names;
    for (const std::string& name : c.settings) names += (names.empty() ? "" : " or ") + name;
    return names;
}

// What explains the picture against what was asked, with the distances that say so.
std::string programVerdict(const ProgramCheck& c) {
    if (c.asked == AskedFilter::Nearest)
        return c.honoured
                   ? printed("GL_NEAREST as asked (RMSE %.2f from the processor's nearest filter)", c.rmseNearest)
                   : "not the processor's nearest filter: " + deliveredText(c);
    switch (c.delivered) {
        case DeliveredFilter::NotJudgedModelSize: return "not judged: the picture's size differs from the model's";
        case DeliveredFilter::NotJudgedTargetSize: return "not judged: the picture's size differs from the target's";
        case DeliveredFilter::Linear:
            return printed("GL_LINEAR as asked (RMSE %.2f from the processor's bilinear filter)", c.rmseBilinear);
        case DeliveredFilter::Nearest:
            return printed(
                "a forced filter: GL_NEAREST (RMSE %.2f from the processor's nearest filter, %.2f from its bilinear "
                "one)",
                c.rmseNearest, c.rmseBilinear);
        case DeliveredFilter::DriverSetting:
            return printed(
                "a forced filter: %s (the driver's own picture with that setting, RMSE %.2f; %.2f from the "
                "processor's bilinear filter)",
                deliveredText(c).c_str(), c.settingRmse, c.rmseBilinear);
        case DeliveredFilter::Unknown: break;
    }
    return printed(
        "a forced filter that is neither GL_LINEAR nor GL_NEAREST (RMSE %.2f and %.2f from the processor's) and "
        "matches none of the driver's other settings",
        c.rmseBilinear, c.rmseNearest);
}

std::string angleRuleText(const Filtering& f) {
    if (!f.probed) return "";
    switch (f.angleRule) {
        case AngleRule::NotMeasured: return "not measured (tiles did not decode)";
        case AngleRule::Exact: return "exact length: no angle dependence";
        case AngleRule::LargerDerivative:
            return "angle-dependent: the larger absolute derivative, max(mu, mv), 0.5 below exact at 45 degrees";
        case AngleRule::SumOfDerivatives:
            return "angle-dependent: the sum of absolute derivatives, mu + mv, 0.5 above exact at 45 degrees";
        case AngleRule::Other: break;
    }
    return printed("angle-dependent: %+.2f at 45 degrees against 0 degrees", f.error45 - f.error0);
}

std::string trilinearText(const Filtering& f) {
    if (!f.probed) return "";
    switch (f.trilinear) {
        case TrilinearOutcome::Whole: return "true trilinear: levels blend across the whole octave";
        case TrilinearOutcome::None: return "trilinear optimisation: no blend between levels at all (nearest mipmap)";
        case TrilinearOutcome::Part: break;
    }
    return printed("trilinear optimisation: levels blend over only %.2f of each octave", f.blendWidth);
}

std::string roundingText(const Filtering& f) {
    if (!f.probed) return "";
    switch (f.rounding) {
        case MipRounding::NotMeasured: return "not measured";
        case MipRounding::Nearest:
            return printed(
                "rounds to the nearest level (switches at frac %.2f of exact lambda, %.2f of its own trilinear "
                "lambda; the two allowed rules differ only at 0.5 itself)",
                f.roundingThreshold, f.roundingOwn);
        case MipRounding::Elsewhere: break;
    }
    return printed("switches at frac %.2f of exact lambda (%.2f of its own), not at 0.5 as the rules",
                   f.roundingThreshold, f.roundingOwn);
}

std::string biasText(const Filtering& f) {
    if (!f.probed) return "";
    switch (f.bias) {
        case BiasOutcome::Honoured: return "both honoured (the decoding follows a known shift)";
        case BiasOutcome::NegativeClamped: return "positive honoured, negative clamped to 0";
        case BiasOutcome::NegativeOther: return printed("positive honoured, negative gives %+.2f", f.biasMinus);
        case BiasOutcome::NotHonoured: break;
    }
    return printed("not honoured: +0.5 gives %+.2f, -0.5 gives %+.2f", f.biasPlus, f.biasMinus);
}

// One requested degree by its level (the probes the level leaves room for) and by its
// spread along the major axis (whether those probes are taken).
std::string anisoRowText(const AnisoRow& row) {
    switch (row.outcome) {
        case AnisoOutcome::Ignored: return "setting ignored: the same picture as the degree below";
        case AnisoOutcome::Honoured: return "honoured";
        case AnisoOutcome::SharperLevel:
            return printed("level sharper than the degree allows (as for %.1f : 1)", row.delivered);
        case AnisoOutcome::Aliases:
            return printed(
                "level as for %.1f : 1, but the filter spreads only %.1f times as far along the major axis: the "
                "extra sharpness aliases",
                row.delivered, row.blurRatio);
        case AnisoOutcome::Short: break;
    }
    return printed("delivers %.1f (level), spread ratio %.1f", row.delivered, row.blurRatio);
}

std::string anisoSummaryText(const Filtering& f) {
    if (!f.probed) return "";
    switch (f.anisoSummary) {
        case AnisoSummary::Unsupported: return "not supported (no GL_EXT_texture_filter_anisotropic)";
        case AnisoSummary::Ignored:
            return printed(
                "the degree is ignored: one picture for every degree from 2 up (%.1f : 1 by its level; along the "
                "major axis the filter spreads %.1f times as far as along the minor)",
                f.aniso[1].delivered, f.aniso[1].blurRatio);
        case AnisoSummary::Honoured: return "every requested degree honoured";
        case AnisoSummary::SharpenedAliases:
            return "the level follows every degree, but the major axis is not filtered to match: a sharpened filter "
                   "that aliases";
        case AnisoSummary::SomeIgnored: return "some degrees ignored, see the table";
        case AnisoSummary::NotAsRequested: return "degrees not as requested, see the table";
    }
    return "";
}

std::string generatedText(const Filtering& f) {
    switch (f.generatedOutcome) {
        case GeneratedMipmaps::NotMeasured: return "";
        case GeneratedMipmaps::NotReadBack: return "not read back";
        case GeneratedMipmaps::BoxFilter: return "a 2x2 box filter of the level above (within rounding)";
        case GeneratedMipmaps::Other: break;
    }
    return printed(
        "differs from a 2x2 box filter of the level above by up to %d levels (another filter, or levels made from "
        "level 0)",
        f.generatedWorst);
}

std::string filteringGapText(FilteringGap g) {
    switch (g) {
        case FilteringGap::None: return "";
        case FilteringGap::NoFramebuffers: return "no framebuffer objects";
        case FilteringGap::NoProbeTarget: return "no framebuffer object for the probe tiles";
        case FilteringGap::GlError: return "OpenGL error during the filtering captures";
    }
    return "";
}

// quillmere's texture is GL_LINEAR without mipmaps: which forced settings reach it.
std::string programSentence(const Filtering& f) {
    if (f.program.empty()) return "";
    std::string s =
        "quillmere's own texture is GL_LINEAR without mipmaps, so a driver's trilinear, level-of-detail bias and "
        "quality settings cannot change its picture; only a forced anisotropy or a forced minification or "
        "magnification filter can";
    if (f.forcedAnisotropy == 0) return s + ".";
    return s + (f.forcedAnisotropyRmse > 0
                    ? printed(", and on this driver a forced anisotropy would (GL_LINEAR with anisotropy %d differs "
                              "from it by RMSE %.2f).",
                              f.forcedAnisotropy, f.forcedAnisotropyRmse)
                    : std::string(", and on this driver a forced anisotropy would not (GL_LINEAR gives the same "
                                  "picture with any degree)."));
}

std::vector<std::pair<std::string, std::string>> filterModes(const Filtering& f) {
    if (f.program.empty()) return {};
    std::vector<std::pair<std::string, std::string>> rows = {
        {"GL_NEAREST", deliveredText(f.program[1])},
        {"GL_LINEAR", deliveredText(f.program[0])},
        {"GL_LINEAR_MIPMAP_NEAREST", roundingText(f)},
        {"GL_LINEAR_MIPMAP_LINEAR", printed("%s; lambda %+.2f from exact at 0 degrees, %+.2f at 30, %+.2f at 45",
                                            trilinearText(f).c_str(), f.error0, f.error30, f.error45)}};
    for (const AnisoRow& row : f.aniso)
        if (row.requested > 1)
            rows.push_back({"anisotropy " + std::to_string(row.requested),
                            printed("%.1f : 1 by its level, spread ratio %.1f (%s)", row.delivered, row.blurRatio,
                                    anisoRowText(row).c_str())});
    if (!f.anisotropic) rows.push_back({"anisotropy", anisoSummaryText(f)});
    return rows;
}

}  // namespace measure
