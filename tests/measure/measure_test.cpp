// quillmere-measure: its image arithmetic on hand-made images, and what it measures of
// the real frame on Mesa's llvmpipe (one small run of the tool, its results.json read back).
#include "measure/metrics.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace measure;

Image constant(int w, int h, std::uint8_t v) {
    Image image(w, h);
    std::fill(image.rgb.begin(), image.rgb.end(), v);
    return image;
}

// Flat images have no variance, so SSIM reduces to the luminance term alone.
TEST(Ssim, FlatPairsGiveTheLuminanceTerm) {
    const double c1 = 6.5025;
    const struct { int a, b; } cases[] = {{0, 0}, {128, 128}, {0, 255}, {100, 120}, {255, 250}};
    for (const auto& c : cases) {
        double expected = (2.0 * c.a * c.b + c1) / ((double)c.a * c.a + (double)c.b * c.b + c1);
        EXPECT_NEAR(ssim(constant(20, 16, (std::uint8_t)c.a), constant(20, 16, (std::uint8_t)c.b)), expected, 1e-12)
            << c.a << " vs " << c.b;
    }
}

TEST(Ssim, IdenticalIsOneAndInverseIsFarBelow) {
    Image a(40, 30);
    for (std::size_t i = 0; i < a.rgb.size(); ++i) a.rgb[i] = (std::uint8_t)((i * 37) % 251);
    Image inverse = a;
    for (auto& v : inverse.rgb) v = (std::uint8_t)(255 - v);
    EXPECT_DOUBLE_EQ(ssim(a, a), 1.0);
    EXPECT_LT(ssim(a, inverse), 0.0);
}

TEST(Scores, RmseOverMaskAndPsnr) {
    Image a = constant(4, 1, 10), b = constant(4, 1, 10);
    b.rgb[0] = b.rgb[1] = b.rgb[2] = 40;  // pixel 0 differs by 30 in every channel
    std::vector<bool> first = {true, false, false, false}, rest = {false, true, true, true};
    EXPECT_DOUBLE_EQ(rmse(a, b, &first), 30.0);
    EXPECT_DOUBLE_EQ(rmse(a, b, &rest), 0.0);
    EXPECT_DOUBLE_EQ(rmse(a, b), 15.0);
    EXPECT_NEAR(psnr(15.0), 20 * std::log10(17.0), 1e-12);
    EXPECT_TRUE(std::isinf(psnr(0.0)));
}

TEST(Srgb, RoundTripsAndAveragesInLinearLight) {
    for (int v = 0; v < 256; ++v) EXPECT_EQ(linearToSrgb(srgbToLinear((std::uint8_t)v)), v);
    Accumulator sum(1, 1);
    sum.add(constant(1, 1, 0));
    sum.add(constant(1, 1, 255));
    EXPECT_EQ(sum.meanStored().rgb[0], 128);  // 127.5 rounds up
    EXPECT_EQ(sum.meanLinear().rgb[0], 188);  // half the light of white
}

TEST(Coverage, RegionsFromSummedRenders) {
    Accumulator sum(3, 1);
    Image a(3, 1), b(3, 1);
    const std::uint8_t first[] = {255, 0, 0}, second[] = {255, 255, 0};
    for (int p = 0; p < 3; ++p)
        for (int c = 0; c < 3; ++c) {
            a.rgb[p * 3 + c] = first[p];
            b.rgb[p * 3 + c] = second[p];
        }
    sum.add(a);
    sum.add(b);
    std::vector<Region> regions = sum.regions();
    EXPECT_EQ(regions[0], Region::Outside);
    EXPECT_EQ(regions[1], Region::Edge);
    EXPECT_EQ(regions[2], Region::Interior);
}

// Edge pixels holding the given values, `times` each, plus a few strays.
TEST(Coverage, LevelsIgnoreRareValuesAndEnds) {
    const struct {
        std::vector<int> levels;
        int times;
        std::vector<int> strays;
        int effective;
    } cases[] = {
        {{0, 255}, 500, {128, 128}, 1},          // no AA with a stray blend at a corner
        {{0, 64, 128, 191, 255}, 400, {63}, 4},  // 4 samples, one rounding neighbour
        {{16, 32, 48, 64, 80, 96, 112, 128, 143, 159, 175, 191, 207, 223, 239}, 300, {1, 2}, 16},
        {{85, 170}, 800, {}, 3},  // 3 samples, never fully in or out
    };
    for (const auto& c : cases) {
        std::size_t n = c.levels.size() * c.times + c.strays.size();
        Image image((int)n, 1);
        std::size_t p = 0;
        for (int v : c.levels)
            for (int i = 0; i < c.times; ++i, ++p) image.rgb[p * 3 + 1] = (std::uint8_t)v;
        for (int v : c.strays) image.rgb[p++ * 3 + 1] = (std::uint8_t)v;
        std::vector<int> found = coverageLevels(image, std::vector<bool>(n, true));
        EXPECT_EQ(found, c.levels);
        EXPECT_EQ(effectiveSamples(found), c.effective);
    }
}

// ---- The tool on the real frame ------------------------------------------------------

nlohmann::json gRun;
std::string gRunError;

const nlohmann::json* captureNamed(const std::string& name) {
    for (const auto& c : gRun["captures"])
        if (c["name"] == name) return &c;
    return nullptr;
}

class Measured : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!gRun.is_null() || !gRunError.empty()) return;
        std::string dir = (std::filesystem::temp_directory_path() / "quillmere-measure-test").string();
        std::filesystem::remove_all(dir);
        std::string command =
            std::string(QUILL_MEASURE_EXE) + " --size 240x180 --reference-k 8 --out " + dir + " > " + dir + ".log 2>&1";
        int status = std::system(command.c_str());
        std::ifstream in(dir + "/results.json");
        if (status != 0 || !in) {
            gRunError = "the tool failed (" + std::to_string(status) + "); see " + dir + ".log";
            return;
        }
        in >> gRun;
    }
    void SetUp() override { ASSERT_TRUE(gRunError.empty()) << gRunError; }
};

TEST_F(Measured, SampleCountsOnLlvmpipe) {
    ASSERT_NE(gRun["renderer"].get<std::string>().find("llvmpipe"), std::string::npos) << "these facts are llvmpipe's";
    const struct {
        const char* name;
        int requested, granted, effective;
    } cases[] = {{"msaa-0", 0, 0, 1},   {"msaa-4", 4, 4, 4},      {"ssaa-2x2", 4, 4, 4},
                 {"ssaa-3x3", 9, 9, 9}, {"ssaa-4x4", 16, 16, 16}, {"filter-trilinear", 0, 0, 1}};
    for (const auto& c : cases) {
        const nlohmann::json* capture = captureNamed(c.name);
        ASSERT_NE(capture, nullptr) << c.name;
        EXPECT_EQ((*capture)["requested"], c.requested) << c.name;
        EXPECT_EQ((*capture)["granted"], c.granted) << c.name;
        EXPECT_EQ((*capture)["effective_samples"], c.effective) << c.name;
    }
    // 4 is llvmpipe's only count: a request for 1 or 2 is granted 4 and left out.
    EXPECT_EQ(captureNamed("msaa-1"), nullptr);
    EXPECT_EQ(captureNamed("msaa-2"), nullptr);
    EXPECT_EQ(gRun["sample_positions"]["4"].size(), 4u);
}

TEST_F(Measured, WindowHasOneSampleWithoutTheOverride) {
    if (!gRun["window"]["available"]) GTEST_SKIP() << "no display: " << gRun["window"]["reason"];
    const nlohmann::json* window = captureNamed("window");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ((*window)["effective_samples"], 1);
    EXPECT_EQ(gRun["window"]["samples"], 0);
    EXPECT_NE(gRun["window"]["verdict"].get<std::string>().find("no anti-aliasing"), std::string::npos);
}

TEST_F(Measured, EdgeErrorFallsWithSamples) {
    double none = (*captureNamed("msaa-0"))["edge_rmse"], msaa = (*captureNamed("msaa-4"))["edge_rmse"],
           ssaa = (*captureNamed("ssaa-4x4"))["edge_rmse"];
    EXPECT_GT(none, msaa);
    EXPECT_GT(msaa, ssaa);
    // Multisampling textures once per pixel, so interiors keep the one-sample error.
    EXPECT_NEAR((*captureNamed("msaa-4"))["interior_rmse"].get<double>(),
                (*captureNamed("msaa-0"))["interior_rmse"].get<double>(), 0.5);
}

TEST_F(Measured, FilteringChangesTheMinifiedCentre) {
    double linear = (*captureNamed("filter-linear"))["centre_interior_rmse"];
    double trilinear = (*captureNamed("filter-trilinear"))["centre_interior_rmse"];
    double nearest = (*captureNamed("filter-nearest"))["centre_interior_rmse"];
    EXPECT_GT(nearest, linear);
    EXPECT_NE(trilinear, linear);
    // The blades squeeze the texture about 3:1 across and not along, so one isotropic
    // mipmap level blurs along them too; anisotropic filtering follows the footprint.
    if (const nlohmann::json* aniso = captureNamed("filter-aniso-16")) {
        EXPECT_LT((*aniso)["centre_interior_rmse"].get<double>(), linear);
    }
}

TEST_F(Measured, ReferenceConverges) {
    EXPECT_LT(gRun["reference"]["check_rmse"].get<double>(), 2.0);
    EXPECT_GT(gRun["reference"]["edge_pixels"].get<int>(), 500);
    EXPECT_TRUE(gRun["complete"].get<bool>());
}

}  // namespace
