#include "measure/presentation/verdict.h"

namespace measure {

std::vector<FamilyDistance> familyDistances(const std::vector<FamilyCandidate>&, const Image&, const Image&, double,
                                            const LevelMap*) {
    return {};
}
PresentationVerdict judgePresentation(const PresentationEvidence&, const std::vector<FamilyDistance>&) {
    return {{PresentationStep{}}, {}, {}, {}, {}};
}
PresentationClass classOf(Family) { return PresentationClass::Unexplained; }

}  // namespace measure
