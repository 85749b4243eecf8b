// What presentation did, as figures (figures.h). Bodies still to come.
#include "measure/presentation/figures.h"

namespace measure {

double lumaOf(const Image& image, std::size_t pixel) {
    const std::uint8_t* p = &image.rgb[pixel * 3];
    return (0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]) / 255.0;
}

std::vector<float> lumaPlane(const Image& image) {
    std::vector<float> out(image.pixels());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = (float)lumaOf(image, i);
    return out;
}

ColourCurve fitColourCurve(const Image&, const Image&) { return {}; }
Image applyCurve(const Image& image, const ColourCurve&) { return image; }
Kernel fitKernel(const Image&, const Image&, int) { return {}; }
std::vector<float> applyKernel(const std::vector<float>& luma, int, int, const Kernel&) { return luma; }
ContrastGating contrastGating(const Image&, const Image&, double) { return {}; }
RangeFigures rangeFigures(const Image&, const Image&, double) { return {}; }
EdgeFigures edgeFigures(const Image&, const Image&, const Image&, const Bands&, double) { return {}; }
DetailReference prepareDetail(const Image&) { return {}; }
std::vector<DetailKept> detailKept(const DetailReference&, const Image&, const std::vector<Landmark>&) { return {}; }
std::vector<DetailKept> detailKept(const Image& reference, const Image& picture,
                                   const std::vector<Landmark>& landmarks) {
    return detailKept(prepareDetail(reference), picture, landmarks);
}
ScaleFigures scaleFigures(const Image&, const Image&) { return {}; }
PresentationFigures measurePresentation(const PresentationInput&) { return {}; }

}  // namespace measure
