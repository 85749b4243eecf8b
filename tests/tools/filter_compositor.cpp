// A compositor for tests: redirects every top-level window (XComposite, manual), owns the
// _NET_WM_CM_Sn selection as compositors do, and paints each window onto the overlay
// either unchanged (copy), through a 3 x 3 box filter (blur) or one pixel to the right
// (shift), so a change made at presentation can be shown to a capture.
// Usage: filter_compositor copy|blur|shift   (prints "ready" once redirected; ends on SIGTERM)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t gStop = 0;
int gErrors = 0;

// Windows come and go between a query and a read; their errors are expected.
int countError(Display*, XErrorEvent*) {
    ++gErrors;
    return 0;
}

enum class Mode { Copy, Blur, Shift };

// The filtered picture of a 32-bit-per-pixel image, in place.
void filter(XImage* image, Mode mode) {
    if (mode == Mode::Copy || image->bits_per_pixel != 32) return;
    const int w = image->width, h = image->height;
    std::vector<std::uint32_t> in((std::size_t)w * h);
    for (int y = 0; y < h; ++y)
        std::memcpy(&in[(std::size_t)y * w], image->data + (std::size_t)y * image->bytes_per_line, (std::size_t)w * 4);
    auto at = [&](int x, int y) {
        return in[(std::size_t)(y < 0 ? 0 : y >= h ? h - 1 : y) * w + (x < 0 ? 0 : x >= w ? w - 1 : x)];
    };
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image->data + (std::size_t)y * image->bytes_per_line);
        for (int x = 0; x < w; ++x) {
            if (mode == Mode::Shift) {
                row[x] = at(x - 1, y);
                continue;
            }
            std::uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                unsigned sum = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i) sum += (at(x + i, y + j) >> shift) & 0xff;
                out |= ((sum + 4) / 9) << shift;
            }
            row[x] = out;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Mode mode = Mode::Copy;
    if (argc == 2 && std::strcmp(argv[1], "blur") == 0)
        mode = Mode::Blur;
    else if (argc == 2 && std::strcmp(argv[1], "shift") == 0)
        mode = Mode::Shift;
    else if (argc != 2 || std::strcmp(argv[1], "copy") != 0) {
        std::fprintf(stderr, "usage: filter_compositor copy|blur|shift\n");
        return 2;
    }
    std::signal(SIGTERM, [](int) { gStop = 1; });
    std::signal(SIGINT, [](int) { gStop = 1; });
    Display* display = XOpenDisplay(nullptr);
    int event = 0, error = 0;
    if (!display || !XCompositeQueryExtension(display, &event, &error)) {
        std::fprintf(stderr, "filter_compositor: no X display with the Composite extension\n");
        return 1;
    }
    XSetErrorHandler(countError);
    const Window root = DefaultRootWindow(display);
    const Window owner = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    char name[32];
    std::snprintf(name, sizeof name, "_NET_WM_CM_S%d", DefaultScreen(display));
    XSetSelectionOwner(display, XInternAtom(display, name, False), owner, CurrentTime);
    XCompositeRedirectSubwindows(display, root, CompositeRedirectManual);
    const Window overlay = XCompositeGetOverlayWindow(display, root);
    GC gc = XCreateGC(display, overlay, 0, nullptr);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    while (!gStop) {
        Window parent = 0, unused = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, root, &unused, &parent, &children, &count);
        // Bottom to top, so the upper windows are painted last.
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes a;
            if (children[i] == overlay || children[i] == owner || !XGetWindowAttributes(display, children[i], &a) ||
                a.map_state != IsViewable || a.c_class != InputOutput)
                continue;
            XImage* image =
                XGetImage(display, children[i], 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
            if (!image) continue;
            filter(image, mode);
            XPutImage(display, overlay, gc, image, 0, 0, a.x, a.y, (unsigned)a.width, (unsigned)a.height);
            XDestroyImage(image);
        }
        if (children) XFree(children);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XCompositeReleaseOverlayWindow(display, root);
    XCloseDisplay(display);
    return 0;
}
