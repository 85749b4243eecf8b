// The presented picture set against the back buffer: only the bits both store count, and
// the one-level allowance applies only where the back buffer was the corner of a larger one.
#include "measure/gl/scene.h"
#include "measure/run/presented.h"
#include "measure/report/words.h"
#include "platform/present.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using namespace measure;

// A textured-looking 8 x 6 image, every value distinct in its low bits.
Image pattern() {
    Image image(8, 6);
    for (std::size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = (std::uint8_t)(40 + (i * 29) % 180);
    return image;
}

Presented presentedOf(const Image& image, int r, int g, int b) {
    Presented p;
    p.attempted = p.captured = true;
    p.image = image;
    p.displayBits[0] = r;
    p.displayBits[1] = g;
    p.displayBits[2] = b;
    return p;
}

TEST(PresentedCompare, CountsOnlyStoredBitsAndTheAllowance) {
    WindowFormat eight, fiveSixFive;
    for (int c = 0; c < 3; ++c) eight.bits[c] = 8;
    fiveSixFive.bits[0] = 5, fiveSixFive.bits[1] = 6, fiveSixFive.bits[2] = 5;
    const struct {
        const char* name;
        int change;      // added to one pixel's red (and green) channel
        int displayRed;  // the display's red bits
        const WindowFormat* format;
        bool corner;
        std::size_t differing;
        int compareRed;
    } cases[] = {
        {"equal", 0, 8, &eight, false, 0, 8},
        {"one level at the window's size", 1, 8, &eight, false, 1, 8},
        {"one level in a corner", 1, 8, &eight, true, 0, 8},
        {"two levels in a corner", 2, 8, &eight, true, 1, 8},
        {"below 5-6-5's bits on a 16-bit display", 0x02, 5, &eight, false, 0, 5},
        {"a whole 5-bit step on a 16-bit display", 0x08, 5, &eight, false, 1, 5},
        {"a 5-6-5 window on a 24-bit display", 0x02, 8, &fiveSixFive, false, 0, 5},
    };
    for (const auto& c : cases) {
        Image back = pattern();
        back.rgb[0] = 0x40;  // a red and green of 0x40 sit on every 5- and 6-bit step
        back.rgb[1] = 0x40;
        Image shown = back;
        shown.rgb[0] = (std::uint8_t)(back.rgb[0] + c.change);
        shown.rgb[1] = (std::uint8_t)(back.rgb[1] + c.change);
        Presented p = presentedOf(shown, c.displayRed, c.displayRed == 5 ? 6 : 8, c.displayRed);
        comparePresented(p, back, *c.format, c.corner);
        EXPECT_TRUE(p.compared) << c.name;
        EXPECT_EQ(p.differing, c.differing) << c.name;
        EXPECT_EQ(p.compareBits[0], c.compareRed) << c.name;
        EXPECT_EQ(p.maxDifference, c.change) << c.name;
    }
}

TEST(PresentedCompare, OtherSizesAreNotComparedAndTheNoteSaysWhy) {
    Presented p = presentedOf(pattern(), 8, 8, 8);
    comparePresented(p, Image(6, 8), WindowFormat{}, false);
    EXPECT_FALSE(p.compared);
    EXPECT_NE(presentedNote(p).find("6x8"), std::string::npos) << presentedNote(p);

    Presented missing;
    missing.attempted = true;
    missing.reason = "no X display";
    EXPECT_NE(presentedNote(missing).find("(no X display); the window row is the tool's own back buffer"),
              std::string::npos);
    EXPECT_EQ(presentedNote(Presented{}), "");
}

#ifndef _WIN32
// Where the program would show its window on Wayland nothing can read it, and the reason says so.
TEST(PresentUnavailable, WaylandIsNamedAndNoDisplayToo) {
    const char* saved[3] = {std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("SDL_VIDEODRIVER")};
    const std::string keep[3] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "", saved[2] ? saved[2] : ""};
    unsetenv("DISPLAY");
    setenv("WAYLAND_DISPLAY", "wayland-9", 1);
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_NE(presentUnavailable().find("Wayland"), std::string::npos) << presentUnavailable();
    setenv("DISPLAY", ":9", 1);
    setenv("SDL_VIDEODRIVER", "wayland", 1);
    EXPECT_NE(presentUnavailable().find("Wayland"), std::string::npos) << presentUnavailable();
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    EXPECT_EQ(presentUnavailable(), "no X display");
    const char* names[3] = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    for (int i = 0; i < 3; ++i)
        if (saved[i]) setenv(names[i], keep[i].c_str(), 1);
}
#endif

// The tool sizes its frame from its window: a minimised window has no client area, which
// is named rather than measured at 0 x 0.
TEST(FrameSize, MinimisedWindowHasNoneAndSaysSo) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FrameSizeTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "FrameSizeTest", "FrameSizeTest", WS_OVERLAPPEDWINDOW, 40, 40, 320, 240, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr) << "no window: is a display reachable?";
    int width = 0, height = 0;
    std::string reason;
    ShowWindow(window, SW_SHOWMINIMIZED);
    EXPECT_FALSE(frameSizeOf(window, width, height, reason));
    EXPECT_NE(reason.find("minimised"), std::string::npos) << reason;
    ShowWindow(window, SW_RESTORE);
    EXPECT_TRUE(frameSizeOf(window, width, height, reason));
    EXPECT_GT(width, 200);
    EXPECT_GT(height, 150);
    DestroyWindow(window);
}

}  // namespace
