// A run's results as plain data: every capture with its scores, the driver's answers, the
// verdicts, filtering and motion. The measurement fills it; the report only reads it.
#pragma once

#include "measure/aa/results.h"
#include "measure/core/metrics.h"
#include "measure/filtering/results.h"
#include "measure/gl/sampling.h"
#include "measure/gl/scene.h"
#include "measure/motion/figures.h"
#include "measure/presentation/figures.h"
#include "measure/presentation/verdict.h"
#include "measure/run/presented.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace measure {

// How a capture was drawn: the window's back buffer, quillmere's own window as the display
// shows it, a framebuffer object of a sample count, K x K sub-pixel renders averaged, or one
// frame under a texture filter.
enum class CaptureKind : std::uint8_t { Window, Presented, Msaa, Ssaa, Filter };
// results.json's layout version (docs/results.schema.json); raised whenever the layout changes, since a
// build refuses any field it was not built with.
constexpr int kSchemaVersion = 4;

struct Capture {
    std::string name;  // window, msaa-N, ssaa-KxK, filter-...
    CaptureKind kind = CaptureKind::Window;
    int requested = 0;
    int granted = 0;
    int effective = 0;
    std::vector<int> levels;
    double rmse = 0, psnr = 0, ssim = 0, edgeRmse = 0, interiorRmse = 0, centreRmse = 0, rmseLinear = 0;
    double msPerFrame = 0;
    CostMethod costMethod = CostMethod::None;
    int gridSide = 0;      // ssaa: the K of its K x K grid
    TextureFilter filter;  // filter: the texture filter it was drawn with
    Image image;
    Image coverage;
    // The reference's texture detail this picture keeps, by landmark (Interiors first).
    std::vector<DetailKept> detail;
};

// What presentation did: the presented picture against the back buffer of the same frame,
// as figures, with the landmarks' sizes the detail figures were taken over.
struct PresentationResults {
    bool measured = false;
    std::string reason;  // why not, where it was not
    PresentationFigures figures;
    PresentationEvidence evidence;  // what the verdict read of the figures
    PresentationVerdict verdict;
    std::size_t candidates = 0;  // family candidates made over the back buffer
    std::vector<std::pair<LandmarkKind, std::size_t>> landmarkPixels;
    // Whether the verdict says presentation changed the picture in a way it explains.
    bool explained() const {
        return measured && !verdict.steps.empty() && verdict.steps.front().cls != PresentationClass::Unchanged &&
               verdict.steps.front().cls != PresentationClass::Unexplained;
    }
};

// A remark on the run the report makes beside its figures (report/words.h words it).
enum class NoteKind : std::uint8_t {
    ThinReference,   // the reference has `count` samples a pixel, too few to judge by
    RefusedRequest,  // a framebuffer of `count` samples was refused, `why`
    NoFramebuffers,  // window and supersampling only
    NoLandmarks,     // the blades' positions could not be read back
    Presented,       // the presented window against the back buffer (Results::presented)
};
struct Note {
    NoteKind kind = NoteKind::Presented;
    int count = 0;
    std::string why;
};

// Whose anti-aliasing verdict the window gets: quillmere's presented picture where it was
// captured and judged, else the tool's back-buffer capture; none where neither was judged.
// Where the presentation verdict explains what presentation changed, the back buffer's
// joined with it.
enum class WindowVerdict : std::uint8_t { NotMeasured, BackBuffer, Presented, BackBufferAndPresentation };

struct Results {
    std::string version, renderer, vendor, glVersion;
    int width = 0, height = 0;
    bool headless = false;
    bool windowAvailable = false;
    std::string windowReason;
    int sampleBuffers = 0, samples = 0;
    WindowFormat format;
    Presented presented;
    PresentationResults presentation;
    WindowVerdict windowVerdict = WindowVerdict::NotMeasured;
    std::size_t windowVerdictAt = 0;  // in aa.verdicts, unless NotMeasured
    bool framebuffers = false;
    std::vector<Note> notes;
    int k = 0, checkSamples = 0;  // the reference's K and the samples of its half used as a check
    double convergenceRmse = 0, convergenceMax = 0, storedVsLinearRmse = 0;
    std::size_t edgePixels = 0, interiorPixels = 0, centrePixels = 0;
    std::vector<Capture> captures;
    std::vector<std::pair<int, std::vector<float>>> samplePositions;
    std::vector<std::pair<int, int>> dropped;  // (requested, granted) of requests left out
    std::vector<std::pair<std::string, double>> phases;
    // Captures dropped because OpenGL reported an error while they were drawn or read back.
    std::vector<std::pair<std::string, std::string>> failed;
    double tip[2] = {0, 0}, centre[2] = {0, 0}, caption[2] = {0, 0};
    Image reference, referenceLinear;
    std::string summary;
    bool whole = true;
    AaResults aa;
    // The window's verdict, where there is one.
    const Verdict* chosenVerdict() const {
        return windowVerdict == WindowVerdict::NotMeasured ? nullptr : &aa.verdicts[windowVerdictAt].verdict;
    }
    Filtering filtering;
    MotionResults motion;
};

}  // namespace measure
