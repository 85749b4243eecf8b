// Another program's window on a wlroots Wayland compositor: the compositor copies the
// screen's pixels over the window (wlr-screencopy-unstable-v1, wl_shm buffers) and sway's
// IPC tells where the window lies, sizes it and closes it. present.cpp dispatches here
// when the program would show its window on Wayland.
#pragma once

#include "platform/present.h"

#include <cstdint>
#include <string>

namespace present_wayland {

// What a capture on this Wayland session can rely on, worst first.
enum class Support {
    NoCompositor,       // WAYLAND_DISPLAY names nothing that answers
    NoScreencopy,       // the compositor offers no zwlr_screencopy_manager_v1 (or no wl_shm)
    NoWindowPositions,  // no sway IPC socket (SWAYSOCK) to tell where the window lies
    Available,
};

// Whether the program would show its window on Wayland rather than X11 (SDL's choice).
bool session();
// Connects once and says what this session offers.
Support support();
// Why a capture cannot be made, in words; empty for Support::Available.
std::string describe(Support s);

// A rectangle in the compositor's layout (logical pixels).
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// A window as sway's tree describes it: its container id and where its contents lie.
struct View {
    long long id = 0;
    Rect content;
    bool visible = false;
};

// An output as sway describes it.
struct Output {
    std::string name;
    Rect rect;
    double scale = 1;
};

// The view in sway's GET_TREE reply whose process is `pid` (when `id` is 0) or whose
// container is `id`; false when the reply is no tree or names no such view.
bool findView(const std::string& tree, long long pid, long long id, View& view);
// The active output in sway's GET_OUTPUTS reply that holds `area`'s top-left corner.
bool outputOf(const std::string& outputs, const Rect& area, Output& output);

// A wl_shm buffer the compositor filled.
struct ShmFrame {
    std::uint32_t format = 0;  // wl_shm.format
    int width = 0;
    int height = 0;
    int stride = 0;
    bool yInvert = false;  // rows bottom to top
};

// The buffer as 8-bit RGB, top row first, with the format's channel bits; false (and why)
// for a format this does not read or a stride too short for the width.
bool shmToRgb(const ShmFrame& frame, const std::uint8_t* data, PresentShot& shot, std::string& reason);
// A channel of `bits` bits widened to 8 by repeating its high bits, as OpenGL reads it back.
std::uint8_t widenChannel(unsigned long value, int bits);

// Whether sway's IPC socket answers.
bool swayReachable();
// The window's view now; false when sway cannot be asked or the window is gone.
bool currentView(const PresentProcess& process, View& view);
// The output the area starts on; false when sway cannot be asked or none holds it.
bool currentOutput(const Rect& area, Output& output);

// The window-level steps of platform/present.h on Wayland. `findWindow` looks once and
// returns the view's container id, or 0.
std::uintptr_t findWindow(long long pid);
bool clientSize(const PresentProcess& process, int& width, int& height);
bool resize(const PresentProcess& process, int width, int height, std::string& reason);
bool capture(const PresentProcess& process, PresentShot& shot, std::string& reason);
// Asks sway to close the window (xdg_toplevel.close); false when the request failed.
bool askClose(const PresentProcess& process);
// Ends the connection to the compositor.
void disconnect();

}  // namespace present_wayland
