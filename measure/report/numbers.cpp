// One formatter, so that every table and sentence of the page agrees on a figure's digits.
#include "measure/report/numbers.h"

#include <cmath>
#include <cstdio>

namespace measure {
namespace {

std::string printed(double v, int digits, const char* notFinite) {
    if (!std::isfinite(v)) return notFinite;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

}  // namespace

std::string pageNumber(double v, int digits) { return printed(v, digits, "&ndash;"); }
std::string plainNumber(double v, int digits) { return printed(v, digits, "-"); }
nlohmann::ordered_json jsonNumber(double v) {
    return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json(nullptr);
}

}  // namespace measure
