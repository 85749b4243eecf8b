// How much memory a tool may still take, for refusing work that would not fit.
#pragma once

// Bytes of physical memory available to a new allocation now (free plus reclaimable
// caches); 0 where the platform cannot tell.
unsigned long long availableMemoryBytes();
