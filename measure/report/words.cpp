// The words for anti-aliasing's verdicts, the drift and the run's notes.
#include "measure/report/words.h"

namespace measure {

const char* className(AaClass c) {
    switch (c) {
        case AaClass::None: return "no anti-aliasing";
        case AaClass::NoMultisampling: return "no multisampling";
        case AaClass::NotDelivered: return "requested but not delivered";
        case AaClass::Msaa: return "multisampling";
        case AaClass::MsaaLinear: return "multisampling, linear-light resolve";
        case AaClass::Supersampling: return "supersampling";
        case AaClass::MsaaSupersampling: return "multisampling and supersampling";
        case AaClass::PostFilter: return "post-process filter";
        case AaClass::Unmodelled: return "a mode the tool does not model";
    }
    return "?";
}

// The class with its samples, and where the format reports another count.
std::string verdictText(const Verdict& v) {
    const std::string reported = std::to_string(v.formatSamples), n = std::to_string(v.samples);
    std::string text;
    switch (v.cls) {
        case AaClass::Unmodelled:
            return v.distances.empty()
                       ? "not judged: no candidate to compare with"
                       : printed("a mode the tool does not model: no candidate within %.1f levels", v.fit);
        case AaClass::NotDelivered:
            return "requested but not delivered: the format reports " + reported + " samples, the picture shows one";
        case AaClass::NoMultisampling:
            return "no anti-aliasing: the driver has no multisampling (one sample per pixel)";
        case AaClass::None: return "no anti-aliasing (one sample per pixel)";
        case AaClass::Msaa: text = n + "-sample MSAA (stored-value resolve)"; break;
        case AaClass::MsaaLinear: text = n + "-sample MSAA (linear-light resolve)"; break;
        case AaClass::Supersampling: text = n + "-sample supersampling"; break;
        case AaClass::MsaaSupersampling: text = "MSAA and supersampling combined (" + n + " samples)"; break;
        case AaClass::PostFilter: return "a post-process filter (" + v.closest + "), not samples";
    }
    if (v.formatSamples > 1 && v.samples != v.formatSamples) text += " though the format reports " + reported;
    return text;
}

std::string positionsNote(const SamplePositions& s) {
    switch (s.check) {
        case PositionsCheck::Agree: return "";
        case PositionsCheck::NotMeasured: return "not measured: " + s.why;
        case PositionsCheck::NotReported: return "the driver does not report GL_SAMPLE_POSITION";
        case PositionsCheck::Differ: return "the measured positions differ from GL_SAMPLE_POSITION";
    }
    return "";
}

namespace {

// The figures of the mode drawn from the first still capture that `is` picks.
template <typename Pick>
const MotionFigures* modeOf(const MotionResults& m, const std::vector<Capture>& captures, Pick is) {
    for (const MotionFigures& f : m.modes)
        if (f.capture < captures.size() && is(captures[f.capture])) return &f;
    return nullptr;
}

}  // namespace

// Edge shimmer of the most samples granted and of 4x4 supersampling against one sample's,
// and the minified centre's under GL_NEAREST against GL_LINEAR.
std::string motionSentence(const MotionResults& m, const std::vector<Capture>& captures) {
    const MotionFigures* one =
        modeOf(m, captures, [](const Capture& c) { return c.kind == CaptureKind::Msaa && c.requested == 0; });
    if (!one) one = modeOf(m, captures, [](const Capture& c) { return c.kind == CaptureKind::Window; });
    // The most samples granted; a one-sample multisampled buffer is no anti-aliasing.
    const MotionFigures* msaa = nullptr;
    for (const MotionFigures& f : m.modes)
        if (f.kind == MotionKind::Msaa && f.samples > 1 && (!msaa || f.samples > msaa->samples)) msaa = &f;
    const MotionFigures* ssaa =
        modeOf(m, captures, [](const Capture& c) { return c.kind == CaptureKind::Ssaa && c.gridSide == 4; });
    auto filtered = [&](FilterMode mode) {
        return modeOf(m, captures, [mode](const Capture& c) {
            return c.kind == CaptureKind::Filter && c.filter.mode == mode && c.filter.anisotropy == 1;
        });
    };
    std::string s;
    if (one && one->edge > 0 && (msaa || ssaa)) {
        if (msaa) {
            s = printed("In motion, %d-sample MSAA cuts edge shimmer to %.0f %% of one sample's", msaa->samples,
                        100 * msaa->edge / one->edge);
            if (ssaa) s += printed(" and 4x4 supersampling to %.0f %%", 100 * ssaa->edge / one->edge);
        } else {
            s = printed("In motion, 4x4 supersampling cuts edge shimmer to %.0f %% of one sample's",
                        100 * ssaa->edge / one->edge);
        }
    }
    const MotionFigures* nearest = filtered(FilterMode::Nearest);
    const MotionFigures* linear = filtered(FilterMode::Linear);
    if (nearest && linear && linear->centre > 0)
        s += printed("%sin the minified centre GL_NEAREST shimmers %.1f times as much as GL_LINEAR",
                     s.empty() ? "In motion, " : "; ", nearest->centre / linear->centre);
    return s.empty() ? s : s + ".";
}

std::string notComparedText(const Presented& p) {
    return "the back buffer is " + std::to_string(p.backWidth) + "x" + std::to_string(p.backHeight) +
           ", the presented picture " + std::to_string(p.image.width) + "x" + std::to_string(p.image.height);
}

std::string samplesRequestText(const WindowFormat& f) {
    switch (f.request) {
        case SamplesRequest::NotRead: return "QUILLMERE_SAMPLES is read by the Linux build only";
        case SamplesRequest::NotSet: return "QUILLMERE_SAMPLES not set";
        case SamplesRequest::Invalid:
            return "QUILLMERE_SAMPLES=" + f.requestText + " is no sample count (1 to 32); the program ignores it";
        case SamplesRequest::Set: break;
    }
    return "QUILLMERE_SAMPLES=" + f.requestText;
}

std::string referenceGridText(int k) {
    if (k == 0) return "";
    return std::to_string(k) + "x" + std::to_string(k) + " cells, one sample each on an n-rooks grid";
}

// Whether the driver or a compositor changed the picture between the back buffer and the display.
std::string presentedNote(const Presented& p) {
    if (!p.attempted) return {};
    if (!p.captured)
        return "quillmere's presented window could not be captured (" + p.reason +
               "); the window row is the tool's own back buffer.";
    if (!p.compared) return "quillmere's presented window was captured but not compared: " + notComparedText(p) + ".";
    if (p.differing == 0)
        return std::string("quillmere's presented window equals the tool's back-buffer capture") +
               (p.maxDifference > 0 ? " within one level (that capture is the corner of a larger back buffer)" : "") +
               ": nothing changed the picture when it was shown.";
    return "quillmere's presented window differs from the tool's back-buffer capture in " +
           printed("%.2f%% of the pixels, by up to %d levels (RMSE %.2f)",
                   100.0 * (double)p.differing / (double)p.image.pixels(), p.maxDifference, p.rmse) +
           ": the driver or a compositor changes the picture when it is shown.";
}

std::string noteText(const Note& n, const Results& r) {
    switch (n.kind) {
        case NoteKind::ThinReference:
            return "The reference has " + std::to_string(n.count) +
                   " samples a pixel, no more than the modes it judges: their scores say little.";
        case NoteKind::RefusedRequest:
            return "A request for " + std::to_string(n.count) + " samples was refused: " + n.why;
        case NoteKind::NoFramebuffers:
            return "No framebuffer objects: the report holds window and supersampling only, rendered in the "
                   "window's back buffer.";
        case NoteKind::NoLandmarks:
            return "The blades' positions could not be read back; crops are taken at fixed places.";
        case NoteKind::Presented: return presentedNote(r.presented);
    }
    return "";
}

}  // namespace measure
