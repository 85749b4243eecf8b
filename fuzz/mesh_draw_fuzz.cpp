// meshDraw's handling of arbitrary records (any lastRow, flags and cell values; input
// layout in mesh_input.h), in the program's own window and context, which need a display.
// The strips go to OpenGL's feedback buffer instead of the screen. Checked on every input:
// no OpenGL error (an unbalanced glBegin/glEnd would give one), nothing drawn for a lastRow
// outside 3..150, and the state meshDraw promises to leave behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "fuzz/mesh_input.h"
#include "render/gfx.h"

namespace {

GridMesh gArgument;
GLfloat gFeedback[1 << 20];

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    HWND window = appCreateWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
    if (window == nullptr || gfxInit(window) != 0) {
        std::fprintf(stderr, "mesh_draw_fuzz: no window or OpenGL context; is a display reachable?\n");
        std::exit(1);
    }
    glFeedbackBuffer(sizeof gFeedback / sizeof gFeedback[0], GL_3D_COLOR_TEXTURE, gFeedback);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    meshInput::decode(data, size, gArgument);
    glRenderMode(GL_FEEDBACK);
    meshDraw(gArgument);
    GLint values = glRenderMode(GL_RENDER);
    check(glGetError() == GL_NO_ERROR);
    if (gArgument.lastRow < 3 || gArgument.lastRow > kMeshRowSlots - 1) check(values == 0);

    check(!glIsEnabled(GL_LIGHTING) && !glIsEnabled(GL_LIGHT0) && !glIsEnabled(GL_NORMALIZE));
    check(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0, mode = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    check((GLuint)bound == gTestTexture && mode == GL_MODULATE);
    return 0;
}
