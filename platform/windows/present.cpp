// Another program's window on Windows (and Wine): started with CreateProcess, found by its
// process id, captured from the screen over its client area (what the desktop shows,
// after any composition) and closed with WM_CLOSE.
#include "platform/present.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

// The process id a handle stands for, kept beside the handle.
DWORD gProcessId = 0;

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

struct Search {
    DWORD pid;
    HWND found;
};

// A visible, unowned top-level window of the searched process.
BOOL CALLBACK visitWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HANDLE handleOf(const PresentProcess& process) { return reinterpret_cast<HANDLE>(process.process); }

}  // namespace

std::string presentUnavailable() {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return "no screen device context to read the desktop from";
    ReleaseDC(nullptr, screen);
    return {};
}

bool presentStart(const std::string& path, const std::vector<std::string>& additions, PresentProcess& process,
                  std::string& reason) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = path + " is not an executable (no such file)";
        return false;
    }
    // This process's environment block with the additions after it (a later name wins).
    std::string block;
    if (char* strings = GetEnvironmentStringsA()) {
        for (const char* e = strings; *e; e += std::strlen(e) + 1) block.append(e).push_back('\0');
        FreeEnvironmentStringsA(strings);
    }
    for (const std::string& a : additions) block.append(a).push_back('\0');
    block.push_back('\0');
    std::string command = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                        additions.empty() ? nullptr : block.data(), nullptr, &startup, &info)) {
        reason = "cannot start " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    CloseHandle(info.hThread);
    process = PresentProcess{};
    process.process = reinterpret_cast<std::intptr_t>(info.hProcess);
    gProcessId = info.dwProcessId;
    return true;
}

bool presentFindWindow(PresentProcess& process, double seconds, std::string& reason) {
    const double end = now() + seconds;
    for (;;) {
        Search search{gProcessId, nullptr};
        EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            process.window = reinterpret_cast<std::uintptr_t>(search.found);
            return true;
        }
        if (presentExited(process)) {
            reason = "the program ended (status " + std::to_string(process.status) + ") without showing a window";
            return false;
        }
        if (now() > end) {
            reason = "no window of the program appeared within " + std::to_string((int)seconds) + " s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool presentClientSize(const PresentProcess& process, int& width, int& height) {
    RECT client{};
    if (!process.window || !GetClientRect(reinterpret_cast<HWND>(process.window), &client)) return false;
    width = client.right;
    height = client.bottom;
    return true;
}

bool presentResize(const PresentProcess& process, int width, int height, std::string& reason) {
    HWND window = reinterpret_cast<HWND>(process.window);
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, (DWORD)GetWindowLongA(window, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongA(window, GWL_EXSTYLE));
    if (!SetWindowPos(window, HWND_TOP, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                      SWP_NOMOVE | SWP_NOACTIVATE)) {
        reason = "the window refused a resize (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool presentCapture(const PresentProcess& process, PresentShot& shot, std::string& reason) {
    HWND window = reinterpret_cast<HWND>(process.window);
    RECT client{};
    POINT origin{0, 0};
    if (!IsWindow(window) || !GetClientRect(window, &client) || !ClientToScreen(window, &origin) || client.right <= 0 ||
        client.bottom <= 0) {
        reason = "the window is gone or has no client area";
        return false;
    }
    const int w = client.right, h = client.bottom;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && memory) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    const int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    if (ok) {
        shot.width = w;
        shot.height = h;
        shot.rgb.resize((std::size_t)w * h * 3);
        const auto* in = static_cast<const std::uint8_t*>(bits);
        for (std::size_t p = 0; p < (std::size_t)w * h; ++p) {
            shot.rgb[p * 3] = in[p * 4 + 2];
            shot.rgb[p * 3 + 1] = in[p * 4 + 1];
            shot.rgb[p * 3 + 2] = in[p * 4];
        }
        // A 16-bit desktop keeps 5-6-5; deeper ones 8 bits a channel.
        const int bitsOf[3] = {depth == 16 ? 5 : 8, depth == 16 ? 6 : 8, depth == 16 ? 5 : 8};
        for (int c = 0; c < 3; ++c) shot.channelBits[c] = bitsOf[c];
        shot.method = "Windows: the screen's pixels over the client area (BitBlt from the desktop)";
    } else {
        reason = "BitBlt from the screen failed (error " + std::to_string(GetLastError()) + ")";
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool presentExited(PresentProcess& process) {
    if (process.ended) return true;
    if (WaitForSingleObject(handleOf(process), 0) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(handleOf(process), &code);
    process.ended = true;
    process.status = (int)code;
    return true;
}

std::string presentClose(PresentProcess& process, double seconds) {
    if (!process.process) return "it was never started";
    std::string how = "closed by WM_CLOSE";
    if (process.window && !presentExited(process)) {
        if (!PostMessageA(reinterpret_cast<HWND>(process.window), WM_CLOSE, 0, 0)) how = "its window was already gone";
    } else if (!process.window) {
        how = "it had no window";
    }
    if (!presentExited(process) && WaitForSingleObject(handleOf(process), (DWORD)(seconds * 1000)) != WAIT_OBJECT_0) {
        TerminateProcess(handleOf(process), 1);
        WaitForSingleObject(handleOf(process), 5000);
        process.ended = true;
        process.status = 1;
        how = "killed: it did not end within " + std::to_string((int)seconds) + " s of WM_CLOSE";
    } else {
        presentExited(process);
        how += ", exit status " + std::to_string(process.status);
    }
    CloseHandle(handleOf(process));
    process.process = 0;
    return how;
}

std::string presentSelfPath() {
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

std::string presentExecutableName(const std::string& stem) { return stem + ".exe"; }

bool presentReadsSamplesVariable() { return false; }
