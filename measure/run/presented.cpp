// quillmere's own window, captured after presentation, beside the tool's back buffer.
#include "measure/run/presented.h"

#include "measure/run/session.h"
#include "platform/present.h"
#include "platform/win32.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace measure {
namespace {

// Seconds the program gets to show a window, then to present a picture that holds still.
constexpr double kWindowSeconds = 10;
constexpr double kStableSeconds = 10;
// Between grabs.
constexpr int kGrabMilliseconds = 40;
// A picture counts once every grab over this span shows it: the program redraws every few
// milliseconds, and a compositor repaints within a frame or two of a busy machine.
constexpr double kHoldSeconds = 0.12;
// After a resize the program needs a frame or two at the new size before a grab counts.
constexpr double kSettleSeconds = 0.1;
constexpr double kCloseSeconds = 3;

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Whether every pixel has one colour (a window not drawn yet).
bool blank(const std::vector<std::uint8_t>& rgb) {
    for (std::size_t i = 3; i < rgb.size(); ++i)
        if (rgb[i] != rgb[i % 3]) return false;
    return true;
}

// Pages write numbers with fixed digits.
std::string fixed(double v, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

std::string sizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

}  // namespace

WindowFormat readWindowFormat() {
    WindowFormat f;
    const GLenum channels[4] = {GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS, GL_ALPHA_BITS};
    for (int c = 0; c < 4; ++c) glGetIntegerv(channels[c], &f.bits[c]);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &f.sampleBuffers);
    glGetIntegerv(GL_SAMPLES, &f.samples);
    f.encoding = "linear/unknown";
    // The default framebuffer's attachments can be asked about from OpenGL 3.0 on.
    auto query = reinterpret_cast<PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVPROC>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("glGetFramebufferAttachmentParameteriv")));
    GLint doubled = 0;
    glGetIntegerv(GL_DOUBLEBUFFER, &doubled);
    if (glVersionNumber() >= 30 && query) {
        clearGlErrors();
        GLint encoding = 0;
        query(GL_DRAW_FRAMEBUFFER, doubled ? GL_BACK_LEFT : GL_FRONT_LEFT, GL_FRAMEBUFFER_ATTACHMENT_COLOR_ENCODING,
              &encoding);
        if (glGetError() == GL_NO_ERROR && (encoding == GL_LINEAR || encoding == GL_SRGB))
            f.encoding = encoding == GL_SRGB ? "sRGB" : "linear";
        // An sRGB-capable buffer still stores values as written unless this is on.
        f.srgbWrites = glIsEnabled(GL_FRAMEBUFFER_SRGB) == GL_TRUE;
        clearGlErrors();
    }
    f.requested = samplesVariable(f.request, f.requestText);
    f.read = true;
    return f;
}

int samplesVariable(SamplesRequest& request, std::string& value) {
    const char* text = std::getenv("QUILLMERE_SAMPLES");
    value.clear();
    if (!presentReadsSamplesVariable()) {
        request = SamplesRequest::NotRead;
        return 0;
    }
    if (text == nullptr || *text == '\0') {
        request = SamplesRequest::NotSet;
        return 0;
    }
    value = text;
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (*end != '\0' || n < 1 || n > 32) {
        request = SamplesRequest::Invalid;
        return 0;
    }
    request = SamplesRequest::Set;
    return (int)n;
}

std::string findProgram() {
    namespace fs = std::filesystem;
    std::string self = presentSelfPath();
    if (self.empty()) return {};
    const std::string name = presentExecutableName("quillmere");
    fs::path folder = fs::path(self).parent_path();
    std::error_code error;
    for (const fs::path& candidate : {folder / name, folder.parent_path() / name})
        if (fs::is_regular_file(candidate, error)) return candidate.string();
    return {};
}

Presented capturePresented(const std::string& program, int width, int height) {
    Presented p;
    p.attempted = true;
    p.program = program;
    p.reason = presentUnavailable();
    if (!p.reason.empty()) return p;
    if (program.empty()) {
        p.reason = "quillmere is neither beside the tool nor in the folder above it (--program PATH names it)";
        return p;
    }
    const double start = now();
    PresentProcess process;

    if (!presentStart(program, {}, process, p.reason)) return p;
    if (!presentFindWindow(process, kWindowSeconds, p.reason)) {
        p.closed = presentClose(process, kCloseSeconds);
        return p;
    }
    int w = 0, h = 0;
    if (presentClientSize(process, w, h) && (w != width || h != height)) {
        std::string why;
        if (!presentResize(process, width, height, why)) p.reason = why;
    }
    PresentShot shot, last;
    double sizedAt = -1, heldSince = now();
    bool drawn = false;  // a grab at the measured size that was not one colour
    const double end = now() + kStableSeconds;
    std::string why;
    while (now() < end) {
        bool grabbed = presentCapture(process, shot, why);
        ++p.grabs;
        if (!grabbed && presentExited(process)) {
            why = "the program ended (status " + std::to_string(process.status) + ") before its picture held still";
            break;
        }
        if (grabbed && shot.width == width && shot.height == height) {
            if (sizedAt < 0) sizedAt = now();
            drawn = drawn || !blank(shot.rgb);
            if (blank(shot.rgb) || shot.rgb != last.rgb) {
                heldSince = now();
            } else if (now() - heldSince >= kHoldSeconds && now() - sizedAt >= kSettleSeconds) {
                p.captured = true;
                break;
            }
        } else if (grabbed) {
            why = "its client area stayed " + sizeText(shot.width, shot.height) + ", not the measured " +
                  sizeText(width, height);
        }
        last = shot;
        std::this_thread::sleep_for(std::chrono::milliseconds(kGrabMilliseconds));
    }
    p.seconds = now() - start;
    if (p.captured) {
        p.reason.clear();
        p.method = shot.method;
        p.image = Image(shot.width, shot.height);
        p.image.rgb = std::move(shot.rgb);
        std::copy(shot.channelBits, shot.channelBits + 3, p.displayBits);
    } else {
        if (why.empty() && !drawn && sizedAt >= 0)
            why = "its window stayed one colour for " + fixed(kStableSeconds, 0) +
                  " s: the display shows nothing the driver presented";
        p.reason = why.empty() ? "its picture did not hold still within " + fixed(kStableSeconds, 0) + " s" : why;
    }
    p.closed = presentClose(process, kCloseSeconds);
    return p;
}

void comparePresented(Presented& p, const Image& backBuffer, const WindowFormat& format, bool cornerOfLarger) {
    if (!p.captured) return;
    p.backWidth = backBuffer.width;
    p.backHeight = backBuffer.height;
    if (backBuffer.width != p.image.width || backBuffer.height != p.image.height) return;
    // Widening to 8 bits is the reader's choice, so only the bits both sides store count.
    int shift[3];
    for (int c = 0; c < 3; ++c) {
        int bits = format.bits[c] > 0 ? std::min(format.bits[c], p.displayBits[c]) : p.displayBits[c];
        p.compareBits[c] = std::clamp(bits, 1, 8);
        shift[c] = 8 - p.compareBits[c];
    }
    // A frame drawn in the corner of a larger buffer interpolates from another origin
    // (llvmpipe: up to one level on a few textured pixels); only more than that counts there.
    p.tolerance = cornerOfLarger ? 1 : 0;
    p.differing = 0;
    p.maxDifference = 0;
    for (std::size_t i = 0; i < p.image.pixels(); ++i) {
        bool differs = false;
        for (int c = 0; c < 3; ++c) {
            int a = p.image.rgb[i * 3 + c], b = backBuffer.rgb[i * 3 + c];
            differs = differs || std::abs((a >> shift[c]) - (b >> shift[c])) > p.tolerance;
            p.maxDifference = std::max(p.maxDifference, std::abs(a - b));
        }
        p.differing += differs;
    }
    p.rmse = rmse(p.image, backBuffer);
    p.compared = true;
}

void scorePresented(Presented& p, const Image& reference, const std::vector<bool>& edge) {
    if (!p.captured || reference.width != p.image.width || reference.height != p.image.height) return;
    p.referenceRmse = rmse(p.image, reference);
    p.edgeRmse = rmse(p.image, reference, &edge);
    p.scored = true;
}

void capturePresentedWindow(Session& s, const std::string& program, bool cornerOfLarger) {
    Results& r = s.results;
    Capture* window = nullptr;
    for (Capture& c : r.captures)
        if (c.kind == CaptureKind::Window) window = &c;
    // Without the window's own capture (it failed) there is nothing to set the picture against.
    if (window == nullptr) return;
    window->requested = r.format.requested;
    progress("capture: quillmere's presented window");
    r.presented = capturePresented(program.empty() ? findProgram() : program, r.width, r.height);
    comparePresented(r.presented, window->image, r.format, cornerOfLarger);
    scorePresented(r.presented, r.reference, s.masks.edge);
    r.notes.push_back({NoteKind::Presented, 0, {}});
    if (!r.presented.captured) return;
    // What the user sees is scored and judged as a capture of its own, beside the back buffer.
    Capture shown;
    shown.name = "presented";
    shown.kind = CaptureKind::Presented;
    shown.requested = window->requested;
    shown.granted = window->granted;
    shown.image = r.presented.image;
    // quillmere draws it, so the tool cannot time its frames.
    shown.costMethod = CostMethod::None;
    r.captures.push_back(std::move(shown));
}

}  // namespace measure
