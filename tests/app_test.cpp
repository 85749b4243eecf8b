// The window procedure and the loop, driven with real messages through a real window.
#include <cstring>

#include "tests/support/app_fixture.h"
#include "tests/support/frame_counter.h"

namespace {

void expectViewport(int width, int height) {
    GLint viewport[4] = {-1, -1, -1, -1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], width);
    EXPECT_EQ(viewport[3], height);
}

// Takes messages until a paint request comes, dispatching the others.
bool takePaint(MSG* msg) {
    for (int i = 0; i < 1000; ++i) {
        if (!PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE)) continue;
        if (msg->message == WM_PAINT) return true;
        if (msg->message == WM_QUIT) return false;
        DispatchMessageA(msg);
    }
    return false;
}

}  // namespace

TEST_F(AppFixture, SizeSetsViewportAndStoredSizeFromBothHalvesOfLParamButNotTheProjection) {
    const struct {
        int width, height;
        bool viewportFits;
    } cases[] = {{300, 200, true}, {0, 0, true}, {1, 573, true}, {40000, 65535, false}};
    GLfloat before[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        EXPECT_EQ(SendMessageA(window, WM_SIZE, 0, MAKELPARAM(c.width, c.height)), 0);
        EXPECT_EQ(gClientWidth, c.width);  // unsigned halves: never negative
        EXPECT_EQ(gClientHeight, c.height);
        if (c.viewportFits) expectViewport(c.width, c.height);
        glGetFloatv(GL_PROJECTION_MATRIX, after);
        EXPECT_EQ(std::memcmp(before, after, sizeof before), 0) << "the projection stays";
    }
}

TEST_F(AppFixture, PaintKeepsComingAndDrawsWithoutFocus) {
    FrameCounter frames;
    ASSERT_TRUE(frames.ready());
    SendMessageA(window, WM_KILLFOCUS, 0, 0);
    gRotX = 45.0f;
    frames.start();
    MSG msg;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(takePaint(&msg)) << "paint request " << i;
        EXPECT_EQ(msg.hwnd, window);
        EXPECT_EQ(DispatchMessageA(&msg), 0);
    }
    EXPECT_EQ(frames.stop(), 3);
    EXPECT_EQ(gRotX, 0.0f);  // the frame resets it
    EXPECT_EQ(gHasFocus, 0);
}

// The focus messages keep the flag; a left press is swallowed; a close only asks the loop
// to end, and so does the destruction.
TEST_F(AppFixture, MessagesKeepTheFocusFlagAndCloseAndDestructionRequestQuit) {
    const struct {
        UINT message;
        BYTE focus;
        bool quit;
    } cases[] = {{WM_KILLFOCUS, 0, false}, {WM_SETFOCUS, 1, false}, {WM_LBUTTONDOWN, 1, false}, {WM_CLOSE, 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(SendMessageA(window, c.message, 0, MAKELPARAM(10, 10)), 0);
        EXPECT_EQ(gHasFocus, c.focus);
        EXPECT_TRUE(IsWindow(window));
        EXPECT_EQ(testDispatchPending(), c.quit);
    }
    ASSERT_TRUE(DestroyWindow(window));
    window = nullptr;
    EXPECT_TRUE(testDispatchPending());
}

// Each pass handles one message and then, while active and focused, draws one frame;
// queued messages come before paint, and the quit message ends the loop.
TEST_F(AppFixture, LoopDrawsOneFramePerPassOnlyWhileActiveAndFocused) {
    FrameCounter frames;
    ASSERT_TRUE(frames.ready());
    const struct {
        BYTE active, focus;
        bool draws;
    } cases[] = {{1, 1, true}, {1, 0, false}, {0, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "active " << int(c.active) << ", focus " << int(c.focus));
        testDispatchPending();
        gAppActive = c.active;
        gHasFocus = c.focus;
        for (int i = 0; i < 3; ++i) PostMessageA(window, WM_USER, 0, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
        frames.start();
        EXPECT_EQ(appRunLoop(0), 0);
        long drawn = frames.stop();
        if (c.draws) {
            EXPECT_GE(drawn, 4);  // three messages and the close; more if input arrived
            EXPECT_LE(drawn, 8);
        } else {
            EXPECT_EQ(drawn, 0);
        }
        EXPECT_TRUE(IsWindow(window));
    }
}

TEST(AppWindow, MessagesBeforeTheContextAreHarmless) {
    HWND window = testCreateAppWindow();
    ASSERT_NE(window, nullptr);
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_GT(client.right, 0);
    EXPECT_LE(client.right, 820);
    EXPECT_LE(client.bottom, 600);
    EXPECT_EQ(gClientWidth, client.right);  // stored although there was no context
    EXPECT_EQ(gClientHeight, client.bottom);
    EXPECT_EQ(SendMessageA(window, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(gfxDrawFrame(window), 0);

    ASSERT_EQ(gfxInit(window), 0);
    expectViewport(client.right, client.bottom);  // set when the context became current
    gfxShutdown();
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(testDispatchPending());
}
