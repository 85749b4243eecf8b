// The presentation figures and verdict written out; the words come from presentation_words.
#include "measure/report/presentation_section.h"

#include "measure/report/files.h"
#include "measure/report/numbers.h"
#include "measure/report/png.h"
#include "measure/report/report.h"
#include "measure/report/presentation_words.h"
#include "measure/report/svg.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace measure {
namespace {

using json = nlohmann::ordered_json;

// Distances listed in results.json: the closest few say what the verdict weighed.
constexpr std::size_t kListedDistances = 8;

const char* curveShapeName(CurveShape s) {
    switch (s) {
        case CurveShape::Identity: return "identity";
        case CurveShape::Gain: return "gain";
        case CurveShape::Gamma: return "gamma";
        case CurveShape::LimitedRange: return "limited_range";
        case CurveShape::Levels: return "levels";
        case CurveShape::Other: return "other";
    }
    return "other";
}

const char* colourShapeName(ColourShape s) {
    switch (s) {
        case ColourShape::Identity: return "identity";
        case ColourShape::Gain: return "gain";
        case ColourShape::Gamma: return "gamma";
        case ColourShape::LimitedRange: return "limited_range";
        case ColourShape::Curve: return "curve";
        case ColourShape::Mixed: return "mixed";
    }
    return "curve";
}

const char* kernelShapeName(KernelShape s) {
    switch (s) {
        case KernelShape::Identity: return "identity";
        case KernelShape::Box: return "box";
        case KernelShape::Tent: return "tent";
        case KernelShape::Gaussian: return "gaussian";
        case KernelShape::Sharpening: return "sharpening";
        case KernelShape::Other: return "other";
    }
    return "other";
}

json stepJson(const PresentationStep& s) {
    json j = {{"class", presentationClassName(s.cls)}, {"text", presentationStepText(s)}};
    switch (s.cls) {
        case PresentationClass::ColourChanged:
            j.update({{"colour", colourShapeName(s.colour)},
                      {"gamma", jsonFigure(s.gamma)},
                      {"gain", jsonFigure(s.gain)},
                      {"low", s.low},
                      {"high", s.high}});
            break;
        case PresentationClass::Filter:
            j.update({{"kernel_side", s.kernelSide}, {"kernel", s.kernel}, {"sigma", jsonFigure(s.sigma)}});
            break;
        case PresentationClass::Morphological:
            j.update({{"threshold", jsonFigure(s.threshold)},
                      {"reach", jsonFigure(s.reach)},
                      {"detail_kept", jsonFigure(s.detailKept)},
                      {"unmodelled", s.unmodelled}});
            break;
        case PresentationClass::Sharpening: j["strength"] = jsonFigure(s.strength); break;
        default: break;
    }
    if (!s.closest.empty()) j.update({{"closest", s.closest}, {"distance", jsonFigure(s.distance)}});
    return j;
}

json kernelJson(const Kernel& k) {
    return {{"side", k.side},
            {"weights", k.weights},
            {"sum", jsonFigure(k.sum)},
            {"residual", jsonFigure(k.residual)},
            {"identity_residual", jsonFigure(k.identityResidual)},
            {"shape", kernelShapeName(k.shape)},
            {"sigma", jsonFigure(k.sigma)},
            {"box_side", k.boxSide},
            {"negative_sum", jsonFigure(k.negativeSum)},
            {"centroid", {jsonFigure(k.centreX), jsonFigure(k.centreY)}}};
}

json gatingJson(const ContrastGating& g) {
    json bins = json::array();
    for (int b = 0; b < kGatingBins; ++b)
        if (g.counts[b])
            bins.push_back({{"low", g.edges[b]},
                            {"high", g.edges[b + 1]},
                            {"pixels", g.counts[b]},
                            {"changed_share", jsonFigure(g.changedShare[b])},
                            {"relative_change", jsonFigure(g.relativeChange[b])}});
    return {{"gated", g.gated}, {"threshold", jsonFigure(g.threshold)}, {"bins", bins}};
}

json figuresJson(const PresentationFigures& f) {
    const ColourCurve& c = f.curve;
    json j = {{"differing_pixels", f.differing}, {"rmse", jsonFigure(f.rmse)}};
    j["colour_curve"] = {{"shape", curveShapeName(c.shape)},
                         {"residual", jsonFigure(c.residual)},
                         {"deviation", jsonFigure(c.deviation)},
                         {"shape_error", jsonFigure(c.shapeError)},
                         {"gamma", jsonFigure(c.gamma)},
                         {"gain", jsonFigure(c.gain)},
                         {"low", c.low},
                         {"high", c.high}};
    j["colour_function"] = {{"residual", jsonFigure(f.byColour.residual)},
                            {"change", jsonFigure(f.byColour.change)},
                            {"grouped_share", jsonFigure(f.byColour.groupedShare)}};
    j["kernel"] = kernelJson(f.kernel);
    j["contrast_gating"] = gatingJson(f.gating);
    j["range"] = {{"changed_pixels", f.range.changed},
                  {"changed_share", jsonFigure(f.range.changedShare)},
                  {"overshoot_share", jsonFigure(f.range.overshootShare)},
                  {"overshoot_depth", jsonFigure(f.range.overshootDepth)},
                  {"halo_width", f.range.haloWidth},
                  {"detail_correlation", jsonFigure(f.range.detailCorrelation)}};
    if (f.hasEdges)
        j["edges"] = {{"runs", f.edges.runs},
                      {"reach_mean", jsonFigure(f.edges.reachMean)},
                      {"reach_max", jsonFigure(f.edges.reachMax)},
                      {"run_length_mean", jsonFigure(f.edges.runLengthMean)},
                      {"run_changed_share", jsonFigure(f.edges.runChangedShare)},
                      {"edge_error", jsonFigure(f.edges.edgeError)},
                      {"one_sample_edge_error", jsonFigure(f.edges.oneSampleEdgeError)},
                      {"edge_pixels", f.edges.edgePixels}};
    j["scale"] = {{"same_size", f.scale.sameSize},
                  {"scale", {jsonFigure(f.scale.scaleX), jsonFigure(f.scale.scaleY)}},
                  {"shift", {jsonFigure(f.scale.shiftX), jsonFigure(f.scale.shiftY)}},
                  {"shift_spread", jsonFigure(f.scale.shiftSpread)},
                  {"tiles", f.scale.tiles},
                  {"resampled", f.scale.resampled}};
    j["detail"] = detailJson(f.detail);
    j["back_buffer_detail"] = detailJson(f.backDetail);
    return j;
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    return !out.fail();
}

}  // namespace

json detailJson(const std::vector<DetailKept>& detail) {
    json out = json::array();
    for (const DetailKept& d : detail) {
        json bands = json::array();
        for (double b : d.keptByBand) bands.push_back(jsonFigure(b));
        out.push_back({{"landmark", landmarkName(d.kind)},
                       {"pixels", d.pixels},
                       {"has_detail", d.hasDetail},
                       {"kept", d.hasDetail ? jsonFigure(d.kept) : json()},
                       {"false_detail", d.hasDetail ? jsonFigure(d.falseDetail) : json()},
                       {"kept_by_band", bands}});
    }
    return out;
}

double detailKeptOf(const std::vector<DetailKept>& detail) {
    for (const DetailKept& d : detail)
        if (d.kind == LandmarkKind::Interiors && d.hasDetail) return d.kept;
    return NAN;
}

void addPresentationJson(json& presented, const Results& r) {
    const PresentationResults& p = r.presentation;
    if (!r.presented.captured) return;
    json j = {{"measured", p.measured}};
    if (!p.measured) {
        j["reason"] = p.reason;
        presented["presentation"] = j;
        return;
    }
    presented["verdict"] = presentationVerdictName(p.verdict);
    presented["verdict_text"] = presentationVerdictText(p.verdict);
    presented["detail_kept"] = jsonFigure(detailKeptOf(p.figures.detail));
    j["steps"] = json::array();
    for (const PresentationStep& s : p.verdict.steps) j["steps"].push_back(stepJson(s));
    j["closest"] = p.verdict.closest;
    j["distance"] = jsonFigure(p.verdict.distance);
    j["margin"] = jsonFigure(p.verdict.margin);
    j["candidates"] = p.candidates;
    j["distances"] = json::array();
    for (std::size_t i = 0; i < p.verdict.distances.size() && i < kListedDistances; ++i) {
        const FamilyDistance& d = p.verdict.distances[i];
        j["distances"].push_back(
            {{"name", d.name}, {"after_curve", d.afterCurve}, {"distance", jsonFigure(d.distance)}});
    }
    j["landmark_pixels"] = json::object();
    for (const auto& [kind, pixels] : p.landmarkPixels) j["landmark_pixels"][landmarkName(kind)] = pixels;
    j.update(figuresJson(p.figures));
    presented["presentation"] = j;
}

Image changeMap(const Image& back, const Image& presented, int tolerance) {
    Image out(back.width, back.height);
    if (presented.width != back.width || presented.height != back.height) return out;
    const int w = back.width, h = back.height;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = (std::size_t)y * w + x;
            bool changed = false, outside = false;
            for (int c = 0; c < 3; ++c) {
                const int v = presented.rgb[i * 3 + c];
                changed = changed || std::abs(v - back.rgb[i * 3 + c]) > tolerance;
                int lo = 255, hi = 0;
                for (int j = std::max(0, y - 1); j <= std::min(h - 1, y + 1); ++j)
                    for (int k = std::max(0, x - 1); k <= std::min(w - 1, x + 1); ++k) {
                        const int b = back.rgb[((std::size_t)j * w + k) * 3 + c];
                        lo = std::min(lo, b);
                        hi = std::max(hi, b);
                    }
                outside = outside || v < lo - tolerance || v > hi + tolerance;
            }
            const std::uint8_t dim = (std::uint8_t)(back.rgb[i * 3 + 1] / 4);
            const std::uint8_t colour[3] = {changed ? (std::uint8_t)(outside ? 255 : 0) : dim,
                                            changed ? (std::uint8_t)(outside ? 48 : 220) : dim,
                                            changed ? (std::uint8_t)(outside ? 48 : 255) : dim};
            std::copy(colour, colour + 3, &out.rgb[i * 3]);
        }
    return out;
}

std::string gatingPlot(const ContrastGating& g) {
    PlotFrame plot(0, 1, 0, 1);
    std::vector<Tick> xTicks, yTicks;
    for (int i = 0; i <= 4; ++i) xTicks.emplace_back(i / 4.0, formatFigure(i / 4.0, 2));
    for (int i = 0; i <= 4; ++i) yTicks.emplace_back(i / 4.0, formatFigure(100 * i / 4.0, 0) + " %");
    plot.frame(xTicks, yTicks, "back buffer's local contrast (3x3 luma range)", "pixels changed");
    std::ostringstream& s = plot.body();
    std::string path;
    for (int b = 0; b < kGatingBins; ++b) {
        if (!g.counts[b] || !std::isfinite(g.changedShare[b])) continue;
        const double x = plot.px((g.edges[b] + g.edges[b + 1]) / 2), y = plot.py(g.changedShare[b]);
        path += (path.empty() ? "M" : " L") + formatFigure(x, 1) + " " + formatFigure(y, 1);
        s << "<circle cx='" << x << "' cy='" << y << "' r='3' fill='#1f77b4'/>\n";
    }
    if (!path.empty()) s << "<path d='" << path << "' fill='none' stroke='#1f77b4'/>\n";
    if (g.gated && std::isfinite(g.threshold))
        s << "<line x1='" << plot.px(g.threshold) << "' x2='" << plot.px(g.threshold) << "' y1='" << plot.py(0)
          << "' y2='" << plot.py(1) << "' stroke='#d62728' stroke-dasharray='4 3'/><text x='"
          << plot.px(g.threshold) + 4 << "' y='" << plot.py(0.95) << "' fill='#d62728'>threshold "
          << formatFigure(g.threshold, 2) << "</text>\n";
    return plot.text();
}

bool writePresentationFiles(const Results& r, const Image& backBuffer, const std::string& dir, std::string& failed) {
    const PresentationResults& p = r.presentation;
    if (!p.measured) return true;
    if (p.figures.sameSize &&
        !writePng(dir + "/" + files::kChangeMap, changeMap(backBuffer, r.presented.image, r.presented.tolerance)))
        return failed = files::kChangeMap, false;
    if (!writeText(dir + "/" + files::kGatingPlot, gatingPlot(p.figures.gating)))
        return failed = files::kGatingPlot, false;
    return true;
}

namespace {

// The kernel's weights as a small table, rows top to bottom.
std::string kernelTable(const Kernel& k) {
    std::ostringstream h;
    h << "<table id='presentation-kernel'>";
    for (int y = 0; y < k.side; ++y) {
        h << "<tr>";
        for (int x = 0; x < k.side; ++x) {
            const std::size_t i = (std::size_t)y * k.side + x;
            h << "<td>" << (i < k.weights.size() ? formatFigure(k.weights[i], 3) : std::string(kNoFigure)) << "</td>";
        }
        h << "</tr>";
    }
    h << "</table>\n";
    return h.str();
}

// One row of the detail table: kept and false detail per landmark, in percent.
void detailRow(std::ostringstream& h, const std::string& mode, const std::vector<DetailKept>& detail) {
    h << "<tr><td>" << mode << "</td>";
    for (const DetailKept& d : detail)
        h << "<td>" << (d.hasDetail ? formatFigure(100 * d.kept, 0) : std::string(kNoFigure)) << "</td><td>"
          << (d.hasDetail ? formatFigure(100 * d.falseDetail, 0) : std::string(kNoFigure)) << "</td>";
    h << "</tr>\n";
}

// Texture detail kept by landmark and mode: the presented picture first, then every capture.
std::string detailTable(const Results& r) {
    const std::vector<DetailKept>* header = r.presentation.measured ? &r.presentation.figures.detail : nullptr;
    for (const Capture& c : r.captures)
        if (!header && !c.detail.empty()) header = &c.detail;
    if (!header || header->empty()) return {};
    std::ostringstream h;
    h << "<h3>Texture detail kept</h3>\n<table id='detail-kept'><thead><tr><th>mode</th>";
    for (const DetailKept& d : *header) h << "<th colspan='2'>" << landmarkTitle(d.kind) << "</th>";
    h << "</tr><tr><th></th>";
    for (std::size_t i = 0; i < header->size(); ++i) h << "<th>kept %</th><th>false %</th>";
    h << "</tr></thead><tbody>\n";
    if (r.presentation.measured) detailRow(h, "presented", r.presentation.figures.detail);
    for (const Capture& c : r.captures)
        if (c.kind != CaptureKind::Presented && !c.detail.empty()) detailRow(h, c.name, c.detail);
    h << "</tbody></table>\n<p>Kept: the share of the reference's local contrast energy (two band-pass layers of "
      << "luma, where the reference has it) that the picture keeps over the landmark's pixels; false: the picture's "
      << "band energy the reference lacks (aliasing), over the reference's. Removing aliasing lowers the second, "
      << "never the first.</p>\n";
    return h.str();
}

}  // namespace

std::string presentationHtml(const Results& r) {
    const PresentationResults& p = r.presentation;
    std::ostringstream h;
    if (r.presented.captured) {
        h << "<h2>What presentation did</h2>\n";
        if (!p.measured) {
            h << "<p id='presentation'>Not measured: " << escapeMarkup(p.reason) << ".</p>\n";
        } else {
            const PresentationFigures& f = p.figures;
            h << "<p id='presentation'>Presentation verdict: <b>" << escapeMarkup(presentationVerdictText(p.verdict))
              << "</b>.</p>\n<ul><li>Colour: best per-channel curve " << curveShapeName(f.curve.shape) << ", residual "
              << formatFigure(f.curve.residual, 2) << " levels; as a function of the whole colour, scatter "
              << formatFigure(f.byColour.residual, 2) << " levels about each back-buffer colour's mean, of a change of "
              << formatFigure(f.byColour.change, 2) << " levels.</li><li>Linear filter: " << f.kernel.side << "&times;"
              << f.kernel.side << " kernel, " << kernelShapeName(f.kernel.shape) << ", residual "
              << formatFigure(f.kernel.residual, 2) << " levels (identity "
              << formatFigure(f.kernel.identityResidual, 2) << "), negative weights "
              << formatFigure(f.kernel.negativeSum, 3) << ".</li><li>Contrast gating: "
              << (f.gating.gated ? "changes begin at a luma range of " + formatFigure(f.gating.threshold, 2)
                                 : std::string("none"))
              << ".</li><li>Range: " << formatFigure(100 * f.range.overshootShare, 1)
              << " % of the changed pixels leave the back buffer's 5&times;5 range, halo " << f.range.haloWidth
              << " pixels; the change correlates " << formatFigure(f.range.detailCorrelation, 2)
              << " with the detail above a Gaussian of 1 pixel (added back: above 0; taken away: below 0).</li>";
            if (f.hasEdges)
                h << "<li>Along edges: changes reach " << formatFigure(f.edges.reachMean, 1) << " pixels (at most "
                  << formatFigure(f.edges.reachMax, 0) << ") from a stair step; coverage error "
                  << formatFigure(f.edges.edgeError, 2) << " against the one-sample frame's "
                  << formatFigure(f.edges.oneSampleEdgeError, 2) << ".</li>";
            if (!p.verdict.closest.empty())
                h << "<li>Closest candidate: " << escapeMarkup(p.verdict.closest) << " at "
                  << formatFigure(p.verdict.distance, 2) << " levels (of " << p.candidates << ").</li>";
            h << "</ul>\n";
            if (f.sameSize)
                h << "<figure><img class='heat' src='" << files::kChangeMap
                  << "' alt='where presentation changed the picture'><figcaption>change map: red leaves the "
                  << "3&times;3 range, cyan stays inside it</figcaption></figure>\n";
            h << "<figure><img src='" << files::kGatingPlot << "' width='480' height='300' alt='pixels changed "
              << "against local contrast'><figcaption>change against contrast</figcaption></figure>\n";
            h << "<h3>Kernel from the back buffer to the screen</h3>\n" << kernelTable(f.kernel);
        }
    }
    h << detailTable(r);
    return h.str();
}

}  // namespace measure
