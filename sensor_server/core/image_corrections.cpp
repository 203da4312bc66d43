#include "image_corrections.h"

#include <algorithm>
#include <vector>

namespace torvex {

namespace {

constexpr size_t kLevels = 16384;
constexpr uint32_t kFillCount = 50;

inline void Order(uint16_t& a, uint16_t& b) {
    const uint16_t lo = std::min(a, b);
    b = std::max(a, b);
    a = lo;
}

struct SColumn {
    uint16_t m_nLo, m_nMid, m_nHi;
};

inline SColumn Sorted(uint16_t a, uint16_t b, uint16_t c) {
    Order(a, b);
    Order(b, c);
    Order(a, b);
    return SColumn{a, b, c};
}

inline uint16_t Median3(uint16_t a, uint16_t b, uint16_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// First window column and the window count of window top row t.
inline bool Windows(uint32_t t, uint32_t nWidth, uint32_t nBand, uint32_t& nFirst,
                    uint32_t& nLast) {
    if (nWidth < 4)
        return false;
    nFirst = 0;
    nLast = nWidth - 4;
    if (t < nBand) {
        const uint32_t nCut = nBand - t;
        if (nLast < 2 * nCut)
            return false;
        nFirst = nCut;
        nLast -= nCut;
    }
    return nFirst <= nLast;
}

} // namespace

uint16_t CornerFillValue(const uint16_t* pPixels, size_t nPixels) {
    std::vector<uint32_t> histogram(kLevels, 0);
    for (size_t i = 0; i < nPixels; ++i)
        ++histogram[pPixels[i] & (kLevels - 1)];
    for (size_t v = 0; v < kLevels; ++v)
        if (histogram[v] > kFillCount)
            return static_cast<uint16_t>(v);
    return 0;
}

void MaskCorners(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand) {
    const uint16_t nFill = CornerFillValue(pPixels, size_t{nWidth} * nHeight);
    for (uint32_t r = 0; r < nBand && r < nHeight; ++r) {
        uint16_t* pRow = pPixels + size_t{r} * nWidth;
        const uint32_t n = std::min(nBand - r, nWidth);
        std::fill(pRow, pRow + n, nFill);
        std::fill(pRow + (nWidth - n), pRow + nWidth, nFill);
    }
}

void MedianRecursive(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand) {
    if (nHeight < 4)
        return;
    for (uint32_t t = nHeight - 3; t >= 1; --t) {
        uint32_t nFirst = 0, nLast = 0;
        if (!Windows(t, nWidth, nBand, nFirst, nLast))
            continue;
        const uint16_t* pTop = pPixels + size_t{t} * nWidth;
        uint16_t* pMid = pPixels + size_t{t + 1} * nWidth;
        const uint16_t* pLow = pPixels + size_t{t + 2} * nWidth;
        // Columns of the window: left (its middle already replaced), centre, right.
        SColumn centre = Sorted(pTop[nFirst + 1], pMid[nFirst + 1], pLow[nFirst + 1]);
        for (uint32_t c = nFirst; c <= nLast; ++c) {
            const SColumn left = Sorted(pTop[c], pMid[c], pLow[c]);
            const SColumn right = Sorted(pTop[c + 2], pMid[c + 2], pLow[c + 2]);
            const uint16_t nLo = std::max({left.m_nLo, centre.m_nLo, right.m_nLo});
            const uint16_t nMid = Median3(left.m_nMid, centre.m_nMid, right.m_nMid);
            const uint16_t nHi = std::min({left.m_nHi, centre.m_nHi, right.m_nHi});
            pMid[c + 1] = Median3(nLo, nMid, nHi);
            centre = right;
        }
    }
}

void MedianRecursiveSorted(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand) {
    if (nHeight < 4)
        return;
    for (uint32_t t = nHeight - 3; t >= 1; --t) {
        uint32_t nFirst = 0, nLast = 0;
        if (!Windows(t, nWidth, nBand, nFirst, nLast))
            continue;
        for (uint32_t c = nFirst; c <= nLast; ++c) {
            uint16_t window[9];
            for (uint32_t dy = 0; dy < 3; ++dy)
                for (uint32_t dx = 0; dx < 3; ++dx)
                    window[dy * 3 + dx] = pPixels[size_t{t + dy} * nWidth + c + dx];
            std::sort(window, window + 9);
            pPixels[size_t{t + 1} * nWidth + c + 1] = window[4];
        }
    }
}

void ReverseRows(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight) {
    for (uint32_t k = 0; k < nHeight / 2; ++k)
        std::swap_ranges(pPixels + size_t{k} * nWidth, pPixels + size_t{k + 1} * nWidth,
                         pPixels + size_t{nHeight - 1 - k} * nWidth);
}

} // namespace torvex
