// What presentation did, in words, written from the presentation verdict's values and the
// figures under it: the verdict's phrase, its short form for the window's joined verdict,
// the summary's opening sentence, and the names results.json and compare use.
#pragma once

#include "measure/run/results.h"

#include <string>

namespace measure {

// The class's name in results.json ("unchanged", "colour", "filter", "morphological",
// "sharpening", "scaled", "unexplained"); a chain joins its steps' names with '+'.
const char* presentationClassName(PresentationClass cls);
std::string presentationVerdictName(const PresentationVerdict& v);
// A landmark's name in results.json and its title on the page.
const char* landmarkName(LandmarkKind kind);
const char* landmarkTitle(LandmarkKind kind);

// One step in words with its figures: "morphological anti-aliasing (threshold about 0.1
// luma, reaching 9 pixels along edges, 61 % of the texture detail kept; closest
// fxaa-12-...: 2.3 levels)".
std::string presentationStepText(const PresentationStep& step);
// Every step, in the order they happen, joined with ", then ".
std::string presentationVerdictText(const PresentationVerdict& v);
// The short form the window's verdict takes: "morphological anti-aliasing at presentation
// (threshold about 0.1 luma)".
std::string presentationShortText(const PresentationVerdict& v);
// The summary's opening sentence: what presentation did to quillmere's picture, or why it
// was not measured; empty where no presented picture was asked for.
std::string presentationSentence(const Results& r);

}  // namespace measure
