/* Counts, from outside, the frames a program presents in its window: starts the program,
 * watches every top-level window created on the display with the X Damage extension, and
 * counts the presents (one rendering request's damage, however many rectangles it has)
 * of the window with the given title. Then closes the window the way a window manager
 * does (WM_PROTOCOLS / WM_DELETE_WINDOW) and reaps the program.
 *
 * Usage: xframes [-t TITLE] [-w WARMUP_S] [-s SECONDS] [-T TIMEOUT_S] [-k] -- PROGRAM [ARGS...]
 *   -t  title of the window to count (default "Quillmere (by Vennick)")
 *   -w  seconds after the first frame before counting starts (default 1)
 *   -s  seconds to count (default 5)
 *   -T  give up when no frame has come this many seconds after the start (default 30)
 *   -k  end the program with SIGTERM instead of a close request
 * Prints one line:
 *   startup_ms=M frames=N seconds=S fps=F cpu_ms_per_frame=C maxrss_kb=R status=X
 * startup_ms: process start (just before fork) to the first present of the window;
 * cpu_ms_per_frame: the program's processor time (all its threads) over the counted
 * frames, from /proc (10 ms ticks);
 * maxrss_kb: the program's peak resident set (its own process, not its children);
 * status: its exit status, or 128+signal. Exit 0 when the window presented at least one
 * frame and the program ended by itself after the close request, 1 otherwise. */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kMaxWatched = 1024 };

typedef struct {
    Window window;
    Damage damage;
    int titleKnown; /* 1: matches, -1: has another title, 0: not named yet */
} Watched;

static Watched gWatched[kMaxWatched];
static int gWatchedCount = 0;

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + ts.tv_nsec / 1e9;
}

static int ignoreErrors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error; /* windows come and go under our feet */
    return 0;
}

static void watch(Display* display, Window window) {
    if (gWatchedCount == kMaxWatched) return;
    for (int i = 0; i < gWatchedCount; ++i)
        if (gWatched[i].window == window) return;
    Watched* w = &gWatched[gWatchedCount++];
    w->window = window;
    w->damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    w->titleKnown = 0;
}

static Watched* find(Window window) {
    for (int i = 0; i < gWatchedCount; ++i)
        if (gWatched[i].window == window) return &gWatched[i];
    return NULL;
}

static int isTarget(Display* display, Watched* w, const char* title) {
    if (w->titleKnown == 0) {
        char* name = NULL;
        if (XFetchName(display, w->window, &name) && name) {
            w->titleKnown = strcmp(name, title) == 0 ? 1 : -1;
            XFree(name);
        }
    }
    return w->titleKnown == 1;
}

/* User plus system time of the process, all threads, in clock ticks; -1 if unreadable. */
static long cpuTicks(pid_t pid) {
    char path[64], text[1024];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f) return -1;
    size_t got = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[got] = '\0';
    const char* p = strrchr(text, ')'); /* the name may hold blanks */
    unsigned long utime = 0, stime = 0;
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2) return -1;
    return (long)(utime + stime);
}

static void requestClose(Display* display, Window window) {
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

/* Waits up to `seconds` for the child; fills status and rusage. 1 when it ended. */
static int reap(pid_t pid, double seconds, int* status, struct rusage* usage) {
    double end = now() + seconds;
    for (;;) {
        pid_t got = wait4(pid, status, WNOHANG, usage);
        if (got == pid) return 1;
        if (got < 0 && errno != EINTR) return 0;
        if (now() > end) return 0;
        usleep(10 * 1000);
    }
}

int main(int argc, char** argv) {
    const char* title = "Quillmere (by Vennick)";
    double warmup = 1.0, seconds = 5.0, timeout = 30.0;
    int useSignal = 0, opt;
    while ((opt = getopt(argc, argv, "+t:w:s:T:k")) != -1) {
        switch (opt) {
            case 't': title = optarg; break;
            case 'w': warmup = atof(optarg); break;
            case 's': seconds = atof(optarg); break;
            case 'T': timeout = atof(optarg); break;
            case 'k': useSignal = 1; break;
            default:
                fprintf(stderr, "usage: xframes [-t TITLE] [-w S] [-s S] [-T S] [-k] -- PROGRAM [ARGS...]\n");
                return 2;
        }
    }
    if (optind >= argc) {
        fprintf(stderr, "xframes: no program given\n");
        return 2;
    }

    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xframes: no display\n");
        return 1;
    }
    int damageEvent, damageError;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        fprintf(stderr, "xframes: the X server has no DAMAGE extension\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    double start = now();
    pid_t pid = fork();
    if (pid < 0) {
        perror("xframes: fork");
        return 1;
    }
    if (pid == 0) {
        execvp(argv[optind], argv + optind);
        perror("xframes: exec");
        _exit(127);
    }

    Window target = 0;
    double first = 0.0, countFrom = 0.0, countTo = 0.0;
    long frames = 0, cpuFrom = -1, cpuTo = -1;
    int status = 0, ended = 0;
    struct rusage usage;
    memset(&usage, 0, sizeof usage);
    int fd = ConnectionNumber(display);

    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == DefaultRootWindow(display)) {
                watch(display, event.xcreatewindow.window);
            } else if (event.type == damageEvent + XDamageNotify) {
                XDamageNotifyEvent* damage = (XDamageNotifyEvent*)&event;
                if (damage->more) continue; /* the rest of one request's rectangles */
                Watched* w = find(damage->drawable);
                if (!w || !isTarget(display, w, title)) continue;
                double t = now();
                if (!target) {
                    target = w->window;
                    first = t;
                    countFrom = first + warmup;
                    countTo = countFrom + seconds;
                }
                if (t >= countFrom && t < countTo) {
                    if (frames++ == 0) cpuFrom = cpuTicks(pid);
                }
            }
        }
        double t = now();
        if (!target && t - start > timeout) break;
        if (target && t >= countTo) {
            cpuTo = cpuTicks(pid);
            break;
        }
        if (wait4(pid, &status, WNOHANG, &usage) == pid) {
            ended = 1; /* ended before its time: nothing to close */
            break;
        }
        fd_set read;
        FD_ZERO(&read);
        FD_SET(fd, &read);
        struct timeval wait = {0, 20 * 1000};
        select(fd + 1, &read, NULL, NULL, &wait);
    }
    double counted = countTo > countFrom ? countTo - countFrom : 0.0;

    int closedByItself = 0;
    if (!ended) {
        if (target && !useSignal)
            requestClose(display, target);
        else
            kill(pid, SIGTERM);
        ended = reap(pid, 20.0, &status, &usage);
        closedByItself = ended;
        if (!ended) {
            kill(pid, SIGKILL);
            reap(pid, 5.0, &status, &usage);
        }
    }
    int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    double cpuMs = cpuFrom >= 0 && cpuTo >= 0 && frames > 1
                       ? (cpuTo - cpuFrom) * 1000.0 / sysconf(_SC_CLK_TCK) / (frames - 1)
                       : -1.0;
    printf("startup_ms=%.1f frames=%ld seconds=%.3f fps=%.1f cpu_ms_per_frame=%.3f maxrss_kb=%ld status=%d\n",
           target ? (first - start) * 1000.0 : -1.0, frames, counted, counted > 0 ? frames / counted : 0.0, cpuMs,
           usage.ru_maxrss, exitStatus);
    XCloseDisplay(display);
    return target && closedByItself ? 0 : 1;
}
