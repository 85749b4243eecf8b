// What the files of platform/linux share with each other: the window table, the event
// pump and the state the DirectInput subset reads. Nothing outside platform/ includes this.
#pragma once

#include "platform/win32.h"

#include <SDL.h>

namespace layer {

constexpr int kMaxWindows = 16;

struct Window {
    std::uint32_t id = 0;  // the handle's value; 0 marks a free slot
    SDL_Window* sdl = nullptr;
    WNDPROC proc = nullptr;
    bool visible = false;
    bool minimized = false;
    bool validated = false;  // only the default paint handling validates
    int depthBits = 0;       // depth of the GL visual chosen at creation; 0: no OpenGL
    int samples = 0;         // multisampling of that visual (QUILLMERE_SAMPLES); 0: none
    int pixelFormat = 0;     // 0 until SetPixelFormat
    // The last size reported through WM_SIZE, so that SDL's repeated events send one.
    int sentWidth = -1;
    int sentHeight = -1;
    bool sentMinimized = false;
};

// Running totals of relative mouse motion and wheel (120 a notch) over the program's
// windows; the DirectInput mouse reports the differences between its reads.
struct MouseMotion {
    long dx = 0;
    long dy = 0;
    long wheel = 0;
};

Window* findWindow(HWND window);
HWND handleOf(const Window& window);
Window* findWindowBySdl(SDL_Window* sdl);
Window* windowAt(int slot);  // the window in a table slot, null if the slot is free
bool ensureVideo();
// Before SDL_Init: keeps SDL off a Wayland compositor without an input seat, on which its
// Wayland backend crashes. False, with a line on stderr, where SDL would go there
// (wayland.cpp).
bool chooseVideoDriver();
// SDL_RaiseWindow, finished on Wayland before it returns, so that hiding or destroying the
// window next is safe on every compositor (wayland.cpp).
void raiseWindow(SDL_Window* window);

// Moves SDL's pending events into the message queue, sending focus and size messages
// at once as Win32's sent messages would be.
void pumpEvents();

// The window that has the keyboard focus (null if none) and a counter that changes
// whenever the focus moves, so that a device acquired under one focus knows it lost it.
HWND focusWindow();
std::uint32_t focusEpoch();
MouseMotion& mouseMotion();

// Sends WM_SIZE when the window's size or minimised state differs from the last one sent.
void sendSize(Window& window, bool always = false);
// Moves the focus after SDL reports a change (either may be null).
void focusChanged(Window* gained, Window* lost);
// Forget a window being destroyed: its queued messages, and the tie of any context to it.
void purgeMessages(HWND window);
void detachContexts(HWND window);

// While the X display is in use: a lost X server ends the process at once, with -1 while
// no OpenGL context has been made yet (start-up failed), 1 afterwards (display_loss.cpp).
// Undone by unwatchDisplayLoss.
void watchDisplayLoss();
void unwatchDisplayLoss();
// Whether wglCreateContext has ever succeeded in this process.
bool contextEverCreated();

// Whether the windowless EGL context (headless.cpp) is current, and its entry-point lookup.
bool headlessCurrent();
PROC headlessProcAddress(const char* name);

// Raises the main thread's stack limit to the 32 MB a Windows build reserves.
void raiseStackLimit();

// Destroys what is left at process exit: windows, contexts and SDL itself.
void shutdown();

}  // namespace layer
