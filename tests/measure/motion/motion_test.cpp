// Motion: the temporal error against a moving edge whose answer is known in closed form, the
// blade sectors and flicker on hand-made frames, the animated PNG decoded frame by frame, and
// the shimmer the tool measures on each of Mesa's three drivers.
#include "measure/report/png.h"
#include "measure/motion/drift.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace measure;

constexpr double kPi = 3.14159265358979323846;

// A 3 x 2 picture of a vertical edge: pixel 0 covered, pixel 2 not, the edge crossing pixel
// 1 at `x` (0 to 1) of its width. `samples` evenly spaced samples, or the exact area when 0.
void edgeFrame(double x, int samples, int contrast, Image* sampled, FloatImage* exact) {
    const double covered[3] = {1.0, 0.0, 0.0};
    for (int row = 0; row < 2; ++row)
        for (int p = 0; p < 3; ++p) {
            double c = covered[p];
            if (p == 1 && samples > 0) {
                int in = 0;
                for (int i = 0; i < samples; ++i) in += (i + 0.5) / samples < x;
                c = (double)in / samples;
            } else if (p == 1) {
                c = x;
            }
            for (int ch = 0; ch < 3; ++ch) {
                const std::size_t i = ((std::size_t)row * 3 + p) * 3 + ch;
                if (sampled) sampled->rgb[i] = (std::uint8_t)std::lround(c * contrast);
                if (exact) exact->rgb[i] = (float)(c * contrast);
            }
        }
}

// The edge at (s + 1/2) / T of the pixel at step s, s = 0 .. T - 1: the area changes by 1/T
// a step, and with T/N even each of the N samples is crossed once, between two steps,
// never on one. So N differences are 1/N and the other T - 1 - N are 0, against 1/T each:
// the squared errors sum to 1/N - 1/T - 1/T^2 over T - 1 differences.
TEST(MotionSynthetic, MovingEdgeMatchesClosedForm) {
    const int steps = 32, contrast = 240;
    for (int samples : {1, 4, 16}) {
        SCOPED_TRACE(samples);
        std::vector<std::uint8_t> classes(6, 0);
        classes[1] = classes[4] = kMotionEdge;
        classes[0] = classes[3] = kMotionInterior;
        TemporalError error(classes);
        for (int s = 0; s < steps; ++s) {
            Image frame(3, 2);
            FloatImage reference(3, 2);
            const double x = (s + 0.5) / steps;
            edgeFrame(x, samples, contrast, &frame, nullptr);
            edgeFrame(x, 0, contrast, nullptr, &reference);
            error.add(frame, reference);
        }
        const double expected =
            contrast * std::sqrt((1.0 / samples - 1.0 / steps - 1.0 / (steps * steps)) / (steps - 1));
        EXPECT_NEAR(error.rmse(kMotionEdge), expected, 1e-9);
        EXPECT_EQ(error.rmse(kMotionInterior), 0.0);
        EXPECT_EQ(error.rmse(kMotionCentre), 0.0);  // no pixel of that class
    }
}

// A mode that differs from the reference by a constant never shimmers; one that alternates
// by 10 levels on top of the reference's own change shimmers by 10 a step.
TEST(MotionSynthetic, TemporalErrorSeesChangesNotOffsets) {
    const std::vector<std::uint8_t> classes = {kMotionEdge, kMotionInterior | kMotionCentre};
    TemporalError offset(classes), alternating(classes);
    for (int s = 0; s < 5; ++s) {
        FloatImage reference(2, 1);
        Image a(2, 1), b(2, 1);
        for (std::size_t i = 0; i < a.rgb.size(); ++i) {
            reference.rgb[i] = (float)(100 + 8 * s);
            a.rgb[i] = (std::uint8_t)(140 + 8 * s);
            b.rgb[i] = (std::uint8_t)(100 + 8 * s + (i >= 3 && s % 2 ? 10 : 0));
        }
        offset.add(a, reference);
        alternating.add(b, reference);
    }
    EXPECT_EQ(offset.rmse(kMotionEdge), 0.0);
    EXPECT_EQ(offset.rmse(kMotionInterior), 0.0);
    EXPECT_EQ(alternating.rmse(kMotionEdge), 0.0);
    EXPECT_DOUBLE_EQ(alternating.rmse(kMotionInterior), 10.0);
    EXPECT_EQ(alternating.rmse(kMotionInterior), alternating.rmse(kMotionCentre));
}

// The middle of each blade falls in its own sector, with the aspect undone, one blade on
// after a turn of one blade's step, and nowhere inside or beyond the radii.
TEST(MotionSectors, BladesByAngle) {
    const int w = 400, h = 400;
    const double cx = 200, cy = 200, step = 2 * kPi / 15;
    // A turn of 24 degrees is one blade's step: counter-clockwise on the screen, it brings
    // the next blade where the last one was. Sector borders lie mid-gap, 12.0 degrees from
    // a blade's middle: 11 degrees keeps the blade, 13 passes to the next.
    const struct {
        double aspect, rotation;
        int next;
    } cases[] = {{1.0, 0.0, 0},   {1.5, 0.0, 0},  {0.7, 24.0, 1}, {1.0, -48.0, -2},
                 {1.0, 360.0, 0}, {1.2, 11.0, 0}, {1.2, 13.0, 1}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> sectors = bladeSectors(w, h, cx, cy, c.aspect, c.rotation, 20, 150);
        for (int k = 0; k < 15; ++k) {
            // A point 100 units out, in the blade's middle, before the rotation.
            const double a = k * step + 0.15, r = 100;
            const double x = cx + r * std::sin(a) * c.aspect, y = cy - r * std::cos(a);
            const int expected = ((k + c.next) % 15 + 15) % 15;
            EXPECT_EQ(sectors[(std::size_t)y * w + (std::size_t)x], expected)
                << "blade " << k << " aspect " << c.aspect << " rotation " << c.rotation;
        }
        EXPECT_EQ(sectors[(std::size_t)cy * w + (std::size_t)(cx + 10)], 255);  // inside the inner radius
        EXPECT_EQ(sectors[(std::size_t)5 * w + 5], 255);                        // beyond the outer one
    }
}

// Flicker is the spread of each blade's total against the reference's, relative to its brightness.
TEST(MotionSynthetic, BladeFlickerFromTotals) {
    const std::vector<std::uint8_t> sectors = {0, 0, 1, 1, 255};
    BladeFlicker flicker(2);
    FloatImage reference(5, 1);
    for (float& v : reference.rgb) v = 50;
    for (int s = 0; s < 4; ++s) {
        Image frame(5, 1);
        for (std::size_t p = 0; p < 5; ++p)
            for (int c = 0; c < 3; ++c)
                // Blade 0 is 10 brighter in total on odd steps; blade 1 always 6 brighter; the
                // uncounted pixel changes wildly.
                frame.rgb[p * 3 + c] =
                    (std::uint8_t)(50 + (p == 0 && s % 2 ? 10 : 0) + (p >= 2 && p < 4 ? 3 : 0) + (p == 4 ? s * 40 : 0));
        flicker.add(frame, reference, sectors);
    }
    // Blade 0: totals 0, 10, 0, 10: standard deviation 5, 5 % of 100; blade 1: none.
    EXPECT_NEAR(flicker.percent({100, 100}), std::sqrt((25.0 + 0.0) / 2), 1e-9);
    EXPECT_NEAR(flicker.percent({100, 0}), 5.0, 1e-9);  // a blade without brightness is left out
}

// ---- The animated PNG --------------------------------------------------------------

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t)p[0] << 24 | (std::uint32_t)p[1] << 16 | (std::uint32_t)p[2] << 8 | p[3];
}

struct Chunk {
    std::string type;
    std::vector<std::uint8_t> data;
};

// The file's chunks, each CRC checked.
std::vector<Chunk> chunks(const std::vector<std::uint8_t>& png) {
    std::vector<Chunk> out;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t n = be32(&png[at]);
        Chunk c{std::string(png.begin() + at + 4, png.begin() + at + 8),
                std::vector<std::uint8_t>(png.begin() + at + 8, png.begin() + at + 8 + n)};
        EXPECT_EQ(be32(&png[at + 8 + n]), pngCrc(&png[at + 4], n + 4)) << c.type;
        out.push_back(c);
        at += 12 + n;
    }
    return out;
}

// One frame as a still PNG: the header, that frame's image data, the end.
std::vector<std::uint8_t> stillPng(const Chunk& header, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put = [&](const char* type, const std::vector<std::uint8_t>& body) {
        for (int s = 24; s >= 0; s -= 8) png.push_back((std::uint8_t)(body.size() >> s));
        const std::size_t start = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), body.begin(), body.end());
        const std::uint32_t crc = pngCrc(&png[start], png.size() - start);
        for (int s = 24; s >= 0; s -= 8) png.push_back((std::uint8_t)(crc >> s));
    };
    put("IHDR", header.data);
    put("IDAT", data);
    put("IEND", {});
    return png;
}

TEST(Apng, EveryFrameDecodesToItsImage) {
    EXPECT_EQ(pngCrc(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0xCBF43926u);  // the CRC's check value
    std::vector<Image> frames;
    for (int f = 0; f < 3; ++f) {
        Image image(7, 5);
        for (std::size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = (std::uint8_t)(i * 13 + f * 71);
        frames.push_back(image);
    }
    const std::vector<std::uint8_t> file = encodeApng(frames, 125);
    ASSERT_GT(file.size(), 8u);
    const std::vector<Chunk> list = chunks(file);
    std::vector<std::string> types;
    for (const Chunk& c : list) types.push_back(c.type);
    EXPECT_EQ(types,
              (std::vector<std::string>{"IHDR", "acTL", "fcTL", "IDAT", "fcTL", "fdAT", "fcTL", "fdAT", "IEND"}));
    EXPECT_EQ(be32(&list[1].data[0]), 3u);  // frames
    EXPECT_EQ(be32(&list[1].data[4]), 0u);  // plays forever
    // Sequence numbers run through fcTL and fdAT alike; each frame is whole and 125 ms long.
    std::uint32_t sequence = 0;
    int frame = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Chunk& c = list[i];
        if (c.type == "fcTL") {
            EXPECT_EQ(be32(&c.data[0]), sequence++);
            EXPECT_EQ(be32(&c.data[4]), 7u);
            EXPECT_EQ(be32(&c.data[8]), 5u);
            EXPECT_EQ(c.data[20] << 8 | c.data[21], 125);
            EXPECT_EQ(c.data[22] << 8 | c.data[23], 1000);
        } else if (c.type == "IDAT" || c.type == "fdAT") {
            std::vector<std::uint8_t> data = c.data;
            if (c.type == "fdAT") {
                EXPECT_EQ(be32(&c.data[0]), sequence++);
                data.erase(data.begin(), data.begin() + 4);
            }
            const std::vector<std::uint8_t> png = stillPng(list[0], data);
            const Image still = decodePng(png);
            ASSERT_EQ(still.pixels(), frames[frame].pixels()) << "frame " << frame;
            EXPECT_EQ(still.rgb, frames[frame].rgb) << "frame " << frame;
            ++frame;
        }
    }
    EXPECT_EQ(frame, 3);
    EXPECT_TRUE(encodeApng({}, 125).empty());
    EXPECT_TRUE(encodeApng({Image(2, 2), Image(3, 2)}, 125).empty());
}

// ---- The tool on Mesa's drivers ------------------------------------------------------

struct Driver {
    const char* name;
    const char* environment;
    bool multisampling;
    bool anisotropyDegreeIgnored;
};

// Test names and messages show the driver's name.
void PrintTo(const Driver& d, std::ostream* os) { *os << d.name; }

class MeasuredMotion : public ::testing::TestWithParam<Driver> {};

// One small run with the drift per driver, its results.json read back.
TEST_P(MeasuredMotion, ShimmerOrdering) {
    const Driver& d = GetParam();
    const std::string dir = std::string(QUILL_MEASURE_OUT) + "-motion-" + d.name;
    std::filesystem::remove_all(dir);
    const std::string command = std::string(d.environment) + " " + QUILL_MEASURE_EXE +
                                " --headless --size 160x120 --reference-k 4 --motion --motion-steps 6 --motion-k 6"
                                " --out " +
                                dir + " > " + dir + ".log 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(dir + "/results.json");
    ASSERT_TRUE(status == 0 && in) << "the tool failed (" << status << "); see " << dir << ".log";
    nlohmann::json run;
    in >> run;
    if (run["renderer"].get<std::string>().find(d.name) == std::string::npos)
        GTEST_SKIP() << d.name << " is not available here: " << run["renderer"];
    const std::string validate = "/usr/bin/python3 " QUILL_MEASURE_CHECKS " schema " + dir + "/results.json";
    EXPECT_EQ(std::system(validate.c_str()), 0) << "results.json does not match docs/results.schema.json";
    ASSERT_TRUE(run.contains("motion"));
    const nlohmann::json& motion = run["motion"];
    EXPECT_EQ(motion["steps"], 6);
    auto mode = [&](const std::string& name) -> const nlohmann::json& {
        for (const auto& m : motion["modes"])
            if (m["name"] == name) return m;
        static const nlohmann::json missing;
        ADD_FAILURE() << "no motion figures for " << name;
        return missing;
    };
    auto figure = [&](const std::string& name, const char* key) { return mode(name)[key].get<double>(); };

    // Edges: one sample > multisampling > 4 x 4 supersampling > the reference (0 against itself).
    const double one = figure("msaa-0", "edge_temporal_rmse");
    if (d.multisampling) {
        EXPECT_GT(one, figure("msaa-4", "edge_temporal_rmse"));
        EXPECT_GT(figure("msaa-4", "edge_temporal_rmse"), figure("ssaa-4x4", "edge_temporal_rmse"));
        // Multisampling textures once per pixel: its interiors shimmer as one sample's.
        EXPECT_NEAR(figure("msaa-4", "interior_temporal_rmse"), figure("msaa-0", "interior_temporal_rmse"), 0.5);
    }
    EXPECT_GT(one, figure("ssaa-4x4", "edge_temporal_rmse"));
    EXPECT_GT(figure("ssaa-4x4", "edge_temporal_rmse"), 0.0);
    EXPECT_GT(figure("msaa-0", "blade_flicker_percent"), figure("ssaa-4x4", "blade_flicker_percent"));
    // The minified centre: nearest sampling shimmers more than the program's GL_LINEAR.
    EXPECT_GT(figure("filter-nearest", "centre_interior_temporal_rmse"),
              figure("filter-linear", "centre_interior_temporal_rmse"));
    // Identical modes give identical figures.
    for (const char* key :
         {"edge_temporal_rmse", "interior_temporal_rmse", "centre_interior_temporal_rmse", "blade_flicker_percent"}) {
        EXPECT_EQ(figure("msaa-0", key), figure("filter-linear", key)) << key;
        if (d.anisotropyDegreeIgnored) {
            EXPECT_EQ(figure("filter-aniso-4", key), figure("filter-aniso-16", key)) << key;
        }
    }
    // The sentence names multisampling only where samples were granted (softpipe grants a
    // request for 1 a one-sample buffer).
    const std::string summary = run["summary"];
    EXPECT_NE(summary.find("cuts edge shimmer to"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("-sample MSAA") != std::string::npos, d.multisampling) << summary;
    EXPECT_GT(motion["pixels"]["centre_interior"].get<int>(), 0);
}

// Under the sanitizers, zink's Vulkan driver is unloaded before the leak check and leaves
// 240 bytes it cannot name or suppress; the same code is leak-checked on the other two.
INSTANTIATE_TEST_SUITE_P(
    Drivers, MeasuredMotion,
    ::testing::Values(Driver{"llvmpipe", "", true, true},
                      Driver{"softpipe", "LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=softpipe", false, false},
                      Driver{"zink", "LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=zink LSAN_OPTIONS=detect_leaks=0", true,
                             true}),
    [](const ::testing::TestParamInfo<Driver>& info) { return std::string(info.param.name); });

}  // namespace
