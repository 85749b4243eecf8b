// The constant test image, checked on the CPU: a digest that pins every texel to the image
// looked at in docs/test_texture.png, and the rules its caption lines follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "render/test_image.h"

namespace {

std::uint32_t at(int row, int col) { return gTestImage[row * 256 + col]; }

}  // namespace

// Any change to a texel changes the digest; the rules below say what the caption must be.
TEST(TestImage, DigestOfEveryTexel) {
    std::uint64_t digest = 0xCBF29CE484222325u;  // 64-bit FNV-1a over the texel words
    for (std::uint32_t texel : gTestImage) digest = (digest ^ texel) * 0x100000001B3u;
    EXPECT_EQ(digest, 0xDD5FD1C8178EC525u);
}

// Each caption line: grey levels only, the lettering spanning exactly its columns, hard
// edges or many grey levels, and the glyphs standing with their tops at the higher rows
// (the ascender band at the top of the line carries far more ink than the descenders).
TEST(TestImageCaption, LinesSpanTheirColumnsWithTheirRenderingAndStandUpright) {
    const struct {
        const char* name;
        int rowFirst, rowLast, columnFirst, columnLast, bandRows;
        bool smooth;
    } lines[] = {{"large", 231, 250, 40, 245, 4, true}, {"small", 214, 227, 43, 246, 3, false}};
    for (const auto& line : lines) {
        SCOPED_TRACE(line.name);
        int first = 256, last = -1, greys = 0, whites = 0;
        std::set<std::uint32_t> levels;
        for (int r = line.rowFirst; r <= line.rowLast; ++r) {
            for (int c = 0; c < 256; ++c) {
                const std::uint32_t v = at(r, c) >> 24;
                ASSERT_EQ(at(r, c), gfxGreyTexel(v)) << "row " << r << " column " << c;
                if (v == 0) continue;
                first = std::min(first, c);
                last = std::max(last, c);
                whites += v == 255;
                if (v != 255) levels.insert(v);
                greys += v != 255;
            }
        }
        EXPECT_EQ(first, line.columnFirst);
        EXPECT_EQ(last, line.columnLast);
        EXPECT_GE(whites, 200);
        if (line.smooth) {
            EXPECT_GE(greys, 300);
            EXPECT_GE(levels.size(), 100u);
        } else {
            EXPECT_EQ(greys, 0);
        }
        long bottom = 0, top = 0;
        for (int i = 0; i < line.bandRows; ++i) {
            for (int c = 0; c < 256; ++c) {
                bottom += at(line.rowFirst + i, c) >> 24;
                top += at(line.rowLast - i, c) >> 24;
            }
        }
        EXPECT_GT(top, 3 * bottom);
    }
}
