// The report written from a run's results: results.json, index.html, its PNGs and SVGs,
// and the terminal's summary table.
#pragma once

#include "measure/run/results.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace measure {

// The kind's name in results.json and the report.
const char* kindName(CaptureKind kind);
// How its cost was timed, as results.json names it: "gpu", "wall" or "none".
const char* costMethodName(CostMethod method);

// Text for HTML or XML, quoted attributes included: driver names may hold '<' or '&'.
std::string escapeMarkup(const std::string& text);

// Writes the whole report into `dir` (which exists); false with a reason on a write failure.
bool writeReport(const Results& results, const std::string& dir, std::string& error);
// The table printed at the end of a run.
std::string summaryTable(const Results& results);

}  // namespace measure
