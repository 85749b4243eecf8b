// The coded mipmap chain and its decoding.
#include "measure/filtering/coded_lod.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace measure {

Rgb8 codedLevel(int level) {
    const int k = level % 4;
    return {(std::uint8_t)(k == 1 || k == 2 ? 255 : 0), (std::uint8_t)(kCodedGreenStep * level),
            (std::uint8_t)(k >= 2 ? 255 : 0)};
}

Rgb8 codedBlend(double lambda, int levels) {
    lambda = std::clamp(lambda, 0.0, (double)(levels - 1));
    const int level = std::min((int)std::floor(lambda), levels - 2);
    const double f = lambda - level;
    const Rgb8 a = codedLevel(level), b = codedLevel(level + 1);
    auto mix = [f](int x, int y) { return (std::uint8_t)std::lround((1 - f) * x + f * y); };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

double decodeLod(Rgb8 colour, int levels) {
    double best = NAN;
    int bestError = 4;  // at most 3 levels from the blend in any channel
    for (int level = 0; level + 1 < levels; ++level) {
        const Rgb8 a = codedLevel(level), b = codedLevel(level + 1);
        // The one fine channel that ramps between these two levels gives the fraction.
        const bool red = a.r != b.r;
        const int from = red ? a.r : a.b, to = red ? b.r : b.b, got = red ? colour.r : colour.b;
        const double f = std::clamp((double)(got - from) / (to - from), 0.0, 1.0);
        const Rgb8 expected = codedBlend(level + f, levels);
        const int error = std::max(
            {std::abs(colour.r - expected.r), std::abs(colour.g - expected.g), std::abs(colour.b - expected.b)});
        if (error < bestError) {
            bestError = error;
            best = level + f;
        }
    }
    return best;
}

int mipLevels(int size) {
    int levels = 1;
    while (size > 1) size /= 2, ++levels;
    return levels;
}

}  // namespace measure
