// The platform contract as the system relies on it. The same tests run against the real
// Win32 (under Wine) and against platform/linux, so the two cannot drift apart.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

std::vector<UINT> gSeen;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    gSeen.push_back(message);
    // Handled without validating, as the program does; the default handling of paint
    // would validate the window and stop the paint requests.
    if (message == WM_CLOSE || message == WM_PAINT) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

bool seen(UINT message) { return std::find(gSeen.begin(), gSeen.end(), message) != gSeen.end(); }

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = recordingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "contract test";
        RegisterClassA(&windowClass);
        gSeen.clear();
        window = CreateWindowExA(0, "contract test", "contract test", WS_OVERLAPPEDWINDOW, 40, 40, 320, 240, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_PAINT) {
        }
    }
    // Removes and dispatches messages until paint is next; returns what came.
    std::vector<UINT> drain() {
        std::vector<UINT> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_PAINT) {
            BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            taken.push_back(msg.message);
            if (got) DispatchMessageA(&msg);
        }
        return taken;
    }
    HWND window = nullptr;
};

}  // namespace

TEST_F(PlatformTest, ShowUpdateAndDestroySendTheirMessagesBeforeReturning) {
    EXPECT_TRUE(seen(WM_CREATE));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, window, WM_PAINT, WM_PAINT, PM_NOREMOVE)) << "no paint before it is shown";
    gSeen.clear();
    ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_TRUE(seen(WM_SETFOCUS));
    EXPECT_TRUE(seen(WM_SIZE));
    EXPECT_EQ(GetFocus(), window);
    gSeen.clear();
    UpdateWindow(window);
    EXPECT_EQ(gSeen, std::vector<UINT>{WM_PAINT});
    gSeen.clear();
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(seen(WM_KILLFOCUS));
    EXPECT_TRUE(seen(WM_DESTROY));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(PlatformTest, QueuedMessagesComeFirstThenQuitThenPaintForever) {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    drain();
    PostMessageA(window, WM_USER + 1, 7, 8);
    PostMessageA(window, WM_USER + 2, 0, 0);
    PostQuitMessage(3);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));  // a peek that does not remove
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_TRUE(msg.message == WM_USER + 1 && msg.hwnd == window && msg.wParam == 7u && msg.lParam == 8);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, (UINT)WM_USER + 2);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);  // the quit message
    EXPECT_TRUE(msg.message == WM_QUIT && msg.wParam == 3u);
    // The update region is never validated, so paint is always pending.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.message, (UINT)WM_PAINT);
        EXPECT_EQ(msg.hwnd, window);
        gSeen.clear();
        DispatchMessageA(&msg);
        EXPECT_EQ(gSeen, std::vector<UINT>{WM_PAINT});
    }
}

TEST_F(PlatformTest, SizeCarriesTheClientAreaAndFocusFollowsTheKeyboard) {
    ShowWindow(window, SW_SHOWNORMAL);
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_GT(client.right, 0);
    EXPECT_LE(client.right, 320);

    HWND other = CreateWindowExA(0, "contract test", "other", WS_OVERLAPPEDWINDOW, 400, 40, 200, 200, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    ShowWindow(other, SW_SHOWNORMAL);
    gSeen.clear();
    SetFocus(window);
    EXPECT_EQ(GetFocus(), window);
    EXPECT_TRUE(seen(WM_SETFOCUS));
    gSeen.clear();
    SetFocus(other);
    EXPECT_EQ(GetFocus(), other);
    EXPECT_TRUE(seen(WM_KILLFOCUS));
    DestroyWindow(other);
}

TEST_F(PlatformTest, StaleAndNullHandlesFailQuietly) {
    ASSERT_TRUE(DestroyWindow(window));
    HWND stale = window;
    EXPECT_FALSE(IsWindow(stale));
    EXPECT_FALSE(DestroyWindow(stale));
    EXPECT_FALSE(ShowWindow(stale, SW_SHOWNORMAL));
    EXPECT_FALSE(PostMessageA(stale, WM_USER, 0, 0));
    HDC dc = GetDC(stale);
    EXPECT_EQ(dc, nullptr);
    EXPECT_EQ(wglCreateContext(dc), nullptr);
    EXPECT_FALSE(SwapBuffers(dc));
}

TEST_F(PlatformTest, ContextsBecomeCurrentOnlyWhenAsked) {
    ShowWindow(window, SW_SHOWNORMAL);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.cColorBits = 32;
    pfd.cDepthBits = 32;
    EXPECT_EQ(wglCreateContext(dc), nullptr) << "no pixel format set yet";
    int format = ChoosePixelFormat(dc, &pfd);
    ASSERT_GT(format, 0);
    ASSERT_TRUE(SetPixelFormat(dc, format, &pfd));
    EXPECT_EQ(GetPixelFormat(dc), format);
    HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(wglGetProcAddress("glActiveTextureARB"), nullptr);  // nothing current yet
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    EXPECT_EQ(wglGetCurrentContext(), context);
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    EXPECT_NE(wglGetProcAddress("glActiveTextureARB"), nullptr);
    EXPECT_TRUE(SwapBuffers(dc));
    EXPECT_TRUE(wglDeleteContext(context));  // deleting the current context releases it
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_FALSE(wglDeleteContext(context));
    ReleaseDC(window, dc);
}
