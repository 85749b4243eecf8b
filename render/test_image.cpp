// The test image, computed by the compiler: the bands, lines and combs are painted as
// rectangles, and the two caption lines are rasterised from the stroke glyphs of
// caption_font.h, the large one with grey levels from the area each texel's ink covers,
// the small one hard-edged (a texel is white when its ink covers at least half of it).
#include "render/test_image.h"

#include "render/caption_font.h"

namespace {

constexpr int kSize = 256;

struct TexelImage {
    std::uint32_t texel[kSize * kSize];
};

constexpr void fillRect(TexelImage& image, int row0, int row1, int col0, int col1, std::uint32_t colour) {
    for (int r = row0; r <= row1; ++r) {
        for (int c = col0; c <= col1; ++c) {
            image.texel[r * kSize + c] = colour;
        }
    }
}

// ---- Caption rasteriser ----------------------------------------------------------------

struct CaptionLine {
    const char* text;
    int rowFirst, rowLast;
    int columnFirst, columnLast;  // the lettering spans exactly these columns
    double scale;                 // texels per glyph unit
    double stroke;                // stroke width in texels
    bool smooth;                  // grey-level coverage, or hard black and white
};

// Rows 231-250 hold the large, anti-aliased line; rows 214-227 the small, hard-edged one.
// With row 255 at the top the large line stands above the small one.
constexpr CaptionLine kLargeLine = {"Quillmere filter test card", 231, 250, 40, 245, 1.38, 2.0, true};
constexpr CaptionLine kSmallLine = {"linear filtering of soft and hard edges", 214, 227, 43, 246, 1.0, 1.0, false};

// Neighbouring glyphs' centre lines lie this many glyph units apart before the line is
// fitted to its columns: one clear texel between two stems in the small line.
constexpr double kLetterGap = 2;

constexpr double halfStroke(const CaptionLine& line) { return line.stroke / (2 * line.scale); }

// Texel y of the baseline: the ink, descender to ascender, centred in the line's rows.
constexpr double baselineOf(const CaptionLine& line) {
    double h = halfStroke(line);
    double inkHeight = (caption::kAscender + caption::kDescender + 2 * h) * line.scale;
    return line.rowFirst + (line.rowLast + 1 - line.rowFirst - inkHeight) / 2 + (caption::kDescender + h) * line.scale;
}

// Each texel row is cut by this many horizontal scan lines; along a scan line the ink is
// measured exactly, as spans, so a texel's grey level is the area its glyph covers.
constexpr int kScanLines = 16;

constexpr double minOf(double a, double b) { return a < b ? a : b; }
constexpr double maxOf(double a, double b) { return a < b ? b : a; }

// |v| to the given whole power (2 to 4).
constexpr double magnitude(double v, int power) {
    double a = v < 0 ? -v : v;
    double p = a;
    for (int i = 1; i < power; ++i) {
        p *= a;
    }
    return p;
}

// The power-th root of v >= 0, by Newton's method from above.
constexpr double rootOf(double v, int power) {
    if (v <= 0) {
        return 0;
    }
    double x = v > 1 ? v : 1;
    for (int i = 0; i < 100; ++i) {
        double xp = magnitude(x, power - 1);
        double next = x - (x * xp - v) / (power * xp);
        if (!(next < x)) {
            break;
        }
        x = next;
    }
    return x;
}

constexpr double dotRadius(double halfStroke) { return 1.3 * halfStroke; }

struct Span {
    double x0, x1;
};

// Narrows [lo, hi] to the x where slope * x + k lies within [m0, m1].
constexpr void narrow(double& lo, double& hi, double slope, double k, double m0, double m1) {
    if (slope == 0) {
        if (k < m0 || k > m1) {
            lo = 1;
            hi = 0;
        }
        return;
    }
    double a = (m0 - k) / slope;
    double b = (m1 - k) / slope;
    lo = maxOf(lo, minOf(a, b));
    hi = minOf(hi, maxOf(a, b));
}

// Where the horizontal line at height y crosses the ink of one shape (glyph units): up to
// two spans, written to out; returns how many.
constexpr int shapeSpans(const caption::Shape& s, double h, double y, Span* out) {
    if (y < s.keepY0 || y > s.keepY1) {
        return 0;
    }
    int count = 0;
    switch (s.kind) {
        case caption::ShapeKind::Stroke: {
            // A round-ended stroke is convex: the union of its two end discs and its body.
            double lo = 1e9;
            double hi = -1e9;
            for (int end = 0; end < 2; ++end) {
                double ex = end == 0 ? s.ax : s.bx;
                double dy = y - (end == 0 ? s.ay : s.by);
                if (dy * dy <= h * h) {
                    double w = rootOf(h * h - dy * dy, 2);
                    lo = minOf(lo, ex - w);
                    hi = maxOf(hi, ex + w);
                }
            }
            double dx = s.bx - s.ax;
            double dy = s.by - s.ay;
            double len = rootOf(dx * dx + dy * dy, 2);
            if (len > 0) {
                double bodyLo = -1e9;
                double bodyHi = 1e9;
                // Distance from the centre line at most h; projection within the segment.
                narrow(bodyLo, bodyHi, -dy, dx * (y - s.ay) + dy * s.ax, -h * len, h * len);
                narrow(bodyLo, bodyHi, dx, dy * (y - s.ay) - dx * s.ax, 0, len * len);
                if (bodyLo <= bodyHi) {
                    lo = minOf(lo, bodyLo);
                    hi = maxOf(hi, bodyHi);
                }
            }
            if (lo <= hi) {
                out[count++] = {lo, hi};
            }
            break;
        }
        case caption::ShapeKind::Dot: {
            double r = dotRadius(h);
            double dy = y - s.ay;
            if (dy * dy <= r * r) {
                double w = rootOf(r * r - dy * dy, 2);
                out[count++] = {s.ax - w, s.ax + w};
            }
            break;
        }
        case caption::ShapeKind::Bowl: {
            double dy = y - s.ay;
            double outerY = s.by + h;
            double innerY = s.by - h;
            if (magnitude(dy / outerY, s.power) > 1) {
                break;
            }
            double wo = (s.bx + h) * rootOf(1 - magnitude(dy / outerY, s.power), s.power);
            if (s.bx > h && innerY > 0 && magnitude(dy / innerY, s.power) < 1) {
                double wi = (s.bx - h) * rootOf(1 - magnitude(dy / innerY, s.power), s.power);
                out[count++] = {s.ax - wo, s.ax - wi};
                out[count++] = {s.ax + wi, s.ax + wo};
            } else {
                out[count++] = {s.ax - wo, s.ax + wo};
            }
            break;
        }
        case caption::ShapeKind::None: break;
    }
    // The keep box cuts the spans.
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        Span sp = {maxOf(out[i].x0, s.keepX0), minOf(out[i].x1, s.keepX1)};
        if (sp.x0 < sp.x1) {
            out[kept++] = sp;
        }
    }
    return kept;
}

struct Box {
    double x0, x1, y0, y1;
};

// The ink bounds of a glyph in glyph units.
constexpr Box inkBounds(const caption::Glyph& g, double h) {
    Box b = {kSize, -kSize, kSize, -kSize};
    for (const caption::Shape& s : g.shape) {
        Box e = {0, 0, 0, 0};
        switch (s.kind) {
            case caption::ShapeKind::Stroke:
                e = {minOf(s.ax, s.bx) - h, maxOf(s.ax, s.bx) + h, minOf(s.ay, s.by) - h, maxOf(s.ay, s.by) + h};
                break;
            case caption::ShapeKind::Dot:
                e = {s.ax - dotRadius(h), s.ax + dotRadius(h), s.ay - dotRadius(h), s.ay + dotRadius(h)};
                break;
            case caption::ShapeKind::Bowl:
                e = {s.ax - s.bx - h, s.ax + s.bx + h, s.ay - s.by - h, s.ay + s.by + h};
                break;
            case caption::ShapeKind::None: continue;
        }
        b = {minOf(b.x0, maxOf(e.x0, s.keepX0)), maxOf(b.x1, minOf(e.x1, s.keepX1)), minOf(b.y0, maxOf(e.y0, s.keepY0)),
             maxOf(b.y1, minOf(e.y1, s.keepY1))};
    }
    return b;
}

constexpr int floorToInt(double v) {
    int i = static_cast<int>(v);
    return i > v ? i - 1 : i;
}

constexpr int kMaxCaptionChars = 64;

// Not constexpr: reaching it stops the compilation with its name in the message.
inline void captionDoesNotFit() {}

// Texel x of each glyph's x = 0 in the line.
struct Placement {
    int count;
    double originX[kMaxCaptionChars];
};

constexpr Placement placeGlyphs(const CaptionLine& line) {
    Placement p = {};
    double pen = 0;  // glyph units
    int spaces = 0;
    for (const char* ch = line.text; *ch != '\0'; ++ch) {
        p.originX[p.count++] = pen;
        pen += caption::glyphFor(*ch)->width + kLetterGap;
        spaces += *ch == ' ';
    }
    const caption::Glyph& first = *caption::glyphFor(line.text[0]);
    const caption::Glyph& last = *caption::glyphFor(line.text[p.count - 1]);
    if (line.smooth) {
        // The ink runs from a quarter texel into the first column to a quarter texel
        // before the end of the last; the letter spacing stretches to fit.
        double inkLeft = inkBounds(first, halfStroke(line)).x0;
        double inkRight = p.originX[p.count - 1] + inkBounds(last, halfStroke(line)).x1;
        double want = (line.columnLast + 0.75 - (line.columnFirst + 0.25)) / line.scale;
        double track = (want - (inkRight - inkLeft)) / (p.count - 1);
        double x0 = line.columnFirst + 0.25 - inkLeft * line.scale;
        for (int i = 0; i < p.count; ++i) {
            p.originX[i] = x0 + (p.originX[i] + i * track) * line.scale;
        }
    } else {
        // Whole texels: centre lines on texel centres, the spare columns shared out among
        // the word spaces.
        int slack = line.columnLast - line.columnFirst - static_cast<int>(p.originX[p.count - 1] + last.width);
        if (slack < 0 || (slack > 0 && spaces == 0)) {
            captionDoesNotFit();
        }
        int extra = 0;
        int seen = 0;
        for (int i = 0; i < p.count; ++i) {
            if (line.text[i] == ' ') {
                ++seen;
                extra = slack * seen / spaces;
            }
            p.originX[i] = line.columnFirst + 0.5 + p.originX[i] + extra;
        }
    }
    return p;
}

constexpr void drawCaptionLine(TexelImage& image, const CaptionLine& line) {
    constexpr int kMaxRows = 20;
    double cover[kMaxRows][kSize] = {};
    const double h = halfStroke(line);
    const double s = line.scale;
    const double baseline = baselineOf(line);
    const Placement p = placeGlyphs(line);
    for (int i = 0; i < p.count; ++i) {
        const caption::Glyph& g = *caption::glyphFor(line.text[i]);
        const Box b = inkBounds(g, h);
        const double ox = p.originX[i];
        if (ox + b.x0 * s < 0 || ox + b.x1 * s > kSize || baseline + b.y0 * s < line.rowFirst ||
            baseline + b.y1 * s > line.rowLast + 1) {
            captionDoesNotFit();
        }
        const int r0 = floorToInt(baseline + b.y0 * s);
        const int r1 = floorToInt(baseline + b.y1 * s);
        for (int r = r0; r <= r1; ++r) {
            for (int k = 0; k < kScanLines; ++k) {
                double y = (r + (k + 0.5) / kScanLines - baseline) / s;
                // This glyph's spans on the scan line, in texel x, sorted and merged.
                Span spans[2 * caption::kMaxShapes] = {};
                int n = 0;
                for (const caption::Shape& shape : g.shape) {
                    n += shapeSpans(shape, h, y, spans + n);
                }
                for (int a = 1; a < n; ++a) {
                    for (int c = a; c > 0 && spans[c].x0 < spans[c - 1].x0; --c) {
                        Span t = spans[c];
                        spans[c] = spans[c - 1];
                        spans[c - 1] = t;
                    }
                }
                double runX0 = 0;
                double runX1 = -1;
                for (int a = 0; a <= n; ++a) {
                    if (a < n && spans[a].x0 <= runX1) {
                        runX1 = maxOf(runX1, spans[a].x1);
                        continue;
                    }
                    // Close the run: add its length within each texel it crosses.
                    if (runX1 > runX0) {
                        double x0 = ox + runX0 * s;
                        double x1 = ox + runX1 * s;
                        for (int c = floorToInt(x0); c <= floorToInt(x1) && c < kSize; ++c) {
                            double len = minOf(x1, c + 1.0) - maxOf(x0, c);
                            if (len > 0) {
                                cover[r - line.rowFirst][c] += len / kScanLines;
                            }
                        }
                    }
                    if (a < n) {
                        runX0 = spans[a].x0;
                        runX1 = spans[a].x1;
                    }
                }
            }
        }
    }
    for (int r = line.rowFirst; r <= line.rowLast; ++r) {
        for (int c = 0; c < kSize; ++c) {
            double v = minOf(cover[r - line.rowFirst][c], 1.0);
            std::uint32_t grey = line.smooth ? static_cast<std::uint32_t>(v * 255 + 0.5) : (v >= 0.5 ? 255u : 0u);
            image.texel[r * kSize + c] = gfxGreyTexel(grey);
        }
    }
}

// ---- The image -------------------------------------------------------------------------

constexpr int kVerticalLineColumns[] = {125, 171, 215};
constexpr int kCombColumns[] = {35, 57, 79, 101, 125, 149, 171, 193, 215};
constexpr int kCentreLine = 125;
constexpr int kThinWhiteRows[] = {175, 189, 203};
constexpr int kShortLineRows[] = {205, 207, 209};

consteval TexelImage buildTestImage() {
    TexelImage image = {};  // black, alpha 0

    // Rows 0-63: checkerboard of 16 x 4 cells, yellow where the cell sum is even; the
    // odd rows 1-15 are black instead.
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < kSize; ++c) {
            bool even = (r / 4 + c / 16) % 2 == 0;
            bool blackRow = r < 16 && r % 2 == 1;
            image.texel[r * kSize + c] = blackRow ? kTexelBlack : even ? kTexelYellow : kTexelBlue;
        }
    }

    // The saturated bands.
    fillRect(image, 72, 77, 0, kSize - 1, kTexelRed);
    fillRect(image, 108, 113, 0, kSize - 1, kTexelGreen);
    fillRect(image, 145, 149, 0, kSize - 1, kTexelBlue);

    // Three vertical lines, four texels wide, through rows 64-144; only the centre one
    // crosses the blue band.
    for (int c : kVerticalLineColumns) {
        fillRect(image, 64, 144, c, c + 3, kTexelWhite);
    }
    fillRect(image, 145, 149, kCentreLine, kCentreLine + 3, kTexelWhite);

    // The comb: four texels wide in rows 150-174, then the inner two columns in rows
    // 176-202, except the centre line, which keeps its four.
    for (int c : kCombColumns) {
        fillRect(image, 150, 174, c, c + 3, kTexelWhite);
        if (c == kCentreLine) {
            fillRect(image, 176, 202, c, c + 3, kTexelWhite);
        } else {
            fillRect(image, 176, 202, c + 1, c + 2, kTexelWhite);
        }
    }

    // Full-width white rows.
    fillRect(image, 91, 94, 0, kSize - 1, kTexelWhite);
    fillRect(image, 128, 131, 0, kSize - 1, kTexelWhite);
    for (int r : kThinWhiteRows) {
        fillRect(image, r, r, 0, kSize - 1, kTexelWhite);
    }

    // Three one-texel lines from column 7 to the right edge.
    for (int r : kShortLineRows) {
        fillRect(image, r, r, 7, kSize - 1, kTexelWhite);
    }

    drawCaptionLine(image, kSmallLine);
    drawCaptionLine(image, kLargeLine);
    return image;
}

constexpr TexelImage kImage = buildTestImage();

}  // namespace

// The definition spells out all 65,536 texels of kImage in nested groups of four, so that
// the array is plain constant data in the executable.
#define QM_T4(n) kImage.texel[(n)], kImage.texel[(n) + 1], kImage.texel[(n) + 2], kImage.texel[(n) + 3]
#define QM_T16(n) QM_T4(n), QM_T4((n) + 4), QM_T4((n) + 8), QM_T4((n) + 12)
#define QM_T64(n) QM_T16(n), QM_T16((n) + 16), QM_T16((n) + 32), QM_T16((n) + 48)
#define QM_T256(n) QM_T64(n), QM_T64((n) + 64), QM_T64((n) + 128), QM_T64((n) + 192)
#define QM_T1024(n) QM_T256(n), QM_T256((n) + 256), QM_T256((n) + 512), QM_T256((n) + 768)
#define QM_T4096(n) QM_T1024(n), QM_T1024((n) + 1024), QM_T1024((n) + 2048), QM_T1024((n) + 3072)
#define QM_T16384(n) QM_T4096(n), QM_T4096((n) + 4096), QM_T4096((n) + 8192), QM_T4096((n) + 12288)

constinit const std::uint32_t gTestImage[65536] = {QM_T16384(0), QM_T16384(16384), QM_T16384(32768), QM_T16384(49152)};

#undef QM_T4
#undef QM_T16
#undef QM_T64
#undef QM_T256
#undef QM_T1024
#undef QM_T4096
#undef QM_T16384
