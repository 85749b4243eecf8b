// The comparison page: report folders read back, figures side by side with differences,
// changed verdicts, crops and difference images between runs (no script, no network).
#include "measure/compare.h"

#include "measure/metrics.h"
#include "measure/report.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_WINDOWS_UTF8
#include <stb/stb_image.h>
#define STBIW_WINDOWS_UTF8
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace measure {
namespace {

namespace fs = std::filesystem;

// Fields of the results that the page shows in its own places, not among the section figures.
const std::set<std::string> kShownElsewhere = {"schema_version", "tool",    "version", "renderer", "vendor",
                                               "gl_version",     "summary", "notes",   "captures"};

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '\'': out += "&#39;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// A text field of the results, empty when absent.
std::string text(const Json& j, const char* key) {
    return j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
}

// A figure for a table cell: integers as they are, other numbers to four decimals, null (an
// infinite PSNR) as infinity.
std::string cell(const Json& v) {
    char out[64];
    if (v.is_number_integer()) return std::to_string(v.get<long long>());
    if (v.is_number()) {
        std::snprintf(out, sizeof out, "%.4f", v.get<double>());
        return out;
    }
    if (v.is_null()) return "&infin;";
    if (v.is_boolean()) return v.get<bool>() ? "yes" : "no";
    if (v.is_string()) return escape(v.get<std::string>());
    if (v.is_array() && std::all_of(v.begin(), v.end(), [](const Json& e) { return e.is_primitive(); })) {
        std::string joined;
        for (const Json& e : v) joined += (joined.empty() ? "" : ", ") + cell(e);
        return joined;
    }
    return escape(v.dump());
}

// The difference b - a as the page shows it, and its class; empty when it has no meaning.
std::pair<std::string, std::string> difference(const Json& a, const Json& b) {
    if (!a.is_number() || !b.is_number()) return {"", ""};
    char out[64];
    double d = b.get<double>() - a.get<double>();
    if (a.is_number_integer() && b.is_number_integer())
        std::snprintf(out, sizeof out, "%+lld", b.get<long long>() - a.get<long long>());
    else
        std::snprintf(out, sizeof out, "%+.4f", d);
    return {out, d == 0 ? "same" : d > 0 ? "up" : "down"};
}

// Scalar leaves of a section as dotted paths; arrays of named objects by name, other arrays whole.
void flatten(const Json& node, const std::string& path, std::vector<std::pair<std::string, Json>>& out) {
    if (node.is_object()) {
        for (auto it = node.begin(); it != node.end(); ++it)
            flatten(it.value(), path.empty() ? it.key() : path + "." + it.key(), out);
    } else if (node.is_array() && !node.empty() && std::all_of(node.begin(), node.end(), [](const Json& e) {
                   return e.is_object() && e.contains("name") && e["name"].is_string();
               })) {
        for (const Json& e : node) {
            Json rest = e;
            rest.erase("name");
            flatten(rest, path + "." + e["name"].get<std::string>(), out);
        }
    } else {
        out.emplace_back(path, node);
    }
}

// Every run's captures by name, and the union of names in the order first met.
struct Modes {
    std::vector<std::string> names;
    std::vector<std::map<std::string, const Json*>> byRun;
};

Modes modesOf(const std::vector<Run>& runs) {
    Modes m;
    for (const Run& run : runs) {
        std::map<std::string, const Json*> captures;
        for (const Json& c : run.results["captures"]) {
            std::string name = text(c, "name");
            captures[name] = &c;
            if (std::find(m.names.begin(), m.names.end(), name) == m.names.end()) m.names.push_back(name);
        }
        m.byRun.push_back(std::move(captures));
    }
    return m;
}

// An 8-bit RGB PNG, or an empty image.
Image readPng(const std::string& path) {
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 3);
    Image image;
    if (!data) return image;
    image = Image(w, h);
    std::copy(data, data + image.rgb.size(), image.rgb.begin());
    stbi_image_free(data);
    return image;
}

// A file name safe in a URL and on every file system.
std::string safe(const std::string& name) {
    std::string out;
    for (char c : name) out += std::isalnum((unsigned char)c) || c == '-' || c == '_' || c == '.' ? c : '_';
    return out;
}

}  // namespace

int loadRun(const std::string& dir, Run& run, std::string& error) {
    std::error_code ec;
    run.dir = dir;
    if (!fs::is_directory(dir, ec)) {
        error = dir + ": " + (fs::exists(dir, ec) ? "not a folder" : "no such folder");
        return kNoReport;
    }
    std::string path = (fs::path(dir) / "results.json").string();
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = dir + " holds no results.json: not a quillmere-measure report folder";
        return kNoReport;
    }
    run.results = Json::parse(file, nullptr, false);
    if (run.results.is_discarded() || !run.results.is_object()) {
        error = path + " is not JSON";
        return kForeign;
    }
    if (text(run.results, "tool") != "quillmere-measure") {
        error = path + " was not written by quillmere-measure (no \"tool\": \"quillmere-measure\")";
        return kForeign;
    }
    const Json& version = run.results.contains("schema_version") ? run.results["schema_version"] : Json();
    if (!version.is_number_integer() || version.get<int>() != kSchemaVersion) {
        error = path +
                (version.is_null() ? " has no schema_version (written by an older quillmere-measure)"
                                   : " has schema_version " + version.dump()) +
                "; this quillmere-measure reads version " + std::to_string(kSchemaVersion) + ": measure again";
        return kUnknownVersion;
    }
    const Json& size = run.results.contains("size") ? run.results["size"] : Json();
    if (!run.results.contains("captures") || !run.results["captures"].is_array() || !size.is_object() ||
        !size.contains("width") || !size.contains("height")) {
        error = path + " lacks its captures or size";
        return kForeign;
    }
    return 0;
}

int prepareRuns(std::vector<Run>& runs, std::string& error) {
    std::set<std::string> used;
    for (Run& run : runs) {
        fs::path p(run.dir);
        std::string base = (p.filename().empty() ? p.parent_path().filename() : p.filename()).string();
        if (base.empty() || base == "." || base == "..")
            base = fs::absolute(p).lexically_normal().parent_path().filename().string();
        if (base.empty()) base = "run";
        run.name = base;
        for (int n = 2; used.count(run.name); ++n) run.name = base + "-" + std::to_string(n);
        used.insert(run.name);
    }
    for (const Run& run : runs) {
        const Json &a = runs[0].results["size"], &b = run.results["size"];
        if (a != b) {
            error = "the runs differ in size: " + runs[0].name + " is " + a["width"].dump() + "x" + a["height"].dump() +
                    ", " + run.name + " " + b["width"].dump() + "x" + b["height"].dump() +
                    "; compare runs made with the same --size";
            return kSizesDiffer;
        }
    }
    return 0;
}

bool writeComparison(const std::vector<Run>& runs, const std::vector<Suite>& suites, const std::string& out,
                     std::string& error) {
    std::error_code ec;
    fs::create_directories(out, ec);
    auto fail = [&](const std::string& what) {
        error = "cannot write " + (fs::path(out) / what).string();
        return false;
    };
    const Modes modes = modesOf(runs);
    const std::size_t n = runs.size();
    std::ostringstream h;
    h << "<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'><title>quillmere-measure comparison</title>\n"
      << "<style>body{font-family:sans-serif;margin:16px}table{border-collapse:collapse;margin:6px 0}"
      << "td,th{border:1px solid #bbb;padding:3px 6px;text-align:right;vertical-align:top}"
      << "td:first-child,th:first-child,td.text{text-align:left}td:first-child{white-space:nowrap}span.summary{font-"
         "size:15px;background:#eef;"
      << "display:block;max-width:520px}td.diff{color:#555;background:#f6f6f6}td.same{color:#aaa}"
      << "td.up{background:#fde8e8}td.down{background:#e6f4e6}img.px{image-rendering:pixelated;border:1px solid #999}"
      << "figure{display:inline-block;margin:3px}figcaption{font-size:12px}.changes{background:#fff4d6;"
      << "padding:6px 12px;border-left:4px solid #e0a000}.failed{color:#b00}.held{color:#070}"
      << "img.heat{width:" << std::min(runs[0].results["size"]["width"].get<int>(), 410)
      << "px}</style></head><body>\n";
    h << "<h1>" << n << " runs of quillmere-measure side by side</h1>\n";

    // The runs and what each driver said of itself.
    h << "<table id='runs'><thead><tr><th></th>";
    for (const Run& run : runs) h << "<th>" << escape(run.name) << "</th>";
    h << "</tr></thead><tbody>\n";
    auto row = [&](const char* label, auto value) {
        h << "<tr><td>" << label << "</td>";
        for (const Run& run : runs) h << "<td class='text'>" << value(run) << "</td>";
        h << "</tr>\n";
    };
    row("folder", [](const Run& r) { return escape(r.dir); });
    row("GL_RENDERER", [](const Run& r) { return escape(text(r.results, "renderer")); });
    row("GL_VENDOR", [](const Run& r) { return escape(text(r.results, "vendor")); });
    row("GL_VERSION", [](const Run& r) { return escape(text(r.results, "gl_version")); });
    row("quillmere-measure", [](const Run& r) { return escape(text(r.results, "version")); });
    row("summary",
        [](const Run& r) { return "<span class='summary'>" + escape(text(r.results, "summary")) + "</span>"; });
    h << "</tbody></table>\n";
    for (std::size_t i = 0; i < n; ++i)
        if (runs[i].results.contains("notes"))
            for (const Json& note : runs[i].results["notes"])
                if (note.is_string())
                    h << "<p><b>Note (" << escape(runs[i].name) << "):</b> " << escape(note.get<std::string>())
                      << "</p>\n";

    // What changed between the first run and each other: verdicts, modes, sample counts.
    std::vector<std::string> changes;
    std::vector<std::vector<std::pair<std::string, Json>>> sections(n);
    for (std::size_t i = 0; i < n; ++i)
        for (auto it = runs[i].results.begin(); it != runs[i].results.end(); ++it)
            if (!kShownElsewhere.count(it.key())) flatten(it.value(), it.key(), sections[i]);
    std::vector<std::string> sectionPaths;
    std::vector<std::map<std::string, Json>> sectionByRun(n);
    for (std::size_t i = 0; i < n; ++i)
        for (const auto& [path, value] : sections[i]) {
            if (!sectionByRun[i].count(path) &&
                std::find(sectionPaths.begin(), sectionPaths.end(), path) == sectionPaths.end())
                sectionPaths.push_back(path);
            sectionByRun[i][path] = value;
        }
    for (std::size_t i = 1; i < n; ++i) {
        std::string from = escape(runs[0].name), to = escape(runs[i].name);
        for (const std::string& path : sectionPaths) {
            bool verdict = path.size() >= 7 && path.compare(path.size() - 7, 7, "verdict") == 0;
            auto a = sectionByRun[0].find(path), b = sectionByRun[i].find(path);
            if (verdict && a != sectionByRun[0].end() && b != sectionByRun[i].end() && a->second != b->second)
                changes.push_back("<b>" + escape(path) + "</b>: " + from + " &ldquo;" + cell(a->second) + "&rdquo;, " +
                                  to + " &ldquo;" + cell(b->second) + "&rdquo;");
        }
        for (const std::string& mode : modes.names) {
            auto a = modes.byRun[0].find(mode), b = modes.byRun[i].find(mode);
            bool inA = a != modes.byRun[0].end(), inB = b != modes.byRun[i].end();
            if (inA != inB) {
                changes.push_back("<b>" + escape(mode) + "</b> measured on " + (inA ? from : to) + ", not on " +
                                  (inA ? to : from));
                continue;
            }
            for (const char* key : {"granted", "effective_samples"})
                if (a->second->contains(key) && b->second->contains(key) && (*a->second)[key] != (*b->second)[key])
                    changes.push_back("<b>" + escape(mode) + "</b> " + key + ": " + from + " " +
                                      (*a->second)[key].dump() + ", " + to + " " + (*b->second)[key].dump());
        }
    }
    h << "<h2>What changed</h2>\n<div class='changes' id='changes'>";
    if (changes.empty()) h << "<p>No verdict, mode or sample count differs between the runs.</p>";
    for (const std::string& c : changes) h << "<p>" << c << "</p>";
    h << "</div>\n";

    if (!suites.empty()) {
        h << "<h2>Expectations</h2>\n<table id='expectations'><thead><tr><th>expectation</th>";
        for (const Suite& s : suites) h << "<th>" << escape(s.name) << "</th>";
        h << "</tr></thead><tbody>\n";
        for (std::size_t e = 0; e < suites[0].outcomes.size(); ++e) {
            h << "<tr><td>" << escape(suites[0].outcomes[e].expectation->text) << "</td>";
            for (const Suite& s : suites) {
                const Outcome& o = s.outcomes[e];
                h << "<td class='text " << (o.held ? "held" : "failed") << "'>" << (o.held ? "held" : "FAILED") << ": "
                  << escape(o.message) << "</td>";
            }
            h << "</tr>\n";
        }
        h << "</tbody></table>\n";
    }

    // Every figure of every capture: a row per mode, a column per run and per difference.
    std::vector<std::string> figures;
    for (const auto& captures : modes.byRun)
        for (const auto& [name, c] : captures)
            for (auto it = c->begin(); it != c->end(); ++it)
                if ((it.value().is_number() || it.value().is_null()) && it.key() != "name" && it.key() != "kind" &&
                    std::find(figures.begin(), figures.end(), it.key()) == figures.end())
                    figures.push_back(it.key());
    // The figures a reader compares first lead; the rest follow in the order met.
    const char* leading[] = {"effective_samples", "edge_rmse", "interior_rmse", "centre_interior_rmse", "ssim", "psnr"};
    auto rest = std::stable_partition(figures.begin(), figures.end(), [&](const std::string& f) {
        return std::find(std::begin(leading), std::end(leading), f) != std::end(leading);
    });
    std::stable_sort(figures.begin(), rest, [&](const std::string& a, const std::string& b) {
        return std::find(std::begin(leading), std::end(leading), a) <
               std::find(std::begin(leading), std::end(leading), b);
    });
    h << "<h2>Figures per mode</h2>\n<p>&Delta;: the run's figure minus " << escape(runs[0].name)
      << "'s. RMSE figures in 8-bit levels against each run's own reference.</p>\n";
    h << "<div style='overflow-x:auto'><table id='figures'><thead><tr><th rowspan='2'>mode</th>";
    for (const std::string& f : figures) h << "<th colspan='" << 2 * n - 1 << "'>" << escape(f) << "</th>";
    h << "</tr><tr>";
    for (std::size_t f = 0; f < figures.size(); ++f) {
        for (const Run& run : runs) h << "<th>" << escape(run.name) << "</th>";
        for (std::size_t i = 1; i < n; ++i) h << "<th>&Delta; " << escape(runs[i].name) << "</th>";
    }
    h << "</tr></thead><tbody>\n";
    for (const std::string& mode : modes.names) {
        h << "<tr data-mode='" << escape(mode) << "'><td>" << escape(mode) << "</td>";
        for (const std::string& f : figures) {
            std::vector<const Json*> values(n, nullptr);
            for (std::size_t i = 0; i < n; ++i) {
                auto c = modes.byRun[i].find(mode);
                if (c != modes.byRun[i].end() && c->second->contains(f)) values[i] = &(*c->second)[f];
                h << "<td data-figure='" << escape(f) << "' data-run='" << i << "'>"
                  << (values[i] ? cell(*values[i]) : "&ndash;") << "</td>";
            }
            for (std::size_t i = 1; i < n; ++i) {
                auto [d, cls] = values[0] && values[i] ? difference(*values[0], *values[i])
                                                       : std::pair<std::string, std::string>{"", ""};
                h << "<td class='diff " << cls << "' data-figure='" << escape(f) << "' data-diff='" << i << "'>" << d
                  << "</td>";
            }
        }
        h << "</tr>\n";
    }
    h << "</tbody></table></div>\n";

    // Every other figure of the results, by its path, as --expect names it.
    h << "<h2>Other figures</h2>\n<table id='sections'><thead><tr><th>figure</th>";
    for (const Run& run : runs) h << "<th>" << escape(run.name) << "</th>";
    for (std::size_t i = 1; i < n; ++i) h << "<th>&Delta; " << escape(runs[i].name) << "</th>";
    h << "</tr></thead><tbody>\n";
    for (const std::string& path : sectionPaths) {
        h << "<tr><td>" << escape(path) << "</td>";
        for (std::size_t i = 0; i < n; ++i) {
            auto v = sectionByRun[i].find(path);
            h << "<td class='text'>" << (v != sectionByRun[i].end() ? cell(v->second) : "&ndash;") << "</td>";
        }
        for (std::size_t i = 1; i < n; ++i) {
            auto a = sectionByRun[0].find(path), b = sectionByRun[i].find(path);
            auto [d, cls] = a != sectionByRun[0].end() && b != sectionByRun[i].end()
                                ? difference(a->second, b->second)
                                : std::pair<std::string, std::string>{"", ""};
            h << "<td class='diff " << cls << "'>" << d << "</td>";
        }
        h << "</tr>\n";
    }
    h << "</tbody></table>\n";

    // Crops: every spot the first run's report has, a row of runs per mode.
    std::vector<std::string> spots;
    const std::string prefix = "crop-reference-";
    for (const auto& entry : fs::directory_iterator(runs[0].dir, ec)) {
        std::string file = entry.path().filename().string();
        if (file.rfind(prefix, 0) == 0 && file.size() > prefix.size() + 4 && file.substr(file.size() - 4) == ".png")
            spots.push_back(file.substr(prefix.size(), file.size() - prefix.size() - 4));
    }
    std::sort(spots.begin(), spots.end());
    std::vector<std::string> cropModes = {"reference"};
    cropModes.insert(cropModes.end(), modes.names.begin(), modes.names.end());
    h << "<h2>Magnified crops side by side</h2>\n";
    for (const std::string& spot : spots) {
        h << "<h3>" << escape(spot) << "</h3>\n<table class='crops'>";
        for (const std::string& mode : cropModes) {
            h << "<tr><td>" << escape(mode) << "</td><td class='text'>";
            for (std::size_t i = 0; i < n; ++i) {
                fs::path from = fs::path(runs[i].dir) / ("crop-" + mode + "-" + spot + ".png");
                std::string to = "r" + std::to_string(i) + "-crop-" + safe(mode) + "-" + safe(spot) + ".png";
                h << "<figure>";
                if (fs::exists(from, ec)) {
                    fs::copy_file(from, fs::path(out) / to, fs::copy_options::overwrite_existing, ec);
                    if (ec) return fail(to);
                    h << "<img class='px' src='" << to << "' width='96' height='96' alt='" << escape(mode) << " "
                      << escape(spot) << " on " << escape(runs[i].name) << "'>";
                } else {
                    h << "<div style='width:96px;height:96px'>not measured</div>";
                }
                h << "<figcaption>" << escape(runs[i].name) << "</figcaption></figure>";
            }
            h << "</td></tr>\n";
        }
        h << "</table>\n";
    }

    // Each mode's whole picture on every later run against the first.
    h << "<h2>Differences between runs</h2>\n<p>Largest channel difference from " << escape(runs[0].name)
      << "'s picture of the same mode: black none, red 32 levels, yellow 64 or more.</p>\n<table id='between'>";
    for (const std::string& mode : cropModes) {
        std::string file = mode + ".png";
        Image first = readPng((fs::path(runs[0].dir) / file).string());
        h << "<tr><td>" << escape(mode) << "</td><td class='text'>";
        for (std::size_t i = 1; i < n; ++i) {
            Image other = readPng((fs::path(runs[i].dir) / file).string());
            h << "<figure>";
            if (first.pixels() && other.width == first.width && other.height == first.height) {
                std::string to = "between-" + safe(mode) + "-r0-r" + std::to_string(i) + ".png";
                Image heat = heatMap(first, other);
                if (!stbi_write_png((fs::path(out) / to).string().c_str(), heat.width, heat.height, 3, heat.rgb.data(),
                                    heat.width * 3))
                    return fail(to);
                char rms[64];
                std::snprintf(rms, sizeof rms, "%.2f", rmse(first, other));
                h << "<img class='heat' src='" << to << "' alt='" << escape(mode) << ": " << escape(runs[0].name)
                  << " against " << escape(runs[i].name) << "'><figcaption>" << escape(runs[i].name) << " against "
                  << escape(runs[0].name) << ": RMSE " << rms << "</figcaption>";
            } else {
                h << "<figcaption>" << escape(runs[i].name) << ": not in both runs</figcaption>";
            }
            h << "</figure>";
        }
        h << "</td></tr>\n";
    }
    h << "</table>\n</body></html>\n";
    std::ofstream page(fs::path(out) / "index.html", std::ios::binary);
    page << h.str();
    page.close();
    if (page.fail()) return fail("index.html");
    return true;
}

}  // namespace measure
