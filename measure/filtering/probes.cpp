// Texture filtering measured against the rules, on the ring and on probe tiles.
#include "measure/filtering/probes.h"

#include "measure/filtering/coded_lod.h"
#include "measure/filtering/coded_upload.h"
#include "measure/filtering/judgements.h"
#include "measure/gl/renderer_state.h"
#include "render/gfx.h"
#include "render/test_image.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <cstring>
#include <map>

namespace measure {
namespace {

constexpr int kTile = 16;
constexpr int kProbeSide = 512;
// Largest RMSE (8-bit levels, inner pixels) at which a picture counts as the model's filter.
constexpr double kMatchRmse = 4.0;

// The texture-matrix footprint of an isotropic scale 2^lambda stretched by `ratio` along
// a major axis at `degrees` to the u axis.
Footprint footprintAt(double lambda, double ratio, double degrees) {
    const double s = std::exp2(lambda), a = degrees * std::numbers::pi / 180.0;
    return {ratio * s * std::cos(a), ratio * s * std::sin(a), -s * std::sin(a), s * std::cos(a)};
}

// The texture state a capture sets and puts back.
struct Sampling {
    GLint min = GL_LINEAR_MIPMAP_LINEAR;
    GLint mag = GL_LINEAR;
    float anisotropy = 1;
    float bias = 0;
};

// The program's own sampling: GL_LINEAR both ways, no anisotropy, no bias.
const Sampling kProgramSampling{GL_LINEAR, GL_LINEAR, 1, 0};

// Applies a sampling state to the bound texture.
void apply(const GlEntryPoints& gl, const Sampling& s) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, s.min);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, s.mag);
    if (gl.anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, s.anisotropy);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, s.bias);
}

// Probe tiles: each a kTile square with its own affine footprint, drawn with the coded chain.
class Probe {
public:
    Probe(const GlEntryPoints& gl, GLuint texture) : gl_(gl), texture_(texture) {
        std::string why;
        ok_ = makeTarget(gl, kProbeSide, kProbeSide, 0, target_, why);
    }
    ~Probe() {
        if (ok_) releaseTarget(gl_, target_);
    }
    bool ok() const { return ok_; }
    static constexpr int capacity() { return (kProbeSide / kTile) * (kProbeSide / kTile); }

    // The median decoded lambda of each tile's inner 8 x 8 pixels (NaN where any fails to decode).
    std::vector<double> run(const std::vector<Footprint>& tiles, const Sampling& sampling) {
        std::vector<double> out;
        for (std::size_t first = 0; first < tiles.size(); first += capacity()) {
            std::size_t n = std::min(tiles.size() - first, (std::size_t)capacity());
            std::vector<Tile> part;
            for (std::size_t i = first; i < first + n; ++i) part.push_back({tiles[i], 0.37, 0.61});
            std::vector<double> got = decode(part.size(), draw(part, texture_, sampling));
            out.insert(out.end(), got.begin(), got.end());
        }
        return out;
    }

    // A tile with its footprint and the texture coordinate at its centre.
    struct Tile {
        Footprint footprint;
        double u, v;
    };
    // Whole tile i covers pixels [tileX(i), +kTile) x [tileY(i), +kTile) of the read-back (rows from the bottom).
    static int tileX(std::size_t i) { return (int)(i % (kProbeSide / kTile)) * kTile; }
    static int tileY(std::size_t i) { return (int)(i / (kProbeSide / kTile)) * kTile; }

    // At most capacity() tiles drawn with `texture`: the read-back, RGB, rows from the bottom.
    std::vector<std::uint8_t> draw(const std::vector<Tile>& tiles, GLuint texture, const Sampling& sampling) {
        gl_.bindFramebuffer(GL_FRAMEBUFFER, target_.draw);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glViewport(0, 0, kProbeSide, kProbeSide);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        apply(gl_, sampling);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, kProbeSide, 0, kProbeSide, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            const Footprint& f = tiles[i].footprint;
            const double x0 = tileX(i), y0 = tileY(i), h = kTile / 2.0;
            // Texture coordinates are pixel offsets from the tile's centre; the matrix maps
            // them to texels by the footprint, around the tile's own centre.
            const GLdouble m[16] = {f.dudx / kCodedSize,
                                    f.dvdx / kCodedSize,
                                    0,
                                    0,
                                    f.dudy / kCodedSize,
                                    f.dvdy / kCodedSize,
                                    0,
                                    0,
                                    0,
                                    0,
                                    1,
                                    0,
                                    tiles[i].u,
                                    tiles[i].v,
                                    0,
                                    1};
            glLoadMatrixd(m);
            glBegin(GL_QUADS);
            glTexCoord2d(-h, -h);
            glVertex2d(x0, y0);
            glTexCoord2d(h, -h);
            glVertex2d(x0 + kTile, y0);
            glTexCoord2d(h, h);
            glVertex2d(x0 + kTile, y0 + kTile);
            glTexCoord2d(-h, h);
            glVertex2d(x0, y0 + kTile);
            glEnd();
        }
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glPopAttrib();
        std::vector<std::uint8_t> rgb((std::size_t)kProbeSide * kProbeSide * 3);
        gl_.bindFramebuffer(GL_READ_FRAMEBUFFER, target_.draw);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kProbeSide, kProbeSide, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        gl_.bindFramebuffer(GL_FRAMEBUFFER, 0);
        return rgb;
    }

private:
    // Each of the first n tiles' median decoded lambda over its inner 8 x 8 pixels.
    std::vector<double> decode(std::size_t n, const std::vector<std::uint8_t>& rgb) {
        std::vector<double> out;
        for (std::size_t i = 0; i < n; ++i) {
            const int x0 = tileX(i) + kTile / 4, y0 = tileY(i) + kTile / 4;
            std::vector<double> values;
            bool whole = true;
            for (int y = y0; y < y0 + kTile / 2; ++y)
                for (int x = x0; x < x0 + kTile / 2; ++x) {
                    const std::uint8_t* p = &rgb[((std::size_t)y * kProbeSide + x) * 3];
                    double lambda = decodeLod({p[0], p[1], p[2]}, mipLevels(kCodedSize));
                    whole = whole && !std::isnan(lambda);
                    values.push_back(lambda);
                }
            out.push_back(whole ? percentile(values, 0.5) : NAN);
        }
        return out;
    }

    const GlEntryPoints& gl_;
    GLuint texture_;
    Target target_;
    bool ok_ = false;
};

// Root mean square difference of a picture from the processor's filter on the model's inner pixels.
double modelRmse(const Image& picture, const FrameModel& model, bool bilinear, std::size_t* count) {
    const Texels texels{gTestImage, 256, 256};
    double sum = 0;
    std::size_t n = 0;
    for (int y = 0; y < model.height(); ++y)
        for (int x = 0; x < model.width(); ++x) {
            if (!model.inner(x, y)) continue;
            const PixelModel& m = model.at(x, y);
            double rgb[3];
            if (bilinear)
                sampleBilinear(texels, m.s, m.t, rgb);
            else
                sampleNearest(texels, m.s, m.t, rgb);
            const Rgb8 c = colourAt(picture, x, y);
            const double d[3] = {c.r - rgb[0], c.g - rgb[1], c.b - rgb[2]};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            ++n;
        }
    if (count) *count = n;
    return n ? std::sqrt(sum / (3.0 * (double)n)) : 0;
}

// The ring drawn with the given texture and sampling, the program's texture bound again after.
Image ringPicture(const GlEntryPoints& gl, Scene& scene, const Target& target, GLuint texture, const Sampling& s) {
    glBindTexture(GL_TEXTURE_2D, texture);
    apply(gl, s);
    Image image = scene.render(target, 0, 0, false);
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
    return image;
}

// Tiles at the given folded angle (degrees from an axis, 0..45) of an angle sweep: median error.
double errorAtAngle(const std::vector<AngleSample>& samples, double angle) {
    std::vector<double> e;
    for (const AngleSample& s : samples) {
        double folded = std::fmod(s.angle, 90.0);
        folded = std::min(folded, 90.0 - folded);
        if (std::fabs(folded - angle) < 0.01 && !std::isnan(s.error)) e.push_back(s.error);
    }
    return percentile(e, 0.5);
}

// How far the filter spreads along the major axis of a 16 : 1 footprint against the minor
// one: the step texture drawn with the major axis along u and again with the minor one along
// u, each tile's centre a 64th of a pixel's step in u further along, so that the tiles'
// pixels sample the step's response every 64th of a pixel.
double majorMinorSpread(Probe& probe, GLuint step, const Sampling& sampling) {
    constexpr int kPhases = 64, kGroups = 4;  // 4 groups of 16 pixels: 64 pixels of response
    const Footprint axes[2] = {footprintAt(1, 16, 0), footprintAt(1, 16, 90)};
    std::vector<Probe::Tile> tiles;
    double pitch[2];  // texels of u from one pixel to the next
    for (int a = 0; a < 2; ++a) {
        pitch[a] = std::max(std::fabs(axes[a].dudx), std::fabs(axes[a].dudy));
        for (int t = 0; t < kPhases * kGroups; ++t) {
            const double offset = ((double)(t % kPhases) / kPhases + (t / kPhases - kGroups / 2) * kTile) * pitch[a];
            tiles.push_back({axes[a], (kCodedSize / 2 + offset) / kCodedSize, 0.5});
        }
    }
    const std::vector<std::uint8_t> rgb = probe.draw(tiles, step, sampling);
    double spread[2];
    for (int a = 0; a < 2; ++a) {
        std::vector<std::pair<double, double>> samples;
        for (int t = 0; t < kPhases * kGroups; ++t) {
            const std::size_t i = (std::size_t)(a * kPhases * kGroups + t);
            const Probe::Tile& tile = tiles[i];
            const Footprint& f = tile.footprint;
            for (int y = 0; y < kTile; ++y)
                for (int x = 0; x < kTile; ++x) {
                    const double ox = x + 0.5 - kTile / 2.0, oy = y + 0.5 - kTile / 2.0;
                    const double u = tile.u * kCodedSize + f.dudx * ox + f.dudy * oy;
                    const int px = Probe::tileX(i) + x, py = Probe::tileY(i) + y;
                    samples.push_back({u - kCodedSize / 2, rgb[((std::size_t)py * kProbeSide + px) * 3 + 1] / 255.0});
                }
        }
        spread[a] = stepSpread(samples, pitch[a] / kPhases);
    }
    // A minor axis with no spread at all (an unfiltered step) leaves no ratio.
    return spread[1] > 0 ? spread[0] / spread[1] : NAN;
}

// A whole turn of an isotropic footprint at lambda 2.3: the level of detail's rule by angle.
void angleSweep(Filtering& f, Probe& probe) {
    std::vector<Footprint> turn;
    for (double a = 0; a < 360; a += 2.5) turn.push_back(footprintAt(2.3, 1, a));
    std::vector<double> got = probe.run(turn, Sampling{});
    for (std::size_t i = 0; i < turn.size(); ++i) {
        const Lod lod = lodOf(turn[i]);
        f.angles.push_back({2.5 * (double)i, got[i] - lod.exact, lod.lower - lod.exact, lod.upper - lod.exact});
    }
    f.error0 = errorAtAngle(f.angles, 0);
    f.error30 = errorAtAngle(f.angles, 30);
    f.error45 = errorAtAngle(f.angles, 45);
    f.angleRule = angleRuleOf(f.error45 - f.error0);
}

// Lambda walked from 0.5 to 7 in 1/32 steps, axis-aligned: the trilinear blend, then the same
// walk with nearest-mipmap selection for where the level switches.
void scaleWalk(Filtering& f, Probe& probe) {
    std::vector<Footprint> walk;
    std::vector<double> exact;
    for (double l = 0.5; l < 7.0; l += 1.0 / 32) {
        walk.push_back(footprintAt(l, 1, 0));
        exact.push_back(l);
    }
    std::vector<double> got = probe.run(walk, Sampling{});
    const std::vector<double> trilinear = got;
    std::vector<double> offsets;
    for (std::size_t i = 0; i < walk.size(); ++i) {
        if (std::isnan(got[i])) continue;
        const double blend = std::clamp(got[i] - std::floor(exact[i]), 0.0, 1.0);
        f.blend.push_back({exact[i] - std::floor(exact[i]), blend});
        offsets.push_back(got[i] - exact[i]);
    }
    f.probeBias = percentile(offsets, 0.5);
    f.blendWidth = blendWidth(f.blend);
    f.trilinear = trilinearOutcome(f.blendWidth);

    // The same walk with nearest-mipmap selection: where the level switches.
    Sampling nearest;
    nearest.min = GL_LINEAR_MIPMAP_NEAREST;
    got = probe.run(walk, nearest);
    std::vector<double> switches, ownSwitches;
    for (std::size_t i = 1; i < walk.size(); ++i)
        if (!std::isnan(got[i]) && !std::isnan(got[i - 1]) && std::lround(got[i]) > std::lround(got[i - 1])) {
            switches.push_back(exact[i] - 1.0 / 64 - std::floor(exact[i] - 1.0 / 64));
            if (!std::isnan(trilinear[i]) && !std::isnan(trilinear[i - 1])) {
                const double own = (trilinear[i] + trilinear[i - 1]) / 2;
                ownSwitches.push_back(own - std::floor(own));
            }
        }
    f.roundingThreshold = percentile(switches, 0.5);
    f.roundingOwn = percentile(ownSwitches, 0.5);
    f.rounding = std::isnan(f.roundingThreshold)       ? MipRounding::NotMeasured
                 : switchesAtHalf(f.roundingThreshold) ? MipRounding::Nearest
                                                       : MipRounding::Elsewhere;
}

// GL_TEXTURE_LOD_BIAS at +-0.5 checks the decoding and shows a clamped negative bias.
void biasShift(Filtering& f, Probe& probe) {
    std::vector<Footprint> part;
    for (double l = 1.5; l < 6.0; l += 1.0 / 8) part.push_back(footprintAt(l, 1, 0));
    const std::vector<double> base = probe.run(part, Sampling{});
    auto shift = [&](float bias) {
        Sampling s;
        s.bias = bias;
        std::vector<double> with = probe.run(part, s), d;
        for (std::size_t i = 0; i < part.size(); ++i)
            if (!std::isnan(with[i]) && !std::isnan(base[i])) d.push_back(with[i] - base[i]);
        return percentile(d, 0.5);
    };
    f.biasPlus = shift(0.5f);
    f.biasMinus = shift(-0.5f);
    f.bias = biasOutcome(f.biasPlus, f.biasMinus);
}

// Anisotropy: a 16 : 1 footprint (minor axis at lambda 1) at each requested degree, and the
// footprint stretched from 1 : 1 to 16 : 1 at the highest.
void anisotropyLadder(const GlEntryPoints& gl, Filtering& f, Probe& probe, GLuint step) {
    f.anisotropic = gl.anisotropic;
    f.maxAnisotropy = gl.maxAnisotropy;
    if (!gl.anisotropic) return;
    const std::vector<Footprint> stretched = {footprintAt(1, 16, 0), footprintAt(1, 16, 30), footprintAt(1, 16, 45)};
    double isotropic = NAN;
    for (int n = 1; n <= 16 && n <= gl.maxAnisotropy; n *= 2) {
        Sampling s;
        s.anisotropy = (float)n;
        std::vector<double> l = probe.run(stretched, s);
        AnisoRow row;
        row.requested = n;
        row.lambda = l[0];
        row.lambdas = l;
        if (n == 1) isotropic = l[0];
        if (n > 1) {
            const std::vector<double>& lower = f.aniso.back().lambdas;
            row.samePicture = true;
            for (std::size_t i = 0; i < l.size(); ++i)
                row.samePicture = row.samePicture && std::fabs(l[i] - lower[i]) < 0.5 / 255;
        }
        // Lambda falls by log2 of the probes taken along the major axis.
        row.delivered = deliveredAnisotropy(isotropic, l[0]);
        row.blurRatio = majorMinorSpread(probe, step, s);
        f.aniso.push_back(row);
    }
    // The footprint stretched from 1 : 1 to 16 : 1 at the highest degree: does the driver follow it?
    std::vector<Footprint> ladder;
    for (int ratio = 1; ratio <= 16; ratio *= 2) ladder.push_back(footprintAt(1, ratio, 30));
    Sampling highest;
    highest.anisotropy = std::min(16.0f, gl.maxAnisotropy);
    const std::vector<double> plain = probe.run(ladder, Sampling{}), filtered = probe.run(ladder, highest);
    for (std::size_t i = 0; i < ladder.size(); ++i)
        f.stretch.push_back({(double)(1 << i), std::exp2(plain[i] - filtered[i])});
}

// The angle sweep, the scale walk (blend, rounding), the bias and the anisotropy ladder on
// probe tiles.
void probeSweeps(const GlEntryPoints& gl, Filtering& f, Probe& probe, GLuint step) {
    angleSweep(f, probe);
    scaleWalk(f, probe);
    biasShift(f, probe);
    anisotropyLadder(gl, f, probe, step);
}

// Reads a texture level of the bound texture as 0xRRGGBBAA words.
std::vector<std::uint32_t> readLevel(int level, int& size) {
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    size = w;
    std::vector<std::uint32_t> words((std::size_t)w * w);
    if (w > 0) glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, words.data());
    return words;
}

// The driver's generated levels of the test image against a 2 x 2 box filter of the level above.
void checkGeneratedMipmaps(const GlEntryPoints& gl, Filtering& f) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, gTestImage);
    gl.generateMipmap(GL_TEXTURE_2D);
    int size = 0;
    std::vector<std::uint32_t> above = readLevel(0, size);
    int worst = 0;
    for (int level = 1; size > 1; ++level) {
        const int side = size / 2;
        int got = 0;
        std::vector<std::uint32_t> words = readLevel(level, got);
        if (got != side) break;
        MipCheck c;
        c.level = level;
        double sum = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                for (int shift = 8; shift < 32; shift += 8) {
                    int box = 0;
                    for (int j = 0; j < 2; ++j)
                        for (int i = 0; i < 2; ++i)
                            box += (int)((above[(std::size_t)(2 * y + j) * size + 2 * x + i] >> shift) & 255u);
                    const double d = (double)((words[(std::size_t)y * side + x] >> shift) & 255u) - box / 4.0;
                    sum += d * d;
                    c.largest = std::max(c.largest, (int)std::ceil(std::fabs(d)));
                }
        c.rmse = std::sqrt(sum / (3.0 * side * side));
        worst = std::max(worst, c.largest);
        f.generated.push_back(c);
        above = std::move(words);
        size = side;
    }
    glDeleteTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
    f.generatedWorst = worst;
    f.generatedOutcome = f.generated.empty() ? GeneratedMipmaps::NotReadBack
                         : worst <= 1        ? GeneratedMipmaps::BoxFilter
                                             : GeneratedMipmaps::Other;
}

// The renderer's rotation through a whole turn with the coded chain: lambda error by footprint angle.
void rotationSweep(const GlEntryPoints& gl, Filtering& f, Scene& scene, const Target& target, GLuint coded) {
    RotationGuard rotation;
    constexpr int kBins = 18;
    std::vector<std::vector<double>> bins(kBins);
    for (int step = 0; step < 36; ++step) {
        rotation.turnTo(rotation.saved() + 10.0f * (float)step);
        const FrameModel model = ringModel(gl, target, kCodedSize);
        const Image picture = ringPicture(gl, scene, target, coded, Sampling{});
        for (int y = 0; y < model.height(); ++y)
            for (int x = 0; x < model.width(); ++x) {
                if (!model.inner(x, y)) continue;
                const double l = decodeLod(colourAt(picture, x, y), mipLevels(kCodedSize));
                const Lod lod = lodOf(model.at(x, y).footprint);
                if (std::isnan(l) || l < 0.02 || l > mipLevels(kCodedSize) - 1.02) continue;
                bins[std::min(kBins - 1, (int)(lod.angle / (90.0 / kBins)))].push_back(l - lod.exact);
            }
    }
    for (int b = 0; b < kBins; ++b)
        if (!bins[b].empty()) f.rotation.push_back({(b + 0.5) * 90.0 / kBins, percentile(bins[b], 0.5), 0, 0});
}

// The driver's own pictures of the ring under settings a driver might force on the program.
std::vector<std::pair<std::string, Image>> driverAlternatives(const GlEntryPoints& gl, Scene& scene,
                                                              const Target& target) {
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
    gl.generateMipmap(GL_TEXTURE_2D);
    std::vector<std::pair<std::string, Image>> alternatives = {
        {"trilinear", ringPicture(gl, scene, target, gTestTexture, {})}};
    for (int n = 2; gl.anisotropic && n <= 16 && n <= gl.maxAnisotropy; n *= 2)
        alternatives.push_back({"GL_LINEAR with anisotropy " + std::to_string(n),
                                ringPicture(gl, scene, target, gTestTexture, {GL_LINEAR, GL_LINEAR, (float)n, 0})});
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
    apply(gl, {GL_LINEAR, GL_LINEAR, 1, 0});
    return alternatives;
}

}  // namespace

ProgramCheck judgePresentedPicture(const GlEntryPoints& gl, Scene& scene, const Target& target,
                                   const Image& presented) {
    if (!gl.framebuffers || presented.width != target.width || presented.height != target.height) {
        ProgramCheck c;
        c.delivered = DeliveredFilter::NotJudgedTargetSize;
        return c;
    }
    return judgeProgramPicture(presented, ringModel(gl, target, 256), driverAlternatives(gl, scene, target));
}

double stepSpread(const std::vector<std::pair<double, double>>& samples, double bin) {
    std::map<long, std::pair<double, int>> bins;  // bin -> sum of responses, count
    for (const auto& [distance, response] : samples) {
        auto& b = bins[std::lround(distance / bin)];
        b.first += response;
        ++b.second;
    }
    if (bins.empty()) return NAN;
    std::vector<std::pair<double, double>> curve;  // distance, mean response
    for (const auto& [index, sum] : bins) curve.push_back({(double)index * bin, sum.first / sum.second});
    double spread = 0;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        // Each bin stands for half the way to each neighbour.
        const double left = i > 0 ? curve[i - 1].first : curve[i].first - bin;
        const double right = i + 1 < curve.size() ? curve[i + 1].first : curve[i].first + bin;
        const double F = std::clamp(curve[i].second, 0.0, 1.0);
        spread += F * (1 - F) * (right - left) / 2;
    }
    return spread;
}

FrameModel ringModel(const GlEntryPoints& gl, const Target& target, int textureSize) {
    GLdouble p[16], range[2];
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    glGetDoublev(GL_DEPTH_RANGE, range);
    FrameModel model(target.width, target.height, textureSize, textureSize);
    auto vertex = [&](const GLfloat* v) {
        ModelVertex m;
        m.x = v[0];
        m.y = v[1];
        // The projection has no x or y in its z and w rows, so window depth gives the eye's z and w.
        const double zn = (2.0 * v[2] - (range[1] + range[0])) / (range[1] - range[0]);
        const double ze = (zn * p[15] - p[14]) / (p[10] - zn * p[11]);
        m.invW = 1.0 / (p[11] * ze + p[15]);
        m.s = v[7] / v[10];
        m.t = v[8] / v[10];
        return m;
    };
    scenePolygons(gl, target, 16384, [&](const GLfloat* v, int n) {
        // A clipped triangle comes back as a polygon: a fan.
        for (int c = 2; c < n; ++c)
            model.addTriangle(vertex(v), vertex(v + (c - 1) * kFeedbackVertex), vertex(v + c * kFeedbackVertex));
    });
    return model;
}

ProgramCheck judgeProgramPicture(const Image& picture, const FrameModel& model,
                                 const std::vector<std::pair<std::string, Image>>& alternatives) {
    ProgramCheck c;
    if (picture.width != model.width() || picture.height != model.height()) {
        c.delivered = DeliveredFilter::NotJudgedModelSize;
        return c;
    }
    c.rmseBilinear = modelRmse(picture, model, true, &c.pixels);
    c.rmseNearest = modelRmse(picture, model, false, nullptr);
    if (c.rmseBilinear <= kMatchRmse && c.rmseBilinear <= c.rmseNearest) {
        c.delivered = DeliveredFilter::Linear;
        c.honoured = true;
        return c;
    }
    if (c.rmseNearest <= kMatchRmse) {
        c.delivered = DeliveredFilter::Nearest;
        return c;
    }
    // Every setting of the driver's own that gives this picture; one driver may give the same for several.
    c.settingRmse = INFINITY;
    for (const auto& [name, image] : alternatives) {
        if (image.width != picture.width || image.height != picture.height) continue;
        const double d = rmse(picture, image);
        c.settingRmse = std::min(c.settingRmse, d);
        if (d <= 1.0) c.settings.push_back(name);
    }
    c.delivered = c.settings.empty() ? DeliveredFilter::Unknown : DeliveredFilter::DriverSetting;
    return c;
}

// The program's filters on the ring against the processor's, and the tool's window drawn with
// them; the ring's model for the level of detail; a forced anisotropy's effect on the
// program's picture, where the driver has anisotropy.
void judgeProgramFilters(const GlEntryPoints& gl, Scene& scene, const Target& target, const Image* window,
                         const FrameModel& model, Filtering& f) {
    const Image linear = ringPicture(gl, scene, target, gTestTexture, kProgramSampling);
    const Image nearest = ringPicture(gl, scene, target, gTestTexture, {GL_NEAREST, GL_NEAREST, 1, 0});
    const std::vector<std::pair<std::string, Image>> alternatives = driverAlternatives(gl, scene, target);
    ProgramCheck asLinear = judgeProgramPicture(linear, model, alternatives);
    ProgramCheck asNearest;
    asNearest.asked = AskedFilter::Nearest;
    asNearest.rmseBilinear = modelRmse(nearest, model, true, &asNearest.pixels);
    asNearest.rmseNearest = modelRmse(nearest, model, false, nullptr);
    asNearest.honoured = asNearest.rmseNearest <= kMatchRmse && asNearest.rmseNearest < asNearest.rmseBilinear;
    asNearest.delivered = asNearest.honoured                     ? DeliveredFilter::Nearest
                          : asNearest.rmseBilinear <= kMatchRmse ? DeliveredFilter::Linear
                                                                 : DeliveredFilter::Unknown;
    f.program = {asLinear, asNearest};
    if (window) {
        f.window = judgeProgramPicture(*window, model, alternatives);
        f.windowChecked = true;
    }
    if (alternatives.size() > 1) {
        f.forcedAnisotropy = (int)std::min(16.0f, gl.maxAnisotropy);
        f.forcedAnisotropyRmse = rmse(alternatives.back().second, linear);
    }
}

Filtering measureFiltering(const GlEntryPoints& gl, Scene& scene, const Target& target, const Image* window,
                           bool sweeps) {
    const auto start = std::chrono::steady_clock::now();
    Filtering f;
    f.codedSize = kCodedSize;
    f.anisotropic = gl.anisotropic;
    f.maxAnisotropy = gl.maxAnisotropy;
    if (!gl.framebuffers) {
        f.gap = FilteringGap::NoFramebuffers;
        return f;
    }
    clearGlErrors();
    GLuint coded = 0;
    glGenTextures(1, &coded);
    glBindTexture(GL_TEXTURE_2D, coded);
    uploadCodedChain(kCodedSize);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, gTestTexture);

    // The program's filters on the ring against the processor's.
    const FrameModel model = ringModel(gl, target, 256);
    judgeProgramFilters(gl, scene, target, window, model, f);

    // The level of detail on the ring.
    judgeRingLod(f, ringPicture(gl, scene, target, coded, Sampling{}), model);

    Probe probe(gl, coded);
    if (probe.ok()) {
        GLuint step = 0;
        glGenTextures(1, &step);
        glBindTexture(GL_TEXTURE_2D, step);
        uploadStepChain(kCodedSize);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glBindTexture(GL_TEXTURE_2D, gTestTexture);
        probeSweeps(gl, f, probe, step);
        glDeleteTextures(1, &step);
        f.probed = true;
        for (AnisoRow& row : f.aniso) row.outcome = anisoOutcome(row);
        if (gl.anisotropic) f.anisoSummary = anisoSummary(f.aniso);
    } else {
        f.gap = FilteringGap::NoProbeTarget;
    }
    checkGeneratedMipmaps(gl, f);
    if (sweeps) rotationSweep(gl, f, scene, target, coded);
    glDeleteTextures(1, &coded);
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
    apply(gl, kProgramSampling);

    f.measured = glGetError() == GL_NO_ERROR;
    if (!f.measured && f.gap == FilteringGap::None) f.gap = FilteringGap::GlError;
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return f;
}

}  // namespace measure
