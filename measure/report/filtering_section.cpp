// The filtering part of the report.
#include "measure/report/filtering_section.h"
#include "measure/report/numbers.h"

#include "measure/report/files.h"
#include "measure/report/png.h"
#include "measure/report/svg.h"
#include "measure/report/report.h"
#include "measure/report/words.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

namespace measure {
namespace {

// One picture's judgement against the processor's filters.
nlohmann::ordered_json programJson(const ProgramCheck& c) {
    return {{"asked", askedText(c.asked)},
            {"delivered", deliveredText(c)},
            {"honoured", c.honoured},
            {"pixels", c.pixels},
            {"rmse_bilinear", jsonFigure(c.rmseBilinear)},
            {"rmse_nearest", jsonFigure(c.rmseNearest)},
            {"verdict", programVerdict(c)}};
}

// A scatter plot in the report's frame, five ticks an axis; `extra` draws guides.
std::string plot(const std::string& xLabel, const std::string& yLabel, double x0, double x1, double y0, double y1,
                 const std::vector<std::pair<std::vector<std::pair<double, double>>, std::string>>& series,
                 const std::function<void(std::ostringstream&, const std::function<double(double)>&,
                                          const std::function<double(double)>&)>& extra) {
    PlotFrame frame(x0, x1, y0, y1);
    std::vector<Tick> xTicks, yTicks;
    for (int i = 0; i <= 4; ++i) {
        const double x = x0 + (x1 - x0) * i / 4, y = y0 + (y1 - y0) * i / 4;
        xTicks.emplace_back(x, formatFigure(x, x1 - x0 > 10 ? 0 : 2));
        yTicks.emplace_back(y, formatFigure(y, 2));
    }
    frame.frame(xTicks, yTicks, xLabel, yLabel);
    auto px = [&](double x) { return frame.px(x); };
    auto py = [&](double y) { return frame.py(y); };
    std::ostringstream& s = frame.body();
    extra(s, px, py);
    for (const auto& [points, colour] : series)
        for (const auto& [x, y] : points)
            if (std::isfinite(y))
                s << "<circle cx='" << px(x) << "' cy='" << py(y) << "' r='2.5' fill='" << colour << "'/>\n";
    return frame.text();
}

// Writes a text file; false when it cannot.
bool save(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    return !out.fail();
}

}  // namespace

nlohmann::ordered_json filteringJson(const Filtering& f) {
    using json = nlohmann::ordered_json;
    json j;
    j["measured"] = f.measured;
    if (f.gap != FilteringGap::None) j["reason"] = filteringGapText(f.gap);
    j["program"] = json::array();
    for (const ProgramCheck& c : f.program) j["program"].push_back(programJson(c));
    j["window"] = f.windowChecked ? programJson(f.window) : json(nullptr);
    j["presented_window"] = f.presentedChecked ? programJson(f.presented) : json(nullptr);
    j["ring_lod"] = {{"pixels", f.ring.pixels},
                     {"bias", jsonFigure(f.ring.bias)},
                     {"spread", jsonFigure(f.ring.spread)},
                     {"largest_error", jsonFigure(f.ring.largest)},
                     {"within_rules", jsonFigure(f.ring.withinRules)},
                     {"within_quality", jsonFigure(f.ring.withinQuality)},
                     {"verdict", ringText(f.ring.outcome)},
                     {"granularity", granularityText(f.granularity)},
                     {"uniform_2x2_share", jsonFigure(f.blockShare)}};
    json angles = json::array();
    for (const AngleSample& a : f.angles)
        angles.push_back({jsonFigure(a.angle), jsonFigure(a.error), jsonFigure(a.lower), jsonFigure(a.upper)});
    j["lod_vs_angle"] = {{"lambda", 2.3},
                         {"error_0", jsonFigure(f.error0)},
                         {"error_30", jsonFigure(f.error30)},
                         {"error_45", jsonFigure(f.error45)},
                         {"rule", angleRuleText(f)},
                         {"samples_angle_error_lower_upper", angles}};
    json blend = json::array();
    for (const BlendSample& b : f.blend) blend.push_back({jsonFigure(b.frac), jsonFigure(b.blend)});
    j["trilinear"] = {{"blend_width", jsonFigure(f.blendWidth)},
                      {"verdict", trilinearText(f)},
                      {"bias_axis_aligned", jsonFigure(f.probeBias)},
                      {"samples_frac_blend", blend}};
    j["nearest_mipmap"] = {{"switch_frac", jsonFigure(f.roundingThreshold)},
                           {"switch_frac_own_lambda", jsonFigure(f.roundingOwn)},
                           {"verdict", roundingText(f)}};
    j["lod_bias"] = {
        {"plus_half", jsonFigure(f.biasPlus)}, {"minus_half", jsonFigure(f.biasMinus)}, {"verdict", biasText(f)}};
    json stretch = json::array();
    for (const auto& [ratio, delivered] : f.stretch) stretch.push_back({ratio, jsonFigure(delivered)});
    json aniso = json::array();
    for (const AnisoRow& a : f.aniso)
        aniso.push_back({{"requested", a.requested},
                         {"delivered", jsonFigure(a.delivered)},
                         {"major_minor_spread", jsonFigure(a.blurRatio)},
                         {"lambda", jsonFigure(a.lambda)},
                         {"same_picture_as_lower", a.samePicture},
                         {"verdict", anisoRowText(a)}});
    j["anisotropy"] = {
        {"supported", f.anisotropic},         {"max", f.maxAnisotropy},
        {"verdict", anisoSummaryText(f)},     {"degrees", aniso},
        {"stretch_ratio_delivered", stretch}, {"forced_changes_program_rmse", jsonFigure(f.forcedAnisotropyRmse)}};
    json mips = json::array();
    for (const MipCheck& m : f.generated)
        mips.push_back({{"level", m.level}, {"rmse", jsonFigure(m.rmse)}, {"largest", m.largest}});
    j["generated_mipmaps"] = {{"verdict", generatedText(f)}, {"levels", mips}};
    json table = json::array();
    for (const auto& [requested, delivered] : filterModes(f))
        table.push_back({{"requested", requested}, {"delivered", delivered}});
    j["modes"] = table;
    json rotation = json::array();
    for (const AngleSample& a : f.rotation) rotation.push_back({jsonFigure(a.angle), jsonFigure(a.error)});
    j["rotation_sweep_angle_error"] = rotation;
    j["program_sentence"] = programSentence(f);
    j["seconds"] = f.seconds;
    return j;
}

bool writeFilteringFiles(const Filtering& f, const std::string& dir, std::string& failed) {
    auto png = [&](const std::string& name, const Image& image) {
        if (image.width == 0) return true;
        if (writePng(dir + "/" + name, image)) return true;
        failed = name;
        return false;
    };
    if (!png(files::kLodRingDriver, f.ringLod) || !png(files::kLodRingModel, f.modelLod)) return false;
    std::vector<std::pair<double, double>> error, lower, upper, rotation, blend;
    for (const AngleSample& a : f.angles) {
        error.emplace_back(a.angle, a.error);
        lower.emplace_back(a.angle, a.lower);
        upper.emplace_back(a.angle, a.upper);
    }
    for (const AngleSample& a : f.rotation) rotation.emplace_back(a.angle, a.error);
    for (const BlendSample& b : f.blend) blend.emplace_back(b.frac, b.blend);
    const std::string angles = plot(
        "footprint angle (degrees)", "lambda - exact", 0, 360, -1, 1,
        {{lower, "#bbbbbb"}, {upper, "#bbbbbb"}, {error, "#1f77b4"}, {rotation, "#d62728"}},
        [](std::ostringstream& s, const std::function<double(double)>& px, const std::function<double(double)>& py) {
            s << "<line x1='" << px(0) << "' y1='" << py(0) << "' x2='" << px(360) << "' y2='" << py(0)
              << "' stroke='#999' stroke-dasharray='4 3'/>\n";
        });
    const std::string blends = plot(
        "frac(lambda)", "blend fraction", 0, 1, 0, 1, {{blend, "#1f77b4"}},
        [](std::ostringstream& s, const std::function<double(double)>& px, const std::function<double(double)>& py) {
            s << "<line x1='" << px(0) << "' y1='" << py(0) << "' x2='" << px(1) << "' y2='" << py(1)
              << "' stroke='#999' stroke-dasharray='4 3'/>\n";
        });
    if (!save(dir + "/" + files::kLodErrorPlot, angles)) return failed = files::kLodErrorPlot, false;
    if (!save(dir + "/" + files::kBlendPlot, blends)) return failed = files::kBlendPlot, false;
    return true;
}

std::string filteringHtml(const Filtering& f) {
    std::ostringstream h;
    h << "<h2 id='filtering'>Texture filtering against the rules</h2>\n";
    if (!f.measured) h << "<p><b>Incomplete:</b> " << escapeMarkup(filteringGapText(f.gap)) << "</p>\n";
    h << "<p>" << escapeMarkup(programSentence(f)) << "</p>\n";
    for (const ProgramCheck& c : f.program)
        h << "<p>Asked " << askedText(c.asked) << " on the ring: " << escapeMarkup(programVerdict(c)) << ".</p>\n";
    if (f.windowChecked)
        h << "<p>The tool's window with the program's settings: " << escapeMarkup(programVerdict(f.window))
          << ".</p>\n";
    h << "<table id='filter-modes'><thead><tr><th>requested</th><th>delivered</th></tr></thead><tbody>\n";
    for (const auto& [requested, delivered] : filterModes(f))
        h << "<tr><td>" << requested << "</td><td>" << escapeMarkup(delivered) << "</td></tr>\n";
    h << "</tbody></table>\n";
    h << "<h3>Level of detail on the ring</h3>\n<p>A mipmap chain of coded colours (red alternates from level to "
      << "level, green climbs with the level) drawn trilinear: the colour gives lambda per pixel. " << f.ring.pixels
      << " inner pixels: bias " << formatFigure(f.ring.bias, 3) << " (median of decoded - exact), spread "
      << formatFigure(f.ring.spread, 3) << " (5th to 95th percentile), largest error "
      << formatFigure(f.ring.largest, 3) << "; " << formatFigure(100 * f.ring.withinRules, 1)
      << "% within the rules' bounds (+-1/16), " << formatFigure(100 * f.ring.withinQuality, 1)
      << "% within a quarter level of them: <b>" << escapeMarkup(ringText(f.ring.outcome))
      << "</b>. Lambda is computed " << granularityText(f.granularity) << " (" << formatFigure(100 * f.blockShare, 1)
      << "% of 2&times;2 blocks uniform).</p>\n";
    if (f.ringLod.width)
        h << "<figure><img src='" << files::kLodRingDriver << "' width='" << std::min(f.ringLod.width, 410)
          << "' alt='decoded level of detail'><figcaption>driver</figcaption></figure><figure><img "
             "src='"
          << files::kLodRingModel << "' width='" << std::min(f.ringLod.width, 410)
          << "' alt='model level of detail'><figcaption>model (exact "
          << "lengths)</figcaption></figure>\n";
    h << "<h3>Probe tiles at known footprints</h3>\n<p>Lambda against the footprint's angle (isotropic, lambda 2.3): "
      << formatFigure(f.error0, 3) << " at 0&deg;, " << formatFigure(f.error30, 3) << " at 30&deg;, "
      << formatFigure(f.error45, 3) << " at 45&deg; from exact: " << escapeMarkup(angleRuleText(f))
      << ". Grey: the bounds the rules allow";
    if (!f.rotation.empty()) h << "; red: the ring through the renderer's rotation, by the pixels' footprint angle";
    h << ".</p>\n<img src='" << files::kLodErrorPlot << "' width='480' height='300' alt='lambda error against angle'>\n"
      << "<img src='" << files::kBlendPlot << "' width='480' height='300' alt='blend fraction against frac(lambda)'>\n"
      << "<p>Trilinear blend width " << formatFigure(f.blendWidth, 2) << ": " << escapeMarkup(trilinearText(f))
      << ". Nearest mipmap: " << escapeMarkup(roundingText(f)) << ". GL_TEXTURE_LOD_BIAS +0.5 moves lambda by "
      << formatFigure(f.biasPlus, 3) << ", -0.5 by " << formatFigure(f.biasMinus, 3) << ": "
      << escapeMarkup(biasText(f)) << ".</p>\n";
    const std::string aniso = anisoSummaryText(f);
    h << "<p>Anisotropy: " << escapeMarkup(aniso.empty() ? "not measured" : aniso);
    if (f.anisotropic) {
        h << " (a 16:1 footprint; delivered = 2^(lambda at anisotropy 1 - lambda at the degree); spread along the "
          << "major axis against the minor, from a step's response:";
        for (const AnisoRow& a : f.aniso) h << " " << a.requested << ": " << formatFigure(a.blurRatio, 1) << ";";
        h << " 1 means no filtering along the major axis beyond one probe's)";
    }
    if (!f.stretch.empty()) {
        h << ". At the highest degree a footprint stretched 1, 2, 4, 8, 16 : 1 gets";
        for (const auto& [ratio, delivered] : f.stretch) h << (ratio > 1 ? ", " : " ") << formatFigure(delivered, 1);
        h << " : 1";
    }
    h << ".</p>\n<p>Generated mipmaps: " << escapeMarkup(generatedText(f)) << ".</p>\n";
    return h.str();
}

}  // namespace measure
