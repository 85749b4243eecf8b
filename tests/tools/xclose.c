/* Waits for a top-level window with the given title to be shown and asks it to close the
 * way a window manager does: a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
 * Usage: xclose TITLE [SECONDS]   Exit 0 once sent, 1 if no such window was shown within
 * SECONDS (120 if not given). */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

static int titleIs(Display* display, Window window, const char* title) {
    char* name = NULL;
    int same = 0;
    if (XFetchName(display, window, &name) && name) {
        same = strcmp(name, title) == 0;
        XFree(name);
    }
    return same;
}

static Window findWindow(Display* display, Window parent, const char* title, int depth) {
    Window root, up, *children = NULL, found = 0;
    unsigned count = 0;
    if (titleIs(display, parent, title)) return parent;
    if (depth == 0 || !XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) found = findWindow(display, children[i], title, depth - 1);
    if (children) XFree(children);
    return found;
}

/* Waits until the window is mapped and viewable (its program has shown it) or the time ends. */
static int awaitViewable(Display* display, Window window, time_t end) {
    XSelectInput(display, window, StructureNotifyMask);
    for (;;) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes)) return 0;
        if (attributes.map_state == IsViewable) return 1;
        time_t now = time(NULL);
        if (now >= end) return 0;
        /* Block until the server sends something (a MapNotify, say), checking again after. */
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(ConnectionNumber(display), &readable);
        struct timeval left = {end - now, 0};
        if (!XPending(display)) select(ConnectionNumber(display) + 1, &readable, NULL, NULL, &left);
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
        }
    }
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: xclose TITLE [SECONDS]\n");
        return 2;
    }
    double seconds = argc > 2 ? atof(argv[2]) : 120.0;
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xclose: no display\n");
        return 1;
    }
    time_t end = time(NULL) + (time_t)seconds;
    Window target = 0;
    while (!(target = findWindow(display, DefaultRootWindow(display), argv[1], 3)) && time(NULL) < end)
        usleep(100 * 1000);
    if (!target || !awaitViewable(display, target, end)) {
        fprintf(stderr, "xclose: no window titled '%s' shown\n", argv[1]);
        return 1;
    }
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
