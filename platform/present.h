// Another program's window as the display shows it: start the program, find its
// top-level window, size its client area, capture that area after presentation and close
// the window as a window manager does. The measuring tool's alone, so it uses the
// standard library's strings and containers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A started program and, once found, its window.
struct PresentProcess {
    std::intptr_t process = 0;  // pid, or the process handle on Windows
    std::uintptr_t window = 0;  // X window id, or HWND
    bool ended = false;         // reaped; `status` holds its exit status
    int status = 0;
};

// 8-bit RGB of a client area, rows top to bottom, and where the pixels came from.
struct PresentShot {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    int channelBits[3] = {8, 8, 8};  // what the display stores per channel
    std::string method;
};

// Why the display offers no capture of other programs' windows here; empty where it does.
std::string presentUnavailable();
// Starts `path` with this process's environment plus the NAME=VALUE `additions`.
bool presentStart(const std::string& path, const std::vector<std::string>& additions, PresentProcess& process,
                  std::string& reason);
// Waits up to `seconds` for the process's visible top-level window.
bool presentFindWindow(PresentProcess& process, double seconds, std::string& reason);
// The window's client size; false when the window is gone.
bool presentClientSize(const PresentProcess& process, int& width, int& height);
// Asks for a client area of width x height and raises the window above the others.
bool presentResize(const PresentProcess& process, int width, int height, std::string& reason);
// One grab of the client area as the screen shows it (through the compositor where one runs).
bool presentCapture(const PresentProcess& process, PresentShot& shot, std::string& reason);
// Whether the process has ended.
bool presentExited(PresentProcess& process);
// Closes the window the way a window manager does and waits up to `seconds` for the
// process to end, then kills it. Returns what happened, in words.
std::string presentClose(PresentProcess& process, double seconds);
// The tool's own executable, as a full path; empty where it cannot be told.
std::string presentSelfPath();
// An executable's file name on this platform (".exe" added on Windows).
std::string presentExecutableName(const std::string& stem);
// Whether the program's build here reads QUILLMERE_SAMPLES (the Linux layer's stand-in
// for a driver panel's forced multisampling).
bool presentReadsSamplesVariable();
