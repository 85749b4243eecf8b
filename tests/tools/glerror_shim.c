/* A stand-in for a lost context, preloaded in front of libGL: once the context is lost,
 * glGetError never answers GL_NO_ERROR again, as a driver may report an error on every call.
 * QUILL_SHIM_LOST=always: lost from the start, so no framebuffer object is ever complete.
 * QUILL_SHIM_LOST=readback: lost from the first glReadPixels on, once the targets are made.
 * Every other call goes to the driver unchanged. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

#ifndef GL_CONTEXT_LOST
#define GL_CONTEXT_LOST 0x0507
#endif

static int lost = 0;

static int lostFrom(const char* when) {
    const char* mode = getenv("QUILL_SHIM_LOST");
    return mode && strcmp(mode, when) == 0;
}

GLenum glGetError(void) {
    static GLenum (*real)(void) = NULL;
    if (!real) real = (GLenum(*)(void))dlsym(RTLD_NEXT, "glGetError");
    if (lost || lostFrom("always")) return GL_CONTEXT_LOST;
    return real ? real() : GL_NO_ERROR;
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels) {
    static void (*real)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) = NULL;
    if (!real) real = (void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))dlsym(RTLD_NEXT, "glReadPixels");
    if (lostFrom("readback")) lost = 1;
    if (real) real(x, y, width, height, format, type, pixels);
}
