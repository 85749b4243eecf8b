// Prints the measuring tool's SSIM of two binary PPM (P6) images, for the comparison with
// scikit-image in ssim_check.py.
#include "measure/core/metrics.h"

#include <cstdio>
#include <fstream>

namespace {

// Reads a P6 file with maxval 255; false if it is anything else.
bool readPpm(const char* path, measure::Image& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    in >> magic >> w >> h >> maxval;
    if (!in || magic != "P6" || maxval != 255 || w <= 0 || h <= 0) return false;
    in.get();
    image = measure::Image(w, h);
    in.read(reinterpret_cast<char*>(image.rgb.data()), (std::streamsize)image.rgb.size());
    return (bool)in;
}

}  // namespace

int main(int argc, char** argv) {
    measure::Image a, b;
    if (argc != 3 || !readPpm(argv[1], a) || !readPpm(argv[2], b) || a.width != b.width || a.height != b.height) {
        std::fprintf(stderr, "usage: measure_ssim A.ppm B.ppm (same size, P6, maxval 255)\n");
        return 2;
    }
    std::printf("%.10f\n", measure::ssim(a, b));
    return 0;
}
