// The drift through the renderer: each mode redrawn at every step, beside a moving reference.
#include "measure/motion/drift.h"

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

MotionResults runDrift(Scene& scene, const Target& single, const std::vector<MotionMode>& modes,
                       const MotionSettings& settings, const Image& stillReference, const double centre[2],
                       const double tip[2], const std::function<void(const std::string&)>& progress) {
    MotionResults out;
    out.measured = true;
    out.settings = settings;
    const int w = single.width, h = single.height, steps = std::max(2, settings.steps);
    const std::size_t pixels = (std::size_t)w * h;
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const double aspect = projection[0] * w / (projection[5] * h);
    const float baseRotation = gRotZ;
    auto rotationAt = [&](int s) { return baseRotation + s * settings.rotationDegrees; };

    // The reference at every step, its coverage for the classes, and each step's blade sectors.
    std::vector<FloatImage> reference;
    std::vector<std::vector<std::uint8_t>> sectors;
    std::vector<std::uint8_t> edgeAny(pixels, 0), interiorAll(pixels, 1);
    std::vector<float> coverage0(pixels, 0.0f);
    double dx = 0, dy = 0, travel = 0;
    motionShift(settings, steps - 1, dx, dy);
    travel = std::hypot(dx, dy);
    const double centreRadius = std::min(w, h) / 6.0;
    const double outer = std::min({centre[0], centre[1], w - centre[0], h - centre[1]}) - travel - 2;
    const int k = settings.k, kc = settings.coverageK;
    for (int s = 0; s < steps; ++s) {
        progress("motion: reference, step " + std::to_string(s + 1) + " of " + std::to_string(steps));
        motionShift(settings, s, dx, dy);
        gRotZ = (float)rotationAt(s);
        FloatImage ref(w, h);
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
            edgeAny[p] |= green[p] != 0 && green[p] != white;
            interiorAll[p] &= green[p] == 0;
            if (s == 0) coverage0[p] = 1.0f - (float)green[p] / white;
        }
        sectors.push_back(
            bladeSectors(w, h, centre[0] + dx, centre[1] - dy, aspect, rotationAt(s), centreRadius / 4, outer));
        reference.push_back(std::move(ref));
    }

    // Interior pixels keep a whole pixel's distance from any edge: the coarser coverage
    // may miss a sliver of background.
    std::vector<std::uint8_t> classes(pixels, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t p = (std::size_t)y * w + x;
            bool inside = interiorAll[p] && x > 0 && y > 0 && x + 1 < w && y + 1 < h && interiorAll[p - 1] &&
                          interiorAll[p + 1] && interiorAll[p - w] && interiorAll[p + w];
            const double cx = x + 0.5 - centre[0], cy = y + 0.5 - centre[1];
            classes[p] = (edgeAny[p] ? kMotionEdge : 0) | (inside ? kMotionInterior : 0) |
                         (inside && cx * cx + cy * cy <= centreRadius * centreRadius ? kMotionCentre : 0);
            out.edgePixels += (classes[p] & kMotionEdge) != 0;
            out.interiorPixels += (classes[p] & kMotionInterior) != 0;
            out.centrePixels += (classes[p] & kMotionCentre) != 0;
        }
    std::vector<bool> edgeMask(pixels);
    for (std::size_t p = 0; p < pixels; ++p) edgeMask[p] = classes[p] & kMotionEdge;
    const Image firstReference = rounded(reference[0]);
    out.referenceCheckRmse = rmse(firstReference, stillReference);
    out.referenceCheckEdgeRmse = rmse(firstReference, stillReference, &edgeMask);

    // Each blade's brightness: the reference less the background it lets through.
    std::vector<double> brightness(kBlades, 0.0);
    for (std::size_t p = 0; p < pixels; ++p) {
        const std::uint8_t b = sectors[0][p];
        if (b >= kBlades) continue;
        double mean = 0;
        for (int c = 0; c < 3; ++c) mean += reference[0].rgb[p * 3 + c] / 3.0;
        brightness[b] += std::max(0.0, mean - (1.0 - coverage0[p]) * 255.0);
    }

    // The rows across a blade's edge (halfway to its tip) and across the minified centre,
    // and the crops' middles near the tip and in the centre.
    const double ux = tip[0] - centre[0], uy = tip[1] - centre[1], length = std::max(1e-9, std::hypot(ux, uy));
    const int L = std::max(8, std::min(kProfileLength, (int)(2 * centreRadius)));
    const double mx = centre[0] + ux / 2, my = centre[1] + uy / 2, nx = -uy / length * L / 2, ny = ux / length * L / 2;
    const double edgeEnds[4] = {mx - nx, my - ny, mx + nx, my + ny};
    const double centreEnds[4] = {centre[0] - L / 2.0, centre[1] - centreRadius / 2, centre[0] + L / 2.0,
                                  centre[1] - centreRadius / 2};
    std::copy_n(edgeEnds, 4, out.profileEdge);
    std::copy_n(centreEnds, 4, out.profileCentre);
    const double tipCrop[2] = {centre[0] + ux * 0.75, centre[1] + uy * 0.75};
    const double centreCrop[2] = {centre[0], centre[1] - centreRadius / 2};
    auto record = [&](MotionFigures& f, const Image& frame, int s) {
        if (s == 0) f.profile = Image(2 * L + 1, steps);
        Image a = profileLine(frame, edgeEnds, L), b = profileLine(frame, centreEnds, L);
        std::uint8_t* row = &f.profile.rgb[(std::size_t)s * f.profile.width * 3];
        std::copy(a.rgb.begin(), a.rgb.end(), row);
        std::fill_n(row + a.rgb.size(), 3, (std::uint8_t)128);
        std::copy(b.rgb.begin(), b.rgb.end(), row + a.rgb.size() + 3);
        f.frames.push_back(cropPair(frame, tipCrop, centreCrop));
    };
    out.reference.name = "reference";
    out.reference.kind = MotionKind::Reference;
    for (int s = 0; s < steps; ++s) record(out.reference, rounded(reference[s]), s);

    for (const MotionMode& mode : modes) {
        progress("motion: " + mode.name);
        if (mode.enter) mode.enter();
        MotionFigures f;
        f.name = mode.name;
        f.kind = mode.kind;
        f.samples = mode.samples;
        TemporalError temporal(classes);
        BladeFlicker flicker(kBlades);
        for (int s = 0; s < steps; ++s) {
            motionShift(settings, s, dx, dy);
            gRotZ = (float)rotationAt(s);
            Image frame = mode.draw(dx, dy);
            temporal.add(frame, reference[s]);
            flicker.add(frame, reference[s], sectors[s]);
            record(f, frame, s);
        }
        if (mode.leave) mode.leave();
        f.edge = temporal.rmse(kMotionEdge);
        f.interior = temporal.rmse(kMotionInterior);
        f.centre = temporal.rmse(kMotionCentre);
        f.flicker = flicker.percent(brightness);
        out.modes.push_back(std::move(f));
    }
    gRotZ = baseRotation;
    out.sentence = motionSentence(out.modes);
    return out;
}

}  // namespace measure
