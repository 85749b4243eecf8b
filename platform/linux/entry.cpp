// The process entry on Linux: gives the main thread the 32 MB of stack a Windows build
// reserves, calls WinMain as the Windows C runtime would, and clears the layer away.
#include "platform/linux/layer.h"

int main() {
    layer::raiseStackLimit();
    char commandLine[] = "";
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
    layer::shutdown();
    return status;
}
