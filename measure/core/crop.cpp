// Crops by whole pixels, no filtering, so that what a close-up shows is what was drawn.
#include "measure/core/crop.h"

#include <algorithm>
#include <cmath>

namespace measure {

Image crop(const Image& image, double x, double y, int side, int scale) {
    side = std::min({side, image.width, image.height});
    int x0 = std::clamp((int)std::lround(x) - side / 2, 0, image.width - side);
    int y0 = std::clamp((int)std::lround(y) - side / 2, 0, image.height - side);
    Image out(side * scale, side * scale);
    for (int j = 0; j < out.height; ++j)
        for (int i = 0; i < out.width; ++i)
            for (int c = 0; c < 3; ++c)
                out.rgb[((std::size_t)j * out.width + i) * 3 + c] =
                    image.rgb[((std::size_t)(y0 + j / scale) * image.width + x0 + i / scale) * 3 + c];
    return out;
}

}  // namespace measure
