// The anti-aliasing part of a run's results: each judged capture's verdict and evidence, the
// sample positions measured beside the driver's, the scores that keep geometry, texture
// and spill apart. Plain data.
#pragma once

#include "measure/aa/sample_positions.h"
#include "measure/aa/verdict.h"

#include <string>
#include <vector>

namespace measure {

// Scores of one capture that separate what a single edge RMSE mixes.
struct AaScores {
    std::string capture;
    double geometricEdge = 0;   // coverage pass against the reference's coverage, edge pixels
    bool hasGeometric = false;  // false where the capture has no coverage pass
    double texturedEdge = 0;    // the picture against the reference, edge pixels
    double edgeLinear = 0;      // ... against the reference averaged in linear light
    double spill = 0;           // share of the pixels beside an edge changed from one sample
};

struct CaptureVerdict {
    std::string capture;
    std::size_t captureIndex = 0;  // in the run's captures
    int formatSamples = 0;
    ChannelBits bits;
    Verdict verdict;
};

struct AaResults {
    int maxSamples = 0;  // GL_MAX_SAMPLES; 1 or less: no multisampling
    ChannelBits windowBits;
    Image referenceCoverage;                            // the reference's coverage pass, for the geometric edge score
    int referenceK = 0;                                 // the reference's k x k cells
    double convergenceEdge = 0, convergenceCentre = 0;  // the check against the reference, by region
    int emulationRenders = 0;
    std::vector<CaptureVerdict> verdicts;
    std::vector<SamplePositions> positions;
    std::vector<AaScores> scores;
};

}  // namespace measure
