// The command line's side of comparing runs and checking expectations: --expect, --junit,
// --baseline on a run, and the compare subcommand.
#pragma once

#include "measure/compare/compare.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace measure {

struct ExpectOptions {
    std::string file;      // --expect
    std::string junit;     // --junit
    std::string baseline;  // --baseline, a run's only
};

// What a run checks once its report is written: read before anything is rendered.
struct ExpectPlan {
    ExpectFile file;
    Run baseline;
    bool active = false;
    std::string junit;
};

struct CompareOptions {
    std::vector<std::string> dirs;
    std::string out = "quillmere-compare";
    ExpectOptions expect;
};

// Adds --expect, --junit and --baseline to the run's options.
void addExpectOptions(CLI::App& app, ExpectOptions& options);
// Adds the compare subcommand.
CLI::App* addCompareCommand(CLI::App& app, CompareOptions& options);
// Reads the baseline and the expectations; 0, or a status after a message on standard error.
int prepareExpectations(const ExpectOptions& options, ExpectPlan& plan);
// Checks the report written in `dir` and writes the JUnit file; 0, kExpectFailed or 3.
int checkRun(const ExpectPlan& plan, const std::string& dir);
// The whole compare subcommand; its exit status.
int runCompare(const CompareOptions& options);

}  // namespace measure
