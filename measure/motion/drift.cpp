// The drift through the renderer: each mode redrawn at every step, beside a moving reference.
#include "measure/motion/drift.h"

#include "measure/gl/renderer_state.h"
#include "measure/gl/scene.h"
#include "render/gfx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace measure {

std::vector<MotionMode> motionModes(Scene& scene, const GlEntryPoints& gl, const std::vector<StillMode>& still,
                                    const std::vector<Target>& msaaTargets, const Target& single) {
    std::vector<MotionMode> modes;
    for (const StillMode& capture : still) {
        MotionMode m;
        m.name = capture.name;
        m.kind = capture.kind;
        m.capture = capture.capture;
        if (capture.kind == MotionKind::Window) {
            GLint samples = 0;
            if (gl.bindFramebuffer) gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
            glGetIntegerv(GL_SAMPLES, &samples);
            m.samples = std::max(1, (int)samples);
            auto target = std::make_shared<Target>();
            m.enter = [&gl, &single, target] { *target = windowTarget(gl, single.width, single.height); };
            m.leave = [&gl, target] { releaseTarget(gl, *target); };
            m.draw = [&scene, target](double dx, double dy) { return scene.render(*target, dx, dy, false); };
        } else if (capture.kind == MotionKind::Msaa) {
            const Target* target = nullptr;
            for (const Target& t : msaaTargets)
                if (t.requested == capture.requested) target = &t;
            if (!target) continue;
            m.samples = std::max(1, target->granted);
            m.draw = [&scene, target](double dx, double dy) { return scene.render(*target, dx, dy, false); };
        } else if (capture.kind == MotionKind::Ssaa) {
            const int n = capture.gridSide;
            m.samples = n * n;
            // As the still capture: n x n stratified renders, averaged in stored values.
            m.draw = [&scene, &single, n](double dx, double dy) {
                Accumulator sum(single.width, single.height);
                for (int j = 0; j < n; ++j)
                    for (int i = 0; i < n; ++i)
                        sum.add(scene.render(single, dx + (i + 0.5) / n - 0.5, dy + (j + 0.5) / n - 0.5, false));
                return sum.meanStored();
            };
        } else if (capture.kind == MotionKind::Filter) {
            const TextureFilter filter = capture.filter;
            m.enter = [&gl, filter] {
                glBindTexture(GL_TEXTURE_2D, gTestTexture);
                if (filter.mipmapped()) gl.generateMipmap(GL_TEXTURE_2D);
                applyFilter(gl, filter);
            };
            m.leave = [&gl] { applyFilter(gl, kProgramFilter); };
            m.draw = [&scene, &single](double dx, double dy) { return scene.render(single, dx, dy, false); };
        } else {
            continue;
        }
        modes.push_back(std::move(m));
    }
    return modes;
}

namespace {

// The moving reference at every step (k x k renders), what its coverage says of each pixel
// over the whole drift, and each step's blade sectors.
struct MovingReference {
    std::vector<FloatImage> steps;
    std::vector<std::vector<std::uint8_t>> sectors;
    std::vector<std::uint8_t> edgeAny, interiorAll;  // partly covered at some step; wholly at every one
    std::vector<float> coverage0;                    // step 0's coverage, 0 to 1
};

// The drift's frame: its size, steps, the rotation at each step and where the ring lies.
struct Drift {
    const MotionSettings& settings;
    int w, h, steps;
    float baseRotation;
    double aspect;  // the projection's horizontal scale over its vertical one, in pixels
    const double* centre;
    double centreRadius;
    double rotationAt(int s) const { return baseRotation + s * settings.rotationDegrees; }
};

MovingReference drawReference(Scene& scene, const Target& single, const Drift& d, RotationGuard& rotation,
                              const std::function<void(const std::string&)>& progress) {
    const std::size_t pixels = (std::size_t)d.w * d.h;
    MovingReference out;
    out.edgeAny.assign(pixels, 0);
    out.interiorAll.assign(pixels, 1);
    out.coverage0.assign(pixels, 0.0f);
    double dx = 0, dy = 0;
    motionShift(d.settings, d.steps - 1, dx, dy);
    const double travel = std::hypot(dx, dy);
    const double* centre = d.centre;
    const double outer = std::min({centre[0], centre[1], d.w - centre[0], d.h - centre[1]}) - travel - 2;
    const int k = d.settings.k, kc = d.settings.coverageK;
    for (int s = 0; s < d.steps; ++s) {
        progress("motion: reference, step " + std::to_string(s + 1) + " of " + std::to_string(d.steps));
        motionShift(d.settings, s, dx, dy);
        rotation.turnTo((float)d.rotationAt(s));
        FloatImage ref(d.w, d.h);
        std::vector<std::uint32_t> sum(pixels * 3, 0);
        for (int j = 0; j < k; ++j)
            for (int i = 0; i < k; ++i) {
                Image frame = scene.render(single, dx + (i + 0.5) / k - 0.5, dy + (j + 0.5) / k - 0.5, false);
                for (std::size_t q = 0; q < sum.size(); ++q) sum[q] += frame.rgb[q];
            }
        for (std::size_t q = 0; q < sum.size(); ++q) ref.rgb[q] = (float)sum[q] / (k * k);
        std::vector<std::uint32_t> green(pixels, 0);
        for (int j = 0; j < kc; ++j)
            for (int i = 0; i < kc; ++i) {
                Image frame = scene.render(single, dx + (i + 0.5) / kc - 0.5, dy + (j + 0.5) / kc - 0.5, true);
                for (std::size_t p = 0; p < pixels; ++p) green[p] += frame.rgb[p * 3 + 1];
            }
        const std::uint32_t white = 255u * kc * kc;
        for (std::size_t p = 0; p < pixels; ++p) {
            out.edgeAny[p] |= green[p] != 0 && green[p] != white;
            out.interiorAll[p] &= green[p] == 0;
            if (s == 0) out.coverage0[p] = 1.0f - (float)green[p] / white;
        }
        out.sectors.push_back(bladeSectors(d.w, d.h, centre[0] + dx, centre[1] - dy, d.aspect, d.rotationAt(s),
                                           d.centreRadius / 4, outer));
        out.steps.push_back(std::move(ref));
    }
    return out;
}

// Each pixel's classes over the whole drift, counted into `out`. Interior pixels keep a
// whole pixel's distance from any edge: the coarser coverage may miss a sliver of background.
std::vector<std::uint8_t> pixelClasses(const MovingReference& ref, const Drift& d, MotionResults& out) {
    const int w = d.w, h = d.h;
    const std::vector<std::uint8_t>& interiorAll = ref.interiorAll;
    std::vector<std::uint8_t> classes((std::size_t)w * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t p = (std::size_t)y * w + x;
            bool inside = interiorAll[p] && x > 0 && y > 0 && x + 1 < w && y + 1 < h && interiorAll[p - 1] &&
                          interiorAll[p + 1] && interiorAll[p - w] && interiorAll[p + w];
            const double cx = x + 0.5 - d.centre[0], cy = y + 0.5 - d.centre[1];
            classes[p] = (ref.edgeAny[p] ? kMotionEdge : 0) | (inside ? kMotionInterior : 0) |
                         (inside && cx * cx + cy * cy <= d.centreRadius * d.centreRadius ? kMotionCentre : 0);
            out.edgePixels += (classes[p] & kMotionEdge) != 0;
            out.interiorPixels += (classes[p] & kMotionInterior) != 0;
            out.centrePixels += (classes[p] & kMotionCentre) != 0;
        }
    return classes;
}

// Each blade's brightness: the reference less the background it lets through.
std::vector<double> bladeBrightness(const MovingReference& ref) {
    std::vector<double> brightness(kBlades, 0.0);
    for (std::size_t p = 0; p < ref.coverage0.size(); ++p) {
        const std::uint8_t b = ref.sectors[0][p];
        if (b >= kBlades) continue;
        double mean = 0;
        for (int c = 0; c < 3; ++c) mean += ref.steps[0].rgb[p * 3 + c] / 3.0;
        brightness[b] += std::max(0.0, mean - (1.0 - ref.coverage0[p]) * 255.0);
    }
    return brightness;
}

// What each step leaves of a mode: the rows across a blade's edge (halfway to its tip) and
// across the minified centre, and the crops near the tip and in the centre.
class StepRecorder {
public:
    StepRecorder(const Drift& d, const double tip[2], MotionResults& out) : steps_(d.steps) {
        const double* centre = d.centre;
        const double ux = tip[0] - centre[0], uy = tip[1] - centre[1], length = std::max(1e-9, std::hypot(ux, uy));
        length_ = std::max(8, std::min(kProfileLength, (int)(2 * d.centreRadius)));
        const int L = length_;
        const double mx = centre[0] + ux / 2, my = centre[1] + uy / 2, nx = -uy / length * L / 2,
                     ny = ux / length * L / 2;
        const double edgeEnds[4] = {mx - nx, my - ny, mx + nx, my + ny};
        const double centreEnds[4] = {centre[0] - L / 2.0, centre[1] - d.centreRadius / 2, centre[0] + L / 2.0,
                                      centre[1] - d.centreRadius / 2};
        std::copy_n(edgeEnds, 4, edgeEnds_);
        std::copy_n(centreEnds, 4, centreEnds_);
        std::copy_n(edgeEnds, 4, out.profileEdge);
        std::copy_n(centreEnds, 4, out.profileCentre);
        tipCrop_[0] = centre[0] + ux * 0.75;
        tipCrop_[1] = centre[1] + uy * 0.75;
        centreCrop_[0] = centre[0];
        centreCrop_[1] = centre[1] - d.centreRadius / 2;
    }
    void record(MotionFigures& f, const Image& frame, int s) const {
        const int L = length_;
        if (s == 0) f.profile = Image(2 * L + 1, steps_);
        Image a = profileLine(frame, edgeEnds_, L), b = profileLine(frame, centreEnds_, L);
        std::uint8_t* row = &f.profile.rgb[(std::size_t)s * f.profile.width * 3];
        std::copy(a.rgb.begin(), a.rgb.end(), row);
        std::fill_n(row + a.rgb.size(), 3, (std::uint8_t)128);
        std::copy(b.rgb.begin(), b.rgb.end(), row + a.rgb.size() + 3);
        f.frames.push_back(cropPair(frame, tipCrop_, centreCrop_));
    }

private:
    int steps_;
    int length_ = 0;
    double edgeEnds_[4], centreEnds_[4], tipCrop_[2], centreCrop_[2];
};

}  // namespace

MotionResults runDrift(Scene& scene, const Target& single, const std::vector<MotionMode>& modes,
                       const MotionSettings& settings, const Image& stillReference, const double centre[2],
                       const double tip[2], const std::function<void(const std::string&)>& progress) {
    MotionResults out;
    out.measured = true;
    out.settings = settings;
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    RotationGuard rotation;
    const int w = single.width, h = single.height;
    const Drift d{settings,
                  w,
                  h,
                  std::max(2, settings.steps),
                  rotation.saved(),
                  projection[0] * w / (projection[5] * h),
                  centre,
                  std::min(w, h) / 6.0};

    const MovingReference reference = drawReference(scene, single, d, rotation, progress);
    const std::vector<std::uint8_t> classes = pixelClasses(reference, d, out);
    std::vector<bool> edgeMask(classes.size());
    for (std::size_t p = 0; p < classes.size(); ++p) edgeMask[p] = classes[p] & kMotionEdge;
    const Image firstReference = rounded(reference.steps[0]);
    out.referenceCheckRmse = rmse(firstReference, stillReference);
    out.referenceCheckEdgeRmse = rmse(firstReference, stillReference, &edgeMask);
    const std::vector<double> brightness = bladeBrightness(reference);

    const StepRecorder recorder(d, tip, out);
    out.reference.name = "reference";
    out.reference.kind = MotionKind::Reference;
    for (int s = 0; s < d.steps; ++s) recorder.record(out.reference, rounded(reference.steps[s]), s);

    for (const MotionMode& mode : modes) {
        progress("motion: " + mode.name);
        if (mode.enter) mode.enter();
        MotionFigures f;
        f.name = mode.name;
        f.kind = mode.kind;
        f.capture = mode.capture;
        f.samples = mode.samples;
        TemporalError temporal(classes);
        BladeFlicker flicker(kBlades);
        for (int s = 0; s < d.steps; ++s) {
            double dx = 0, dy = 0;
            motionShift(settings, s, dx, dy);
            rotation.turnTo((float)d.rotationAt(s));
            Image frame = mode.draw(dx, dy);
            temporal.add(frame, reference.steps[s]);
            flicker.add(frame, reference.steps[s], reference.sectors[s]);
            recorder.record(f, frame, s);
        }
        if (mode.leave) mode.leave();
        f.edge = temporal.rmse(kMotionEdge);
        f.interior = temporal.rmse(kMotionInterior);
        f.centre = temporal.rmse(kMotionCentre);
        f.flicker = flicker.percent(brightness);
        out.modes.push_back(std::move(f));
    }
    return out;
}

}  // namespace measure
