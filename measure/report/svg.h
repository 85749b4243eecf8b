// The report's drawings as SVG: the document's frame, and one plot frame (a box, tick labels,
// axis titles) that maps data to pixels, which the error, level-of-detail and blend plots
// draw inside. Figures are finite here: a plot's range is drawn from them.
#pragma once

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace measure {

// An SVG document of that size on white, in the report's font; close it with kSvgEnd.
std::string svgStart(int width, int height);
inline constexpr char kSvgEnd[] = "</svg>\n";

// A labelled tick: its place in data units and its text.
using Tick = std::pair<double, std::string>;

class PlotFrame {
public:
    // 480 x 300 pixels, the data's range x0..x1 by y0..y1; y beyond its range is clamped.
    PlotFrame(double x0, double x1, double y0, double y1) : x0_(x0), x1_(x1), y0_(y0), y1_(y1) {}
    double px(double x) const;
    double py(double y) const;
    // The document's start, the box, the ticks and the axes' titles; the marks follow in
    // body(), and text() closes the document.
    void frame(const std::vector<Tick>& xTicks, const std::vector<Tick>& yTicks, const std::string& xTitle,
               const std::string& yTitle);
    std::ostringstream& body() { return s_; }
    std::string text() { return s_.str() + kSvgEnd; }

    static constexpr int kWidth = 480, kHeight = 300, kLeft = 56, kBottom = 40, kTop = 16, kRight = 16;

private:
    double x0_, x1_, y0_, y1_;
    std::ostringstream s_;
};

}  // namespace measure
