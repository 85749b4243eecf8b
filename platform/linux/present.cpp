// Another program's window on X11 (Xlib): found by its _NET_WM_PID, captured from its own
// contents, or from the screen where a compositor (the _NET_WM_CM_Sn selection's owner)
// may have changed what is shown, and closed with WM_DELETE_WINDOW. Where the program
// would show its window on Wayland, the window steps are present_wayland's.
#include "platform/present.h"

#include "platform/linux/present_wayland.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

Display* gDisplay = nullptr;
int gErrors = 0;

// Counts protocol errors instead of ending the process: the other window may go at any time.
int countError(Display*, XErrorEvent*) {
    ++gErrors;
    return 0;
}

// Runs `f` with X errors counted; true when none arrived.
template <typename F>
bool quietly(F f) {
    XSync(gDisplay, False);
    gErrors = 0;
    auto previous = XSetErrorHandler(countError);
    f();
    XSync(gDisplay, False);
    XSetErrorHandler(previous);
    return gErrors == 0;
}

// The shared connection, opened on first use.
bool connect(std::string& reason) {
    if (gDisplay) return true;
    gDisplay = XOpenDisplay(nullptr);
    if (!gDisplay) reason = "cannot open the X display";
    return gDisplay != nullptr;
}

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// The pid a window's _NET_WM_PID names, or 0.
long windowPid(Window w) {
    static const Atom pidAtom = XInternAtom(gDisplay, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(gDisplay, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        if (type == XA_CARDINAL && format == 32 && count == 1) pid = *reinterpret_cast<long*>(data);
        XFree(data);
    }
    return pid;
}

// A viewable window of `pid` under `parent` (a window manager puts clients inside frames).
Window findByPid(Window parent, long pid, int depth) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(gDisplay, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = count; i-- > 0 && !found;) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(gDisplay, children[i], &a) || a.map_state != IsViewable) continue;
        if (a.c_class == InputOutput && windowPid(children[i]) == pid)
            found = children[i];
        else if (depth < 3)
            found = findByPid(children[i], pid, depth + 1);
    }
    if (children) XFree(children);
    return found;
}

// Whether a compositor owns this screen's _NET_WM_CM_Sn selection.
bool compositing() {
    char name[32];
    std::snprintf(name, sizeof name, "_NET_WM_CM_S%d", DefaultScreen(gDisplay));
    return XGetSelectionOwner(gDisplay, XInternAtom(gDisplay, name, False)) != None;
}

// Bits set in a channel mask, and where they start.
int bitsOf(unsigned long mask) { return std::popcount(mask); }
int shiftOf(unsigned long mask) { return mask ? std::countr_zero(mask) : 0; }

}  // namespace

std::string presentUnavailable() {
    if (present_wayland::session()) return present_wayland::describe(present_wayland::support());
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return "no X display";
    std::string reason;
    return connect(reason) ? std::string() : reason;
}

bool presentStart(const std::string& path, const std::vector<std::string>& additions, PresentProcess& process,
                  std::string& reason) {
    if (access(path.c_str(), X_OK) != 0) {
        reason = path + " is not an executable (" + std::strerror(errno) + ")";
        return false;
    }
    std::vector<std::string> keep;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const std::string& a : additions)
            replaced = replaced || entry.compare(0, a.find('=') + 1, a, 0, a.find('=') + 1) == 0;
        if (!replaced) keep.push_back(entry);
    }
    keep.insert(keep.end(), additions.begin(), additions.end());
    std::vector<char*> envp;
    for (std::string& e : keep) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = path;
    char* argv[] = {arg0.data(), nullptr};
    pid_t pid = 0;
    int error = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data());
    if (error != 0) {
        reason = "cannot start " + path + " (" + std::strerror(error) + ")";
        return false;
    }
    process = PresentProcess{};
    process.process = pid;
    return true;
}

bool presentFindWindow(PresentProcess& process, double seconds, std::string& reason) {
    const bool wayland = present_wayland::session();
    if (!wayland && !connect(reason)) return false;
    const double end = now() + seconds;
    for (;;) {
        std::uintptr_t w = 0;
        if (wayland)
            w = present_wayland::findWindow((long long)process.process);
        else
            quietly([&] { w = findByPid(DefaultRootWindow(gDisplay), (long)process.process, 0); });
        if (w) {
            process.window = w;
            return true;
        }
        if (presentExited(process)) {
            reason = "the program ended (status " + std::to_string(process.status) + ") without showing a window";
            return false;
        }
        if (now() > end) {
            reason = std::string("no window of the program appeared ") +
                     (wayland ? "in sway's tree" : "on the X display") + " within " + std::to_string((int)seconds) +
                     " s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool presentClientSize(const PresentProcess& process, int& width, int& height) {
    if (present_wayland::session()) return present_wayland::clientSize(process, width, height);
    XWindowAttributes a;
    bool ok = false;
    if (gDisplay && process.window)
        quietly([&] { ok = XGetWindowAttributes(gDisplay, (Window)process.window, &a) != 0; });
    if (!ok) return false;
    width = a.width;
    height = a.height;
    return true;
}

bool presentResize(const PresentProcess& process, int width, int height, std::string& reason) {
    if (present_wayland::session()) return present_wayland::resize(process, width, height, reason);
    bool ok = gDisplay && process.window && quietly([&] {
                  XResizeWindow(gDisplay, (Window)process.window, (unsigned)width, (unsigned)height);
                  XRaiseWindow(gDisplay, (Window)process.window);
              });
    if (!ok) reason = "the window refused a resize to " + std::to_string(width) + "x" + std::to_string(height);
    return ok;
}

bool presentCapture(const PresentProcess& process, PresentShot& shot, std::string& reason) {
    if (present_wayland::session()) return present_wayland::capture(process, shot, reason);
    if (!gDisplay || !process.window) {
        reason = "no window";
        return false;
    }
    const Window window = (Window)process.window;
    const Window root = DefaultRootWindow(gDisplay);
    XImage* image = nullptr;
    XWindowAttributes a{}, from{};
    bool composited = compositing();
    bool ok = quietly([&] {
        if (!XGetWindowAttributes(gDisplay, window, &a)) return;
        if (!composited) {
            // Without a compositor the window's contents are what the screen shows of it.
            from = a;
            image = XGetImage(gDisplay, window, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
            return;
        }
        // A compositor may redraw the window changed: the screen's pixels over it count.
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(gDisplay, window, root, 0, 0, &x, &y, &child);
        XGetWindowAttributes(gDisplay, root, &from);
        if (x < 0 || y < 0 || x + a.width > from.width || y + a.height > from.height) return;
        image = XGetImage(gDisplay, root, x, y, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
    });
    if (!ok || !image) {
        if (image) XDestroyImage(image);
        reason = composited ? "the window lies partly off the screen or is gone" : "the window is gone or unmapped";
        return false;
    }
    const unsigned long masks[3] = {from.visual->red_mask, from.visual->green_mask, from.visual->blue_mask};
    shot.width = a.width;
    shot.height = a.height;
    shot.rgb.assign((std::size_t)a.width * a.height * 3, 0);
    for (int c = 0; c < 3; ++c) shot.channelBits[c] = bitsOf(masks[c]);
    std::uint8_t* out = shot.rgb.data();
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            for (int c = 0; c < 3; ++c)
                *out++ = present_wayland::widenChannel((pixel & masks[c]) >> shiftOf(masks[c]), shot.channelBits[c]);
        }
    XDestroyImage(image);
    shot.method = composited ? "X11, compositor running: the screen's pixels over the window"
                             : "X11, no compositor: the window's contents";
    return true;
}

bool presentExited(PresentProcess& process) {
    if (process.ended) return true;
    int status = 0;
    if (waitpid((pid_t)process.process, &status, WNOHANG) != (pid_t)process.process) return false;
    process.ended = true;
    process.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

std::string presentClose(PresentProcess& process, double seconds) {
    // A pid of 0 or less would signal a whole process group.
    if (process.process <= 0) return "it was never started";
    const bool wayland = present_wayland::session();
    const char* message = wayland ? "sway's kill (xdg_toplevel.close)" : "WM_DELETE_WINDOW";
    std::string how = std::string("closed by ") + message;
    if (wayland && process.window && !presentExited(process)) {
        if (!present_wayland::askClose(process)) how = "its window was already gone";
    } else if (gDisplay && process.window && !presentExited(process)) {
        bool sent = quietly([&] {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = (Window)process.window;
            e.xclient.message_type = XInternAtom(gDisplay, "WM_PROTOCOLS", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = (long)XInternAtom(gDisplay, "WM_DELETE_WINDOW", False);
            e.xclient.data.l[1] = CurrentTime;
            XSendEvent(gDisplay, (Window)process.window, False, NoEventMask, &e);
        });
        if (!sent) how = "its window was already gone";
    } else if (!process.window) {
        how = "it had no window";
    }
    const double end = now() + seconds;
    while (!presentExited(process) && now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!presentExited(process)) {
        kill((pid_t)process.process, SIGKILL);
        waitpid((pid_t)process.process, nullptr, 0);
        process.ended = true;
        process.status = 128 + SIGKILL;
        how = "killed: it did not end within " + std::to_string((int)seconds) + " s of " + message;
    } else {
        how += ", exit status " + std::to_string(process.status);
    }
    if (gDisplay) XCloseDisplay(gDisplay);
    gDisplay = nullptr;
    present_wayland::disconnect();
    return how;
}

std::string presentSelfPath() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, (std::size_t)n) : std::string();
}

std::string presentExecutableName(const std::string& stem) { return stem; }

bool presentReadsSamplesVariable() { return true; }
