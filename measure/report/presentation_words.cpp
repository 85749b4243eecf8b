// The presentation verdict's words, each a function of the values it names.
#include "measure/report/presentation_words.h"

#include "measure/report/numbers.h"

#include <cmath>
#include <cstdio>

namespace measure {
namespace {

std::string colourText(const PresentationStep& s) {
    switch (s.colour) {
        case ColourShape::Identity: return "no colour change";
        case ColourShape::Gain: return "a colour gain of " + formatFigure(s.gain, 2);
        case ColourShape::Gamma: return "a gamma curve (exponent " + formatFigure(s.gamma, 2) + ")";
        case ColourShape::LimitedRange:
            return "limited-range RGB (levels squeezed into " + std::to_string(s.low) + "-" + std::to_string(s.high) +
                   ")";
        case ColourShape::Curve:
            return "a colour curve (its nearest straight line takes black to " + std::to_string(s.low) +
                   " and white to " + std::to_string(s.high) + ")";
        case ColourShape::Mixed:
            return "a colour change that mixes the channels (such as saturation, vibrance or a colour matrix)";
    }
    return "a colour change";
}

std::string filterText(const PresentationStep& s) {
    const std::string side = std::to_string(s.kernelSide) + "x" + std::to_string(s.kernelSide);
    switch (s.filter) {
        case FilterShape::Identity: return "no filter";
        case FilterShape::Box: return "a box filter (" + side + " kernel)";
        case FilterShape::Tent: return "a tent filter (" + side + " kernel)";
        case FilterShape::Gaussian: return "a Gaussian blur (sigma " + formatFigure(s.sigma, 2) + " pixels)";
        case FilterShape::Other: return "a linear filter (" + side + " kernel)";
    }
    return "a linear filter";
}

std::string percent(double share) { return formatFigure(100 * share, 0) + " %"; }

// "; closest NAME: D levels" where a family member was weighed.
std::string closestText(const PresentationStep& s) {
    if (s.closest.empty() || !std::isfinite(s.distance)) return {};
    return "; closest " + s.closest + ": " + formatFigure(s.distance, 1) + " levels";
}

// A sharpening after a filter the tool does not model has no strength of its own to give.
std::string sharpeningText(const PresentationStep& s, bool withClosest) {
    if (!std::isfinite(s.strength)) return "sharpening of unmeasured strength";
    return "sharpening (strength " + formatFigure(s.strength, 2) + (withClosest ? closestText(s) : "") + ")";
}

}  // namespace

const char* presentationClassName(PresentationClass cls) {
    switch (cls) {
        case PresentationClass::Unchanged: return "unchanged";
        case PresentationClass::ColourChanged: return "colour";
        case PresentationClass::Filter: return "filter";
        case PresentationClass::Morphological: return "morphological";
        case PresentationClass::Sharpening: return "sharpening";
        case PresentationClass::Scaled: return "scaled";
        case PresentationClass::Unexplained: return "unexplained";
    }
    return "unexplained";
}

std::string presentationVerdictName(const PresentationVerdict& v) {
    std::string name;
    for (const PresentationStep& s : v.steps)
        name += (name.empty() ? "" : "+") + std::string(presentationClassName(s.cls));
    return name.empty() ? "unchanged" : name;
}

const char* landmarkName(LandmarkKind kind) {
    switch (kind) {
        case LandmarkKind::Interiors: return "interiors";
        case LandmarkKind::Checkerboards: return "checkerboards";
        case LandmarkKind::ThinLines: return "thin_lines";
        case LandmarkKind::Caption: return "caption";
    }
    return "interiors";
}

const char* landmarkTitle(LandmarkKind kind) {
    switch (kind) {
        case LandmarkKind::Interiors: return "blade interiors";
        case LandmarkKind::Checkerboards: return "checkerboards";
        case LandmarkKind::ThinLines: return "thin lines";
        case LandmarkKind::Caption: return "caption";
    }
    return "blade interiors";
}

std::string presentationStepText(const PresentationStep& s) {
    switch (s.cls) {
        case PresentationClass::Unchanged: return "unchanged";
        case PresentationClass::ColourChanged: return colourText(s);
        case PresentationClass::Filter: return filterText(s) + closestText(s);
        case PresentationClass::Morphological: {
            std::string text =
                s.unmodelled ? "a morphological filter the tool does not model" : "morphological anti-aliasing";
            text += " (";
            if (std::isfinite(s.threshold)) text += "threshold about " + formatFigure(s.threshold, 2) + " luma, ";
            if (std::isfinite(s.reach)) text += "reaching " + formatFigure(s.reach, 1) + " pixels along edges, ";
            text += percent(s.detailKept) + " of the texture detail kept";
            return text + (s.unmodelled ? "" : closestText(s)) + ")";
        }
        case PresentationClass::Sharpening: return sharpeningText(s, true);
        case PresentationClass::Scaled: return "scaling (the presented picture is resampled)";
        case PresentationClass::Unexplained: return "a change the tool cannot explain";
    }
    return "a change the tool cannot explain";
}

std::string presentationVerdictText(const PresentationVerdict& v) {
    std::string text;
    for (const PresentationStep& s : v.steps) text += (text.empty() ? "" : ", then ") + presentationStepText(s);
    return text.empty() ? "unchanged" : text;
}

std::string presentationShortText(const PresentationVerdict& v) {
    std::string text;
    for (const PresentationStep& s : v.steps) {
        std::string step;
        if (s.cls == PresentationClass::Morphological) {
            step = s.unmodelled ? "a morphological filter the tool does not model" : "morphological anti-aliasing";
            if (std::isfinite(s.threshold)) step += " (threshold about " + formatFigure(s.threshold, 2) + " luma)";
        } else if (s.cls == PresentationClass::Sharpening) {
            step = sharpeningText(s, false);
        } else if (s.cls == PresentationClass::Filter) {
            step = filterText(s);
        } else {
            step = presentationStepText(s);
        }
        text += (text.empty() ? "" : ", then ") + step;
    }
    return text + " at presentation";
}

std::string presentationSentence(const Results& r) {
    const PresentationResults& p = r.presentation;
    if (!r.presented.attempted) return {};
    if (!p.measured) return "What presentation does was not measured: " + p.reason + ".";
    if (p.verdict.steps.empty() || p.verdict.steps.front().cls == PresentationClass::Unchanged)
        return "Presentation leaves quillmere's picture unchanged: the screen shows the back buffer.";
    char changed[96];
    std::snprintf(changed, sizeof changed, " (%zu pixels changed, %.1f %% of the picture)", p.figures.differing,
                  100.0 * p.figures.range.changedShare);
    return "At presentation quillmere's picture gets " + presentationVerdictText(p.verdict) + changed + ".";
}

}  // namespace measure
