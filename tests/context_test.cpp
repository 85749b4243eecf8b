// The context, its pixel format and the fixed state, read back from OpenGL.
#include "tests/support/app_fixture.h"

namespace {

void expectFloats(GLenum what, const GLfloat* got, std::initializer_list<float> want) {
    int i = 0;
    for (float w : want) {
        EXPECT_EQ(got[i], w) << "0x" << std::hex << what << " [" << std::dec << i << "]";
        ++i;
    }
}

}  // namespace

// The window's framebuffer has the depth buffer its pixel format describes, and that is
// as deep as the displays offer for the 32 bits asked for (24 or 32).
TEST_F(AppFixture, PixelFormatIsDoubleBufferedRgbaAndTheFramebufferHasItsDepthBits) {
    HDC dc = GetDC(window);
    int format = GetPixelFormat(dc);
    ASSERT_GT(format, 0);
    PIXELFORMATDESCRIPTOR pfd{};
    ASSERT_GT(DescribePixelFormat(dc, format, sizeof pfd, &pfd), 0);
    ReleaseDC(window, dc);
    EXPECT_EQ(pfd.dwFlags & 0x25u, 0x25u);
    EXPECT_EQ(pfd.iPixelType, PFD_TYPE_RGBA);

    GLint depthBits = 0, redBits = 0;
    GLboolean doubleBuffered = GL_FALSE;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_RED_BITS, &redBits);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_EQ(depthBits, pfd.cDepthBits);
    EXPECT_GE(depthBits, 24);
    EXPECT_EQ(redBits, 8);
    EXPECT_TRUE(doubleBuffered);
    EXPECT_EQ(wglGetCurrentContext(), gGlContext);
}

TEST_F(AppFixture, FixedStateIsSetOnce) {
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    expectFloats(GL_COLOR_CLEAR_VALUE, clear, {1, 1, 1, 0});
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_FRONT_FACE, &value);
    EXPECT_EQ(value, GL_CCW);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_PROJECTION);
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(AppFixture, ProjectionIsTheFixedPerspectiveWithNegativeFar) {
    GLfloat installed[16], reference[16];
    glGetFloatv(GL_PROJECTION_MATRIX, installed);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(90.0, 1.5, 1.0, -10.0);
    glGetFloatv(GL_PROJECTION_MATRIX, reference);
    glPopMatrix();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(installed[i], reference[i]) << i;
    // cot(45 degrees) / 1.5, cot(45 degrees), (far + near) / (near - far), -1,
    // 2 far near / (near - far): with far = -10 the depth terms are -9/11 and -20/11.
    const float expected[16] = {1 / 1.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, -9 / 11.0f, -1, 0, 0, -20 / 11.0f, 0};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(installed[i], expected[i], 1e-6) << i;
}

TEST_F(AppFixture, LightAndMaterialKeepTheirValuesAboveOne) {
    const struct {
        bool light;
        GLenum what;
        std::initializer_list<float> want;
    } cases[] = {
        {true, GL_POSITION, {2, 2, 3, 1}},  // the model-view was identity when it was set
        {true, GL_DIFFUSE, {0.7f, 0.7f, 0.7f, 0}},  {true, GL_SPECULAR, {1.5f, 1.5f, 1.5f, 0}},
        {true, GL_AMBIENT, {1.5f, 1.5f, 1.5f, 0}},  {false, GL_SHININESS, {90}},
        {false, GL_AMBIENT, {1.5f, 1.5f, 1.5f, 0}}, {false, GL_DIFFUSE, {0.7f, 0.7f, 0.7f, 0}},
    };
    for (const auto& c : cases) {
        GLfloat v[4];
        c.light ? glGetLightfv(GL_LIGHT0, c.what, v) : glGetMaterialfv(GL_FRONT, c.what, v);
        expectFloats(c.what, v, c.want);
    }
    GLint local = -1, twoSide = -1;
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &local);
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSide);
    EXPECT_TRUE(local == 1 && twoSide == 0);
}

TEST(Renderer, ShutdownAfterAFailedStartIsHarmless) {
    gGlContext = nullptr;
    gTestTexture = 0;
    EXPECT_EQ(gfxShutdown(), 0);
    EXPECT_EQ(gfxShutdown(), 0);
}
