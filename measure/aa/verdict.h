// The anti-aliasing verdict: what a picture's edges, interiors and surroundings say about
// how it was made, judged against candidates the tool emulates (aa/candidates.h). Method:
// the coverage levels along the edges, the spill past them and the interiors against the
// one-sample frame, then the closest candidate by region-balanced RMSE within kFitLevels.
// Not covered: modes no candidate emulates (they are named "a mode the tool does not
// model"), and pictures without the reference's bands. Pure functions of images; no OpenGL.
#pragma once

#include "measure/core/metrics.h"

#include <string>
#include <vector>

namespace measure {

// What a picture's anti-aliasing is judged to be.
enum class AaClass {
    None,               // one sample a pixel, nothing asked for
    NoMultisampling,    // one sample, on a driver that has no multisampling at all
    NotDelivered,       // the pixel format reports samples, the picture shows one
    Msaa,               // coverage at N samples, texture once, resolved in stored values
    MsaaLinear,         // the same, resolved in linear light
    Supersampling,      // everything at N samples
    MsaaSupersampling,  // multisampling inside a supersampled grid
    PostFilter,         // a filter over the one-sample frame (box, tent)
    Unmodelled,         // none of the candidates explains the picture
};

// Bits per channel of the framebuffer the picture was read from (8, 5-6-5, 10).
struct ChannelBits {
    int r = 8, g = 8, b = 8;
};

// One 8-bit level of the given bits, in 8-bit units (a 10-bit level is smaller than one).
double quantisationStep(const ChannelBits& bits);
// The picture as a framebuffer of those bits would hold it, read back as 8 bits.
Image quantise(const Image& image, const ChannelBits& bits);

// A mode the picture may have been made with, emulated over the tool's own renders.
struct Candidate {
    std::string name;  // "msaa-4 stored", "box 2x2", ...
    AaClass cls = AaClass::None;
    int samples = 1;
    Image image;
};

// The reference's regions, and the bands derived from them that the evidence reads.
struct Bands {
    std::vector<bool> edge;       // partly covered in the reference
    std::vector<bool> spillBand;  // wholly outside, but touching an edge pixel
    std::vector<bool> interior;   // wholly covered and not touching an edge pixel
    std::vector<bool> judged;     // edge pixels and both bands beside them
};
Bands makeBands(const std::vector<Region>& regions, int width, int height);

// How far one coverage level lies from the nearest m/N level of each resolve.
struct LevelFit {
    int value = 0;      // green channel of the coverage pass (blades black on white)
    double stored = 0;  // distance in 8-bit levels to 255 (1 - m/N)
    double linear = 0;  // ... to the sRGB encoding of (1 - m/N)
};

// What the picture itself shows, before any candidate is compared.
struct Evidence {
    std::vector<LevelFit> levels;  // empty without a coverage pass
    int gridSamples = 0;           // the N whose grid fits the levels (0: none fits)
    bool gridLinear = false;       // that grid is the linear-light one
    double spill = 0;              // share of spill-band pixels changed from the one-sample frame
    double interiorChanged = 0;    // share of interior pixels beyond one quantisation step of it
    double interiorRmse = 0;       // RMSE of the interiors against the one-sample frame
    double tolerance = 0;          // the quantisation step the comparisons allowed
};

// One candidate's distance: region-balanced RMSE over the judged pixels.
struct Distance {
    std::string name;
    AaClass cls = AaClass::None;
    int samples = 1;
    double edge = 0, interior = 0, total = 0;
};

// Where the spill past the edges, the one piece of evidence a filter cannot hide, says
// otherwise than the closest candidate.
enum class SpillContradiction {
    None,
    Spills,   // blending spills past the edges as a filter's does, and the closest is no filter
    NoSpill,  // the closest is a filter, and nothing spills past the edges
};

struct Verdict {
    AaClass cls = AaClass::None;
    int samples = 1;
    int formatSamples = 0;  // what the pixel format or framebuffer reports
    std::string closest;    // the candidate's name; empty when none was compared
    double distance = 0;
    double margin = 0;  // to the next candidate of another name; infinity when alone
    std::string next;
    double fit = 0;  // the distance within which the closest would have been named
    SpillContradiction spill = SpillContradiction::None;
    Evidence evidence;
    std::vector<Distance> distances;  // ascending; empty when there was no candidate
};

// What the verdict is given about the picture and where it came from.
struct Judging {
    const Image* picture = nullptr;
    const Image* coverage = nullptr;  // its coverage pass, where there is one
    ChannelBits bits;
    int formatSamples = 0;           // what the pixel format or framebuffer reports
    bool driverMultisamples = true;  // false where GL_MAX_SAMPLES is 1 or less
    const Image* oneSample = nullptr;
    const Bands* bands = nullptr;
};

// The evidence and the closest candidate. Candidates sharing a name (a filter's
// alignments) count once, by their closest.
Verdict judge(const Judging& in, const std::vector<Candidate>& candidates);

// How close a picture must come to a candidate to be called that candidate, in 8-bit
// levels of the region-balanced RMSE. Supersampling and the filters are emulated exactly;
// multisampling's edge pixels whose centre misses a blade take that blade's texture at the
// sample rather than at the centre, which puts llvmpipe's own msaa-4 at 5.8 (820 x 600),
// 9.8 (240 x 180) and 11.1 (160 x 120) from its emulation: the smaller the picture, the
// finer the texture under each pixel. A coarser framebuffer adds half its step (see judge).
constexpr double kFitLevels = 15.0;
// A filter touches most pixels beside an edge, samples inside the pixel almost none; a
// blade corner or a sliver the reference barely covers accounts for a few percent.
constexpr double kSpillShare = 0.1;

// Share of the spill band's pixels that differ from the one-sample frame by more than
// `tolerance` levels in some channel.
double spillShare(const Image& picture, const Image& oneSample, const Bands& bands, double tolerance);

}  // namespace measure
