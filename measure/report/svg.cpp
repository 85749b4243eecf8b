// One frame for every plot, so that the report's plots share their size, margins and type.
#include "measure/report/svg.h"

#include <algorithm>

namespace measure {

std::string svgStart(int width, int height) {
    return "<svg xmlns='http://www.w3.org/2000/svg' width='" + std::to_string(width) + "' height='" +
           std::to_string(height) +
           "' font-family='sans-serif' font-size='11'>\n<rect width='100%' height='100%' fill='white'/>\n";
}

double PlotFrame::px(double x) const { return kLeft + (kWidth - kLeft - kRight) * (x - x0_) / (x1_ - x0_); }

double PlotFrame::py(double y) const {
    return kTop + (kHeight - kTop - kBottom) * (1 - (std::clamp(y, y0_, y1_) - y0_) / (y1_ - y0_));
}

void PlotFrame::frame(const std::vector<Tick>& xTicks, const std::vector<Tick>& yTicks, const std::string& xTitle,
                      const std::string& yTitle) {
    const int w = kWidth, h = kHeight;
    s_ << svgStart(w, h);
    s_ << "<rect x='" << kLeft << "' y='" << kTop << "' width='" << w - kLeft - kRight << "' height='"
       << h - kTop - kBottom << "' fill='none' stroke='black'/>\n";
    for (const auto& [x, label] : xTicks)
        s_ << "<text x='" << px(x) << "' y='" << h - kBottom + 14 << "' text-anchor='middle'>" << label << "</text>\n";
    for (const auto& [y, label] : yTicks)
        s_ << "<text x='" << kLeft - 6 << "' y='" << py(y) + 4 << "' text-anchor='end'>" << label << "</text>\n";
    s_ << "<text x='" << (kLeft + w - kRight) / 2 << "' y='" << h - 6 << "' text-anchor='middle'>" << xTitle
       << "</text>\n<text x='12' y='" << (kTop + h - kBottom) / 2 << "' transform='rotate(-90 12 "
       << (kTop + h - kBottom) / 2 << ")' text-anchor='middle'>" << yTitle << "</text>\n";
}

}  // namespace measure
