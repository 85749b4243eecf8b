// The candidates a picture is judged against, emulated from the tool's own one-sample
// renders at chosen sub-pixel positions: multisampling, supersampling, the two combined,
// and post-process filters over the one-sample frame. Multisampling's texture is taken at
// the pixel's centre, not at the sample, so an emulation is exact for supersampling and the
// filters and near for multisampling (kFitLevels says how near). The renders come from a
// function: the scene behind the tool, a rasteriser in the tests.
#pragma once

#include "measure/aa/verdict.h"

#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace measure {

// One frame with the scene moved by (dx, dy) pixels (y up, as OpenGL counts); `coverage`
// draws the blades black on white. Scene::render behind the tool, a rasteriser in tests.
using ShiftedRender = std::function<Image(double dx, double dy, bool coverage)>;

// Sample positions in a pixel, (x, y) from its lower-left corner, as GL_SAMPLE_POSITION.
using Pattern = std::vector<std::pair<double, double>>;

// The renders a set of candidates needs, each made once.
class Emulator {
public:
    explicit Emulator(ShiftedRender render) : render_(std::move(render)) {}
    // The scene sampled at (x, y) of every pixel: its colour, or its coverage pass.
    const Image& at(double x, double y, bool coverage);
    int renders() const { return (int)cache_.size(); }

    // Coverage at the pattern's positions, the texture once at the pixel's centre; the
    // samples averaged in stored values and in linear light. `cell` shrinks the pattern into
    // a sub-pixel cell of that side whose centre is (cx, cy), for the combined mode.
    std::pair<Image, Image> multisample(const Pattern& pattern, double cx = 0.5, double cy = 0.5, double cell = 1.0);
    // Everything at the pattern's positions, averaged in stored values and in linear light.
    std::pair<Image, Image> supersample(const Pattern& pattern);
    // Multisampling with the pattern in each cell of a 2 x 2 grid, the cells averaged.
    Image multisampleSupersample(const Pattern& pattern);

private:
    ShiftedRender render_;
    std::map<std::tuple<double, double, bool>, Image> cache_;
};

// A box filter of side 2 or 3 over the image (a 2 x 2 box is anchored at the pixel and the
// neighbours to its right and below when `dx`, `dy` are 0, one pixel further back when 1),
// and the 3 x 3 tent (1 2 1 by 1 2 1, over 16); borders repeat the edge pixel.
Image boxFilter(const Image& image, int side, int dx = 0, int dy = 0);
Image tentFilter(const Image& image);

// Every candidate: no AA, and for each pattern multisampling (both resolves),
// supersampling (both resolves) and the two combined; a 2 x 2 ordered grid of
// supersampling; the box and tent filters over the one-sample frame.
// Where given, `labels[i]` names where patterns[i] was measured, in the candidates' names.
std::vector<Candidate> candidates(Emulator& emulator, const std::vector<Pattern>& patterns,
                                  const std::vector<std::string>& labels = {});

// The K x K ordered grid the tool's own ssaa-KxK uses.
Pattern orderedGrid(int k);

}  // namespace measure
