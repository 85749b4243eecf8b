// The anti-aliasing verdict from evidence: levels, spill, interiors, and the closest candidate.
#include "measure/aa/verdict.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace measure {
namespace {

// The sample counts whose coverage grids the levels are tried against.
constexpr int kGridCounts[] = {2, 3, 4, 6, 8, 9, 12, 16};

// A level lies on a grid when within this many 8-bit levels of it: the resolve rounds to
// the nearest level, and a coarser framebuffer adds its own step on top.
constexpr double kGridLevels = 1.0;

// Largest channel difference of one pixel.
int pixelDifference(const Image& a, const Image& b, std::size_t p) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs((int)a.rgb[p * 3 + c] - (int)b.rgb[p * 3 + c]));
    return d;
}

// Distance of an 8-bit value to the nearest level of the m/N grid, stored or linear.
double gridDistance(int value, int n, bool linear) {
    double best = 1e9;
    for (int m = 0; m <= n; ++m) {
        double f = 1.0 - (double)m / n;
        double level = linear ? (double)linearToSrgb(f) : 255.0 * f;
        best = std::min(best, std::fabs(value - level));
    }
    return best;
}

// The levels' fit to each grid, and the smallest N (stored first) that holds them all.
void fitLevels(const Image& coverage, const Bands& bands, double step, Evidence& e) {
    std::vector<int> levels = coverageLevels(coverage, bands.edge);
    const double allowed = kGridLevels + step / 2;
    for (int n : kGridCounts) {
        for (bool linear : {false, true}) {
            bool fits = true;
            for (int v : levels)
                if (v != 0 && v != 255) fits = fits && gridDistance(v, n, linear) <= allowed;
            if (fits && e.gridSamples == 0 && levels.size() > 2) {
                e.gridSamples = n;
                e.gridLinear = linear;
            }
        }
    }
    for (int v : levels) {
        if (v == 0 || v == 255) continue;
        LevelFit f;
        f.value = v;
        int n = e.gridSamples ? e.gridSamples : 4;
        f.stored = gridDistance(v, n, false);
        f.linear = gridDistance(v, n, true);
        e.levels.push_back(f);
    }
}

// Root mean square of `a - b` over the masked pixels, three channels.
double maskedRmse(const Image& a, const Image& b, const std::vector<bool>& mask) { return rmse(a, b, &mask); }

}  // namespace

double quantisationStep(const ChannelBits& bits) {
    int least = std::min({bits.r, bits.g, bits.b});
    return least >= 8 ? 1.0 : 255.0 / ((1 << least) - 1);
}

Image quantise(const Image& image, const ChannelBits& bits) {
    Image out = image;
    const int channelBits[3] = {bits.r, bits.g, bits.b};
    for (int c = 0; c < 3; ++c) {
        // Wider channels than the read-back's 8 bits come back exact to within its rounding.
        if (channelBits[c] >= 8) continue;
        const int top = (1 << channelBits[c]) - 1;
        for (std::size_t p = 0; p < image.pixels(); ++p) {
            std::uint8_t& v = out.rgb[p * 3 + c];
            long q = std::lround(v * top / 255.0);
            v = (std::uint8_t)std::lround(q * 255.0 / top);
        }
    }
    return out;
}

Bands makeBands(const std::vector<Region>& regions, int width, int height) {
    Bands m;
    const std::size_t n = regions.size();
    m.edge.assign(n, false);
    m.spillBand.assign(n, false);
    m.interior.assign(n, false);
    m.judged.assign(n, false);
    for (std::size_t p = 0; p < n; ++p) m.edge[p] = regions[p] == Region::Edge;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::size_t p = (std::size_t)y * width + x;
            if (m.edge[p]) {
                m.judged[p] = true;
                continue;
            }
            bool touches = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int xx = x + dx, yy = y + dy;
                    if (xx >= 0 && yy >= 0 && xx < width && yy < height)
                        touches = touches || m.edge[(std::size_t)yy * width + xx];
                }
            if (regions[p] == Region::Outside && touches) m.spillBand[p] = m.judged[p] = true;
            if (regions[p] == Region::Interior) {
                m.interior[p] = !touches;
                m.judged[p] = true;
            }
        }
    return m;
}

namespace {

// What the picture shows against its one-sample frame (quantised to its bits): levels,
// spill past the edges, changed interiors.
Evidence weighEvidence(const Judging& in, double step) {
    const Image& picture = *in.picture;
    const Bands& bands = *in.bands;
    Evidence e;
    // The read-back itself rounds once more, so one 8-bit level always counts as equal.
    e.tolerance = std::max(1.0, step);
    const Image one = quantise(*in.oneSample, in.bits);
    if (in.coverage) fitLevels(*in.coverage, bands, step, e);
    std::size_t inside = 0, changed = 0;
    for (std::size_t p = 0; p < picture.pixels(); ++p)
        if (bands.interior[p]) {
            ++inside;
            changed += pixelDifference(picture, one, p) > e.tolerance;
        }
    e.spill = spillShare(picture, one, bands, e.tolerance);
    e.interiorChanged = inside ? (double)changed / inside : 0;
    e.interiorRmse = maskedRmse(picture, one, bands.interior);
    return e;
}

// Each candidate's distance, those of one name by their closest, ascending. Edges and the
// bands beside them weigh as much as the interiors: otherwise the many interior pixels
// would drown how the edges were resolved.
std::vector<Distance> candidateDistances(const Judging& in, double step, const std::vector<Candidate>& candidates) {
    const Image& picture = *in.picture;
    const Bands& bands = *in.bands;
    std::vector<bool> edgeSide(bands.judged.size());
    for (std::size_t p = 0; p < edgeSide.size(); ++p) edgeSide[p] = bands.edge[p] || bands.spillBand[p];
    std::map<std::string, Distance> byName;
    for (const Candidate& c : candidates) {
        // 8 bits and more read back as they were drawn: no copy to quantise.
        Image quantised;
        if (step > 1) quantised = quantise(c.image, in.bits);
        const Image& q = step > 1 ? quantised : c.image;
        Distance d;
        d.name = c.name;
        d.cls = c.cls;
        d.samples = c.samples;
        d.edge = maskedRmse(picture, q, edgeSide);
        d.interior = maskedRmse(picture, q, bands.interior);
        d.total = std::sqrt((d.edge * d.edge + d.interior * d.interior) / 2);
        auto [it, fresh] = byName.try_emplace(c.name, d);
        if (!fresh && d.total < it->second.total) it->second = d;
    }
    std::vector<Distance> out;
    for (auto& [name, d] : byName) out.push_back(d);
    std::sort(out.begin(), out.end(), [](const Distance& a, const Distance& b) { return a.total < b.total; });
    return out;
}

}  // namespace

Verdict judge(const Judging& in, const std::vector<Candidate>& candidates) {
    Verdict v;
    const double step = quantisationStep(in.bits);
    v.formatSamples = in.formatSamples;
    v.evidence = weighEvidence(in, step);
    v.distances = candidateDistances(in, step, candidates);
    if (v.distances.empty()) {
        v.cls = AaClass::Unmodelled;
        return v;
    }
    const Distance& best = v.distances.front();
    v.closest = best.name;
    v.distance = best.total;
    v.margin = std::numeric_limits<double>::infinity();
    if (v.distances.size() > 1) {
        v.next = v.distances[1].name;
        v.margin = v.distances[1].total - best.total;
    }
    // A coarser framebuffer rounds the candidates and the picture differently by up to a step.
    v.fit = kFitLevels + step / 2;
    if (best.total > v.fit) {
        v.cls = AaClass::Unmodelled;
        return v;
    }
    v.cls = best.cls;
    v.samples = best.samples;
    if (best.cls == AaClass::None) {
        if (in.formatSamples > 1)
            v.cls = AaClass::NotDelivered;
        else if (!in.driverMultisamples)
            v.cls = AaClass::NoMultisampling;
    }
    // Spill is the one piece of evidence a filter cannot hide; it is kept where it contradicts.
    const bool spills = v.evidence.spill > kSpillShare;
    if (spills != (best.cls == AaClass::PostFilter))
        v.spill = spills ? SpillContradiction::Spills : SpillContradiction::NoSpill;
    return v;
}

double spillShare(const Image& picture, const Image& oneSample, const Bands& bands, double tolerance) {
    std::size_t band = 0, spilled = 0;
    for (std::size_t p = 0; p < picture.pixels(); ++p)
        if (bands.spillBand[p]) {
            ++band;
            spilled += pixelDifference(picture, oneSample, p) > tolerance;
        }
    return band ? (double)spilled / band : 0;
}

}  // namespace measure
