// The caption typeface of the test image: a monoline sans with round stroke ends and
// squarish bowls, drawn as centre lines that the rasteriser in test_image.cpp thickens.
//
// Glyph units: baseline at y = 0, x-height 7, cap and ascender height 10, descender -3.
// Every glyph's leftmost centre line lies at x = 0 and its rightmost at x = width. At one
// texel per unit and a stroke one unit wide, integer coordinates fall on texel centres,
// which keeps the hard-edged caption line clean.
#pragma once

namespace caption {

enum class ShapeKind : unsigned char { None, Stroke, Dot, Bowl };

// Stroke: a segment from (ax, ay) to (bx, by) with round ends.
// Dot: a round dot at (ax, ay), a little wider than the stroke.
// Bowl: the ring around the superellipse |x/bx|^power + |y/by|^power = 1 centred on
//       (ax, ay), as wide as the stroke.
// Ink outside the keep box [keepX0, keepX1] x [keepY0, keepY1] is cut away, which gives
// partial bowls (arches, hooks, terminals) flat ends.
struct Shape {
    ShapeKind kind;
    double ax, ay, bx, by;
    int power;
    double keepX0, keepX1, keepY0, keepY1;
};

inline constexpr double kAscender = 10;  // cap and ascender height above the baseline
inline constexpr double kDescender = 3;  // depth below the baseline

inline constexpr double kOpen = 100.0;  // keep box of an uncut shape

constexpr Shape stroke(double x0, double y0, double x1, double y1) {
    return {ShapeKind::Stroke, x0, y0, x1, y1, 0, -kOpen, kOpen, -kOpen, kOpen};
}
constexpr Shape dot(double x, double y) { return {ShapeKind::Dot, x, y, x, y, 0, -kOpen, kOpen, -kOpen, kOpen}; }
constexpr Shape bowl(double cx, double cy, double rx, double ry, int power = 3) {
    return {ShapeKind::Bowl, cx, cy, rx, ry, power, -kOpen, kOpen, -kOpen, kOpen};
}
constexpr Shape above(Shape s, double y) {
    s.keepY0 = y;
    return s;
}
constexpr Shape below(Shape s, double y) {
    s.keepY1 = y;
    return s;
}
constexpr Shape leftOf(Shape s, double x) {
    s.keepX1 = x;
    return s;
}
constexpr Shape rightOf(Shape s, double x) {
    s.keepX0 = x;
    return s;
}

inline constexpr int kMaxShapes = 6;

struct Glyph {
    char ch;
    double width;
    Shape shape[kMaxShapes];
};

// Shared parts of the lower case.
inline constexpr Shape kRound = bowl(2, 3.5, 2, 3.5);       // o and the bowls of b c d e g p q
inline constexpr Shape kArch = above(bowl(2, 4, 2, 3), 4);  // n, h, r
inline constexpr Shape kCup = below(bowl(2, 3, 2, 3), 3);   // u

inline constexpr Glyph kGlyphs[] = {
    {' ', 1, {}},
    {',', 1, {stroke(1, 1, 1, 0), stroke(1, 0, 0, -2)}},
    {'.', 0, {dot(0, 0)}},
    {'-', 3, {stroke(0, 4, 3, 4)}},
    {'Q', 6, {bowl(3, 5, 3, 5), stroke(3.5, 2, 6, -1)}},
    {'a', 4, {rightOf(above(bowl(2, 5, 2, 2), 5.5), 1.5), bowl(2, 2, 2, 2), stroke(4, 0, 4, 5)}},
    {'b', 4, {kRound, stroke(0, 0, 0, 10)}},
    {'c', 4, {leftOf(kRound, 2), above(kRound, 5.5), below(kRound, 1.5)}},
    {'d', 4, {kRound, stroke(4, 0, 4, 10)}},
    {'e', 4, {above(kRound, 3.5), leftOf(kRound, 2), below(kRound, 1.5), stroke(0, 4, 4, 4)}},
    {'f', 4, {stroke(1, 0, 1, 8), leftOf(above(bowl(3, 8, 2, 2), 8), 4.5), stroke(0, 7, 3, 7)}},
    {'g', 4, {kRound, stroke(4, 7, 4, -1), below(bowl(2, -1, 2, 2), -1.5)}},
    {'h', 4, {stroke(0, 0, 0, 10), kArch, stroke(4, 0, 4, 4)}},
    {'i', 0, {stroke(0, 0, 0, 7), dot(0, 9)}},
    {'j', 2, {stroke(2, 7, 2, -1), leftOf(below(bowl(1, -1, 1, 2), -1), 2), dot(2, 9)}},
    {'k', 4, {stroke(0, 0, 0, 10), stroke(0, 2.5, 4, 7), stroke(1.7, 4, 4, 0)}},
    {'l', 0, {stroke(0, 0, 0, 10)}},
    {'m',
     6,
     {stroke(0, 0, 0, 7), above(bowl(1.5, 4, 1.5, 3), 4), stroke(3, 0, 3, 4), above(bowl(4.5, 4, 1.5, 3), 4),
      stroke(6, 0, 6, 4)}},
    {'n', 4, {stroke(0, 0, 0, 7), kArch, stroke(4, 0, 4, 4)}},
    {'o', 4, {kRound}},
    {'p', 4, {kRound, stroke(0, 7, 0, -3)}},
    {'q', 4, {kRound, stroke(4, 7, 4, -3)}},
    {'r', 4, {stroke(0, 0, 0, 7), above(kArch, 5.5)}},
    {'s',
     4,
     {above(bowl(2, 5.5, 2, 1.5, 2), 5.5), leftOf(bowl(2, 5.5, 2, 1.5, 2), 2), below(bowl(2, 2, 2, 2, 2), 2),
      rightOf(bowl(2, 2, 2, 2, 2), 2)}},
    {'t', 3, {stroke(1, 9, 1, 2), leftOf(below(bowl(3, 2, 2, 2), 2), 3.5), stroke(0, 7, 3, 7)}},
    {'u', 4, {stroke(0, 7, 0, 3), kCup, stroke(4, 7, 4, 0)}},
    {'v', 4, {stroke(0, 7, 2, 0), stroke(2, 0, 4, 7)}},
    {'w',
     6,
     {stroke(0, 7, 0, 3), below(bowl(1.5, 3, 1.5, 3), 3), stroke(3, 5, 3, 3), below(bowl(4.5, 3, 1.5, 3), 3),
      stroke(6, 7, 6, 3)}},
    {'x', 4, {stroke(0, 0, 4, 7), stroke(0, 7, 4, 0)}},
    {'y', 4, {stroke(0, 7, 2, 0), stroke(4, 7, 1.143, -3)}},
    {'z', 4, {stroke(0, 7, 4, 7), stroke(4, 7, 0, 0), stroke(0, 0, 4, 0)}},
};

// The glyph of a character, or null where the typeface has none (the image's constant
// evaluation then stops at the null, so a caption with a missing glyph does not build).
constexpr const Glyph* glyphFor(char ch) {
    for (const Glyph& g : kGlyphs) {
        if (g.ch == ch) {
            return &g;
        }
    }
    return nullptr;
}

}  // namespace caption
