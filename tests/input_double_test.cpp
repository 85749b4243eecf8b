// The input module against a scripted DirectInput: its calls, their order and arguments,
// every failure path of inputInit, polling and release.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "input/input.h"
#include "tests/support/dinput_double.h"

using namespace dinputDouble;

namespace {

const HINSTANCE kInstance = (HINSTANCE)(std::uintptr_t)0x400000;
const HWND kWindow = (HWND)(std::uintptr_t)0x51;
constexpr BYTE kUntouched = 0xEE;

struct Step {
    Object object;
    Op op;
    bool operator==(const Step&) const = default;
};
void PrintTo(const Step& s, std::ostream* os) { *os << "{" << (int)s.object << ", " << (int)s.op << "}"; }

// inputInit's eight calls, in order.
const std::vector<Step> kInitSteps = {
    {Object::DirectInput, Op::Create},
    {Object::Keyboard, Op::Create},
    {Object::Keyboard, Op::SetDataFormat},
    {Object::Keyboard, Op::SetCooperativeLevel},
    {Object::Mouse, Op::Create},
    {Object::Mouse, Op::SetDataFormat},
    {Object::Mouse, Op::SetCooperativeLevel},
    {Object::Mouse, Op::SetProperty},
};

std::vector<Step> loggedSteps(int from = 0) {
    std::vector<Step> steps;
    for (int i = from; i < callCount(); ++i) steps.push_back({call(i).object, call(i).op});
    return steps;
}

// What inputRelease calls when the DirectInput object and the given devices exist.
std::vector<Step> releaseSteps(bool keyboard, bool mouse) {
    std::vector<Step> steps;
    if (keyboard) steps.insert(steps.end(), {{Object::Keyboard, Op::Unacquire}, {Object::Keyboard, Op::Release}});
    if (mouse) steps.insert(steps.end(), {{Object::Mouse, Op::Unacquire}, {Object::Mouse, Op::Release}});
    steps.push_back({Object::DirectInput, Op::Release});
    return steps;
}

bool untouched(const void* buffer, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (static_cast<const BYTE*>(buffer)[i] != kUntouched) return false;
    return true;
}

class InputDoubleTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset();
        std::memset(gKeyState, kUntouched, sizeof gKeyState);
        std::memset(&gMouseState, kUntouched, sizeof gMouseState);
    }
    void TearDown() override { inputRelease(); }
};

}  // namespace

TEST_F(InputDoubleTest, InitMakesItsEightCallsInOrderWithTheirArguments) {
    ASSERT_EQ(inputInit(kInstance, kWindow), 0);
    ASSERT_EQ(loggedSteps(), kInitSteps);

    EXPECT_EQ(call(0).instance, kInstance);
    EXPECT_EQ(call(0).value, 0x0700u);
    EXPECT_TRUE(call(0).guid == IID_IDirectInput7A);
    EXPECT_TRUE(call(1).guid == GUID_SysKeyboard);
    EXPECT_TRUE(call(4).guid == GUID_SysMouse);
    for (int i : {0, 1, 4}) EXPECT_FALSE(call(i).outer) << i;
    for (int i : {1, 4}) EXPECT_TRUE(call(i).iid == IID_IDirectInputDevice7A) << i;
    EXPECT_EQ(call(2).pointer, &c_dfDIKeyboard);
    EXPECT_EQ(call(5).pointer, &c_dfDIMouse);
    for (int i : {3, 6}) {
        EXPECT_EQ(call(i).window, kWindow) << i;
        EXPECT_EQ(call(i).value, 6u) << i;
    }
    const DIPROPDWORD& block = call(7).property;
    EXPECT_EQ(call(7).pointer, &DIPROP_AXISMODE);
    EXPECT_EQ(block.diph.dwSize, 20u);
    EXPECT_EQ(block.diph.dwHeaderSize, 16u);
    EXPECT_EQ(block.diph.dwObj, 0u);
    EXPECT_EQ(block.diph.dwHow, (DWORD)DIPH_DEVICE);
    EXPECT_EQ(block.dwData, (DWORD)DIPROPAXISMODE_REL);

    EXPECT_EQ(gDirectInput, pointerOf(Object::DirectInput));
    EXPECT_EQ(gKeyboard, pointerOf(Object::Keyboard));
    EXPECT_EQ(gMouse, pointerOf(Object::Mouse));
    for (Object o : {Object::DirectInput, Object::Keyboard, Object::Mouse}) {
        EXPECT_EQ(counts(o).addRefs + counts(o).releases, 0);
        EXPECT_FALSE(counts(o).acquired);  // nothing is acquired before the first poll
    }
}

// A failure at any step releases what exists and returns its code unchanged; a positive
// success code at any step counts as success.
TEST_F(InputDoubleTest, EachStepsAnswerDecidesBetweenCleanFailureAndSuccess) {
    // Distinct codes, some of them not DirectInput's own: each must come back unchanged.
    const HRESULT codes[] = {DIERR_OLDDIRECTINPUTVERSION, DIERR_DEVICENOTREG, DIERR_INVALIDPARAM,
                             (HRESULT)0x80000001,         DIERR_NOINTERFACE,  DIERR_ACQUIRED,
                             DIERR_OTHERAPPHASPRIO,       (HRESULT)0x8FFFFFFF};
    for (int step = 0; step < 8; ++step) {
        for (HRESULT code : {codes[step], S_FALSE, (HRESULT)0x7FFFFFFF}) {
            SCOPED_TRACE(testing::Message() << "step " << step + 1 << " answers " << std::hex << code);
            inputRelease();
            reset();
            answer(kInitSteps[step].object, kInitSteps[step].op, code);
            if (SUCCEEDED(code)) {
                EXPECT_EQ(inputInit(kInstance, kWindow), 0);
                EXPECT_EQ(loggedSteps(), kInitSteps);
                continue;
            }
            EXPECT_EQ(inputInit(kInstance, kWindow), code);
            EXPECT_TRUE(gDirectInput == nullptr && gKeyboard == nullptr && gMouse == nullptr);
            // The steps up to the failing one, then the release of what they created.
            bool created[] = {step > 0, step > 1, step > 4};  // DirectInput, keyboard, mouse
            std::vector<Step> expected(kInitSteps.begin(), kInitSteps.begin() + step + 1);
            if (created[0]) {
                std::vector<Step> release = releaseSteps(created[1], created[2]);
                expected.insert(expected.end(), release.begin(), release.end());
            }
            EXPECT_EQ(loggedSteps(), expected);
            for (Object o : {Object::DirectInput, Object::Keyboard, Object::Mouse}) {
                EXPECT_EQ(counts(o).created, created[(int)o] ? 1 : 0) << (int)o;
                EXPECT_EQ(counts(o).releases, counts(o).created) << (int)o;
                EXPECT_EQ(counts(o).addRefs, 0) << (int)o;
            }
        }
    }
}

TEST_F(InputDoubleTest, ReleaseAndPollDoNothingBeforeInitOrAfterRelease) {
    inputRelease();
    inputPoll();
    EXPECT_EQ(callCount(), 0);

    ASSERT_EQ(inputInit(kInstance, kWindow), 0);
    inputPoll();
    int before = callCount();
    inputRelease();
    EXPECT_EQ(loggedSteps(before), releaseSteps(true, true));
    EXPECT_TRUE(gDirectInput == nullptr && gKeyboard == nullptr && gMouse == nullptr);
    for (Object o : {Object::DirectInput, Object::Keyboard, Object::Mouse}) EXPECT_EQ(counts(o).releases, 1);

    std::memset(gKeyState, kUntouched, sizeof gKeyState);
    inputRelease();
    inputPoll();
    EXPECT_EQ(callCount(), before + 5);
    EXPECT_TRUE(untouched(gKeyState, sizeof gKeyState));
}

TEST_F(InputDoubleTest, PollReadsOnlyWhenBothDevicesAreAcquired) {
    const Step acquireKeyboard{Object::Keyboard, Op::Acquire}, acquireMouse{Object::Mouse, Op::Acquire};
    const Step readKeyboard{Object::Keyboard, Op::GetDeviceState}, readMouse{Object::Mouse, Op::GetDeviceState};
    const HRESULT refused = DIERR_OTHERAPPHASPRIO;
    const struct {
        const char* name;
        HRESULT keyboardAcquire, mouseAcquire, keyboardRead;
        std::vector<Step> calls;
        bool keysRead, mouseRead;
    } cases[] = {
        {"both acquired",
         DI_OK,
         DI_NOEFFECT,
         DI_OK,
         {acquireKeyboard, acquireMouse, readKeyboard, readMouse},
         true,
         true},
        {"keyboard refused", refused, DI_OK, DI_OK, {acquireKeyboard}, false, false},
        {"mouse refused", DI_OK, refused, DI_OK, {acquireKeyboard, acquireMouse}, false, false},
        {"keyboard read fails",
         DI_OK,
         DI_OK,
         DIERR_INPUTLOST,
         {acquireKeyboard, acquireMouse, readKeyboard, readMouse},
         false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        inputRelease();
        SetUp();
        ASSERT_EQ(inputInit(kInstance, kWindow), 0);
        answer(Object::Keyboard, Op::Acquire, c.keyboardAcquire);
        answer(Object::Mouse, Op::Acquire, c.mouseAcquire);
        answer(Object::Keyboard, Op::GetDeviceState, c.keyboardRead);
        int before = callCount();

        inputPoll();
        EXPECT_EQ(loggedSteps(before), c.calls);
        // A refused mouse leaves the keyboard acquired.
        EXPECT_EQ(counts(Object::Keyboard).acquired, SUCCEEDED(c.keyboardAcquire));
        for (int i = before; i < callCount(); ++i) {
            if (call(i).op != Op::GetDeviceState) continue;
            bool keyboard = call(i).object == Object::Keyboard;
            EXPECT_EQ(call(i).value, keyboard ? 256u : 16u);
            EXPECT_EQ(call(i).pointer, keyboard ? (const void*)gKeyState : (const void*)&gMouseState);
        }
        EXPECT_EQ(gKeyState[200] == keyPattern(200), c.keysRead);
        EXPECT_EQ(untouched(gKeyState, sizeof gKeyState), !c.keysRead);
        EXPECT_EQ(std::memcmp(&gMouseState, &kMouseState, sizeof gMouseState) == 0, c.mouseRead);
        EXPECT_EQ(untouched(&gMouseState, sizeof gMouseState), !c.mouseRead);
    }
}
