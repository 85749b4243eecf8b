// What presentation did, in the report: its figures and verdict in results.json, the
// change map, the change-against-contrast plot, the kernel and the detail-kept table by
// landmark and mode on the page.
#pragma once

#include "measure/run/results.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace measure {

// The presented object's presentation fields (verdict, detail_kept, presentation).
void addPresentationJson(nlohmann::ordered_json& presented, const Results& r);
// A capture's detail figures, by landmark.
nlohmann::ordered_json detailJson(const std::vector<DetailKept>& detail);
// The interiors' share kept, NaN where the picture has no detail figures.
double detailKeptOf(const std::vector<DetailKept>& detail);
// The change map: the back buffer dimmed, changed pixels bright (red where they leave the
// back buffer's 3 x 3 range, cyan where they stay inside it).
Image changeMap(const Image& back, const Image& presented, int tolerance);
// The share of pixels changed against the back buffer's local contrast, as SVG.
std::string gatingPlot(const ContrastGating& g);
std::string presentationHtml(const Results& r);
// The change map and the plot, where presentation was measured.
bool writePresentationFiles(const Results& r, const Image& backBuffer, const std::string& dir, std::string& failed);

}  // namespace measure
