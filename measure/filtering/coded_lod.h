// The coded mipmap chain: every level one flat colour, chosen so that a blend of two
// neighbouring levels decodes back to the level of detail (level + blend fraction).
#pragma once

#include <cstdint>

namespace measure {

struct Rgb8 {
    std::uint8_t r = 0, g = 0, b = 0;
};

// Red and blue walk a two-bit Gray code (0 0, 1 0, 1 1, 0 1) from level to level, so
// between any two neighbours exactly one of them ramps: the blend fraction to 1/255 with
// no doubt about the side of a whole level. Green climbs by kCodedGreenStep a level and
// names the group of four.
inline constexpr int kCodedGreenStep = 20;
// The coded chain's level 0: 256 x 256, nine levels.
inline constexpr int kCodedSize = 256;

Rgb8 codedLevel(int level);
// The colour of a true linear blend at lambda, clamped to levels 0 .. levels - 1.
Rgb8 codedBlend(double lambda, int levels);
// Lambda from a pixel's colour; NaN where the colour is no blend of two neighbouring levels.
double decodeLod(Rgb8 colour, int levels);

// Mipmap levels of a size x size texture.
int mipLevels(int size);

}  // namespace measure
