// Expectations: the parser, the lookup of figures in results.json, the checks and JUnit XML.
#include "measure/compare/expect.h"

#include "measure/report/report.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace measure {
namespace {

// Short names for fields that are long to type; a name the results hold itself always wins.
const std::map<std::string, std::string> kAliases = {
    {"effective", "effective_samples"},
    {"edge", "edge_rmse"},
    {"interior", "interior_rmse"},
    {"centre", "centre_interior_rmse"},
    {"center", "centre_interior_rmse"},
    {"linear", "rmse_vs_linear_light_reference"},
    {"levels", "coverage_levels"},
    {"ms", "ms_per_frame"},
    {"filter", "filtering"},
    {"aa", "antialiasing"},
};

const char* opText(Op op) {
    switch (op) {
        case Op::Eq: return "==";
        case Op::Ne: return "!=";
        case Op::Lt: return "<";
        case Op::Le: return "<=";
        case Op::Gt: return ">";
        case Op::Ge: return ">=";
        case Op::Within: return "within";
    }
    return "?";
}

// A number as the messages show it.
std::string show(double v) {
    if (std::isinf(v)) return v > 0 ? "infinity" : "-infinity";
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

// One line's scanner: positions are 1-based columns for the messages.
class Scanner {
public:
    explicit Scanner(const std::string& line) : s_(line) {}
    void skipSpace() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }
    bool atEnd() {
        skipSpace();
        return i_ >= s_.size();
    }
    int column() const { return (int)i_ + 1; }
    char peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    bool startsWith(const char* text) const { return s_.compare(i_, std::char_traits<char>::length(text), text) == 0; }
    void advance(std::size_t n) { i_ += n; }

    // A dotted name: segments of letters, digits, '_' and '-', the first starting with a letter.
    bool path(std::string& out, std::string& why) {
        std::size_t start = i_;
        if (!std::isalpha((unsigned char)peek()) && peek() != '_') {
            why = "expected a figure's name";
            return false;
        }
        while (true) {
            std::size_t segment = i_;
            while (i_ < s_.size() && (std::isalnum((unsigned char)s_[i_]) || s_[i_] == '_' || s_[i_] == '-')) ++i_;
            if (i_ == segment) {
                why = "a name is missing after '.'";
                return false;
            }
            if (peek() != '.') break;
            ++i_;
        }
        out = s_.substr(start, i_ - start);
        return true;
    }

    // A decimal number with optional sign, fraction and exponent.
    bool number(double& out) {
        std::size_t start = i_, j = i_;
        if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
        std::size_t digits = 0;
        while (j < s_.size() && std::isdigit((unsigned char)s_[j])) ++j, ++digits;
        if (j < s_.size() && s_[j] == '.') {
            ++j;
            while (j < s_.size() && std::isdigit((unsigned char)s_[j])) ++j, ++digits;
        }
        if (digits == 0) return false;
        if (j < s_.size() && (s_[j] == 'e' || s_[j] == 'E')) {
            std::size_t k = j + 1;
            if (k < s_.size() && (s_[k] == '+' || s_[k] == '-')) ++k;
            if (k < s_.size() && std::isdigit((unsigned char)s_[k])) {
                while (k < s_.size() && std::isdigit((unsigned char)s_[k])) ++k;
                j = k;
            }
        }
        out = std::strtod(s_.substr(start, j - start).c_str(), nullptr);
        i_ = j;
        return true;
    }

    // A double-quoted string with \" and \\ escapes.
    bool string(std::string& out, std::string& why) {
        ++i_;
        out.clear();
        while (i_ < s_.size() && s_[i_] != '"') {
            if (s_[i_] == '\\' && i_ + 1 < s_.size()) ++i_;
            out += s_[i_++];
        }
        if (i_ >= s_.size()) {
            why = "the string has no closing '\"'";
            return false;
        }
        ++i_;
        return true;
    }

private:
    const std::string& s_;
    std::size_t i_ = 0;
};

// The line without a '#' comment (one outside a string).
std::string stripComment(const std::string& line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && quoted) {
            ++i;
        } else if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == '#' && !quoted) {
            return line.substr(0, i);
        }
    }
    return line;
}

// A right-hand side: a literal, FACTOR * NAME, or NAME (a dotted figure or a run).
bool parseOperand(Scanner& in, const std::set<std::string>& runs, Operand& out, std::string& why, int& column) {
    in.skipSpace();
    column = in.column();
    char c = in.peek();
    if (c == '"') {
        out.kind = Operand::String;
        return in.string(out.text, why);
    }
    double factor = 1;
    bool scaled = false;
    if (std::isdigit((unsigned char)c) || c == '-' || c == '+' || c == '.') {
        if (!in.number(factor)) {
            why = "expected a number";
            return false;
        }
        in.skipSpace();
        if (in.peek() != '*') {
            out.kind = Operand::Number;
            out.number = factor;
            return true;
        }
        in.advance(1);
        in.skipSpace();
        column = in.column();
        scaled = true;
    }
    std::string name;
    if (!in.path(name, why)) {
        if (in.column() == column && !scaled)
            why = "expected a number, a \"string\", true, false, a figure or a run's name";
        column = in.column();
        return false;
    }
    out.number = factor;
    out.text = name;
    if (!scaled && (name == "true" || name == "false")) {
        out.kind = Operand::Bool;
        out.flag = name == "true";
    } else if (name.find('.') != std::string::npos) {
        out.kind = Operand::Figure;
    } else if (runs.count(name)) {
        out.kind = Operand::Run;
    } else {
        why = "no run named \"" + name + "\" (";
        if (runs.empty()) why += "none is named here; a run takes one with --baseline DIR";
        for (auto it = runs.begin(); it != runs.end(); ++it) why += (it == runs.begin() ? "known: " : ", ") + *it;
        why += ")";
        return false;
    }
    return true;
}

// One line that is not blank or a comment.
bool parseLine(const std::string& line, const std::set<std::string>& runs, Expectation& e, std::string& why,
               int& column) {
    Scanner in(line);
    in.skipSpace();
    if (!in.path(e.path, why)) {
        column = in.column();
        return false;
    }
    in.skipSpace();
    column = in.column();
    static const std::pair<const char*, Op> ops[] = {{"==", Op::Eq}, {"!=", Op::Ne}, {"<=", Op::Le},
                                                     {">=", Op::Ge}, {"<", Op::Lt},  {">", Op::Gt}};
    bool found = false;
    for (const auto& [text, op] : ops)
        if (in.startsWith(text)) {
            e.op = op;
            in.advance(std::char_traits<char>::length(text));
            found = true;
            break;
        }
    const std::size_t afterWithin = (std::size_t)column - 1 + 6;
    if (!found && in.startsWith("within") &&
        (afterWithin >= line.size() || !std::isalnum((unsigned char)line[afterWithin]))) {
        e.op = Op::Within;
        in.advance(6);
        in.skipSpace();
        column = in.column();
        if (!in.number(e.tolerance) || e.tolerance < 0) {
            why = "within wants a tolerance, a number of at least 0";
            return false;
        }
        e.hasOperand = false;
        if (in.atEnd()) return true;
        column = in.column();
        if (!in.startsWith("of") || std::isalnum((unsigned char)line[(std::size_t)column + 1])) {
            why = "expected \"of\" and a value after the tolerance, or the end of the line";
            return false;
        }
        in.advance(2);
        found = true;
        e.hasOperand = true;
    } else if (!found) {
        why = in.peek() == '=' ? "'=' is no comparison: write ==" : "expected ==, !=, <, <=, >, >= or within";
        return false;
    }
    if (!parseOperand(in, runs, e.operand, why, column)) return false;
    if (e.operand.kind == Operand::String && e.op != Op::Eq && e.op != Op::Ne) {
        why = "a string can only be compared with == or !=";
        return false;
    }
    if (e.op == Op::Within && (e.operand.kind == Operand::String || e.operand.kind == Operand::Bool)) {
        why = "within compares numbers";
        return false;
    }
    if (!in.atEnd()) {
        column = in.column();
        why = "unexpected text after the expectation";
        return false;
    }
    return true;
}

// A number from the results; null is how results.json writes an infinite PSNR.
std::optional<double> numeric(const Json& v) {
    if (v.is_number()) return v.get<double>();
    if (v.is_null()) return INFINITY;
    return std::nullopt;
}

std::string describe(const Json& v) {
    if (v.is_string()) return "\"" + v.get<std::string>() + "\"";
    if (auto n = numeric(v)) return show(*n);
    return v.dump();
}

// Follows the segments from one node.
std::optional<Json> walk(const Json& from, const std::vector<std::string>& segments, std::size_t first) {
    const Json* node = &from;
    for (std::size_t s = first; s < segments.size(); ++s) {
        const std::string& name = segments[s];
        const Json* next = nullptr;
        if (node->is_object()) {
            auto alias = kAliases.find(name);
            if (node->contains(name))
                next = &(*node)[name];
            else if (alias != kAliases.end() && node->contains(alias->second))
                next = &(*node)[alias->second];
        } else if (node->is_array()) {
            for (const Json& element : *node)
                if (element.is_object() && element.contains("name") && element["name"] == name) next = &element;
            std::size_t index = 0;
            auto [end, fault] = std::from_chars(name.data(), name.data() + name.size(), index);
            if (!next && !name.empty() && fault == std::errc() && end == name.data() + name.size() &&
                index < node->size())
                next = &(*node)[index];
        }
        if (!next) return std::nullopt;
        node = next;
    }
    return *node;
}

}  // namespace

bool parseExpectations(const std::string& text, const std::set<std::string>& runs, std::vector<Expectation>& out,
                       std::string& error) {
    std::istringstream lines(text);
    std::string raw;
    for (int number = 1; std::getline(lines, raw); ++number) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string line = stripComment(raw);
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        Expectation e;
        std::string why;
        int column = 1;
        if (!parseLine(line, runs, e, why, column)) {
            error = std::to_string(number) + ":" + std::to_string(column) + ": " + why;
            return false;
        }
        e.line = number;
        std::size_t begin = line.find_first_not_of(" \t"), end = line.find_last_not_of(" \t");
        e.text = line.substr(begin, end - begin + 1);
        out.push_back(std::move(e));
    }
    return true;
}

bool loadExpectations(const std::string& path, const std::set<std::string>& runs, ExpectFile& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot read the expectations file";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    out.path = path;
    out.items.clear();
    if (!parseExpectations(text.str(), runs, out.items, error)) {
        error = path + ":" + error;
        return false;
    }
    if (out.items.empty()) {
        error = path + ": holds no expectation";
        return false;
    }
    return true;
}

std::optional<Json> resolveFigure(const Json& results, const std::string& path) {
    std::vector<std::string> segments;
    std::size_t start = 0;
    for (std::size_t dot; (dot = path.find('.', start)) != std::string::npos; start = dot + 1)
        segments.push_back(path.substr(start, dot - start));
    segments.push_back(path.substr(start));
    // "window" is both a capture and a section: the capture's fields first, then the section's.
    if (results.contains("captures") && results["captures"].is_array() && segments.size() > 1)
        for (const Json& c : results["captures"])
            if (c.is_object() && c.contains("name") && c["name"] == segments[0])
                if (auto v = walk(c, segments, 1)) return v;
    return walk(results, segments, 0);
}

namespace {

// The right-hand side an expectation takes from the results (a figure) or from a named run,
// scaled by its factor, and how the message shows it; false with the outcome's message when
// it cannot be had.
bool figureOperand(const Expectation& e, const Json& results, const std::map<std::string, const Json*>& runs,
                   const Json& measured, Json& right, std::string& rightText, std::string& message) {
    const Operand& r = e.operand;
    const Json* source = &results;
    if (r.kind == Operand::Run) {
        auto run = runs.find(r.text);
        if (run == runs.end()) {
            message = "no run named " + r.text;
            return false;
        }
        source = run->second;
    }
    std::string path = r.kind == Operand::Run ? e.path : r.text;
    std::optional<Json> value = resolveFigure(*source, path);
    std::string where = r.kind == Operand::Run ? " in " + r.text : "";
    if (!value) {
        message = "measured " + describe(measured) + "; " + path + " is not in the results" + where;
        return false;
    }
    if (r.number != 1 || !value->is_string()) {
        std::optional<double> n = numeric(*value);
        if (!n) {
            message = "measured " + describe(measured) + "; " + path + where + " is no number";
            return false;
        }
        right = *n * r.number;
        rightText = show(*n * r.number) + " (" +
                    (r.number != 1 ? show(r.number) + " x " + path + where + ", " + show(*n) : path + where) + ")";
    } else {
        right = *value;
        rightText = describe(*value) + " (" + path + where + ")";
    }
    return true;
}

// Whether two numbers stand in the expectation's relation.
bool holds(Op op, double a, double b, double tolerance) {
    switch (op) {
        case Op::Eq: return a == b;
        case Op::Ne: return a != b;
        case Op::Lt: return a < b;
        case Op::Le: return a <= b;
        case Op::Gt: return a > b;
        case Op::Ge: return a >= b;
        case Op::Within:
            // Decimal tolerances are not exact in binary: a difference of exactly T holds.
            return std::fabs(a - b) <= tolerance * (1 + 1e-12) + 1e-12 * std::max(std::fabs(a), std::fabs(b));
    }
    return false;
}

}  // namespace

Outcome checkExpectation(const Expectation& e, const Json& results, const std::map<std::string, const Json*>& runs) {
    Outcome o;
    o.expectation = &e;
    std::optional<Json> left = resolveFigure(results, e.path);
    if (!left) {
        o.message = e.path + " is not in this run's results";
        std::string captures;
        if (results.contains("captures"))
            for (const Json& c : results["captures"])
                if (c.contains("name")) captures += (captures.empty() ? "" : ", ") + c["name"].get<std::string>();
        if (!captures.empty()) o.message += " (captures: " + captures + ")";
        return o;
    }
    const Operand& r = e.operand;
    Json right = 0;
    std::string rightText = "0";
    if (e.hasOperand) {
        switch (r.kind) {
            case Operand::Number: right = r.number; break;
            case Operand::String: right = r.text; break;
            case Operand::Bool: right = r.flag; break;
            case Operand::Figure:
            case Operand::Run:
                if (!figureOperand(e, results, runs, *left, right, rightText, o.message)) return o;
                break;
        }
        if (r.kind != Operand::Figure && r.kind != Operand::Run) rightText = describe(right);
    }
    std::string expected = e.op == Op::Within ? "within " + show(e.tolerance) + " of " + rightText
                                              : std::string(opText(e.op)) + " " + rightText;
    o.message = "measured " + describe(*left) + "; expected " + expected;
    std::optional<double> a = numeric(*left), b = numeric(right);
    if (left->is_string() || right.is_string() || left->is_boolean() || right.is_boolean()) {
        bool same = *left == right;
        if (e.op == Op::Eq || e.op == Op::Ne) {
            o.held = e.op == Op::Eq ? same : !same;
        } else {
            o.message += " (not numbers)";
        }
        return o;
    }
    if (!a || !b) {
        o.message += " (not numbers)";
        return o;
    }
    o.held = holds(e.op, *a, *b, e.tolerance);
    return o;
}

std::string junitXml(const std::vector<Suite>& suites) {
    std::size_t tests = 0, failures = 0;
    for (const Suite& s : suites)
        for (const Outcome& o : s.outcomes) ++tests, failures += !o.held;
    std::ostringstream x;
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"quillmere-measure\" tests=\"" << tests
      << "\" failures=\"" << failures << "\" errors=\"0\">\n";
    for (const Suite& s : suites) {
        std::size_t failed = 0;
        for (const Outcome& o : s.outcomes) failed += !o.held;
        x << "  <testsuite name=\"" << escapeMarkup(s.name) << "\" tests=\"" << s.outcomes.size() << "\" failures=\""
          << failed << "\" errors=\"0\" skipped=\"0\" time=\"0\">\n";
        for (const Outcome& o : s.outcomes) {
            const Expectation& e = *o.expectation;
            x << "    <testcase classname=\"" << escapeMarkup("quillmere-measure." + s.name) << "\" name=\""
              << escapeMarkup(e.text) << "\" file=\"" << escapeMarkup(s.file) << "\" line=\"" << e.line
              << "\" time=\"0\"";
            if (o.held) {
                x << "/>\n";
                continue;
            }
            x << ">\n      <failure type=\"expectation\" message=\"" << escapeMarkup(o.message) << "\">"
              << escapeMarkup(s.file + ":" + std::to_string(e.line) + ": " + e.text + ": " + o.message)
              << "</failure>\n    </testcase>\n";
        }
        x << "  </testsuite>\n";
    }
    x << "</testsuites>\n";
    return x.str();
}

}  // namespace measure
