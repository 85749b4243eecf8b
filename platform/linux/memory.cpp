// Available memory from the kernel's own estimate (MemAvailable), which counts the caches
// it can drop as well as free pages.
#include "platform/memory.h"

#include <cstdio>
#include <cstring>

unsigned long long availableMemoryBytes() {
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file) return 0;
    char line[256];
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) break;
    std::fclose(file);
    return kib * 1024ULL;
}
