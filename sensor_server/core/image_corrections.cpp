#include "image_corrections.h"

#include "level_histogram.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace torvex {

namespace {

constexpr size_t kLevels = 16384;
constexpr uint32_t kFillCount = 50;

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
    const std::vector<uint32_t> histogram =
        LevelHistogram(nPixels, [pPixels](size_t i) { return pPixels[i]; });
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

namespace {

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

// Window top rows from nTop down to 1, four rows at a time, each one window
// behind the row below it: a window then finds the row below already final
// and its own row not yet touched by the row above, exactly as when the rows
// run one after the other, and four chains of comparisons overlap.
void MedianRowsScalar(uint16_t* pPixels, uint32_t nWidth, uint32_t nBand, int64_t nTop) {
    constexpr int kRows = 4;
    for (; nTop >= 1; nTop -= kRows) {
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

// Eight rows in the lanes of one vector. Lane j (window top row nTop - j)
// starts its row so that it stays two windows behind lane j - 1: a lane's
// loads then never meet the stores its neighbours make in the same step,
// and the upper lane has read a pixel before the lower one replaces it.
// The steps where not every lane is busy run through the scalar pass.
// Levels carry their sign bit flipped so that signed 16-bit minima order
// them as unsigned.
typedef int16_t V8 __attribute__((vector_size(16)));
constexpr int kLanes = 8;
constexpr int16_t kFlip = static_cast<int16_t>(0x8000);
constexpr uint32_t kVectorMinWidth = 32;

inline V8 VLo(V8 a, V8 b) {
    return a < b ? a : b;
}
inline V8 VHi(V8 a, V8 b) {
    return a < b ? b : a;
}
inline int16_t Flip(uint32_t v) {
    return static_cast<int16_t>(v ^ 0x8000);
}
inline uint16_t Unflip(int16_t v) {
    return static_cast<uint16_t>(v ^ kFlip);
}

// False (nothing done) when a row of the eight has no window.
bool MedianBandVector(uint16_t* pPixels, uint32_t nWidth, uint32_t nBand, int64_t nTop) {
    SMedianPass pass[kLanes];
    int64_t nStart[kLanes]; // the step at which each lane takes its first window
    int64_t nSteady = 0, nSteadyEnd = INT64_MAX, nEnd = 0;
    for (int j = 0; j < kLanes; ++j) {
        SMedianPass& p = pass[j];
        const size_t t = static_cast<size_t>(nTop - j);
        if (!Windows(static_cast<uint32_t>(t), nWidth, nBand, p.m_nFirst, p.m_nLast))
            return false;
        p.m_pTop = pPixels + t * nWidth;
        p.m_pMid = pPixels + (t + 1) * nWidth;
        p.m_pLow = pPixels + (t + 2) * nWidth;
        nStart[j] = j == 0 ? 0 : nStart[j - 1] + 2 + int64_t{p.m_nFirst} - pass[j - 1].m_nFirst;
        const int64_t nLastStep = nStart[j] + p.m_nLast - p.m_nFirst;
        nSteady = nStart[j];
        nSteadyEnd = std::min(nSteadyEnd, nLastStep);
        nEnd = std::max(nEnd, nLastStep);
    }
    auto column = [&](int j, int64_t k) { return int64_t{pass[j].m_nFirst} + k - nStart[j]; };
    auto scalarStep = [&](int64_t k) {
        for (int j = 0; j < kLanes; ++j) {
            SMedianPass& p = pass[j];
            const int64_t c = column(j, k);
            if (c < p.m_nFirst || c > p.m_nLast)
                continue;
            if (c == p.m_nFirst)
                p.Start();
            p.Step(static_cast<uint32_t>(c));
        }
    };
    if (nSteadyEnd < nSteady) {
        for (int64_t k = 0; k <= nEnd; ++k)
            scalarStep(k);
        return true;
    }
    for (int64_t k = 0; k < nSteady; ++k)
        scalarStep(k);
    pass[kLanes - 1].Start();

    // Lane state: the centre column sorted, the replaced left centre, the
    // top and low pixels of the left and of the centre column ordered.
    V8 cLo, cMid, cHi, vLeft, eLo, eHi, pLo, pHi;
    int64_t nShift[kLanes]; // step k's right column of lane j: k + nShift[j]
    for (int j = 0; j < kLanes; ++j) {
        const SMedianPass& p = pass[j];
        const size_t c = static_cast<size_t>(column(j, nSteady));
        nShift[j] = column(j, 0) + 2;
        cLo[j] = Flip(p.m_cLo);
        cMid[j] = Flip(p.m_cMid);
        cHi[j] = Flip(p.m_cHi);
        vLeft[j] = Flip(p.m_nLeft);
        const uint32_t t0 = p.m_pTop[c], l0 = p.m_pLow[c];
        const uint32_t t1 = p.m_pTop[c + 1], l1 = p.m_pLow[c + 1];
        eLo[j] = Flip(Lo(t0, l0));
        eHi[j] = Flip(Hi(t0, l0));
        pLo[j] = Flip(Lo(t1, l1));
        pHi[j] = Flip(Hi(t1, l1));
    }
    const V8 vFlip = {kFlip, kFlip, kFlip, kFlip, kFlip, kFlip, kFlip, kFlip};
    for (int64_t k = nSteady; k <= nSteadyEnd; ++k) {
        V8 a, b, d;
        for (int j = 0; j < kLanes; ++j) {
            const size_t n = static_cast<size_t>(k + nShift[j]);
            a[j] = static_cast<int16_t>(pass[j].m_pTop[n]);
            b[j] = static_cast<int16_t>(pass[j].m_pMid[n]);
            d[j] = static_cast<int16_t>(pass[j].m_pLow[n]);
        }
        a ^= vFlip;
        b ^= vFlip;
        d ^= vFlip;
        const V8 l = VLo(a, d), h = VHi(a, d);
        const V8 rLo = VLo(l, b), rHi = VHi(h, b), rMid = VHi(l, VLo(h, b));
        const V8 nLo = VHi(VHi(cLo, rLo), VLo(eLo, vLeft));
        const V8 nHi = VLo(VLo(cHi, rHi), VHi(eHi, vLeft));
        const V8 nMid = VHi(VLo(cMid, rMid), VLo(VHi(cMid, rMid), VHi(eLo, VLo(eHi, vLeft))));
        vLeft = VHi(VLo(nLo, nMid), VLo(VHi(nLo, nMid), nHi));
        for (int j = 0; j < kLanes; ++j)
            pass[j].m_pMid[static_cast<size_t>(k + nShift[j] - 1)] = Unflip(vLeft[j]);
        cLo = rLo;
        cMid = rMid;
        cHi = rHi;
        eLo = pLo;
        eHi = pHi;
        pLo = l;
        pHi = h;
    }
    for (int j = 0; j < kLanes; ++j) {
        SMedianPass& p = pass[j];
        p.m_cLo = Unflip(cLo[j]);
        p.m_cMid = Unflip(cMid[j]);
        p.m_cHi = Unflip(cHi[j]);
        p.m_nLeft = Unflip(vLeft[j]);
    }
    for (int64_t k = nSteadyEnd + 1; k <= nEnd; ++k)
        scalarStep(k);
    return true;
}

} // namespace

void MedianRecursive(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand) {
    // The median of nine is the median of (largest column minimum, median of
    // the column medians, smallest column maximum) once each column of three
    // is sorted. Within a row only the replaced centre carries over.
    if (nHeight < 4)
        return;
    int64_t nTop = int64_t{nHeight} - 3;
    if (nWidth >= kVectorMinWidth)
        while (nTop - (kLanes - 1) >= 1 && MedianBandVector(pPixels, nWidth, nBand, nTop))
            nTop -= kLanes;
    MedianRowsScalar(pPixels, nWidth, nBand, nTop);
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
