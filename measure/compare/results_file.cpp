// A results.json read back from a file the tool may not have written: parsed with bounded
// nesting and string lengths, then checked against the results' schema built into the tool
// (docs/results.schema.json), so that a malformed file is refused with the place of its first
// fault before any page is written.
#include "measure/compare/compare.h"
#include "measure/run/results.h"

#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validation_results.hpp>
#include <valijson/validator.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <string_view>

namespace measure {
namespace {

using Plain = nlohmann::json;  // the JSON type the validator's adapter reads

// docs/results.schema.json as it was when the tool was built (measure/CMakeLists.txt).
constexpr char kSchemaText[] = {
#include "results_schema.inc"
};

// A pointer token as RFC 6901 writes it.
std::string escapeToken(const std::string& token) {
    std::string out;
    for (char c : token) out += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
    return out;
}

// Text from the file shown in a message: control and non-ASCII bytes as \xNN, long text cut.
std::string printable(std::string_view text, std::size_t most = 60) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < most; ++i) {
        unsigned char c = text[i];
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c >= 0x20 && c < 0x7f ? std::string(1, (char)c) : std::string(hex);
    }
    return text.size() > most ? out + "..." : out;
}

// The DOM builder's events, with the depth and the pointer of the place being read, stopping
// where the nesting or a string goes past what a results.json holds: the validation and the
// page walk the document recursively.
class BoundedSax {
public:
    explicit BoundedSax(Json& out) : dom_(out, false) {}

    bool null() { return value(dom_.null()); }
    bool boolean(bool b) { return value(dom_.boolean(b)); }
    bool number_integer(Json::number_integer_t n) { return value(dom_.number_integer(n)); }
    bool number_unsigned(Json::number_unsigned_t n) { return value(dom_.number_unsigned(n)); }
    bool number_float(Json::number_float_t n, const std::string& s) { return value(dom_.number_float(n, s)); }
    bool string(std::string& s) { return bounded(s) && value(dom_.string(s)); }
    bool binary(Json::binary_t& b) { return value(dom_.binary(b)); }
    bool start_object(std::size_t n) { return open(false) && dom_.start_object(n); }
    bool start_array(std::size_t n) { return open(true) && dom_.start_array(n); }
    bool end_object() { return close(dom_.end_object()); }
    bool end_array() { return close(dom_.end_array()); }
    bool key(std::string& k) {
        if (!bounded(k)) return false;
        levels_.back().key = k;
        inValue_ = true;
        return dom_.key(k);
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
        std::string what = e.what();
        std::size_t colon = what.find("] ");
        fault_ = {kForeign, pointer(),
                  "not JSON at byte " + std::to_string(position) + ": " +
                      printable(colon == std::string::npos ? what : what.substr(colon + 2), 200)};
        return false;
    }

    // Where and why reading stopped; status 0 when it did not.
    struct Fault {
        int status = 0;
        std::string pointer, why;
    } fault_;

private:
    struct Level {
        bool array = false;
        std::size_t index = 0;
        std::string key;
    };

    // The place being read, for the message: the key's value once its key is read.
    std::string pointer() const {
        std::string out;
        for (std::size_t i = 0; i < levels_.size(); ++i) {
            const Level& l = levels_[i];
            bool last = i + 1 == levels_.size();
            if (l.array)
                out += "/" + std::to_string(l.index);
            else if (!last || inValue_)
                out += "/" + escapeToken(l.key);
        }
        return out.empty() ? "/" : out;
    }
    // One value read in the level above: an array moves on to its next element.
    bool value(bool ok) {
        if (!levels_.empty() && levels_.back().array) ++levels_.back().index;
        inValue_ = false;
        return ok;
    }
    // A new level, refused past the depth the validation can walk.
    bool open(bool array) {
        if (levels_.size() >= kMaxResultsDepth) {
            fault_ = {
                kMalformed, pointer(),
                "nested deeper than " + std::to_string(kMaxResultsDepth) + " levels, deeper than any results.json"};
            return false;
        }
        levels_.push_back({array, 0, {}});
        inValue_ = false;
        return true;
    }
    // A container ends: one value of the level above.
    bool close(bool ok) {
        levels_.pop_back();
        return value(ok);
    }
    // Whether a string or name is short enough for the schema's patterns (std::regex recurses per character).
    bool bounded(const std::string& s) {
        if (s.size() <= kMaxResultsString) return true;
        fault_ = {kMalformed, pointer(),
                  "a string or name of " + std::to_string(s.size()) + " bytes, longer than the " +
                      std::to_string(kMaxResultsString) + " a results.json holds"};
        return false;
    }

    nlohmann::detail::json_sax_dom_parser<Json> dom_;
    std::vector<Level> levels_;
    bool inValue_ = false;  // after a key: the pointer names the key's value
};

// The schema, parsed once: as JSON for describing a fault, and as the validator's.
struct Schema {
    Plain json;
    valijson::Schema compiled;
};

// Parsed on first use, once a process: the fuzz target reads thousands of files.
const Schema& schema() {
    static const std::unique_ptr<Schema> s = [] {
        auto out = std::make_unique<Schema>();
        out->json = Plain::parse(std::string_view(kSchemaText, sizeof kSchemaText));
        valijson::SchemaParser parser;
        valijson::adapters::NlohmannJsonAdapter adapter(out->json);
        parser.populateSchema(adapter, out->compiled);
        return out;
    }();
    return *s;
}

// A subschema with its local $ref followed (a few hops at most).
const Plain* resolve(const Plain* s) {
    for (int hops = 0; s && s->is_object() && s->contains("$ref") && hops < 16; ++hops) {
        const std::string ref = (*s)["$ref"].get<std::string>();
        if (ref.rfind("#", 0) != 0) return nullptr;
        Plain::json_pointer p(ref.substr(1));
        s = schema().json.contains(p) ? &schema().json[p] : nullptr;
    }
    return s;
}

// The subschema of one member of `node` (a name of an object, an index of an array), or null.
const Plain* member(const Plain* s, const Plain& node, const std::string& token) {
    if (!s || !s->is_object()) return nullptr;
    if (node.is_object()) {
        if (s->contains("properties") && (*s)["properties"].contains(token)) return resolve(&(*s)["properties"][token]);
        if (s->contains("patternProperties"))
            for (auto& [pattern, sub] : (*s)["patternProperties"].items())
                if (std::regex_search(token, std::regex(pattern))) return resolve(&sub);
        if (s->contains("additionalProperties") && (*s)["additionalProperties"].is_object())
            return resolve(&(*s)["additionalProperties"]);
    } else if (node.is_array()) {
        std::size_t i = std::stoul(token);
        if (s->contains("prefixItems") && i < (*s)["prefixItems"].size()) return resolve(&(*s)["prefixItems"][i]);
        if (s->contains("items") && (*s)["items"].is_object()) return resolve(&(*s)["items"]);
    }
    return nullptr;
}

// What a value is, as a message says it.
std::string found(const Plain& v) {
    if (v.is_string()) return "the string \"" + printable(v.get<std::string>()) + "\"";
    if (v.is_number() || v.is_boolean()) return printable(v.dump());
    if (v.is_null()) return "null";
    return v.is_object() ? "an object" : "an array";
}

// Whether a value is of a JSON Schema type.
bool isType(const Plain& v, const std::string& type) {
    if (type == "integer") return v.is_number_integer() || (v.is_number_float() && v == std::floor(v.get<double>()));
    static const std::map<std::string, Plain::value_t> kinds = {{"string", Plain::value_t::string},
                                                                {"boolean", Plain::value_t::boolean},
                                                                {"null", Plain::value_t::null},
                                                                {"object", Plain::value_t::object},
                                                                {"array", Plain::value_t::array}};
    if (type == "number") return v.is_number();
    auto k = kinds.find(type);
    return k != kinds.end() && v.type() == k->second;
}

// What the subschema expected of the value where the validator found a fault, from the first
// of its simple keywords the value breaks; empty when none does (a fault of oneOf, say).
std::string expected(const Plain& s, const Plain& v) {
    if (s.contains("type")) {
        Plain types = s["type"].is_array() ? s["type"] : Plain::array({s["type"]});
        std::string names;
        bool ok = false;
        for (std::size_t i = 0; i < types.size(); ++i) {
            ok = ok || isType(v, types[i].get<std::string>());
            const std::string t = types[i].get<std::string>();
            names += (i ? " or " : "") +
                     (t == "null" ? t : (t == "integer" || t == "array" || t == "object" ? "an " : "a ") + t);
        }
        if (!ok) return "expected " + names + ", found " + found(v);
    }
    if (s.contains("const") && s["const"] != v) return "expected " + s["const"].dump() + ", found " + found(v);
    if (s.contains("enum") && std::find(s["enum"].begin(), s["enum"].end(), v) == s["enum"].end())
        return "expected one of " + printable(s["enum"].dump(), 200) + ", found " + found(v);
    if (v.is_object() && s.contains("required"))
        for (const Plain& name : s["required"])
            if (!v.contains(name.get<std::string>())) return "lacks the required field " + name.dump();
    if (v.is_object() && s.contains("additionalProperties") && s["additionalProperties"] == false)
        for (auto& [key, value] : v.items())
            if (!member(&s, v, key)) return "has a field \"" + printable(key) + "\" the schema does not know";
    if (v.is_number() && s.contains("minimum") && v.get<double>() < s["minimum"].get<double>())
        return "expected at least " + s["minimum"].dump() + ", found " + found(v);
    if (v.is_number() && s.contains("maximum") && v.get<double>() > s["maximum"].get<double>())
        return "expected at most " + s["maximum"].dump() + ", found " + found(v);
    if (v.is_string() && s.contains("minLength") && v.get<std::string>().size() < s["minLength"].get<std::size_t>())
        return "expected a string of at least " + s["minLength"].dump() + " characters, found " + found(v);
    if (v.is_string() && s.contains("pattern") &&
        !std::regex_search(v.get<std::string>(), std::regex(s["pattern"].get<std::string>())))
        return "expected a string matching " + s["pattern"].get<std::string>() + ", found " + found(v);
    if (v.is_array() && s.contains("minItems") && v.size() < s["minItems"].get<std::size_t>())
        return "expected at least " + s["minItems"].dump() + " items, found " + std::to_string(v.size());
    if (v.is_array() && s.contains("maxItems") && v.size() > s["maxItems"].get<std::size_t>())
        return "expected at most " + s["maxItems"].dump() + " items, found " + std::to_string(v.size());
    return "";
}

// The first fault the validator found (its deepest report comes first), as a JSON pointer and
// what was expected there; empty when the results match the schema.
std::pair<std::string, std::string> firstFault(const Plain& results) {
    valijson::Validator validator;
    valijson::ValidationResults faults;
    valijson::adapters::NlohmannJsonAdapter adapter(results);
    valijson::ValidationResults::Error e;
    if (validator.validate(schema().compiled, adapter, &faults) || !faults.popError(e)) return {};
    std::string pointer;
    const Plain* node = &results;
    const Plain* s = resolve(&schema().json);
    for (std::size_t i = 1; i < e.context.size() && node; ++i) {
        const std::string& c = e.context[i];
        std::string token = c.size() >= 2 ? c.substr(1, c.size() - 2) : c;  // "[name]"
        pointer += "/" + escapeToken(token);
        s = member(s, *node, token);
        if (node->is_object())
            node = node->contains(token) ? &(*node)[token] : nullptr;
        else
            node = node->is_array() && std::stoul(token) < node->size() ? &(*node)[std::stoul(token)] : nullptr;
    }
    std::string why = s && node ? expected(*s, *node) : "";
    return {pointer.empty() ? "/" : pointer, why.empty() ? e.description : why};
}

}  // namespace

int readResults(const std::string& text, const std::string& path, Json& out, std::string& error) {
    BoundedSax sax(out);
    if (!Json::sax_parse(text, &sax) || sax.fault_.status) {
        out = Json();
        error = path + ": " + sax.fault_.pointer + ": " + sax.fault_.why;
        return sax.fault_.status ? sax.fault_.status : kForeign;
    }
    if (!out.is_object()) {
        error = path + " is not a JSON object";
        return kForeign;
    }
    if (!out.contains("tool") || out["tool"] != "quillmere-measure") {
        error = path + " was not written by quillmere-measure (no \"tool\": \"quillmere-measure\")";
        return kForeign;
    }
    const Json& version = out.contains("schema_version") ? out["schema_version"] : Json();
    if (!version.is_number_integer() || version.get<long long>() != kSchemaVersion) {
        error = path +
                (version.is_null() ? ": /schema_version: missing (written by an older quillmere-measure)"
                                   : ": /schema_version: " + printable(version.dump())) +
                "; this quillmere-measure reads version " + std::to_string(kSchemaVersion) + ": measure again";
        return kUnknownVersion;
    }
    auto [pointer, why] = firstFault(Plain(out));
    if (pointer.empty()) return 0;
    error = path + ": " + pointer + ": " + why + " (docs/results.schema.json)";
    return kMalformed;
}

}  // namespace measure
