#include "measure/presentation/families.h"

#include "measure/aa/candidates.h"
#include "measure/core/parallel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace measure {

namespace {

// One value a pixel, row by row, as the filters read luma or a channel.
struct Plane {
    int width = 0, height = 0;
    std::vector<float> v;
    // Borders repeat the edge pixel, as a clamped texture does.
    float at(int x, int y) const {
        return v[(std::size_t)std::clamp(y, 0, height - 1) * width + std::clamp(x, 0, width - 1)];
    }
    // Bilinear between pixel centres, which lie on whole coordinates; borders repeat.
    float sample(double x, double y) const {
        const double fx = std::floor(x), fy = std::floor(y);
        const int x0 = (int)fx, y0 = (int)fy;
        const float ax = (float)(x - fx), ay = (float)(y - fy);
        const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * ax;
        const float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * ax;
        return top + (bottom - top) * ay;
    }
};

// Luma 0..1 of stored values: Rec. 601 weights, as FXAA and MLAA are usually fed, or green.
Plane lumaPlane(const Image& image, bool greenOnly) {
    Plane p{image.width, image.height, std::vector<float>(image.pixels())};
    for (std::size_t i = 0; i < p.v.size(); ++i) {
        const std::uint8_t* c = &image.rgb[i * 3];
        p.v[i] = greenOnly ? c[1] / 255.0f : (0.299f * c[0] + 0.587f * c[1] + 0.114f * c[2]) / 255.0f;
    }
    return p;
}

// Stored levels saturate, as a framebuffer's do.
std::uint8_t toLevel(double v) { return (std::uint8_t)std::clamp(std::lround(v), 0L, 255L); }

// The colour part-way from a pixel to its neighbour, as a bilinear texture fetch gives it.
void blendToward(const Image& in, Image& out, std::size_t at, std::size_t toward, double share) {
    for (int c = 0; c < 3; ++c) {
        const double a = in.rgb[at * 3 + c], b = in.rgb[toward * 3 + c];
        out.rgb[at * 3 + c] = toLevel(a + (b - a) * share);
    }
}

// FXAA's end-of-edge search along one direction: how far it went, and the luma found there
// less the local average, in steps the preset fixes (the last one a guess, never sampled).
struct EdgeEnd {
    double distance;
    float luma;
};
EdgeEnd searchEdge(const Plane& luma, double bx, double by, double ax, double ay, const std::vector<double>& steps,
                   float lumaLocal, float gradientScaled) {
    double off = steps[0];
    float end = luma.sample(bx + ax * off, by + ay * off) - lumaLocal;
    for (std::size_t k = 1; k < steps.size() && std::fabs(end) < gradientScaled; ++k) {
        off += steps[k];
        if (k + 1 < steps.size()) end = luma.sample(bx + ax * off, by + ay * off) - lumaLocal;
    }
    return {off, end};
}

// FXAA at one pixel: the shift across its edge (0 where it is left alone) and which
// neighbour it is blended toward.
struct FxaaShift {
    double share = 0;
    int dx = 0, dy = 0;
};
FxaaShift fxaaPixel(const Plane& L, int x, int y, const FxaaParams& p, const std::vector<double>& steps) {
    const float m = L.at(x, y), n = L.at(x, y - 1), s = L.at(x, y + 1), w = L.at(x - 1, y), e = L.at(x + 1, y);
    const float hi = std::max({m, n, s, w, e}), lo = std::min({m, n, s, w, e}), range = hi - lo;
    if (range < std::max((float)p.edgeThresholdMin, hi * (float)p.edgeThreshold)) return {};
    const float nw = L.at(x - 1, y - 1), ne = L.at(x + 1, y - 1), sw = L.at(x - 1, y + 1), se = L.at(x + 1, y + 1);
    // Second differences across each direction, the centre row counted twice.
    const float edgeHorz = std::fabs(nw + sw - 2 * w) + 2 * std::fabs(n + s - 2 * m) + std::fabs(ne + se - 2 * e);
    const float edgeVert = std::fabs(nw + ne - 2 * n) + 2 * std::fabs(w + e - 2 * m) + std::fabs(sw + se - 2 * s);
    const bool horz = edgeHorz >= edgeVert;
    const float before = horz ? n : w, after = horz ? s : e;
    const float gradBefore = before - m, gradAfter = after - m;
    const bool towardBefore = std::fabs(gradBefore) >= std::fabs(gradAfter);
    const float gradient = std::max(std::fabs(gradBefore), std::fabs(gradAfter));
    const int sign = towardBefore ? -1 : 1;
    // The search runs along the edge, half a pixel across toward the steeper neighbour.
    const double ax = horz ? 1 : 0, ay = horz ? 0 : 1;
    const double bx = x + (horz ? 0 : 0.5 * sign), by = y + (horz ? 0.5 * sign : 0);
    const float pairSum = (towardBefore ? before : after) + m;
    const float local = pairSum * 0.5f, gradientScaled = gradient * 0.25f;
    const bool centreBelow = m - local < 0;
    const EdgeEnd back = searchEdge(L, bx, by, -ax, -ay, steps, local, gradientScaled);
    const EdgeEnd ahead = searchEdge(L, bx, by, ax, ay, steps, local, gradientScaled);
    const bool nearerBack = back.distance < ahead.distance;
    const double nearest = std::min(back.distance, ahead.distance), span = back.distance + ahead.distance;
    const bool goodSpan = ((nearerBack ? back.luma : ahead.luma) < 0) != centreBelow;
    const double edgeShare = goodSpan ? 0.5 - nearest / span : 0.0;
    // Sub-pixel aliasing: the centre against the 3 x 3 low-pass, smoothstepped and squared.
    const float lowPass = (2 * (n + s + w + e) + nw + ne + sw + se) / 12.0f;
    const double c = std::clamp(std::fabs(lowPass - m) / range, 0.0f, 1.0f);
    const double f = (-2 * c + 3) * c * c;
    const double share = std::max(edgeShare, f * f * p.subpix);
    return {share, horz ? 0 : sign, horz ? sign : 0};
}

// A Gaussian's weights, radius three widths, summing to one.
std::vector<double> gaussianWeights(double sigma) {
    const int radius = std::max(1, (int)std::ceil(3 * sigma));
    std::vector<double> w(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += w[i + radius] = std::exp(-0.5 * i * i / (sigma * sigma));
    for (double& x : w) x /= sum;
    return w;
}

// The separable Gaussian in floating point, three channels interleaved, before rounding:
// rows through a padded copy, then columns as weighted sums of whole rows.
std::vector<float> blurred(const Image& image, double sigma) {
    const std::vector<double> w = gaussianWeights(sigma);
    const int r = (int)w.size() / 2, W = image.width, H = image.height, row = W * 3;
    std::vector<float> rows(image.rgb.size()), out(image.rgb.size(), 0.0f), padded((std::size_t)(W + 2 * r) * 3);
    for (int y = 0; y < H; ++y) {
        const std::uint8_t* in = &image.rgb[(std::size_t)y * row];
        for (int x = -r; x < W + r; ++x)
            for (int c = 0; c < 3; ++c) padded[(std::size_t)(x + r) * 3 + c] = in[std::clamp(x, 0, W - 1) * 3 + c];
        float* o = &rows[(std::size_t)y * row];
        for (int i = 0; i <= 2 * r; ++i) {
            const float wi = (float)w[i];
            const float* src = &padded[(std::size_t)i * 3];
            for (int k = 0; k < row; ++k) o[k] += wi * src[k];
        }
    }
    for (int y = 0; y < H; ++y) {
        float* o = &out[(std::size_t)y * row];
        for (int j = -r; j <= r; ++j) {
            const float wj = (float)w[j + r];
            const float* src = &rows[(std::size_t)std::clamp(y + j, 0, H - 1) * row];
            for (int k = 0; k < row; ++k) o[k] += wj * src[k];
        }
    }
    return out;
}

}  // namespace

std::vector<double> fxaaSearchSteps(int preset) {
    // FXAA 3.11's quality presets: the first step, the steps after it, the last a guess.
    switch (preset) {
        case 10: return {1.5, 3.0, 12.0};
        case 11: return {1.0, 1.5, 3.0, 12.0};
        case 12: return {1.0, 1.5, 2.0, 4.0, 12.0};
        case 13: return {1.0, 1.5, 2.0, 2.0, 4.0, 12.0};
        case 14: return {1.0, 1.5, 2.0, 2.0, 2.0, 4.0, 12.0};
        case 15: return {1.0, 1.5, 2.0, 2.0, 2.0, 2.0, 4.0, 12.0};
        case 20: return {1.5, 2.0, 8.0};
        case 21: return {1.0, 1.5, 2.0, 8.0};
        case 22: return {1.0, 1.5, 2.0, 2.0, 8.0};
        case 23: return {1.0, 1.5, 2.0, 2.0, 2.0, 8.0};
        case 24: return {1.0, 1.5, 2.0, 2.0, 2.0, 3.0, 8.0};
        case 25: return {1.0, 1.5, 2.0, 2.0, 2.0, 2.0, 4.0, 8.0};
        case 26: return {1.0, 1.5, 2.0, 2.0, 2.0, 2.0, 2.0, 4.0, 8.0};
        case 27: return {1.0, 1.5, 2.0, 2.0, 2.0, 2.0, 2.0, 2.0, 4.0, 8.0};
        case 28: return {1.0, 1.5, 2.0, 2.0, 2.0, 2.0, 2.0, 2.0, 2.0, 4.0, 8.0};
        case 29: return {1.0, 1.5, 2.0, 2.0, 2.0, 2.0, 2.0, 2.0, 2.0, 2.0, 4.0, 8.0};
        case 39: return {1.0, 1.0, 1.0, 1.0, 1.0, 1.5, 2.0, 2.0, 2.0, 2.0, 4.0, 8.0};
        default: return {};
    }
}

namespace {

// FXAA on decoded values: luma of linear light, the bilinear blend in linear light, stored
// back in sRGB, as a filter sampling and writing sRGB views of the swapchain sees it.
Image fxaaLinear(const Image& image, const FxaaParams& params, const std::vector<double>& steps) {
    const int W = image.width, H = image.height;
    std::vector<float> lin(image.rgb.size());
    for (std::size_t i = 0; i < lin.size(); ++i) lin[i] = (float)srgbToLinear(image.rgb[i]);
    Plane luma{W, H, std::vector<float>(image.pixels())};
    for (std::size_t i = 0; i < luma.v.size(); ++i) {
        const float* c = &lin[i * 3];
        luma.v[i] = params.greenAsLuma ? c[1] : 0.299f * c[0] + 0.587f * c[1] + 0.114f * c[2];
    }
    Image out = image;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const FxaaShift shift = fxaaPixel(luma, x, y, params, steps);
            if (shift.share <= 0) continue;
            const std::size_t at = (std::size_t)y * W + x, to = (std::size_t)std::clamp(y + shift.dy, 0, H - 1) * W +
                                                                std::clamp(x + shift.dx, 0, W - 1);
            for (int c = 0; c < 3; ++c) {
                const float a = lin[at * 3 + c], b = lin[to * 3 + c];
                out.rgb[at * 3 + c] = linearToSrgb(a + (b - a) * shift.share);
            }
        }
    return out;
}

}  // namespace

Image fxaa(const Image& image, const FxaaParams& params) {
    const std::vector<double> steps = fxaaSearchSteps(params.preset);
    Image out = image;
    if (steps.empty()) return out;
    if (params.linearLight) return fxaaLinear(image, params, steps);
    const Plane luma = lumaPlane(image, params.greenAsLuma);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const FxaaShift shift = fxaaPixel(luma, x, y, params, steps);
            if (shift.share <= 0) continue;
            const int tx = std::clamp(x + shift.dx, 0, image.width - 1),
                      ty = std::clamp(y + shift.dy, 0, image.height - 1);
            blendToward(image, out, (std::size_t)y * image.width + x, (std::size_t)ty * image.width + tx, shift.share);
        }
    return out;
}

namespace {

// The share of a pixel [i, i + 1] that the separation line h(x) puts on each side of the
// boundary: h > 0 toward the first row, h < 0 toward the second (MLAA's area).
struct Areas {
    double first = 0, second = 0;
};
// One straight piece of the line, whose sign does not change over it.
void addPiece(Areas& a, double x0, double h0, double x1, double h1) {
    if (x1 <= x0) return;
    const double area = (h0 + h1) / 2 * (x1 - x0);
    (area > 0 ? a.first : a.second) += std::fabs(area);
}
// An edge run of `length` pixels whose ends turn toward the first row (+1), the second
// (-1) or neither (0): the line joins the middle of each turning end to the run's middle
// (both ends turn: Z and U shapes split in two L shapes) or to the far end (one turns).
Areas mlaaAreas(int length, int pixel, int startTurn, int endTurn) {
    Areas a;
    const double L = length, i = pixel;
    auto line = [&](double x) {
        if (startTurn && endTurn)
            return x <= L / 2 ? startTurn * 0.5 * (1 - 2 * x / L) : endTurn * 0.5 * (2 * x / L - 1);
        if (startTurn) return startTurn * 0.5 * (1 - x / L);
        if (endTurn) return endTurn * 0.5 * x / L;
        return 0.0;
    };
    const double mid = L / 2;
    if (startTurn && endTurn && mid > i && mid < i + 1) {
        addPiece(a, i, line(i), mid, 0.0);
        addPiece(a, mid, 0.0, i + 1, line(i + 1));
    } else {
        addPiece(a, i, line(i), i + 1, line(i + 1));
    }
    return a;
}

// MLAA's weights across the boundaries between rows y and y + 1: `toNext[p]` the share
// of pixel p taken from the pixel below it, `toPrevious[p]` from the pixel above.
void mlaaRows(const Plane& L, const MlaaParams& p, std::vector<float>& toNext, std::vector<float>& toPrevious) {
    const int W = L.width, H = L.height;
    const float t = (float)p.threshold;
    auto across = [&](int x, int y) { return std::fabs(L.at(x, y) - L.at(x, y + 1)) > t; };  // rows y, y+1
    auto along = [&](int x, int y) { return std::fabs(L.at(x, y) - L.at(x + 1, y)) > t; };   // columns x, x+1
    // Which row a run's end turns toward, through the step between columns x and x + 1.
    auto turn = [&](int x, int y) {
        if (x < 0 || x >= W - 1) return 0;
        const bool up = along(x, y), down = along(x, y + 1);
        return up == down ? 0 : up ? 1 : -1;
    };
    for (int y = 0; y + 1 < H; ++y)
        for (int x = 0; x < W;) {
            if (!across(x, y)) {
                ++x;
                continue;
            }
            int end = x;
            while (end + 1 < W && across(end + 1, y)) ++end;
            const int startTurn = turn(x - 1, y), endTurn = turn(end, y);
            for (int i = x; i <= end; ++i) {
                // Ends further than the reach are not seen: the run seems to go on straight.
                const int before = std::min(i - x, p.reach), after = std::min(end - i, p.reach);
                const Areas a = mlaaAreas(before + after + 1, before, i - x < p.reach ? startTurn : 0,
                                          end - i < p.reach ? endTurn : 0);
                toNext[(std::size_t)y * W + i] += (float)a.first;
                toPrevious[(std::size_t)(y + 1) * W + i] += (float)a.second;
            }
            x = end + 1;
        }
}

// Columns as rows, so one pass over rows serves both directions.
Plane transposed(const Plane& p) {
    Plane t{p.height, p.width, std::vector<float>(p.v.size())};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) t.v[(std::size_t)x * p.height + y] = p.v[(std::size_t)y * p.width + x];
    return t;
}

}  // namespace

Image mlaa(const Image& image, const MlaaParams& params) {
    const int W = image.width, H = image.height;
    const Plane luma = lumaPlane(image, false);
    std::vector<float> down(image.pixels()), up(image.pixels()), rightT(image.pixels()), leftT(image.pixels());
    mlaaRows(luma, params, down, up);
    mlaaRows(transposed(luma), params, rightT, leftT);  // columns as rows: indices x * H + y
    Image out = image;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::size_t p = (std::size_t)y * W + x, t = (std::size_t)x * H + y;
            double w[4] = {down[p], up[p], rightT[t], leftT[t]};
            const double total = w[0] + w[1] + w[2] + w[3];
            if (total <= 0) continue;
            if (total > 1)
                for (double& v : w) v /= total;
            const std::size_t n[4] = {
                (std::size_t)std::min(y + 1, H - 1) * W + x, (std::size_t)std::max(y - 1, 0) * W + x,
                (std::size_t)y * W + std::min(x + 1, W - 1), (std::size_t)y * W + std::max(x - 1, 0)};
            for (int c = 0; c < 3; ++c) {
                double v = image.rgb[p * 3 + c] * (1 - std::min(total, 1.0));
                for (int k = 0; k < 4; ++k) v += w[k] * image.rgb[n[k] * 3 + c];
                out.rgb[p * 3 + c] = toLevel(v);
            }
        }
    return out;
}

Image gaussianBlur(const Image& image, double sigma) {
    Image out(image.width, image.height);
    const std::vector<float> b = blurred(image, sigma);
    for (std::size_t i = 0; i < b.size(); ++i) out.rgb[i] = toLevel(b[i]);
    return out;
}

Image unsharpMask(const Image& image, double sigma, double amount) {
    Image out(image.width, image.height);
    const std::vector<float> b = blurred(image, sigma);
    for (std::size_t i = 0; i < b.size(); ++i) out.rgb[i] = toLevel(image.rgb[i] + amount * (image.rgb[i] - b[i]));
    return out;
}

Image cas(const Image& image, double sharpness) {
    const int W = image.width, H = image.height, row = W * 3;
    Image out(W, H);
    // The negative lobe's peak: -1/8 at no sharpness to -1/5 at full.
    const float peak = (float)(-1.0 / (8.0 + (5.0 - 8.0) * std::clamp(sharpness, 0.0, 1.0)));
    std::vector<float> v(image.rgb.size());
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = image.rgb[i] / 255.0f;
    for (int y = 0; y < H; ++y) {
        const float* up = &v[(std::size_t)std::max(y - 1, 0) * row];
        const float* mid = &v[(std::size_t)y * row];
        const float* down = &v[(std::size_t)std::min(y + 1, H - 1) * row];
        for (int k = 0; k < row; ++k) {
            const int x = k / 3;
            const float e = mid[k], n = up[k], s = down[k], w = x > 0 ? mid[k - 3] : e,
                        east = x + 1 < W ? mid[k + 3] : e;
            const float mn = std::min({e, n, s, w, east}), mx = std::max({e, n, s, w, east});
            // Less sharpening where the cross already nears black or white.
            const float amp = mx > 0 ? std::sqrt(std::clamp(std::min(mn, 1.0f - mx) / mx, 0.0f, 1.0f)) : 0.0f;
            const float wt = amp * peak;
            out.rgb[(std::size_t)y * row + k] = toLevel(255.0f * (wt * (n + s + w + east) + e) / (1 + 4 * wt));
        }
    }
    return out;
}

Image applyColourMap(const Image& image, const ColourMap& map) {
    std::array<std::uint8_t, 256> lut{};
    for (int v = 0; v < 256; ++v) {
        switch (map.kind) {
            case ColourMapKind::Gamma: lut[v] = toLevel(255.0 * std::pow(v / 255.0, map.value)); break;
            case ColourMapKind::Gain: lut[v] = toLevel(v * map.value); break;
            case ColourMapKind::LimitedRange: lut[v] = toLevel(16 + v * 219.0 / 255.0); break;
        }
    }
    Image out = image;
    for (std::uint8_t& v : out.rgb) v = lut[v];
    return out;
}

Image applyStep(const Image& image, const FamilyStep& step) {
    switch (step.family) {
        case Family::Fxaa: return fxaa(image, step.fxaa);
        case Family::Mlaa: return mlaa(image, step.mlaa);
        case Family::Unsharp: return unsharpMask(image, step.sigma, step.amount);
        case Family::Cas: return cas(image, step.amount);
        case Family::Box: return boxFilter(image, step.side);
        case Family::Tent: return tentFilter(image);
        case Family::Gaussian: return gaussianBlur(image, step.sigma);
        case Family::Colour: return applyColourMap(image, step.colour);
    }
    return image;
}

std::string stepName(const FamilyStep& s) {
    char text[96];
    switch (s.family) {
        case Family::Fxaa:
            std::snprintf(text, sizeof text, "fxaa-%d-%.3g-%.3g-%.2g%s%s", s.fxaa.preset, s.fxaa.edgeThreshold,
                          s.fxaa.edgeThresholdMin, s.fxaa.subpix, s.fxaa.greenAsLuma ? "-green" : "",
                          s.fxaa.linearLight ? "-linear" : "");
            break;
        case Family::Mlaa: std::snprintf(text, sizeof text, "mlaa-%.3g-%d", s.mlaa.threshold, s.mlaa.reach); break;
        case Family::Unsharp: std::snprintf(text, sizeof text, "unsharp-%.2g-%.2g", s.sigma, s.amount); break;
        case Family::Cas: std::snprintf(text, sizeof text, "cas-%.2g", s.amount); break;
        case Family::Box: std::snprintf(text, sizeof text, "box-%d", s.side); break;
        case Family::Tent: std::snprintf(text, sizeof text, "tent-3"); break;
        case Family::Gaussian: std::snprintf(text, sizeof text, "gaussian-%.2g", s.sigma); break;
        case Family::Colour:
            if (s.colour.kind == ColourMapKind::LimitedRange)
                std::snprintf(text, sizeof text, "limited-range");
            else
                std::snprintf(text, sizeof text, "%s-%.3g", s.colour.kind == ColourMapKind::Gamma ? "gamma" : "gain",
                              s.colour.value);
            break;
    }
    return text;
}

namespace {

// A step of the families that read only widths, amounts and sides.
FamilyStep member(Family family, double sigma = 0, double amount = 0, int side = 0) {
    FamilyStep s;
    s.family = family;
    s.sigma = sigma;
    s.amount = amount;
    s.side = side;
    return s;
}
// The parameters named as the published presets name them.
FamilyStep fxaaMember(int preset, double edge, double min, double subpix, bool green = false, bool linear = false) {
    FamilyStep s = member(Family::Fxaa);
    s.fxaa = {preset, subpix, edge, min, green, linear};
    return s;
}
// MLAA's two parameters, threshold first.
FamilyStep mlaaMember(double threshold, int reach) {
    FamilyStep s = member(Family::Mlaa);
    s.mlaa = {threshold, reach};
    return s;
}
// A colour map as one step of a chain.
FamilyStep colourMember(ColourMapKind kind, double value) {
    FamilyStep s = member(Family::Colour);
    s.colour = {kind, value};
    return s;
}

// The members tried: each family's published defaults and the settings its descriptions
// name, and the pairs a panel and a compositor may chain.
std::vector<std::vector<FamilyStep>> memberChains() {
    std::vector<FamilyStep> single;
    for (int preset : {10, 12, 15, 20, 29, 39}) single.push_back(fxaaMember(preset, 0.166, 0.0833, 0.75));
    for (int preset : {12, 39})
        for (double edge : {0.25, 0.166, 0.125, 0.063})
            for (double min : {0.0833, 0.0312})
                if (edge != 0.166 || min != 0.0833) single.push_back(fxaaMember(preset, edge, min, 0.75));
    for (double subpix : {0.0, 0.25, 0.5, 1.0}) single.push_back(fxaaMember(12, 0.166, 0.0833, subpix));
    single.push_back(fxaaMember(12, 0.166, 0.0833, 0.75, true));
    single.push_back(fxaaMember(39, 0.125, 0.0312, 0.75, true));
    // Layers that read and write the swapchain through sRGB views filter linear light.
    for (bool green : {false, true}) {
        single.push_back(fxaaMember(12, 0.166, 0.0833, 0.75, green, true));
        single.push_back(fxaaMember(39, 0.125, 0.0312, 0.75, green, true));
    }
    for (double t : {0.05, 0.1, 0.15, 0.2})
        for (int reach : {8, 16, 32}) single.push_back(mlaaMember(t, reach));
    for (double sigma : {0.7, 1.0, 1.5})
        for (double amount : {0.3, 0.6, 1.0}) single.push_back(member(Family::Unsharp, sigma, amount));
    for (double sharpness : {0.0, 0.25, 0.4, 0.6, 0.8, 1.0}) single.push_back(member(Family::Cas, 0, sharpness));
    for (double sigma : {0.5, 0.6, 0.7, 0.85, 1.0, 1.2, 1.5, 2.0}) single.push_back(member(Family::Gaussian, sigma));
    for (int side : {2, 3}) single.push_back(member(Family::Box, 0, 0, side));
    single.push_back(member(Family::Tent));
    for (double g : {1 / 2.2, 0.8, 1.25, 2.2}) single.push_back(colourMember(ColourMapKind::Gamma, g));
    for (double g : {0.9, 1.1}) single.push_back(colourMember(ColourMapKind::Gain, g));
    const FamilyStep limited = colourMember(ColourMapKind::LimitedRange, 1);
    single.push_back(limited);

    std::vector<std::vector<FamilyStep>> out;
    for (const FamilyStep& s : single) out.push_back({s});
    const FamilyStep fxaaDefault = fxaaMember(12, 0.166, 0.0833, 0.75), mlaaDefault = mlaaMember(0.1, 16);
    const FamilyStep cas04 = member(Family::Cas, 0, 0.4);
    out.push_back({fxaaDefault, limited});
    out.push_back({mlaaDefault, limited});
    out.push_back({fxaaDefault, cas04});
    out.push_back({mlaaDefault, cas04});
    out.push_back({member(Family::Gaussian, 0.7), cas04});
    out.push_back({member(Family::Gaussian, 1.0), cas04});
    out.push_back({member(Family::Gaussian, 1.0), member(Family::Unsharp, 1.0, 0.6)});
    return out;
}

}  // namespace

std::vector<FamilyCandidate> presentationCandidates(const Image& oneSample) {
    const std::vector<std::vector<FamilyStep>> chains = memberChains();
    std::vector<FamilyCandidate> out(chains.size());
    forEachInParallel(chains.size(), [&](std::size_t i) {
        FamilyCandidate& c = out[i];
        c.steps = chains[i];
        c.image = oneSample;
        for (const FamilyStep& s : c.steps) {
            c.image = applyStep(c.image, s);
            if (!c.name.empty()) c.name.push_back('+');
            c.name.append(stepName(s));
        }
    });
    return out;
}

}  // namespace measure
