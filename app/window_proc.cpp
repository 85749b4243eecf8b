#include "app/app.h"

#include "render/gfx.h"

int gClientWidth = 0;
int gClientHeight = 0;

LRESULT CALLBACK appWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // The window stays alive; it goes away with the process.
            PostQuitMessage(0);
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case WM_SIZE: {
            int width = LOWORD(lParam);
            int height = HIWORD(lParam);
            glViewport(0, 0, width, height);
            gClientWidth = width;
            gClientHeight = height;
            return 0;
        }
        case WM_SETFOCUS: gHasFocus = 1; return 0;
        case WM_KILLFOCUS: gHasFocus = 0; return 0;
        case WM_PAINT:
            // Never validated, so paint requests keep coming and the picture keeps
            // redrawing even without the focus.
            gfxDrawFrame(window);
            return 0;
        case WM_LBUTTONDOWN: return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
