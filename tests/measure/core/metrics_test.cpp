// quillmere-measure: its image arithmetic on hand-made images, and what it measures of
// the real frame on Mesa's llvmpipe (one small run of the tool, its results.json read back).
#include "measure/core/metrics.h"

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
    Accumulator sum(1, 1, Accumulator::Sums::StoredAndLinear);
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

// One small run of the tool, its results.json read back. Every fact below is llvmpipe's.
TEST(Measured, LlvmpipeFacts) {
    std::string dir = QUILL_MEASURE_OUT;
    std::filesystem::remove_all(dir);
    std::string command =
        std::string(QUILL_MEASURE_EXE) + " --size 240x180 --reference-k 8 --out " + dir + " > " + dir + ".log 2>&1";
    int status = std::system(command.c_str());
    std::ifstream in(dir + "/results.json");
    ASSERT_TRUE(status == 0 && in) << "the tool failed (" << status << "); see " << dir << ".log";
    nlohmann::json run;
    in >> run;
    // The file as the published schema describes it.
    std::string validate = "/usr/bin/python3 " QUILL_MEASURE_CHECKS " schema " + dir + "/results.json";
    EXPECT_EQ(std::system(validate.c_str()), 0) << "results.json does not match docs/results.schema.json";
    if (run["renderer"].get<std::string>().find("llvmpipe") == std::string::npos)
        GTEST_SKIP() << "these facts are llvmpipe's, not " << run["renderer"];
    auto capture = [&](const std::string& name) -> const nlohmann::json& {
        for (const auto& c : run["captures"])
            if (c["name"] == name) return c;
        static const nlohmann::json missing;
        ADD_FAILURE() << "no capture " << name;
        return missing;
    };
    auto named = [&](const std::string& name) {
        for (const auto& c : run["captures"])
            if (c["name"] == name) return true;
        return false;
    };

    {
        SCOPED_TRACE("sample counts");
        const struct {
            const char* name;
            int requested, granted, effective;
        } cases[] = {{"msaa-0", 0, 0, 1},   {"msaa-4", 4, 4, 4},      {"ssaa-2x2", 4, 4, 4},
                     {"ssaa-3x3", 9, 9, 9}, {"ssaa-4x4", 16, 16, 16}, {"filter-trilinear", 0, 0, 1}};
        for (const auto& c : cases) {
            EXPECT_EQ(capture(c.name)["requested"], c.requested) << c.name;
            EXPECT_EQ(capture(c.name)["granted"], c.granted) << c.name;
            EXPECT_EQ(capture(c.name)["effective_samples"], c.effective) << c.name;
        }
        // 4 is llvmpipe's only count: a request for 1 or 2 is granted 4 and left out.
        EXPECT_FALSE(named("msaa-1"));
        EXPECT_FALSE(named("msaa-2"));
        EXPECT_EQ(run["sample_positions"]["4"].size(), 4u);
    }
    if (run["window"]["available"]) {
        SCOPED_TRACE("the window without the override");
        EXPECT_EQ(capture("window")["effective_samples"], 1);
        EXPECT_EQ(run["window"]["samples"], 0);
        EXPECT_NE(run["window"]["verdict"].get<std::string>().find("no anti-aliasing"), std::string::npos);
    }
    {
        SCOPED_TRACE("edge error falls with samples");
        EXPECT_GT(capture("msaa-0")["edge_rmse"].get<double>(), capture("msaa-4")["edge_rmse"].get<double>());
        EXPECT_GT(capture("msaa-4")["edge_rmse"].get<double>(), capture("ssaa-4x4")["edge_rmse"].get<double>());
        // Multisampling textures once per pixel, so interiors keep the one-sample error.
        EXPECT_NEAR(capture("msaa-4")["interior_rmse"].get<double>(), capture("msaa-0")["interior_rmse"].get<double>(),
                    0.5);
    }
    {
        SCOPED_TRACE("filtering changes the minified centre");
        double linear = capture("filter-linear")["centre_interior_rmse"];
        EXPECT_GT(capture("filter-nearest")["centre_interior_rmse"].get<double>(), linear);
        EXPECT_NE(capture("filter-trilinear")["centre_interior_rmse"].get<double>(), linear);
        // The blades squeeze the texture about 3:1 across and not along, so one isotropic
        // mipmap level blurs along them too; anisotropic filtering follows the footprint.
        if (named("filter-aniso-16")) {
            EXPECT_LT(capture("filter-aniso-16")["centre_interior_rmse"].get<double>(), linear);
        }
    }
    {
        SCOPED_TRACE("the reference converges");
        EXPECT_LT(run["reference"]["check_rmse"].get<double>(), 2.0);
        EXPECT_GT(run["reference"]["edge_pixels"].get<int>(), 500);
        EXPECT_TRUE(run["complete"].get<bool>());
    }
}

}  // namespace
