// Every file a report folder holds, by name: the report writes them under these names and
// compare reads them back by the same, so that the two cannot drift apart.
#pragma once

#include <string>

namespace measure::files {

inline constexpr char kResults[] = "results.json";
inline constexpr char kPage[] = "index.html";
// The crops' spots, as their files name them.
inline constexpr const char* kCropSpots[] = {"tip", "centre", "caption"};

// A capture's whole picture ("reference" for the reference), its heat map against the
// reference, and its magnified crop at a spot.
std::string picture(const std::string& mode);
std::string heatMap(const std::string& mode);
std::string crop(const std::string& mode, const std::string& spot);

inline constexpr char kErrorPlot[] = "error-vs-samples.svg";
// A multisampled target's sample positions, as drawn ("msaa-4", "window").
std::string samplePositions(const std::string& target);
inline constexpr char kLodRingDriver[] = "lod-ring-driver.png";
inline constexpr char kLodRingModel[] = "lod-ring-model.png";
inline constexpr char kLodErrorPlot[] = "lod-error-vs-angle.svg";
inline constexpr char kBlendPlot[] = "blend-vs-frac.svg";
inline constexpr char kPresented[] = "presented.png";
inline constexpr char kPresentedHeatMap[] = "diff-presented-window.png";
inline constexpr char kChangeMap[] = "presentation-change-map.png";
inline constexpr char kGatingPlot[] = "presentation-change-vs-contrast.svg";
inline constexpr char kMotionPlot[] = "motion-temporal.svg";
// A motion mode's profile over the steps, and its animated crop ("reference" included).
std::string motionProfile(const std::string& mode);
std::string motionCrop(const std::string& mode);

}  // namespace measure::files
