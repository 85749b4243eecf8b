// Calls one entry of each model, so that a model calling OpenGL fails to link here.
#include "measure/aa/candidates.h"
#include "measure/aa/sample_positions.h"
#include "measure/core/crop.h"
#include "measure/filtering/coded_lod.h"
#include "measure/filtering/rules.h"
#include "measure/motion/figures.h"

int main() {
    using namespace measure;
    const Image a(8, 8), b(8, 8);
    const double ends[4] = {0, 0, 7, 7};
    const double sum = rmse(a, b) + crop(a, 4, 4, 4, 2).width + boxFilter(a, 2).width +
                       samePoints({0.5f, 0.5f}, {0.5f, 0.5f}, 0.01) + lodOf({1, 0, 0, 1}).exact + mipLevels(4) +
                       profileLine(a, ends, 4).width;
    return sum > 0 ? 0 : 1;
}
