// One place that turns a texture filter into texture parameters, so that a capture and its
// motion mode draw with the same state.
#include "measure/gl/sampling.h"

#include "measure/gl/scene.h"

namespace measure {

void applyFilter(const GlEntryPoints& gl, const TextureFilter& filter) {
    const GLint min = filter.mode == FilterMode::Nearest     ? GL_NEAREST
                      : filter.mode == FilterMode::Trilinear ? GL_LINEAR_MIPMAP_LINEAR
                                                             : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, min == GL_NEAREST ? GL_NEAREST : GL_LINEAR);
    if (gl.anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, filter.anisotropy);
}

}  // namespace measure
