// The yardstick of the frame-rate and start-up benchmarks: the program's frame (the same
// fifteen blades, the same test texture, the same OpenGL state) drawn straight on SDL2 and
// OpenGL, as plainly as a program can: no window procedure, no message queue, no handles.
// It asks for the visual the program asks for (8-bit colour, double buffer, the deepest
// depth buffer offered) and opens its window at the same place and size. Close the window
// to end it. Window title: "Quillmere baseline".
#include <SDL.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glext.h>

#include <cmath>

#include "render/test_image.h"

namespace {

const GLfloat kLightPosition[] = {2.0f, 2.0f, 3.0f, 1.0f};
const GLfloat kLightDiffuse[] = {0.7f, 0.7f, 0.7f, 0.0f};
const GLfloat kLightSpecular[] = {1.5f, 1.5f, 1.5f, 0.0f};
const GLfloat kMaterialAmbient[] = {1.5f, 1.5f, 1.5f, 0.0f};

SDL_Window* openWindow() {
    static const int kDepths[] = {32, 24, 16};
    for (int depth : kDepths) {
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
        if (SDL_Window* window =
                SDL_CreateWindow("Quillmere baseline", 40, 40, 820, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE))
            return window;
    }
    return nullptr;
}

void setState(GLuint* texture) {
    glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, gTestImage);

    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CCW);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 1.5, 1.0, -10.0);

    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightSpecular);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glMaterialf(GL_FRONT, GL_SHININESS, 90.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT, kMaterialAmbient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, kLightDiffuse);
}

void drawFrame() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -10.0f);
    glRotated(100.0, 0.0, 0.0, 1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    const double r = 8.8f;
    for (float a = 0.0f; (double)a < 6.28; a = (float)(a + 0.4188790204786391)) {
        double b = (double)a + (double)0.3f;
        glBegin(GL_TRIANGLES);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, -1.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f((float)(std::sin((double)a) * r), (float)(std::cos((double)a) * r + 0.1), 1.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f((float)(std::sin(b) * r), (float)(std::cos(b) * r), 1.0f);
        glEnd();
    }
    glFlush();
}

}  // namespace

int main(int, char**) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window* window = openWindow();
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr) {
        SDL_Quit();
        return 1;
    }
    GLuint texture = 0;
    setState(&texture);

    for (bool running = true; running;) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT) running = false;
        drawFrame();
        SDL_GL_SwapWindow(window);
    }

    glDeleteTextures(1, &texture);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
