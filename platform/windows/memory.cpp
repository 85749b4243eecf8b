// Available memory as Windows reports it for the whole machine.
#include "platform/memory.h"

#include <windows.h>

unsigned long long availableMemoryBytes() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
}
