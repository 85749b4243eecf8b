// The X server going away while the program runs. Nothing can be drawn or asked of the
// window system after that, and there is no Win32 counterpart to report it through, so
// the process ends at once, before any destructor runs: with -1, the status of a failed
// start-up, while no OpenGL context has been made yet, and with 1 (what Xlib's own default
// uses) afterwards. Xlib's default exit() would run the driver's destructors while its
// rendering threads still work, and some driver paths do not notice the loss at all but
// use the reply that never came and crash. So:
//   - Xlib's I/O error handler (the connection broke under an Xlib call) ends the process;
//   - a crash (SIGSEGV, SIGBUS, SIGABRT), or a write into the closed connection (SIGPIPE),
//     while the server is gone ends it the same way; any other such signal goes on to the
//     handler that was there before, or the default action.
// Whether the server is gone is read from a connection of the layer's own, which never
// sends a request after its set-up: the server's end closing is the only thing that can
// make it readable.
#include "platform/linux/layer.h"

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace layer {
namespace {

constexpr int kStatusStartupFailed = -1;
constexpr int kStatusDisplayLost = 1;
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGABRT, SIGPIPE};

xcb_connection_t* gWatch = nullptr;
int gWatchSocket = -1;
struct sigaction gPrevious[sizeof kCrashSignals / sizeof kCrashSignals[0]];

bool serverGone() {
    char byte;
    ssize_t got = recv(gWatchSocket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

void restoreCrashHandling() {
    for (std::size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i)
        sigaction(kCrashSignals[i], &gPrevious[i], nullptr);
}

[[noreturn]] void leave() { _exit(contextEverCreated() ? kStatusDisplayLost : kStatusStartupFailed); }

int onIoError(Display*) { leave(); }

void onCrash(int signal) {
    int saved = errno;
    if (serverGone()) leave();
    std::size_t i = 0;
    while (kCrashSignals[i] != signal) ++i;
    errno = saved;
    // A broken pipe the process ignored anyway only fails its write; keep watching.
    if (signal == SIGPIPE && gPrevious[i].sa_handler == SIG_IGN) return;
    // Not ours: put this signal's previous handling back; returning repeats a fault under
    // it, and an abort or a broken pipe, which do not repeat, are raised again.
    sigaction(signal, &gPrevious[i], nullptr);
    if (signal == SIGABRT || signal == SIGPIPE) raise(signal);
}

}  // namespace

void watchDisplayLoss() {
    if (gWatch != nullptr) return;
    xcb_connection_t* watch = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(watch)) {
        xcb_disconnect(watch);
        return;
    }
    gWatch = watch;
    gWatchSocket = xcb_get_file_descriptor(watch);
    XSetIOErrorHandler(onIoError);
    struct sigaction action {};
    action.sa_handler = onCrash;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i)
        sigaction(kCrashSignals[i], &action, &gPrevious[i]);
}

void unwatchDisplayLoss() {
    if (gWatch == nullptr) return;
    restoreCrashHandling();
    XSetIOErrorHandler(nullptr);
    xcb_disconnect(gWatch);
    gWatch = nullptr;
    gWatchSocket = -1;
}

}  // namespace layer
