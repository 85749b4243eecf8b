// The window and the loop that drives the frames.
#include "app/app.h"

#include "render/gfx.h"

HWND gWindow = nullptr;
HINSTANCE gInstance = nullptr;
BYTE gAppActive = 0;
BYTE gHasFocus = 0;

HWND appCreateWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = appWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kAppWindowName;
    RegisterClassA(&windowClass);

    HWND window = CreateWindowExA(0, kAppWindowName, kAppWindowName, WS_OVERLAPPEDWINDOW, 40, 40, kAppWindowWidth,
                                  kAppWindowHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return nullptr;
    // Size, focus and paint reach the window procedure before any context exists.
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

int appRunLoop(int status) {
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0)) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (gAppActive && gHasFocus) {
            status = gfxDrawFrame(gWindow);
            // The destruction's quit message ends the loop.
            if (status < 0) DestroyWindow(gWindow);
        }
    }
    return status;
}
