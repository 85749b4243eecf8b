// The step from back buffer to screen, measured: the landmarks from the renderer's own
// triangles, every capture's texture detail over them, and the presented picture's figures
// against the tool's back buffer of the same frame.
#include "measure/core/parallel.h"
#include "measure/filtering/probes.h"
#include "measure/run/landmarks.h"
#include "measure/run/session.h"

#include <algorithm>

namespace measure {
namespace {

// The reference's regions as the verdict's bands take them.
Bands bandsOf(const Masks& m, int width, int height) {
    std::vector<Region> regions(m.edge.size(), Region::Outside);
    for (std::size_t p = 0; p < regions.size(); ++p)
        regions[p] = m.edge[p] ? Region::Edge : m.interior[p] ? Region::Interior : Region::Outside;
    return makeBands(regions, width, height);
}

// The presented picture's figures against the window's capture, where both are there and
// of one size; else the reason, for the report.
void presentationFigures(Session& s, const std::vector<Landmark>& landmarks) {
    Results& r = s.results;
    PresentationResults& out = r.presentation;
    const Capture* window = nullptr;
    for (const Capture& c : r.captures)
        if (c.kind == CaptureKind::Window) window = &c;
    if (!r.presented.captured || window == nullptr) {
        out.reason = r.presented.attempted ? "the presented picture was not captured"
                                           : "the presented picture was not asked for";
        return;
    }
    const Bands bands = bandsOf(s.masks, r.width, r.height);
    PresentationInput in;
    in.back = &window->image;
    in.presented = &r.presented.image;
    in.reference = &r.reference;
    in.referenceCoverage = &r.aa.referenceCoverage;
    in.bands = &bands;
    in.landmarks = &landmarks;
    // The comparison's own tolerance, at least the one level an 8-bit framebuffer rounds to.
    in.tolerance = std::max(1, r.presented.tolerance);
    out.figures = measurePresentation(in);
    out.evidence = evidenceOf(out.figures, in);
    // An unchanged picture needs no candidates: nothing is there for them to explain.
    if (out.figures.sameSize && out.figures.differing > 0) {
        // The families made over the back buffer, the frame presentation started from.
        const std::vector<FamilyCandidate> candidates = presentationCandidates(window->image);
        out.candidates = candidates.size();
        const bool curved = out.figures.curve.shape != CurveShape::Identity;
        const std::vector<FamilyDistance> distances = familyDistances(
            candidates, r.presented.image, window->image, in.tolerance, curved ? &out.figures.curve.map : nullptr);
        out.verdict = judgePresentation(out.evidence, distances);
    } else {
        out.verdict = judgePresentation(out.evidence, {});
    }
    out.measured = true;
}

}  // namespace

void measurePresentationStep(Session& s) {
    Results& r = s.results;
    progress("presentation: landmarks and texture detail");
    const FrameModel model = ringModel(s.gl, s.single, kTestImageSide);
    const std::vector<Landmark> landmarks = landmarkMasks(model, s.masks.interior);
    for (const Landmark& l : landmarks) {
        std::size_t n = 0;
        for (bool in : l.mask) n += in;
        r.presentation.landmarkPixels.emplace_back(l.kind, n);
    }
    const DetailReference reference = prepareDetail(r.reference);
    forEachInParallel(r.captures.size(), [&](std::size_t i) {
        r.captures[i].detail = detailKept(reference, r.captures[i].image, landmarks);
    });
    presentationFigures(s, landmarks);
}

}  // namespace measure
