// OpenGL's error queue, drained with a bound.
#include "measure/gl/errors.h"

// Reported once a context is lost (OpenGL 4.5, GL_KHR_robustness); older headers lack it.
#ifndef GL_CONTEXT_LOST
#define GL_CONTEXT_LOST 0x0507
#endif

namespace measure {

std::string glErrorName(GLenum error) {
    switch (error) {
        case GL_NO_ERROR: return "GL_NO_ERROR";
        case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
        case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
        case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
        case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
        case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
        case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
        case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
        case GL_CONTEXT_LOST: return "GL_CONTEXT_LOST";
    }
    return "OpenGL error " + std::to_string(error);
}

GLenum clearGlErrors() {
    const GLenum first = glGetError();
    GLenum error = first;
    for (int i = 1; i < kMaxDrainedErrors && error != GL_NO_ERROR; ++i) error = glGetError();
    return first;
}

}  // namespace measure
