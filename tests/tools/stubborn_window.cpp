// A window for tests that will not close: it names its process in _NET_WM_PID as SDL does,
// keeps drawing stripes at whatever size it is given, and ignores WM_DELETE_WINDOW, so
// whoever closes it has to kill it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "stubborn_window: no X display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 40, 40, 400, 300, 0,
                                        BlackPixel(display, screen), BlackPixel(display, screen));
    long pid = getpid();
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    // It takes part in the protocol, then ignores the message.
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XMapWindow(display, window);
    GC gc = XCreateGC(display, window, 0, nullptr);
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
        }
        XWindowAttributes a;
        XGetWindowAttributes(display, window, &a);
        for (int x = 0; x < a.width; x += 8) {
            XSetForeground(display, gc, (x / 8) % 2 ? WhitePixel(display, screen) : BlackPixel(display, screen));
            XFillRectangle(display, window, gc, x, 0, 8, (unsigned)a.height);
        }
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
