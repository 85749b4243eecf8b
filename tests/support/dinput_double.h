// A scripted stand-in for DirectInput 7, linked into a test in place of the real one: its
// DirectInputCreateEx hands out one DirectInput object, which creates one keyboard and one
// mouse. Every call is logged with its arguments, any call can be told what to answer, and
// each object counts the references taken and dropped on it.
#pragma once

#include "platform/win32.h"

namespace dinputDouble {

enum class Object { DirectInput, Keyboard, Mouse };
enum class Op {
    Create,
    SetDataFormat,
    SetCooperativeLevel,
    SetProperty,
    Acquire,
    GetDeviceState,
    Unacquire,
    AddRef,
    Release
};

struct Call {
    Object object;
    Op op;
    GUID guid;             // Create: the device's GUID, or the interface asked of DirectInputCreateEx
    GUID iid;              // Create of a device: the interface asked for
    HINSTANCE instance;    // DirectInputCreateEx
    HWND window;           // SetCooperativeLevel
    DWORD value;           // version, cooperative flags or state size
    const void* pointer;   // the data format, the property's identifier or the state buffer
    DIPROPDWORD property;  // SetProperty: the block, as far as its dwSize covers it
    bool outer;            // Create: an outer object was passed
};

struct Counts {
    int created;
    int addRefs;
    int releases;
    bool acquired;
};

// What the double's GetDeviceState delivers: gKeyState[i] = keyPattern(i), and kMouseState.
constexpr BYTE keyPattern(int i) { return (BYTE)(i * 7 + 3); }
inline constexpr DIMOUSESTATE kMouseState = {11, -7, 120, {0x80, 0, 0x80, 0}};

// Forgets every call, object and answer: everything answers DI_OK again.
void reset();
// The next calls of op on the object answer result (a failing Create creates nothing).
void answer(Object object, Op op, HRESULT result);
// Runs at the start of DirectInputCreateEx (null for none).
void onCreate(void (*hook)());

int callCount();
const Call& call(int index);
const Counts& counts(Object object);
// The interface pointer the double hands out for the object.
void* pointerOf(Object object);

}  // namespace dinputDouble
