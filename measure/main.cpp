// quillmere-measure: draws quillmere's frame through its own renderer in every
// anti-aliasing and filtering mode the driver offers, and scores each against a
// supersampled reference.
#include "app/app.h"
#include "measure/gl/scene.h"
#include "measure/report/motion_section.h"
#include "measure/compare/checks.h"
#include "measure/filtering/probes.h"
#include "measure/aa/candidates.h"
#include "measure/run/presented.h"
#include "measure/report/report.h"
#include "measure/run/session.h"
#include "measure/motion/drift.h"
#include "measure/report/summary.h"
#include "measure/report/words.h"
#include "platform/headless.h"
#include "platform/memory.h"
#include "render/gfx.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#ifndef QUILLMERE_VERSION
#define QUILLMERE_VERSION "0.0.0"
#endif

namespace {

using namespace measure;

enum Exit {
    kWhole = 0,
    kNoContext = 2,
    kOutput = 3,
    kSize = 4,
    kNoFramebuffers = 5,
    kCaptureFailed = 6,
    kNothing = 7,
    kMemory = 8,
};

// Bytes a run keeps per pixel besides the framebuffer objects: the reference's three
// accumulators (stored and linear sums, 24 bytes each), its images and masks, and about a
// dozen captures with their coverage passes and the supersampling accumulators (measured
// peak with valgrind's massif at 820 x 600: about 260 bytes a pixel, rounded up).
constexpr unsigned long long kBytesPerPixel = 320;
// Bytes per sample of a framebuffer object's colour and depth.
constexpr unsigned long long kBytesPerSample = 8;

struct Options {
    std::string size;
    std::string out = "quillmere-report";
    bool headless = false;
    std::vector<std::string> modes = {"window", "msaa", "ssaa", "filter"};
    int referenceK = 16;
    bool filterSweeps = false;
    std::string program;
    bool noPresented = false;
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

// Reads WxH, each side from 16 to 65536 pixels; digits only, so no value can overflow.
bool parseSize(const std::string& text, int& width, int& height) {
    auto side = [](const std::string& digits, int& out) {
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        out = std::stoi(digits);
        return out >= 16 && out <= 65536;
    };
    std::size_t x = text.find('x');
    return x != std::string::npos && side(text.substr(0, x), width) && side(text.substr(x + 1), height);
}

// A driver string as valid UTF-8: a null answer is named, and bytes that are not UTF-8
// become U+FFFD, so the report and results.json can always hold it.
std::string driverString(GLenum name) {
    const GLubyte* text = glGetString(name);
    if (text == nullptr) return "(not reported)";
    std::string in = reinterpret_cast<const char*>(text), out;
    for (std::size_t i = 0; i < in.size();) {
        unsigned char c = in[i];
        int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = length > 0 && i + length <= in.size() && (length != 2 || c >= 0xC2);
        for (int k = 1; valid && k < length; ++k) valid = ((unsigned char)in[i + k] >> 6) == 2;
        if (valid && length == 3) {
            unsigned char d = in[i + 1];
            valid = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);
        }
        if (valid && length == 4) {
            unsigned char d = in[i + 1];
            valid = c <= 0xF4 && !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
        }
        if (valid && (c >= 0x20 || c == '\t')) {
            out.append(in, i, length);
            i += length;
        } else {
            out += valid ? " " : "\xEF\xBF\xBD";
            i += valid ? length : 1;
        }
    }
    return out;
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

// A framebuffer object per granted sample count; false when even one sample is refused.
bool makeTargets(const GlEntryPoints& gl, Results& r, std::vector<Target>& msaa, Target& single) {
    std::map<int, Target> byGranted;
    for (int request : sampleRequests(gl)) {
        Target t;
        std::string why;
        if (!makeTarget(gl, r.width, r.height, request, t, why)) {
            r.notes.push_back({NoteKind::RefusedRequest, request, why});
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
        msaa.push_back(t);
    }
    if (single.draw != 0) return true;
    for (Target& t : msaa) releaseTarget(gl, t);
    msaa.clear();
    return false;
}

// Bytes the run will hold at this size with these sample counts.
unsigned long long workingSet(int width, int height, int maxSamples) {
    const unsigned long long pixels = (unsigned long long)width * (unsigned long long)height;
    // Every count up to the largest, plus the resolve and one-sample targets.
    return pixels * (kBytesPerPixel + kBytesPerSample * (2ULL * (unsigned long long)maxSamples + 2));
}

// The still captures the drift redraws: all but quillmere's presented window.
std::vector<StillMode> stillModes(const std::vector<Capture>& captures) {
    std::vector<StillMode> still;
    for (std::size_t i = 0; i < captures.size(); ++i) {
        const Capture& c = captures[i];
        MotionKind kind = MotionKind::Window;
        switch (c.kind) {
            case CaptureKind::Window: kind = MotionKind::Window; break;
            case CaptureKind::Msaa: kind = MotionKind::Msaa; break;
            case CaptureKind::Ssaa: kind = MotionKind::Ssaa; break;
            case CaptureKind::Filter: kind = MotionKind::Filter; break;
            case CaptureKind::Presented: continue;
        }
        still.push_back({c.name, kind, i, c.requested, c.gridSide, c.filter});
    }
    return still;
}

// The frame size (the window's client area unless --size gives one) against the driver's
// limits and the memory the run needs; 0 or the exit status.
int checkFrame(const Options& o, HWND window, const GlEntryPoints& gl, const RECT& client, Results& r) {
    int width = r.width, height = r.height;
    if (o.size.empty()) {
        width = kAppWindowWidth;
        height = kAppWindowHeight;
        if (std::string why; window && !frameSizeOf(window, width, height, why)) {
            std::fprintf(stderr, "quillmere-measure: %s\n", why.c_str());
            return kSize;
        }
    }
    r.width = width;
    r.height = height;
    GLint viewportMax[2] = {0, 0}, renderbufferMax = 0, maxSamples = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewportMax);
    if (gl.framebuffers) {
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbufferMax);
        glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    }
    r.aa.maxSamples = maxSamples;
    if (width > viewportMax[0] || height > viewportMax[1] ||
        (gl.framebuffers && (width > renderbufferMax || height > renderbufferMax))) {
        std::fprintf(stderr,
                     "quillmere-measure: %dx%d is beyond this driver's limits (GL_MAX_VIEWPORT_DIMS %dx%d, "
                     "GL_MAX_RENDERBUFFER_SIZE %d)\n",
                     width, height, viewportMax[0], viewportMax[1], renderbufferMax);
        return kSize;
    }
    const unsigned long long need =
        workingSet(width, height, std::min(maxSamples, 64)) + (o.motion ? motionBytes(o.drift, width, height) : 0);
    const unsigned long long have = availableMemoryBytes();
    if (have != 0 && need > have) {
        std::fprintf(stderr,
                     "quillmere-measure: %dx%d needs about %llu MiB and %llu MiB are available; choose a smaller "
                     "--size\n",
                     width, height, need >> 20, have >> 20);
        return kMemory;
    }
    if (!gl.framebuffers && window && (width > client.right || height > client.bottom)) {
        // Everything is then drawn in the window's back buffer, which holds no pixels past its client area.
        std::fprintf(stderr,
                     "quillmere-measure: without framebuffer objects --size can be at most the window's client area "
                     "%ldx%ld\n",
                     (long)client.right, (long)client.bottom);
        return kSize;
    }
    if (!gl.framebuffers && !window) {
        std::fprintf(stderr, "quillmere-measure: the offscreen context has no framebuffer objects to draw into\n");
        return kNoFramebuffers;
    }
    return kWhole;
}

// The window's channel bits, samples and pixel format, and whether its picture is measured;
// 0, or kNothing when the window alone was asked for and cannot be.
int describeWindow(const Options& o, HWND window, const RECT& client, const std::set<std::string>& modes, Results& r) {
    if (window) {
        glGetIntegerv(GL_RED_BITS, &r.aa.windowBits.r);
        glGetIntegerv(GL_GREEN_BITS, &r.aa.windowBits.g);
        glGetIntegerv(GL_BLUE_BITS, &r.aa.windowBits.b);
        glGetIntegerv(GL_SAMPLE_BUFFERS, &r.sampleBuffers);
        glGetIntegerv(GL_SAMPLES, &r.samples);
        r.format = readWindowFormat();
        if (r.width > client.right || r.height > client.bottom) {
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
        return kNothing;
    }
    return kWhole;
}

// The targets every capture draws into: framebuffer objects, or the window's back buffer
// where there are none; 0 or kCaptureFailed.
int prepareTargets(const GlEntryPoints& gl, Results& r, std::vector<Target>& msaa, Target& single) {
    if (gl.framebuffers) {
        if (!makeTargets(gl, r, msaa, single)) {
            std::fprintf(stderr, "quillmere-measure: the driver refuses a one-sample framebuffer object\n");
            return kCaptureFailed;
        }
        return kWhole;
    }
    single = windowTarget(gl, r.width, r.height);
    r.notes.push_back({NoteKind::NoFramebuffers, 0, {}});
    r.whole = false;
    return kWhole;
}

// The blades' positions for the crops, and the reference the captures are scored against.
void referenceFrame(const Options& o, Session& s) {
    Results& r = s.results;
    if (!s.scene.landmarks(s.single, r.tip, r.centre, r.caption)) {
        // The projection is centred, so the ring's middle is the picture's.
        r.centre[0] = r.width / 2.0;
        r.centre[1] = r.height / 2.0;
        r.notes.push_back({NoteKind::NoLandmarks, 0, {}});
    }
    buildReference(s, o.referenceK);
}

// The filter captures, then the filtering against the rules on the tool's window and on
// quillmere's presented picture: a filter the driver forces on the program by its name
// shows only there.
void filtersAndRules(const Options& o, Session& s, Phases& phases) {
    Results& r = s.results;
    phases.start("filter");
    captureFilters(s);
    phases.start("filtering");
    progress("filtering against the rules");
    const Capture* shown = nullptr;
    for (const Capture& c : r.captures)
        if (c.kind == CaptureKind::Window) shown = &c;
    r.filtering = measureFiltering(s.gl, s.scene, s.single, shown ? &shown->image : nullptr, o.filterSweeps);
    if (!r.filtering.measured) r.failed.emplace_back("filtering", filteringGapText(r.filtering.gap));
    const Image& presented = r.presented.image;
    if (r.filtering.measured && r.presented.captured && presented.width == r.width && presented.height == r.height) {
        r.filtering.presented = judgePresentedPicture(s.gl, s.scene, s.single, presented);
        r.filtering.presentedChecked = true;
    }
}

// Every still capture the modes ask for, in order: the window and quillmere's presented
// window, multisampling, supersampling, the filters with the rules.
void stillCaptures(const Options& o, const std::set<std::string>& modes, const RECT& client, Session& s,
                   Phases& phases) {
    Results& r = s.results;
    if (r.windowAvailable) {
        phases.start("window");
        captureWindow(s);
        if (!o.noPresented) {
            phases.start("presented");
            capturePresentedWindow(s, o.program, r.width != client.right || r.height != client.bottom);
        }
    }
    if (modes.count("msaa") && s.gl.framebuffers) {
        phases.start("msaa");
        captureMsaa(s);
    }
    if (modes.count("ssaa")) {
        phases.start("ssaa");
        captureSsaa(s);
    }
    if (modes.count("filter") && s.gl.framebuffers) filtersAndRules(o, s, phases);
}

// Every still capture again over the drift; a drift that reports an OpenGL error is left out.
void motion(const Options& o, Session& s, Phases& phases) {
    Results& r = s.results;
    phases.start("motion");
    r.motion = runDrift(s.scene, s.single, motionModes(s.scene, s.gl, stillModes(r.captures), s.msaa, s.single),
                        o.drift, r.reference, r.centre, r.tip, progress);
    std::string error = s.scene.takeError();
    if (!error.empty()) {
        r.failed.emplace_back("motion", error);
        r.whole = false;
        r.motion = MotionResults{};
    }
}

// The window's verdict: on what quillmere shows where that was captured, else on the back
// buffer; a window whose capture failed gets none.
void chooseWindowVerdict(Results& r) {
    bool windowCaptured = false;
    for (const Capture& c : r.captures) windowCaptured = windowCaptured || c.kind == CaptureKind::Window;
    if (r.windowAvailable && !windowCaptured) {
        r.windowAvailable = false;
        r.windowReason = "its capture failed";
    }
    for (std::size_t i = 0; i < r.aa.verdicts.size(); ++i) {
        const CaptureVerdict& v = r.aa.verdicts[i];
        Capture& c = r.captures[v.captureIndex];
        if (c.kind == CaptureKind::Presented) {
            r.windowVerdict = WindowVerdict::Presented;
            r.windowVerdictAt = i;
            // It has no coverage pass to count levels in; its samples are the verdict's.
            c.effective = v.verdict.samples;
        } else if (c.kind == CaptureKind::Window && r.windowVerdict != WindowVerdict::Presented) {
            r.windowVerdict = WindowVerdict::BackBuffer;
            r.windowVerdictAt = i;
        }
    }
    // Where presentation's own verdict explains how the picture changed, the frame's
    // anti-aliasing is the back buffer's and the window's verdict joins the two.
    for (std::size_t i = 0; r.presentation.explained() && i < r.aa.verdicts.size(); ++i)
        if (r.captures[r.aa.verdicts[i].captureIndex].kind == CaptureKind::Window) {
            r.windowVerdict = WindowVerdict::BackBufferAndPresentation;
            r.windowVerdictAt = i;
        }
}

// The summary, the report and the terminal's tables; the run's exit status.
int reportRun(const Options& o, const GlEntryPoints& gl, Results& r, Phases& phases) {
    r.summary = summarise(r);
    const std::string shimmer = motionSentence(r.motion, r.captures);
    if (!shimmer.empty()) r.summary += " " + shimmer;
    phases.start("report");
    progress("writing the report");
    r.phases = phases.list();
    std::string why;
    if (!writeReport(r, o.out, why)) {
        std::fprintf(stderr, "\nquillmere-measure: %s\n", why.c_str());
        return kOutput;
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
        return kNoFramebuffers;
    }
    if (!r.failed.empty()) {
        for (const auto& [name, error] : r.failed)
            std::fprintf(stderr, "quillmere-measure: %s failed (%s) and is left out\n", name.c_str(), error.c_str());
        return kCaptureFailed;
    }
    return kWhole;
}

// The whole run once a context is current; the exit status.
int measureRun(const Options& o, HWND window, Results& r, Phases& phases) {
    const std::set<std::string> modes(o.modes.begin(), o.modes.end());
    r.renderer = driverString(GL_RENDERER);
    r.vendor = driverString(GL_VENDOR);
    r.glVersion = driverString(GL_VERSION);
    if (glGetString(GL_RENDERER) == nullptr)
        std::fprintf(stderr, "quillmere-measure: the driver reports no GL_RENDERER string\n");
    GlEntryPoints gl = loadEntryPoints();
    r.framebuffers = gl.framebuffers;
    RECT client{0, 0, 0, 0};
    if (window) GetClientRect(window, &client);
    if (int status = checkFrame(o, window, gl, client, r)) return status;
    if (int status = describeWindow(o, window, client, modes, r)) return status;

    phases.start("framebuffers");
    std::vector<Target> msaa;
    Target single;
    if (int status = prepareTargets(gl, r, msaa, single)) return status;
    Scene scene(gl);
    Session s{gl, scene, r, single, msaa, {}};
    phases.start("reference");
    referenceFrame(o, s);
    stillCaptures(o, modes, client, s, phases);
    if (o.motion) motion(o, s, phases);
    phases.start("scores");
    progress("scores");
    scoreCaptures(s);
    phases.start("verdicts");
    progress("verdicts");
    judgeAntialiasing(s);
    phases.start("presentation");
    measurePresentationStep(s);
    for (Target& t : msaa) releaseTarget(gl, t);
    if (!gl.framebuffers) releaseTarget(gl, single);
    chooseWindowVerdict(r);
    return reportRun(o, gl, r, phases);
}

// The run's own options on the command line.
void addOptions(CLI::App& app, Options& o) {
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
    app.add_flag("--filter-sweeps", o.filterSweeps,
                 "Also sweep the renderer's rotation through a whole turn for the level of detail by angle");
    app.add_option("--program", o.program,
                   "The quillmere whose presented window is captured (default: beside the tool)");
    app.add_flag("--no-presented", o.noPresented, "Leave out starting quillmere and capturing its presented window");
    app.add_flag("--motion", o.motion, "Also measure shimmer: every mode over a slow sub-pixel drift (docs/motion.md)");
    app.add_option("--motion-steps", o.drift.steps, "Steps of the drift")
        ->check(CLI::Range(2, 256))
        ->capture_default_str();
    app.add_option("--motion-k", o.drift.k, "The moving reference averages K x K renders a step")
        ->check(CLI::Range(2, 64))
        ->capture_default_str();
}

// The program's own window and pixel format where there is a display; else an offscreen
// context. 0 or kNoContext.
int openContext(const Options& o, Results& r, HWND& window) {
    window = nullptr;
    if (!o.headless) {
        // Shown as its starter asks (a shortcut or `start /min` on Windows); normal elsewhere.
        window = appCreateWindow(GetModuleHandleA(nullptr), SW_SHOWDEFAULT);
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
    return kWhole;
}

// The scene's texture goes while its context is still current, and the renderer before
// the window, as the program itself shuts down.
void closeContext(HWND window) {
    if (window) {
        gfxShutdown();
        DestroyWindow(window);
    } else {
        gfxDeleteTestTexture();
        headlessRelease();
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{
        "quillmere-measure: what the driver's anti-aliasing and texture filtering deliver for quillmere's "
        "frame, scored against a supersampled reference."};
    addOptions(app, o);
    ExpectOptions expect;
    addExpectOptions(app, expect);
    CompareOptions compare;
    CLI::App* compareCommand = addCompareCommand(app, compare);
    CLI11_PARSE(app, argc, argv);
    if (compareCommand->parsed()) return runCompare(compare);
    // A wrong expectations file or baseline is refused before anything is rendered.
    ExpectPlan plan;
    if (int status = prepareExpectations(expect, plan)) return status;

    Results r;
    r.version = QUILLMERE_VERSION;
    if (!o.size.empty() && !parseSize(o.size, r.width, r.height)) {
        std::fprintf(stderr, "quillmere-measure: --size wants WxH, each from 16 to 65536, not \"%s\"\n",
                     o.size.c_str());
        return kSize;
    }
    std::string reason;
    if (!prepareOutput(o.out, reason)) {
        std::fprintf(stderr, "quillmere-measure: %s\n", reason.c_str());
        return kOutput;
    }

    Phases phases;
    phases.start("context");
    HWND window = nullptr;
    if (int status = openContext(o, r, window)) return status;
    int status = kWhole;
    try {
        status = measureRun(o, window, r, phases);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "\nquillmere-measure: out of memory at %dx%d; choose a smaller --size\n", r.width,
                     r.height);
        status = kMemory;
    }
    closeContext(window);
    // Every report written, whole or not, is checked; the run's own failure ranks first.
    if (status == kWhole || status == kNoFramebuffers || status == kCaptureFailed) {
        int checked = checkRun(plan, o.out);
        if (status == kWhole) status = checked;
    }
    return status;
}
