// The comparison page: report folders read back, figures side by side with differences,
// changed verdicts, crops and difference images between runs (no script, no network).
#include "measure/compare/compare.h"

#include "measure/core/metrics.h"
#include "measure/report/contents.h"
#include "measure/report/files.h"
#include "measure/report/flip.h"
#include "measure/report/numbers.h"
#include "measure/report/png.h"
#include "measure/report/report.h"

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

// A text field of the results, empty when absent.
std::string text(const Json& j, const char* key) {
    return j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
}

// A figure for a table cell: integers as they are, other numbers to four decimals, null (a
// figure that is not finite, such as an identical picture's PSNR) as the report's dash.
std::string cell(const Json& v) {
    char out[64];
    if (v.is_number_integer()) return std::to_string(v.get<long long>());
    if (v.is_number()) {
        std::snprintf(out, sizeof out, "%.4f", v.get<double>());
        return out;
    }
    if (v.is_null()) return kNoFigure;
    if (v.is_boolean()) return v.get<bool>() ? "yes" : "no";
    if (v.is_string()) return escapeMarkup(v.get<std::string>());
    if (v.is_array() && std::all_of(v.begin(), v.end(), [](const Json& e) { return e.is_primitive(); })) {
        std::string joined;
        for (const Json& e : v) joined += (joined.empty() ? "" : ", ") + cell(e);
        return joined;
    }
    return escapeMarkup(v.dump());
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

// A file name safe in a URL and on every file system.
std::string safe(const std::string& name) {
    std::string out;
    for (char c : name) out += std::isalnum((unsigned char)c) || c == '-' || c == '_' || c == '.' ? c : '_';
    return out;
}

// The comparison page, section by section, into one stream; images beside it in `out`.
class Page {
public:
    Page(const std::vector<Run>& runs, const std::string& out) : runs_(runs), out_(out), modes_(modesOf(runs)) {
        for (const Run& run : runs) {
            std::vector<std::pair<std::string, Json>> leaves;
            for (auto it = run.results.begin(); it != run.results.end(); ++it)
                if (!kShownElsewhere.count(it.key())) flatten(it.value(), it.key(), leaves);
            std::map<std::string, Json> byPath;
            for (auto& [path, value] : leaves) {
                if (std::find(paths_.begin(), paths_.end(), path) == paths_.end()) paths_.push_back(path);
                byPath[path] = std::move(value);
            }
            sections_.push_back(std::move(byPath));
        }
        modesWithReference_ = {"reference"};
        modesWithReference_.insert(modesWithReference_.end(), modes_.names.begin(), modes_.names.end());
    }

    // Writes OUT/index.html and its images; false with the file that failed.
    bool write(const std::vector<Suite>& suites, std::string& failed) {
        std::vector<PageSection> sections;
        auto section = [&](const char* id, const char* title) { sections.push_back({id, title, take()}); };
        runsTable();
        section("section-runs", "The runs");
        changes();
        section("section-changes", "What changed");
        if (!presentation(failed)) return false;
        section("section-presentation", "What presentation did");
        if (!suites.empty()) expectations(suites);
        section("section-expectations", "Expectations");
        figures();
        section("section-figures", "Figures per mode");
        otherFigures();
        section("section-other-figures", "Other figures");
        if (!crops(failed)) return false;
        section("section-crops", "Magnified crops side by side");
        sections.push_back({"section-flip", "Flip between two crops", flipSection()});
        if (!between(failed)) return false;
        section("section-between", "Differences between runs");
        header(flipStyle(flip_));
        h_ << withContents(sections) << "</body></html>\n";
        std::ofstream page(fs::path(out_) / files::kPage, std::ios::binary);
        page << h_.str();
        page.close();
        failed = files::kPage;
        return !page.fail();
    }

private:
    // What the sections wrote so far, taken off the stream for the next.
    std::string take() {
        std::string written = h_.str();
        h_.str("");
        return written;
    }

    void header(const std::string& style) {
        h_ << "<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'><title>quillmere-measure "
              "comparison</title>\n<style>body{font-family:sans-serif;margin:16px}table{border-collapse:collapse;"
              "margin:6px 0}td,th{border:1px solid #bbb;padding:3px 6px;text-align:right;vertical-align:top}"
              "td:first-child,th:first-child,td.text{text-align:left}td:first-child{white-space:nowrap}"
              "span.summary{font-size:15px;background:#eef;display:block;max-width:520px}"
              "td.diff{color:#555;background:#f6f6f6}td.same{color:#aaa}td.up{background:#fde8e8}"
              "td.down{background:#e6f4e6}img.px{image-rendering:pixelated;border:1px solid #999}"
              "figure{display:inline-block;margin:3px}figcaption{font-size:12px}.changes{background:#fff4d6;"
              "padding:6px 12px;border-left:4px solid #e0a000}.failed{color:#b00}.held{color:#070}img.heat{width:"
           << std::min(runs_[0].results["size"]["width"].get<int>(), 410) << "px}nav ol{columns:2;max-width:700px}\n"
           << style << "</style></head><body>\n";
        h_ << "<h1>" << runs_.size() << " runs of quillmere-measure side by side</h1>\n";
    }

    // The crops copied beside the page, two at a time, flipped in place: A is the first
    // run's first capture and B the same capture on the second run when the page opens.
    std::string flipSection() {
        if (flip_.pictures.empty()) return "";
        const std::size_t perRun = modesWithReference_.size(), mode = std::min<std::size_t>(1, perRun - 1);
        flip_.first = mode;
        flip_.second = runs_.size() > 1 ? perRun + mode : std::min<std::size_t>(1, flip_.pictures.size() - 1);
        return "<h2>Flip between two crops</h2>\n<p>Choose a spot and two pictures, A and B, of any run and mode or "
               "reference; each click on the picture shows the other at the same place, magnified 16&times;.</p>\n" +
               flipHtml(flip_);
    }

    // A header cell per run, then one per later run's difference.
    void runHeads(bool differences) {
        for (const Run& run : runs_) h_ << "<th>" << escapeMarkup(run.name) << "</th>";
        for (std::size_t i = 1; differences && i < runs_.size(); ++i)
            h_ << "<th>&Delta; " << escapeMarkup(runs_[i].name) << "</th>";
    }

    // The runs and what each driver said of itself.
    void runsTable() {
        h_ << "<table id='runs'><thead><tr><th></th>";
        runHeads(false);
        h_ << "</tr></thead><tbody>\n";
        auto row = [&](const char* label, auto value) {
            h_ << "<tr><td>" << label << "</td>";
            for (const Run& run : runs_) h_ << "<td class='text'>" << value(run) << "</td>";
            h_ << "</tr>\n";
        };
        row("folder", [](const Run& r) { return escapeMarkup(r.dir); });
        row("GL_RENDERER", [](const Run& r) { return escapeMarkup(text(r.results, "renderer")); });
        row("GL_VENDOR", [](const Run& r) { return escapeMarkup(text(r.results, "vendor")); });
        row("GL_VERSION", [](const Run& r) { return escapeMarkup(text(r.results, "gl_version")); });
        row("quillmere-measure", [](const Run& r) { return escapeMarkup(text(r.results, "version")); });
        row("summary", [](const Run& r) {
            return "<span class='summary'>" + escapeMarkup(text(r.results, "summary")) + "</span>";
        });
        h_ << "</tbody></table>\n";
        for (const Run& run : runs_)
            if (run.results.contains("notes"))
                for (const Json& note : run.results["notes"])
                    if (note.is_string())
                        h_ << "<p><b>Note (" << escapeMarkup(run.name) << "):</b> "
                           << escapeMarkup(note.get<std::string>()) << "</p>\n";
    }

    // What changed between the first run and each other: verdicts, modes, sample counts.
    void changes() {
        std::vector<std::string> found;
        const auto& first = sections_[0];
        for (std::size_t i = 1; i < runs_.size(); ++i) {
            std::string from = escapeMarkup(runs_[0].name), to = escapeMarkup(runs_[i].name);
            for (const std::string& path : paths_) {
                bool verdict = path.size() >= 7 && path.compare(path.size() - 7, 7, "verdict") == 0;
                const auto& theirs = sections_[i];
                auto a = first.find(path), b = theirs.find(path);
                if (verdict && a != first.end() && b != theirs.end() && a->second != b->second)
                    found.push_back("<b>" + escapeMarkup(path) + "</b>: " + from + " &ldquo;" + cell(a->second) +
                                    "&rdquo;, " + to + " &ldquo;" + cell(b->second) + "&rdquo;");
            }
            for (const std::string& mode : modes_.names) {
                auto a = modes_.byRun[0].find(mode), b = modes_.byRun[i].find(mode);
                bool inA = a != modes_.byRun[0].end(), inB = b != modes_.byRun[i].end();
                if (inA != inB) {
                    found.push_back("<b>" + escapeMarkup(mode) + "</b> measured on " + (inA ? from : to) + ", not on " +
                                    (inA ? to : from));
                    continue;
                }
                for (const char* key : {"granted", "effective_samples"})
                    if (a->second->contains(key) && b->second->contains(key) && (*a->second)[key] != (*b->second)[key])
                        found.push_back("<b>" + escapeMarkup(mode) + "</b> " + key + ": " + from + " " +
                                        (*a->second)[key].dump() + ", " + to + " " + (*b->second)[key].dump());
            }
        }
        h_ << "<h2>What changed</h2>\n<div class='changes' id='changes'>";
        if (found.empty()) h_ << "<p>No verdict, mode or sample count differs between the runs.</p>";
        for (const std::string& c : found) h_ << "<p>" << c << "</p>";
        h_ << "</div>\n";
    }

    // What presentation did on each run, side by side: the verdict (a changed one called
    // out), the texture detail kept by landmark, and the change maps copied beside the page.
    bool presentation(std::string& failed) {
        auto of = [](const Run& run) {
            const Json presented = run.results.value("presented", Json::object());
            return presented.value("presentation", Json::object());
        };
        bool any = false;
        for (const Run& run : runs_) any = any || of(run).value("measured", false);
        if (!any) return true;
        h_ << "<h2>What presentation did</h2>\n<table id='presentation'><thead><tr><th></th>";
        runHeads(false);
        h_ << "</tr></thead><tbody>\n<tr><td>verdict</td>";
        const std::string first = runs_[0].results.value("presented", Json::object()).value("verdict", "");
        for (const Run& run : runs_) {
            const Json presented = run.results.value("presented", Json::object());
            const std::string verdict = presented.value("verdict", "");
            h_ << "<td class='text" << (verdict != first ? " changes" : "") << "'>"
               << (verdict.empty() ? std::string(kNoFigure) : escapeMarkup(presented.value("verdict_text", verdict)))
               << (verdict != first ? " <b>(changed)</b>" : "") << "</td>";
        }
        h_ << "</tr>\n";
        for (const char* landmark : {"interiors", "checkerboards", "thin_lines", "caption"}) {
            h_ << "<tr><td>detail kept: " << landmark << "</td>";
            for (const Run& run : runs_) {
                Json kept;
                for (const Json& d : of(run).value("detail", Json::array()))
                    if (d.value("landmark", "") == landmark) kept = d.value("kept", Json());
                h_ << "<td>" << cell(kept) << "</td>";
            }
            h_ << "</tr>\n";
        }
        h_ << "<tr><td>change map</td>";
        std::error_code ec;
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            const fs::path from = fs::path(runs_[i].dir) / files::kChangeMap;
            const std::string to = "r" + std::to_string(i) + "-" + files::kChangeMap;
            h_ << "<td class='text'>";
            if (fs::exists(from, ec)) {
                fs::copy_file(from, fs::path(out_) / to, fs::copy_options::overwrite_existing, ec);
                if (ec) return failed = to, false;
                h_ << "<img class='heat' src='" << to << "' alt='where presentation changed the picture on "
                   << escapeMarkup(runs_[i].name) << "'>";
            } else {
                h_ << kNoFigure;
            }
            h_ << "</td>";
        }
        h_ << "</tr>\n</tbody></table>\n";
        return true;
    }

    // Each expectation's outcome on each run.
    void expectations(const std::vector<Suite>& suites) {
        h_ << "<h2>Expectations</h2>\n<table id='expectations'><thead><tr><th>expectation</th>";
        for (const Suite& s : suites) h_ << "<th>" << escapeMarkup(s.name) << "</th>";
        h_ << "</tr></thead><tbody>\n";
        for (std::size_t e = 0; e < suites[0].outcomes.size(); ++e) {
            h_ << "<tr><td>" << escapeMarkup(suites[0].outcomes[e].expectation->text) << "</td>";
            for (const Suite& s : suites) {
                const Outcome& o = s.outcomes[e];
                h_ << "<td class='text " << (o.held ? "held" : "failed") << "'>" << (o.held ? "held" : "FAILED") << ": "
                   << escapeMarkup(o.message) << "</td>";
            }
            h_ << "</tr>\n";
        }
        h_ << "</tbody></table>\n";
    }

    // Every figure of every capture: a row per mode, a column per run and per difference.
    void figures() {
        std::vector<std::string> names;
        for (const auto& captures : modes_.byRun)
            for (const auto& [mode, c] : captures)
                for (auto it = c->begin(); it != c->end(); ++it)
                    if ((it.value().is_number() || it.value().is_null()) &&
                        std::find(names.begin(), names.end(), it.key()) == names.end())
                        names.push_back(it.key());
        // The figures a reader compares first lead; the rest follow in the order met.
        const char* leading[] = {"effective_samples",    "edge_rmse", "interior_rmse",
                                 "centre_interior_rmse", "ssim",      "psnr"};
        auto rank = [&](const std::string& f) { return std::find(std::begin(leading), std::end(leading), f); };
        auto rest = std::stable_partition(names.begin(), names.end(),
                                          [&](const std::string& f) { return rank(f) != std::end(leading); });
        std::stable_sort(names.begin(), rest,
                         [&](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
        const std::size_t n = runs_.size();
        h_ << "<h2>Figures per mode</h2>\n<p>&Delta;: the run's figure minus " << escapeMarkup(runs_[0].name)
           << "'s. RMSE figures in 8-bit levels against each run's own reference.</p>\n";
        h_ << "<div style='overflow-x:auto'><table id='figures'><thead><tr><th rowspan='2'>mode</th>";
        for (const std::string& f : names) h_ << "<th colspan='" << 2 * n - 1 << "'>" << escapeMarkup(f) << "</th>";
        h_ << "</tr><tr>";
        for (std::size_t f = 0; f < names.size(); ++f) runHeads(true);
        h_ << "</tr></thead><tbody>\n";
        for (const std::string& mode : modes_.names) {
            h_ << "<tr data-mode='" << escapeMarkup(mode) << "'><td>" << escapeMarkup(mode) << "</td>";
            for (const std::string& f : names) {
                std::vector<const Json*> values(n, nullptr);
                for (std::size_t i = 0; i < n; ++i) {
                    auto c = modes_.byRun[i].find(mode);
                    if (c != modes_.byRun[i].end() && c->second->contains(f)) values[i] = &(*c->second)[f];
                    h_ << "<td data-figure='" << escapeMarkup(f) << "' data-run='" << i << "'>"
                       << (values[i] ? cell(*values[i]) : kNoFigure) << "</td>";
                }
                for (std::size_t i = 1; i < n; ++i) {
                    auto [d, cls] = values[0] && values[i] ? difference(*values[0], *values[i])
                                                           : std::pair<std::string, std::string>{};
                    h_ << "<td class='diff " << cls << "' data-figure='" << escapeMarkup(f) << "' data-diff='" << i
                       << "'>" << d << "</td>";
                }
            }
            h_ << "</tr>\n";
        }
        h_ << "</tbody></table></div>\n";
    }

    // Every other figure of the results, by its path, as --expect names it.
    void otherFigures() {
        h_ << "<h2>Other figures</h2>\n<table id='sections'><thead><tr><th>figure</th>";
        runHeads(true);
        h_ << "</tr></thead><tbody>\n";
        for (const std::string& path : paths_) {
            h_ << "<tr><td>" << escapeMarkup(path) << "</td>";
            for (const auto& section : sections_) {
                auto v = section.find(path);
                h_ << "<td class='text'>" << (v != section.end() ? cell(v->second) : kNoFigure) << "</td>";
            }
            for (std::size_t i = 1; i < runs_.size(); ++i) {
                auto a = sections_[0].find(path), b = sections_[i].find(path);
                auto [d, cls] = a != sections_[0].end() && b != sections_[i].end()
                                    ? difference(a->second, b->second)
                                    : std::pair<std::string, std::string>{};
                h_ << "<td class='diff " << cls << "'>" << d << "</td>";
            }
            h_ << "</tr>\n";
        }
        h_ << "</tbody></table>\n";
    }

    // Every spot the first run's report has crops of, a row of runs per mode; copied beside the page.
    bool crops(std::string& failed) {
        std::error_code ec;
        std::vector<std::string> spots;
        for (const char* spot : files::kCropSpots)
            if (fs::exists(fs::path(runs_[0].dir) / files::crop("reference", spot), ec)) spots.push_back(spot);
        std::sort(spots.begin(), spots.end());
        flip_ = Flip{};
        flip_.id = "flip";
        flip_.spots = spots;
        for (std::size_t i = 0; i < runs_.size(); ++i)
            for (const std::string& mode : modesWithReference_)
                flip_.pictures.push_back({runs_[i].name, mode, std::vector<std::string>(spots.size())});
        if (spots.empty()) flip_.pictures.clear();
        h_ << "<h2>Magnified crops side by side</h2>\n";
        for (std::size_t j = 0; j < spots.size(); ++j) {
            const std::string& spot = spots[j];
            h_ << "<h3>" << escapeMarkup(spot) << "</h3>\n<table class='crops'>";
            for (std::size_t m = 0; m < modesWithReference_.size(); ++m) {
                const std::string& mode = modesWithReference_[m];
                h_ << "<tr><td>" << escapeMarkup(mode) << "</td><td class='text'>";
                for (std::size_t i = 0; i < runs_.size(); ++i) {
                    fs::path from = fs::path(runs_[i].dir) / files::crop(mode, spot);
                    std::string to = "r" + std::to_string(i) + "-crop-" + safe(mode) + "-" + safe(spot) + ".png";
                    h_ << "<figure>";
                    if (fs::exists(from, ec)) {
                        fs::copy_file(from, fs::path(out_) / to, fs::copy_options::overwrite_existing, ec);
                        if (ec) {
                            failed = to;
                            return false;
                        }
                        flip_.pictures[i * modesWithReference_.size() + m].files[j] = to;
                        h_ << "<img class='px' src='" << to << "' width='96' height='96' alt='" << escapeMarkup(mode)
                           << " " << escapeMarkup(spot) << " on " << escapeMarkup(runs_[i].name) << "'>";
                    } else {
                        h_ << "<div style='width:96px;height:96px'>not measured</div>";
                    }
                    h_ << "<figcaption>" << escapeMarkup(runs_[i].name) << "</figcaption></figure>";
                }
                h_ << "</td></tr>\n";
            }
            h_ << "</table>\n";
        }
        return true;
    }

    // Each mode's whole picture on every later run against the first, as a heat map.
    bool between(std::string& failed) {
        h_ << "<h2>Differences between runs</h2>\n<p>Largest channel difference from " << escapeMarkup(runs_[0].name)
           << "'s picture of the same mode: black none, red 32 levels, yellow 64 or more.</p>\n<table id='between'>";
        for (const std::string& mode : modesWithReference_) {
            Image first = readPng((fs::path(runs_[0].dir) / files::picture(mode)).string());
            h_ << "<tr><td>" << escapeMarkup(mode) << "</td><td class='text'>";
            for (std::size_t i = 1; i < runs_.size(); ++i) {
                Image other = readPng((fs::path(runs_[i].dir) / files::picture(mode)).string());
                h_ << "<figure>";
                if (first.pixels() && other.width == first.width && other.height == first.height) {
                    std::string to = "between-" + safe(mode) + "-r0-r" + std::to_string(i) + ".png";
                    if (!writePng((fs::path(out_) / to).string(), heatMap(first, other))) {
                        failed = to;
                        return false;
                    }
                    char rms[64];
                    std::snprintf(rms, sizeof rms, "%.2f", rmse(first, other));
                    h_ << "<img class='heat' src='" << to << "' alt='" << escapeMarkup(mode) << ": "
                       << escapeMarkup(runs_[0].name) << " against " << escapeMarkup(runs_[i].name) << "'><figcaption>"
                       << escapeMarkup(runs_[i].name) << " against " << escapeMarkup(runs_[0].name) << ": RMSE " << rms
                       << "</figcaption>";
                } else {
                    h_ << "<figcaption>" << escapeMarkup(runs_[i].name) << ": not in both runs</figcaption>";
                }
                h_ << "</figure>";
            }
            h_ << "</td></tr>\n";
        }
        h_ << "</table>\n";
        return true;
    }

    const std::vector<Run>& runs_;
    const std::string out_;
    const Modes modes_;
    std::vector<std::string> modesWithReference_;
    std::vector<std::string> paths_;                     // every section figure, in the order first met
    std::vector<std::map<std::string, Json>> sections_;  // per run, by path
    Flip flip_;                                          // the copied crops, by run and mode
    std::ostringstream h_;
};

}  // namespace

int loadRun(const std::string& dir, Run& run, std::string& error) {
    std::error_code ec;
    run.dir = dir;
    if (!fs::is_directory(dir, ec)) {
        error = dir + ": " + (fs::exists(dir, ec) ? "not a folder" : "no such folder");
        return kNoReport;
    }
    std::string path = (fs::path(dir) / files::kResults).string();
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = dir + " holds no results.json: not a quillmere-measure report folder";
        return kNoReport;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return readResults(text.str(), path, run.results, error);
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
    std::string failed;
    if (!Page(runs, out).write(suites, failed)) {
        error = "cannot write " + (fs::path(out) / failed).string();
        return false;
    }
    return true;
}

std::set<std::string> reportFiles(const Json& results) {
    std::set<std::string> out = {files::kResults, files::kPage, files::kErrorPlot};
    std::vector<std::string> modes = {"reference"};
    bool window = false;
    for (const Json& c : results.value("captures", Json::array())) {
        modes.push_back(c.value("name", ""));
        out.insert(files::heatMap(modes.back()));
        window = window || c.value("kind", "") == "window";
    }
    for (const std::string& mode : modes) {
        out.insert(files::picture(mode));
        for (const char* spot : files::kCropSpots) out.insert(files::crop(mode, spot));
    }
    const Json aa = results.value("antialiasing", Json::object());
    for (const Json& p : aa.value("sample_positions", Json::array()))
        out.insert(files::samplePositions(p.value("target", "")));
    const Json filtering = results.value("filtering", Json::object());
    out.insert({files::kLodErrorPlot, files::kBlendPlot});
    if (filtering.value("measured", false)) out.insert({files::kLodRingDriver, files::kLodRingModel});
    const Json presented = results.value("presented", Json::object());
    if (window && presented.value("captured", false)) out.insert(files::kPresented);
    if (window && presented.value("compared", false)) out.insert(files::kPresentedHeatMap);
    const Json presentation = presented.value("presentation", Json::object());
    if (window && presentation.value("measured", false)) {
        out.insert(files::kGatingPlot);
        if (presentation.value("scale", Json::object()).value("same_size", false)) out.insert(files::kChangeMap);
    }
    const Json motion = results.value("motion", Json::object());
    if (motion.contains("modes")) {
        out.insert(files::kMotionPlot);
        std::vector<std::string> moving = {"reference"};
        for (const Json& m : motion["modes"]) moving.push_back(m.value("name", ""));
        for (const std::string& m : moving) out.insert({files::motionProfile(m), files::motionCrop(m)});
    }
    return out;
}

}  // namespace measure
