// The landmark masks against the driver's own rasterisation: the ring drawn with a texture
// whose rows are coloured by landmark (nearest filtering) shows each landmark's colour on
// every pixel of its mask, and the masks cover most of what shows it; and the rows given
// for the caption hold all of the test image's lettering.
#include "measure/filtering/probes.h"
#include "measure/run/landmarks.h"
#include "platform/headless.h"
#include "render/gfx.h"
#include "render/test_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace measure;

// Red, green and blue for the three landmarks of kLandmarkRows, black between them.
std::vector<std::uint8_t> landmarkCodedTexels() {
    std::vector<std::uint8_t> texels((std::size_t)kTestImageSide * kTestImageSide * 4, 0);
    for (std::size_t k = 0; k < std::size(kLandmarkRows); ++k)
        for (int row = kLandmarkRows[k].first; row <= kLandmarkRows[k].last; ++row)
            for (int column = 0; column < kTestImageSide; ++column)
                texels[((std::size_t)row * kTestImageSide + column) * 4 + k] = 255;
    return texels;
}

TEST(LandmarkMasks, FallOnTheirTexelRowsAsTheDriverDrawsThem) {
    char why[256] = "";
    ASSERT_TRUE(headlessCreate(why, sizeof why)) << why;
    gfxInitState();
    {
        const GlEntryPoints gl = loadEntryPoints();
        ASSERT_TRUE(gl.framebuffers);
        Target target;
        std::string reason;
        ASSERT_TRUE(makeTarget(gl, 410, 300, 0, target, reason)) << reason;
        Scene scene(gl);
        Accumulator cover(target.width, target.height);
        scene.supersample(target, 4, true, cover);
        std::vector<bool> interior;
        for (Region region : cover.regions()) interior.push_back(region == Region::Interior);
        const std::vector<Landmark> masks = landmarkMasks(ringModel(gl, target, kTestImageSide), interior);

        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        const std::vector<std::uint8_t> texels = landmarkCodedTexels();
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kTestImageSide, kTestImageSide, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        const Image coded = scene.render(target, 0, 0, false);
        glDeleteTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, gTestTexture);
        releaseTarget(gl, target);

        ASSERT_EQ(masks.size(), 1 + std::size(kLandmarkRows));
        EXPECT_EQ(masks[0].kind, LandmarkKind::Interiors);
        EXPECT_EQ(masks[0].mask, interior);
        for (std::size_t k = 0; k < std::size(kLandmarkRows); ++k) {
            const Landmark& l = masks[k + 1];
            SCOPED_TRACE((int)l.kind);
            EXPECT_EQ(l.kind, kLandmarkRows[k].kind);
            std::size_t inMask = 0, wrong = 0, shown = 0;
            for (std::size_t p = 0; p < coded.pixels(); ++p) {
                const bool pure = coded.rgb[p * 3 + k] == 255 && coded.rgb[p * 3 + (k + 1) % 3] == 0 &&
                                  coded.rgb[p * 3 + (k + 2) % 3] == 0;
                shown += pure && interior[p];
                inMask += l.mask[p];
                wrong += l.mask[p] && !pure;
                EXPECT_TRUE(!l.mask[p] || interior[p]);
            }
            EXPECT_EQ(wrong, 0u);
            EXPECT_GT(inMask, 100u);
            // Only the pixels whose footprint straddles a landmark's first or last row are left out.
            EXPECT_GT((double)inMask, 0.5 * (double)shown) << inMask << " of " << shown;
        }
    }
    gfxDeleteTestTexture();
    headlessRelease();
}

TEST(LandmarkMasks, CaptionRowsHoldAllOfTheLettering) {
    // The rows between the short lines and the caption, and above the caption, are black.
    const LandmarkRows& caption = kLandmarkRows[2];
    ASSERT_EQ(caption.kind, LandmarkKind::Caption);
    for (int row : {caption.first - 3, caption.first - 2, caption.first - 1, caption.last + 1, 255})
        for (int column = 0; column < kTestImageSide; ++column)
            EXPECT_EQ(gTestImage[row * kTestImageSide + column], kTexelBlack) << row << "," << column;
    // ... and ink reaches both ends of the caption's rows.
    auto inked = [](int row) {
        for (int column = 0; column < kTestImageSide; ++column)
            if (gTestImage[row * kTestImageSide + column] != kTexelBlack) return true;
        return false;
    };
    EXPECT_TRUE(inked(caption.first));
    EXPECT_TRUE(inked(caption.last));
}

}  // namespace
