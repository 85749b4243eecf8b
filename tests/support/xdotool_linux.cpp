#include "tests/support/xdotool.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

bool testXdotool(const char* arguments) {
    std::string command = std::string("xdotool ") + arguments;
    return std::system(command.c_str()) == 0;
}

const char* testXdotoolUnusable() {
    static char reason[160];
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") == 0) return nullptr;
    std::snprintf(reason, sizeof reason,
                  "XTest input (xdotool) reaches X11 windows only; this one is on SDL's %s driver", driver);
    return reason;
}
