// A small scene rasterised on the processor, with what quillmere's test image has that
// presentation filters treat differently: thin textured wedges with a checkerboard, thin
// lines, a caption-like block of one-pixel glyph strokes, and a wide flat area. The
// one-sample frame takes each pixel's centre; the reference averages 4 x 4 points.
#pragma once

#include "measure/aa/verdict.h"
#include "measure/presentation/figures.h"
#include "measure/core/metrics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace synthetic {

using measure::Image;

constexpr int kW = 160, kH = 120;

struct Wedge {
    double x[3], y[3];
};

inline std::vector<Wedge> wedges() {
    std::vector<Wedge> out;
    const double cx = 104, cy = 58;
    for (double a : {0.05, 1.1, 2.0, 3.5, 4.4, 5.3}) {
        const double half = 0.13, inner = 6, outer = 50;
        out.push_back({{cx + inner * std::cos(a), cx + outer * std::cos(a - half), cx + outer * std::cos(a + half)},
                       {cy + inner * std::sin(a), cy + outer * std::sin(a - half), cy + outer * std::sin(a + half)}});
    }
    return out;
}

inline bool inside(const Wedge& b, double x, double y) {
    auto side = [&](int a, int c) { return (b.x[c] - b.x[a]) * (y - b.y[a]) - (b.y[c] - b.y[a]) * (x - b.x[a]); };
    const double s0 = side(0, 1), s1 = side(1, 2), s2 = side(2, 0);
    return (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
}

inline int wedgeAt(double x, double y) {
    const std::vector<Wedge> scene = wedges();
    for (std::size_t i = 0; i < scene.size(); ++i)
        if (inside(scene[i], x, y)) return (int)i;
    return -1;
}

// Distance from (x, y) to the segment (ax, ay)-(bx, by).
inline double toSegment(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(x - ax - t * dx, y - ay - t * dy);
}

inline bool onThinLine(double x, double y) {
    return toSegment(x, y, 4, 50, 50, 54) < 0.35 || toSegment(x, y, 6, 60, 40, 75) < 0.35 ||
           toSegment(x, y, 46, 44, 50, 76) < 0.35;
}

// The caption: glyph cells 4 x 6 with one-pixel strokes on whole pixels, as a bitmap font.
inline bool glyphStroke(double x, double y) {
    if (x < 8 || x >= 64 || y < 86 || y >= 110) return false;
    const int cx = (int)(x - 8) / 4, cy = (int)(y - 86) / 6, px = (int)(x - 8) % 4, py = (int)(y - 86) % 6;
    if (px == 3 || py == 5) return false;  // the space between glyphs
    const int shape = (cx * 7 + cy * 3) % 4;
    switch (shape) {
        case 0: return px == 0 || py == 0 || py == 4;
        case 1: return px == 1 || py == 2;
        case 2: return px == 2 || py == 0 || (px == 0 && py < 3);
        default: return py == 4 || (px == py % 3);
    }
}

// The scene's colour at (x, y) in pixels, y down.
inline std::array<double, 3> colourAt(double x, double y) {
    const int w = wedgeAt(x, y);
    if (w >= 0) {
        const bool dark = ((int)std::floor(x / 6) + (int)std::floor(y / 6)) % 2 != 0;
        const double tint[3] = {0.5 + 0.08 * w, 0.9 - 0.1 * w, 0.4 + 0.1 * (w % 3)};
        const double v = dark ? 70 : 230;
        return {v * tint[0], v * tint[1], v * tint[2]};
    }
    if (x >= 8 && x < 40 && y >= 8 && y < 40) return {200, 176, 64};
    if (x >= 6 && x < 66 && y >= 84 && y < 112)
        return glyphStroke(x, y) ? std::array<double, 3>{20, 20, 20} : std::array<double, 3>{225, 225, 215};
    if (onThinLine(x, y)) return {250, 250, 250};
    return {40, 50, 70};
}

// Each pixel the mean of n x n points (1: its centre); `coverage` draws the wedges black on white.
inline Image render(int n, bool coverage = false) {
    Image out(kW, kH);
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col) {
            std::array<double, 3> sum{};
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) {
                    const double x = col + (i + 0.5) / n, y = row + (j + 0.5) / n;
                    const std::array<double, 3> c = coverage
                                                        ? (wedgeAt(x, y) >= 0 ? std::array<double, 3>{0, 0, 0}
                                                                              : std::array<double, 3>{255, 255, 255})
                                                        : colourAt(x, y);
                    for (int k = 0; k < 3; ++k) sum[k] += c[k];
                }
            for (int k = 0; k < 3; ++k)
                out.rgb[((std::size_t)row * kW + col) * 3 + k] = (std::uint8_t)std::lround(sum[k] / (n * n));
        }
    return out;
}

// The wedges' regions from the 4 x 4 coverage: partly covered pixels are their edges.
inline std::vector<measure::Region> regions() {
    const Image cover = render(4, true);
    std::vector<measure::Region> out(cover.pixels());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int g = cover.rgb[i * 3 + 1];
        out[i] = g == 255 ? measure::Region::Outside : g == 0 ? measure::Region::Interior : measure::Region::Edge;
    }
    return out;
}

// Pixels whose 5 x 5 neighbourhood in the one-sample frame is one colour.
inline std::vector<bool> flatPixels(const Image& one) {
    std::vector<bool> out(one.pixels(), false);
    for (int y = 2; y < kH - 2; ++y)
        for (int x = 2; x < kW - 2; ++x) {
            bool flat = true;
            for (int j = -2; j <= 2 && flat; ++j)
                for (int i = -2; i <= 2 && flat; ++i)
                    for (int k = 0; k < 3; ++k)
                        flat = flat && one.rgb[((std::size_t)(y + j) * kW + x + i) * 3 + k] ==
                                           one.rgb[((std::size_t)y * kW + x) * 3 + k];
            out[(std::size_t)y * kW + x] = flat;
        }
    return out;
}

// The landmarks the detail figures are read over: the flat area and the wedges' interiors,
// the checkered wedges, the pixels by the thin lines, the caption block.
inline std::vector<measure::Landmark> landmarks() {
    using measure::LandmarkKind;
    std::vector<measure::Landmark> out = {{LandmarkKind::Interiors, {}},
                                          {LandmarkKind::Checkerboards, {}},
                                          {LandmarkKind::ThinLines, {}},
                                          {LandmarkKind::Caption, {}}};
    const std::vector<measure::Region> r = regions();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const bool wedge = r[(std::size_t)y * kW + x] == measure::Region::Interior;
            out[0].mask.push_back(wedge || (cx > 10 && cx < 38 && cy > 10 && cy < 38));
            out[1].mask.push_back(wedge);
            bool nearLine = false;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) nearLine = nearLine || onThinLine(cx + i * 0.7, cy + j * 0.7);
            out[2].mask.push_back(nearLine);
            out[3].mask.push_back(cx >= 6 && cx < 66 && cy >= 84 && cy < 112);
        }
    return out;
}

}  // namespace synthetic
