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

// Branch-free on 32-bit values: image data makes comparisons unpredictable.
inline uint32_t Lo(uint32_t a, uint32_t b) {
    return b < a ? b : a;
}
inline uint32_t Hi(uint32_t a, uint32_t b) {
    return b < a ? a : b;
}

// One row of windows (window top row t) carried through column by column.
struct SMedianPass {
    const uint16_t* m_pTop = nullptr;
    uint16_t* m_pMid = nullptr;
    const uint16_t* m_pLow = nullptr;
    uint32_t m_nFirst = 0, m_nLast = 0;
    bool m_bActive = false;
    uint32_t m_cLo = 0, m_cMid = 0, m_cHi = 0; // the centre column, sorted
    uint32_t m_nLeft = 0;                      // the left column's middle: the centre just replaced

    void Sort(uint32_t c, uint32_t& lo, uint32_t& mid, uint32_t& hi) const {
        const uint32_t a = m_pTop[c], b = m_pMid[c], d = m_pLow[c];
        const uint32_t l = Lo(a, d), h = Hi(a, d);
        lo = Lo(l, b);
        hi = Hi(h, b);
        mid = Hi(l, Lo(h, b));
    }
    void Start() {
        Sort(m_nFirst + 1, m_cLo, m_cMid, m_cHi);
        m_nLeft = m_pMid[m_nFirst];
    }
    void Step(uint32_t c) {
        uint32_t rLo, rMid, rHi;
        Sort(c + 2, rLo, rMid, rHi);
        const uint32_t nEdgeLo = Lo(m_pTop[c], m_pLow[c]);
        const uint32_t nEdgeHi = Hi(m_pTop[c], m_pLow[c]);
        const uint32_t nLoRest = Hi(m_cLo, rLo);
        const uint32_t nHiRest = Lo(m_cHi, rHi);
        const uint32_t nMidMin = Lo(m_cMid, rMid);
        const uint32_t nMidMax = Hi(m_cMid, rMid);
        // The left column sorted around its new middle.
        const uint32_t nLo = Hi(nLoRest, Lo(nEdgeLo, m_nLeft));
        const uint32_t nHi = Lo(nHiRest, Hi(nEdgeHi, m_nLeft));
        const uint32_t nMid = Hi(nMidMin, Lo(nMidMax, Hi(nEdgeLo, Lo(nEdgeHi, m_nLeft))));
        m_nLeft = Hi(Lo(nLo, nMid), Lo(Hi(nLo, nMid), nHi));
        m_pMid[c + 1] = static_cast<uint16_t>(m_nLeft);
        m_cLo = rLo;
        m_cMid = rMid;
        m_cHi = rHi;
    }
};

void MedianRecursive(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand) {
    // The median of nine is the median of (largest column minimum, median of
    // the column medians, smallest column maximum) once each column of three
    // is sorted. Within a row only the replaced centre carries over, so it
    // stays in a register. Rows run four at a time, each one window behind
    // the row below it: a window then finds the row below already final and
    // its own row not yet touched by the row above, exactly as when the rows
    // run one after the other, and four chains of comparisons overlap.
    if (nHeight < 4)
        return;
    constexpr int kRows = 4;
    for (int64_t nTop = int64_t{nHeight} - 3; nTop >= 1; nTop -= kRows) {
        SMedianPass pass[kRows];
        int64_t nSteps = 0;
        for (int j = 0; j < kRows; ++j) {
            const int64_t t = nTop - j;
            SMedianPass& p = pass[j];
            if (t < 1 || !Windows(static_cast<uint32_t>(t), nWidth, nBand, p.m_nFirst, p.m_nLast))
                continue;
            p.m_pTop = pPixels + static_cast<size_t>(t) * nWidth;
            p.m_pMid = pPixels + static_cast<size_t>(t + 1) * nWidth;
            p.m_pLow = pPixels + static_cast<size_t>(t + 2) * nWidth;
            p.m_bActive = true;
            nSteps = std::max<int64_t>(nSteps, int64_t{p.m_nLast} + j + 1);
        }
        for (int64_t k = 0; k < nSteps; ++k) {
            for (int j = 0; j < kRows; ++j) {
                SMedianPass& p = pass[j];
                const int64_t c = k - j;
                if (!p.m_bActive || c < p.m_nFirst || c > p.m_nLast)
                    continue;
                if (c == p.m_nFirst)
                    p.Start();
                p.Step(static_cast<uint32_t>(c));
            }
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
