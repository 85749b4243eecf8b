// Candidates emulated from one-sample renders at sub-pixel positions, and the filters.
#include "measure/aa/candidates.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

namespace measure {
namespace {

// A coverage pass draws blades black on white; one sample a pixel gives 0 or 255.
bool covered(const Image& coverage, std::size_t p) { return coverage.rgb[p * 3 + 1] < 128; }

// Sums of 8-bit pixels, in stored values and in linear light.
struct Sums {
    std::vector<double> stored, linear;
    explicit Sums(std::size_t values) : stored(values, 0.0), linear(values, 0.0) {}
    void add(std::size_t i, std::uint8_t v) {
        stored[i] += v;
        linear[i] += srgbToLinear(v);
    }
    // Both means, encoded back to 8 bits.
    std::pair<Image, Image> mean(int width, int height, int count) const {
        Image s(width, height), l(width, height);
        for (std::size_t i = 0; i < stored.size(); ++i) {
            s.rgb[i] = (std::uint8_t)std::clamp(std::lround(stored[i] / count), 0L, 255L);
            l.rgb[i] = linearToSrgb(linear[i] / count);
        }
        return {s, l};
    }
};

}  // namespace

const Image& Emulator::at(double x, double y, bool coverage) {
    auto key = std::make_tuple(x, y, coverage);
    auto it = cache_.find(key);
    // Sampling at (x, y) of a pixel is drawing the scene moved by the centre's offset from it.
    if (it == cache_.end()) it = cache_.emplace(key, render_(0.5 - x, 0.5 - y, coverage)).first;
    return it->second;
}

std::pair<Image, Image> Emulator::multisample(const Pattern& pattern, double cx, double cy, double cell) {
    const Image& texture = at(cx, cy, false);
    const Image& centre = at(cx, cy, true);
    const int w = texture.width, h = texture.height;
    Sums sums(texture.rgb.size());
    for (const auto& [sx, sy] : pattern) {
        const double x = cx + (sx - 0.5) * cell, y = cy + (sy - 0.5) * cell;
        const Image& colour = at(x, y, false);
        const Image& cover = at(x, y, true);
        // A sample on the surface the centre lies on takes the colour textured at the
        // centre, as multisampling shades once a pixel. One on another surface takes that
        // surface's colour textured at the sample itself: the hardware would extrapolate the
        // surface's texture coordinates to the centre, which no render of the whole scene
        // shows. The coverage pass tells blade from background, not one blade from another,
        // so where two blades meet (the ring's middle) the first case is taken.
        for (std::size_t p = 0; p < texture.pixels(); ++p) {
            const Image& from = covered(cover, p) == covered(centre, p) ? texture : colour;
            for (int c = 0; c < 3; ++c) sums.add(p * 3 + c, from.rgb[p * 3 + c]);
        }
    }
    return sums.mean(w, h, (int)pattern.size());
}

std::pair<Image, Image> Emulator::supersample(const Pattern& pattern) {
    const Image& first = at(pattern.front().first, pattern.front().second, false);
    Sums sums(first.rgb.size());
    for (const auto& [x, y] : pattern) {
        const Image& colour = at(x, y, false);
        for (std::size_t i = 0; i < colour.rgb.size(); ++i) sums.add(i, colour.rgb[i]);
    }
    return sums.mean(first.width, first.height, (int)pattern.size());
}

Image Emulator::multisampleSupersample(const Pattern& pattern) {
    Image first;
    std::vector<double> sum;
    for (double cy : {0.25, 0.75})
        for (double cx : {0.25, 0.75}) {
            Image cell = multisample(pattern, cx, cy, 0.5).first;
            if (sum.empty()) {
                sum.assign(cell.rgb.size(), 0.0);
                first = cell;
            }
            for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += cell.rgb[i];
        }
    for (std::size_t i = 0; i < sum.size(); ++i) first.rgb[i] = (std::uint8_t)std::lround(sum[i] / 4);
    return first;
}

Image boxFilter(const Image& image, int side, int dx, int dy) {
    Image out(image.width, image.height);
    const int lo = side == 2 ? 0 : -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = lo; j < lo + side; ++j)
                    for (int i = lo; i < lo + side; ++i) {
                        int xx = std::clamp(x + i - dx, 0, image.width - 1);
                        int yy = std::clamp(y + j - dy, 0, image.height - 1);
                        sum += image.rgb[((std::size_t)yy * image.width + xx) * 3 + c];
                    }
                out.rgb[((std::size_t)y * image.width + x) * 3 + c] =
                    (std::uint8_t)((sum + side * side / 2) / (side * side));
            }
    return out;
}

Image tentFilter(const Image& image) {
    Image out(image.width, image.height);
    const int weight[3] = {1, 2, 1};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i) {
                        int xx = std::clamp(x + i, 0, image.width - 1);
                        int yy = std::clamp(y + j, 0, image.height - 1);
                        sum += weight[i + 1] * weight[j + 1] * image.rgb[((std::size_t)yy * image.width + xx) * 3 + c];
                    }
                out.rgb[((std::size_t)y * image.width + x) * 3 + c] = (std::uint8_t)((sum + 8) / 16);
            }
    return out;
}

Pattern orderedGrid(int k) {
    Pattern p;
    for (int j = 0; j < k; ++j)
        for (int i = 0; i < k; ++i) p.emplace_back((i + 0.5) / k, (j + 0.5) / k);
    return p;
}

std::vector<Candidate> candidates(Emulator& emulator, const std::vector<Pattern>& patterns,
                                  const std::vector<std::string>& labels) {
    std::vector<Candidate> out;
    const Image& one = emulator.at(0.5, 0.5, false);
    out.push_back({"one sample", AaClass::None, 1, one});
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        const Pattern& pattern = patterns[i];
        const int n = (int)pattern.size();
        const std::string count = std::to_string(n);
        const std::string at = i < labels.size() ? " [" + labels[i] + "]" : "";
        auto [msStored, msLinear] = emulator.multisample(pattern);
        out.push_back({"msaa-" + count + " stored" + at, AaClass::Msaa, n, std::move(msStored)});
        out.push_back({"msaa-" + count + " linear" + at, AaClass::MsaaLinear, n, std::move(msLinear)});
        auto [ssStored, ssLinear] = emulator.supersample(pattern);
        out.push_back({"ssaa-" + count + " stored" + at, AaClass::Supersampling, n, std::move(ssStored)});
        out.push_back({"ssaa-" + count + " linear" + at, AaClass::Supersampling, n, std::move(ssLinear)});
        out.push_back({"msaa-" + count + " in 2x2 ssaa" + at, AaClass::MsaaSupersampling, 4 * n,
                       emulator.multisampleSupersample(pattern)});
    }
    out.push_back({"ssaa 2x2 grid", AaClass::Supersampling, 4, emulator.supersample(orderedGrid(2)).first});
    // A 2 x 2 box has no centre: each of its four placements is tried, the closest counts.
    for (int dy = 0; dy <= 1; ++dy)
        for (int dx = 0; dx <= 1; ++dx) out.push_back({"box 2x2", AaClass::PostFilter, 4, boxFilter(one, 2, dx, dy)});
    out.push_back({"box 3x3", AaClass::PostFilter, 9, boxFilter(one, 3)});
    out.push_back({"tent 3x3", AaClass::PostFilter, 16, tentFilter(one)});
    return out;
}

}  // namespace measure
