// The expectations parser on arbitrary text, and what it accepts checked against a real
// run's results (fuzz/corpus/results/tiny.json) with that run as the baseline. Checked on
// every input:
//   - a refusal says "LINE:COLUMN: why" with LINE one of the text's lines and COLUMN >= 1;
//   - each expectation accepted has a line of the text, its text without surrounding blanks
//     and a figure on the left; lines come in order;
//   - checking it against the results neither throws nor leaves its outcome without a
//     message, and the JUnit XML of the outcomes counts every one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "measure/compare/expect.h"

namespace {

const measure::Json& results() {
    static const measure::Json j = [] {
        std::ifstream in(QUILL_FUZZ_RESULTS, std::ios::binary);
        measure::Json parsed = measure::Json::parse(in, nullptr, false);
        if (!parsed.is_object()) {
            std::fprintf(stderr, "cannot read %s\n", QUILL_FUZZ_RESULTS);
            std::abort();
        }
        return parsed;
    }();
    return j;
}

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n';
    std::vector<measure::Expectation> parsed;
    std::string error;
    if (!measure::parseExpectations(text, {"baseline"}, parsed, error)) {
        unsigned long line = 0, column = 0;
        if (std::sscanf(error.c_str(), "%lu:%lu: ", &line, &column) != 2 || line < 1 || line > lines || column < 1)
            fail("a refusal without its line and column", error);
        return 0;
    }
    int previous = 0;
    for (const measure::Expectation& e : parsed) {
        if (e.line <= previous || (std::size_t)e.line > lines) fail("an expectation's line", std::to_string(e.line));
        previous = e.line;
        if (e.text.empty() || e.text.front() == ' ' || e.text.back() == ' ' || e.path.empty())
            fail("an expectation's text or figure", e.text);
    }
    const std::map<std::string, const measure::Json*> runs = {{"baseline", &results()}};
    measure::Suite suite{"fuzz", "fuzz.expect", {}};
    for (const measure::Expectation& e : parsed) {
        suite.outcomes.push_back(measure::checkExpectation(e, results(), runs));
        if (suite.outcomes.back().message.empty()) fail("an outcome without a message", e.text);
    }
    const std::string xml = measure::junitXml({suite});
    if (xml.find("tests=\"" + std::to_string(parsed.size()) + "\"") == std::string::npos)
        fail("the JUnit XML's count", std::to_string(parsed.size()));
    return 0;
}
