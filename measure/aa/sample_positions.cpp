// Sample positions from a swept corner, beside the driver's own answer.
#include "measure/aa/sample_positions.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace measure {

bool recoverPositions(const std::vector<int>& counts, int samples, std::vector<float>& xy, std::string& why) {
    const int n = kSweepSteps;
    xy.clear();
    auto count = [&](int i, int j) { return i >= n || j >= n ? 0 : counts[(std::size_t)j * n + i]; };
    if (count(0, 0) != samples) {
        why = "the whole pixel covers " + std::to_string(count(0, 0)) + " samples, not " + std::to_string(samples);
        return false;
    }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            // The samples at step (i, j): in the rectangle from (i, j), not in those from (i + 1, j)
            // or (i, j + 1), counted back once for lying in neither.
            int here = count(i, j) - count(i + 1, j) - count(i, j + 1) + count(i + 1, j + 1);
            if (here < 0) {
                why = "the coverage falls where the swept corner covers more (step " + std::to_string(i) + ", " +
                      std::to_string(j) + ")";
                xy.clear();
                return false;
            }
            for (int k = 0; k < here; ++k) {
                xy.push_back((float)i / n);
                xy.push_back((float)j / n);
            }
        }
    return true;
}

bool samePoints(const std::vector<float>& a, const std::vector<float>& b, double tolerance) {
    if (a.size() != b.size() || a.size() % 2) return false;
    const std::size_t n = a.size() / 2;
    std::vector<bool> taken(n, false);
    // Few points (up to 64): try every pairing by backtracking, nearest first.
    std::function<bool(std::size_t)> match = [&](std::size_t i) {
        if (i == n) return true;
        for (std::size_t j = 0; j < n; ++j) {
            if (taken[j] || std::fabs(a[2 * i] - b[2 * j]) > tolerance ||
                std::fabs(a[2 * i + 1] - b[2 * j + 1]) > tolerance)
                continue;
            taken[j] = true;
            if (match(i + 1)) return true;
            taken[j] = false;
        }
        return false;
    };
    return match(0);
}

}  // namespace measure
