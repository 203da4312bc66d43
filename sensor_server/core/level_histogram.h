#pragma once
// Counts of the 16384 levels of 14-bit pixels (higher bits ignored). Four
// partial tables take turns so that runs of equal levels, common in smooth
// images, do not wait on each other's increments.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace torvex {

constexpr size_t kLevelCount = 16384;

// Load(i) gives pixel i.
template <class F> std::vector<uint32_t> LevelHistogram(size_t nPixels, F Load) {
    constexpr size_t kParts = 4;
    std::vector<uint32_t> parts(kParts * kLevelCount, 0);
    uint32_t* p = parts.data();
    size_t i = 0;
    for (; i + kParts <= nPixels; i += kParts)
        for (size_t k = 0; k < kParts; ++k)
            ++p[k * kLevelCount + (Load(i + k) & (kLevelCount - 1))];
    for (; i < nPixels; ++i)
        ++p[Load(i) & (kLevelCount - 1)];
    for (size_t k = 1; k < kParts; ++k)
        for (size_t v = 0; v < kLevelCount; ++v)
            p[v] += p[k * kLevelCount + v];
    parts.resize(kLevelCount);
    return parts;
}

} // namespace torvex
