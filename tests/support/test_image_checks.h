// Checks of the test image's rules on any 256 x 256 array of 0xRRGGBBAA texel words, row 0
// first: the constant image itself, or the texture read back from OpenGL.
#pragma once

#include <cstdint>
#include <set>

#include <gtest/gtest.h>

#include "render/test_image.h"

namespace imagecheck {

inline std::uint32_t at(const std::uint32_t* t, int row, int col) { return t[row * 256 + col]; }

// The rows outside the caption, described band by band: a ground colour and which white
// lines cross it.
enum class Lines { None, Three, CentreOnly, WideComb, NarrowComb, FromColumn7 };
struct Band {
    int first, last;
    std::uint32_t ground;
    Lines lines;
};
inline constexpr Band kBands[] = {
    {64, 71, kTexelBlack, Lines::Three},      {72, 77, kTexelRed, Lines::Three},
    {78, 90, kTexelBlack, Lines::Three},      {91, 94, kTexelWhite, Lines::None},
    {95, 107, kTexelBlack, Lines::Three},     {108, 113, kTexelGreen, Lines::Three},
    {114, 127, kTexelBlack, Lines::Three},    {128, 131, kTexelWhite, Lines::None},
    {132, 144, kTexelBlack, Lines::Three},    {145, 149, kTexelBlue, Lines::CentreOnly},
    {150, 174, kTexelBlack, Lines::WideComb}, {175, 175, kTexelWhite, Lines::None},
    {176, 188, kTexelBlack, Lines::NarrowComb}, {189, 189, kTexelWhite, Lines::None},
    {190, 202, kTexelBlack, Lines::NarrowComb}, {203, 203, kTexelWhite, Lines::None},
    {204, 204, kTexelBlack, Lines::None},     {205, 205, kTexelBlack, Lines::FromColumn7},
    {206, 206, kTexelBlack, Lines::None},     {207, 207, kTexelBlack, Lines::FromColumn7},
    {208, 208, kTexelBlack, Lines::None},     {209, 209, kTexelBlack, Lines::FromColumn7},
    {210, 213, kTexelBlack, Lines::None},     {228, 230, kTexelBlack, Lines::None},
    {251, 255, kTexelBlack, Lines::None},
};

inline bool onLine(Lines lines, int c)
{
    const int three[] = {125, 171, 215};
    const int comb[] = {35, 57, 79, 101, 125, 149, 171, 193, 215};
    switch (lines) {
    case Lines::None: return false;
    case Lines::CentreOnly: return c >= 125 && c <= 128;
    case Lines::FromColumn7: return c >= 7;
    case Lines::Three:
        for (int s : three) if (c >= s && c <= s + 3) return true;
        return false;
    case Lines::WideComb:
    case Lines::NarrowComb:
        for (int s : comb) {
            bool narrow = lines == Lines::NarrowComb && s != 125;
            if (narrow ? (c == s + 1 || c == s + 2) : (c >= s && c <= s + 3)) return true;
        }
        return false;
    }
    return false;
}

// The texel that the row table gives outside the caption rows 214-227 and 231-250.
inline std::uint32_t plainTexel(int r, int c)
{
    if (r < 64) {
        if (r < 16 && r % 2 == 1) return kTexelBlack;
        return (r / 4 + c / 16) % 2 == 0 ? kTexelYellow : kTexelBlue;
    }
    for (const Band& b : kBands)
        if (r >= b.first && r <= b.last) return onLine(b.lines, c) ? kTexelWhite : b.ground;
    ADD_FAILURE() << "row " << r << " is a caption row";
    return kTexelBlack;
}

inline bool isCaptionRow(int r) { return (r >= 214 && r <= 227) || (r >= 231 && r <= 250); }

inline ::testing::AssertionResult plainRowsMatch(const std::uint32_t* t)
{
    int wrong = 0;
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    for (int r = 0; r < 256; ++r) {
        for (int c = 0; c < 256 && !isCaptionRow(r); ++c) {
            if (at(t, r, c) != plainTexel(r, c) && wrong++ < 5)
                result << "row " << r << " column " << c << ": 0x" << std::hex << at(t, r, c)
                       << " instead of 0x" << plainTexel(r, c) << std::dec << "; ";
        }
    }
    if (wrong == 0) return ::testing::AssertionSuccess();
    return result << wrong << " texels differ";
}

// One caption line: white lettering on black within its rows and columns.
struct CaptionLine {
    const char* name;
    int rowFirst, rowLast, columnFirst, columnLast;
    bool smooth;  // grey levels at the edges, or black and white only
};
inline constexpr CaptionLine kLargeCaption = {"large", 231, 250, 40, 245, true};
inline constexpr CaptionLine kSmallCaption = {"small", 214, 227, 43, 246, false};

inline ::testing::AssertionResult captionLineMatches(const std::uint32_t* t,
                                                     const CaptionLine& line)
{
    int first = 256, last = -1, greys = 0, whites = 0;
    std::set<std::uint32_t> levels;
    for (int r = line.rowFirst; r <= line.rowLast; ++r) {
        for (int c = 0; c < 256; ++c) {
            std::uint32_t v = at(t, r, c) >> 24;
            if (at(t, r, c) != gfxGreyTexel(v))
                return ::testing::AssertionFailure() << line.name << " line: texel 0x" << std::hex
                       << at(t, r, c) << std::dec << " at row " << r << " column " << c
                       << " is no grey level";
            if (v == 0) continue;
            first = c < first ? c : first;
            last = c > last ? c : last;
            whites += v == 255;
            if (v != 255) {
                ++greys;
                levels.insert(v);
            }
        }
    }
    auto failure = ::testing::AssertionFailure() << line.name << " line: ";
    if (first != line.columnFirst || last != line.columnLast)
        return failure << "lettering spans columns " << first << "-" << last;
    if (whites < 200) return failure << "only " << whites << " white texels";
    if (!line.smooth && greys > 0) return failure << greys << " grey texels in a hard-edged line";
    if (line.smooth && (greys < 300 || levels.size() < 100))
        return failure << "only " << greys << " grey texels in " << levels.size() << " levels";
    return ::testing::AssertionSuccess();
}

inline int countTexels(const std::uint32_t* t, std::uint32_t colour)
{
    int n = 0;
    for (int i = 0; i < 65536; ++i) n += t[i] == colour;
    return n;
}

} // namespace imagecheck
