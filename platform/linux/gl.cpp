// Pixel formats, OpenGL contexts and buffer swaps: GDI's and WGL's subset over SDL2's GL
// functions. Each window offers exactly one pixel format, the GL visual chosen when it was
// created (the deepest depth buffer the display has); contexts do not become current
// until wglMakeCurrent, as with WGL.
#include "platform/linux/layer.h"

#include <cstdio>
#include <cstring>

namespace layer {
namespace {

constexpr int kMaxContexts = 16;

struct Context {
    std::uint32_t id = 0;  // 0 marks a free slot
    SDL_GLContext sdl = nullptr;
    HWND window = nullptr;  // the window the context is current on, if any
};

Context gContexts[kMaxContexts];
std::uint32_t gNextContextId = 1;
HGLRC gCurrent = nullptr;

Context* findContext(HGLRC context) {
    auto id = (std::uintptr_t)context;
    if (id == 0) return nullptr;
    for (Context& c : gContexts)
        if (c.id == id) return &c;
    return nullptr;
}

Window* glWindowOf(HDC dc) {
    Window* w = findWindow((HWND)dc);
    return w && w->depthBits > 0 ? w : nullptr;
}

PIXELFORMATDESCRIPTOR describe(const Window& w) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cRedBits = 8;
    pfd.cRedShift = 16;
    pfd.cGreenBits = 8;
    pfd.cGreenShift = 8;
    pfd.cBlueBits = 8;
    pfd.cBlueShift = 0;
    pfd.cDepthBits = (BYTE)w.depthBits;
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

void makeNoneCurrent() {
    SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
    gCurrent = nullptr;
}

}  // namespace

bool contextEverCreated() { return gNextContextId > 1; }

void detachContexts(HWND window) {
    for (Context& c : gContexts)
        if (c.id != 0 && c.window == window) {
            if (gCurrent == (HGLRC)(std::uintptr_t)c.id) makeNoneCurrent();
            c.window = nullptr;
        }
}

}  // namespace layer

using namespace layer;

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    if (request == nullptr || glWindowOf(dc) == nullptr) return 0;
    return 1;  // the one format there is, whatever was asked: the closest available
}

int DescribePixelFormat(HDC dc, int format, UINT bytes, PIXELFORMATDESCRIPTOR* description) {
    Window* w = glWindowOf(dc);
    if (w == nullptr) return 0;
    if (description == nullptr) return 1;
    if (format != 1) return 0;
    PIXELFORMATDESCRIPTOR pfd = describe(*w);
    std::memcpy(description, &pfd, bytes < sizeof pfd ? bytes : sizeof pfd);
    return 1;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    Window* w = glWindowOf(dc);
    if (w == nullptr || format != 1) return FALSE;
    if (w->pixelFormat != 0 && w->pixelFormat != format) return FALSE;  // set once only
    w->pixelFormat = format;
    return TRUE;
}

int GetPixelFormat(HDC dc) {
    Window* w = findWindow((HWND)dc);
    return w ? w->pixelFormat : 0;
}

HGLRC wglCreateContext(HDC dc) {
    Window* w = glWindowOf(dc);
    if (w == nullptr || w->pixelFormat == 0) return nullptr;
    Context* slot = nullptr;
    for (Context& c : gContexts)
        if (c.id == 0) {
            slot = &c;
            break;
        }
    if (slot == nullptr) return nullptr;
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, w->depthBits);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, w->samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, w->samples);
    SDL_GLContext sdl = SDL_GL_CreateContext(w->sdl);
    if (sdl == nullptr && w->samples > 0) {
        // The QUILLMERE_SAMPLES stand-in for a driver panel never stops the program.
        std::fprintf(stderr, "QUILLMERE_SAMPLES: no %d-sample context here; no multisampling\n", w->samples);
        w->samples = 0;
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
        sdl = SDL_GL_CreateContext(w->sdl);
    }
    if (sdl == nullptr) return nullptr;
    // SDL makes a new context current; WGL does not.
    SDL_GL_MakeCurrent(previous ? previousWindow : w->sdl, previous);
    slot->id = gNextContextId++;
    slot->sdl = sdl;
    slot->window = nullptr;
    return (HGLRC)(std::uintptr_t)slot->id;
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    if (context == nullptr) {
        makeNoneCurrent();
        return TRUE;
    }
    Context* c = findContext(context);
    Window* w = glWindowOf(dc);
    if (c == nullptr || w == nullptr || w->pixelFormat == 0) return FALSE;
    if (SDL_GL_MakeCurrent(w->sdl, c->sdl) != 0) return FALSE;
    if (Context* old = findContext(gCurrent)) old->window = nullptr;
    c->window = handleOf(*w);
    gCurrent = context;
    return TRUE;
}

BOOL wglDeleteContext(HGLRC context) {
    Context* c = findContext(context);
    if (c == nullptr) return FALSE;
    if (gCurrent == context) makeNoneCurrent();
    SDL_GL_DeleteContext(c->sdl);
    *c = Context{};
    return TRUE;
}

HGLRC wglGetCurrentContext() { return gCurrent; }

PROC wglGetProcAddress(LPCSTR name) {
    if (name != nullptr && headlessCurrent()) return headlessProcAddress(name);
    if (gCurrent == nullptr || name == nullptr) return nullptr;
    return (PROC)SDL_GL_GetProcAddress(name);
}

BOOL SwapBuffers(HDC dc) {
    Window* w = glWindowOf(dc);
    Context* c = findContext(gCurrent);
    if (w == nullptr || c == nullptr || c->window != (HWND)dc) return FALSE;
    SDL_GL_SwapWindow(w->sdl);
    return TRUE;
}
