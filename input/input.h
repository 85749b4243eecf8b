// Keyboard and mouse through DirectInput 7: the DirectInput object and the two system
// devices, set up for non-exclusive use while the main window is in the foreground, and
// the immediate state they last delivered.
#pragma once

#include "platform/win32.h"

extern IDirectInput7A* gDirectInput;
extern IDirectInputDevice7A* gKeyboard;
extern IDirectInputDevice7A* gMouse;
// Keyboard state in c_dfDIKeyboard's layout: one byte per DIK_ code, bit 7 while down.
extern BYTE gKeyState[256];
// Mouse state in c_dfDIMouse's layout: motion since the previous read, buttons in bit 7.
extern DIMOUSESTATE gMouseState;

// Creates the DirectInput object and both devices and configures them; acquires nothing.
// 0 on success; otherwise everything is released again and the first failing call's
// code is returned.
HRESULT inputInit(HINSTANCE instance, HWND window);
// Acquires both devices and reads their state into gKeyState and gMouseState; reads
// nothing unless both can be acquired.
void inputPoll();
// Unacquires and releases the devices, then the DirectInput object, and nulls the
// pointers. Does nothing when there is no DirectInput object.
void inputRelease();
