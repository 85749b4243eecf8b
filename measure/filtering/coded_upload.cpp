// Every level written whole with glTexImage2D, so that no level is the driver's own reduction.
#include "measure/filtering/coded_upload.h"

#include "measure/filtering/coded_lod.h"
#include "platform/win32.h"

#include <cstdint>
#include <vector>

namespace measure {

void uploadCodedChain(int size) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int level = 0; size >= 1; ++level, size /= 2) {
        const Rgb8 c = codedLevel(level);
        std::vector<std::uint8_t> texels((std::size_t)size * size * 4);
        for (std::size_t i = 0; i < texels.size(); i += 4) {
            texels[i] = c.r;
            texels[i + 1] = c.g;
            texels[i + 2] = c.b;
            texels[i + 3] = 255;
        }
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    }
}

void uploadStepChain(int size) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int level = 0; size >= 1; ++level, size /= 2) {
        std::vector<std::uint8_t> texels((std::size_t)size * size * 4);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                // The last 1 x 1 level has no step; its grey is the step's mean.
                const std::uint8_t v = size == 1 ? 128 : x < size / 2 ? 0 : 255;
                std::uint8_t* t = &texels[((std::size_t)y * size + x) * 4];
                t[0] = t[1] = t[2] = v;
                t[3] = 255;
            }
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    }
}

}  // namespace measure
