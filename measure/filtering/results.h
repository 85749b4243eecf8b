// Texture filtering's part of a run's results: the ring's level of detail against the
// rules, the probe tiles' sweeps, the anisotropy ladder, the program's own pictures judged
// against the processor's filters. Plain data.
#pragma once

#include "measure/core/metrics.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace measure {

// How the ring's decoded level of detail keeps to the rules' bounds.
enum class RingOutcome {
    NotMeasured,
    NotDecoded,      // no pixel of the ring decodes
    WithinRules,     // all but a percent inside the rules' bounds
    QualityWarning,  // outside them, but within a quarter level
    OutsideRules,
};
// Whether the driver computes lambda once per aligned 2 x 2 block or per pixel.
enum class LodGranularity { NotMeasured, PerBlock, PerPixel };

// The decoded level of detail against the model's over a set of pixels.
struct LodStats {
    std::size_t pixels = 0;
    double bias = 0;           // median of decoded - exact
    double spread = 0;         // 95th - 5th percentile of decoded - exact
    double largest = 0;        // the largest |decoded - exact|
    double withinRules = 0;    // share inside the allowed bounds (block-widened, +-1/16)
    double withinQuality = 0;  // share inside the bounds widened by a quarter level
    RingOutcome outcome = RingOutcome::NotMeasured;
};

// The filters a program's picture is judged against.
enum class AskedFilter { Linear, Nearest };
// What explains a program's picture.
enum class DeliveredFilter {
    NotJudgedModelSize,   // the picture's size differs from the model's
    NotJudgedTargetSize,  // ... from the target's
    Linear,               // the processor's bilinear filter
    Nearest,              // the processor's nearest filter
    DriverSetting,        // the driver's own picture under one of its other settings
    Unknown,              // none of these
};

// A picture the program drew with its own settings, against the processor's filters.
struct ProgramCheck {
    AskedFilter asked = AskedFilter::Linear;
    double rmseBilinear = 0;
    double rmseNearest = 0;
    std::size_t pixels = 0;
    DeliveredFilter delivered = DeliveredFilter::NotJudgedModelSize;
    std::vector<std::string> settings;  // DriverSetting: the names of those that give this picture
    double settingRmse = 0;             // DriverSetting: the closest one's distance
    bool honoured = false;
};

struct AngleSample {
    double angle = 0;             // footprint angle, degrees
    double error = 0;             // decoded - exact lambda
    double lower = 0, upper = 0;  // the rules' bounds, relative to exact
};

struct BlendSample {
    double frac = 0;   // frac(lambda) of the model
    double blend = 0;  // the decoded blend fraction
};

// How one requested degree of anisotropy was met (filtering/judgements.h decides it).
enum class AnisoOutcome {
    Ignored,       // the same picture as the degree below
    Honoured,      // the level the degree leaves room for, and the spread along the major axis
    SharperLevel,  // a level sharper than the degree allows, spread enough
    Aliases,       // the degree's level or sharper, too little spread: the extra sharpness aliases
    Short,         // a level blurrier than the degree's
};

struct AnisoRow {
    int requested = 1;
    double delivered = 0;  // Pmax / 2^lambda' on a 16 : 1 footprint
    // How much farther the filter spreads along the footprint's major axis than along its
    // minor one, from a step's response (1: no filtering along the major axis beyond the level's own).
    double blurRatio = NAN;
    double lambda = 0;
    std::vector<double> lambdas;  // the 16 : 1 tiles at 0, 30 and 45 degrees
    bool samePicture = false;     // every tile decodes as with the next lower degree
    AnisoOutcome outcome = AnisoOutcome::Short;
};

// What the anisotropy ladder's degrees say together.
enum class AnisoSummary {
    Unsupported,       // no GL_EXT_texture_filter_anisotropic
    Ignored,           // one picture for every degree from 2 up
    Honoured,          // every requested degree honoured
    SharpenedAliases,  // the level follows every degree, the major axis is not filtered to match
    SomeIgnored,
    NotAsRequested,
};

// Over how much of each octave trilinear filtering blends two levels (filtering/judgements.h).
enum class TrilinearOutcome { Whole, Part, None };
// How the level of detail follows the footprint's angle (filtering/judgements.h).
enum class AngleRule { NotMeasured, Exact, LargerDerivative, SumOfDerivatives, Other };
// How nearest-mipmap selection rounds, from where it switches levels.
enum class MipRounding { NotMeasured, Nearest, Elsewhere };
// How GL_TEXTURE_LOD_BIAS of +-0.5 moves the level.
enum class BiasOutcome { Honoured, NegativeClamped, NegativeOther, NotHonoured };
// The driver's generated mipmaps against a 2 x 2 box filter of the level above.
enum class GeneratedMipmaps { NotMeasured, NotReadBack, BoxFilter, Other };
// Why the filtering measurements are missing or incomplete.
enum class FilteringGap { None, NoFramebuffers, NoProbeTarget, GlError };

struct MipCheck {
    int level = 0;
    double rmse = 0;
    int largest = 0;
};

struct Filtering {
    bool measured = false;
    FilteringGap gap = FilteringGap::None;
    bool probed = false;  // the probe tiles were drawn (angle, blend, rounding, bias, anisotropy)
    int codedSize = 256;
    // The ring with the coded chain, trilinear, and the model's map beside it.
    Image ringLod, modelLod;
    LodStats ring;
    LodGranularity granularity = LodGranularity::NotMeasured;
    double blockShare = 0;  // share of 2 x 2 blocks with one decoded lambda
    // Probe tiles at known footprints.
    std::vector<AngleSample> angles;
    double error0 = 0, error30 = 0, error45 = 0;
    AngleRule angleRule = AngleRule::NotMeasured;  // from error45 - error0
    std::vector<BlendSample> blend;
    double blendWidth = 0;
    TrilinearOutcome trilinear = TrilinearOutcome::None;
    double probeBias = 0;
    double roundingThreshold = 0;  // frac of exact lambda where nearest-mipmap selection switches
    double roundingOwn = 0;        // the same in the driver's own trilinear lambda
    MipRounding rounding = MipRounding::NotMeasured;
    double biasPlus = 0, biasMinus = 0;
    BiasOutcome bias = BiasOutcome::NotHonoured;
    bool anisotropic = false;
    float maxAnisotropy = 1;
    std::vector<AnisoRow> aniso;
    AnisoSummary anisoSummary = AnisoSummary::Unsupported;
    std::vector<std::pair<double, double>> stretch;  // footprint ratio, delivered at the highest degree
    // The program's filters on the ring against the processor's.
    std::vector<ProgramCheck> program;
    ProgramCheck window;
    bool windowChecked = false;
    ProgramCheck presented;  // quillmere's presented window, where a capture of it is given
    bool presentedChecked = false;
    int forcedAnisotropy = 0;  // the degree a forced anisotropy was tried at; 0: not tried
    double forcedAnisotropyRmse = 0;
    std::vector<MipCheck> generated;
    GeneratedMipmaps generatedOutcome = GeneratedMipmaps::NotMeasured;
    int generatedWorst = 0;  // the largest difference from the box filter over all levels
    // The renderer's rotation through a whole turn (--filter-sweeps): error by footprint angle.
    std::vector<AngleSample> rotation;
    double seconds = 0;
};

}  // namespace measure
