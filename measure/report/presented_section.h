// The presented picture's part of the report: its JSON, its section of the page, its PNGs.
#pragma once

#include "measure/run/presented.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace measure {

nlohmann::ordered_json formatJson(const WindowFormat& format);
nlohmann::ordered_json presentedJson(const Presented& p);
// The report's section, and its images written into `dir`.
std::string presentedHtml(const Presented& p, const WindowFormat& format);
bool writePresentedImages(const Presented& p, const Image& backBuffer, const std::string& dir, std::string& error);

}  // namespace measure
