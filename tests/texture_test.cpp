// The extension query, the multitexture set-up and the test texture on the real driver.
#include <cstring>
#include <vector>

#include "render/test_image.h"
#include "tests/support/app_fixture.h"

TEST(ExtensionQuery, WholeWordsOnly) {
    const struct {
        const char* extensions;
        const char* name;
        bool listed;
    } cases[] = {
        {"GL_EXT_a GL_ARB_multitexture", "GL_ARB_multitexture", true},  // last word
        {"GL_ARB_multitexture GL_EXT_a", "GL_ARB_multitexture", true},  // first word
        {"GL_ARB_multitexture_more GL_EXT_a", "GL_ARB_multitexture", false},
        {"GL_X_GL_ARB_multitexture", "GL_ARB_multitexture", false},
        {"GL_ARB_multitexture_more GL_ARB_multitexture", "GL_ARB_multitexture", true},
        // Rejected first (no blank after it); the second starts where that one ended.
        {"GL_ARB_multitextureGL_ARB_multitexture GL_EXT_a", "GL_ARB_multitexture", true},
        {"", "GL_ARB_multitexture", false},
        {"GL_ARB_multitexture", "GL_ARB", false},
        {"GL_ARB_multitexture", "", false},
        {"GL_A GL_B", "GL_A GL_B", false},  // names never contain blanks
        {nullptr, "GL_ARB_multitexture", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gfxExtensionListed(c.extensions, c.name), c.listed ? 1 : 0)
            << '"' << (c.extensions ? c.extensions : "(null)") << "\" / \"" << c.name << '"';
}

TEST(ExtensionQuery, NoContextMeansNoExtension) {
    wglMakeCurrent(nullptr, nullptr);
    EXPECT_EQ(gfxHasExtension("GL_ARB_multitexture"), 0);
    EXPECT_EQ(gfxInitMultitexture(), 1);
}

TEST_F(AppFixture, MultitextureIsSetUpFromTheDriver) {
    EXPECT_EQ(gfxHasExtension("GL_ARB_multitexture"), 1);
    EXPECT_EQ(gfxHasExtension("GL_ARB_multi"), 0);
    EXPECT_GT(gTextureUnits, 1);
    const void* entryPoints[] = {
        (void*)gActiveTextureARB,    (void*)gClientActiveTextureARB, (void*)gMultiTexCoord1dARB,
        (void*)gMultiTexCoord1dvARB, (void*)gMultiTexCoord1fARB,     (void*)gMultiTexCoord1fvARB,
        (void*)gMultiTexCoord1iARB,  (void*)gMultiTexCoord1ivARB,    (void*)gMultiTexCoord1sARB,
        (void*)gMultiTexCoord1svARB, (void*)gMultiTexCoord2dARB,     (void*)gMultiTexCoord2dvARB,
        (void*)gMultiTexCoord2fARB,  (void*)gMultiTexCoord2fvARB,    (void*)gMultiTexCoord2iARB,
        (void*)gMultiTexCoord2ivARB, (void*)gMultiTexCoord2sARB,     (void*)gMultiTexCoord2svARB,
        (void*)gMultiTexCoord3dARB,  (void*)gMultiTexCoord3dvARB,    (void*)gMultiTexCoord3fARB,
        (void*)gMultiTexCoord3fvARB, (void*)gMultiTexCoord3iARB,     (void*)gMultiTexCoord3ivARB,
        (void*)gMultiTexCoord3sARB,  (void*)gMultiTexCoord3svARB,    (void*)gMultiTexCoord4dARB,
        (void*)gMultiTexCoord4dvARB, (void*)gMultiTexCoord4fARB,     (void*)gMultiTexCoord4fvARB,
        (void*)gMultiTexCoord4iARB,  (void*)gMultiTexCoord4ivARB,    (void*)gMultiTexCoord4sARB,
        (void*)gMultiTexCoord4svARB,
    };
    for (size_t i = 0; i < sizeof entryPoints / sizeof entryPoints[0]; ++i) EXPECT_NE(entryPoints[i], nullptr) << i;
    // The active unit can be switched through the looked-up entry point.
    gActiveTextureARB(GL_TEXTURE1_ARB);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    EXPECT_EQ(active, GL_TEXTURE1_ARB);
    gActiveTextureARB(GL_TEXTURE0_ARB);
}

TEST_F(AppFixture, TextureIsCreatedBoundFilteredAndUploadedExactly) {
    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ((GLuint)value, gTestTexture);
    EXPECT_NE(gTestTexture, 0u);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_REPLACE);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 256);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
    EXPECT_EQ(value, 256);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
    EXPECT_EQ(value, GL_RGBA8);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));  // the drawing enables it

    std::vector<std::uint32_t> texels(65536);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, texels.data());
    EXPECT_EQ(std::memcmp(texels.data(), gTestImage, sizeof gTestImage), 0);  // its rules: test_image_test
}

TEST_F(AppFixture, DeletionKeepsTheName) {
    GLuint name = gTestTexture;
    ASSERT_TRUE(glIsTexture(name));
    gfxDeleteTestTexture();
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(gTestTexture, name);
}
