// The texture-filtering rules on the processor: level of detail from the texture
// coordinates' derivatives with the bounds an implementation may use, nearest-mipmap
// selection, nearest and bilinear sampling, and a per-pixel model of a frame's triangles.
#pragma once

#include <cstdint>
#include <vector>

namespace measure {

// Texture-coordinate derivatives in texels per pixel.
struct Footprint {
    double dudx = 0, dvdx = 0, dudy = 0, dvdy = 0;
};

// Level of detail of a footprint: the exact lengths, and the range the rules allow
// (max(mu, mv) <= f <= mu + mv), all as log2.
struct Lod {
    double exact = 0;
    double lower = 0;
    double upper = 0;
    double anisotropy = 1;  // the longer screen axis's length over the shorter's
    double angle = 0;       // degrees of the longer screen axis's image against the u axis, in [0, 90)
};

Lod lodOf(const Footprint& f);

// The nearest-mipmap level under each of the two allowed rounding rules.
int levelRoundHalfUp(double lambda);    // floor(lambda + 1/2)
int levelRoundHalfDown(double lambda);  // ceil(lambda + 1/2) - 1

// A texture's level 0 as the renderer stores it: words 0xRRGGBBAA, rows from the bottom.
struct Texels {
    const std::uint32_t* data = nullptr;
    int width = 0;
    int height = 0;
};

// The texture sampled at (s, t) with the repeat wrap, RGB as 0..255 doubles.
void sampleNearest(const Texels& texture, double s, double t, double rgb[3]);
void sampleBilinear(const Texels& texture, double s, double t, double rgb[3]);

// A vertex in window coordinates (y upwards), its 1 / w and its texture coordinates.
struct ModelVertex {
    double x = 0, y = 0, invW = 1, s = 0, t = 0;
};

// What the rules give one pixel centre: its texture coordinates (0..1 units) and footprint (texels).
struct PixelModel {
    bool covered = false;
    int triangle = -1;
    double invW = 0;
    double s = 0, t = 0;
    Footprint footprint;
};

// Perspective-correct texture coordinates and their exact derivatives at every pixel
// centre a triangle covers; the nearest triangle wins where they overlap.
class FrameModel {
public:
    FrameModel(int width, int height, int textureWidth, int textureHeight);
    void addTriangle(const ModelVertex& a, const ModelVertex& b, const ModelVertex& c);
    // Rows from the top, as the captured images.
    const PixelModel& at(int x, int y) const { return pixels_[(std::size_t)y * width_ + x]; }
    // True where the pixel and its eight neighbours lie on the same triangle.
    bool inner(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }
    int triangles() const { return triangles_; }

private:
    int width_, height_, textureWidth_, textureHeight_;
    int triangles_ = 0;
    std::vector<PixelModel> pixels_;
};

}  // namespace measure
