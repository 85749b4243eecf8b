// The message queue: posting, peeking, getting, translating and dispatching, with
// Win32's order (posted and input messages, then the quit message, then paint) and
// SDL's window events turned into the messages a Win32 window would receive.
#include "platform/linux/layer.h"

namespace layer {
namespace {

constexpr int kQueueCapacity = 512;

MSG gQueue[kQueueCapacity];
int gQueueHead = 0;
int gQueueCount = 0;
bool gQuitPending = false;
int gQuitCode = 0;
MouseMotion gMouseMotion;

bool post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (gQueueCount == kQueueCapacity) return false;  // Win32's queue has a limit too
    MSG& m = gQueue[(gQueueHead + gQueueCount) % kQueueCapacity];
    m = MSG{window, message, wParam, lParam, SDL_GetTicks(), {0, 0}};
    ++gQueueCount;
    return true;
}

bool matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && m.hwnd != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return m.message >= filterMin && m.message <= filterMax;
}

WPARAM mouseKeys() {
    Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    WPARAM keys = 0;
    if (buttons & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
    return keys;
}

// SDL key codes for which a Win32 virtual-key code exists in the subset.
WPARAM virtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    switch (key) {
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_RETURN: return VK_RETURN;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        default: return 0;
    }
}

void handleWindowEvent(Window& w, const SDL_WindowEvent& e) {
    HWND handle = handleOf(w);
    switch (e.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: focusChanged(&w, nullptr); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: focusChanged(nullptr, &w); break;
        case SDL_WINDOWEVENT_MINIMIZED:
            w.minimized = true;
            sendSize(w);
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            w.minimized = false;
            sendSize(w);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: sendSize(w); break;
        case SDL_WINDOWEVENT_CLOSE: post(handle, WM_CLOSE, 0, 0); break;
        default: break;
    }
}

void handleEvent(const SDL_Event& e) {
    Uint32 windowId = 0;
    switch (e.type) {
        case SDL_WINDOWEVENT: windowId = e.window.windowID; break;
        case SDL_MOUSEMOTION: windowId = e.motion.windowID; break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: windowId = e.button.windowID; break;
        case SDL_MOUSEWHEEL: windowId = e.wheel.windowID; break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: windowId = e.key.windowID; break;
        default: return;
    }
    if (e.type == SDL_MOUSEMOTION) {
        gMouseMotion.dx += e.motion.xrel;
        gMouseMotion.dy += e.motion.yrel;
    } else if (e.type == SDL_MOUSEWHEEL) {
        gMouseMotion.wheel += (long)e.wheel.y * 120;
    }
    Window* w = nullptr;
    if (SDL_Window* sdl = SDL_GetWindowFromID(windowId)) w = findWindowBySdl(sdl);
    if (w == nullptr) return;
    HWND handle = handleOf(*w);
    switch (e.type) {
        case SDL_WINDOWEVENT: handleWindowEvent(*w, e.window); break;
        case SDL_MOUSEMOTION: post(handle, WM_MOUSEMOVE, mouseKeys(), MAKELPARAM(e.motion.x, e.motion.y)); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            bool down = e.type == SDL_MOUSEBUTTONDOWN;
            UINT message = 0;
            if (e.button.button == SDL_BUTTON_LEFT) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            if (e.button.button == SDL_BUTTON_RIGHT) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            if (e.button.button == SDL_BUTTON_MIDDLE) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            if (message) post(handle, message, mouseKeys(), MAKELPARAM(e.button.x, e.button.y));
            break;
        }
        case SDL_MOUSEWHEEL: post(handle, WM_MOUSEWHEEL, ((WPARAM)(WORD)(short)(e.wheel.y * 120)) << 16, 0); break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (WPARAM vk = virtualKey(e.key.keysym.sym))
                post(handle, e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, (LPARAM)e.key.keysym.scancode << 16);
            break;
    }
}

// Finds the next message for the filter: queued first, then quit, then paint.
bool nextMessage(MSG* out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    for (int i = 0; i < gQueueCount; ++i) {
        int index = (gQueueHead + i) % kQueueCapacity;
        if (!matches(gQueue[index], window, filterMin, filterMax)) continue;
        *out = gQueue[index];
        if (remove) {
            for (int j = i; j > 0; --j)
                gQueue[(gQueueHead + j) % kQueueCapacity] = gQueue[(gQueueHead + j - 1) % kQueueCapacity];
            gQueueHead = (gQueueHead + 1) % kQueueCapacity;
            --gQueueCount;
        }
        return true;
    }
    if (gQuitPending) {
        *out = MSG{nullptr, WM_QUIT, (WPARAM)gQuitCode, 0, SDL_GetTicks(), {0, 0}};
        if (remove) gQuitPending = false;
        return true;
    }
    // A shown window has paint pending until the default paint handling validates it;
    // the program never lets it, so paint keeps coming.
    bool paintWanted = (filterMin == 0 && filterMax == 0) || (WM_PAINT >= filterMin && WM_PAINT <= filterMax);
    if (paintWanted) {
        for (int i = 0; i < kMaxWindows; ++i) {
            Window* w = windowAt(i);
            if (w == nullptr || !w->visible || w->minimized || w->validated) continue;
            if (window != nullptr && handleOf(*w) != window) continue;
            *out = MSG{handleOf(*w), WM_PAINT, 0, 0, SDL_GetTicks(), {0, 0}};
            return true;
        }
    }
    return false;
}

}  // namespace

void pumpEvents() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) handleEvent(e);
}

MouseMotion& mouseMotion() { return gMouseMotion; }

void purgeMessages(HWND window) {
    int kept = 0;
    for (int i = 0; i < gQueueCount; ++i) {
        const MSG& m = gQueue[(gQueueHead + i) % kQueueCapacity];
        if (m.hwnd != window) gQueue[(gQueueHead + kept++) % kQueueCapacity] = m;
    }
    gQueueCount = kept;
}

}  // namespace layer

using namespace layer;

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (msg == nullptr) return FALSE;
    pumpEvents();
    return nextMessage(msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0);
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr) return -1;
    for (;;) {
        pumpEvents();
        if (nextMessage(msg, window, filterMin, filterMax, true)) return msg->message != WM_QUIT;
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return -1;  // nothing could ever arrive
        SDL_WaitEventTimeout(nullptr, 100);
    }
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || msg->message != WM_KEYDOWN) return FALSE;
    WPARAM vk = msg->wParam;
    WPARAM ch = 0;
    bool shift = (SDL_GetModState() & KMOD_SHIFT) != 0;
    if (vk >= 'A' && vk <= 'Z')
        ch = shift ? vk : vk - 'A' + 'a';
    else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK ||
             vk == VK_TAB)
        ch = vk;
    if (ch == 0) return FALSE;
    post(msg->hwnd, WM_CHAR, ch, msg->lParam);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    Window* w = findWindow(msg->hwnd);
    if (w == nullptr) return 0;
    return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = findWindow(window);
    return w ? w->proc(window, message, wParam, lParam) : 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && findWindow(window) == nullptr) return FALSE;
    return post(window, message, wParam, lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_NCCREATE: return TRUE;
        case WM_PAINT:
            if (Window* w = findWindow(window)) w->validated = true;
            return 0;
        case WM_CLOSE: DestroyWindow(window); return 0;
        default: return 0;
    }
}

void PostQuitMessage(int exitCode) {
    gQuitPending = true;
    gQuitCode = exitCode;
}
