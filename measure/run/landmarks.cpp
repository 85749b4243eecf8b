// Landmark masks from the frame model's texture coordinates.
#include "measure/run/landmarks.h"

#include <cmath>

namespace measure {

std::vector<Landmark> landmarkMasks(const FrameModel& model, const std::vector<bool>& interior) {
    const int width = model.width(), height = model.height();
    std::vector<Landmark> out;
    out.push_back({LandmarkKind::Interiors, interior});
    for (const LandmarkRows& rows : kLandmarkRows) out.push_back({rows.kind, std::vector<bool>(interior.size())});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (std::size_t)y * width + x;
            if (i >= interior.size() || !interior[i] || !model.inner(x, y)) continue;
            const PixelModel& m = model.at(x, y);
            // The texel row at the centre, and how far the pixel's square reaches in rows.
            const double row = m.t * kTestImageSide;
            const double reach = 0.5 * (std::fabs(m.footprint.dvdx) + std::fabs(m.footprint.dvdy));
            for (std::size_t k = 0; k < std::size(kLandmarkRows); ++k) {
                const LandmarkRows& rows = kLandmarkRows[k];
                out[k + 1].mask[i] = row - reach >= rows.first && row + reach <= rows.last + 1;
            }
        }
    return out;
}

}  // namespace measure
