// The motion section: temporal profiles beside the reference's, animated crops, a plot of
// the temporal error per mode, and the table.
#include "measure/report/motion_section.h"
#include "measure/report/numbers.h"

#include "measure/report/files.h"
#include "measure/report/png.h"
#include "measure/report/svg.h"
#include "measure/report/words.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace measure {
namespace {

// A mode's kind as results.json names it.
const char* motionKindName(MotionKind kind) {
    switch (kind) {
        case MotionKind::Reference: return "reference";
        case MotionKind::Window: return "window";
        case MotionKind::Msaa: return "msaa";
        case MotionKind::Ssaa: return "ssaa";
        case MotionKind::Filter: return "filter";
    }
    return "reference";
}

constexpr int kProfileScale = 6;
constexpr int kCropScale = 6;
constexpr int kFrameMs = 125;

// An image magnified, one square per pixel.
Image magnify(const Image& image, int scale) {
    Image out(image.width * scale, image.height * scale);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 3; ++c)
                out.rgb[((std::size_t)y * out.width + x) * 3 + c] =
                    image.rgb[((std::size_t)(y / scale) * image.width + x / scale) * 3 + c];
    return out;
}

// A PNG of the image magnified; false when it cannot be written.
bool writeMagnified(const std::string& path, const Image& image, int scale) {
    Image big = magnify(image, scale);
    return writePng(path, big);
}

// The crops magnified, as an animated PNG; false when it cannot be written.
bool writeAnimation(const std::string& path, const std::vector<Image>& frames) {
    std::vector<Image> big;
    for (const Image& f : frames) big.push_back(magnify(f, kCropScale));
    return writeApng(path, big, kFrameMs);
}

// The still frame's interior error of the capture of that name, or -1.
double stillInterior(const Results& r, const std::string& name) {
    for (const Capture& c : r.captures)
        if (c.name == name) return c.interiorRmse;
    return -1;
}

// Temporal error per mode as grouped horizontal bars: edge, interior, centre.
std::string temporalPlot(const MotionResults& m) {
    const int left = 130, barH = 6, group = 3 * barH + 8, top = 24, right = 60, w = 560;
    const int h = top + group * (int)m.modes.size() + 30;
    double most = 1;
    for (const MotionFigures& f : m.modes) most = std::max({most, f.edge, f.interior, f.centre});
    const char* colours[3] = {"#d62728", "#1f77b4", "#2ca02c"};
    const char* labels[3] = {"edge", "interior", "centre"};
    std::ostringstream s;
    s << svgStart(w, h);
    for (int i = 0; i < 3; ++i)
        s << "<rect x='" << left + i * 90 << "' y='6' width='10' height='10' fill='" << colours[i] << "'/><text x='"
          << left + i * 90 + 14 << "' y='15'>" << labels[i] << "</text>\n";
    const double scale = (w - left - right) / most;
    for (std::size_t i = 0; i < m.modes.size(); ++i) {
        const MotionFigures& f = m.modes[i];
        const int y = top + group * (int)i;
        s << "<text x='" << left - 6 << "' y='" << y + 2 * barH << "' text-anchor='end'>" << f.name << "</text>\n";
        const double values[3] = {f.edge, f.interior, f.centre};
        for (int b = 0; b < 3; ++b)
            s << "<rect x='" << left << "' y='" << y + b * barH << "' width='" << values[b] * scale << "' height='"
              << barH - 1 << "' fill='" << colours[b] << "'/><text x='" << left + values[b] * scale + 3 << "' y='"
              << y + b * barH + barH - 1 << "' font-size='8'>" << formatFigure(values[b], 2) << "</text>\n";
    }
    s << "<line x1='" << left << "' y1='" << top - 4 << "' x2='" << left << "' y2='" << h - 26
      << "' stroke='black'/>\n<text x='" << (left + w - right) / 2 << "' y='" << h - 8
      << "' text-anchor='middle'>temporal error (RMSE of step-to-step changes, 8-bit levels)</text>\n"
      << kSvgEnd;
    return s.str();
}

}  // namespace

nlohmann::ordered_json motionJson(const MotionResults& m, const std::vector<Capture>& captures) {
    using json = nlohmann::ordered_json;
    json j;
    j["steps"] = m.settings.steps;
    j["pixels_per_step"] = m.settings.speed;
    j["direction_degrees"] = m.settings.directionDegrees;
    j["rotation_degrees_per_step"] = m.settings.rotationDegrees;
    j["reference"] = {{"k", m.settings.k},
                      {"samples_per_pixel", m.settings.k * m.settings.k},
                      {"coverage_k", m.settings.coverageK},
                      {"first_step_vs_still_reference_rmse", m.referenceCheckRmse},
                      {"first_step_vs_still_reference_edge_rmse", m.referenceCheckEdgeRmse}};
    j["pixels"] = {{"edge", m.edgePixels}, {"interior", m.interiorPixels}, {"centre_interior", m.centrePixels}};
    j["profile_rows"] = {{"edge", {m.profileEdge[0], m.profileEdge[1], m.profileEdge[2], m.profileEdge[3]}},
                         {"centre", {m.profileCentre[0], m.profileCentre[1], m.profileCentre[2], m.profileCentre[3]}}};
    j["summary"] = motionSentence(m, captures);
    j["modes"] = json::array();
    for (const MotionFigures& f : m.modes)
        j["modes"].push_back({{"name", f.name},
                              {"kind", motionKindName(f.kind)},
                              {"samples", f.samples},
                              {"edge_temporal_rmse", f.edge},
                              {"interior_temporal_rmse", f.interior},
                              {"centre_interior_temporal_rmse", f.centre},
                              {"blade_flicker_percent", f.flicker}});
    return j;
}

bool writeMotionReport(const Results& r, const std::string& dir, std::string& html, std::string& failed) {
    const MotionResults& m = r.motion;
    if (!m.measured) return true;
    auto fail = [&](const std::string& file) {
        failed = file;
        return false;
    };
    const std::string refProfile = files::motionProfile("reference"), refCrop = files::motionCrop("reference");
    if (!writeMagnified(dir + "/" + refProfile, m.reference.profile, kProfileScale)) return fail(refProfile);
    if (!writeAnimation(dir + "/" + refCrop, m.reference.frames)) return fail(refCrop);
    for (const MotionFigures& f : m.modes) {
        if (!writeMagnified(dir + "/" + files::motionProfile(f.name), f.profile, kProfileScale))
            return fail(files::motionProfile(f.name));
        if (!writeAnimation(dir + "/" + files::motionCrop(f.name), f.frames)) return fail(files::motionCrop(f.name));
    }
    const std::string plot = temporalPlot(m);
    {
        FILE* file = std::fopen((dir + "/" + files::kMotionPlot).c_str(), "wb");
        if (!file || std::fwrite(plot.data(), 1, plot.size(), file) != plot.size()) {
            if (file) std::fclose(file);
            return fail(files::kMotionPlot);
        }
        if (std::fclose(file) != 0) return fail(files::kMotionPlot);
    }

    const MotionSettings& s = m.settings;
    const int pw = m.reference.profile.width * kProfileScale, ph = m.reference.profile.height * kProfileScale;
    const int cw = m.reference.frames.empty() ? 0 : m.reference.frames[0].width * kCropScale;
    const int ch = m.reference.frames.empty() ? 0 : m.reference.frames[0].height * kCropScale;
    std::ostringstream h;
    h << "<h2 id='motion'>Motion</h2>\n<p>" << s.steps << " steps, each " << formatFigure(s.speed, 3) << " pixel along "
      << formatFigure(s.directionDegrees, 0) << "&deg; and turned " << formatFigure(s.rotationDegrees, 3)
      << "&deg; by the renderer's own rotation. Reference at every step: mean of " << s.k << "&times;" << s.k
      << " sub-pixel renders; its first step differs from the still reference by RMSE "
      << formatFigure(m.referenceCheckRmse, 3) << " (" << formatFigure(m.referenceCheckEdgeRmse, 3)
      << " on edge pixels). Pixels over the whole drift: " << m.edgePixels << " edge, " << m.interiorPixels
      << " interior, " << m.centrePixels << " centre.</p>\n";
    h << "<table id='motion-scores'><thead><tr><th>mode</th><th>edge temporal RMSE</th><th>interior temporal RMSE</th>"
      << "<th>centre temporal RMSE</th><th>blade flicker %</th><th>still interior RMSE (sharpness)</th></tr></thead>"
      << "<tbody>\n";
    for (const MotionFigures& f : m.modes) {
        const double still = stillInterior(r, f.name);
        h << "<tr><td>" << f.name << "</td><td>" << formatFigure(f.edge, 2) << "</td><td>"
          << formatFigure(f.interior, 2) << "</td><td>" << formatFigure(f.centre, 2) << "</td><td>"
          << formatFigure(f.flicker, 3) << "</td><td>" << (still < 0 ? std::string(kNoFigure) : formatFigure(still, 2))
          << "</td></tr>\n";
    }
    h << "</tbody></table>\n<p>Temporal error: each pixel's change from one step to the next against the "
      << "reference's change, RMSE over the steps (what a viewer sees as crawl and shimmer). Blade flicker: the "
      << "standard deviation over the steps of each blade's total brightness less the reference's, as a percentage "
      << "of the blade's brightness, RMS over the blades. A mode that hides shimmer by blurring shows a larger "
      << "still interior error.</p>\n";
    h << "<img src='" << files::kMotionPlot << "' alt='temporal error per mode'>\n";
    h << "<h3>Temporal profiles and animated crops</h3>\n<p>Profiles: left, a row of pixels across a blade's edge; "
      << "right, one across the minified centre; one line a step, top to bottom. Shimmer shows as stripes the "
      << "reference lacks. Crops (" << kCropScale << "&times;): near a blade's tip and in the centre, playing "
      << "the drift.</p>\n<table id='motion-pictures'><thead><tr><th>mode</th><th>profile</th><th>reference's "
      << "profile</th><th>animated crop</th></tr></thead><tbody>\n";
    auto row = [&](const std::string& name, const std::string& profile, const std::string& animation) {
        h << "<tr><td>" << name << "</td><td><img class='px' src='" << profile << "' width='" << pw << "' height='"
          << ph << "' alt='" << name << " profile'></td><td><img class='px' src='" << refProfile << "' width='" << pw
          << "' height='" << ph << "' alt='reference profile'></td><td><img class='px motion-crop' src='" << animation
          << "' width='" << cw << "' height='" << ch << "' alt='" << name << " in motion'></td></tr>\n";
    };
    row("reference", refProfile, refCrop);
    for (const MotionFigures& f : m.modes) row(f.name, files::motionProfile(f.name), files::motionCrop(f.name));
    h << "</tbody></table>\n";
    html += h.str();
    return true;
}

std::string motionTable(const Results& r) {
    const MotionResults& m = r.motion;
    if (!m.measured) return "";
    std::ostringstream s;
    char line[256];
    std::snprintf(line, sizeof line, "%-20s %9s %9s %9s %9s %9s\n", "motion", "edge", "interior", "centre", "flicker%",
                  "still-int");
    s << line;
    for (const MotionFigures& f : m.modes) {
        std::snprintf(line, sizeof line, "%-20s %9.2f %9.2f %9.2f %9.3f %9.2f\n", f.name.c_str(), f.edge, f.interior,
                      f.centre, f.flicker, stillInterior(r, f.name));
        s << line;
    }
    return s.str();
}

}  // namespace measure
