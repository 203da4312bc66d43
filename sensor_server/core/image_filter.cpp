#include "image_filter.h"

#include "status_codes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvex {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Four doubles; compiled to two SSE2 or one AVX operation. No fused
// multiply-add is ever formed (the file is built with -ffp-contract=off and
// no FMA target), so each lane rounds exactly as the scalar loop does.
typedef double V4 __attribute__((vector_size(32)));

inline V4 Load(const double* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(double* p, V4 v) {
    std::memcpy(p, &v, sizeof v);
}

inline uint8_t Saturate(double d) {
    const int n = static_cast<int>(d); // truncation toward zero
    return static_cast<uint8_t>(n < 0 ? 0 : (n > 255 ? 255 : n));
}

// The unsharp value of a sample and its blur.
inline uint8_t Unsharp(double dSample, double dBlur, double dWeight, double dDivisor) {
    return Saturate((dSample - dWeight * dBlur) / dDivisor);
}

// Rows: out[a] = k0 x[a] + sum k[i] (x[a+i] + x[a-i]), edges repeated. The
// line is padded on both sides so that the inner loop has no clamping.
template <int kBlocks>
inline __attribute__((always_inline)) void RowBlock(const double* pX, double* pOut,
                                                    const double* pTaps, int nTaps) {
    V4 acc[kBlocks];
    const V4 k0 = V4{} + pTaps[0];
    for (int b = 0; b < kBlocks; ++b)
        acc[b] = k0 * Load(pX + 4 * b);
    for (int i = 1; i < nTaps; ++i) {
        const V4 k = V4{} + pTaps[i];
        for (int b = 0; b < kBlocks; ++b)
            acc[b] += k * (Load(pX + 4 * b + i) + Load(pX + 4 * b - i));
    }
    for (int b = 0; b < kBlocks; ++b)
        Store(pOut + 4 * b, acc[b]);
}

inline __attribute__((always_inline)) void RowPassBody(const uint8_t* pPlane, int nWidth,
                                                       int nHeight, const double* pTaps, int nTaps,
                                                       double* pBlur, double* pLine) {
    const int nPad = nTaps - 1;
    for (int y = 0; y < nHeight; ++y) {
        const uint8_t* pRow = pPlane + static_cast<size_t>(y) * nWidth;
        double* pOut = pBlur + static_cast<size_t>(y) * nWidth;
        for (int i = 0; i < nPad; ++i) {
            pLine[i] = pRow[0];
            pLine[nPad + nWidth + i] = pRow[nWidth - 1];
        }
        for (int x = 0; x < nWidth; ++x)
            pLine[nPad + x] = pRow[x];
        const double* pX = pLine + nPad;
        int x = 0;
        for (; x + 16 <= nWidth; x += 16)
            RowBlock<4>(pX + x, pOut + x, pTaps, nTaps);
        for (; x + 4 <= nWidth; x += 4)
            RowBlock<1>(pX + x, pOut + x, pTaps, nTaps);
        for (; x < nWidth; ++x) {
            double d = pTaps[0] * pX[x];
            for (int i = 1; i < nTaps; ++i)
                d += pTaps[i] * (pX[x + i] + pX[x - i]);
            pOut[x] = d;
        }
    }
}

// Columns, fused with the unsharp mask: the blurred row is never stored.
template <int kBlocks>
inline __attribute__((always_inline)) void ColumnBlock(const double* pBlur, size_t nStride, int y,
                                                       int nHeight, int x, const double* pTaps,
                                                       int nTaps, V4* pAcc) {
    const V4 k0 = V4{} + pTaps[0];
    const double* pMid = pBlur + static_cast<size_t>(y) * nStride + x;
    for (int b = 0; b < kBlocks; ++b)
        pAcc[b] = k0 * Load(pMid + 4 * b);
    for (int i = 1; i < nTaps; ++i) {
        const V4 k = V4{} + pTaps[i];
        const int nUp = std::min(y + i, nHeight - 1);
        const int nDown = std::max(y - i, 0);
        const double* pUp = pBlur + static_cast<size_t>(nUp) * nStride + x;
        const double* pDown = pBlur + static_cast<size_t>(nDown) * nStride + x;
        for (int b = 0; b < kBlocks; ++b)
            pAcc[b] += k * (Load(pUp + 4 * b) + Load(pDown + 4 * b));
    }
}

inline __attribute__((always_inline)) void ColumnPassBody(uint8_t* pPlane, int nWidth, int nHeight,
                                                          double dWeight, const double* pTaps,
                                                          int nTaps, const double* pBlur) {
    const double dDivisor = 1.0 - dWeight;
    const V4 vWeight = V4{} + dWeight;
    const V4 vDivisor = V4{} + dDivisor;
    const size_t nStride = static_cast<size_t>(nWidth);
    for (int y = 0; y < nHeight; ++y) {
        uint8_t* pRow = pPlane + static_cast<size_t>(y) * nStride;
        int x = 0;
        for (; x + 16 <= nWidth; x += 16) {
            V4 acc[4];
            ColumnBlock<4>(pBlur, nStride, y, nHeight, x, pTaps, nTaps, acc);
            double values[16];
            for (int b = 0; b < 4; ++b) {
                const V4 sample = {static_cast<double>(pRow[x + 4 * b]),
                                   static_cast<double>(pRow[x + 4 * b + 1]),
                                   static_cast<double>(pRow[x + 4 * b + 2]),
                                   static_cast<double>(pRow[x + 4 * b + 3])};
                Store(values + 4 * b, (sample - vWeight * acc[b]) / vDivisor);
            }
            for (int j = 0; j < 16; ++j)
                pRow[x + j] = Saturate(values[j]);
        }
        for (; x < nWidth; ++x) {
            double d = pTaps[0] * pBlur[static_cast<size_t>(y) * nStride + x];
            for (int i = 1; i < nTaps; ++i) {
                const int nUp = std::min(y + i, nHeight - 1);
                const int nDown = std::max(y - i, 0);
                d += pTaps[i] * (pBlur[static_cast<size_t>(nUp) * nStride + x] +
                                 pBlur[static_cast<size_t>(nDown) * nStride + x]);
            }
            pRow[x] = Unsharp(pRow[x], d, dWeight, dDivisor);
        }
    }
}

void RowPassGeneric(const uint8_t* pPlane, int nWidth, int nHeight, const double* pTaps, int nTaps,
                    double* pBlur, double* pLine) {
    RowPassBody(pPlane, nWidth, nHeight, pTaps, nTaps, pBlur, pLine);
}
void ColumnPassGeneric(uint8_t* pPlane, int nWidth, int nHeight, double dWeight,
                       const double* pTaps, int nTaps, const double* pBlur) {
    ColumnPassBody(pPlane, nWidth, nHeight, dWeight, pTaps, nTaps, pBlur);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define TORVEX_HAVE_AVX2_PATH 1
// AVX2 without FMA: wider lanes, the same roundings.
__attribute__((target("avx2"))) void RowPassAvx2(const uint8_t* pPlane, int nWidth, int nHeight,
                                                 const double* pTaps, int nTaps, double* pBlur,
                                                 double* pLine) {
    RowPassBody(pPlane, nWidth, nHeight, pTaps, nTaps, pBlur, pLine);
}
__attribute__((target("avx2"))) void ColumnPassAvx2(uint8_t* pPlane, int nWidth, int nHeight,
                                                    double dWeight, const double* pTaps, int nTaps,
                                                    const double* pBlur) {
    ColumnPassBody(pPlane, nWidth, nHeight, dWeight, pTaps, nTaps, pBlur);
}

bool g_bAllowWide = true;

bool HasAvx2() {
    static const bool bAvx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return bAvx2 && g_bAllowWide;
}
#endif

// Median of nine as the median of (max of column minima, median of column
// medians, min of column maxima), columns sorted first.

#if defined(__SSE2__)
inline void Sort3(__m128i& a, __m128i& b, __m128i& c) {
    __m128i t = _mm_min_epu8(a, b);
    b = _mm_max_epu8(a, b);
    a = t;
    t = _mm_min_epu8(b, c);
    c = _mm_max_epu8(b, c);
    b = t;
    t = _mm_min_epu8(a, b);
    b = _mm_max_epu8(a, b);
    a = t;
}
inline __m128i Med3(__m128i a, __m128i b, __m128i c) {
    return _mm_max_epu8(_mm_min_epu8(a, b), _mm_min_epu8(_mm_max_epu8(a, b), c));
}
inline __m128i LoadU(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
#endif

inline uint8_t Med3Scalar(uint8_t a, uint8_t b, uint8_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

uint8_t Median9(const uint8_t* pUp, const uint8_t* pMid, const uint8_t* pDown, int x) {
    uint8_t lo[3], mid[3], hi[3];
    for (int j = 0; j < 3; ++j) {
        uint8_t v[3] = {pUp[x - 1 + j], pMid[x - 1 + j], pDown[x - 1 + j]};
        std::sort(v, v + 3);
        lo[j] = v[0];
        mid[j] = v[1];
        hi[j] = v[2];
    }
    const uint8_t nLo = std::max({lo[0], lo[1], lo[2]});
    const uint8_t nHi = std::min({hi[0], hi[1], hi[2]});
    return Med3Scalar(nLo, Med3Scalar(mid[0], mid[1], mid[2]), nHi);
}

} // namespace

void AllowWideLanes(bool bAllow) {
#if defined(TORVEX_HAVE_AVX2_PATH)
    g_bAllowWide = bAllow;
#else
    (void)bAllow;
#endif
}

int GaussianTapCount(double dSigma, double dPrecision, int nLength) {
    if (!(dSigma > 0.0) || !(dPrecision > 0.0 && dPrecision < 1.0))
        return 0;
    const double dCount = std::ceil(dSigma * std::sqrt(-2.0 * std::log(dPrecision))) + 1.0;
    const int nLimit = std::max(nLength, kMinTapLimit);
    return dCount >= nLimit ? nLimit : static_cast<int>(dCount);
}

int GaussianTaps(double dSigma, double dPrecision, int nLength, double* pTaps, int nMaxTaps) {
    const int n = GaussianTapCount(dSigma, dPrecision, nLength);
    if (n == 0 || n > nMaxTaps)
        return 0;
    const int nLimit = std::max(nLength, kMinTapLimit);
    for (int i = 0; i < n; ++i)
        pTaps[i] = std::exp(-static_cast<double>(i) * i / (2.0 * dSigma * dSigma));
    if (n < nLimit) {
        // Bend the tail down to zero along the steepest (n - i)^2 m^2 curve.
        double dMin = std::numeric_limits<double>::infinity();
        int j = n - 1;
        for (; j > n / 2; --j) {
            const double r = std::sqrt(pTaps[j]) / (n - j);
            if (!(r < dMin))
                break;
            dMin = r;
        }
        for (int i = j + 2; i < n; ++i) {
            const double d = n - i;
            pTaps[i] = d * d * (dMin * dMin);
        }
        double dTail = 0.0;
        for (int i = 1; i < n; ++i)
            dTail += pTaps[i];
        const double dSum = pTaps[0] + 2.0 * dTail;
        for (int i = 0; i < n; ++i)
            pTaps[i] /= dSum;
    } else {
        const double dNorm = dSigma * std::sqrt(2.0 * kPi);
        for (int i = 0; i < n; ++i)
            pTaps[i] /= dNorm;
    }
    return n;
}

void UnsharpPlane(uint8_t* pPlane, int nWidth, int nHeight, double dWeight, const STaps& taps,
                  double* pBlur, double* pLine) {
#if defined(TORVEX_HAVE_AVX2_PATH)
    if (HasAvx2()) {
        RowPassAvx2(pPlane, nWidth, nHeight, taps.m_pRow, taps.m_nRow, pBlur, pLine);
        ColumnPassAvx2(pPlane, nWidth, nHeight, dWeight, taps.m_pColumn, taps.m_nColumn, pBlur);
        return;
    }
#endif
    RowPassGeneric(pPlane, nWidth, nHeight, taps.m_pRow, taps.m_nRow, pBlur, pLine);
    ColumnPassGeneric(pPlane, nWidth, nHeight, dWeight, taps.m_pColumn, taps.m_nColumn, pBlur);
}

void Median3Plane(const uint8_t* pIn, uint8_t* pOut, int nWidth, int nHeight) {
    const size_t nSize = static_cast<size_t>(nWidth) * nHeight;
    std::memcpy(pOut, pIn, nSize);
    if (nWidth < 3 || nHeight < 3)
        return;
    for (int y = 1; y < nHeight - 1; ++y) {
        const uint8_t* pUp = pIn + static_cast<size_t>(y - 1) * nWidth;
        const uint8_t* pMid = pUp + nWidth;
        const uint8_t* pDown = pMid + nWidth;
        uint8_t* pRow = pOut + static_cast<size_t>(y) * nWidth;
        int x = 1;
#if defined(__SSE2__)
        for (; x + 16 <= nWidth - 1; x += 16) {
            __m128i lo[3], mid[3], hi[3];
            for (int j = 0; j < 3; ++j) {
                lo[j] = LoadU(pUp + x - 1 + j);
                mid[j] = LoadU(pMid + x - 1 + j);
                hi[j] = LoadU(pDown + x - 1 + j);
                Sort3(lo[j], mid[j], hi[j]);
            }
            const __m128i vLo = _mm_max_epu8(_mm_max_epu8(lo[0], lo[1]), lo[2]);
            const __m128i vHi = _mm_min_epu8(_mm_min_epu8(hi[0], hi[1]), hi[2]);
            const __m128i vMid = Med3(mid[0], mid[1], mid[2]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pRow + x), Med3(vLo, vMid, vHi));
        }
#endif
        for (; x < nWidth - 1; ++x)
            pRow[x] = Median9(pUp, pMid, pDown, x);
    }
}

void Mean5Plane(const uint8_t* pIn, uint8_t* pOut, int nWidth, int nHeight, uint16_t* pColumns) {
    const size_t nSize = static_cast<size_t>(nWidth) * nHeight;
    std::memcpy(pOut, pIn, nSize);
    if (nWidth < 5 || nHeight < 5)
        return;
    for (int y = 2; y < nHeight - 2; ++y) {
        const uint8_t* pTop = pIn + static_cast<size_t>(y - 2) * nWidth;
        int x = 0;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; x + 16 <= nWidth; x += 16) {
            __m128i sumLo = zero, sumHi = zero;
            for (int r = 0; r < 5; ++r) {
                const __m128i v = LoadU(pTop + static_cast<size_t>(r) * nWidth + x);
                sumLo = _mm_add_epi16(sumLo, _mm_unpacklo_epi8(v, zero));
                sumHi = _mm_add_epi16(sumHi, _mm_unpackhi_epi8(v, zero));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pColumns + x), sumLo);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pColumns + x + 8), sumHi);
        }
#endif
        for (; x < nWidth; ++x) {
            unsigned n = 0;
            for (int r = 0; r < 5; ++r)
                n += pTop[static_cast<size_t>(r) * nWidth + x];
            pColumns[x] = static_cast<uint16_t>(n);
        }
        uint8_t* pRow = pOut + static_cast<size_t>(y) * nWidth;
        x = 2;
#if defined(__SSE2__)
        // n / 25 for n <= 6375 is (n * 5243) >> 17: the high half, then one shift.
        const __m128i magic = _mm_set1_epi16(5243);
        for (; x + 8 <= nWidth - 2; x += 8) {
            __m128i s = LoadU(reinterpret_cast<const uint8_t*>(pColumns + x - 2));
            for (int j = -1; j <= 2; ++j)
                s = _mm_add_epi16(s, LoadU(reinterpret_cast<const uint8_t*>(pColumns + x + j)));
            const __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(s, magic), 1);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pRow + x), _mm_packus_epi16(q, zero));
        }
#endif
        for (; x < nWidth - 2; ++x) {
            const unsigned n =
                pColumns[x - 2] + pColumns[x - 1] + pColumns[x] + pColumns[x + 1] + pColumns[x + 2];
            pRow[x] = static_cast<uint8_t>(n / 25);
        }
    }
}

SFilterScratch CFilterWorkspace::Prepare(int nWidth, int nHeight, const SFilterParams& params) {
    const size_t nPixels = static_cast<size_t>(std::max(nWidth, 0)) * std::max(nHeight, 0);
    const double dSigma = kBlurSigmaPerScale * params.m_dBlurScale;
    const int nTaps = std::max({GaussianTapCount(dSigma, kBlurPrecision, nWidth),
                                GaussianTapCount(dSigma, kBlurPrecision, nHeight), 1});
    m_blur.resize(params.m_dBlurScale != 0.0 ? nPixels : 0);
    m_line.resize(static_cast<size_t>(std::max(nWidth, 0)) + 2 * static_cast<size_t>(nTaps));
    m_taps.resize(2 * static_cast<size_t>(nTaps));
    m_plane.resize(nPixels);
    m_copy.resize(nPixels);
    m_columns.resize(static_cast<size_t>(std::max(nWidth, 0)) + 8);
    SFilterScratch s;
    s.m_pBlur = m_blur.data();
    s.m_pLine = m_line.data();
    s.m_pTaps = m_taps.data();
    s.m_nMaxTaps = nTaps;
    s.m_pPlane = m_plane.data();
    s.m_pCopy = m_copy.data();
    s.m_pColumns = m_columns.data();
    return s;
}

int Filter(const SImageView& image, const SFilterParams& params, const SFilterScratch& scratch) {
    const int w = image.m_nWidth;
    const int h = image.m_nHeight;
    const int c = image.m_nChannels;
    if (w <= 0 || h <= 0 || (c != 1 && c != 3) || image.m_pData == nullptr)
        return kBadValue;
    if (params.m_dGamma != 1.0 || params.m_bFinalStep)
        return kBadValue;
    if (!scratch.m_pPlane || !scratch.m_pCopy || !scratch.m_pColumns)
        return kBadValue;
    const bool bUnsharp = params.m_dBlurScale != 0.0;
    STaps taps;
    if (bUnsharp) {
        const double dSigma = kBlurSigmaPerScale * params.m_dBlurScale;
        if (!scratch.m_pBlur || !scratch.m_pLine || !scratch.m_pTaps)
            return kBadValue;
        taps.m_pRow = scratch.m_pTaps;
        taps.m_nRow = GaussianTaps(dSigma, kBlurPrecision, w, scratch.m_pTaps, scratch.m_nMaxTaps);
        taps.m_pColumn = scratch.m_pTaps + scratch.m_nMaxTaps;
        taps.m_nColumn = GaussianTaps(dSigma, kBlurPrecision, h,
                                      scratch.m_pTaps + scratch.m_nMaxTaps, scratch.m_nMaxTaps);
        if (taps.m_nRow == 0 || taps.m_nColumn == 0)
            return kBadValue;
    }

    uint8_t* pPlane = scratch.m_pPlane;
    for (int y = 0; y < h; ++y) {
        const uint8_t* pSrc = image.Row(y);
        uint8_t* pDst = pPlane + static_cast<size_t>(y) * w;
        if (c == 1) {
            std::memcpy(pDst, pSrc, static_cast<size_t>(w));
        } else {
            for (int x = 0; x < w; ++x)
                pDst[x] = pSrc[3 * x];
        }
    }
    if (bUnsharp)
        UnsharpPlane(pPlane, w, h, params.m_dWeight, taps, scratch.m_pBlur, scratch.m_pLine);
    Median3Plane(pPlane, scratch.m_pCopy, w, h);
    Mean5Plane(scratch.m_pCopy, pPlane, w, h, scratch.m_pColumns);

    // Without the unsharp step a colour image's outer ring was never written:
    // it keeps its three bytes.
    int nFirst = 0, nLastRow = h - 1, nFirstCol = 0, nLastCol = w - 1;
    if (c == 3 && !bUnsharp) {
        if (w < 3 || h < 3)
            return kOk;
        nFirst = 1;
        nLastRow = h - 2;
        nFirstCol = 1;
        nLastCol = w - 2;
    }
    for (int y = nFirst; y <= nLastRow; ++y) {
        uint8_t* pDst = image.Row(y);
        const uint8_t* pSrc = pPlane + static_cast<size_t>(y) * w;
        if (c == 1) {
            std::memcpy(pDst, pSrc, static_cast<size_t>(w));
        } else {
            for (int x = nFirstCol; x <= nLastCol; ++x)
                pDst[3 * x] = pDst[3 * x + 1] = pDst[3 * x + 2] = pSrc[x];
        }
    }
    return kOk;
}

} // namespace torvex
