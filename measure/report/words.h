// The words for the run's outcomes: every sentence results.json and the page say about a
// verdict, a filtering judgement, the drift or a note is written here, from the values the
// measurement decided. Nothing below the report writes a sentence for people, and no
// decision reads one.
#pragma once

#include "measure/run/results.h"

#include <cstdio>
#include <string>

namespace measure {

// A printf-formatted string, for the sentences that carry figures.
template <typename... A>
std::string printed(const char* format, A... a) {
    char text[512];
    std::snprintf(text, sizeof text, format, a...);
    return text;
}

// Anti-aliasing: the class's name, and the verdict in a sentence.
const char* className(AaClass c);
std::string verdictText(const Verdict& v);
// A sample-position comparison's note: why a list is missing, or that they disagree.
std::string positionsNote(const SamplePositions& s);

// Filtering: each judgement in words.
std::string ringText(RingOutcome o);
std::string granularityText(LodGranularity g);
std::string askedText(AskedFilter a);
std::string deliveredText(const ProgramCheck& c);
std::string programVerdict(const ProgramCheck& c);
std::string angleRuleText(const Filtering& f);
std::string trilinearText(const Filtering& f);
std::string roundingText(const Filtering& f);
std::string biasText(const Filtering& f);
std::string anisoRowText(const AnisoRow& row);
std::string anisoSummaryText(const Filtering& f);
std::string generatedText(const Filtering& f);
std::string filteringGapText(FilteringGap g);
// What the driver's settings can change of quillmere's own texture; empty where the
// program's filters were not judged (f.program is empty).
std::string programSentence(const Filtering& f);
// The table of filters asked for against those delivered; empty as programSentence is.
std::vector<std::pair<std::string, std::string>> filterModes(const Filtering& f);

// The sentence on shimmer in motion, from the figures of the modes it names (found by their
// still captures); empty when they are missing.
std::string motionSentence(const MotionResults& m, const std::vector<Capture>& captures);
// Why a presented picture was not set against the back buffer (their sizes).
std::string notComparedText(const Presented& p);
// Where the window's requested sample count comes from.
std::string samplesRequestText(const WindowFormat& f);
// The reference's sampling grid of k x k cells; empty before one was drawn (k 0).
std::string referenceGridText(int k);
// The presented window against the back buffer, in one sentence; empty when not attempted.
std::string presentedNote(const Presented& p);
// One of the run's notes.
std::string noteText(const Note& n, const Results& r);

}  // namespace measure
