// The measuring tool's image arithmetic: accumulation of sub-pixel renders, sRGB, the
// scores against a reference (RMSE, PSNR, SSIM) and the count of coverage levels.
#pragma once

#include <cstdint>
#include <vector>

namespace measure {

// 8-bit RGB, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb((std::size_t)w * h * 3, 0) {}
    std::size_t pixels() const { return (std::size_t)width * height; }
};

// Per-pixel class in the reference's coverage: background, blade edge (partly covered) or interior.
enum class Region : std::uint8_t { Outside, Edge, Interior };

// Sums of renders, both of the stored values and of the values decoded to linear light.
class Accumulator {
public:
    // Only a reference needs the linear-light sums; they cost as much again to keep.
    enum class Sums { Stored, StoredAndLinear };
    Accumulator(int width, int height, Sums sums = Sums::Stored);
    void add(const Image& image);
    int count() const { return count_; }
    Image meanStored() const;
    Image meanLinear() const;  // averaged in linear light, encoded back to sRGB; needs StoredAndLinear
    // Each pixel's class from coverage renders (blades black on white); green channel.
    std::vector<Region> regions() const;

private:
    int width_;
    int height_;
    int count_ = 0;
    std::vector<std::uint32_t> stored_;
    std::vector<float> linear_;  // empty without StoredAndLinear
};

double srgbToLinear(std::uint8_t value);
std::uint8_t linearToSrgb(double linear);

// Root mean square difference over the three channels of the pixels where `mask` is
// true (every pixel without a mask); 0 when no pixel counts.
double rmse(const Image& a, const Image& b, const std::vector<bool>* mask = nullptr);
// PSNR in dB for 8-bit data; infinity for identical images.
double psnr(double rmse);
// Mean SSIM of the three channels (Gaussian window sigma 1.5, radius 5, data range 255,
// mirrored borders, a 5-pixel border left out of the mean).
double ssim(const Image& a, const Image& b);

// One side of SSIM blurred once, for many images compared with the same reference.
struct SsimReference {
    const Image* image = nullptr;
    std::vector<double> mean[3], meanSquare[3];  // per channel
};
SsimReference prepareSsim(const Image& b);
// ssim(a, b) with b prepared; `b.image` must outlive the call.
double ssim(const Image& a, const SsimReference& b);

// Distinct coverage levels (green channel values) on the given pixels, leaving out values
// seen too rarely to be a level. Returns the levels, ascending.
std::vector<int> coverageLevels(const Image& coverage, const std::vector<bool>& pixels);

// N samples give N + 1 coverage levels, 0 and full among them. Edge pixels are partly
// covered in the reference, so a mode with the reference's own samples never shows the
// two ends there: the count is the intermediate levels plus one.
int effectiveSamples(const std::vector<int>& levels);

// The difference heat map: black where equal, through red to yellow at 64 or more.
Image heatMap(const Image& a, const Image& b);

}  // namespace measure
