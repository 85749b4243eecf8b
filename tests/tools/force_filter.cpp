// A stand-in for a driver's forced filtering, loaded with LD_PRELOAD in front of the
// OpenGL library: it rewrites the filters a program sets before the driver sees them.
// QUILL_FORCE_FILTER=nearest: every GL_LINEAR filter becomes GL_NEAREST.
// QUILL_FORCE_FILTER=trilinear-cut: GL_LINEAR_MIPMAP_LINEAR becomes GL_LINEAR_MIPMAP_NEAREST.
// QUILL_FORCE_FILTER=anisotropy: every anisotropy a program sets becomes 16.
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace {

// The forced setting named in the environment, or "".
const char* forced() {
    const char* v = std::getenv("QUILL_FORCE_FILTER");
    return v ? v : "";
}

}  // namespace

// Filters rewritten on their way to the driver.
extern "C" void glTexParameteri(GLenum target, GLenum name, GLint value) {
    using Fn = void (*)(GLenum, GLenum, GLint);
    static Fn next = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "glTexParameteri"));
    const bool filter = name == GL_TEXTURE_MIN_FILTER || name == GL_TEXTURE_MAG_FILTER;
    if (filter && value == GL_LINEAR && std::strcmp(forced(), "nearest") == 0) value = GL_NEAREST;
    if (filter && value == GL_LINEAR_MIPMAP_LINEAR && std::strcmp(forced(), "trilinear-cut") == 0)
        value = GL_LINEAR_MIPMAP_NEAREST;
    next(target, name, value);
}

// Anisotropy rewritten on its way to the driver.
extern "C" void glTexParameterf(GLenum target, GLenum name, GLfloat value) {
    using Fn = void (*)(GLenum, GLenum, GLfloat);
    static Fn next = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "glTexParameterf"));
    if (name == GL_TEXTURE_MAX_ANISOTROPY_EXT && std::strcmp(forced(), "anisotropy") == 0) value = 16.0f;
    next(target, name, value);
}
