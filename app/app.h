// Application shell: the window, the loop flags and the window procedure.
#pragma once

#include "platform/win32.h"

// The one window class and window title.
inline constexpr char kAppWindowName[] = "Quillmere (by Vennick)";
// The window's size as created: on Linux its client size, on Windows its outer size.
inline constexpr int kAppWindowWidth = 820;
inline constexpr int kAppWindowHeight = 600;

extern HWND gWindow;
extern HINSTANCE gInstance;
extern BYTE gAppActive;  // the loop is running; set once before it, never cleared
extern BYTE gHasFocus;   // the window has the keyboard focus; gates the loop's drawing
extern int gClientWidth;
extern int gClientHeight;

// Keeps the viewport and stored size in step with the window, tracks focus, draws on
// every paint request without validating, swallows left clicks and turns closing into
// the quit message.
LRESULT CALLBACK appWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the window class, then creates, shows and updates the program's window.
// Null when the window cannot be made.
HWND appCreateWindow(HINSTANCE instance, int showCommand);

// Runs the loop until the quit message: at most one message per pass, then one frame if
// the loop is active and the window has the focus. Returns the last frame status, or
// the given one if no frame was drawn.
int appRunLoop(int status);
