// Linked into quillmere_checked, the program built with a check after every frame: the
// link wraps SwapBuffers (-Wl,--wrap), so each presented frame first comes here. The
// program itself is the real one: its WinMain, its loop, its platform layer.
//
// For every frame presented with a context current: read and count OpenGL errors, count
// the frame, and count it separately when the window has no keyboard focus (only paint
// requests draw then). At exit one line goes to stderr:
//   frame-checks: frames=N unfocused_frames=N gl_errors=N first_error=0xE
// and after a SIGUSR1, at the next frame, the allocator gives its free pages back to the
// system (so that the resident set then shows memory in use, not how the freed memory
// happens to lie) and the heap in use, by malloc's count, goes to stderr:
//   frame-checks: heap_in_use_kb=N
#include <csignal>
#include <cstdio>
#include <malloc.h>

#include "app/app.h"

extern "C" BOOL __real__Z11SwapBuffersP5HDC__(HDC dc);

namespace {

volatile std::sig_atomic_t gHeapReportWanted = 0;

void wantHeapReport(int) { gHeapReportWanted = 1; }

struct FrameChecks {
    long frames = 0;
    long unfocusedFrames = 0;
    long glErrors = 0;
    GLenum firstError = GL_NO_ERROR;

    FrameChecks() {
        struct sigaction action {};
        action.sa_handler = wantHeapReport;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, nullptr);
    }

    void frame() {
        for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
            if (glErrors++ == 0) firstError = error;
            if (glErrors > 100) break;  // a lost context may never stop answering
        }
        ++frames;
        if (!gHasFocus) ++unfocusedFrames;
        if (gHeapReportWanted) {
            gHeapReportWanted = 0;
            malloc_trim(0);
            struct mallinfo2 heap = mallinfo2();
            std::fprintf(stderr, "frame-checks: heap_in_use_kb=%zu\n", (heap.uordblks + heap.hblkhd) / 1024);
        }
    }

    ~FrameChecks() {
        std::fprintf(stderr, "frame-checks: frames=%ld unfocused_frames=%ld gl_errors=%ld first_error=0x%x\n", frames,
                     unfocusedFrames, glErrors, firstError);
    }
};

FrameChecks gChecks;

}  // namespace

extern "C" BOOL __wrap__Z11SwapBuffersP5HDC__(HDC dc) {
    if (wglGetCurrentContext() != nullptr) gChecks.frame();
    return __real__Z11SwapBuffersP5HDC__(dc);
}
