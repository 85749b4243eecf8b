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

// The decoded level of detail against the model's over a set of pixels.
struct LodStats {
    std::size_t pixels = 0;
    double bias = 0;           // median of decoded - exact
    double spread = 0;         // 95th - 5th percentile of decoded - exact
    double largest = 0;        // the largest |decoded - exact|
    double withinRules = 0;    // share inside the allowed bounds (block-widened, +-1/16)
    double withinQuality = 0;  // share inside the bounds widened by a quarter level
    std::string verdict;
};

// A picture the program drew with its own settings, against the processor's filters.
struct ProgramCheck {
    std::string asked;
    double rmseBilinear = 0;
    double rmseNearest = 0;
    std::size_t pixels = 0;
    std::string delivered;  // the filter that explains the picture
    bool honoured = false;
    std::string verdict;
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
    std::string verdict;  // the outcome in words, with its figures
};

struct MipCheck {
    int level = 0;
    double rmse = 0;
    int largest = 0;
};

struct ModeRow {
    std::string requested, delivered;
};

struct Filtering {
    bool measured = false;
    std::string reason;
    int codedSize = 256;
    // The ring with the coded chain, trilinear, and the model's map beside it.
    Image ringLod, modelLod;
    LodStats ring;
    std::string granularity;
    double blockShare = 0;  // share of 2 x 2 blocks with one decoded lambda
    // Probe tiles at known footprints.
    std::vector<AngleSample> angles;
    double error0 = 0, error30 = 0, error45 = 0;
    std::string angleRule;
    std::vector<BlendSample> blend;
    double blendWidth = 0;
    std::string trilinear;
    double probeBias = 0;
    double roundingThreshold = 0;  // frac of exact lambda where nearest-mipmap selection switches
    double roundingOwn = 0;        // the same in the driver's own trilinear lambda
    std::string rounding;
    double biasPlus = 0, biasMinus = 0;
    std::string biasVerdict;
    bool anisotropic = false;
    float maxAnisotropy = 1;
    std::vector<AnisoRow> aniso;
    std::string anisoVerdict;
    std::vector<std::pair<double, double>> stretch;  // footprint ratio, delivered at the highest degree
    // The program's filters on the ring against the processor's.
    std::vector<ProgramCheck> program;
    ProgramCheck window;
    bool windowChecked = false;
    ProgramCheck presented;  // quillmere's presented window, where a capture of it is given
    bool presentedChecked = false;
    double forcedAnisotropyRmse = 0;
    std::vector<MipCheck> generated;
    std::string generatedVerdict;
    std::vector<ModeRow> table;
    std::string sentence;
    // The renderer's rotation through a whole turn (--filter-sweeps): error by footprint angle.
    std::vector<AngleSample> rotation;
    double seconds = 0;
};

}  // namespace measure
