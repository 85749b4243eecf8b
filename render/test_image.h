// The test image: 256 x 256 texels, constant data built into the executable.
#pragma once

#include <cstdint>

// Texel words are 0xRRGGBBAA; alpha is 0 in every texel of the image.
inline constexpr std::uint32_t kTexelBlack = 0x00000000u;
inline constexpr std::uint32_t kTexelWhite = 0xFFFFFF00u;
inline constexpr std::uint32_t kTexelYellow = 0xFFFF0000u;
inline constexpr std::uint32_t kTexelBlue = 0x0000FF00u;
inline constexpr std::uint32_t kTexelRed = 0xFF000000u;
inline constexpr std::uint32_t kTexelGreen = 0x00FF0000u;

// Grey level v (0 black .. 255 white) in all three colour channels.
constexpr std::uint32_t gfxGreyTexel(std::uint32_t v) { return v * 0x01010100u; }

// Row-major, 256 texels per row, row 0 first (row 0 is the bottom edge of texture space,
// so the picture reads normally with row 255 at the top).
extern const std::uint32_t gTestImage[65536];
