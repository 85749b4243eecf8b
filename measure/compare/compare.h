// Report folders side by side: one page with every figure of each run, the differences,
// the verdicts that changed, crops next to each other and difference images between runs.
#pragma once

#include "measure/compare/expect.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace measure {

// The exit statuses of compare and of expectations, after the run's own (0 to 8).
enum CompareExit {
    kExpectFailed = 9,     // an expectation did not hold (the report or page is written)
    kExpectFile = 10,      // the expectations file is unreadable or malformed (nothing rendered)
    kNoReport = 11,        // a folder is missing or holds no results.json
    kForeign = 12,         // a results.json that is not JSON or not quillmere-measure's
    kUnknownVersion = 13,  // a schema_version this build does not read
    kSizesDiffer = 14,     // runs of different frame sizes
    kMalformed = 15,       // a results.json that does not match the results' schema
};

// What a results.json read back may hold at most: deeper nesting or longer strings are
// refused before the schema's checks, which walk the document recursively (the real ones
// nest 5 levels and hold strings of a few hundred bytes).
constexpr std::size_t kMaxResultsDepth = 64;
constexpr std::size_t kMaxResultsString = 4096;

// One report folder, read.
struct Run {
    std::string dir;
    std::string name;  // the folder's own name, made unique among the runs
    Json results;
};

// Every file a report folder holds, from its results.json and the report's names
// (report/files.h): what compare may look for in it.
std::set<std::string> reportFiles(const Json& results);
// Parses the text of a results.json (named `path` in the message) and checks it against the
// results' schema; 0, or kForeign, kUnknownVersion or kMalformed with the file, the JSON
// pointer of the first fault and what was expected there.
int readResults(const std::string& text, const std::string& path, Json& out, std::string& error);
// Reads DIR/results.json and checks it is a report this build reads; 0 or a CompareExit.
int loadRun(const std::string& dir, Run& run, std::string& error);
// Names the runs by their folders, unique, and checks they share one frame size; 0 or kSizesDiffer.
int prepareRuns(std::vector<Run>& runs, std::string& error);
// Writes OUT/index.html and its images; the suites (may be empty) are listed on the page.
// False with a reason when OUT cannot be written.
bool writeComparison(const std::vector<Run>& runs, const std::vector<Suite>& suites, const std::string& out,
                     std::string& error);

}  // namespace measure
