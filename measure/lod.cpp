// The coded mipmap chain and its decoding.
#include "measure/lod.h"

#include "platform/win32.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace measure {

Rgb8 codedLevel(int level) {
    return {(std::uint8_t)(level % 2 ? 255 : 0), (std::uint8_t)(kCodedGreenStep * level), (std::uint8_t)kCodedBlue};
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
    if (std::abs((int)colour.b - kCodedBlue) > 3) return NAN;
    const double coarse = (double)colour.g / kCodedGreenStep;
    double best = NAN, bestDistance = 1e9;
    // Green names the pair of levels to within a few hundredths; red gives the fraction between them.
    for (int level = (int)std::floor(coarse) - 1; level <= (int)std::floor(coarse) + 1; ++level) {
        if (level < 0 || level > levels - 2) continue;
        const double red = colour.r / 255.0;
        const double lambda = level + (level % 2 ? 1 - red : red);
        if (std::fabs(lambda - coarse) < bestDistance) {
            bestDistance = std::fabs(lambda - coarse);
            best = lambda;
        }
    }
    // Green rounds to a step of 1 / kCodedGreenStep; anything farther is no coded blend.
    return bestDistance <= 2.5 / kCodedGreenStep ? best : NAN;
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

}  // namespace measure
