// A stand-in for a driver's forced filtering, loaded with LD_PRELOAD in front of the
// OpenGL library: it rewrites the filters a program sets before the driver sees them.
// QUILL_FORCE_FILTER=nearest: every GL_LINEAR filter becomes GL_NEAREST.
// QUILL_FORCE_FILTER=trilinear-cut: GL_LINEAR_MIPMAP_LINEAR becomes GL_LINEAR_MIPMAP_NEAREST.
// QUILL_FORCE_FILTER=anisotropy: every anisotropy a program sets becomes 16.
// QUILL_FORCE_FILTER=sharpen: an anisotropy N becomes 1 with the level of detail lowered by
// log2 N: as sharp as N-times anisotropic filtering, without its probes along the major axis.
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>

#include <cmath>
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
    // The program's own bias and the sharpening added to it; a program sets a texture's
    // anisotropy and bias together, so one pair serves the texture in hand.
    static GLfloat asked = 0, sharpening = 0;
    if (std::strcmp(forced(), "sharpen") == 0) {
        if (name == GL_TEXTURE_MAX_ANISOTROPY_EXT) {
            sharpening = -std::log2(std::fmax(value, 1.0f));
            next(target, GL_TEXTURE_LOD_BIAS, asked + sharpening);
            value = 1.0f;
        } else if (name == GL_TEXTURE_LOD_BIAS) {
            asked = value;
            value += sharpening;
        }
    }
    if (name == GL_TEXTURE_MAX_ANISOTROPY_EXT && std::strcmp(forced(), "anisotropy") == 0) value = 16.0f;
    next(target, name, value);
}
