// Window classes and windows: registration, creation, showing, focus, destruction and
// device contexts, with the messages Win32 sends synchronously from each call.
// Not here: the message queue (messages.cpp) and pixel formats and contexts (gl.cpp).
#include "platform/linux/layer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace layer {
namespace {

constexpr int kMaxClasses = 16;

struct WindowClass {
    bool used = false;
    char name[128] = {};
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
};

WindowClass gClasses[kMaxClasses];
Window gWindows[kMaxWindows];
std::uint32_t gNextWindowId = 1;
HWND gFocus = nullptr;
std::uint32_t gFocusEpoch = 0;
bool gVideoUp = false;

WindowClass* findClass(LPCSTR name) {
    if (name == nullptr) return nullptr;
    for (WindowClass& c : gClasses)
        if (c.used && strcasecmp(c.name, name) == 0) return &c;
    return nullptr;
}

LRESULT send(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
    return w.proc(handleOf(w), message, wParam, lParam);
}

// The sample count QUILLMERE_SAMPLES asks for, standing in for a driver panel's forced
// multisampling (Mesa has none): 1 to 32, otherwise 0 (a bad value is reported, not used).
int requestedSamples() {
    const char* text = std::getenv("QUILLMERE_SAMPLES");
    if (text == nullptr || text[0] == '\0') return 0;
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (*end != '\0' || n < 1 || n > 32) {
        std::fprintf(stderr, "QUILLMERE_SAMPLES=%s is not a sample count from 1 to 32; ignored\n", text);
        return 0;
    }
    return (int)n;
}

// Creates the SDL window with the deepest depth buffer the display offers, since on X11
// the visual (and so every later pixel format) is fixed when the window is made.
SDL_Window* createSdlWindow(const char* title, int x, int y, int width, int height, Uint32 flags, int* depthBits,
                            int* samples) {
    static const int kDepths[] = {32, 24, 16};
    // 8 bits a channel where the display has them; a 16-bit display's 5-6-5 otherwise,
    // as ChoosePixelFormat gives the closest format there.
    static const int kChannels[][3] = {{8, 8, 8}, {5, 6, 5}};
    int wanted = requestedSamples();
    for (int tries = wanted > 0 ? 2 : 1; tries > 0; --tries, wanted = 0) {
        for (int i = 0; i < 6; ++i) {
            const int* channel = kChannels[i / 3];
            const int depth = kDepths[i % 3];
            SDL_GL_ResetAttributes();
            SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel[0]);
            SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel[1]);
            SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel[2]);
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
            SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, wanted > 0 ? 1 : 0);
            SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, wanted);
            if (SDL_Window* w = SDL_CreateWindow(title, x, y, width, height, flags | SDL_WINDOW_OPENGL)) {
                *depthBits = depth;
                *samples = wanted;
                return w;
            }
        }
        if (wanted > 0) std::fprintf(stderr, "QUILLMERE_SAMPLES: no %d-sample visual here; no multisampling\n", wanted);
    }
    // No OpenGL visual at all: the window still exists, as on Windows, and context
    // creation fails later.
    *depthBits = 0;
    *samples = 0;
    return SDL_CreateWindow(title, x, y, width, height, flags);
}

void setFocus(HWND target) {
    if (gFocus == target) return;
    HWND previous = gFocus;
    gFocus = target;
    ++gFocusEpoch;
    if (Window* old = findWindow(previous)) send(*old, WM_KILLFOCUS, (WPARAM)target, 0);
    if (Window* now = findWindow(target)) send(*now, WM_SETFOCUS, (WPARAM)previous, 0);
}

}  // namespace

Window* findWindow(HWND window) {
    auto id = (std::uintptr_t)window;
    if (id == 0) return nullptr;
    for (Window& w : gWindows)
        if (w.id == id) return &w;
    return nullptr;
}

Window* findWindowBySdl(SDL_Window* sdl) {
    for (Window& w : gWindows)
        if (w.id != 0 && w.sdl == sdl) return &w;
    return nullptr;
}

Window* windowAt(int slot) {
    return slot >= 0 && slot < kMaxWindows && gWindows[slot].id != 0 ? &gWindows[slot] : nullptr;
}

HWND handleOf(const Window& window) { return (HWND)(std::uintptr_t)window.id; }

bool ensureVideo() {
    if (gVideoUp) return true;
    // Ctrl+C and SIGTERM end the process as they would a Windows program, unseen by SDL.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (!chooseVideoDriver()) return false;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    // Without a display SDL quietly falls back to an invisible driver; only a real display
    // counts unless the user chose a driver.
    const char* driver = SDL_GetCurrentVideoDriver();
    bool real = driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
    if (!real && std::getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_Quit();
        return false;
    }
    if (driver && std::strcmp(driver, "x11") == 0) watchDisplayLoss();
    gVideoUp = true;
    return true;
}

HWND focusWindow() { return gFocus; }
std::uint32_t focusEpoch() { return gFocusEpoch; }

void sendSize(Window& w, bool always) {
    int width = 0, height = 0;
    if (!w.minimized) SDL_GetWindowSize(w.sdl, &width, &height);
    bool same = w.minimized == w.sentMinimized && width == w.sentWidth && height == w.sentHeight;
    if (same && !always) return;
    // A new size redraws the whole client area (CS_HREDRAW | CS_VREDRAW).
    if (!same) w.validated = false;
    w.sentMinimized = w.minimized;
    w.sentWidth = width;
    w.sentHeight = height;
    send(w, WM_SIZE, w.minimized ? SIZE_MINIMIZED : SIZE_RESTORED, MAKELPARAM(width, height));
}

void focusChanged(Window* gained, Window* lost) {
    if (gained)
        setFocus(handleOf(*gained));
    else if (lost && gFocus == handleOf(*lost))
        setFocus(nullptr);
}

void shutdown() {
    for (Window& w : gWindows)
        if (w.id != 0) {
            SDL_DestroyWindow(w.sdl);
            w = Window{};
        }
    if (gVideoUp) SDL_Quit();
    unwatchDisplayLoss();
    gVideoUp = false;
}

}  // namespace layer

using namespace layer;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr ||
        std::strlen(windowClass->lpszClassName) >= sizeof(WindowClass::name))
        return 0;
    if (findClass(windowClass->lpszClassName)) return 0;  // already registered
    for (int i = 0; i < kMaxClasses; ++i) {
        WindowClass& c = gClasses[i];
        if (c.used) continue;
        c.used = true;
        std::strcpy(c.name, windowClass->lpszClassName);
        c.proc = windowClass->lpfnWndProc;
        c.instance = windowClass->hInstance;
        return (ATOM)(0xC000 + i);
    }
    return 0;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    WindowClass* c = findClass(className);
    if (c == nullptr) return FALSE;
    for (const Window& w : gWindows)
        if (w.id != 0 && w.proc == c->proc) return FALSE;  // a window still uses it
    *c = WindowClass{};
    return TRUE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height, HWND,
                     HMENU, HINSTANCE, LPVOID) {
    WindowClass* c = findClass(className);
    if (c == nullptr || !ensureVideo()) return nullptr;
    Window* slot = nullptr;
    for (Window& w : gWindows)
        if (w.id == 0) {
            slot = &w;
            break;
        }
    if (slot == nullptr) return nullptr;

    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if (width <= 0 || height <= 0) return nullptr;
    int depthBits = 0;
    int samples = 0;
    SDL_Window* sdl = createSdlWindow(windowName ? windowName : "", x, y, width, height, flags, &depthBits, &samples);
    if (sdl == nullptr) return nullptr;

    slot->id = gNextWindowId++;
    slot->sdl = sdl;
    slot->proc = c->proc;
    slot->depthBits = depthBits;
    slot->samples = samples;
    HWND handle = handleOf(*slot);
    if (!send(*slot, WM_NCCREATE, 0, 0) || send(*slot, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (Window* w = findWindow(handle)) sendSize(*w);
    if (Window* w = findWindow(handle); w && (style & WS_VISIBLE)) ShowWindow(handle, SW_SHOW);
    return findWindow(handle) ? handle : nullptr;
}

BOOL ShowWindow(HWND window, int showCommand) {
    Window* w = findWindow(window);
    if (w == nullptr) return FALSE;
    BOOL wasVisible = w->visible;
    if (showCommand == SW_HIDE) {
        if (!w->visible) return wasVisible;
        SDL_HideWindow(w->sdl);
        w->visible = false;
        send(*w, WM_SHOWWINDOW, FALSE, 0);
        if (gFocus == window) setFocus(nullptr);
        return wasVisible;
    }
    bool firstShow = !w->visible;
    if (firstShow) {
        SDL_ShowWindow(w->sdl);
        w->visible = true;
        w->validated = false;
        send(*w, WM_SHOWWINDOW, TRUE, 0);
    }
    if (showCommand == SW_MINIMIZE || showCommand == SW_SHOWMINIMIZED) {
        SDL_MinimizeWindow(w->sdl);
        w->minimized = true;
        if (gFocus == window) setFocus(nullptr);
    } else {
        if (w->minimized) SDL_RestoreWindow(w->sdl);
        if (showCommand == SW_SHOWMAXIMIZED) SDL_MaximizeWindow(w->sdl);
        w->minimized = false;
        raiseWindow(w->sdl);
        setFocus(window);
    }
    if ((w = findWindow(window))) sendSize(*w, firstShow);
    return wasVisible;
}

BOOL UpdateWindow(HWND window) {
    Window* w = findWindow(window);
    if (w == nullptr) return FALSE;
    if (w->visible && !w->minimized && !w->validated) send(*w, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    Window* w = findWindow(window);
    if (w == nullptr) return FALSE;
    if (w->visible) SDL_HideWindow(w->sdl);
    w->visible = false;
    if (gFocus == window) setFocus(nullptr);
    if ((w = findWindow(window))) send(*w, WM_DESTROY, 0, 0);
    if ((w = findWindow(window))) send(*w, WM_NCDESTROY, 0, 0);
    if ((w = findWindow(window)) == nullptr) return TRUE;
    purgeMessages(window);
    detachContexts(window);
    SDL_DestroyWindow(w->sdl);
    *w = Window{};
    return TRUE;
}

BOOL IsWindow(HWND window) { return findWindow(window) != nullptr; }

BOOL GetClientRect(HWND window, RECT* rect) {
    Window* w = findWindow(window);
    if (w == nullptr || rect == nullptr) return FALSE;
    int width = 0, height = 0;
    if (!w->minimized) SDL_GetWindowSize(w->sdl, &width, &height);
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

HWND GetFocus() { return gFocus; }

HWND SetFocus(HWND window) {
    HWND previous = gFocus;
    Window* w = findWindow(window);
    if (window != nullptr && (w == nullptr || !w->visible)) return nullptr;
    if (w) {
        // Without a window manager only SDL_SetWindowInputFocus moves the X focus.
        raiseWindow(w->sdl);
        SDL_SetWindowInputFocus(w->sdl);
    }
    setFocus(window);
    return previous;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    // Only the system cursors exist; the layer has no resources of its own.
    auto id = (std::uintptr_t)cursorName;
    if (instance != nullptr || id == 0 || id > 0xFFFF) return nullptr;
    return (HCURSOR)id;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    return moduleName == nullptr ? (HMODULE)(std::uintptr_t)0x400000 : nullptr;
}

HDC GetDC(HWND window) {
    // A window's device context shares its handle value; there is no screen context.
    return findWindow(window) ? (HDC)window : nullptr;
}

int ReleaseDC(HWND window, HDC dc) { return findWindow(window) && (HWND)dc == window ? 1 : 0; }
