// quillmere-measure: draws quillmere's frame through its own renderer in every
// anti-aliasing and filtering mode the driver offers, and scores each against a
// supersampled reference.
#include "app/app.h"
#include "measure/capture.h"
#include "measure/motion_report.h"
#include "measure/report.h"
#include "platform/headless.h"
#include "render/gfx.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include <unistd.h>

#ifndef QUILLMERE_VERSION
#define QUILLMERE_VERSION "0.0.0"
#endif

namespace {

using namespace measure;

enum Exit { kWhole = 0, kNoContext = 2, kOutput = 3, kSize = 4, kNoFramebuffers = 5, kCaptureFailed = 6, kNothing = 7 };

struct Options {
    std::string size;
    std::string out = "quillmere-report";
    bool headless = false;
    std::vector<std::string> modes = {"window", "msaa", "ssaa", "filter"};
    int referenceK = 16;
    bool motion = false;
    MotionSettings drift;
};

// Seconds spent in each phase, in the order they ran.
class Phases {
public:
    void start(const std::string& name) {
        stop();
        name_ = name;
        begin_ = std::chrono::steady_clock::now();
    }
    void stop() {
        if (name_.empty()) return;
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin_).count();
        list_.emplace_back(name_, s);
        name_.clear();
    }
    const std::vector<std::pair<std::string, double>>& list() const { return list_; }

private:
    std::string name_;
    std::chrono::steady_clock::time_point begin_;
    std::vector<std::pair<std::string, double>> list_;
};

// One rewritten line on standard error while the work goes on.
void progress(const std::string& what) {
    // Redrawn in place on a terminal; a log gets one line a step.
    static const bool terminal = isatty(2);
    if (terminal)
        std::fprintf(stderr, "\r\033[K%s", what.c_str());
    else if (!what.empty())
        std::fprintf(stderr, "%s\n", what.c_str());
    std::fflush(stderr);
}

// Reads WxH, each side at least 16 pixels.
bool parseSize(const std::string& text, int& width, int& height) {
    char tail = 0;
    return std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &tail) == 2 && width >= 16 && height >= 16;
}

// Makes the output folder and proves it can be written; false with a reason.
bool prepareOutput(const std::string& dir, std::string& reason) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    std::string probe = dir + "/.quillmere-measure-probe";
    std::ofstream file(probe);
    file << "x";
    file.close();
    if (error || file.fail()) {
        reason = "cannot write to the output folder " + dir + (error ? " (" + error.message() + ")" : "");
        return false;
    }
    std::filesystem::remove(probe, error);
    return true;
}

// Scores a capture against the reference and counts its coverage levels.
void score(Capture& c, const Results& r, const std::vector<bool>& edge, const std::vector<bool>& interior,
           const std::vector<bool>& centre) {
    c.rmse = rmse(c.image, r.reference);
    c.psnr = psnr(c.rmse);
    c.ssim = ssim(c.image, r.reference);
    c.edgeRmse = rmse(c.image, r.reference, &edge);
    c.interiorRmse = rmse(c.image, r.reference, &interior);
    c.centreRmse = rmse(c.image, r.reference, &centre);
    c.rmseLinear = rmse(c.image, r.referenceLinear);
    c.levels = coverageLevels(c.coverage, edge);
    c.effective = effectiveSamples(c.levels);
}

// One line on what the driver does to the program's window.
std::string windowVerdict(const Results& r, const std::vector<bool>& interior) {
    const Capture* window = nullptr;
    for (const Capture& c : r.captures)
        if (c.kind == "window") window = &c;
    if (window == nullptr) return "not measured";
    int n = window->effective;
    if (n <= 1)
        return r.samples > 1 ? "no anti-aliasing: the pixel format reports " + std::to_string(r.samples) +
                                   " samples but the edges show one"
                             : "no anti-aliasing (one sample per pixel)";
    for (const Capture& c : r.captures)
        if (c.kind == "msaa" && c.granted == n) {
            if (rmse(window->image, c.image, &interior) < 1.0)
                return std::to_string(n) + "-sample MSAA (edges as msaa-" + std::to_string(n) +
                       ", interiors textured once per pixel)";
            return "supersampling with " + std::to_string(n) + " samples (edges as msaa-" + std::to_string(n) +
                   ", but the interiors differ from it)";
        }
    if (r.samples == n)
        return std::to_string(n) + "-sample MSAA (the pixel format has " + std::to_string(n) +
               " samples and the edges show " + std::to_string(n) + ")";
    bool sampleLike = (n & (n - 1)) == 0 || (int)std::lround(std::sqrt(n)) * (int)std::lround(std::sqrt(n)) == n;
    if (sampleLike && n <= 64)
        return "supersampling or multisampling with " + std::to_string(n) + " samples (no msaa-" + std::to_string(n) +
               " here to compare the interiors with)";
    return "a filter (" + std::to_string(window->levels.size()) +
           " coverage levels on the edges, matching no sample count)";
}

// The capture of that name, or null.
const Capture* findCapture(const Results& r, const std::string& name) {
    for (const Capture& c : r.captures)
        if (c.name == name) return &c;
    return nullptr;
}

// The report's opening sentence: the window's verdict, the counts granted, and what AA and filtering gain.
std::string summarise(const Results& r) {
    std::ostringstream s;
    s << "On " << r.renderer << ", ";
    if (r.windowAvailable)
        s << "quillmere's window gets " << r.verdict << ". ";
    else
        s << "the window was not measured (" << r.windowReason << "). ";
    std::vector<std::string> counts;
    bool msaaMeasured = false;
    for (const Capture& c : r.captures) {
        msaaMeasured = msaaMeasured || c.kind == "msaa";
        if (c.kind == "msaa" && c.granted > 0) counts.push_back(std::to_string(c.granted));
    }
    if (r.framebuffers && !msaaMeasured) {
        s << "Multisampling was not measured (--modes). ";
    } else if (r.framebuffers) {
        if (counts.empty())
            s << "The driver offers no multisampling. ";
        else {
            s << "The driver grants MSAA with ";
            for (std::size_t i = 0; i < counts.size(); ++i) s << (i ? ", " : "") << counts[i];
            s << " samples. ";
        }
    } else {
        s << "The driver has no framebuffer objects, so only window and supersampling were measured. ";
    }
    const Capture* none = findCapture(r, "msaa-0");
    const Capture* best = nullptr;
    for (const Capture& c : r.captures)
        if (c.kind == "msaa" && c.granted > 0 && (!best || c.granted > best->granted)) best = &c;
    const Capture* ssaa = nullptr;
    for (const Capture& c : r.captures)
        if (c.kind == "ssaa") ssaa = &c;
    char text[256];
    if (none && best) {
        std::snprintf(text, sizeof text, "Edge error falls from %.1f without AA to %.1f with %s", none->edgeRmse,
                      best->edgeRmse, best->name.c_str());
        s << text;
        if (ssaa) {
            std::snprintf(text, sizeof text, " and %.1f with %s", ssaa->edgeRmse, ssaa->name.c_str());
            s << text;
        }
        s << ". ";
    }
    const Capture* linear = findCapture(r, "filter-linear");
    const Capture* trilinear = findCapture(r, "filter-trilinear");
    if (linear && trilinear) {
        std::snprintf(text, sizeof text,
                      "In the minified centre the program's GL_LINEAR has error %.1f, trilinear mipmapping %.1f",
                      linear->centreRmse, trilinear->centreRmse);
        s << text;
        const Capture* aniso = nullptr;
        for (const Capture& c : r.captures)
            if (c.name.rfind("filter-aniso-", 0) == 0) aniso = &c;
        if (aniso) {
            std::snprintf(text, sizeof text, ", %s %.1f", aniso->name.c_str(), aniso->centreRmse);
            s << text;
        }
        s << ".";
    }
    return s.str();
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{
        "quillmere-measure: what the driver's anti-aliasing and texture filtering deliver for quillmere's "
        "frame, scored against a supersampled reference."};
    app.set_version_flag("--version", std::string("quillmere-measure ") + QUILLMERE_VERSION);
    app.add_option("--size", o.size, "Frame size WxH (default: quillmere's client size)");
    app.add_option("--out", o.out, "Output folder for the report")->capture_default_str();
    app.add_flag("--headless", o.headless, "Use an offscreen context (EGL), no window");
    app.add_option("--modes", o.modes, "Comma list of window,msaa,ssaa,filter")
        ->delimiter(',')
        ->check(CLI::IsMember({"window", "msaa", "ssaa", "filter"}))
        ->capture_default_str();
    app.add_option("--reference-k", o.referenceK, "The reference averages K x K sub-pixel renders")
        ->check(CLI::Range(2, 64))
        ->capture_default_str();
    app.add_flag("--motion", o.motion, "Also measure shimmer: every mode over a slow sub-pixel drift (docs/motion.md)");
    app.add_option("--motion-steps", o.drift.steps, "Steps of the drift")
        ->check(CLI::Range(2, 256))
        ->capture_default_str();
    app.add_option("--motion-k", o.drift.k, "The moving reference averages K x K renders a step")
        ->check(CLI::Range(2, 64))
        ->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    std::set<std::string> modes(o.modes.begin(), o.modes.end());

    int width = 0, height = 0;
    if (!o.size.empty() && !parseSize(o.size, width, height)) {
        std::fprintf(stderr, "quillmere-measure: --size wants WxH, each at least 16, not \"%s\"\n", o.size.c_str());
        return kSize;
    }
    std::string reason;
    if (!prepareOutput(o.out, reason)) {
        std::fprintf(stderr, "quillmere-measure: %s\n", reason.c_str());
        return kOutput;
    }

    Phases phases;
    Results r;
    r.version = QUILLMERE_VERSION;
    phases.start("context");
    // The program's own window and pixel format where there is a display; else offscreen.
    HWND window = nullptr;
    if (!o.headless) {
        window = appCreateWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
        if (window) gWindow = window;
        if (window && gfxInit(window) != 0) {
            std::fprintf(stderr, "quillmere-measure: no OpenGL context for the window\n");
            DestroyWindow(window);
            return kNoContext;
        }
        if (!window) r.windowReason = "no display to open a window on";
    } else {
        r.windowReason = "--headless: no window";
    }
    if (!window) {
        char why[256] = "";
        if (!headlessCreate(why, sizeof why)) {
            std::fprintf(stderr, "quillmere-measure: no OpenGL context: %s; %s\n", r.windowReason.c_str(), why);
            return kNoContext;
        }
        gfxInitState();
        r.headless = true;
    }
    // The scene's texture goes while its context is still current, and the renderer before
    // the window, as the program itself shuts down.
    std::optional<Scene> scene;
    auto finish = [&](int status) {
        scene.reset();
        if (window) {
            gfxShutdown();
            DestroyWindow(window);
        } else {
            gfxDeleteTestTexture();
            headlessRelease();
        }
        return status;
    };
    r.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    r.vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    r.glVersion = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    GlEntryPoints gl = loadEntryPoints();
    r.framebuffers = gl.framebuffers;

    RECT client{0, 0, 0, 0};
    if (window) GetClientRect(window, &client);
    if (o.size.empty()) {
        width = window ? client.right : 820;
        height = window ? client.bottom : 600;
    }
    r.width = width;
    r.height = height;
    GLint viewportMax[2] = {0, 0}, renderbufferMax = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewportMax);
    if (gl.framebuffers) glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbufferMax);
    if (width > viewportMax[0] || height > viewportMax[1] ||
        (gl.framebuffers && (width > renderbufferMax || height > renderbufferMax))) {
        std::fprintf(stderr,
                     "quillmere-measure: %dx%d is beyond this driver's limits (GL_MAX_VIEWPORT_DIMS %dx%d, "
                     "GL_MAX_RENDERBUFFER_SIZE %d)\n",
                     width, height, viewportMax[0], viewportMax[1], renderbufferMax);
        return finish(kSize);
    }
    if (!gl.framebuffers && window && (width > client.right || height > client.bottom)) {
        // Everything is then drawn in the window's back buffer, which holds no pixels past its client area.
        std::fprintf(stderr,
                     "quillmere-measure: without framebuffer objects --size can be at most the window's client area "
                     "%ldx%ld\n",
                     (long)client.right, (long)client.bottom);
        return finish(kSize);
    }
    if (!gl.framebuffers && !window) {
        std::fprintf(stderr, "quillmere-measure: the offscreen context has no framebuffer objects to draw into\n");
        return finish(kNoFramebuffers);
    }
    if (window) {
        glGetIntegerv(GL_SAMPLE_BUFFERS, &r.sampleBuffers);
        glGetIntegerv(GL_SAMPLES, &r.samples);
        if (width > client.right || height > client.bottom) {
            r.windowReason = "--size " + o.size + " is larger than the window's client area " +
                             std::to_string(client.right) + "x" + std::to_string(client.bottom);
        } else if (modes.count("window")) {
            r.windowAvailable = true;
        } else {
            r.windowReason = "left out by --modes";
        }
    }

    if (!r.windowAvailable && modes.size() == 1 && modes.count("window")) {
        std::fprintf(stderr, "quillmere-measure: --modes window, but %s\n", r.windowReason.c_str());
        return finish(kNothing);
    }

    // The one-sample target every supersampled render goes into; the window's back buffer
    // when there are no framebuffer objects.
    std::vector<Target> msaaTargets;
    Target single;
    phases.start("framebuffers");
    if (gl.framebuffers) {
        std::map<int, Target> byGranted;
        for (int request : sampleRequests(gl)) {
            Target t;
            std::string why;
            if (!makeTarget(gl, width, height, request, t, why)) {
                r.notes.push_back("A request for " + std::to_string(request) + " samples was refused: " + why);
                continue;
            }
            auto [it, fresh] = byGranted.try_emplace(t.granted, t);
            if (!fresh) {
                // Of requests granted the same count, keep the one that asked for it.
                Target& kept = it->second;
                Target& dropped = t.requested == t.granted && kept.requested != kept.granted ? kept : t;
                r.dropped.emplace_back(dropped.requested, dropped.granted);
                if (&dropped == &kept) std::swap(kept, t);
                releaseTarget(gl, t);
            }
        }
        for (auto& [granted, t] : byGranted) {
            if (granted == 0) single = t;
            msaaTargets.push_back(t);
        }
        if (single.draw == 0) {
            std::fprintf(stderr, "quillmere-measure: the driver refuses a one-sample framebuffer object\n");
            for (Target& t : msaaTargets) releaseTarget(gl, t);
            return finish(kCaptureFailed);
        }
    } else {
        single = windowTarget(gl, width, height);
        r.notes.push_back(
            "No framebuffer objects: the report holds window and supersampling only, rendered in "
            "the window's back buffer.");
        r.whole = false;
    }

    scene.emplace(gl);
    phases.start("reference");
    if (!scene->landmarks(single, r.tip, r.centre, r.caption)) {
        // The projection is centred, so the ring's middle is the picture's.
        r.centre[0] = width / 2.0;
        r.centre[1] = height / 2.0;
        r.notes.push_back("The blades' positions could not be read back; crops are taken at fixed places.");
    }
    const int k = o.referenceK;
    r.k = k;
    r.kCheck = std::max(2, (int)std::lround(k * 0.75));
    Accumulator colour(width, height), cover(width, height), check(width, height);
    progress("reference: " + std::to_string(k) + "x" + std::to_string(k));
    scene->supersample(single, k, false, colour);
    progress("reference: " + std::to_string(k) + "x" + std::to_string(k) + " coverage");
    scene->supersample(single, k, true, cover);
    progress("reference: " + std::to_string(r.kCheck) + "x" + std::to_string(r.kCheck) + " convergence check");
    scene->supersample(single, r.kCheck, false, check);
    r.reference = colour.meanStored();
    r.referenceLinear = colour.meanLinear();
    Image checkImage = check.meanStored();
    r.convergenceRmse = rmse(checkImage, r.reference);
    for (std::size_t i = 0; i < checkImage.rgb.size(); ++i)
        r.convergenceMax = std::max(r.convergenceMax, std::fabs((double)checkImage.rgb[i] - r.reference.rgb[i]));
    r.storedVsLinearRmse = rmse(r.reference, r.referenceLinear);
    const std::vector<Region> regions = cover.regions();
    std::vector<bool> edge(regions.size()), interior(regions.size()), centre(regions.size());
    const double centreRadius = std::min(width, height) / 6.0;
    for (std::size_t p = 0; p < regions.size(); ++p) {
        edge[p] = regions[p] == Region::Edge;
        interior[p] = regions[p] == Region::Interior;
        double x = (double)(p % width) + 0.5 - r.centre[0], y = (double)(p / width) + 0.5 - r.centre[1];
        centre[p] = interior[p] && x * x + y * y <= centreRadius * centreRadius;
        r.edgePixels += edge[p];
        r.interiorPixels += interior[p];
        r.centrePixels += centre[p];
    }

    // A capture of one frame per pixel, its coverage pass, and its cost: the mean of five
    // draws after the first (which pays for the driver's set-up of that state).
    auto captureOnce = [&](const Target& t, const std::string& name, const std::string& kind) {
        progress("capture: " + name);
        Capture c;
        c.name = name;
        c.kind = kind;
        c.requested = t.window ? 0 : t.requested;
        c.granted = t.granted;
        c.image = scene->render(t, 0, 0, false);
        double seconds = 0;
        for (int i = 0; i < 5; ++i) scene->render(t, 0, 0, false, &seconds);
        c.msPerFrame = seconds / 5 * 1000;
        c.coverage = scene->render(t, 0, 0, true);
        return c;
    };
    if (r.windowAvailable) {
        phases.start("window");
        Target t = windowTarget(gl, width, height);
        r.captures.push_back(captureOnce(t, "window", "window"));
        releaseTarget(gl, t);
    }
    if (modes.count("msaa") && gl.framebuffers) {
        phases.start("msaa");
        for (const Target& t : msaaTargets) {
            r.captures.push_back(captureOnce(t, "msaa-" + std::to_string(t.requested), "msaa"));
            std::vector<float> xy = samplePositions(gl, t);
            if (!xy.empty()) r.samplePositions.emplace_back(t.granted, xy);
        }
    }
    if (modes.count("ssaa")) {
        phases.start("ssaa");
        for (int s = 2; s <= 4; ++s) {
            std::string name = "ssaa-" + std::to_string(s) + "x" + std::to_string(s);
            progress("capture: " + name);
            Accumulator sum(width, height), coverage(width, height);
            double seconds = 0;
            scene->supersample(single, s, false, sum, &seconds);
            scene->supersample(single, s, true, coverage);
            Capture c;
            c.name = name;
            c.kind = "ssaa";
            c.requested = c.granted = s * s;
            c.image = sum.meanStored();
            c.coverage = coverage.meanStored();
            c.msPerFrame = seconds * 1000;
            r.captures.push_back(std::move(c));
        }
    }
    if (modes.count("filter") && gl.framebuffers) {
        phases.start("filter");
        struct Filter {
            std::string name;
            GLint min;
            float anisotropy;
        };
        std::vector<Filter> filters = {{"filter-linear", GL_LINEAR, 1},
                                       {"filter-nearest", GL_NEAREST, 1},
                                       {"filter-trilinear", GL_LINEAR_MIPMAP_LINEAR, 1}};
        for (int a = 2; gl.anisotropic && a <= 16 && a <= gl.maxAnisotropy; a *= 2)
            filters.push_back({"filter-aniso-" + std::to_string(a), GL_LINEAR_MIPMAP_LINEAR, (float)a});
        glBindTexture(GL_TEXTURE_2D, gTestTexture);
        gl.generateMipmap(GL_TEXTURE_2D);
        for (const Filter& f : filters) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, f.min);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, f.min == GL_NEAREST ? GL_NEAREST : GL_LINEAR);
            if (gl.anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, f.anisotropy);
            Capture c = captureOnce(single, f.name, "filter");
            c.requested = c.granted = 0;
            r.captures.push_back(std::move(c));
        }
        // Back to the program's own filtering.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        if (gl.anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    }
    if (o.motion) {
        phases.start("motion");
        std::vector<std::string> names;
        for (const Capture& c : r.captures) names.push_back(c.name);
        r.motion = runDrift(*scene, single, motionModes(*scene, gl, names, msaaTargets, single), o.drift, r.reference,
                            r.centre, r.tip, progress);
    }
    GLenum error = glGetError();
    for (Target& t : msaaTargets) releaseTarget(gl, t);

    phases.start("scores");
    for (std::size_t i = 0; i < r.captures.size(); ++i) {
        progress("scores: " + r.captures[i].name);
        score(r.captures[i], r, edge, interior, centre);
    }
    r.verdict = r.windowAvailable ? windowVerdict(r, interior) : "not measured: " + r.windowReason;
    r.summary = summarise(r);
    if (!r.motion.sentence.empty()) r.summary += " " + r.motion.sentence;
    if (error != GL_NO_ERROR) {
        r.whole = false;
        r.notes.push_back("OpenGL reported error " + std::to_string(error) + " during the captures.");
    }
    phases.start("report");
    progress("writing the report");
    r.phases = phases.list();
    std::string why;
    if (!writeReport(r, o.out, why)) {
        std::fprintf(stderr, "\nquillmere-measure: %s\n", why.c_str());
        return finish(kOutput);
    }
    phases.stop();
    progress("");
    double total = 0;
    std::printf("%s\n\n%s\n", r.summary.c_str(), summaryTable(r).c_str());
    if (r.motion.measured) std::printf("%s\n", motionTable(r).c_str());
    for (const auto& [phase, seconds] : phases.list()) {
        std::printf("%s %.2f s, ", phase.c_str(), seconds);
        total += seconds;
    }
    std::printf("total %.2f s\nreport: %s/index.html\n", total, o.out.c_str());
    if (!gl.framebuffers) {
        std::fprintf(stderr, "quillmere-measure: no framebuffer objects: the report holds window and ssaa only\n");
        return finish(kNoFramebuffers);
    }
    if (error != GL_NO_ERROR) {
        std::fprintf(stderr, "quillmere-measure: OpenGL error %u during the captures\n", error);
        return finish(kCaptureFailed);
    }
    return finish(kWhole);
}
