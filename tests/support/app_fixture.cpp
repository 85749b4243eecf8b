#include "tests/support/app_fixture.h"

HWND testCreateAppWindow() {
    gInstance = GetModuleHandleA(nullptr);
    gWindow = appCreateWindow(gInstance, SW_SHOWNORMAL);
    return gWindow;
}

bool testDispatchPending() {
    bool quit = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_PAINT) {
        if (!GetMessageA(&msg, nullptr, 0, 0)) {
            quit = true;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return quit;
}

unsigned testReadPixel(int x, int y) {
    unsigned char rgb[3] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return (unsigned)rgb[0] << 16 | (unsigned)rgb[1] << 8 | rgb[2];
}

void AppFixture::SetUp() {
    window = testCreateAppWindow();
    ASSERT_NE(window, nullptr) << "no window: is a display reachable?";
    ASSERT_EQ(gfxInit(window), 0) << "no OpenGL context";
    testDispatchPending();
}

void AppFixture::TearDown() {
    gfxShutdown();
    if (window) DestroyWindow(window);
    testDispatchPending();  // takes the quit message the destruction posts
    gWindow = nullptr;
    gGlContext = nullptr;
}
