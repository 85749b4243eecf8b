// The anti-aliasing section of the report: JSON, HTML and the sample-position drawings.
#include "measure/report/aa_section.h"
#include "measure/report/numbers.h"

#include "measure/report/files.h"
#include "measure/report/report.h"
#include "measure/report/svg.h"
#include "measure/report/words.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace measure {
namespace {

using json = nlohmann::ordered_json;

// (x, y) pairs as a list of two-element lists.
json points(const std::vector<float>& xy) {
    json out = json::array();
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) out.push_back({xy[i], xy[i + 1]});
    return out;
}

// The file drawing one target's positions.
std::string positionsFile(const SamplePositions& s) { return files::samplePositions(s.target); }

// One pixel with the driver's positions as dots and the measured ones as rings.
std::string positionsSvg(const SamplePositions& s) {
    const int side = 160;
    std::ostringstream o;
    o << svgStart(side + 2, side + 2) << "<rect x='1' y='1' width='" << side << "' height='" << side
      << "' fill='white' stroke='black'/>\n";
    for (int q = 1; q < 4; ++q)
        o << "<line x1='" << 1 + q * side / 4 << "' y1='1' x2='" << 1 + q * side / 4 << "' y2='" << side + 1
          << "' stroke='#ddd'/><line x1='1' y1='" << 1 + q * side / 4 << "' x2='" << side + 1 << "' y2='"
          << 1 + q * side / 4 << "' stroke='#ddd'/>\n";
    // Positions count y upwards from the pixel's lower edge.
    for (std::size_t i = 0; i + 1 < s.driver.size(); i += 2)
        o << "<circle cx='" << 1 + s.driver[i] * side << "' cy='" << 1 + (1 - s.driver[i + 1]) * side
          << "' r='4' fill='#1f77b4'/>\n";
    for (std::size_t i = 0; i + 1 < s.measured.size(); i += 2)
        o << "<circle cx='" << 1 + s.measured[i] * side << "' cy='" << 1 + (1 - s.measured[i + 1]) * side
          << "' r='7' fill='none' stroke='#d62728' stroke-width='2'/>\n";
    o << kSvgEnd;
    return o.str();
}

}  // namespace

json antialiasingJson(const AaResults& aa) {
    json j;
    j["max_samples"] = aa.maxSamples;
    j["multisampling"] = aa.maxSamples > 1;
    j["reference_grid"] = referenceGridText(aa.referenceK);
    j["convergence_edge_rmse"] = aa.convergenceEdge;
    j["convergence_centre_rmse"] = aa.convergenceCentre;
    j["emulation_renders"] = aa.emulationRenders;
    j["verdicts"] = json::array();
    for (const CaptureVerdict& c : aa.verdicts) {
        const Verdict& v = c.verdict;
        const Evidence& e = v.evidence;
        json levels = json::array();
        for (const LevelFit& f : e.levels)
            levels.push_back({{"value", f.value}, {"stored_distance", f.stored}, {"linear_distance", f.linear}});
        json distances = json::array();
        for (const Distance& d : v.distances)
            distances.push_back({{"candidate", d.name},
                                 {"class", className(d.cls)},
                                 {"samples", d.samples},
                                 {"edge", d.edge},
                                 {"interior", d.interior},
                                 {"distance", d.total}});
        j["verdicts"].push_back({{"capture", c.capture},
                                 {"format_samples", c.formatSamples},
                                 {"channel_bits", {c.bits.r, c.bits.g, c.bits.b}},
                                 {"class", className(v.cls)},
                                 {"samples", v.samples},
                                 {"verdict", verdictText(v)},
                                 {"closest", v.closest},
                                 {"distance", v.distance},
                                 {"next", v.next},
                                 {"margin", jsonFigure(v.margin)},
                                 {"evidence",
                                  {{"coverage_levels", levels},
                                   {"grid_samples", e.gridSamples},
                                   {"grid_resolve", e.gridSamples ? (e.gridLinear ? "linear" : "stored") : ""},
                                   {"spill_share", e.spill},
                                   {"interior_changed_share", e.interiorChanged},
                                   {"interior_rmse_vs_one_sample", e.interiorRmse},
                                   {"tolerance", e.tolerance}}},
                                 {"candidates", distances}});
    }
    j["sample_positions"] = json::array();
    for (const SamplePositions& s : aa.positions)
        j["sample_positions"].push_back({{"target", s.target},
                                         {"samples", s.samples},
                                         {"driver", points(s.driver)},
                                         {"measured", points(s.measured)},
                                         {"agree", s.agree},
                                         {"note", positionsNote(s)}});
    j["scores"] = json::array();
    for (const AaScores& s : aa.scores)
        j["scores"].push_back({{"capture", s.capture},
                               {"geometric_edge_rmse", s.hasGeometric ? json(s.geometricEdge) : json(nullptr)},
                               {"textured_edge_rmse", s.texturedEdge},
                               {"edge_rmse_vs_linear_light_reference", s.edgeLinear},
                               {"spill_share", s.spill}});
    return j;
}

std::string antialiasingHtml(const AaResults& aa) {
    std::ostringstream h;
    h << "<h2 id='antialiasing'>Anti-aliasing: the evidence behind the verdicts</h2>\n";
    if (aa.maxSamples <= 1) h << "<p>The driver has no multisampling (GL_MAX_SAMPLES " << aa.maxSamples << ").</p>\n";
    h << "<table id='verdicts'><thead><tr><th>capture</th><th>verdict</th><th>format samples</th><th>bits</th>"
      << "<th>levels fit</th><th>spill</th><th>interiors changed</th><th>closest</th><th>distance</th>"
      << "<th>next</th><th>margin</th></tr></thead><tbody>\n";
    for (const CaptureVerdict& c : aa.verdicts) {
        const Verdict& v = c.verdict;
        const Evidence& e = v.evidence;
        std::string grid = e.levels.empty() && e.gridSamples == 0 ? kNoFigure
                           : e.gridSamples
                               ? "m/" + std::to_string(e.gridSamples) + (e.gridLinear ? " linear" : " stored")
                               : "none";
        h << "<tr><td>" << escapeMarkup(c.capture) << "</td><td>" << escapeMarkup(className(v.cls)) << "</td><td>"
          << c.formatSamples << "</td><td>" << c.bits.r << "-" << c.bits.g << "-" << c.bits.b << "</td><td>" << grid
          << "</td><td>" << formatFigure(100 * e.spill, 1) << "%</td><td>" << formatFigure(100 * e.interiorChanged, 1)
          << "%</td><td>" << escapeMarkup(v.closest) << "</td><td>" << formatFigure(v.distance, 2) << "</td><td>"
          << escapeMarkup(v.next) << "</td><td>" << formatFigure(v.margin, 2) << "</td></tr>\n";
    }
    h << "</tbody></table>\n<p>Levels fit: the coverage pass's levels on the edges lie on the m/N grid of a "
      << "stored-value or a linear-light resolve. Spill: pixels wholly outside the blades in the reference but "
      << "touching an edge that differ from the one-sample frame (samples stay inside their pixel, a filter does "
      << "not). Interiors changed: interior pixels away from the edges beyond one quantisation step of the "
      << "one-sample frame (multisampling textures once a pixel, so it changes none). Distance: RMSE in 8-bit "
      << "levels, edges and interiors weighed alike, to the closest emulated candidate.</p>\n";
    for (const CaptureVerdict& c : aa.verdicts) {
        h << "<details><summary>" << escapeMarkup(c.capture) << ": " << escapeMarkup(verdictText(c.verdict))
          << "</summary><table><tr><th>candidate</th><th>edge</th><th>interior</th><th>distance</th></tr>";
        for (const Distance& d : c.verdict.distances)
            h << "<tr><td>" << escapeMarkup(d.name) << "</td><td>" << formatFigure(d.edge, 2) << "</td><td>"
              << formatFigure(d.interior, 2) << "</td><td>" << formatFigure(d.total, 2) << "</td></tr>";
        h << "</table></details>\n";
    }
    if (!aa.positions.empty()) {
        h << "<h3>Sample positions: the driver's (dots) and measured from the picture (rings)</h3>\n";
        for (const SamplePositions& s : aa.positions)
            h << "<figure><img src='" << positionsFile(s) << "' width='162' height='162' alt='"
              << escapeMarkup(s.target) << " sample positions'><figcaption>" << escapeMarkup(s.target) << ", "
              << s.samples << " samples: " << (s.agree ? "they agree" : "<b>" + escapeMarkup(positionsNote(s)) + "</b>")
              << "</figcaption></figure>\n";
    }
    h << "<h3>Scores kept apart</h3>\n<table id='aa-scores'><thead><tr><th>capture</th><th>geometric edge</th>"
      << "<th>textured edge</th><th>edge vs linear-light ref.</th><th>spill</th></tr></thead><tbody>\n";
    for (const AaScores& s : aa.scores)
        h << "<tr><td>" << escapeMarkup(s.capture) << "</td><td>"
          << (s.hasGeometric ? formatFigure(s.geometricEdge, 2) : std::string(kNoFigure)) << "</td><td>"
          << formatFigure(s.texturedEdge, 2) << "</td><td>" << formatFigure(s.edgeLinear, 2) << "</td><td>"
          << formatFigure(100 * s.spill, 1) << "%</td></tr>\n";
    h << "</tbody></table>\n<p>Geometric edge: the coverage pass against the reference's coverage on edge pixels, "
      << "so the texture's own error is left out. Reference: " << escapeMarkup(referenceGridText(aa.referenceK))
      << "; its convergence check differs from it by RMSE " << formatFigure(aa.convergenceEdge, 3)
      << " on edge pixels and " << formatFigure(aa.convergenceCentre, 3) << " in the minified centre.</p>\n";
    return h.str();
}

bool writeAntialiasingFiles(const AaResults& aa, const std::string& dir, std::string& failed) {
    for (const SamplePositions& s : aa.positions) {
        std::ofstream out(dir + "/" + positionsFile(s), std::ios::binary);
        out << positionsSvg(s);
        out.close();
        if (out.fail()) {
            failed = positionsFile(s);
            return false;
        }
    }
    return true;
}

}  // namespace measure
