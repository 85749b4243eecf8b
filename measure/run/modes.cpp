// The capture modes: each draws through the scene, checks OpenGL's errors for its own
// captures, and adds what it measured to the results.
#include "measure/run/session.h"

#include "measure/core/parallel.h"
#include "measure/aa/position_sweep.h"

#include "render/gfx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <unistd.h>

namespace measure {
namespace {

// A capture of one frame per pixel with its coverage pass and its cost.
Capture captureOnce(Session& s, const Target& t, const std::string& name, CaptureKind kind) {
    Capture c;
    c.name = name;
    c.kind = kind;
    c.requested = t.window ? 0 : t.requested;
    c.granted = t.granted;
    c.image = s.scene.render(t, 0, 0, false);
    c.coverage = s.scene.render(t, 0, 0, true);
    c.msPerFrame = s.scene.frameCost(t, 1, kCostFrames, c.costMethod);
    return c;
}

}  // namespace

void progress(const std::string& what) {
    // Redrawn in place on a terminal; a log gets one line a step.
    static const bool terminal = isatty(2);
    if (terminal)
        std::fprintf(stderr, "\r\033[K%s", what.c_str());
    else if (!what.empty())
        std::fprintf(stderr, "%s\n", what.c_str());
    std::fflush(stderr);
}

bool keepCapture(Results& r, Capture&& c, const std::string& error) {
    if (!error.empty()) {
        r.failed.emplace_back(c.name, error);
        r.whole = false;
        return false;
    }
    r.captures.push_back(std::move(c));
    return true;
}

void buildReference(Session& s, int k) {
    Results& r = s.results;
    const int width = r.width, height = r.height;
    r.k = k;
    if (k * k < 16) r.notes.push_back({NoteKind::ThinReference, k * k, {}});
    r.aa.referenceK = k;
    // The mean of half the samples lies (A - B) / 2 from the mean of all of them, where A and
    // B are the two halves' means: as far, on average, as the whole mean lies from the exact
    // pixel, so its distance estimates the reference's own error at no extra render.
    Accumulator colour(width, height, Accumulator::Sums::StoredAndLinear), cover(width, height), check(width, height);
    const std::string grid = std::to_string(k) + "x" + std::to_string(k);
    progress("reference: " + grid);
    s.scene.supersample(s.single, k, false, colour, nullptr, true, &check);
    r.checkSamples = check.count();
    progress("reference: " + grid + " coverage");
    s.scene.supersample(s.single, k, true, cover, nullptr, true);
    r.reference = colour.meanStored();
    r.referenceLinear = colour.meanLinear();
    Image checkImage = check.meanStored();
    r.convergenceRmse = rmse(checkImage, r.reference);
    for (std::size_t i = 0; i < checkImage.rgb.size(); ++i)
        r.convergenceMax = std::max(r.convergenceMax, std::fabs((double)checkImage.rgb[i] - r.reference.rgb[i]));
    r.storedVsLinearRmse = rmse(r.reference, r.referenceLinear);
    const std::vector<Region> regions = cover.regions();
    Masks& m = s.masks;
    m.edge.assign(regions.size(), false);
    m.interior.assign(regions.size(), false);
    m.centre.assign(regions.size(), false);
    const double centreRadius = std::min(width, height) / 6.0;
    for (std::size_t p = 0; p < regions.size(); ++p) {
        m.edge[p] = regions[p] == Region::Edge;
        m.interior[p] = regions[p] == Region::Interior;
        double x = (double)(p % width) + 0.5 - r.centre[0], y = (double)(p / width) + 0.5 - r.centre[1];
        m.centre[p] = m.interior[p] && x * x + y * y <= centreRadius * centreRadius;
        r.edgePixels += m.edge[p];
        r.interiorPixels += m.interior[p];
        r.centrePixels += m.centre[p];
    }
    r.aa.convergenceEdge = rmse(checkImage, r.reference, &m.edge);
    r.aa.convergenceCentre = rmse(checkImage, r.reference, &m.centre);
    r.aa.referenceCoverage = cover.meanStored();
    std::string error = s.scene.takeError();
    if (!error.empty()) {
        r.failed.emplace_back("reference", error);
        r.whole = false;
    }
}

void captureWindow(Session& s) {
    progress("capture: window");
    Target t = windowTarget(s.gl, s.results.width, s.results.height);
    clearGlErrors();
    Capture c = captureOnce(s, t, "window", CaptureKind::Window);
    if (t.granted > 1) s.results.aa.positions.push_back(samplePositionsOf(s.gl, t, "window"));
    releaseTarget(s.gl, t);
    keepCapture(s.results, std::move(c), s.scene.takeError());
}

void captureMsaa(Session& s) {
    for (const Target& t : s.msaa) {
        std::string name = "msaa-" + std::to_string(t.requested);
        progress("capture: " + name);
        Capture c = captureOnce(s, t, name, CaptureKind::Msaa);
        std::vector<float> xy = samplePositions(s.gl, t);
        if (t.granted > 1) s.results.aa.positions.push_back(samplePositionsOf(s.gl, t, name));
        if (keepCapture(s.results, std::move(c), s.scene.takeError()) && !xy.empty())
            s.results.samplePositions.emplace_back(t.granted, xy);
    }
}

void captureSsaa(Session& s) {
    const int width = s.results.width, height = s.results.height;
    for (int k = 2; k <= 4; ++k) {
        Capture c;
        c.name = "ssaa-" + std::to_string(k) + "x" + std::to_string(k);
        c.kind = CaptureKind::Ssaa;
        c.requested = c.granted = k * k;
        c.gridSide = k;
        progress("capture: " + c.name);
        Accumulator sum(width, height), coverage(width, height);
        s.scene.supersample(s.single, k, false, sum);
        s.scene.supersample(s.single, k, true, coverage);
        c.image = sum.meanStored();
        c.coverage = coverage.meanStored();
        // Per output frame: all K x K draws.
        c.msPerFrame = s.scene.frameCost(s.single, k * k, kSupersampleCostFrames, c.costMethod);
        keepCapture(s.results, std::move(c), s.scene.takeError());
    }
}

void captureFilters(Session& s) {
    struct Filter {
        std::string name;
        TextureFilter filter;
    };
    const GlEntryPoints& gl = s.gl;
    std::vector<Filter> filters = {{"filter-linear", {FilterMode::Linear, 1}},
                                   {"filter-nearest", {FilterMode::Nearest, 1}},
                                   {"filter-trilinear", {FilterMode::Trilinear, 1}}};
    for (int a = 2; gl.anisotropic && a <= 16 && a <= gl.maxAnisotropy; a *= 2)
        filters.push_back({"filter-aniso-" + std::to_string(a), {FilterMode::Trilinear, (float)a}});
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
    clearGlErrors();
    gl.generateMipmap(GL_TEXTURE_2D);
    GLenum mipmapError = glGetError();
    for (const Filter& f : filters) {
        progress("capture: " + f.name);
        applyFilter(gl, f.filter);
        GLenum setError = glGetError();
        Capture c = captureOnce(s, s.single, f.name, CaptureKind::Filter);
        c.requested = c.granted = 0;
        c.filter = f.filter;
        std::string error = s.scene.takeError();
        if (setError != GL_NO_ERROR) error = "texture parameters: " + glErrorName(setError);
        // Only the mipmapped filters read the generated levels.
        if (f.filter.mipmapped() && mipmapError != GL_NO_ERROR)
            error = "mipmap generation: " + glErrorName(mipmapError);
        keepCapture(s.results, std::move(c), error);
    }
    applyFilter(gl, kProgramFilter);
}

void scoreCaptures(Session& s) {
    Results& r = s.results;
    // The captures' scores are independent of each other and all on the processor, while the
    // driver is idle: the machine's cores share them.
    const SsimReference reference = prepareSsim(r.reference);
    forEachInParallel(r.captures.size(), [&](std::size_t i) { scoreCapture(r.captures[i], r, reference, s.masks); });
}

void scoreCapture(Capture& c, const Results& r, const SsimReference& reference, const Masks& m) {
    c.rmse = rmse(c.image, r.reference);
    c.psnr = psnr(c.rmse);
    c.ssim = ssim(c.image, reference);
    c.edgeRmse = rmse(c.image, r.reference, &m.edge);
    c.interiorRmse = rmse(c.image, r.reference, &m.interior);
    c.centreRmse = rmse(c.image, r.reference, &m.centre);
    c.rmseLinear = rmse(c.image, r.referenceLinear);
    c.levels = coverageLevels(c.coverage, m.edge);
    c.effective = effectiveSamples(c.levels);
}

}  // namespace measure
