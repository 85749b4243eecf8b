// The one texture: the embedded test image, uploaded once and left bound.
#include "render/gfx.h"
#include "render/test_image.h"

GLuint gTestTexture = 0;
int gTextureUnits = 0;

void gfxCreateTestTexture() {
    gTextureUnits = gfxInitMultitexture();
    glGenTextures(1, &gTestTexture);
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // Texel words are 0xRRGGBBAA in host order, which is what 8_8_8_8 reads.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, gTestImage);
}

void gfxDeleteTestTexture() {
    // The name stays in gTestTexture; 0 (never created) is ignored by OpenGL.
    glDeleteTextures(1, &gTestTexture);
}
