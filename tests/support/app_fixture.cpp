#include "tests/support/app_fixture.h"

#include <cstring>

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

std::vector<FeedbackPolygon> testFeedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 19);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<FeedbackPolygon> polygons;
    for (GLint k = 0; k < used; k += 2 + 11 * static_cast<int>(buffer[k + 1])) {
        EXPECT_EQ(buffer[k], static_cast<GLfloat>(GL_POLYGON_TOKEN));
        FeedbackPolygon& p = polygons.emplace_back(static_cast<size_t>(buffer[k + 1]));
        std::memcpy(p.data(), &buffer[k + 2], p.size() * sizeof(FeedbackCorner));
    }
    return polygons;
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
