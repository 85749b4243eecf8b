// The coded mipmap chain and its decoding.
#include "measure/filtering/coded_lod.h"

#include "platform/win32.h"

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

void uploadCodedChain(int size) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int level = 0; size >= 1; ++level, size /= 2) {
        const Rgb8 c = codedLevel(level);
        std::vector<std::uint8_t> texels((std::size_t)size * size * 4);
        for (std::size_t i = 0; i < texels.size(); i += 4) {
            texels[i] = c.r;
            texels[i + 1] = c.g;
            texels[i + 2] = c.b;
            texels[i + 3] = 255;
        }
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    }
}

void uploadStepChain(int size) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int level = 0; size >= 1; ++level, size /= 2) {
        std::vector<std::uint8_t> texels((std::size_t)size * size * 4);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                // The last 1 x 1 level has no step; its grey is the step's mean.
                const std::uint8_t v = size == 1 ? 128 : x < size / 2 ? 0 : 255;
                std::uint8_t* t = &texels[((std::size_t)y * size + x) * 4];
                t[0] = t[1] = t[2] = v;
                t[3] = 255;
            }
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    }
}

}  // namespace measure
