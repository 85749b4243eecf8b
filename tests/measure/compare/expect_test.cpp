// Expectations: the format's parser (accepted lines and refusals with their position), the
// lookup of figures in a hand-made results.json, the checks, and the JUnit XML.
#include "measure/compare/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using namespace measure;

const Json kResults = Json::parse(R"({
  "schema_version": 1, "tool": "quillmere-measure",
  "window": {"available": true, "samples": 4, "verdict": "4-sample MSAA"},
  "captures": [
    {"name": "window", "kind": "window", "effective_samples": 4, "edge_rmse": 20.5},
    {"name": "msaa-4", "kind": "msaa", "effective_samples": 4, "edge_rmse": 10.0, "psnr": null},
    {"name": "filter-linear", "kind": "filter", "centre_interior_rmse": 7.25}
  ],
  "filtering": {"lod_bias": -0.04, "sweeps": [{"name": "tilt-60", "bands": 3}], "degrees": [2, 4, 16]}
})");

TEST(ExpectParse, AcceptedLines) {
    const struct {
        const char* line;
        const char* path;
        Op op;
        Operand::Kind kind;
        double number;
        std::string text;
    } cases[] = {
        {"msaa-4.effective >= 4", "msaa-4.effective", Op::Ge, Operand::Number, 4, ""},
        {"  window.verdict == \"4-sample \\\"MSAA\\\"\"  # why", "window.verdict", Op::Eq, Operand::String, 0,
         "4-sample \"MSAA\""},
        {"msaa-4.edge<=1.05*baseline", "msaa-4.edge", Op::Le, Operand::Run, 1.05, "baseline"},
        {"msaa-4.edge < msaa-0.edge", "msaa-4.edge", Op::Lt, Operand::Figure, 1, "msaa-0.edge"},
        {"msaa-4.edge != 2e-1 * ssaa-2x2.edge", "msaa-4.edge", Op::Ne, Operand::Figure, 0.2, "ssaa-2x2.edge"},
        {"window.available == true", "window.available", Op::Eq, Operand::Bool, 1, "true"},
        {"filter.lod_bias > -.5", "filter.lod_bias", Op::Gt, Operand::Number, -0.5, ""},
    };
    for (const auto& c : cases) {
        std::vector<Expectation> out;
        std::string error;
        ASSERT_TRUE(parseExpectations(c.line, {"baseline"}, out, error)) << c.line << ": " << error;
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].path, c.path) << c.line;
        EXPECT_EQ(out[0].op, c.op) << c.line;
        EXPECT_EQ(out[0].operand.kind, c.kind) << c.line;
        EXPECT_DOUBLE_EQ(out[0].operand.number, c.number) << c.line;
        if (!c.text.empty()) {
            EXPECT_EQ(out[0].operand.text, c.text) << c.line;
        }
    }
}

TEST(ExpectParse, WithinTakesAToleranceAndAnOptionalValue) {
    std::vector<Expectation> out;
    std::string error;
    ASSERT_TRUE(
        parseExpectations("a.b within 0.1\r\n\n# note\nc.d within 2 of 1.5 * baseline\n", {"baseline"}, out, error))
        << error;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].line, 1);
    EXPECT_FALSE(out[0].hasOperand);
    EXPECT_DOUBLE_EQ(out[0].tolerance, 0.1);
    EXPECT_EQ(out[1].line, 4);
    EXPECT_EQ(out[1].text, "c.d within 2 of 1.5 * baseline");
    EXPECT_TRUE(out[1].hasOperand);
    EXPECT_EQ(out[1].operand.kind, Operand::Run);
}

TEST(ExpectParse, RefusalsGiveLineAndColumn) {
    const struct {
        const char* text;
        const char* position;
    } cases[] = {
        {"a.b = 4", "1:5"},
        {"\n\na.b >= baseline y", "3:17"},
        {"a.b within -1", "1:12"},
        {"a.b >= 4 *", "1:11"},
        {"a.b == \"open", "1:8"},
        {"a.b >= \"text\"", "1:8"},
        {"a.b within 1 of \"s\"", "1:17"},
        {"a.b >= other", "1:8"},
        {"4 >= a.b", "1:1"},
        {"a. >= 1", "1:3"},
        {"a.b within 1 often 2", "1:14"},
        {"a.b >= true false", "1:13"},
    };
    for (const auto& c : cases) {
        std::vector<Expectation> out;
        std::string error;
        EXPECT_FALSE(parseExpectations(c.text, {"baseline"}, out, error)) << c.text;
        EXPECT_EQ(error.rfind(std::string(c.position) + ": ", 0), 0u) << c.text << " gave " << error;
    }
}

TEST(ExpectResolve, CapturesSectionsAliasesAndArrays) {
    const struct {
        const char* path;
        Json value;
    } found[] = {
        {"msaa-4.effective", 4},
        {"msaa-4.effective_samples", 4},
        {"window.effective", 4},
        {"window.verdict", "4-sample MSAA"},
        {"window.samples", 4},
        {"filter.lod_bias", -0.04},
        {"filtering.sweeps.tilt-60.bands", 3},
        {"filter.degrees.2", 16},
        {"filter-linear.centre", 7.25},
        {"captures.1.edge", 10.0},
    };
    for (const auto& f : found) {
        auto v = resolveFigure(kResults, f.path);
        ASSERT_TRUE(v.has_value()) << f.path;
        EXPECT_EQ(*v, f.value) << f.path;
    }
    // An index past every size_t (found by fuzz/expectations_fuzz) is no element either.
    for (const char* missing : {"msaa-8.effective", "window.nothing", "filter.degrees.3", "lod_bias", "msaa-4",
                                "captures.99999999999999999999999.edge", "filter.degrees.18446744073709551616"})
        EXPECT_FALSE(resolveFigure(kResults, missing).has_value()) << missing;
}

TEST(ExpectCheck, OutcomesAndTheirMessages) {
    Json earlier = kResults;
    earlier["captures"][1]["edge_rmse"] = 9.6;
    const std::map<std::string, const Json*> runs = {{"baseline", &earlier}};
    const struct {
        const char* line;
        bool held;
        const char* message;  // a part of it
    } cases[] = {
        {"msaa-4.effective >= 4", true, "measured 4; expected >= 4"},
        {"window.verdict == \"4-sample MSAA\"", true, ""},
        {"window.verdict != \"4-sample MSAA\"", false, "measured \"4-sample MSAA\""},
        {"msaa-4.edge <= 1.05 * baseline", true, "10.08 (1.05 x msaa-4.edge in baseline, 9.6)"},
        {"msaa-4.edge <= 1.04 * baseline", false, "measured 10; expected <= 9.984"},
        {"msaa-4.edge < window.edge", true, ""},
        {"msaa-4.edge > 0.5 * window.edge", false, "expected > 10.25"},
        {"filter.lod_bias within 0.05", true, ""},
        {"filter.lod_bias within 0.03", false, "measured -0.04; expected within 0.03 of 0"},
        {"filter.lod_bias within 0.01 of -0.05", true, ""},
        {"msaa-4.psnr > 1000", true, "infinity"},
        {"msaa-8.effective >= 4", false, "msaa-8.effective is not in this run's results (captures: window, msaa-4"},
        {"window.edge <= 1.1 * baseline", true, ""},
        {"filter-linear.centre <= baseline", true, ""},
        {"window.verdict == baseline", true, ""},
        {"window.available == false", false, ""},
    };
    for (const auto& c : cases) {
        std::vector<Expectation> e;
        std::string error;
        ASSERT_TRUE(parseExpectations(c.line, {"baseline"}, e, error)) << c.line << ": " << error;
        Outcome o = checkExpectation(e[0], kResults, runs);
        EXPECT_EQ(o.held, c.held) << c.line << ": " << o.message;
        EXPECT_NE(o.message.find(c.message), std::string::npos) << c.line << ": " << o.message;
    }
}

TEST(ExpectJunit, CountsEscapesAndFailureMessages) {
    std::vector<Expectation> e;
    std::string error;
    ASSERT_TRUE(parseExpectations("msaa-4.effective >= 4\nmsaa-4.edge < 1 # <&>\n", {}, e, error));
    Suite suite{"a<b", "x&y.txt", {checkExpectation(e[0], kResults, {}), checkExpectation(e[1], kResults, {})}};
    std::string xml = junitXml({suite});
    EXPECT_NE(xml.find("<testsuites name=\"quillmere-measure\" tests=\"2\" failures=\"1\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<testsuite name=\"a&lt;b\" tests=\"2\" failures=\"1\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"msaa-4.edge &lt; 1\" file=\"x&amp;y.txt\" line=\"2\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<failure type=\"expectation\" message=\"measured 10; expected &lt; 1\">"), std::string::npos)
        << xml;
    EXPECT_EQ(xml.find("<&>"), std::string::npos);
}

}  // namespace
