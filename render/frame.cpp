// The test-pattern frame: fifteen long thin textured blades around the view axis.
#include "render/gfx.h"

#include <cmath>

float gRotX = 0.0f;
float gRotY = 0.0f;
float gRotZ = 100.0f;

namespace {

constexpr float kRimRadius = 8.8f;
constexpr float kBladeWidth = 0.3f;
constexpr double kBladeStep = 0.4188790204786391;
constexpr double kAngleEnd = 6.28;  // the sixteenth angle, 6.2832, is not drawn
constexpr double kFirstVertexLift = 0.1;

}  // namespace

void gfxDrawScene() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -10.0f);
    gRotX = 0.0f;
    gRotY = 0.0f;
    glRotated(gRotX, 1.0, 0.0, 0.0);
    glRotated(gRotY, 0.0, 1.0, 0.0);
    glRotated(gRotZ, 0.0, 0.0, 1.0);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);

    const double r = kRimRadius;
    for (float a = 0.0f; (double)a < kAngleEnd; a = (float)(a + kBladeStep)) {
        glBegin(GL_TRIANGLES);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, -1.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f((float)(std::sin((double)a) * r), (float)(std::cos((double)a) * r + kFirstVertexLift), 1.0f);
        double b = (double)a + (double)kBladeWidth;
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f((float)(std::sin(b) * r), (float)(std::cos(b) * r), 1.0f);
        glEnd();
    }
    glFlush();
}

int gfxDrawFrame(HWND window) {
    gfxDrawScene();
    HDC dc = GetDC(window);
    SwapBuffers(dc);
    ReleaseDC(window, dc);
    return 0;
}
