// The filtering part of the report.
#include "measure/report/filtering_section.h"

#include "measure/report/png.h"
#include "measure/report/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

namespace measure {
namespace {

// JSON has no NaN or infinity: they are written as null.
nlohmann::ordered_json num(double v) { return std::isfinite(v) ? nlohmann::ordered_json(v) : nullptr; }

// A number with fixed digits for the page ("n/a" for NaN).
std::string fix(double v, int digits) {
    if (!std::isfinite(v)) return "n/a";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

// One picture's judgement against the processor's filters.
nlohmann::ordered_json programJson(const ProgramCheck& c) {
    return {{"asked", c.asked},
            {"delivered", c.delivered},
            {"honoured", c.honoured},
            {"pixels", c.pixels},
            {"rmse_bilinear", num(c.rmseBilinear)},
            {"rmse_nearest", num(c.rmseNearest)},
            {"verdict", c.verdict}};
}

// A scatter plot with a fixed frame; `points` in data units, `extra` draws guides.
std::string plot(const std::string& xLabel, const std::string& yLabel, double x0, double x1, double y0, double y1,
                 const std::vector<std::pair<std::vector<std::pair<double, double>>, std::string>>& series,
                 const std::function<void(std::ostringstream&, const std::function<double(double)>&,
                                          const std::function<double(double)>&)>& extra) {
    const int w = 480, h = 300, left = 56, bottom = 40, top = 16, right = 16;
    auto px = [&](double x) { return left + (w - left - right) * (x - x0) / (x1 - x0); };
    auto py = [&](double y) { return top + (h - top - bottom) * (1 - (std::clamp(y, y0, y1) - y0) / (y1 - y0)); };
    std::ostringstream s;
    s << "<svg xmlns='http://www.w3.org/2000/svg' width='" << w << "' height='" << h
      << "' font-family='sans-serif' font-size='11'>\n<rect width='100%' height='100%' fill='white'/>\n";
    s << "<rect x='" << left << "' y='" << top << "' width='" << w - left - right << "' height='" << h - top - bottom
      << "' fill='none' stroke='black'/>\n";
    for (int i = 0; i <= 4; ++i) {
        const double x = x0 + (x1 - x0) * i / 4, y = y0 + (y1 - y0) * i / 4;
        s << "<text x='" << px(x) << "' y='" << h - bottom + 14 << "' text-anchor='middle'>"
          << fix(x, x1 - x0 > 10 ? 0 : 2) << "</text><text x='" << left - 6 << "' y='" << py(y) + 4
          << "' text-anchor='end'>" << fix(y, 2) << "</text>\n";
    }
    s << "<text x='" << (left + w - right) / 2 << "' y='" << h - 6 << "' text-anchor='middle'>" << xLabel
      << "</text>\n<text x='12' y='" << (top + h - bottom) / 2 << "' transform='rotate(-90 12 "
      << (top + h - bottom) / 2 << ")' text-anchor='middle'>" << yLabel << "</text>\n";
    extra(s, px, py);
    for (const auto& [points, colour] : series)
        for (const auto& [x, y] : points)
            if (std::isfinite(y))
                s << "<circle cx='" << px(x) << "' cy='" << py(y) << "' r='2.5' fill='" << colour << "'/>\n";
    s << "</svg>\n";
    return s.str();
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
    if (!f.reason.empty()) j["reason"] = f.reason;
    j["program"] = json::array();
    for (const ProgramCheck& c : f.program) j["program"].push_back(programJson(c));
    j["window"] = f.windowChecked ? programJson(f.window) : json(nullptr);
    j["presented_window"] = f.presentedChecked ? programJson(f.presented) : json(nullptr);
    j["ring_lod"] = {{"pixels", f.ring.pixels},
                     {"bias", num(f.ring.bias)},
                     {"spread", num(f.ring.spread)},
                     {"largest_error", num(f.ring.largest)},
                     {"within_rules", num(f.ring.withinRules)},
                     {"within_quality", num(f.ring.withinQuality)},
                     {"verdict", f.ring.verdict},
                     {"granularity", f.granularity},
                     {"uniform_2x2_share", num(f.blockShare)}};
    json angles = json::array();
    for (const AngleSample& a : f.angles) angles.push_back({num(a.angle), num(a.error), num(a.lower), num(a.upper)});
    j["lod_vs_angle"] = {{"lambda", 2.3},
                         {"error_0", num(f.error0)},
                         {"error_30", num(f.error30)},
                         {"error_45", num(f.error45)},
                         {"rule", f.angleRule},
                         {"samples_angle_error_lower_upper", angles}};
    json blend = json::array();
    for (const BlendSample& b : f.blend) blend.push_back({num(b.frac), num(b.blend)});
    j["trilinear"] = {{"blend_width", num(f.blendWidth)},
                      {"verdict", f.trilinear},
                      {"bias_axis_aligned", num(f.probeBias)},
                      {"samples_frac_blend", blend}};
    j["nearest_mipmap"] = {{"switch_frac", num(f.roundingThreshold)},
                           {"switch_frac_own_lambda", num(f.roundingOwn)},
                           {"verdict", f.rounding}};
    j["lod_bias"] = {{"plus_half", num(f.biasPlus)}, {"minus_half", num(f.biasMinus)}, {"verdict", f.biasVerdict}};
    json stretch = json::array();
    for (const auto& [ratio, delivered] : f.stretch) stretch.push_back({ratio, num(delivered)});
    json aniso = json::array();
    for (const AnisoRow& a : f.aniso)
        aniso.push_back({{"requested", a.requested},
                         {"delivered", num(a.delivered)},
                         {"major_minor_spread", num(a.blurRatio)},
                         {"lambda", num(a.lambda)},
                         {"same_picture_as_lower", a.samePicture},
                         {"verdict", a.verdict}});
    j["anisotropy"] = {
        {"supported", f.anisotropic},         {"max", f.maxAnisotropy},
        {"verdict", f.anisoVerdict},          {"degrees", aniso},
        {"stretch_ratio_delivered", stretch}, {"forced_changes_program_rmse", num(f.forcedAnisotropyRmse)}};
    json mips = json::array();
    for (const MipCheck& m : f.generated)
        mips.push_back({{"level", m.level}, {"rmse", num(m.rmse)}, {"largest", m.largest}});
    j["generated_mipmaps"] = {{"verdict", f.generatedVerdict}, {"levels", mips}};
    json table = json::array();
    for (const ModeRow& r : f.table) table.push_back({{"requested", r.requested}, {"delivered", r.delivered}});
    j["modes"] = table;
    json rotation = json::array();
    for (const AngleSample& a : f.rotation) rotation.push_back({num(a.angle), num(a.error)});
    j["rotation_sweep_angle_error"] = rotation;
    j["program_sentence"] = f.sentence;
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
    if (!png("lod-ring-driver.png", f.ringLod) || !png("lod-ring-model.png", f.modelLod)) return false;
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
    if (!save(dir + "/lod-error-vs-angle.svg", angles)) return failed = "lod-error-vs-angle.svg", false;
    if (!save(dir + "/blend-vs-frac.svg", blends)) return failed = "blend-vs-frac.svg", false;
    return true;
}

std::string filteringHtml(const Filtering& f) {
    std::ostringstream h;
    h << "<h2 id='filtering'>Texture filtering against the rules</h2>\n";
    if (!f.measured) h << "<p><b>Incomplete:</b> " << escapeMarkup(f.reason) << "</p>\n";
    h << "<p>" << escapeMarkup(f.sentence) << "</p>\n";
    for (const ProgramCheck& c : f.program)
        h << "<p>Asked " << c.asked << " on the ring: " << escapeMarkup(c.verdict) << ".</p>\n";
    if (f.windowChecked)
        h << "<p>The tool's window with the program's settings: " << escapeMarkup(f.window.verdict) << ".</p>\n";
    h << "<table id='filter-modes'><thead><tr><th>requested</th><th>delivered</th></tr></thead><tbody>\n";
    for (const ModeRow& r : f.table)
        h << "<tr><td>" << r.requested << "</td><td>" << escapeMarkup(r.delivered) << "</td></tr>\n";
    h << "</tbody></table>\n";
    h << "<h3>Level of detail on the ring</h3>\n<p>A mipmap chain of coded colours (red alternates from level to "
      << "level, green climbs with the level) drawn trilinear: the colour gives lambda per pixel. " << f.ring.pixels
      << " inner pixels: bias " << fix(f.ring.bias, 3) << " (median of decoded - exact), spread "
      << fix(f.ring.spread, 3) << " (5th to 95th percentile), largest error " << fix(f.ring.largest, 3) << "; "
      << fix(100 * f.ring.withinRules, 1) << "% within the rules' bounds (+-1/16), "
      << fix(100 * f.ring.withinQuality, 1) << "% within a quarter level of them: <b>" << escapeMarkup(f.ring.verdict)
      << "</b>. Lambda is computed " << f.granularity << " (" << fix(100 * f.blockShare, 1)
      << "% of 2&times;2 blocks uniform).</p>\n";
    if (f.ringLod.width)
        h << "<figure><img src='lod-ring-driver.png' width='" << std::min(f.ringLod.width, 410)
          << "' alt='decoded level of detail'><figcaption>driver</figcaption></figure><figure><img "
             "src='lod-ring-model.png' width='"
          << std::min(f.ringLod.width, 410) << "' alt='model level of detail'><figcaption>model (exact "
          << "lengths)</figcaption></figure>\n";
    h << "<h3>Probe tiles at known footprints</h3>\n<p>Lambda against the footprint's angle (isotropic, lambda 2.3): "
      << fix(f.error0, 3) << " at 0&deg;, " << fix(f.error30, 3) << " at 30&deg;, " << fix(f.error45, 3)
      << " at 45&deg; from exact: " << escapeMarkup(f.angleRule) << ". Grey: the bounds the rules allow";
    if (!f.rotation.empty()) h << "; red: the ring through the renderer's rotation, by the pixels' footprint angle";
    h << ".</p>\n<img src='lod-error-vs-angle.svg' width='480' height='300' alt='lambda error against angle'>\n"
      << "<img src='blend-vs-frac.svg' width='480' height='300' alt='blend fraction against frac(lambda)'>\n"
      << "<p>Trilinear blend width " << fix(f.blendWidth, 2) << ": " << escapeMarkup(f.trilinear)
      << ". Nearest mipmap: " << escapeMarkup(f.rounding) << ". GL_TEXTURE_LOD_BIAS +0.5 moves lambda by "
      << fix(f.biasPlus, 3) << ", -0.5 by " << fix(f.biasMinus, 3) << ": " << escapeMarkup(f.biasVerdict) << ".</p>\n";
    h << "<p>Anisotropy: " << escapeMarkup(f.anisoVerdict.empty() ? "not measured" : f.anisoVerdict);
    if (f.anisotropic) {
        h << " (a 16:1 footprint; delivered = 2^(lambda at anisotropy 1 - lambda at the degree); spread along the "
          << "major axis against the minor, from a step's response:";
        for (const AnisoRow& a : f.aniso) h << " " << a.requested << ": " << fix(a.blurRatio, 1) << ";";
        h << " 1 means no filtering along the major axis beyond one probe's)";
    }
    if (!f.stretch.empty()) {
        h << ". At the highest degree a footprint stretched 1, 2, 4, 8, 16 : 1 gets";
        for (const auto& [ratio, delivered] : f.stretch) h << (ratio > 1 ? ", " : " ") << fix(delivered, 1);
        h << " : 1";
    }
    h << ".</p>\n<p>Generated mipmaps: " << escapeMarkup(f.generatedVerdict) << ".</p>\n";
    return h.str();
}

}  // namespace measure
