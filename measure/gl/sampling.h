// The texture filter the tool sets on the program's texture for a capture or a motion mode:
// the minification filter asked for, the magnification filter that goes with it, and the
// anisotropy degree where the driver has the extension. The probes' finer states (mipmap
// rounding, level-of-detail bias) are filtering/probes.cpp's own.
#pragma once

#include <cstdint>

namespace measure {

struct GlEntryPoints;

// Minification as asked; magnification is GL_NEAREST with GL_NEAREST, else GL_LINEAR.
enum class FilterMode : std::uint8_t { Linear, Nearest, Trilinear };

struct TextureFilter {
    FilterMode mode = FilterMode::Linear;
    float anisotropy = 1;
    // Whether the filter reads the texture's mipmap levels.
    bool mipmapped() const { return mode == FilterMode::Trilinear; }
};

// The program's own filtering: GL_LINEAR, no mipmaps, anisotropy 1.
inline constexpr TextureFilter kProgramFilter{};

// Sets the filter on the bound 2D texture.
void applyFilter(const GlEntryPoints& gl, const TextureFilter& filter);

}  // namespace measure
