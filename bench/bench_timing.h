#pragma once
// Median wall time of repeated runs, in milliseconds.
#include <algorithm>
#include <chrono>
#include <vector>

namespace ostrel::bench {

template <class F> double MedianMs(int nRuns, F f) {
    std::vector<double> ms;
    for (int i = 0; i < nRuns; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace ostrel::bench
