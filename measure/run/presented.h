// The picture quillmere really shows: the program started beside the tool, its window
// captured after presentation and set against the tool's own back-buffer capture; and the
// window's pixel format (channel bits, colour encoding, samples asked for and granted).
#pragma once

#include "measure/core/metrics.h"

#include <cstdint>
#include <string>
#include <vector>

namespace measure {

struct Session;

// Where the requested sample count comes from: QUILLMERE_SAMPLES as the program reads it.
enum class SamplesRequest : std::uint8_t {
    NotRead,  // the build's platform layer reads no such variable
    NotSet,
    Invalid,  // set, but no count from 1 to 32: the program ignores it
    Set,
};

// The window's default framebuffer as the context reports it.
struct WindowFormat {
    bool read = false;
    int bits[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    std::string encoding;        // linear, sRGB or linear/unknown
    bool srgbWrites = false;     // GL_FRAMEBUFFER_SRGB on: writes and blends encode to sRGB
    int sampleBuffers = 0;
    int samples = 0;
    int requested = 0;  // QUILLMERE_SAMPLES where the program reads it
    SamplesRequest request = SamplesRequest::NotSet;
    std::string requestText;  // the variable's value, where it is set
};

// The current context's window format; its default framebuffer must be bound.
WindowFormat readWindowFormat();
// The count QUILLMERE_SAMPLES asks for under the Linux layer's rules (1 to 32, else 0),
// how it was read and the variable's value.
int samplesVariable(SamplesRequest& request, std::string& text);

struct Presented {
    bool attempted = false;
    bool captured = false;
    std::string program;
    std::string reason;  // why it was not captured
    std::string method;
    std::string closed;  // how the program ended
    Image image;
    int displayBits[3] = {8, 8, 8};
    double seconds = 0;  // start to a stable picture
    int grabs = 0;
    // Against the back buffer, both cut to the coarser of the two channel depths.
    bool compared = false;
    int backWidth = 0,
        backHeight = 0;  // the back buffer's size, which a presented picture of another is not compared with
    int compareBits[3] = {8, 8, 8};
    int tolerance = 0;  // in compared levels
    std::size_t differing = 0;
    int maxDifference = 0;
    double rmse = 0;
    // Against the reference, as the captures are scored.
    bool scored = false;
    double referenceRmse = 0, edgeRmse = 0;
};

// The program the tool measures: its own folder first, then the folder above it (the
// build tree); empty when neither has it.
std::string findProgram();
// Starts `program`, sizes its client area to width x height, waits for a stable picture,
// captures it and closes the program.
Presented capturePresented(const std::string& program, int width, int height);
// Sets the presented picture against the back buffer of the same size; `cornerOfLarger`
// where that was drawn in the corner of a larger window.
void comparePresented(Presented& p, const Image& backBuffer, const WindowFormat& format, bool cornerOfLarger);
// Scores the presented picture against the reference.
void scorePresented(Presented& p, const Image& reference, const std::vector<bool>& edge);

// The capture mode, after the window's own: quillmere (`program`, or the one found beside
// the tool) presented at the measured size and set against the window capture;
// `cornerOfLarger` where that capture is the corner of a larger back buffer.
void capturePresentedWindow(Session& s, const std::string& program, bool cornerOfLarger);

}  // namespace measure
