// The filtering measurements' decisions as values: pure functions of the figures the probe
// tiles and the ring decode, each against the bound the rules (or a driver's quality) allow.
// The words for them are written where the report is made (report/words.h).
#pragma once

#include "measure/core/metrics.h"
#include "measure/filtering/coded_lod.h"
#include "measure/filtering/results.h"
#include "measure/filtering/rules.h"

#include <vector>

namespace measure {

// How one requested degree of anisotropy was met (AnisoOutcome, filtering/probes.h).
AnisoOutcome anisoOutcome(const AnisoRow& row);

// The probes taken along a footprint's major axis, from how far they lower its level of detail.
double deliveredAnisotropy(double isotropicLambda, double anisotropicLambda);

// Share of each octave over which trilinear filtering blends two levels (1: all of it).
double blendWidth(const std::vector<BlendSample>& blend);
TrilinearOutcome trilinearOutcome(double blendWidth);

// How the level of detail follows the footprint's angle, from the error at 45 degrees less
// the error at 0: max(mu, mv) is half a level below the exact length there, mu + mv half above.
AngleRule angleRuleOf(double swing);

// Nearest-mipmap selection switching at frac(lambda) 0.5, as both allowed roundings do.
bool switchesAtHalf(double threshold);
// A GL_TEXTURE_LOD_BIAS of `asked` moving the decoded level by `measured`.
bool biasHonoured(double measured, double asked);
// Biases of +0.5 and -0.5 moving the decoded level by `plus` and `minus`.
BiasOutcome biasOutcome(double plus, double minus);

// What the ladder's rows (degree 1 first, each with its outcome) say together, on a driver
// with the extension.
AnisoSummary anisoSummary(const std::vector<AnisoRow>& rows);

// A percentile of a list (sorted in place); NaN for an empty one.
double percentile(std::vector<double>& v, double p);
// A picture's colour at (x, y), rows from the top.
Rgb8 colourAt(const Image& image, int x, int y);

// The decoded ring against the model: statistics against the rules' bounds, taken over each
// aligned 2 x 2 block, its outcome, its granularity and both maps, into f.ring and f.granularity.
void judgeRingLod(Filtering& f, const Image& picture, const FrameModel& model);

}  // namespace measure
