// The presented window's figures written out, beside the window format they were read with.
#include "measure/report/presented_section.h"

#include "measure/report/files.h"
#include "measure/report/numbers.h"
#include "measure/report/png.h"
#include "measure/report/report.h"
#include "measure/report/words.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <sstream>

namespace measure {

nlohmann::ordered_json formatJson(const WindowFormat& f) {
    if (!f.read) return nlohmann::ordered_json::object();
    return {{"red_bits", f.bits[0]},
            {"green_bits", f.bits[1]},
            {"blue_bits", f.bits[2]},
            {"alpha_bits", f.bits[3]},
            {"colour_encoding", f.encoding},
            {"framebuffer_srgb", f.srgbWrites},
            {"samples_requested", f.requested},
            {"samples_request", samplesRequestText(f)}};
}

nlohmann::ordered_json presentedJson(const Presented& p) {
    using json = nlohmann::ordered_json;
    json j = {{"attempted", p.attempted}, {"captured", p.captured}, {"program", p.program}};
    if (!p.captured) j["reason"] = p.reason;
    if (!p.attempted) return j;
    j["method"] = p.method;
    j["closed"] = p.closed;
    j["seconds"] = p.seconds;
    j["grabs"] = p.grabs;
    if (!p.captured) return j;
    j["width"] = p.image.width;
    j["height"] = p.image.height;
    j["display_bits"] = {p.displayBits[0], p.displayBits[1], p.displayBits[2]};
    j["compared"] = p.compared;
    if (p.compared) {
        j["differs"] = p.differing > 0;
        j["compared_bits"] = {p.compareBits[0], p.compareBits[1], p.compareBits[2]};
        j["tolerance_levels"] = p.tolerance;
        j["differing_pixels"] = p.differing;
        j["max_difference"] = p.maxDifference;
        j["rmse_vs_back_buffer"] = p.rmse;
    } else {
        j["not_compared"] = notComparedText(p);
    }
    if (p.scored) {
        j["rmse"] = p.referenceRmse;
        j["edge_rmse"] = p.edgeRmse;
    }
    return j;
}

std::string presentedHtml(const Presented& p, const WindowFormat& f) {
    std::ostringstream h;
    h << "<h2>The picture quillmere shows</h2>\n";
    if (f.read)
        h << "<p id='window-format'>Window format: red, green, blue, alpha " << f.bits[0] << "-" << f.bits[1] << "-"
          << f.bits[2] << "-" << f.bits[3] << " bits, colour encoding " << f.encoding << " (GL_FRAMEBUFFER_SRGB "
          << (f.srgbWrites ? "on" : "off") << "), GL_SAMPLE_BUFFERS " << f.sampleBuffers << ", GL_SAMPLES " << f.samples
          << "; samples requested " << f.requested << " (" << escapeMarkup(samplesRequestText(f)) << ").</p>\n";
    if (!p.attempted) {
        h << "<p>Not captured: no window was measured.</p>\n";
        return h.str();
    }
    h << "<p id='presented'>" << escapeMarkup(presentedNote(p)) << "</p>\n";
    if (!p.captured) return h.str();
    h << "<p>" << escapeMarkup(p.program) << " at " << p.image.width << "&times;" << p.image.height << " ("
      << escapeMarkup(p.method) << "), a stable picture after " << formatFigure(p.seconds, 2) << " s and " << p.grabs
      << " grabs; " << escapeMarkup(p.closed) << ".";
    if (p.scored)
        h << " Against the reference: RMSE " << formatFigure(p.referenceRmse, 2) << ", edge RMSE "
          << formatFigure(p.edgeRmse, 2) << ".";
    h << "</p>\n<figure><img class='heat' src='" << files::kPresented
      << "' alt='presented'><figcaption>presented</figcaption>"
      << "</figure>\n";
    if (p.compared)
        h << "<figure><img class='heat' src='" << files::kPresentedHeatMap
          << "' alt='presented against the back buffer'>"
          << "<figcaption>presented against the back buffer</figcaption></figure>\n";
    return h.str();
}

bool writePresentedImages(const Presented& p, const Image& backBuffer, const std::string& dir, std::string& error) {
    auto png = [&](const std::string& file, const Image& image) {
        if (writePng(dir + "/" + file, image)) return true;
        error = "cannot write " + dir + "/" + file;
        return false;
    };
    if (!p.captured) return true;
    if (!png(files::kPresented, p.image)) return false;
    return !p.compared || png(files::kPresentedHeatMap, heatMap(p.image, backBuffer));
}

}  // namespace measure
