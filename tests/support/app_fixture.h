// Shared test support: the program's window made through the contract API, and a
// fixture with the renderer brought up in it, as at start-up.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/app.h"
#include "render/gfx.h"

// Registers the program's window class (once) and creates, shows and updates its
// window, as start-up does. Sets gWindow. Null when no window can be made.
HWND testCreateAppWindow();

// Dispatches every pending message that comes before the next paint request
// (paint is always pending for a shown window). Returns true if a quit message
// was among them.
bool testDispatchPending();

// Reads one pixel of the back buffer as 0xRRGGBB.
unsigned testReadPixel(int x, int y);

// One corner of a polygon as feedback mode reports it (GL_3D_COLOR_TEXTURE): window
// position, colour, texture coordinate.
struct FeedbackCorner {
    float x, y, z, r, g, b, a, s, t, p, q;
};
using FeedbackPolygon = std::vector<FeedbackCorner>;

// The polygons draw() makes, in order, captured in feedback mode with the current
// matrices and viewport.
std::vector<FeedbackPolygon> testFeedback(const std::function<void()>& draw);

// The window with a current context, the test texture and the fixed state.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND window = nullptr;
};
