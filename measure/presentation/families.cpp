#include "measure/presentation/families.h"

namespace measure {

std::vector<double> fxaaSearchSteps(int) { return {}; }
Image fxaa(const Image& image, const FxaaParams&) { return image; }
Image mlaa(const Image& image, const MlaaParams&) { return image; }
Image gaussianBlur(const Image& image, double) { return image; }
Image unsharpMask(const Image& image, double, double) { return image; }
Image cas(const Image& image, double) { return image; }
Image applyColourMap(const Image& image, const ColourMap&) { return image; }
Image applyStep(const Image& image, const FamilyStep&) { return image; }
std::vector<FamilyCandidate> presentationCandidates(const Image&) { return {}; }
std::string stepName(const FamilyStep&) { return {}; }

}  // namespace measure
