// The report: PNGs, SVGs, results.json and index.html (no script, no network).
#include "measure/report/report.h"
#include "measure/report/numbers.h"

#include "measure/report/filtering_section.h"
#include "measure/report/motion_section.h"
#include "measure/core/crop.h"
#include "measure/core/parallel.h"
#include "measure/report/aa_section.h"
#include "measure/report/contents.h"
#include "measure/report/files.h"
#include "measure/report/flip.h"
#include "measure/report/png.h"
#include "measure/report/presented_section.h"
#include "measure/report/presentation_section.h"
#include "measure/report/summary.h"
#include "measure/report/words.h"
#include "measure/report/svg.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace measure {
namespace {

constexpr int kCropScale = 8;

// Every figure, in the order the report reads; the phases up to the writing of the report.
nlohmann::ordered_json toJson(const Results& r) {
    using json = nlohmann::ordered_json;
    json j;
    j["schema_version"] = kSchemaVersion;
    j["tool"] = "quillmere-measure";
    j["version"] = r.version;
    j["renderer"] = r.renderer;
    j["vendor"] = r.vendor;
    j["gl_version"] = r.glVersion;
    j["size"] = {{"width", r.width}, {"height", r.height}};
    j["headless"] = r.headless;
    j["complete"] = r.whole;
    j["summary"] = r.summary;
    j["framebuffer_objects"] = r.framebuffers;
    j["notes"] = nlohmann::ordered_json::array();
    for (const Note& note : r.notes) j["notes"].push_back(noteText(note, r));
    j["window"] = {{"available", r.windowAvailable},
                   {"reason", r.windowReason},
                   {"sample_buffers", r.sampleBuffers},
                   {"samples", r.samples},
                   {"verdict", windowVerdictText(r)}};
    j["window"].update(formatJson(r.format));
    j["presented"] = presentedJson(r.presented);
    addPresentationJson(j["presented"], r);
    j["reference"] = {{"k", r.k},
                      {"samples_per_pixel", r.k * r.k},
                      {"check_samples", r.checkSamples},
                      {"check_rmse", r.convergenceRmse},
                      {"check_max_difference", r.convergenceMax},
                      {"stored_vs_linear_light_rmse", r.storedVsLinearRmse},
                      {"edge_pixels", r.edgePixels},
                      {"interior_pixels", r.interiorPixels},
                      {"centre_interior_pixels", r.centrePixels}};
    j["captures"] = json::array();
    for (const Capture& c : r.captures)
        j["captures"].push_back({{"name", c.name},
                                 {"kind", kindName(c.kind)},
                                 {"requested", c.requested},
                                 {"granted", c.granted},
                                 {"effective_samples", c.effective},
                                 {"coverage_levels", c.levels},
                                 {"rmse", c.rmse},
                                 {"psnr", jsonFigure(c.psnr)},
                                 {"ssim", c.ssim},
                                 {"edge_rmse", c.edgeRmse},
                                 {"interior_rmse", c.interiorRmse},
                                 {"centre_interior_rmse", c.centreRmse},
                                 {"rmse_vs_linear_light_reference", c.rmseLinear},
                                 {"ms_per_frame", c.msPerFrame},
                                 {"cost_method", costMethodName(c.costMethod)},
                                 {"detail_kept", jsonFigure(detailKeptOf(c.detail))},
                                 {"detail", detailJson(c.detail)}});
    j["sample_positions"] = json::object();
    for (const auto& [count, xy] : r.samplePositions) {
        json points = json::array();
        for (std::size_t i = 0; i + 1 < xy.size(); i += 2) points.push_back({xy[i], xy[i + 1]});
        j["sample_positions"][std::to_string(count)] = points;
    }
    j["antialiasing"] = antialiasingJson(r.aa);
    j["failed_captures"] = json::array();
    for (const auto& [name, why] : r.failed) j["failed_captures"].push_back({{"name", name}, {"error", why}});
    j["dropped_requests"] = json::array();
    for (const auto& [requested, granted] : r.dropped)
        j["dropped_requests"].push_back({{"requested", requested}, {"granted", granted}});
    j["phases_seconds"] = json::object();
    for (const auto& [phase, seconds] : r.phases) j["phases_seconds"][phase] = seconds;
    j["landmarks"] = {{"blade_tip", {r.tip[0], r.tip[1]}},
                      {"centre", {r.centre[0], r.centre[1]}},
                      {"caption", {r.caption[0], r.caption[1]}}};
    j["filtering"] = filteringJson(r.filtering);
    if (r.motion.measured) j["motion"] = motionJson(r.motion, r.captures);
    return j;
}

// Edge error against effective samples (log scale), one point per anti-aliasing capture.
std::string errorPlot(const Results& r) {
    double maxError = 1;
    for (const Capture& c : r.captures)
        if (c.kind != CaptureKind::Filter) maxError = std::max(maxError, c.edgeRmse);
    maxError = std::ceil(maxError / 10) * 10;
    // x is log2 of the samples, 1 to 256.
    PlotFrame plot(0, 8, 0, maxError);
    std::vector<Tick> xTicks, yTicks;
    for (int n = 1; n <= 256; n *= 2) xTicks.emplace_back(std::log2(n), std::to_string(n));
    for (int i = 0; i <= 4; ++i) yTicks.emplace_back(maxError * i / 4, formatFigure(maxError * i / 4, 0));
    plot.frame(xTicks, yTicks, "effective samples per pixel", "edge RMSE");
    std::ostringstream& s = plot.body();
    std::vector<std::pair<double, double>> labels;
    for (const Capture& c : r.captures) {
        if (c.kind == CaptureKind::Filter) continue;
        const char* colour = c.kind == CaptureKind::Window || c.kind == CaptureKind::Presented ? "#d62728"
                             : c.kind == CaptureKind::Msaa                                     ? "#1f77b4"
                                                                                               : "#2ca02c";
        double x = plot.px(std::log2(std::max(c.effective, 1))), y = plot.py(c.edgeRmse), ly = y - 6;
        // Points that coincide (window and msaa-0 without AA) get their labels stacked.
        for (const auto& [lx, used] : labels)
            if (std::fabs(lx - x) < 40 && std::fabs(used - ly) < 12) ly = used + 12;
        labels.emplace_back(x, ly);
        s << "<circle cx='" << x << "' cy='" << y << "' r='4' fill='" << colour << "'/><text x='" << x + 6 << "' y='"
          << ly << "'>" << c.name << "</text>\n";
    }
    return plot.text();
}

// A whole text file; false when it cannot be written.
bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    return !out.fail();
}

}  // namespace

std::string escapeMarkup(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '\'': out += "&#39;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

const char* costMethodName(CostMethod method) {
    switch (method) {
        case CostMethod::Gpu: return "gpu";
        case CostMethod::Wall: return "wall";
        case CostMethod::None: return "none";
    }
    return "none";
}

const char* kindName(CaptureKind kind) {
    switch (kind) {
        case CaptureKind::Window: return "window";
        case CaptureKind::Presented: return "presented";
        case CaptureKind::Msaa: return "msaa";
        case CaptureKind::Ssaa: return "ssaa";
        case CaptureKind::Filter: return "filter";
    }
    return "unknown";
}

std::string summaryTable(const Results& r) {
    std::ostringstream s;
    char line[256];
    std::snprintf(line, sizeof line, "%-20s %5s %5s %5s %8s %8s %8s %7s %7s %8s\n", "mode", "req", "got", "eff", "edge",
                  "interior", "centre", "SSIM", "PSNR", "ms/frame");
    s << line;
    for (const Capture& c : r.captures) {
        // An identical picture's PSNR prints as "inf", as printf writes infinity.
        std::snprintf(line, sizeof line, "%-20s %5d %5d %5d %8.2f %8.2f %8.2f %7.4f %7.2f %8.2f\n", c.name.c_str(),
                      c.requested, c.granted, c.effective, c.edgeRmse, c.interiorRmse, c.centreRmse, c.ssim, c.psnr,
                      c.msPerFrame);
        s << line;
    }
    return s.str();
}

namespace {

// A spot the crops are taken at: its file's name, its title on the page, where it is.
struct Spot {
    const char* name;
    const char* title;
    const double* at;
};

std::vector<Spot> spotsOf(const Results& r) {
    return {{files::kCropSpots[0], "blade tip", r.tip},
            {files::kCropSpots[1], "minified centre", r.centre},
            {files::kCropSpots[2], "caption", r.caption}};
}

// The reference and every capture: whole, as a heat map against the reference, and cropped
// at each spot. False with the file's name on failure.
bool writePictures(const Results& r, const std::string& dir, std::string& failed) {
    const std::vector<Spot> spots = spotsOf(r);
    auto writeCrops = [&](const std::string& mode, const Image& image) {
        for (const Spot& spot : spots) {
            const std::string file = files::crop(mode, spot.name);
            if (!writePng(dir + "/" + file, crop(image, spot.at[0], spot.at[1], kCropSide, kCropScale)))
                return failed = file, false;
        }
        return true;
    };
    if (!writeCrops("reference", r.reference)) return false;
    // The whole pictures and their heat maps take most of the writing: the cores share them.
    // Job 0 is the reference, 2i + 1 capture i's picture, 2i + 2 its heat map.
    const std::size_t jobs = 1 + 2 * r.captures.size();
    std::vector<char> written(jobs, 0);
    auto jobFile = [&](std::size_t job) {
        if (job == 0) return files::picture("reference");
        const std::string& name = r.captures[(job - 1) / 2].name;
        return job % 2 ? files::picture(name) : files::heatMap(name);
    };
    forEachInParallel(jobs, [&](std::size_t job) {
        const Image& image = job == 0 ? r.reference : r.captures[(job - 1) / 2].image;
        const std::string path = dir + "/" + jobFile(job);
        written[job] = job == 0 || job % 2 ? writePng(path, image) : writePng(path, heatMap(image, r.reference));
    });
    for (std::size_t job = 0; job < jobs; ++job)
        if (!written[job]) return failed = jobFile(job), false;
    for (const Capture& c : r.captures)
        if (!writeCrops(c.name, c.image)) return false;
    return true;
}

// The page's head: its style, the summary, the driver, the window, the notes and failures.
std::string pageHead(const Results& r, const std::string& style) {
    std::ostringstream h;
    h << "<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'><title>quillmere-measure report</title>\n"
      << "<style>body{font-family:sans-serif;margin:16px;max-width:1400px}table{border-collapse:collapse}"
      << "td,th{border:1px solid #bbb;padding:3px "
         "8px;text-align:right}td:first-child,th:first-child{text-align:left;white-space:nowrap}"
      << "img.px{image-rendering:pixelated;border:1px solid #999}figure{display:inline-block;margin:4px}"
      << "figcaption{font-size:12px}.summary{font-size:18px;background:#eef;padding:8px}"
      << ".heat{width:" << std::min(r.width, 410) << "px}nav ol{columns:2;max-width:700px}\n"
      << style << "</style></head><body>\n";
    h << "<p class='summary'>" << escapeMarkup(r.summary) << "</p>\n";
    h << "<p>" << escapeMarkup(r.renderer) << " &middot; OpenGL " << escapeMarkup(r.glVersion) << " &middot; "
      << escapeMarkup(r.vendor) << " &middot; " << r.width << "&times;" << r.height << " &middot; quillmere-measure "
      << r.version << "</p>\n";
    h << "<p>Window: "
      << (r.windowAvailable ? "GL_SAMPLE_BUFFERS " + std::to_string(r.sampleBuffers) + ", GL_SAMPLES " +
                                  std::to_string(r.samples) + ": " + windowVerdictText(r) + "."
                            : "not measured: " + escapeMarkup(r.windowReason))
      << "</p>\n";
    for (const Note& note : r.notes) h << "<p><b>Note:</b> " << escapeMarkup(noteText(note, r)) << "</p>\n";
    for (const auto& [name, why] : r.failed)
        h << "<p class='failed'><b>Failed, left out:</b> " << escapeMarkup(name) << ": " << escapeMarkup(why)
          << "</p>\n";
    if (!r.whole) h << "<p><b>This report is incomplete.</b></p>\n";
    return h.str();
}

// The scores' table with the reference's own error, and the plot of edge error.
std::string scoresSection(const Results& r) {
    std::ostringstream h;
    h << "<h2>Scores against the reference</h2>\n<p>Reference: mean of " << r.k << "&times;" << r.k
      << " stratified sub-pixel renders (" << r.k * r.k << " per pixel). The mean of half of them (" << r.checkSamples
      << ", every other cell) differs from it by RMSE " << formatFigure(r.convergenceRmse, 3)
      << ", about the reference's own error (largest difference " << formatFigure(r.convergenceMax, 0)
      << " levels); averaged in linear light instead of stored values it differs by RMSE "
      << formatFigure(r.storedVsLinearRmse, 3) << ". Edge pixels: " << r.edgePixels
      << ", interior pixels: " << r.interiorPixels << " (" << r.centrePixels << " in the minified centre).</p>\n";
    h << "<table id='scores'><thead><tr><th>mode</th><th>requested</th><th>granted</th><th>effective samples</th>"
      << "<th>edge RMSE</th><th>interior RMSE</th><th>centre interior RMSE</th><th>SSIM</th><th>PSNR dB</th>"
      << "<th>RMSE vs linear-light ref.</th><th>ms / frame</th><th>timed by</th></tr></thead><tbody>\n";
    for (const Capture& c : r.captures)
        h << "<tr><td>" << c.name << "</td><td>" << c.requested << "</td><td>" << c.granted << "</td><td>"
          << c.effective << "</td><td>" << formatFigure(c.edgeRmse, 2) << "</td><td>" << formatFigure(c.interiorRmse, 2)
          << "</td><td>" << formatFigure(c.centreRmse, 2) << "</td><td>" << formatFigure(c.ssim, 4) << "</td><td>"
          << formatFigure(c.psnr, 2) << "</td><td>" << formatFigure(c.rmseLinear, 2) << "</td><td>"
          << (c.costMethod == CostMethod::None ? std::string(kNoFigure) : formatFigure(c.msPerFrame, 2)) << "</td><td>"
          << costMethodName(c.costMethod) << "</td></tr>\n";
    h << "</tbody></table>\n";
    h << "<p>RMSE in 8-bit levels over the three channels. Edge: pixels the reference covers partly; interior: "
      << "pixels it covers wholly; centre: interior pixels within the minified middle of the ring. Effective "
      << "samples: the intermediate coverage levels along the blade edges in the coverage pass (0 and full left out), "
         "plus one.</p>\n";
    return h.str();
}

// The plot of edge error against samples, a section of its own in the contents.
std::string errorPlotSection() {
    return std::string("<h2>Edge error against samples</h2>\n<img src='") + files::kErrorPlot +
           "' alt='edge error against samples' width='480' height='300'>\n";
}

// The crops of every mode at each spot.
std::string cropsSection(const Results& r) {
    std::ostringstream h;
    const int side = std::min({kCropSide, r.width, r.height}) * kCropScale;
    h << "<h2>Magnified crops (8&times;, one square per pixel)</h2>\n";
    for (const Spot& spot : spotsOf(r)) {
        h << "<h3>" << spot.title << "</h3>\n<div class='crops'>";
        auto figure = [&](const std::string& mode) {
            h << "<figure><img class='px' src='" << files::crop(mode, spot.name) << "' width='" << side << "' height='"
              << side << "' alt='" << mode << " " << spot.title << "'><figcaption>" << mode << "</figcaption></figure>";
        };
        figure("reference");
        for (const Capture& c : r.captures) figure(c.name);
        h << "</div>\n";
    }
    return h.str();
}

// The same crops, two at a time, flipped in place.
Flip cropFlip(const Results& r) {
    Flip f;
    f.id = "flip";
    f.side = std::min({kCropSide, r.width, r.height}) * kCropScale * 2;
    std::vector<std::string> modes = {"reference"};
    for (const Capture& c : r.captures) modes.push_back(c.name);
    for (const Spot& spot : spotsOf(r)) f.spots.push_back(spot.title);
    for (const std::string& mode : modes) {
        FlipPicture p{"", mode, {}};
        for (const Spot& spot : spotsOf(r)) p.files.push_back(files::crop(mode, spot.name));
        f.pictures.push_back(std::move(p));
    }
    f.second = std::min<std::size_t>(1, f.pictures.size() - 1);
    return f;
}

// The comparator under its heading, with how to use it.
std::string flipSection(const Flip& f) {
    return "<h2>Flip between two crops</h2>\n<p>Choose a spot and two pictures, A and B; each click on the "
           "picture shows the other at the same place, magnified 16&times;.</p>\n" +
           flipHtml(f);
}

// Each capture against the reference, as a heat map.
std::string heatMapsSection(const Results& r) {
    std::ostringstream h;
    h << "<h2>Difference from the reference</h2>\n<p>Largest channel difference: black none, red 32 "
      << "levels, yellow 64 or more.</p>\n";
    for (const Capture& c : r.captures)
        h << "<figure><img class='heat' src='" << files::heatMap(c.name) << "' alt='" << c.name
          << " difference'><figcaption>" << c.name << "</figcaption></figure>\n";
    return h.str();
}

}  // namespace

bool writeReport(const Results& r, const std::string& dir, std::string& error) {
    // Deflate's effort for every PNG: 4 writes these pictures about a fifth faster than 8, 1 % larger.
    setPngEffort(4);
    auto fail = [&](const std::string& file) {
        error = "cannot write " + dir + "/" + file;
        return false;
    };
    std::string failed;
    if (!writePictures(r, dir, failed)) return fail(failed);
    for (const Capture& c : r.captures)
        if (c.kind == CaptureKind::Window) {
            if (!writePresentedImages(r.presented, c.image, dir, error)) return false;
            if (!writePresentationFiles(r, c.image, dir, failed)) return fail(failed);
        }
    if (!writeText(dir + "/" + files::kErrorPlot, errorPlot(r))) return fail(files::kErrorPlot);
    if (!writeAntialiasingFiles(r.aa, dir, failed)) return fail(failed);
    if (!writeFilteringFiles(r.filtering, dir, failed)) return fail(failed);
    if (!writeText(dir + "/" + files::kResults, toJson(r).dump(2) + "\n")) return fail(files::kResults);
    std::string motion;
    if (!writeMotionReport(r, dir, motion, failed)) return fail(failed);

    std::ostringstream time;
    time << "<h2>Where the time went</h2>\n<table>";
    for (const auto& [phase, seconds] : r.phases)
        time << "<tr><td>" << phase << "</td><td>" << formatFigure(seconds, 2) << " s</td></tr>";
    time << "</table>\n";
    const Flip flip = cropFlip(r);
    const std::string page =
        pageHead(r, flipStyle(flip)) +
        withContents({{"section-presented", "The picture quillmere shows",
                       r.headless ? "" : presentedHtml(r.presented, r.format)},
                      {"section-presentation", "What presentation did", presentationHtml(r)},
                      {"section-scores", "Scores against the reference", scoresSection(r)},
                      {"section-error-plot", "Edge error against samples", errorPlotSection()},
                      {"section-antialiasing", "Anti-aliasing: the evidence", antialiasingHtml(r.aa)},
                      {"section-crops", "Magnified crops", cropsSection(r)},
                      {"section-flip", "Flip between two crops", flipSection(flip)},
                      {"section-heat-maps", "Difference from the reference", heatMapsSection(r)},
                      {"section-filtering", "Texture filtering", filteringHtml(r.filtering)},
                      {"section-motion", "Motion", motion},
                      {"section-time", "Where the time went", time.str()}}) +
        "</body></html>\n";
    if (!writeText(dir + "/" + files::kPage, page)) return fail(files::kPage);
    return true;
}

}  // namespace measure
