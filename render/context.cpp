// The OpenGL context and the state every frame relies on, set once at start-up.
#include "render/gfx.h"

HGLRC gGlContext = nullptr;

namespace {

const GLfloat kLightPosition[] = {2.0f, 2.0f, 3.0f, 1.0f};
const GLfloat kLightDiffuse[] = {0.7f, 0.7f, 0.7f, 0.0f};
const GLfloat kLightSpecular[] = {1.5f, 1.5f, 1.5f, 0.0f};
const GLfloat kLightAmbient[] = {1.5f, 1.5f, 1.5f, 0.0f};
const GLfloat kMaterialAmbient[] = {1.5f, 1.5f, 1.5f, 0.0f};
const GLfloat kMaterialDiffuse[] = {0.7f, 0.7f, 0.7f, 0.0f};

}  // namespace

int gfxInit(HWND window) {
    HDC dc = GetDC(window);

    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = 40;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cDepthBits = 32;
    pfd.iLayerType = PFD_MAIN_PLANE;
    int format = ChoosePixelFormat(dc, &pfd);
    DescribePixelFormat(dc, format, 40, &pfd);
    SetPixelFormat(dc, format, &pfd);

    gGlContext = wglCreateContext(dc);
    if (gGlContext == nullptr) return -1;
    wglMakeCurrent(dc, gGlContext);
    gfxInitState();
    return 0;
}

void gfxInitState() {
    gfxCreateTestTexture();
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CCW);

    glMatrixMode(GL_PROJECTION);
    glLineWidth(1.0f);
    glLoadIdentity();
    // The far plane is -10, not +10: with it the whole ring, 9 to 11 units away,
    // passes the depth range.
    gluPerspective(90.0, 1.5, 1.0, -10.0);

    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glMaterialf(GL_FRONT, GL_SHININESS, 90.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT, kMaterialAmbient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, kMaterialDiffuse);
}

int gfxShutdown() {
    gfxDeleteTestTexture();
    wglDeleteContext(gGlContext);
    return 0;
}
