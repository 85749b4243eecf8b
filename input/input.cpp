#include "input/input.h"

IDirectInput7A* gDirectInput = nullptr;
IDirectInputDevice7A* gKeyboard = nullptr;
IDirectInputDevice7A* gMouse = nullptr;
BYTE gKeyState[256];
DIMOUSESTATE gMouseState;

namespace {

constexpr DWORD kDirectInputVersion = 0x0700;
constexpr DWORD kCooperativeLevel = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

HRESULT fail(HRESULT result) {
    inputRelease();
    return result;
}

}  // namespace

HRESULT inputInit(HINSTANCE instance, HWND window) {
    HRESULT result =
        DirectInputCreateEx(instance, kDirectInputVersion, IID_IDirectInput7A, (LPVOID*)&gDirectInput, nullptr);
    if (FAILED(result)) return fail(result);

    result = gDirectInput->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, (LPVOID*)&gKeyboard, nullptr);
    if (FAILED(result)) return fail(result);
    result = gKeyboard->SetDataFormat(&c_dfDIKeyboard);
    if (FAILED(result)) return fail(result);
    result = gKeyboard->SetCooperativeLevel(window, kCooperativeLevel);
    if (FAILED(result)) return fail(result);

    result = gDirectInput->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, (LPVOID*)&gMouse, nullptr);
    if (FAILED(result)) return fail(result);
    result = gMouse->SetDataFormat(&c_dfDIMouse);
    if (FAILED(result)) return fail(result);
    result = gMouse->SetCooperativeLevel(window, kCooperativeLevel);
    if (FAILED(result)) return fail(result);

    DIPROPDWORD axisMode{};
    axisMode.diph.dwSize = sizeof(DIPROPDWORD);
    axisMode.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    axisMode.diph.dwObj = 0;
    axisMode.diph.dwHow = DIPH_DEVICE;
    axisMode.dwData = DIPROPAXISMODE_REL;
    result = gMouse->SetProperty(DIPROP_AXISMODE, &axisMode.diph);
    if (FAILED(result)) return fail(result);
    return 0;
}

void inputPoll() {
    if (gKeyboard == nullptr || gMouse == nullptr) return;
    if (FAILED(gKeyboard->Acquire())) return;
    if (FAILED(gMouse->Acquire())) return;
    gKeyboard->GetDeviceState(sizeof(gKeyState), gKeyState);
    gMouse->GetDeviceState(sizeof(gMouseState), &gMouseState);
}

void inputRelease() {
    if (gDirectInput == nullptr) return;
    if (gKeyboard != nullptr) {
        gKeyboard->Unacquire();
        gKeyboard->Release();
        gKeyboard = nullptr;
    }
    if (gMouse != nullptr) {
        gMouse->Unacquire();
        gMouse->Release();
        gMouse = nullptr;
    }
    gDirectInput->Release();
    gDirectInput = nullptr;
}
