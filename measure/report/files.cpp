// The names that depend on a mode, spot or target.
#include "measure/report/files.h"

namespace measure::files {

std::string picture(const std::string& mode) { return mode + ".png"; }
std::string heatMap(const std::string& mode) { return "diff-" + mode + ".png"; }
std::string crop(const std::string& mode, const std::string& spot) { return "crop-" + mode + "-" + spot + ".png"; }
std::string samplePositions(const std::string& target) { return "samplepos-" + target + ".svg"; }
std::string motionProfile(const std::string& mode) { return "motion-profile-" + mode + ".png"; }
std::string motionCrop(const std::string& mode) { return "motion-crop-" + mode + ".png"; }

}  // namespace measure::files
