// The frame: its blades captured in feedback mode, and its pixels read before the swap.
#include <cmath>
#include <vector>

#include "tests/support/app_fixture.h"

namespace {

struct Vertex {
    double x, y, z;  // object space
    float s, t;
};

// The blade corners as the frame computes them: a float angle, double trigonometry.
std::vector<Vertex> expectedCorners() {
    std::vector<Vertex> corners;
    const double r = 8.8f;
    for (float a = 0.0f; (double)a < 6.28; a = (float)(a + 0.4188790204786391)) {
        double b = (double)a + (double)0.3f;
        corners.push_back({0, 0, -1, 1, 0});
        corners.push_back({(float)(std::sin((double)a) * r), (float)(std::cos((double)a) * r + 0.1), 1, 0, 1});
        corners.push_back({(float)(std::sin(b) * r), (float)(std::cos(b) * r), 1, 1, 1});
    }
    return corners;
}

constexpr double kPi = 3.14159265358979323846;

// Undoes the 100-degree turn and the translation by -10 of the frame's model-view.
Vertex toObjectSpace(double ex, double ey, double ez) {
    const double turn = -100.0 * kPi / 180.0;
    double z = ez + 10.0;
    return {ex * std::cos(turn) - ey * std::sin(turn), ex * std::sin(turn) + ey * std::cos(turn), z, 0, 0};
}

struct ScreenPoint {
    double x, y;
};

// Where an object-space point of the frame lands in the window, with the frame's matrices.
ScreenPoint project(double x, double y, double z) {
    GLdouble modelview[16], projection[16], wx, wy, wz;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(x, y, z, modelview, projection, viewport, &wx, &wy, &wz);
    return {wx, wy};
}

// A point of blade k given by its weights on the apex and the two outer corners.
ScreenPoint bladePoint(int k, double apex, double first, double second) {
    std::vector<Vertex> c = expectedCorners();
    const Vertex* v = &c[3 * k];
    return project(apex * v[0].x + first * v[1].x + second * v[2].x, apex * v[0].y + first * v[1].y + second * v[2].y,
                   apex * v[0].z + first * v[1].z + second * v[2].z);
}

unsigned pixelAt(ScreenPoint p) { return testReadPixel((int)p.x, (int)p.y); }

bool isYellowOrBlue(unsigned rgb) {
    unsigned r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return (r > 180 && g > 180 && b < 80) || (r < 80 && g < 80 && b > 180);
}

unsigned brightness(unsigned rgb) { return ((rgb >> 16) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF)) / 3; }

}  // namespace

TEST_F(AppFixture, FeedbackShowsFifteenBladesWithTheirCornersAndTextureCorners) {
    // An orthographic view that keeps the whole ring, apex included, inside the volume.
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-20, 20, -20, 20, 0, 20);
    const std::vector<Vertex> want = expectedCorners();
    size_t vertex = 0;
    for (const FeedbackPolygon& blade : testFeedback(gfxDrawScene)) {
        ASSERT_EQ(blade.size(), 3u);
        for (const FeedbackCorner& f : blade) {
            ASSERT_LT(vertex, want.size()) << "more than fifteen blades";
            Vertex got = toObjectSpace((f.x / 200.0 - 1.0) * 20.0, (f.y / 200.0 - 1.0) * 20.0, -f.z * 20.0);
            SCOPED_TRACE(testing::Message() << "blade " << vertex / 3 << ", corner " << vertex % 3);
            EXPECT_NEAR(got.x, want[vertex].x, 2e-4);
            EXPECT_NEAR(got.y, want[vertex].y, 2e-4);
            EXPECT_NEAR(got.z, want[vertex].z, 2e-4);
            EXPECT_EQ(f.r, 1.0f);  // white
            EXPECT_EQ(f.s, want[vertex].s);
            EXPECT_EQ(f.t, want[vertex].t);
            ++vertex;
        }
    }
    EXPECT_EQ(vertex, 45u) << "the sixteenth angle, 6.2832, must not be drawn";
}

TEST_F(AppFixture, FrameLeavesModelViewTexturingAndWhite) {
    gfxDrawScene();
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat m[16], colour[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[14], -10.0f);
    EXPECT_NEAR(m[0], std::cos(100.0 * kPi / 180.0), 1e-6);  // the turn about the view axis
    EXPECT_NEAR(m[1], std::sin(100.0 * kPi / 180.0), 1e-6);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2], 3.0f);
    EXPECT_EQ(gfxDrawFrame(window), 0);
}

// White outside the ring and in the gaps between blades; near the apex the texture's
// checkerboard, along the rim its caption, white on black, on blades 0, 7 and 14.
TEST_F(AppFixture, PixelsShowTheTexturedRingOnWhite) {
    gfxDrawScene();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int w = viewport[2], h = viewport[3];
    for (ScreenPoint corner : {ScreenPoint{2, 2}, ScreenPoint{w - 3.0, 2}, ScreenPoint{2, h - 3.0}})
        EXPECT_EQ(pixelAt(corner), 0xFFFFFFu);
    for (int k = 0; k < 15; ++k) {
        double gap = (float)(k * 0.4188790204786391) + 0.36;
        ScreenPoint p = project(std::sin(gap) * 4.0, std::cos(gap) * 4.0, 0.0);
        EXPECT_EQ(pixelAt(p), 0xFFFFFFu) << "gap after blade " << k;
    }
    // Texture (0.78, 0.26) on blade 0: the black band of rows 64-71 at column 200.
    EXPECT_LT(brightness(pixelAt(bladePoint(0, 0.74, 0.22, 0.04))), 60u);
    for (int k = 0; k < 15; k += 7) {
        SCOPED_TRACE(testing::Message() << "blade " << k);
        // Texture (0.95, 0.1): the checkerboard's rows near column 243.
        EXPECT_TRUE(isYellowOrBlue(pixelAt(bladePoint(k, 0.9, 0.05, 0.05))));
        // Along t = 0.93, rows 238 or so: the large caption.
        int dark = 0, light = 0, coloured = 0;
        for (int i = 0; i <= 40; ++i) {
            double second = 0.1 + 0.7 * i / 40.0;
            unsigned rgb = pixelAt(bladePoint(k, 0.07, 0.93 - second, second));
            dark += brightness(rgb) < 60;
            light += brightness(rgb) > 150;
            coloured += isYellowOrBlue(rgb);
        }
        EXPECT_GT(dark, 5);
        EXPECT_GT(light, 0);
        EXPECT_EQ(coloured, 0);
    }
}
