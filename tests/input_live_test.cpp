// The input module and the platform's DirectInput with real input: keys pressed, the mouse
// moved, clicked and wheeled through the X server's XTest extension (xdotool), read back
// through inputPoll. Also the device rules the platform's DirectInput and the layer share.
#include "input/input.h"
#include "tests/support/app_fixture.h"
#include "tests/support/xdotool.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

using std::chrono::milliseconds;
constexpr BYTE kUntouched = 0xEE;

// Pumps messages and polls until done() holds, for at most the given time: by default a
// ceiling that only input that never comes reaches, however busy the machine.
template <typename Done>
bool pollUntil(Done done, milliseconds limit = std::chrono::seconds(120)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        testDispatchPending();
        inputPoll();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
}

// Adds up the motion the polls report until it reaches the given totals (or time is up).
DIMOUSESTATE pollMotion(LONG x, LONG y, LONG z) {
    DIMOUSESTATE total{};
    pollUntil([&] {
        total.lX += gMouseState.lX;
        total.lY += gMouseState.lY;
        total.lZ += gMouseState.lZ;
        return total.lX == x && total.lY == y && total.lZ == z;
    });
    return total;
}

bool xdotool(const std::string& arguments) { return testXdotool(arguments.c_str()); }

int gOtherWindowKeys = 0;  // key messages the other window received

LRESULT CALLBACK otherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP) ++gOtherWindowKeys;
    return DefWindowProcA(window, message, wParam, lParam);
}

// The program's window, made once and left to go away with the process as the program's
// own does (destroying it takes Wine two seconds); the input module is set up afresh for
// each test, with the pointer resting over the window.
class InputLiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window = testCreateAppWindow();
        testDispatchPending();
    }
    void SetUp() override {
        ASSERT_NE(window, nullptr) << "no window: is a display reachable?";
        if (const char* why = testXdotoolUnusable()) GTEST_SKIP() << why;
        ASSERT_EQ(inputInit(gInstance, window), 0);
        ASSERT_TRUE(xdotool("mousemove 400 300")) << "xdotool failed";
        auto quietSince = std::chrono::steady_clock::now();  // until no motion comes for a while
        pollUntil([&] {
            if (gMouseState.lX || gMouseState.lY || gMouseState.lZ) quietSince = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - quietSince > milliseconds(100);
        });
    }
    void TearDown() override { inputRelease(); }
    static HWND window;
};

HWND InputLiveTest::window = nullptr;

}  // namespace

TEST_F(InputLiveTest, KeysShowUpUnderTheirKeyCodesWhileDown) {
    const struct {
        const char* key;
        int code;
    } cases[] = {
        {"a", DIK_A},
        {"Escape", DIK_ESCAPE},
        {"Up", DIK_UP},
        {"space", DIK_SPACE},
        {"KP_Enter", DIK_NUMPADENTER},
        {"KP_Divide", DIK_DIVIDE},
        {"Delete", DIK_DELETE},
        {"F12", DIK_F12},
        {"Shift_L", DIK_LSHIFT},
        {"KP_Home", DIK_NUMPAD7},
        {"bracketright", DIK_RBRACKET},
        // Right Control by its keycode in the server's (evdev) keymap: by name, xdotool
        // would hold Control_L with it.
        {"105", DIK_RCONTROL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        ASSERT_TRUE(xdotool(std::string("keydown ") + c.key));
        EXPECT_TRUE(pollUntil([&] { return gKeyState[c.code] == 0x80; }));
        int down = 0;
        for (BYTE b : gKeyState) down += b != 0;
        EXPECT_EQ(down, 1);
        ASSERT_TRUE(xdotool(std::string("keyup ") + c.key));
        EXPECT_TRUE(pollUntil([&] { return gKeyState[c.code] == 0; }));
    }
}

TEST_F(InputLiveTest, MouseMotionAndWheelAreRelativeToThePreviousRead) {
    const struct {
        const char* input;
        LONG x, y, z;  // the wheel: +120 a notch away from the user
    } cases[] = {{"mousemove 410 295", 10, -5, 0},
                 {"mousemove 380 330", -30, 35, 0},
                 {"mousemove 380 331", 0, 1, 0},
                 {"click 4", 0, 0, 120},
                 {"click 5", 0, 0, -120}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        ASSERT_TRUE(xdotool(c.input));
        DIMOUSESTATE total = pollMotion(c.x, c.y, c.z);
        EXPECT_EQ(total.lX, c.x);
        EXPECT_EQ(total.lY, c.y);
        EXPECT_EQ(total.lZ, c.z);
        inputPoll();  // nothing happened since the last read
        EXPECT_EQ(gMouseState.lX | gMouseState.lY | gMouseState.lZ, 0);
    }
}

TEST_F(InputLiveTest, ButtonsShowUpWhilePressed) {
    const int buttons[] = {1, 3, 2};  // X's left, right and middle: DirectInput's 0, 1 and 2
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(xdotool("mousedown " + std::to_string(buttons[index])));
        EXPECT_TRUE(pollUntil([&] { return gMouseState.rgbButtons[index] == 0x80; }));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(gMouseState.rgbButtons[i], i == index ? 0x80 : 0) << i;
        ASSERT_TRUE(xdotool("mouseup " + std::to_string(buttons[index])));
        EXPECT_TRUE(pollUntil([&] { return gMouseState.rgbButtons[index] == 0; }));
    }
}

TEST_F(InputLiveTest, NothingIsReadWhileAnotherWindowHasTheFocus) {
    ASSERT_TRUE(pollUntil([] { return gKeyboard->GetDeviceState(sizeof gKeyState, gKeyState) == DI_OK; }));
    WNDCLASSA otherClass{};
    otherClass.lpfnWndProc = otherWindowProc;
    otherClass.hInstance = gInstance;
    otherClass.lpszClassName = "input test: another window";
    RegisterClassA(&otherClass);
    HWND other = CreateWindowExA(0, otherClass.lpszClassName, "", WS_OVERLAPPEDWINDOW, 40, 40, 820, 600, nullptr,
                                 nullptr, gInstance, nullptr);
    ASSERT_NE(other, nullptr);
    ShowWindow(other, SW_SHOWNORMAL);

    // The input reaches the program, as the other window's messages, but the devices lost
    // their acquisition with the focus and no poll gets it back.
    std::memset(gKeyState, kUntouched, sizeof gKeyState);
    std::memset(&gMouseState, kUntouched, sizeof gMouseState);
    gOtherWindowKeys = 0;
    ASSERT_TRUE(xdotool("mousemove 420 320 mousedown 1 keydown a"));
    EXPECT_TRUE(pollUntil([] { return gOtherWindowKeys > 0; }));
    ASSERT_TRUE(xdotool("keyup a mouseup 1"));
    EXPECT_TRUE(pollUntil([] { return gOtherWindowKeys > 1; }));
    for (BYTE b : gKeyState) ASSERT_EQ(b, kUntouched);
    for (BYTE b : gMouseState.rgbButtons) ASSERT_EQ(b, kUntouched);
    EXPECT_EQ(gMouseState.lX, (LONG)0xEEEEEEEE);
    EXPECT_EQ(gKeyboard->GetDeviceState(sizeof gKeyState, gKeyState), DIERR_NOTACQUIRED);
    EXPECT_EQ(gMouse->Acquire(), DIERR_OTHERAPPHASPRIO);

    // With the focus back the next poll acquires again. (Showing the window again gives it
    // the focus on both platforms; without a window manager the Linux layer's SetFocus does
    // not move the X server's input focus.)
    DestroyWindow(other);
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOWNORMAL);
    ASSERT_TRUE(xdotool("keydown b"));
    EXPECT_TRUE(pollUntil([] { return gKeyState[DIK_B] == 0x80; }));
    ASSERT_TRUE(xdotool("keyup b"));
    EXPECT_TRUE(pollUntil([] { return gKeyState[DIK_B] == 0; }));
}

// What the platform's DirectInput and the Linux layer both answer to the calls the
// program makes at the moments it can make them, on a keyboard of its own with
// c_dfDIKeyboard and the program's cooperative level.
TEST_F(InputLiveTest, DevicesFollowDirectInputsRules) {
    static BYTE buffer[256];
    using Device = IDirectInputDevice7A*;
    const struct {
        const char* name;
        HRESULT (*run)(Device d);
        HRESULT expected;
    } cases[] = {
        {"acquire twice", [](Device d) { return d->Acquire(), d->Acquire(); }, DI_NOEFFECT},
        {"unacquire unacquired", [](Device d) { return d->Unacquire(); }, DI_NOEFFECT},
        {"unacquire acquired", [](Device d) { return d->Acquire(), d->Unacquire(); }, DI_OK},
        {"read unacquired", [](Device d) { return d->GetDeviceState(256, buffer); }, DIERR_NOTACQUIRED},
        {"a second reference: 2 after AddRef, 1 after Release",
         [](Device d) {
             ULONG added = d->AddRef();
             return (HRESULT)(added * 10 + d->Release());
         },
         21},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = nullptr;
        ASSERT_EQ(gDirectInput->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, (LPVOID*)&device, nullptr),
                  DI_OK);
        ASSERT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DI_OK);
        ASSERT_EQ(device->SetCooperativeLevel(window, 6), DI_OK);
        EXPECT_EQ(c.run(device), c.expected);
        EXPECT_EQ(device->Release(), 0u);
    }
}
