// Square crops of a picture, magnified by whole pixels: the report's close-ups and motion's
// animated ones.
#pragma once

#include "measure/core/metrics.h"

namespace measure {

// The side, in picture pixels, of every crop the report and the drift show.
constexpr int kCropSide = 24;

// A square of `side` pixels around (x, y), clamped to the image, each pixel `scale` times.
Image crop(const Image& image, double x, double y, int side, int scale);

}  // namespace measure
