// The filtering part of the report: its JSON, its HTML section and its pictures and plots.
#pragma once

#include "measure/filtering/probes.h"

#include <nlohmann/json.hpp>

#include <string>

namespace measure {

nlohmann::ordered_json filteringJson(const Filtering& f);
// Writes the LOD maps and the plots into `dir`; false with the file that failed.
bool writeFilteringFiles(const Filtering& f, const std::string& dir, std::string& failed);
std::string filteringHtml(const Filtering& f);

}  // namespace measure
