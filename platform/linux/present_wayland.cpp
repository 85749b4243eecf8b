// The screen's pixels over a window on a wlroots compositor: one screen-copy frame of the
// output's region where sway says the window's contents lie, copied into a wl_shm buffer
// and read through the buffer format's channel masks.
#include "platform/linux/present_wayland.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace present_wayland {
namespace {

// A capture the compositor has not answered within this long will not be answered.
constexpr double kAnswerSeconds = 5;

struct OutputGlobal {
    wl_output* output = nullptr;
    std::string name;  // from wl_output version 4 on
};

// The connection and the globals it bound, kept from the first question to disconnect().
struct Connection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    std::vector<std::unique_ptr<OutputGlobal>> outputs;
    bool asked = false;
} gConnection;

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

void outputName(void* data, wl_output*, const char* name) { static_cast<OutputGlobal*>(data)->name = name; }
void ignoreGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {
}
void ignoreMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void ignoreDone(void*, wl_output*) {}
void ignoreScale(void*, wl_output*, int32_t) {}
void ignoreDescription(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener = {ignoreGeometry, ignoreMode, ignoreDone,
                                            ignoreScale,    outputName, ignoreDescription};

// Binds the globals a capture needs as the compositor announces them.
void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    Connection& c = gConnection;
    if (std::strcmp(interface, wl_shm_interface.name) == 0 && !c.shm) {
        c.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0 && !c.screencopy) {
        c.screencopy = static_cast<zwlr_screencopy_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_screencopy_manager_v1_interface, std::min(version, 3u)));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto o = std::make_unique<OutputGlobal>();
        o->output =
            static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4u)));
        wl_output_add_listener(o->output, &kOutputListener, o.get());
        c.outputs.push_back(std::move(o));
    }
}
void globalRemoved(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemoved};

// Dispatches the compositor's events until `done` is set; false on a broken connection or
// at the deadline.
bool dispatchUntil(const bool& done, double seconds) {
    wl_display* d = gConnection.display;
    const double end = now() + seconds;
    while (!done) {
        while (wl_display_prepare_read(d) != 0)
            if (wl_display_dispatch_pending(d) < 0) return false;
        if (done) {
            wl_display_cancel_read(d);
            break;
        }
        wl_display_flush(d);
        pollfd p{wl_display_get_fd(d), POLLIN, 0};
        const int ms = (int)((end - now()) * 1000);
        if (ms <= 0 || poll(&p, 1, ms) <= 0) {
            wl_display_cancel_read(d);
            return false;
        }
        if (wl_display_read_events(d) < 0 || wl_display_dispatch_pending(d) < 0) return false;
    }
    return wl_display_get_error(d) == 0;
}

// The wl_output sway calls `name`; the only one where the compositor names none.
wl_output* outputNamed(const std::string& name) {
    for (const auto& o : gConnection.outputs)
        if (o->name == name) return o->output;
    return gConnection.outputs.size() == 1 && gConnection.outputs[0]->name.empty() ? gConnection.outputs[0]->output
                                                                                   : nullptr;
}

// One frame's events, as the compositor sends them.
struct Frame {
    ShmFrame shm;
    bool offered = false;  // a wl_shm buffer was described
    bool described = false, ready = false, failed = false;
    uint32_t version = 1;
};

void frameBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
                 uint32_t stride) {
    Frame& f = *static_cast<Frame*>(data);
    f.shm.format = format;
    f.shm.width = (int)width;
    f.shm.height = (int)height;
    f.shm.stride = (int)stride;
    f.offered = true;
    // Before version 3 the wl_shm buffer is the only kind, and no buffer_done follows.
    if (f.version < 3) f.described = true;
}
void frameFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
    static_cast<Frame*>(data)->shm.yInvert = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
}
void frameReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
    static_cast<Frame*>(data)->ready = true;
}
void frameFailed(void* data, zwlr_screencopy_frame_v1*) {
    Frame& f = *static_cast<Frame*>(data);
    f.failed = f.described = f.ready = true;
}
void frameDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void frameDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void frameBufferDone(void* data, zwlr_screencopy_frame_v1*) { static_cast<Frame*>(data)->described = true; }
const zwlr_screencopy_frame_v1_listener kFrameListener = {frameBuffer, frameFlags,  frameReady,     frameFailed,
                                                          frameDamage, frameDmabuf, frameBufferDone};

// Copies the described frame into a shared-memory buffer and reads it; false and why.
bool copyFrame(zwlr_screencopy_frame_v1* frame, Frame& f, PresentShot& shot, std::string& reason) {
    const std::size_t size = (std::size_t)f.shm.stride * (std::size_t)f.shm.height;
    int fd = memfd_create("quillmere-present", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, (off_t)size) != 0) {
        if (fd >= 0) close(fd);
        reason = "cannot make a shared-memory buffer of " + std::to_string(size) + " bytes";
        return false;
    }
    void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    wl_shm_pool* pool = pixels != MAP_FAILED ? wl_shm_create_pool(gConnection.shm, fd, (int32_t)size) : nullptr;
    close(fd);
    if (!pool) {
        if (pixels != MAP_FAILED) munmap(pixels, size);
        reason = "cannot map a shared-memory buffer";
        return false;
    }
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, f.shm.width, f.shm.height, f.shm.stride, f.shm.format);
    zwlr_screencopy_frame_v1_copy(frame, buffer);
    bool answered = dispatchUntil(f.ready, kAnswerSeconds);
    bool ok = answered && !f.failed && shmToRgb(f.shm, static_cast<const std::uint8_t*>(pixels), shot, reason);
    if (!answered) reason = "the compositor did not copy the frame";
    if (answered && f.failed) reason = "the compositor failed to copy the frame";
    wl_buffer_destroy(buffer);
    wl_shm_pool_destroy(pool);
    munmap(pixels, size);
    return ok;
}

}  // namespace

bool session() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return wayland && *wayland && (!display || !*display || (driver && std::strstr(driver, "wayland")));
}

Support support() {
    Connection& c = gConnection;
    if (!c.asked) {
        c.asked = true;
        c.display = wl_display_connect(nullptr);
        if (c.display) {
            c.registry = wl_display_get_registry(c.display);
            wl_registry_add_listener(c.registry, &kRegistryListener, nullptr);
            // The globals, then the outputs' own events.
            wl_display_roundtrip(c.display);
            wl_display_roundtrip(c.display);
        }
    }
    if (!c.display) return Support::NoCompositor;
    if (!c.screencopy || !c.shm) return Support::NoScreencopy;
    return swayReachable() ? Support::Available : Support::NoWindowPositions;
}

std::string describe(Support s) {
    switch (s) {
        case Support::NoCompositor: return "the Wayland display WAYLAND_DISPLAY names cannot be reached";
        case Support::NoScreencopy:
            return "the program would show its window on Wayland, which lets no other program read a window's pixels, "
                   "and this compositor offers no screen-copy protocol (wlr-screencopy-unstable-v1)";
        case Support::NoWindowPositions:
            return "the compositor offers screen copies, but no sway IPC socket (SWAYSOCK) tells where the window lies";
        case Support::Available: break;
    }
    return {};
}

bool capture(const PresentProcess& process, PresentShot& shot, std::string& reason) {
    View view;
    Output where;
    const Support offered = support();
    if (offered != Support::Available) {
        reason = describe(offered);
        return false;
    }
    if (!currentView(process, view)) {
        reason = "the window is gone from sway's tree";
        return false;
    }
    wl_output* output = currentOutput(view.content, where) ? outputNamed(where.name) : nullptr;
    if (!output) {
        reason = "the window lies on no output the compositor names";
        return false;
    }
    Frame f;
    f.version = zwlr_screencopy_manager_v1_get_version(gConnection.screencopy);
    const Rect& r = view.content;
    auto* frame = zwlr_screencopy_manager_v1_capture_output_region(
        gConnection.screencopy, 0, output, r.x - where.rect.x, r.y - where.rect.y, r.width, r.height);
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrameListener, &f);
    const bool answered = dispatchUntil(f.described, kAnswerSeconds);
    bool ok = answered && !f.failed && f.offered;
    if (!ok) {
        reason = !answered  ? "the compositor did not describe the capture's buffer"
                 : f.failed ? "the compositor refused to capture the window's region"
                            : "the compositor offered no shared-memory buffer for the capture";
    } else if (f.shm.width != r.width || f.shm.height != r.height) {
        // A scaled output holds more pixels than the window's logical size; one cut at
        // the output's edge fewer.
        reason = "the compositor's copy of the window is " + std::to_string(f.shm.width) + "x" +
                 std::to_string(f.shm.height) + " pixels (output scale " + std::to_string(where.scale) +
                 "), its contents " + std::to_string(r.width) + "x" + std::to_string(r.height);
        ok = false;
    } else {
        ok = copyFrame(frame, f, shot, reason);
    }
    zwlr_screencopy_frame_v1_destroy(frame);
    if (ok) shot.method = "Wayland, wlr-screencopy: the compositor's output over the window (found through sway's IPC)";
    return ok;
}

void disconnect() {
    Connection& c = gConnection;
    for (const auto& o : c.outputs) wl_output_destroy(o->output);
    c.outputs.clear();
    if (c.screencopy) zwlr_screencopy_manager_v1_destroy(c.screencopy);
    if (c.shm) wl_shm_destroy(c.shm);
    if (c.registry) wl_registry_destroy(c.registry);
    if (c.display) wl_display_disconnect(c.display);
    c = Connection{};
}

}  // namespace present_wayland
