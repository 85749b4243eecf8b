// The verdicts of a run: candidates emulated through the renderer at the positions the sweep
// found, every judged capture set against them, and the scores that separate geometry from
// texture.
#include "measure/aa/candidates.h"
#include "measure/run/session.h"

#include <algorithm>
#include <set>

namespace measure {

void judgeAntialiasing(Session& s) {
    Results& r = s.results;
    AaResults& aa = r.aa;
    // Each distinct set of positions once: a window's may be the framebuffer objects' upside
    // down (Mesa stores window buffers with rows the other way).
    std::vector<Pattern> patterns;
    std::vector<std::string> labels;
    std::set<Pattern> seen;
    for (const SamplePositions& p : aa.positions) {
        const std::vector<float>& xy = p.measured.empty() ? p.driver : p.measured;
        Pattern pattern;
        for (std::size_t i = 0; i + 1 < xy.size(); i += 2) pattern.emplace_back(xy[i], xy[i + 1]);
        Pattern sorted = pattern;
        std::sort(sorted.begin(), sorted.end());
        if (pattern.empty() || !seen.insert(sorted).second) continue;
        patterns.push_back(std::move(pattern));
        labels.push_back(p.target + " positions");
    }
    std::vector<Region> regions(s.masks.edge.size(), Region::Outside);
    for (std::size_t p = 0; p < regions.size(); ++p)
        regions[p] = s.masks.edge[p] ? Region::Edge : s.masks.interior[p] ? Region::Interior : Region::Outside;
    const Bands bands = makeBands(regions, r.width, r.height);
    Emulator emulator([&](double dx, double dy, bool coverage) { return s.scene.render(s.single, dx, dy, coverage); });
    const std::vector<Candidate> all = candidates(emulator, patterns, labels);
    aa.emulationRenders = emulator.renders();
    const std::string error = s.scene.takeError();
    if (!error.empty()) {
        r.failed.emplace_back("verdict candidates", error);
        r.whole = false;
    }
    const Image& one = emulator.at(0.5, 0.5, false);
    for (std::size_t index = 0; index < r.captures.size(); ++index) {
        const Capture& c = r.captures[index];
        AaScores score;
        score.capture = c.name;
        // A picture without a coverage pass (quillmere's presented window) has no geometric score.
        score.hasGeometric = c.coverage.pixels() == aa.referenceCoverage.pixels();
        if (score.hasGeometric) score.geometricEdge = rmse(c.coverage, aa.referenceCoverage, &s.masks.edge);
        score.texturedEdge = c.edgeRmse;
        score.edgeLinear = rmse(c.image, r.referenceLinear, &s.masks.edge);
        score.spill = spillShare(c.image, one, bands, 1.0);
        aa.scores.push_back(score);
        // The tool's own supersampling and filters are what they are; every other picture
        // (the window, however it was captured, and each framebuffer object) is judged.
        if (!error.empty() || c.kind == CaptureKind::Ssaa || c.kind == CaptureKind::Filter) continue;
        CaptureVerdict v;
        v.capture = c.name;
        v.captureIndex = index;
        v.formatSamples = c.granted;
        if (c.kind != CaptureKind::Msaa) v.bits = aa.windowBits;
        Judging in;
        in.picture = &c.image;
        in.coverage = c.coverage.pixels() ? &c.coverage : nullptr;
        in.bits = v.bits;
        in.formatSamples = c.granted;
        in.driverMultisamples = aa.maxSamples > 1;
        in.oneSample = &one;
        in.bands = &bands;
        v.verdict = judge(in, all);
        aa.verdicts.push_back(std::move(v));
    }
}

}  // namespace measure
