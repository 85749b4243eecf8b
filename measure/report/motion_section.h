// The motion section of the report: its pictures, its part of results.json, its table.
#pragma once

#include "measure/report/report.h"

#include <nlohmann/json.hpp>

#include <string>

namespace measure {

// results.json's "motion" (written only when the drift ran): its settings and every mode's
// figures; `captures` are the run's, which the modes redraw.
nlohmann::ordered_json motionJson(const MotionResults& motion, const std::vector<Capture>& captures);
// Writes the profiles, the animated crops and the plot into `dir`, and appends the section
// to `html`; false with the file that failed.
bool writeMotionReport(const Results& r, const std::string& dir, std::string& html, std::string& failed);
// The figures as a terminal table.
std::string motionTable(const Results& r);

}  // namespace measure
