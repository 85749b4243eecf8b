// The constant test image, checked on the CPU against the row table, the colour totals and
// the caption rules.
#include "render/test_image.h"
#include "tests/support/test_image_checks.h"

using namespace imagecheck;

TEST(TestImage, RowsOutsideTheCaptionFollowTheTable) { EXPECT_TRUE(plainRowsMatch(gTestImage)); }

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
