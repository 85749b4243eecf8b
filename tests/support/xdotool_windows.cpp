// Under Wine a Windows process can start a Linux program with CreateProcess, but it gets no
// handle that can be waited for. So the shell that runs xdotool leaves its status in a file,
// and the test waits for the file.
#include "tests/support/xdotool.h"

#include "platform/win32.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

bool testXdotool(const char* arguments) {
    static int serial = 0;
    std::string name = "quillmere-xdotool-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    std::string command = "/bin/sh -c \"/usr/bin/xdotool " + std::string(arguments) + "; echo $? >/tmp/" + name + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::string marker = "Z:\\tmp\\" + name;
    // Polled, having no handle; the ceiling is one that only an xdotool that never ends reaches.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::FILE* f = std::fopen(marker.c_str(), "r")) {
            int status = -1;
            bool complete = std::fscanf(f, "%d", &status) == 1;
            std::fclose(f);
            if (complete) {
                std::remove(marker.c_str());
                return status == 0;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

const char* testXdotoolUnusable() { return nullptr; }  // Wine's windows are X11 windows
