// One formatter, so that every table, sentence and plot agrees on a figure's digits and on
// how a figure that is not finite is shown.
#include "measure/report/numbers.h"

#include <cmath>
#include <cstdio>

namespace measure {

std::string formatFigure(double v, int digits) {
    if (!std::isfinite(v)) return kNoFigure;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

nlohmann::ordered_json jsonFigure(double v) {
    return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json(nullptr);
}

}  // namespace measure
