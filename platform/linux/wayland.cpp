// What the layer does about Wayland itself, beyond what SDL does.
// - The choice of video driver where a compositor lacks an input seat. SDL 2.26's Wayland
//   backend dereferences the missing wl_seat inside SDL_Init and the process dies by
//   SIGSEGV (a compositor without input devices, Weston's headless backend). So before
//   SDL_Init, where SDL would reach that backend (no X display, which SDL 2.26 takes
//   first, or a user's SDL_VIDEODRIVER naming wayland), the layer asks the compositor for
//   its globals, once, and without a seat refuses to start.
// - Raising a window. SDL asks the compositor for an activation token and uses it when the
//   answer comes, by then perhaps for a surface already hidden or destroyed, which crashes
//   sway 1.7 (Debian 12) and with it the user's whole session. A round trip right after
//   the raise lets SDL use the token while the window still stands.
#include "platform/linux/layer.h"

#include <SDL_syswm.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace layer {
namespace {

enum class Seat { NoCompositor, Offered, Missing };

// Notes whether the registry announces a wl_seat.
void onGlobal(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0) *static_cast<bool*>(data) = true;
}

// Globals that go away during the one round trip do not matter.
void onGlobalRemove(void*, wl_registry*, uint32_t) {}

// Whether the compositor SDL's Wayland backend would connect to (WAYLAND_DISPLAY, or
// wayland-0) offers a seat; one registry round trip.
Seat probeSeat() {
    // A socket handed over in WAYLAND_SOCKET can be connected once only: it is SDL's.
    if (std::getenv("WAYLAND_SOCKET") != nullptr) return Seat::Offered;
    // Without a runtime directory only an absolute WAYLAND_DISPLAY can name a compositor;
    // asking anyway would only add libwayland's complaint to the one SDL's attempt makes.
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr && (name == nullptr || name[0] != '/')) return Seat::NoCompositor;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return Seat::NoCompositor;
    bool seat = false;
    static const wl_registry_listener kListener = {onGlobal, onGlobalRemove};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kListener, &seat);
    bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    // A connection that breaks during the round trip is left to SDL, which fails on it
    // without crashing.
    return !answered || seat ? Seat::Offered : Seat::Missing;
}

// Whether a comma-separated driver list, as SDL reads SDL_VIDEODRIVER, names the driver.
bool listNames(const char* list, const char* driver) {
    std::size_t length = std::strlen(driver);
    for (const char* item = list; item != nullptr && *item != '\0';) {
        const char* end = std::strchr(item, ',');
        std::size_t itemLength = end ? (std::size_t)(end - item) : std::strlen(item);
        if (itemLength == length && strncasecmp(item, driver, length) == 0) return true;
        item = end ? end + 1 : nullptr;
    }
    return false;
}

// The compositor's name as libwayland resolves it, for the message.
const char* compositorName() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name && *name ? name : "wayland-0";
}

}  // namespace

bool chooseVideoDriver() {
    const char* chosen = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    bool userChose = chosen != nullptr && *chosen != '\0';
    // A list without wayland is the user's to keep; SDL never reaches its Wayland backend.
    if (userChose && !listNames(chosen, "wayland")) return true;
    // With an X display SDL 2.26 takes X11 before Wayland unless told otherwise, so a
    // compositor that is slow to answer cannot hold up a program that runs on X.
    const char* x = std::getenv("DISPLAY");
    if (!userChose && x != nullptr && *x != '\0') return true;
    if (probeSeat() != Seat::Missing) return true;
    if (userChose)
        std::fprintf(stderr,
                     "quillmere: SDL_VIDEODRIVER=%s names wayland, but the Wayland compositor (%s) offers no input "
                     "seat (wl_seat), without which SDL's Wayland backend crashes; not starting\n",
                     chosen, compositorName());
    else
        std::fprintf(stderr,
                     "quillmere: the Wayland compositor (%s) offers no input seat (wl_seat), without which SDL's "
                     "Wayland backend crashes, and there is no X display (DISPLAY) to use instead; not starting\n",
                     compositorName());
    return false;
}

void raiseWindow(SDL_Window* window) {
    SDL_RaiseWindow(window);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_WAYLAND)
        wl_display_roundtrip(info.info.wl.display);
}

}  // namespace layer
