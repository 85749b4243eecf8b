// The drift and its figures: temporal error per pixel class, blade flicker, profiles and crops.
#include "measure/motion/drift.h"

#include "measure/gl/scene.h"
#include "measure/report/report.h"
#include "render/gfx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace measure {
namespace {

constexpr double kPi = 3.14159265358979323846;
// The renderer's blades: fifteen, 2 pi / 15 apart, each 0.3 radians wide from its start angle.
constexpr int kBlades = 15;
constexpr double kBladeStep = 2 * kPi / kBlades;
constexpr double kBladeWidth = 0.3;
constexpr int kProfileLength = 40;
constexpr int kCropSide = 24;

// The index of a class bit in the sums.
int classIndex(MotionClass cls) { return cls == kMotionEdge ? 0 : cls == kMotionInterior ? 1 : 2; }

// An 8-bit image from unrounded values.
Image rounded(const FloatImage& f) {
    Image out(f.width, f.height);
    for (std::size_t i = 0; i < f.rgb.size(); ++i)
        out.rgb[i] = (std::uint8_t)std::clamp(std::lround(f.rgb[i]), 0L, 255L);
    return out;
}

// The nearest pixel to (x, y), clamped to the image; rows from the top.
std::size_t nearest(int width, int height, double x, double y) {
    int i = std::clamp((int)std::floor(x), 0, width - 1), j = std::clamp((int)std::floor(y), 0, height - 1);
    return (std::size_t)j * width + i;
}

// A square crop around (x, y) at 1x, clamped to the image.
Image square(const Image& frame, const double at[2]) { return crop(frame, at[0], at[1], kCropSide, 1); }

}  // namespace

void TemporalError::add(const Image& frame, const FloatImage& reference) {
    if (!previous_.rgb.empty()) {
        for (std::size_t p = 0; p < frame.pixels(); ++p) {
            const std::uint8_t bits = classes_[p];
            if (!bits) continue;
            double sq = 0;
            for (int c = 0; c < 3; ++c) {
                const std::size_t i = p * 3 + c;
                double d =
                    ((double)frame.rgb[i] - previous_.rgb[i]) - ((double)reference.rgb[i] - previousReference_.rgb[i]);
                sq += d * d;
            }
            for (int k = 0; k < 3; ++k)
                if (bits & (1 << k)) {
                    sum_[k] += sq;
                    count_[k] += 3;
                }
        }
    }
    previous_ = frame;
    previousReference_ = reference;
}

double TemporalError::rmse(MotionClass cls) const {
    const int k = classIndex(cls);
    return count_[k] ? std::sqrt(sum_[k] / count_[k]) : 0.0;
}

std::vector<std::uint8_t> bladeSectors(int width, int height, double centreX, double centreY, double aspect,
                                       double rotationDegrees, double innerRadius, double outerRadius) {
    std::vector<std::uint8_t> out((std::size_t)width * height, 255);
    const double theta = rotationDegrees * kPi / 180.0;
    // Sector borders lie in the middle of the gaps between blades.
    const double halfGap = (kBladeStep - kBladeWidth) / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double px = x + 0.5 - centreX, py = centreY - (y + 0.5);
            const double r = std::hypot(px, py);
            if (r < innerRadius || r > outerRadius) continue;
            // The blades start at angle a from the y axis towards x, before the rotation.
            double a = kPi / 2 - std::atan2(py, px / aspect) + theta + halfGap;
            a = std::fmod(a, 2 * kPi);
            if (a < 0) a += 2 * kPi;
            out[(std::size_t)y * width + x] = (std::uint8_t)std::min((int)(a / kBladeStep), kBlades - 1);
        }
    return out;
}

void BladeFlicker::add(const Image& frame, const FloatImage& reference, const std::vector<std::uint8_t>& sectors) {
    std::vector<double> step(sums_.size(), 0.0);
    for (std::size_t p = 0; p < frame.pixels(); ++p) {
        const std::uint8_t b = sectors[p];
        if (b >= step.size()) continue;
        for (int c = 0; c < 3; ++c) step[b] += ((double)frame.rgb[p * 3 + c] - reference.rgb[p * 3 + c]) / 3;
    }
    for (std::size_t b = 0; b < step.size(); ++b) sums_[b].push_back(step[b]);
}

double BladeFlicker::percent(const std::vector<double>& brightness) const {
    double sum = 0;
    int blades = 0;
    for (std::size_t b = 0; b < sums_.size(); ++b) {
        const std::vector<double>& s = sums_[b];
        if (s.size() < 2 || b >= brightness.size() || brightness[b] <= 0) continue;
        double mean = 0, var = 0;
        for (double v : s) mean += v;
        mean /= s.size();
        for (double v : s) var += (v - mean) * (v - mean);
        const double relative = std::sqrt(var / s.size()) / brightness[b] * 100;
        sum += relative * relative;
        ++blades;
    }
    return blades ? std::sqrt(sum / blades) : 0.0;
}

unsigned long long motionBytes(const MotionSettings& m, int width, int height) {
    const unsigned long long pixels = (unsigned long long)width * (unsigned long long)height;
    return pixels * ((unsigned long long)m.steps * (3 * sizeof(float) + 1) + 3 * sizeof(std::uint32_t) + 16);
}

void motionShift(const MotionSettings& m, int step, double& dx, double& dy) {
    const double a = m.directionDegrees * kPi / 180.0;
    dx = step * m.speed * std::cos(a);
    dy = step * m.speed * std::sin(a);
}

Image profileLine(const Image& frame, const double ends[4], int length) {
    Image out(length, 1);
    for (int i = 0; i < length; ++i) {
        const double t = (i + 0.5) / length;
        const std::size_t p =
            nearest(frame.width, frame.height, ends[0] + t * (ends[2] - ends[0]), ends[1] + t * (ends[3] - ends[1]));
        for (int c = 0; c < 3; ++c) out.rgb[(std::size_t)i * 3 + c] = frame.rgb[p * 3 + c];
    }
    return out;
}

Image cropPair(const Image& frame, const double a[2], const double b[2]) {
    Image left = square(frame, a), right = square(frame, b);
    Image out(left.width + 1 + right.width, std::max(left.height, right.height));
    std::fill(out.rgb.begin(), out.rgb.end(), (std::uint8_t)128);
    auto paste = [&](const Image& part, int x0) {
        for (int y = 0; y < part.height; ++y)
            std::copy_n(&part.rgb[(std::size_t)y * part.width * 3], (std::size_t)part.width * 3,
                        &out.rgb[((std::size_t)y * out.width + x0) * 3]);
    };
    paste(left, 0);
    paste(right, left.width + 1);
    return out;
}

std::string motionSentence(const std::vector<MotionFigures>& modes) {
    auto find = [&](const std::string& name) -> const MotionFigures* {
        for (const MotionFigures& m : modes)
            if (m.name == name) return &m;
        return nullptr;
    };
    const MotionFigures* one = find("msaa-0");
    if (!one) one = find("window");
    // The most samples granted; a one-sample multisampled buffer is no anti-aliasing.
    const MotionFigures* msaa = nullptr;
    for (const MotionFigures& m : modes)
        if (m.kind == "msaa" && m.samples > 1 && (!msaa || m.samples > msaa->samples)) msaa = &m;
    const MotionFigures* ssaa = find("ssaa-4x4");
    char text[400];
    std::string s;
    if (one && one->edge > 0 && (msaa || ssaa)) {
        if (msaa) {
            std::snprintf(text, sizeof text, "In motion, %d-sample MSAA cuts edge shimmer to %.0f %% of one sample's",
                          msaa->samples, 100 * msaa->edge / one->edge);
            s = text;
            if (ssaa) {
                std::snprintf(text, sizeof text, " and 4x4 supersampling to %.0f %%", 100 * ssaa->edge / one->edge);
                s += text;
            }
        } else {
            std::snprintf(text, sizeof text,
                          "In motion, 4x4 supersampling cuts edge shimmer to %.0f %% of one sample's",
                          100 * ssaa->edge / one->edge);
            s = text;
        }
    }
    const MotionFigures* nearestFilter = find("filter-nearest");
    const MotionFigures* linear = find("filter-linear");
    if (nearestFilter && linear && linear->centre > 0) {
        std::snprintf(text, sizeof text, "%sin the minified centre GL_NEAREST shimmers %.1f times as much as GL_LINEAR",
                      s.empty() ? "In motion, " : "; ", nearestFilter->centre / linear->centre);
        s += text;
    }
    return s.empty() ? s : s + ".";
}

std::vector<MotionMode> motionModes(Scene& scene, const GlEntryPoints& gl, const std::vector<std::string>& names,
                                    const std::vector<Target>& msaaTargets, const Target& single) {
    std::vector<MotionMode> modes;
    for (const std::string& name : names) {
        MotionMode m;
        m.name = name;
        int n = 0;
        if (name == "window") {
            m.kind = "window";
            GLint samples = 0;
            if (gl.bindFramebuffer) gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
            glGetIntegerv(GL_SAMPLES, &samples);
            m.samples = std::max(1, (int)samples);
            auto target = std::make_shared<Target>();
            m.enter = [&gl, &single, target] { *target = windowTarget(gl, single.width, single.height); };
            m.leave = [&gl, target] { releaseTarget(gl, *target); };
            m.draw = [&scene, target](double dx, double dy) { return scene.render(*target, dx, dy, false); };
        } else if (std::sscanf(name.c_str(), "msaa-%d", &n) == 1) {
            m.kind = "msaa";
            const Target* target = nullptr;
            for (const Target& t : msaaTargets)
                if (t.requested == n) target = &t;
            if (!target) continue;
            m.samples = std::max(1, target->granted);
            m.draw = [&scene, target](double dx, double dy) { return scene.render(*target, dx, dy, false); };
        } else if (std::sscanf(name.c_str(), "ssaa-%dx", &n) == 1) {
            m.kind = "ssaa";
            m.samples = n * n;
            // As the still capture: n x n stratified renders, averaged in stored values.
            m.draw = [&scene, &single, n](double dx, double dy) {
                Accumulator sum(single.width, single.height);
                for (int j = 0; j < n; ++j)
                    for (int i = 0; i < n; ++i)
                        sum.add(scene.render(single, dx + (i + 0.5) / n - 0.5, dy + (j + 0.5) / n - 0.5, false));
                return sum.meanStored();
            };
        } else if (name.rfind("filter-", 0) == 0) {
            m.kind = "filter";
            GLint min = GL_LINEAR;
            float anisotropy = 1;
            if (name == "filter-nearest")
                min = GL_NEAREST;
            else if (name == "filter-trilinear")
                min = GL_LINEAR_MIPMAP_LINEAR;
            else if (std::sscanf(name.c_str(), "filter-aniso-%d", &n) == 1) {
                min = GL_LINEAR_MIPMAP_LINEAR;
                anisotropy = (float)n;
            } else if (name != "filter-linear")
                continue;
            m.enter = [&gl, min, anisotropy] {
                glBindTexture(GL_TEXTURE_2D, gTestTexture);
                if (min != GL_LINEAR && min != GL_NEAREST) gl.generateMipmap(GL_TEXTURE_2D);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, min == GL_NEAREST ? GL_NEAREST : GL_LINEAR);
                if (gl.anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
            };
            // Back to the program's own filtering.
            m.leave = [&gl] {
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
                if (gl.anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
            };
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
    out.reference.name = out.reference.kind = "reference";
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
