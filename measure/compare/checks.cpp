// --expect, --junit, --baseline and the compare subcommand, over compare.h and expect.h.
#include "measure/compare/checks.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace measure {
namespace {

constexpr int kCannotWrite = 3;  // as a run that cannot write its report

// A run's name for messages and JUnit: its folder's own name.
std::string folderName(const std::string& dir) {
    std::filesystem::path p(dir);
    std::string name = (p.filename().empty() ? p.parent_path().filename() : p.filename()).string();
    return name.empty() ? dir : name;
}

// Checks every run; prints each failure; writes the JUnit file when asked. 0, kExpectFailed or 3.
int checkAll(const ExpectFile& file, const std::vector<const Run*>& runs,
             const std::map<std::string, const Json*>& named, const std::string& junit, std::vector<Suite>& suites) {
    std::size_t held = 0, failed = 0;
    for (const Run* run : runs) {
        Suite suite{run->name, file.path, {}};
        for (const Expectation& e : file.items) {
            suite.outcomes.push_back(checkExpectation(e, run->results, named));
            const Outcome& o = suite.outcomes.back();
            o.held ? ++held : ++failed;
            if (!o.held)
                std::fprintf(stderr, "quillmere-measure: %s:%d: %s failed on %s: %s\n", file.path.c_str(), e.line,
                             e.text.c_str(), run->name.c_str(), o.message.c_str());
        }
        suites.push_back(std::move(suite));
    }
    std::printf("expectations: %zu held, %zu failed\n", held, failed);
    if (!junit.empty()) {
        std::ofstream out(junit, std::ios::binary);
        out << junitXml(suites);
        out.close();
        if (out.fail()) {
            std::fprintf(stderr, "quillmere-measure: cannot write %s\n", junit.c_str());
            return kCannotWrite;
        }
    }
    return failed ? kExpectFailed : 0;
}

}  // namespace

void addExpectOptions(CLI::App& app, ExpectOptions& options) {
    app.add_option("--expect", options.file, "Expectations to check against the results (docs/expectations.md)");
    app.add_option("--junit", options.junit, "Write the expectations' outcomes as JUnit XML to this file")
        ->needs(app.get_option("--expect"));
    app.add_option("--baseline", options.baseline, "An earlier report folder that expectations name as baseline");
}

CLI::App* addCompareCommand(CLI::App& app, CompareOptions& options) {
    CLI::App* compare = app.add_subcommand("compare", "Put two or more report folders side by side on one page");
    compare->add_option("dirs", options.dirs, "Report folders; the first is the one the others are set against")
        ->required()
        ->expected(2, -1);
    compare->add_option("--out", options.out, "Output folder for the page")->capture_default_str();
    compare->add_option("--expect", options.expect.file, "Expectations to check against every run");
    compare->add_option("--junit", options.expect.junit, "Write the expectations' outcomes as JUnit XML")
        ->needs(compare->get_option("--expect"));
    return compare;
}

int prepareExpectations(const ExpectOptions& options, ExpectPlan& plan) {
    std::string error;
    if (!options.baseline.empty()) {
        if (int status = loadRun(options.baseline, plan.baseline, error)) {
            std::fprintf(stderr, "quillmere-measure: --baseline: %s\n", error.c_str());
            return status;
        }
        plan.baseline.name = "baseline";
    }
    if (options.file.empty()) return 0;
    std::set<std::string> names;
    if (!options.baseline.empty()) names.insert("baseline");
    if (!loadExpectations(options.file, names, plan.file, error)) {
        std::fprintf(stderr, "quillmere-measure: %s\n", error.c_str());
        return kExpectFile;
    }
    plan.active = true;
    plan.junit = options.junit;
    return 0;
}

int checkRun(const ExpectPlan& plan, const std::string& dir) {
    if (!plan.active) return 0;
    Run run;
    std::string error;
    if (int status = loadRun(dir, run, error)) {
        std::fprintf(stderr, "quillmere-measure: %s\n", error.c_str());
        return status;
    }
    run.name = folderName(dir);
    std::map<std::string, const Json*> named;
    if (!plan.baseline.dir.empty()) named["baseline"] = &plan.baseline.results;
    std::vector<Suite> suites;
    return checkAll(plan.file, {&run}, named, plan.junit, suites);
}

int runCompare(const CompareOptions& options) {
    std::vector<Run> runs(options.dirs.size());
    std::string error;
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (int status = loadRun(options.dirs[i], runs[i], error)) {
            std::fprintf(stderr, "quillmere-measure compare: %s\n", error.c_str());
            return status;
        }
    std::error_code ec;
    const auto out = std::filesystem::weakly_canonical(options.out, ec);
    for (const Run& run : runs)
        if (std::filesystem::weakly_canonical(run.dir, ec) == out) {
            // Its index.html would replace the run's own report.
            std::fprintf(stderr, "quillmere-measure compare: --out %s is one of the runs compared\n",
                         options.out.c_str());
            return kCannotWrite;
        }
    if (int status = prepareRuns(runs, error)) {
        std::fprintf(stderr, "quillmere-measure compare: %s\n", error.c_str());
        return status;
    }
    std::vector<Suite> suites;
    ExpectFile file;  // the suites point into it
    int checked = 0;
    if (!options.expect.file.empty()) {
        std::set<std::string> names = {"baseline"};
        std::map<std::string, const Json*> named = {{"baseline", &runs[0].results}};
        for (const Run& run : runs) {
            names.insert(run.name);
            named[run.name] = &run.results;
        }
        if (!loadExpectations(options.expect.file, names, file, error)) {
            std::fprintf(stderr, "quillmere-measure compare: %s\n", error.c_str());
            return kExpectFile;
        }
        std::vector<const Run*> all;
        for (const Run& run : runs) all.push_back(&run);
        checked = checkAll(file, all, named, options.expect.junit, suites);
        if (checked == kCannotWrite) return checked;
    }
    if (!writeComparison(runs, suites, options.out, error)) {
        std::fprintf(stderr, "quillmere-measure compare: %s\n", error.c_str());
        return kCannotWrite;
    }
    std::printf("comparison: %s/index.html\n", options.out.c_str());
    return checked;
}

}  // namespace measure
