// Shared test support: the program's window made through the contract API, and a
// fixture with the renderer brought up in it, as at start-up.
#pragma once

#include <gtest/gtest.h>

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

// The window with a current context, the test texture and the fixed state.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND window = nullptr;
};
