// The anti-aliasing section of results.json and index.html: verdicts with their evidence,
// sample positions, the scores that keep geometry, texture and spill apart.
#pragma once

#include "measure/aa/results.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace measure {

// The "antialiasing" object of results.json.
nlohmann::ordered_json antialiasingJson(const AaResults& aa);
// The section of index.html: verdicts with their evidence, positions, separated scores.
std::string antialiasingHtml(const AaResults& aa);
// The sample-position drawings the section shows; false with the file's name on failure.
bool writeAntialiasingFiles(const AaResults& aa, const std::string& dir, std::string& failed);

}  // namespace measure
