// Numbers as the report and compare write them on their pages and plots, with fixed digits,
// and as JSON numbers in results.json. A figure that is not finite (an identical picture's
// PSNR, a margin with no second candidate, a spread without samples) or not there has one
// rendering on each: a dash on the page, null in JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace measure {

// What stands on a page for a figure that is not finite or not there. (A plot's figures
// are finite: its axes are drawn from them.)
inline constexpr char kNoFigure[] = "&ndash;";

// `digits` after the point; kNoFigure for a figure that is not finite.
std::string formatFigure(double v, int digits);
// JSON has no infinity or NaN: such a figure is null.
nlohmann::ordered_json jsonFigure(double v);

}  // namespace measure
