// The texture-filtering rules evaluated on the processor.
#include "measure/filtering/rules.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace measure {
namespace {

// The repeat wrap of a texel index.
int wrap(int i, int size) {
    int m = i % size;
    return m < 0 ? m + size : m;
}

// One texel's colour channels.
void texel(const Texels& texture, int i, int j, double rgb[3]) {
    std::uint32_t w = texture.data[(std::size_t)wrap(j, texture.height) * texture.width + wrap(i, texture.width)];
    rgb[0] = (double)((w >> 24) & 255u);
    rgb[1] = (double)((w >> 16) & 255u);
    rgb[2] = (double)((w >> 8) & 255u);
}

// The coefficients (f_x, f_y) of the plane through three values at three points.
void plane(const ModelVertex& a, const ModelVertex& b, const ModelVertex& c, double fa, double fb, double fc,
           double area, double& fx, double& fy) {
    fx = ((fb - fa) * (c.y - a.y) - (fc - fa) * (b.y - a.y)) / area;
    fy = ((fc - fa) * (b.x - a.x) - (fb - fa) * (c.x - a.x)) / area;
}

}  // namespace

Lod lodOf(const Footprint& f) {
    Lod lod;
    const double px = std::hypot(f.dudx, f.dvdx), py = std::hypot(f.dudy, f.dvdy);
    const double mu = std::max(std::fabs(f.dudx), std::fabs(f.dudy));
    const double mv = std::max(std::fabs(f.dvdx), std::fabs(f.dvdy));
    lod.exact = std::log2(std::max(px, py));
    lod.lower = std::log2(std::max(mu, mv));
    lod.upper = std::log2(mu + mv);
    lod.anisotropy = std::min(px, py) > 0 ? std::max(px, py) / std::min(px, py) : INFINITY;
    double angle = (px >= py ? std::atan2(f.dvdx, f.dudx) : std::atan2(f.dvdy, f.dudy)) * 180.0 / std::numbers::pi;
    lod.angle = std::fmod(std::fmod(angle, 90.0) + 90.0, 90.0);
    return lod;
}

int levelRoundHalfUp(double lambda) { return (int)std::floor(lambda + 0.5); }

int levelRoundHalfDown(double lambda) { return (int)std::ceil(lambda + 0.5) - 1; }

void sampleNearest(const Texels& texture, double s, double t, double rgb[3]) {
    texel(texture, (int)std::floor(s * texture.width), (int)std::floor(t * texture.height), rgb);
}

void sampleBilinear(const Texels& texture, double s, double t, double rgb[3]) {
    // Texel centres sit at half-integers.
    const double u = s * texture.width - 0.5, v = t * texture.height - 0.5;
    const int i = (int)std::floor(u), j = (int)std::floor(v);
    const double a = u - i, b = v - j;
    double c00[3], c10[3], c01[3], c11[3];
    texel(texture, i, j, c00);
    texel(texture, i + 1, j, c10);
    texel(texture, i, j + 1, c01);
    texel(texture, i + 1, j + 1, c11);
    for (int k = 0; k < 3; ++k)
        rgb[k] = (1 - b) * ((1 - a) * c00[k] + a * c10[k]) + b * ((1 - a) * c01[k] + a * c11[k]);
}

FrameModel::FrameModel(int width, int height, int textureWidth, int textureHeight)
    : width_(width),
      height_(height),
      textureWidth_(textureWidth),
      textureHeight_(textureHeight),
      pixels_((std::size_t)width * height) {}

void FrameModel::addTriangle(const ModelVertex& a, const ModelVertex& b, const ModelVertex& c) {
    const double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (std::fabs(area) < 1e-9) return;
    const int id = triangles_++;
    // s / w, t / w and 1 / w are affine in window coordinates.
    double sx, sy, tx, ty, wx, wy;
    plane(a, b, c, a.s * a.invW, b.s * b.invW, c.s * c.invW, area, sx, sy);
    plane(a, b, c, a.t * a.invW, b.t * b.invW, c.t * c.invW, area, tx, ty);
    plane(a, b, c, a.invW, b.invW, c.invW, area, wx, wy);
    const int x0 = std::max(0, (int)std::floor(std::min({a.x, b.x, c.x})));
    const int x1 = std::min(width_ - 1, (int)std::ceil(std::max({a.x, b.x, c.x})));
    const int y0 = std::max(0, (int)std::floor(std::min({a.y, b.y, c.y})));
    const int y1 = std::min(height_ - 1, (int)std::ceil(std::max({a.y, b.y, c.y})));
    auto edge = [](const ModelVertex& p, const ModelVertex& q, double x, double y) {
        return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
    };
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            double e0 = edge(a, b, px, py), e1 = edge(b, c, px, py), e2 = edge(c, a, px, py);
            if (area < 0) e0 = -e0, e1 = -e1, e2 = -e2;
            if (e0 < 0 || e1 < 0 || e2 < 0) continue;
            const double dx = px - a.x, dy = py - a.y;
            const double sw = a.s * a.invW + sx * dx + sy * dy, tw = a.t * a.invW + tx * dx + ty * dy;
            const double w = a.invW + wx * dx + wy * dy;
            PixelModel& m = pixels_[(std::size_t)(height_ - 1 - y) * width_ + x];
            if (m.covered && m.invW >= w) continue;
            m.covered = true;
            m.triangle = id;
            m.invW = w;
            m.s = sw / w;
            m.t = tw / w;
            // The quotient rule on (s / w) / (1 / w), scaled to texels; y counts upwards here.
            m.footprint.dudx = (sx * w - sw * wx) / (w * w) * textureWidth_;
            m.footprint.dudy = (sy * w - sw * wy) / (w * w) * textureWidth_;
            m.footprint.dvdx = (tx * w - tw * wx) / (w * w) * textureHeight_;
            m.footprint.dvdy = (ty * w - tw * wy) / (w * w) * textureHeight_;
        }
}

bool FrameModel::inner(int x, int y) const {
    if (x < 1 || y < 1 || x >= width_ - 1 || y >= height_ - 1) return false;
    const PixelModel& m = at(x, y);
    if (!m.covered) return false;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i)
            if (at(x + i, y + j).triangle != m.triangle) return false;
    return true;
}

}  // namespace measure
