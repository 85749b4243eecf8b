/* A stand-in for a driver with odd answers, preloaded in front of libGL and libEGL: with
 * QUILL_SHIM_RENDERER=null glGetString(GL_RENDERER) answers NULL; with =latin1 it answers
 * bytes that are not UTF-8. With QUILL_SHIM_BLIT=refuse every glBlitFramebuffer looked up
 * through eglGetProcAddress is passed to the driver with an invalid mask, so the driver
 * itself refuses it with GL_INVALID_VALUE, as it would a resolve it cannot do. Every other
 * call goes to the driver unchanged. */
#define _GNU_SOURCE
#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

const GLubyte* glGetString(GLenum name) {
    static const GLubyte* (*real)(GLenum) = NULL;
    if (!real) real = (const GLubyte* (*)(GLenum))dlsym(RTLD_NEXT, "glGetString");
    const char* mode = getenv("QUILL_SHIM_RENDERER");
    if (name == GL_RENDERER && mode && strcmp(mode, "null") == 0) return NULL;
    /* "Caf\xe9" is Latin-1, a lone continuation byte and a truncated sequence follow. */
    if (name == GL_RENDERER && mode && strcmp(mode, "latin1") == 0) return (const GLubyte*)"Caf\xe9 \x80<GPU>\xe2\x82";
    return real ? real(name) : NULL;
}

static PFNGLBLITFRAMEBUFFERPROC realBlit = NULL;

static void APIENTRY refusedBlit(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1, GLint dy1,
                                 GLbitfield mask, GLenum filter) {
    (void)mask;
    realBlit(sx0, sy0, sx1, sy1, dx0, dy0, dx1, dy1, 0xFFFFFFFFu, filter);
}

__eglMustCastToProperFunctionPointerType eglGetProcAddress(const char* name) {
    static __eglMustCastToProperFunctionPointerType (*real)(const char*) = NULL;
    if (!real) real = (__eglMustCastToProperFunctionPointerType(*)(const char*))dlsym(RTLD_NEXT, "eglGetProcAddress");
    __eglMustCastToProperFunctionPointerType found = real ? real(name) : NULL;
    const char* blit = getenv("QUILL_SHIM_BLIT");
    if (found && blit && strcmp(blit, "refuse") == 0 && strcmp(name, "glBlitFramebuffer") == 0) {
        realBlit = (PFNGLBLITFRAMEBUFFERPROC)found;
        return (__eglMustCastToProperFunctionPointerType)refusedBlit;
    }
    return found;
}
