// The program without DirectInput: WinMain, with the DirectInput double refusing to create
// the DirectInput object, still brings up its window and renderer, draws, and returns 0
// when the window is closed.
#include <gtest/gtest.h>

#include "app/app.h"
#include "input/input.h"
#include "render/gfx.h"
#include "tests/support/dinput_double.h"

using namespace dinputDouble;

namespace {

constexpr float kNoFrameYet = 12.5f;

// Runs inside inputInit, with the renderer and the mesh up: leaves a mark that the next
// frame clears (every frame sets gRotX to 0) and asks for the window to close.
void markAndClose() {
    gRotX = kNoFrameYet;
    PostMessageA(gWindow, WM_CLOSE, 0, 0);
}

}  // namespace

TEST(InputStartup, ProgramDrawsAndEndsWithStatusZeroWithoutDirectInput) {
    reset();
    answer(Object::DirectInput, Op::Create, DIERR_OLDDIRECTINPUTVERSION);
    onCreate(markAndClose);
    char commandLine[] = "";

    int status = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);

    EXPECT_EQ(status, 0);
    ASSERT_EQ(callCount(), 1) << "only the refused creation: no device made, nothing to release";
    EXPECT_EQ(call(0).object, Object::DirectInput);
    EXPECT_EQ(gRotX, 0.0f) << "no frame drawn after the input set-up";
    EXPECT_EQ(gAppActive, 1);
    EXPECT_EQ(gDirectInput, nullptr);
    EXPECT_EQ(gKeyboard, nullptr);
    EXPECT_EQ(gMouse, nullptr);

    // Closing only ends the loop; the window goes away with the process.
    EXPECT_TRUE(IsWindow(gWindow));
    reset();
}
