// Independent work on the processor shared among the machine's cores (at most eight).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace measure {

// Calls work(i) once for each i in [0, count), from as many threads as there are cores; the
// calls must not depend on each other. Returns when all are done.
template <typename Work>
void forEachInParallel(std::size_t count, Work work) {
    std::atomic<std::size_t> next{0};
    auto drain = [&] {
        for (std::size_t i = next++; i < count; i = next++) work(i);
    };
    const unsigned helpers = std::min(std::max(std::thread::hardware_concurrency(), 1u), 8u) - 1;
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < helpers && t + 1 < count; ++t) pool.emplace_back(drain);
    drain();
    for (std::thread& t : pool) t.join();
}

}  // namespace measure
