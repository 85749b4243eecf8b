// Numbers as the report writes them: on the page with fixed digits, in results.json as JSON
// numbers. A figure that is not finite (an identical picture's PSNR, a spread with no
// samples) has one rendering on each: a dash on the page, null in JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace measure {

// `digits` after the point; a figure that is not finite as a dash.
std::string pageNumber(double v, int digits);
// The terminal's table: the same digits, "-" for a figure that is not finite.
std::string plainNumber(double v, int digits);
// JSON has no infinity or NaN: such a figure is null.
nlohmann::ordered_json jsonNumber(double v);

}  // namespace measure
