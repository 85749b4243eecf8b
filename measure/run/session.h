// One measuring run's shared state, and the capture modes that work on it. Each mode adds
// its captures to the results; a capture whose drawing, resolve or read-back reports an
// OpenGL error is dropped and named, and the run is then incomplete.
#pragma once

#include "measure/gl/scene.h"
#include "measure/run/results.h"

#include <string>
#include <vector>

namespace measure {

// Per-pixel masks from the reference's coverage.
struct Masks {
    std::vector<bool> edge;      // partly covered
    std::vector<bool> interior;  // wholly covered
    std::vector<bool> centre;    // interior, within the minified middle of the ring
};

struct Session {
    const GlEntryPoints& gl;
    Scene& scene;
    Results& results;
    // The one-sample framebuffer object every offset render goes into; the window's back
    // buffer where there are no framebuffer objects.
    Target single;
    // One framebuffer object per granted sample count, ascending, no multisampling first.
    std::vector<Target> msaa;
    Masks masks;
};

// Frames of a single-frame capture timed after the warm-up; the median is reported.
constexpr int kCostFrames = 9;
// Frames of a supersampled capture timed (each K x K draws).
constexpr int kSupersampleCostFrames = 3;

// The reference (K x K sub-pixel renders in colour and coverage, and a coarser check of
// its convergence) and the masks drawn from it.
void buildReference(Session& s, int k);
// The window's back buffer, as the renderer draws it there.
void captureWindow(Session& s);
// One capture per framebuffer object in s.msaa, with the driver's sample positions.
void captureMsaa(Session& s);
// K x K supersampling for K = 2, 3, 4 in the one-sample target.
void captureSsaa(Session& s);
// The test texture under GL_LINEAR, GL_NEAREST, trilinear and each anisotropy degree; the
// program's own filtering is restored after.
void captureFilters(Session& s);
// Emulates the candidates at the sample positions measured (the driver's where the sweep
// failed), judges the window and every multisampled capture against them, and scores each
// capture's edges apart from its texture. A render that fails leaves the verdicts out.
void judgeAntialiasing(Session& s);
// Every capture's scores against the reference.
void scoreCaptures(Session& s);
// The landmarks, every capture's texture detail kept over them, and what presentation did
// to quillmere's presented picture (against the window's capture), into results.presentation.
void measurePresentationStep(Session& s);
// One capture's scores against the reference (prepared for SSIM), within the masks.
void scoreCapture(Capture& c, const Results& r, const SsimReference& reference, const Masks& m);

// One rewritten line on standard error while the work goes on; empty clears it.
void progress(const std::string& what);

// Keeps a capture, or drops and names it when `error` (an OpenGL error seen while it was
// made) is not empty. True when kept.
bool keepCapture(Results& r, Capture&& c, const std::string& error);

}  // namespace measure
