// The constant test image, checked on the CPU against the row table, the colour totals and
// the caption rules.
#include "render/test_image.h"
#include "tests/support/test_image_checks.h"

using namespace imagecheck;

TEST(TestImage, RowsOutsideTheCaptionFollowTheTable) { EXPECT_TRUE(plainRowsMatch(gTestImage)); }

TEST(TestImage, NamedTexels) {
    const struct {
        int row, col;
        std::uint32_t colour;
    } cases[] = {
        {0, 0, kTexelYellow},    {0, 16, kTexelBlue},     {4, 0, kTexelBlue},
        {16, 0, kTexelYellow},   {20, 0, kTexelBlue},     {63, 0, kTexelBlue},
        {1, 100, kTexelBlack},   {64, 124, kTexelBlack},  {64, 125, kTexelWhite},
        {64, 128, kTexelWhite},  {147, 125, kTexelWhite}, {147, 171, kTexelBlue},
        {180, 35, kTexelBlack},  {180, 36, kTexelWhite},  {180, 37, kTexelWhite},
        {180, 38, kTexelBlack},  {180, 125, kTexelWhite}, {180, 128, kTexelWhite},
        {204, 7, kTexelBlack},   {205, 6, kTexelBlack},   {205, 7, kTexelWhite},
        {206, 255, kTexelBlack},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gTestImage[c.row * 256 + c.col], c.colour)
            << "row " << c.row << " column " << c.col;
}

// The comb's left edges lie 22, 22, 22, 24, 24, 22, 22 and 22 columns apart.
TEST(TestImage, CombSpacing) {
    const int apart[] = {22, 22, 22, 24, 24, 22, 22, 22};
    int edges[16] = {};
    int n = 0;
    const std::uint32_t* row = gTestImage + 160 * 256;
    for (int c = 1; c < 256; ++c)
        if (row[c] == kTexelWhite && row[c - 1] != kTexelWhite && n < 16) edges[n++] = c;
    ASSERT_EQ(n, 9);
    EXPECT_EQ(edges[0], 35);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(edges[i + 1] - edges[i], apart[i]) << "after edge " << i;
}

TEST(TestImage, ColourTotalsAndAlpha) {
    EXPECT_EQ(countTexels(gTestImage, kTexelYellow), 7168);
    EXPECT_EQ(countTexels(gTestImage, kTexelBlue), 8428);
    EXPECT_EQ(countTexels(gTestImage, kTexelRed), 1464);
    EXPECT_EQ(countTexels(gTestImage, kTexelGreen), 1464);
    for (int i = 0; i < 65536; ++i) ASSERT_EQ(gTestImage[i] & 0xFFu, 0u) << "texel " << i;
}

TEST(TestImageCaption, LinesSpanTheirColumnsWithTheirRendering) {
    for (const CaptionLine& line : {kLargeCaption, kSmallCaption})
        EXPECT_TRUE(captionLineMatches(gTestImage, line));
}

TEST(TestImageCaption, GreyLevelsOnlyInTheLargeLine) {
    const std::uint32_t named[] = {kTexelBlack, kTexelWhite, kTexelYellow,
                                   kTexelBlue,  kTexelRed,   kTexelGreen};
    for (int r = 0; r < 256; ++r) {
        if (r >= kLargeCaption.rowFirst && r <= kLargeCaption.rowLast) continue;
        for (int c = 0; c < 256; ++c) {
            bool isNamed = false;
            for (std::uint32_t n : named) isNamed = isNamed || gTestImage[r * 256 + c] == n;
            ASSERT_TRUE(isNamed) << "row " << r << " column " << c;
        }
    }
}

// Mirrored top to bottom: the top of a glyph is at the higher row, so the ascender band at
// the top of each line carries far more ink than the descenders at its bottom.
TEST(TestImageCaption, GlyphsStandWithTheirTopsAtHigherRows) {
    const struct {
        CaptionLine line;
        int bandRows;
    } cases[] = {{kLargeCaption, 4}, {kSmallCaption, 3}};
    for (const auto& c : cases) {
        long bottom = 0, top = 0;
        for (int i = 0; i < c.bandRows; ++i) {
            for (int col = 0; col < 256; ++col) {
                bottom += gTestImage[(c.line.rowFirst + i) * 256 + col] >> 24;
                top += gTestImage[(c.line.rowLast - i) * 256 + col] >> 24;
            }
        }
        EXPECT_GT(top, 3 * bottom) << c.line.name << " line";
    }
}
