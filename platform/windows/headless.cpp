// Windows has no windowless OpenGL context in WGL; its tools use a window.
#include "platform/headless.h"

#include <cstdio>

bool headlessCreate(char* reason, int reasonBytes) {
    std::snprintf(reason, (size_t)reasonBytes, "no headless OpenGL context on Windows (WGL needs a window)");
    return false;
}

void headlessRelease() {}
