// Expectations: a small text format, one check a line, held against a run's results.json
// (and against named earlier runs), and the JUnit XML that CI systems display.
#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace measure {

using Json = nlohmann::ordered_json;

enum class Op { Eq, Ne, Lt, Le, Gt, Ge, Within };

// The right-hand side: a literal, a figure of the same run, or the same figure in a named run.
struct Operand {
    enum Kind { Number, String, Bool, Figure, Run } kind = Number;
    double number = 0;  // the literal, or the factor in front of a figure or run
    std::string text;   // the string, the figure's path or the run's name
    bool flag = false;
};

struct Expectation {
    int line = 0;
    std::string text;  // the line as written, without its comment
    std::string path;  // the figure on the left
    Op op = Op::Eq;
    double tolerance = 0;    // within
    bool hasOperand = true;  // "within T" alone compares with zero
    Operand operand;
};

// A file of expectations, in the order written.
struct ExpectFile {
    std::string path;
    std::vector<Expectation> items;
};

// Parses the format; run names that may appear on a right-hand side are given. False with
// "LINE:COLUMN: reason" in `error`.
bool parseExpectations(const std::string& text, const std::set<std::string>& runs, std::vector<Expectation>& out,
                       std::string& error);
// Reads and parses a file; the error then starts with the file's name.
bool loadExpectations(const std::string& path, const std::set<std::string>& runs, ExpectFile& out, std::string& error);

// The value at a dotted path: capture names first (msaa-4.edge), then top-level sections;
// arrays are entered by an element's "name" or by index; aliases shorten common fields.
std::optional<Json> resolveFigure(const Json& results, const std::string& path);

struct Outcome {
    const Expectation* expectation = nullptr;
    bool held = false;
    std::string message;  // the measured value and what was expected
};

// Checks one expectation against a run, with the named runs for right-hand sides.
Outcome checkExpectation(const Expectation& e, const Json& results, const std::map<std::string, const Json*>& runs);

struct Suite {
    std::string name;  // the run
    std::string file;  // the expectations file
    std::vector<Outcome> outcomes;
};

// JUnit XML: a testsuite per run, a testcase per expectation, a failure with the measured value.
std::string junitXml(const std::vector<Suite>& suites);

}  // namespace measure
